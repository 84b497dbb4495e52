// Internal to mapi/maildir: the store's thread. It delivers the store's notifications
// to the advise sinks and, with inotify, notices files arriving in the folders' new/
// and cur/ directories and new folders under the root.
//
// Events the store causes itself are Posted by the store; the arrivals they produce on
// disk are announced beforehand with ExpectArrival so that they are not reported a
// second time as new mail.
//
// Locking (inside State): sinksMutex guards the sinks and the connection numbers;
// dispatchMutex is held while one sink runs, so that Unadvise from any other thread
// returns only once its sink is no longer running; mutex guards the queue, the expected
// arrivals and the watch table. No lock but dispatchMutex is held across a call out.
#ifndef QUORVEL_MAPI_MAILDIR_MAILDIR_WATCHER_H_
#define QUORVEL_MAPI_MAILDIR_MAILDIR_WATCHER_H_

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "mapi/maildir/maildir_names.h"
#include "mapi/notification.h"
#include "mapi/result.h"

namespace quorvel::mapi {

class MaildirWatcher {
 public:
  // New-mail notifications carry the message flags its file name gives and no message
  // class: the watcher never reads a message (whoever judges it reads it, once).
  MaildirWatcher(std::string root, StoreKey key, bool useInotify);
  ~MaildirWatcher();
  MaildirWatcher(const MaildirWatcher&) = delete;
  MaildirWatcher& operator=(const MaildirWatcher&) = delete;

  Result<std::uint32_t> Advise(const EntryId& id, std::uint32_t eventMask,
                               std::shared_ptr<AdviseSink> sink);
  HRESULT Unadvise(std::uint32_t connection);

  // Queues notifications for delivery on the watcher thread.
  void Post(std::vector<Notification> notifications);
  // The store is about to create `path` itself (or gave up doing so).
  void ExpectArrival(const std::string& path);
  void ForgetArrival(const std::string& path);
  // Starts watching a folder's directories (the store created it).
  void WatchFolder(const std::string& folderPath);

  // Everything the thread touches lives in State, which the thread keeps alive: a
  // sink may drop the last reference to the store (and so destroy the watcher) from
  // inside OnNotify.
  struct State;

 private:
  std::shared_ptr<State> state_;
  std::thread thread_;
};

}  // namespace quorvel::mapi

#endif  // QUORVEL_MAPI_MAILDIR_MAILDIR_WATCHER_H_
