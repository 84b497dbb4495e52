// MessageLoop: the host's user-interface thread. Tasks posted from any thread run
// one at a time, in order, on the thread that runs the loop; this is where the
// add-in, its commands, its explorer events and its dialogs run.
//
// The loop's thread is the one that last ran it (Run or RunPending), and before it
// first ran the one that made it.
//
// Thread-safety: Post, Call, Quit and IsLoopThread may be called from any thread; Run
// and RunPending from the loop's own thread only. mutex_ guards tasks_ and quit_.
#ifndef QUORVEL_HOST_MESSAGE_LOOP_H_
#define QUORVEL_HOST_MESSAGE_LOOP_H_

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <type_traits>

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

  bool IsLoopThread() const { return owner_.load() == std::this_thread::get_id(); }
  // Runs `f` on the loop's thread and returns its result: at once when called there,
  // else posted and waited for (what it throws is thrown here). REQUIRES: the loop
  // runs, or will; the loop's thread never waits on another thread that calls this.
  template <typename F>
  std::invoke_result_t<F&> Call(F f) {
    using R = std::invoke_result_t<F&>;
    if (IsLoopThread()) return f();
    auto task = std::make_shared<std::packaged_task<R()>>(std::move(f));
    std::future<R> result = task->get_future();
    Post([task] { (*task)(); });
    return result.get();
  }

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Task> tasks_;
  bool quit_ = false;
  std::atomic<std::thread::id> owner_{std::this_thread::get_id()};
};

}  // namespace quorvel::host

#endif  // QUORVEL_HOST_MESSAGE_LOOP_H_
