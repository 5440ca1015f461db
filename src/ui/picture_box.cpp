#include "ui/picture_box.h"

#include <QMouseEvent>
#include <QPainter>

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

void PictureBox::SyncBitmap() const {
  const QSize size = contentsRect().size().expandedTo(QSize(0, 0));
  if (image_.size() == size) return;
  if (size.isEmpty()) {
    image_ = QImage();
    return;
  }
  QImage next(size, QImage::Format_BGR888);
  next.fill(palette().color(QPalette::Window));
  if (!image_.isNull()) {
    QPainter painter(&next);
    painter.drawImage(0, 0, image_);
  }
  image_ = std::move(next);
}

std::int32_t PictureBox::BitmapWidth() const {
  SyncBitmap();
  return image_.width();
}

std::int32_t PictureBox::BitmapHeight() const {
  SyncBitmap();
  return image_.height();
}

std::uint8_t* PictureBox::ScanLine(std::int32_t row) {
  SyncBitmap();
  return image_.scanLine(image_.height() - 1 - row);
}

const QImage& PictureBox::Image() const {
  SyncBitmap();
  return image_;
}

void PictureBox::Refresh() { repaint(); }

void PictureBox::BitmapChanged() { update(contentsRect()); }

void PictureBox::paintEvent(QPaintEvent* event) {
  SyncBitmap();
  {
    QPainter painter(this);
    // Nearest-neighbour when the screen scales the picture.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    if (image_.isNull()) {
      painter.fillRect(contentsRect(), palette().color(QPalette::Window));
    } else {
      painter.drawImage(contentsRect(), image_);
    }
  }
  QFrame::paintEvent(event);  // the border
}

void PictureBox::resizeEvent(QResizeEvent* event) {
  QFrame::resizeEvent(event);
  SyncBitmap();
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
