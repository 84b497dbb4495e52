#include "host/background_ui.h"

namespace quorvel::host {
namespace {

class SilentProgress final : public ui::Progress {
 public:
  void Update(std::uint64_t, std::uint64_t, const std::string&) override {}
  bool Cancelled() const override { return false; }
};

}  // namespace

void BackgroundUi::Say(const std::string& kind, const std::string& title, const std::string& text) {
  if (log_) log_(title.empty() ? text : title + ": " + text);
  if (events_) events_->Publish(protocol::Event{kind, {{"title", title}, {"text", text}}});
}

int BackgroundUi::Show(const std::string& text, const std::string& caption, std::uint32_t style) {
  Say("message", caption, text);
  return ui::DefaultButton(style);
}

std::int32_t BackgroundUi::Present(ui::Dialog& dialog) {
  Say("message", dialog.title, dialog.headline);
  return dialog.defaultButton;
}

std::unique_ptr<ui::Progress> BackgroundUi::BeginProgress(const std::string&) {
  return std::make_unique<SilentProgress>();
}

void BackgroundUi::Notify(const std::string& title, const std::string& text) {
  Say("notice", title, text);
}

bool BackgroundUi::OpenUrl(const std::string& url) {
  if (log_) log_("a link was not opened (no one to show it to): " + url);
  return false;
}

}  // namespace quorvel::host
