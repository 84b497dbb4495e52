#include "ui/tray_popup.h"

#include <gtest/gtest.h>

#include <vector>

namespace quorvel::ui {
namespace {

class Recorder final : public TrayPopupObserver {
 public:
  void OnPopupShown(const std::string& text) override { events.push_back("shown: " + text); }
  void OnPopupTextChanged(const std::string& text) override {
    events.push_back("changed: " + text);
  }
  void OnPopupHidden() override { events.push_back("hidden"); }
  std::vector<std::string> events;
};

constexpr PopupRect kScreen{0, 0, 1920, 1080};

class TrayPopupTest : public ::testing::Test {
 protected:
  void Step(std::uint32_t ms) {
    // Advance in small slices, as the host's timer would.
    for (std::uint32_t done = 0; done < ms; done += 10) {
      clock.AdvanceMs(10);
      popup.Advance();
    }
  }

  platform::FakeClock clock;
  ScreenGeometry geometry{kScreen, {0, 0, 1920, 1040}};  // taskbar at the bottom
  Recorder recorder;
  TrayPopup popup{clock, [this] { return geometry; }, &recorder};
};

TEST_F(TrayPopupTest, TaskbarSideFromTheWorkArea) {
  struct Case {
    PopupRect work;
    TrayPopup::Side side;
  };
  const Case cases[] = {
      {{0, 0, 1920, 1040}, TrayPopup::Side::kBottom}, {{60, 0, 1920, 1080}, TrayPopup::Side::kLeft},
      {{0, 40, 1920, 1080}, TrayPopup::Side::kTop},   {{0, 0, 1860, 1080}, TrayPopup::Side::kRight},
      {{0, 0, 1920, 1080}, TrayPopup::Side::kRight},  // hidden taskbar
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TaskbarSide({kScreen, c.work}), c.side) << c.work.left << "," << c.work.top;
  }
}

TEST_F(TrayPopupTest, NotifyWaitsThenSlidesInStaysAndSlidesOut) {
  popup.Notify(7, 1, 2000);
  EXPECT_EQ(popup.state(), TrayPopup::State::kHidden);
  Step(1990);
  EXPECT_FALSE(popup.visible());
  Step(10);
  ASSERT_EQ(popup.state(), TrayPopup::State::kAppearing);
  EXPECT_EQ(popup.side(), TrayPopup::Side::kBottom);
  EXPECT_EQ(popup.position().top, 1040);  // just below the work area
  EXPECT_EQ(recorder.events, std::vector<std::string>{"shown: You've got 1 spam message"});
  Step(300);
  ASSERT_EQ(popup.state(), TrayPopup::State::kWaiting);
  EXPECT_EQ(popup.position(), (PopupRect{1620, 950, 1920, 1040}));
  Step(4990);
  EXPECT_EQ(popup.state(), TrayPopup::State::kWaiting);
  Step(10);
  EXPECT_EQ(popup.state(), TrayPopup::State::kDisappearing);
  Step(300);
  EXPECT_EQ(popup.state(), TrayPopup::State::kHidden);
  EXPECT_EQ(recorder.events.back(), "hidden");
  EXPECT_FALSE(popup.TimerRunning(TrayPopup::kTimerDisappear));
}

TEST_F(TrayPopupTest, ASecondSpamWhileVisibleChangesTheTextInPlace) {
  popup.Notify(1, 1, 2000);
  Step(2400);
  ASSERT_EQ(popup.state(), TrayPopup::State::kWaiting);
  PopupRect at = popup.position();
  popup.Notify(2, 2, 2000);
  EXPECT_EQ(popup.Text(), "You've got 2 spam messages");
  EXPECT_EQ(recorder.events.back(), "changed: You've got 2 spam messages");
  EXPECT_EQ(popup.position(), at);
  EXPECT_FALSE(popup.TimerRunning(TrayPopup::kTimerDelay));
}

TEST_F(TrayPopupTest, ShowAgainRestartsTheStayOrReversesTheSlideOut) {
  popup.Show(300, 5000, 300);
  Step(300 + 4000);
  popup.Show(300, 5000, 300);  // waiting: the stay starts over
  Step(4000);
  EXPECT_EQ(popup.state(), TrayPopup::State::kWaiting);
  Step(1100);
  ASSERT_EQ(popup.state(), TrayPopup::State::kDisappearing);
  Step(100);
  popup.Show(300, 5000, 300);  // disappearing: turns round
  EXPECT_EQ(popup.state(), TrayPopup::State::kAppearing);
  Step(300);
  EXPECT_EQ(popup.state(), TrayPopup::State::kWaiting);
  EXPECT_EQ(popup.position(), popup.finalPosition());
}

TEST_F(TrayPopupTest, SlidesFromTheTaskbarSideAndAClickHidesIt) {
  geometry.workArea = {60, 0, 1920, 1080};
  popup.Show(300, 5000, 300);
  EXPECT_EQ(popup.side(), TrayPopup::Side::kLeft);
  EXPECT_EQ(popup.position().right, 60);
  Step(300);
  EXPECT_EQ(popup.position(), (PopupRect{60, 990, 360, 1080}));
  popup.Hide();
  EXPECT_EQ(popup.state(), TrayPopup::State::kHidden);
  EXPECT_FALSE(popup.NextDueMs());
}

TEST_F(TrayPopupTest, AClockThatJumpsPlaysTheWholeAnimation) {
  popup.Notify(3, 3, 2000);
  clock.AdvanceMs(2000 + 300 + 5000 + 300);
  popup.Advance();
  EXPECT_EQ(popup.state(), TrayPopup::State::kHidden);
  EXPECT_EQ(recorder.events.front(), "shown: You've got 3 spam messages");
  EXPECT_EQ(recorder.events.back(), "hidden");
}

}  // namespace
}  // namespace quorvel::ui
