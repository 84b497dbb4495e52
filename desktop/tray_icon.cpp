#include "desktop/tray_icon.h"

#include <QApplication>
#include <QMenu>

#include "desktop/explorer_window.h"

namespace quorvel::desktop {

TrayIcon::TrayIcon(ExplorerWindow& window, const platform::Clock& clock)
    : icon_(QIcon(":/quorvel/quorvel.svg")), menu_(std::make_unique<QMenu>()), popup_(clock) {
  icon_.setToolTip(QStringLiteral("Quorvel"));
  menu_->addAction(tr("&Show Quorvel"), &window, [&window] {
    window.showNormal();
    window.raise();
    window.activateWindow();
  });
  menu_->addSeparator();
  menu_->addAction(tr("&Quit"), qApp, &QApplication::quit);
  icon_.setContextMenu(menu_.get());
  connect(&icon_, &QSystemTrayIcon::activated, &window,
          [&window](QSystemTrayIcon::ActivationReason why) {
            if (why == QSystemTrayIcon::Trigger) {
              window.showNormal();
              window.raise();
            }
          });
  connect(&window, &ExplorerWindow::connected, this, [this] { icon_.show(); });
  connect(&window, &ExplorerWindow::hostLost, this, [this] { icon_.hide(); });
  connect(&window, &ExplorerWindow::notice, this,
          [this](const QString&, const QString& text) { popup_.ShowNotice(text); });
}

TrayIcon::~TrayIcon() = default;

}  // namespace quorvel::desktop
