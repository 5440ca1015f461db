#include "ui/presenter.h"

#include <QCursor>
#include <QGuiApplication>

#include "ui/key_ring.h"
#include "ui/painted_presenter.h"
#include "ui/x11_presenter.h"

namespace brindlet::ui {

PresenterKind Presenter::ForPlatform() {
  // Any platform but X11 (native Wayland, offscreen, ...) is painted.
  return QGuiApplication::platformName() == QLatin1String("xcb") ? PresenterKind::X11 : PresenterKind::Painted;
}

std::unique_ptr<Presenter> Presenter::Make(PresenterKind kind, QWidget& window, std::function<void()> gone) {
  if (kind == PresenterKind::X11) return std::make_unique<X11Presenter>(window, std::move(gone));
  return std::make_unique<PaintedPresenter>(window);
}

Presenter::Presenter(QWidget& window, Playfield* playfield, DebugWindow* debug)
    : window_(window), playfield_(playfield), debug_(debug) {}

CursorPoint Presenter::Pointer(bool mayAsk) {
  // Over the playfield the pointer's last move says where it is; elsewhere
  // the window system is asked, which costs a round trip to it.
  const std::optional<QPoint> over = playfield_->KnownPointer();
  if (!over && !mayAsk) return last_pointer_;
  const QPoint client =
      over ? *over : playfield_->mapFromGlobal(QCursor::pos()) - playfield_->contentsRect().topLeft();
  const QPoint pixel = playfield_->ToBitmap(client);
  last_pointer_ = {pixel.x(), pixel.y()};
  return last_pointer_;
}

void Presenter::PlaceRing(std::optional<QPointF> at) {
  ring_at_ = at;
  if (!at) {
    DrawRing(std::nullopt, 0);
    return;
  }
  int radius = 0;
  const QRect area = KeyRing::Place(*playfield_, *at, &radius);
  DrawRing(area, radius);
}

std::optional<QRect> Presenter::RingArea() const {
  if (!ring_at_) return std::nullopt;
  int radius = 0;
  return KeyRing::Place(*playfield_, *ring_at_, &radius);
}

void Presenter::ToggleFullScreen() {
  if (window_.isFullScreen()) {
    window_.showNormal();
    return;
  }
  KeepNormalPlace();
  window_.showFullScreen();
}

void Presenter::ApplyScale() {
  // Any size from half the planned one up, so that the window manager can
  // maximise the window and the player can drag it larger; the playfield
  // then fills it. It opens, and comes back from filling, at the planned size.
  const QSize planned = Planned();
  window_.setMinimumSize(planned / 2);
  window_.setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  if (!filling_) window_.resize(planned);
  LayOut();
}

void Presenter::LayOut() {
  const WindowLayout layout = LayOutWindow(window_.size(), ShownField(), image_, Panel(), filling_);
  const bool bordered = playfield_->frameStyle() != QFrame::NoFrame;
  if (bordered != layout.border) playfield_->SetSingleBorder(layout.border);
  if (playfield_->geometry() != layout.playfield) playfield_->setGeometry(layout.playfield);
  PlacePanel(layout.panel);
  PlaceRing(ring_at_);
}

void Presenter::WindowResized() {
  LayOut();
  KeepNormalPlace();
}

void Presenter::WindowMoved() {
  playfield_->ForgetPointer();
  KeepNormalPlace();
}

bool Presenter::FillsScreen() const {
  return (window_.windowState() & (Qt::WindowFullScreen | Qt::WindowMaximized)) != 0;
}

void Presenter::WindowStateChanged() {
  const bool filling = FillsScreen();
  if (filling == filling_) {
    // Full screen to maximised or back: the panel's room may have changed.
    LayOut();
    return;
  }
  filling_ = filling;
  if (filling) {
    LayOut();
    return;
  }
  // Back to the planned size, where it stood before it filled the screen
  // (a window manager told of the new size while the window still filled
  // the screen would otherwise leave it in the screen's corner). Taken
  // first: sizing it back notes the corner.
  const std::optional<QPoint> back = normal_place_;
  ApplyScale();
  if (back) window_.setGeometry(QRect(*back, window_.size()));
}

void Presenter::KeepNormalPlace() {
  // Only in the normal state (F11 sets full screen before the window
  // manager moves the window) and at the planned size (the window manager
  // may move and size a window it maximises before it says so).
  if (window_.windowState() == Qt::WindowNoState && !filling_ && window_.size() == Planned()) {
    normal_place_ = window_.geometry().topLeft();
  }
}

}  // namespace brindlet::ui
