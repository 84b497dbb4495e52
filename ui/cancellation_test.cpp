// Cancel reaches the work at once: a worker waiting on its progress wakes the moment
// the user cancels, through a token or through the polling a presenter without one
// gets by default.
#include "ui/cancellation.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "ui/scripted_ui.h"

namespace quorvel::ui {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

TEST(CancellationTest, AWaitingWorkerWakesWhenTheUserCancelsNotAtItsDeadline) {
  ScriptedUi ui;
  std::unique_ptr<Progress> progress = ui.BeginProgress("Checking");
  std::atomic<bool> waiting{false};
  steady_clock::duration waited{};
  bool sawCancel = false;
  std::thread work([&] {
    const auto start = steady_clock::now();
    waiting = true;
    sawCancel = progress->WaitCancelled(milliseconds(60000));
    waited = steady_clock::now() - start;
  });
  while (!waiting) std::this_thread::yield();
  ui.CancelProgressNow();
  work.join();
  EXPECT_TRUE(sawCancel);
  EXPECT_LT(waited, milliseconds(30000));
  EXPECT_TRUE(progress->Cancelled());
  // Without an update in between: the work sees it before it reports anything.
  EXPECT_TRUE(ui.updates().empty());
}

TEST(CancellationTest, TokenWaitTimesOutUncancelledAndCancelIsIdempotent) {
  CancellationToken token;
  EXPECT_FALSE(token.WaitFor(milliseconds(1)));
  token.Cancel();
  token.Cancel();
  EXPECT_TRUE(token.Cancelled());
  EXPECT_TRUE(token.WaitFor(milliseconds(0)));
}

TEST(CancellationTest, TheDefaultWaitPollsAPresenterWithoutAToken) {
  class Flagged final : public Progress {
   public:
    void Update(std::uint64_t, std::uint64_t, const std::string&) override {}
    bool Cancelled() const override { return flag; }
    std::atomic<bool> flag{false};
  } progress;
  EXPECT_FALSE(progress.WaitCancelled(milliseconds(20)));
  std::thread user([&] { progress.flag = true; });
  EXPECT_TRUE(progress.WaitCancelled(milliseconds(60000)));
  user.join();
}

}  // namespace
}  // namespace quorvel::ui
