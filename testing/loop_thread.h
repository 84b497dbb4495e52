// LoopThread: a host's user-interface loop run on a thread of its own for as long as
// the object lives, as `quorvel run` runs it, so that the test's own thread can play a
// request's thread. Made: the loop runs there (waited for, with a deadline). Gone: the
// loop is quit and the thread joined.
#ifndef QUORVEL_TESTING_LOOP_THREAD_H_
#define QUORVEL_TESTING_LOOP_THREAD_H_

#include <chrono>
#include <thread>

#include "host/message_loop.h"
#include "testing/wait_until.h"

namespace quorvel::testing {

class LoopThread {
 public:
  explicit LoopThread(host::MessageLoop& loop) : loop_(loop), thread_([this] { loop_.Run(); }) {
    // Until the loop runs there, the thread that made it counts as its thread.
    running_ = WaitUntil([this] { return !loop_.IsLoopThread(); }, std::chrono::seconds(10),
                         std::chrono::milliseconds(1));
  }
  ~LoopThread() {
    loop_.Quit();
    thread_.join();
  }
  LoopThread(const LoopThread&) = delete;
  LoopThread& operator=(const LoopThread&) = delete;

  bool running() const { return running_; }
  std::thread::id id() const { return thread_.get_id(); }

 private:
  host::MessageLoop& loop_;
  std::thread thread_;
  bool running_ = false;
};

}  // namespace quorvel::testing

#endif  // QUORVEL_TESTING_LOOP_THREAD_H_
