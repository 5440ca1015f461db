#include "ui/key_cursor.h"

#include <QPainter>
#include <QRegion>
#include <QWindow>
#include <algorithm>
#include <cmath>

namespace brindlet::ui {
namespace {

// Dark pixels on each side of the ring's centre line, and the widget's
// room beyond them.
constexpr int kBand = 3;
constexpr int kPad = kBand + 1;

}  // namespace

const QColor KeyCursor::kRing(255, 220, 0);
const QColor KeyCursor::kOutline(0, 0, 0);

KeyCursor::KeyCursor(PictureBox& box) : QWidget(&box), box_(box) {
  setObjectName(QStringLiteral("keyCursor"));
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setFocusPolicy(Qt::NoFocus);
  setAccessibleName(QStringLiteral("Keyboard cursor"));
  setAccessibleDescription(QStringLiteral("The ring round the peg that Space or Enter clicks"));
  if (box.OwnWindow() != nullptr) {
    // Above the box's own window only another native window shows; the box
    // itself stays a plain widget.
    // The window lets the pointer through and never takes the focus.
    setWindowFlags(windowFlags() | Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus);
    setAttribute(Qt::WA_DontCreateNativeAncestors);
    setAttribute(Qt::WA_NativeWindow);
    winId();
    if (QWindow* handle = windowHandle()) {
      handle->setFlag(Qt::WindowTransparentForInput, true);
      handle->setFlag(Qt::WindowDoesNotAcceptFocus, true);
    }
  }
  SetRadius(kSmallestRadius);
  hide();
}

void KeyCursor::SetRadius(int radius) {
  if (radius == radius_) return;
  radius_ = radius;
  const int side = 2 * (radius + kPad) + 1;
  setFixedSize(side, side);
  // Shaped to the ring, so that the playfield shows inside and round it.
  const QPoint c(radius + kPad, radius + kPad);
  const auto disc = [&](int r) { return QRegion(QRect(c - QPoint(r, r), QSize(2 * r + 1, 2 * r + 1)), QRegion::Ellipse); };
  setMask(disc(radius + kBand).subtracted(disc(radius - kBand)));
  update();
}

void KeyCursor::ShowAt(QPointF image) {
  const QSize picture(box_.Width(), box_.Height());
  const QRect area = box_.contentsRect();
  const double scale = picture.isEmpty() ? 1.0 : static_cast<double>(area.width()) / picture.width();
  SetRadius(std::clamp(static_cast<int>(std::lround(kRadius * scale)), kSmallestRadius, kLargestRadius));
  const QPointF at = box_.FromBitmap(image);
  const QPoint centre = area.topLeft() + QPoint(static_cast<int>(std::floor(at.x())), static_cast<int>(std::floor(at.y())));
  const QPoint corner = centre - QPoint(radius_ + kPad, radius_ + kPad);
  if (pos() != corner) move(corner);
  if (!isVisible()) {
    show();
    raise();  // above the box's own window, which may have been made after
  }
}

void KeyCursor::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.fillRect(rect(), kOutline);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(kRing, 2.5));
  painter.setBrush(Qt::NoBrush);
  const double c = radius_ + kPad + 0.5;
  painter.drawEllipse(QPointF(c, c), radius_, radius_);
}

}  // namespace brindlet::ui
