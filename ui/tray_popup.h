// TrayPopup: the model of the small window that slides out of the screen edge where
// the taskbar is and says how many spam messages arrived. It holds the animation
// state, position and text; its timers are deadlines on the injected clock, fired by
// Advance(), so that a front end (or a test) drives it by calling Advance when time
// has passed. Rendering is the front end's business: it reads state(), position()
// and Text(), and hears about appearance and text changes through the observer.
//
// Timers, as the window has them: 100 (the delay before showing), 1 (one step
// inward), 2 (the stay), 3 (one step outward).
//
// Thread-safety: none; one thread (the host's user-interface thread) owns it.
#ifndef QUORVEL_UI_TRAY_POPUP_H_
#define QUORVEL_UI_TRAY_POPUP_H_

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "platform/clock.h"

namespace quorvel::ui {

struct PopupRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int width() const { return right - left; }
  int height() const { return bottom - top; }
  bool operator==(const PopupRect&) const = default;
};

// The screen and the part of it not covered by the taskbar.
struct ScreenGeometry {
  PopupRect screen;
  PopupRect workArea;
};

class TrayPopupObserver {
 public:
  virtual ~TrayPopupObserver() = default;
  // The window starts to appear with `text`.
  virtual void OnPopupShown(const std::string& text) = 0;
  // The text changed while the window is visible.
  virtual void OnPopupTextChanged(const std::string& text) = 0;
  virtual void OnPopupHidden() = 0;
};

class TrayPopup {
 public:
  enum class State { kHidden = 0, kAppearing = 1, kWaiting = 2, kDisappearing = 3 };
  enum class Side { kBottom = 1, kLeft = 2, kRight = 3, kTop = 4 };

  static constexpr int kWidth = 300;
  static constexpr int kHeight = 90;
  static constexpr int kIncrement = 3;  // pixels per step
  static constexpr std::uint32_t kTimerDelay = 100, kTimerAppear = 1, kTimerStay = 2,
                                 kTimerDisappear = 3;

  // `clock` must outlive the popup; `screen` is asked each time the window shows;
  // `observer` may be null.
  TrayPopup(const platform::Clock& clock, std::function<ScreenGeometry()> screen,
            TrayPopupObserver* observer);

  // Stores the counts and repaints (the text changes in place while visible).
  void SetCounts(std::uint32_t spamFolderItems, std::uint32_t newSpam);
  // Fed by the worker after a move: the counts, then, unless the window is visible,
  // timer 100 with `delayMs`.
  void Notify(std::uint32_t spamFolderItems, std::uint32_t newSpam, std::uint32_t delayMs);
  // Appear, stay and disappear, in ms.
  void Show(std::uint32_t appearMs, std::uint32_t stayMs, std::uint32_t disappearMs);
  // A click on the window: it goes away at once.
  void Hide();
  // Fires every timer that is due by the clock's tick count, in order.
  void Advance();

  State state() const { return state_; }
  bool visible() const { return state_ != State::kHidden; }
  Side side() const { return side_; }
  PopupRect position() const { return current_; }
  PopupRect finalPosition() const { return final_; }
  std::uint32_t newSpam() const { return newSpam_; }
  std::uint32_t spamFolderItems() const { return spamFolderItems_; }
  // Text item 185, "You've got 3 spam messages".
  std::string Text() const;
  bool TimerRunning(std::uint32_t id) const { return timers_.count(id) != 0; }
  // Ms until the next timer fires (0 when one is due), or nothing when none runs.
  std::optional<std::uint32_t> NextDueMs() const;

 private:
  struct Timer {
    std::uint32_t due = 0;  // tick count
    std::uint32_t interval = 0;
  };
  void StartTimer(std::uint32_t id, std::uint32_t intervalMs);
  void StopTimer(std::uint32_t id) { timers_.erase(id); }
  void Fire(std::uint32_t id);
  // One step toward `goal` along the popup's side (inward to final_, outward to
  // Outside()); true once there.
  bool StepToward(const PopupRect& goal);
  PopupRect Outside() const;

  const platform::Clock& clock_;
  std::function<ScreenGeometry()> screen_;
  TrayPopupObserver* observer_;
  State state_ = State::kHidden;
  std::uint32_t appearMs_ = 0, stayMs_ = 0, disappearMs_ = 0;
  std::uint32_t appearStep_ = 1, disappearStep_ = 1;
  Side side_ = Side::kBottom;
  ScreenGeometry geometry_;
  PopupRect final_, current_;
  std::uint32_t spamFolderItems_ = 0;
  std::uint32_t newSpam_ = 0;
  std::map<std::uint32_t, Timer> timers_;
  std::optional<std::uint32_t> firing_;  // the due tick of the timer being fired
};

// Where the taskbar is, from the work area and the screen.
TrayPopup::Side TaskbarSide(const ScreenGeometry& geometry);

}  // namespace quorvel::ui

#endif  // QUORVEL_UI_TRAY_POPUP_H_
