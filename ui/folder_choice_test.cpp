#include "ui/folder_choice.h"

#include <gtest/gtest.h>

#include "ui/scripted_ui.h"

namespace quorvel::ui {
namespace {

using platform::IDCANCEL;
using platform::IDOK;

ScriptedUi::DialogScript Choose(std::int32_t option, std::int32_t button) {
  return [option, button](Dialog& d) {
    d.Find(kFolderChoiceControl)->selected = option;
    return button;
  };
}

TEST(FolderChoiceTest, GivesTheIndexChosenAndNothingOtherwise) {
  const std::vector<std::string> paths = {"Inbox", "Inbox/Spam", "Archive"};
  struct Case {
    const char* what;
    std::int32_t option, button;
    std::optional<std::size_t> expected;
  } cases[] = {
      {"a folder and OK", 1, IDOK, 1},
      {"the last folder", 2, IDOK, 2},
      {"a folder and Cancel", 1, IDCANCEL, std::nullopt},
      {"OK with none chosen", -1, IDOK, std::nullopt},
      {"an option past the list", 3, IDOK, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScriptedUi ui;
    ui.QueueDialog(Choose(c.option, c.button));
    EXPECT_EQ(ChooseFolder(ui, paths, "&Folder:"), c.expected);
  }
}

TEST(FolderChoiceTest, ShowsThePathsUnderTheCallersLabel) {
  ScriptedUi ui;
  ui.QueueDialog(Choose(0, IDOK));
  EXPECT_EQ(ChooseFolder(ui, {"Personal Folders -> Inbox"}, "Folders:"), 0u);
  const std::vector<Dialog> dialogs = ui.dialogs();
  ASSERT_EQ(dialogs.size(), 1u);
  const Dialog& shown = dialogs.front();
  EXPECT_EQ(shown.kind, kFolderChoiceKind);
  EXPECT_EQ(shown.title, "Select Folder");
  const Control* choice = shown.Find(kFolderChoiceControl);
  ASSERT_NE(choice, nullptr);
  EXPECT_EQ(choice->label, "Folders:");
  EXPECT_EQ(choice->options, std::vector<std::string>{"Personal Folders -> Inbox"});
}

// A presenter nobody answers takes the dialog's default button, which must not pick
// a folder even when the choice has one selected.
TEST(FolderChoiceTest, NobodyToAskChoosesNothing) {
  struct Silent final : Ui {
    int Show(const std::string&, const std::string&, std::uint32_t style) override {
      return DefaultButton(style);
    }
    std::int32_t Present(Dialog& d) override {
      d.Find(kFolderChoiceControl)->selected = 0;
      return d.defaultButton;
    }
    std::unique_ptr<Progress> BeginProgress(const std::string&) override { return nullptr; }
    void Notify(const std::string&, const std::string&) override {}
    bool OpenUrl(const std::string&) override { return false; }
    bool Interactive() const override { return false; }
  } silent;
  EXPECT_EQ(ChooseFolder(silent, {"Inbox"}, "&Folder:"), std::nullopt);
}

}  // namespace
}  // namespace quorvel::ui
