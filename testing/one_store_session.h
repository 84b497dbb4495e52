// OneStoreSession: a session over one message store, the profile's default store, as
// a host with a single Maildir has it: the store table has its one row, the status
// table names the profile, the provider table is empty. For tests and benchmarks.
#ifndef QUORVEL_TESTING_ONE_STORE_SESSION_H_
#define QUORVEL_TESTING_ONE_STORE_SESSION_H_

#include <memory>
#include <string>

#include "mapi/queries.h"
#include "mapi/row_table.h"
#include "mapi/session.h"

namespace quorvel {

class OneStoreSession final : public mapi::Session {
 public:
  explicit OneStoreSession(std::shared_ptr<mapi::MsgStore> store, std::string profile = "Home")
      : store_(std::move(store)), profile_(std::move(profile)) {
    auto id = mapi::HrGetOneProp(*store_, mapi::PR_ENTRYID);
    id_ = id->AsEntryId();
  }
  mapi::Result<mapi::OpenedEntry> OpenEntry(const mapi::EntryId& id, std::uint32_t flags) override {
    return store_->OpenEntry(id, flags);
  }
  mapi::Result<std::shared_ptr<mapi::Table>> GetMsgStoresTable(std::uint32_t) override {
    const mapi::PropTag tags[] = {mapi::PR_MDB_PROVIDER, mapi::PR_DISPLAY_NAME};
    auto props = store_->GetProps(tags);
    mapi::Row row = {mapi::PropValue::Id(mapi::PR_ENTRYID, id_),
                     mapi::PropValue::Boolean(mapi::PR_DEFAULT_STORE, true), (*props)[0],
                     (*props)[1], mapi::PropValue::Bin(mapi::PR_SERVICE_UID, "maildir-service-1")};
    return Table({row}, {mapi::PR_ENTRYID, mapi::PR_DEFAULT_STORE, mapi::PR_MDB_PROVIDER,
                         mapi::PR_DISPLAY_NAME, mapi::PR_SERVICE_UID});
  }
  mapi::Result<std::shared_ptr<mapi::MsgStore>> OpenMsgStore(const mapi::EntryId& id,
                                                             std::uint32_t) override {
    if (!(id == id_)) return mapi::MAPI_E_NOT_FOUND;
    return mapi::Ok(store_);
  }
  mapi::Result<std::shared_ptr<mapi::Table>> GetStatusTable(std::uint32_t) override {
    return Table({{mapi::PropValue::ULong(mapi::PR_RESOURCE_TYPE, mapi::MAPI_SUBSYSTEM),
                   mapi::PropValue::String8(mapi::PR_DISPLAY_NAME, profile_)}},
                 {mapi::PR_RESOURCE_TYPE, mapi::PR_DISPLAY_NAME});
  }
  mapi::Result<std::shared_ptr<mapi::Table>> GetProviderTable(std::uint32_t) override {
    return Table({}, {mapi::PR_SERVICE_UID, mapi::PR_SERVICE_NAME});
  }
  mapi::Result<bool> CompareEntryIDs(const mapi::EntryId& a, const mapi::EntryId& b,
                                     std::uint32_t flags) override {
    return store_->CompareEntryIDs(a, b, flags);
  }
  mapi::Result<std::shared_ptr<mapi::AddressBook>> OpenAddressBook(std::uint32_t) override {
    return mapi::MAPI_E_NO_SUPPORT;
  }
  mapi::HRESULT DispatchNotifications() override { return mapi::S_OK; }

 private:
  static mapi::Result<std::shared_ptr<mapi::Table>> Table(mapi::RowSet rows,
                                                          std::vector<mapi::PropTag> columns) {
    return mapi::Ok(std::shared_ptr<mapi::Table>(
        std::make_shared<mapi::RowTable>(std::move(rows), std::move(columns))));
  }
  std::shared_ptr<mapi::MsgStore> store_;
  mapi::EntryId id_;
  std::string profile_;
};

}  // namespace quorvel

#endif  // QUORVEL_TESTING_ONE_STORE_SESSION_H_
