#include "host/window_requests.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "host/folder_path.h"
#include "host/memory_host.h"
#include "mapi/queries.h"
#include "testing/message_builder.h"
#include "ui/scripted_ui.h"

namespace quorvel::host {
namespace {

using ::testing::ElementsAre;

// 2026-01-01 12:00 UTC as a file time.
constexpr std::uint64_t kNoon2026 = 116444736000000000ull + 1767268800ull * 10000000ull;

struct SelectionCounter : ExplorerEvents {
  void SelectionChange() override { ++changes; }
  int changes = 0;
};

class WindowRequestsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto inbox =
        box_.session->OpenEntry(box_.layout.inbox, mapi::MAPI_BEST_ACCESS)->As<mapi::Folder>();
    auto spam = inbox->CreateFolder(mapi::FOLDER_GENERIC, "Spam", "", 0);
    for (int i = 0; i < 5; ++i) {
      ids_.push_back(MessageBuilder()
                         .Subject("m" + std::to_string(i))
                         .Prop(mapi::PropValue::Time(mapi::PR_MESSAGE_DELIVERY_TIME, kNoon2026))
                         .DeliverTo(*inbox)
                         ->ToHex());
    }
    spamMessage_ = MessageBuilder().Subject("s").DeliverTo(**spam)->ToHex();
    window_ = box_.application->Explorers()->Add(box_.Inbox());
    window_->Activate();
    window_->Advise(counter_);
  }
  protocol::Message Ask(protocol::Message request) {
    return AnswerWindowRequest(*box_.application, request);
  }

  ui::ScriptedUi ui_;
  MemoryHost box_{ui_};
  std::vector<std::string> ids_;
  std::string spamMessage_;
  std::shared_ptr<Explorer> window_;
  std::shared_ptr<SelectionCounter> counter_ = std::make_shared<SelectionCounter>();
};

TEST_F(WindowRequestsTest, ItemsComeARangeOfRowsAtATime) {
  auto reply = Ask(protocol::ListItemsRequest{4, "Inbox", 1, 3});
  ASSERT_TRUE(std::holds_alternative<protocol::ItemList>(reply));
  const auto& list = std::get<protocol::ItemList>(reply);
  EXPECT_EQ(list.id, 4u);
  EXPECT_EQ(list.total, 5);
  EXPECT_EQ(list.first, 1u);
  EXPECT_EQ(list.path, "Inbox");
  std::vector<std::string> subjects;
  for (const auto& item : list.items) subjects.push_back(item.subject);
  EXPECT_THAT(subjects, ElementsAre("m1", "m2", "m3"));
  EXPECT_EQ(list.items[0].id, ids_[1]);
  EXPECT_EQ(list.items[0].received, 1767268800);  // seconds since 1970, not a file time

  // The folder by its id and the window's folder name the same rows; past the end
  // there are none.
  auto byId = std::get<protocol::ItemList>(Ask(protocol::ListItemsRequest{5, list.folder, 4, 0}));
  ASSERT_EQ(byId.items.size(), 1u);
  EXPECT_EQ(byId.items[0].subject, "m4");
  auto window = std::get<protocol::ItemList>(Ask(protocol::ListItemsRequest{6, "", 0, 0}));
  EXPECT_EQ(window.items.size(), 5u);
  EXPECT_TRUE(std::get<protocol::ItemList>(Ask(protocol::ListItemsRequest{7, "Inbox", 9, 2}))
                  .items.empty());

  auto missing = Ask(protocol::ListItemsRequest{8, "Inbox/Nowhere", 0, 0});
  ASSERT_TRUE(std::holds_alternative<protocol::Error>(missing));
  EXPECT_EQ(std::get<protocol::Error>(missing).id, 8u);
  EXPECT_EQ(std::get<protocol::Error>(missing).outcome.code, OutcomeCode::kNotFound);
}

TEST_F(WindowRequestsTest, TheTableKeptForTheNextPageGoesWhenItsClientLeaves) {
  ASSERT_TRUE(
      std::holds_alternative<protocol::ItemList>(Ask(protocol::ListItemsRequest{1, "", 0, 2})));
  EXPECT_TRUE(window_->KeepsLastPage());
  // Another window, in front now, pages too; the first keeps its page meanwhile.
  auto other = box_.application->Explorers()->Add(box_.Inbox());
  other->Activate();
  ASSERT_TRUE(
      std::holds_alternative<protocol::ItemList>(Ask(protocol::ListItemsRequest{2, "", 2, 2})));
  EXPECT_TRUE(window_->KeepsLastPage());
  EXPECT_TRUE(other->KeepsLastPage());

  WindowClientGone(*box_.application);
  EXPECT_FALSE(window_->KeepsLastPage());
  EXPECT_FALSE(other->KeepsLastPage());
  // The next page reads its folder anew, and is kept again.
  auto again = std::get<protocol::ItemList>(Ask(protocol::ListItemsRequest{3, "", 0, 5}));
  EXPECT_EQ(again.items.size(), 5u);
  EXPECT_TRUE(other->KeepsLastPage());
}

TEST_F(WindowRequestsTest, ASelectionReachesTheWindowAndItsSinks) {
  auto reply = Ask(protocol::SelectRequest{1, "", {ids_[0], ids_[3]}});
  ASSERT_TRUE(std::holds_alternative<protocol::Selected>(reply));
  EXPECT_THAT(std::get<protocol::Selected>(reply).items, ElementsAre(ids_[0], ids_[3]));
  EXPECT_EQ(window_->Selection().Count(), 2);
  EXPECT_EQ(counter_->changes, 1);

  // Another folder: the window moves there (its selection cleared, then set).
  reply = Ask(protocol::SelectRequest{2, "Inbox/Spam", {spamMessage_}});
  ASSERT_TRUE(std::holds_alternative<protocol::Selected>(reply));
  EXPECT_EQ(FolderPathOf(*window_->CurrentFolder()), "Inbox/Spam");
  EXPECT_EQ(window_->Selection().Item(1)->Subject(), "s");
  EXPECT_GE(counter_->changes, 2);

  // A message of another folder, or one that is gone, changes nothing.
  const int before = counter_->changes;
  for (const std::string& bad : {ids_[1], std::string("00ff00")}) {
    reply = Ask(protocol::SelectRequest{3, "Inbox/Spam", {bad}});
    ASSERT_TRUE(std::holds_alternative<protocol::Error>(reply)) << bad;
  }
  EXPECT_EQ(counter_->changes, before);
  EXPECT_EQ(window_->Selection().Count(), 1);
}

TEST_F(WindowRequestsTest, CommandBarsTravelWithTheirPopupsCommandsAndKeys) {
  CommandBars& bars = window_->CommandBars();
  auto bar = bars.Add("Quorvel");
  auto button = bar->Controls().Add(msoControlButton);
  button->caption = "&Good E-mail";
  button->tag = "Quorvel-Item-32775";
  button->parameter = "32775";
  button->face = "/* XPM */";
  auto menu = bars.ActiveMenuBar()->Controls().Add(msoControlPopup);
  menu->caption = "&Quorvel";
  auto item = menu->Controls().Add(msoControlButton);
  item->caption = "&Help";
  item->parameter = "32788";
  item->beginGroup = true;
  bars.accelerators = {{"Ctrl+Alt+F", 32775}};

  auto reply = Ask(protocol::CommandBarsRequest{9});
  ASSERT_TRUE(std::holds_alternative<protocol::CommandBarList>(reply));
  const auto& list = std::get<protocol::CommandBarList>(reply);
  EXPECT_EQ(list.id, 9u);
  ASSERT_EQ(list.bars.size(), 2u);
  EXPECT_EQ(list.bars[0].name, "Menu Bar");
  ASSERT_EQ(list.bars[0].controls.size(), 1u);
  EXPECT_EQ(list.bars[0].controls[0].type, "popup");
  ASSERT_EQ(list.bars[0].controls[0].controls.size(), 1u);
  EXPECT_EQ(list.bars[0].controls[0].controls[0].command, 32788);
  EXPECT_TRUE(list.bars[0].controls[0].controls[0].beginGroup);
  EXPECT_EQ(list.bars[1].controls[0].command, 32775);
  EXPECT_EQ(list.bars[1].controls[0].face, "/* XPM */");
  EXPECT_EQ(list.bars[0].controls[0].command, 0);  // a popup delivers nothing
  ASSERT_EQ(list.keys.size(), 1u);
  EXPECT_EQ(list.keys[0].keys, "Ctrl+Alt+F");
}

TEST_F(WindowRequestsTest, AClickTakesTheWindowsSelectionUnlessItNamesItsOwn) {
  window_->Select(Selection({*box_.nameSpace->GetItemFromID(ids_[2], "")}));
  std::shared_ptr<MAPIFolder> folder;
  Selection selection;
  ASSERT_TRUE(ClickTarget(*box_.application, {1, 32775}, &folder, &selection).ok());
  EXPECT_EQ(FolderPathOf(*folder), "Inbox");
  ASSERT_EQ(selection.Count(), 1);
  EXPECT_EQ(selection.Item(1)->Subject(), "m2");

  ASSERT_TRUE(
      ClickTarget(*box_.application, {2, 32775, "Inbox/Spam", {spamMessage_}}, &folder, &selection)
          .ok());
  EXPECT_EQ(FolderPathOf(*folder), "Inbox/Spam");
  EXPECT_EQ(selection.Item(1)->Subject(), "s");
  EXPECT_EQ(
      ClickTarget(*box_.application, {3, 32775, "Inbox", {"00ff00"}}, &folder, &selection).code,
      OutcomeCode::kNotFound);
}

}  // namespace
}  // namespace quorvel::host
