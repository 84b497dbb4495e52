#include "host/event_bus.h"

#include <algorithm>

namespace quorvel::host {

int EventBus::Subscribe(std::vector<std::string> kinds, Sink sink) {
  std::lock_guard lock(mutex_);
  const int id = nextId_++;
  sinks_.push_back({id, std::move(kinds), std::move(sink)});
  return id;
}

void EventBus::Unsubscribe(int id) {
  std::lock_guard lock(mutex_);
  std::erase_if(sinks_, [id](const Entry& e) { return e.id == id; });
}

void EventBus::Publish(const protocol::Event& event) {
  ++published_;
  std::vector<Sink> matching;
  {
    std::lock_guard lock(mutex_);
    for (const Entry& e : sinks_) {
      if (std::find(e.kinds.begin(), e.kinds.end(), "*") != e.kinds.end() ||
          std::find(e.kinds.begin(), e.kinds.end(), event.event) != e.kinds.end()) {
        matching.push_back(e.sink);
      }
    }
  }
  for (const Sink& sink : matching) sink(event);
}

}  // namespace quorvel::host
