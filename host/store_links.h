// StoreLinks: the connection of each of the host's stores to its server (an IMAP
// account; a Maildir has none), as the stores report it: connected, or reconnecting
// since when and after what error. Each loss and each return is one line in the
// host's log and a "store" event on the bus, so that neither goes unseen.
//
// Thread-safety: every method from any thread (the stores report on their own
// threads); mutex_ guards links_. The log and the bus are called outside the lock.
#ifndef QUORVEL_HOST_STORE_LINKS_H_
#define QUORVEL_HOST_STORE_LINKS_H_

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "host/event_bus.h"

namespace quorvel::host {

struct StoreLink {
  std::string store;  // its name, as the store calls itself ("me@mail.example.org")
  bool connected = true;
  std::int64_t since = 0;  // seconds since 1970: when it was lost (or came back)
  std::string lastError;   // why it was lost last; kept after it came back
};

class StoreLinks {
 public:
  using Log = std::function<void(const std::string&)>;
  using Clock = std::function<std::int64_t()>;  // seconds since 1970
  // `events` and `log` may be null/empty; `now` empty: the system clock.
  StoreLinks(EventBus* events, Log log, Clock now = {});

  // A store whose first connection worked (reported from then on).
  void Add(const std::string& store);
  // The store's connection was lost (`reason` says why) or is back. A report that
  // changes nothing (lost while lost) only updates the error.
  void Changed(const std::string& store, bool connected, const std::string& reason);
  std::vector<StoreLink> Snapshot() const;
  // Whether every store is connected.
  bool AllConnected() const;

 private:
  std::int64_t Now() const;

  EventBus* const events_;
  const Log log_;
  const Clock now_;
  mutable std::mutex mutex_;
  std::vector<StoreLink> links_;  // guarded by mutex_
};

}  // namespace quorvel::host

#endif  // QUORVEL_HOST_STORE_LINKS_H_
