// ModelSession: a dialog kept open that nobody sees. Its owner acts on the model as
// the buttons would (a command line that adds one entry to a list page and presses
// OK), and the changes are applied to the model alone. Next has nobody to ask and
// returns the dialog's cancel button.
#ifndef QUORVEL_UI_MODEL_SESSION_H_
#define QUORVEL_UI_MODEL_SESSION_H_

#include "ui/dialog_session.h"

namespace quorvel::ui {

class ModelSession final : public DialogSession {
 public:
  // REQUIRES: `dialog` outlives the session.
  explicit ModelSession(Dialog& dialog) : dialog_(dialog) {}
  std::int32_t Next() override { return dialog_.cancelButton; }
  bool Update(const DialogChange& change) override { return ApplyChange(dialog_, change); }
  Dialog& dialog() override { return dialog_; }

 private:
  Dialog& dialog_;
};

}  // namespace quorvel::ui

#endif  // QUORVEL_UI_MODEL_SESSION_H_
