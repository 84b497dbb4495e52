#include "ui/entry_text.h"

#include "platform/code_page.h"

namespace quorvel::ui {
namespace {

// C0 controls, DEL, and the C1 controls U+0080..U+009F written in UTF-8.
bool HasControlCharacter(std::string_view utf8) {
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x20 || c == 0x7F) return true;
    if (c == 0xC2 && i + 1 < utf8.size()) {
      const auto next = static_cast<unsigned char>(utf8[i + 1]);
      if (next >= 0x80 && next <= 0x9F) return true;
    }
  }
  return false;
}

}  // namespace

std::string CheckEntryText(std::string_view utf8, std::string_view what, std::string* ansi) {
  const std::string subject = "The " + std::string(what);
  if (HasControlCharacter(utf8)) return subject + " contains control characters.";
  std::string converted = platform::Utf8ToAnsi(utf8);
  if (converted.size() > kMaxEntryText) {
    return subject + " is longer than " + std::to_string(kMaxEntryText) + " characters.";
  }
  if (platform::AnsiToUtf8(converted) != utf8) {
    return subject + " has characters that the code page (windows-" +
           std::to_string(platform::ActiveCodePage()) + ") cannot hold.";
  }
  if (ansi != nullptr) *ansi = std::move(converted);
  return "";
}

}  // namespace quorvel::ui
