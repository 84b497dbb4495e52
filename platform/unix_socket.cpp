#include "platform/unix_socket.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace quorvel::platform {
namespace {

bool Address(const std::string& path, sockaddr_un* address, std::string* error) {
  std::memset(address, 0, sizeof *address);
  address->sun_family = AF_UNIX;
  if (path.size() >= sizeof address->sun_path) {
    if (error) *error = "socket path too long: " + path;
    return false;
  }
  std::memcpy(address->sun_path, path.c_str(), path.size() + 1);
  return true;
}

std::string Reason(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

}  // namespace

Socket::~Socket() {
  if (fd_ >= 0) ::close(fd_);
}

Socket& Socket::operator=(Socket&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

void Socket::Shutdown() {
  if (fd_ >= 0) ::shutdown(fd_, SHUT_RDWR);
}

bool Socket::SendAll(const void* data, std::size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t n = ::send(fd_, p, size, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool Socket::ReceiveAll(void* data, std::size_t size) {
  char* p = static_cast<char*>(data);
  while (size > 0) {
    ssize_t n = ::recv(fd_, p, size, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool Socket::SendDescriptor(int fd) {
  char byte = 'F';
  iovec data{&byte, 1};
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
  msghdr message{};
  message.msg_iov = &data;
  message.msg_iovlen = 1;
  message.msg_control = control;
  message.msg_controllen = sizeof control;
  cmsghdr* header = CMSG_FIRSTHDR(&message);
  header->cmsg_level = SOL_SOCKET;
  header->cmsg_type = SCM_RIGHTS;
  header->cmsg_len = CMSG_LEN(sizeof(int));
  std::memcpy(CMSG_DATA(header), &fd, sizeof(int));
  for (;;) {
    const ssize_t n = ::sendmsg(fd_, &message, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    return n == 1;
  }
}

int Socket::ReceiveDescriptor() {
  char byte = 0;
  iovec data{&byte, 1};
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
  msghdr message{};
  message.msg_iov = &data;
  message.msg_iovlen = 1;
  message.msg_control = control;
  message.msg_controllen = sizeof control;
  ssize_t n;
  do {
    n = ::recvmsg(fd_, &message, MSG_CMSG_CLOEXEC);
  } while (n < 0 && errno == EINTR);
  if (n != 1) return -1;
  int fd = -1;
  for (cmsghdr* h = CMSG_FIRSTHDR(&message); h != nullptr; h = CMSG_NXTHDR(&message, h)) {
    if (h->cmsg_level == SOL_SOCKET && h->cmsg_type == SCM_RIGHTS &&
        h->cmsg_len == CMSG_LEN(sizeof(int))) {
      std::memcpy(&fd, CMSG_DATA(h), sizeof(int));
    }
  }
  // More than was asked for (descriptors cut off) is refused.
  if ((message.msg_flags & MSG_CTRUNC) != 0 && fd >= 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

Socket ListenUnix(const std::string& path, std::string* error) {
  sockaddr_un address;
  if (!Address(path, &address, error)) return Socket();
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0) {
    if (!S_ISSOCK(st.st_mode)) {
      if (error) *error = path + " exists and is not a socket; move it away";
      return Socket();
    }
    // A socket nobody listens at any more is left from a host that ended.
    std::string ignored;
    if (ConnectUnix(path, &ignored).valid()) {
      if (error) *error = "another process listens at " + path;
      return Socket();
    }
    ::unlink(path.c_str());
  }
  Socket listener(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!listener.valid()) {
    if (error) *error = Reason("cannot make a socket for", path);
    return Socket();
  }
  // The file is made under a mask that leaves only the owner, then checked.
  mode_t old = ::umask(0177);
  int rc = ::bind(listener.fd(), reinterpret_cast<sockaddr*>(&address), sizeof address);
  ::umask(old);
  if (rc != 0 || ::chmod(path.c_str(), 0600) != 0 || ::listen(listener.fd(), 16) != 0) {
    if (error) *error = Reason("cannot listen at", path);
    return Socket();
  }
  return listener;
}

Socket AcceptUnix(Socket& listener) {
  for (;;) {
    int fd = ::accept4(listener.fd(), nullptr, nullptr, SOCK_CLOEXEC);
    if (fd >= 0) return Socket(fd);
    if (errno == EINTR || errno == ECONNABORTED) continue;
    return Socket();
  }
}

Socket ConnectUnix(const std::string& path, std::string* error) {
  sockaddr_un address;
  if (!Address(path, &address, error)) return Socket();
  Socket socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!socket.valid() ||
      ::connect(socket.fd(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    if (error) *error = Reason("cannot connect to", path);
    return Socket();
  }
  return socket;
}

long PeerUid(const Socket& socket) {
  ucred credentials{};
  socklen_t length = sizeof credentials;
  if (::getsockopt(socket.fd(), SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0) return -1;
  return static_cast<long>(credentials.uid);
}

}  // namespace quorvel::platform
