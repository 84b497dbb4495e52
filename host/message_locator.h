// MessageLocator: finds a message or a folder of the profile by the name a user gives
// it, in the forms other mail tools print:
//
//   a message file of a Maildir    /home/me/Mail/.Spam/cur/1733.M1P2.host:2,S
//                                  (or relative to the working folder). A message is
//                                  found by its folder and unique part, so the name
//                                  still works after its flags changed or it moved
//                                  from new/ to cur/.
//   FOLDER/UID                     Inbox/4711: the message with IMAP UID 4711 in the
//   FOLDER/UIDVALIDITY.UID         folder (folder_path.h); with the UIDVALIDITY the
//                                  listings print, a folder whose UIDVALIDITY has
//                                  changed since is refused instead of naming other mail.
//   a Message-ID                   <x@y>, x@y or id:x@y (as notmuch prints it), in the
//   FOLDER/<Message-ID>            whole profile or in one folder.
//   an entry id                    hexadecimal, as the listings and the add-in print it.
//
// A name that exists as a file relative to the working folder is a file; a name with
// "@" in it is a Message-ID unless a folder path stands before it. A Message-ID that
// more than one message carries is ambiguous (the outcome names their folders):
// nothing is chosen for the user, who can name the folder or the file instead.
// A file or folder on disk that is not inside one of the profile's Maildirs is
// refused: commands act only on the profile's own mail.
//
// Cost: a Message-ID is found by reading the Message-ID column of the folders'
// contents tables, that is every folder of the profile unless a folder is named. A
// Maildir store parses each message once for those rows and keeps them while the file
// is unchanged, so the first search of a profile reads every file and later ones only
// look at the files' sizes and times.
//
// Threading: uses only the namespace's folder and item objects, which hold ids and
// open the mail-store session on each call; a locator may be used on any one thread
// that may use the session. The working folder is a value, never the process's.
#ifndef QUORVEL_HOST_MESSAGE_LOCATOR_H_
#define QUORVEL_HOST_MESSAGE_LOCATOR_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "host/object_model.h"
#include "host/outcome.h"
#include "mapi/store.h"

namespace quorvel::host {

struct LocatedMessage {
  std::shared_ptr<MAPIFolder> folder;  // the folder the message is in
  std::shared_ptr<MailItem> item;
};

class MessageLocator {
 public:
  // `workingFolder` is absolute; relative file names are taken from it.
  MessageLocator(std::shared_ptr<NameSpace> nameSpace, std::string workingFolder);

  // Ok with the message; not-found, refused (outside the profile, a stale
  // UIDVALIDITY, a folder without UIDs) or ambiguous, each with a sentence naming it.
  Outcome FindMessage(std::string_view name, LocatedMessage* found);
  // A folder by its path (folder_path.h) or by its directory on disk (a Maildir's
  // root is its Inbox); "" is the Inbox.
  Outcome FindFolder(std::string_view name, std::shared_ptr<MAPIFolder>* found);

 private:
  std::string Absolute(std::string_view name) const;
  // Which Maildir store, if any, holds this absolute path, and what it is there.
  Outcome NameOnDisk(const std::string& path, int wantKind, std::string* entryIdHex);
  Outcome FindByFile(const std::string& path, LocatedMessage* found);
  Outcome FindByUid(MAPIFolder& folder, std::string_view uidText, LocatedMessage* found);
  Outcome FindByMessageId(MAPIFolder* folder, std::string_view messageId, LocatedMessage* found);
  // The message with that id; not-found with `whenGone` when it cannot be opened.
  Outcome Located(const std::string& entryIdHex, const std::string& whenGone,
                  LocatedMessage* found);

  std::shared_ptr<NameSpace> nameSpace_;
  std::string workingFolder_;
};

// The name FindMessage takes for each message of one folder: its file for a Maildir
// message, FOLDER/UIDVALIDITY.UID where the store has UIDs, else its entry id. Same
// threading as the locator.
class MessageNamer {
 public:
  MessageNamer(NameSpace& nameSpace, MAPIFolder& folder, std::string folderPath);
  // `uid` is the row's PR_INTERNET_ARTICLE_NUMBER, when it has one.
  std::string NameOf(const mapi::EntryId& id, std::optional<std::uint32_t> uid) const;

 private:
  std::shared_ptr<mapi::MsgStore> store_;
  std::optional<std::uint32_t> uidValidity_;
  std::string folderPath_;
};

// The Message-ID of a name as users write it: without "id:", quotes and angle
// brackets; "" when the name is none.
std::string BareMessageId(std::string_view name);

}  // namespace quorvel::host

#endif  // QUORVEL_HOST_MESSAGE_LOCATOR_H_
