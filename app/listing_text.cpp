#include "app/listing_text.h"

#include <ctime>

namespace quorvel::app {
namespace {

constexpr std::uint64_t kTicksPerSecond = 10'000'000;
constexpr std::uint64_t kSecondsFrom1601To1970 = 11'644'473'600;

bool ToTm(std::uint64_t fileTime, bool local, std::tm* tm) {
  if (fileTime / kTicksPerSecond < kSecondsFrom1601To1970) return false;
  const auto seconds =
      static_cast<std::time_t>(fileTime / kTicksPerSecond - kSecondsFrom1601To1970);
  return local ? localtime_r(&seconds, tm) != nullptr : gmtime_r(&seconds, tm) != nullptr;
}

std::string Format(std::uint64_t fileTime, bool local, const char* format) {
  std::tm tm{};
  if (fileTime == 0 || !ToTm(fileTime, local, &tm)) return {};
  char text[64] = "";
  std::strftime(text, sizeof text, format, &tm);
  return text;
}

}  // namespace

std::string EscapeField(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (byte < 0x20 || byte == 0x7F) {
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 0xF];
    } else {
      out += c;
    }
  }
  return out;
}

std::string LocalTimeText(std::uint64_t fileTime) {
  return Format(fileTime, true, "%Y-%m-%d %H:%M");
}

std::string UtcTimeText(std::uint64_t fileTime) {
  return Format(fileTime, false, "%Y-%m-%dT%H:%M:%SZ");
}

}  // namespace quorvel::app
