#include "ui/scripted_ui.h"

namespace quorvel::ui {
namespace {

class ScriptedProgress final : public Progress {
 public:
  ScriptedProgress(std::function<void(std::string)> record, int cancelAfter)
      : record_(std::move(record)), cancelAfter_(cancelAfter) {}
  void Update(std::uint64_t, std::uint64_t, const std::string& text) override {
    record_(text);
    if (cancelAfter_ >= 0 && ++updates_ >= cancelAfter_) cancelled_ = true;
  }
  bool Cancelled() const override { return cancelled_; }

 private:
  std::function<void(std::string)> record_;
  const int cancelAfter_;
  std::atomic<int> updates_{0};
  std::atomic<bool> cancelled_{false};
};

}  // namespace

void ScriptedUi::QueueAnswer(int button) {
  std::lock_guard lock(mutex_);
  answers_.push_back(button);
}

void ScriptedUi::QueueDialog(DialogScript answer) {
  std::lock_guard lock(mutex_);
  dialogScripts_.push_back(std::move(answer));
}

void ScriptedUi::CancelProgressAfter(int updates) {
  std::lock_guard lock(mutex_);
  cancelAfter_ = updates;
}

void ScriptedUi::Record(Shown shown, std::vector<std::string> texts) {
  shown_.push_back(std::move(shown));
  for (std::string& text : texts) {
    if (!text.empty()) texts_.push_back(std::move(text));
  }
}

int ScriptedUi::Show(const std::string& text, const std::string& caption, std::uint32_t style) {
  std::lock_guard lock(mutex_);
  Record({"message", text, style}, {text});
  (void)caption;
  if (answers_.empty()) return AffirmativeButton(style);
  int answer = answers_.front();
  answers_.pop_front();
  return answer;
}

std::int32_t ScriptedUi::Present(Dialog& dialog) {
  DialogScript script;
  {
    std::lock_guard lock(mutex_);
    std::vector<std::string> texts = {dialog.title, dialog.headline};
    for (const Control& control : dialog.controls) {
      texts.push_back(control.label);
      if (control.kind == ControlKind::kTextBox || control.kind == ControlKind::kLabel) {
        texts.push_back(control.text);
      }
    }
    Record({"dialog", dialog.title, 0}, std::move(texts));
    if (!dialogScripts_.empty()) {
      script = std::move(dialogScripts_.front());
      dialogScripts_.pop_front();
    }
  }
  // The script runs unlocked: it may show message boxes of its own.
  std::int32_t button = script ? script(dialog) : dialog.defaultButton;
  std::lock_guard lock(mutex_);
  dialogs_.push_back(dialog);
  dialogs_.back().validate = nullptr;
  return button;
}

std::unique_ptr<Progress> ScriptedUi::BeginProgress(const std::string& title) {
  std::lock_guard lock(mutex_);
  Record({"progress", title, 0}, {title});
  return std::make_unique<ScriptedProgress>(
      [this](std::string text) {
        std::lock_guard inner(mutex_);
        if (!text.empty()) texts_.push_back(std::move(text));
      },
      cancelAfter_);
}

void ScriptedUi::Notify(const std::string& title, const std::string& text) {
  std::lock_guard lock(mutex_);
  Record({"notify", text, 0}, {title, text});
}

bool ScriptedUi::OpenUrl(const std::string& url) {
  std::lock_guard lock(mutex_);
  Record({"url", url, 0}, {url});
  return true;
}

bool ScriptedUi::Interactive() const { return true; }

std::vector<ScriptedUi::Shown> ScriptedUi::shown() const {
  std::lock_guard lock(mutex_);
  return shown_;
}

std::vector<std::string> ScriptedUi::texts() const {
  std::lock_guard lock(mutex_);
  return texts_;
}

std::vector<Dialog> ScriptedUi::dialogs() const {
  std::lock_guard lock(mutex_);
  return dialogs_;
}

}  // namespace quorvel::ui
