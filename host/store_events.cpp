#include "host/store_events.h"

#include <map>

#include "mapi/queries.h"

namespace quorvel::host {
namespace {

constexpr std::uint32_t kEventMask = mapi::fnevObjectCreated | mapi::fnevObjectDeleted |
                                     mapi::fnevObjectMoved | mapi::fnevObjectCopied;

}  // namespace

class StoreEvents::Sink final : public mapi::AdviseSink {
 public:
  explicit Sink(EventBus& events) : events_(events) {}
  mapi::HRESULT OnNotify(std::span<const mapi::Notification> batch) override {
    for (const protocol::Event& e : EventsOf(batch)) events_.Publish(e);
    return mapi::S_OK;
  }

 private:
  EventBus& events_;
};

std::vector<protocol::Event> StoreEvents::EventsOf(std::span<const mapi::Notification> batch) {
  std::vector<protocol::Event> out;
  // Messages added and removed per folder, folders in the order first seen.
  std::vector<std::string> order;
  std::map<std::string, std::pair<int, int>> counts;
  auto count = [&](const mapi::EntryId& folder, int added, int removed) {
    if (!folder.present()) return;
    const std::string id = folder.ToHex();
    auto [it, fresh] = counts.try_emplace(id, 0, 0);
    if (fresh) order.push_back(id);
    it->second.first += added;
    it->second.second += removed;
  };
  for (const mapi::Notification& n : batch) {
    if (n.objectType != mapi::MAPI_MESSAGE) continue;
    switch (n.eventType) {
      case mapi::fnevObjectCreated:
      case mapi::fnevObjectCopied:
        count(n.parentId, 1, 0);
        break;
      case mapi::fnevObjectDeleted:
        count(n.parentId, 0, 1);
        break;
      case mapi::fnevObjectMoved:
        count(n.oldParentId, 0, 1);
        count(n.parentId, 1, 0);
        break;
      default:
        break;
    }
  }
  for (const std::string& folder : order) {
    const auto [added, removed] = counts[folder];
    out.push_back({"folder-changed",
                   {{"folder", folder},
                    {"added", std::to_string(added)},
                    {"removed", std::to_string(removed)}}});
  }
  return out;
}

StoreEvents::StoreEvents(std::shared_ptr<mapi::MsgStore> store, std::string name, EventBus& events)
    : store_(std::move(store)) {
  events.Publish({"store", {{"state", "connected"}, {"store", std::move(name)}}});
  auto connection = store_->Advise(mapi::EntryId(), kEventMask, std::make_shared<Sink>(events));
  if (connection.ok()) connection_ = *connection;
}

StoreEvents::~StoreEvents() {
  if (connection_ != 0) store_->Unadvise(connection_);
}

std::unique_ptr<StoreEvents> WatchDefaultStore(NameSpace& nameSpace, EventBus& events) {
  auto inbox = nameSpace.GetDefaultFolder(olFolderInbox);
  if (!inbox.ok() || !inbox.value) return nullptr;
  std::optional<mapi::EntryId> storeId = mapi::EntryId::FromHex(inbox.value->StoreID());
  auto session = nameSpace.MAPIOBJECT();
  if (!storeId || !session) return nullptr;
  auto store = session->OpenMsgStore(*storeId, mapi::MDB_NO_DIALOG | mapi::MAPI_BEST_ACCESS);
  if (!store.ok() || !store.value) return nullptr;
  std::string name = nameSpace.CurrentProfileName();
  if (auto display = mapi::HrGetOneProp(**store, mapi::PR_DISPLAY_NAME); display.ok()) {
    if (const std::string* text = display->AsString8()) name = *text;
  }
  return std::make_unique<StoreEvents>(std::move(store.value), std::move(name), events);
}

}  // namespace quorvel::host
