// Text a user types for a list entry, a name or a dictionary word: UTF-8 from the
// dialog (or the command line) that the lists keep in the ANSI code page. Such text
// is refused with a message that says why when it holds control characters, is
// longer than the lists take, or has characters the code page cannot hold (which
// would otherwise be stored as "?" and never match again).
#ifndef QUORVEL_UI_ENTRY_TEXT_H_
#define QUORVEL_UI_ENTRY_TEXT_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace quorvel::ui {

// The longest entry text taken, in characters of the code page.
inline constexpr std::size_t kMaxEntryText = 1024;

// "" and the text in the ANSI code page in *ansi, or the refusal naming `what`
// ("The word contains control characters."). Never changes the text otherwise: no
// trimming. `ansi` may be null.
std::string CheckEntryText(std::string_view utf8, std::string_view what, std::string* ansi);

}  // namespace quorvel::ui

#endif  // QUORVEL_UI_ENTRY_TEXT_H_
