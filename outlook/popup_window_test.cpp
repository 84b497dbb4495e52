#include "outlook/popup_window.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace quorvel::outlook {
namespace {

ui::ScreenGeometry Screen() { return {{0, 0, 1280, 800}, {0, 0, 1280, 760}}; }

TEST(PopupWindowTest, CountsFromTheWorkerAreAnnouncedWhenShownAndWhenTheyChange) {
  platform::FakeClock clock;
  std::vector<std::string> announced;
  PopupWindow window({.clock = clock,
                      .screen = Screen,
                      .announce = [&](const std::string& t) { announced.push_back(t); },
                      .spamFolderItems = [] { return 12u; },
                      .timerThread = false});
  SettingsHolder settings;
  TrayCounter counter(clock, settings);
  counter.SetWindow(&window);

  counter.Count();
  EXPECT_FALSE(window.Visible());
  EXPECT_TRUE(announced.empty());  // not before the delay
  clock.AdvanceMs(1000);
  counter.Count();  // a spam that follows starts the delay over
  clock.AdvanceMs(1000);
  window.Advance();
  EXPECT_FALSE(window.Visible());
  clock.AdvanceMs(1000);
  window.Advance();
  ASSERT_TRUE(window.Visible());
  EXPECT_EQ(announced, std::vector<std::string>{"You've got 2 spam messages"});
  // Long after, but while the window is still up, the count goes on.
  clock.AdvanceMs(3000);
  window.Advance();
  ASSERT_TRUE(window.Visible());
  counter.Count();
  EXPECT_EQ(announced.back(), "You've got 3 spam messages");
  clock.AdvanceMs(6000);
  window.Advance();
  EXPECT_FALSE(window.Visible());
}

// A burst of spam does not count the spam folder once per message: at most once a
// second, and afresh when a new series of spam starts.
TEST(PopupWindowTest, TheSpamFolderIsCountedAtMostOnceASecond) {
  platform::FakeClock clock;
  int reads = 0;
  PopupWindow window({.clock = clock,
                      .screen = Screen,
                      .announce = {},
                      .spamFolderItems =
                          [&] {
                            ++reads;
                            return 100u;
                          },
                      .timerThread = false});
  for (std::uint32_t count = 1; count <= 50; ++count) window.Notify(count, 2000);
  EXPECT_EQ(reads, 1);
  clock.AdvanceMs(1000);
  window.Notify(51, 2000);
  EXPECT_EQ(reads, 2);
  window.Notify(1, 2000);  // a new series
  EXPECT_EQ(reads, 3);
}

TEST(PopupWindowTest, TheTimerThreadPlaysTheAnimationOnTheRealClock) {
  std::vector<std::string> announced;
  std::mutex mutex;
  PopupWindow window({.clock = platform::DefaultClock(),
                      .screen = Screen,
                      .announce =
                          [&](const std::string& t) {
                            std::lock_guard<std::mutex> lock(mutex);
                            announced.push_back(t);
                          },
                      .spamFolderItems = {}});
  window.Notify(1, 0);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (window.state() != ui::TrayPopup::State::kWaiting &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_EQ(window.state(), ui::TrayPopup::State::kWaiting);
  std::lock_guard<std::mutex> lock(mutex);
  EXPECT_EQ(announced, std::vector<std::string>{"You've got 1 spam message"});
}

}  // namespace
}  // namespace quorvel::outlook
