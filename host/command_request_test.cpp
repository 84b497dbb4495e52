#include "host/command_request.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <thread>

#include "host/folder_path.h"
#include "host/memory_host.h"
#include "mapi/queries.h"
#include "testing/loop_thread.h"
#include "testing/message_builder.h"
#include "testing/wait_until.h"
#include "ui/scripted_ui.h"

namespace quorvel::host {
namespace {

using ::testing::ElementsAre;

// An add-in that has command 7 and records what each click saw, and on which thread
// the request's explorer was opened and closed.
class RecordingAddIn final : public AddIn {
 public:
  HRESULT OnConnection(Application&, int) override { return mapi::S_OK; }
  HRESULT OnDisconnection(int) override { return mapi::S_OK; }
  HRESULT OnAddInsUpdate() override { return mapi::S_OK; }
  HRESULT OnStartupComplete() override { return mapi::S_OK; }
  HRESULT OnBeginShutdown() override { return mapi::S_OK; }
  bool OnRequestCommand(int id, Explorer& explorer) override {
    if (id != 7) return false;
    std::string click = FolderPathOf(*explorer.CurrentFolder()) + ":";
    for (const auto& item : explorer.Selection().all()) click += " " + item->Subject();
    clicks.push_back(click);
    requests.push_back(explorer.IsRequest());
    threads.push_back(std::this_thread::get_id());
    struct Sink : ExplorerEvents {
      explicit Sink(RecordingAddIn& a) : addIn(a) {}
      void Close() override { addIn.closedOn.push_back(std::this_thread::get_id()); }
      RecordingAddIn& addIn;
    };
    explorer.Advise(std::make_shared<Sink>(*this));
    return true;
  }
  std::vector<std::string> clicks;
  std::vector<bool> requests;
  std::vector<std::thread::id> threads, closedOn;
};

class CommandRequestTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto inbox = Folder(box_.layout.inbox);
    auto spam = inbox->CreateFolder(mapi::FOLDER_GENERIC, "Spam", "", 0);
    spamId_ = mapi::HrGetOneProp(**spam, mapi::PR_ENTRYID)->AsEntryId();
    a_ = Located(*MessageBuilder().Subject("a").DeliverTo(*inbox));
    b_ = Located(*MessageBuilder().Subject("b").DeliverTo(**spam));
    c_ = Located(*MessageBuilder().Subject("c").DeliverTo(*inbox));
    window_ = box_.application->Explorers()->Add(box_.Inbox());
    window_->Activate();
  }
  std::shared_ptr<mapi::Folder> Folder(const mapi::EntryId& id) {
    return box_.session->OpenEntry(id, mapi::MAPI_BEST_ACCESS)->As<mapi::Folder>();
  }
  LocatedMessage Located(const mapi::EntryId& id) {
    auto item = box_.nameSpace->GetItemFromID(id.ToHex(), "");
    return {(*item)->Parent(), *item};
  }

  ui::ScriptedUi ui_;
  MemoryHost box_{ui_};
  mapi::EntryId spamId_;
  LocatedMessage a_, b_, c_;
  std::shared_ptr<Explorer> window_;
  std::shared_ptr<RecordingAddIn> addIn_ = std::make_shared<RecordingAddIn>();
};

TEST_F(CommandRequestTest, MessagesOfSeveralFoldersAreClickedFolderByFolder) {
  Outcome clicked = ClickWithMessages(*box_.application, {addIn_}, 7, {a_, b_, c_, a_});
  ASSERT_TRUE(clicked.ok()) << clicked.message;
  EXPECT_THAT(addIn_->clicks, ElementsAre("Inbox: a c", "Inbox/Spam: b"));
  EXPECT_THAT(addIn_->requests, ElementsAre(true, true));
  // The window in front stays in front and alone in the collection.
  EXPECT_EQ(box_.application->ActiveExplorer(), window_);
  EXPECT_EQ(box_.application->Explorers()->Count(), 1);
  EXPECT_EQ(addIn_->closedOn.size(), 2u);  // each request's explorer was closed
}

TEST_F(CommandRequestTest, ARequestOnItsOwnThreadOpensAndClosesItsExplorerOnTheLoop) {
  std::thread::id uiThread;
  Outcome clicked;
  {
    quorvel::testing::LoopThread ui(box_.application->loop());
    ASSERT_TRUE(ui.running());
    uiThread = ui.id();
    clicked = ClickForRequest(*box_.application, {addIn_}, 7, b_.folder, Selection({b_.item}));
  }
  ASSERT_TRUE(clicked.ok()) << clicked.message;
  EXPECT_THAT(addIn_->clicks, ElementsAre("Inbox/Spam: b"));
  // The handler ran on the request's thread; the explorer's events on the loop's.
  EXPECT_THAT(addIn_->threads, ElementsAre(std::this_thread::get_id()));
  EXPECT_THAT(addIn_->closedOn, ElementsAre(uiThread));
  EXPECT_NE(uiThread, std::this_thread::get_id());
}

TEST_F(CommandRequestTest, ACommandNoAddInHasIsRefused) {
  Outcome none = ClickForRequest(*box_.application, {addIn_}, 8, a_.folder, Selection());
  EXPECT_EQ(none.code, OutcomeCode::kRefused);
  EXPECT_THAT(none.message, ::testing::HasSubstr("8"));
  Application windowless(box_.nameSpace, ui_, /*hasExplorers=*/false);
  EXPECT_EQ(ClickForRequest(windowless, {addIn_}, 7, a_.folder, Selection()).code,
            OutcomeCode::kFailed);
  EXPECT_TRUE(addIn_->clicks.empty());
}

TEST(RequestExplorerTest, IsNoWindow) {
  ui::ScriptedUi ui;
  MemoryHost box(ui);
  struct Counter : ExplorersEvents {
    void NewExplorer(const std::shared_ptr<Explorer>&) override { ++made; }
    int made = 0;
  };
  auto counter = std::make_shared<Counter>();
  box.application->Explorers()->Advise(counter);
  auto request = box.application->Explorers()->OpenRequest(box.Inbox(), Selection());
  request->Activate();
  EXPECT_EQ(counter->made, 0);
  EXPECT_EQ(box.application->ActiveExplorer(), nullptr);
  EXPECT_EQ(box.application->Explorers()->Count(), 0);
  request->Close();
  EXPECT_TRUE(request->closed());
}

TEST(MessageLoopCallTest, RunsAtOnceOnItsThreadAndWaitsElsewhere) {
  MessageLoop loop;
  EXPECT_EQ(loop.Call([] { return 5; }), 5);  // the maker's thread is the loop's
  std::thread::id ran;
  std::thread other([&] {
    EXPECT_EQ(loop.Call([&] {
      ran = std::this_thread::get_id();
      return 6;
    }),
              6);
  });
  EXPECT_TRUE(quorvel::testing::WaitUntil([&] { return loop.RunPending() > 0; },
                                          std::chrono::seconds(10), std::chrono::milliseconds(1)));
  other.join();
  EXPECT_EQ(ran, std::this_thread::get_id());
}

}  // namespace
}  // namespace quorvel::host
