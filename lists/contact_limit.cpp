#include "lists/contact_limit.h"

#include <limits>

namespace quorvel {

void CContactLimit::Step() {
  if (remaining_ > std::numeric_limits<std::int32_t>::min()) --remaining_;
  if (remaining_ <= 0) throw *this;
  if (seconds_ < 0) return;
  const std::uint32_t now = clock_->TickCount();
  if (!startTicks_) {
    startTicks_ = now;
    return;
  }
  // Unsigned difference: correct across the tick count's wrap.
  const std::uint64_t elapsedMs = static_cast<std::uint32_t>(now - *startTicks_);
  if (elapsedMs > static_cast<std::uint64_t>(seconds_) * 1000) {
    timedOut_ = true;
    throw *this;
  }
}

}  // namespace quorvel
