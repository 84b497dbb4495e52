#include "platform/message_box.h"

namespace quorvel::platform {

void ScriptedMessageBoxes::QueueAnswer(int button) {
  std::lock_guard lock(mutex_);
  answers_.push_back(button);
}

int ScriptedMessageBoxes::Show(const std::string& text, const std::string& caption,
                               std::uint32_t style) {
  std::lock_guard lock(mutex_);
  shown_.push_back({text, caption, style});
  if (!answers_.empty()) {
    int answer = answers_.front();
    answers_.pop_front();
    return answer;
  }
  switch (style & kMessageBoxButtonMask) {
    case MB_YESNO:
    case MB_YESNOCANCEL:
      return IDYES;
    default:
      return IDOK;
  }
}

std::vector<ScriptedMessageBoxes::Shown> ScriptedMessageBoxes::shown() const {
  std::lock_guard lock(mutex_);
  return shown_;
}

}  // namespace quorvel::platform
