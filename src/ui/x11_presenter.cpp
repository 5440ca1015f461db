#include "ui/x11_presenter.h"

#include <xcb/xcb.h>

#include <QEnterEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScreen>
#include <cmath>
#include <cstring>
#include <cstdlib>

#include "ui/key_ring.h"

namespace brindlet::ui {
namespace {

// `size` pixels of `from` to `to`, line by line (their pitches may differ),
// in place like LinesOf.
void CopyPicture(QImage& to, const QImage& from, QSize size) {
  auto* top = const_cast<uchar*>(to.constBits());
  for (int y = 0; y < size.height(); ++y) {
    std::memcpy(top + y * to.bytesPerLine(), from.constScanLine(y), static_cast<std::size_t>(size.width()) * 4);
  }
}

xcb_connection_t* Connection() {
  const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  return x11 != nullptr ? x11->connection() : nullptr;
}

// Whether a window manager runs on the X screen: one names its check window
// on the root window (_NET_SUPPORTING_WM_CHECK), as every current one does.
bool WindowManagerRuns(const QWidget& window) {
  xcb_connection_t* connection = Connection();
  if (connection == nullptr || window.screen() == nullptr) return true;
  const char name[] = "_NET_SUPPORTING_WM_CHECK";
  xcb_intern_atom_reply_t* atom =
      xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 1, sizeof name - 1, name), nullptr);
  if (atom == nullptr) return true;
  const xcb_atom_t check = atom->atom;
  std::free(atom);
  if (check == XCB_ATOM_NONE) return false;  // never made: nobody ever claimed to manage the screen
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
  xcb_get_property_reply_t* property = xcb_get_property_reply(
      connection, xcb_get_property(connection, 0, root, check, XCB_ATOM_WINDOW, 0, 1), nullptr);
  if (property == nullptr) return false;
  const bool named = xcb_get_property_value_length(property) == 4;
  std::free(property);
  return named;
}

// Asks the window manager for the frame it will give `window`
// (_NET_REQUEST_FRAME_EXTENTS, answered with _NET_FRAME_EXTENTS).
void RequestFrameExtents(const QWidget& window) {
  xcb_connection_t* connection = Connection();
  if (connection == nullptr) return;
  const char name[] = "_NET_REQUEST_FRAME_EXTENTS";
  xcb_intern_atom_reply_t* atom =
      xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, sizeof name - 1, name), nullptr);
  if (atom == nullptr) return;
  xcb_client_message_event_t event{};
  event.response_type = XCB_CLIENT_MESSAGE;
  event.format = 32;
  event.window = static_cast<xcb_window_t>(window.winId());
  event.type = atom->atom;
  std::free(atom);
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
  xcb_send_event(connection, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                 reinterpret_cast<const char*>(&event));
  xcb_flush(connection);
}

}  // namespace

// ----- The playfield's own window -----

// A raster window with a backing store of its own, whose clicks are the
// playfield's.
class X11Playfield::Window final : public QWindow {
 public:
  explicit Window(X11Playfield& box) : box_(box) {
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
    } else if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
      // Keys pressed while the window system gives this window the focus
      // are the main window's keys all the same.
      return QCoreApplication::sendEvent(box_.window(), event);
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
  void mousePressEvent(QMouseEvent* event) override { Pass(MouseAction::Press, event); }
  void mouseReleaseEvent(QMouseEvent* event) override { Pass(MouseAction::Release, event); }
  void mouseDoubleClickEvent(QMouseEvent* event) override { Pass(MouseAction::DoubleClick, event); }

 private:
  void Pass(MouseAction action, QMouseEvent* event) {
    box_.pointer_ = PixelAt(event->position());
    box_.PassOn(action, event->button(), *box_.pointer_);
    event->accept();
  }

  X11Playfield& box_;
  std::unique_ptr<QBackingStore> store_;
};

X11Playfield::X11Playfield(QWidget* parent) : Playfield(parent) {
  window_ = new Window(*this);
  container_ = QWidget::createWindowContainer(window_, this);
  container_->setGeometry(contentsRect());
  container_->show();
  Place();
}

X11Playfield::~X11Playfield() {
  if (changing_) window_->store().endPaint();
  // The window calls back into the box: it goes while the box is whole.
  delete container_;
}

QWindow& X11Playfield::OwnWindow() const { return *window_; }

void X11Playfield::SetSingleBorder(bool on) {
  Playfield::SetSingleBorder(on);
  Place();
}

void X11Playfield::SetBitmapSize(QSize size) {
  if (size.expandedTo(QSize(0, 0)) == size_) return;
  if (in_store_) TakeBitmapOut();
  Playfield::SetBitmapSize(size);
  store_pixels_ = QSize();
  Place();
}

QImage X11Playfield::Image() const {
  if (!in_store_) return image_;
  // A copy of its own: sharing the store's image would let a later write
  // detach the store from the memory the window system reads.
  const QImage* store = StoreBitmap();
  return store != nullptr ? store->copy().convertToFormat(QImage::Format_RGB32) : QImage();
}

QImage* X11Playfield::StoreBitmap() const {
  if (window_->handle() == nullptr) return nullptr;
  auto* image = dynamic_cast<QImage*>(window_->store().paintDevice());
  if (image == nullptr || image->size() != size_ || image->devicePixelRatio() != 1.0) return nullptr;
  return Holds32BitPixels(*image) ? image : nullptr;
}

void X11Playfield::TakeBitmapOut() {
  QImage bitmap = NewBitmap(size_);
  if (const QImage* store = StoreBitmap(); store != nullptr && !bitmap.isNull()) {
    CopyPicture(bitmap, *store, size_);
  } else {
    // The store went from under the bitmap (Qt remade it for a new pixel
    // ratio): nothing of it is left to keep.
    bitmap.fill(Qt::black);
    lost_ = true;
  }
  image_ = std::move(bitmap);
  in_store_ = false;
}

bool X11Playfield::Place() {
  if (changing_) {
    // Resized inside a tick (its yields let events run): placed at its end.
    place_after_change_ = true;
    return false;
  }
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

void X11Playfield::ShowInWindow(const QRegion& region, std::span<const PixelRect> changed) {
  if (window_->handle() == nullptr || !window_->isExposed() || changing_ || region.isEmpty()) return;
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
      for (const QRect& part : shown) painter.fillRect(part, Qt::black);
      store_pixels_ = QSize();
    }
    store.endPaint();
  }
  store.flush(shown);
}

ScanLines X11Playfield::Lines() {
  if (in_store_) {
    if (const QImage* store = StoreBitmap()) return LinesOf(*store);
    TakeBitmapOut();
  }
  return Playfield::Lines();
}

ScanLines X11Playfield::BeginChange(std::span<const PixelRect> within) {
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
  if (!in_store_ && !changing_ && !within.empty()) OpenScaledStore(within);
  // A change covering the whole bitmap makes up for a lost picture, even
  // one lost just now.
  if (within.size() == 1 && within[0] == PixelRect{0, 0, size_.width(), size_.height()}) lost_ = false;
  return Lines();
}

void X11Playfield::OpenScaledStore(std::span<const PixelRect> within) {
  if (window_->handle() == nullptr || !window_->isExposed() || image_.isNull() || !Scaled()) return;
  // Otherwise the window is shown whole after the change.
  const QRect area = contentsRect();
  const qreal ratio = window_->devicePixelRatio();
  const QSize pixels(static_cast<int>(std::lround(area.width() * ratio)),
                     static_cast<int>(std::lround(area.height() * ratio)));
  if (pixels != store_pixels_) return;
  // Opened over the screen pixels that the areas' bounds reach: the writer
  // writes within them.
  scaler_.SetSizes(size_.width(), size_.height(), pixels.width(), pixels.height());
  PixelRect bounds = within.front();
  for (const PixelRect& r : within) {
    bounds = {std::min(bounds.left, r.left), std::min(bounds.top, r.top), std::max(bounds.right, r.right),
              std::max(bounds.bottom, r.bottom)};
  }
  QBackingStore& store = window_->store();
  store.beginPaint(ToLogical(scaler_.Reach(bounds), ratio));
  auto* target = dynamic_cast<QImage*>(store.paintDevice());
  if (target == nullptr || !Holds32BitPixels(*target) || target->size() != pixels) {
    store.endPaint();
    return;
  }
  changing_ = true;
  screen_ = {&scaler_, reinterpret_cast<std::uint32_t*>(target->bits()), target->bytesPerLine() / 4};
}

void X11Playfield::EndChange() {
  if (!changing_) return;
  changing_ = false;
  screen_ = {};
  QBackingStore& store = window_->store();
  store.endPaint();
  // A window not exposed now shows the whole picture at its next expose.
  if (!to_flush_.isEmpty() && window_->isExposed()) store.flush(to_flush_);
  to_flush_ = QRegion();
  if (place_after_change_) {
    place_after_change_ = false;
    Place();
  }
}

void X11Playfield::Changed(std::span<const PixelRect> areas) {
  if (areas.empty()) return;
  if (in_store_) {
    // Already where the window system reads it: only to be shown.
    to_flush_ = BandedRegion(areas, {0, 0}, changed_);
    if (!changing_) {
      ShowInWindow(to_flush_);
      to_flush_ = QRegion();
    }
    return;
  }
  const QSize client = contentsRect().size();
  if (screen_.scaler != nullptr) {
    // Scaled into the store as it was written: only to be shown.
    to_flush_ = ScaledRegion(areas, client, devicePixelRatioF(), {0, 0}, reached_);
    reached_.clear();
    return;
  }
  if (Scaled() || image_.isNull()) {
    // Scaled: each area widened to the screen pixels that depend on it; the
    // window's store is written exactly there.
    const QRegion region = ScaledRegion(areas, client, devicePixelRatioF(), {0, 0}, reached_);
    ShowInWindow(region, reached_);
    reached_.clear();
  } else {
    ShowInWindow(BandedRegion(areas, {0, 0}, changed_));
  }
}

void X11Playfield::resizeEvent(QResizeEvent* event) {
  Playfield::resizeEvent(event);
  Place();
}

// ----- The keyboard cursor's ring -----

// The ring as a native window: a child of the main window beside the
// playfield's own window, stacked above it, shaped to the ring and passing
// the pointer through to what is below. (A native child widget would make
// the playfield and its siblings native windows as well, and the
// playfield's widget would then cover its picture window.)
class X11Presenter::RingWindow final : public QWindow {
 public:
  explicit RingWindow(QWindow* parent) : QWindow(parent) {
    setSurfaceType(QSurface::RasterSurface);
    setFlags(flags() | Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus);
    store_ = std::make_unique<QBackingStore>(this);
  }
  void SetRadius(int radius) {
    if (radius == radius_) return;
    radius_ = radius;
    resize(KeyRing::Side(radius), KeyRing::Side(radius));
    setMask(KeyRing::Shape(radius));
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
      KeyRing::Paint(painter, radius_);
    }
    store_->endPaint();
    store_->flush(all);
  }

  int radius_ = 0;
  std::unique_ptr<QBackingStore> store_;
};

void X11Presenter::DrawRing(std::optional<QRect> area, int radius) {
  if (!area) {
    if (!ring_.isNull()) ring_->hide();
    return;
  }
  QWindow* top = window_.windowHandle();
  if (top == nullptr) return;
  if (ring_.isNull()) ring_ = new RingWindow(top);
  ring_->SetRadius(radius);
  const QPoint place = playfield_->mapTo(&window_, area->topLeft());
  if (ring_->position() != place) ring_->setPosition(place);
  if (!ring_->isVisible()) {
    ring_->show();
    ring_->raise();  // above the playfield's own window
  }
}

// ----- The main window taken away -----

// Another client may destroy a window of this program outright
// (XDestroyWindow); Qt then neither closes nor destroys the widget. This
// filter sees the X server's DestroyNotify for the main window and runs
// `gone`, once.
class X11Presenter::WindowGone final : public QAbstractNativeEventFilter {
 public:
  WindowGone(xcb_window_t window, std::function<void()> gone) : window_(window), gone_(std::move(gone)) {}
  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* /*result*/) override {
    if (eventType != "xcb_generic_event_t" || !gone_) return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    // The top bit marks a sent event.
    if ((event->response_type & 0x7F) != XCB_DESTROY_NOTIFY) return false;
    if (reinterpret_cast<const xcb_destroy_notify_event_t*>(event)->window != window_) return false;
    const std::function<void()> gone = std::move(gone_);
    gone_ = nullptr;
    gone();
    return false;
  }

 private:
  xcb_window_t window_;
  std::function<void()> gone_;
};

// ----- The presenter -----

X11Presenter::X11Presenter(QWidget& window, std::function<void()> gone)
    : Presenter(window, new X11Playfield(&window), new DebugWindow(nullptr)),
      debug_window_(debug_) {
  // The window manager frames the windows some time after they open.
  settle_.setInterval(kSettleInterval);
  QObject::connect(&settle_, &QTimer::timeout, [this] { SettleWindows(); });
  gone_when_ = std::move(gone);
  workspace_ = std::make_unique<X11Workspace>(window);
  QObject::connect(workspace_.get(), &X11Workspace::Changed, [this] {
    if (seen_changed_) seen_changed_();
  });
}

bool X11Presenter::Seen() const { return playfield_->Shown() && !workspace_->Elsewhere(); }

X11Presenter::~X11Presenter() {
  settle_.stop();
  if (gone_) QCoreApplication::instance()->removeNativeEventFilter(gone_.get());
  delete ring_.data();
}

bool X11Presenter::DebugShown() const { return opened_ ? debug_->isVisible() : debug_wanted_; }

void X11Presenter::ShowDebug(bool shown) {
  // Until the windows open the debug window waits, so that it is mapped
  // once, after the main window, and already its transient.
  if (!opened_) {
    debug_wanted_ = shown;
    return;
  }
  debug_->setVisible(shown);
}

WindowPlan X11Presenter::Placement() const {
  const QScreen* screen = debug_->screen();
  if (screen == nullptr) return {Arrangement::Beside, 1.0, window_.frameGeometry(), debug_->frameGeometry()};
  return PlanWindows(image_, DebugFrameSize(), FrameMargins(window_.frameGeometry(), window_.geometry()),
                     screen->availableGeometry());
}

QSize X11Presenter::DebugFrameSize() const {
  const QSize frame = debug_->frameGeometry().size();
  if (frame != debug_->size()) return frame;
  // Not framed yet: the gap beside it leaves room for its side borders, and
  // its caption and lower border are allowed for below it.
  return frame + QSize(0, kDecorationAllowance.top() + kDecorationAllowance.bottom());
}

void X11Presenter::SizePlayfield(QSize image) {
  image_ = image;
  playfield_->SetBitmapSize(image);
  // 1:1 beside the debug window where the screen has room (in its own
  // logical pixels, so a HiDPI screen shows it enlarged only as far as it
  // fits), smaller where it has not.
  plan_ = Placement();
  scale_ = plan_.scale;
  ApplyScale();
  debug_->move(plan_.debug.topLeft());
  if (!opened_) window_.move(plan_.main.topLeft());
}

void X11Presenter::Open() {
  // The debug window is the main window's transient, so that window
  // managers keep it above the main window; the window system learns of
  // the relation when the window is mapped, so it is set before either
  // window is mapped, and each is mapped once: the main window first, then
  // the debug window above it.
  window_.winId();
  debug_->winId();
  debug_->windowHandle()->setTransientParent(window_.windowHandle());
  debug_->move(plan_.debug.topLeft());
  window_.move(plan_.main.topLeft());
  window_.show();
  window_.raise();
  window_.activateWindow();
  opened_ = true;
  if (debug_wanted_) debug_->show();
  // The main window is the program: destroyed by another client, it ends
  // the program as closing it does.
  gone_ = std::make_unique<WindowGone>(static_cast<xcb_window_t>(window_.winId()), std::move(gone_when_));
  QCoreApplication::instance()->installNativeEventFilter(gone_.get());
  settle_checks_ = 0;
  SettleWindows();
}

void X11Presenter::SettleWindows() {
  const bool framed = window_.frameGeometry() != window_.geometry() && debug_->frameGeometry() != debug_->geometry();
  // A window manager started at the same moment (openbox) may have read the
  // map requests into its queue during its own start and then sleep on its
  // connection until some other event comes: a request wakes it.
  for (const QWidget* window : {static_cast<const QWidget*>(&window_), static_cast<const QWidget*>(debug_)}) {
    if (window->isVisible() && window->windowHandle() != nullptr && !window->windowHandle()->isExposed()) {
      RequestFrameExtents(*window);
    }
  }
  if (!framed || filling_) {
    // Without a window manager (or one that does not say) the estimate stands.
    if (++settle_checks_ >= kSettleChecks) {
      settle_.stop();
    } else if (!settle_.isActive()) {
      settle_.start();
    }
    return;
  }
  settle_.stop();
  const QScreen* screen = debug_->screen();
  if (screen == nullptr) return;
  const QMargins decorations = FrameMargins(window_.frameGeometry(), window_.geometry());
  // The windows where the plan put them, with their real frames.
  WindowPlan placed = plan_;
  placed.main.setSize(window_.size() + QSize(decorations.left() + decorations.right(),
                                             decorations.top() + decorations.bottom()));
  placed.debug.setSize(DebugFrameSize());
  const std::optional<WindowPlan> fresh =
      Resettle(plan_, placed, Placement(), decorations, image_, screen->availableGeometry());
  if (!fresh) return;
  plan_ = *fresh;
  scale_ = plan_.scale;
  ApplyScale();
  debug_->move(plan_.debug.topLeft());
  window_.move(plan_.main.topLeft());
}

void X11Presenter::ToggleFullScreen() {
  if (unmanaged_normal_) {
    // Back from the program's own full screen.
    unmanaged_normal_.reset();
    WindowStateChanged();
    return;
  }
  if (window_.isFullScreen() || WindowManagerRuns(window_)) {
    Presenter::ToggleFullScreen();
    return;
  }
  // Without a window manager nobody acts on the request for full screen
  // (and Qt's window state does not follow): the window takes the whole
  // screen itself, above every other window, and gives it back.
  const QScreen* screen = window_.screen();
  if (screen == nullptr) return;
  KeepNormalPlace();
  unmanaged_normal_ = window_.geometry();
  WindowStateChanged();
  window_.setGeometry(screen->geometry());
  window_.raise();
}

}  // namespace brindlet::ui
