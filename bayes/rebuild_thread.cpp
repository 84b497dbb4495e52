// The background thread that rebuilds the mail base on request.
#include <system_error>
#include <utility>

#include "bayes/mailbase_store.h"

namespace quorvel {

int MailbaseStore::StartRebuildThread() {
  std::lock_guard lock(threadMutex_);
  if (thread_) return 0;
  auto wake = std::make_unique<platform::AutoResetEvent>(false);
  running_ = true;
  try {
    thread_ = std::make_unique<std::thread>(&MailbaseStore::RebuildThreadBody, this, wake.get());
  } catch (const std::system_error& e) {
    return e.code().value() != 0 ? e.code().value() : -1;
  }
  wake_ = std::move(wake);
  return 0;
}

void MailbaseStore::RebuildThreadBody(platform::AutoResetEvent* wake) {
  for (;;) {
    wake->Wait();
    // Every request made so far is served, even after a stop was asked for: the
    // event's two signals (request, stop) may have collapsed into one.
    while (rebuildAsked_.exchange(false)) Rebuild();
    if (!running_) return;
  }
}

void MailbaseStore::RequestRebuild() {
  std::lock_guard lock(threadMutex_);
  if (!wake_) return;
  rebuildAsked_ = true;
  wake_->Set();
}

void MailbaseStore::StopRebuildThread() {
  std::unique_ptr<std::thread> thread;
  std::unique_ptr<platform::AutoResetEvent> wake;
  {
    std::lock_guard lock(threadMutex_);
    if (!thread_) return;
    running_ = false;
    wake_->Set();
    thread = std::move(thread_);
    wake = std::move(wake_);
  }
  thread->join();
}

}  // namespace quorvel
