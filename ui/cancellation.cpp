#include "ui/cancellation.h"

namespace quorvel::ui {

void CancellationToken::Cancel() {
  {
    // Set under the mutex, so that a waiter between its check and its wait is woken.
    std::lock_guard lock(mutex_);
    cancelled_.store(true, std::memory_order_release);
  }
  woken_.notify_all();
}

bool CancellationToken::WaitFor(std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return woken_.wait_for(lock, timeout, [this] { return Cancelled(); });
}

}  // namespace quorvel::ui
