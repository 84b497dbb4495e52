// QtUi: the presenter of the desktop. Message boxes and dialogs from the host's
// commands show as real windows over the explorer (DialogView), progress as a progress
// dialog whose Cancel reaches the work at once, notices as the spam popup.
//
// Thread-safety: every method may be called from any thread (a command's client runs
// on a thread of its own); the windows are made and shown on the GUI thread, and a
// question's caller waits there for the answer.
#ifndef QUORVEL_DESKTOP_QT_UI_H_
#define QUORVEL_DESKTOP_QT_UI_H_

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>

#include "ui/ui.h"

namespace quorvel::desktop {

class QtUi final : public QObject, public ui::Ui {
  Q_OBJECT

 public:
  // `parent`: the window the dialogs belong to (may be null, or go away: they then
  // show on their own).
  explicit QtUi(QWidget* parent = nullptr);

  int Show(const std::string& text, const std::string& caption, std::uint32_t style) override;
  std::int32_t Present(ui::Dialog& dialog) override;
  // A dialog kept open: one window for the session's life, changed in place.
  std::unique_ptr<ui::DialogSession> Open(ui::Dialog& dialog) override;
  std::unique_ptr<ui::Progress> BeginProgress(const std::string& title) override;
  void Notify(const std::string& title, const std::string& text) override;
  bool OpenUrl(const std::string& url) override;
  bool Interactive() const override { return true; }

 signals:
  // A notice arrived (the spam popup shows it).
  void noticed(const QString& title, const QString& text);

 private:
  // Runs `work` on the GUI thread and waits for it.
  static void OnGuiThread(const std::function<void()>& work);
  friend class QtSession;

  QPointer<QWidget> parent_;
};

// The buttons of a message box style in their order (OK; OK Cancel; Yes No Cancel; Yes
// No; ...) as the window system's ids.
std::vector<int> MessageBoxButtons(std::uint32_t style);

}  // namespace quorvel::desktop

#endif  // QUORVEL_DESKTOP_QT_UI_H_
