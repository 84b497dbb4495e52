// Marking Options keeps its invariant; the Confirmation's lines, its "do not show"
// flag and when it is not shown at all.
#include "ui/marking_dialogs.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ui/scripted_ui.h"

namespace quorvel::ui {
namespace {

using ::testing::IsEmpty;

TEST(MarkingOptionsTest, DomainBoxFollowsTheAddressBox) {
  UserSettings s;
  s.goodAddWhiteList = 1;
  s.goodAddDomainWhiteList = 1;
  Dialog d = MarkingOptionsDialog(s);
  EXPECT_EQ(d.title, "Marking Options");
  EXPECT_TRUE(d.Find(kGoodBayes)->checked);
  EXPECT_TRUE(d.Find(kJunkBayes)->checked);
  EXPECT_TRUE(IsEnabled(d, *d.Find(kGoodAddDomain)));
  // Clearing the address box disables the domain box and OK stores both as 0.
  d.Find(kGoodAddWhiteList)->checked = false;
  EXPECT_FALSE(IsEnabled(d, *d.Find(kGoodAddDomain)));
  StoreMarkingOptions(d, s);
  EXPECT_EQ(s.goodAddWhiteList, 0u);
  EXPECT_EQ(s.goodAddDomainWhiteList, 0u);
  // A record that broke the invariant opens with the domain box clear.
  s.goodAddDomainWhiteList = 1;
  EXPECT_FALSE(MarkingOptionsDialog(s).Find(kGoodAddDomain)->checked);
}

TEST(MarkingOptionsTest, OkStoresEveryBoxAndCancelNothing) {
  UserSettings s;
  ScriptedUi ui;
  ui.QueueDialog([](Dialog& d) {
    d.Find(kGoodMoveInbox)->checked = false;
    d.Find(kGoodApplyToAll)->checked = false;
    d.Find(kJunkAddBlackList)->checked = true;
    d.Find(kJunkMoveInbox)->checked = false;
    d.Find(kJunkApplyToAll)->checked = true;
    d.Find(kGoodAddDomain)->checked = true;
    return platform::IDOK;
  });
  ASSERT_TRUE(RunMarkingOptions(ui, s));
  EXPECT_EQ(s.goodAddWhiteList, 1u);
  EXPECT_EQ(s.goodAddDomainWhiteList, 1u);
  EXPECT_EQ(s.goodMoveInbox, 0u);
  EXPECT_EQ(s.goodApplyToAll, 0u);
  EXPECT_EQ(s.junkAddBlackList, 1u);
  EXPECT_EQ(s.junkMoveInbox, 0u);
  EXPECT_EQ(s.junkApplyToAll, 1u);
  UserSettings before = s;
  ui.QueueDialog([](Dialog& d) {
    d.Find(kJunkAddBlackList)->checked = false;
    return platform::IDCANCEL;
  });
  EXPECT_FALSE(RunMarkingOptions(ui, s));
  EXPECT_EQ(s.junkAddBlackList, before.junkAddBlackList);
}

TEST(MarkingConfirmationTest, LinesWithAndWithoutADestination) {
  Dialog good = MarkingConfirmationDialog(false, "");
  EXPECT_EQ(good.title, "Confirmation");
  EXPECT_EQ(good.Find("first")->label, "You have marked messages as Good e-mail.");
  EXPECT_EQ(good.Find("second")->label, "");
  EXPECT_EQ(good.Find(kDoNotShowAgain)->label, "&Do not show again");
  EXPECT_EQ(good.Find("note")->label,
            "Note: You can customize the list of operations for marked messages on General tab "
            "of program options.");
  Dialog junk = MarkingConfirmationDialog(true, "Mail -> Inbox -> Spam");
  EXPECT_EQ(junk.Find("first")->label, "You have marked messages as Junk e-mail.");
  EXPECT_EQ(junk.Find("second")->label, "The messages will be moved to\nMail -> Inbox -> Spam.");
}

TEST(MarkingConfirmationTest, DoNotShowAgainSetsOnlyItsOwnFlagAndSilencesIt) {
  SettingsHolder settings;
  ScriptedUi ui;
  ui.QueueDialog([](Dialog& d) {
    d.Find(kDoNotShowAgain)->checked = true;
    return platform::IDOK;
  });
  EXPECT_TRUE(ShowMarkingConfirmation(ui, settings, /*junk=*/true, ""));
  EXPECT_EQ(settings.Lock()->junkDoNotShowAnymore, 1u);
  EXPECT_EQ(settings.Lock()->goodDoNotShowAnymore, 0u);
  ScriptedUi later;
  EXPECT_FALSE(ShowMarkingConfirmation(later, settings, true, "Spam"));
  EXPECT_THAT(later.shown(), IsEmpty());
  EXPECT_TRUE(ShowMarkingConfirmation(later, settings, false, ""));
  EXPECT_EQ(settings.Lock()->goodDoNotShowAnymore, 0u) << "the box was left clear";
}

}  // namespace
}  // namespace quorvel::ui
