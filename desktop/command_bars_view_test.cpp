// The host's command bars as a window's menus, tool bar and keys: what shows, and
// which command each click and key reports; a key of the table goes to the command,
// not to the widget that has the focus.
#include "desktop/command_bars_view.h"

#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QtTest>

using namespace quorvel;
using host::protocol::BarControl;

namespace {

const char* kFace =
    "/* XPM */\nstatic const char* f[] = {\"2 2 2 1\", \"a c #FF0000\", \"b c #00FF00\", \"ab\", "
    "\"ba\"};\n";

BarControl Button(const std::string& caption, std::int32_t command) {
  BarControl b;
  b.type = "button";
  b.caption = caption;
  b.command = command;
  b.tag = "Quorvel-Item-" + std::to_string(command);
  return b;
}

host::protocol::CommandBarList Bars() {
  host::protocol::CommandBarList list;
  host::protocol::Bar menuBar;
  menuBar.name = "Menu Bar";
  menuBar.position = 6;
  BarControl popup;
  popup.type = "popup";
  popup.caption = "&Quorvel";
  BarControl good = Button("&Good Email", 32775);
  good.shortcut = "Ctrl+Alt+A";
  BarControl options = Button("&Options...", 32783);
  options.beginGroup = true;
  popup.controls = {good, Button("&Junk Email", 32776), options};
  menuBar.controls = {popup};
  host::protocol::Bar toolbar;
  toolbar.name = "Quorvel";
  BarControl junk = Button("&Junk E-mail", 32776);
  junk.tooltip = "The message will be used as an example of spam";
  junk.face = kFace;
  BarControl check = Button("&Check Folder", 32781);
  check.visible = false;  // customized away
  BarControl test = Button("&Test Message", 32778);
  test.enabled = false;
  toolbar.controls = {Button("&Good E-mail", 32775), junk, check, test};
  list.bars = {menuBar, toolbar};
  list.keys = {{"Ctrl+Alt+F", 32775}, {"Ctrl+Alt+E", 32776}, {"Ctrl+Alt+D", 32777}};
  return list;
}

// Counts the presses of keys other than modifiers that a widget receives.
class KeyCounter : public QObject {
 public:
  int presses = 0;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() != QEvent::KeyPress) return false;
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key != Qt::Key_Control && key != Qt::Key_Alt && key != Qt::Key_Shift) ++presses;
    return false;
  }
};

}  // namespace

class CommandBarsViewTest : public QObject {
  Q_OBJECT

 private slots:
  void menusAndToolBarShowTheBarsAndReportTheirCommands() {
    QMainWindow window;
    std::vector<std::int32_t> clicked;
    desktop::ShownBars shown;
    desktop::ShowCommandBars(
        window, Bars(), [&](std::int32_t c) { clicked.push_back(c); }, &shown);
    QCOMPARE(shown.menus.size(), std::size_t{1});
    QMenu* menu = shown.menus[0];
    QCOMPARE(menu->title(), QString("&Quorvel"));
    const QList<QAction*> items = menu->actions();
    QCOMPARE(items.size(), 4);  // Good, Junk, a separator, Options
    QCOMPARE(items[0]->text(), QString("&Good Email\tCtrl+Alt+A"));
    QVERIFY(items[2]->isSeparator());
    items[3]->trigger();
    QCOMPARE(clicked, (std::vector<std::int32_t>{32783}));

    QCOMPARE(shown.toolbars.size(), std::size_t{1});
    QToolBar* bar = shown.toolbars[0];
    QCOMPARE(bar->windowTitle(), QString("Quorvel"));
    const QList<QAction*> buttons = bar->actions();
    QCOMPARE(buttons.size(), 3);  // Check Folder is hidden
    QCOMPARE(buttons[1]->toolTip(), QString("The message will be used as an example of spam"));
    QVERIFY(!buttons[1]->icon().isNull());
    QVERIFY(buttons[0]->icon().isNull());
    QVERIFY(!buttons[2]->isEnabled());
    buttons[1]->trigger();
    QCOMPARE(clicked.back(), 32776);

    shown.Clear();  // shown again after a restart: nothing doubles
    desktop::ShowCommandBars(
        window, Bars(), [](std::int32_t) {}, &shown);
    QCOMPARE(window.findChildren<QToolBar*>().size(), 1);
    QCOMPARE(window.menuBar()->actions().size(), 1);
  }

  void theKeyTableTakesItsKeys() {
    QMainWindow window;
    auto* edit = new QLineEdit;
    window.setCentralWidget(edit);
    std::vector<std::int32_t> clicked;
    desktop::ShownBars shown;
    desktop::ShowCommandBars(
        window, Bars(), [&](std::int32_t c) { clicked.push_back(c); }, &shown);
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    edit->setFocus();
    KeyCounter counter;
    edit->installEventFilter(&counter);
    QTest::keyClick(edit, Qt::Key_E, Qt::ControlModifier | Qt::AltModifier);
    QTest::keyClick(edit, Qt::Key_F, Qt::ControlModifier | Qt::AltModifier);
    QCOMPARE(clicked, (std::vector<std::int32_t>{32776, 32775}));
    QCOMPARE(counter.presses, 0);      // the focused box never saw them
    QTest::keyClick(edit, Qt::Key_X);  // other keys still reach it
    QCOMPARE(counter.presses, 1);
    QCOMPARE(edit->text(), QString("x"));
  }

  void aDamagedFaceIsNoFace() {
    QVERIFY(desktop::FaceIcon("").isNull());
    QVERIFY(desktop::FaceIcon("/* XPM */ garbage").isNull());
    QVERIFY(!desktop::FaceIcon(kFace).isNull());
  }
};

QTEST_MAIN(CommandBarsViewTest)
#include "command_bars_view_test.moc"
