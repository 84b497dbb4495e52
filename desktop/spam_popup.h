// SpamPopup: the small window that slides in from the screen's edge where the panel
// is and says how many spam messages arrived ("You've got 3 spam messages"). The
// slide, the stay and the side are the popup model's (ui/tray_popup.h); this window
// draws it: frameless, above other windows, never taking the focus; a click hides it.
// A count that comes while it shows changes the text in place.
//
// Thread-safety: the GUI thread only.
#ifndef QUORVEL_DESKTOP_SPAM_POPUP_H_
#define QUORVEL_DESKTOP_SPAM_POPUP_H_

#include <QLabel>
#include <QTimer>
#include <QWidget>
#include <functional>

#include "ui/tray_popup.h"

namespace quorvel::desktop {

class SpamPopup : public QWidget, private ui::TrayPopupObserver {
  Q_OBJECT

 public:
  // `clock` and `screen` as the model takes them; by default the system clock and the
  // primary screen's geometry and work area.
  explicit SpamPopup(const platform::Clock& clock, std::function<ui::ScreenGeometry()> screen = {});

  // `count` new spam messages: shown after the usual short delay.
  void ShowCount(std::uint32_t count);
  // The host's notice text ("You've got 3 spam messages"): its count shown.
  void ShowNotice(const QString& text);

  const ui::TrayPopup& model() const { return popup_; }
  QString text() const { return label_->text(); }
  // Fires what is due now on the model's clock (the timer does this by itself).
  void Advance();

 protected:
  void mousePressEvent(QMouseEvent* event) override;

 private:
  void OnPopupShown(const std::string& text) override;
  void OnPopupTextChanged(const std::string& text) override;
  void OnPopupHidden() override;
  void Place();
  void Schedule();

  QLabel* label_;
  ui::TrayPopup popup_;
  QTimer timer_;
};

// The screen the popup slides on: the primary screen's geometry and work area.
ui::ScreenGeometry PrimaryScreenGeometry();

// The count of a notice "You've got N spam message(s)"; 0 when the text has none.
std::uint32_t NoticeCount(const QString& text);

}  // namespace quorvel::desktop

#endif  // QUORVEL_DESKTOP_SPAM_POPUP_H_
