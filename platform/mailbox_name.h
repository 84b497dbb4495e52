// Mailbox names in modified UTF-7, the form IMAP servers give them in and Maildir++
// folder directories are named in (".Entw&APw-rfe" is "Entwürfe"): printable ASCII
// stands for itself, "&-" for "&", and "&...-" holds UTF-16 in base64 with "," for "/".
// Conversions go through ICU's converter for this form.
//
// Thread-safety: every function may be called from any thread.
#ifndef QUORVEL_PLATFORM_MAILBOX_NAME_H_
#define QUORVEL_PLATFORM_MAILBOX_NAME_H_

#include <optional>
#include <string>
#include <string_view>

namespace quorvel::platform {

// The UTF-8 text of a modified UTF-7 name; nothing when the name is not one (raw
// 8-bit bytes, an "&" without its "-", a character outside the base64 alphabet, left
// over bits that are not zero, an encoded printable character, an unpaired surrogate).
std::optional<std::string> ModifiedUtf7ToUtf8(std::string_view name);

// The modified UTF-7 form of UTF-8 text; nothing when the text is not valid UTF-8.
std::optional<std::string> Utf8ToModifiedUtf7(std::string_view utf8);

// How a folder directory's name reads: its modified UTF-7 decoded when it is that,
// else the bytes as they are when they are UTF-8 (a folder made by a tool that names
// directories in UTF-8), else the name with its undecodable bytes replaced by U+FFFD.
std::string FolderNameToUtf8(std::string_view name);

// Whether two UTF-8 texts are equal ignoring case, by Unicode case folding
// ("ПОЖАЛУЙСТА" and "пожалуйста" are).
bool EqualsNoCaseUtf8(std::string_view a, std::string_view b);

}  // namespace quorvel::platform

#endif  // QUORVEL_PLATFORM_MAILBOX_NAME_H_
