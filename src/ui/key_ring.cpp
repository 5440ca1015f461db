#include "ui/key_ring.h"

#include <algorithm>
#include <cmath>

#include "ui/playfield.h"

namespace brindlet::ui {
namespace {

// Dark pixels on each side of the ring's centre line, and the room beyond
// them.
constexpr int kBand = 3;
constexpr int kPad = kBand + 1;

}  // namespace

QRect KeyRing::Place(const Playfield& playfield, QPointF image, int* radius) {
  const QSize picture(playfield.Width(), playfield.Height());
  const QRect area = playfield.contentsRect();
  const double scale = picture.isEmpty() ? 1.0 : static_cast<double>(area.width()) / picture.width();
  *radius = std::clamp(static_cast<int>(std::lround(kRadius * scale)), kSmallestRadius, kLargestRadius);
  const QPointF at = playfield.FromBitmap(image);
  const QPoint centre(static_cast<int>(std::floor(at.x())), static_cast<int>(std::floor(at.y())));
  const int side = Side(*radius);
  return {area.topLeft() + centre - QPoint(*radius + kPad, *radius + kPad), QSize(side, side)};
}

int KeyRing::Side(int radius) { return 2 * (radius + kPad) + 1; }

QRegion KeyRing::Shape(int radius) {
  const QPoint c(radius + kPad, radius + kPad);
  const auto disc = [&](int r) { return QRegion(QRect(c - QPoint(r, r), QSize(2 * r + 1, 2 * r + 1)), QRegion::Ellipse); };
  return disc(radius + kBand).subtracted(disc(radius - kBand));
}

void KeyRing::Paint(QPainter& painter, int radius) {
  painter.setClipRegion(Shape(radius));
  painter.fillRect(QRect(0, 0, Side(radius), Side(radius)), kOutline);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(kRing, 2.5));
  painter.setBrush(Qt::NoBrush);
  const double c = radius + kPad + 0.5;
  painter.drawEllipse(QPointF(c, c), radius, radius);
}

QImage KeyRing::Picture(int radius) {
  QImage image(Side(radius), Side(radius), QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  Paint(painter, radius);
  return image;
}

}  // namespace brindlet::ui
