// MessageLoop: the host's user-interface thread. Tasks posted from any thread run
// one at a time, in order, on the thread that runs the loop; this is where the
// add-in, its commands, its explorer events and its dialogs run.
//
// Thread-safety: Post and Quit may be called from any thread; Run and RunPending
// from the loop's own thread only. mutex_ guards tasks_ and quit_.
#ifndef QUORVEL_HOST_MESSAGE_LOOP_H_
#define QUORVEL_HOST_MESSAGE_LOOP_H_

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

namespace quorvel::host {

class MessageLoop {
 public:
  using Task = std::function<void()>;

  // Queues a task; a task posted after Quit still runs if the loop is run again.
  void Post(Task task);
  // Runs tasks as they come until Quit; tasks queued before Quit run first.
  void Run();
  // Runs the tasks queued now (and those they post) without waiting; for tests and
  // for a short-lived host. Returns how many ran.
  int RunPending();
  void Quit();

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Task> tasks_;
  bool quit_ = false;
};

}  // namespace quorvel::host

#endif  // QUORVEL_HOST_MESSAGE_LOOP_H_
