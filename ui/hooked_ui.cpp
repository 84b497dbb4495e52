#include "ui/hooked_ui.h"

namespace quorvel::ui {

std::int32_t HookedUi::Present(Dialog& dialog) {
  if (hook_) {
    if (std::optional<std::int32_t> answer = hook_(dialog)) return *answer;
  }
  return inner_.Present(dialog);
}

DialogHook PrefillHook(std::string kind, std::map<std::string, std::string> texts,
                       std::int32_t button) {
  return [kind = std::move(kind), texts = std::move(texts), button,
          used = false](Dialog& dialog) mutable -> std::optional<std::int32_t> {
    if (used || dialog.kind != kind) return std::nullopt;
    used = true;
    for (const auto& [id, text] : texts) {
      if (Control* control = dialog.Find(id)) control->text = text;
    }
    return button;
  };
}

}  // namespace quorvel::ui
