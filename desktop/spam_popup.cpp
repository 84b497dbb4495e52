#include "desktop/spam_popup.h"

#include <QGuiApplication>
#include <QRegularExpression>
#include <QScreen>
#include <QVBoxLayout>

namespace quorvel::desktop {
namespace {

constexpr std::uint32_t kDelayMs = 2000;  // as the worker gives it after a move

ui::PopupRect Rect(const QRect& r) { return {r.left(), r.top(), r.right() + 1, r.bottom() + 1}; }

}  // namespace

ui::ScreenGeometry PrimaryScreenGeometry() {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return {{0, 0, 1024, 768}, {0, 0, 1024, 768}};
  return {Rect(screen->geometry()), Rect(screen->availableGeometry())};
}

std::uint32_t NoticeCount(const QString& text) {
  static const QRegularExpression count(QStringLiteral("got (\\d+) spam"));
  const QRegularExpressionMatch match = count.match(text);
  return match.hasMatch() ? match.captured(1).toUInt() : 0;
}

SpamPopup::SpamPopup(const platform::Clock& clock, std::function<ui::ScreenGeometry()> screen)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowDoesNotAcceptFocus),
      label_(new QLabel),
      popup_(clock, screen ? std::move(screen) : PrimaryScreenGeometry, this) {
  setAttribute(Qt::WA_ShowWithoutActivating);
  setFocusPolicy(Qt::NoFocus);
  setObjectName("spam-popup");
  setFixedSize(ui::TrayPopup::kWidth, ui::TrayPopup::kHeight);
  setStyleSheet("QWidget#spam-popup { background: #fdf6e3; border: 1px solid #8a8a8a; }");
  auto* layout = new QVBoxLayout(this);
  auto* title = new QLabel(QStringLiteral("Quorvel"));
  QFont bold = title->font();
  bold.setBold(true);
  title->setFont(bold);
  layout->addWidget(title);
  QFont tahoma(QStringLiteral("Tahoma"));
  label_->setFont(tahoma);
  label_->setObjectName("popup-text");
  layout->addWidget(label_);
  timer_.setSingleShot(true);
  connect(&timer_, &QTimer::timeout, this, &SpamPopup::Advance);
}

void SpamPopup::ShowCount(std::uint32_t count) {
  if (count == 0) return;
  popup_.Notify(0, count, kDelayMs);
  Schedule();
}

void SpamPopup::ShowNotice(const QString& text) { ShowCount(NoticeCount(text)); }

void SpamPopup::Advance() {
  popup_.Advance();
  Place();
  Schedule();
}

void SpamPopup::Schedule() {
  std::optional<std::uint32_t> due = popup_.NextDueMs();
  if (due) {
    timer_.start(static_cast<int>(*due));
  } else {
    timer_.stop();
  }
}

void SpamPopup::Place() {
  const ui::PopupRect at = popup_.position();
  move(at.left, at.top);
}

void SpamPopup::mousePressEvent(QMouseEvent*) {
  popup_.Hide();
  Schedule();
}

void SpamPopup::OnPopupShown(const std::string& text) {
  label_->setText(QString::fromStdString(text));
  Place();
  show();
}

void SpamPopup::OnPopupTextChanged(const std::string& text) {
  label_->setText(QString::fromStdString(text));
}

void SpamPopup::OnPopupHidden() { hide(); }

}  // namespace quorvel::desktop
