#include "host/store_namespace.h"

#include "mapi/queries.h"
#include "mapi/utf8_text.h"
#include "platform/code_page.h"

namespace quorvel::host {
namespace {

using mapi::EntryId;
using mapi::PropTag;
using mapi::PropValue;

EntryId IdProp(mapi::MapiProp& object, PropTag tag) {
  auto value = mapi::HrGetOneProp(object, tag);
  return value.ok() ? value->AsEntryId() : EntryId();
}

std::string StringProp(mapi::MapiProp& object, PropTag tag) {
  auto value = mapi::HrGetOneProp(object, tag);
  if (value.ok() && value->AsString8()) return *value->AsString8();
  return {};
}

// Opens `id` and insists on the kind of object asked for.
template <typename T>
Result<std::shared_ptr<T>> OpenAs(mapi::Session& session, const EntryId& id,
                                  std::uint32_t objectType) {
  auto opened = session.OpenEntry(id, mapi::MAPI_BEST_ACCESS);
  if (!opened.ok()) return opened.hr;
  auto object = opened->As<T>();
  if (opened->objectType != objectType || !object) return mapi::MAPI_E_NOT_FOUND;
  return mapi::Ok(std::move(object));
}

class StoreFolder;

class StoreMailItem final : public MailItem {
 public:
  StoreMailItem(std::shared_ptr<StoreNameSpace> ns, EntryId id, EntryId store, EntryId folder)
      : ns_(std::move(ns)),
        id_(std::move(id)),
        store_(std::move(store)),
        folder_(std::move(folder)) {}
  std::string EntryID() const override { return id_.ToHex(); }
  std::string StoreID() const override { return store_.ToHex(); }
  std::string Subject() override {
    auto message = MAPIOBJECT();
    return message.ok() ? StringProp(**message, mapi::PR_SUBJECT) : std::string();
  }
  std::shared_ptr<MAPIFolder> Parent() override { return ns_->FolderFor(folder_, store_); }
  Result<std::shared_ptr<mapi::Message>> MAPIOBJECT() override {
    return OpenAs<mapi::Message>(*ns_->MAPIOBJECT(), id_, mapi::MAPI_MESSAGE);
  }

 private:
  std::shared_ptr<StoreNameSpace> ns_;
  EntryId id_, store_, folder_;
};

class StoreItems final : public ItemCollection {
 public:
  StoreItems(std::shared_ptr<StoreNameSpace> ns, EntryId folder, EntryId store)
      : ns_(std::move(ns)), folder_(std::move(folder)), store_(std::move(store)) {}
  int Count() override {
    auto table = Contents();
    if (!table.ok()) return 0;
    auto count = (*table)->GetRowCount(0);
    return count.ok() ? static_cast<int>(*count) : 0;
  }
  Result<std::shared_ptr<MailItem>> Item(int index) override {
    if (index < 1) return mapi::MAPI_E_INVALID_PARAMETER;
    auto table = Contents();
    if (!table.ok()) return table.hr;
    const PropTag columns[] = {mapi::PR_ENTRYID};
    if (mapi::HRESULT hr = (*table)->SetColumns(columns, 0); mapi::Failed(hr)) return hr;
    auto moved = (*table)->SeekRow(mapi::BOOKMARK_BEGINNING, index - 1);
    if (!moved.ok()) return moved.hr;
    if (*moved != index - 1) return mapi::MAPI_E_NOT_FOUND;
    auto rows = (*table)->QueryRows(1, 0);
    if (!rows.ok()) return rows.hr;
    if (rows->empty()) return mapi::MAPI_E_NOT_FOUND;
    EntryId id = rows->front().front().AsEntryId();
    if (!id.present()) return mapi::MAPI_E_NOT_FOUND;
    return mapi::Ok(
        std::shared_ptr<MailItem>(std::make_shared<StoreMailItem>(ns_, id, store_, folder_)));
  }

 private:
  Result<std::shared_ptr<mapi::Table>> Contents() {
    auto folder = OpenAs<mapi::Folder>(*ns_->MAPIOBJECT(), folder_, mapi::MAPI_FOLDER);
    if (!folder.ok()) return folder.hr;
    return (*folder)->GetContentsTable(0);
  }
  std::shared_ptr<StoreNameSpace> ns_;
  EntryId folder_, store_;
};

class StoreFolders final : public FolderCollection {
 public:
  StoreFolders(std::shared_ptr<StoreNameSpace> ns, EntryId folder, EntryId store)
      : ns_(std::move(ns)), folder_(std::move(folder)), store_(std::move(store)) {}
  int Count() override {
    auto rows = Children();
    return rows.ok() ? static_cast<int>(rows->size()) : 0;
  }
  Result<std::shared_ptr<MAPIFolder>> Item(int index) override {
    auto rows = Children();
    if (!rows.ok()) return rows.hr;
    if (index < 1 || static_cast<std::size_t>(index) > rows->size()) {
      return mapi::MAPI_E_NOT_FOUND;
    }
    return mapi::Ok(
        ns_->FolderFor((*rows)[static_cast<std::size_t>(index - 1)][0].AsEntryId(), store_));
  }
  Result<std::shared_ptr<MAPIFolder>> Item(const std::string& name) override {
    auto rows = Children();
    if (!rows.ok()) return rows.hr;
    for (const mapi::Row& row : *rows) {
      const std::string* rowName = row[1].AsString8();
      if (rowName && platform::CompareNoCase(*rowName, name) == 0) {
        return mapi::Ok(ns_->FolderFor(row[0].AsEntryId(), store_));
      }
    }
    return mapi::MAPI_E_NOT_FOUND;
  }
  Result<std::shared_ptr<MAPIFolder>> Add(const std::string& name, int type) override {
    auto folder = OpenAs<mapi::Folder>(*ns_->MAPIOBJECT(), folder_, mapi::MAPI_FOLDER);
    if (!folder.ok()) return folder.hr;
    auto created = (*folder)->CreateFolder(mapi::FOLDER_GENERIC, name, "", 0);
    if (!created.ok()) return created.hr;
    if (type == olContactItem) {
      // A store that keeps no folder classes still makes the folder; it then reads
      // as a mail folder.
      mapi::HrSetOneProp(**created, PropValue::String8(mapi::PR_CONTAINER_CLASS, "IPF.Contact"));
    }
    EntryId id = IdProp(**created, mapi::PR_ENTRYID);
    if (!id.present()) return mapi::MAPI_E_CALL_FAILED;
    return mapi::Ok(ns_->FolderFor(id, store_));
  }

 private:
  Result<mapi::RowSet> Children() {
    auto folder = OpenAs<mapi::Folder>(*ns_->MAPIOBJECT(), folder_, mapi::MAPI_FOLDER);
    if (!folder.ok()) return folder.hr;
    auto table = (*folder)->GetHierarchyTable(0);
    if (!table.ok()) return table.hr;
    const PropTag columns[] = {mapi::PR_ENTRYID, mapi::PR_DISPLAY_NAME};
    return mapi::HrQueryAllRows(**table, columns, std::nullopt);
  }
  std::shared_ptr<StoreNameSpace> ns_;
  EntryId folder_, store_;
};

class StoreFolder final : public MAPIFolder {
 public:
  StoreFolder(std::shared_ptr<StoreNameSpace> ns, EntryId id, EntryId store)
      : ns_(std::move(ns)), id_(std::move(id)), store_(std::move(store)) {}
  std::string EntryID() const override { return id_.ToHex(); }
  std::string StoreID() const override { return store_.ToHex(); }
  std::string Name() const override {
    auto folder = const_cast<StoreFolder*>(this)->MAPIOBJECT();
    return folder.ok() ? StringProp(**folder, mapi::PR_DISPLAY_NAME) : std::string();
  }
  std::string NameUtf8() const override {
    auto folder = const_cast<StoreFolder*>(this)->MAPIOBJECT();
    if (!folder.ok()) return {};
    const PropTag tags[] = {mapi::PR_UNICODE_DISPLAY_NAME, mapi::PR_DISPLAY_NAME};
    auto values = (*folder)->GetProps(tags, 0);
    if (!values.ok()) return {};
    return mapi::GetUtf8(*values, mapi::PR_UNICODE_DISPLAY_NAME, mapi::PR_DISPLAY_NAME);
  }
  std::shared_ptr<MAPIFolder> Parent() override {
    auto folder = MAPIOBJECT();
    if (!folder.ok()) return nullptr;
    auto store = ns_->MAPIOBJECT()->OpenMsgStore(store_, mapi::MAPI_BEST_ACCESS);
    if (!store.ok()) return nullptr;
    EntryId subtree = IdProp(**store, mapi::PR_IPM_SUBTREE_ENTRYID);
    if (id_ == subtree) return nullptr;
    EntryId parent = IdProp(**folder, mapi::PR_PARENT_ENTRYID);
    if (!parent.present() || parent == id_ || parent == subtree) {
      // Children of the IPM subtree are top-level, unless the subtree is itself a
      // folder the user sees (a Maildir's Inbox): then it is their parent.
      if (parent == subtree && parent.present() && IsUserFolder(subtree)) {
        return ns_->FolderFor(subtree, store_);
      }
      return nullptr;
    }
    return ns_->FolderFor(parent, store_);
  }
  std::shared_ptr<FolderCollection> Folders() override {
    return std::make_shared<StoreFolders>(ns_, id_, store_);
  }
  std::shared_ptr<ItemCollection> Items() override {
    return std::make_shared<StoreItems>(ns_, id_, store_);
  }
  int DefaultItemType() override {
    auto folder = MAPIOBJECT();
    if (!folder.ok()) return olMailItem;
    return StringProp(**folder, mapi::PR_CONTAINER_CLASS).rfind("IPF.Contact", 0) == 0
               ? olContactItem
               : olMailItem;
  }
  Result<std::shared_ptr<mapi::Folder>> MAPIOBJECT() override {
    return OpenAs<mapi::Folder>(*ns_->MAPIOBJECT(), id_, mapi::MAPI_FOLDER);
  }

 private:
  // Whether the folder is one of the store's receive folders.
  bool IsUserFolder(const EntryId& folder) {
    auto store = ns_->MAPIOBJECT()->OpenMsgStore(store_, mapi::MAPI_BEST_ACCESS);
    if (!store.ok()) return false;
    auto inbox = (*store)->GetReceiveFolder("IPM.Note", 0);
    return inbox.ok() && inbox->folderId == folder;
  }
  std::shared_ptr<StoreNameSpace> ns_;
  EntryId id_, store_;
};

}  // namespace

StoreNameSpace::StoreNameSpace(std::shared_ptr<mapi::Session> session, std::string profileName,
                               std::vector<std::string> accounts)
    : session_(std::move(session)),
      profileName_(std::move(profileName)),
      accounts_(std::move(accounts)) {}

std::shared_ptr<StoreNameSpace> StoreNameSpace::Create(std::shared_ptr<mapi::Session> session,
                                                       std::string profileName,
                                                       std::vector<std::string> accounts) {
  return std::shared_ptr<StoreNameSpace>(
      new StoreNameSpace(std::move(session), std::move(profileName), std::move(accounts)));
}

std::shared_ptr<MAPIFolder> StoreNameSpace::FolderFor(const EntryId& folderId,
                                                      const EntryId& storeId) {
  return std::make_shared<StoreFolder>(shared_from_this(), folderId, storeId);
}

Result<std::shared_ptr<mapi::MsgStore>> StoreNameSpace::DefaultStore(EntryId* storeId) {
  auto table = session_->GetMsgStoresTable(0);
  if (!table.ok()) return table.hr;
  const PropTag columns[] = {mapi::PR_ENTRYID, mapi::PR_DEFAULT_STORE};
  auto rows = mapi::HrQueryAllRows(**table, columns, std::nullopt);
  if (!rows.ok()) return rows.hr;
  for (const mapi::Row& row : *rows) {
    const bool* isDefault = row[1].AsBoolean();
    if (isDefault && *isDefault) {
      *storeId = row[0].AsEntryId();
      return session_->OpenMsgStore(*storeId, mapi::MAPI_BEST_ACCESS);
    }
  }
  return mapi::MAPI_E_NOT_FOUND;
}

Result<std::shared_ptr<MAPIFolder>> StoreNameSpace::GetDefaultFolder(int folderType) {
  EntryId storeId;
  auto store = DefaultStore(&storeId);
  if (!store.ok()) return store.hr;
  EntryId folder;
  switch (folderType) {
    case olFolderInbox: {
      auto inbox = (*store)->GetReceiveFolder("IPM.Note", 0);
      if (!inbox.ok()) return inbox.hr;
      folder = inbox->folderId;
      break;
    }
    case olFolderOutbox:
      folder = IdProp(**store, mapi::PR_IPM_OUTBOX_ENTRYID);
      break;
    case olFolderSentMail:
      folder = IdProp(**store, mapi::PR_IPM_SENTMAIL_ENTRYID);
      break;
    case olFolderDeletedItems:
      folder = IdProp(**store, mapi::PR_IPM_WASTEBASKET_ENTRYID);
      break;
    case olFolderContacts:
    case olFolderDrafts: {
      auto inboxId = (*store)->GetReceiveFolder("IPM.Note", 0);
      if (!inboxId.ok()) return inboxId.hr;
      auto inbox = OpenAs<mapi::Folder>(*session_, inboxId->folderId, mapi::MAPI_FOLDER);
      if (!inbox.ok()) return inbox.hr;
      folder = IdProp(**inbox, folderType == olFolderContacts ? mapi::PR_IPM_CONTACT_ENTRYID
                                                              : mapi::PR_IPM_DRAFTS_ENTRYID);
      // A mail store without contacts of its own: the profile's address book names
      // the Contacts folder.
      if (folderType == olFolderContacts && (!folder.present() || folder.empty())) {
        if (auto book = session_->OpenAddressBook(0); book.ok() && *book) {
          auto root = (*book)->OpenEntry(EntryId(), 0);
          if (root.ok() && root->object)
            folder = IdProp(*root->object, mapi::PR_IPM_CONTACT_ENTRYID);
        }
      }
      break;
    }
    default:
      return mapi::MAPI_E_INVALID_PARAMETER;
  }
  if (!folder.present() || folder.empty()) return mapi::MAPI_E_NOT_FOUND;
  auto opened = OpenAs<mapi::Folder>(*session_, folder, mapi::MAPI_FOLDER);
  if (!opened.ok()) return opened.hr;
  return mapi::Ok(FolderFor(folder, storeId));
}

Result<std::shared_ptr<MAPIFolder>> StoreNameSpace::GetFolderFromID(const std::string& entryId,
                                                                    const std::string&) {
  auto id = EntryId::FromHex(entryId);
  if (!id || id->empty()) return mapi::MAPI_E_INVALID_ENTRYID;
  auto folder = OpenAs<mapi::Folder>(*session_, *id, mapi::MAPI_FOLDER);
  if (!folder.ok()) return folder.hr;
  return mapi::Ok(FolderFor(*id, IdProp(**folder, mapi::PR_STORE_ENTRYID)));
}

Result<std::shared_ptr<MailItem>> StoreNameSpace::GetItemFromID(const std::string& entryId,
                                                                const std::string&) {
  auto id = EntryId::FromHex(entryId);
  if (!id || id->empty()) return mapi::MAPI_E_INVALID_ENTRYID;
  auto message = OpenAs<mapi::Message>(*session_, *id, mapi::MAPI_MESSAGE);
  if (!message.ok()) return message.hr;
  return mapi::Ok(std::shared_ptr<MailItem>(std::make_shared<StoreMailItem>(
      shared_from_this(), *id, IdProp(**message, mapi::PR_STORE_ENTRYID),
      IdProp(**message, mapi::PR_PARENT_ENTRYID))));
}

std::vector<std::shared_ptr<MAPIFolder>> StoreNameSpace::TopFolders() {
  std::vector<std::shared_ptr<MAPIFolder>> tops;
  auto table = session_->GetMsgStoresTable(0);
  if (!table.ok()) return tops;
  const PropTag columns[] = {mapi::PR_ENTRYID};
  auto rows = mapi::HrQueryAllRows(**table, columns, std::nullopt);
  if (!rows.ok()) return tops;
  for (const mapi::Row& row : *rows) {
    EntryId storeId = row[0].AsEntryId();
    auto store = session_->OpenMsgStore(storeId, mapi::MAPI_BEST_ACCESS);
    if (!store.ok()) continue;
    EntryId subtree = IdProp(**store, mapi::PR_IPM_SUBTREE_ENTRYID);
    auto inbox = (*store)->GetReceiveFolder("IPM.Note", 0);
    if (inbox.ok() && inbox->folderId == subtree) {
      tops.push_back(FolderFor(subtree, storeId));
      continue;
    }
    auto children = StoreFolders(shared_from_this(), subtree, storeId);
    for (int i = 1, n = children.Count(); i <= n; ++i) {
      auto child = children.Item(i);
      if (child.ok()) tops.push_back(*child);
    }
  }
  return tops;
}

}  // namespace quorvel::host
