#include "ui/painted_presenter.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <cmath>

#include "ui/key_ring.h"

namespace brindlet::ui {

// ----- The painted playfield -----

PaintedPlayfield::PaintedPlayfield(QWidget* parent) : Playfield(parent) {
  // Painting as a plain widget, the playfield hears of the pointer's moves
  // only so.
  setMouseTracking(true);
}

void PaintedPlayfield::Changed(std::span<const PixelRect> areas) {
  if (areas.empty()) return;
  const QRect area = contentsRect();
  if (Scaled() || image_.isNull()) {
    update(ScaledRegion(areas, area.size(), devicePixelRatioF(), area.topLeft(), reached_));
    reached_.clear();
  } else {
    update(BandedRegion(areas, area.topLeft(), changed_));
  }
}

void PaintedPlayfield::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  const QRect area = contentsRect();
  if (image_.isNull()) {
    painter.fillRect(area, Qt::black);
  } else if (!Scaled()) {
    // A plain copy of each part asked for.
    for (const QRect& part : event->region()) {
      const QRect shown = part.intersected(area);
      if (!shown.isEmpty()) painter.drawImage(shown.topLeft(), image_, shown.translated(-area.topLeft()));
    }
  } else {
    // Each part's screen pixels are worked out into a picture of the area's
    // screen pixels, kept from paint to paint, and copied 1:1.
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
  QFrame::paintEvent(event);  // the border
}

void PaintedPlayfield::resizeEvent(QResizeEvent* event) {
  Playfield::resizeEvent(event);
  // A window of another size gets other buffers from the compositor: the
  // whole picture goes into them, not only what changes next.
  update();
}

void PaintedPlayfield::mousePressEvent(QMouseEvent* event) {
  PassOn(MouseAction::Press, event->button(), PixelAt(event->position()) - contentsRect().topLeft());
  event->accept();
}

void PaintedPlayfield::mouseReleaseEvent(QMouseEvent* event) {
  PassOn(MouseAction::Release, event->button(), PixelAt(event->position()) - contentsRect().topLeft());
  event->accept();
}

void PaintedPlayfield::mouseDoubleClickEvent(QMouseEvent* event) {
  PassOn(MouseAction::DoubleClick, event->button(), PixelAt(event->position()) - contentsRect().topLeft());
  event->accept();
}

void PaintedPlayfield::mouseMoveEvent(QMouseEvent* event) {
  emit PointerMoved();
  QFrame::mouseMoveEvent(event);
}

// ----- The keyboard cursor's ring -----

// The ring as a plain widget over the playfield, painted in the main
// window's surface.
class PaintedPresenter::RingWidget final : public QWidget {
 public:
  explicit RingWidget(QWidget& field) : QWidget(&field) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
  }
  void SetRadius(int radius) {
    if (radius == radius_) return;
    radius_ = radius;
    setFixedSize(KeyRing::Side(radius), KeyRing::Side(radius));
    setMask(KeyRing::Shape(radius));
    update();
  }

 protected:
  void paintEvent(QPaintEvent* /*event*/) override {
    QPainter painter(this);
    KeyRing::Paint(painter, radius_);
  }

 private:
  int radius_ = 0;
};

void PaintedPresenter::DrawRing(std::optional<QRect> area, int radius) {
  if (!area) {
    if (!ring_.isNull()) ring_->hide();
    return;
  }
  if (ring_.isNull()) ring_ = new RingWidget(*playfield_);
  ring_->SetRadius(radius);
  if (ring_->pos() != area->topLeft()) ring_->move(area->topLeft());
  if (!ring_->isVisible()) {
    ring_->show();
    ring_->raise();
  }
}

// ----- The presenter -----

PaintedPresenter::PaintedPresenter(QWidget& window)
    : Presenter(window, new PaintedPlayfield(&window), new DebugWindow(&window)) {
  debug_->hide();
}

// Leaving full screen on mutter, Qt's Wayland back end hands the compositor
// a new buffer, empty or holding the full-screen picture, when the title
// bar it draws comes back or the compositor's size arrives, though the
// widgets already have their new size; and it repaints nothing: wherever
// nothing changed since, the window would stay blank (white, see-through)
// or show the full-screen picture. So each expose and each size the window
// system gives the main window, and each change of its state, paints it
// whole.
class PaintedPresenter::RepaintOnExpose final : public QObject {
 public:
  explicit RepaintOnExpose(QWidget& window) : window_(window) { window.windowHandle()->installEventFilter(this); }

 private:
  bool eventFilter(QObject* watched, QEvent* event) override {
    const QEvent::Type type = event->type();
    const bool fresh = type == QEvent::Expose || type == QEvent::Resize || type == QEvent::WindowStateChange;
    if (!fresh || watched != window_.windowHandle()) return false;
    window_.update();
    // Once more when the compositor's buffers have caught up with the change.
    QTimer::singleShot(kAgain, &window_, [this] { window_.update(); });
    return false;
  }
  static constexpr std::chrono::milliseconds kAgain{250};
  QWidget& window_;
};

PaintedPresenter::~PaintedPresenter() = default;

QSize PaintedPresenter::Panel() const {
  // In full screen the playfield has the screen to itself.
  return panel_shown_ && !window_.isFullScreen() ? kDebugClientSize : QSize();
}

void PaintedPresenter::PlacePanel(const QRect& panel) {
  if (panel.isEmpty()) {
    debug_->hide();
    return;
  }
  if (debug_->geometry() != panel) debug_->setGeometry(panel);
  debug_->show();
}

void PaintedPresenter::ShowDebug(bool shown) {
  if (shown == panel_shown_) return;
  // A window at its planned size asks for the room the panel takes or gives
  // back; one the compositor sized (tiled, maximised) keeps its size, and the
  // playfield takes what the panel leaves.
  const bool planned = !filling_ && window_.size() == Planned();
  panel_shown_ = shown;
  if (planned) {
    ApplyScale();
  } else {
    LayOut();
  }
}

void PaintedPresenter::SizePlayfield(QSize image) {
  image_ = image;
  playfield_->SetBitmapSize(image);
  // The compositor places the window; it is sized to fit the screen with
  // the panel beside the playfield and room for a frame.
  scale_ = 1.0;
  if (const QScreen* screen = window_.screen()) {
    const QSize room = screen->availableGeometry().size() - QSize(kDebugClientSize.width(), 0) -
                       QSize(kDecorationAllowance.left() + kDecorationAllowance.right(),
                             kDecorationAllowance.top() + kDecorationAllowance.bottom());
    scale_ = std::max(FitScale(image, room), kSmallestScale);
  }
  ApplyScale();
}

void PaintedPresenter::Open() {
  window_.show();
  if (!repaint_ && window_.windowHandle() != nullptr) repaint_ = std::make_unique<RepaintOnExpose>(window_);
  window_.raise();
  window_.activateWindow();
}

}  // namespace brindlet::ui
