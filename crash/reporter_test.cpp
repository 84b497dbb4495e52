#include "crash/reporter.h"

#include <pthread.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <string>

#include "crash/report_file.h"
#include "gtest/gtest.h"
#include "testing/file_bytes.h"
#include "testing/temporary_folder.h"

namespace quorvel::crash {
namespace {

// The faults are made on purpose: the undefined-behaviour checks of a sanitizer build
// must let them happen rather than end the child first.
__attribute__((no_sanitize("undefined"))) void NullWrite() {
  volatile int* volatile target = nullptr;
  *target = 1;
}

void BadInstruction() {
#if defined(__x86_64__) || defined(__i386__)
  asm volatile("ud2");
#elif defined(__aarch64__)
  asm volatile(".inst 0x00000000");
#else
  raise(SIGILL);
#endif
}

__attribute__((no_sanitize("undefined"))) void DivideByZero() {
  // Both volatile: 1 / x is otherwise computed without dividing.
  volatile int dividend = 7;
  volatile int zero = 0;
  volatile int quotient = dividend / zero;
  (void)quotient;
}

volatile int recursionLimit = 1 << 30;

int Recurse(int depth) {
  if (depth > recursionLimit) return 0;
  volatile char pad[1024];
  pad[0] = static_cast<char>(depth);
  return Recurse(depth + 1) + pad[0];
}

void* OverflowThread(void*) {
  OwnCodeScope scope;
  Recurse(0);
  return nullptr;
}

// Overflows the stack of a thread that has 256 KiB of it (not under AddressSanitizer,
// which takes that fault itself).
[[maybe_unused]] void StackOverflow() {
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, 256 * 1024);
  pthread_t thread;
  pthread_create(&thread, &attr, OverflowThread, nullptr);
  pthread_join(thread, nullptr);
}

enum class Scope { kOwnCode, kElsewhere, kDisabled };

struct Outcome {
  int signal = 0;   // what ended the child; 0: it exited
  int status = -1;  // its exit status when it exited
  std::string report;
  std::string marker;
};

// Runs `fault` in a forked child with the reporter installed; `before` runs first
// (a handler of the program's own, installed before the reporter).
Outcome RunChild(const std::function<void()>& fault, Scope scope,
                 const std::function<void()>& before = {}) {
  testing::TemporaryFolder folder;
  const std::string reportPath = folder.File(kReportFileName);
  const std::string markerPath = folder.File("report-waiting");
  const pid_t pid = fork();
  if (pid == 0) {
    rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    if (before) before();
    ReporterConfig config{"0.1.0", "Linux Test (build 1)", " Quorvel host 0.1.0", reportPath,
                          markerPath};
    if (!InstallReporter(config)) _exit(90);
    if (scope == Scope::kDisabled) SetReporterEnabled(false);
    if (scope == Scope::kElsewhere) {
      fault();
    } else {
      OwnCodeScope own;
      fault();
    }
    _exit(0);
  }
  Outcome outcome;
  int status = 0;
  EXPECT_EQ(waitpid(pid, &status, 0), pid);
  if (WIFSIGNALED(status)) outcome.signal = WTERMSIG(status);
  if (WIFEXITED(status)) outcome.status = WEXITSTATUS(status);
  outcome.report = testing::Slurp(reportPath);
  outcome.marker = testing::Slurp(markerPath);
  EXPECT_EQ(outcome.marker.empty() ? "" : reportPath, outcome.marker);
  return outcome;
}

// Whether the child died as `signal` would have made it die. Under AddressSanitizer
// the previous handler of SIGSEGV, SIGBUS and SIGFPE is the sanitizer's, which prints
// its own report and exits instead.
void ExpectDiedOf(const Outcome& got, int signal) {
#if defined(__SANITIZE_ADDRESS__)
  if (signal == SIGSEGV || signal == SIGBUS || signal == SIGFPE) {
    // It exits, or aborts when told to (abort_on_error).
    EXPECT_TRUE(got.signal == signal || got.signal == SIGABRT || got.status > 0)
        << got.signal << " " << got.status;
    return;
  }
#endif
  EXPECT_EQ(got.signal, signal);
}

std::string Line(const std::string& report, const std::string& start) {
  const std::size_t at = report.find("\r\n" + start);
  if (at == std::string::npos) return "";
  const std::size_t end = report.find("\r\n", at + 2);
  return report.substr(at + 2, end - at - 2);
}

TEST(ReporterTest, FaultsInOwnCodeAreReportedAndTheProcessStillDies) {
  struct Case {
    const char* what;
    std::function<void()> fault;
    int signal;
    const char* code;
  };
  const Case cases[] = {
    {"null pointer", NullWrite, SIGSEGV, "C0000005 ACCESS_VIOLATION"},
    {"bad instruction", BadInstruction, SIGILL, "C000001D ILLEGAL_INSTRUCTION"},
    {"abort", [] { abort(); }, SIGABRT, "40000015 Aborted"},
#if defined(__x86_64__)
    {"divide by zero", DivideByZero, SIGFPE, "C0000094 INT_DIVIDE_BY_ZERO"},
#endif
#if !defined(__SANITIZE_ADDRESS__)
    // The sanitizer takes stack overflows for itself.
    {"stack overflow", StackOverflow, SIGSEGV, "C00000FD STACK_OVERFLOW"},
#endif
  };
  char self[4096] = {};
  ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Outcome got = RunChild(c.fault, Scope::kOwnCode);
    ExpectDiedOf(got, c.signal);
    const std::string& r = got.report;
    ASSERT_FALSE(r.empty());
    EXPECT_EQ(r.rfind("=========================================================\r\n"
                      "************Quorvel 0.1.0 Exception Report*************\r\n",
                      0),
              0u);
    EXPECT_EQ(Line(r, "Exception code:"), std::string("Exception code: ") + c.code);
    EXPECT_TRUE(std::regex_match(
        Line(r, "Exception Time:"),
        std::regex(R"(Exception Time: Exception Time is \d\d/\d\d/\d{4},\d\d:\d\d:\d\d:\d{3})")));
    EXPECT_FALSE(got.marker.empty());
#if defined(__x86_64__)
    const std::string rip = Line(r, "CS:RIP:");
    ASSERT_TRUE(std::regex_match(rip, std::regex("CS:RIP:[0-9A-F]{4}:[0-9A-F]{16}")));
    EXPECT_TRUE(std::regex_match(Line(r, "SS:RSP:"),
                                 std::regex("SS:RSP:[0-9A-F]{4}:[0-9A-F]{16}  RBP:[0-9A-F]{16}")));
    EXPECT_TRUE(std::regex_match(Line(r, "RAX:"), std::regex("RAX:[0-9A-F]{16}")));
    EXPECT_TRUE(std::regex_match(Line(r, "Flags:"), std::regex("Flags:[0-9A-F]{8}")));
    // The stack can be read; the walk starts at the instruction pointer, in this program.
    const bool overflow = std::string(c.what) == "stack overflow";
    // The stack pointer of an overflow points into the guard page, which cannot be read.
    EXPECT_EQ(r.find("RSP dump:\r\n0x") != std::string::npos, !overflow);
    const std::size_t callStack = r.find("\tAddress");
    const std::string frame = r.substr(callStack).substr(r.substr(callStack).find("\r\n") + 2);
    EXPECT_EQ(frame.substr(1, 16), rip.substr(12));
    if (std::string(c.what) == "bad instruction") {
      EXPECT_NE(r.find("RIP dump:\r\n0x0F0B"), std::string::npos);  // ud2 in memory order
      EXPECT_NE(frame.find(self), std::string::npos);
    }
#endif
    EXPECT_NE(r.find(std::string("\t") + self + "\r\n"), std::string::npos);  // module list
    EXPECT_EQ(r.substr(r.size() - 4), "\r\n\r\n");
  }
}

TEST(ReporterTest, FaultsOutsideOwnCodeOrWhileDisabledAreNotReported) {
  for (Scope scope : {Scope::kElsewhere, Scope::kDisabled}) {
    const Outcome got = RunChild(NullWrite, scope);
    ExpectDiedOf(got, SIGSEGV);
    EXPECT_EQ(got.report, "");
    EXPECT_EQ(got.marker, "");
  }
}

void ExitFromHandler(int) { _exit(42); }

TEST(ReporterTest, PreviousHandlerRunsAfterTheReport) {
  const Outcome got =
      RunChild(NullWrite, Scope::kOwnCode, [] { signal(SIGSEGV, ExitFromHandler); });
  EXPECT_EQ(got.signal, 0);
  EXPECT_EQ(got.status, 42);
  EXPECT_NE(got.report.find("ACCESS_VIOLATION"), std::string::npos);
}

TEST(ReporterTest, InstallsOnceAndUninstallRestoresThePreviousHandler) {
  const pid_t pid = fork();
  if (pid == 0) {
    signal(SIGFPE, ExitFromHandler);
    ReporterConfig config{"v", "s", " h", "/nonexistent/x", ""};
    if (!InstallReporter(config) || InstallReporter(config)) _exit(1);
    UninstallReporter();
    if (ReporterInstalled()) _exit(2);
    struct sigaction now {};
    sigaction(SIGFPE, nullptr, &now);
    if (now.sa_handler != ExitFromHandler) _exit(3);
    if (!InstallReporter(config)) _exit(4);  // again after stopping
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(ReporterTest, ReportGoesToTheModuleFolderWhenWritable) {
  testing::TemporaryFolder folder;
  const std::string module = folder.path() + "/module/";
  const std::string data = folder.path() + "/data/";
  EXPECT_EQ(ReportPathFor(module, data), data + kReportFileName);  // missing
  ASSERT_EQ(mkdir(module.c_str(), 0700), 0);
  EXPECT_EQ(ReportPathFor(module, data), module + kReportFileName);
  if (geteuid() != 0) {  // root writes anywhere
    ASSERT_EQ(chmod(module.c_str(), 0500), 0);
    EXPECT_EQ(ReportPathFor(module, data), data + kReportFileName);
  }
}

}  // namespace
}  // namespace quorvel::crash
