// Internal to mapi/imap: what the sources of ImapConnection share. Under the IMAP
// library's session lies a TCP connection with keep-alive probes and, over it, a stream
// layer that bounds each response (kMaxResponseBytes) and hands the library only whole
// lines. ImapConnection::Impl owns the session.
//
// Thread-safety: as ImapConnection's; only Impl::fd is read from another thread (Abort).
#ifndef QUORVEL_MAPI_IMAP_IMAP_STREAM_H_
#define QUORVEL_MAPI_IMAP_IMAP_STREAM_H_

#include <libetpan/libetpan.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "mapi/imap/imap_connection.h"
#include "mapi/imap/imap_interrupt.h"

namespace quorvel::mapi::imap {

// A stream layer between the IMAP library and the network. It counts the bytes of each
// response and fails the read once a response passes its bound, and it hands the
// library only whole lines: a connection that closes in the middle of a line ends at
// the last line break, because the library's parser does not survive a response cut
// at any byte.
struct Bounded {
  mailstream_low* inner = nullptr;
  std::size_t remaining = kMaxResponseBytes;
  bool exceeded = false;
  std::string pending;      // bytes read but not yet handed on
  std::size_t lineEnd = 0;  // bytes of `pending` up to its last line break
  bool ended = false;
};

// A TCP connection to host:port, trying each of its addresses, each within `timeout`
// seconds; -1 when none answers or `stopFd` (-1: none) becomes readable first.
int ConnectTcp(const std::string& host, std::uint16_t port, int timeout, int stopFd);

// Puts the bounding layer under the session's stream, from the next byte read on;
// nothing when out of memory. The stream owns the layer.
Bounded* BoundStream(mailstream* stream);

// Owns a value the library allocated, freeing it with the library's function.
template <typename T, void (*Free)(T*)>
struct Owned {
  T* p = nullptr;
  ~Owned() {
    if (p) Free(p);
  }
};

struct ImapConnection::Impl {
  mailimap* imap = nullptr;
  Bounded* bounded = nullptr;  // owned by the stream
  std::atomic<int> fd{-1};
  ImapInterrupt* interrupt = nullptr;  // where fd is registered; may be null
  ~Impl() {
    Unregister();
    if (imap) mailimap_free(imap);  // closes the socket
  }
  void Unregister() {
    if (interrupt != nullptr && fd >= 0) interrupt->Remove(fd);
    interrupt = nullptr;
  }
  void StartCommand() {
    if (bounded) {
      bounded->remaining = kMaxResponseBytes;
      bounded->exceeded = false;
    }
  }
};

}  // namespace quorvel::mapi::imap

#endif  // QUORVEL_MAPI_IMAP_IMAP_STREAM_H_
