// The spam popup as the user sees it: it slides in from the panel's side, says the
// count, changes the count in place, and goes at a click.
#include "desktop/spam_popup.h"

#include <QtTest>

using namespace quorvel;
using desktop::SpamPopup;

namespace {

ui::ScreenGeometry PanelOnTheLeft() { return {{0, 0, 1280, 800}, {48, 0, 1280, 800}}; }
ui::ScreenGeometry PanelAtTheBottom() { return {{0, 0, 1280, 800}, {0, 0, 1280, 760}}; }

// Lets the model's time pass in steps of `stepMs`, firing what is due.
void Pass(platform::FakeClock& clock, SpamPopup& popup, int ms, int stepMs = 10) {
  for (int t = 0; t < ms; t += stepMs) {
    clock.AdvanceMs(static_cast<std::uint64_t>(stepMs));
    popup.Advance();
  }
}

}  // namespace

class SpamPopupTest : public QObject {
  Q_OBJECT

 private slots:
  void slidesInFromThePanelsSideAndSaysTheCount() {
    platform::FakeClock clock;
    SpamPopup popup(clock, PanelOnTheLeft);
    popup.ShowCount(3);
    QVERIFY(!popup.isVisible());  // after the short delay
    Pass(clock, popup, 2100);
    QVERIFY(popup.isVisible());
    QCOMPARE(popup.text(), QString("You've got 3 spam messages"));
    QCOMPARE(popup.model().side(), ui::TrayPopup::Side::kLeft);
    const int x = popup.x();
    Pass(clock, popup, 100);
    QVERIFY(popup.x() > x);  // moving right, out of the left edge
    QVERIFY(popup.testAttribute(Qt::WA_ShowWithoutActivating));
    QVERIFY(popup.windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(popup.windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(popup.windowFlags() & Qt::WindowDoesNotAcceptFocus);
  }

  void aSecondCountWhileShownChangesTheTextInPlace() {
    platform::FakeClock clock;
    SpamPopup popup(clock, PanelAtTheBottom);
    popup.ShowCount(1);
    Pass(clock, popup, 2500);
    QCOMPARE(popup.text(), QString("You've got 1 spam message"));
    const auto state = popup.model().state();
    popup.ShowNotice("You've got 2 spam messages");
    QCOMPARE(popup.text(), QString("You've got 2 spam messages"));
    QCOMPARE(popup.model().state(), state);
  }

  void aClickHidesIt() {
    platform::FakeClock clock;
    SpamPopup popup(clock, PanelAtTheBottom);
    popup.ShowCount(5);
    Pass(clock, popup, 2500);
    QVERIFY(popup.isVisible());
    QTest::mouseClick(&popup, Qt::LeftButton);
    QVERIFY(!popup.isVisible());
    QCOMPARE(popup.model().state(), ui::TrayPopup::State::kHidden);
  }

  void noticesWithoutACountShowNothing() {
    QCOMPARE(desktop::NoticeCount("You've got 12 spam messages"), 12u);
    QCOMPARE(desktop::NoticeCount("Quorvel started"), 0u);
    platform::FakeClock clock;
    SpamPopup popup(clock, PanelAtTheBottom);
    popup.ShowNotice("The mail base was rebuilt");
    Pass(clock, popup, 3000);
    QVERIFY(!popup.isVisible());
  }
};

QTEST_MAIN(SpamPopupTest)
#include "spam_popup_test.moc"
