// Rows typed at the terminal, rows as printed, changes as printed, access-key marks
// left out, and grouped buttons and controls named with their groups (the options
// sheet's own pages).
#include "app/terminal_dialog.h"

#include <gtest/gtest.h>

#include <sstream>

#include "platform/clock.h"
#include "platform/message_box.h"
#include "settings/settings_holder.h"
#include "ui/options_sheet.h"
#include "ui/phrase_filter_page.h"
#include "ui/scripted_ui.h"

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
  std::ostringstream err{};
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
  std::ostringstream err{};
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

namespace quorvel::app {
namespace {

using platform::IDCANCEL;
using platform::IDOK;

// A person at the terminal: answers in turn ("\x04" once they run out), every
// prompt kept.
struct ScriptedPerson {
  std::vector<std::string> answers{};
  std::vector<std::string> prompts{};
  std::ostringstream err{};
  TerminalPrompt Prompt() {
    return {err,
            [this](const std::string& prompt) {
              prompts.push_back(prompt);
              if (prompts.size() > answers.size()) return std::string("\x04");
              return answers[prompts.size() - 1];
            },
            true};
  }
};

class TerminalSheetTest : public ::testing::Test {
 protected:
  ui::Dialog& PageOfSheet(const char* page) {
    sheet_.dialog().currentPage = page;
    return sheet_.dialog();
  }

  SettingsHolder live_;
  ui::ScriptedUi ui_;
  platform::FakeClock clock_;
  ui::OptionsSheet sheet_{{.live = live_, .ui = ui_, .clock = clock_}};
};

// The Phrase Filter page's two "Edit..." buttons differ only by the group they sit
// in: each is offered under its dictionary's name, and the answers that pressed a
// button before still press the same one.
TEST_F(TerminalSheetTest, PhraseFilterEditChoicesNameTheirDictionaries) {
  ui::Dialog& d = PageOfSheet(ui::kPhraseFilterPage);
  const struct Case {
    const char* typed;
    std::int32_t button;
  } cases[] = {
      {"e", ui::kEditGoodDictionaryButton},  // the first button whose text it starts
      {"Edit...", ui::kEditGoodDictionaryButton},
      {"custom s", ui::kEditSpamDictionaryButton},  // no text starts so: a group's title
      {"Custom Not", ui::kEditGoodDictionaryButton},
      {"c", IDCANCEL},  // a button's text goes before a group's title
      {"ok", IDOK},
      {"3", kPageAnswer + 2},
      {"?", kShowAgain},
      {"", d.defaultButton},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    ScriptedPerson person{.answers = {c.typed}};
    TerminalPrompt prompt = person.Prompt();
    EXPECT_EQ(AskButton(prompt, d, /*pages=*/true), c.button);
  }

  ScriptedPerson person;
  TerminalPrompt prompt = person.Prompt();
  AskButton(prompt, d, true);
  ASSERT_EQ(person.prompts.size(), 1u);
  EXPECT_NE(person.prompts[0].find("[Edit... (Custom Not Spam Dictionary)/"
                                   "Edit... (Custom Spam Dictionary)/OK/Cancel"),
            std::string::npos)
      << person.prompts[0];
  ShowControls(prompt, d, nullptr);
  EXPECT_NE(person.err.str().find("Custom Not Spam Dictionary\nCustom Spam Dictionary\n"),
            std::string::npos)
      << person.err.str();
}

// The terminal has no headings to click: a list page's sort buttons stay offered.
TEST_F(TerminalSheetTest, SortButtonsAreOffered) {
  ui::Dialog& d = PageOfSheet(ui::kWhiteListPage);
  ScriptedPerson person{.answers = {"sort by e"}};
  TerminalPrompt prompt = person.Prompt();
  const ui::Button* sort = d.FindButton(AskButton(prompt, d, true));
  ASSERT_NE(sort, nullptr);
  EXPECT_EQ(sort->role, ui::ButtonRole::kSort);
  EXPECT_EQ(sort->text, "Sort by E-&mail Address");
  EXPECT_NE(person.prompts[0].find("Sort by Name/Sort by E-mail Address"), std::string::npos)
      << person.prompts[0];
}

// Access-key marks are left out of labels, prompts and buttons; "&&" is one "&".
TEST(TerminalDialogTest, AccessKeyMarksAreNotPrinted) {
  const struct Case {
    const char* label;
    const char* shown;
  } cases[] = {
      {"&Edit or enter a new word:", "Edit or enter a new word:"},
      {"Save && &close", "Save & close"},
      {"&&&x", "&x"},
      {"Trailing &", "Trailing "},
      {"No marks", "No marks"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    ui::Dialog d;
    d.controls = {{.kind = ui::ControlKind::kLabel, .id = "l", .label = c.label, .text = "v"},
                  {.kind = ui::ControlKind::kCheckBox, .id = "b", .label = c.label}};
    d.buttons = {{.id = 7, .text = c.label}};
    ScriptedPerson person{.answers = {"", "\x04"}};
    TerminalPrompt prompt = person.Prompt();
    ShowControls(prompt, d, nullptr);
    ShowChange(person.err, d, ui::DialogChange::ControlValues(d.controls[0]));
    EXPECT_EQ(AskButton(prompt, d, false), d.cancelButton);
    EXPECT_EQ(person.err.str(), std::string(c.shown) + " v\n   " + c.shown + " v\n");
    ASSERT_EQ(person.prompts.size(), 2u);
    EXPECT_EQ(person.prompts[0], "[ ] " + std::string(c.shown) + " (y/n, Enter keeps) ");
    EXPECT_EQ(person.prompts[1], "[" + std::string(c.shown) + "] ");
  }
}

// A control in a group is asked under the group's title; a label in it stands under
// its heading and is not named; a group that names no label is ignored.
TEST(TerminalDialogTest, GroupedControlsAreNamedWithTheirGroup) {
  ui::Dialog d;
  d.controls = {
      {.kind = ui::ControlKind::kLabel, .id = "g", .label = "&Bayesian Filter"},
      {.kind = ui::ControlKind::kLabel, .id = "count", .label = "Learned: 3", .group = "g"},
      {.kind = ui::ControlKind::kCheckBox, .id = "on", .label = "&Use it", .group = "g"},
      {.kind = ui::ControlKind::kTextBox, .id = "word", .label = "&Word:", .group = "g"},
      {.kind = ui::ControlKind::kCheckBox, .id = "other", .label = "Other", .group = "on"},
      {.kind = ui::ControlKind::kCheckBox, .id = "gone", .label = "Gone", .group = "nothing"},
  };
  d.buttons = {{.id = 7, .text = "&Reset", .group = "on"}};
  ScriptedPerson person;
  TerminalPrompt prompt = person.Prompt();
  ShowControls(prompt, d, nullptr);
  AskButton(prompt, d, false);
  EXPECT_EQ(person.err.str(), "Bayesian Filter\nLearned: 3\n");
  EXPECT_EQ(person.prompts, (std::vector<std::string>{
                                "[ ] Use it (Bayesian Filter) (y/n, Enter keeps) ",
                                "Word (Bayesian Filter): []: ",
                                "[ ] Other (y/n, Enter keeps) ",
                                "[ ] Gone (y/n, Enter keeps) ",
                                "[Reset] ",
                            }));
}

}  // namespace
}  // namespace quorvel::app
