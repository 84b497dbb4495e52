#include "host/job.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace quorvel::host {

Cancellation::Cancellation() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

Cancellation::~Cancellation() {
  if (fd_ >= 0) ::close(fd_);
}

void Cancellation::Cancel() {
  if (cancelled_.exchange(true)) return;
  if (fd_ >= 0) {
    const std::uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(fd_, &one, sizeof one);
  }
  std::vector<std::pair<int, std::function<void()>>> wakes;
  {
    std::lock_guard lock(mutex_);
    wakes = wakes_;
  }
  for (auto& [id, wake] : wakes) wake();
}

int Cancellation::OnCancel(std::function<void()> wake) {
  int id;
  {
    std::lock_guard lock(mutex_);
    id = nextWake_++;
    wakes_.emplace_back(id, wake);
  }
  if (cancelled()) wake();
  return id;
}

void Cancellation::Forget(int id) {
  std::lock_guard lock(mutex_);
  std::erase_if(wakes_, [id](const auto& w) { return w.first == id; });
}

bool RunOnUserInterfaceThread(MessageLoop& loop, Cancellation& cancel, std::function<void()> task) {
  struct State {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
  };
  auto state = std::make_shared<State>();
  loop.Post([state, task = std::move(task)] {
    task();
    std::lock_guard lock(state->mutex);
    state->finished = true;
    state->done.notify_all();
  });
  const int wake = cancel.OnCancel([state] {
    std::lock_guard lock(state->mutex);
    state->done.notify_all();
  });
  std::unique_lock lock(state->mutex);
  state->done.wait(lock, [&] { return state->finished || cancel.cancelled(); });
  const bool finished = state->finished;
  lock.unlock();
  cancel.Forget(wake);
  return finished;
}

}  // namespace quorvel::host
