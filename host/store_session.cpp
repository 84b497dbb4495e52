#include "host/store_session.h"

#include "mapi/queries.h"
#include "mapi/row_table.h"

namespace quorvel::host {

using mapi::EntryId;
using mapi::PropTag;
using mapi::PropValue;

StoreSession::StoreSession(std::string profileName,
                           std::vector<std::shared_ptr<mapi::MsgStore>> stores,
                           std::shared_ptr<mapi::AddressBook> addressBook)
    : profileName_(std::move(profileName)), addressBook_(std::move(addressBook)) {
  for (auto& store : stores) {
    auto id = mapi::HrGetOneProp(*store, mapi::PR_ENTRYID);
    stores_.push_back({id.ok() ? id->AsEntryId() : EntryId(), std::move(store)});
  }
}

mapi::Result<mapi::OpenedEntry> StoreSession::OpenEntry(const EntryId& id, std::uint32_t flags) {
  if (!id.present() || id.empty()) return mapi::MAPI_E_INVALID_ENTRYID;
  mapi::HRESULT last = mapi::MAPI_E_NOT_FOUND;
  for (const OpenStore& s : stores_) {
    auto opened = s.store->OpenEntry(id, flags);
    if (opened.ok()) return opened;
    // An id of another store is not found here; a malformed id is malformed for all.
    if (opened.hr != mapi::MAPI_E_NOT_FOUND) last = opened.hr;
  }
  if (addressBook_) {
    auto opened = addressBook_->OpenEntry(id, flags);
    if (opened.ok()) return opened;
    if (opened.hr != mapi::MAPI_E_INVALID_ENTRYID) return opened.hr;
  }
  return last == mapi::MAPI_E_INVALID_ENTRYID && stores_.size() > 1 ? mapi::MAPI_E_NOT_FOUND : last;
}

mapi::Result<std::shared_ptr<mapi::Table>> StoreSession::GetMsgStoresTable(std::uint32_t) {
  std::vector<std::vector<PropValue>> rows;
  for (std::size_t i = 0; i < stores_.size(); ++i) {
    const PropTag tags[] = {mapi::PR_DISPLAY_NAME, mapi::PR_MDB_PROVIDER};
    auto props = stores_[i].store->GetProps(tags, 0);
    std::vector<PropValue> row = {
        PropValue::Id(mapi::PR_ENTRYID, stores_[i].id),
        PropValue::Boolean(mapi::PR_DEFAULT_STORE, i == 0),
        PropValue::ULong(mapi::PR_OBJECT_TYPE, mapi::MAPI_STORE),
        PropValue::ULong(mapi::PR_RESOURCE_TYPE, mapi::MAPI_STORE_PROVIDER),
        PropValue::Bin(mapi::PR_SERVICE_UID, std::string(16, static_cast<char>('S' + i))),
        PropValue::Bin(mapi::PR_PROVIDER_UID, std::string(16, static_cast<char>('P' + i)))};
    if (props.ok() || props.hr == mapi::MAPI_W_ERRORS_RETURNED) {
      for (const PropValue& v : *props) {
        if (!v.IsError()) row.push_back(v);
      }
    }
    rows.push_back(std::move(row));
  }
  std::vector<PropTag> columns = {mapi::PR_ENTRYID, mapi::PR_DISPLAY_NAME, mapi::PR_DEFAULT_STORE,
                                  mapi::PR_MDB_PROVIDER};
  return mapi::Ok(std::shared_ptr<mapi::Table>(
      std::make_shared<mapi::RowTable>(std::move(rows), std::move(columns))));
}

mapi::Result<std::shared_ptr<mapi::MsgStore>> StoreSession::OpenMsgStore(const EntryId& storeId,
                                                                         std::uint32_t) {
  for (const OpenStore& s : stores_) {
    if (s.id == storeId) return mapi::Ok(s.store);
  }
  return mapi::MAPI_E_NOT_FOUND;
}

mapi::Result<std::shared_ptr<mapi::Table>> StoreSession::GetStatusTable(std::uint32_t) {
  std::vector<std::vector<PropValue>> rows = {
      {PropValue::ULong(mapi::PR_RESOURCE_TYPE, mapi::MAPI_SUBSYSTEM),
       PropValue::String8(mapi::PR_DISPLAY_NAME, profileName_)}};
  std::vector<PropTag> columns = {mapi::PR_RESOURCE_TYPE, mapi::PR_DISPLAY_NAME};
  return mapi::Ok(std::shared_ptr<mapi::Table>(
      std::make_shared<mapi::RowTable>(std::move(rows), std::move(columns))));
}

mapi::Result<std::shared_ptr<mapi::Table>> StoreSession::GetProviderTable(std::uint32_t) {
  std::vector<std::vector<PropValue>> rows;
  for (std::size_t i = 0; i < stores_.size(); ++i) {
    auto name = mapi::HrGetOneProp(*stores_[i].store, mapi::PR_DISPLAY_NAME);
    std::string display = name.ok() && name->AsString8() ? *name->AsString8() : std::string();
    rows.push_back(
        {PropValue::Bin(mapi::PR_SERVICE_UID, std::string(16, static_cast<char>('S' + i))),
         PropValue::String8(mapi::PR_SERVICE_NAME, "MAILDIR"),
         PropValue::String8(mapi::PR_DISPLAY_NAME, display)});
  }
  std::vector<PropTag> columns = {mapi::PR_SERVICE_UID, mapi::PR_SERVICE_NAME,
                                  mapi::PR_DISPLAY_NAME};
  return mapi::Ok(std::shared_ptr<mapi::Table>(
      std::make_shared<mapi::RowTable>(std::move(rows), std::move(columns))));
}

mapi::Result<bool> StoreSession::CompareEntryIDs(const EntryId& a, const EntryId& b,
                                                 std::uint32_t flags) {
  for (const OpenStore& s : stores_) {
    auto same = s.store->CompareEntryIDs(a, b, flags);
    if (same.ok()) return same;
  }
  return mapi::Ok(a == b);
}

mapi::Result<std::shared_ptr<mapi::AddressBook>> StoreSession::OpenAddressBook(std::uint32_t) {
  if (!addressBook_) return mapi::MAPI_E_NO_SUPPORT;
  return mapi::Ok(addressBook_);
}

}  // namespace quorvel::host
