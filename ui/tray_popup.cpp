#include "ui/tray_popup.h"

#include <algorithm>
#include <cstdio>

#include "platform/string_table.h"

namespace quorvel::ui {
namespace {

constexpr std::uint32_t kStringNewSpam = 185;
constexpr std::uint32_t kShowAppearMs = 300;
constexpr std::uint32_t kShowStayMs = 5000;
constexpr std::uint32_t kShowDisappearMs = 300;

// Whether tick `due` has come by tick `now` (tick counts wrap).
bool Due(std::uint32_t due, std::uint32_t now) { return static_cast<std::int32_t>(now - due) >= 0; }

}  // namespace

TrayPopup::Side TaskbarSide(const ScreenGeometry& g) {
  const PopupRect& work = g.workArea;
  if (work.left == g.screen.left && work.top == g.screen.top && work.height() < g.screen.height()) {
    return TrayPopup::Side::kBottom;
  }
  if (work.left != g.screen.left) return TrayPopup::Side::kLeft;
  if (work.top != g.screen.top) return TrayPopup::Side::kTop;
  return TrayPopup::Side::kRight;
}

TrayPopup::TrayPopup(const platform::Clock& clock, std::function<ScreenGeometry()> screen,
                     TrayPopupObserver* observer)
    : clock_(clock), screen_(std::move(screen)), observer_(observer) {}

std::string TrayPopup::Text() const {
  std::string_view format = platform::LoadString(kStringNewSpam);
  char buffer[128];
  std::snprintf(buffer, sizeof buffer, std::string(format).c_str(), newSpam_,
                newSpam_ == 1 ? "" : "s");
  return buffer;
}

void TrayPopup::SetCounts(std::uint32_t spamFolderItems, std::uint32_t newSpam) {
  bool changed = newSpam != newSpam_ || spamFolderItems != spamFolderItems_;
  spamFolderItems_ = spamFolderItems;
  newSpam_ = newSpam;
  if (changed && visible() && observer_) observer_->OnPopupTextChanged(Text());
}

void TrayPopup::Notify(std::uint32_t spamFolderItems, std::uint32_t newSpam,
                       std::uint32_t delayMs) {
  SetCounts(spamFolderItems, newSpam);
  if (!visible()) StartTimer(kTimerDelay, delayMs);
}

PopupRect TrayPopup::Outside() const {
  PopupRect r = final_;
  const PopupRect& work = geometry_.workArea;
  switch (side_) {
    case Side::kBottom:
      r.top = work.bottom;
      break;
    case Side::kTop:
      r.top = work.top - kHeight;
      break;
    case Side::kLeft:
      r.left = work.left - kWidth;
      break;
    case Side::kRight:
      r.left = work.right;
      break;
  }
  r.right = r.left + kWidth;
  r.bottom = r.top + kHeight;
  return r;
}

void TrayPopup::Show(std::uint32_t appearMs, std::uint32_t stayMs, std::uint32_t disappearMs) {
  appearMs_ = appearMs;
  stayMs_ = stayMs;
  disappearMs_ = disappearMs;
  switch (state_) {
    case State::kHidden: {
      geometry_ = screen_ ? screen_() : ScreenGeometry{};
      side_ = TaskbarSide(geometry_);
      bool vertical = side_ == Side::kBottom || side_ == Side::kTop;
      int size = vertical ? kHeight : kWidth;
      std::uint32_t steps = static_cast<std::uint32_t>(std::max(1, size / kIncrement));
      appearStep_ = std::max<std::uint32_t>(1, appearMs_ / steps);
      disappearStep_ = std::max<std::uint32_t>(1, disappearMs_ / steps);
      const PopupRect& work = geometry_.workArea;
      // The corner next to the taskbar's notification area.
      final_.left = side_ == Side::kLeft ? work.left : work.right - kWidth;
      final_.top = side_ == Side::kTop ? work.top : work.bottom - kHeight;
      final_.right = final_.left + kWidth;
      final_.bottom = final_.top + kHeight;
      current_ = Outside();
      state_ = State::kAppearing;
      StartTimer(kTimerAppear, appearStep_);
      if (observer_) observer_->OnPopupShown(Text());
      break;
    }
    case State::kAppearing:
      break;
    case State::kWaiting:
      StartTimer(kTimerStay, stayMs_);
      break;
    case State::kDisappearing:
      StopTimer(kTimerDisappear);
      state_ = State::kAppearing;
      StartTimer(kTimerAppear, appearStep_);
      break;
  }
}

void TrayPopup::Hide() {
  if (state_ == State::kHidden) return;
  StopTimer(kTimerAppear);
  StopTimer(kTimerStay);
  StopTimer(kTimerDisappear);
  state_ = State::kHidden;
  current_ = Outside();
  if (observer_) observer_->OnPopupHidden();
}

void TrayPopup::StartTimer(std::uint32_t id, std::uint32_t intervalMs) {
  // Inside Advance a timer started by a handler counts from the moment its trigger was
  // due, so a clock that jumps far ahead replays the same animation.
  std::uint32_t from = firing_ ? *firing_ : clock_.TickCount();
  timers_[id] = Timer{from + intervalMs, intervalMs};
}

std::optional<std::uint32_t> TrayPopup::NextDueMs() const {
  if (timers_.empty()) return std::nullopt;
  std::uint32_t now = clock_.TickCount();
  std::uint32_t best = UINT32_MAX;
  for (const auto& [id, t] : timers_) {
    best = std::min(best, Due(t.due, now) ? 0 : t.due - now);
  }
  return best;
}

void TrayPopup::Advance() {
  const std::uint32_t now = clock_.TickCount();
  for (;;) {
    // The earliest due timer; ties go to the lower id.
    std::optional<std::uint32_t> next;
    std::uint32_t nextDue = 0;
    for (const auto& [id, t] : timers_) {
      if (!Due(t.due, now)) continue;
      if (!next || static_cast<std::int32_t>(t.due - nextDue) < 0) {
        next = id;
        nextDue = t.due;
      }
    }
    if (!next) return;
    // The timer runs again one interval after it was due, unless the handler stops it.
    timers_[*next].due += std::max<std::uint32_t>(1, timers_[*next].interval);
    firing_ = nextDue;
    Fire(*next);
    firing_.reset();
  }
}

bool TrayPopup::StepToward(const PopupRect& goal) {
  bool vertical = side_ == Side::kBottom || side_ == Side::kTop;
  int& pos = vertical ? current_.top : current_.left;
  int target = vertical ? goal.top : goal.left;
  pos = pos < target ? std::min(pos + kIncrement, target) : std::max(pos - kIncrement, target);
  current_.right = current_.left + kWidth;
  current_.bottom = current_.top + kHeight;
  return pos == target;
}

void TrayPopup::Fire(std::uint32_t id) {
  switch (id) {
    case kTimerDelay:
      StopTimer(kTimerDelay);
      Show(kShowAppearMs, kShowStayMs, kShowDisappearMs);
      break;
    case kTimerAppear:
      if (StepToward(final_)) {
        StopTimer(kTimerAppear);
        StartTimer(kTimerStay, stayMs_);
        state_ = State::kWaiting;
      }
      break;
    case kTimerStay:
      StopTimer(kTimerStay);
      StartTimer(kTimerDisappear, disappearStep_);
      state_ = State::kDisappearing;
      break;
    case kTimerDisappear:
      if (StepToward(Outside())) {
        StopTimer(kTimerDisappear);
        state_ = State::kHidden;
        if (observer_) observer_->OnPopupHidden();
      }
      break;
    default:
      StopTimer(id);
      break;
  }
}

}  // namespace quorvel::ui
