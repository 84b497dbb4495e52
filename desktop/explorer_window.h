// ExplorerWindow: the desktop's explorer of the profile's host: the folder tree on
// the left, the current folder's messages on the right (several may be selected),
// and under them the selected message's verdict and reason, asked of the host on
// request (Message > Verdict, F6). It finds or starts the host through its HostLink,
// listens to the host's events (spam moved refreshes the folders, the spam count
// shows in the popup), and when the host goes away says so and offers to start it
// again.
//
// Thread-safety: the GUI thread only.
#ifndef QUORVEL_DESKTOP_EXPLORER_WINDOW_H_
#define QUORVEL_DESKTOP_EXPLORER_WINDOW_H_

#include <QElapsedTimer>
#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>
#include <memory>
#include <mutex>
#include <thread>

#include "desktop/command_bars_view.h"
#include "desktop/event_watcher.h"
#include "desktop/host_link.h"
#include "desktop/host_requests.h"
#include "desktop/message_model.h"

class QLabel;
class QPlainTextEdit;
class QStandardItemModel;
class QTableView;
class QTreeView;

namespace quorvel::desktop {

class QtUi;

class ExplorerWindow : public QMainWindow {
  Q_OBJECT

 public:
  // `link` must outlive the window.
  explicit ExplorerWindow(HostLink& link, QWidget* parent = nullptr);
  ~ExplorerWindow() override;

  // Finds the host (starting one when none runs) on a thread of its own, then loads
  // the folders and shows the first one.
  void Connect();

  QTreeView* folderView() const { return folders_; }
  QTableView* messageView() const { return messages_; }
  MessageModel* messageModel() const { return model_; }
  QPlainTextEdit* verdictView() const { return verdict_; }
  QtUi* presenter() const { return presenter_.get(); }
  // The box that says the host went away, while it shows.
  QMessageBox* hostLostBox() const { return lostBox_; }
  // The folder shown (its path), "" before one is.
  QString currentFolder() const { return currentFolder_; }
  // Names of the selected messages, in the view's order.
  std::vector<std::string> SelectedMessages() const;

 public slots:
  void ShowVerdict();
  void Refresh();
  // Runs command `command` (a toolbar button, menu item or key) in the host on the
  // folder shown and the messages selected; its dialogs show here.
  void Click(std::int32_t command);

 signals:
  // The host answered and the window listens to it (again, after a restart).
  void connected();
  // The host's command bars are shown (again).
  void barsShown();
  // A command clicked here ended in the host: its exit status and what it said.
  void commandEnded(std::int32_t command, int status, const QString& said);
  // The first rows of a folder arrived: the window is usable.
  void folderShown(const QString& path);
  void hostLost();
  // The host's spam count notice ("You've got 3 spam messages").
  void notice(const QString& title, const QString& text);

 private:
  void Connected(bool ok, bool started, const QString& error);
  void LoadFolders(const QString& keep);
  void ShowFolder(const QModelIndex& index);
  void OnEvent(const QString& kind, const QMap<QString, QString>& fields);
  void OnHostLost(bool stopping, const QString& reason);
  void Status(const QString& text);

  HostLink& link_;
  std::unique_ptr<HostRequests> requests_;
  std::unique_ptr<EventWatcher> watcher_;
  std::unique_ptr<QtUi> presenter_;
  QStandardItemModel* folderModel_;
  QTreeView* folders_;
  QTableView* messages_;
  MessageModel* model_;
  QPlainTextEdit* verdict_;
  QPointer<QMessageBox> lostBox_;
  QString currentFolder_;
  bool firstRowsShown_ = false;
  ShownBars bars_;
  std::vector<std::thread> commands_;  // clicks running in the host, joined at the end
  std::thread connecting_;             // the search for (or start of) the host
  std::mutex pendingMutex_;            // guards pendingClient_
  std::unique_ptr<host::HostClient> pendingClient_;  // found by connecting_, for the watcher
};

}  // namespace quorvel::desktop

#endif  // QUORVEL_DESKTOP_EXPLORER_WINDOW_H_
