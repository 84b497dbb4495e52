// CContactLimit: the budget of a long scan (a count of steps and a time limit).
//
// The scan calls Step() before each unit of work; when the budget is spent Step()
// throws the CContactLimit object by value, and the scan catches it and keeps what it
// collected so far. The time limit is measured on the injected clock from the first
// step of this budget, so a later scan in the same process starts its own clock.
//
// Not thread-safe: one budget belongs to one scan. The clock must outlive it.
#ifndef QUORVEL_LISTS_CONTACT_LIMIT_H_
#define QUORVEL_LISTS_CONTACT_LIMIT_H_

#include <cstdint>
#include <optional>

#include "platform/clock.h"

namespace quorvel {

class CContactLimit {
 public:
  static constexpr std::int32_t kNoTimeLimit = -1;

  // `count` steps at most (the step that brings it to zero throws; a count of zero
  // or less throws at the first step); `seconds` from the first step, or no time
  // limit when negative.
  CContactLimit(std::int32_t count, std::int32_t seconds, const platform::Clock& clock)
      : remaining_(count), seconds_(seconds), clock_(&clock) {}

  // Counts one step; throws *this when the count is spent or the time is over.
  void Step();

  std::int32_t Remaining() const { return remaining_; }
  std::int32_t TimeLimitSeconds() const { return seconds_; }
  // Whether the throw was for time rather than count.
  bool TimedOut() const { return timedOut_; }

 private:
  std::int32_t remaining_;
  std::int32_t seconds_;
  const platform::Clock* clock_;
  std::optional<std::uint32_t> startTicks_;
  bool timedOut_ = false;
};

}  // namespace quorvel

#endif  // QUORVEL_LISTS_CONTACT_LIMIT_H_
