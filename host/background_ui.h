// BackgroundUi: the host's own presenter, for what the host's threads (the worker,
// the rebuild, the store's watchers) have to say when no client asked.
//
// A question (a message box with more than an OK button, a dialog with more than one
// button) is logged and, when a pending queue is given, raised there: the thread that
// asked waits for a person's answer at most `wait`, then takes the default button.
// Without a queue, or for what is only information (an OK box, a notice), nothing
// waits: it is logged and published as a "message" or "notice" event, and a box takes
// its default button. The user-interface thread never waits (the channel and the host's
// stop need it): its questions are treated as information. Progress is not shown; a
// link is logged, not opened.
//
// Thread-safety: any thread; `log` and the bus must be safe from any thread.
#ifndef QUORVEL_HOST_BACKGROUND_UI_H_
#define QUORVEL_HOST_BACKGROUND_UI_H_

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "host/event_bus.h"
#include "host/pending_interactions.h"
#include "ui/ui.h"

namespace quorvel::host {

class BackgroundUi final : public ui::Ui {
 public:
  // `events` and `pending` may be null (nothing published, no question waits); both
  // outlive this. `uiThread`: the user-interface thread, whose questions never wait.
  BackgroundUi(std::function<void(const std::string&)> log, EventBus* events,
               PendingInteractions* pending = nullptr,
               std::chrono::milliseconds wait = std::chrono::minutes(10),
               std::thread::id uiThread = {})
      : log_(std::move(log)),
        events_(events),
        pending_(pending),
        wait_(wait),
        uiThread_(uiThread) {}

  int Show(const std::string& text, const std::string& caption, std::uint32_t style) override;
  std::int32_t Present(ui::Dialog& dialog) override;
  std::unique_ptr<ui::Progress> BeginProgress(const std::string& title) override;
  void Notify(const std::string& title, const std::string& text) override;
  bool OpenUrl(const std::string& url) override;
  bool Interactive() const override { return false; }

 private:
  void Say(const std::string& kind, const std::string& title, const std::string& text);
  bool MayWait() const { return pending_ && std::this_thread::get_id() != uiThread_; }

  std::function<void(const std::string&)> log_;
  EventBus* events_;
  PendingInteractions* pending_;
  std::chrono::milliseconds wait_;
  std::thread::id uiThread_;
};

}  // namespace quorvel::host

#endif  // QUORVEL_HOST_BACKGROUND_UI_H_
