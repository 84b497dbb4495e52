// The program's own dialogs as the desktop draws them: no wrapped text is lower than
// its lines (on each of the wizard's pages, shown in one window rebuilt in place, and
// at a narrow and a wide window), the Phrase Filter page's Edit buttons sit in their
// dictionaries' boxes, and the list pages leave their sort buttons to the headings.
#include "desktop/screenshot_models.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

#include "desktop/dialog_view.h"
#include "desktop/qt_ui.h"
#include "ui/dialog_change.h"
#include "ui/first_run_wizard.h"
#include "ui/list_page.h"
#include "ui/options_sheet.h"
#include "ui/phrase_filter_page.h"

using namespace quorvel;
using desktop::DialogView;

namespace {

// The first label of `view` shown that is lower than its wrapped text at its width
// (its lines would run into the next control), with its heights; "" when none is.
QString ClippedLabel(const QWidget& view) {
  for (const QLabel* label : view.findChildren<QLabel*>()) {
    if (!label->isVisible() || !label->wordWrap() || label->text().isEmpty()) continue;
    const int needed = label->heightForWidth(label->width());
    if (label->height() < needed) {
      return QString("\"%1\": %2 pixels high, needs %3 at width %4")
          .arg(label->text())
          .arg(label->height())
          .arg(needed)
          .arg(label->width());
    }
  }
  return {};
}

// ClippedLabel at the window's narrowest width and at a wide one.
QString ClippedAtAnyWidth(DialogView& view) {
  for (int width : {view.minimumSizeHint().width(), 900}) {
    view.resize(width, view.minimumHeight());
    QApplication::processEvents();
    if (QString clipped = ClippedLabel(view); !clipped.isEmpty()) return clipped;
  }
  return {};
}

bool InsideBox(QWidget* widget, QWidget* box) {
  if (widget == nullptr || box == nullptr || !box->isAncestorOf(widget)) return false;
  return box->rect().contains(QRect(widget->mapTo(box, QPoint(0, 0)), widget->size()));
}

}  // namespace

class ScreenshotModelsTest : public QObject {
  Q_OBJECT

 private slots:
  void noWrappedTextOfAnyDialogIsCut() {
    desktop::QtUi presenter;
    int seen = 0;
    desktop::ForEachGalleryDialog(presenter, {}, [&](const QString& file, ui::Dialog& dialog) {
      DialogView view(dialog);
      view.show();
      if (!QTest::qWaitForWindowExposed(&view)) return false;
      for (int tab = 0; tab < (view.tabs() ? view.tabs()->count() : 1); ++tab) {
        if (view.tabs()) view.tabs()->setCurrentIndex(tab);
        const QString clipped = ClippedAtAnyWidth(view);
        if (!clipped.isEmpty()) {
          QTest::qFail(qPrintable(file + ": " + clipped), __FILE__, __LINE__);
          return false;
        }
      }
      ++seen;
      return true;
    });
    QCOMPARE(seen, 18);  // every dialog of the gallery but the test messages'
  }

  void eachWizardPageRebuiltInPlaceShowsAllItsText() {
    ui::Dialog d = ui::wizard::WizardDialog(false);
    DialogView view(d);
    view.KeepOpen();
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    for (const ui::Page& page : d.pages) {
      QVERIFY(view.ApplyModelChange(ui::DialogChange::PageShown(page.id)));
      QApplication::processEvents();
      const QString clipped = ClippedLabel(view);
      QVERIFY2(clipped.isEmpty(), qPrintable(QString::fromStdString(page.id) + ": " + clipped));
      const QString resized = ClippedAtAnyWidth(view);
      QVERIFY2(resized.isEmpty(), qPrintable(QString::fromStdString(page.id) + ": " + resized));
    }
  }

  void phraseFilterEditsSitInTheirGroupsAndListPagesHaveNoSortButtons() {
    desktop::QtUi presenter;
    int checked = 0;
    QString problem;
    desktop::ForEachGalleryDialog(presenter, {}, [&](const QString& file, ui::Dialog& dialog) {
      if (!file.startsWith("options-")) return true;
      DialogView view(dialog);
      view.show();
      if (!QTest::qWaitForWindowExposed(&view)) return false;
      view.tabs()->setCurrentIndex(1);  // the Phrase Filter page
      QApplication::processEvents();
      QWidget* good = view.ControlWidget(ui::kGoodDictionaryGroup);
      QWidget* spam = view.ControlWidget(ui::kSpamDictionaryGroup);
      if (!qobject_cast<QGroupBox*>(good) || !qobject_cast<QGroupBox*>(spam)) {
        problem = "the dictionaries' groups are no boxes";
      } else if (!InsideBox(view.ButtonWidget(ui::kEditGoodDictionaryButton), good) ||
                 !InsideBox(view.ButtonWidget(ui::kEditSpamDictionaryButton), spam) ||
                 InsideBox(view.ButtonWidget(ui::kEditSpamDictionaryButton), good)) {
        problem = "an Edit button is not in its dictionary's box";
      } else if (!InsideBox(view.ControlWidget("learned-junk"),
                            view.ControlWidget(ui::kBayesGroup))) {
        problem = "the learned counts are not in the Bayesian Filter box";
      }
      // The sort buttons are the model's still, but not the window's.
      for (const ui::Page& page : dialog.pages) {
        for (const ui::Button& button : page.buttons) {
          if (button.role != ui::ButtonRole::kSort) continue;
          if (view.ButtonWidget(button.id) != nullptr) problem = "a sort button is shown";
          ++checked;
        }
      }
      for (const QPushButton* push : view.findChildren<QPushButton*>()) {
        if (push->text().startsWith("Sort by")) problem = push->text() + " is shown";
      }
      return false;  // the sheet is the same for its six pictures: once is enough
    });
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    QCOMPARE(checked, 6);  // two on each of the three list pages
  }
};

QTEST_MAIN(ScreenshotModelsTest)
#include "screenshot_models_test.moc"
