// Rows typed at the terminal, rows as printed, and changes as printed.
#include "app/terminal_dialog.h"

#include <gtest/gtest.h>

#include <sstream>

namespace quorvel::app {
namespace {

using Rows = std::vector<std::int32_t>;

TEST(TerminalDialogTest, RowsAreTypedAsNumbersAndRanges) {
  const struct Case {
    const char* typed;
    std::optional<Rows> rows;
  } cases[] = {
      {"1,3-5", Rows{0, 2, 3, 4}},
      {" 5 , 2 - 3,2 ", Rows{1, 2, 4}},  // blanks, any order, repeats once
      {"6", Rows{5}},
      {"-", Rows{}},
      {"*", Rows{0, 1, 2, 3, 4, 5}},
      {"0", std::nullopt},
      {"7", std::nullopt},
      {"3-1", std::nullopt},
      {"1,,2", std::nullopt},
      {"1-", std::nullopt},
      {"two", std::nullopt},
      {"", std::nullopt},
      {"99999999999999999999", std::nullopt},
      {"-1", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    EXPECT_EQ(ParseRows(c.typed, 6), c.rows);
  }
}

TEST(TerminalDialogTest, ChangesArePrintedAsLinesNotTheListAgain) {
  ui::Dialog d;
  d.controls = {{.kind = ui::ControlKind::kList,
                 .id = "rows",
                 .rows = {{"a", "Ann"}, {"b", "Bob"}},
                 .rowChecked = {true, false},
                 .selectedRows = {1}},
                {.kind = ui::ControlKind::kCheckBox, .id = "all", .label = "&All"}};
  std::ostringstream err;
  auto apply = [&](const ui::DialogChange& change) {
    ASSERT_TRUE(ui::ApplyChange(d, change));
    ShowChange(err, d, change);
  };
  apply(ui::DialogChange::RowsInserted("rows", 1, {{"c", "Cy"}}, {true}));
  apply(ui::DialogChange::RowsChanged("rows", 2, {{"B", "Bob"}}));
  apply(ui::DialogChange::RowsRemoved("rows", 0, 2));
  apply(ui::DialogChange::ControlValues(
      {.kind = ui::ControlKind::kCheckBox, .id = "all", .label = "&All", .checked = true}));
  EXPECT_EQ(err.str(),
            "+  2. [x] c\tCy\n"
            "~ *3. [ ] B\tBob\n"  // still selected, shifted down by the insertion
            "-  rows 1-2 removed\n"
            "   [x] All\n");
}

}  // namespace
}  // namespace quorvel::app

namespace quorvel::app {
namespace {

// A read-only text of several lines (the Bayesian listing of a tested message) is
// printed under its label, its tab-separated cells lined up as columns.
TEST(TerminalDialogTest, ALongTextLinesUpItsTabbedCellsAsColumns) {
  ui::Dialog d;
  d.controls = {{.kind = ui::ControlKind::kTextBox,
                 .id = "reason",
                 .label = "Reason:",
                 .multiline = true,
                 .readOnly = true,
                 .text = "Bayesian Filter"},
                {.kind = ui::ControlKind::kTextBox,
                 .id = "information",
                 .label = "Information:",
                 .multiline = true,
                 .readOnly = true,
                 .text = "Total Score is 0.98\r\n---\r\nviagra\t0.9900000\r\n"
                         "averyveryverylongtokenindeed\t0.0100000"}};
  std::ostringstream err;
  TerminalPrompt prompt{err, [](const std::string&) { return std::string("\x04"); }, false};
  ShowControls(prompt, d, nullptr);
  EXPECT_EQ(err.str(),
            "Reason: Bayesian Filter\n"
            "Information:\n"
            "  Total Score is 0.98\n"
            "  ---\n"
            "  viagra                  0.9900000\n"
            "  averyveryverylongtokenindeed 0.0100000\n");
}

}  // namespace
}  // namespace quorvel::app
