// Dialogs kept open in one window, run by the owner's code on a thread of its own as
// the host's commands run: rows added in place after Add, a wizard's pages in turn.
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>
#include <atomic>
#include <thread>

#include "desktop/dialog_view.h"
#include "desktop/qt_ui.h"
#include "ui/run_pages.h"

using namespace quorvel;
using desktop::DialogView;

namespace {

// The open DialogView once it shows with `ready` true, then `act` on it, from the
// event loop that shows it.
void WhenShown(std::function<bool(DialogView*)> ready, std::function<void(DialogView*)> act) {
  auto* poll = new QTimer;
  QObject::connect(poll, &QTimer::timeout, [poll, ready, act] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      auto* view = qobject_cast<DialogView*>(w);
      if (view == nullptr || !view->isVisible() || !ready(view)) continue;
      poll->stop();
      poll->deleteLater();
      act(view);
      return;
    }
  });
  poll->start(10);
}

ui::Control Label(const std::string& id, const std::string& text) {
  ui::Control c;
  c.id = id;
  c.label = text;
  return c;
}

}  // namespace

class QtSessionTest : public QObject {
  Q_OBJECT

 private slots:
  void addPutsARowIntoTheOpenListAndOkEndsIt() {
    ui::Dialog d;
    d.title = "Custom Spam Dictionary";
    ui::Control words;
    words.kind = ui::ControlKind::kList;
    words.id = "words";
    words.columns = {"Phrase"};
    words.rows = {{"viagra"}};
    d.controls = {words};
    ui::Button add = ui::RoleButton(ui::ButtonRole::kPlain, "&Add...");
    add.id = 100;
    add.closes = false;
    d.buttons = {add, ui::RoleButton(ui::ButtonRole::kOk, "OK")};
    desktop::QtUi presenter;
    std::atomic<std::int32_t> result{0};
    std::thread owner([&] {
      result = ui::RunOpenDialog(presenter, d, [](ui::DialogSession& session, std::int32_t b) {
        if (b == 100) session.Update(ui::DialogChange::RowsInserted("words", 1, {{"lottery"}}));
      });
    });
    DialogView* seen = nullptr;
    WhenShown([](DialogView*) { return true; },
              [&](DialogView* view) {
                seen = view;
                view->ButtonWidget(100)->click();
              });
    // The same window, still open, with the row added; then OK.
    WhenShown(
        [](DialogView* view) {
          auto* list = qobject_cast<QTreeWidget*>(view->ControlWidget("words"));
          return list && list->topLevelItemCount() == 2;
        },
        [&](DialogView* view) {
          QCOMPARE(view, seen);
          QCOMPARE(
              qobject_cast<QTreeWidget*>(view->ControlWidget("words"))->topLevelItem(1)->text(0),
              QString("lottery"));
          view->ButtonWidget(1)->click();
        });
    QTRY_COMPARE_WITH_TIMEOUT(result.load(), 1, 10000);
    owner.join();
    QCOMPARE(d.Find("words")->rows.size(), std::size_t{2});
  }

  void aWizardGoesThroughItsPagesInOneWindow() {
    ui::Dialog d;
    d.title = "Quorvel Setup";
    d.style = ui::DialogStyle::kWizard;
    d.pages = {{"welcome", "Welcome", {Label("w", "This sets Quorvel up.")}, {}},
               {"done", "All done", {Label("d", "Quorvel is ready.")}, {}}};
    desktop::QtUi presenter;
    std::atomic<std::int32_t> result{0};
    std::thread owner([&] { result = ui::RunWizard(presenter, d); });
    // The page shown with its button enabled: the run enables it only after the page
    // shows, and a click on a disabled button is lost.
    const auto ready = [](const char* title, std::int32_t button) {
      return [title, button](DialogView* view) {
        auto* label = view->findChild<QLabel*>("page-title");
        QPushButton* push = view->ButtonWidget(button);
        return label && label->text() == title && push && push->isEnabled();
      };
    };
    WhenShown(ready("Welcome", ui::kNextButton),
              [](DialogView* view) { view->ButtonWidget(ui::kNextButton)->click(); });
    WhenShown(ready("All done", ui::kFinishButton),
              [](DialogView* view) { view->ButtonWidget(ui::kFinishButton)->click(); });
    QTRY_COMPARE_WITH_TIMEOUT(result.load(), ui::kFinishButton, 10000);
    owner.join();
  }
};

QTEST_MAIN(QtSessionTest)
#include "qt_session_test.moc"
