#include "mapi/memory/world.h"

#include <algorithm>

namespace quorvel::mapi::memory {
namespace {

constexpr std::size_t kUidOffset = 4;
constexpr std::size_t kKindOffset = kUidOffset + 16;
constexpr std::size_t kIdSize = kKindOffset + 1 + 8;

void Put(PropMap& props, PropValue v) { props[v.id()] = std::move(v); }

bool Concerns(const AdviseData& advise, const Notification& n) {
  if ((advise.eventMask & n.eventType) == 0) return false;
  if (!advise.target.present()) return true;
  return advise.target == n.entryId || advise.target == n.parentId || advise.target == n.oldId ||
         advise.target == n.oldParentId;
}

}  // namespace

EntryId World::NewId(const std::string& storeUid, Kind kind) {
  std::string bytes(kIdSize, '\0');
  std::copy(storeUid.begin(), storeUid.end(), bytes.begin() + kUidOffset);
  bytes[kKindOffset] = static_cast<char>(kind);
  std::uint64_t serial = nextSerial++;
  for (int i = 0; i < 8; ++i) {
    bytes[kKindOffset + 1 + i] = static_cast<char>((serial >> (8 * i)) & 0xFF);
  }
  return EntryId(std::move(bytes));
}

std::uint8_t World::KindOf(const EntryId& id) {
  if (id.size() != kIdSize) return 0;
  return static_cast<std::uint8_t>(id.bytes()[kKindOffset]);
}

PropMap World::StoreProps(const StoreData& store) const {
  PropMap p = store.props;
  Put(p, PropValue::Id(PR_ENTRYID, store.id));
  Put(p, PropValue::Id(PR_STORE_ENTRYID, store.id));
  Put(p, PropValue::Bin(PR_RECORD_KEY, store.uid));
  Put(p, PropValue::Long(PR_OBJECT_TYPE, MAPI_STORE));
  Put(p, PropValue::Boolean(PR_DEFAULT_STORE, store.isDefault));
  Put(p, PropValue::Bin(PR_SERVICE_UID, store.serviceUid));
  Put(p, PropValue::Long(PR_RESOURCE_TYPE, MAPI_STORE_PROVIDER));
  const std::pair<PropTag, const EntryId*> folderIds[] = {
      {PR_IPM_SUBTREE_ENTRYID, &store.ipmSubtree},
      {PR_IPM_OUTBOX_ENTRYID, &store.outbox},
      {PR_IPM_SENTMAIL_ENTRYID, &store.sentItems},
      {PR_IPM_WASTEBASKET_ENTRYID, &store.deletedItems}};
  for (const auto& [tag, id] : folderIds) {
    if (id->present()) Put(p, PropValue::Id(tag, *id));
  }
  return p;
}

PropMap World::FolderProps(const FolderData& folder) const {
  PropMap p = folder.props;
  Put(p, PropValue::Id(PR_ENTRYID, folder.id));
  Put(p, PropValue::Id(PR_PARENT_ENTRYID, folder.parent.present() ? folder.parent : folder.id));
  Put(p, PropValue::Id(PR_STORE_ENTRYID, folder.store));
  Put(p, PropValue::Bin(PR_RECORD_KEY, std::string(folder.id.bytes())));
  Put(p, PropValue::Long(PR_OBJECT_TYPE, MAPI_FOLDER));
  Put(p, PropValue::Long(PR_FOLDER_TYPE, folder.parent.present() ? FOLDER_GENERIC : 0));
  std::int32_t unread = 0;
  for (const auto& id : folder.messages) {
    auto it = messages.find(id);
    if (it == messages.end()) continue;
    auto flags = it->second.props.find(PROP_ID(PR_MESSAGE_FLAGS));
    const std::int32_t* l = flags == it->second.props.end() ? nullptr : flags->second.AsLong();
    if (!l || (*l & MSGFLAG_READ) == 0) ++unread;
  }
  Put(p, PropValue::Long(PR_CONTENT_COUNT, static_cast<std::int32_t>(folder.messages.size())));
  Put(p, PropValue::Long(PR_CONTENT_UNREAD, unread));
  Put(p, PropValue::Boolean(PR_SUBFOLDERS, !folder.subfolders.empty()));
  return p;
}

PropMap World::MessageProps(const MessageData& message) const {
  PropMap p = message.props;
  Put(p, PropValue::Id(PR_ENTRYID, message.id));
  Put(p, PropValue::Id(PR_PARENT_ENTRYID, message.parent));
  Put(p, PropValue::Id(PR_STORE_ENTRYID, message.store));
  Put(p, PropValue::Bin(PR_RECORD_KEY, std::string(message.id.bytes())));
  Put(p, PropValue::Long(PR_OBJECT_TYPE, MAPI_MESSAGE));
  Put(p, PropValue::Boolean(PR_HASATTACH, !message.attachments.empty()));
  if (!p.contains(PROP_ID(PR_MESSAGE_FLAGS))) Put(p, PropValue::Long(PR_MESSAGE_FLAGS, 0));
  return p;
}

void World::Notify(const EntryId& storeId, const std::vector<Notification>& notifications) {
  auto it = stores.find(storeId);
  if (it == stores.end() || !it->second.notifier) return;
  for (const auto& [connection, advise] : it->second.advises) {
    std::vector<Notification> batch;
    for (const auto& n : notifications) {
      if (Concerns(advise, n)) batch.push_back(n);
    }
    if (!batch.empty()) it->second.notifier->Post(connection, advise.sink, std::move(batch));
  }
}

EntryId World::Permanent(const EntryId& id) const {
  auto it = shortTermIds.find(id);
  return it == shortTermIds.end() ? id : it->second;
}

EntryId World::ShortTerm(const EntryId& id) {
  EntryId alias(std::string("ST") + std::string(id.bytes()));
  shortTermIds[alias] = id;
  return alias;
}

EntryId World::AddFolder(StoreData& store, const EntryId& parent, const std::string& name,
                         const std::string& containerClass) {
  FolderData folder;
  folder.id = NewId(store.uid, Kind::kFolder);
  folder.parent = parent;
  folder.store = store.id;
  Put(folder.props, PropValue::String8(PR_DISPLAY_NAME, name));
  if (!containerClass.empty()) {
    Put(folder.props, PropValue::String8(PR_CONTAINER_CLASS, containerClass));
  }
  EntryId id = folder.id;
  if (parent.present()) folders[parent].subfolders.push_back(id);
  folders.emplace(id, std::move(folder));
  return id;
}

}  // namespace quorvel::mapi::memory
