// The dialog renderer driven as a user drives it: clicks, keys and typing on the
// widgets built from a model, and what comes back into the model.
#include "desktop/dialog_view.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
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
#include "ui/input_box.h"

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

// A dialog of one control with its text, and OK.
ui::Dialog OneControl(ui::ControlKind kind, const std::string& id, const std::string& label,
                      const std::string& text) {
  ui::Dialog d;
  d.controls = {Make(kind, id, label)};
  d.controls[0].text = text;
  d.buttons = {ui::RoleButton(ui::ButtonRole::kOk, "OK")};
  return d;
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

// Whether `widget` lies within `box`, both shown.
bool Inside(const QWidget* widget, const QWidget* box) {
  if (widget == nullptr || box == nullptr || !box->isAncestorOf(widget)) return false;
  const QRect area(widget->mapTo(box, QPoint(0, 0)), widget->size());
  return box->rect().contains(area);
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
    ui::Dialog d = OneControl(ui::ControlKind::kOther, "slider", "Volume", "11");
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

  void aShortSentenceIsNotSqueezedIntoAColumn() {
    ui::Dialog d =
        OneControl(ui::ControlKind::kLabel, "text", "", "You have marked messages as Junk e-mail.");
    DialogView view(d);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    auto* label = qobject_cast<QLabel*>(view.ControlWidget("text"));
    QCOMPARE(label->heightForWidth(label->width()), label->heightForWidth(10000));  // one line
  }

  void aLabelsAccessKeyGoesToTheControlAfterIt() {
    ui::Dialog d = ui::InputBox("Edit", "&Edit or enter a new word:", "lottery winner");
    DialogView view(d);
    Activate(view);
    auto* prompt = qobject_cast<QLabel*>(view.ControlWidget("prompt"));
    QVERIFY(prompt);
    QCOMPARE(prompt->buddy(), view.ControlWidget("text"));
    view.ButtonWidget(1)->setFocus();
    QTest::keyClick(&view, Qt::Key_E, Qt::AltModifier);
    QCOMPARE(QApplication::focusWidget(), view.ControlWidget("text"));
  }

  void aGroupHoldsItsMembersAndItsButtons() {
    ui::Dialog d;
    ui::Control good = Make(ui::ControlKind::kLabel, "good", "Custom Not Spam Dictionary");
    ui::Control spam = Make(ui::ControlKind::kLabel, "spam", "Custom Spam Dictionary");
    ui::Control count = Make(ui::ControlKind::kLabel, "count", "Words: 3");
    count.group = "spam";
    ui::Control lonely = Make(ui::ControlKind::kLabel, "lonely", "A heading of nothing");
    d.controls = {good, spam, count, lonely};
    const auto button = [](std::int32_t id, const char* text, const char* group) {
      ui::Button b = ui::RoleButton(ui::ButtonRole::kPlain, text);
      b.id = id;
      b.closes = false;
      b.group = group;
      return b;
    };
    // The last two name a control that is no label, and none: with the dialog's own.
    d.controls.push_back(Make(ui::ControlKind::kCheckBox, "check", "&Check"));
    d.buttons = {button(11, "&Edit...", "good"), button(12, "E&dit...", "spam"),
                 button(13, "&Other", "check"), button(14, "&Plain", "missing"),
                 ui::RoleButton(ui::ButtonRole::kOk, "OK")};
    DialogView view(d);
    Activate(view);
    auto* goodBox = qobject_cast<QGroupBox*>(view.ControlWidget("good"));
    auto* spamBox = qobject_cast<QGroupBox*>(view.ControlWidget("spam"));
    QVERIFY(goodBox && spamBox);
    QCOMPARE(goodBox->title(), QString("Custom Not Spam Dictionary"));
    QVERIFY(Inside(view.ButtonWidget(11), goodBox));
    QVERIFY(Inside(view.ButtonWidget(12), spamBox));
    QVERIFY(Inside(view.ControlWidget("count"), spamBox));
    QVERIFY(!Inside(view.ButtonWidget(12), goodBox));
    QVERIFY(qobject_cast<QLabel*>(view.ControlWidget("lonely")));
    for (std::int32_t free : {13, 14, 1}) {
      QVERIFY(view.ButtonWidget(free));
      QVERIFY(!Inside(view.ButtonWidget(free), goodBox) &&
              !Inside(view.ButtonWidget(free), spamBox));
    }
    view.KeepOpen();
    QSignalSpy pressed(&view, &DialogView::pressedButton);
    QTest::keyClick(&view, Qt::Key_D, Qt::AltModifier);  // the access key of the second
    QTRY_COMPARE(pressed.count(), 1);                    // a click shown pressed a moment
    QCOMPARE(pressed.at(0).at(0).value<std::int32_t>(), 12);
  }

  void sortButtonsAreLeftOutBesideAListSortedByItsHeadings() {
    ui::Dialog d = Senders();
    ui::Button sort = ui::RoleButton(ui::ButtonRole::kSort, "Sort by &Name");
    sort.id = 101;
    d.buttons.push_back(sort);
    DialogView view(d);
    QVERIFY(view.ButtonWidget(101) == nullptr);
    for (const QPushButton* push : view.findChildren<QPushButton*>())
      QVERIFY(!push->text().contains("Sort"));
    QVERIFY(d.FindButton(101) != nullptr);
    QVERIFY(view.ButtonWidget(100) != nullptr);
    // A list without headings cannot be sorted by them: the button stays.
    d.Find("senders")->columns.clear();
    DialogView bare(d);
    QVERIFY(bare.ButtonWidget(101) != nullptr);
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
