#include "app/terminal_ui.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <istream>
#include <ostream>

#include "platform/code_page.h"

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

// A button's text without its access-key mark.
std::string Plain(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c != '&') out.push_back(c);
  }
  return out;
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

std::int32_t TerminalUi::Present(ui::Dialog& dialog) {
  std::lock_guard lock(mutex_);
  ClearProgressLine();
  err_ << "== " << dialog.title << " ==\n";
  if (!dialog.headline.empty()) err_ << dialog.headline << "\n";
  for (ui::Control& c : dialog.controls) {
    switch (c.kind) {
      case ui::ControlKind::kLabel:
        err_ << c.label << (c.text.empty() ? "" : " ") << c.text << "\n";
        break;
      case ui::ControlKind::kCheckBox:
        if (mode_ == Mode::kAsk && c.enabled && !c.readOnly) {
          std::string a = Lower(AskLine("[" + std::string(c.checked ? "x" : " ") + "] " +
                                        Plain(c.label) + " (y/n, Enter keeps) "));
          if (!a.empty() && a[0] == 'y') c.checked = true;
          if (!a.empty() && a[0] == 'n') c.checked = false;
        } else {
          err_ << "[" << (c.checked ? "x" : " ") << "] " << Plain(c.label) << "\n";
        }
        break;
      case ui::ControlKind::kTextBox:
        if (mode_ == Mode::kAsk && c.enabled && !c.readOnly && !c.multiline) {
          std::string a = AskLine(Plain(c.label) + " [" + c.text + "]: ");
          if (!a.empty() && a != "\x04") c.text = a;
        } else {
          err_ << Plain(c.label) << ": " << c.text << "\n";
        }
        break;
      case ui::ControlKind::kChoice:
        err_ << Plain(c.label) << ":\n";
        for (std::size_t i = 0; i < c.options.size(); ++i) {
          err_ << "  " << (static_cast<std::int32_t>(i) == c.selected ? "*" : " ") << i + 1 << ". "
               << c.options[i] << "\n";
        }
        if (mode_ == Mode::kAsk && c.enabled && !c.readOnly && !c.options.empty()) {
          std::string a = AskLine("  number (Enter keeps): ");
          int n = std::atoi(a.c_str());
          if (n >= 1 && n <= static_cast<int>(c.options.size())) c.selected = n - 1;
        }
        break;
      case ui::ControlKind::kList:
        err_ << Plain(c.label) << "\n";
        for (std::size_t i = 0; i < c.rows.size(); ++i) {
          bool kept = i < c.rowChecked.size() && c.rowChecked[i];
          err_ << "  " << (kept ? "[x] " : "[ ] ");
          for (std::size_t j = 0; j < c.rows[i].size(); ++j)
            err_ << (j ? "\t" : "") << c.rows[i][j];
          err_ << "\n";
        }
        break;
    }
  }
  if (mode_ == Mode::kYes) return dialog.affirmativeButton;
  if (mode_ == Mode::kDefault) return dialog.defaultButton;
  std::string prompt = "[";
  for (std::size_t i = 0; i < dialog.buttons.size(); ++i) {
    prompt += (i ? "/" : "") + Plain(dialog.buttons[i].text);
  }
  prompt += "] ";
  for (;;) {
    std::string a = Lower(AskLine(prompt));
    if (a == "\x04") return dialog.cancelButton;
    if (a.empty()) return dialog.defaultButton;
    for (const ui::Button& b : dialog.buttons) {
      if (Lower(Plain(b.text)).rfind(a, 0) == 0) return b.id;
    }
  }
}

// Progress as one line: "<title>: <done>[/<total>] <text>", rewritten on each update
// and wiped at the end; nothing at all when standard error is no terminal.
class TerminalProgress final : public ui::Progress {
 public:
  TerminalProgress(TerminalUi& ui, std::string title) : ui_(ui), title_(std::move(title)) {}
  ~TerminalProgress() override {
    std::lock_guard lock(ui_.mutex_);
    ui_.ClearProgressLine();
    ui_.err_ << std::flush;
  }
  void Update(std::uint64_t done, std::uint64_t total, const std::string& text) override {
    if (!ui_.progressLine_) return;
    std::string line = title_ + ": " + std::to_string(done);
    if (total) line += "/" + std::to_string(total);
    if (!text.empty()) line += " " + text;
    for (char& c : line) {
      if (c == '\n' || c == '\r' || c == '\t') c = ' ';
    }
    if (line.size() > 76) {
      std::size_t cut = 73;
      while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) --cut;
      line = line.substr(0, cut) + "...";
    }
    std::lock_guard lock(ui_.mutex_);
    ui_.err_ << "\r\033[K" << line << std::flush;
    ui_.lineShown_ = true;
  }
  bool Cancelled() const override { return false; }

 private:
  TerminalUi& ui_;
  std::string title_;
};

std::unique_ptr<ui::Progress> TerminalUi::BeginProgress(const std::string& title) {
  return std::make_unique<TerminalProgress>(*this, title);
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
