// Progress throttled for a costly front end: updates inside the interval are held
// back, the newest one held back is never lost, and a final update goes at once.
#include "ui/throttled_progress.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <thread>

#include "ui/scripted_ui.h"

namespace quorvel::ui {
namespace {

using std::chrono::milliseconds;
using testing::ElementsAre;

struct Clock {
  std::chrono::steady_clock::time_point now{};
  ThrottledProgress::Now Function() {
    return [this] { return now; };
  }
};

TEST(ThrottledProgressTest, HoldsBackInsideTheIntervalAndNeverLosesTheLast) {
  ScriptedUi ui;
  Clock clock;
  {
    ThrottledProgress progress(ui.BeginProgress("Checking"), milliseconds(100), clock.Function());
    progress.Update(1, 0, "a");  // the first goes
    clock.now += milliseconds(30);
    progress.Update(2, 0, "b");  // held, then given way to c
    progress.Update(3, 0, "c");
    clock.now += milliseconds(70);
    progress.Update(4, 0, "d");  // the interval has passed: goes
    clock.now += milliseconds(10);
    // Held until the end; longer than a string keeps in place, so that passing on the
    // held update after letting it go (a fault once) shows as garbage or to a sanitizer.
    progress.Update(5, 0, std::string(40, 'e'));
  }
  EXPECT_THAT(ui.updates(), ElementsAre("1/0 a", "4/0 d", "5/0 " + std::string(40, 'e')));
}

TEST(ThrottledProgressTest, AFinalUpdateGoesAtOnceAndFlushSendsWhatIsHeld) {
  ScriptedUi ui;
  Clock clock;
  ThrottledProgress progress(ui.BeginProgress("Checking"), milliseconds(100), clock.Function());
  progress.Update(0, 10, "start");
  progress.Update(9, 10, "almost");  // held
  progress.Update(10, 10, "done");   // final: at once, even inside the interval
  EXPECT_THAT(ui.updates(), ElementsAre("0/10 start", "10/10 done"));
  progress.Update(11, 0, "late");
  progress.Flush();
  progress.Flush();  // nothing held twice
  EXPECT_THAT(ui.updates(), ElementsAre("0/10 start", "10/10 done", "11/0 late"));
}

TEST(ThrottledProgressTest, CancelPassesThroughAtOnce) {
  ScriptedUi ui;
  ThrottledProgress progress(ui.BeginProgress("Checking"), milliseconds(100));
  EXPECT_FALSE(progress.Cancelled());
  std::thread user([&ui] { ui.CancelProgressNow(); });
  EXPECT_TRUE(progress.WaitCancelled(milliseconds(10000)));
  user.join();
  EXPECT_TRUE(progress.Cancelled());
}

}  // namespace
}  // namespace quorvel::ui
