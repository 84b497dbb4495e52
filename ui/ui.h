// Ui: the presenter through which the add-in shows everything the user sees: message
// boxes (inherited from platform::MessageBoxes, so lower layers take a Ui as their
// message boxes), dialogs as models (dialog.h), progress of long work with a Cancel,
// and notifications such as the count of spam just received.
//
// Dialogs kept open (pages, Apply, Back and Next, rows changed in place) go through
// Open (dialog_session.h); RunOpenDialog and RunWizard (run_pages.h) drive them.
//
// Implementations: the terminal presenter (app/), the presenter proxied over the
// command channel to the client that sent a command (host/), ScriptedUi for tests.
//
// Thread-safety: every method may be called from any thread; a presenter serialises
// what it shows. Dialogs and message boxes are modal: the call returns the answer.
#ifndef QUORVEL_UI_UI_H_
#define QUORVEL_UI_UI_H_

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/message_box.h"
#include "ui/dialog.h"
#include "ui/dialog_session.h"

namespace quorvel::ui {

// Progress of one piece of long work. Update from any thread; the work asks
// Cancelled() between steps and stops when it is true, or waits with WaitCancelled
// where it would sleep. Cancelled() turns true when the user cancels, not at the next
// Update. Destroying it ends the display; a presenter that throttles updates shows
// the last one first (ThrottledProgress).
class Progress {
 public:
  virtual ~Progress() = default;
  // `done` of `total` steps (total 0: unknown), with a line of text (UTF-8).
  virtual void Update(std::uint64_t done, std::uint64_t total, const std::string& text) = 0;
  virtual bool Cancelled() const = 0;
  // Waits until cancelled or `timeout` has passed; true when cancelled. The default
  // asks Cancelled() every 10 ms; presenters with a CancellationToken wait on it.
  virtual bool WaitCancelled(std::chrono::milliseconds timeout);
};

class Ui : public platform::MessageBoxes {
 public:
  // Shows `dialog` once, fills in the values the user changed and returns the button
  // chosen. A presenter that cannot ask anyone returns dialog.defaultButton with the
  // values untouched. Validation is the caller's: see RunDialog.
  virtual std::int32_t Present(Dialog& dialog) = 0;
  // Opens `dialog` and keeps it open until the session is destroyed. REQUIRES:
  // `dialog` outlives the session. The default presents the shown page again for
  // each press (PresentEachTime); presenters that can keep a dialog open override it.
  virtual std::unique_ptr<DialogSession> Open(Dialog& dialog);
  // Starts showing progress of work named `title`.
  virtual std::unique_ptr<Progress> BeginProgress(const std::string& title) = 0;
  // A notice that needs no answer (the spam count popup); UTF-8.
  virtual void Notify(const std::string& title, const std::string& text) = 0;
  // Opens a link (a web page, a mailto: link, a local file) with the user's own
  // handler, where the user is. False when nothing could open it.
  virtual bool OpenUrl(const std::string& url) = 0;
  // Whether a person answers (false: every question takes its default or, with
  // --yes, its affirmative button). May change, as when a client goes away.
  virtual bool Interactive() const = 0;
};

// The buttons of a message box style: the default one (MB_DEFBUTTON2/3 move it from
// the first), the affirmative one (OK or Yes) and the one that closing the box gives
// (Cancel, else No, else OK).
inline constexpr std::uint32_t MB_DEFBUTTON2 = 0x100;
inline constexpr std::uint32_t MB_DEFBUTTON3 = 0x200;
int DefaultButton(std::uint32_t style);
int AffirmativeButton(std::uint32_t style);
int CancelButton(std::uint32_t style);

// Shows `dialog` until its validation accepts the answers for the chosen button, or
// the cancel button is chosen (never validated). Each rejection is shown as a message
// box with the validation's text; when nobody answers, a rejection ends the dialog
// with its cancel button instead of asking again. Returns the button.
std::int32_t RunDialog(Ui& ui, Dialog& dialog);

}  // namespace quorvel::ui

#endif  // QUORVEL_UI_UI_H_
