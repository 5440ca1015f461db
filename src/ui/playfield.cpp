#include "ui/playfield.h"

#include <QWindow>

#include <QPainter>
#include <QRegion>
#include <algorithm>
#include <cmath>

namespace brindlet::ui {

ScanLines LinesOf(const QImage& image) {
  if (image.isNull()) return {};
  const std::ptrdiff_t words = image.bytesPerLine() / 4;
  auto* top = reinterpret_cast<std::uint32_t*>(const_cast<uchar*>(image.constBits()));
  return {top + (image.height() - 1) * words, -words};
}

PixelRect ToDevice(const QRect& logical, qreal ratio) {
  return {static_cast<std::int32_t>(std::floor(logical.left() * ratio)),
          static_cast<std::int32_t>(std::floor(logical.top() * ratio)),
          static_cast<std::int32_t>(std::ceil((logical.right() + 1) * ratio)),
          static_cast<std::int32_t>(std::ceil((logical.bottom() + 1) * ratio))};
}

QRect ToLogical(const PixelRect& device, qreal ratio) {
  return QRect(QPoint(static_cast<int>(std::floor(device.left / ratio)), static_cast<int>(std::floor(device.top / ratio))),
               QPoint(static_cast<int>(std::ceil(device.right / ratio)) - 1,
                      static_cast<int>(std::ceil(device.bottom / ratio)) - 1));
}

bool Holds32BitPixels(const QImage& image) {
  switch (image.format()) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied: return true;
    default: return false;
  }
}

QRegion BandedRegion(std::span<const PixelRect> areas, QPoint offset, QList<QRect>& list) {
  list.clear();
  for (const PixelRect& a : areas) {
    list.push_back(QRect(QPoint(a.left, a.top), QPoint(a.right - 1, a.bottom - 1)).translated(offset));
  }
  QRegion region;
  region.setRects(list.constData(), static_cast<int>(list.size()));
  return region;
}

Playfield::Playfield(QWidget* parent) : QFrame(parent) {
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, Qt::black);
  setPalette(palette);
  setAutoFillBackground(true);
  setFrameStyle(QFrame::NoFrame);
  // The picture covers the whole client area on every paint.
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void Playfield::SetSingleBorder(bool on) {
  if (on) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(1);
  } else {
    setFrameStyle(QFrame::NoFrame);
  }
}

void Playfield::SetBitmapSize(QSize size) {
  size = size.expandedTo(QSize(0, 0));
  if (size_ == size) return;
  QImage next = NewBitmap(size);
  next.fill(Qt::black);
  if (!image_.isNull() && !next.isNull()) {
    QPainter painter(&next);
    painter.drawImage(0, 0, image_);
  }
  image_ = std::move(next);
  size_ = size;
  // Cut or widened, it is another picture: no frame may go on by tiles.
  NumberNewPicture();
  update();
}

QImage Playfield::Image() const { return image_; }

bool Playfield::Shown() const {
  const QWidget* top = window();
  if (!isVisible() || top->isMinimized()) return false;
  const QWindow* handle = top->windowHandle();
  return handle != nullptr && handle->isExposed();
}

ScanLines Playfield::Lines() {
  if (image_.isNull()) return {};
  // The bitmap may be shared with an Image() handed out: detach it first,
  // so that what was handed out keeps its picture.
  image_.detach();
  return LinesOf(image_);
}

QImage Playfield::NewBitmap(QSize size) {
  if (size.isEmpty()) return {};
  return QImage(size, QImage::Format_RGB32);
}

QPoint Playfield::PixelAt(QPointF at) {
  return {static_cast<int>(std::floor(at.x())), static_cast<int>(std::floor(at.y()))};
}

QPoint Playfield::ToBitmap(QPoint client) const {
  const QSize area = contentsRect().size();
  if (area == size_ || area.isEmpty()) return client;
  return {static_cast<int>(std::floor(client.x() * static_cast<double>(size_.width()) / area.width())),
          static_cast<int>(std::floor(client.y() * static_cast<double>(size_.height()) / area.height()))};
}

QPointF Playfield::FromBitmap(QPointF bitmap) const {
  const QSize area = contentsRect().size();
  if (area == size_ || area.isEmpty() || size_.isEmpty()) return bitmap;
  return {bitmap.x() * area.width() / size_.width(), bitmap.y() * area.height() / size_.height()};
}

bool Playfield::Scaled() const { return contentsRect().size() != size_ || devicePixelRatioF() != 1.0; }

void Playfield::PassOn(MouseAction action, Qt::MouseButton button, QPoint client) {
  if (action == MouseAction::Press) emit PointerMoved();
  const QPoint pixel = ToBitmap(client);
  emit Mouse(action, button == Qt::LeftButton, {pixel.x(), pixel.y()});
}

QRegion Playfield::ScaledRegion(std::span<const PixelRect> areas, QSize client, qreal ratio, QPoint offset,
                                std::vector<PixelRect>& reached) {
  scaler_.SetSizes(size_.width(), size_.height(), static_cast<std::int32_t>(std::lround(client.width() * ratio)),
                   static_cast<std::int32_t>(std::lround(client.height() * ratio)));
  // The bands of reaches overlap where they meet, so they are cut into a
  // region's bands once rather than joined region by region.
  reached.clear();
  logical_.clear();
  for (std::size_t first = 0; first < areas.size();) {
    const std::size_t band = logical_.size();
    std::size_t end = first;
    for (; end < areas.size() && areas[end].top == areas[first].top; ++end) {
      const PixelRect pixels = scaler_.Reach(areas[end]);
      const QRect logical = ToLogical(pixels, ratio);
      const PixelRect reach{logical.left(), logical.top(), logical.right() + 1, logical.bottom() + 1};
      if (logical_.size() > band && logical_.back().right >= reach.left) {
        logical_.back().right = std::max(logical_.back().right, reach.right);
        reached.back().right = std::max(reached.back().right, pixels.right);
      } else {
        logical_.push_back(reach);
        reached.push_back(pixels);
      }
    }
    first = end;
  }
  covered_.clear();
  CoverInBands(logical_, covered_);
  return BandedRegion(covered_, offset, changed_);
}

}  // namespace brindlet::ui
