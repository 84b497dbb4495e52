// The dialogs of the screenshot gallery, each built by the code that builds it for the
// program (the options sheet and its pages over a settings record with entries, the
// list and dictionary dialogs, the marking, check-folder, test-message, toolbar and
// exception-report dialogs), never by hand, so that the pictures show what users see.
//
// Thread-safety: the GUI thread only.
#ifndef QUORVEL_DESKTOP_SCREENSHOT_MODELS_H_
#define QUORVEL_DESKTOP_SCREENSHOT_MODELS_H_

#include <QString>
#include <functional>
#include <string>

#include "ui/dialog.h"
#include "ui/ui.h"

namespace quorvel::desktop {

// Verdicts of real messages for the Test Message results: one whose reason is a line
// or two (the short dialog) and one decided by the Bayesian filter's score (the long
// dialog with its token listing). An empty reason leaves that picture out.
struct TestMessageSamples {
  bool shortSpam = false;
  std::string shortReason;
  bool longSpam = true;
  std::string longReason;
};

// Calls `draw` with each dialog and the file name of its picture ("options-3-white-
// list.png"), while the objects behind the dialog live; stops when `draw` returns
// false. `ui` is the presenter the dialogs' owners are given (nothing is asked).
void ForEachGalleryDialog(ui::Ui& ui, const TestMessageSamples& samples,
                          const std::function<bool(const QString& file, ui::Dialog& dialog)>& draw);

}  // namespace quorvel::desktop

#endif  // QUORVEL_DESKTOP_SCREENSHOT_MODELS_H_
