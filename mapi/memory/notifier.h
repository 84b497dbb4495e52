// Notifier: one store's notification thread. Batches queued with Post are handed to
// their sinks in order, on this thread, with no store lock held.
// Thread-safety: all methods may be called from any thread.
#ifndef QUORVEL_MAPI_MEMORY_NOTIFIER_H_
#define QUORVEL_MAPI_MEMORY_NOTIFIER_H_

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "mapi/notification.h"

namespace quorvel::mapi::memory {

class Notifier {
 public:
  Notifier();
  ~Notifier();  // stops the thread; batches not yet delivered are dropped
  Notifier(const Notifier&) = delete;
  Notifier& operator=(const Notifier&) = delete;

  void Post(std::uint32_t connection, std::shared_ptr<AdviseSink> sink,
            std::vector<Notification> batch);
  // Drops the connection's queued batches and, unless called on the notifier thread,
  // waits until a delivery to it in progress has returned.
  void Cancel(std::uint32_t connection);
  // Waits until every batch posted so far has been delivered (returns at once on the
  // notifier thread itself).
  void Flush();
  void Stop();

 private:
  struct Item {
    std::uint32_t connection;
    std::shared_ptr<AdviseSink> sink;
    std::vector<Notification> batch;
  };
  // Shared with the thread, so that a sink may drop the last reference to the store
  // (and so destroy the Notifier) from inside OnNotify.
  struct State {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Item> queue;        // guarded by mutex
    std::uint32_t delivering = 0;  // connection being delivered, 0 none; guarded by mutex
    bool stopping = false;         // guarded by mutex
    std::thread::id threadId;      // set before the thread starts
  };
  static void Run(std::shared_ptr<State> state);

  std::shared_ptr<State> state_;
  std::thread thread_;
};

}  // namespace quorvel::mapi::memory

#endif  // QUORVEL_MAPI_MEMORY_NOTIFIER_H_
