#include "ui/prefilled_ui.h"

namespace quorvel::ui {

std::int32_t PrefilledUi::Present(Dialog& dialog) {
  if (used_ || dialog.kind != kind_) return inner_.Present(dialog);
  used_ = true;
  for (const auto& [id, text] : texts_) {
    if (Control* control = dialog.Find(id)) control->text = text;
  }
  return button_;
}

}  // namespace quorvel::ui
