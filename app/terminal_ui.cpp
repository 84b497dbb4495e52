#include "app/terminal_ui.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <istream>
#include <optional>
#include <ostream>
#include <set>

#include "app/terminal_dialog.h"
#include "app/terminal_interrupt.h"
#include "platform/code_page.h"
#include "ui/cancellation.h"
#include "ui/throttled_progress.h"

extern char** environ;

namespace quorvel::app {
namespace {

using platform::IDCANCEL;
using platform::IDNO;
using platform::IDOK;
using platform::IDYES;

const char* ButtonName(int button) {
  switch (button) {
    case IDOK:
      return "ok";
    case IDCANCEL:
      return "cancel";
    case IDYES:
      return "yes";
    case IDNO:
      return "no";
    default:
      return "?";
  }
}

std::vector<int> ButtonsOf(std::uint32_t style) {
  switch (style & platform::kMessageBoxButtonMask) {
    case platform::MB_OKCANCEL:
      return {IDOK, IDCANCEL};
    case platform::MB_YESNOCANCEL:
      return {IDYES, IDNO, IDCANCEL};
    case platform::MB_YESNO:
      return {IDYES, IDNO};
    default:
      return {IDOK};
  }
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return s;
}

}  // namespace

TerminalUi::Mode TerminalUi::ModeFor(bool yes) {
  if (yes) return Mode::kYes;
  return ::isatty(STDIN_FILENO) ? Mode::kAsk : Mode::kDefault;
}

bool TerminalUi::ProgressOnTerminal() { return ::isatty(STDERR_FILENO) != 0; }

void TerminalUi::ClearProgressLine() {
  if (!lineShown_) return;
  err_ << "\r\033[K";
  lineShown_ = false;
}

std::string TerminalUi::AskLine(const std::string& prompt) {
  ClearProgressLine();
  err_ << prompt << std::flush;
  std::string line;
  if (!std::getline(in_, line)) {
    err_ << "\n";
    return "\x04";  // end of input
  }
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
  return line;
}

int TerminalUi::Show(const std::string& text, const std::string&, std::uint32_t style) {
  std::lock_guard lock(mutex_);
  ClearProgressLine();
  err_ << "quorvel: " << platform::AnsiToUtf8(text) << "\n";
  std::vector<int> buttons = ButtonsOf(style);
  if (buttons.size() == 1) return buttons.front();
  if (mode_ == Mode::kYes) return ui::AffirmativeButton(style);
  if (mode_ == Mode::kDefault) return ui::DefaultButton(style);
  std::string prompt = "  [";
  for (std::size_t i = 0; i < buttons.size(); ++i) {
    int b = buttons[i];
    std::string name = ButtonName(b);
    if (b == ui::DefaultButton(style)) name[0] = static_cast<char>(name[0] - 'a' + 'A');
    prompt += (i ? "/" : "") + name;
  }
  prompt += "] ";
  for (;;) {
    std::string answer = Lower(AskLine(prompt));
    if (answer == "\x04") return ui::CancelButton(style);
    if (answer.empty()) return ui::DefaultButton(style);
    for (int b : buttons) {
      if (answer[0] == ButtonName(b)[0]) return b;
    }
  }
}

TerminalPrompt TerminalUi::Prompt() {
  return {err_, [this](const std::string& prompt) { return AskLine(prompt); }, mode_ == Mode::kAsk};
}

std::int32_t TerminalUi::Present(ui::Dialog& dialog) {
  std::lock_guard lock(mutex_);
  ClearProgressLine();
  err_ << "== " << dialog.title << " ==\n";
  if (!dialog.headline.empty()) err_ << dialog.headline << "\n";
  TerminalPrompt prompt = Prompt();
  ShowControls(prompt, dialog, nullptr);
  if (mode_ == Mode::kYes) return dialog.affirmativeButton;
  if (mode_ == Mode::kDefault) return dialog.defaultButton;
  for (;;) {
    const std::int32_t button = AskButton(prompt, dialog, false);
    if (button != kShowAgain) return button;
    ShowControls(prompt, dialog, nullptr);
  }
}

// A dialog kept open at the terminal: a page is printed in full when it is first
// shown (a sheet's with its page menu), changes are printed as they come ("+", "~",
// "-" lines) and a list's rows are not printed again on the same page; "?" prints
// the page again. A person is asked the page's controls on each round, then a
// button or, in a sheet, a page number.
class TerminalSession final : public ui::DialogSession {
 public:
  TerminalSession(TerminalUi& ui, ui::Dialog& dialog) : ui_(ui), dialog_(dialog) {}

  std::int32_t Next() override {
    std::lock_guard lock(ui_.mutex_);
    ui_.ClearProgressLine();
    std::ostream& err = ui_.err_;
    if (!opened_) {
      err << "== " << dialog_.title << " ==\n";
      if (!dialog_.headline.empty()) err << dialog_.headline << "\n";
      opened_ = true;
    }
    TerminalPrompt prompt = ui_.Prompt();
    const bool sheet = dialog_.style == ui::DialogStyle::kSheet && !dialog_.pages.empty();
    for (;;) {
      const ui::Page* page = dialog_.Current();
      const std::string pageId = page != nullptr ? page->id : std::string();
      const bool fresh = !shown_ || pageId != shownPage_;
      if (fresh) {
        listed_.clear();
        if (sheet) err << PageMenu(dialog_) << "\n";
        if (page != nullptr && !page->title.empty()) err << "-- " << page->title << " --\n";
      }
      if (fresh || prompt.asks) ShowControls(prompt, dialog_, &listed_);
      shown_ = true;
      shownPage_ = pageId;
      if (ui_.mode_ == TerminalUi::Mode::kYes) return dialog_.affirmativeButton;
      if (ui_.mode_ == TerminalUi::Mode::kDefault) return dialog_.defaultButton;
      const std::int32_t button = AskButton(prompt, dialog_, sheet);
      const std::int32_t pageIndex = button - kPageAnswer;
      if (button == kShowAgain) {
        shown_ = false;
      } else if (pageIndex >= 0 && pageIndex < static_cast<std::int32_t>(dialog_.pages.size())) {
        dialog_.currentPage = dialog_.pages[static_cast<std::size_t>(pageIndex)].id;
      } else {
        return button;
      }
    }
  }

  bool Update(const ui::DialogChange& change) override {
    std::lock_guard lock(ui_.mutex_);
    if (!ui::ApplyChange(dialog_, change)) return false;
    // Only a change to a control on the page printed last is news to the user; another
    // page is printed afresh when it is shown.
    const ui::Page* page = dialog_.Current();
    bool onPageShown = shown_ && (page == nullptr || page->id == shownPage_);
    const std::vector<ui::Control>& controls = dialog_.ShownControls();
    onPageShown =
        onPageShown && std::any_of(controls.begin(), controls.end(),
                                   [&](const ui::Control& c) { return c.id == change.control; });
    if (onPageShown) {
      ui_.ClearProgressLine();
      ShowChange(ui_.err_, dialog_, change);
    }
    return true;
  }

  ui::Dialog& dialog() override { return dialog_; }

 private:
  TerminalUi& ui_;
  ui::Dialog& dialog_;
  bool opened_ = false;           // the title is printed
  bool shown_ = false;            // shownPage_ has been printed in full
  std::string shownPage_;         // the page printed last
  std::set<std::string> listed_;  // lists of that page whose rows are printed
};

std::unique_ptr<ui::DialogSession> TerminalUi::Open(ui::Dialog& dialog) {
  return std::make_unique<TerminalSession>(*this, dialog);
}

namespace {

// "[####      ]  40%": a known total as a bar of ten cells and the part done.
std::string Bar(std::uint64_t done, std::uint64_t total) {
  const std::uint64_t shown = std::min(done, total);
  const auto cells = static_cast<std::size_t>(shown * 10 / total);
  std::string pct = std::to_string(shown * 100 / total) + "%";
  return "[" + std::string(cells, '#') + std::string(10 - cells, ' ') + "] " +
         std::string(4 - std::min<std::size_t>(4, pct.size()), ' ') + pct;
}

constexpr std::size_t kLineWidth = 79;

}  // namespace

// Progress as one line, "<title>: <done> <text>", or with a known total
// "<title> [####      ]  40% <text>", rewritten on each update
// (at most ten times a second: ThrottledProgress) and wiped at the end; nothing at all
// when standard error is no terminal. While the line shows, Ctrl-C cancels the work.
class TerminalProgress final : public ui::Progress {
 public:
  TerminalProgress(TerminalUi& ui, std::string title) : ui_(ui), title_(std::move(title)) {
    if (ui_.progressLine_) interrupt_.emplace(token_);
  }
  ~TerminalProgress() override {
    std::lock_guard lock(ui_.mutex_);
    ui_.ClearProgressLine();
    ui_.err_ << std::flush;
  }
  void Update(std::uint64_t done, std::uint64_t total, const std::string& text) override {
    if (!ui_.progressLine_) return;
    std::string line = title_ + ": " + std::to_string(done);
    if (total) line = title_ + " " + Bar(done, total);
    if (token_.Cancelled()) {
      line += " cancelling (Ctrl-C again stops at once)";
    } else if (!text.empty()) {
      line += " " + text;
    }
    for (char& c : line) {
      if (c == '\n' || c == '\r' || c == '\t') c = ' ';
    }
    if (line.size() > kLineWidth) {
      std::size_t cut = kLineWidth - 3;
      while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) --cut;
      line = line.substr(0, cut) + "...";
    }
    std::lock_guard lock(ui_.mutex_);
    ui_.err_ << "\r\033[K" << line << std::flush;
    ui_.lineShown_ = true;
  }
  bool Cancelled() const override { return token_.Cancelled(); }
  bool WaitCancelled(std::chrono::milliseconds timeout) override { return token_.WaitFor(timeout); }

 private:
  TerminalUi& ui_;
  std::string title_;
  ui::CancellationToken token_;
  std::optional<InterruptAsCancel> interrupt_;  // after token_: unregistered first
};

std::unique_ptr<ui::Progress> TerminalUi::BeginProgress(const std::string& title) {
  return std::make_unique<ui::ThrottledProgress>(std::make_unique<TerminalProgress>(*this, title),
                                                 std::chrono::milliseconds(100));
}

void TerminalUi::Notify(const std::string& title, const std::string& text) {
  std::lock_guard lock(mutex_);
  ClearProgressLine();
  err_ << "quorvel: " << title << (title.empty() ? "" : ": ") << text << "\n";
}

bool TerminalUi::OpenUrl(const std::string& url) {
  {
    std::lock_guard lock(mutex_);
    ClearProgressLine();
    err_ << "quorvel: opening " << url << "\n";
  }
  pid_t pid = 0;
  char* argv[] = {const_cast<char*>("xdg-open"), const_cast<char*>(url.c_str()), nullptr};
  if (posix_spawnp(&pid, "xdg-open", nullptr, nullptr, argv, environ) != 0) return false;
  int status = 0;
  return ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace quorvel::app
