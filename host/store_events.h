// The host's events about its default store, for the front ends that subscribe:
// "store" connected when the host has opened it, and "folder-changed" when messages
// are added to or removed from a folder (a move counts in both), so that a window
// showing the folder lists it again.
//
// Thread-safety: the sink runs on the store's notification thread and only publishes
// (EventBus sinks only queue). Construct and destroy on one thread; the destructor
// unadvises, after which nothing is published.
#ifndef QUORVEL_HOST_STORE_EVENTS_H_
#define QUORVEL_HOST_STORE_EVENTS_H_

#include <memory>
#include <span>
#include <string>

#include "host/event_bus.h"
#include "host/object_model.h"
#include "mapi/notification.h"
#include "mapi/store.h"

namespace quorvel::host {

class StoreEvents {
 public:
  // Advises `store` (named `name` in the events) and publishes "store" connected.
  // REQUIRES: `events` outlives this object.
  StoreEvents(std::shared_ptr<mapi::MsgStore> store, std::string name, EventBus& events);
  ~StoreEvents();
  StoreEvents(const StoreEvents&) = delete;
  StoreEvents& operator=(const StoreEvents&) = delete;

  // The events of one batch of notifications (also for tests).
  static std::vector<protocol::Event> EventsOf(std::span<const mapi::Notification> batch);

 private:
  class Sink;
  std::shared_ptr<mapi::MsgStore> store_;
  std::uint32_t connection_ = 0;
};

// StoreEvents on the default store of `nameSpace` (the Inbox's), named by its display
// name; null when the store cannot be opened.
std::unique_ptr<StoreEvents> WatchDefaultStore(NameSpace& nameSpace, EventBus& events);

}  // namespace quorvel::host

#endif  // QUORVEL_HOST_STORE_EVENTS_H_
