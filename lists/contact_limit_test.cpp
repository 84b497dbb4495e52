#include "lists/contact_limit.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

// Steps until the budget throws; returns the number of steps that did not throw.
int StepsUntilThrow(CContactLimit& limit, platform::FakeClock* clock, int advanceMs, int max,
                    bool* timedOut) {
  for (int i = 0; i < max; ++i) {
    try {
      limit.Step();
    } catch (const CContactLimit& thrown) {
      *timedOut = thrown.TimedOut();
      return i;
    }
    if (clock) clock->AdvanceMs(advanceMs);
  }
  return max;
}

TEST(CContactLimitTest, CountReachingZeroThrows) {
  platform::FakeClock clock;
  bool timedOut = true;
  CContactLimit limit(3, CContactLimit::kNoTimeLimit, clock);
  EXPECT_EQ(StepsUntilThrow(limit, &clock, 1'000'000, 10, &timedOut), 2);
  EXPECT_FALSE(timedOut);
  CContactLimit none(0, CContactLimit::kNoTimeLimit, clock);
  EXPECT_EQ(StepsUntilThrow(none, nullptr, 0, 10, &timedOut), 0);
}

TEST(CContactLimitTest, TimeLimitCountsFromTheFirstStep) {
  platform::FakeClock clock;
  clock.AdvanceMs(500'000);  // time before the first step does not count
  bool timedOut = false;
  CContactLimit limit(1000, 2, clock);
  // Steps at 0, 0.5, 1.0, 1.5, 2.0 s pass; the one at 2.5 s is past the limit.
  EXPECT_EQ(StepsUntilThrow(limit, &clock, 500, 100, &timedOut), 5);
  EXPECT_TRUE(timedOut);
}

TEST(CContactLimitTest, ALaterBudgetStartsItsOwnClock) {
  platform::FakeClock clock;
  bool timedOut = false;
  CContactLimit first(1000, 1, clock);
  StepsUntilThrow(first, &clock, 600, 100, &timedOut);
  ASSERT_TRUE(timedOut);
  clock.AdvanceMs(60'000);
  CContactLimit second(1000, 1, clock);
  EXPECT_EQ(StepsUntilThrow(second, &clock, 600, 100, &timedOut), 2);
}

TEST(CContactLimitTest, TickCountWrapIsNotATimeout) {
  platform::FakeClock clock(0, 0xFFFFFF00u);
  bool timedOut = false;
  CContactLimit limit(1000, 1, clock);
  EXPECT_EQ(StepsUntilThrow(limit, &clock, 100, 100, &timedOut), 11);
  EXPECT_TRUE(timedOut);
}

}  // namespace
}  // namespace quorvel
