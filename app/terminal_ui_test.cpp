// The terminal presenter with its answers typed into a stream: what each mode
// answers, what a typed answer picks, what the end of input does, and what is shown.
#include "app/terminal_ui.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <sstream>

namespace quorvel::app {
namespace {

using platform::IDCANCEL;
using platform::IDNO;
using platform::IDOK;
using platform::IDYES;
using platform::MB_OK;
using platform::MB_OKCANCEL;
using platform::MB_YESNO;
using platform::MB_YESNOCANCEL;
constexpr std::uint32_t kDefault2 = ui::MB_DEFBUTTON2;

struct BoxCase {
  const char* name;
  TerminalUi::Mode mode;
  std::uint32_t style;
  std::string typed;
  int answer;
  std::string left;  // what is left unread of the input
};

TEST(TerminalUiTest, MessageBoxAnswers) {
  const BoxCase cases[] = {
      {"typed yes", TerminalUi::Mode::kAsk, MB_YESNO, "y\n", IDYES, ""},
      {"typed No in capitals", TerminalUi::Mode::kAsk, MB_YESNO, "NO\nrest\n", IDNO, "rest\n"},
      {"Enter takes the default", TerminalUi::Mode::kAsk, MB_YESNO | kDefault2, "\n", IDNO, ""},
      {"CR LF and spaces are trimmed", TerminalUi::Mode::kAsk, MB_OKCANCEL, "c \r\n", IDCANCEL, ""},
      {"an unknown answer asks again", TerminalUi::Mode::kAsk, MB_YESNOCANCEL, "maybe\nx\nc\n",
       IDCANCEL, ""},
      {"end of input closes the box", TerminalUi::Mode::kAsk, MB_YESNOCANCEL, "", IDCANCEL, ""},
      {"end of input is No without Cancel", TerminalUi::Mode::kAsk, MB_YESNO, "wrong\n", IDNO, ""},
      {"OK alone reads nothing", TerminalUi::Mode::kAsk, MB_OK, "y\n", IDOK, "y\n"},
      {"--yes takes Yes over a default No", TerminalUi::Mode::kYes, MB_YESNO | kDefault2, "n\n",
       IDYES, "n\n"},
      {"--yes takes OK", TerminalUi::Mode::kYes, MB_OKCANCEL, "", IDOK, ""},
      {"no terminal takes the default", TerminalUi::Mode::kDefault, MB_YESNOCANCEL | kDefault2,
       "y\n", IDNO, "y\n"},
      {"no terminal, first button default", TerminalUi::Mode::kDefault, MB_OKCANCEL, "c\n", IDOK,
       "c\n"},
  };
  for (const BoxCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::istringstream in(c.typed);
    std::ostringstream err;
    TerminalUi ui(in, err, c.mode);
    EXPECT_EQ(ui.Show("Move the message\nto the spam folder?", "Quorvel", c.style), c.answer);
    // The text is shown whoever answers, so that nothing goes unseen.
    EXPECT_NE(err.str().find("quorvel: Move the message"), std::string::npos) << err.str();
    std::string left(std::istreambuf_iterator<char>(in), {});
    EXPECT_EQ(left, c.left);
  }
}

TEST(TerminalUiTest, PromptNamesTheButtonsWithTheDefaultInCapitals) {
  std::istringstream in("\n");
  std::ostringstream err;
  TerminalUi ui(in, err, TerminalUi::Mode::kAsk);
  ui.Show("Delete?", "", MB_YESNOCANCEL | kDefault2);
  EXPECT_NE(err.str().find("[yes/No/cancel]"), std::string::npos) << err.str();
}

TEST(TerminalUiTest, MessageTextInTheCodePageIsShownAsUtf8) {
  std::istringstream in;
  std::ostringstream err;
  TerminalUi ui(in, err, TerminalUi::Mode::kDefault);
  ui.Show("Caf\xE9 list", "", MB_OK);  // Windows-1252 e acute
  EXPECT_NE(err.str().find("Caf\xC3\xA9 list"), std::string::npos) << err.str();
}

ui::Dialog OptionsDialog() {
  ui::Dialog d;
  d.title = "Options";
  d.headline = "Where spam goes";
  d.controls.push_back(
      {.kind = ui::ControlKind::kCheckBox, .id = "read", .label = "Mark as &read"});
  d.controls.push_back({.kind = ui::ControlKind::kTextBox,
                        .id = "folder",
                        .label = "&Folder",
                        .text = "Inbox/Spam"});
  d.controls.push_back({.kind = ui::ControlKind::kChoice,
                        .id = "level",
                        .label = "Level",
                        .selected = 0,
                        .options = {"Low", "High"}});
  d.controls.push_back({.kind = ui::ControlKind::kTextBox,
                        .id = "locked",
                        .label = "Locked",
                        .readOnly = true,
                        .text = "fixed"});
  d.buttons = {{IDOK, "&OK"}, {IDCANCEL, "&Cancel"}, {IDYES, "&Apply"}};
  d.defaultButton = IDCANCEL;
  d.cancelButton = IDCANCEL;
  d.affirmativeButton = IDOK;
  return d;
}

TEST(TerminalUiTest, DialogValuesAndButtonAreTypedInControlOrder) {
  // Check box, text box, choice number, then the button by the start of its text;
  // the read-only box is shown, not asked.
  std::istringstream in("y\nJunk\n2\nap\n");
  std::ostringstream err;
  TerminalUi ui(in, err, TerminalUi::Mode::kAsk);
  ui::Dialog d = OptionsDialog();
  EXPECT_EQ(ui.Present(d), IDYES);
  EXPECT_TRUE(d.Find("read")->checked);
  EXPECT_EQ(d.Find("folder")->text, "Junk");
  EXPECT_EQ(d.Find("level")->selected, 1);
  EXPECT_EQ(d.Find("locked")->text, "fixed");
  EXPECT_NE(err.str().find("== Options =="), std::string::npos);
  EXPECT_NE(err.str().find("Locked: fixed"), std::string::npos) << err.str();
  EXPECT_NE(err.str().find("[OK/Cancel/Apply]"), std::string::npos) << err.str();
}

TEST(TerminalUiTest, DialogEnterKeepsValuesAndEndOfInputCancels) {
  {
    std::istringstream in("\n\n\n\n");  // Enter everywhere: values kept, default button
    std::ostringstream err;
    TerminalUi ui(in, err, TerminalUi::Mode::kAsk);
    ui::Dialog d = OptionsDialog();
    EXPECT_EQ(ui.Present(d), IDCANCEL);
    EXPECT_FALSE(d.Find("read")->checked);
    EXPECT_EQ(d.Find("folder")->text, "Inbox/Spam");
    EXPECT_EQ(d.Find("level")->selected, 0);
  }
  {
    std::istringstream in("n\n");  // input ends before the buttons
    std::ostringstream err;
    TerminalUi ui(in, err, TerminalUi::Mode::kAsk);
    ui::Dialog d = OptionsDialog();
    d.defaultButton = IDOK;
    EXPECT_EQ(ui.Present(d), IDCANCEL);
    EXPECT_EQ(d.Find("folder")->text, "Inbox/Spam");  // end of input changes nothing
  }
}

TEST(TerminalUiTest, DialogWithoutAPersonTakesItsButtonAndKeepsItsValues) {
  for (auto [mode, button] :
       {std::pair{TerminalUi::Mode::kYes, IDOK}, std::pair{TerminalUi::Mode::kDefault, IDCANCEL}}) {
    std::istringstream in("y\nJunk\n2\napply\n");
    std::ostringstream err;
    TerminalUi ui(in, err, mode);
    ui::Dialog d = OptionsDialog();
    EXPECT_EQ(ui.Present(d), button);
    EXPECT_FALSE(d.Find("read")->checked);
    EXPECT_EQ(d.Find("folder")->text, "Inbox/Spam");
    EXPECT_NE(err.str().find("Folder: Inbox/Spam"), std::string::npos) << err.str();
    EXPECT_FALSE(ui.Interactive());
  }
}

TEST(TerminalUiTest, RejectedAnswersWithoutAPersonEndInCancelNotALoop) {
  std::istringstream in;
  std::ostringstream err;
  TerminalUi ui(in, err, TerminalUi::Mode::kYes);
  ui::Dialog d = OptionsDialog();
  d.validate = [](const ui::Dialog&, std::int32_t) { return std::string("Pick a folder."); };
  EXPECT_EQ(ui::RunDialog(ui, d), IDCANCEL);
  EXPECT_NE(err.str().find("quorvel: Pick a folder."), std::string::npos);
}

// The mode follows --yes first, then whether standard input is a terminal.
TEST(TerminalUiTest, ModeFollowsYesThenWhetherStandardInputIsATerminal) {
  const int saved = ::dup(STDIN_FILENO);
  ASSERT_GE(saved, 0);
  const int devNull = ::open("/dev/null", O_RDONLY);
  ASSERT_GE(devNull, 0);
  ::dup2(devNull, STDIN_FILENO);
  EXPECT_EQ(TerminalUi::ModeFor(false), TerminalUi::Mode::kDefault);
  EXPECT_EQ(TerminalUi::ModeFor(true), TerminalUi::Mode::kYes);
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  if (master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0) {
    const int terminal = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
    ASSERT_GE(terminal, 0);
    ::dup2(terminal, STDIN_FILENO);
    EXPECT_EQ(TerminalUi::ModeFor(false), TerminalUi::Mode::kAsk);
    EXPECT_EQ(TerminalUi::ModeFor(true), TerminalUi::Mode::kYes);
    ::close(terminal);
  }
  if (master >= 0) ::close(master);
  ::dup2(saved, STDIN_FILENO);
  ::close(saved);
  ::close(devNull);
}

}  // namespace
}  // namespace quorvel::app
