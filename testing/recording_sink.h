// RecordingSink: an advise sink that keeps every notification it is given, for tests
// of notification handling. Thread-safe: OnNotify runs on a store's thread while the
// test reads on its own.
#ifndef QUORVEL_TESTING_RECORDING_SINK_H_
#define QUORVEL_TESTING_RECORDING_SINK_H_

#include <mutex>
#include <vector>

#include "mapi/notification.h"

namespace quorvel {

class RecordingSink final : public mapi::AdviseSink {
 public:
  mapi::HRESULT OnNotify(std::span<const mapi::Notification> notifications) override {
    std::lock_guard lock(mutex_);
    batches_.emplace_back(notifications.begin(), notifications.end());
    return mapi::S_OK;
  }
  // Every notification so far, in order (call after DispatchNotifications()).
  std::vector<mapi::Notification> All() const {
    std::lock_guard lock(mutex_);
    std::vector<mapi::Notification> all;
    for (const auto& b : batches_) all.insert(all.end(), b.begin(), b.end());
    return all;
  }
  std::size_t BatchCount() const {
    std::lock_guard lock(mutex_);
    return batches_.size();
  }
  void Clear() {
    std::lock_guard lock(mutex_);
    batches_.clear();
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::vector<mapi::Notification>> batches_;  // guarded by mutex_
};

}  // namespace quorvel

#endif  // QUORVEL_TESTING_RECORDING_SINK_H_
