// BackgroundUi: the host's own presenter, for what the host's threads (the worker,
// the rebuild, the store's watchers) have to say when no client asked. Nothing here
// waits for a person: a message box is written to the host's log, published as a
// "message" event and answered with its default button; a dialog takes its default
// button; a notice is logged and published as a "notice" event; progress is not shown;
// a link is logged, not opened.
//
// Thread-safety: any thread; `log` and the bus must be safe from any thread.
#ifndef QUORVEL_HOST_BACKGROUND_UI_H_
#define QUORVEL_HOST_BACKGROUND_UI_H_

#include <functional>
#include <string>

#include "host/event_bus.h"
#include "ui/ui.h"

namespace quorvel::host {

class BackgroundUi final : public ui::Ui {
 public:
  // `events` may be null (nothing published); both outlive this.
  BackgroundUi(std::function<void(const std::string&)> log, EventBus* events)
      : log_(std::move(log)), events_(events) {}

  int Show(const std::string& text, const std::string& caption, std::uint32_t style) override;
  std::int32_t Present(ui::Dialog& dialog) override;
  std::unique_ptr<ui::Progress> BeginProgress(const std::string& title) override;
  void Notify(const std::string& title, const std::string& text) override;
  bool OpenUrl(const std::string& url) override;
  bool Interactive() const override { return false; }

 private:
  void Say(const std::string& kind, const std::string& title, const std::string& text);

  std::function<void(const std::string&)> log_;
  EventBus* events_;
};

}  // namespace quorvel::host

#endif  // QUORVEL_HOST_BACKGROUND_UI_H_
