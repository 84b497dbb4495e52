// Tests on attachment file names: reports of anti-virus software and executable
// programs. Names are narrow text in the ANSI code page; letters are compared without
// regard to case (ASCII letters folded). Thread-safe, no allocation.
#ifndef QUORVEL_CORE_ATTACHMENT_NAMES_H_
#define QUORVEL_CORE_ATTACHMENT_NAMES_H_

#include <string_view>

namespace quorvel {

// The report file that anti-virus software attaches in place of what it removed.
bool IsAvReportName(std::string_view fileName);

// A name whose extension (the text after its last ".") contains an executable
// extension such as "exe" or "com" (so "notes.combined" counts too).
bool IsExecutableName(std::string_view fileName);

// The extension (after the last ".") contains "htm", case-sensitively.
bool HasHtmlExtension(std::string_view fileName);

// The delivery details file ("details.txt", any case) of a delivery report.
bool IsDeliveryDetailsName(std::string_view fileName);

}  // namespace quorvel

#endif  // QUORVEL_CORE_ATTACHMENT_NAMES_H_
