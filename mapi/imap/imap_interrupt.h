// ImapInterrupt: ends, from another thread, the blocking calls of the IMAP connections
// that share it. Each connection registers its socket while it is open; Trigger shuts
// every registered socket down (a read or write blocked on it returns at once and the
// connection is broken), refuses every later registration (a connection being opened
// fails at once) and makes fd() readable for threads that wait in poll. Once
// triggered it stays so.
//
// Thread-safety: every member from any thread; mutex_ guards sockets_ and
// triggered_. A socket must be removed before it is closed, so that a trigger never
// shuts down a descriptor that was reused.
#ifndef QUORVEL_MAPI_IMAP_IMAP_INTERRUPT_H_
#define QUORVEL_MAPI_IMAP_IMAP_INTERRUPT_H_

#include <mutex>
#include <set>

namespace quorvel::mapi::imap {

class ImapInterrupt {
 public:
  ImapInterrupt();
  ~ImapInterrupt();
  ImapInterrupt(const ImapInterrupt&) = delete;
  ImapInterrupt& operator=(const ImapInterrupt&) = delete;

  void Trigger();
  bool triggered() const;
  // An eventfd, readable once triggered.
  int fd() const { return eventFd_; }

  // An open socket to shut down at the trigger. False (and not registered) when
  // triggered already.
  bool Add(int socket);
  // REQUIRES: called before the socket is closed.
  void Remove(int socket);

 private:
  const int eventFd_;
  mutable std::mutex mutex_;
  std::set<int> sockets_;   // guarded by mutex_
  bool triggered_ = false;  // guarded by mutex_
};

}  // namespace quorvel::mapi::imap

#endif  // QUORVEL_MAPI_IMAP_IMAP_INTERRUPT_H_
