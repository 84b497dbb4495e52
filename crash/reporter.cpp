#include "crash/reporter.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <ctime>

#include "crash/crash_context.h"
#include "crash/memory_probe.h"
#include "crash/module_map.h"
#include "crash/report_file.h"

namespace quorvel::crash {
namespace {

constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};
constexpr std::size_t kSignalCount = sizeof kSignals / sizeof kSignals[0];
constexpr std::size_t kAltStackSize = 128 * 1024;

// Set at install, read by the handler; the config is never changed while installed.
ReporterConfig* installedConfig = nullptr;
struct sigaction previous[kSignalCount];
long utcOffset = 0;
std::atomic<bool> installed{false};
std::atomic<bool> enabled{false};
std::atomic<bool> reported{false};

// Storage the handler fills; static so that it costs the alternate stack nothing.
CrashContext crashContext;
ModuleMap moduleMap;
alignas(16) char mainAltStack[kAltStackSize];

thread_local int ownCodeDepth __attribute__((tls_model("initial-exec"))) = 0;

// An alternate signal stack for a thread other than the installing one, kept for the
// thread's life.
struct ThreadAltStack {
  void* memory = nullptr;
  ThreadAltStack() {
    stack_t current{};
    if (sigaltstack(nullptr, &current) == 0 && !(current.ss_flags & SS_DISABLE)) return;
    memory =
        mmap(nullptr, kAltStackSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) {
      memory = nullptr;
      return;
    }
    stack_t stack{};
    stack.ss_sp = memory;
    stack.ss_size = kAltStackSize;
    sigaltstack(&stack, nullptr);
  }
  ~ThreadAltStack() {
    if (memory == nullptr) return;
    stack_t off{};
    off.ss_flags = SS_DISABLE;
    sigaltstack(&off, nullptr);
    munmap(memory, kAltStackSize);
  }
};

int SignalIndex(int signal) {
  for (std::size_t i = 0; i < kSignalCount; ++i) {
    if (kSignals[i] == signal) return static_cast<int>(i);
  }
  return -1;
}

void WriteMarker(const char* path, const char* reportPath) {
  if (path[0] == '\0') return;
  const int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return;
  std::size_t size = 0;
  while (reportPath[size] != '\0') ++size;
  if (write(fd, reportPath, size) == static_cast<ssize_t>(size)) fsync(fd);
  close(fd);
}

void Report(int signal, siginfo_t* info, void* ucontext) {
  const ReporterConfig* config = installedConfig;
  if (config == nullptr) return;
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  CaptureContext(signal, info, ucontext, &crashContext);
  moduleMap.Load();
  ReportTexts texts;
  texts.version = config->version.c_str();
  texts.systemText = config->systemText.c_str();
  texts.hostText = config->hostText.c_str();
  texts.compiledOn = __DATE__;
  texts.time = BreakDownTime(static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000,
                             utcOffset);
  const int fd = OpenReportFile(config->reportPath.c_str());
  if (fd < 0) return;  // nothing written, nothing to offer
  const bool written = WriteReport(fd, crashContext, texts, moduleMap);
  fsync(fd);
  close(fd);
  if (written) WriteMarker(config->markerPath.c_str(), config->reportPath.c_str());
}

void Handler(int signal, siginfo_t* info, void* ucontext) {
  const int savedErrno = errno;
  const int index = SignalIndex(signal);
  // The previous handler takes this signal from now on; one that ignored it cannot
  // stop a fault, so the default action stands in for it.
  struct sigaction next = previous[index];
  if (!(next.sa_flags & SA_SIGINFO) && next.sa_handler == SIG_IGN) next.sa_handler = SIG_DFL;
  sigaction(signal, &next, nullptr);
  if (enabled.load() && ownCodeDepth > 0 && !reported.exchange(true)) {
    Report(signal, info, ucontext);
  }
  // A fault of the processor happens again when the handler returns and reaches the
  // previous handler; a signal that was sent is sent again.
  if (info == nullptr || info->si_code <= 0 || signal == SIGABRT) raise(signal);
  errno = savedErrno;
}

}  // namespace

std::string ReportPathFor(const std::string& moduleFolder, const std::string& dataFolder) {
  if (!moduleFolder.empty() && access(moduleFolder.c_str(), W_OK) == 0) {
    return moduleFolder + kReportFileName;
  }
  return dataFolder + kReportFileName;
}

bool InstallReporter(const ReporterConfig& config) {
  if (installed.exchange(true)) return false;
  PrepareMemoryProbe();
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  utcOffset = localtime_r(&now, &local) ? local.tm_gmtoff : 0;
  installedConfig = new ReporterConfig(config);

  stack_t current{};
  if (sigaltstack(nullptr, &current) != 0 || (current.ss_flags & SS_DISABLE)) {
    stack_t stack{};
    stack.ss_sp = mainAltStack;
    stack.ss_size = sizeof mainAltStack;
    sigaltstack(&stack, nullptr);
  }
  struct sigaction action {};
  action.sa_sigaction = Handler;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK;
  sigemptyset(&action.sa_mask);
  for (std::size_t i = 0; i < kSignalCount; ++i) {
    if (sigaction(kSignals[i], &action, &previous[i]) != 0) {
      for (std::size_t j = 0; j < i; ++j) sigaction(kSignals[j], &previous[j], nullptr);
      delete installedConfig;
      installedConfig = nullptr;
      installed.store(false);
      return false;
    }
  }
  reported.store(false);
  enabled.store(true);
  return true;
}

void UninstallReporter() {
  if (!installed.load()) return;
  enabled.store(false);
  for (std::size_t i = 0; i < kSignalCount; ++i) {
    struct sigaction mine {};
    sigaction(kSignals[i], nullptr, &mine);
    // A handler installed over ours after us stays; ours makes way for the previous.
    if ((mine.sa_flags & SA_SIGINFO) && mine.sa_sigaction == Handler) {
      sigaction(kSignals[i], &previous[i], nullptr);
    }
  }
  // The config stays allocated: a handler still running on another thread may read it.
  installed.store(false);
}

bool ReporterInstalled() { return installed.load(); }

void SetReporterEnabled(bool on) { enabled.store(on && installed.load()); }

OwnCodeScope::OwnCodeScope() {
  static thread_local ThreadAltStack altStack;
  (void)altStack;
  ++ownCodeDepth;
}

OwnCodeScope::~OwnCodeScope() { --ownCodeDepth; }

}  // namespace quorvel::crash
