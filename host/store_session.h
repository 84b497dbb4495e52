// StoreSession: a mail-store session made of opened stores, the first one the
// default (a profile's Maildir, later its IMAP account). It opens entries by asking
// each store in turn, lists the stores with their provider and service, and names the
// profile in its status table's MAPI_SUBSYSTEM row.
//
// Thread-safety: the store list is fixed at creation; every method may be called from
// any thread, as the stores allow.
#ifndef QUORVEL_HOST_STORE_SESSION_H_
#define QUORVEL_HOST_STORE_SESSION_H_

#include <memory>
#include <string>
#include <vector>

#include "mapi/session.h"

namespace quorvel::host {

class StoreSession final : public mapi::Session {
 public:
  // `stores` must not be empty; stores[0] is the default store. `addressBook` (may be
  // null) is the profile's address book; the entries it opens (its Contacts folder
  // among them) are opened through OpenEntry too.
  StoreSession(std::string profileName, std::vector<std::shared_ptr<mapi::MsgStore>> stores,
               std::shared_ptr<mapi::AddressBook> addressBook = nullptr);

  mapi::Result<mapi::OpenedEntry> OpenEntry(const mapi::EntryId& id, std::uint32_t flags) override;
  mapi::Result<std::shared_ptr<mapi::Table>> GetMsgStoresTable(std::uint32_t flags) override;
  mapi::Result<std::shared_ptr<mapi::MsgStore>> OpenMsgStore(const mapi::EntryId& storeId,
                                                             std::uint32_t flags) override;
  mapi::Result<std::shared_ptr<mapi::Table>> GetStatusTable(std::uint32_t flags) override;
  mapi::Result<std::shared_ptr<mapi::Table>> GetProviderTable(std::uint32_t flags) override;
  mapi::Result<bool> CompareEntryIDs(const mapi::EntryId& a, const mapi::EntryId& b,
                                     std::uint32_t flags) override;
  // The profile's address book; MAPI_E_NO_SUPPORT when it has none.
  mapi::Result<std::shared_ptr<mapi::AddressBook>> OpenAddressBook(std::uint32_t flags) override;
  // The stores deliver their notifications on their own threads.
  mapi::HRESULT DispatchNotifications() override { return mapi::S_OK; }

 private:
  struct OpenStore {
    mapi::EntryId id;
    std::shared_ptr<mapi::MsgStore> store;
  };
  const std::string profileName_;
  std::vector<OpenStore> stores_;
  std::shared_ptr<mapi::AddressBook> addressBook_;
};

}  // namespace quorvel::host

#endif  // QUORVEL_HOST_STORE_SESSION_H_
