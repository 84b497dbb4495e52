// EventBus: what happens in the host (spam moved, the store connected or lost, the
// host's state, a background message, a pending question), published from any
// thread and handed to every subscriber whose kinds match.
//
// A sink must not block: the channel's sinks only queue the event for their
// connection. Publish calls the sinks outside the bus's lock, so a sink may
// subscribe or unsubscribe.
//
// Thread-safety: all methods from any thread; mutex_ guards sinks_ and nextId_.
#ifndef QUORVEL_HOST_EVENT_BUS_H_
#define QUORVEL_HOST_EVENT_BUS_H_

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "host/protocol.h"

namespace quorvel::host {

class EventBus {
 public:
  using Sink = std::function<void(const protocol::Event&)>;
  // `kinds`: the event kinds wanted, "*" for all. Returns the id that unsubscribes.
  int Subscribe(std::vector<std::string> kinds, Sink sink);
  void Unsubscribe(int id);
  void Publish(const protocol::Event& event);
  // Events published since the host started.
  std::uint64_t published() const { return published_.load(); }

 private:
  struct Entry {
    int id;
    std::vector<std::string> kinds;
    Sink sink;
  };
  std::mutex mutex_;
  std::vector<Entry> sinks_;
  int nextId_ = 1;
  std::atomic<std::uint64_t> published_{0};
};

}  // namespace quorvel::host

#endif  // QUORVEL_HOST_EVENT_BUS_H_
