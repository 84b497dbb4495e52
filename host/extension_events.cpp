#include "host/extension_events.h"

#include "mapi/notification.h"

namespace quorvel::host {
namespace {

// What the extension may ask about the event in hand.
class EventCallback final : public ExchExtCallback {
 public:
  EventCallback(std::shared_ptr<mapi::Session> session, Object object)
      : session_(std::move(session)), object_(std::move(object)) {}

  mapi::Result<std::uint32_t> GetVersion(std::uint32_t flags) override {
    if (flags != EECBGV_GETBUILDVERSION) return mapi::MAPI_E_NO_SUPPORT;
    return mapi::Ok(kHostBuildVersion);
  }
  mapi::Result<std::shared_ptr<mapi::Session>> GetSession() override {
    if (!session_) return mapi::MAPI_E_NOT_FOUND;
    return mapi::Ok(session_);
  }
  mapi::Result<Object> GetObject() override {
    if (!object_.message) return mapi::MAPI_E_NOT_FOUND;
    return mapi::Ok(object_);
  }
  mapi::Result<std::shared_ptr<mapi::Table>> GetRecipients() override {
    if (!object_.message) return mapi::MAPI_E_NOT_FOUND;
    return object_.message->GetRecipientTable(0);
  }

 private:
  std::shared_ptr<mapi::Session> session_;
  Object object_;
};

class Sink final : public mapi::AdviseSink {
 public:
  explicit Sink(std::weak_ptr<ExtensionEvents> events) : events_(std::move(events)) {}
  mapi::HRESULT OnNotify(std::span<const mapi::Notification> notifications) override {
    auto events = events_.lock();
    if (!events) return mapi::S_OK;
    for (const mapi::Notification& n : notifications) events->Raise(n);
    return mapi::S_OK;
  }

 private:
  std::weak_ptr<ExtensionEvents> events_;
};

constexpr std::uint32_t kContexts[] = {EECONTEXT_SESSION, EECONTEXT_SENDNOTEMESSAGE,
                                       EECONTEXT_SENDPOSTMESSAGE, EECONTEXT_SENDRESENDMESSAGE};

}  // namespace

std::shared_ptr<ExtensionEvents> ExtensionEvents::Start(std::shared_ptr<ClientExtension> extension,
                                                        Places places) {
  std::shared_ptr<ExtensionEvents> events(
      new ExtensionEvents(std::move(extension), std::move(places)));
  if (!events->extension_) return events;
  for (std::uint32_t context : kContexts) {
    EventCallback callback(events->places_.session, {});
    if (events->extension_->Install(callback, context, 0) == mapi::S_OK) {
      events->installed_.insert(context);
    }
  }
  bool delivery = events->Installed(EECONTEXT_SESSION) && events->places_.inbox.present();
  bool writes = events->Installed(EECONTEXT_SENDNOTEMESSAGE) && events->places_.sentItems.present();
  if ((!delivery && !writes) || !events->places_.store) return events;
  auto connection = events->places_.store->Advise(
      mapi::EntryId(), mapi::fnevNewMail | mapi::fnevObjectCreated, std::make_shared<Sink>(events));
  if (connection.ok()) {
    std::lock_guard<std::mutex> lock(events->mutex_);
    events->connection_ = *connection;
  }
  return events;
}

ExtensionEvents::~ExtensionEvents() { Stop(); }

bool ExtensionEvents::Same(const mapi::EntryId& folder, const mapi::EntryId& known) const {
  if (!known.present() || !folder.present()) return false;
  if (folder == known) return true;
  auto same = places_.session->CompareEntryIDs(folder, known, 0);
  return same.ok() && *same;
}

void ExtensionEvents::Stop() {
  std::uint32_t connection;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    connection = connection_;
    connection_ = 0;
  }
  if (connection != 0 && places_.store) places_.store->Unadvise(connection);
}

bool ExtensionEvents::watching() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return connection_ != 0;
}

void ExtensionEvents::Raise(const mapi::Notification& n) {
  if (!extension_ || !places_.session) return;
  bool delivery = n.eventType == mapi::fnevNewMail && Installed(EECONTEXT_SESSION) &&
                  Same(n.parentId, places_.inbox);
  bool written = n.eventType == mapi::fnevObjectCreated && n.objectType == mapi::MAPI_MESSAGE &&
                 Installed(EECONTEXT_SENDNOTEMESSAGE) && Same(n.parentId, places_.sentItems);
  if (!delivery && !written) return;
  auto opened = places_.session->OpenEntry(n.entryId, mapi::MAPI_BEST_ACCESS);
  if (!opened.ok() || opened->objectType != mapi::MAPI_MESSAGE) return;  // gone meanwhile
  EventCallback callback(places_.session, {places_.store, opened->As<mapi::Message>()});
  if (delivery) {
    extension_->OnDelivery(callback);
  } else {
    extension_->OnWriteComplete(callback, 0);
  }
}

}  // namespace quorvel::host
