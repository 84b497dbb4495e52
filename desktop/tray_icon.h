// TrayIcon: the desktop's icon in the system tray while its host runs (hidden when
// the host goes away), with a menu to show the explorer or quit, and the spam popup
// that the host's notices of new spam show.
//
// Thread-safety: the GUI thread only.
#ifndef QUORVEL_DESKTOP_TRAY_ICON_H_
#define QUORVEL_DESKTOP_TRAY_ICON_H_

#include <QObject>
#include <QSystemTrayIcon>
#include <memory>

#include "desktop/spam_popup.h"

class QMenu;

namespace quorvel::desktop {

class ExplorerWindow;

class TrayIcon : public QObject {
  Q_OBJECT

 public:
  // Follows `window`'s host: shown when it is connected, hidden when it is lost.
  TrayIcon(ExplorerWindow& window, const platform::Clock& clock);
  ~TrayIcon() override;

  QSystemTrayIcon& icon() { return icon_; }
  SpamPopup& popup() { return popup_; }

 private:
  QSystemTrayIcon icon_;
  std::unique_ptr<QMenu> menu_;
  SpamPopup popup_;
};

}  // namespace quorvel::desktop

#endif  // QUORVEL_DESKTOP_TRAY_ICON_H_
