#include "mapi/imap/imap_folder.h"

#include "mapi/imap/imap_contents.h"
#include "mapi/message_batch.h"
#include "mapi/pick_props.h"
#include "mapi/property_stream.h"
#include "mapi/row_table.h"
#include "platform/code_page.h"

namespace quorvel::mapi::imap {

Result<std::vector<PropValue>> ImapFolder::AllProps(bool withCounts) const {
  if (!core_->Find(mailbox_)) return MAPI_E_OBJECT_DELETED;
  const std::string name = core_->DisplayNameUtf8(mailbox_);
  std::vector<PropValue> props = {
      PropValue::Id(PR_ENTRYID, core_->FolderId(mailbox_)),
      PropValue::Id(PR_RECORD_KEY, core_->FolderId(mailbox_)),
      PropValue::Id(PR_PARENT_ENTRYID, core_->FolderId(core_->Parent(mailbox_))),
      PropValue::Id(PR_STORE_ENTRYID, core_->StoreId()),
      PropValue::String8(PR_DISPLAY_NAME, platform::Utf8ToAnsi(name)),
      PropValue::Unicode(PR_UNICODE_DISPLAY_NAME, platform::Utf8ToWide(name)),
      PropValue::ULong(PR_OBJECT_TYPE, MAPI_FOLDER),
      PropValue::ULong(PR_FOLDER_TYPE, FOLDER_GENERIC),
      PropValue::String8(PR_CONTAINER_CLASS, "IPF.Note"),
      PropValue::Boolean(PR_SUBFOLDERS, !core_->Children(mailbox_).empty())};
  if (mailbox_ == "INBOX") {
    // The Inbox names the account's own junk and drafts mailboxes (SPECIAL-USE), as
    // the mail client's does, so that the spam folder is the junk mailbox the user's
    // other programs already use.
    if (auto junk = core_->FindSpecial("\\Junk")) {
      props.push_back(PropValue::Id(PR_JUNK_FOLDER_ENTRYID, core_->FolderId(junk->mailbox)));
    }
    if (auto drafts = core_->FindSpecial("\\Drafts")) {
      props.push_back(PropValue::Id(PR_IPM_DRAFTS_ENTRYID, core_->FolderId(drafts->mailbox)));
    }
  }
  if (withCounts) {
    auto counts = core_->CountMessages(mailbox_);
    if (!counts.ok()) return counts.hr;
    props.push_back(PropValue::Long(PR_CONTENT_COUNT, counts->total));
    props.push_back(PropValue::Long(PR_CONTENT_UNREAD, counts->unread));
    props.push_back(PropValue::ULong(PR_UID_VALIDITY, counts->uidValidity));
  }
  return Ok(std::move(props));
}

Result<std::vector<PropValue>> ImapFolder::GetProps(std::span<const PropTag> tags, std::uint32_t) {
  bool counts = tags.empty();
  for (PropTag tag : tags) {
    counts = counts || PROP_ID(tag) == PROP_ID(PR_CONTENT_COUNT) ||
             PROP_ID(tag) == PROP_ID(PR_CONTENT_UNREAD) || PROP_ID(tag) == PROP_ID(PR_UID_VALIDITY);
  }
  auto all = AllProps(counts);
  if (!all.ok()) return all.hr;
  return PickProps(*all, tags);
}

Result<std::vector<PropTag>> ImapFolder::GetPropList(std::uint32_t) {
  auto all = AllProps(true);
  if (!all.ok()) return all.hr;
  std::vector<PropTag> tags;
  for (const PropValue& v : *all) tags.push_back(v.tag);
  return Ok(std::move(tags));
}

Result<std::shared_ptr<Stream>> ImapFolder::OpenProperty(PropTag tag, std::uint32_t flags) {
  return OpenPropertyStream(*this, tag, flags);
}

Result<std::shared_ptr<Table>> ImapFolder::GetContentsTable(std::uint32_t) {
  if (!core_->Find(mailbox_)) return MAPI_E_OBJECT_DELETED;
  return Ok(std::shared_ptr<Table>(std::make_shared<ImapContentsTable>(core_, mailbox_)));
}

Result<std::shared_ptr<Table>> ImapFolder::GetHierarchyTable(std::uint32_t) {
  if (!core_->Find(mailbox_)) return MAPI_E_OBJECT_DELETED;
  std::vector<std::vector<PropValue>> rows;
  // The top of the hierarchy is listed afresh: mailboxes another client made show.
  for (const FolderInfo& child : core_->Children(mailbox_, /*refresh=*/mailbox_ == "INBOX")) {
    ImapFolder folder(core_, child.mailbox);
    auto row = folder.AllProps(false);
    if (!row.ok()) continue;
    row->push_back(PropValue::Long(PR_DEPTH, 1));
    rows.push_back(std::move(*row));
  }
  std::vector<PropTag> columns = {PR_ENTRYID, PR_DISPLAY_NAME, PR_SUBFOLDERS, PR_DEPTH};
  return Ok(std::shared_ptr<Table>(std::make_shared<RowTable>(std::move(rows), columns)));
}

std::optional<DecodedId> ImapFolder::MessageOf(const EntryId& id) const {
  auto decoded = DecodeId(id.bytes());
  if (!decoded || decoded->kind != 'M' || decoded->key != core_->key() ||
      decoded->mailbox != mailbox_) {
    return std::nullopt;
  }
  return decoded;
}

HRESULT ImapFolder::CopyMessages(std::span<const EntryId> messages, Folder& destination,
                                 std::uint32_t flags) {
  auto* target = dynamic_cast<ImapFolder*>(&destination);
  if (target == nullptr || target->core_ != core_) return MAPI_E_NO_SUPPORT;
  return ForEachMessage(messages, [&](const EntryId& id) {
    auto decoded = MessageOf(id);
    return decoded ? core_->Transfer(mailbox_, decoded->uidValidity, decoded->uid, target->mailbox_,
                                     (flags & MESSAGE_MOVE) != 0)
                   : MAPI_E_NOT_FOUND;
  });
}

HRESULT ImapFolder::DeleteMessages(std::span<const EntryId> messages, std::uint32_t) {
  return ForEachMessage(messages, [&](const EntryId& id) {
    auto decoded = MessageOf(id);
    return decoded ? core_->Delete(mailbox_, decoded->uidValidity, decoded->uid) : MAPI_E_NOT_FOUND;
  });
}

Result<std::shared_ptr<Folder>> ImapFolder::CreateFolder(std::uint32_t, const std::string& name,
                                                         const std::string&, std::uint32_t flags) {
  auto mailbox =
      core_->CreateFolder(mailbox_, platform::AnsiToUtf8(name), (flags & OPEN_IF_EXISTS) != 0);
  if (!mailbox.ok()) return mailbox.hr;
  return Ok(std::shared_ptr<Folder>(std::make_shared<ImapFolder>(core_, *mailbox)));
}

HRESULT ImapFolder::DeleteFolder(const EntryId& subfolder, std::uint32_t flags) {
  auto decoded = DecodeId(subfolder.bytes());
  if (!decoded || decoded->kind != 'F' || decoded->key != core_->key() ||
      decoded->mailbox == mailbox_ || core_->Parent(decoded->mailbox) != mailbox_) {
    return MAPI_E_NOT_FOUND;
  }
  return core_->DeleteFolder(decoded->mailbox, flags);
}

}  // namespace quorvel::mapi::imap
