#include "outlook/store_watcher.h"

#include <set>
#include <string>

#include "mapi/queries.h"

namespace quorvel::outlook {
namespace {

using mapi::EntryId;

// What the stores hold: forwards to the watcher while it lives.
class ForwardingSink final : public mapi::AdviseSink {
 public:
  explicit ForwardingSink(std::weak_ptr<StoreWatcher> watcher) : watcher_(std::move(watcher)) {}
  mapi::HRESULT OnNotify(std::span<const mapi::Notification> notifications) override {
    if (auto watcher = watcher_.lock()) watcher->OnNotify(notifications);
    return mapi::S_OK;
  }

 private:
  std::weak_ptr<StoreWatcher> watcher_;
};

// The services whose stores are always watched.
bool IsWatchedService(std::string_view name) { return name == "INTERSTOR" || name == "MSN_CON"; }

EntryId IdOf(mapi::Session& session, const EntryId& id) {
  auto opened = session.OpenEntry(id, mapi::MAPI_BEST_ACCESS);
  if (!opened.ok() || !opened->object) return {};
  auto value = mapi::HrGetOneProp(*opened->object, mapi::PR_ENTRYID);
  return value.ok() ? value->AsEntryId() : EntryId();
}

std::shared_ptr<mapi::Message> OpenMessage(mapi::Session& session, const EntryId& id) {
  auto opened = session.OpenEntry(id, mapi::MAPI_BEST_ACCESS);
  if (!opened.ok() || opened->objectType != mapi::MAPI_MESSAGE) return nullptr;
  return opened->As<mapi::Message>();
}

}  // namespace

StoreWatcher::StoreWatcher(PendingQueue& queue, SentMailRecorder& recorder,
                           const platform::Clock& clock)
    : queue_(queue),
      recorder_(recorder),
      exchangeFolders_(true, clock),
      localFolders_(false, clock) {}

StoreWatcher::~StoreWatcher() { UnadviseStores(); }

std::shared_ptr<mapi::Session> StoreWatcher::session() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return session_;
}

std::size_t StoreWatcher::RegistrationCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return registrations_.size();
}

mapi::HRESULT StoreWatcher::AdviseStores(std::shared_ptr<mapi::Session> session) {
  // The services whose non-default stores are watched too.
  std::set<std::string> services;
  bool providersRead = false;
  if (auto providers = session->GetProviderTable(0); providers.ok()) {
    const mapi::PropTag columns[] = {mapi::PR_SERVICE_UID, mapi::PR_SERVICE_NAME};
    if (auto rows = mapi::HrQueryAllRows(**providers, columns, std::nullopt); rows.ok()) {
      providersRead = true;
      for (const mapi::Row& row : *rows) {
        if (!IsWatchedService(mapi::GetString8(row, mapi::PR_SERVICE_NAME))) continue;
        const mapi::PropValue* uid = mapi::FindProp(row, mapi::PR_SERVICE_UID);
        if (uid && uid->AsBinary()) services.insert(uid->AsBinary()->bytes);
      }
    }
  }
  auto table = session->GetMsgStoresTable(0);
  if (!table.ok()) return table.hr;
  const mapi::PropTag columns[] = {mapi::PR_ENTRYID, mapi::PR_DEFAULT_STORE, mapi::PR_MDB_PROVIDER,
                                   mapi::PR_SERVICE_UID};
  auto rows = mapi::HrQueryAllRows(**table, columns, std::nullopt);
  if (!rows.ok()) return rows.hr;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    session_ = session;
  }
  auto sink = std::make_shared<ForwardingSink>(weak_from_this());
  for (const mapi::Row& row : *rows) {
    EntryId storeId = mapi::GetEntryId(row, mapi::PR_ENTRYID);
    if (!storeId.present()) continue;
    bool isDefault = mapi::GetBoolean(row, mapi::PR_DEFAULT_STORE);
    bool exchange = IsExchangeStore(row);
    std::uint32_t mask;
    if (exchange) {
      if (!isDefault) continue;  // a second mailbox is not watched
      mask = kExchangeEventMask;
    } else {
      const mapi::PropValue* uid = mapi::FindProp(row, mapi::PR_SERVICE_UID);
      bool watchedService = uid && uid->AsBinary() && services.count(uid->AsBinary()->bytes);
      if (!isDefault && providersRead && !watchedService) continue;
      mask = kLocalEventMask;
    }
    auto store = session->OpenMsgStore(
        storeId, mapi::MDB_NO_DIALOG | mapi::MDB_NO_MAIL | mapi::MAPI_BEST_ACCESS);
    if (!store.ok() || !*store) continue;
    if (exchange) {
      auto local = mapi::HrGetOneProp(**store, mapi::PR_STORE_LOCAL_COPY);
      if (local.ok() && local->AsBoolean() && *local->AsBoolean()) mask = kLocalEventMask;
    }
    auto connection = (*store)->Advise(EntryId(), mask, sink);
    if (!connection.ok()) continue;
    std::lock_guard<std::mutex> lock(mutex_);
    registrations_.push_back({*store, *connection});
  }
  return mapi::S_OK;
}

void StoreWatcher::UnadviseStores() {
  std::vector<Registration> registrations;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    registrations.swap(registrations_);
    session_.reset();
  }
  for (Registration& r : registrations) r.store->Unadvise(r.connection);
}

mapi::HRESULT StoreWatcher::OnNotify(std::span<const mapi::Notification> notifications) {
  auto s = session();
  if (!s) return mapi::S_OK;
  for (const mapi::Notification& n : notifications) Handle(*s, n);
  return mapi::S_OK;
}

void StoreWatcher::Handle(mapi::Session& session, const mapi::Notification& n) {
  EntryId messageId = n.entryId;
  EntryId parentId = n.parentId;
  switch (n.eventType) {
    case mapi::fnevNewMail: {
      // New-mail events may carry short-term ids: take the permanent ones.
      if (EntryId parent = IdOf(session, parentId); parent.present()) {
        parentId = parent;
        if (EntryId message = IdOf(session, messageId); message.present()) messageId = message;
      }
      if (exchangeFolders_.Kind(parentId, session) != FolderKind::kReceive) return;
      queue_.Enqueue(parentId, messageId, kOriginNotification);
      if (auto message = OpenMessage(session, messageId)) {
        auto to = mapi::HrGetOneProp(*message, mapi::PR_DISPLAY_TO);
        if (to.ok() && to->AsString8()) recorder_.RecordOwnName(*to->AsString8());
      }
      return;
    }
    case mapi::fnevObjectCreated: {
      if (n.objectType != mapi::MAPI_MESSAGE) return;
      FolderKind kind = localFolders_.Kind(parentId, session);
      if (kind == FolderKind::kReceive) {
        queue_.Enqueue(parentId, messageId, kOriginNotification);
      } else if (kind == FolderKind::kSentItems) {
        // A mail program that keeps its own copy of sent mail writes it straight into
        // Sent Items rather than moving it there from the Outbox.
        if (auto message = OpenMessage(session, messageId)) recorder_.RecordSentMessage(*message);
      } else if (moves_) {
        moves_->OnCreatedElsewhere(session, n);  // a copy into or out of the spam folder
      }
      return;
    }
    case mapi::fnevObjectMoved: {
      if (n.objectType != mapi::MAPI_MESSAGE) return;
      if (localFolders_.Kind(parentId, session) == FolderKind::kSentItems) {
        if (auto message = OpenMessage(session, messageId)) recorder_.RecordSentMessage(*message);
        return;
      }
      queue_.NoteMoved(messageId, parentId, n.oldId);
      if (moves_) moves_->OnMoved(session, n);
      return;
    }
    default:
      return;
  }
}

}  // namespace quorvel::outlook
