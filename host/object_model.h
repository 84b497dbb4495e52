// The mail client's object model as the add-in sees it: the namespace of the running
// profile with its default folders, folders and their subfolders and items, and mail
// items with the message behind them. Modelled on the automation objects `_NameSpace`,
// `MAPIFolder`, `_Folders` (FolderCollection), `_Items` (ItemCollection) and `_MailItem`.
//
// Implementations: StoreNameSpace (store_namespace.h) over any mail-store session,
// the Maildir profile's for users and mapi/memory's for tests (memory_host.h).
//
// Threading: like the automation objects, these are used on the host's
// user-interface thread; a worker thread that needs mail opens it through the
// mail-store session (NameSpace::MAPIOBJECT), which may be used from any thread.
// Failures are COM results: a folder that is gone is MAPI_E_NOT_FOUND.
#ifndef QUORVEL_HOST_OBJECT_MODEL_H_
#define QUORVEL_HOST_OBJECT_MODEL_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "mapi/folder.h"
#include "mapi/message.h"
#include "mapi/result.h"
#include "mapi/session.h"

namespace quorvel::host {

using mapi::HRESULT;
using mapi::Result;

// GetDefaultFolder's folder kinds (OlDefaultFolders).
enum OlDefaultFolders : int {
  olFolderDeletedItems = 3,
  olFolderOutbox = 4,
  olFolderSentMail = 5,
  olFolderInbox = 6,
  olFolderContacts = 10,
  olFolderDrafts = 16,
};

// A folder's DefaultItemType (OlItemType).
enum OlItemType : int { olMailItem = 0, olContactItem = 2 };

class MAPIFolder;

// One message of a folder.
class MailItem {
 public:
  virtual ~MailItem() = default;
  // Hexadecimal text of the message's entry id and of its store's.
  virtual std::string EntryID() const = 0;
  virtual std::string StoreID() const = 0;
  virtual std::string Subject() = 0;
  // The folder the item was found in.
  virtual std::shared_ptr<MAPIFolder> Parent() = 0;
  // The message behind the item, opened with best access (MAPI_E_NOT_FOUND when it
  // was moved or deleted meanwhile).
  virtual Result<std::shared_ptr<mapi::Message>> MAPIOBJECT() = 0;
};

// A folder's messages; Item counts from 1.
class ItemCollection {
 public:
  virtual ~ItemCollection() = default;
  virtual int Count() = 0;
  virtual Result<std::shared_ptr<MailItem>> Item(int index) = 0;
};

// A folder's direct subfolders; Item counts from 1 or finds by name (the names
// compare case-insensitively, as the mail client does).
class FolderCollection {
 public:
  virtual ~FolderCollection() = default;
  virtual int Count() = 0;
  virtual Result<std::shared_ptr<MAPIFolder>> Item(int index) = 0;
  virtual Result<std::shared_ptr<MAPIFolder>> Item(const std::string& name) = 0;
  // Creates a subfolder of the given item type; MAPI_E_COLLISION when the name exists.
  virtual Result<std::shared_ptr<MAPIFolder>> Add(const std::string& name,
                                                  int type = olMailItem) = 0;
};

class MAPIFolder {
 public:
  virtual ~MAPIFolder() = default;
  // Hexadecimal text of the folder's entry id and of its store's entry id.
  virtual std::string EntryID() const = 0;
  virtual std::string StoreID() const = 0;
  virtual std::string Name() const = 0;  // ANSI code page
  // The same name in any script, UTF-8 (the store's PR_UNICODE_DISPLAY_NAME where it
  // gives one), for what a user reads and types.
  virtual std::string NameUtf8() const = 0;
  // The parent folder; null for a top-level folder (the parent is the namespace).
  virtual std::shared_ptr<MAPIFolder> Parent() = 0;
  virtual std::shared_ptr<FolderCollection> Folders() = 0;
  virtual std::shared_ptr<ItemCollection> Items() = 0;
  virtual int DefaultItemType() = 0;
  // The folder behind this object, opened with best access.
  virtual Result<std::shared_ptr<mapi::Folder>> MAPIOBJECT() = 0;
};

// The running profile's view of its stores.
class NameSpace {
 public:
  virtual ~NameSpace() = default;
  // A default folder of the default store (OlDefaultFolders); MAPI_E_NOT_FOUND when
  // the store has none of that kind.
  virtual Result<std::shared_ptr<MAPIFolder>> GetDefaultFolder(int folderType) = 0;
  // The folder with that entry id (hexadecimal text); the store id may be empty.
  // MAPI_E_NOT_FOUND when it is gone, MAPI_E_INVALID_ENTRYID when the text is no id.
  virtual Result<std::shared_ptr<MAPIFolder>> GetFolderFromID(const std::string& entryId,
                                                              const std::string& storeId = "") = 0;
  // A message by entry id (hexadecimal text).
  virtual Result<std::shared_ptr<MailItem>> GetItemFromID(const std::string& entryId,
                                                          const std::string& storeId = "") = 0;
  // The top folder of each store of the profile.
  virtual std::vector<std::shared_ptr<MAPIFolder>> TopFolders() = 0;
  // The mail-store session; it may be used from any thread.
  virtual std::shared_ptr<mapi::Session> MAPIOBJECT() = 0;
  // The profile's name and its user's own addresses (lower case as given).
  virtual std::string CurrentProfileName() const = 0;
  virtual std::vector<std::string> Accounts() const = 0;
};

}  // namespace quorvel::host

#endif  // QUORVEL_HOST_OBJECT_MODEL_H_
