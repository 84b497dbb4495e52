#include "ui/throttled_progress.h"

namespace quorvel::ui {

ThrottledProgress::ThrottledProgress(std::unique_ptr<Progress> inner,
                                     std::chrono::milliseconds interval, Now now)
    : inner_(std::move(inner)), interval_(interval), now_(std::move(now)) {}

ThrottledProgress::~ThrottledProgress() { Flush(); }

void ThrottledProgress::Pass(Held update) {
  held_.reset();  // `update` is a copy: it may have been the one held
  lastPassed_ = now_();
  inner_->Update(update.done, update.total, update.text);
}

void ThrottledProgress::Update(std::uint64_t done, std::uint64_t total, const std::string& text) {
  std::lock_guard lock(mutex_);
  Held update{done, total, text};
  const bool final = total != 0 && done >= total;
  if (final || !lastPassed_ || now_() - *lastPassed_ >= interval_) {
    Pass(std::move(update));
  } else {
    held_ = std::move(update);
  }
}

void ThrottledProgress::Flush() {
  std::lock_guard lock(mutex_);
  if (held_) Pass(std::move(*held_));
}

}  // namespace quorvel::ui
