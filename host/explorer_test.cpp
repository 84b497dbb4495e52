#include "host/explorer.h"

#include <gtest/gtest.h>

#include "host/memory_host.h"
#include "ui/scripted_ui.h"

namespace quorvel::host {
namespace {

struct Log : ExplorerEvents {
  void Activate() override { events.push_back("Activate"); }
  void SelectionChange() override { events.push_back("SelectionChange"); }
  void Close() override { events.push_back("Close"); }
  std::vector<std::string> events;
};

struct NewLog : ExplorersEvents {
  void NewExplorer(const std::shared_ptr<Explorer>& e) override { seen.push_back(e); }
  std::vector<std::shared_ptr<Explorer>> seen;
};

class ExplorerTest : public testing::Test {
 protected:
  ui::ScriptedUi ui_;
  MemoryHost box_{ui_};
  Explorers& explorers() { return *box_.application->Explorers(); }
};

TEST_F(ExplorerTest, NewWindowIsAnnouncedButOnlyActiveOnceActivated) {
  auto news = std::make_shared<NewLog>();
  explorers().Advise(news);
  auto explorer = explorers().Add(box_.Inbox());
  ASSERT_EQ(news->seen.size(), 1u);
  EXPECT_EQ(news->seen[0], explorer);
  EXPECT_EQ(box_.application->ActiveExplorer(), nullptr);
  explorer->Activate();
  EXPECT_EQ(box_.application->ActiveExplorer(), explorer);
}

TEST_F(ExplorerTest, ClosingTheActiveWindowLeavesTheCollectionAndStopsEvents) {
  auto first = explorers().Add(box_.Inbox());
  auto second = explorers().Add(box_.Inbox());
  second->Activate();
  auto log = std::make_shared<Log>();
  second->Advise(log);
  second->Close();
  second->Activate();  // a closed window raises nothing more
  EXPECT_EQ(log->events, std::vector<std::string>{"Close"});
  EXPECT_EQ(explorers().Count(), 1);
  EXPECT_EQ(box_.application->ActiveExplorer(), first);
}

// A sink that unadvises another sink (or itself) during an event must not make the
// delivery touch a dropped sink.
struct Unadviser : ExplorerEvents {
  void SelectionChange() override {
    ++calls;
    explorer->Unadvise(victim);
    explorer->Unadvise(self);
  }
  Explorer* explorer = nullptr;
  std::uint32_t victim = 0, self = 0;
  int calls = 0;
};

TEST_F(ExplorerTest, SinksMayUnadviseDuringAnEvent) {
  auto explorer = explorers().Add(box_.Inbox());
  auto unadviser = std::make_shared<Unadviser>();
  auto victim = std::make_shared<Log>();
  unadviser->explorer = explorer.get();
  unadviser->self = explorer->Advise(unadviser);
  unadviser->victim = explorer->Advise(victim);
  std::weak_ptr<Unadviser> weak = unadviser;
  unadviser.reset();
  explorer->Select(Selection());
  explorer->Select(Selection());
  EXPECT_TRUE(weak.expired());
  EXPECT_TRUE(victim->events.empty());
}

TEST_F(ExplorerTest, ChangingFolderEmptiesTheSelection) {
  auto explorer = explorers().Add(box_.Inbox());
  auto item = box_.nameSpace->GetDefaultFolder(olFolderInbox);
  ASSERT_TRUE(item.ok());
  auto log = std::make_shared<Log>();
  explorer->Advise(log);
  explorer->Select(Selection({nullptr}));
  EXPECT_EQ(explorer->Selection().Count(), 1);
  explorer->SetCurrentFolder(*item);
  EXPECT_EQ(explorer->Selection().Count(), 0);
  EXPECT_EQ(explorer->Selection().Item(1), nullptr);
  EXPECT_EQ(log->events, (std::vector<std::string>{"SelectionChange", "SelectionChange"}));
}

TEST(CommandBarsTest, ControlsAreFoundByTagInsidePopupsAndClickOnlyWhenEnabled) {
  CommandBars bars;
  auto bar = bars.Add("Quorvel");
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bars.Add("quorvel"), nullptr);  // names compare without case
  auto popup = bar->Controls().Add(msoControlPopup);
  auto button = popup->Controls().Add(msoControlButton);
  button->tag = "32775";
  int clicks = 0;
  button->onClick = [&](CommandBarControl&) { ++clicks; };
  EXPECT_EQ(bars.FindControl("32775"), button);
  button->Click();
  button->enabled = false;
  button->Click();
  EXPECT_EQ(clicks, 1);
  auto first = bar->Controls().Add(msoControlButton, 1);
  EXPECT_EQ(bar->Controls().Item(1), first);
  bars.Delete("Menu Bar");  // the menu bar stays
  EXPECT_NE(bars.ActiveMenuBar(), nullptr);
}

}  // namespace
}  // namespace quorvel::host
