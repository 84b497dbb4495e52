#include "host/background_ui.h"

#include "host/dialog_answer.h"

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
  // The low bits of a style name its buttons; 0 is OK alone.
  if (!MayWait() || (style & 0xF) == 0) {
    Say("message", caption, text);
    return ui::DefaultButton(style);
  }
  if (log_) log_("waiting for an answer: " + (caption.empty() ? text : caption + ": " + text));
  Interaction question;
  question.text = text;
  question.caption = caption;
  question.style = style;
  question.defaultAnswer = ui::DefaultButton(style);
  return pending_->Ask(std::move(question), wait_).button;
}

std::int32_t BackgroundUi::Present(ui::Dialog& dialog) {
  if (!MayWait() || dialog.buttons.size() < 2) {
    Say("message", dialog.title, dialog.headline);
    return dialog.defaultButton;
  }
  if (log_) log_("waiting for an answer: " + dialog.title);
  Interaction question;
  question.kind = "dialog";
  question.dialog = dialog;
  question.defaultAnswer = dialog.defaultButton;
  InteractionAnswer answer = pending_->Ask(std::move(question), wait_);
  if (answer.byPerson) TakeDialogAnswer(dialog, answer.dialog.controls);
  return answer.button;
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
