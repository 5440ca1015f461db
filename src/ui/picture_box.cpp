#include "ui/picture_box.h"

#include <QBackingStore>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QWindow>
#include <cmath>
#include <cstring>
#include <memory>

namespace brindlet::ui {
namespace {

// The scan lines of a 32-bit image, bottom first. The image's memory is
// written in place, never detached from: for a backing store it is what
// the window system reads.
ScanLines LinesOf(const QImage& image) {
  if (image.isNull()) return {};
  const std::ptrdiff_t words = image.bytesPerLine() / 4;
  auto* top = reinterpret_cast<std::uint32_t*>(const_cast<uchar*>(image.constBits()));
  return {top + (image.height() - 1) * words, -words};
}

// `size` pixels of `from` to `to`, line by line (their pitches may differ),
// in place like LinesOf.
void CopyPicture(QImage& to, const QImage& from, QSize size) {
  auto* top = const_cast<uchar*>(to.constBits());
  for (int y = 0; y < size.height(); ++y) {
    std::memcpy(top + y * to.bytesPerLine(), from.constScanLine(y), static_cast<std::size_t>(size.width()) * 4);
  }
}

// The screen pixels of a window's `logical` rectangle at `ratio` screen
// pixels per logical pixel, rounded outward.
PixelRect ToDevice(const QRect& logical, qreal ratio) {
  return {static_cast<std::int32_t>(std::floor(logical.left() * ratio)),
          static_cast<std::int32_t>(std::floor(logical.top() * ratio)),
          static_cast<std::int32_t>(std::ceil((logical.right() + 1) * ratio)),
          static_cast<std::int32_t>(std::ceil((logical.bottom() + 1) * ratio))};
}

// The logical pixels that cover screen pixels `device`, rounded outward.
QRect ToLogical(const PixelRect& device, qreal ratio) {
  return QRect(QPoint(static_cast<int>(std::floor(device.left / ratio)), static_cast<int>(std::floor(device.top / ratio))),
               QPoint(static_cast<int>(std::ceil(device.right / ratio)) - 1,
                      static_cast<int>(std::ceil(device.bottom / ratio)) - 1));
}

bool Holds32BitPixels(const QImage& image) {
  switch (image.format()) {
    // 0xAARRGGBB words, like the bitmap's; an opaque pixel is the same in all three.
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied: return true;
    default: return false;
  }
}

// The pixel under a pointer position, as the window system counts whole
// pixels.
QPoint PixelAt(QPointF at) { return {static_cast<int>(std::floor(at.x())), static_cast<int>(std::floor(at.y()))}; }

QRegion BandedRegion(std::span<const PixelRect> areas, QPoint offset, QList<QRect>& list) {
  list.clear();
  for (const PixelRect& a : areas) {
    list.push_back(QRect(QPoint(a.left, a.top), QPoint(a.right - 1, a.bottom - 1)).translated(offset));
  }
  QRegion region;
  region.setRects(list.constData(), static_cast<int>(list.size()));
  return region;
}

}  // namespace

// The box's own window: a raster window with a backing store of its own,
// whose clicks are the box's.
class PictureBox::Window final : public QWindow {
 public:
  explicit Window(PictureBox& box) : box_(box) {
    setSurfaceType(QSurface::RasterSurface);
    store_ = std::make_unique<QBackingStore>(this);
    connect(this, &QWindow::screenChanged, this, [this] { box_.Place(); });
  }
  QBackingStore& store() { return *store_; }

 protected:
  void exposeEvent(QExposeEvent* /*event*/) override {
    if (!isExposed()) {
      box_.pointer_.reset();
      return;
    }
    // Placing it may already have shown the whole picture.
    if (!box_.Place()) box_.ShowInWindow(QRegion(QRect(QPoint(0, 0), size())));
  }
  bool event(QEvent* event) override {
    if (event->type() == QEvent::Enter) {
      // Only an enter onto the window tells where the pointer is.
      const QPoint at = PixelAt(static_cast<QEnterEvent*>(event)->position());
      if (QRect(QPoint(0, 0), size()).contains(at)) box_.pointer_ = at;
    } else if (event->type() == QEvent::Leave) {
      box_.pointer_.reset();
    }
    return QWindow::event(event);
  }
  void mouseMoveEvent(QMouseEvent* event) override {
    // Only a move to another pixel is the mouse in use.
    const QPoint at = PixelAt(event->position());
    const bool moved = box_.pointer_ != at;
    box_.pointer_ = at;
    if (moved) emit box_.PointerMoved();
    event->accept();
  }
  void mousePressEvent(QMouseEvent* event) override {
    box_.pointer_ = PixelAt(event->position());
    emit box_.PointerMoved();
    box_.Press(event->button());
    event->accept();
  }
  void mouseReleaseEvent(QMouseEvent* event) override {
    box_.pointer_ = PixelAt(event->position());
    box_.Release(event->button());
    event->accept();
  }
  void mouseDoubleClickEvent(QMouseEvent* event) override {
    box_.pointer_ = PixelAt(event->position());
    box_.DoubleClick(event->button());
    event->accept();
  }

 private:
  PictureBox& box_;
  std::unique_ptr<QBackingStore> store_;
};

PictureBox::PictureBox(QWidget* parent) : QFrame(parent) {
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, Qt::black);
  setPalette(palette);
  setAutoFillBackground(true);
  setFrameStyle(QFrame::NoFrame);
  // The picture covers the whole client area on every paint.
  setAttribute(Qt::WA_OpaquePaintEvent);
}

PictureBox::~PictureBox() {
  if (changing_) window_->store().endPaint();
  // The window calls back into the box: it goes while the box is whole.
  delete container_;
}

void PictureBox::SetSingleBorder(bool on) {
  if (on) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(1);
  } else {
    setFrameStyle(QFrame::NoFrame);
  }
  Place();
}

void PictureBox::UseOwnWindow() {
  if (window_ != nullptr) return;
  window_ = new Window(*this);
  container_ = QWidget::createWindowContainer(window_, this);
  container_->setGeometry(contentsRect());
  container_->show();
  Place();
}

QWindow* PictureBox::OwnWindow() const { return window_; }

void PictureBox::SetBitmapSize(QSize size) {
  size = size.expandedTo(QSize(0, 0));
  if (size_ == size) return;
  if (in_store_) TakeBitmapOut();
  QImage next = NewBitmap(size);
  next.fill(palette().color(QPalette::Window));
  if (!image_.isNull() && !next.isNull()) {
    QPainter painter(&next);
    painter.drawImage(0, 0, image_);
  }
  image_ = std::move(next);
  size_ = size;
  store_pixels_ = QSize();
  // Cut or widened, it is another picture: no frame may go on by tiles.
  NumberNewPicture();
  Place();
  update();
}

QImage PictureBox::Image() const {
  if (!in_store_) return image_;
  // A copy of its own: sharing the store's image would let a later write
  // detach the store from the memory the window system reads.
  const QImage* store = StoreBitmap();
  return store != nullptr ? store->copy().convertToFormat(QImage::Format_RGB32) : QImage();
}

QImage* PictureBox::StoreBitmap() const {
  if (window_ == nullptr || window_->handle() == nullptr) return nullptr;
  auto* image = dynamic_cast<QImage*>(window_->store().paintDevice());
  if (image == nullptr || image->size() != size_ || image->devicePixelRatio() != 1.0) return nullptr;
  return Holds32BitPixels(*image) ? image : nullptr;
}

void PictureBox::TakeBitmapOut() {
  QImage bitmap = NewBitmap(size_);
  if (const QImage* store = StoreBitmap(); store != nullptr && !bitmap.isNull()) {
    CopyPicture(bitmap, *store, size_);
  } else {
    // The store went from under the bitmap (Qt remade it for a new pixel
    // ratio): nothing of it is left to keep.
    bitmap.fill(palette().color(QPalette::Window));
    lost_ = true;
  }
  image_ = std::move(bitmap);
  in_store_ = false;
}

bool PictureBox::Place() {
  if (window_ == nullptr || changing_) return false;
  const bool wasInStore = in_store_;
  const QRect area = contentsRect();
  if (container_->geometry() != area) {
    container_->setGeometry(area);
    pointer_.reset();  // the window moved under the pointer
  }
  // Until the window system has made the window, its backing store has
  // nothing to hold a picture in; the window's first expose places it.
  if (window_->handle() == nullptr) return false;
  const bool fits = area.size() == size_ && !size_.isEmpty() && window_->devicePixelRatio() == 1.0;
  if (in_store_ && !fits) TakeBitmapOut();
  QBackingStore& store = window_->store();
  if (store.size() != area.size()) store.resize(area.size());
  if (!in_store_ && fits) {
    store.beginPaint(QRect(QPoint(0, 0), size_));
    if (QImage* bitmap = StoreBitmap(); bitmap != nullptr && !image_.isNull()) {
      CopyPicture(*bitmap, image_, size_);
      image_ = QImage();
      in_store_ = true;
      store_pixels_ = QSize();
    }
    store.endPaint();
  }
  // Moved in or out, the window shows the whole picture again.
  if (in_store_ == wasInStore) return false;
  ShowInWindow(QRect(QPoint(0, 0), area.size()));
  return true;
}

void PictureBox::ShowInWindow(const QRegion& region, std::span<const PixelRect> changed) {
  if (window_ == nullptr || window_->handle() == nullptr || !window_->isExposed() || changing_ || region.isEmpty()) {
    return;
  }
  QBackingStore& store = window_->store();
  QRegion shown = region;
  if (!in_store_) {
    // The window's pixels (more than its logical pixels on a HiDPI screen)
    // are worked out from the bitmap where they show, straight into the
    // store: a copy at 1:1, repeated pixels at whole ratios, blended between.
    const QRect whole(QPoint(0, 0), contentsRect().size());
    const qreal ratio = window_->devicePixelRatio();
    // The store holds the window's last picture; after a new size or ratio
    // it holds nothing to keep.
    const QSize pixels(static_cast<int>(std::lround(whole.width() * ratio)),
                       static_cast<int>(std::lround(whole.height() * ratio)));
    if (pixels != store_pixels_) shown = whole;
    store.beginPaint(shown);
    auto* target = dynamic_cast<QImage*>(store.paintDevice());
    if (target != nullptr && Holds32BitPixels(*target) && !image_.isNull()) {
      scaler_.SetSizes(size_.width(), size_.height(), target->width(), target->height());
      store_pixels_ = target->size();
      const auto* from = reinterpret_cast<const std::uint32_t*>(image_.constBits());
      auto* to = reinterpret_cast<std::uint32_t*>(const_cast<uchar*>(target->constBits()));
      if (shown == region && !changed.empty()) {
        for (const PixelRect& part : changed) {
          scaler_.Scale(from, image_.bytesPerLine() / 4, to, target->bytesPerLine() / 4, part);
        }
      } else {
        for (const QRect& part : shown) {
          scaler_.Scale(from, image_.bytesPerLine() / 4, to, target->bytesPerLine() / 4, ToDevice(part, ratio));
        }
      }
    } else {
      QPainter painter(store.paintDevice());
      for (const QRect& part : shown) painter.fillRect(part, palette().color(QPalette::Window));
      store_pixels_ = QSize();
    }
    store.endPaint();
  }
  store.flush(shown);
}

ScanLines PictureBox::Lines() {
  if (in_store_) {
    if (const QImage* store = StoreBitmap()) return LinesOf(*store);
    TakeBitmapOut();
  }
  if (image_.isNull()) return {};
  // The box's own bitmap may be shared with an Image() handed out: detach
  // it first, so that what was handed out keeps its picture.
  image_.detach();
  return LinesOf(image_);
}

ScanLines PictureBox::BeginChange(std::span<const PixelRect> within) {
  if (in_store_ && !changing_ && !within.empty()) {
    // The window system may still be reading the last picture there; this
    // waits for it, where it has to.
    QBackingStore& store = window_->store();
    store.beginPaint(BandedRegion(within, {0, 0}, changed_));
    if (StoreBitmap() != nullptr) {
      changing_ = true;
    } else {
      // Qt remade the store on the way in: this change goes to a bitmap of
      // the box's own, drawn into the window when it is shown.
      store.endPaint();
      TakeBitmapOut();
    }
  }
  // A change covering the whole bitmap makes up for a lost picture, even
  // one lost just now.
  if (within.size() == 1 && within[0] == PixelRect{0, 0, size_.width(), size_.height()}) lost_ = false;
  return Lines();
}

void PictureBox::EndChange() {
  if (!changing_) return;
  changing_ = false;
  QBackingStore& store = window_->store();
  store.endPaint();
  // A window not exposed now shows the whole picture at its next expose.
  if (!to_flush_.isEmpty() && window_->isExposed()) store.flush(to_flush_);
  to_flush_ = QRegion();
}

QImage PictureBox::NewBitmap(QSize size) {
  if (size.isEmpty()) return {};
  return QImage(size, QImage::Format_RGB32);
}

bool PictureBox::Shown() const {
  const QWidget* top = window();
  if (!isVisible() || top->isMinimized()) return false;
  const QWindow* handle = top->windowHandle();
  return handle != nullptr && handle->isExposed();
}

QPoint PictureBox::ToBitmap(QPoint client) const {
  const QSize area = contentsRect().size();
  if (area == size_ || area.isEmpty()) return client;
  return {static_cast<int>(std::floor(client.x() * static_cast<double>(size_.width()) / area.width())),
          static_cast<int>(std::floor(client.y() * static_cast<double>(size_.height()) / area.height()))};
}

QPointF PictureBox::FromBitmap(QPointF bitmap) const {
  const QSize area = contentsRect().size();
  if (area == size_ || area.isEmpty() || size_.isEmpty()) return bitmap;
  return {bitmap.x() * area.width() / size_.width(), bitmap.y() * area.height() / size_.height()};
}

bool PictureBox::Scaled() const {
  return contentsRect().size() != size_ || devicePixelRatioF() != 1.0;
}

void PictureBox::Changed(std::span<const PixelRect> areas) {
  if (areas.empty()) return;
  const QRect area = contentsRect();
  if (in_store_) {
    // Already where the window system reads it: only to be shown.
    to_flush_ = BandedRegion(areas, {0, 0}, changed_);
    if (!changing_) {
      ShowInWindow(to_flush_);
      to_flush_ = QRegion();
    }
    return;
  }
  QRegion region;
  if (Scaled() || image_.isNull()) {
    // Scaled: each area widened to the screen pixels that depend on it, in
    // the window's logical pixels; one region a band.
    const qreal ratio = devicePixelRatioF();
    scaler_.SetSizes(size_.width(), size_.height(), static_cast<std::int32_t>(std::lround(area.width() * ratio)),
                     static_cast<std::int32_t>(std::lround(area.height() * ratio)));
    // The screen pixels themselves are kept too: the window's store is
    // written exactly there, not where the logical region rounds out to.
    reached_.clear();
    for (std::size_t first = 0; first < areas.size();) {
      changed_.clear();
      std::size_t end = first;
      for (; end < areas.size() && areas[end].top == areas[first].top; ++end) {
        const PixelRect pixels = scaler_.Reach(areas[end]);
        const QRect reach = ToLogical(pixels, ratio).translated(area.topLeft());
        if (!changed_.isEmpty() && changed_.back().right() + 1 >= reach.left()) {
          changed_.back().setRight(reach.right());
          reached_.back().right = std::max(reached_.back().right, pixels.right);
        } else {
          changed_.push_back(reach);
          reached_.push_back(pixels);
        }
      }
      QRegion band;
      band.setRects(changed_.constData(), static_cast<int>(changed_.size()));
      region += band;
      first = end;
    }
  } else {
    // At 1:1 the areas come in the banded order a region is made of, so they
    // become one region at once, not by hundreds of unions.
    region = BandedRegion(areas, area.topLeft(), changed_);
  }
  if (window_ != nullptr) {
    ShowInWindow(region.translated(-area.topLeft()), reached_);
  } else {
    update(region);
  }
  reached_.clear();
}

void PictureBox::Refresh() {
  repaint();
  if (window_ != nullptr) ShowInWindow(QRect(QPoint(0, 0), contentsRect().size()));
}

void PictureBox::paintEvent(QPaintEvent* event) {
  // With a window of its own, the box paints only its border.
  if (window_ == nullptr) {
    QPainter painter(this);
    const QRect area = contentsRect();
    if (image_.isNull()) {
      painter.fillRect(area, palette().color(QPalette::Window));
    } else if (!Scaled()) {
      // A plain copy of each part asked for.
      for (const QRect& part : event->region()) {
        const QRect shown = part.intersected(area);
        if (!shown.isEmpty()) painter.drawImage(shown.topLeft(), image_, shown.translated(-area.topLeft()));
      }
    } else {
      // Each part's screen pixels are worked out into a picture of the
      // area's screen pixels, kept from paint to paint, and copied 1:1.
      const qreal ratio = devicePixelRatioF();
      const QSize pixels(static_cast<int>(std::lround(area.width() * ratio)),
                         static_cast<int>(std::lround(area.height() * ratio)));
      if (scaled_.size() != pixels) scaled_ = QImage(pixels, QImage::Format_RGB32);
      scaler_.SetSizes(size_.width(), size_.height(), pixels.width(), pixels.height());
      const auto* from = reinterpret_cast<const std::uint32_t*>(image_.constBits());
      auto* to = reinterpret_cast<std::uint32_t*>(scaled_.bits());
      for (const QRect& part : event->region()) {
        const QRect shown = part.intersected(area).translated(-area.topLeft());
        if (shown.isEmpty()) continue;
        PixelRect device = ToDevice(shown, ratio);
        device.right = std::min(device.right, pixels.width());
        device.bottom = std::min(device.bottom, pixels.height());
        scaler_.Scale(from, image_.bytesPerLine() / 4, to, scaled_.bytesPerLine() / 4, device);
        const QRectF source(device.left, device.top, device.right - device.left, device.bottom - device.top);
        painter.drawImage(QRectF(source.topLeft() / ratio, source.size() / ratio).translated(area.topLeft()), scaled_,
                          source);
      }
    }
  }
  QFrame::paintEvent(event);  // the border
}

void PictureBox::resizeEvent(QResizeEvent* event) {
  QFrame::resizeEvent(event);
  Place();
}

void PictureBox::mousePressEvent(QMouseEvent* event) {
  emit PointerMoved();
  Press(event->button());
  event->accept();
}

// Painting as a plain widget, the box hears of the pointer only with its
// buttons: a click is judged where it was released, and forgotten after.
void PictureBox::AtPlainPointer(QMouseEvent* event, const std::function<void()>& act) {
  const bool plain = window_ == nullptr;
  if (plain) pointer_ = PixelAt(event->position()) - contentsRect().topLeft();
  act();
  if (plain) pointer_.reset();
  event->accept();
}

void PictureBox::mouseReleaseEvent(QMouseEvent* event) {
  AtPlainPointer(event, [&] { Release(event->button()); });
}

void PictureBox::mouseDoubleClickEvent(QMouseEvent* event) {
  AtPlainPointer(event, [&] { DoubleClick(event->button()); });
}

void PictureBox::mouseMoveEvent(QMouseEvent* event) {
  // Painting as a plain widget with mouse tracking on, the box hears of moves.
  emit PointerMoved();
  QFrame::mouseMoveEvent(event);
}

void PictureBox::Press(Qt::MouseButton button) {
  if (button != Qt::LeftButton) return;
  pressed_ = true;
  after_double_click_ = false;
}

void PictureBox::Release(Qt::MouseButton button) {
  if (button != Qt::LeftButton) return;
  const bool click = pressed_ && !after_double_click_;
  pressed_ = false;
  after_double_click_ = false;
  if (click) emit Click();
}

void PictureBox::DoubleClick(Qt::MouseButton button) {
  if (button != Qt::LeftButton) return;
  pressed_ = false;
  after_double_click_ = true;
  emit DblClick();
}

}  // namespace brindlet::ui
