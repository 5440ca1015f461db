#include "ui/picture_box.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QWindow>
#include <cmath>

#include "render/picture_memory.h"

namespace brindlet::ui {

PictureBox::PictureBox(QWidget* parent) : QFrame(parent) {
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, Qt::black);
  setPalette(palette);
  setAutoFillBackground(true);
  setFrameStyle(QFrame::NoFrame);
  // The picture covers the whole client area on every paint.
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void PictureBox::SetSingleBorder(bool on) {
  if (on) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(1);
  } else {
    setFrameStyle(QFrame::NoFrame);
  }
}

void PictureBox::SetBitmapSize(QSize size) {
  size = size.expandedTo(QSize(0, 0));
  if (image_.size() == size) return;
  QImage next = NewBitmap(size);
  next.fill(palette().color(QPalette::Window));
  if (!image_.isNull() && !next.isNull()) {
    QPainter painter(&next);
    painter.drawImage(0, 0, image_);
  }
  image_ = std::move(next);
  update();
}

ScanLines PictureBox::Lines() {
  if (image_.isNull()) return {};
  // Asking for a line of the bitmap makes it the box's own, never shared.
  return {reinterpret_cast<std::uint32_t*>(image_.scanLine(image_.height() - 1)),
          -static_cast<std::ptrdiff_t>(image_.bytesPerLine() / 4)};
}

QImage PictureBox::NewBitmap(QSize size) {
  if (size.isEmpty()) return {};
  // The bitmap is written a few tiles at a time every frame: it lives in
  // picture memory, like the frames.
  const std::size_t bytes = static_cast<std::size_t>(size.width()) * 4 * static_cast<std::size_t>(size.height());
  void* block = AllocatePicture(bytes);
  return QImage(
      static_cast<uchar*>(block), size.width(), size.height(), static_cast<qsizetype>(size.width()) * 4,
      QImage::Format_RGB32, [](void* released) { FreePicture(released); }, block);
}

bool PictureBox::Shown() const {
  const QWidget* top = window();
  if (!isVisible() || top->isMinimized()) return false;
  const QWindow* handle = top->windowHandle();
  return handle != nullptr && handle->isExposed();
}

QPoint PictureBox::ToBitmap(QPoint client) const {
  const QSize area = contentsRect().size();
  if (area == image_.size() || area.isEmpty()) return client;
  return {static_cast<int>(std::floor(client.x() * static_cast<double>(image_.width()) / area.width())),
          static_cast<int>(std::floor(client.y() * static_cast<double>(image_.height()) / area.height()))};
}

QRect PictureBox::ToWidget(const QRect& bitmap) const {
  const QRect area = contentsRect();
  if (area.size() == image_.size() || image_.isNull()) return bitmap.translated(area.topLeft());
  const double sx = static_cast<double>(area.width()) / image_.width();
  const double sy = static_cast<double>(area.height()) / image_.height();
  // Widened by a pixel: smooth scaling reaches into the neighbours.
  const QRect scaled(QPoint(static_cast<int>(std::floor(bitmap.left() * sx)) - 1,
                            static_cast<int>(std::floor(bitmap.top() * sy)) - 1),
                     QPoint(static_cast<int>(std::ceil((bitmap.right() + 1) * sx)) + 1,
                            static_cast<int>(std::ceil((bitmap.bottom() + 1) * sy)) + 1));
  return scaled.translated(area.topLeft()).intersected(area);
}

void PictureBox::Changed(std::span<const PixelRect> areas) {
  if (areas.empty()) return;
  const QRect area = contentsRect();
  if (area.size() != image_.size() || image_.isNull()) {
    // Scaled: each band as a whole, widened to the screen pixels it reaches.
    for (std::size_t first = 0; first < areas.size();) {
      std::size_t end = first + 1;
      while (end < areas.size() && areas[end].top == areas[first].top) ++end;
      const QRect band(QPoint(areas[first].left, areas[first].top),
                       QPoint(areas[end - 1].right - 1, areas[first].bottom - 1));
      update(ToWidget(band));
      first = end;
    }
    return;
  }
  // At 1:1 the areas come in the banded order a region is made of, so they
  // become one region at once, not by hundreds of unions.
  changed_.clear();
  for (const PixelRect& a : areas) {
    changed_.push_back(QRect(QPoint(a.left, a.top), QPoint(a.right - 1, a.bottom - 1)).translated(area.topLeft()));
  }
  QRegion region;
  region.setRects(changed_.constData(), static_cast<int>(changed_.size()));
  update(region);
}

void PictureBox::paintEvent(QPaintEvent* event) {
  {
    QPainter painter(this);
    const QRect area = contentsRect();
    if (image_.isNull()) {
      painter.fillRect(area, palette().color(QPalette::Window));
    } else if (area.size() == image_.size() && devicePixelRatioF() == 1.0) {
      // A plain copy of each part asked for.
      for (const QRect& part : event->region()) {
        const QRect shown = part.intersected(area);
        if (!shown.isEmpty()) painter.drawImage(shown.topLeft(), image_, shown.translated(-area.topLeft()));
      }
    } else {
      // Screen pixels per bitmap pixel: sharp blocks at whole ratios.
      const double ratio = devicePixelRatioF() * area.width() / image_.width();
      painter.setRenderHint(QPainter::SmoothPixmapTransform, std::fabs(ratio - std::round(ratio)) > 1e-9);
      painter.drawImage(area, image_);
    }
  }
  QFrame::paintEvent(event);  // the border
}

void PictureBox::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    pressed_ = true;
    after_double_click_ = false;
  }
  event->accept();
}

void PictureBox::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    event->accept();
    return;
  }
  const bool click = pressed_ && !after_double_click_;
  pressed_ = false;
  after_double_click_ = false;
  event->accept();
  if (click) emit Click();
}

void PictureBox::mouseDoubleClickEvent(QMouseEvent* event) {
  event->accept();
  if (event->button() != Qt::LeftButton) return;
  pressed_ = false;
  after_double_click_ = true;
  emit DblClick();
}

}  // namespace brindlet::ui
