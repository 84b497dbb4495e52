// The terminal presenter with its answers typed into a stream: what each mode
// answers, what a typed answer picks, what the end of input does, and what is shown.
#include "app/terminal_ui.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <sstream>

#include "ui/run_pages.h"

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

// --- Dialogs kept open at the terminal ---

constexpr std::int32_t kAdd = 100;
constexpr std::int32_t kRemove = 101;

// An options sheet: a general page with a box that enables a text box, and a list
// page whose Remove needs a selection.
ui::Dialog Sheet() {
  ui::Dialog d;
  d.title = "Quorvel";
  d.style = ui::DialogStyle::kSheet;
  d.pages = {
      {.id = "general",
       .title = "General",
       .controls = {{.kind = ui::ControlKind::kCheckBox, .id = "own", .label = "&Own folder"},
                    {.kind = ui::ControlKind::kTextBox,
                     .id = "folder",
                     .label = "Folder",
                     .text = "Spam",
                     .enabledBy = {"own", {"1"}}},
                    {.kind = static_cast<ui::ControlKind>(42),
                     .id = "future",
                     .label = "Newer",
                     .text = "kind"}}},
      {.id = "white",
       .title = "White List",
       .controls = {{.kind = ui::ControlKind::kList,
                     .id = "white",
                     .label = "White List",
                     .rows = {{"a@example.org"}, {"b@example.org"}, {"c@example.org"}},
                     .multiSelect = true}},
       .buttons = {{.id = kAdd, .text = "&Add...", .closes = false},
                   {.id = kRemove,
                    .text = "&Remove",
                    .closes = false,
                    .enabledBy = {"white", {"one", "many"}}}}},
  };
  d.buttons = {ui::RoleButton(ui::ButtonRole::kOk, "OK"),
               ui::RoleButton(ui::ButtonRole::kCancel, "Cancel")};
  return d;
}

// The owner's side of the list page: rows removed or added in place.
ui::ActionHandler ListOwner() {
  return [](ui::DialogSession& session, std::int32_t button) {
    ui::Control& list = *session.dialog().Find("white");
    if (button == kRemove) {
      const std::vector<std::int32_t> rows = list.selectedRows;
      for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
        session.Update(ui::DialogChange::RowsRemoved("white", *it, 1));
      }
    } else if (button == kAdd) {
      session.Update(ui::DialogChange::RowsInserted(
          "white", static_cast<std::int32_t>(list.rows.size()), {{"new@example.org"}}));
    }
  };
}

std::size_t Count(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
    ++n;
  }
  return n;
}

TEST(TerminalSessionTest, SheetPagesListSelectionAndChangesInPlace) {
  std::istringstream in(
      "n\n"        // general: own folder stays off, so the folder is not asked
      "2\n"        // to the White List page
      "1,3\n"      // select rows 1 and 3
      "r\n"        // Remove
      "\n"         // selection kept (none left)
      "a\n"        // Add
      "\n"         // selection kept
      "1\n"        // back to the General page
      "y\nJunk\n"  // own folder on: now the folder is asked
      "ok\n");
  std::ostringstream err;
  TerminalUi ui(in, err, TerminalUi::Mode::kAsk);
  ui::Dialog d = Sheet();
  EXPECT_EQ(ui::RunOpenDialog(ui, d, ListOwner()), IDOK);
  EXPECT_EQ(d.Find("white")->rows,
            (std::vector<std::vector<std::string>>{{"b@example.org"}, {"new@example.org"}}));
  EXPECT_TRUE(d.Find("own")->checked);
  EXPECT_EQ(d.Find("folder")->text, "Junk");
  const std::string out = err.str();
  EXPECT_NE(out.find("Pages:  [1. General]  2. White List"), std::string::npos) << out;
  EXPECT_NE(out.find("Pages:  1. General  [2. White List]"), std::string::npos) << out;
  EXPECT_NE(out.find("Folder: Spam (disabled)"), std::string::npos) << out;
  EXPECT_NE(out.find("Folder [Spam]: "), std::string::npos) << out;
  EXPECT_NE(out.find("Newer kind"), std::string::npos) << out;  // an unknown kind: a label
  // Remove is offered only once rows are selected.
  EXPECT_NE(out.find("[Add.../OK/Cancel] or a page 1-2"), std::string::npos) << out;
  EXPECT_NE(out.find("[Add.../Remove/OK/Cancel] or a page 1-2"), std::string::npos) << out;
  // The rows are printed once; afterwards only what changed.
  EXPECT_EQ(Count(out, "2. b@example.org"), 1u) << out;
  EXPECT_NE(out.find("-  row 3 removed\n-  row 1 removed\n"), std::string::npos) << out;
  EXPECT_NE(out.find("+  2. new@example.org"), std::string::npos) << out;
  EXPECT_NE(out.find("(1 rows, listed above)"), std::string::npos) << out;
}

ui::Dialog Wizard() {
  ui::Dialog d;
  d.title = "Welcome to Quorvel!";
  d.pages = {
      {.id = "welcome",
       .title = "Welcome",
       .controls = {{.kind = ui::ControlKind::kCheckBox, .id = "few", .label = "Few messages"}}},
      {.id = "folders",
       .title = "Folders",
       .controls = {{.kind = ui::ControlKind::kList,
                     .id = "folders",
                     .label = "Folders",
                     .columns = {"Folder"},
                     .rows = {{"Sent"}, {"Inbox"}},
                     .rowChecked = {true, true}}}},
      {.id = "scan", .title = "Scan"},
      {.id = "done",
       .title = "Done",
       .controls = {{.kind = ui::ControlKind::kCheckBox, .id = "check", .label = "&Check Inbox"}}},
  };
  d.nextPage = [](const ui::Dialog& w, const std::string& page) -> std::string {
    if (page == "welcome") return w.Find("few")->checked ? "scan" : "folders";
    if (page == "folders") return "scan";
    if (page == "scan") return "done";
    return "";
  };
  return d;
}

TEST(TerminalSessionTest, WizardBranchesAndBackReturnsToThePageTheUserCameFrom) {
  std::istringstream in(
      "y\nn\n"     // welcome: few messages, Next: the folders are skipped
      "b\n"        // scan: Back, to welcome
      "n\nn\n"     // welcome: not few, Next: folders
      "2\n2\nn\n"  // folders: select row 2, clear its keep mark, Next
      "b\n"        // scan: Back, to folders this time
      "\n\nn\n"    // folders: keep all, Next
      "n\n"        // scan: Next
      "y\nf\n");   // done: check the Inbox, Finish
  std::ostringstream err;
  TerminalUi ui(in, err, TerminalUi::Mode::kAsk);
  ui::Dialog d = Wizard();
  EXPECT_EQ(ui::RunWizard(ui, d), ui::kFinishButton);
  EXPECT_TRUE(d.Find("check")->checked);
  EXPECT_EQ(d.Find("folders")->rowChecked, (std::vector<bool>{true, false}));
  EXPECT_EQ(d.Find("folders")->selectedRows, (std::vector<std::int32_t>{1}));
  const std::string out = err.str();
  std::vector<std::string> pages;
  for (std::size_t at = out.find("-- "); at != std::string::npos; at = out.find("-- ", at + 1)) {
    pages.push_back(out.substr(at + 3, out.find(" --", at + 3) - at - 3));
  }
  EXPECT_EQ(pages, (std::vector<std::string>{"Welcome", "Scan", "Welcome", "Folders", "Scan",
                                             "Folders", "Scan", "Done"}));
  EXPECT_NE(out.find("[Next >/Cancel] "), std::string::npos) << out;
  EXPECT_NE(out.find("[< Back/Finish/Cancel] "), std::string::npos) << out;
  EXPECT_EQ(out.find("or a page"), std::string::npos) << "a wizard has no page menu";
}

TEST(TerminalSessionTest, WithoutAPersonAWizardRunsThroughOnItsDefaults) {
  {
    std::istringstream in("b\nb\nb\n");  // nothing is read
    std::ostringstream err;
    TerminalUi ui(in, err, TerminalUi::Mode::kYes);
    ui::Dialog d = Wizard();
    EXPECT_EQ(ui::RunWizard(ui, d), ui::kFinishButton);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "b\nb\nb\n");
    EXPECT_NE(err.str().find("-- Folders --"), std::string::npos) << err.str();
    EXPECT_NE(err.str().find("           Folder\n   1. [x] Sent\n   2. [x] Inbox\n"),
              std::string::npos)
        << err.str();
  }
  {
    // No terminal and a wizard whose default is Cancel: nothing is done.
    std::istringstream in;
    std::ostringstream err;
    TerminalUi ui(in, err, TerminalUi::Mode::kDefault);
    ui::Dialog d = Wizard();
    d.defaultButton = IDCANCEL;
    EXPECT_EQ(ui::RunWizard(ui, d), IDCANCEL);
  }
}

TEST(TerminalSessionTest, EndOfInputCancelsAndQuestionMarkShowsThePageAgain) {
  std::istringstream in("n\n?\nn\n");  // then the input ends
  std::ostringstream err;
  TerminalUi ui(in, err, TerminalUi::Mode::kAsk);
  ui::Dialog d = Sheet();
  EXPECT_EQ(ui::RunOpenDialog(ui, d, ListOwner()), IDCANCEL);
  EXPECT_EQ(Count(err.str(), "Pages:"), 2u) << err.str();
}

TEST(TerminalSessionTest, AChangeToAPageNotShownPrintsNothing) {
  std::istringstream in;
  std::ostringstream err;
  TerminalUi ui(in, err, TerminalUi::Mode::kDefault);
  ui::Dialog d = Sheet();
  auto session = ui.Open(d);
  session->Next();  // the General page is shown
  const std::size_t before = err.str().size();
  EXPECT_TRUE(session->Update(ui::DialogChange::RowsRemoved("white", 0, 1)));
  EXPECT_EQ(err.str().size(), before);
  EXPECT_EQ(d.Find("white")->rows.size(), 2u);
  EXPECT_FALSE(session->Update(ui::DialogChange::RowsRemoved("white", 5, 1)));
}

}  // namespace
}  // namespace quorvel::app
