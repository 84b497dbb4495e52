#include "outlook/pending_queue.h"

namespace quorvel::outlook {

PendingQueue::PendingQueue(const platform::Clock& clock, SettingsHolder& settings)
    : clock_(clock), settings_(settings) {}

void PendingQueue::SetWakeEvent(std::shared_ptr<platform::AutoResetEvent> wake) {
  std::lock_guard<std::mutex> lock(mutex_);
  wake_ = std::move(wake);
}

bool PendingQueue::RespectRules() const { return settings_.Lock()->respectOutlookRules != 0; }

PendingQueue::Map::iterator PendingQueue::FindEither(Map& map, const mapi::EntryId& id,
                                                     const mapi::EntryId& oldId) {
  auto it = map.find(id);
  if (it == map.end() && oldId.present() && !(oldId == id)) it = map.find(oldId);
  return it;
}

void PendingQueue::Enqueue(const mapi::EntryId& parentId, const mapi::EntryId& messageId,
                           std::uint32_t origin) {
  std::uint32_t now = clock_.TickCount();
  std::lock_guard<std::mutex> lock(mutex_);
  CountOnExit counted(*this);  // before the lock goes
  if (auto judged = recentJudged_.find(messageId);
      judged != recentJudged_.end() && IsRecent(judged->second, now, kRecentJudgedMs)) {
    return;  // the same arrival, by its second road
  }
  pending_.try_emplace(messageId, Entry{parentId, now, origin});
  if (wake_) wake_->Set();
}

bool PendingQueue::HasPending() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return !pending_.empty();
}

std::optional<PendingMessage> PendingQueue::PeekNext() const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (pending_.empty()) return std::nullopt;
  const auto& [id, entry] = *pending_.begin();
  return PendingMessage{entry.parentId, id, entry.origin};
}

void PendingQueue::Complete(const mapi::EntryId& messageId, bool wasSpam) {
  bool remember = wasSpam && !RespectRules();
  std::uint32_t now = clock_.TickCount();
  std::lock_guard<std::mutex> lock(mutex_);
  CountOnExit counted(*this);  // before the lock goes
  auto it = pending_.find(messageId);
  if (it == pending_.end()) return;
  if (remember) recentSpam_.try_emplace(messageId, it->second);
  pending_.erase(it);
  recentJudged_.insert_or_assign(messageId, now);
}

void PendingQueue::PurgeRecent() {
  bool respect = RespectRules();
  std::uint32_t now = clock_.TickCount();
  std::lock_guard<std::mutex> lock(mutex_);
  std::erase_if(recentJudged_,
                [&](const auto& item) { return !IsRecent(item.second, now, kRecentJudgedMs); });
  if (respect) return;
  std::erase_if(recentSpam_, [&](const auto& item) { return !IsRecent(item.second.tick, now); });
}

void PendingQueue::NoteMoved(const mapi::EntryId& messageId, const mapi::EntryId& newParentId,
                             const mapi::EntryId& oldMessageId) {
  bool respect = RespectRules();
  std::uint32_t now = clock_.TickCount();
  std::lock_guard<std::mutex> lock(mutex_);
  CountOnExit counted(*this);  // before the lock goes
  auto it = FindEither(pending_, messageId, oldMessageId);
  if (it != pending_.end()) {
    if (respect) {
      pending_.erase(it);  // a mail client rule handled it; leave it alone
      return;
    }
    // Judge it where it is now, under the id it has there.
    Entry moved{newParentId, now, it->second.origin};
    pending_.erase(it);
    pending_.insert_or_assign(messageId, moved);
    return;
  }
  if (respect) return;
  // Where ids change with a move, a message found under the id it was judged under has
  // come back to where it was judged (taken out of the spam folder): that stays.
  const bool idChanged = oldMessageId.present() && !(oldMessageId == messageId);
  auto recent = recentSpam_.find(idChanged ? oldMessageId : messageId);
  if (recent == recentSpam_.end() || !IsRecent(recent->second.tick, now)) return;
  pending_.try_emplace(messageId,
                       Entry{newParentId, now, recent->second.origin | kOriginJudgedSpam});
  if (wake_) wake_->Set();
}

void PendingQueue::SetLengthCounter(std::atomic<std::uint64_t>* counter) {
  std::lock_guard<std::mutex> lock(mutex_);
  lengthCounter_ = counter;
  if (lengthCounter_ != nullptr) *lengthCounter_ = pending_.size();
}

PendingQueue::CountOnExit::~CountOnExit() {
  if (queue.lengthCounter_ != nullptr) *queue.lengthCounter_ = queue.pending_.size();
}

std::size_t PendingQueue::PendingCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return pending_.size();
}

std::vector<PendingMessage> PendingQueue::Snapshot() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<PendingMessage> out;
  for (const auto& [id, entry] : pending_) out.push_back({entry.parentId, id, entry.origin});
  return out;
}

std::size_t PendingQueue::RecentSpamCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return recentSpam_.size();
}

}  // namespace quorvel::outlook
