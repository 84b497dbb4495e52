// Reading vCard files (versions 2.1, 3.0 and 4.0), as contact managers and
// synchronisers keep them: one file may hold many cards. What is read of a card is
// what the address book needs: the display name (FN; else the N components given
// and family name) and every EMAIL, in file order.
//
// Tolerated: CRLF or LF line ends; folded lines (a line starting with a blank or a
// tab continues the previous one); quoted-printable values with soft line breaks;
// CHARSET parameters (text is converted to the ANSI code page, as every string of the
// mail-store layer is; without a charset, or with one that is unknown or that
// declares UTF-8 for bytes that are not, text is read as UTF-8 when it is valid UTF-8,
// else as Windows-1252); BASE64 values (PHOTO,
// KEY...) are skipped unread; lines without a colon are joined to the line before
// (broken folding); a card without END ends at the next BEGIN or at the end of the
// file. Nothing in the input makes reading fail: what cannot be read is left out.
//
// Limits: at most kMaxEmailsPerCard addresses of one card are kept (the rest are
// counted in `emailsDropped`); an address longer than kMaxEmailLength is dropped.
//
// Thread-safety: pure functions.
#ifndef QUORVEL_MAPI_VCARD_VCARD_READER_H_
#define QUORVEL_MAPI_VCARD_VCARD_READER_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::mapi::vcard {

inline constexpr std::size_t kMaxEmailsPerCard = 1000;
inline constexpr std::size_t kMaxEmailLength = 320;

struct VCard {
  std::string version;              // "2.1", "3.0", "4.0", or "" when the card names none
  std::string displayName;          // ANSI code page; may be empty
  std::vector<std::string> emails;  // ANSI, trimmed, in file order, duplicates kept
  std::size_t emailsDropped = 0;
};

// Every card of `bytes`, in order. Cards without any EMAIL are kept too.
std::vector<VCard> ReadVCards(std::string_view bytes);

// One content line after unfolding: "group.NAME;PARAM=x;PARAM2:value". Exposed for
// tests. Names and parameter names are upper-cased; parameter values keep their case.
struct ContentLine {
  std::string name;
  std::vector<std::pair<std::string, std::string>> params;  // bare 2.1 params: {"", "X"}
  std::string value;                                        // raw, still encoded
};
bool ParseContentLine(std::string_view line, ContentLine* out);

// Decodes quoted-printable text ("=41", soft breaks "=\r\n"); a malformed escape is
// kept as it stands.
std::string DecodeQuotedPrintable(std::string_view text);

// The text value of a property: backslash escapes (\n \, \; \\) undone.
std::string UnescapeText(std::string_view text);

}  // namespace quorvel::mapi::vcard

#endif  // QUORVEL_MAPI_VCARD_VCARD_READER_H_
