#include "mapi/memory/memory_session.h"

#include "mapi/memory/objects.h"

namespace quorvel::mapi::memory {
namespace {

const std::vector<PropTag> kStoreTableColumns = {
    PR_ENTRYID,      PR_DISPLAY_NAME, PR_DEFAULT_STORE, PR_MDB_PROVIDER, PR_SERVICE_UID,
    PR_PROVIDER_UID, PR_OBJECT_TYPE,  PR_RESOURCE_TYPE, PR_RECORD_KEY};

// 16 bytes unique within the world. REQUIRES: world.mutex held.
std::string NewUid(World& world, char tag) {
  std::string uid(16, '\0');
  std::uint64_t serial = world.nextSerial++;
  for (int i = 0; i < 8; ++i) uid[i] = static_cast<char>((serial >> (8 * i)) & 0xFF);
  uid[8] = 'Q';
  uid[9] = 'V';
  uid[10] = tag;
  return uid;
}

}  // namespace

std::shared_ptr<MemorySession> MemorySession::Create() {
  return std::shared_ptr<MemorySession>(new MemorySession());
}

MemorySession::MemorySession() : world_(std::make_shared<World>()) {
  std::lock_guard lock(world_->mutex);
  world_->abRoot = world_->NewId(NewUid(*world_, 'A'), Kind::kAbContainer);
}

MemorySession::~MemorySession() { Shutdown(); }

void MemorySession::Shutdown() {
  std::vector<std::shared_ptr<AdviseSink>> sinks;  // released after the lock
  std::vector<Notifier*> notifiers;
  {
    std::lock_guard lock(world_->mutex);
    if (!world_->alive) return;
    world_->alive = false;
    for (auto& [id, store] : world_->stores) {
      for (auto& [connection, advise] : store.advises) sinks.push_back(std::move(advise.sink));
      store.advises.clear();
      notifiers.push_back(store.notifier.get());
    }
  }
  for (Notifier* n : notifiers) n->Stop();
}

Faults& MemorySession::faults() { return world_->faults; }

Result<OpenedEntry> MemorySession::OpenEntry(const EntryId& id, std::uint32_t) {
  if (HRESULT hr = world_->faults.Check(Call::kOpenEntry, id); Failed(hr)) return hr;
  return OpenWorldEntry(world_, id);
}

Result<std::shared_ptr<Table>> MemorySession::GetMsgStoresTable(std::uint32_t) {
  if (HRESULT hr = world_->faults.Check(Call::kGetMsgStoresTable, {}); Failed(hr)) return hr;
  std::vector<std::vector<PropValue>> rows;
  {
    std::lock_guard lock(world_->mutex);
    if (!world_->alive) return MAPI_E_END_OF_SESSION;
    for (const auto& id : world_->storeOrder) {
      const StoreData& store = world_->stores.at(id);
      PropMap all = world_->StoreProps(store);
      all[PROP_ID(PR_PROVIDER_UID)] = PropValue::Bin(PR_PROVIDER_UID, store.uid);
      std::vector<PropValue> row;
      for (PropTag tag : kStoreTableColumns) {
        auto it = all.find(PROP_ID(tag));
        if (it != all.end()) row.push_back(it->second);
      }
      rows.push_back(std::move(row));
    }
  }
  return Ok(MakeTable(world_, {}, std::move(rows), kStoreTableColumns));
}

Result<std::shared_ptr<MsgStore>> MemorySession::OpenMsgStore(const EntryId& storeId,
                                                              std::uint32_t) {
  if (HRESULT hr = world_->faults.Check(Call::kOpenMsgStore, storeId); Failed(hr)) return hr;
  std::lock_guard lock(world_->mutex);
  if (!world_->alive) return MAPI_E_END_OF_SESSION;
  if (!world_->stores.contains(storeId)) return MAPI_E_NOT_FOUND;
  return Ok<std::shared_ptr<MsgStore>>(std::make_shared<MemoryStore>(world_, storeId));
}

Result<std::shared_ptr<Table>> MemorySession::GetStatusTable(std::uint32_t) {
  if (HRESULT hr = world_->faults.Check(Call::kGetStatusTable, {}); Failed(hr)) return hr;
  std::vector<std::vector<PropValue>> rows;
  {
    std::lock_guard lock(world_->mutex);
    if (!world_->alive) return MAPI_E_END_OF_SESSION;
    rows.push_back({PropValue::ULong(PR_RESOURCE_TYPE, MAPI_SUBSYSTEM),
                    PropValue::String8(PR_DISPLAY_NAME, world_->profileName),
                    PropValue::Long(PR_STATUS_CODE, 1)});
    for (const auto& id : world_->storeOrder) {
      PropMap all = world_->StoreProps(world_->stores.at(id));
      std::vector<PropValue> row = {PropValue::ULong(PR_RESOURCE_TYPE, MAPI_STORE_PROVIDER),
                                    PropValue::Long(PR_STATUS_CODE, 1)};
      if (all.contains(PROP_ID(PR_DISPLAY_NAME))) row.push_back(all[PROP_ID(PR_DISPLAY_NAME)]);
      rows.push_back(std::move(row));
    }
  }
  return Ok(MakeTable(world_, {}, std::move(rows), {PR_RESOURCE_TYPE, PR_DISPLAY_NAME}));
}

Result<std::shared_ptr<Table>> MemorySession::GetProviderTable(std::uint32_t) {
  if (HRESULT hr = world_->faults.Check(Call::kGetProviderTable, {}); Failed(hr)) return hr;
  std::vector<std::vector<PropValue>> rows;
  {
    std::lock_guard lock(world_->mutex);
    if (!world_->alive) return MAPI_E_END_OF_SESSION;
    for (const auto& service : world_->services) {
      rows.push_back({PropValue::Bin(PR_SERVICE_UID, service.uid),
                      PropValue::String8(PR_SERVICE_NAME, service.name),
                      PropValue::String8(PR_DISPLAY_NAME, service.displayName)});
    }
  }
  return Ok(MakeTable(world_, {}, std::move(rows), {PR_SERVICE_UID, PR_SERVICE_NAME}));
}

Result<bool> MemorySession::CompareEntryIDs(const EntryId& a, const EntryId& b, std::uint32_t) {
  if (HRESULT hr = world_->faults.Check(Call::kCompareEntryIDs, a); Failed(hr)) return hr;
  std::lock_guard lock(world_->mutex);
  return Ok(world_->Permanent(a) == world_->Permanent(b));
}

Result<std::shared_ptr<AddressBook>> MemorySession::OpenAddressBook(std::uint32_t) {
  if (HRESULT hr = world_->faults.Check(Call::kOpenAddressBook, {}); Failed(hr)) return hr;
  return Ok<std::shared_ptr<AddressBook>>(std::make_shared<MemoryAddressBook>(world_));
}

HRESULT MemorySession::DispatchNotifications() {
  std::vector<Notifier*> notifiers;
  {
    std::lock_guard lock(world_->mutex);
    if (!world_->alive) return MAPI_E_END_OF_SESSION;
    for (auto& [id, store] : world_->stores) notifiers.push_back(store.notifier.get());
  }
  for (Notifier* n : notifiers) n->Flush();
  return S_OK;
}

StoreLayout MemorySession::AddStore(const StoreOptions& options) {
  std::lock_guard lock(world_->mutex);
  World& w = *world_;
  std::string uid = NewUid(w, 'S');
  StoreData store;
  store.id = w.NewId(uid, Kind::kStore);
  store.uid = uid;
  store.isDefault = options.isDefault;
  store.largePropertyLimit = options.largePropertyLimit;
  store.shortTermNewMailIds = options.shortTermNewMailIds;
  store.serviceUid = options.serviceUid.empty() ? NewUid(w, 'M') : options.serviceUid;
  store.props[PROP_ID(PR_DISPLAY_NAME)] = PropValue::String8(PR_DISPLAY_NAME, options.displayName);
  store.props[PROP_ID(PR_MDB_PROVIDER)] = PropValue::Bin(PR_MDB_PROVIDER, options.provider);
  if (options.localCopy) {
    store.props[PROP_ID(PR_STORE_LOCAL_COPY)] =
        PropValue::Boolean(PR_STORE_LOCAL_COPY, *options.localCopy);
  }
  if (options.isDefault) {
    for (auto& [id, other] : w.stores) other.isDefault = false;
  }
  bool knownService = false;
  for (const auto& s : w.services) knownService = knownService || s.uid == store.serviceUid;
  if (!knownService) {
    w.services.push_back(ServiceData{store.serviceUid, options.serviceName, options.displayName});
  }
  store.notifier = std::make_unique<Notifier>();
  EntryId id = store.id;
  auto& s = w.stores.emplace(id, std::move(store)).first->second;
  w.storeOrder.push_back(id);

  s.root = w.AddFolder(s, {}, "", "");
  s.ipmSubtree = w.AddFolder(s, s.root, "Top of " + options.displayName, "");
  if (options.standardFolders) {
    s.inbox = w.AddFolder(s, s.ipmSubtree, "Inbox", "IPF.Note");
    s.outbox = w.AddFolder(s, s.ipmSubtree, "Outbox", "IPF.Note");
    s.sentItems = w.AddFolder(s, s.ipmSubtree, "Sent Items", "IPF.Note");
    s.deletedItems = w.AddFolder(s, s.ipmSubtree, "Deleted Items", "IPF.Note");
    s.drafts = w.AddFolder(s, s.ipmSubtree, "Drafts", "IPF.Note");
    s.contacts = w.AddFolder(s, s.ipmSubtree, "Contacts", "IPF.Contact");
    s.receiveFolders = {{"", s.inbox}, {"IPM", s.inbox}};
  }
  return StoreLayout{s.id,        s.root,         s.ipmSubtree, s.inbox,   s.outbox,
                     s.sentItems, s.deletedItems, s.drafts,     s.contacts};
}

void MemorySession::SetProfileName(const std::string& name) {
  std::lock_guard lock(world_->mutex);
  world_->profileName = name;
}

std::string MemorySession::AddService(const std::string& name) {
  std::lock_guard lock(world_->mutex);
  std::string uid = NewUid(*world_, 'M');
  world_->services.push_back(ServiceData{uid, name, name});
  return uid;
}

EntryId MemorySession::AddAbContainer(const std::string& name, bool canCreateEntries) {
  std::lock_guard lock(world_->mutex);
  AbContainerData c;
  c.id = world_->NewId(NewUid(*world_, 'A'), Kind::kAbContainer);
  c.props[PROP_ID(PR_DISPLAY_NAME)] = PropValue::String8(PR_DISPLAY_NAME, name);
  if (canCreateEntries) {
    c.props[PROP_ID(PR_DEF_CREATE_MAILUSER)] =
        PropValue::Bin(PR_DEF_CREATE_MAILUSER, "template:" + std::string(c.id.bytes()));
  }
  EntryId id = c.id;
  world_->abContainerOrder.push_back(id);
  world_->abContainers.emplace(id, std::move(c));
  return id;
}

EntryId MemorySession::AddAbEntry(const EntryId& container, const std::string& displayName,
                                  const std::string& emailAddress, const std::string& addrType,
                                  std::optional<std::string> normalizedName) {
  std::lock_guard lock(world_->mutex);
  AbEntryData e;
  e.id = world_->NewId(NewUid(*world_, 'E'), Kind::kMailUser);
  e.container = container;
  e.props[PROP_ID(PR_DISPLAY_NAME)] = PropValue::String8(PR_DISPLAY_NAME, displayName);
  e.props[PROP_ID(PR_EMAIL_ADDRESS)] = PropValue::String8(PR_EMAIL_ADDRESS, emailAddress);
  e.props[PROP_ID(PR_ADDRTYPE)] = PropValue::String8(PR_ADDRTYPE, addrType);
  if (normalizedName) {
    e.props[PROP_ID(PR_NORMALIZED_SUBJECT)] =
        PropValue::String8(PR_NORMALIZED_SUBJECT, *normalizedName);
  }
  EntryId id = e.id;
  world_->abContainers.at(container).entries.push_back(id);
  world_->abEntries.emplace(id, std::move(e));
  return id;
}

}  // namespace quorvel::mapi::memory
