#include "ui/scripted_ui.h"

namespace quorvel::ui {

class ScriptedUi::ScriptedProgress final : public Progress {
 public:
  ScriptedProgress(ScriptedUi& ui, std::shared_ptr<CancellationToken> token, int cancelAfter)
      : ui_(ui), token_(std::move(token)), cancelAfter_(cancelAfter) {}
  void Update(std::uint64_t done, std::uint64_t total, const std::string& text) override {
    {
      std::lock_guard lock(ui_.mutex_);
      if (!text.empty()) ui_.texts_.push_back(text);
      ui_.updates_.push_back(std::to_string(done) + "/" + std::to_string(total) + " " + text);
    }
    if (cancelAfter_ >= 0 && ++updates_ >= cancelAfter_) token_->Cancel();
  }
  bool Cancelled() const override { return token_->Cancelled(); }
  bool WaitCancelled(std::chrono::milliseconds timeout) override {
    return token_->WaitFor(timeout);
  }

 private:
  ScriptedUi& ui_;
  const std::shared_ptr<CancellationToken> token_;
  const int cancelAfter_;
  std::atomic<int> updates_{0};
};

class ScriptedUi::Session final : public DialogSession {
 public:
  Session(ScriptedUi& ui, Dialog& dialog) : ui_(ui), dialog_(dialog) {}
  std::int32_t Next() override {
    const Page* page = dialog_.Current();
    return ui_.Answer(dialog_, page != nullptr ? page->id : std::string());
  }
  bool Update(const DialogChange& change) override {
    if (!ApplyChange(dialog_, change)) return false;
    std::lock_guard lock(ui_.mutex_);
    ui_.changes_.push_back(change);
    return true;
  }
  Dialog& dialog() override { return dialog_; }

 private:
  ScriptedUi& ui_;
  Dialog& dialog_;
};

void ScriptedUi::QueueAnswer(int button) {
  std::lock_guard lock(mutex_);
  answers_.push_back(button);
}

void ScriptedUi::QueueDialog(DialogScript answer) {
  std::lock_guard lock(mutex_);
  dialogScripts_.push_back(std::move(answer));
}

void ScriptedUi::QueueOnPage(std::string page, DialogScript answer) {
  std::lock_guard lock(mutex_);
  pageScripts_[std::move(page)].push_back(std::move(answer));
}

ScriptedUi::DialogScript ScriptedUi::Press(std::int32_t button) {
  return [button](Dialog&) { return button; };
}

ScriptedUi::DialogScript ScriptedUi::Select(std::string control, std::vector<std::int32_t> rows,
                                            std::int32_t button) {
  return [control = std::move(control), rows = std::move(rows), button](Dialog& dialog) {
    if (Control* list = dialog.Find(control)) list->selectedRows = rows;
    return button;
  };
}

void ScriptedUi::CancelProgressAfter(int updates) {
  std::lock_guard lock(mutex_);
  cancelAfter_ = updates;
}

void ScriptedUi::CancelProgressNow() {
  std::vector<std::shared_ptr<CancellationToken>> alive;
  {
    std::lock_guard lock(mutex_);
    for (const auto& weak : tokens_) {
      if (auto token = weak.lock()) alive.push_back(std::move(token));
    }
  }
  for (const auto& token : alive) token->Cancel();
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

std::int32_t ScriptedUi::Present(Dialog& dialog) { return Answer(dialog, ""); }

std::int32_t ScriptedUi::Answer(Dialog& dialog, const std::string& page) {
  DialogScript script;
  {
    std::lock_guard lock(mutex_);
    std::vector<std::string> texts = {dialog.title, dialog.headline};
    for (const Control& control : dialog.ShownControls()) {
      texts.push_back(control.label);
      if (control.kind == ControlKind::kTextBox || control.kind == ControlKind::kLabel) {
        texts.push_back(control.text);
      }
    }
    Record({"dialog", dialog.title, 0}, std::move(texts));
    if (!page.empty()) pagesPressed_.push_back(page);
    auto forPage = page.empty() ? pageScripts_.end() : pageScripts_.find(page);
    if (forPage != pageScripts_.end() && !forPage->second.empty()) {
      script = std::move(forPage->second.front());
      forPage->second.pop_front();
    } else if (!dialogScripts_.empty()) {
      script = std::move(dialogScripts_.front());
      dialogScripts_.pop_front();
    }
  }
  // The script runs unlocked: it may show message boxes of its own.
  std::int32_t button = script ? script(dialog) : dialog.defaultButton;
  std::lock_guard lock(mutex_);
  dialogs_.push_back(dialog);
  dialogs_.back().validate = nullptr;
  dialogs_.back().validatePage = nullptr;
  dialogs_.back().nextPage = nullptr;
  return button;
}

std::unique_ptr<DialogSession> ScriptedUi::Open(Dialog& dialog) {
  return std::make_unique<Session>(*this, dialog);
}

std::unique_ptr<Progress> ScriptedUi::BeginProgress(const std::string& title) {
  std::lock_guard lock(mutex_);
  Record({"progress", title, 0}, {title});
  auto token = std::make_shared<CancellationToken>();
  std::erase_if(tokens_, [](const auto& weak) { return weak.expired(); });
  tokens_.push_back(token);
  return std::make_unique<ScriptedProgress>(*this, std::move(token), cancelAfter_);
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

std::vector<std::string> ScriptedUi::pagesPressed() const {
  std::lock_guard lock(mutex_);
  return pagesPressed_;
}

std::vector<DialogChange> ScriptedUi::changes() const {
  std::lock_guard lock(mutex_);
  return changes_;
}

std::vector<std::string> ScriptedUi::updates() const {
  std::lock_guard lock(mutex_);
  return updates_;
}

}  // namespace quorvel::ui
