// The host's command bars as widgets of a window: the menu bar's popups as menus
// (items with their shortcut texts, separators where a group begins), every other
// visible bar as a tool bar (buttons with their faces, captions and tooltips), and the
// key table as window shortcuts, which take the key so that nothing else in the
// window acts on it. Every click, item and key reports its command to `click`.
//
// Thread-safety: the GUI thread only.
#ifndef QUORVEL_DESKTOP_COMMAND_BARS_VIEW_H_
#define QUORVEL_DESKTOP_COMMAND_BARS_VIEW_H_

#include <QIcon>
#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <string>
#include <vector>

#include "host/protocol.h"

class QMenu;
class QShortcut;
class QToolBar;

namespace quorvel::desktop {

struct ShownBars {
  std::vector<QPointer<QToolBar>> toolbars;
  std::vector<QPointer<QMenu>> menus;
  std::vector<QPointer<QShortcut>> keys;
  // Removes them from the window (before the bars are shown again).
  void Clear();
};

// Adds `bars` to `window`; what it added goes to *shown (cleared first).
void ShowCommandBars(QMainWindow& window, const host::protocol::CommandBarList& bars,
                     const std::function<void(std::int32_t command)>& click, ShownBars* shown);

// A button's face from its XPM text; an empty icon when there is none or it is damaged.
QIcon FaceIcon(const std::string& xpm);

}  // namespace quorvel::desktop

#endif  // QUORVEL_DESKTOP_COMMAND_BARS_VIEW_H_
