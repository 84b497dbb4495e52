#include "app/standard_streams.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ostream>

#include "app/commands.h"

namespace quorvel::app {

void HoldClosedStandardStreams() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // The lowest free descriptor is this one: the ones below are open by now.
    const int held = ::open("/dev/null", (fd == 0 ? O_WRONLY : O_RDONLY) | O_CLOEXEC);
    if (held != fd && held >= 0) ::close(held);
  }
}

bool StandardInputOpen(int fd) {
  if (fd < 0) return false;
  const int mode = ::fcntl(fd, F_GETFL);
  return mode != -1 && (mode & O_ACCMODE) != O_WRONLY;
}

int FinishOutput(int status, std::ostream& out, std::ostream& err) {
  errno = 0;
  out.flush();
  if (!out) {
    const int error = errno;
    err << "quorvel: cannot write to standard output"
        << (error != 0 ? std::string(": ") + std::strerror(error) : std::string()) << "\n";
    status = kExitIoError;
  }
  err.flush();
  if (!err) status = kExitIoError;
  return status;
}

}  // namespace quorvel::app
