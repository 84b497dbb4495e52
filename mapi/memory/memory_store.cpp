#include <algorithm>

#include "mapi/memory/objects.h"
#include "platform/code_page.h"

namespace quorvel::mapi::memory {
namespace {

// Whether a receive-folder row for `rowClass` covers `messageClass`: "" covers every
// class, otherwise the class itself and its subclasses ("IPM" covers "IPM.Note").
bool Covers(std::string_view rowClass, std::string_view messageClass) {
  if (rowClass.empty()) return true;
  if (messageClass.size() < rowClass.size()) return false;
  if (!platform::EqualsNoCase(messageClass.substr(0, rowClass.size()), rowClass)) return false;
  return messageClass.size() == rowClass.size() || messageClass[rowClass.size()] == '.';
}

}  // namespace

Result<OpenedEntry> OpenWorldEntry(const std::shared_ptr<World>& world, const EntryId& requested) {
  std::unique_lock lock(world->mutex);
  if (!world->alive) return MAPI_E_END_OF_SESSION;
  const EntryId id = world->Permanent(requested);
  if (world->folders.contains(id)) {
    lock.unlock();
    return Ok(OpenedEntry{MAPI_FOLDER, std::make_shared<MemoryFolder>(world, id)});
  }
  if (auto it = world->messages.find(id); it != world->messages.end()) {
    MessageData copy = it->second;
    lock.unlock();
    return Ok(OpenedEntry{MAPI_MESSAGE,
                          std::make_shared<MemoryMessage>(world, std::move(copy), false, 0)});
  }
  if (world->stores.contains(id)) {
    lock.unlock();
    return Ok(OpenedEntry{MAPI_STORE, std::make_shared<MemoryStore>(world, id)});
  }
  return id.empty() ? MAPI_E_INVALID_ENTRYID : MAPI_E_NOT_FOUND;
}

MemoryStore::MemoryStore(std::shared_ptr<World> world, EntryId id)
    : PropObject(std::move(world), std::move(id)) {}

Result<PropMap> MemoryStore::Snapshot() {
  std::lock_guard lock(world_->mutex);
  auto it = world_->stores.find(target_);
  if (it == world_->stores.end()) return MAPI_E_OBJECT_DELETED;
  return Ok(world_->StoreProps(it->second));
}

HRESULT MemoryStore::Edit(const std::function<void(PropMap&)>& edit) {
  std::lock_guard lock(world_->mutex);
  auto it = world_->stores.find(target_);
  if (it == world_->stores.end()) return MAPI_E_OBJECT_DELETED;
  edit(it->second.props);
  return S_OK;
}

HRESULT MemoryStore::SaveChanges(std::uint32_t) { return Check(Call::kSaveChanges); }

Result<OpenedEntry> MemoryStore::OpenEntry(const EntryId& id, std::uint32_t) {
  if (HRESULT hr = Check(Call::kStoreOpenEntry); Failed(hr)) return hr;
  EntryId wanted = id;
  {
    std::lock_guard lock(world_->mutex);
    const StoreData& store = world_->stores.at(target_);
    if (id.empty()) {
      wanted = store.root;
    } else {
      wanted = world_->Permanent(id);
      auto folder = world_->folders.find(wanted);
      auto message = world_->messages.find(wanted);
      bool ours = (folder != world_->folders.end() && folder->second.store == target_) ||
                  (message != world_->messages.end() && message->second.store == target_);
      if (!ours) return MAPI_E_NOT_FOUND;
    }
  }
  return OpenWorldEntry(world_, wanted);
}

Result<std::shared_ptr<Table>> MemoryStore::GetReceiveFolderTable(std::uint32_t) {
  if (HRESULT hr = Check(Call::kGetReceiveFolderTable); Failed(hr)) return hr;
  std::vector<std::vector<PropValue>> rows;
  {
    std::lock_guard lock(world_->mutex);
    for (const auto& [cls, folder] : world_->stores.at(target_).receiveFolders) {
      rows.push_back({PropValue::Id(PR_ENTRYID, folder), PropValue::String8(PR_MESSAGE_CLASS, cls),
                      PropValue::Bin(PR_RECORD_KEY, std::string(folder.bytes()))});
    }
  }
  return Ok(MakeTable(world_, target_, std::move(rows), {PR_ENTRYID, PR_MESSAGE_CLASS}));
}

Result<ReceiveFolder> MemoryStore::GetReceiveFolder(std::string_view messageClass, std::uint32_t) {
  if (HRESULT hr = Check(Call::kGetReceiveFolder); Failed(hr)) return hr;
  std::lock_guard lock(world_->mutex);
  const std::pair<std::string, EntryId>* best = nullptr;
  for (const auto& row : world_->stores.at(target_).receiveFolders) {
    if (Covers(row.first, messageClass) && (!best || row.first.size() > best->first.size())) {
      best = &row;
    }
  }
  if (!best) return MAPI_E_NOT_FOUND;
  return Ok(ReceiveFolder{best->second, best->first});
}

HRESULT MemoryStore::SetReceiveFolder(std::string_view messageClass, const EntryId& folder,
                                      std::uint32_t) {
  if (HRESULT hr = Check(Call::kSetReceiveFolder); Failed(hr)) return hr;
  std::lock_guard lock(world_->mutex);
  auto& rows = world_->stores.at(target_).receiveFolders;
  std::erase_if(rows,
                [&](const auto& row) { return platform::EqualsNoCase(row.first, messageClass); });
  if (folder.empty()) return S_OK;
  if (!world_->folders.contains(folder)) return MAPI_E_NOT_FOUND;
  rows.emplace_back(std::string(messageClass), folder);
  return S_OK;
}

Result<std::uint32_t> MemoryStore::Advise(const EntryId& id, std::uint32_t eventMask,
                                          std::shared_ptr<AdviseSink> sink) {
  if (HRESULT hr = Check(Call::kAdvise); Failed(hr)) return hr;
  if (!sink || eventMask == 0) return MAPI_E_INVALID_PARAMETER;
  std::lock_guard lock(world_->mutex);
  std::uint32_t connection = world_->nextConnection++;
  world_->stores.at(target_).advises[connection] = AdviseData{id, eventMask, std::move(sink)};
  return Ok(connection);
}

HRESULT MemoryStore::Unadvise(std::uint32_t connection) {
  if (HRESULT hr = Check(Call::kUnadvise); Failed(hr)) return hr;
  Notifier* notifier = nullptr;
  std::shared_ptr<AdviseSink> sink;  // released after the lock
  {
    std::lock_guard lock(world_->mutex);
    StoreData& store = world_->stores.at(target_);
    auto it = store.advises.find(connection);
    if (it == store.advises.end()) return MAPI_E_NOT_FOUND;
    sink = std::move(it->second.sink);
    store.advises.erase(it);
    notifier = store.notifier.get();
  }
  if (notifier) notifier->Cancel(connection);
  return S_OK;
}

Result<bool> MemoryStore::CompareEntryIDs(const EntryId& a, const EntryId& b, std::uint32_t) {
  if (HRESULT hr = Check(Call::kCompareEntryIDs); Failed(hr)) return hr;
  std::lock_guard lock(world_->mutex);
  return Ok(world_->Permanent(a) == world_->Permanent(b));
}

}  // namespace quorvel::mapi::memory
