#include "mapi/memory/notifier.h"

#include <algorithm>
#include <utility>

namespace quorvel::mapi::memory {

Notifier::Notifier() : state_(std::make_shared<State>()) {
  std::lock_guard lock(state_->mutex);
  thread_ = std::thread(Run, state_);
  state_->threadId = thread_.get_id();
}

Notifier::~Notifier() { Stop(); }

void Notifier::Stop() {
  {
    std::lock_guard lock(state_->mutex);
    state_->stopping = true;
    state_->queue.clear();
  }
  state_->changed.notify_all();
  if (!thread_.joinable()) return;
  if (thread_.get_id() == std::this_thread::get_id()) {
    thread_.detach();  // the thread ends by itself once its sink returns
  } else {
    thread_.join();
  }
}

void Notifier::Post(std::uint32_t connection, std::shared_ptr<AdviseSink> sink,
                    std::vector<Notification> batch) {
  {
    std::lock_guard lock(state_->mutex);
    if (state_->stopping) return;
    state_->queue.push_back(Item{connection, std::move(sink), std::move(batch)});
  }
  state_->changed.notify_all();
}

void Notifier::Cancel(std::uint32_t connection) {
  std::unique_lock lock(state_->mutex);
  std::erase_if(state_->queue, [&](const Item& item) { return item.connection == connection; });
  if (std::this_thread::get_id() == state_->threadId) return;
  state_->changed.wait(lock, [&] { return state_->delivering != connection || state_->stopping; });
}

void Notifier::Flush() {
  std::unique_lock lock(state_->mutex);
  if (std::this_thread::get_id() == state_->threadId) return;
  state_->changed.wait(
      lock, [&] { return (state_->queue.empty() && state_->delivering == 0) || state_->stopping; });
}

void Notifier::Run(std::shared_ptr<State> state) {
  std::unique_lock lock(state->mutex);
  for (;;) {
    state->changed.wait(lock, [&] { return state->stopping || !state->queue.empty(); });
    if (state->stopping) return;
    Item item = std::move(state->queue.front());
    state->queue.pop_front();
    state->delivering = item.connection;
    lock.unlock();
    item.sink->OnNotify(item.batch);
    item.sink.reset();
    lock.lock();
    state->delivering = 0;
    state->changed.notify_all();
  }
}

}  // namespace quorvel::mapi::memory
