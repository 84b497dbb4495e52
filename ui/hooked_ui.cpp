#include "ui/hooked_ui.h"

#include <atomic>
#include <memory>

namespace quorvel::ui {

std::int32_t HookedUi::Present(Dialog& dialog) {
  if (hook_) {
    if (std::optional<std::int32_t> answer = hook_(dialog)) return *answer;
  }
  return inner_.Present(dialog);
}

DialogHook PrefillHook(std::string kind, std::map<std::string, std::string> texts,
                       std::int32_t button) {
  // Shared by the hook's copies, so that one dialog is answered however it is held.
  auto used = std::make_shared<std::atomic<bool>>(false);
  return [kind = std::move(kind), texts = std::move(texts), button,
          used](Dialog& dialog) -> std::optional<std::int32_t> {
    if (dialog.kind != kind || used->exchange(true)) return std::nullopt;
    for (const auto& [id, text] : texts) {
      if (Control* control = dialog.Find(id)) control->text = text;
    }
    return button;
  };
}

}  // namespace quorvel::ui
