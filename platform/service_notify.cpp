#include "platform/service_notify.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace quorvel::platform {

bool NotifyServiceManager(const std::string& state) {
  const char* target = std::getenv("NOTIFY_SOCKET");
  if (target == nullptr || target[0] == '\0') return true;
  std::string path = target;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if ((path[0] != '/' && path[0] != '@') || path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.data(), path.size());
  if (path[0] == '@') address.sun_path[0] = '\0';  // an abstract socket
  socklen_t length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size());
  int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  bool sent =
      ::sendto(fd, state.data(), state.size(), MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&address),
               length) == static_cast<ssize_t>(state.size());
  ::close(fd);
  return sent;
}

}  // namespace quorvel::platform
