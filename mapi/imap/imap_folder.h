// Internal to mapi/imap: one mailbox as a mail-store folder. Properties: PR_ENTRYID,
// PR_PARENT_ENTRYID (the Inbox is its own parent), PR_STORE_ENTRYID, PR_DISPLAY_NAME
// ("Inbox" for INBOX, else the last level of the name, in ANSI), PR_OBJECT_TYPE,
// PR_FOLDER_TYPE, PR_CONTAINER_CLASS ("IPF.Note"), PR_CONTENT_COUNT, PR_CONTENT_UNREAD,
// PR_SUBFOLDERS and PR_UID_VALIDITY, asked of the server on each call. Its messages
// carry their UID as PR_INTERNET_ARTICLE_NUMBER. Not writable.
#ifndef QUORVEL_MAPI_IMAP_IMAP_FOLDER_H_
#define QUORVEL_MAPI_IMAP_IMAP_FOLDER_H_

#include <memory>
#include <string>

#include "mapi/folder.h"
#include "mapi/imap/imap_core.h"

namespace quorvel::mapi::imap {

class ImapFolder final : public Folder {
 public:
  ImapFolder(std::shared_ptr<ImapCore> core, std::string mailbox)
      : core_(std::move(core)), mailbox_(std::move(mailbox)) {}

  std::uint32_t ObjectType() const override { return MAPI_FOLDER; }
  Result<std::vector<PropValue>> GetProps(std::span<const PropTag> tags,
                                          std::uint32_t flags) override;
  Result<std::vector<PropTag>> GetPropList(std::uint32_t flags) override;
  HRESULT SetProps(std::span<const PropValue>) override { return MAPI_E_NO_ACCESS; }
  HRESULT DeleteProps(std::span<const PropTag>) override { return MAPI_E_NO_ACCESS; }
  HRESULT SaveChanges(std::uint32_t) override { return S_OK; }
  Result<std::shared_ptr<Stream>> OpenProperty(PropTag tag, std::uint32_t flags) override;
  Result<std::vector<PropTag>> GetIDsFromNames(std::span<const PropName>, std::uint32_t) override {
    return MAPI_E_NO_SUPPORT;
  }

  Result<std::shared_ptr<Table>> GetContentsTable(std::uint32_t flags) override;
  Result<std::shared_ptr<Table>> GetHierarchyTable(std::uint32_t flags) override;
  Result<std::shared_ptr<Message>> CreateMessage(std::uint32_t) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT CopyMessages(std::span<const EntryId> messages, Folder& destination,
                       std::uint32_t flags) override;
  HRESULT DeleteMessages(std::span<const EntryId> messages, std::uint32_t flags) override;
  Result<std::shared_ptr<Folder>> CreateFolder(std::uint32_t folderType, const std::string& name,
                                               const std::string& comment,
                                               std::uint32_t flags) override;
  HRESULT DeleteFolder(const EntryId& subfolder, std::uint32_t flags) override;

 private:
  Result<std::vector<PropValue>> AllProps(bool withCounts) const;
  // The message's UIDVALIDITY and UID when `id` names a message of this folder.
  std::optional<DecodedId> MessageOf(const EntryId& id) const;

  std::shared_ptr<ImapCore> core_;
  std::string mailbox_;
};

}  // namespace quorvel::mapi::imap

#endif  // QUORVEL_MAPI_IMAP_IMAP_FOLDER_H_
