// MemorySession: a complete mail-store session held in memory, the ground for tests.
// Several stores (one may be the default), each with folders, messages with any
// properties, recipients and attachments; the address book; the status and provider
// tables; notifications delivered on a thread of each store; and Faults, which make
// any call on any object fail with a chosen code.
//
//   auto session = MemorySession::Create();
//   StoreLayout pst = session->AddStore({.displayName = "Personal Folders", .isDefault = true});
//   auto inbox = session->OpenEntry(pst.inbox, MAPI_BEST_ACCESS)->As<Folder>();
//
// Messages made with CreateMessage start as unsent drafts (MSGFLAG_UNSENT | MSGFLAG_READ)
// unless made with kDeliverAsNewMail (objects.h re-exported here), which delivers them
// as new mail at SaveChanges: flags 0 and a new-mail notification.
// Stored PT_ERROR values are allowed (SetProps takes them) and come back from GetProps
// as they are, so a test can make one property unreadable.
//
// Thread-safety: every method may be called from any thread. Ending: the destructor
// (or Shutdown) stops the notification threads and drops the sinks; objects still open
// then fail with MAPI_E_END_OF_SESSION. A sink that owns the session keeps it alive:
// Unadvise first.
#ifndef QUORVEL_MAPI_MEMORY_MEMORY_SESSION_H_
#define QUORVEL_MAPI_MEMORY_MEMORY_SESSION_H_

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

#include "mapi/memory/faults.h"
#include "mapi/session.h"

namespace quorvel::mapi::memory {

// CreateMessage flag: deliver as new mail (see above).
inline constexpr std::uint32_t kDeliverAsNewMail = 0x40000000;

struct StoreOptions {
  std::string displayName = "Personal Folders";
  // PR_MDB_PROVIDER; one of the pbExchangeProvider... values makes an Exchange store.
  std::string provider = std::string(pbPersonalStoreProviderGuid);
  // The message service the store belongs to (provider table PR_SERVICE_NAME).
  std::string serviceName = "MSPST MS";
  // PR_SERVICE_UID (16 bytes); empty: a new service of its own.
  std::string serviceUid{};
  bool isDefault = false;
  // Inbox (receive folder for "" and "IPM"), Outbox, Sent Items, Deleted Items, Drafts
  // and Contacts under the top of the store; without them only the root and the top.
  bool standardFolders = true;
  // PR_STORE_LOCAL_COPY (0x6632000B), when set.
  std::optional<bool> localCopy{};
  // String and binary values longer than this come back from GetProps as PT_ERROR with
  // MAPI_E_NOT_ENOUGH_MEMORY (streams still read them), as large bodies do; 0: no limit.
  std::size_t largePropertyLimit = 0;
  // New-mail notifications carry short-term ids (another byte string that opens the
  // same object) for the message and its folder, as server stores do; PR_ENTRYID of
  // the opened objects gives the permanent ones.
  bool shortTermNewMailIds = false;
};

// The ids of a store and of its standard folders (absent when not made).
struct StoreLayout {
  EntryId store, root, ipmSubtree, inbox, outbox, sentItems, deletedItems, drafts, contacts;
};

struct World;

class MemorySession final : public Session {
 public:
  static std::shared_ptr<MemorySession> Create();
  ~MemorySession() override;

  Result<OpenedEntry> OpenEntry(const EntryId& id, std::uint32_t flags) override;
  Result<std::shared_ptr<Table>> GetMsgStoresTable(std::uint32_t flags) override;
  Result<std::shared_ptr<MsgStore>> OpenMsgStore(const EntryId& storeId,
                                                 std::uint32_t flags) override;
  Result<std::shared_ptr<Table>> GetStatusTable(std::uint32_t flags) override;
  Result<std::shared_ptr<Table>> GetProviderTable(std::uint32_t flags) override;
  Result<bool> CompareEntryIDs(const EntryId& a, const EntryId& b, std::uint32_t flags) override;
  Result<std::shared_ptr<AddressBook>> OpenAddressBook(std::uint32_t flags) override;
  HRESULT DispatchNotifications() override;

  // Set-up, for tests and hosts.
  StoreLayout AddStore(const StoreOptions& options);
  // The profile's name (status table, MAPI_SUBSYSTEM row); "Outlook" by default.
  void SetProfileName(const std::string& name);
  // A message service without a store (provider table only). Returns its uid.
  std::string AddService(const std::string& name);
  // An address-book container; `canCreateEntries` gives it PR_DEF_CREATE_MAILUSER.
  EntryId AddAbContainer(const std::string& name, bool canCreateEntries);
  // An entry of a container; `normalizedName` is stored as 0x0E1D001E when given.
  EntryId AddAbEntry(const EntryId& container, const std::string& displayName,
                     const std::string& emailAddress, const std::string& addrType = "SMTP",
                     std::optional<std::string> normalizedName = std::nullopt);

  Faults& faults();
  // Ends the session now (see above). Idempotent.
  void Shutdown();

 private:
  MemorySession();
  std::shared_ptr<World> world_;
};

}  // namespace quorvel::mapi::memory

#endif  // QUORVEL_MAPI_MEMORY_MEMORY_SESSION_H_
