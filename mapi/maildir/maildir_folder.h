// Internal to mapi/maildir: one folder of a Maildir store as a mail-store folder.
// Properties: PR_ENTRYID, PR_PARENT_ENTRYID (the Inbox is its own parent),
// PR_STORE_ENTRYID, PR_DISPLAY_NAME ("Inbox" for the root, else the last level of the
// path decoded (platform::FolderNameToUtf8), in ANSI), PR_UNICODE_DISPLAY_NAME (the
// same in any script), PR_OBJECT_TYPE, PR_FOLDER_TYPE, PR_CONTAINER_CLASS ("IPF.Note"),
// PR_CONTENT_COUNT, PR_CONTENT_UNREAD and PR_SUBFOLDERS, read from disk on each call.
// Folder properties are not writable.
#ifndef QUORVEL_MAPI_MAILDIR_MAILDIR_FOLDER_H_
#define QUORVEL_MAPI_MAILDIR_MAILDIR_FOLDER_H_

#include <functional>
#include <memory>
#include <string>

#include "mapi/folder.h"
#include "mapi/maildir/maildir_core.h"
#include "mapi/pick_props.h"

namespace quorvel::mapi {

class MaildirFolder final : public Folder {
 public:
  MaildirFolder(std::shared_ptr<MaildirCore> core, std::string path)
      : core_(std::move(core)), path_(std::move(path)) {}

  const std::string& path() const { return path_; }
  const MaildirCore* core() const { return core_.get(); }

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
  // Every property; PR_CONTENT_COUNT and PR_CONTENT_UNREAD are 0 unless `withCounts`.
  std::vector<PropValue> AllProps(bool withCounts) const;
  // The unique part of a message id of this folder, or nothing.
  std::optional<std::string> UniqueOf(const EntryId& id) const;
  // ForEachMessage with each id's unique part (MAPI_E_NOT_FOUND for an id of another
  // folder); the files are looked up a batch at a time (MaildirCore::LocateMany).
  HRESULT ForEachOwnMessage(std::span<const EntryId> messages,
                            const std::function<HRESULT(const std::string& unique)>& act);

  std::shared_ptr<MaildirCore> core_;
  std::string path_;
};

}  // namespace quorvel::mapi

#endif  // QUORVEL_MAPI_MAILDIR_MAILDIR_FOLDER_H_
