// Ctrl-C while progress shows at the terminal: the first cancels the work at once and
// lets it end; a second ends the program as before; afterwards SIGINT is as it was.
#include "app/terminal_interrupt.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <sstream>

#include "app/terminal_ui.h"

namespace quorvel::app {
namespace {

using std::chrono::milliseconds;

bool DefaultDisposition() {
  struct sigaction now {};
  ::sigaction(SIGINT, nullptr, &now);
  return now.sa_handler == SIG_DFL;
}

TEST(TerminalInterruptTest, TheFirstCtrlCCancelsTheWorkAtOnceAndSigintIsRestoredAfter) {
  ASSERT_TRUE(DefaultDisposition());
  std::istringstream in;
  std::ostringstream err;
  TerminalUi ui(in, err, TerminalUi::Mode::kAsk, /*progressLine=*/true);
  {
    std::unique_ptr<ui::Progress> progress = ui.BeginProgress("Judging");
    progress->Update(1, 0, "one.eml");
    EXPECT_FALSE(progress->Cancelled());
    ASSERT_EQ(::raise(SIGINT), 0);  // the process lives on
    // The work sees it without another update: waiting wakes as soon as it arrives.
    EXPECT_TRUE(progress->WaitCancelled(milliseconds(30000)));
    progress->Update(2, 0, "two.eml");
  }
  EXPECT_TRUE(DefaultDisposition());
  EXPECT_NE(err.str().find("cancelling"), std::string::npos) << err.str();
}

TEST(TerminalInterruptTest, ProgressNotShownLeavesCtrlCAlone) {
  std::istringstream in;
  std::ostringstream err;
  TerminalUi ui(in, err, TerminalUi::Mode::kAsk, /*progressLine=*/false);
  std::unique_ptr<ui::Progress> progress = ui.BeginProgress("Judging");
  EXPECT_TRUE(DefaultDisposition());
}

TEST(TerminalInterruptTest, TwoProgressesAreBothCancelledAndTheLastToEndRestores) {
  ui::CancellationToken a;
  ui::CancellationToken b;
  auto first = std::make_unique<InterruptAsCancel>(a);
  {
    InterruptAsCancel second(b);
    ASSERT_EQ(::raise(SIGINT), 0);
    EXPECT_TRUE(a.WaitFor(milliseconds(30000)));
    EXPECT_TRUE(b.WaitFor(milliseconds(30000)));
  }
  EXPECT_FALSE(DefaultDisposition());  // `first` still shows
  first.reset();
  EXPECT_TRUE(DefaultDisposition());
}

TEST(TerminalInterruptDeathTest, ASecondCtrlCEndsTheProgramAsBefore) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        ui::CancellationToken token;
        InterruptAsCancel interrupt(token);
        ::raise(SIGINT);
        token.WaitFor(milliseconds(30000));
        ::raise(SIGINT);
        // Not reached: the second SIGINT ends the process.
        std::exit(0);
      },
      testing::KilledBySignal(SIGINT), "");
}

TEST(TerminalInterruptTest, AnIgnoredSigintStaysIgnored) {
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  struct sigaction old {};
  ASSERT_EQ(::sigaction(SIGINT, &ignore, &old), 0);
  {
    ui::CancellationToken token;
    InterruptAsCancel interrupt(token);
    struct sigaction now {};
    ::sigaction(SIGINT, nullptr, &now);
    EXPECT_EQ(now.sa_handler, SIG_IGN);
  }
  ::sigaction(SIGINT, &old, nullptr);
}

}  // namespace
}  // namespace quorvel::app
