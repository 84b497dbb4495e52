// Text in the system's ANSI code page.
//
// Narrow strings (std::string) hold text in the ANSI code page: Windows-1252 unless
// the environment variable QUORVEL_CODEPAGE names another Windows code page (for
// example 1251). Wide strings are UTF-16 (std::u16string). All conversions and
// character classes go through here; nothing above this layer includes ICU.
//
// Thread-safety: every function may be called from any thread. The code page is
// chosen once, on first use.
#ifndef QUORVEL_PLATFORM_CODE_PAGE_H_
#define QUORVEL_PLATFORM_CODE_PAGE_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace quorvel::platform {

// The active ANSI code page number (1252 by default).
unsigned ActiveCodePage();

// For tests: switch the active code page (0 restores the environment's choice).
// Returns false and changes nothing when the code page is not supported.
bool SetCodePageForTesting(unsigned codePage);

// ANSI -> UTF-16. Every byte maps to one UTF-16 unit or surrogate pair.
std::u16string AnsiToWide(std::string_view ansi);

// UTF-16 -> ANSI. Characters the code page cannot hold become '?'.
std::string WideToAnsi(std::u16string_view wide);

// UTF-8 <-> ANSI, for file names, terminals and MIME text.
std::string Utf8ToAnsi(std::string_view utf8);
std::string AnsiToUtf8(std::string_view ansi);

// UTF-8 -> UTF-16 and back (ill-formed input is replaced with U+FFFD).
std::u16string Utf8ToWide(std::string_view utf8);
std::string WideToUtf8(std::u16string_view wide);

// Converts text in a named charset (a MIME/IANA name such as "koi8-r") to ANSI.
// Returns false when the charset is unknown; out is then left empty.
bool CharsetToAnsi(std::string_view charset, std::string_view bytes, std::string* out);

// Lower-cases one ANSI byte in the active code page (single-byte code pages only;
// bytes without a lower-case form are returned unchanged).
unsigned char LowerAnsi(unsigned char c);

// Lower-cases a narrow string in the code page.
std::string ToLowerAnsi(std::string_view s);

// Case-insensitive comparison of narrow keys: both sides folded to lower case in the
// code page, then compared as unsigned bytes. <0, 0 or >0 like strcmp.
int CompareNoCase(std::string_view a, std::string_view b);
bool EqualsNoCase(std::string_view a, std::string_view b);

// Ordering functor for maps and sets keyed case-insensitively.
struct LessNoCase {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const { return CompareNoCase(a, b) < 0; }
};

// Wide character classes (Unicode, through ICU). A surrogate unit is neither.
bool IsWideLetter(char16_t c);
bool IsWideDigit(char16_t c);
bool IsWideLetterOrDigit(char16_t c);
char16_t ToLowerWide(char16_t c);

}  // namespace quorvel::platform

#endif  // QUORVEL_PLATFORM_CODE_PAGE_H_
