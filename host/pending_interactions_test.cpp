#include "host/pending_interactions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <future>
#include <thread>

#include "testing/wait_until.h"

namespace quorvel::host {
namespace {

using namespace std::chrono_literals;
using Clock = PendingInteractions::Clock;

Interaction Question(std::string caption, std::int32_t defaultAnswer = 7) {
  Interaction i;
  i.text = "Rebuild the table now?";
  i.caption = std::move(caption);
  i.style = 4;  // Yes/No
  i.defaultAnswer = defaultAnswer;
  return i;
}

// Records every event the queue publishes, in order.
struct Recorder {
  EventBus bus;
  std::mutex mutex;
  std::vector<protocol::Event> seen;
  Recorder() {
    bus.Subscribe({"*"}, [this](const protocol::Event& e) {
      std::lock_guard lock(mutex);
      seen.push_back(e);
    });
  }
  std::vector<protocol::Event> Events() {
    std::lock_guard lock(mutex);
    return seen;
  }
};

std::string Field(const protocol::Event& e, const std::string& name) {
  for (const auto& [k, v] : e.fields)
    if (k == name) return v;
  return "";
}

TEST(PendingInteractionsTest, RaisedListedTakenAndAnsweredOnce) {
  Recorder events;
  PendingInteractions pending(&events.bus);
  int calls = 0;
  InteractionAnswer got;
  const auto id = pending.Raise(Question("Quorvel"), PendingInteractions::kNoDeadline,
                                [&](const InteractionAnswer& a) { ++calls, got = a; });
  ASSERT_NE(id, 0u);
  ASSERT_EQ(pending.Count(), 1u);
  auto list = pending.List();
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].kind, "message-box");
  EXPECT_EQ(list[0].title, "Quorvel");
  EXPECT_FALSE(list[0].taken);

  // Answering without taking it, or as another connection, does nothing.
  EXPECT_FALSE(pending.Answer(id, 5, {6}));
  auto model = pending.Take(id, 5);
  ASSERT_TRUE(model);
  EXPECT_EQ(model->text, "Rebuild the table now?");
  EXPECT_TRUE(pending.List()[0].taken);
  EXPECT_FALSE(pending.Take(id, 9));
  EXPECT_FALSE(pending.Answer(id, 9, {6}));

  EXPECT_TRUE(pending.Answer(id, 5, {6}));
  EXPECT_FALSE(pending.Answer(id, 5, {2}));
  EXPECT_FALSE(pending.Take(id, 5));
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(got.button, 6);
  EXPECT_TRUE(got.byPerson);
  EXPECT_EQ(pending.Count(), 0u);

  auto seen = events.Events();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].event, "pending");
  EXPECT_EQ(Field(seen[0], "id"), std::to_string(id));
  EXPECT_EQ(seen[1].event, "pending-gone");
  EXPECT_EQ(Field(seen[1], "how"), "answered");
}

TEST(PendingInteractionsTest, WithdrawnEvenWhileTakenCompletesWithTheDefault) {
  Recorder events;
  PendingInteractions pending(&events.bus);
  int calls = 0;
  InteractionAnswer got;
  const auto id = pending.Raise(Question("Quorvel", 2), PendingInteractions::kNoDeadline,
                                [&](const InteractionAnswer& a) { ++calls, got = a; });
  ASSERT_TRUE(pending.Take(id, 5));
  EXPECT_TRUE(pending.Withdraw(id));
  EXPECT_FALSE(pending.Withdraw(id));
  // The taker's late answer finds nothing.
  EXPECT_FALSE(pending.Answer(id, 5, {6}));
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(got.button, 2);
  EXPECT_FALSE(got.byPerson);
  EXPECT_EQ(pending.Count(), 0u);
  auto seen = events.Events();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(Field(seen[1], "how"), "withdrawn");
}

TEST(PendingInteractionsTest, TwoTakersRacingOnlyOneGetsIt) {
  for (int round = 0; round < 50; ++round) {
    PendingInteractions pending;
    std::atomic<int> calls{0};
    const auto id = pending.Raise(Question("q"), PendingInteractions::kNoDeadline,
                                  [&](const InteractionAnswer&) { ++calls; });
    std::promise<void> go;
    std::shared_future<void> start = go.get_future().share();
    std::atomic<int> took{0}, answered{0};
    auto racer = [&](std::uint64_t taker) {
      start.wait();
      if (pending.Take(id, taker)) ++took;
      if (pending.Answer(id, taker, {6})) ++answered;
    };
    std::thread a(racer, 1), b(racer, 2);
    go.set_value();
    a.join();
    b.join();
    EXPECT_EQ(took.load(), 1);
    EXPECT_EQ(answered.load(), 1);
    EXPECT_EQ(calls.load(), 1);
  }
}

TEST(PendingInteractionsTest, ATakerThatLeavesReleasesWhatItHeld) {
  PendingInteractions pending;
  const auto first = pending.Raise(Question("a"), PendingInteractions::kNoDeadline);
  const auto second = pending.Raise(Question("b"), PendingInteractions::kNoDeadline);
  ASSERT_TRUE(pending.Take(first, 3));
  ASSERT_TRUE(pending.Take(second, 4));
  pending.Release(3);
  EXPECT_FALSE(pending.Answer(first, 3, {6}));
  EXPECT_TRUE(pending.Take(first, 8));    // the next client may have it
  EXPECT_FALSE(pending.Take(second, 8));  // another taker's stays with it
  EXPECT_TRUE(pending.Answer(first, 8, {6}));
  EXPECT_EQ(pending.Count(), 1u);
}

TEST(PendingInteractionsTest, ADeadlineGivesTheDefaultEvenWhenTaken) {
  Recorder events;
  PendingInteractions pending(&events.bus);
  const auto started = Clock::now();
  // On a loaded machine the deadline can pass before the taker runs; the
  // answer must be the default either way, and the taker must not trip over
  // a question that has already gone.
  std::thread taker([&] {
    ASSERT_TRUE(testing::WaitUntil([&] { return pending.Count() == 1; }, 5s));
    const auto listed = pending.List();
    if (!listed.empty()) pending.Take(listed[0].id, 1);
  });
  const InteractionAnswer answer = pending.Ask(Question("late", 7), 500ms);
  taker.join();
  EXPECT_EQ(answer.button, 7);
  EXPECT_FALSE(answer.byPerson);
  EXPECT_GE(Clock::now() - started, 500ms);
  EXPECT_EQ(pending.Count(), 0u);
  // The expiry is told, whether or not the taker got to the question first.
  const auto told = events.Events();
  EXPECT_TRUE(std::any_of(told.begin(), told.end(),
                          [](const protocol::Event& e) { return Field(e, "how") == "expired"; }));

  // A later deadline does not hold back an earlier one raised after it.
  std::atomic<int> expired{0};
  pending.Raise(Question("x"), Clock::now() + 1h, [&](const InteractionAnswer&) { ++expired; });
  pending.Raise(Question("y"), Clock::now() + 50ms, [&](const InteractionAnswer&) { ++expired; });
  EXPECT_TRUE(testing::WaitUntil([&] { return expired.load() == 1; }, 5s));
  EXPECT_EQ(pending.Count(), 1u);
}

TEST(PendingInteractionsTest, StoppingAnswersEverythingWithItsDefault) {
  auto pending = std::make_unique<PendingInteractions>();
  std::vector<std::int32_t> answers;
  std::mutex mutex;
  auto record = [&](const InteractionAnswer& a) {
    std::lock_guard lock(mutex);
    answers.push_back(a.button);
  };
  pending->Raise(Question("a", 6), PendingInteractions::kNoDeadline, record);
  const auto held = pending->Raise(Question("b", 7), PendingInteractions::kNoDeadline, record);
  ASSERT_TRUE(pending->Take(held, 2));
  std::future<InteractionAnswer> waiting =
      std::async(std::launch::async, [&] { return pending->Ask(Question("c", 2), 1h); });
  ASSERT_TRUE(testing::WaitUntil([&] { return pending->Count() == 3; }, 5s));

  pending->Stop();
  EXPECT_EQ(waiting.get().button, 2);
  EXPECT_EQ(answers, (std::vector<std::int32_t>{6, 7}));
  EXPECT_FALSE(pending->Answer(held, 2, {6}));

  // Raised after the stop: answered at once with the default, nothing queued.
  std::int32_t late = 0;
  EXPECT_EQ(pending->Raise(Question("d", 1), PendingInteractions::kNoDeadline,
                           [&](const InteractionAnswer& a) { late = a.button; }),
            0u);
  EXPECT_EQ(late, 1);
  EXPECT_EQ(pending->Count(), 0u);
  pending.reset();  // the destructor after Stop joins and answers nothing twice
  EXPECT_EQ(answers.size(), 2u);
}

}  // namespace
}  // namespace quorvel::host
