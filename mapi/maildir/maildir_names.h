// Names in a Maildir++ mailbox and the entry identifiers made from them.
//
// Folders: the Inbox is the root directory; a subfolder is a directory "<root>/.A",
// its child "<root>/.A.B" ("." separates levels, so a folder name holds no "." or "/").
// A folder is named here by its path "A.B" ("" for the Inbox), its directory's bytes.
// Directories made by Dovecot or Courier are named in modified UTF-7 (".Entw&APw-rfe"),
// those the store makes in UTF-8; the folder's properties give the decoded name.
//
// Messages: "<folder>/new/<unique>" or "<folder>/cur/<unique>:2,<flags>". The unique part
// never changes while the message lives, so it is the message's identity: a flag change
// renames the file but keeps the unique part, and a move keeps the whole file name.
//
// Entry identifiers (byte strings): "QVMD", a kind byte ('S' store, 'F' folder,
// 'M' message), the 8-byte store key (a hash of the root's real path, so ids survive
// restarts), then for a folder its path and for a message a 2-byte big-endian length,
// the folder path and the unique part.
//
// Pure functions, thread-safe.
#ifndef QUORVEL_MAPI_MAILDIR_MAILDIR_NAMES_H_
#define QUORVEL_MAPI_MAILDIR_MAILDIR_NAMES_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "mapi/entry_id.h"
#include "platform/clock.h"

namespace quorvel::mapi {

using StoreKey = std::uint64_t;

// The store key of a root path (FNV-1a of the path's bytes).
StoreKey MakeStoreKey(std::string_view realRoot);

EntryId MaildirStoreId(StoreKey key);
EntryId MaildirFolderId(StoreKey key, std::string_view folderPath);
EntryId MaildirMessageId(StoreKey key, std::string_view folderPath, std::string_view unique);

struct DecodedMaildirId {
  char kind = 0;  // 'S', 'F' or 'M'
  StoreKey key = 0;
  std::string folderPath;
  std::string unique;  // messages only
};
// Nothing when the bytes are not an id of this format.
std::optional<DecodedMaildirId> DecodeMaildirId(std::string_view bytes);

// A message file name split into its parts. Names starting with "." are not messages.
struct MessageFileName {
  std::string unique;
  std::string flags;  // the letters after ":2,", sorted; empty without info
  bool hasInfo = false;
};
std::optional<MessageFileName> ParseMessageFileName(std::string_view name);

// What the info flags say of PR_MESSAGE_FLAGS: "S" (seen) is MSGFLAG_READ, "D" (draft)
// MSGFLAG_UNSENT. The store is the only source of these two bits.
std::uint32_t MessageFlagsOf(const MessageFileName& name);

// "<unique>:2,<flags>" with the flags sorted and unique (the cur/ form).
std::string CurFileName(std::string_view unique, std::string_view flags);
// `flags` with `flag` added or removed, sorted.
std::string WithFlag(std::string_view flags, char flag, bool on);

// Whether `name` may be a folder name (non-empty, no "." "/" or NUL, not too long).
bool IsValidFolderName(std::string_view name);
// The directory of a folder path under `root` ("" -> root itself).
std::string FolderDirectory(const std::string& root, std::string_view folderPath);
// The parent path of a folder path ("A.B" -> "A", "A" -> "", "" -> "").
std::string ParentFolderPath(std::string_view folderPath);
// The last level of a folder path ("A.B" -> "B").
std::string_view FolderLeafName(std::string_view folderPath);

// A new unique part: "<seconds>.M<micros>P<pid>Q<counter>.<host>" as deliveries make.
std::string NewUniqueName(const platform::Clock& clock);

}  // namespace quorvel::mapi

#endif  // QUORVEL_MAPI_MAILDIR_MAILDIR_NAMES_H_
