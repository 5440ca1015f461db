#include "ui/key_cursor.h"

#include <QBackingStore>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <algorithm>
#include <cmath>
#include <memory>

namespace brindlet::ui {
namespace {

// Dark pixels on each side of the ring's centre line, and the room beyond
// them.
constexpr int kBand = 3;
constexpr int kPad = kBand + 1;

}  // namespace

const QColor KeyCursor::kRing(255, 220, 0);
const QColor KeyCursor::kOutline(0, 0, 0);

int KeyCursor::Side(int radius) { return 2 * (radius + kPad) + 1; }

QRegion KeyCursor::Shape(int radius) {
  const QPoint c(radius + kPad, radius + kPad);
  const auto disc = [&](int r) { return QRegion(QRect(c - QPoint(r, r), QSize(2 * r + 1, 2 * r + 1)), QRegion::Ellipse); };
  return disc(radius + kBand).subtracted(disc(radius - kBand));
}

void KeyCursor::Paint(QPainter& painter, int radius) {
  painter.setClipRegion(Shape(radius));
  painter.fillRect(QRect(0, 0, Side(radius), Side(radius)), kOutline);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(kRing, 2.5));
  painter.setBrush(Qt::NoBrush);
  const double c = radius + kPad + 0.5;
  painter.drawEllipse(QPointF(c, c), radius, radius);
}

// The ring as a native window: a child of the box's top-level window beside
// the box's own picture window, stacked above it. (A native child widget
// would make the box and its siblings native windows as well, and the box's
// window would then cover its picture window.)
class KeyCursor::RingWindow final : public QWindow {
 public:
  RingWindow(QWindow* parent, int radius) : QWindow(parent), radius_(radius) {
    setSurfaceType(QSurface::RasterSurface);
    setFlags(flags() | Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus);
    store_ = std::make_unique<QBackingStore>(this);
  }
  void SetRadius(int radius) {
    radius_ = radius;
    resize(Side(radius), Side(radius));
    setMask(Shape(radius));
    Render();
  }

 protected:
  void exposeEvent(QExposeEvent* /*event*/) override { Render(); }

 private:
  void Render() {
    if (!isExposed()) return;
    const QRect all(QPoint(0, 0), size());
    store_->resize(size());
    store_->beginPaint(all);
    {
      QPainter painter(store_->paintDevice());
      painter.setCompositionMode(QPainter::CompositionMode_Source);
      painter.fillRect(all, Qt::transparent);
      painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
      Paint(painter, radius_);
    }
    store_->endPaint();
    store_->flush(all);
  }

  int radius_;
  std::unique_ptr<QBackingStore> store_;
};

// The ring as a plain widget over the box, which paints in its parent's
// window.
class KeyCursor::RingWidget final : public QWidget {
 public:
  explicit RingWidget(QWidget& box) : QWidget(&box) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
  }
  void SetRadius(int radius) {
    radius_ = radius;
    setFixedSize(Side(radius), Side(radius));
    setMask(Shape(radius));
    update();
  }

 protected:
  void paintEvent(QPaintEvent* /*event*/) override {
    QPainter painter(this);
    Paint(painter, radius_);
  }

 private:
  int radius_ = 0;
};

KeyCursor::KeyCursor(PictureBox& box) : QObject(&box), box_(box) {
  setObjectName(QStringLiteral("keyCursor"));
}

KeyCursor::~KeyCursor() {
  delete window_.data();
  delete widget_.data();
}

void KeyCursor::ShowAt(QPointF image) {
  const QSize picture(box_.Width(), box_.Height());
  const QRect area = box_.contentsRect();
  const double scale = picture.isEmpty() ? 1.0 : static_cast<double>(area.width()) / picture.width();
  const int radius = std::clamp(static_cast<int>(std::lround(kRadius * scale)), kSmallestRadius, kLargestRadius);
  const QPointF at = box_.FromBitmap(image);
  centre_ = QPoint(static_cast<int>(std::floor(at.x())), static_cast<int>(std::floor(at.y())));
  const QPoint corner = area.topLeft() + centre_ - QPoint(radius + kPad, radius + kPad);
  const bool fresh = window_.isNull() && widget_.isNull();
  if (box_.OwnWindow() != nullptr) {
    QWindow* top = box_.window()->windowHandle();
    if (top == nullptr) return;
    if (window_.isNull()) window_ = new RingWindow(top, radius);
    if (fresh || radius != radius_) window_->SetRadius(radius);
    const QPoint place = box_.mapTo(box_.window(), corner);
    if (window_->position() != place) window_->setPosition(place);
    if (!window_->isVisible()) {
      window_->show();
      window_->raise();  // above the box's picture window
    }
  } else {
    if (widget_.isNull()) {
      widget_ = new RingWidget(box_);
      widget_->setAccessibleName(QStringLiteral("Keyboard cursor"));
    }
    if (fresh || radius != radius_) widget_->SetRadius(radius);
    if (widget_->pos() != corner) widget_->move(corner);
    if (!widget_->isVisible()) {
      widget_->show();
      widget_->raise();
    }
  }
  radius_ = radius;
}

void KeyCursor::Hide() {
  if (!window_.isNull()) window_->hide();
  if (!widget_.isNull()) widget_->hide();
}

bool KeyCursor::Visible() const {
  return (!window_.isNull() && window_->isVisible()) || (!widget_.isNull() && widget_->isVisible());
}

QImage KeyCursor::Picture() const {
  QImage image(Side(radius_), Side(radius_), QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  Paint(painter, radius_);
  return image;
}

}  // namespace brindlet::ui
