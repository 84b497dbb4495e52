// DialogSession: a dialog kept open. The owner gets the user's presses one at a time
// (Apply, Back, Next, a list page's Add or Remove, and at last the button that closes
// it) and changes the open dialog in place with DialogChange deltas, so that a list of
// 100,000 rows is never sent again because one row changed.
//
// Ownership: a session refers to the caller's Dialog, which must outlive it; the
// values the user changes are written there, and Update applies its change there
// too. Destroying the session closes the dialog. One thread uses a session.
#ifndef QUORVEL_UI_DIALOG_SESSION_H_
#define QUORVEL_UI_DIALOG_SESSION_H_

#include <cstdint>
#include <memory>

#include "ui/dialog.h"
#include "ui/dialog_change.h"

namespace quorvel::ui {

class Ui;

class DialogSession {
 public:
  virtual ~DialogSession() = default;
  // Shows the dialog (the first time) or goes on showing it, waits for the user's
  // next press, fills the values the user changed into the dialog and returns the
  // button. The dialog stays open whatever the button: the owner decides. Without
  // anyone to answer: the dialog's defaultButton (affirmativeButton with --yes).
  virtual std::int32_t Next() = 0;
  // Applies `change` to the dialog and shows it. False, nothing changed, as for
  // ApplyChange.
  virtual bool Update(const DialogChange& change) = 0;
  virtual Dialog& dialog() = 0;
};

// The session of a presenter that only knows Ui::Present: each Next presents the
// page shown as a plain dialog (its controls, its enabled buttons and the dialog's,
// IsEnabled decided here, kinds it may not know as labels); a sheet's other pages
// are reached by one more button each ("> Black List"), handled here. Updates only
// change the model, which the next Next presents.
std::unique_ptr<DialogSession> PresentEachTime(Ui& ui, Dialog& dialog);

// The plain dialog that shows `dialog`'s current page, as PresentEachTime presents
// it; page buttons get ids from kPageButtonBase on. CopyValuesBack writes the
// values of `shown`'s enabled, writable controls into `dialog`.
inline constexpr std::int32_t kPageButtonBase = 0x7100;
Dialog PlainView(const Dialog& dialog);
void CopyValuesBack(const Dialog& shown, Dialog& dialog);

}  // namespace quorvel::ui

#endif  // QUORVEL_UI_DIALOG_SESSION_H_
