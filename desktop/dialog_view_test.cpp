// The dialog renderer driven as a user drives it: clicks, keys and typing on the
// widgets built from a model, and what comes back into the model.
#include "desktop/dialog_view.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include "desktop/qt_ui.h"
#include "ui/dialog_change.h"

using namespace quorvel;
using desktop::DialogView;

namespace {

ui::Control Make(ui::ControlKind kind, const std::string& id, const std::string& label) {
  ui::Control c;
  c.kind = kind;
  c.id = id;
  c.label = label;
  return c;
}

// A confirmation with a check box that enables a text box, and OK / Cancel.
ui::Dialog Confirmation() {
  ui::Dialog d;
  d.title = "Quorvel";
  ui::Control all = Make(ui::ControlKind::kCheckBox, "all", "&Including all subfolders");
  ui::Control name = Make(ui::ControlKind::kTextBox, "name", "&Name:");
  name.enabledBy = {"all", {"1"}};
  ui::Control kind = Make(ui::ControlKind::kChoice, "kind", "&Kind:");
  kind.options = {"Address", "Domain"};
  kind.selected = 0;
  d.controls = {all, name, kind};
  d.buttons = {ui::RoleButton(ui::ButtonRole::kOk, "OK"),
               ui::RoleButton(ui::ButtonRole::kCancel, "Cancel")};
  return d;
}

// A list of senders with Remove enabled by a selection.
ui::Dialog Senders() {
  ui::Dialog d;
  d.title = "White List";
  ui::Control list = Make(ui::ControlKind::kList, "senders", "&Senders:");
  list.columns = {"Name", "E-mail Address"};
  list.rows = {
      {"Carol", "carol@example.org"}, {"Ann", "ann@example.org"}, {"Bob", "bob@example.org"}};
  list.multiSelect = true;
  list.rowChecked = {false, false, false};
  d.controls = {list};
  ui::Button remove = ui::RoleButton(ui::ButtonRole::kPlain, "&Remove");
  remove.id = 100;
  remove.enabledBy = {"senders", {"one", "many"}};
  d.buttons = {remove, ui::RoleButton(ui::ButtonRole::kOk, "OK")};
  return d;
}

// Runs `act` on the modal window once one shows and is active (keys go to the active
// window), from the event loop that shows it.
void WhenModal(std::function<void(QWidget*)> act) {
  auto* poll = new QTimer;
  QObject::connect(poll, &QTimer::timeout, [poll, act] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || !modal->isActiveWindow()) return;
    poll->stop();
    poll->deleteLater();
    act(modal);
  });
  poll->start(10);
}

void Activate(QWidget& w) {
  w.show();
  QApplication::setActiveWindow(&w);
  QVERIFY(QTest::qWaitForWindowActive(&w));
}

}  // namespace

class DialogViewTest : public QObject {
  Q_OBJECT

 private slots:
  void typingAndClickingOkFillsTheModel() {
    ui::Dialog d = Confirmation();
    DialogView view(d);
    Activate(view);
    auto* name = qobject_cast<QLineEdit*>(view.ControlWidget("name"));
    auto* all = qobject_cast<QCheckBox*>(view.ControlWidget("all"));
    QVERIFY(name && all);
    QVERIFY(!name->isEnabled());  // enabled by the check box, which is clear
    QTest::mouseClick(all, Qt::LeftButton, {}, QPoint(5, all->height() / 2));
    QVERIFY(all->isChecked());
    QVERIFY(name->isEnabled());
    QTest::keyClicks(name, "Ann <ann@example.org>");
    auto* kind = qobject_cast<QComboBox*>(view.ControlWidget("kind"));
    kind->setCurrentIndex(1);
    QTest::mouseClick(view.ButtonWidget(1), Qt::LeftButton);
    QCOMPARE(view.pressed(), 1);
    QVERIFY(d.Find("all")->checked);
    QCOMPARE(QString::fromStdString(d.Find("name")->text), QString("Ann <ann@example.org>"));
    QCOMPARE(d.Find("kind")->selected, 1);
  }

  void aDisabledTextBoxKeepsItsValue() {
    ui::Dialog d = Confirmation();
    d.Find("name")->text = "kept";
    DialogView view(d);
    Activate(view);
    auto* name = qobject_cast<QLineEdit*>(view.ControlWidget("name"));
    name->setText("typed while disabled");  // not the user: the widget was disabled
    QTest::mouseClick(view.ButtonWidget(1), Qt::LeftButton);
    QCOMPARE(QString::fromStdString(d.Find("name")->text), QString("kept"));
  }

  void escapeGivesTheCancelButtonAndWritesNothing() {
    ui::Dialog d = Confirmation();
    d.cancelButton = 7;
    DialogView view(d);
    Activate(view);
    auto* all = qobject_cast<QCheckBox*>(view.ControlWidget("all"));
    all->setChecked(true);
    d.Find("all")->checked = false;  // the model as the owner left it
    QTest::keyClick(&view, Qt::Key_Escape);
    QCOMPARE(view.pressed(), 7);
    QVERIFY(!d.Find("all")->checked);
  }

  void accessKeysMoveToAndToggleControls() {
    ui::Dialog d = Confirmation();
    DialogView view(d);
    Activate(view);
    auto* all = qobject_cast<QCheckBox*>(view.ControlWidget("all"));
    QTest::keyClick(&view, Qt::Key_I, Qt::AltModifier);  // "&Including all subfolders"
    QTRY_VERIFY(all->isChecked());  // an access key clicks the box, shown pressed a moment
    QTest::keyClick(&view, Qt::Key_N, Qt::AltModifier);  // "&Name:" goes to its box
    QCOMPARE(QApplication::focusWidget(), view.ControlWidget("name"));
    QTest::keyClicks(QApplication::focusWidget(), "x");
    QTest::keyClick(&view, Qt::Key_Return);  // the default button, OK
    QCOMPARE(view.pressed(), 1);
    QCOMPARE(QString::fromStdString(d.Find("name")->text), QString("x"));
  }

  void listSelectionMarksAndSortingComeBackAsModelRows() {
    ui::Dialog d = Senders();
    DialogView view(d);
    Activate(view);
    auto* list = qobject_cast<QTreeWidget*>(view.ControlWidget("senders"));
    QVERIFY(list);
    QCOMPARE(list->topLevelItemCount(), 3);
    QCOMPARE(list->topLevelItem(0)->text(0), QString("Carol"));  // the model's order first
    QVERIFY(!view.ButtonWidget(100)->isEnabled());
    // Columns share the width; a click on "Name" sorts, a second reverses.
    QCOMPARE(list->header()->sectionResizeMode(0), QHeaderView::Stretch);
    const int nameX = list->header()->sectionViewportPosition(0) + 10;
    QTest::mouseClick(list->header()->viewport(), Qt::LeftButton, {}, QPoint(nameX, 5));
    QCOMPARE(list->topLevelItem(0)->text(0), QString("Ann"));
    QTest::mouseClick(list->header()->viewport(), Qt::LeftButton, {}, QPoint(nameX, 5));
    QCOMPARE(list->topLevelItem(0)->text(0), QString("Carol"));
    QCOMPARE(desktop::ModelRow(*list, 2), 1);  // Ann, last now, is the model's row 1
    // Click Bob (row 2 of the model), Ctrl+click Ann: both, as model rows.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->topLevelItem(1)).center());
    QVERIFY(view.ButtonWidget(100)->isEnabled());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      list->visualItemRect(list->topLevelItem(2)).center());
    // Keep mark of Carol by the keyboard: current row, space.
    list->topLevelItem(0)->setCheckState(0, Qt::Checked);
    QTest::mouseClick(view.ButtonWidget(100), Qt::LeftButton);
    QCOMPARE(view.pressed(), 100);
    QCOMPARE(d.Find("senders")->selectedRows, (std::vector<std::int32_t>{1, 2}));
    QCOMPARE(d.Find("senders")->rowChecked, (std::vector<bool>{true, false, false}));
  }

  void sheetPagesAreTabsAndTheTabShownIsTheCurrentPage() {
    ui::Dialog d;
    d.title = "Quorvel";
    d.style = ui::DialogStyle::kSheet;
    d.pages = {{"general", "General", {Make(ui::ControlKind::kCheckBox, "read", "&Read")}, {}},
               {"about", "About", {Make(ui::ControlKind::kLabel, "version", "Quorvel 3.0")}, {}}};
    d.currentPage = "about";
    d.buttons = {ui::RoleButton(ui::ButtonRole::kOk, "OK")};
    DialogView view(d);
    Activate(view);
    QVERIFY(view.tabs());
    QCOMPARE(view.tabs()->count(), 2);
    QCOMPARE(view.tabs()->currentIndex(), 1);
    view.tabs()->setCurrentIndex(0);
    QCOMPARE(d.currentPage, std::string("general"));
    QTest::mouseClick(qobject_cast<QCheckBox*>(view.ControlWidget("read")), Qt::LeftButton, {},
                      QPoint(5, 5));
    QTest::mouseClick(view.ButtonWidget(1), Qt::LeftButton);
    QVERIFY(d.Find("read")->checked);
  }

  void wizardShowsItsCurrentPageAloneWithItsTitle() {
    ui::Dialog d;
    d.style = ui::DialogStyle::kWizard;
    d.pages = {{"one", "Step one", {Make(ui::ControlKind::kLabel, "a", "first")}, {}},
               {"two", "Step two", {Make(ui::ControlKind::kLabel, "b", "second")}, {}}};
    d.currentPage = "two";
    d.buttons = {ui::RoleButton(ui::ButtonRole::kBack, "< &Back"),
                 ui::RoleButton(ui::ButtonRole::kFinish, "&Finish")};
    DialogView view(d);
    QVERIFY(view.ControlWidget("a") == nullptr);
    QVERIFY(view.ControlWidget("b") != nullptr);
    QCOMPARE(view.findChild<QLabel*>("page-title")->text(), QString("Step two"));
    QTest::mouseClick(view.ButtonWidget(ui::kBackButton), Qt::LeftButton);
    QCOMPARE(view.pressed(), ui::kBackButton);
  }

  void anUnknownKindShowsAsALabel() {
    ui::Dialog d;
    ui::Control future = Make(ui::ControlKind::kOther, "slider", "Volume");
    future.text = "11";
    d.controls = {future};
    d.buttons = {ui::RoleButton(ui::ButtonRole::kOk, "OK")};
    DialogView view(d);
    auto* label = qobject_cast<QLabel*>(view.ControlWidget("slider"));
    QVERIFY(label);
    QVERIFY(label->text().contains("Volume"));
    QVERIFY(label->text().contains("11"));
  }

  void rowsInsertedIntoAnOpenDialogShowAndKeepTheSelection() {
    ui::Dialog d = Senders();
    d.Find("senders")->selectedRows = {1};
    DialogView view(d);
    QVERIFY(view.ApplyModelChange(
        ui::DialogChange::RowsInserted("senders", 0, {{"Dave", "dave@example.org"}}, {true})));
    auto* list = qobject_cast<QTreeWidget*>(view.ControlWidget("senders"));
    QCOMPARE(list->topLevelItemCount(), 4);
    QCOMPARE(list->topLevelItem(0)->text(0), QString("Dave"));
    QVERIFY(list->topLevelItem(2)->isSelected());  // Ann moved down with her selection
    QVERIFY(view.ButtonWidget(100)->isEnabled());
    QVERIFY(!view.ApplyModelChange(ui::DialogChange::RowsRemoved("nothing", 0, 1)));
  }

  void presenterShowsAMessageBoxAndReturnsTheButtonChosen() {
    desktop::QtUi presenter;
    WhenModal([](QWidget* box) { QTest::keyClick(box, Qt::Key_N, Qt::AltModifier); });  // "&No"
    QCOMPARE(presenter.Show("Empty the spam folder?", "Quorvel",
                            platform::MB_YESNO | platform::MB_ICONQUESTION),
             static_cast<int>(platform::IDNO));
    WhenModal([](QWidget* box) { QTest::keyClick(box, Qt::Key_Escape); });
    QCOMPARE(presenter.Show("Go on?", "Quorvel", platform::MB_YESNOCANCEL),
             static_cast<int>(platform::IDCANCEL));
  }

  void presenterShowsADialogFromAnotherThread() {
    desktop::QtUi presenter;
    ui::Dialog d = Confirmation();
    std::int32_t answer = 0;
    WhenModal([](QWidget* modal) {
      auto* view = qobject_cast<DialogView*>(modal);
      QVERIFY(view);
      qobject_cast<QCheckBox*>(view->ControlWidget("all"))->setChecked(true);
      QTest::mouseClick(view->ButtonWidget(1), Qt::LeftButton);
    });
    std::thread worker([&] { answer = presenter.Present(d); });
    QTRY_COMPARE_WITH_TIMEOUT(answer, 1, 10000);
    worker.join();
    QVERIFY(d.Find("all")->checked);
  }

  void progressCancelIsSeenAtOnce() {
    desktop::QtUi presenter;
    std::unique_ptr<ui::Progress> progress = presenter.BeginProgress("Checking folder for spam...");
    progress->Update(5, 10, "Inbox");
    QApplication::processEvents();
    auto* dialog = QApplication::activeModalWidget();
    QVERIFY(dialog);
    QVERIFY(!progress->Cancelled());
    QPushButton* cancel = dialog->findChild<QPushButton*>();
    QVERIFY(cancel);
    QTest::mouseClick(cancel, Qt::LeftButton);
    QVERIFY(progress->Cancelled());
  }

  void messageBoxButtonSetsFollowTheStyle() {
    QCOMPARE(desktop::MessageBoxButtons(platform::MB_OK), (std::vector<int>{1}));
    QCOMPARE(desktop::MessageBoxButtons(platform::MB_YESNOCANCEL | platform::MB_ICONWARNING),
             (std::vector<int>{6, 7, 2}));
    QCOMPARE(desktop::MessageBoxButtons(0x5), (std::vector<int>{4, 2}));
  }
};

QTEST_MAIN(DialogViewTest)
#include "dialog_view_test.moc"
