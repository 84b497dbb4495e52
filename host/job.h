// A job: one request of a client, run on a thread of its own with everything it
// needs as values, so that jobs of several clients run side by side and none of them
// touches process-wide state (the working folder, the current presenter).
//
// Cancellation is one flag for the job's every wait: its presenter's questions and
// progress, its standard input reads (they poll fd() beside the input) and its waits
// for the user-interface thread all return at once when it is set.
//
// Thread-safety: Cancellation is safe from any thread. A JobContext belongs to its
// job's thread; its presenter and streams are safe to use from that thread.
#ifndef QUORVEL_HOST_JOB_H_
#define QUORVEL_HOST_JOB_H_

#include <atomic>
#include <condition_variable>
#include <functional>
#include <iosfwd>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "host/message_loop.h"
#include "ui/ui.h"

namespace quorvel::host {

class Cancellation {
 public:
  Cancellation();  // an eventfd that becomes readable when cancelled
  ~Cancellation();
  Cancellation(const Cancellation&) = delete;
  Cancellation& operator=(const Cancellation&) = delete;

  void Cancel();
  bool cancelled() const { return cancelled_.load(); }
  // Readable once cancelled: poll it beside a descriptor the job waits on.
  int fd() const { return fd_; }
  // Calls `wake` on Cancel (at once when cancelled already); for a wait on a
  // condition variable. The returned id removes it.
  int OnCancel(std::function<void()> wake);
  void Forget(int id);

 private:
  std::atomic<bool> cancelled_{false};
  int fd_ = -1;
  std::mutex mutex_;  // guards wakes_ and nextWake_
  std::vector<std::pair<int, std::function<void()>>> wakes_;
  int nextWake_ = 1;
};

struct JobContext {
  std::vector<std::string> argv;
  std::string cwd;  // relative paths are resolved here; the process never changes folder
  bool interactive = false;
  bool yes = false;
  int standardInput = -1;  // the client's, open while the job runs; -1: none
  std::ostream& out;
  std::ostream& err;
  std::shared_ptr<ui::Ui> presenter;  // asks the job's client
  std::shared_ptr<Cancellation> cancel;
  MessageLoop* loop = nullptr;  // the host's user-interface thread
};

// Runs `task` on the user-interface thread and waits for it; false (the task not run,
// or its result not waited for) when the job is cancelled first. The task must not
// wait on a client.
bool RunOnUserInterfaceThread(MessageLoop& loop, Cancellation& cancel, std::function<void()> task);

}  // namespace quorvel::host

#endif  // QUORVEL_HOST_JOB_H_
