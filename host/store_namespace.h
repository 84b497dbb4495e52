// StoreNameSpace: the object model's namespace, folders and items over a mail-store
// session (mapi/session.h). Default folders come from the default store: the Inbox is
// its receive folder for "IPM.Note", Outbox, Sent Items and Deleted Items its
// PR_IPM_..._ENTRYID properties, Contacts and Drafts the Inbox's
// PR_IPM_CONTACT_ENTRYID and PR_IPM_DRAFTS_ENTRYID (Contacts, where the Inbox has
// none, from the address book root's PR_IPM_CONTACT_ENTRYID). A store's top folders are the
// children of its IPM subtree, or, where the subtree is the Inbox itself (a Maildir),
// that folder.
//
// Folder and item objects hold ids only and open the mail-store objects when asked,
// so an object whose folder was deleted answers MAPI_E_NOT_FOUND instead of failing
// later in a stranger way.
#ifndef QUORVEL_HOST_STORE_NAMESPACE_H_
#define QUORVEL_HOST_STORE_NAMESPACE_H_

#include <memory>
#include <string>
#include <vector>

#include "host/object_model.h"
#include "mapi/session.h"

namespace quorvel::host {

class StoreNameSpace final : public NameSpace, public std::enable_shared_from_this<StoreNameSpace> {
 public:
  static std::shared_ptr<StoreNameSpace> Create(std::shared_ptr<mapi::Session> session,
                                                std::string profileName,
                                                std::vector<std::string> accounts);

  Result<std::shared_ptr<MAPIFolder>> GetDefaultFolder(int folderType) override;
  Result<std::shared_ptr<MAPIFolder>> GetFolderFromID(const std::string& entryId,
                                                      const std::string& storeId) override;
  Result<std::shared_ptr<MailItem>> GetItemFromID(const std::string& entryId,
                                                  const std::string& storeId) override;
  std::vector<std::shared_ptr<MAPIFolder>> TopFolders() override;
  std::shared_ptr<mapi::Session> MAPIOBJECT() override { return session_; }
  std::string CurrentProfileName() const override { return profileName_; }
  std::vector<std::string> Accounts() const override { return accounts_; }

  // The folder object for a folder id known to exist (no check is made).
  std::shared_ptr<MAPIFolder> FolderFor(const mapi::EntryId& folderId,
                                        const mapi::EntryId& storeId);

 private:
  StoreNameSpace(std::shared_ptr<mapi::Session> session, std::string profileName,
                 std::vector<std::string> accounts);
  Result<std::shared_ptr<mapi::MsgStore>> DefaultStore(mapi::EntryId* storeId);

  std::shared_ptr<mapi::Session> session_;
  const std::string profileName_;
  const std::vector<std::string> accounts_;
};

}  // namespace quorvel::host

#endif  // QUORVEL_HOST_STORE_NAMESPACE_H_
