// TakeDialogAnswer: brings the values a person gave somewhere else (a client at the
// other end of the channel, a pending interaction) back into the dialog model its
// owner holds. Only values come back, and only into controls of the same id and kind
// that the user may change; a selection out of range is ignored.
#ifndef QUORVEL_HOST_DIALOG_ANSWER_H_
#define QUORVEL_HOST_DIALOG_ANSWER_H_

#include <vector>

#include "ui/dialog.h"

namespace quorvel::host {

void TakeDialogAnswer(ui::Dialog& dialog, const std::vector<ui::Control>& answered);

}  // namespace quorvel::host

#endif  // QUORVEL_HOST_DIALOG_ANSWER_H_
