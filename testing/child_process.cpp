#include "testing/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "testing/file_bytes.h"
#include "testing/wait_until.h"

extern char** environ;

namespace quorvel::testing {
namespace {

std::string MakeTemporaryFolder() {
  char pattern[] = "/tmp/quorvel-child-XXXXXX";
  return ::mkdtemp(pattern) ? std::string(pattern) : std::string();
}

// The caller's environment with `changes` applied.
std::vector<std::string> ChildEnvironment(const EnvironmentChanges& changes) {
  std::vector<std::string> out;
  for (char** e = environ; *e != nullptr; ++e) {
    std::string entry = *e;
    std::string name = entry.substr(0, entry.find('='));
    if (changes.count(name) == 0) out.push_back(std::move(entry));
  }
  for (const auto& [name, value] : changes) {
    if (!value.empty()) out.push_back(name + "=" + value);
  }
  return out;
}

ExitResult Decode(int wstatus) {
  ExitResult end;
  if (WIFEXITED(wstatus)) end.status = WEXITSTATUS(wstatus);
  if (WIFSIGNALED(wstatus)) end.signal = WTERMSIG(wstatus);
  return end;
}

}  // namespace

std::unique_ptr<ChildProcess> ChildProcess::Start(const std::vector<std::string>& argv,
                                                  const EnvironmentChanges& environment,
                                                  const Options& options, std::string* error) {
  if (argv.empty()) {
    *error = "no program";
    return nullptr;
  }
  std::unique_ptr<ChildProcess> child(new ChildProcess);
  std::string dir = options.outputDir;
  if (dir.empty()) {
    dir = child->ownDir_ = MakeTemporaryFolder();
    if (dir.empty()) {
      *error = std::string("mkdtemp: ") + std::strerror(errno);
      return nullptr;
    }
  }
  static int counter = 0;
  const std::string stem =
      dir + "/child-" + std::to_string(::getpid()) + "-" + std::to_string(++counter);
  child->outPath_ = stem + ".out";
  child->errPath_ = stem + ".err";

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  const std::string in = options.stdinFile.empty() ? "/dev/null" : options.stdinFile;
  posix_spawn_file_actions_addopen(&actions, 0, in.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, child->outPath_.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, child->errPath_.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (!options.workingDir.empty()) {
    posix_spawn_file_actions_addchdir_np(&actions, options.workingDir.c_str());
  }
  // The child starts with no signal blocked, whatever the test thread blocks.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);

  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  std::vector<std::string> env = ChildEnvironment(environment);
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);

  const int rc =
      posix_spawn(&child->pid_, argv[0].c_str(), &actions, &attributes, args.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (rc != 0) {
    *error = "cannot start " + argv[0] + ": " + std::strerror(rc);
    child->pid_ = -1;
    return nullptr;
  }
  return child;
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0 && !end_) {
    ::kill(pid_, SIGKILL);
    int wstatus = 0;
    ::waitpid(pid_, &wstatus, 0);
  }
  if (!ownDir_.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(ownDir_, ec);
  }
}

bool ChildProcess::Signal(int signal) { return !end_ && ::kill(pid_, signal) == 0; }

bool ChildProcess::Running() {
  if (end_) return false;
  int wstatus = 0;
  const pid_t done = ::waitpid(pid_, &wstatus, WNOHANG);
  if (done == pid_) end_ = Decode(wstatus);
  return !end_;
}

std::optional<ExitResult> ChildProcess::Wait(std::chrono::milliseconds timeout) {
  WaitUntil([this] { return !Running(); }, timeout, std::chrono::milliseconds(5));
  return end_;
}

std::string ChildProcess::Output() const { return Slurp(outPath_); }
std::string ChildProcess::Errors() const { return Slurp(errPath_); }

ProgramRun RunProgram(const std::vector<std::string>& argv, const EnvironmentChanges& environment,
                      const std::string& stdinText, std::chrono::milliseconds timeout) {
  ProgramRun run;
  const std::string dir = MakeTemporaryFolder();
  ChildProcess::Options options;
  options.outputDir = dir;
  if (!stdinText.empty()) {
    options.stdinFile = dir + "/stdin";
    std::ofstream(options.stdinFile, std::ios::binary) << stdinText;
  }
  std::string error;
  auto child = ChildProcess::Start(argv, environment, options, &error);
  if (!child) {
    run.err = error;
  } else {
    auto end = child->Wait(timeout);
    if (!end) {
      child->Signal(SIGKILL);
      end = child->Wait(std::chrono::seconds(10));
    }
    if (end) run.end = *end;
    run.out = child->Output();
    run.err = child->Errors();
  }
  child.reset();
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  return run;
}

}  // namespace quorvel::testing
