// CancellationToken: the user's Cancel as the work sees it. The front end calls
// Cancel() the moment the user cancels; the work polls Cancelled() between steps or
// waits on it (WaitFor) instead of sleeping, so that it stops at once.
//
// Thread-safety: every method may be called from any thread; not copyable.
#ifndef QUORVEL_UI_CANCELLATION_H_
#define QUORVEL_UI_CANCELLATION_H_

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace quorvel::ui {

class CancellationToken {
 public:
  CancellationToken() = default;
  CancellationToken(const CancellationToken&) = delete;
  CancellationToken& operator=(const CancellationToken&) = delete;

  // Cancels for good and wakes every waiter. Cancelling again does nothing.
  void Cancel();
  bool Cancelled() const { return cancelled_.load(std::memory_order_acquire); }
  // Waits until cancelled or `timeout` has passed; true when cancelled.
  bool WaitFor(std::chrono::milliseconds timeout) const;

 private:
  std::atomic<bool> cancelled_{false};
  mutable std::mutex mutex_;  // pairs with woken_; guards no data of its own
  mutable std::condition_variable woken_;
};

}  // namespace quorvel::ui

#endif  // QUORVEL_UI_CANCELLATION_H_
