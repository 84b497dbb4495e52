// The properties a Maildir message keeps beside its file (the own-message mark and
// anything else written with SetProps and saved).
//
// Where: "<root>/quorvel-props/<unique>", one file per message of the whole mailbox,
// keyed by the unique part of the message's file name. Flag changes keep the unique
// part, so the file stays; a move gives the message a fresh unique part in its new
// folder, and the file is renamed to it first (and back when the message's own rename
// fails). The folder has no leading "." so that Maildir++ readers never take it for a
// mail folder. Copies get a new unique part and a copy of the file; deleting a message
// deletes its file.
//
// Format: text, first line "QVPROPS 1", then one property a line:
//   "<tag, 8 hex digits> <value>"
// where the value is decimal for PT_LONG, PT_I8 and PT_SYSTIME, 0/1 for PT_BOOLEAN and
// hexadecimal bytes for PT_STRING8, PT_BINARY and PT_UNICODE (as UTF-8). Lines that do
// not parse are skipped, so a damaged file loses only its damaged lines. Files are
// replaced atomically.
//
// Thread-safety: pure functions over files; concurrent writers of one message's file
// leave one of the two versions.
#ifndef QUORVEL_MAPI_MAILDIR_PROPS_FILE_H_
#define QUORVEL_MAPI_MAILDIR_PROPS_FILE_H_

#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "mapi/prop_value.h"
#include "platform/file_system.h"

namespace quorvel::mapi {

inline constexpr std::string_view kPropsFolder = "quorvel-props";

std::string SerializeProps(const std::vector<PropValue>& props);
std::vector<PropValue> ParseProps(std::string_view text);

// The properties kept for `unique` (none when there is no file or it cannot be read).
std::vector<PropValue> LoadMessageProps(platform::FileSystem& files, const std::string& root,
                                        std::string_view unique);
// Replaces the file (an empty list removes it). False when it cannot be written.
bool SaveMessageProps(platform::FileSystem& files, const std::string& root, std::string_view unique,
                      const std::vector<PropValue>& props);
bool CopyMessageProps(platform::FileSystem& files, const std::string& root, std::string_view from,
                      std::string_view to);
// Renames the file of `from` to `to` (never over an existing one). True when it was
// renamed or there was none.
bool MoveMessageProps(platform::FileSystem& files, const std::string& root, std::string_view from,
                      std::string_view to);
void RemoveMessageProps(platform::FileSystem& files, const std::string& root,
                        std::string_view unique);
// The unique parts that have a properties file (none when the folder is missing).
std::unordered_set<std::string> UniquesWithProps(platform::FileSystem& files,
                                                 const std::string& root);

}  // namespace quorvel::mapi

#endif  // QUORVEL_MAPI_MAILDIR_PROPS_FILE_H_
