#include "ui/hooked_ui.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ui/scripted_ui.h"

namespace quorvel::ui {
namespace {

using platform::IDCANCEL;
using platform::IDOK;
using ::testing::ElementsAre;

Dialog EntryDialog(std::string kind, std::string title) {
  Dialog dialog;
  dialog.kind = std::move(kind);
  dialog.title = std::move(title);
  dialog.controls = {{.kind = ControlKind::kTextBox, .id = "address", .text = "old@example.org"},
                     {.kind = ControlKind::kTextBox, .id = "name", .text = "Old"}};
  dialog.buttons = {RoleButton(ButtonRole::kOk, "OK"), RoleButton(ButtonRole::kCancel, "Cancel")};
  return dialog;
}

TEST(PrefillHookTest, AnswersTheFirstDialogOfItsKindAndShowsEveryOther) {
  ScriptedUi inner;
  inner.QueueDialog(ScriptedUi::Press(IDCANCEL));  // "Before", shown
  inner.QueueDialog(ScriptedUi::Press(IDOK));      // the second "Edit", shown
  HookedUi ui(inner, PrefillHook("edit-entry", {{"address", "new@example.org"}, {"nothing", "x"}},
                                 IDCANCEL));

  Dialog before = EntryDialog("confirm", "Before");
  EXPECT_EQ(ui.Present(before), IDCANCEL);
  EXPECT_EQ(before.Find("address")->text, "old@example.org");

  Dialog first = EntryDialog("edit-entry", "Edit");
  EXPECT_EQ(ui.Present(first), IDCANCEL);  // the hook's button, not the dialog's default
  EXPECT_EQ(first.Find("address")->text, "new@example.org");
  EXPECT_EQ(first.Find("name")->text, "Old");  // a box not named keeps its value
  EXPECT_EQ(first.Find("nothing"), nullptr);   // a name with no box adds none

  Dialog second = EntryDialog("edit-entry", "Edit again");
  EXPECT_EQ(ui.Present(second), IDOK);
  EXPECT_EQ(second.Find("address")->text, "old@example.org");

  // Only the dialogs the hook let through reached the inner presenter.
  std::vector<std::string> titles;
  for (const ScriptedUi::Shown& s : inner.shown()) titles.push_back(s.text);
  EXPECT_THAT(titles, ElementsAre("Before", "Edit again"));
}

// A copy of the hook (one presenter per thread, say) does not answer a second time.
TEST(PrefillHookTest, ItsCopiesAnswerOneDialogBetweenThem) {
  ScriptedUi inner;
  inner.QueueDialog(ScriptedUi::Press(IDCANCEL));
  DialogHook hook = PrefillHook("edit-entry", {{"name", "New"}});
  HookedUi first(inner, hook);
  HookedUi second(inner, hook);
  Dialog one = EntryDialog("edit-entry", "Edit");
  Dialog two = EntryDialog("edit-entry", "Edit");
  EXPECT_EQ(second.Present(one), IDOK);
  EXPECT_EQ(one.Find("name")->text, "New");
  EXPECT_EQ(first.Present(two), IDCANCEL);  // shown
  EXPECT_EQ(two.Find("name")->text, "Old");
}

TEST(HookedUiTest, AHookThatChangesValuesStillLetsTheDialogBeShown) {
  ScriptedUi inner;
  std::string seen;
  inner.QueueDialog([&seen](Dialog& d) {
    seen = d.Find("name")->text;
    return IDOK;
  });
  int calls = 0;
  HookedUi ui(inner, [&calls](Dialog& d) -> std::optional<std::int32_t> {
    ++calls;
    d.Find("name")->text = "From the hook";
    return std::nullopt;
  });
  Dialog dialog = EntryDialog("edit-entry", "Edit");
  EXPECT_EQ(ui.Present(dialog), IDOK);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(seen, "From the hook");
}

TEST(HookedUiTest, PassesEverythingElseOnAndAnEmptyHookPassesDialogsToo) {
  ScriptedUi inner;
  inner.QueueAnswer(platform::IDNO);
  inner.QueueDialog(ScriptedUi::Press(IDCANCEL));
  HookedUi ui(inner, DialogHook());
  EXPECT_EQ(ui.Show("Go on?", "Quorvel", platform::MB_YESNO), platform::IDNO);
  Dialog dialog = EntryDialog("edit-entry", "Edit");
  EXPECT_EQ(ui.Present(dialog), IDCANCEL);
  ui.Notify("Quorvel", "3 spam");
  EXPECT_TRUE(ui.OpenUrl("mailto:support@example.org"));
  { ui.BeginProgress("Checking")->Update(1, 2, "one"); }
  EXPECT_EQ(ui.Interactive(), inner.Interactive());
  EXPECT_THAT(inner.texts(), ::testing::IsSupersetOf({"Go on?", "Edit", "3 spam", "Checking"}));
  EXPECT_THAT(inner.updates(), ElementsAre("1/2 one"));
}

TEST(HookedUiTest, ADialogKeptOpenPassesEachPressThroughTheHook) {
  ScriptedUi inner;
  int calls = 0;
  HookedUi ui(inner, [&calls](Dialog&) -> std::optional<std::int32_t> {
    return ++calls == 1 ? std::optional<std::int32_t>(IDOK) : std::nullopt;
  });
  Dialog dialog = EntryDialog("edit-entry", "Edit");
  std::unique_ptr<DialogSession> session = ui.Open(dialog);
  EXPECT_EQ(session->Next(), IDOK);  // answered by the hook
  session->Next();                   // shown
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(inner.dialogs().size(), 1u);
}

}  // namespace
}  // namespace quorvel::ui
