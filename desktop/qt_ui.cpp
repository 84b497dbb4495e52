#include "desktop/qt_ui.h"

#include <QApplication>
#include <QDesktopServices>
#include <QEventLoop>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QThread>
#include <QUrl>
#include <atomic>
#include <deque>

#include "desktop/dialog_view.h"

namespace quorvel::desktop {
namespace {

constexpr int kProgressRange = 16384;

QString ButtonText(int id) {
  switch (id) {
    case platform::IDOK:
      return QObject::tr("&OK");
    case platform::IDCANCEL:
      return QObject::tr("Cancel");
    case 3:
      return QObject::tr("&Abort");
    case 4:
      return QObject::tr("&Retry");
    case 5:
      return QObject::tr("&Ignore");
    case platform::IDYES:
      return QObject::tr("&Yes");
    case platform::IDNO:
      return QObject::tr("&No");
    default:
      return QString::number(id);
  }
}

QMessageBox::Icon IconOf(std::uint32_t style) {
  switch (style & platform::kMessageBoxIconMask) {
    case platform::MB_ICONERROR:
      return QMessageBox::Critical;
    case platform::MB_ICONQUESTION:
      return QMessageBox::Question;
    case platform::MB_ICONWARNING:
      return QMessageBox::Warning;
    case platform::MB_ICONINFORMATION:
      return QMessageBox::Information;
    default:
      return QMessageBox::NoIcon;
  }
}

// Progress shown in a dialog on the GUI thread; the work's thread updates it and asks
// whether Cancel was pressed, which is known at once (an atomic), not at the next
// update.
class DialogProgress final : public ui::Progress {
 public:
  DialogProgress(QProgressDialog* dialog, QString title,
                 std::shared_ptr<std::atomic<bool>> cancelled)
      : dialog_(dialog), title_(std::move(title)), cancelled_(std::move(cancelled)) {}
  ~DialogProgress() override {
    QPointer<QProgressDialog> dialog = dialog_;
    QMetaObject::invokeMethod(
        qApp,
        [dialog] {
          if (dialog) dialog->deleteLater();
        },
        Qt::QueuedConnection);
  }
  void Update(std::uint64_t done, std::uint64_t total, const std::string& text) override {
    QPointer<QProgressDialog> dialog = dialog_;
    const int value =
        total == 0 ? 0 : static_cast<int>(std::min(done, total) * kProgressRange / total);
    // What is being done stays above the line that says how far it is.
    const QString label = text.empty() ? QString() : title_ + "\n" + QString::fromStdString(text);
    QMetaObject::invokeMethod(
        qApp,
        [dialog, value, total, label] {
          if (!dialog) return;
          dialog->setMaximum(total == 0 ? 0 : kProgressRange);
          dialog->setValue(value);
          if (!label.isEmpty()) dialog->setLabelText(label);
        },
        Qt::QueuedConnection);
  }
  bool Cancelled() const override { return cancelled_->load(); }

 private:
  QPointer<QProgressDialog> dialog_;
  const QString title_;
  std::shared_ptr<std::atomic<bool>> cancelled_;
};

}  // namespace

// A dialog kept open in one window: Next waits (on the GUI thread's loop) for the
// user's next press while the window stays shown; Update changes it in place.
class QtSession final : public ui::DialogSession {
 public:
  QtSession(ui::Dialog& dialog, QWidget* parent) : dialog_(dialog) {
    QtUi::OnGuiThread([&] {
      view_ = new DialogView(dialog_, parent);
      view_->KeepOpen();
      view_->setWindowModality(Qt::WindowModal);
      // A press made while the owner is not waiting (it is changing the dialog after
      // the last one) is kept for its next Next, never lost.
      QObject::connect(view_, &DialogView::pressedButton, view_,
                       [this](std::int32_t button) { presses_.push_back(button); });
    });
  }
  ~QtSession() override {
    QPointer<DialogView> view = view_;
    QtUi::OnGuiThread([view] { delete view.data(); });
  }
  std::int32_t Next() override {
    std::int32_t pressed = dialog_.cancelButton;
    QtUi::OnGuiThread([&] {
      if (!view_) return;
      if (presses_.empty()) {
        QEventLoop wait;
        QObject::connect(view_, &DialogView::pressedButton, &wait, &QEventLoop::quit,
                         Qt::QueuedConnection);
        QObject::connect(view_, &QObject::destroyed, &wait, &QEventLoop::quit);
        view_->show();
        wait.exec();
      }
      if (!presses_.empty()) {
        pressed = presses_.front();
        presses_.pop_front();
      }
    });
    return pressed;
  }
  bool Update(const ui::DialogChange& change) override {
    bool applied = false;
    QtUi::OnGuiThread([&] {
      applied = view_ ? view_->ApplyModelChange(change) : ui::ApplyChange(dialog_, change);
    });
    return applied;
  }
  ui::Dialog& dialog() override { return dialog_; }

 private:
  ui::Dialog& dialog_;
  QPointer<DialogView> view_;
  std::deque<std::int32_t> presses_;  // the GUI thread's alone
};

std::vector<int> MessageBoxButtons(std::uint32_t style) {
  switch (style & platform::kMessageBoxButtonMask) {
    case platform::MB_OKCANCEL:
      return {platform::IDOK, platform::IDCANCEL};
    case 0x2:  // abort, retry, ignore
      return {3, 4, 5};
    case platform::MB_YESNOCANCEL:
      return {platform::IDYES, platform::IDNO, platform::IDCANCEL};
    case platform::MB_YESNO:
      return {platform::IDYES, platform::IDNO};
    case 0x5:  // retry, cancel
      return {4, platform::IDCANCEL};
    default:
      return {platform::IDOK};
  }
}

QtUi::QtUi(QWidget* parent) : parent_(parent) {}

void QtUi::OnGuiThread(const std::function<void()>& work) {
  if (QThread::currentThread() == qApp->thread()) {
    work();
  } else {
    QMetaObject::invokeMethod(qApp, work, Qt::BlockingQueuedConnection);
  }
}

int QtUi::Show(const std::string& text, const std::string& caption, std::uint32_t style) {
  int answer = ui::CancelButton(style);
  OnGuiThread([&] {
    QMessageBox box(IconOf(style), QString::fromStdString(caption), QString::fromStdString(text),
                    QMessageBox::NoButton, parent_);
    std::map<QAbstractButton*, int> ids;
    const int defaultId = ui::DefaultButton(style);
    const int cancelId = ui::CancelButton(style);
    for (int id : MessageBoxButtons(style)) {
      QPushButton* button = box.addButton(
          ButtonText(id), id == cancelId ? QMessageBox::RejectRole : QMessageBox::AcceptRole);
      ids[button] = id;
      if (id == defaultId) box.setDefaultButton(button);
      if (id == cancelId) box.setEscapeButton(button);
    }
    box.exec();
    auto it = ids.find(box.clickedButton());
    answer = it == ids.end() ? cancelId : it->second;
  });
  return answer;
}

std::int32_t QtUi::Present(ui::Dialog& dialog) {
  std::int32_t answer = dialog.cancelButton;
  OnGuiThread([&] {
    DialogView view(dialog, parent_);
    answer = view.Run();
  });
  return answer;
}

std::unique_ptr<ui::DialogSession> QtUi::Open(ui::Dialog& dialog) {
  return std::make_unique<QtSession>(dialog, parent_);
}

std::unique_ptr<ui::Progress> QtUi::BeginProgress(const std::string& title) {
  auto cancelled = std::make_shared<std::atomic<bool>>(false);
  QProgressDialog* dialog = nullptr;
  OnGuiThread([&] {
    dialog = new QProgressDialog(QString::fromStdString(title), tr("Cancel"), 0, kProgressRange,
                                 parent_);
    dialog->setWindowTitle(QStringLiteral("Quorvel"));
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setAutoClose(false);
    dialog->setAutoReset(false);
    dialog->setMinimumDuration(0);
    QObject::connect(dialog, &QProgressDialog::canceled, dialog,
                     [cancelled] { cancelled->store(true); });
    dialog->show();
  });
  return std::make_unique<DialogProgress>(dialog, QString::fromStdString(title), cancelled);
}

void QtUi::Notify(const std::string& title, const std::string& text) {
  const QString t = QString::fromStdString(title), x = QString::fromStdString(text);
  QMetaObject::invokeMethod(
      this, [this, t, x] { emit noticed(t, x); }, Qt::QueuedConnection);
}

bool QtUi::OpenUrl(const std::string& url) {
  bool opened = false;
  OnGuiThread([&] { opened = QDesktopServices::openUrl(QUrl(QString::fromStdString(url))); });
  return opened;
}

}  // namespace quorvel::desktop
