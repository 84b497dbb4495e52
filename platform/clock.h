// Time as the system sees it: file time and tick count, behind one interface so
// that every rule that depends on time is tested with FakeClock.
#ifndef QUORVEL_PLATFORM_CLOCK_H_
#define QUORVEL_PLATFORM_CLOCK_H_

#include <atomic>
#include <cstdint>

namespace quorvel::platform {

// 100-nanosecond units since 1601-01-01 00:00 UTC.
using FileTime = std::uint64_t;

inline constexpr FileTime kFileTimeSecond = 10'000'000;
inline constexpr FileTime kFileTimeDay = 86'400 * kFileTimeSecond;

class Clock {
 public:
  virtual ~Clock() = default;
  // Current UTC time as a file time.
  virtual FileTime Now() const = 0;
  // Milliseconds since an arbitrary start; wraps like a 32-bit tick count.
  virtual std::uint32_t TickCount() const = 0;
};

// The real clock. Thread-safe.
class SystemClock final : public Clock {
 public:
  FileTime Now() const override;
  std::uint32_t TickCount() const override;
};

// The process's system clock (never destroyed).
Clock& DefaultClock();

// A clock that moves only when told to. Thread-safe.
class FakeClock final : public Clock {
 public:
  explicit FakeClock(FileTime now = 133'000'000'000'000'000ULL, std::uint32_t ticks = 1000)
      : now_(now), ticks_(ticks) {}
  FileTime Now() const override { return now_.load(); }
  std::uint32_t TickCount() const override { return ticks_.load(); }
  void Set(FileTime now) { now_ = now; }
  // Moves both the file time and the tick count forward.
  void AdvanceMs(std::uint64_t ms) {
    now_ += ms * 10'000;
    ticks_ += static_cast<std::uint32_t>(ms);
  }

 private:
  std::atomic<FileTime> now_;
  std::atomic<std::uint32_t> ticks_;
};

}  // namespace quorvel::platform

#endif  // QUORVEL_PLATFORM_CLOCK_H_
