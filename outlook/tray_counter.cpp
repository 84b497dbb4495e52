#include "outlook/tray_counter.h"

namespace quorvel::outlook {

std::uint32_t TrayCounter::Count() {
  bool show = settings_.Lock()->trayNotification != 0;
  bool visible = window_ && window_->Visible();
  std::uint32_t now = clock_.TickCount();
  std::uint32_t count;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!visible && now - lastSpamTick_ > kTrayWindowMs) spamCount_ = 0;
    count = ++spamCount_;
    lastSpamTick_ = now;
  }
  if (show && window_) window_->Notify(count, kTrayWindowMs);
  return count;
}

std::uint32_t TrayCounter::count() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return spamCount_;
}

}  // namespace quorvel::outlook
