#include "platform/lock_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace quorvel::platform {
namespace {

LockHolder ReadHolder(int fd) {
  char buffer[64] = {};
  ssize_t n = ::pread(fd, buffer, sizeof buffer - 1, 0);
  LockHolder holder;
  if (n > 0) {
    long long since = 0;
    if (std::sscanf(buffer, "%ld %lld", &holder.pid, &since) >= 1) holder.since = since;
  }
  if (holder.pid <= 0) holder = {};
  return holder;
}

}  // namespace

LockFile::~LockFile() {
  // Nobody holds it now: clear the record, then let go.
  if (::ftruncate(fd_, 0) != 0) {
    // The lock still ends with the descriptor; a stale record is harmless.
  }
  ::close(fd_);
}

std::unique_ptr<LockFile> LockFile::TryAcquire(const std::string& path, LockHolder* holder,
                                               std::string* error) {
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    if (error) *error = "cannot open " + path + ": " + std::strerror(errno);
    return nullptr;
  }
  // Holder() looks with a shared lock for an instant, and a holder writes its record
  // just after it locks: while the record is empty, ask again for a little while rather
  // than refuse because another command was looking.
  int attempts = 0;
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    int saved = errno;
    if (saved == EWOULDBLOCK && ++attempts < 50 && ReadHolder(fd).pid == 0) {
      ::usleep(2000);
      continue;
    }
    if (holder) *holder = ReadHolder(fd);
    ::close(fd);
    if (saved != EWOULDBLOCK && error) *error = "cannot lock " + path + ": " + std::strerror(saved);
    return nullptr;
  }
  char record[64];
  int length = std::snprintf(record, sizeof record, "%ld %lld\n", static_cast<long>(::getpid()),
                             static_cast<long long>(std::time(nullptr)));
  if (::ftruncate(fd, 0) != 0 ||
      ::pwrite(fd, record, static_cast<std::size_t>(length), 0) != length) {
    if (error) *error = "cannot write " + path + ": " + std::strerror(errno);
    ::close(fd);
    return nullptr;
  }
  return std::unique_ptr<LockFile>(new LockFile(path, fd));
}

LockHolder LockFile::Holder(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return {};
  LockHolder holder;
  if (::flock(fd, LOCK_SH | LOCK_NB) != 0) {
    holder = ReadHolder(fd);
    if (holder.pid == 0) holder.pid = -1;  // held, but the record is not written yet
  } else {
    ::flock(fd, LOCK_UN);
  }
  ::close(fd);
  return holder;
}

}  // namespace quorvel::platform
