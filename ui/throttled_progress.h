// ThrottledProgress: passes at most one update per interval on to another Progress,
// for front ends that pay for each (a frame on the channel, a line rewritten at the
// terminal), without ever losing the last: an update held back gives way to a newer
// one, and the newest held back is passed on by Flush, at the latest when this object
// is destroyed; a final update (done == total, total known) always goes at once.
// Nothing runs on a timer: an update held back waits for the next Update or Flush.
//
// Thread-safety: Update may be called from any thread; updates reach the inner
// Progress one at a time, in order. Owns the inner Progress.
#ifndef QUORVEL_UI_THROTTLED_PROGRESS_H_
#define QUORVEL_UI_THROTTLED_PROGRESS_H_

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "ui/ui.h"

namespace quorvel::ui {

class ThrottledProgress final : public Progress {
 public:
  using Now = std::function<std::chrono::steady_clock::time_point()>;
  // REQUIRES: inner is not null. `now` is the clock (tests pass their own).
  ThrottledProgress(std::unique_ptr<Progress> inner, std::chrono::milliseconds interval,
                    Now now = std::chrono::steady_clock::now);
  ~ThrottledProgress() override;

  void Update(std::uint64_t done, std::uint64_t total, const std::string& text) override;
  bool Cancelled() const override { return inner_->Cancelled(); }
  bool WaitCancelled(std::chrono::milliseconds timeout) override {
    return inner_->WaitCancelled(timeout);
  }
  // Passes on an update held back, if any.
  void Flush();

 private:
  struct Held {
    std::uint64_t done, total;
    std::string text;
  };
  void Pass(Held update);  // REQUIRES: mutex_

  const std::unique_ptr<Progress> inner_;
  const std::chrono::milliseconds interval_;
  const Now now_;
  std::mutex mutex_;  // guards what follows and serialises calls into inner_
  std::optional<std::chrono::steady_clock::time_point> lastPassed_;
  std::optional<Held> held_;
};

}  // namespace quorvel::ui

#endif  // QUORVEL_UI_THROTTLED_PROGRESS_H_
