// Modal messages: text, caption, buttons and icon in; the chosen button out.
// Every layer shows the system's messages through this interface; the host
// implements it, tests use ScriptedMessageBoxes.
#ifndef QUORVEL_PLATFORM_MESSAGE_BOX_H_
#define QUORVEL_PLATFORM_MESSAGE_BOX_H_

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace quorvel::platform {

// Button sets and icons, with the window system's values.
enum MessageBoxStyle : std::uint32_t {
  MB_OK = 0x0,
  MB_OKCANCEL = 0x1,
  MB_YESNOCANCEL = 0x3,
  MB_YESNO = 0x4,
  MB_ICONERROR = 0x10,
  MB_ICONQUESTION = 0x20,
  MB_ICONWARNING = 0x30,
  MB_ICONINFORMATION = 0x40,
};
inline constexpr std::uint32_t kMessageBoxButtonMask = 0xF;
inline constexpr std::uint32_t kMessageBoxIconMask = 0xF0;

// The chosen button.
enum MessageBoxResult : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  // Text and caption are in the ANSI code page. Returns the chosen button.
  virtual int Show(const std::string& text, const std::string& caption, std::uint32_t style) = 0;
};

// For tests: answers from a queue (IDOK, or the style's first button, when it is
// empty) and records every message shown. Thread-safe.
class ScriptedMessageBoxes final : public MessageBoxes {
 public:
  struct Shown {
    std::string text;
    std::string caption;
    std::uint32_t style;
  };
  void QueueAnswer(int button);
  int Show(const std::string& text, const std::string& caption, std::uint32_t style) override;
  std::vector<Shown> shown() const;

 private:
  mutable std::mutex mutex_;
  std::deque<int> answers_;   // guarded by mutex_
  std::vector<Shown> shown_;  // guarded by mutex_
};

}  // namespace quorvel::platform

#endif  // QUORVEL_PLATFORM_MESSAGE_BOX_H_
