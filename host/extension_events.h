// ExtensionEvents: the client extension's events, raised by the host where it has
// their equivalent.
//
// - Install, at the start, into each context this host has: the session (1) and the
//   three kinds of message being sent (6 note, 8 post, 11 resend), with a callback
//   that reports build 13, the profile's session and no object.
// - OnDelivery, when a message arrives in the default store's Inbox as new mail (a
//   new-mail notification with the Inbox as parent), if installed in the session.
// - OnWriteComplete with flags 0, when a message appears in the default store's Sent
//   Items (the user's mail program saved its copy of mail it sent; this host composes
//   nothing itself), if installed in the send-note context.
// Each event's callback answers for its one message: the default store, the message
// and the message's recipient table.
//
// Threading: Start and Stop on the host's user-interface thread; the events come on
// the store's notification thread. mutex_ guards the connection; it is never held
// while the extension runs.
#ifndef QUORVEL_HOST_EXTENSION_EVENTS_H_
#define QUORVEL_HOST_EXTENSION_EVENTS_H_

#include <cstdint>
#include <memory>
#include <mutex>
#include <set>

#include "host/client_extension.h"
#include "mapi/entry_id.h"
#include "mapi/session.h"
#include "mapi/store.h"

namespace quorvel::host {

class ExtensionEvents {
 public:
  struct Places {
    std::shared_ptr<mapi::Session> session;
    std::shared_ptr<mapi::MsgStore> store;  // the default store
    mapi::EntryId inbox;
    mapi::EntryId sentItems;  // absent: no write events
  };

  // Installs `extension` into its contexts and, when it took the session or the
  // send-note context, watches the store for its events. Never null.
  static std::shared_ptr<ExtensionEvents> Start(std::shared_ptr<ClientExtension> extension,
                                                Places places);
  ~ExtensionEvents();
  ExtensionEvents(const ExtensionEvents&) = delete;
  ExtensionEvents& operator=(const ExtensionEvents&) = delete;

  // Stops raising events (waits for one being raised); idempotent.
  void Stop();
  // The contexts the extension installed itself into.
  const std::set<std::uint32_t>& installed() const { return installed_; }
  bool watching() const;

  // Raises the event a store notification stands for (the sink's work; public for
  // tests).
  void Raise(const mapi::Notification& n);

 private:
  ExtensionEvents(std::shared_ptr<ClientExtension> extension, Places places)
      : extension_(std::move(extension)), places_(std::move(places)) {}
  bool Installed(std::uint32_t context) const { return installed_.count(context) != 0; }
  // Whether `folder` is the `known` folder (never when either is absent).
  bool Same(const mapi::EntryId& folder, const mapi::EntryId& known) const;

  const std::shared_ptr<ClientExtension> extension_;
  const Places places_;
  std::set<std::uint32_t> installed_;  // written only by Start
  mutable std::mutex mutex_;
  std::uint32_t connection_ = 0;  // guarded by mutex_
};

}  // namespace quorvel::host

#endif  // QUORVEL_HOST_EXTENSION_EVENTS_H_
