// TrayCounter: counts spam moved into the spam folder for the tray popup. Spam that
// arrives within 2,000 ms of the previous one, or while the popup is still visible,
// adds to the count; otherwise the count starts again at one.
//
// Thread-safety: Count is called by the worker thread; the lock guards the count and
// the last tick. The TrayWindow is called with the lock released.
#ifndef QUORVEL_OUTLOOK_TRAY_COUNTER_H_
#define QUORVEL_OUTLOOK_TRAY_COUNTER_H_

#include <cstdint>
#include <mutex>

#include "platform/clock.h"
#include "settings/settings_holder.h"

namespace quorvel::outlook {

// The tray popup window as the worker sees it. Implementations pass the calls to the
// thread that owns the window; both may be called from any thread.
class TrayWindow {
 public:
  virtual ~TrayWindow() = default;
  virtual bool Visible() const = 0;
  // The new-spam count and the delay before the window shows (when it is hidden).
  virtual void Notify(std::uint32_t count, std::uint32_t delayMs) = 0;
};

inline constexpr std::uint32_t kTrayWindowMs = 2000;

class TrayCounter {
 public:
  TrayCounter(const platform::Clock& clock, SettingsHolder& settings)
      : clock_(clock), settings_(settings) {}

  // The window the count goes to; null while there is none. Set on the thread that
  // creates and destroys it, before the worker runs or after it stopped.
  void SetWindow(TrayWindow* window) { window_ = window; }
  // One spam message was moved into the spam folder. Returns the count.
  std::uint32_t Count();
  std::uint32_t count() const;

 private:
  const platform::Clock& clock_;
  SettingsHolder& settings_;
  TrayWindow* window_ = nullptr;
  mutable std::mutex mutex_;
  std::uint32_t spamCount_ = 0;     // guarded by mutex_
  std::uint32_t lastSpamTick_ = 0;  // guarded by mutex_
};

}  // namespace quorvel::outlook

#endif  // QUORVEL_OUTLOOK_TRAY_COUNTER_H_
