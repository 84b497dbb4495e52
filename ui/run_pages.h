// Running dialogs kept open: a plain dialog or a property sheet with Apply and buttons
// of its own (RunOpenDialog), and a wizard with Back, Next and Finish whose next page
// the owner decides (RunWizard). Both open the dialog once through Ui::Open, so that a
// front end shows changes in place instead of the dialog again, and both validate as
// RunDialog does: a refusal is shown as a warning box and the dialog stays open;
// without a person, a refusal ends the run with the cancel button.
//
// A press that the runner does not handle itself goes to `onAction` with the session,
// through which the owner changes the dialog (a row added after Add). The callbacks
// run on the calling thread.
#ifndef QUORVEL_UI_RUN_PAGES_H_
#define QUORVEL_UI_RUN_PAGES_H_

#include <cstdint>
#include <functional>
#include <string>

#include "ui/ui.h"

namespace quorvel::ui {

using ActionHandler = std::function<void(DialogSession& session, std::int32_t button)>;
// Called when a wizard's page becomes the one shown, before the user is asked: the
// owner fills the page or does its work there (a scan with its progress), changing
// the page through the session.
using PageHandler = std::function<void(DialogSession& session, const std::string& page)>;

// Runs `dialog` until a closing button is accepted or the cancel button is pressed;
// returns that button. Apply and every closing button but the cancel button are
// validated first: validatePage for each page in order (a refusal shows that page),
// then validate; an accepted Apply goes to `onAction` and the dialog stays open. Other
// buttons that do not close go to `onAction`. A button pressed while disabled is
// ignored; an id the dialog does not have closes it, as with RunDialog. Without a
// person, a press that does not close ends the run with the cancel button after
// `onAction`, since nobody will press another.
std::int32_t RunOpenDialog(Ui& ui, Dialog& dialog, const ActionHandler& onAction = {});

// Runs `dialog`'s pages as a wizard from `currentPage` (else the first) and returns
// the Finish button, or the cancel button. Next validates the page (validatePage)
// and shows the page nextPage names; Back shows the page the user came from; Finish,
// offered on the last page (nextPage says ""), validates the page and then the
// dialog. Buttons of the roles Back, Next, Finish and Cancel are added when the
// dialog has none, and kept enabled as the page allows; Next, or Finish on the last
// page, is made the default and affirmative button unless the default was the cancel
// button, so that --yes goes through to Finish on the defaults. A wizard without a
// person that has not finished after 1,000 pages is cancelled. `onPageShown` hears
// of every page shown, the first included, and again after Back. Without pages:
// RunOpenDialog.
std::int32_t RunWizard(Ui& ui, Dialog& dialog, const ActionHandler& onAction = {},
                       const PageHandler& onPageShown = {});

}  // namespace quorvel::ui

#endif  // QUORVEL_UI_RUN_PAGES_H_
