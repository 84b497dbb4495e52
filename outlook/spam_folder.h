// The spam folder: turning the stored reference (entry id and friendly path) into a
// folder of the profile, writing it back, and the two checks the core makes.
//
// The friendly path names the folder and its parents from the store's top-level
// folder down, joined with " -> " ("Personal Folders -> Inbox -> Spam"); the top-level
// folder goes by its store's name. Names are looked up case-insensitively.
//
// Resolution works on the session (it runs on the user-interface thread); the
// reference is read and written under the settings lock, never held during lookups.
#ifndef QUORVEL_OUTLOOK_SPAM_FOLDER_H_
#define QUORVEL_OUTLOOK_SPAM_FOLDER_H_

#include <memory>
#include <string>

#include "mapi/folder.h"
#include "mapi/session.h"
#include "settings/settings_holder.h"

namespace quorvel::outlook {

inline constexpr std::string_view kPathSeparator = " -> ";

enum class SpamFolderResult {
  kFound = 0,     // the referenced folder
  kFallback = 1,  // the store's junk folder, else the Inbox's "Spam" subfolder (found or made)
  kNone = 2,      // no folder at all
  kToBeMade = 3,  // none yet; it is made where the reference says when it is first needed
};

struct ResolvedSpamFolder {
  std::shared_ptr<mapi::Folder> folder;
  mapi::EntryId id;
  SpamFolderResult result = SpamFolderResult::kNone;
};

// Tries, in order: walking the friendly path; the entry id; walking the path again,
// making what is missing; the default store's own junk folder (the Inbox's
// PR_JUNK_FOLDER_ENTRYID); the Inbox's "Spam" subfolder (made when missing). On
// kFound or kFallback `ref` is rewritten from the folder; on kNone it is left alone.
// Without `make` nothing is made: a folder that would be is kToBeMade, with `ref`
// naming its path (the Inbox's "Spam" when the reference named none) and no entry id.
ResolvedSpamFolder ResolveSpamFolder(mapi::Session& session, SpamFolderRef& ref, bool make = true);

// Resolves the stored reference and stores the rewritten one back (unless kNone).
SpamFolderResult CheckSpamFolder(mapi::Session& session, SettingsHolder& settings,
                                 bool make = true);

// The entry id the settings hold for the spam folder; absent when none is stored or
// it is no hexadecimal id.
mapi::EntryId StoredSpamFolderId(SettingsHolder& settings);

// Whether the stored spam folder id is exactly the Inbox's.
bool SpamFolderIsInbox(mapi::Session& session, SettingsHolder& settings);

// The Inbox of the default store (absent when there is none).
mapi::EntryId DefaultInboxId(mapi::Session& session);
// The friendly path of a folder, its names in any script (UTF-8); empty when it cannot
// be built. The stored reference keeps this form, and is walked by it.
std::string FriendlyPathUtf8(mapi::Session& session, const mapi::EntryId& folderId);
// The same in the ANSI code page, for the add-in's own texts.
std::string FriendlyPath(mapi::Session& session, const mapi::EntryId& folderId);

}  // namespace quorvel::outlook

#endif  // QUORVEL_OUTLOOK_SPAM_FOLDER_H_
