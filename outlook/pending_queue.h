// PendingQueue: the one process-wide queue of new messages waiting to be judged.
//
// Every source of new mail (store notifications, the client extension's delivery
// event, the start-up scan of the Inbox) only puts a message's ids here and wakes the
// worker; the worker (worker.h) is the only consumer. Entries are taken in entry-id
// order, not in arrival order; a message queued again while still pending keeps the
// values of its first queuing.
//
// recentSpam remembers, for 2,000 ms, the messages just judged spam, so that a mail
// client rule moving one of them out of the spam folder's way sends it back without
// a second judgement (only while RespectOutlookRules is off). In a store whose ids
// change with a move, a message reported under the very id it was judged under has
// been moved back to where it was judged (out of the spam folder, by the user): it is
// not sent back.
//
// recentJudged remembers, for a minute, every message taken off the queue, and
// Enqueue ignores them: one arrival reaches the queue by two roads (the delivery event
// and the store's notification, or a notification and the start-up scan), and the
// second may come only after the worker is done with the first; judging the message
// again would learn it twice. Entry ids are not reused, so nothing new is ignored.
//
// Locking: mutex_ guards pending_, recentSpam_, recentJudged_ and wake_. It covers only map
// operations; the settings lock is taken (to read RespectOutlookRules) before it,
// never inside it. Every method may be called from any thread.
#ifndef QUORVEL_OUTLOOK_PENDING_QUEUE_H_
#define QUORVEL_OUTLOOK_PENDING_QUEUE_H_

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "mapi/entry_id.h"
#include "platform/clock.h"
#include "platform/event.h"
#include "settings/settings_holder.h"

namespace quorvel::outlook {

// Origin words: where a queued message came from. kOriginMayLearn is the bit that
// lets the classifier learn from it; kOriginJudgedSpam is added when a judged spam
// message is queued again after a rule moved it.
inline constexpr std::uint32_t kOriginStartupScan = 1;
inline constexpr std::uint32_t kOriginNotification = 2;
inline constexpr std::uint32_t kOriginDelivery = 3;
inline constexpr std::uint32_t kOriginMayLearn = 0x2;
inline constexpr std::uint32_t kOriginJudgedSpam = 0x4;

// How long a judged spam message is remembered, in ms of tick count.
inline constexpr std::uint32_t kRecentSpamMs = 2000;
// How long any judged message is kept from being queued again, in ms of tick count.
inline constexpr std::uint32_t kRecentJudgedMs = 60000;

struct PendingMessage {
  mapi::EntryId parentId;
  mapi::EntryId messageId;
  std::uint32_t origin = 0;
};

class PendingQueue {
 public:
  // `clock` and `settings` must outlive the queue.
  PendingQueue(const platform::Clock& clock, SettingsHolder& settings);
  PendingQueue(const PendingQueue&) = delete;
  PendingQueue& operator=(const PendingQueue&) = delete;

  // The event set whenever an entry is added (the worker's wake event); null: none.
  void SetWakeEvent(std::shared_ptr<platform::AutoResetEvent> wake);

  // Queues a message unless it is already pending or was taken off the queue within
  // kRecentJudgedMs; sets the wake event when it is pending.
  void Enqueue(const mapi::EntryId& parentId, const mapi::EntryId& messageId, std::uint32_t origin);
  bool HasPending() const;
  // The first pending entry in entry-id order; it stays queued until Complete.
  std::optional<PendingMessage> PeekNext() const;
  // Takes the message off the queue and remembers it in recentJudged; spam is also
  // remembered in recentSpam while RespectOutlookRules is off.
  void Complete(const mapi::EntryId& messageId, bool wasSpam);
  // Forgets remembered spam older than kRecentSpamMs (only while RespectOutlookRules
  // is off) and judged messages older than kRecentJudgedMs.
  void PurgeRecent();
  // A message moved to `newParentId` (not into Sent Items). `oldMessageId` is the id it
  // had before the move, for stores whose ids change when a message moves; absent
  // when the id stayed the same.
  void NoteMoved(const mapi::EntryId& messageId, const mapi::EntryId& newParentId,
                 const mapi::EntryId& oldMessageId = {});

  std::size_t PendingCount() const;
  // `counter` (null: none) is kept at PendingCount() from now on, for whoever reports
  // the queue's length without reaching the queue; it must outlive its use here.
  void SetLengthCounter(std::atomic<std::uint64_t>* counter);
  // Every pending entry, in the order the worker takes them.
  std::vector<PendingMessage> Snapshot() const;
  std::size_t RecentSpamCount() const;

 private:
  struct Entry {
    mapi::EntryId parentId;
    std::uint32_t tick = 0;
    std::uint32_t origin = 0;
  };
  using Map = std::map<mapi::EntryId, Entry>;

  // Brings lengthCounter_ up to date when it goes. REQUIRES: mutex_ held for its life.
  struct CountOnExit {
    PendingQueue& queue;
    explicit CountOnExit(PendingQueue& q) : queue(q) {}
    ~CountOnExit();
  };
  bool RespectRules() const;
  static bool IsRecent(std::uint32_t tick, std::uint32_t now,
                       std::uint32_t window = kRecentSpamMs) {
    return now - tick <= window;
  }
  // The entry of `id`, or of `oldId` when only that one is there. REQUIRES: mutex_ held.
  static Map::iterator FindEither(Map& map, const mapi::EntryId& id, const mapi::EntryId& oldId);

  const platform::Clock& clock_;
  SettingsHolder& settings_;
  mutable std::mutex mutex_;
  Map pending_;                                          // guarded by mutex_
  Map recentSpam_;                                       // guarded by mutex_
  std::map<mapi::EntryId, std::uint32_t> recentJudged_;  // completion ticks; guarded by mutex_
  std::shared_ptr<platform::AutoResetEvent> wake_;       // guarded by mutex_
  std::atomic<std::uint64_t>* lengthCounter_ = nullptr;  // guarded by mutex_
};

}  // namespace quorvel::outlook

#endif  // QUORVEL_OUTLOOK_PENDING_QUEUE_H_
