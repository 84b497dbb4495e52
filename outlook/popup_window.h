// PopupWindow: the tray popup as the core keeps it: the popup model (ui/tray_popup.h)
// under a lock, its timers fired by a thread of its own, fed by the worker after each
// move, and announced (a log line, a desktop notice) when it appears and whenever its
// count changes while it is up.
//
// The spam folder's item count is read at most once a second: within a burst of spam
// the count read last plus the spam moved since stands for it (counting a large
// folder for every message moved into it made a burst's cost grow with its square).
//
// Thread-safety: Visible and Notify may be called from any thread. mutex_ guards the
// model, the stop flag and the last item count; `announce` and `spamFolderItems` are
// called without it.
#ifndef QUORVEL_OUTLOOK_POPUP_WINDOW_H_
#define QUORVEL_OUTLOOK_POPUP_WINDOW_H_

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "outlook/tray_counter.h"
#include "platform/clock.h"
#include "ui/tray_popup.h"

namespace quorvel::outlook {

class PopupWindow final : public TrayWindow, private ui::TrayPopupObserver {
 public:
  struct Options {
    const platform::Clock& clock;
    std::function<ui::ScreenGeometry()> screen;
    // Called with the popup's text when it appears or its count changes.
    std::function<void(const std::string&)> announce;
    // The number of messages in the spam folder now.
    std::function<std::uint32_t()> spamFolderItems;
    // False: no timer thread; the owner calls Advance (tests).
    bool timerThread = true;
  };
  explicit PopupWindow(Options options);
  ~PopupWindow() override;
  PopupWindow(const PopupWindow&) = delete;
  PopupWindow& operator=(const PopupWindow&) = delete;

  bool Visible() const override;
  void Notify(std::uint32_t count, std::uint32_t delayMs) override;
  // Fires the timers that are due.
  void Advance();
  ui::TrayPopup::State state() const;

 private:
  void OnPopupShown(const std::string& text) override { said_.push_back(text); }
  void OnPopupTextChanged(const std::string& text) override { said_.push_back(text); }
  void OnPopupHidden() override {}
  void Flush(std::vector<std::string> said);
  void Run();
  // The spam folder's item count for a notice of `count` spam.
  std::uint32_t SpamFolderItems(std::uint32_t count);

  static constexpr std::uint32_t kItemsFreshMs = 1000;

  Options o_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  ui::TrayPopup popup_;            // guarded by mutex_
  std::vector<std::string> said_;  // guarded by mutex_: texts to announce
  bool stop_ = false;              // guarded by mutex_
  // The last item count read, at which spam count and tick; guarded by mutex_.
  bool itemsRead_ = false;
  std::uint32_t items_ = 0;
  std::uint32_t itemsCount_ = 0;
  std::uint32_t itemsTick_ = 0;
  std::thread thread_;
};

}  // namespace quorvel::outlook

#endif  // QUORVEL_OUTLOOK_POPUP_WINDOW_H_
