// World: everything the in-memory session holds (stores, folders, messages, the
// address book, named properties, faults), shared by every object opened from it.
// Internal to mapi/memory.
//
// Locking: `mutex` guards every field but `faults` (own lock) and the notifiers (own
// locks). It is never held while a sink runs or while another object's method is
// called from outside this file's helpers.
#ifndef QUORVEL_MAPI_MEMORY_WORLD_H_
#define QUORVEL_MAPI_MEMORY_WORLD_H_

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "mapi/entry_id.h"
#include "mapi/mapi_prop.h"
#include "mapi/memory/faults.h"
#include "mapi/memory/notifier.h"
#include "mapi/notification.h"
#include "mapi/prop_value.h"

namespace quorvel::mapi::memory {

// Stored properties by property id.
using PropMap = std::map<std::uint32_t, PropValue>;

// Kinds of object, the byte after the store uid in an entry id.
enum class Kind : std::uint8_t {
  kStore = 1,
  kFolder = 3,
  kAbContainer = 4,
  kMessage = 5,
  kMailUser = 6
};

struct AttachData {
  PropMap props;  // PR_ATTACH_NUM included
};

struct MessageData {
  EntryId id;
  EntryId parent;
  EntryId store;
  PropMap props;
  std::vector<PropMap> recipients;  // each with PR_ROWID
  std::map<std::uint32_t, AttachData> attachments;
  std::uint32_t nextAttachNum = 0;
  std::uint32_t nextRowId = 0;
};

struct FolderData {
  EntryId id;
  EntryId parent;  // absent for a store's root
  EntryId store;
  PropMap props;
  std::vector<EntryId> subfolders;  // in creation order
  std::vector<EntryId> messages;    // in arrival order
};

struct AdviseData {
  EntryId target;  // absent: the whole store
  std::uint32_t eventMask = 0;
  std::shared_ptr<AdviseSink> sink;
};

struct StoreData {
  EntryId id;
  std::string uid;  // 16 bytes; every id of the store starts with it
  PropMap props;    // PR_DISPLAY_NAME, PR_MDB_PROVIDER, ... as set up
  EntryId root, ipmSubtree, inbox, outbox, sentItems, deletedItems, drafts, contacts;
  std::vector<std::pair<std::string, EntryId>> receiveFolders;  // (class, folder)
  bool isDefault = false;
  std::string serviceUid;
  std::size_t largePropertyLimit = 0;
  bool shortTermNewMailIds = false;
  std::map<std::uint32_t, AdviseData> advises;
  std::unique_ptr<Notifier> notifier;
};

struct AbEntryData {
  EntryId id;
  EntryId container;
  PropMap props;
};

struct AbContainerData {
  EntryId id;
  PropMap props;
  std::vector<EntryId> entries;
};

struct ServiceData {
  std::string uid;
  std::string name;
  std::string displayName;
};

struct World {
  std::mutex mutex;
  bool alive = true;
  std::string profileName = "Outlook";
  std::vector<EntryId> storeOrder;
  std::map<EntryId, StoreData> stores;
  std::map<EntryId, FolderData> folders;
  std::map<EntryId, MessageData> messages;
  std::map<EntryId, EntryId> shortTermIds;  // short-term id -> permanent id
  std::vector<ServiceData> services;
  bool providerTableReadable = true;
  EntryId abRoot;
  std::vector<EntryId> abContainerOrder;
  std::map<EntryId, AbContainerData> abContainers;
  std::map<EntryId, AbEntryData> abEntries;
  std::vector<PropName> namedProps;  // index i has property id 0x8000 + i
  std::uint64_t nextSerial = 1;
  std::uint32_t nextConnection = 1;
  Faults faults;

  // A new id of `kind` within the store whose uid is `storeUid`. REQUIRES: mutex held.
  EntryId NewId(const std::string& storeUid, Kind kind);
  // The kind byte of an id this world made, or 0.
  static std::uint8_t KindOf(const EntryId& id);

  // REQUIRES: mutex held. Computed and stored properties of an object, ready for
  // GetProps and table rows.
  PropMap StoreProps(const StoreData& store) const;
  PropMap FolderProps(const FolderData& folder) const;
  PropMap MessageProps(const MessageData& message) const;

  // Queues notifications of `store` to the sinks whose mask and target match.
  // REQUIRES: mutex held (Post does not call the sinks).
  void Notify(const EntryId& store, const std::vector<Notification>& notifications);

  // The permanent id for `id` (itself unless it is a short-term id). REQUIRES: mutex held.
  EntryId Permanent(const EntryId& id) const;
  // A short-term id for `id`. REQUIRES: mutex held.
  EntryId ShortTerm(const EntryId& id);

  // Creates a folder under `parent` (absent: a store root). REQUIRES: mutex held.
  EntryId AddFolder(StoreData& store, const EntryId& parent, const std::string& name,
                    const std::string& containerClass);
};

}  // namespace quorvel::mapi::memory

#endif  // QUORVEL_MAPI_MEMORY_WORLD_H_
