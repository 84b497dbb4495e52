#include "mapi/imap/password_source.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <set>
#include <thread>

#include "platform/file_system.h"

extern char** environ;

namespace quorvel::mapi::imap {
namespace {

constexpr std::size_t kMaxPassword = 4096;

std::string FirstLine(std::string text) {
  std::size_t end = text.find_first_of("\r\n");
  if (end != std::string::npos) text.resize(end);
  return text;
}

std::optional<std::string> FromFile(const std::string& path, std::string* error) {
  // Not blocking: a FIFO put in its place would hold the host in open() for good.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) {
    *error = "cannot read the credentials file \"" + path + "\": " + std::strerror(errno);
    return std::nullopt;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    *error = "the credentials file \"" + path + "\" is not a regular file";
    return std::nullopt;
  }
  if ((st.st_mode & 077) != 0 || st.st_uid != ::geteuid()) {
    ::close(fd);
    *error = "the credentials file \"" + path +
             "\" may be read by others; make it yours with mode 0600 (chmod 600)";
    return std::nullopt;
  }
  std::string text;
  char buf[512];
  ssize_t n;
  while ((n = ::read(fd, buf, sizeof buf)) > 0 && text.size() < kMaxPassword) {
    text.append(buf, static_cast<std::size_t>(n));
  }
  ::close(fd);
  if (n < 0) {
    *error = "cannot read the credentials file \"" + path + "\"";
    return std::nullopt;
  }
  text = FirstLine(std::move(text));
  if (text.empty()) {
    *error = "the credentials file \"" + path + "\" holds no password";
    return std::nullopt;
  }
  return text;
}

// The command's first word, for messages: its arguments may hold a secret of their
// own (a passphrase, a token).
std::string CommandName(const std::string& command) {
  const std::size_t start = command.find_first_not_of(" \t");
  if (start == std::string::npos) return {};
  return command.substr(start, command.find_first_of(" \t\r\n", start) - start);
}

// The process groups of the password commands running now, for StopPasswordCommands.
std::mutex runningMutex;
std::set<pid_t> running;  // guarded by runningMutex

// Kills the command's whole group (the shell and whatever it started) and reaps the
// shell.
void KillGroup(pid_t pid) {
  ::kill(-pid, SIGKILL);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

std::optional<std::string> FromCommand(const std::string& command, int timeoutSeconds,
                                       std::string* error) {
  int pipefd[2];
  if (::pipe2(pipefd, O_CLOEXEC) != 0) {
    *error = "cannot run the password command";
    return std::nullopt;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipefd[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  // A group of its own, so that the deadline (or a stop) ends its children with it.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attributes, 0);
  const char* argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
  pid_t pid = 0;
  int rc;
  {
    std::lock_guard<std::mutex> lock(runningMutex);
    rc = posix_spawn(&pid, "/bin/sh", &actions, &attributes, const_cast<char**>(argv), environ);
    if (rc == 0) running.insert(pid);
  }
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  ::close(pipefd[1]);
  if (rc != 0) {
    ::close(pipefd[0]);
    *error = "cannot run the password command: " + std::string(std::strerror(rc));
    return std::nullopt;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  auto left = [&] {
    return static_cast<int>(std::max<std::int64_t>(
        0, std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                 std::chrono::steady_clock::now())
               .count()));
  };
  // Its first line is all that is read: a child it left running may hold the pipe open.
  std::string text;
  char buf[512];
  bool late = false;
  while (text.find_first_of("\r\n") == std::string::npos && text.size() < kMaxPassword) {
    pollfd p{pipefd[0], POLLIN, 0};
    const int ready = ::poll(&p, 1, left());
    if (ready < 0 && errno == EINTR) continue;
    if (ready == 0) {
      late = true;
      break;
    }
    const ssize_t n = ::read(pipefd[0], buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    text.append(buf, static_cast<std::size_t>(n));
  }
  ::close(pipefd[0]);
  int status = 0;
  while (!late) {
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid || (done < 0 && errno != EINTR)) break;
    if (left() == 0) {
      late = true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (late) KillGroup(pid);
  {
    std::lock_guard<std::mutex> lock(runningMutex);
    running.erase(pid);
  }
  if (late) {
    *error = "the password command \"" + CommandName(command) + "\" did not finish within " +
             std::to_string(timeoutSeconds) + " s";
    return std::nullopt;
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    *error = "the password command \"" + CommandName(command) + "\" failed" +
             (WIFEXITED(status) ? " with exit status " + std::to_string(WEXITSTATUS(status))
                                : std::string());
    return std::nullopt;
  }
  text = FirstLine(std::move(text));
  if (text.empty()) {
    *error = "the password command \"" + CommandName(command) + "\" printed no password";
    return std::nullopt;
  }
  return text;
}

}  // namespace

bool WritePasswordFile(const std::string& path, const std::string& password, std::string* error) {
  if (password.empty() || password.find_first_of("\r\n") != std::string::npos) {
    *error = password.empty() ? "the password is empty" : "the password holds a line end";
    return false;
  }
  platform::FileSystem& files = platform::RealFileSystem();
  const std::string folder = platform::FolderOfPath(path);
  if (const platform::FileStatus made = files.CreateFolders(folder, 0700); !made.ok()) {
    *error = "cannot make the folder \"" + folder + "\": " + std::strerror(made.code());
    return false;
  }
  if (const platform::FileStatus written = files.WriteFileAtomic(path, password + "\n", 0600);
      !written.ok()) {
    *error = "cannot write the credentials file \"" + path + "\": " + std::strerror(written.code());
    return false;
  }
  return true;
}

std::optional<std::string> ReadPassword(const PasswordSource& source, std::string* error) {
  std::string ignored;
  if (error == nullptr) error = &ignored;
  if (!source.command.empty()) return FromCommand(source.command, source.timeoutSeconds, error);
  if (!source.file.empty()) return FromFile(source.file, error);
  *error = "no password: neither a credentials file nor a password command is set";
  return std::nullopt;
}

void StopPasswordCommands() {
  std::lock_guard<std::mutex> lock(runningMutex);
  for (pid_t pid : running) ::kill(-pid, SIGKILL);
}

}  // namespace quorvel::mapi::imap
