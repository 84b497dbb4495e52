// How the listing commands print: fields of one line escaped so that every record
// stays one line of tab-separated fields, and the times of the stores as text.
#ifndef QUORVEL_APP_LISTING_TEXT_H_
#define QUORVEL_APP_LISTING_TEXT_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace quorvel::app {

// A backslash becomes "\\", a tab, line feed or carriage return "\t", "\n" or "\r",
// any other control character (below 0x20, and 0x7F) "\xHH".
std::string EscapeField(std::string_view text);

// A file time (100 ns units since 1601) as local "YYYY-MM-DD HH:MM", or as UTC
// "YYYY-MM-DDTHH:MM:SSZ" for JSON; "" for 0 or a time out of range.
std::string LocalTimeText(std::uint64_t fileTime);
std::string UtcTimeText(std::uint64_t fileTime);

}  // namespace quorvel::app

#endif  // QUORVEL_APP_LISTING_TEXT_H_
