#include <string>
#include <string_view>

#include "mapi/mime/mime_parse.h"

namespace quorvel::mapi {
namespace {

// Characters a short name may hold besides ASCII letters and digits.
constexpr std::string_view kShortNamePunctuation = "!#$%&'()-@^_`{}~";

bool IsShortNameChar(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  if (u >= 0x80) return false;
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
  return kShortNamePunctuation.find(c) != std::string_view::npos;
}

bool AllShortNameChars(std::string_view s) {
  for (char c : s) {
    if (!IsShortNameChar(c)) return false;
  }
  return true;
}

std::string CleanUpper(std::string_view s, std::size_t limit) {
  std::string out;
  for (char c : s) {
    if (out.size() == limit) break;
    if (!IsShortNameChar(c)) continue;
    out.push_back((c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c);
  }
  return out;
}

}  // namespace

std::string ShortFileName(std::string_view longName) {
  if (longName.empty()) return {};
  std::size_t dot = longName.rfind('.');
  std::string_view base = dot == std::string_view::npos ? longName : longName.substr(0, dot);
  std::string_view ext =
      dot == std::string_view::npos ? std::string_view() : longName.substr(dot + 1);
  if (!base.empty() && base.size() <= 8 && ext.size() <= 3 && AllShortNameChars(base) &&
      AllShortNameChars(ext) && (dot == std::string_view::npos || !ext.empty())) {
    return std::string(longName);
  }
  std::string out = CleanUpper(base, 6) + "~1";
  std::string shortExt = CleanUpper(ext, 3);
  if (!shortExt.empty()) out += "." + shortExt;
  return out;
}

}  // namespace quorvel::mapi
