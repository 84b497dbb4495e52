// Text from mail made safe for one line of a terminal or a log: control characters
// (C0, DEL and the C1 range) become "\xNN" (C1 as "\u00NN") and a backslash is
// doubled, so that a subject cannot end the line, move the cursor or pass for the
// start of an escape.
#ifndef QUORVEL_OUTLOOK_JOURNAL_TEXT_H_
#define QUORVEL_OUTLOOK_JOURNAL_TEXT_H_

#include <string>
#include <string_view>

namespace quorvel::outlook {

std::string EscapeControls(std::string_view text);

// The first line of a verdict's reason, without its line end.
std::string FirstLine(std::string_view text);

}  // namespace quorvel::outlook

#endif  // QUORVEL_OUTLOOK_JOURNAL_TEXT_H_
