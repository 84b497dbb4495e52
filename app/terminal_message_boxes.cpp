#include "app/terminal_message_boxes.h"

#include <ostream>

#include "platform/code_page.h"

namespace quorvel::app {

int TerminalMessageBoxes::Show(const std::string& text, const std::string& /*caption*/,
                               std::uint32_t style) {
  std::string shown = platform::AnsiToUtf8(text);
  for (char& c : shown) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  {
    std::lock_guard lock(mutex_);
    err_ << "quorvel: " << shown << "\n";
  }
  switch (style & platform::kMessageBoxButtonMask) {
    case platform::MB_YESNO:
      return platform::IDNO;
    case platform::MB_YESNOCANCEL:
    case platform::MB_OKCANCEL:
      return platform::IDCANCEL;
    default:
      return platform::IDOK;
  }
}

}  // namespace quorvel::app
