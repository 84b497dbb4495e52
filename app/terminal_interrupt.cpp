#include "app/terminal_interrupt.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <mutex>
#include <set>
#include <thread>

namespace quorvel::app {
namespace {

// What the handler touches: only these, and only in async-signal-safe ways.
std::atomic<int> interrupts{0};
int wakeWrite = -1;

void OnInterrupt(int) {
  if (interrupts.fetch_add(1) == 0) {
    const char byte = 'i';
    [[maybe_unused]] ssize_t written = ::write(wakeWrite, &byte, 1);
    return;
  }
  // The second: end as an unhandled SIGINT would (delivered when the handler returns).
  ::signal(SIGINT, SIG_DFL);
  ::raise(SIGINT);
}

struct Registry {
  std::mutex mutex;  // guards what follows
  std::set<ui::CancellationToken*> tokens;
  struct sigaction previous {};
  bool installed = false;  // our handler is SIGINT's
  int wakeRead = -1;       // the watcher's end; -1 until the watcher runs

  // Waits for the handler's bytes and cancels what is registered then.
  void Watch() {
    for (;;) {
      char byte = 0;
      const ssize_t n = ::read(wakeRead, &byte, 1);
      if (n < 0 && errno == EINTR) continue;
      if (n != 1) return;
      std::lock_guard lock(mutex);
      for (ui::CancellationToken* token : tokens) token->Cancel();
    }
  }
};

Registry& TheRegistry() {
  static Registry* registry = new Registry;  // never destroyed: its thread outlives main
  return *registry;
}

}  // namespace

InterruptAsCancel::InterruptAsCancel(ui::CancellationToken& token) : token_(token) {
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  r.tokens.insert(&token_);
  if (r.tokens.size() != 1) return;
  if (r.wakeRead < 0) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return;  // Ctrl-C stays as it was
    r.wakeRead = fds[0];
    wakeWrite = fds[1];
    std::thread([&r] { r.Watch(); }).detach();
  }
  struct sigaction now {};
  if (::sigaction(SIGINT, nullptr, &now) != 0 || now.sa_handler == SIG_IGN) return;
  struct sigaction ours {};
  ours.sa_handler = OnInterrupt;
  sigemptyset(&ours.sa_mask);
  ours.sa_flags = SA_RESTART;
  interrupts = 0;
  r.installed = ::sigaction(SIGINT, &ours, &r.previous) == 0;
}

InterruptAsCancel::~InterruptAsCancel() {
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  r.tokens.erase(&token_);
  if (!r.tokens.empty() || !r.installed) return;
  ::sigaction(SIGINT, &r.previous, nullptr);
  r.installed = false;
}

}  // namespace quorvel::app
