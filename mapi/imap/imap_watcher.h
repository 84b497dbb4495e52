// Internal to mapi/imap: the thread that watches the Inbox for new mail on a
// connection of its own. It waits in IDLE (renewed every idleSeconds) or, where the
// server lacks IDLE, sends a NOOP every pollSeconds, and waits for each answer at most
// answerSeconds, so that a dead connection is found; each message with a UID above the
// highest one seen so far is announced as fnevNewMail and fnevObjectCreated. Mail
// that arrives while the connection is down is announced once it is back; a changed
// UIDVALIDITY starts the count again from the mailbox's current end. A lost
// connection is opened again after 1, 2, 4 ... up to retryMaxSeconds; its loss and its
// return are told through ImapStoreOptions::linkChanged.
//
// Thread-safety: constructed and destroyed on one thread; the destructor triggers the
// stop (which interrupts a blocked command or connection) and waits for the thread.
#ifndef QUORVEL_MAPI_IMAP_IMAP_WATCHER_H_
#define QUORVEL_MAPI_IMAP_IMAP_WATCHER_H_

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "mapi/imap/imap_connection.h"
#include "mapi/imap/imap_interrupt.h"
#include "mapi/imap/imap_names.h"
#include "mapi/imap/imap_store.h"
#include "mapi/notification.h"

namespace quorvel::mapi::imap {

class ImapWatcher {
 public:
  using Announce = std::function<void(std::vector<Notification>)>;
  using NoteError = std::function<void(const std::string&)>;

  // Mail with a UID above `lastUid` in the Inbox of UIDVALIDITY `validity` is new.
  // The watcher's connections are registered with `stop`, whose trigger ends the
  // thread; `stop` must outlive the watcher.
  ImapWatcher(const ImapStoreOptions& options, StoreKey key, std::uint32_t validity,
              std::uint32_t lastUid, ImapInterrupt& stop, Announce announce, NoteError noteError);
  ~ImapWatcher();
  ImapWatcher(const ImapWatcher&) = delete;
  ImapWatcher& operator=(const ImapWatcher&) = delete;

 private:
  void Run();
  // Waits up to `seconds` for the stop signal; true when stopping.
  bool WaitStop(int seconds);
  void Check(ImapConnection& c, std::uint32_t* validity, std::uint32_t* lastUid, bool* ok);

  const ImapStoreOptions options_;
  const StoreKey key_;
  const std::uint32_t startValidity_;
  const std::uint32_t startLastUid_;
  Announce announce_;
  NoteError noteError_;
  ImapInterrupt& stop_;

  std::thread thread_;
};

}  // namespace quorvel::mapi::imap

#endif  // QUORVEL_MAPI_IMAP_IMAP_WATCHER_H_
