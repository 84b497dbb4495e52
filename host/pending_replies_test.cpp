#include "host/pending_replies.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <future>

#include "host/background_ui.h"
#include "host/channel.h"
#include "host/client.h"
#include "host/frames.h"
#include "testing/wait_until.h"
#include "ui/scripted_ui.h"

namespace quorvel::host {
namespace {

using namespace std::chrono_literals;

// A host whose background work asks questions nobody is there to answer, and the
// clients that come along later.
class PendingChannelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::path(::testing::TempDir()) /
           ("pending-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
    path_ = (dir_ / "h.sock").string();
    ChannelServer::Handlers handlers;
    handlers.hello.capabilities = {"run", "pending"};
    handlers.pending = &pending_;
    std::string error;
    server_ = ChannelServer::Start(path_, loop_, events_, handlers, &error);
    ASSERT_NE(server_, nullptr) << error;
    loopThread_ = std::thread([this] { loop_.Run(); });
  }
  void TearDown() override {
    server_.reset();
    pending_.Stop();
    loop_.Quit();
    loopThread_.join();
    std::filesystem::remove_all(dir_);
  }
  std::unique_ptr<HostClient> Client() {
    Outcome outcome;
    auto client = HostClient::Connect(path_, {}, &outcome);
    EXPECT_TRUE(client) << outcome.message;
    return client;
  }
  static protocol::Message Next(platform::Socket& s) {
    std::string body;
    SetReceiveTimeout(s, 10000);
    EXPECT_EQ(ReadFrame(s, &body), FrameRead::kOk);
    return protocol::Decode(body).message;
  }

  std::filesystem::path dir_;
  std::string path_;
  MessageLoop loop_;
  EventBus events_;
  PendingInteractions pending_{&events_};
  BackgroundUi background_{nullptr, &events_, &pending_, std::chrono::minutes(1)};
  std::thread loopThread_;
  std::unique_ptr<ChannelServer> server_;
};

TEST_F(PendingChannelTest, ABackgroundQuestionWaitsForTheNextInteractiveClient) {
  auto asked = std::async(std::launch::async, [&] {
    return background_.Show("Rebuild now?", "Quorvel", platform::MB_YESNO);
  });
  ASSERT_TRUE(quorvel::testing::WaitUntil([&] { return pending_.Count() == 1; }, 10s));

  // A client that cannot ask anyone is offered nothing.
  auto script = Client();
  int answered = -1;
  EXPECT_TRUE(script->OfferPending(background_, &answered).ok());
  EXPECT_EQ(answered, 0);
  std::vector<protocol::PendingEntry> listed;
  ASSERT_TRUE(script->ListPending(&listed).ok());
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].title, "Quorvel");

  // A raw client takes it, so another cannot; then it leaves without answering.
  {
    std::string error;
    platform::Socket raw = platform::ConnectUnix(path_, &error);
    ASSERT_TRUE(raw.valid()) << error;
    SendMessage(raw, protocol::Hello{});
    Next(raw);
    SendMessage(raw, protocol::TakePending{4, listed[0].pending});
    protocol::Message question = Next(raw);
    auto* box = std::get_if<protocol::MessageBox>(&question);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text, "Rebuild now?");

    auto other = Client();
    ui::ScriptedUi ui;
    EXPECT_TRUE(other->OfferPending(ui, &answered).ok());
    EXPECT_EQ(answered, 0);  // taken: skipped
    EXPECT_TRUE(ui.shown().empty());
  }
  ASSERT_TRUE(quorvel::testing::WaitUntil(
      [&] { return !pending_.List().empty() && !pending_.List()[0].taken; }, 10s));

  ui::ScriptedUi ui;
  ui.QueueAnswer(platform::IDNO);
  auto client = Client();
  EXPECT_TRUE(client->OfferPending(ui, &answered).ok());
  EXPECT_EQ(answered, 1);
  EXPECT_EQ(asked.get(), platform::IDNO);
  EXPECT_EQ(pending_.Count(), 0u);
  // Answered once: nothing is offered again.
  EXPECT_TRUE(client->OfferPending(ui, &answered).ok());
  EXPECT_EQ(answered, 0);
}

TEST_F(PendingChannelTest, ADialogComesBackWithTheValuesThePersonGave) {
  ui::Dialog dialog;
  dialog.kind = "confirm-marking";
  dialog.title = "Spam folder";
  dialog.controls.push_back({.kind = ui::ControlKind::kTextBox, .id = "folder", .text = "Junk"});
  dialog.controls.push_back(
      {.kind = ui::ControlKind::kTextBox, .id = "fixed", .readOnly = true, .text = "keep"});
  dialog.buttons = {{1, "&OK"}, {2, "Cancel"}};
  dialog.defaultButton = 2;
  auto asked = std::async(std::launch::async, [&] { return background_.Present(dialog); });
  ASSERT_TRUE(quorvel::testing::WaitUntil([&] { return pending_.Count() == 1; }, 10s));

  ui::ScriptedUi ui;
  ui.QueueDialog([](ui::Dialog& d) {
    d.Find("folder")->text = "Spam";
    d.Find("fixed")->text = "changed";
    return 1;
  });
  int answered = 0;
  EXPECT_TRUE(Client()->OfferPending(ui, &answered).ok());
  EXPECT_EQ(answered, 1);
  EXPECT_EQ(asked.get(), 1);
  EXPECT_EQ(dialog.Find("folder")->text, "Spam");
  EXPECT_EQ(dialog.Find("fixed")->text, "keep");  // read-only: not taken back
}

TEST_F(PendingChannelTest, AnswersToWhatIsNotHeldAreRefused) {
  const auto id = pending_.Raise({}, PendingInteractions::kNoDeadline);
  // Gone, or held by another: a take is refused with the reason.
  auto missing = TakeReply(pending_, {1, id + 100}, 7);
  ASSERT_TRUE(std::holds_alternative<protocol::Error>(missing));
  EXPECT_EQ(std::get<protocol::Error>(missing).outcome.code, OutcomeCode::kNotFound);
  ASSERT_TRUE(std::holds_alternative<protocol::MessageBox>(TakeReply(pending_, {2, id}, 7)));
  auto busy = TakeReply(pending_, {3, id}, 8);
  EXPECT_EQ(std::get<protocol::Error>(busy).outcome.code, OutcomeCode::kBusy);
  auto foreign = AnswerReply(pending_, {3, id, 6, {}}, 8);
  EXPECT_TRUE(std::holds_alternative<protocol::Error>(foreign));
  EXPECT_TRUE(std::holds_alternative<protocol::Done>(AnswerReply(pending_, {2, id, 6, {}}, 7)));
  EXPECT_TRUE(PendingListReply(pending_, 9).pending.empty());
}

// A question that only informs, or a host without a queue, never waits.
TEST_F(PendingChannelTest, NoticesAndHostsWithoutAQueueDoNotWait) {
  EXPECT_EQ(background_.Show("Done.", "Quorvel", platform::MB_OK), platform::IDOK);
  BackgroundUi noQueue(nullptr, &events_);
  EXPECT_EQ(noQueue.Show("Rebuild now?", "Quorvel", platform::MB_YESNO | ui::MB_DEFBUTTON2),
            platform::IDNO);
  // Nor does the user-interface thread, whatever it asks.
  BackgroundUi onUiThread(nullptr, &events_, &pending_, std::chrono::minutes(1),
                          std::this_thread::get_id());
  EXPECT_EQ(onUiThread.Show("Rebuild now?", "Quorvel", platform::MB_YESNO), platform::IDYES);
  EXPECT_EQ(pending_.Count(), 0u);
}

}  // namespace
}  // namespace quorvel::host
