#include "mapi/imap/imap_stream.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace quorvel::mapi::imap {
namespace {

Bounded* BoundedOf(mailstream_low* s) { return static_cast<Bounded*>(s->data); }

ssize_t BoundedRead(mailstream_low* s, void* buf, size_t count) {
  Bounded* b = BoundedOf(s);
  for (;;) {
    if (b->lineEnd > 0) {
      std::size_t n = std::min(count, b->lineEnd);
      std::memcpy(buf, b->pending.data(), n);
      b->pending.erase(0, n);
      b->lineEnd -= n;
      return static_cast<ssize_t>(n);
    }
    if (b->ended) return -1;
    if (b->remaining == 0) {
      b->exceeded = true;
      b->ended = true;
      return -1;
    }
    char chunk[16384];
    ssize_t n = mailstream_low_read(b->inner, chunk, std::min(sizeof chunk, b->remaining));
    if (n <= 0) {
      b->ended = true;  // a partial line is dropped with the connection
      b->pending.clear();
      return n < 0 ? n : -1;
    }
    b->remaining -= static_cast<std::size_t>(n);
    for (ssize_t i = n; i > 0; --i) {
      if (chunk[i - 1] == '\n') {
        b->lineEnd = b->pending.size() + static_cast<std::size_t>(i);
        break;
      }
    }
    b->pending.append(chunk, static_cast<std::size_t>(n));
  }
}
ssize_t BoundedWrite(mailstream_low* s, const void* buf, size_t count) {
  return mailstream_low_write(BoundedOf(s)->inner, buf, count);
}
int BoundedClose(mailstream_low* s) { return mailstream_low_close(BoundedOf(s)->inner); }
int BoundedFd(mailstream_low* s) { return mailstream_low_get_fd(BoundedOf(s)->inner); }
void BoundedFree(mailstream_low* s) {
  Bounded* b = BoundedOf(s);
  mailstream_low_free(b->inner);
  delete b;
  free(s);  // the library allocated it
}
void BoundedCancel(mailstream_low* s) { mailstream_low_cancel(BoundedOf(s)->inner); }
struct mailstream_cancel* BoundedGetCancel(mailstream_low* s) {
  return mailstream_low_get_cancel(BoundedOf(s)->inner);
}
carray* BoundedChain(mailstream_low* s) {
  return mailstream_low_get_certificate_chain(BoundedOf(s)->inner);
}
int BoundedSetupIdle(mailstream_low* s) { return mailstream_low_setup_idle(BoundedOf(s)->inner); }
int BoundedUnsetupIdle(mailstream_low* s) {
  return mailstream_low_unsetup_idle(BoundedOf(s)->inner);
}
int BoundedInterruptIdle(mailstream_low* s) {
  return mailstream_low_interrupt_idle(BoundedOf(s)->inner);
}

mailstream_low_driver kBoundedDriver = {
    BoundedRead,      BoundedWrite,       BoundedClose,         BoundedFd,
    BoundedFree,      BoundedCancel,      BoundedGetCancel,     BoundedChain,
    BoundedSetupIdle, BoundedUnsetupIdle, BoundedInterruptIdle,
};

}  // namespace

int ConnectTcp(const std::string& host, std::uint16_t port, int timeout, int stopFd) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) return -1;
  int fd = -1;
  for (addrinfo* a = found; a != nullptr && fd < 0; a = a->ai_next) {
    fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol);
    if (fd < 0) continue;
    bool connected = ::connect(fd, a->ai_addr, a->ai_addrlen) == 0;
    if (!connected && errno == EINPROGRESS) {
      pollfd p[2] = {{fd, POLLOUT, 0}, {stopFd, POLLIN, 0}};
      int error = 0;
      socklen_t length = sizeof error;
      connected = ::poll(p, stopFd >= 0 ? 2 : 1, timeout * 1000) >= 1 && p[0].revents != 0 &&
                  ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
    }
    if (connected) {
      // The kernel probes a connection that has been quiet for 20 s, and gives it up
      // after three probes 10 s apart go unanswered: a peer that vanished without a
      // word (the network gone, the machine off) is found even between commands.
      const int on = 1, idle = 20, interval = 10, count = 3;
      ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
      ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
      ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
      ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count);
    }
    const int flags = connected ? ::fcntl(fd, F_GETFL) : -1;
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
      ::close(fd);
      fd = -1;
    }
  }
  ::freeaddrinfo(found);
  return fd;
}

Bounded* BoundStream(mailstream* stream) {
  auto* bounded = new Bounded;
  bounded->inner = mailstream_get_low(stream);
  mailstream_low* wrapper = mailstream_low_new(bounded, &kBoundedDriver);
  if (wrapper == nullptr) {
    delete bounded;
    return nullptr;
  }
  mailstream_set_low(stream, wrapper);
  return bounded;
}

}  // namespace quorvel::mapi::imap
