#include "ui/dialog.h"

namespace quorvel::ui {

Control* Dialog::Find(const std::string& id) {
  for (Control& control : controls) {
    if (control.id == id) return &control;
  }
  return nullptr;
}

const Control* Dialog::Find(const std::string& id) const {
  return const_cast<Dialog*>(this)->Find(id);
}

}  // namespace quorvel::ui
