#include "outlook/pending_queue.h"

#include <gtest/gtest.h>

#include <atomic>

namespace quorvel::outlook {
namespace {

using mapi::EntryId;

EntryId Id(std::string bytes) { return EntryId(std::move(bytes)); }

class PendingQueueTest : public ::testing::Test {
 protected:
  void SetRespectRules(bool on) { settings.Lock()->respectOutlookRules = on ? 1 : 0; }

  platform::FakeClock clock;
  SettingsHolder settings;
  PendingQueue queue{clock, settings};
};

TEST_F(PendingQueueTest, EntriesComeInIdOrderAndTheFirstQueuingWins) {
  auto wake = std::make_shared<platform::AutoResetEvent>();
  queue.SetWakeEvent(wake);
  queue.Enqueue(Id("inbox"), Id("bbb"), kOriginDelivery);
  queue.Enqueue(Id("inbox"), Id("zz"), kOriginNotification);   // shorter ids first
  queue.Enqueue(Id("other"), Id("bbb"), kOriginNotification);  // already there: ignored
  EXPECT_TRUE(wake->Wait(0));
  EXPECT_EQ(queue.PendingCount(), 2u);

  auto first = queue.PeekNext();
  ASSERT_TRUE(first);
  EXPECT_EQ(first->messageId, Id("zz"));
  queue.Complete(first->messageId, false);
  auto second = queue.PeekNext();
  ASSERT_TRUE(second);
  EXPECT_EQ(second->messageId, Id("bbb"));
  EXPECT_EQ(second->parentId, Id("inbox"));
  EXPECT_EQ(second->origin, kOriginDelivery);
  queue.Complete(second->messageId, false);
  EXPECT_FALSE(queue.HasPending());
}

// The queue's length, reported by the host's status, follows every way in and out.
TEST_F(PendingQueueTest, TheLengthCounterFollowsTheQueue) {
  queue.Enqueue(Id("inbox"), Id("before"), kOriginStartupScan);
  std::atomic<std::uint64_t> length{99};
  queue.SetLengthCounter(&length);
  EXPECT_EQ(length.load(), 1u);
  queue.Enqueue(Id("inbox"), Id("a"), kOriginNotification);
  queue.Enqueue(Id("inbox"), Id("a"), kOriginDelivery);  // the same arrival
  EXPECT_EQ(length.load(), 2u);
  settings.Lock()->respectOutlookRules = 1;
  queue.NoteMoved(Id("a"), Id("elsewhere"));  // a rule took it
  EXPECT_EQ(length.load(), 1u);
  queue.Complete(Id("before"), false);
  EXPECT_EQ(length.load(), 0u);
  queue.SetLengthCounter(nullptr);
  queue.Enqueue(Id("inbox"), Id("b"), kOriginNotification);
  EXPECT_EQ(length.load(), 0u);
}

TEST_F(PendingQueueTest, RespectingRulesAMovedMessageIsDroppedAndSpamIsNotRemembered) {
  SetRespectRules(true);
  queue.Enqueue(Id("inbox"), Id("m1"), kOriginNotification);
  queue.NoteMoved(Id("m1"), Id("rules"));
  EXPECT_FALSE(queue.HasPending());

  queue.Enqueue(Id("inbox"), Id("m2"), kOriginNotification);
  queue.Complete(Id("m2"), true);
  EXPECT_EQ(queue.RecentSpamCount(), 0u);
  queue.NoteMoved(Id("m2"), Id("rules"));
  EXPECT_FALSE(queue.HasPending());
}

TEST_F(PendingQueueTest, NotRespectingRulesAMovedMessageIsJudgedWhereItIsNow) {
  SetRespectRules(false);
  queue.Enqueue(Id("inbox"), Id("m1"), kOriginNotification);
  queue.NoteMoved(Id("m1"), Id("rules"));
  auto next = queue.PeekNext();
  ASSERT_TRUE(next);
  EXPECT_EQ(next->parentId, Id("rules"));
  EXPECT_EQ(next->origin, kOriginNotification);
}

TEST_F(PendingQueueTest, AMoveThatChangesTheIdFollowsTheMessage) {
  SetRespectRules(false);
  queue.Enqueue(Id("inbox"), Id("inbox/m1"), kOriginNotification);
  queue.NoteMoved(Id("rules/m1"), Id("rules"), Id("inbox/m1"));
  auto next = queue.PeekNext();
  ASSERT_TRUE(next);
  EXPECT_EQ(next->messageId, Id("rules/m1"));
  EXPECT_EQ(queue.PendingCount(), 1u);
}

TEST_F(PendingQueueTest, SpamMovedByARuleWithinTwoSecondsGoesBackWithoutJudgement) {
  SetRespectRules(false);
  struct Case {
    std::uint32_t afterMs;
    bool requeued;
  };
  for (Case c : {Case{0, true}, Case{2000, true}, Case{2001, false}}) {
    SCOPED_TRACE(c.afterMs);
    PendingQueue q(clock, settings);
    q.Enqueue(Id("inbox"), Id("m"), kOriginNotification);
    q.Complete(Id("m"), true);
    clock.AdvanceMs(c.afterMs);
    q.NoteMoved(Id("m"), Id("rules"));
    ASSERT_EQ(q.HasPending(), c.requeued);
    if (c.requeued) {
      EXPECT_EQ(q.PeekNext()->origin, kOriginNotification | kOriginJudgedSpam);
      EXPECT_EQ(q.PeekNext()->parentId, Id("rules"));
    }
  }
}

// Where ids change with a move: spam a rule took elsewhere is found by the id it had
// (and sent back), while spam reported under the very id it was judged under has been
// moved back to where it was judged, by the user, and stays.
TEST_F(PendingQueueTest, SpamMovedBackToWhereItWasJudgedStaysThere) {
  SetRespectRules(false);
  queue.Enqueue(Id("inbox"), Id("inbox/m"), kOriginNotification);
  queue.Complete(Id("inbox/m"), true);
  queue.NoteMoved(Id("inbox/m"), Id("inbox"), Id("spam/m2"));
  EXPECT_FALSE(queue.HasPending());
  queue.NoteMoved(Id("rules/m3"), Id("rules"), Id("inbox/m"));
  ASSERT_TRUE(queue.HasPending());
  EXPECT_EQ(queue.PeekNext()->messageId, Id("rules/m3"));
  EXPECT_EQ(queue.PeekNext()->origin, kOriginNotification | kOriginJudgedSpam);
}

TEST_F(PendingQueueTest, PurgeForgetsOnlySpamOlderThanTheWindow) {
  SetRespectRules(false);
  queue.Enqueue(Id("inbox"), Id("old"), kOriginNotification);
  queue.Complete(Id("old"), true);
  clock.AdvanceMs(1500);
  queue.Enqueue(Id("inbox"), Id("new"), kOriginNotification);
  queue.Complete(Id("new"), true);
  queue.Enqueue(Id("inbox"), Id("good"), kOriginNotification);
  queue.Complete(Id("good"), false);
  EXPECT_EQ(queue.RecentSpamCount(), 2u);
  clock.AdvanceMs(501);
  queue.PurgeRecent();
  EXPECT_EQ(queue.RecentSpamCount(), 1u);
  // Tick counts wrap; the window still measures elapsed time.
  platform::FakeClock nearWrap(0, 0xFFFFFF00u);
  PendingQueue late(nearWrap, settings);
  late.Enqueue(Id("inbox"), Id("w"), kOriginNotification);
  late.Complete(Id("w"), true);
  nearWrap.AdvanceMs(1000);
  late.PurgeRecent();
  EXPECT_EQ(late.RecentSpamCount(), 1u);
}

TEST_F(PendingQueueTest, AMessageQueuedAgainByItsSecondRoadAfterItWasJudgedIsIgnored) {
  // The delivery event and the store's notification both queue one arrival; the
  // second may come after the worker is done with the first.
  for (bool spam : {false, true}) {
    SCOPED_TRACE(spam);
    PendingQueue q(clock, settings);
    q.Enqueue(Id("inbox"), Id("m"), kOriginDelivery);
    q.Complete(Id("m"), spam);
    clock.AdvanceMs(kRecentJudgedMs);
    q.Enqueue(Id("inbox"), Id("m"), kOriginNotification);
    q.Enqueue(Id("inbox"), Id("m"), kOriginStartupScan);
    EXPECT_FALSE(q.HasPending());
    q.Enqueue(Id("inbox"), Id("other"), kOriginNotification);  // others still come in
    EXPECT_EQ(q.PendingCount(), 1u);
    // A minute later the memory is gone, purged or not.
    clock.AdvanceMs(1);
    q.Enqueue(Id("inbox"), Id("m"), kOriginNotification);
    EXPECT_EQ(q.PendingCount(), 2u);
    q.Complete(Id("m"), false);
    clock.AdvanceMs(kRecentJudgedMs + 1);
    q.PurgeRecent();
    q.Enqueue(Id("inbox"), Id("m"), kOriginNotification);
    EXPECT_EQ(q.PendingCount(), 2u);
  }
}

}  // namespace
}  // namespace quorvel::outlook
