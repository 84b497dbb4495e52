// An auto-reset event: Set wakes one waiter (or the next one to wait), after which
// the event is clear again.
#ifndef QUORVEL_PLATFORM_EVENT_H_
#define QUORVEL_PLATFORM_EVENT_H_

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace quorvel::platform {

inline constexpr std::uint32_t kInfinite = 0xFFFFFFFF;

class AutoResetEvent {
 public:
  explicit AutoResetEvent(bool initiallySet = false) : set_(initiallySet) {}
  AutoResetEvent(const AutoResetEvent&) = delete;
  AutoResetEvent& operator=(const AutoResetEvent&) = delete;

  void Set();
  // Waits until set or until timeoutMs pass (kInfinite: no limit). Returns true when
  // the event was set (and clears it), false on time-out.
  bool Wait(std::uint32_t timeoutMs = kInfinite);

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool set_;  // guarded by mutex_
};

}  // namespace quorvel::platform

#endif  // QUORVEL_PLATFORM_EVENT_H_
