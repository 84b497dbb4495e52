#include "platform/code_page.h"

#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace quorvel::platform {
namespace {

constexpr unsigned kDefaultCodePage = 1252;
constexpr char16_t kNoByte = 0xFFFF;  // in fromWide: the code page cannot hold it

// The tables of one single-byte code page, built once through ICU and then used
// for every conversion and comparison without calling ICU again.
struct CodePageTables {
  unsigned number = 0;
  std::array<char16_t, 256> toWide{};
  std::array<unsigned char, 256> lower{};
  // UTF-16 unit -> byte, for the units at or above 0x80 (below is ASCII). Sorted.
  std::vector<std::pair<char16_t, unsigned char>> fromWide;

  int ByteFor(char16_t unit) const {
    if (unit < 0x80) return unit;
    auto it =
        std::lower_bound(fromWide.begin(), fromWide.end(), std::make_pair(unit, (unsigned char)0));
    if (it != fromWide.end() && it->first == unit) return it->second;
    return -1;
  }
};

// Builds the tables for "windows-<n>"; nullptr when ICU has no such single-byte
// converter.
std::unique_ptr<CodePageTables> BuildTables(unsigned number) {
  UErrorCode status = U_ZERO_ERROR;
  std::string name = "windows-" + std::to_string(number);
  UConverter* conv = ucnv_open(name.c_str(), &status);
  if (U_FAILURE(status) || conv == nullptr) return nullptr;
  if (ucnv_getMaxCharSize(conv) != 1) {
    ucnv_close(conv);
    return nullptr;
  }
  // Stop (rather than substitute) on a byte the code page leaves undefined.
  ucnv_setToUCallBack(conv, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  auto tables = std::make_unique<CodePageTables>();
  tables->number = number;
  for (unsigned b = 0; b < 256; ++b) {
    char in = static_cast<char>(b);
    UChar out[4];
    status = U_ZERO_ERROR;
    ucnv_reset(conv);
    int32_t n = ucnv_toUChars(conv, out, 4, &in, 1, &status);
    // A byte without a character (0x81 in 1252) keeps its value as a C1 control, so
    // every byte survives the trip to UTF-16 and back.
    char16_t unit = (U_SUCCESS(status) && n == 1) ? out[0] : static_cast<char16_t>(b);
    if (b < 0x80) unit = static_cast<char16_t>(b);
    tables->toWide[b] = unit;
  }
  ucnv_close(conv);

  for (unsigned b = 0x80; b < 256; ++b) tables->fromWide.emplace_back(tables->toWide[b], b);
  std::sort(tables->fromWide.begin(), tables->fromWide.end());
  for (unsigned b = 0; b < 256; ++b) {
    UChar32 lowered = u_tolower(tables->toWide[b]);
    int mapped = lowered <= 0xFFFF ? tables->ByteFor(static_cast<char16_t>(lowered)) : -1;
    tables->lower[b] = static_cast<unsigned char>(mapped >= 0 ? mapped : b);
  }
  return tables;
}

// Every code page built so far; tables live until the process ends, so a pointer
// handed out stays valid when a test switches the code page.
std::mutex gTablesMutex;
std::map<unsigned, std::unique_ptr<CodePageTables>>& TablesByNumber() {
  static auto* tables = new std::map<unsigned, std::unique_ptr<CodePageTables>>;
  return *tables;
}

const CodePageTables* TablesFor(unsigned number) {
  std::lock_guard lock(gTablesMutex);
  auto& all = TablesByNumber();
  auto it = all.find(number);
  if (it != all.end()) return it->second.get();
  auto built = BuildTables(number);
  const CodePageTables* result = built.get();
  if (built) all.emplace(number, std::move(built));
  return result;
}

// QUORVEL_CODEPAGE: "1251", "cp1251" or "windows-1251".
unsigned CodePageFromEnvironment() {
  const char* value = std::getenv("QUORVEL_CODEPAGE");
  if (value == nullptr || *value == '\0') return kDefaultCodePage;
  std::string_view text(value);
  for (std::string_view prefix : {"windows-", "cp"}) {
    if (text.size() > prefix.size() && text.substr(0, prefix.size()) == prefix) {
      text.remove_prefix(prefix.size());
      break;
    }
  }
  unsigned number = 0;
  for (char c : text) {
    if (c < '0' || c > '9' || number > 100000) return kDefaultCodePage;
    number = number * 10 + static_cast<unsigned>(c - '0');
  }
  return TablesFor(number) != nullptr ? number : kDefaultCodePage;
}

std::atomic<const CodePageTables*> gActive{nullptr};

const CodePageTables& Active() {
  const CodePageTables* tables = gActive.load(std::memory_order_acquire);
  if (tables == nullptr) {
    const CodePageTables* fromEnv = TablesFor(CodePageFromEnvironment());
    gActive.compare_exchange_strong(tables, fromEnv, std::memory_order_acq_rel);
    tables = gActive.load(std::memory_order_acquire);
  }
  return *tables;
}

// Character classes below 256 (Latin-1) from a table; ICU answers above.
constexpr std::uint8_t kLetter = 1;
constexpr std::uint8_t kDigit = 2;

constexpr std::array<std::uint8_t, 256> BuildLatin1Classes() {
  std::array<std::uint8_t, 256> classes{};
  for (int c = 0; c < 256; ++c) {
    bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == 0xAA || c == 0xB5 ||
                  c == 0xBA || (c >= 0xC0 && c != 0xD7 && c != 0xF7);
    classes[c] = letter ? kLetter : (c >= '0' && c <= '9') ? kDigit : 0;
  }
  return classes;
}
constexpr std::array<std::uint8_t, 256> kLatin1Classes = BuildLatin1Classes();

}  // namespace

unsigned ActiveCodePage() { return Active().number; }

bool SetCodePageForTesting(unsigned codePage) {
  const CodePageTables* tables = TablesFor(codePage == 0 ? CodePageFromEnvironment() : codePage);
  if (tables == nullptr) return false;
  gActive.store(tables, std::memory_order_release);
  return true;
}

std::u16string AnsiToWide(std::string_view ansi) {
  const CodePageTables& t = Active();
  std::u16string wide(ansi.size(), u'\0');
  for (std::size_t i = 0; i < ansi.size(); ++i)
    wide[i] = t.toWide[static_cast<unsigned char>(ansi[i])];
  return wide;
}

namespace {

// Appends `wide` to *ansi, one byte per unit at most: written in place, trimmed at the
// end.
void AppendWideAsAnsi(std::u16string_view wide, std::string* ansi) {
  const CodePageTables& t = Active();
  std::size_t n = ansi->size();
  ansi->resize(n + wide.size());
  char* out = ansi->data();
  for (std::size_t i = 0; i < wide.size(); ++i) {
    char16_t unit = wide[i];
    if (unit < 0x80) {
      out[n++] = static_cast<char>(unit);
      continue;
    }
    if (U16_IS_LEAD(unit) && i + 1 < wide.size() && U16_IS_TRAIL(wide[i + 1])) {
      ++i;  // a character outside the BMP: one '?'
      out[n++] = '?';
      continue;
    }
    int b = U16_IS_SURROGATE(unit) ? -1 : t.ByteFor(unit);
    out[n++] = b >= 0 ? static_cast<char>(b) : '?';
  }
  ansi->resize(n);
}

}  // namespace

std::string WideToAnsi(std::u16string_view wide) {
  std::string ansi;
  AppendWideAsAnsi(wide, &ansi);
  return ansi;
}

std::u16string Utf8ToWide(std::string_view utf8) {
  if (utf8.empty()) return {};
  if (utf8.size() > static_cast<std::size_t>(INT32_MAX)) return {};
  // UTF-8 never yields more UTF-16 units than bytes.
  std::u16string wide(utf8.size(), u'\0');
  int32_t length = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strFromUTF8WithSub(reinterpret_cast<UChar*>(wide.data()), static_cast<int32_t>(wide.size()),
                       &length, utf8.data(), static_cast<int32_t>(utf8.size()), 0xFFFD, nullptr,
                       &status);
  if (U_FAILURE(status)) return {};
  wide.resize(static_cast<std::size_t>(length));
  return wide;
}

std::string WideToUtf8(std::u16string_view wide) {
  if (wide.empty()) return {};
  if (wide.size() > static_cast<std::size_t>(INT32_MAX / 3)) return {};
  // At most three bytes per UTF-16 unit.
  std::string utf8(wide.size() * 3, '\0');
  int32_t length = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strToUTF8WithSub(utf8.data(), static_cast<int32_t>(utf8.size()), &length,
                     reinterpret_cast<const UChar*>(wide.data()), static_cast<int32_t>(wide.size()),
                     0xFFFD, nullptr, &status);
  if (U_FAILURE(status)) return {};
  utf8.resize(static_cast<std::size_t>(length));
  return utf8;
}

std::string Utf8ToAnsi(std::string_view utf8) { return WideToAnsi(Utf8ToWide(utf8)); }
std::string AnsiToUtf8(std::string_view ansi) {
  // Straight from the byte table: a single-byte code page's characters all lie in
  // the BMP outside the surrogates, so each takes one to three UTF-8 bytes.
  const CodePageTables& t = Active();
  std::string utf8;
  utf8.reserve(ansi.size() + ansi.size() / 2);
  for (char c : ansi) {
    const char16_t unit = t.toWide[static_cast<unsigned char>(c)];
    if (unit < 0x80) {
      utf8.push_back(static_cast<char>(unit));
    } else if (unit < 0x800) {
      utf8.push_back(static_cast<char>(0xC0 | (unit >> 6)));
      utf8.push_back(static_cast<char>(0x80 | (unit & 0x3F)));
    } else if (U16_IS_SURROGATE(unit)) {
      utf8.append("\xEF\xBF\xBD");  // U+FFFD, as the general conversion writes
    } else {
      utf8.push_back(static_cast<char>(0xE0 | (unit >> 12)));
      utf8.push_back(static_cast<char>(0x80 | ((unit >> 6) & 0x3F)));
      utf8.push_back(static_cast<char>(0x80 | (unit & 0x3F)));
    }
  }
  return utf8;
}

bool CharsetToAnsi(std::string_view charset, std::string_view bytes, std::string* out) {
  out->clear();
  if (charset.empty() || charset.find('\0') != std::string_view::npos || charset.size() > 64) {
    return false;
  }
  if (bytes.size() > static_cast<std::size_t>(INT32_MAX / 2)) return false;
  std::string name(charset);
  UErrorCode status = U_ZERO_ERROR;
  UConverter* conv = ucnv_open(name.c_str(), &status);
  if (U_FAILURE(status) || conv == nullptr) return false;
  // Converts in pieces, each turned to ANSI at once: no UTF-16 copy of the whole text.
  // A lead surrogate that ends a piece waits for the next one, so that a pair split
  // between pieces still becomes a single '?'.
  out->reserve(bytes.size());
  constexpr std::size_t kPiece = 4096;
  UChar buffer[kPiece];
  std::size_t carried = 0;
  const char* source = bytes.data();
  const char* sourceEnd = bytes.data() + bytes.size();
  for (;;) {
    UChar* target = buffer + carried;
    status = U_ZERO_ERROR;
    ucnv_toUnicode(conv, &target, buffer + kPiece, &source, sourceEnd, nullptr, true, &status);
    const std::size_t n = static_cast<std::size_t>(target - buffer);
    const bool more = status == U_BUFFER_OVERFLOW_ERROR;
    carried = more && n > 0 && U16_IS_LEAD(buffer[n - 1]) ? 1 : 0;
    AppendWideAsAnsi(std::u16string_view(reinterpret_cast<const char16_t*>(buffer), n - carried),
                     out);
    if (carried != 0) buffer[0] = buffer[n - 1];
    if (!more) break;
  }
  ucnv_close(conv);
  if (U_FAILURE(status)) {
    out->clear();
    return false;
  }
  return true;
}

unsigned char LowerAnsi(unsigned char c) { return Active().lower[c]; }

std::string ToLowerAnsi(std::string_view s) {
  const CodePageTables& t = Active();
  std::string lowered(s.size(), '\0');
  for (std::size_t i = 0; i < s.size(); ++i) {
    lowered[i] = static_cast<char>(t.lower[static_cast<unsigned char>(s[i])]);
  }
  return lowered;
}

int CompareNoCase(std::string_view a, std::string_view b) {
  const auto& lower = Active().lower;
  std::size_t n = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < n; ++i) {
    unsigned char x = lower[static_cast<unsigned char>(a[i])];
    unsigned char y = lower[static_cast<unsigned char>(b[i])];
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && CompareNoCase(a, b) == 0;
}

bool IsWideLetter(char16_t c) {
  return c < 256 ? (kLatin1Classes[c] & kLetter) != 0 : !U16_IS_SURROGATE(c) && u_isalpha(c);
}
bool IsWideDigit(char16_t c) {
  return c < 256 ? (kLatin1Classes[c] & kDigit) != 0 : !U16_IS_SURROGATE(c) && u_isdigit(c);
}
bool IsWideLetterOrDigit(char16_t c) {
  return c < 256 ? kLatin1Classes[c] != 0 : !U16_IS_SURROGATE(c) && u_isalnum(c);
}

char16_t ToLowerWide(char16_t c) {
  if (U16_IS_SURROGATE(c)) return c;
  UChar32 lowered = u_tolower(c);
  return lowered <= 0xFFFF ? static_cast<char16_t>(lowered) : c;
}

}  // namespace quorvel::platform
