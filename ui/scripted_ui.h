// ScriptedUi: a presenter for tests. It answers message boxes and dialogs from
// queues, records every text shown, and can cancel progress on request.
//
//   ScriptedUi ui;
//   ui.QueueAnswer(IDNO);                                   // next message box
//   ui.QueueDialog([](Dialog& d) { d.Find("all")->checked = true; return IDOK; });
//   ... code under test ...
//   EXPECT_THAT(ui.texts(), Contains("Nothing to do."));
//
// A dialog kept open (Open, RunOpenDialog, RunWizard) takes one script from the same
// queue for each press: the script sees the whole dialog, its current page included,
// sets values there and returns the button (Press and Select build the usual ones).
// The pages each press was made on and every change the owner sent are recorded.
//
// With an empty queue a message box gets its first button (OK or Yes) and a dialog
// its default button. Thread-safe.
#ifndef QUORVEL_UI_SCRIPTED_UI_H_
#define QUORVEL_UI_SCRIPTED_UI_H_

#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ui/cancellation.h"
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
  // An answer for the next press made on page `page` of a dialog kept open; taken
  // before the general queue's.
  void QueueOnPage(std::string page, DialogScript answer);
  // Scripts for a press of `button`, and for selecting `rows` of list `control`
  // before pressing `button`.
  static DialogScript Press(std::int32_t button);
  static DialogScript Select(std::string control, std::vector<std::int32_t> rows,
                             std::int32_t button);
  // Progress begun from now on reports Cancelled() after `updates` updates.
  void CancelProgressAfter(int updates);
  // Cancels every progress alive now, as a user's Cancel does, from any thread.
  void CancelProgressNow();

  int Show(const std::string& text, const std::string& caption, std::uint32_t style) override;
  std::int32_t Present(Dialog& dialog) override;
  std::unique_ptr<DialogSession> Open(Dialog& dialog) override;
  std::unique_ptr<Progress> BeginProgress(const std::string& title) override;
  void Notify(const std::string& title, const std::string& text) override;
  bool OpenUrl(const std::string& url) override;  // recorded as "url"; true
  bool Interactive() const override;

  std::vector<Shown> shown() const;
  // Every text shown, in order: message texts, dialog titles, headlines and labels,
  // progress titles and lines, notices.
  std::vector<std::string> texts() const;
  // The last values seen of each dialog presented, and of each press in a session.
  std::vector<Dialog> dialogs() const;
  // The page shown at each press in a session ("" for a dialog without pages).
  std::vector<std::string> pagesPressed() const;
  // Every change applied to an open dialog, in order.
  std::vector<DialogChange> changes() const;
  // Progress updates in order: "<done>/<total> <text>".
  std::vector<std::string> updates() const;

 private:
  class Session;
  class ScriptedProgress;
  void Record(Shown shown, std::vector<std::string> texts);
  std::int32_t Answer(Dialog& dialog, const std::string& page);

  mutable std::mutex mutex_;
  std::deque<int> answers_;                                      // guarded by mutex_
  std::deque<DialogScript> dialogScripts_;                       // guarded by mutex_
  std::map<std::string, std::deque<DialogScript>> pageScripts_;  // guarded by mutex_
  std::vector<Shown> shown_;                                     // guarded by mutex_
  std::vector<std::string> texts_;                               // guarded by mutex_
  std::vector<Dialog> dialogs_;                                  // guarded by mutex_
  std::vector<std::string> pagesPressed_;                        // guarded by mutex_
  std::vector<DialogChange> changes_;                            // guarded by mutex_
  std::vector<std::string> updates_;                             // guarded by mutex_
  std::vector<std::weak_ptr<CancellationToken>> tokens_;         // guarded by mutex_
  int cancelAfter_ = -1;                                         // guarded by mutex_
};

}  // namespace quorvel::ui

#endif  // QUORVEL_UI_SCRIPTED_UI_H_
