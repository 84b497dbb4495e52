#include "desktop/explorer_window.h"

#include <QAction>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>
#include <QTreeView>
#include <sstream>

#include "desktop/folder_tree.h"
#include "desktop/qt_ui.h"

namespace quorvel::desktop {
namespace {
QString Q(const std::string& text) { return QString::fromStdString(text); }
}  // namespace

ExplorerWindow::ExplorerWindow(HostLink& link, QWidget* parent)
    : QMainWindow(parent),
      link_(link),
      presenter_(std::make_unique<QtUi>(this)),
      folderModel_(new QStandardItemModel(this)),
      folders_(new QTreeView),
      messages_(new QTableView),
      model_(new MessageModel(this)),
      verdict_(new QPlainTextEdit) {
  setWindowTitle(tr("Quorvel - %1").arg(Q(link.address().profile)));
  setWindowIcon(QIcon(":/quorvel/quorvel.svg"));
  folders_->setModel(folderModel_);
  folders_->setHeaderHidden(true);
  folders_->setObjectName("folders");
  messages_->setModel(model_);
  messages_->setObjectName("messages");
  messages_->setSelectionBehavior(QAbstractItemView::SelectRows);
  messages_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  messages_->setWordWrap(false);
  messages_->setTextElideMode(Qt::ElideRight);
  messages_->verticalHeader()->hide();
  messages_->verticalHeader()->setDefaultSectionSize(messages_->fontMetrics().height() + 6);
  messages_->horizontalHeader()->setStretchLastSection(false);
  messages_->horizontalHeader()->setSectionResizeMode(MessageModel::kSubject, QHeaderView::Stretch);
  // Wide enough for a date and for "Unread" in the bold of unread rows.
  QFont bold = messages_->font();
  bold.setBold(true);
  const QFontMetrics boldMetrics(bold);
  const int padding = 3 * messages_->style()->pixelMetric(QStyle::PM_HeaderMargin) + 8;
  messages_->setColumnWidth(MessageModel::kSender, 260);
  messages_->setColumnWidth(
      MessageModel::kDate,
      boldMetrics.horizontalAdvance(DateText("2026-12-28T23:58:58Z")) + padding);
  messages_->setColumnWidth(MessageModel::kRead,
                            boldMetrics.horizontalAdvance(tr("Unread")) + padding);
  verdict_->setReadOnly(true);
  verdict_->setObjectName("verdict");
  verdict_->setPlaceholderText(
      tr("Select a message and choose Message > Verdict (F6) to see how "
         "Quorvel judges it."));
  verdict_->setTabStopDistance(240);

  auto* right = new QSplitter(Qt::Vertical);
  right->addWidget(messages_);
  right->addWidget(verdict_);
  right->setStretchFactor(0, 4);
  right->setStretchFactor(1, 1);
  auto* split = new QSplitter;
  split->addWidget(folders_);
  split->addWidget(right);
  split->setStretchFactor(1, 3);
  split->setSizes({200, 800});
  setCentralWidget(split);
  resize(1000, 640);

  QMenu* file = menuBar()->addMenu(tr("&File"));
  QAction* refresh = file->addAction(tr("&Refresh"), this, &ExplorerWindow::Refresh);
  refresh->setShortcut(QKeySequence::Refresh);
  file->addSeparator();
  QAction* close = file->addAction(tr("&Close"), this, &QWidget::close);
  close->setShortcut(QKeySequence::Close);
  QMenu* message = menuBar()->addMenu(tr("&Message"));
  QAction* verdict = message->addAction(tr("&Verdict"), this, &ExplorerWindow::ShowVerdict);
  verdict->setShortcut(Qt::Key_F6);
  verdict->setObjectName("verdict-action");

  connect(folders_->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& index) { ShowFolder(index); });
  connect(messages_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
    verdict_->clear();
    if (!requests_) return;
    const QModelIndex folder = folders_->currentIndex();
    std::vector<std::string> ids;
    for (const QModelIndex& index : messages_->selectionModel()->selectedRows()) {
      if (const MessageRow* row = model_->Message(index.row())) ids.push_back(row->entryId);
    }
    requests_->Select(folder.data(kFolderIdRole).toString().toStdString(), ids);
  });
  connect(model_, &MessageModel::dataChanged, this, [this] {
    if (firstRowsShown_) return;
    firstRowsShown_ = true;
    emit folderShown(currentFolder_);
  });
  connect(model_, &MessageModel::loadFailed, this,
          [this](const QString& error) { Status(tr("Messages not loaded: %1").arg(error)); });
  connect(presenter_.get(), &QtUi::noticed, this, &ExplorerWindow::notice);
  Status(tr("Looking for the Quorvel host..."));
}

ExplorerWindow::~ExplorerWindow() {
  if (connecting_.joinable()) connecting_.join();
  for (std::thread& command : commands_) command.join();
  watcher_.reset();
  requests_.reset();
}

void ExplorerWindow::Status(const QString& text) { statusBar()->showMessage(text); }

void ExplorerWindow::Connect() {
  if (connecting_.joinable()) connecting_.join();
  Status(tr("Looking for the Quorvel host..."));
  connecting_ = std::thread([this] {
    bool started = false;
    host::Outcome outcome;
    std::unique_ptr<host::HostClient> client = link_.EnsureRunning(&started, &outcome);
    {
      std::lock_guard<std::mutex> lock(pendingMutex_);
      pendingClient_ = std::move(client);
    }
    QMetaObject::invokeMethod(
        this,
        [this, started, outcome] {
          std::unique_ptr<host::HostClient> found;
          {
            std::lock_guard<std::mutex> lock(pendingMutex_);
            found = std::move(pendingClient_);
          }
          if (!found) {
            Connected(false, started, Q(outcome.message));
            return;
          }
          watcher_ = std::make_unique<EventWatcher>();
          connect(watcher_.get(), &EventWatcher::eventArrived, this, &ExplorerWindow::OnEvent);
          connect(watcher_.get(), &EventWatcher::hostLost, this, &ExplorerWindow::OnHostLost);
          QString error;
          const bool ok = watcher_->Start(std::move(found), &error);
          Connected(ok, started, error);
        },
        Qt::QueuedConnection);
  });
}

void ExplorerWindow::Connected(bool ok, bool started, const QString& error) {
  if (!ok) {
    Status(tr("No Quorvel host: %1").arg(error));
    QMessageBox::warning(this, tr("Quorvel"),
                         tr("The Quorvel host could not be reached.\n%1").arg(error));
    return;
  }
  requests_ = std::make_unique<HostRequests>(link_);
  Status(started
             ? tr("Started the Quorvel host of profile %1").arg(Q(link_.address().profile))
             : tr("Connected to the Quorvel host of profile %1").arg(Q(link_.address().profile)));
  LoadFolders(currentFolder_);
  requests_->CommandBars(
      [this](const host::Outcome& outcome, const host::protocol::CommandBarList& bars) {
        if (!outcome.ok()) return;  // a host without command bars: the window's own menus
        ShowCommandBars(
            *this, bars, [this](std::int32_t command) { Click(command); }, &bars_);
        emit barsShown();
      });
  emit connected();
}

void ExplorerWindow::Click(std::int32_t command) {
  host::protocol::ClickRequest click;
  click.command = command;
  click.interactive = true;
  const QModelIndex folder = folders_->currentIndex();
  click.folder = folder.isValid() ? folder.data(kFolderIdRole).toString().toStdString() : "";
  for (const QModelIndex& index : messages_->selectionModel()->selectedRows()) {
    if (const MessageRow* row = model_->Message(index.row())) click.items.push_back(row->entryId);
  }
  Status(tr("Running command %1...").arg(command));
  commands_.emplace_back([this, click] {
    host::Outcome outcome;
    std::unique_ptr<host::HostClient> client = link_.Connect(&outcome);
    int status = 1;
    std::ostringstream out, err;
    if (client) {
      host::HostClient::RunResult result = client->Click(click, *presenter_, out, err);
      status = result.outcome.ok() ? result.status : 1;
      if (!result.outcome.ok()) err << result.outcome.message;
    } else {
      err << outcome.message;
    }
    const QString said = QString::fromStdString(err.str() + out.str()).trimmed();
    const std::int32_t ran = click.command;
    QMetaObject::invokeMethod(
        this,
        [this, ran, status, said] {
          Status(said.isEmpty() ? tr("Done.") : said.section('\n', 0, 0));
          LoadFolders(currentFolder_);
          emit commandEnded(ran, status, said);
        },
        Qt::QueuedConnection);
  });
}

void ExplorerWindow::Refresh() {
  if (requests_) LoadFolders(currentFolder_);
}

void ExplorerWindow::LoadFolders(const QString& keep) {
  requests_->Folders([this, keep](const host::Outcome& outcome,
                                  const std::vector<host::protocol::FolderEntry>& folders) {
    if (!outcome.ok()) {
      Status(tr("Folders not loaded: %1").arg(Q(outcome.message)));
      return;
    }
    currentFolder_.clear();
    FillFolderTree(*folderModel_, folders);
    folders_->expandAll();
    QModelIndex shown = keep.isEmpty() ? QModelIndex() : FindFolder(*folderModel_, keep);
    if (!shown.isValid()) shown = folderModel_->index(0, 0);
    if (shown.isValid()) folders_->setCurrentIndex(shown);  // shows it
  });
}

void ExplorerWindow::ShowFolder(const QModelIndex& index) {
  if (!index.isValid() || !requests_) return;
  const QString path = index.data(kFolderPathRole).toString();
  const int items = static_cast<int>(index.data(kFolderItemsRole).toLongLong());
  currentFolder_ = path;
  firstRowsShown_ = false;
  verdict_->clear();
  const std::string folder = path.toStdString();
  model_->ShowFolder(items, [this, folder](int first, int count, MessageModel::Arrived arrived) {
    requests_->Messages(
        folder, first, count,
        [arrived](const host::Outcome& outcome, const std::vector<MessageRow>& rows) {
          arrived(rows, outcome.ok() ? QString() : Q(outcome.message));
        });
  });
  Status(tr("%1: %n message(s)", nullptr, items).arg(path));
  if (items == 0) emit folderShown(path);
}

std::vector<std::string> ExplorerWindow::SelectedMessages() const {
  std::vector<std::string> names;
  for (const QModelIndex& index : messages_->selectionModel()->selectedRows()) {
    if (const MessageRow* row = model_->Message(index.row())) names.push_back(row->name);
  }
  return names;
}

void ExplorerWindow::ShowVerdict() {
  const QModelIndex current = messages_->currentIndex();
  const MessageRow* row = current.isValid() ? model_->Message(current.row()) : nullptr;
  if (row == nullptr || !requests_) {
    verdict_->setPlainText(tr("Select a message first."));
    return;
  }
  verdict_->setPlainText(tr("Asking the host..."));
  requests_->Verdict(row->name, [this](const host::Outcome& outcome, const VerdictText& verdict) {
    if (!outcome.ok()) {
      verdict_->setPlainText(tr("No verdict: %1").arg(Q(outcome.message)));
      return;
    }
    verdict_->setPlainText((verdict.spam ? tr("Message is recognized as Junk e-mail")
                                         : tr("Message is recognized as Good e-mail")) +
                           "\n\n" + Q(verdict.reason));
  });
}

void ExplorerWindow::OnEvent(const QString& kind, const QMap<QString, QString>& fields) {
  if (kind == "spam-moved" || kind == "folders-changed" || kind == "store") {
    LoadFolders(currentFolder_);
  } else if (kind == "notice") {
    emit notice(fields.value("title"), fields.value("text"));
  } else if (kind == "host-status") {
    Status(tr("Host: %1").arg(fields.value("state")));
  }
}

void ExplorerWindow::OnHostLost(bool stopping, const QString& reason) {
  Status(tr("The Quorvel host is gone"));
  emit hostLost();
  if (lostBox_) return;
  const QString text = stopping ? tr("The Quorvel host has stopped.")
                                : tr("The Quorvel host has ended unexpectedly.");
  lostBox_ =
      new QMessageBox(QMessageBox::Warning, tr("Quorvel"), text, QMessageBox::NoButton, this);
  lostBox_->setInformativeText(reason.isEmpty() ? tr("Start it again?")
                                                : reason + "\n\n" + tr("Start it again?"));
  QPushButton* restart = lostBox_->addButton(tr("&Restart"), QMessageBox::AcceptRole);
  lostBox_->addButton(tr("&Close"), QMessageBox::RejectRole);
  restart->setObjectName("restart");
  lostBox_->setAttribute(Qt::WA_DeleteOnClose);
  connect(lostBox_, &QMessageBox::finished, this, [this, restart] {
    if (lostBox_ && lostBox_->clickedButton() == restart) Connect();
  });
  lostBox_->open();
}

}  // namespace quorvel::desktop
