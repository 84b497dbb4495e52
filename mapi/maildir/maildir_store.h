// A Maildir++ mailbox as one message store of the mail-store layer.
//
// The Inbox is the root folder; subfolders are the ".Name" directories ("." separates
// levels: ".Spam", ".Archive.2024"). Messages are the files of each folder's new/ and
// cur/, read through the MIME adapter (mapi/mime/mime_message.h). Names and ids are
// described in maildir_names.h, the properties kept beside each message in
// props_file.h.
//
// What the store does:
//   - contents and hierarchy tables, opened by entry id; ids are stable across flag
//     changes, moves of other messages and restarts;
//   - CopyMessages with MESSAGE_MOVE renames the file into the other folder (atomic;
//     never onto an existing file); a failed move leaves the message where it was;
//     plain copies write a new file under a new unique name through tmp/;
//   - DeleteMessages, CreateFolder (built in tmp/ and renamed into place),
//     DeleteFolder;
//   - the read flag is the "S" info flag (a message in new/ moves to cur/ when read);
//     "D" (draft) reads as MSGFLAG_UNSENT;
//   - SetProps + SaveChanges on a message persist beside it (the own-message mark);
//   - Advise: new mail arriving in new/ of any folder (seen with inotify) is reported as
//     fnevObjectCreated and fnevNewMail; the store's own moves, copies, deletes, flag
//     changes and new folders as fnevObjectMoved, fnevObjectCopied, fnevObjectDeleted,
//     fnevObjectModified and fnevObjectCreated. Sinks are called on the store's own
//     thread.
// Not offered: CreateMessage (new mail comes from delivery, not from this store),
// receive folders other than the Inbox, named properties.
//
// A message file that vanishes under the store (another client moved or deleted it)
// is skipped in tables and reads as MAPI_E_NOT_FOUND.
//
// Thread-safety: the store may be used from many threads through separately opened
// objects; each opened object belongs to one thread at a time.
#ifndef QUORVEL_MAPI_MAILDIR_MAILDIR_STORE_H_
#define QUORVEL_MAPI_MAILDIR_MAILDIR_STORE_H_

#include <functional>
#include <memory>
#include <string>

#include "mapi/store.h"
#include "platform/clock.h"
#include "platform/file_system.h"

namespace quorvel::mapi {

struct MaildirOptions {
  std::string accountAddress;              // PR_RECEIVED_BY_EMAIL_ADDRESS of every message
  std::string displayName;                 // the store's PR_DISPLAY_NAME; default: the root's name
  bool watch = true;                       // watch the folders with inotify for new mail
  const platform::Clock* clock = nullptr;  // for new unique names; default: system clock
  // Where the folders and files are; default: the machine's own. With another one
  // (tests' in-memory files) the root is taken as written and `watch` must be false.
  platform::FileSystem* files = nullptr;
  // Mail reaches a Maildir whether or not anyone watches it, as it reaches a server
  // mailbox; so the store presents itself as a server mailbox that keeps a local copy
  // (the primary mailbox's PR_MDB_PROVIDER, PR_STORE_LOCAL_COPY true). The add-in then
  // scans the Inbox's unread mail at start and hears of created and moved messages.
  // False: a personal store of its own kind.
  bool serverStore = true;
  // Where the store says what it could not do as asked (a keyword it had to leave off
  // in a move, ...); called on the thread that made the call. Empty: nowhere.
  std::function<void(const std::string&)> log = {};
};

// Opens the Maildir at `root` (MAPI_E_NOT_FOUND when it is not a directory). Missing
// cur/, new/ and tmp/ of the root are created. The store's PR_IPM_OUTBOX_ENTRYID and
// PR_IPM_SENTMAIL_ENTRYID name ".Outbox" and ".Sent" (or ".Sent Items", ".Sent
// Messages"); the Inbox's PR_IPM_CONTACT_ENTRYID and PR_IPM_DRAFTS_ENTRYID name
// ".Contacts" (a contact folder, "IPF.Contact") and ".Drafts", and its
// PR_JUNK_FOLDER_ENTRYID ".Junk" (or ".Junk E-mail"), where they exist; the store never
// makes one of them by itself. A folder the store makes is added to the Maildir's
// "subscriptions" file (subscriptions.h).
Result<std::shared_ptr<MsgStore>> OpenMaildirStore(const std::string& root,
                                                   const MaildirOptions& options = {});

// The entry id of the message file at `path` inside `store` (a Maildir store), or an
// absent id when the path is not a message of that store.
EntryId MaildirMessageIdFromPath(MsgStore& store, const std::string& path);

// What a path on disk names in a Maildir store. A message file is found by its folder
// and unique part, so a name printed before its flags changed or before it moved from
// new/ to cur/ still names it; the message itself is not looked at (it may be gone).
struct MaildirPathName {
  enum Kind {
    kOutside,  // not under the store's root (or `store` is no Maildir store)
    kFolder,   // the directory of a folder: the root, or "<root>/.A.B"
    kMessage,  // "<folder>/cur/<name>" or "<folder>/new/<name>" of an existing folder
    kOther,    // under the root, but neither (tmp/, a properties file, no such folder)
  } kind = kOutside;
  EntryId id{};  // the folder's or the message's
};
// `path` must be absolute; symbolic links in it are followed as far as it exists.
MaildirPathName NameMaildirPath(MsgStore& store, const std::string& path);

// The current file of a message of a Maildir store; "" when it is gone or not one.
std::string MaildirMessagePath(MsgStore& store, const EntryId& message);

}  // namespace quorvel::mapi

#endif  // QUORVEL_MAPI_MAILDIR_MAILDIR_STORE_H_
