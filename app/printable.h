// Text from outside the program (file names, folder names, what a message or a
// settings file holds) made safe to print as part of one line on a terminal: a name
// that holds an escape sequence must not move the cursor, recolour the terminal or
// pass for a second line of output.
#ifndef QUORVEL_APP_PRINTABLE_H_
#define QUORVEL_APP_PRINTABLE_H_

#include <string>
#include <string_view>

namespace quorvel::app {

// Tab, line feed and carriage return become "\t", "\n" and "\r"; every other control
// character (bytes 0x00-0x1F and 0x7F, and U+0080-U+009F written in UTF-8) becomes
// "\xHH" for each of its bytes. Everything else, invalid UTF-8 included, is kept.
std::string Printable(std::string_view text);

// Printable, with a backslash written as "\\" too: for a field of line output that a
// program reads back, where the escapes must not be confused with the name's own
// backslashes.
std::string EscapedField(std::string_view text);

}  // namespace quorvel::app

#endif  // QUORVEL_APP_PRINTABLE_H_
