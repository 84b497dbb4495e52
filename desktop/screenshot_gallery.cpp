#include "desktop/screenshot_gallery.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <functional>

#include "desktop/dialog_view.h"
#include "desktop/explorer_window.h"
#include "desktop/host_link.h"
#include "desktop/qt_ui.h"
#include "desktop/screenshot_host.h"
#include "desktop/screenshot_models.h"
#include "desktop/spam_popup.h"
#include "platform/clock.h"
#include "platform/string_table.h"
#include "ui/check_folder_dialog.h"
#include "ui/first_run_wizard.h"
#include "ui/general_page.h"
#include "ui/input_box.h"
#include "ui/list_edit_dialogs.h"
#include "ui/run_pages.h"
#include "ui/test_message_dialog.h"

namespace quorvel::desktop {
namespace {

namespace wiz = ui::wizard;

// Where the pictures go and what was written.
struct Camera {
  QString folder;
  QStringList* written;
  QString* error;

  bool Save(QWidget& widget, const QString& file) {
    widget.show();
    // A page rebuilt in place shows its new widgets, then lays them out, a turn each.
    for (int turn = 0; turn < 3; ++turn) QApplication::processEvents();
    const QString path = folder + "/" + file;
    if (!widget.grab().save(path, "PNG")) {
      *error = "cannot write " + path;
      return false;
    }
    *written << file;
    return true;
  }
};

// Waits on the GUI thread's loop until `done`, at most `ms`.
bool WaitFor(const std::function<bool()>& done, int ms) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > ms) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

// The wizard as its run shows it: RunWizard opens it here, and each page is drawn
// when the run waits for the user, who then goes on with the default button.
class WizardCamera final : public ui::Ui {
 public:
  WizardCamera(ui::Ui& presenter, Camera& camera) : presenter_(presenter), camera_(camera) {}
  int Show(const std::string& text, const std::string& caption, std::uint32_t style) override {
    return presenter_.Show(text, caption, style);
  }
  std::int32_t Present(ui::Dialog& dialog) override { return dialog.cancelButton; }
  std::unique_ptr<ui::DialogSession> Open(ui::Dialog& dialog) override {
    return std::make_unique<Session>(dialog, camera_);
  }
  std::unique_ptr<ui::Progress> BeginProgress(const std::string& title) override {
    return presenter_.BeginProgress(title);
  }
  void Notify(const std::string&, const std::string&) override {}
  bool OpenUrl(const std::string&) override { return false; }
  bool Interactive() const override { return true; }

 private:
  class Session final : public ui::DialogSession {
   public:
    Session(ui::Dialog& dialog, Camera& camera) : dialog_(dialog), view_(dialog), camera_(camera) {
      view_.KeepOpen();
    }
    std::int32_t Next() override {
      const ui::Page* page = dialog_.FindPage(dialog_.currentPage);
      const auto index = page - dialog_.pages.data() + 1;
      const QString file =
          QString("wizard-%1-%2.png").arg(index).arg(QString::fromStdString(page->id));
      if (!camera_.Save(view_, file)) return dialog_.cancelButton;
      return dialog_.defaultButton;
    }
    bool Update(const ui::DialogChange& change) override { return view_.ApplyModelChange(change); }
    ui::Dialog& dialog() override { return dialog_; }

   private:
    ui::Dialog& dialog_;
    DialogView view_;
    Camera& camera_;
  };

  ui::Ui& presenter_;
  Camera& camera_;
};

void SetText(ui::DialogSession& session, const char* id, const std::string& text, bool check) {
  const ui::Control* shown = session.dialog().Find(id);
  if (!shown) return;
  ui::Control value = *shown;
  value.text = text;
  value.checked = check;
  session.Update(ui::DialogChange::ControlValues(std::move(value)));
}

// Each page filled as the add-in fills it when its work there is done.
bool WizardPages(ui::Ui& presenter, Camera& camera) {
  WizardCamera shown(presenter, camera);
  ui::Dialog dialog = wiz::WizardDialog(false);
  wiz::ChosenFolders chosen;
  ui::RunWizard(shown, dialog, {}, [&](ui::DialogSession& session, const std::string& page) {
    if (page == wiz::kWhiteList) {
      SetText(session, wiz::kWhiteListContinue, std::string(wiz::kContinue), false);
    } else if (page == wiz::kFolders && chosen.folders().empty()) {
      chosen.Add({"0001", "Personal Folders -> Sent Items"}, dialog, &session);
      chosen.Add({"0002", "Personal Folders -> Inbox"}, dialog, &session);
    } else if (page == wiz::kScan) {
      SetText(session, wiz::kScanContinue, std::string(wiz::kContinue), false);
    } else if (page == wiz::kDone) {
      SetText(session, wiz::kSpamFolder,
              std::string(wiz::kSpamFolderIs) + "Personal Folders -> Inbox -> Spam", false);
      SetText(session, wiz::kCheckInbox, "", true);
    }
  });
  return camera.error->isEmpty();
}

// What `show` opens modally, drawn as soon as it shows and then answered with its
// first button.
bool SaveModal(Camera& camera, const QString& file, const std::function<void()>& show) {
  bool saved = false;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible()) return;
    poll.stop();
    saved = camera.Save(*box, file);
    box->buttons().front()->click();
  });
  poll.start(10);
  show();
  return saved;
}

bool MessageBoxes(QtUi& presenter, Camera& camera) {
  struct Box {
    const char* file;
    std::string text;
    std::uint32_t style;
  };
  const std::string emptySpam(platform::LoadString(602));
  const Box boxes[] = {
      {"message-empty-spam-question.png", emptySpam,
       platform::MB_YESNO | platform::MB_ICONQUESTION | ui::MB_DEFBUTTON2},
      {"message-remove-items.png", ui::RemoveQuestion(3),
       platform::MB_YESNO | platform::MB_ICONQUESTION},
      {"message-not-mail-folder-warning.png", ui::kNotMailFolder,
       platform::MB_OK | platform::MB_ICONWARNING},
      {"message-select-mail-item.png", std::string(platform::LoadString(551)), platform::MB_OK},
      {"message-spam-folder-is-inbox.png", std::string(platform::LoadString(210)),
       platform::MB_OK | platform::MB_ICONINFORMATION},
      {"message-word-empty.png", ui::kWordEmpty, platform::MB_OK | platform::MB_ICONERROR},
  };
  for (const Box& box : boxes) {
    const bool saved = SaveModal(camera, box.file, [&] {
      presenter.Show(box.text, std::string(platform::kProductName), box.style);
    });
    if (!saved) return false;
  }
  return true;
}

bool CheckFolderProgress(QtUi& presenter, Camera& camera) {
  auto progress = presenter.BeginProgress(ui::kCheckingTitle);
  progress->Update(6120, 16384, ui::CheckProgressText(6120, 312, std::chrono::milliseconds(7530)));
  QApplication::processEvents();
  for (QWidget* top : QApplication::topLevelWidgets()) {
    auto* dialog = qobject_cast<QProgressDialog*>(top);
    if (dialog != nullptr && dialog->isVisible())
      return camera.Save(*dialog, "check-folder-progress.png");
  }
  *camera.error = "the progress dialog did not show";
  return false;
}

bool Popup(Camera& camera) {
  platform::FakeClock clock;
  SpamPopup popup(clock);
  popup.ShowCount(3);
  clock.AdvanceMs(10000);
  for (int i = 0; i < 200 && popup.model().state() != ui::TrayPopup::State::kWaiting; ++i) {
    popup.Advance();
    clock.AdvanceMs(20);
  }
  return camera.Save(popup, "tray-popup.png");
}

// The explorer on the host's Maildir, the Inbox's rows loaded and the first message's
// verdict shown.
bool Explorer(const QString& quorvelProgram, Camera& camera) {
  HostAddress address;
  std::string failed;
  if (!ResolveHost("", &address, &failed)) {
    *camera.error = QString::fromStdString(failed);
    return false;
  }
  LinkOptions options;
  options.quorvelProgram = quorvelProgram.toStdString();
  options.useServiceManager = false;
  HostLink link(address, options);
  ExplorerWindow window(link);
  window.resize(1100, 560);
  window.show();
  window.Connect();
  MessageModel& model = *window.messageModel();
  const bool loaded = WaitFor(
      [&] { return model.rowCount() > 0 && model.Message(model.rowCount() - 1) != nullptr; },
      30000);
  if (!loaded) {
    *camera.error = "the explorer showed no messages";
    return false;
  }
  window.messageView()->selectRow(0);
  window.ShowVerdict();
  WaitFor([&] { return window.verdictView()->toPlainText().contains("recognized as"); }, 20000);
  return camera.Save(window, "explorer-inbox.png");
}

// The verdicts of the test messages: a short result and a Bayesian one, spam ones
// when there are.
TestMessageSamples Samples(const GalleryHost& host) {
  TestMessageSamples samples;
  samples.longSpam = false;
  for (const std::string& message : host.messages()) {
    VerdictText verdict;
    if (!host.Classify(message, &verdict)) continue;
    if (ui::IsLongResult(verdict.reason)) {
      if (samples.longReason.empty() || (verdict.spam && !samples.longSpam)) {
        samples.longSpam = verdict.spam;
        samples.longReason = verdict.reason;
      }
    } else if (samples.shortReason.empty() || (verdict.spam && !samples.shortSpam)) {
      samples.shortSpam = verdict.spam;
      samples.shortReason = verdict.reason;
    }
  }
  return samples;
}

}  // namespace

bool WriteScreenshots(const GalleryOptions& options, QStringList* written, QString* error) {
  written->clear();
  error->clear();
  if (!QDir(options.folder).mkpath(".")) {
    *error = "cannot make " + options.folder;
    return false;
  }
  Camera camera{QDir(options.folder).absolutePath(), written, error};
  GalleryHost host;
  std::string failed;
  if (!host.Start(options.quorvelProgram.toStdString(), options.testMail.toStdString(), &failed)) {
    *error = "the gallery's host did not start: " + QString::fromStdString(failed);
    return false;
  }
  const TestMessageSamples samples = Samples(host);
  if (samples.shortReason.empty() || samples.longReason.empty()) {
    *error = "no test message gave a " +
             QString(samples.longReason.empty() ? "Bayesian" : "short") + " verdict";
    return false;
  }
  QtUi presenter;
  ForEachGalleryDialog(presenter, samples, [&](const QString& file, ui::Dialog& dialog) {
    DialogView view(dialog);
    return camera.Save(view, file);
  });
  if (!error->isEmpty()) return false;
  return WizardPages(presenter, camera) && MessageBoxes(presenter, camera) &&
         CheckFolderProgress(presenter, camera) && Popup(camera) &&
         Explorer(options.quorvelProgram, camera);
}

}  // namespace quorvel::desktop
