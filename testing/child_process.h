// ChildProcess: a program started by a test as a separate process, the way a user or
// a service manager starts it: its own argument list, an environment built from the
// test's with some variables replaced (a temporary home), standard input from a file
// or /dev/null, and standard output and error kept in files the test reads back.
//
//   TemporaryHome home;
//   auto host = ChildProcess::Start({QUORVEL_PROGRAM, "run"}, home.Environment());
//   ASSERT_TRUE(WaitUntil([&] { return RunProgram(...).status == 0; }, 20s));
//   host->Signal(SIGTERM);
//   auto end = host->Wait(20s);
//
// A process still running when its object goes is killed (SIGKILL) and reaped, so a
// failing test leaves nothing behind. Not thread-safe: one test thread uses it.
#ifndef QUORVEL_TESTING_CHILD_PROCESS_H_
#define QUORVEL_TESTING_CHILD_PROCESS_H_

#include <sys/types.h>

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quorvel::testing {

// Variables to set in a child's environment; an empty value removes the variable.
using EnvironmentChanges = std::map<std::string, std::string>;

// How a process ended.
struct ExitResult {
  int status = -1;  // the exit status; -1 when a signal ended it
  int signal = 0;   // the signal that ended it, else 0
};

class ChildProcess {
 public:
  struct Options {
    std::string stdinFile;   // "" : /dev/null
    std::string outputDir;   // where stdout/stderr files go; "" : a temporary folder
    std::string workingDir;  // "" : the test's own
  };
  // Starts argv[0] (a path) with argv. Nothing, with *error, when it cannot start.
  static std::unique_ptr<ChildProcess> Start(const std::vector<std::string>& argv,
                                             const EnvironmentChanges& environment,
                                             const Options& options, std::string* error);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t pid() const { return pid_; }
  bool Signal(int signal);
  // The end of the process, waiting at most `timeout`; nothing when it still runs.
  std::optional<ExitResult> Wait(std::chrono::milliseconds timeout);
  // Whether it still runs (reaps it when it ended).
  bool Running();
  // What it wrote so far.
  std::string Output() const;
  std::string Errors() const;

 private:
  ChildProcess() = default;

  pid_t pid_ = -1;
  std::optional<ExitResult> end_;
  std::string outPath_, errPath_;
  std::string ownDir_;  // removed at the end when the object made it
};

// Runs a program to its end (killed after `timeout`: then status -1 and signal SIGKILL)
// and returns how it ended with what it wrote.
struct ProgramRun {
  ExitResult end;
  std::string out;
  std::string err;
};
ProgramRun RunProgram(const std::vector<std::string>& argv, const EnvironmentChanges& environment,
                      const std::string& stdinText = "",
                      std::chrono::milliseconds timeout = std::chrono::seconds(60));

}  // namespace quorvel::testing

#endif  // QUORVEL_TESTING_CHILD_PROCESS_H_
