// WaitUntil: waits for a condition the test cannot be told about (a process that
// becomes ready, a file that appears) by asking it again every few milliseconds until
// it holds or the deadline passes. Never a fixed sleep: the test goes on as soon as
// the condition holds, and a condition that never comes fails at the deadline.
#ifndef QUORVEL_TESTING_WAIT_UNTIL_H_
#define QUORVEL_TESTING_WAIT_UNTIL_H_

#include <chrono>
#include <functional>
#include <thread>

namespace quorvel::testing {

// True as soon as `condition` returns true; false when it still does not at the
// deadline (asked once more then).
inline bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout,
                      std::chrono::milliseconds interval = std::chrono::milliseconds(20)) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return condition();
    std::this_thread::sleep_for(interval);
  }
}

}  // namespace quorvel::testing

#endif  // QUORVEL_TESTING_WAIT_UNTIL_H_
