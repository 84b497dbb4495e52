#include <algorithm>

#include "mapi/memory/objects.h"
#include "platform/code_page.h"

namespace quorvel::mapi::memory {
namespace {

const std::vector<PropTag> kContentsColumns = {PR_ENTRYID, PR_OBJECT_TYPE, PR_MESSAGE_CLASS,
                                               PR_SUBJECT, PR_SENDER_NAME, PR_MESSAGE_FLAGS};
const std::vector<PropTag> kHierarchyColumns = {PR_ENTRYID,       PR_OBJECT_TYPE, PR_DISPLAY_NAME,
                                                PR_CONTENT_COUNT, PR_SUBFOLDERS,  PR_DEPTH};

Notification Event(std::uint32_t type, const EntryId& id, const EntryId& parent,
                   std::uint32_t objectType) {
  Notification n;
  n.eventType = type;
  n.entryId = id;
  n.parentId = parent;
  n.objectType = objectType;
  return n;
}

// Removes a folder, its subfolders and their messages. REQUIRES: world.mutex held.
void EraseFolderTree(World& world, const EntryId& id, std::vector<Notification>& events) {
  auto it = world.folders.find(id);
  if (it == world.folders.end()) return;
  FolderData folder = std::move(it->second);
  world.folders.erase(it);
  for (const auto& sub : folder.subfolders) EraseFolderTree(world, sub, events);
  for (const auto& message : folder.messages) world.messages.erase(message);
  events.push_back(Event(fnevObjectDeleted, id, folder.parent, MAPI_FOLDER));
}

void AddHierarchyRows(World& world, const FolderData& folder, std::int32_t depth, bool deep,
                      std::vector<std::vector<PropValue>>& rows) {
  for (const auto& subId : folder.subfolders) {
    auto sub = world.folders.find(subId);
    if (sub == world.folders.end()) continue;
    PropMap props = world.FolderProps(sub->second);
    props[PROP_ID(PR_DEPTH)] = PropValue::Long(PR_DEPTH, depth);
    rows.push_back(RowOf(props));
    if (deep) AddHierarchyRows(world, sub->second, depth + 1, deep, rows);
  }
}

}  // namespace

MemoryFolder::MemoryFolder(std::shared_ptr<World> world, EntryId id)
    : PropObject(std::move(world), std::move(id)) {}

Result<PropMap> MemoryFolder::Snapshot() {
  std::lock_guard lock(world_->mutex);
  auto it = world_->folders.find(target_);
  if (it == world_->folders.end()) return MAPI_E_OBJECT_DELETED;
  PropMap props = world_->FolderProps(it->second);
  const StoreData& store = world_->stores.at(it->second.store);
  if (target_ == store.inbox || target_ == store.root) {
    if (store.contacts.present()) {
      props[PROP_ID(PR_IPM_CONTACT_ENTRYID)] =
          PropValue::Id(PR_IPM_CONTACT_ENTRYID, store.contacts);
    }
    if (store.drafts.present()) {
      props[PROP_ID(PR_IPM_DRAFTS_ENTRYID)] = PropValue::Id(PR_IPM_DRAFTS_ENTRYID, store.drafts);
    }
  }
  return Ok(std::move(props));
}

HRESULT MemoryFolder::Edit(const std::function<void(PropMap&)>& edit) {
  std::lock_guard lock(world_->mutex);
  auto it = world_->folders.find(target_);
  if (it == world_->folders.end()) return MAPI_E_OBJECT_DELETED;
  edit(it->second.props);
  return S_OK;
}

HRESULT MemoryFolder::SaveChanges(std::uint32_t) { return Check(Call::kSaveChanges); }

Result<std::shared_ptr<Table>> MemoryFolder::GetContentsTable(std::uint32_t flags) {
  if (HRESULT hr = Check(Call::kGetContentsTable); Failed(hr)) return hr;
  std::vector<std::vector<PropValue>> rows;
  {
    std::lock_guard lock(world_->mutex);
    auto it = world_->folders.find(target_);
    if (it == world_->folders.end()) return MAPI_E_OBJECT_DELETED;
    if ((flags & MAPI_ASSOCIATED) == 0) {
      for (const auto& id : it->second.messages) {
        rows.push_back(RowOf(world_->MessageProps(world_->messages.at(id))));
      }
    }
  }
  return Ok(MakeTable(world_, target_, std::move(rows), kContentsColumns));
}

Result<std::shared_ptr<Table>> MemoryFolder::GetHierarchyTable(std::uint32_t flags) {
  if (HRESULT hr = Check(Call::kGetHierarchyTable); Failed(hr)) return hr;
  std::vector<std::vector<PropValue>> rows;
  {
    std::lock_guard lock(world_->mutex);
    auto it = world_->folders.find(target_);
    if (it == world_->folders.end()) return MAPI_E_OBJECT_DELETED;
    AddHierarchyRows(*world_, it->second, 1, (flags & CONVENIENT_DEPTH) != 0, rows);
  }
  return Ok(MakeTable(world_, target_, std::move(rows), kHierarchyColumns));
}

Result<std::shared_ptr<Message>> MemoryFolder::CreateMessage(std::uint32_t flags) {
  if (HRESULT hr = Check(Call::kCreateMessage); Failed(hr)) return hr;
  MessageData data;
  {
    std::lock_guard lock(world_->mutex);
    auto it = world_->folders.find(target_);
    if (it == world_->folders.end()) return MAPI_E_OBJECT_DELETED;
    const StoreData& store = world_->stores.at(it->second.store);
    data.id = world_->NewId(store.uid, Kind::kMessage);
    data.parent = target_;
    data.store = store.id;
  }
  std::int32_t initial = (flags & kDeliverAsNewMail) ? 0 : (MSGFLAG_UNSENT | MSGFLAG_READ);
  data.props[PROP_ID(PR_MESSAGE_FLAGS)] = PropValue::Long(PR_MESSAGE_FLAGS, initial);
  return Ok<std::shared_ptr<Message>>(
      std::make_shared<MemoryMessage>(world_, std::move(data), true, flags));
}

HRESULT MemoryFolder::CopyMessages(std::span<const EntryId> ids, Folder& destination,
                                   std::uint32_t flags) {
  if (HRESULT hr = Check(Call::kCopyMessages); Failed(hr)) return hr;
  auto* dest = dynamic_cast<MemoryFolder*>(&destination);
  if (dest == nullptr) return MAPI_E_NO_SUPPORT;
  std::lock_guard lock(world_->mutex);
  auto src = world_->folders.find(target_);
  auto dst = world_->folders.find(dest->id());
  if (src == world_->folders.end() || dst == world_->folders.end()) return MAPI_E_NOT_FOUND;
  const EntryId srcStore = src->second.store;
  const EntryId dstStore = dst->second.store;
  const std::string dstUid = world_->stores.at(dstStore).uid;
  std::vector<Notification> srcEvents, dstEvents;
  bool missing = false;
  const bool move = (flags & MESSAGE_MOVE) != 0;
  for (const auto& id : ids) {
    auto& list = src->second.messages;
    auto pos = std::find(list.begin(), list.end(), id);
    if (pos == list.end()) {
      missing = true;
      continue;
    }
    if (move && dest->id() == target_) continue;  // already there
    MessageData& message = world_->messages.at(id);
    if (move && srcStore == dstStore) {
      list.erase(pos);
      message.parent = dest->id();
      dst->second.messages.push_back(id);
      Notification n = Event(fnevObjectMoved, id, dest->id(), MAPI_MESSAGE);
      n.oldId = id;
      n.oldParentId = target_;
      srcEvents.push_back(std::move(n));
      continue;
    }
    MessageData copy = message;
    copy.id = world_->NewId(dstUid, Kind::kMessage);
    copy.parent = dest->id();
    copy.store = dstStore;
    dst->second.messages.push_back(copy.id);
    if (move) {
      list.erase(pos);
      world_->messages.erase(id);
      srcEvents.push_back(Event(fnevObjectDeleted, id, target_, MAPI_MESSAGE));
      dstEvents.push_back(Event(fnevObjectCreated, copy.id, dest->id(), MAPI_MESSAGE));
    } else {
      Notification n = Event(fnevObjectCopied, copy.id, dest->id(), MAPI_MESSAGE);
      n.oldId = id;
      n.oldParentId = target_;
      dstEvents.push_back(std::move(n));
    }
    world_->messages.emplace(copy.id, std::move(copy));
  }
  world_->Notify(srcStore, srcEvents);
  world_->Notify(dstStore, dstEvents);
  return missing ? MAPI_W_PARTIAL_COMPLETION : S_OK;
}

HRESULT MemoryFolder::DeleteMessages(std::span<const EntryId> ids, std::uint32_t) {
  if (HRESULT hr = Check(Call::kDeleteMessages); Failed(hr)) return hr;
  std::lock_guard lock(world_->mutex);
  auto folder = world_->folders.find(target_);
  if (folder == world_->folders.end()) return MAPI_E_OBJECT_DELETED;
  std::vector<Notification> events;
  bool missing = false;
  for (const auto& id : ids) {
    auto& list = folder->second.messages;
    auto pos = std::find(list.begin(), list.end(), id);
    if (pos == list.end()) {
      missing = true;
      continue;
    }
    list.erase(pos);
    world_->messages.erase(id);
    events.push_back(Event(fnevObjectDeleted, id, target_, MAPI_MESSAGE));
  }
  world_->Notify(folder->second.store, events);
  return missing ? MAPI_W_PARTIAL_COMPLETION : S_OK;
}

Result<std::shared_ptr<Folder>> MemoryFolder::CreateFolder(std::uint32_t, const std::string& name,
                                                           const std::string& comment,
                                                           std::uint32_t flags) {
  if (HRESULT hr = Check(Call::kCreateFolder); Failed(hr)) return hr;
  if (name.empty()) return MAPI_E_INVALID_PARAMETER;
  EntryId id;
  {
    std::lock_guard lock(world_->mutex);
    auto parent = world_->folders.find(target_);
    if (parent == world_->folders.end()) return MAPI_E_OBJECT_DELETED;
    for (const auto& subId : parent->second.subfolders) {
      const FolderData& sub = world_->folders.at(subId);
      auto subName = sub.props.find(PROP_ID(PR_DISPLAY_NAME));
      if (subName != sub.props.end() && subName->second.AsString8() &&
          platform::EqualsNoCase(*subName->second.AsString8(), name)) {
        if ((flags & OPEN_IF_EXISTS) == 0) return MAPI_E_COLLISION;
        id = subId;
      }
    }
    if (!id.present()) {
      auto cls = parent->second.props.find(PROP_ID(PR_CONTAINER_CLASS));
      std::string containerClass = cls != parent->second.props.end() && cls->second.AsString8()
                                       ? *cls->second.AsString8()
                                       : "IPF.Note";
      StoreData& store = world_->stores.at(parent->second.store);
      id = world_->AddFolder(store, target_, name, containerClass);
      if (!comment.empty()) {
        world_->folders.at(id).props[PROP_ID(PR_COMMENT)] = PropValue::String8(PR_COMMENT, comment);
      }
      world_->Notify(store.id, {Event(fnevObjectCreated, id, target_, MAPI_FOLDER)});
    }
  }
  return Ok<std::shared_ptr<Folder>>(std::make_shared<MemoryFolder>(world_, id));
}

HRESULT MemoryFolder::DeleteFolder(const EntryId& subfolder, std::uint32_t flags) {
  if (HRESULT hr = Check(Call::kDeleteFolder); Failed(hr)) return hr;
  std::lock_guard lock(world_->mutex);
  auto parent = world_->folders.find(target_);
  if (parent == world_->folders.end()) return MAPI_E_OBJECT_DELETED;
  auto& subs = parent->second.subfolders;
  auto pos = std::find(subs.begin(), subs.end(), subfolder);
  if (pos == subs.end()) return MAPI_E_NOT_FOUND;
  const FolderData& sub = world_->folders.at(subfolder);
  if (!sub.subfolders.empty() && (flags & DEL_FOLDERS) == 0) return MAPI_E_HAS_FOLDERS;
  if (!sub.messages.empty() && (flags & DEL_MESSAGES) == 0) return MAPI_E_HAS_MESSAGES;
  subs.erase(pos);
  std::vector<Notification> events;
  EntryId store = parent->second.store;
  EraseFolderTree(*world_, subfolder, events);
  world_->Notify(store, events);
  return S_OK;
}

}  // namespace quorvel::mapi::memory
