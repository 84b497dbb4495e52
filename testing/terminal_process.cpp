#include "testing/terminal_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "testing/wait_until.h"

extern char** environ;

namespace quorvel::testing {

TerminalProcess::TerminalProcess(const std::vector<std::string>& argv,
                                 const EnvironmentChanges& environment) {
  if (argv.empty()) {
    error_ = "no program";
    return;
  }
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  const char* name = master_ >= 0 && ::grantpt(master_) == 0 && ::unlockpt(master_) == 0
                         ? ::ptsname(master_)
                         : nullptr;
  if (name == nullptr) {
    error_ = std::string("no pseudo-terminal: ") + std::strerror(errno);
    return;
  }
  const std::string terminal = name;
  ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);

  // The new session is made before the files are opened, so that its leader opening
  // the terminal makes it the session's controlling terminal.
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, terminal.c_str(), O_RDWR, 0);
  posix_spawn_file_actions_adddup2(&actions, 0, 1);
  posix_spawn_file_actions_adddup2(&actions, 0, 2);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSID);

  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    if (environment.count(entry.substr(0, entry.find('='))) == 0) env.push_back(entry);
  }
  for (const auto& [variable, value] : environment) {
    if (!value.empty()) env.push_back(variable + "=" + value);
  }
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);

  const int rc =
      posix_spawn(&pid_, argv[0].c_str(), &actions, &attributes, args.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (rc != 0) {
    error_ = "cannot start " + argv[0] + ": " + std::strerror(rc);
    pid_ = -1;
  }
}

TerminalProcess::~TerminalProcess() {
  if (pid_ > 0 && !end_) {
    ::kill(pid_, SIGKILL);
    int wstatus = 0;
    ::waitpid(pid_, &wstatus, 0);
  }
  if (master_ >= 0) ::close(master_);
}

void TerminalProcess::Read() {
  if (master_ < 0) return;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(master_, buffer, sizeof buffer);
    if (n > 0) {
      shown_.append(buffer, static_cast<std::size_t>(n));
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      return;  // nothing more now (EAGAIN), or every holder of the terminal is gone (EIO)
    }
  }
}

bool TerminalProcess::Type(std::string_view keys) {
  return master_ >= 0 &&
         ::write(master_, keys.data(), keys.size()) == static_cast<ssize_t>(keys.size());
}

std::string TerminalProcess::Shown() {
  Read();
  return shown_;
}

bool TerminalProcess::Running() {
  Read();
  if (end_ || pid_ <= 0) return false;
  int wstatus = 0;
  if (::waitpid(pid_, &wstatus, WNOHANG) == pid_) {
    ExitResult end;
    if (WIFEXITED(wstatus)) end.status = WEXITSTATUS(wstatus);
    if (WIFSIGNALED(wstatus)) end.signal = WTERMSIG(wstatus);
    end_ = end;
    Read();
  }
  return !end_;
}

std::optional<ExitResult> TerminalProcess::Wait(std::chrono::milliseconds timeout) {
  WaitUntil([this] { return !Running(); }, timeout, std::chrono::milliseconds(5));
  return end_;
}

}  // namespace quorvel::testing
