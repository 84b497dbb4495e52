#include "ui/check_folder_dialog.h"

#include <gtest/gtest.h>

#include "platform/message_box.h"
#include "ui/scripted_ui.h"

namespace quorvel::ui {
namespace {

TEST(CheckFolderConfirmationTest, TheSubfolderBoxFollowsWhetherThereAreSubfolders) {
  Dialog with = CheckFolderConfirmation("Inbox", true);
  EXPECT_EQ(with.controls[0].label, "Are you sure you want to check \"Inbox\" folder?");
  const Control* box = with.Find(kSubfoldersControl);
  ASSERT_NE(box, nullptr);
  EXPECT_TRUE(box->checked);
  EXPECT_TRUE(IsEnabled(with, *box));
  EXPECT_TRUE(IncludesSubfolders(with));
  with.Find(kSubfoldersControl)->checked = false;
  EXPECT_FALSE(IncludesSubfolders(with));

  Dialog without = CheckFolderConfirmation("Archive", false);
  EXPECT_FALSE(without.Find(kSubfoldersControl)->checked);
  EXPECT_FALSE(IsEnabled(without, *without.Find(kSubfoldersControl)));
  // A box checked anyway (by a front end that ignored the switch) includes nothing.
  without.Find(kSubfoldersControl)->checked = true;
  EXPECT_FALSE(IncludesSubfolders(without));
}

TEST(CheckFolderConfirmationTest, YesIsTheAnswerOfNobodyAndNoOfClosing) {
  Dialog d = CheckFolderConfirmation("Inbox", false);
  EXPECT_EQ(d.defaultButton, platform::IDYES);
  EXPECT_EQ(d.affirmativeButton, platform::IDYES);
  EXPECT_EQ(d.cancelButton, platform::IDNO);
  ScriptedUi ui;
  ui.QueueDialog(ScriptedUi::Press(platform::IDNO));
  EXPECT_EQ(RunDialog(ui, d), platform::IDNO);
}

TEST(CheckProgressTextTest, TheRateComesOnceASecondHasPassed) {
  using std::chrono::milliseconds;
  EXPECT_EQ(CheckProgressText(0, 0, milliseconds(0)), "0 checked, 0 spam");
  EXPECT_EQ(CheckProgressText(900, 12, milliseconds(999)), "900 checked, 12 spam");
  EXPECT_EQ(CheckProgressText(3046, 1520, milliseconds(2000)),
            "3,046 checked, 1,520 spam, 1,523/s");
  EXPECT_EQ(CheckProgressText(0, 0, milliseconds(5000)), "0 checked, 0 spam");
  EXPECT_EQ(CheckProgressText(1234567, 0, milliseconds(1000)),
            "1,234,567 checked, 0 spam, 1,234,567/s");
}

}  // namespace
}  // namespace quorvel::ui
