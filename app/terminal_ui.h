// The terminal presenter: message boxes and dialogs answered at the terminal, notices
// printed on standard error, progress as one line rewritten in place there when
// standard error is a terminal (and not shown otherwise: a log keeps the command's
// own messages only).
//
// Who answers: with --yes every question takes its affirmative button (OK, Yes); when
// standard input is a terminal the user is asked; otherwise each question takes its
// default button and the text is printed so that nothing goes unseen. A dialog kept
// open (Open) is a session: pages one at a time (a sheet with a menu of its pages),
// lists with numbered rows, changes printed as they come; terminal_dialog.h says how
// controls are shown and asked. While a progress line shows, Ctrl-C cancels the work
// (terminal_interrupt.h).
#ifndef QUORVEL_APP_TERMINAL_UI_H_
#define QUORVEL_APP_TERMINAL_UI_H_

#include <iosfwd>
#include <mutex>

#include "app/terminal_dialog.h"
#include "ui/ui.h"

namespace quorvel::app {

class TerminalUi final : public ui::Ui {
 public:
  enum class Mode { kAsk, kYes, kDefault };
  // Reads answers from `in` and writes everything to `err`; both outlive this.
  // `progressLine`: show progress (err is a terminal).
  TerminalUi(std::istream& in, std::ostream& err, Mode mode, bool progressLine = false)
      : in_(in), err_(err), mode_(mode), progressLine_(progressLine) {}
  // kYes with --yes, else kAsk when standard input is a terminal, else kDefault.
  static Mode ModeFor(bool yes);
  // Whether standard error is a terminal.
  static bool ProgressOnTerminal();

  int Show(const std::string& text, const std::string& caption, std::uint32_t style) override;
  std::int32_t Present(ui::Dialog& dialog) override;
  std::unique_ptr<ui::DialogSession> Open(ui::Dialog& dialog) override;
  std::unique_ptr<ui::Progress> BeginProgress(const std::string& title) override;
  void Notify(const std::string& title, const std::string& text) override;
  bool OpenUrl(const std::string& url) override;
  bool Interactive() const override { return mode_ == Mode::kAsk; }

 private:
  // Asks until one of `choices` (by their first letters or numbers) is given; EOF
  // answers `fallback`.
  std::string AskLine(const std::string& prompt);
  // Wipes a progress line in place before other text is written. REQUIRES: mutex_.
  void ClearProgressLine();
  // Questions through AskLine, to err_. REQUIRES: mutex_ while it is used.
  TerminalPrompt Prompt();
  friend class TerminalProgress;
  friend class TerminalSession;

  std::recursive_mutex mutex_;  // one question or line at a time
  std::istream& in_;
  std::ostream& err_;
  const Mode mode_;
  const bool progressLine_;
  bool lineShown_ = false;  // a progress line is on the screen; guarded by mutex_
};

}  // namespace quorvel::app

#endif  // QUORVEL_APP_TERMINAL_UI_H_
