#include "host/store_links.h"

#include <chrono>

namespace quorvel::host {

StoreLinks::StoreLinks(EventBus* events, Log log, Clock now)
    : events_(events), log_(std::move(log)), now_(std::move(now)) {}

std::int64_t StoreLinks::Now() const {
  if (now_) return now_();
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

void StoreLinks::Add(const std::string& store) {
  const std::int64_t now = Now();
  std::lock_guard<std::mutex> lock(mutex_);
  for (const StoreLink& link : links_) {
    if (link.store == store) return;
  }
  links_.push_back(StoreLink{store, true, now, ""});
}

void StoreLinks::Changed(const std::string& store, bool connected, const std::string& reason) {
  const std::int64_t now = Now();
  bool changed = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    StoreLink* link = nullptr;
    for (StoreLink& l : links_) {
      if (l.store == store) link = &l;
    }
    if (link == nullptr) {
      links_.push_back(StoreLink{store, !connected, now, ""});
      link = &links_.back();
    }
    if (!connected) link->lastError = reason;
    if (link->connected != connected) {
      link->connected = connected;
      link->since = now;
      changed = true;
    }
  }
  if (!changed) return;
  if (log_) {
    log_(connected ? "the connection to " + store + " is back"
                   : "the connection to " + store + " was lost: " + reason + "; reconnecting");
  }
  if (events_ != nullptr) {
    protocol::Event event{"store",
                          {{"store", store}, {"state", connected ? "connected" : "reconnecting"}}};
    if (!connected) event.fields.emplace_back("error", reason);
    events_->Publish(event);
  }
}

std::vector<StoreLink> StoreLinks::Snapshot() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return links_;
}

bool StoreLinks::AllConnected() const {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const StoreLink& link : links_) {
    if (!link.connected) return false;
  }
  return true;
}

}  // namespace quorvel::host
