// Session: the logged-on profile (modelled on IMAPISession). It lists and opens the
// profile's message stores, opens any folder or message by entry id, and gives the
// status and provider tables and the address book.
// Thread-safety: every method may be called from any thread.
#ifndef QUORVEL_MAPI_SESSION_H_
#define QUORVEL_MAPI_SESSION_H_

#include <cstdint>
#include <memory>

#include "mapi/address_book.h"
#include "mapi/entry_id.h"
#include "mapi/mapi_prop.h"
#include "mapi/store.h"
#include "mapi/table.h"

namespace quorvel::mapi {

class Session {
 public:
  virtual ~Session() = default;
  // A folder (MAPI_FOLDER) or message (MAPI_MESSAGE) of any store of the session.
  // An id no store knows is MAPI_E_NOT_FOUND (or MAPI_E_INVALID_ENTRYID when malformed).
  virtual Result<OpenedEntry> OpenEntry(const EntryId& id, std::uint32_t flags) = 0;
  // One row per store: PR_ENTRYID, PR_DISPLAY_NAME, PR_DEFAULT_STORE, PR_MDB_PROVIDER,
  // PR_SERVICE_UID, PR_PROVIDER_UID, PR_OBJECT_TYPE, PR_RESOURCE_TYPE.
  virtual Result<std::shared_ptr<Table>> GetMsgStoresTable(std::uint32_t flags) = 0;
  virtual Result<std::shared_ptr<MsgStore>> OpenMsgStore(const EntryId& storeId,
                                                         std::uint32_t flags) = 0;
  // Rows with PR_RESOURCE_TYPE and PR_DISPLAY_NAME; the MAPI_SUBSYSTEM (0x27) row
  // carries the profile's name.
  virtual Result<std::shared_ptr<Table>> GetStatusTable(std::uint32_t flags) = 0;
  // The message services of the profile: PR_SERVICE_UID, PR_SERVICE_NAME,
  // PR_DISPLAY_NAME (the administration interface's provider table).
  virtual Result<std::shared_ptr<Table>> GetProviderTable(std::uint32_t flags) = 0;
  // Whether two ids name the same object.
  virtual Result<bool> CompareEntryIDs(const EntryId& a, const EntryId& b, std::uint32_t flags) = 0;
  virtual Result<std::shared_ptr<AddressBook>> OpenAddressBook(std::uint32_t flags) = 0;
  // Delivers pending notifications of the session's stores and returns when they have
  // been handed to their sinks.
  virtual HRESULT DispatchNotifications() = 0;
};

}  // namespace quorvel::mapi

#endif  // QUORVEL_MAPI_SESSION_H_
