// TerminalProcess: a program started by a test on a pseudo-terminal, as a user starts
// it at a shell prompt: standard input, output and error are the terminal, and the
// program leads a session of its own with it as its controlling terminal, so that a
// ^C typed there (Type("\x03")) interrupts it as the terminal's driver does.
//
//   TerminalProcess check({QUORVEL_PROGRAM, "check", "Eval"}, home.Environment());
//   ASSERT_TRUE(check.started()) << check.error();
//   ASSERT_TRUE(WaitUntil([&] { return check.Shown().find("Checking") != npos; }, 30s));
//   check.Type("\x03");
//   auto end = check.Wait(30s);
//
// What the program writes is read as it comes (by Shown, Running and Wait), so that a
// program writing much never waits for the test. A process still running when its
// object goes is killed (SIGKILL) and reaped. Not thread-safe: one test thread uses it.
#ifndef QUORVEL_TESTING_TERMINAL_PROCESS_H_
#define QUORVEL_TESTING_TERMINAL_PROCESS_H_

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "testing/child_process.h"

namespace quorvel::testing {

class TerminalProcess {
 public:
  // Starts argv[0] (a path) with argv; started() says whether it did.
  TerminalProcess(const std::vector<std::string>& argv, const EnvironmentChanges& environment);
  ~TerminalProcess();
  TerminalProcess(const TerminalProcess&) = delete;
  TerminalProcess& operator=(const TerminalProcess&) = delete;

  bool started() const { return pid_ > 0; }
  const std::string& error() const { return error_; }
  pid_t pid() const { return pid_; }

  // Types `keys` at the terminal.
  bool Type(std::string_view keys);
  // All the terminal showed so far.
  std::string Shown();
  // Whether it still runs (reaps it when it ended).
  bool Running();
  // The end of the process, waiting at most `timeout`; nothing when it still runs.
  std::optional<ExitResult> Wait(std::chrono::milliseconds timeout);

 private:
  void Read();

  pid_t pid_ = -1;
  int master_ = -1;  // the terminal's other side
  std::string shown_;
  std::string error_;
  std::optional<ExitResult> end_;
};

}  // namespace quorvel::testing

#endif  // QUORVEL_TESTING_TERMINAL_PROCESS_H_
