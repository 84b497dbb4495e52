#include "mapi/maildir/maildir_folder.h"

#include <algorithm>
#include <unordered_set>

#include "mapi/maildir/maildir_contents.h"
#include "mapi/maildir/maildir_listing.h"
#include "mapi/maildir/props_file.h"
#include "mapi/message_batch.h"
#include "mapi/property_stream.h"
#include "mapi/row_table.h"
#include "platform/code_page.h"
#include "platform/mailbox_name.h"

namespace quorvel::mapi {
namespace {

// The folder's name as it reads, UTF-8: its directory's name is modified UTF-7 when
// Dovecot or Courier made it, UTF-8 when the store or another tool did.
std::string DisplayNameUtf8(const std::string& path) {
  return path.empty() ? std::string("Inbox") : platform::FolderNameToUtf8(FolderLeafName(path));
}

bool AsksForCounts(std::span<const PropTag> tags) {
  return tags.empty() || std::any_of(tags.begin(), tags.end(), [](PropTag tag) {
           return PROP_ID(tag) == PROP_ID(PR_CONTENT_COUNT) ||
                  PROP_ID(tag) == PROP_ID(PR_CONTENT_UNREAD);
         });
}

}  // namespace

std::vector<PropValue> MaildirFolder::AllProps(bool withCounts) const {
  // The counts come from the file names alone, and only when asked for: the tray
  // popup asks for the spam folder's count with every spam moved into it.
  std::int32_t count = 0;
  std::int32_t unread = 0;
  if (withCounts) {
    VisitMaildirFiles(core_->files(), FolderDirectory(core_->root(), path_),
                      [&](const char*, std::string_view fileName, std::string_view) {
                        auto name = ParseMessageFileName(fileName);
                        if (!name) return;
                        ++count;
                        if (name->flags.find('S') == std::string::npos) ++unread;
                      });
  }
  bool hasSubfolders = !core_->Subfolders(path_).empty();

  std::vector<PropValue> props = {
      PropValue::Id(PR_ENTRYID, core_->FolderId(path_)),
      PropValue::Id(PR_RECORD_KEY, core_->FolderId(path_)),
      PropValue::Id(PR_PARENT_ENTRYID, core_->FolderId(ParentFolderPath(path_))),
      PropValue::Id(PR_STORE_ENTRYID, core_->StoreId()),
      PropValue::String8(PR_DISPLAY_NAME, platform::Utf8ToAnsi(DisplayNameUtf8(path_))),
      PropValue::Unicode(PR_UNICODE_DISPLAY_NAME, platform::Utf8ToWide(DisplayNameUtf8(path_))),
      PropValue::ULong(PR_OBJECT_TYPE, MAPI_FOLDER),
      PropValue::ULong(PR_FOLDER_TYPE, FOLDER_GENERIC),
      PropValue::String8(PR_CONTAINER_CLASS, path_ == "Contacts" ? "IPF.Contact" : "IPF.Note"),
      PropValue::Long(PR_CONTENT_COUNT, count),
      PropValue::Long(PR_CONTENT_UNREAD, unread),
      PropValue::Boolean(PR_SUBFOLDERS, hasSubfolders)};
  if (path_.empty()) {
    // The Inbox names the profile's contact and draft folders, as the mail client's does.
    if (core_->FolderExists("Contacts")) {
      props.push_back(PropValue::Id(PR_IPM_CONTACT_ENTRYID, core_->FolderId("Contacts")));
    }
    if (core_->FolderExists("Drafts")) {
      props.push_back(PropValue::Id(PR_IPM_DRAFTS_ENTRYID, core_->FolderId("Drafts")));
    }
    // Only a real mail folder: a directory named like it without new/ and cur/ is not.
    for (const char* junk : {"Junk", "Junk E-mail"}) {
      if (core_->IsMailFolder(junk)) {
        props.push_back(PropValue::Id(PR_JUNK_FOLDER_ENTRYID, core_->FolderId(junk)));
        break;
      }
    }
  }
  return props;
}

Result<std::vector<PropValue>> MaildirFolder::GetProps(std::span<const PropTag> tags,
                                                       std::uint32_t) {
  if (!core_->FolderExists(path_)) return MAPI_E_OBJECT_DELETED;
  return PickProps(AllProps(AsksForCounts(tags)), tags);
}

Result<std::vector<PropTag>> MaildirFolder::GetPropList(std::uint32_t) {
  std::vector<PropTag> tags;
  for (const PropValue& v : AllProps(false)) tags.push_back(v.tag);
  return Ok(std::move(tags));
}

Result<std::shared_ptr<Stream>> MaildirFolder::OpenProperty(PropTag tag, std::uint32_t flags) {
  return OpenPropertyStream(*this, tag, flags);
}

Result<std::shared_ptr<Table>> MaildirFolder::GetContentsTable(std::uint32_t) {
  if (!core_->FolderExists(path_)) return MAPI_E_OBJECT_DELETED;
  // Message files are read only for rows that ask for more than ids (maildir_contents.h).
  return Ok(std::shared_ptr<Table>(std::make_shared<MaildirContentsTable>(core_, path_)));
}

Result<std::shared_ptr<Table>> MaildirFolder::GetHierarchyTable(std::uint32_t) {
  if (!core_->FolderExists(path_)) return MAPI_E_OBJECT_DELETED;
  std::vector<std::vector<PropValue>> rows;
  for (const std::string& child : core_->Subfolders(path_)) {
    MaildirFolder folder(core_, child);
    std::vector<PropValue> row = folder.AllProps(true);
    row.push_back(PropValue::Long(PR_DEPTH, 1));
    rows.push_back(std::move(row));
  }
  std::vector<PropTag> columns = {PR_ENTRYID, PR_DISPLAY_NAME, PR_SUBFOLDERS, PR_DEPTH};
  return Ok(std::shared_ptr<Table>(std::make_shared<RowTable>(std::move(rows), columns)));
}

std::optional<std::string> MaildirFolder::UniqueOf(const EntryId& id) const {
  auto decoded = DecodeMaildirId(id.bytes());
  if (!decoded || decoded->kind != 'M' || decoded->key != core_->key() ||
      decoded->folderPath != path_) {
    return std::nullopt;
  }
  return decoded->unique;
}

HRESULT MaildirFolder::ForEachOwnMessage(std::span<const EntryId> messages,
                                         const std::function<HRESULT(const std::string&)>& act) {
  // Within the index's reach: what one batch looks up is still known when it is used.
  constexpr std::size_t kLocateBatch = 1024;
  std::size_t next = 0;
  return ForEachMessage(messages, [&](const EntryId& id) {
    if (next % kLocateBatch == 0) {
      std::vector<std::string> uniques;
      for (const EntryId& ahead :
           messages.subspan(next, std::min(kLocateBatch, messages.size() - next))) {
        if (auto unique = UniqueOf(ahead)) uniques.push_back(std::move(*unique));
      }
      core_->LocateMany(path_, uniques);
    }
    ++next;
    auto unique = UniqueOf(id);
    return unique ? act(*unique) : MAPI_E_NOT_FOUND;
  });
}

HRESULT MaildirFolder::CopyMessages(std::span<const EntryId> messages, Folder& destination,
                                    std::uint32_t flags) {
  auto* target = dynamic_cast<MaildirFolder*>(&destination);
  if (target == nullptr || target->core_ != core_) return MAPI_E_NO_SUPPORT;
  return ForEachOwnMessage(messages, [&](const std::string& unique) {
    return core_->MoveOrCopy(path_, unique, target->path_, (flags & MESSAGE_MOVE) != 0);
  });
}

HRESULT MaildirFolder::DeleteMessages(std::span<const EntryId> messages, std::uint32_t) {
  return ForEachOwnMessage(messages,
                           [&](const std::string& unique) { return core_->Delete(path_, unique); });
}

Result<std::shared_ptr<Folder>> MaildirFolder::CreateFolder(std::uint32_t, const std::string& name,
                                                            const std::string&,
                                                            std::uint32_t flags) {
  auto path = core_->CreateFolder(path_, platform::AnsiToUtf8(name), (flags & OPEN_IF_EXISTS) != 0);
  if (!path.ok()) return path.hr;
  return Ok(std::shared_ptr<Folder>(std::make_shared<MaildirFolder>(core_, *path)));
}

HRESULT MaildirFolder::DeleteFolder(const EntryId& subfolder, std::uint32_t flags) {
  auto decoded = DecodeMaildirId(subfolder.bytes());
  if (!decoded || decoded->kind != 'F' || decoded->key != core_->key() ||
      ParentFolderPath(decoded->folderPath) != path_ || decoded->folderPath == path_) {
    return MAPI_E_NOT_FOUND;
  }
  return core_->DeleteFolder(decoded->folderPath, flags);
}

}  // namespace quorvel::mapi
