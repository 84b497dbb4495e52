#include "desktop/command_bars_view.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QShortcut>
#include <QToolBar>

namespace quorvel::desktop {
namespace {

constexpr int kMenuBar = 6;  // a bar's position when it is the menu bar

QString Q(const std::string& text) { return QString::fromStdString(text); }

QAction* ActionFor(QObject* owner, const host::protocol::BarControl& control,
                   const std::function<void(std::int32_t)>& click) {
  auto* action = new QAction(FaceIcon(control.face), Q(control.caption), owner);
  action->setToolTip(Q(control.tooltip.empty() ? control.caption : control.tooltip));
  action->setEnabled(control.enabled);
  action->setObjectName(Q(control.tag));
  const std::int32_t command = control.command;
  QObject::connect(action, &QAction::triggered, owner, [click, command] {
    if (command != 0) click(command);
  });
  return action;
}

void FillMenu(QMenu& menu, const std::vector<host::protocol::BarControl>& controls,
              const std::function<void(std::int32_t)>& click) {
  for (const host::protocol::BarControl& control : controls) {
    if (!control.visible) continue;
    if (control.beginGroup && !menu.isEmpty()) menu.addSeparator();
    if (control.type == "popup") {
      FillMenu(*menu.addMenu(Q(control.caption)), control.controls, click);
      continue;
    }
    QAction* action = ActionFor(&menu, control, click);
    // The shortcut text is shown, not bound: the key table binds keys.
    if (!control.shortcut.empty()) action->setText(action->text() + "\t" + Q(control.shortcut));
    menu.addAction(action);
  }
}

Qt::ToolBarArea AreaOf(int position) {
  switch (position) {
    case 0:
      return Qt::LeftToolBarArea;
    case 2:
      return Qt::RightToolBarArea;
    case 3:
      return Qt::BottomToolBarArea;
    default:
      return Qt::TopToolBarArea;
  }
}

}  // namespace

void ShownBars::Clear() {
  for (auto& bar : toolbars) delete bar.data();
  for (auto& menu : menus) {
    if (menu) delete menu->menuAction();
    delete menu.data();
  }
  for (auto& key : keys) delete key.data();
  toolbars.clear();
  menus.clear();
  keys.clear();
}

QIcon FaceIcon(const std::string& xpm) {
  if (xpm.empty()) return {};
  QPixmap face;
  if (!face.loadFromData(QByteArray::fromStdString(xpm), "XPM")) return {};
  return QIcon(face);
}

void ShowCommandBars(QMainWindow& window, const host::protocol::CommandBarList& bars,
                     const std::function<void(std::int32_t)>& click, ShownBars* shown) {
  shown->Clear();
  for (const host::protocol::Bar& bar : bars.bars) {
    if (bar.position == kMenuBar) {
      for (const host::protocol::BarControl& control : bar.controls) {
        if (!control.visible || control.type != "popup") continue;
        QMenu* menu = window.menuBar()->addMenu(Q(control.caption));
        menu->setObjectName(Q(control.caption));
        FillMenu(*menu, control.controls, click);
        shown->menus.push_back(menu);
      }
      continue;
    }
    auto* toolbar = new QToolBar(Q(bar.name), &window);
    toolbar->setObjectName(Q(bar.name));
    toolbar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    for (const host::protocol::BarControl& control : bar.controls) {
      if (!control.visible) continue;
      if (control.beginGroup && !toolbar->actions().isEmpty()) toolbar->addSeparator();
      toolbar->addAction(ActionFor(toolbar, control, click));
    }
    window.addToolBar(AreaOf(bar.position), toolbar);
    toolbar->setVisible(bar.visible);
    shown->toolbars.push_back(toolbar);
  }
  for (const host::protocol::KeyBinding& binding : bars.keys) {
    auto* key = new QShortcut(QKeySequence(Q(binding.keys)), &window);
    key->setContext(Qt::WindowShortcut);
    const std::int32_t command = binding.command;
    QObject::connect(key, &QShortcut::activated, &window, [click, command] { click(command); });
    shown->keys.push_back(key);
  }
}

}  // namespace quorvel::desktop
