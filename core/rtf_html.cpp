#include "core/rtf_html.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvel {
namespace {

// What the de-encapsulation does at a control word (the text after a backslash).
enum class ControlAction {
  kEscapedChar,     // write the character itself; continue after it
  kHexByte,         // write the byte of the two hex digits; continue after them
  kBlank,           // write one blank; continue after the word and one blank
  kSkipNumber,      // continue after the word, its digits and one blank
  kSkipGroup,       // continue after the end of the current group
  kSkipHtmlRtf,     // continue after the next "\htmlrtf0" and one blank
  kAlternativeTag,  // "\*\mhtmltagN": dropped when a later "\*\htmltagN" exists
};

struct ControlWord {
  std::string_view prefix;  // compared with the beginning of the word, case-sensitively
  ControlAction action;
};

// First matching entry wins. Anything not listed writes a backslash and the word's
// letters are then copied as text.
constexpr ControlWord kControlWords[] = {
    {"{", ControlAction::kEscapedChar},
    {"}", ControlAction::kEscapedChar},
    // An escaped backslash stands for one backslash; taking the second one as the
    // start of another control word would double it in the HTML.
    {"\\", ControlAction::kEscapedChar},
    {"'", ControlAction::kHexByte},
    {"tab", ControlAction::kBlank},
    {"par", ControlAction::kBlank},
    {"li", ControlAction::kSkipNumber},
    {"fi-", ControlAction::kSkipNumber},
    {"pntext", ControlAction::kSkipGroup},
    {"htmlrtf", ControlAction::kSkipHtmlRtf},
    {"*\\htmltag", ControlAction::kSkipNumber},
    {"*\\mhtmltag", ControlAction::kAlternativeTag},
};

constexpr std::string_view kHtmlTag = "\\*\\htmltag";
constexpr std::string_view kHtmlRtfEnd = "\\htmlrtf0";

bool StartsWith(const char* p, const char* end, std::string_view prefix) {
  return static_cast<std::size_t>(end - p) >= prefix.size() &&
         std::memcmp(p, prefix.data(), prefix.size()) == 0;
}

const char* Find(const char* from, const char* end, std::string_view needle) {
  std::string_view hay(from, static_cast<std::size_t>(end - from));
  std::size_t at = hay.find(needle);
  return at == std::string_view::npos ? end : from + at;
}

// 1 for a byte that plain text keeps, 0 for the braces and line ends it drops.
constexpr std::array<std::uint8_t, 256> kKeptInText = [] {
  std::array<std::uint8_t, 256> kept{};
  for (int c = 0; c < 256; ++c) kept[c] = (c == '{' || c == '}' || c == '\r' || c == '\n') ? 0 : 1;
  return kept;
}();

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 0;
}

const char* SkipDigits(const char* p, const char* end) {
  while (p < end && IsDigit(*p)) ++p;
  return p;
}

const char* SkipOneBlank(const char* p, const char* end) {
  return (p < end && *p == ' ') ? p + 1 : p;
}

// Continues just after the "}" that closes the group the reading position is in.
const char* SkipGroup(const char* p, const char* end) {
  int depth = 1;
  for (; p < end; ++p) {
    if (*p == '{') {
      ++depth;
    } else if (*p == '}' && --depth == 0) {
      return p + 1;
    }
  }
  return end;
}

// The number after a tag control word. Numbers are compared by value; a tag without
// digits has a number of its own, and one too long to hold matches nothing.
struct TagNumber {
  static constexpr std::uint64_t kNone = ~std::uint64_t{0};
  static constexpr std::uint64_t kTooLong = kNone - 1;
  std::uint64_t value = kNone;
};

TagNumber ParseTagNumber(const char* p, const char* end) {
  TagNumber n;
  if (p >= end || !IsDigit(*p)) return n;
  std::uint64_t value = 0;
  for (; p < end && IsDigit(*p); ++p) {
    if (value >= 100'000'000'000'000'000ULL) {  // would pass 18 digits
      n.value = TagNumber::kTooLong;
      return n;
    }
    value = value * 10 + static_cast<std::uint64_t>(*p - '0');
  }
  n.value = value;
  return n;
}

// For each "\*\htmltagN" from a starting point on, the last position where that N
// occurs; answers "does a \*\htmltagN occur after position p" in logarithmic time, so
// that many alternative groups do not rescan the text.
class LaterTagIndex {
 public:
  void Build(const char* from, const char* end) {
    built_ = true;
    for (const char* p = Find(from, end, kHtmlTag); p < end;
         p = Find(p + kHtmlTag.size(), end, kHtmlTag)) {
      TagNumber n = ParseTagNumber(p + kHtmlTag.size(), end);
      if (n.value != TagNumber::kTooLong) entries_.emplace_back(n.value, p);
    }
    // Stable by position within a number, so the last of each run is the latest.
    std::stable_sort(entries_.begin(), entries_.end(),
                     [](const Entry& a, const Entry& b) { return a.first < b.first; });
  }
  bool built() const { return built_; }

  bool OccursAfter(TagNumber n, const char* position) const {
    if (n.value == TagNumber::kTooLong) return false;
    auto upper = std::upper_bound(entries_.begin(), entries_.end(), n.value,
                                  [](std::uint64_t v, const Entry& e) { return v < e.first; });
    if (upper == entries_.begin()) return false;
    const Entry& last = *(upper - 1);
    return last.first == n.value && last.second > position;
  }

 private:
  using Entry = std::pair<std::uint64_t, const char*>;
  std::vector<Entry> entries_;
  bool built_ = false;
};

// `word` is before `end`. The first byte is compared before the rest, so most
// entries cost one comparison.
const ControlWord* LookUp(const char* word, const char* end) {
  for (const ControlWord& cw : kControlWords) {
    if (cw.prefix[0] == *word && StartsWith(word, end, cw.prefix)) return &cw;
  }
  return nullptr;
}

}  // namespace

std::size_t Deencapsulate(char* buffer, std::size_t length) {
  const char* const end = buffer + length;
  const char* in = Find(buffer, end, kHtmlTag);
  char* out = buffer;
  LaterTagIndex laterTags;

  if (in < end) {
    for (;;) {
      // Plain text up to the next backslash, without braces and line ends.
      const char* slash =
          static_cast<const char*>(std::memchr(in, '\\', static_cast<std::size_t>(end - in)));
      if (slash == nullptr) slash = end;
      for (; in < slash; ++in) {
        const char c = *in;
        *out = c;
        out += kKeptInText[static_cast<unsigned char>(c)];
      }
      if (slash == end || slash + 1 == end) break;

      const char* word = slash + 1;
      const ControlWord* cw = LookUp(word, end);
      if (cw == nullptr) {
        *out++ = '\\';
        in = word;
      } else {
        const char* after = word + cw->prefix.size();
        switch (cw->action) {
          case ControlAction::kEscapedChar:
            *out++ = *word;
            in = after;
            break;
          case ControlAction::kHexByte: {
            // A missing digit (the text ends) counts as 0, like a non-hex one.
            int high = after < end ? HexValue(after[0]) : 0;
            int low = after + 1 < end ? HexValue(after[1]) : 0;
            *out++ = static_cast<char>(high * 16 + low);
            in = std::min(after + 2, end);
            break;
          }
          case ControlAction::kBlank:
            *out++ = ' ';
            in = SkipOneBlank(after, end);
            break;
          case ControlAction::kSkipNumber:
            in = SkipOneBlank(SkipDigits(after, end), end);
            break;
          case ControlAction::kSkipGroup:
            in = SkipGroup(word, end);
            break;
          case ControlAction::kSkipHtmlRtf: {
            // Searching from this backslash lets a stray "\htmlrtf0" end itself.
            const char* stop = Find(slash, end, kHtmlRtfEnd);
            in = stop == end ? end : SkipOneBlank(stop + kHtmlRtfEnd.size(), end);
            break;
          }
          case ControlAction::kAlternativeTag: {
            TagNumber n = ParseTagNumber(after, end);
            if (!laterTags.built()) laterTags.Build(after, end);
            if (laterTags.OccursAfter(n, slash)) {
              in = SkipGroup(word, end);
            } else {
              in = SkipOneBlank(SkipDigits(after, end), end);
            }
            break;
          }
        }
      }
      if (in >= end) break;
    }
  }
  *out = '\0';
  return static_cast<std::size_t>(out - buffer);
}

}  // namespace quorvel
