// ScriptedUi: a presenter for tests. It answers message boxes and dialogs from
// queues, records every text shown, and can cancel progress on request.
//
//   ScriptedUi ui;
//   ui.QueueAnswer(IDNO);                                   // next message box
//   ui.QueueDialog([](Dialog& d) { d.Find("all")->checked = true; return IDOK; });
//   ... code under test ...
//   EXPECT_THAT(ui.texts(), Contains("Nothing to do."));
//
// With an empty queue a message box gets its first button (OK or Yes) and a dialog
// its default button. Thread-safe.
#ifndef QUORVEL_UI_SCRIPTED_UI_H_
#define QUORVEL_UI_SCRIPTED_UI_H_

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ui/ui.h"

namespace quorvel::ui {

class ScriptedUi final : public Ui {
 public:
  struct Shown {
    std::string kind;  // "message", "dialog", "progress", "notify", "url"
    std::string text;  // message text, dialog title, progress title or notice text
    std::uint32_t style = 0;
  };
  using DialogScript = std::function<std::int32_t(Dialog&)>;

  void QueueAnswer(int button);
  void QueueDialog(DialogScript answer);
  // Progress begun from now on reports Cancelled() after `updates` updates.
  void CancelProgressAfter(int updates);

  int Show(const std::string& text, const std::string& caption, std::uint32_t style) override;
  std::int32_t Present(Dialog& dialog) override;
  std::unique_ptr<Progress> BeginProgress(const std::string& title) override;
  void Notify(const std::string& title, const std::string& text) override;
  bool OpenUrl(const std::string& url) override;  // recorded as "url"; true
  bool Interactive() const override;

  std::vector<Shown> shown() const;
  // Every text shown, in order: message texts, dialog titles, headlines and labels,
  // progress titles and lines, notices.
  std::vector<std::string> texts() const;
  // The last values seen of each dialog presented.
  std::vector<Dialog> dialogs() const;

 private:
  void Record(Shown shown, std::vector<std::string> texts);

  mutable std::mutex mutex_;
  std::deque<int> answers_;                 // guarded by mutex_
  std::deque<DialogScript> dialogScripts_;  // guarded by mutex_
  std::vector<Shown> shown_;                // guarded by mutex_
  std::vector<std::string> texts_;          // guarded by mutex_
  std::vector<Dialog> dialogs_;             // guarded by mutex_
  int cancelAfter_ = -1;                    // guarded by mutex_
};

}  // namespace quorvel::ui

#endif  // QUORVEL_UI_SCRIPTED_UI_H_
