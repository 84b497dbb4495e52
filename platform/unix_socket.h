// Unix-domain stream sockets for the host's command channel: a listening socket
// only its owner may reach (mode 0600), the peer's user id, and whole-buffer sends
// and receives. Descriptors are closed by their Socket owner.
#ifndef QUORVEL_PLATFORM_UNIX_SOCKET_H_
#define QUORVEL_PLATFORM_UNIX_SOCKET_H_

#include <cstddef>
#include <string>

namespace quorvel::platform {

class Socket {
 public:
  Socket() = default;
  explicit Socket(int fd) : fd_(fd) {}
  ~Socket();
  Socket(Socket&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  Socket& operator=(Socket&& other) noexcept;
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;

  bool valid() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  // Stops reads and writes in both directions (wakes a thread blocked on it).
  void Shutdown();

  // Writes all of `data`; false when the peer is gone. Never raises SIGPIPE.
  bool SendAll(const void* data, std::size_t size);
  // Reads exactly `size` bytes; false at the end of the stream or on an error.
  bool ReceiveAll(void* data, std::size_t size);
  // Passes a copy of descriptor `fd` to the peer (with one byte of data).
  bool SendDescriptor(int fd);
  // Receives a descriptor sent by SendDescriptor: the new descriptor (close-on-exec;
  // the caller owns it), or -1 when none came.
  int ReceiveDescriptor();

 private:
  int fd_ = -1;
};

// Listens at `path`. A socket left there by a process that is gone is replaced; a
// path that exists but is no socket is refused and left alone. The socket file is
// made with mode 0600.
Socket ListenUnix(const std::string& path, std::string* error);
// Waits for the next connection; invalid when the listening socket was shut down.
Socket AcceptUnix(Socket& listener);
// Connects to `path`; invalid (with *error) when nothing listens there.
Socket ConnectUnix(const std::string& path, std::string* error);
// The user id of the process at the other end, or -1.
long PeerUid(const Socket& socket);

}  // namespace quorvel::platform

#endif  // QUORVEL_PLATFORM_UNIX_SOCKET_H_
