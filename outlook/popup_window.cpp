#include "outlook/popup_window.h"

#include <chrono>

namespace quorvel::outlook {

PopupWindow::PopupWindow(Options options)
    : o_(std::move(options)), popup_(o_.clock, o_.screen, this) {
  if (o_.timerThread) thread_ = std::thread([this] { Run(); });
}

PopupWindow::~PopupWindow() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

bool PopupWindow::Visible() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return popup_.visible();
}

ui::TrayPopup::State PopupWindow::state() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return popup_.state();
}

void PopupWindow::Flush(std::vector<std::string> said) {
  if (!o_.announce) return;
  for (const std::string& text : said) o_.announce(text);
}

std::uint32_t PopupWindow::SpamFolderItems(std::uint32_t count) {
  const std::uint32_t now = o_.clock.TickCount();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    // Within a burst: what was counted a moment ago plus the spam moved since.
    if (itemsRead_ && now - itemsTick_ < kItemsFreshMs && count > itemsCount_) {
      return items_ + (count - itemsCount_);
    }
  }
  std::uint32_t items = o_.spamFolderItems ? o_.spamFolderItems() : 0;
  std::lock_guard<std::mutex> lock(mutex_);
  itemsRead_ = true;
  items_ = items;
  itemsCount_ = count;
  itemsTick_ = now;
  return items;
}

void PopupWindow::Notify(std::uint32_t count, std::uint32_t delayMs) {
  std::uint32_t items = SpamFolderItems(count);
  std::vector<std::string> said;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    popup_.Notify(items, count, delayMs);
    said.swap(said_);
  }
  wake_.notify_all();
  Flush(std::move(said));
}

void PopupWindow::Advance() {
  std::vector<std::string> said;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    popup_.Advance();
    said.swap(said_);
  }
  Flush(std::move(said));
}

void PopupWindow::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stop_) {
    auto due = popup_.NextDueMs();
    if (!due) {
      wake_.wait(lock);
      continue;
    }
    if (*due > 0) {
      wake_.wait_for(lock, std::chrono::milliseconds(*due));
      continue;
    }
    popup_.Advance();
    std::vector<std::string> said;
    said.swap(said_);
    lock.unlock();
    Flush(std::move(said));
    lock.lock();
  }
}

}  // namespace quorvel::outlook
