#include "ui/ui.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ui/scripted_ui.h"

namespace quorvel::ui {
namespace {

using platform::IDCANCEL;
using platform::IDNO;
using platform::IDOK;
using platform::IDYES;

TEST(MessageBoxButtonsTest, DefaultAffirmativeAndCancelOfEachStyle) {
  struct Case {
    std::uint32_t style;
    int defaultButton, affirmative, cancel;
  } cases[] = {
      {platform::MB_OK, IDOK, IDOK, IDOK},
      {platform::MB_OKCANCEL, IDOK, IDOK, IDCANCEL},
      {platform::MB_YESNO, IDYES, IDYES, IDNO},
      {platform::MB_YESNO | MB_DEFBUTTON2, IDNO, IDYES, IDNO},
      {platform::MB_YESNOCANCEL | MB_DEFBUTTON3, IDCANCEL, IDYES, IDCANCEL},
      // A default button past the set's end falls back to the first.
      {platform::MB_OK | MB_DEFBUTTON3, IDOK, IDOK, IDOK},
      {platform::MB_YESNO | platform::MB_ICONQUESTION, IDYES, IDYES, IDNO},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.style);
    EXPECT_EQ(DefaultButton(c.style), c.defaultButton);
    EXPECT_EQ(AffirmativeButton(c.style), c.affirmative);
    EXPECT_EQ(CancelButton(c.style), c.cancel);
  }
}

Dialog NameDialog() {
  Dialog dialog;
  dialog.title = "Add Address";
  dialog.controls.push_back({.kind = ControlKind::kTextBox, .id = "address", .label = "Address"});
  dialog.validate = [](const Dialog& d, std::int32_t) {
    return d.Find("address")->text.empty() ? std::string("Enter an address.") : std::string();
  };
  return dialog;
}

TEST(RunDialogTest, AsksAgainUntilTheValuesAreAccepted) {
  ScriptedUi ui;
  ui.QueueDialog([](Dialog&) { return IDOK; });  // left empty: rejected
  ui.QueueDialog([](Dialog& d) {
    d.Find("address")->text = "a@example.org";
    return IDOK;
  });
  Dialog dialog = NameDialog();
  EXPECT_EQ(RunDialog(ui, dialog), IDOK);
  EXPECT_EQ(dialog.Find("address")->text, "a@example.org");
  EXPECT_THAT(ui.texts(), testing::Contains("Enter an address."));
  EXPECT_EQ(ui.dialogs().size(), 2u);
}

TEST(RunDialogTest, CancelIsNeverValidated) {
  ScriptedUi ui;
  ui.QueueDialog([](Dialog&) { return IDCANCEL; });
  Dialog dialog = NameDialog();
  EXPECT_EQ(RunDialog(ui, dialog), IDCANCEL);
  EXPECT_THAT(ui.texts(), testing::Not(testing::Contains("Enter an address.")));
}

// A presenter nobody answers gives the same answer every time: the dialog must end.
class NobodyUi final : public Ui {
 public:
  int Show(const std::string&, const std::string&, std::uint32_t style) override {
    ++shown;
    return DefaultButton(style);
  }
  std::int32_t Present(Dialog& dialog) override {
    ++presented;
    return dialog.defaultButton;
  }
  std::unique_ptr<Progress> BeginProgress(const std::string&) override { return nullptr; }
  void Notify(const std::string&, const std::string&) override {}
  bool OpenUrl(const std::string&) override { return false; }
  bool Interactive() const override { return false; }
  int shown = 0, presented = 0;
};

TEST(RunDialogTest, RejectedAnswersOfAPresenterWithoutAUserEndAsCancel) {
  NobodyUi ui;
  Dialog dialog = NameDialog();
  EXPECT_EQ(RunDialog(ui, dialog), IDCANCEL);
  EXPECT_EQ(ui.presented, 1);
  EXPECT_EQ(ui.shown, 1);
}

TEST(ScriptedUiTest, ProgressIsCancelledAfterTheScriptedNumberOfUpdates) {
  ScriptedUi ui;
  ui.CancelProgressAfter(2);
  auto progress = ui.BeginProgress("Checking");
  progress->Update(1, 10, "one");
  EXPECT_FALSE(progress->Cancelled());
  progress->Update(2, 10, "two");
  EXPECT_TRUE(progress->Cancelled());
  EXPECT_THAT(ui.texts(), testing::ElementsAre("Checking", "one", "two"));
}

}  // namespace
}  // namespace quorvel::ui
