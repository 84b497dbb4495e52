#include "platform/event.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/clock.h"
#include "platform/message_box.h"

namespace quorvel::platform {
namespace {

TEST(AutoResetEventTest, OneSetReleasesOneWait) {
  AutoResetEvent event;
  EXPECT_FALSE(event.Wait(0));
  event.Set();
  event.Set();  // a second Set while set is not counted
  EXPECT_TRUE(event.Wait(0));
  EXPECT_FALSE(event.Wait(0));
  AutoResetEvent initially(true);
  EXPECT_TRUE(initially.Wait(kInfinite));
  EXPECT_FALSE(initially.Wait(1));
}

TEST(AutoResetEventTest, SetFromAnotherThreadWakesTheWaiter) {
  AutoResetEvent request;
  AutoResetEvent reply;
  std::atomic<int> handled{0};
  std::thread worker([&] {
    for (int i = 0; i < 100; ++i) {
      request.Wait();
      ++handled;
      reply.Set();
    }
  });
  for (int i = 0; i < 100; ++i) {
    request.Set();
    ASSERT_TRUE(reply.Wait());
  }
  worker.join();
  EXPECT_EQ(handled, 100);
}

TEST(ClockTest, SystemClockCountsFrom1601) {
  // 2020-01-01 and 2100-01-01 as file times.
  EXPECT_GT(DefaultClock().Now(), 132'223'104'000'000'000ULL);
  EXPECT_LT(DefaultClock().Now(), 157'469'184'000'000'000ULL);
}

TEST(ScriptedMessageBoxesTest, AnswersFromTheQueueThenTheDefaultAndRecordsAll) {
  ScriptedMessageBoxes boxes;
  boxes.QueueAnswer(IDNO);
  EXPECT_EQ(boxes.Show("Delete?", "Quorvel", MB_YESNO | MB_ICONQUESTION), IDNO);
  EXPECT_EQ(boxes.Show("Again?", "Quorvel", MB_YESNOCANCEL), IDYES);
  EXPECT_EQ(boxes.Show("Done", "Quorvel", MB_OK | MB_ICONINFORMATION), IDOK);
  auto shown = boxes.shown();
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_EQ(shown[0].text, "Delete?");
  EXPECT_EQ(shown[0].style & kMessageBoxIconMask, MB_ICONQUESTION);
  EXPECT_EQ(shown[2].caption, "Quorvel");
}

}  // namespace
}  // namespace quorvel::platform
