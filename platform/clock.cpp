#include "platform/clock.h"

#include <chrono>

namespace quorvel::platform {

namespace {
// Seconds from 1601-01-01 to 1970-01-01.
constexpr FileTime kUnixEpochInFileTime = 116'444'736'000'000'000ULL;
}  // namespace

FileTime SystemClock::Now() const {
  auto since_epoch = std::chrono::system_clock::now().time_since_epoch();
  auto units =
      std::chrono::duration_cast<std::chrono::duration<std::int64_t, std::ratio<1, 10'000'000>>>(
          since_epoch);
  return kUnixEpochInFileTime + static_cast<FileTime>(units.count());
}

std::uint32_t SystemClock::TickCount() const {
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now().time_since_epoch());
  return static_cast<std::uint32_t>(ms.count());
}

Clock& DefaultClock() {
  static SystemClock* clock = new SystemClock;
  return *clock;
}

}  // namespace quorvel::platform
