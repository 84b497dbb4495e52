// Dialogs kept open: a wizard whose next page the owner picks, with Back returning to
// the page the user came from and validation per page; a sheet whose Apply keeps it
// open and whose refusing page is shown; a list page's buttons changing rows in
// place; and the same runs through a presenter that only knows Present.
#include "ui/run_pages.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ui/scripted_ui.h"

namespace quorvel::ui {
namespace {

using platform::IDCANCEL;
using platform::IDOK;
using testing::ElementsAre;

// The first-run wizard's shape: welcome, then folders only when there is mail to
// scan ("few" checked skips them), then done. Folders needs at least one row.
Dialog Wizard() {
  Dialog d;
  d.title = "Welcome";
  d.pages = {
      {.id = "welcome", .controls = {{.kind = ControlKind::kCheckBox, .id = "few"}}},
      {.id = "folders",
       .controls = {{.kind = ControlKind::kList, .id = "folders", .rows = {{"Sent"}}}}},
      {.id = "scan"},
      {.id = "done", .controls = {{.kind = ControlKind::kCheckBox, .id = "check"}}},
  };
  d.nextPage = [](const Dialog& w, const std::string& page) -> std::string {
    if (page == "welcome") return w.Find("few")->checked ? "scan" : "folders";
    if (page == "folders") return "scan";
    if (page == "scan") return "done";
    return "";
  };
  d.validatePage = [](const Dialog& w, const std::string& page) -> std::string {
    if (page == "folders" && w.Find("folders")->rows.empty()) {
      return "Please select at least one mail folder.";
    }
    return "";
  };
  return d;
}

TEST(RunWizardTest, BackReturnsToThePageTheUserCameFromNotTheOneBeforeInOrder) {
  ScriptedUi ui;
  ui.QueueDialog([](Dialog& d) {  // welcome: few messages, so the folders are skipped
    d.Find("few")->checked = true;
    return kNextButton;
  });
  ui.QueueDialog(ScriptedUi::Press(kBackButton));  // scan: back to welcome, not folders
  ui.QueueDialog([](Dialog& d) {
    d.Find("few")->checked = false;
    return kNextButton;
  });
  ui.QueueDialog(ScriptedUi::Press(kNextButton));  // folders
  ui.QueueDialog(ScriptedUi::Press(kBackButton));  // scan: back to folders
  ui.QueueDialog(ScriptedUi::Press(kNextButton));
  ui.QueueDialog(ScriptedUi::Press(kNextButton));  // scan
  ui.QueueDialog([](Dialog& d) {
    d.Find("check")->checked = true;
    return kFinishButton;
  });
  Dialog d = Wizard();
  EXPECT_EQ(RunWizard(ui, d), kFinishButton);
  EXPECT_THAT(ui.pagesPressed(), ElementsAre("welcome", "scan", "welcome", "folders", "scan",
                                             "folders", "scan", "done"));
  EXPECT_TRUE(d.Find("check")->checked);
}

TEST(RunWizardTest, ButtonsFollowThePageAndTheDefaultMovesForward) {
  ScriptedUi ui;
  Dialog d = Wizard();
  EXPECT_EQ(RunWizard(ui, d), kFinishButton);  // nobody presses: the defaults go through
  EXPECT_THAT(ui.pagesPressed(), ElementsAre("welcome", "folders", "scan", "done"));
  // On the first page Back is off and Next the default; on the last Finish is.
  const std::vector<Dialog> seen = ui.dialogs();
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_FALSE(seen[0].FindButton(kBackButton)->enabled);
  EXPECT_TRUE(seen[0].FindButton(kNextButton)->enabled);
  EXPECT_FALSE(seen[0].FindButton(kFinishButton)->enabled);
  EXPECT_EQ(seen[0].affirmativeButton, kNextButton);
  EXPECT_TRUE(seen[1].FindButton(kBackButton)->enabled);
  EXPECT_FALSE(seen[3].FindButton(kNextButton)->enabled);
  EXPECT_TRUE(seen[3].FindButton(kFinishButton)->enabled);
  EXPECT_EQ(seen[3].defaultButton, kFinishButton);
  // Only what changed was sent: no change repeats the state already shown.
  const std::vector<DialogChange> changes = ui.changes();  // a copy, taken once
  for (std::size_t i = 1; i < changes.size(); ++i) {
    const DialogChange& a = changes[i - 1];
    const DialogChange& b = changes[i];
    EXPECT_FALSE(a.kind == ChangeKind::kButton && b.kind == ChangeKind::kButton &&
                 a.button == b.button && a.enabled == b.enabled);
  }
}

TEST(RunWizardTest, AnswersQueuedForAPageWaitForThatPage) {
  ScriptedUi ui;
  // The done page's answer is queued first; the other pages take the defaults.
  ui.QueueOnPage("done", [](Dialog& d) {
    d.Find("check")->checked = true;
    return kBackButton;
  });
  ui.QueueOnPage("scan", ScriptedUi::Press(kBackButton));
  Dialog d = Wizard();
  EXPECT_EQ(RunWizard(ui, d), kFinishButton);
  EXPECT_THAT(ui.pagesPressed(),
              ElementsAre("welcome", "folders", "scan", "folders", "scan", "done", "scan", "done"));
  EXPECT_TRUE(d.Find("check")->checked);
}

TEST(RunWizardTest, APageDoesItsWorkWhenShownWithProgressTheUserCanCancel) {
  // The scan page scans when it is shown; the label says how far it got. The user
  // cancels the second scan (after Back and Next) while it runs.
  ScriptedUi ui;
  Dialog d = Wizard();
  d.FindPage("scan")->controls.push_back({.kind = ControlKind::kLabel, .id = "result"});
  std::vector<std::string> shown;
  int scans = 0;
  const PageHandler scan = [&](DialogSession& session, const std::string& page) {
    shown.push_back(page);
    if (page != "scan") return;
    std::unique_ptr<Progress> progress = ui.BeginProgress("Scanning");
    if (++scans == 2) ui.CancelProgressNow();
    int done = 0;
    while (done < 10 && !progress->Cancelled()) progress->Update(++done, 10, "");
    Control result = *session.dialog().Find("result");
    result.text = std::to_string(done) + " scanned";
    session.Update(DialogChange::ControlValues(result));
  };
  ui.QueueOnPage("scan", ScriptedUi::Press(kBackButton));
  EXPECT_EQ(RunWizard(ui, d, {}, scan), kFinishButton);
  EXPECT_EQ(shown,
            (std::vector<std::string>{"welcome", "folders", "scan", "folders", "scan", "done"}));
  EXPECT_EQ(d.Find("result")->text, "0 scanned");
}

TEST(RunWizardTest, ARefusedPageStaysAndADisabledPressIsIgnored) {
  ScriptedUi ui;
  ui.QueueDialog(ScriptedUi::Press(kFinishButton));  // welcome: Finish is off, ignored
  ui.QueueDialog(ScriptedUi::Press(kNextButton));
  ui.QueueDialog([](Dialog& d) {  // folders emptied: refused, stays
    d.Find("folders")->rows.clear();
    return kNextButton;
  });
  ui.QueueDialog([](Dialog& d) {
    d.Find("folders")->rows = {{"Inbox"}};
    return kNextButton;
  });
  ui.QueueDialog(ScriptedUi::Press(IDCANCEL));  // scan: Cancel is never validated
  Dialog d = Wizard();
  EXPECT_EQ(RunWizard(ui, d), IDCANCEL);
  EXPECT_THAT(ui.pagesPressed(), ElementsAre("welcome", "welcome", "folders", "folders", "scan"));
  EXPECT_THAT(ui.texts(), testing::Contains("Please select at least one mail folder."));
}

// The presenter without a person: Present gives the default, message boxes theirs.
class NobodyUi final : public Ui {
 public:
  int Show(const std::string&, const std::string&, std::uint32_t style) override {
    return DefaultButton(style);
  }
  std::int32_t Present(Dialog& dialog) override {
    presented.push_back(dialog);
    return dialog.defaultButton;
  }
  std::unique_ptr<Progress> BeginProgress(const std::string&) override { return nullptr; }
  void Notify(const std::string&, const std::string&) override {}
  bool OpenUrl(const std::string&) override { return false; }
  bool Interactive() const override { return false; }
  std::vector<Dialog> presented;
};

TEST(RunWizardTest, WithoutAPersonItRunsToFinishOrEndsOnARefusal) {
  {
    NobodyUi ui;
    Dialog d = Wizard();
    EXPECT_EQ(RunWizard(ui, d), kFinishButton);
    ASSERT_EQ(ui.presented.size(), 4u);
    EXPECT_EQ(ui.presented[1].title, "Welcome");  // a page without a title adds none
  }
  {
    NobodyUi ui;
    Dialog d = Wizard();
    d.Find("folders")->rows.clear();
    EXPECT_EQ(RunWizard(ui, d), IDCANCEL);
    EXPECT_EQ(ui.presented.size(), 2u);
  }
  {
    NobodyUi ui;  // an owner whose pages go round for ever is stopped
    Dialog d = Wizard();
    d.nextPage = [](const Dialog&, const std::string& page) -> std::string {
      return page == "welcome" ? "scan" : "welcome";
    };
    EXPECT_EQ(RunWizard(ui, d), IDCANCEL);
  }
}

// The options sheet's shape: two pages, OK, Cancel, Apply; the list page has Add and
// Remove (enabled by a selection).
constexpr std::int32_t kAdd = 100;
constexpr std::int32_t kRemove = 101;
Dialog Sheet() {
  Dialog d;
  d.title = "Quorvel";
  d.style = DialogStyle::kSheet;
  d.pages = {
      {.id = "general",
       .title = "General",
       .controls = {{.kind = ControlKind::kTextBox, .id = "folder", .text = "Spam"}}},
      {.id = "white",
       .title = "White List",
       .controls = {{.kind = ControlKind::kList,
                     .id = "white",
                     .rows = {{"a@example.org"}, {"b@example.org"}},
                     .multiSelect = true}},
       .buttons = {{.id = kAdd, .text = "&Add...", .closes = false},
                   {.id = kRemove,
                    .text = "&Remove",
                    .closes = false,
                    .enabledBy = {"white", {"one", "many"}}}}},
  };
  d.buttons = {RoleButton(ButtonRole::kOk, "OK"), RoleButton(ButtonRole::kCancel, "Cancel"),
               RoleButton(ButtonRole::kApply, "&Apply")};
  d.validatePage = [](const Dialog& s, const std::string& page) -> std::string {
    return page == "general" && s.Find("folder")->text.empty() ? "Choose a folder." : "";
  };
  return d;
}

// What the owner does with a list page's buttons: rows changed in place.
ActionHandler ListOwner(std::vector<std::int32_t>* applied) {
  return [applied](DialogSession& session, std::int32_t button) {
    Control& list = *session.dialog().Find("white");
    if (button == kAdd) {
      session.Update(DialogChange::RowsInserted(
          "white", static_cast<std::int32_t>(list.rows.size()), {{"new@example.org"}}));
    } else if (button == kRemove) {
      const std::vector<std::int32_t> rows = list.selectedRows;
      for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
        session.Update(DialogChange::RowsRemoved("white", *it, 1));
      }
    } else if (button == kApplyButton) {
      applied->push_back(button);
    }
  };
}

TEST(RunOpenDialogTest, ListButtonsChangeRowsInPlaceAndApplyKeepsTheSheetOpen) {
  ScriptedUi ui;
  ui.QueueDialog(ScriptedUi::Press(kRemove));  // nothing selected: Remove is off, ignored
  ui.QueueDialog(ScriptedUi::Press(kAdd));
  ui.QueueDialog(ScriptedUi::Select("white", {0, 2}, kRemove));
  ui.QueueDialog(ScriptedUi::Press(kApplyButton));
  ui.QueueDialog(ScriptedUi::Press(IDOK));
  std::vector<std::int32_t> applied;
  Dialog d = Sheet();
  d.currentPage = "white";
  EXPECT_EQ(RunOpenDialog(ui, d, ListOwner(&applied)), IDOK);
  EXPECT_EQ(d.Find("white")->rows, (std::vector<std::vector<std::string>>{{"b@example.org"}}));
  EXPECT_TRUE(d.Find("white")->selectedRows.empty());
  EXPECT_EQ(applied, std::vector<std::int32_t>{kApplyButton});
  // One row in, two out: three deltas, never the list again.
  ASSERT_EQ(ui.changes().size(), 3u);
  EXPECT_EQ(ui.changes()[0].kind, ChangeKind::kRowsInserted);
  EXPECT_EQ(ui.changes()[1].first, 2);  // removed last to first
  EXPECT_EQ(ui.changes()[2].first, 0);
}

TEST(RunOpenDialogTest, ARefusingPageIsShownAndTheSheetStaysOpen) {
  ScriptedUi ui;
  ui.QueueDialog([](Dialog& d) {
    d.Find("folder")->text.clear();
    return kApplyButton;
  });
  ui.QueueDialog([](Dialog& d) {  // shown the general page, the user mends it
    d.Find("folder")->text = "Junk";
    return IDOK;
  });
  std::vector<std::int32_t> applied;
  Dialog d = Sheet();
  d.currentPage = "white";
  EXPECT_EQ(RunOpenDialog(ui, d, ListOwner(&applied)), IDOK);
  EXPECT_THAT(ui.pagesPressed(), ElementsAre("white", "general"));
  EXPECT_TRUE(applied.empty());  // the refused Apply did not reach the owner
  EXPECT_THAT(ui.texts(), testing::Contains("Choose a folder."));
}

TEST(PresentEachTimeTest, APresentOnlyPresenterReachesEveryPageThroughPageButtons) {
  // A presenter that knows nothing of pages: it presses the button to the White List
  // page, then Remove with a row selected, then OK.
  class PlainUi final : public Ui {
   public:
    int Show(const std::string&, const std::string&, std::uint32_t) override { return IDOK; }
    std::int32_t Present(Dialog& dialog) override {
      seen.push_back(dialog);
      if (seen.size() == 1) {
        dialog.controls[1].text = "9";  // written into a label: not taken back
        for (const Button& b : dialog.buttons) {
          if (b.text == "> White List") return b.id;
        }
        return -1;
      }
      if (seen.size() == 2) {
        dialog.controls[0].selectedRows = {1, 7};  // 7 does not exist: dropped
        return kRemove;
      }
      return IDOK;
    }
    std::unique_ptr<Progress> BeginProgress(const std::string&) override { return nullptr; }
    void Notify(const std::string&, const std::string&) override {}
    bool OpenUrl(const std::string&) override { return false; }
    bool Interactive() const override { return true; }
    std::vector<Dialog> seen;
  } ui;
  std::vector<std::int32_t> applied;
  Dialog d = Sheet();
  // A kind newer than the presenter: shown to it as a label, its value kept here.
  d.pages[0].controls.push_back(
      {.kind = static_cast<ControlKind>(42), .id = "slider", .label = "Level", .text = "5"});
  EXPECT_EQ(RunOpenDialog(ui, d, ListOwner(&applied)), IDOK);
  ASSERT_EQ(ui.seen.size(), 3u);
  EXPECT_EQ(ui.seen[0].controls[1].kind, ControlKind::kLabel);
  EXPECT_EQ(d.Find("slider")->kind, static_cast<ControlKind>(42));
  EXPECT_EQ(d.Find("slider")->text, "5");
  EXPECT_EQ(ui.seen[0].title, "Quorvel - General");
  EXPECT_EQ(ui.seen[1].title, "Quorvel - White List");
  // Remove is offered only once a row is selected; page buttons lead elsewhere.
  auto texts = [](const Dialog& shown) {
    std::vector<std::string> out;
    for (const Button& b : shown.buttons) out.push_back(b.text);
    return out;
  };
  EXPECT_THAT(texts(ui.seen[1]), ElementsAre("&Add...", "OK", "Cancel", "&Apply", "> General"));
  EXPECT_EQ(d.Find("white")->rows, (std::vector<std::vector<std::string>>{{"a@example.org"}}));
  EXPECT_EQ(d.currentPage, "white");
}

}  // namespace
}  // namespace quorvel::ui
