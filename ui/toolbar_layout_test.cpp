#include "ui/toolbar_layout.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ui/customize_toolbar.h"
#include "ui/toolbar_commands.h"

namespace quorvel::ui {
namespace {

using ::testing::ElementsAre;
using Bytes = std::vector<std::uint8_t>;

// The buttons shown, in toolbar order.
std::vector<int> Shown(const ToolbarLayout& layout) {
  std::vector<int> shown;
  for (const ToolbarButton& b : layout.buttons) {
    if ((b.state & kButtonHidden) == 0) shown.push_back(b.command);
  }
  return shown;
}

TEST(ToolbarLayoutTest, TheRecordsAreTheirBytes) {
  // N 5, V 3, then 32775 32776 32778 32781 32782 little-endian.
  EXPECT_EQ(
      EncodeCustomization(DefaultCustomization()),
      (Bytes{5, 0, 0, 0, 3, 0, 0, 0, 0x07, 0x80, 0x08, 0x80, 0x0A, 0x80, 0x0D, 0x80, 0x0E, 0x80}));
  EXPECT_EQ(EncodePosition({}), (Bytes{0xFA, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 1,    0,    0,   0, 0,
                                       0,    0, 0, 0, 0,    0,    0,    0xFF, 0xFF, 0xFF, 0xFF}));
  auto again = DecodeCustomization(EncodeCustomization({1, {32778, 32775}}));
  ASSERT_TRUE(again);
  EXPECT_EQ(again->visible, 1u);
  EXPECT_THAT(again->commands, ElementsAre(32778, 32775));
  auto position = DecodePosition(EncodePosition({250, 2, 3, -40, 17, 0}));
  ASSERT_TRUE(position);
  EXPECT_EQ(position->left, -40);
  EXPECT_FALSE(PositionVisible(*position));
}

TEST(ToolbarLayoutTest, DamagedRecordsAreNotRead) {
  const Bytes good = EncodeCustomization(DefaultCustomization());
  struct Case {
    const char* what;
    Bytes bytes;
  };
  Bytes nine = {1, 0, 0, 0, 0, 0, 0, 0, 7};
  // N 0 passes "N equals (size - 8) / 2" when the half is rounded down; 9 bytes are
  // still no record.
  Bytes nineEmpty = {0, 0, 0, 0, 0, 0, 0, 0, 7};
  Bytes visibleAboveCount = good;
  visibleAboveCount[4] = 6;
  Bytes countAboveBytes = good;
  countAboveBytes[0] = 6;
  Bytes cut = good;
  cut.pop_back();
  const Case cases[] = {{"empty", {}},
                        {"7 bytes", Bytes(7, 0)},
                        {"9 bytes", nine},
                        {"9 bytes, N 0", nineEmpty},
                        {"V > N", visibleAboveCount},
                        {"N beyond the bytes", countAboveBytes},
                        {"odd size", cut}};
  for (const Case& c : cases) EXPECT_FALSE(DecodeCustomization(c.bytes)) << c.what;
  EXPECT_TRUE(DecodeCustomization(Bytes(8, 0)));  // N 0, V 0: nothing shown but Options
  EXPECT_FALSE(DecodePosition(Bytes(23, 0)));
  EXPECT_FALSE(DecodePosition(Bytes(25, 0)));
}

TEST(ToolbarLayoutTest, ACustomizationLaysOutTheButtonsAndOptionsStaysFixed) {
  ToolbarLayout layout = BuiltToolbarLayout();
  ASSERT_TRUE(ApplyCustomization(layout, DefaultCustomization()));
  EXPECT_THAT(Shown(layout),
              ElementsAre(kCmdGoodEmail, kCmdJunkEmail, kCmdTestMessage, kCmdOptions));
  EXPECT_EQ(layout.buttons[3].state, kButtonHidden | kButtonDisabled);

  // Reordered, two shown; the buttons not named stay after them, hidden; Options last.
  ASSERT_TRUE(ApplyCustomization(layout, {2, {kCmdCheckFolder, kCmdGoodEmail}}));
  EXPECT_THAT(Shown(layout), ElementsAre(kCmdCheckFolder, kCmdGoodEmail, kCmdOptions));
  EXPECT_EQ(layout.buttons[0].state, 0u);
  EXPECT_EQ(layout.buttons.back().command, kCmdOptions);
  EXPECT_EQ(layout.buttons.back().state, kButtonFixed);
  EXPECT_EQ(CurrentCustomization(layout).visible, 2u);
  EXPECT_THAT(CurrentCustomization(layout).commands,
              ElementsAre(kCmdCheckFolder, kCmdGoodEmail, kCmdJunkEmail, kCmdTestMessage,
                          kCmdEmptySpamFolder));

  // Refused, nothing changed: more than the five customizable buttons, or V > N.
  const ToolbarLayout before = layout;
  EXPECT_FALSE(ApplyCustomization(layout, {1, {32775, 32776, 32778, 32781, 32782, 32783}}));
  EXPECT_FALSE(ApplyCustomization(layout, {3, {32775, 32776}}));
  EXPECT_THAT(Shown(layout), ElementsAre(kCmdCheckFolder, kCmdGoodEmail, kCmdOptions));
  EXPECT_EQ(CurrentCustomization(layout).commands, CurrentCustomization(before).commands);

  // A name of no button, or a button named twice, lays nothing out.
  ASSERT_TRUE(ApplyCustomization(layout, {3, {12345, kCmdJunkEmail, kCmdJunkEmail}}));
  EXPECT_THAT(Shown(layout), ElementsAre(kCmdJunkEmail, kCmdOptions));
}

TEST(ToolbarLayoutTest, TheCustomizeDialogShowsTheVisibleButtonsAndCollectsInItsOwnOrder) {
  Dialog d = CustomizeToolbarDialog({2, {kCmdCheckFolder, kCmdGoodEmail, kCmdJunkEmail}});
  EXPECT_EQ(d.title, "Toolbar Customization");
  EXPECT_EQ(d.controls[0].label, "Please select items which should be shown on toolbar:");
  std::vector<std::string> set;
  for (const Control& c : d.controls) {
    if (c.kind == ControlKind::kCheckBox && c.checked) set.push_back(c.label);
  }
  EXPECT_THAT(set, ElementsAre("&Good E-mail", "&Check Folder", "&Options (required)"));
  EXPECT_FALSE(d.Find("show-32783")->enabled);

  // Clearing every box leaves V 0: only Options shows.
  for (Control& c : d.controls) {
    if (c.enabled) c.checked = false;
  }
  ToolbarCustomization none = CustomizationFromDialog(d);
  EXPECT_EQ(none.visible, 0u);
  EXPECT_THAT(none.commands, ElementsAre(kCmdGoodEmail, kCmdJunkEmail, kCmdTestMessage,
                                         kCmdCheckFolder, kCmdEmptySpamFolder));
  ToolbarLayout layout = BuiltToolbarLayout();
  ASSERT_TRUE(ApplyCustomization(layout, none));
  EXPECT_THAT(Shown(layout), ElementsAre(kCmdOptions));

  // The set ones first, in the dialog's order, not the toolbar's.
  d.Find("show-32782")->checked = true;
  d.Find("show-32776")->checked = true;
  ToolbarCustomization two = CustomizationFromDialog(d);
  EXPECT_EQ(two.visible, 2u);
  EXPECT_THAT(two.commands, ElementsAre(kCmdJunkEmail, kCmdEmptySpamFolder, kCmdGoodEmail,
                                        kCmdTestMessage, kCmdCheckFolder));
}

TEST(ToolbarCommandsTest, TextsSplitIntoTheirPartsAndKeysFindTheirCommands) {
  CommandParts good = SplitCommandText(FindCommand(kCmdGoodEmail)->resource);
  EXPECT_EQ(good.caption, "&Good E-mail");
  EXPECT_EQ(good.tooltip, "The message will be used as an example of good mail");
  EXPECT_EQ(good.shortcut, "Ctrl+Alt+A");
  CommandParts options = SplitCommandText(FindCommand(kCmdOptions)->resource);
  EXPECT_EQ(options.tooltip, "Options");
  EXPECT_EQ(options.shortcut, "");
  // The keys that act differ from the shortcut texts shown.
  EXPECT_EQ(CommandOfKey("Ctrl+Alt+F"), kCmdGoodEmail);
  EXPECT_EQ(CommandOfKey("ctrl + alt + e"), kCmdJunkEmail);
  EXPECT_EQ(CommandOfKey("Ctrl+Alt+A"), std::nullopt);
  // Each command's image is its slot in the strip.
  for (const CommandText& c : Commands()) {
    if (c.image < 0) continue;
    EXPECT_EQ(kImageStripOrder[static_cast<std::size_t>(c.image)], c.id) << c.id;
  }
}

}  // namespace
}  // namespace quorvel::ui
