#include "ui/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QThread>
#include <algorithm>
#include <cmath>

#include "game/keyboard.h"
#include "game/procedures.h"
#include "ui/aux_windows.h"
#include "ui/launch.h"

namespace brindlet::ui {
namespace {

QTimer* MakeTimer(QObject* parent, const char* name, int interval) {
  auto* timer = new QTimer(parent);
  timer->setObjectName(QString::fromLatin1(name));
  timer->setInterval(interval);
  timer->setTimerType(Qt::PreciseTimer);
  return timer;
}

bool OnWayland() { return QGuiApplication::platformName().startsWith(QLatin1String("wayland")); }

// Room for a window frame while the real one is not known yet: borders at
// the sides and below, a caption above.
constexpr QMargins kDecorationAllowance{8, 40, 8, 8};

QSize Extra(QMargins margins) {
  return {margins.left() + margins.right(), margins.top() + margins.bottom()};
}

}  // namespace

QSize ShownPlayfield(QSize image, double scale) {
  // A hair above the exact product, so that 1:1 and fitted scales land on
  // the whole pixel they were computed for.
  const auto shown = [scale](int length) {
    return std::max(0, static_cast<int>(std::floor(length * scale + 1e-6)));
  };
  return {shown(image.width()) + 2, shown(image.height()) + 2};
}

double FitScale(QSize image, QSize room) {
  if (image.isEmpty()) return 1.0;
  const double sx = static_cast<double>(room.width() - 2) / image.width();
  const double sy = static_cast<double>(room.height() - 2) / image.height();
  return std::min({sx, sy, 1.0});
}

QRect ToggleCorner(const QRect& mainFrame, QMargins decorations, QSize image) {
  const QRect field = mainFrame.marginsRemoved(decorations).adjusted(1, 1, -1, -1);
  if (image.isEmpty()) return {field.topLeft(), QSize(0, 0)};
  // Screen pixels whose image pixel (PictureBox::ToBitmap rounds down) lies
  // in the corner.
  const auto reach = [](int shown, int length) {
    return static_cast<int>(std::ceil(static_cast<double>(kCornerSize) * shown / length));
  };
  return {field.topLeft(), QSize(reach(field.width(), image.width()), reach(field.height(), image.height()))};
}

WindowPlan PlanWindows(QSize image, QSize debugFrame, QMargins decorations, const QRect& available) {
  const QSize extra = Extra(decorations);
  // The debug window at its design place, moved inside the available area
  // where that starts further right or down (a panel) or ends before it.
  QRect debug(DebugWindow::kDesignPosition, debugFrame);
  debug.moveLeft(std::max(available.left(), std::min(debug.left(), available.right() + 1 - debug.width())));
  debug.moveTop(std::max(available.top(), std::min(debug.top(), available.bottom() + 1 - debug.height())));
  const auto fitFrom = [&](QPoint origin) {
    const QSize room(available.right() + 1 - origin.x(), available.bottom() + 1 - origin.y());
    return FitScale(image, room - extra);
  };
  const auto frameAt = [&](QPoint origin, double scale) {
    return QRect(origin, ShownPlayfield(image, scale) + extra);
  };
  const QPoint beside(debug.right() + 1 + MainWindow::kGapToDebugWindow, debug.top());
  const QPoint below(debug.left(), debug.bottom() + 1 + MainWindow::kGapToDebugWindow);
  const double besideScale = fitFrom(beside);
  const double belowScale = fitFrom(below);
  if (std::max(besideScale, belowScale) >= kSmallestSideBySideScale) {
    if (besideScale >= belowScale) return {Arrangement::Beside, besideScale, frameAt(beside, besideScale), debug};
    return {Arrangement::Below, belowScale, frameAt(below, belowScale), debug};
  }
  const double scale = std::max(FitScale(image, available.size() - extra), kSmallestScale);
  const QRect main = frameAt(available.topLeft(), scale);
  debug.moveLeft(std::max(available.left(), available.right() + 1 - debug.width()));
  // Only on a screen hardly wider than the debug window is the corner still
  // under it: then the debug window goes below the corner.
  const QRect corner = ToggleCorner(main, decorations, image);
  if (debug.intersects(corner)) debug.moveTop(corner.bottom() + 1);
  return {Arrangement::Overlapping, scale, main, debug};
}

QRect FilledPlayfield(QSize image, QSize room) {
  if (image.isEmpty() || room.isEmpty()) return {QPoint(0, 0), room.expandedTo(QSize(0, 0))};
  const double scale = std::min(static_cast<double>(room.width()) / image.width(),
                                static_cast<double>(room.height()) / image.height());
  // The exact product where the scale was computed from that side, so that
  // the image fills the side it meets.
  const auto shown = [scale](int length, int limit) {
    return std::clamp(static_cast<int>(std::floor(length * scale + 1e-6)), 1, limit);
  };
  const QSize size(shown(image.width(), room.width()), shown(image.height(), room.height()));
  return {QPoint((room.width() - size.width()) / 2, (room.height() - size.height()) / 2), size};
}

QString KeyHelpText() {
  return QStringLiteral(
      "Arrow keys\tmove the cursor to the nearest peg that way\n"
      "Tab, Shift+Tab\tnext or previous peg\n"
      "Space, Enter\tclick the peg under the cursor\n"
      "Escape\tclick empty space (confirm a link, or cancel)\n"
      "F11\tfull screen on and off\n"
      "F12\tshow or hide the debug window\n"
      "F1, ?\tthis list");
}

bool Usable(const WindowPlan& plan, QMargins decorations, QSize image, const QRect& available) {
  if (!available.contains(plan.main) || !available.contains(plan.debug)) return false;
  if (plan.debug.intersects(ToggleCorner(plan.main, decorations, image))) return false;
  return plan.arrangement == Arrangement::Overlapping || !plan.main.intersects(plan.debug);
}

MainWindow::MainWindow(RandomSource& random)
    : QWidget(nullptr), frmDebug_(std::make_unique<DebugWindow>()), game_(Roles(), random) {
  setObjectName(QStringLiteral("frmMain"));
  setWindowTitle(QStringLiteral("Brindlet!"));

  PicBG_ = new PictureBox(this);
  PicBG_->setObjectName(QStringLiteral("PicBG"));
  PicBG_->setGeometry(0, 0, kBackgroundWidth, kBackgroundHeight);
  PicBG_->SetBitmapSize(PicBG_->size());
  PicBG_->hide();

  picOutput_ = new PictureBox(this);
  picOutput_->setObjectName(QStringLiteral("picOutput"));
  picOutput_->SetSingleBorder(true);
  picOutput_->setAccessibleName(QStringLiteral("Playfield"));
  picOutput_->setAccessibleDescription(
      QStringLiteral("The pegs and their links. Click a peg, or move the keyboard cursor to it with the arrow keys "
                     "or Tab and press Space, to select it; F1 lists the keys."));
  // Round a playfield that fills a maximised or full-screen window.
  {
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    setAutoFillBackground(true);
  }
  // On X11 the playfield shows in a native window of its own, whose backing
  // store the frames are written straight into. A Wayland compositor would
  // get that window as a subsurface, which Qt exposes only through its
  // parent and never did here (the playfield stayed blank): there the
  // playfield paints into the main window's own surface like any widget, and
  // the frame callbacks of that surface tell whether anyone sees it.
  if (!OnWayland()) {
    picOutput_->UseOwnWindow();
    // Keys pressed while the window system gives the playfield's window the
    // focus are the main window's keys all the same.
    picOutput_->OwnWindow()->installEventFilter(this);
  } else {
    // Painting as a plain widget, the box hears of the pointer's moves only so.
    picOutput_->setMouseTracking(true);
  }
  // The mouse in use hides the keyboard cursor.
  connect(picOutput_, &PictureBox::PointerMoved, this, &MainWindow::HideKeyCursor);
  frmDebug_->installEventFilter(this);
  // Sized for the background it will show, so that the window's place can
  // be chosen before start-up reads it.
  SizePlayfield(kBackgroundWidth, kBackgroundHeight);

  tmrEffects_ = MakeTimer(this, "tmrEffects", kEffectsInterval);
  tmrDebug_ = MakeTimer(this, "tmrDebug", kDebugInterval);
  tmrMainLoop_ = MakeTimer(this, "tmrMainLoop", kMainLoopInterval);
  tmrDisplay_ = MakeTimer(this, "tmrDisplay", kDisplayInterval);
  tmrSettle_ = MakeTimer(this, "tmrSettle", kSettleInterval);
  connect(tmrSettle_, &QTimer::timeout, this, &MainWindow::SettleWindows);
  tick_log_ = TickLog::FromEnvironment(ProcessEnvironment());
  // A tick starts from the event loop, which has just run what was pending:
  // the tick's first yields need not run it again.
  connect(tmrMainLoop_, &QTimer::timeout, this, [this] {
    if (tick_log_) tick_log_->Mark();
    last_yield_ = std::chrono::steady_clock::now();
    game_.MainTick();
    UpdateKeyCursor();
  });
  connect(tmrEffects_, &QTimer::timeout, this, [this] { game_.EffectsTick(); });
  connect(tmrDebug_, &QTimer::timeout, this, [this] {
    last_yield_ = std::chrono::steady_clock::now();
    game_.DebugTick();
  });
  connect(tmrDisplay_, &QTimer::timeout, this, [this] { game_.DisplayTick(); });

  // A click is judged where it happened: the cursor is sampled from the
  // click's own place first, not left where the last tick found it.
  connect(picOutput_, &PictureBox::Click, this, [this] {
    game_.SampleCursor();
    game_.Click();
  });
  connect(picOutput_, &PictureBox::DblClick, this, [this] {
    game_.SampleCursor();
    game_.DoubleClick();
  });

  connect(frmDebug_->cmdQuit(), &QPushButton::clicked, this, [this] { game_.Die(); });
  connect(frmDebug_->cmdRestart(), &QPushButton::clicked, this, [this] { game_.InitGame(); });
  connect(frmDebug_->cmdRNDPegs(), &QPushButton::clicked, this, [this] { game_.RandomizePegs(); });
  connect(frmDebug_->cmdShakePegs(), &QPushButton::clicked, this, [this] { game_.ShakePegsInit(); });
}

MainWindow::~MainWindow() {
  // Nothing may tick into a half-destroyed game.
  for (QTimer* timer : {tmrMainLoop_, tmrEffects_, tmrDebug_, tmrDisplay_, tmrSettle_}) timer->stop();
}

void MainWindow::Load() {
  // Decided before anything is shown, with the frames estimated: sizing the
  // playfield planned where both windows go. In no arrangement does the
  // debug window cover the playfield's corner that hides it.
  frmDebug_->move(plan_.debug.topLeft());
  // On X11 the debug window is the main window's transient from its first
  // map on, so that the window manager keeps it above the main window. Set
  // later, it would need the window mapped again, and a window unmapped and
  // mapped again at once is left withdrawn by some window managers (IceWM).
  if (!OnWayland()) {
    winId();
    frmDebug_->winId();
    frmDebug_->windowHandle()->setTransientParent(windowHandle());
  }
  game_.Startup();
  if (EndRequested()) return;
  frmDebug_->move(plan_.debug.topLeft());
  move(plan_.main.topLeft());
  show();
  raise();
  activateWindow();
  // Mapped after the main window, the debug window starts above it: a
  // Wayland compositor would otherwise put the main window, mapped last, on
  // top. Not as its transient there: weston keeps the keyboard with a
  // transient, so a click on the playfield would never give the keys to
  // the game.
  if (OnWayland() && frmDebug_->isVisible()) {
    frmDebug_->hide();
    frmDebug_->show();
  }
  // See eventFilter: the playfield is painted whole at each expose.
  if (OnWayland()) windowHandle()->installEventFilter(this);
  // The window manager frames the windows some time after they open.
  settle_checks_ = 0;
  SettleWindows();
  tmrMainLoop_->start();
  tmrEffects_->start();
  tmrDebug_->start();
}

WindowPlan MainWindow::Placement(QSize image) const {
  const QScreen* screen = frmDebug_->screen();
  if (screen == nullptr) return {Arrangement::Beside, 1.0, frameGeometry(), frmDebug_->frameGeometry()};
  return PlanWindows(image, DebugFrameSize(), Decorations(), screen->availableGeometry());
}

QSize MainWindow::DebugFrameSize() const {
  const QSize frame = frmDebug_->frameGeometry().size();
  if (frame != frmDebug_->size()) return frame;
  // Not framed yet: the gap beside it leaves room for its side borders, and
  // its caption and lower border are allowed for below it.
  return frame + QSize(0, Extra(kDecorationAllowance).height());
}

QMargins MainWindow::Decorations() const {
  const QRect frame = frameGeometry();
  const QRect client = geometry();
  if (frame == client) return kDecorationAllowance;
  return {client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
          frame.bottom() - client.bottom()};
}

QSize MainWindow::PlannedSize() const {
  return ShownPlayfield({picOutput_->Width(), picOutput_->Height()}, plan_.scale);
}

void MainWindow::ApplyScale() {
  const QSize shown = PlannedSize();
  // Any size from half the planned one up, so that the window manager can
  // maximise the window and the player can drag it larger; the playfield
  // then fills it. It opens, and comes back from filling, at the plan's size.
  setMinimumSize(shown / 2);
  setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  if (!filling_) resize(shown);
  LayOut();
}

void MainWindow::LayOut() {
  const QSize shown = PlannedSize();
  if (filling_ || size() != shown) {
    LayOutFilled();
    return;
  }
  if (picOutput_->frameStyle() == QFrame::NoFrame) picOutput_->SetSingleBorder(true);
  picOutput_->setGeometry(QRect(QPoint(0, 0), shown));
  UpdateKeyCursor();
}

void MainWindow::SettleWindows() {
  const bool framed = frameGeometry() != geometry() && frmDebug_->frameGeometry() != frmDebug_->geometry();
  // A window manager started at the same moment (openbox) may not have
  // mapped them yet and sleep on its queue: a request wakes it.
  for (QWidget* window : {static_cast<QWidget*>(this), static_cast<QWidget*>(frmDebug_.get())}) {
    if (!OnWayland() && window->isVisible() && !window->windowHandle()->isExposed()) RequestFrameExtents(window->winId());
  }
  if (!framed || filling_) {
    // Without a window manager (or one that does not say) the estimate stands.
    if (++settle_checks_ >= kSettleChecks) {
      tmrSettle_->stop();
    } else if (!tmrSettle_->isActive()) {
      tmrSettle_->start();
    }
    return;
  }
  tmrSettle_->stop();
  const QScreen* screen = frmDebug_->screen();
  if (screen == nullptr) return;
  const QSize image(picOutput_->Width(), picOutput_->Height());
  const QMargins decorations = Decorations();
  // The windows where the plan put them, with their real frames.
  WindowPlan placed = plan_;
  placed.main.setSize(size() + Extra(decorations));
  placed.debug.setSize(DebugFrameSize());
  const WindowPlan fresh = Placement(image);
  if (Usable(placed, decorations, image, screen->availableGeometry()) && fresh.scale <= plan_.scale) return;
  plan_ = fresh;
  ApplyScale();
  frmDebug_->move(plan_.debug.topLeft());
  move(plan_.main.topLeft());
}

ControlsWindow& MainWindow::EnsureControlsWindow() {
  if (!frmControls_) frmControls_ = std::make_unique<ControlsWindow>();
  return *frmControls_;
}

QTimer* MainWindow::TimerFor(Timer timer) const {
  switch (timer) {
    case Timer::Display: return tmrDisplay_;
    case Timer::MainLoop: return tmrMainLoop_;
    case Timer::Debug: return tmrDebug_;
    case Timer::Effects: return tmrEffects_;
  }
  return nullptr;
}

void MainWindow::LetEventsRun() {
  const auto now = std::chrono::steady_clock::now();
  if (now - last_yield_ < kYieldGap) return;
  last_yield_ = now;
  QCoreApplication::processEvents();
}

CursorPoint MainWindow::PlayfieldCursor() {
  // A key's click, and while the keyboard cursor shows, its peg where the
  // peg is now: that is where the keys point.
  if (key_click_at_) return *key_click_at_;
  if (key_shown_ && game_.board().IsPeg(key_peg_)) return KeyCursorPoint();
  // Over the playfield the pointer's last move says where it is; elsewhere
  // the window system is asked, which costs a round trip to it.
  const std::optional<QPoint> over = picOutput_->PointerOverWindow();
  const QPoint client =
      over ? *over : picOutput_->mapFromGlobal(QCursor::pos()) - picOutput_->contentsRect().topLeft();
  const QPoint pixel = picOutput_->ToBitmap(client);
  return {pixel.x(), pixel.y()};
}

void MainWindow::SizePlayfield(std::int32_t imageWidth, std::int32_t imageHeight) {
  const QSize image(std::max(0, imageWidth), std::max(0, imageHeight));
  picOutput_->SetBitmapSize(image);
  // 1:1 beside the debug window where the screen has room (in its own
  // logical pixels, so a HiDPI screen shows it enlarged only as far as it
  // fits), smaller where it has not.
  plan_ = Placement(image);
  ApplyScale();
}

QWidget* MainWindow::WidgetFor(Window window) const {
  switch (window) {
    case Window::Main: return const_cast<MainWindow*>(this);
    case Window::Debug: return frmDebug_.get();
    case Window::Controls: return frmControls_.get();
  }
  return nullptr;
}

bool MainWindow::IsVisible(Window window) {
  const QWidget* widget = WidgetFor(window);
  return widget != nullptr && widget->isVisible();
}

void MainWindow::Show(Window window) {
  if (QWidget* widget = WidgetFor(window)) widget->show();
}

void MainWindow::Hide(Window window) {
  if (QWidget* widget = WidgetFor(window)) widget->hide();
}

void MainWindow::Close(Window window) {
  if (window == Window::Main) {
    // The last step of Die: close without running Die again.
    closing_for_die_ = true;
    close();
    return;
  }
  // Only a window that was made is closed; none is made for it.
  if (QWidget* widget = WidgetFor(window)) widget->close();
}

void MainWindow::EndProgram() {
  ++end_requests_;
  // Outside a running event loop exit() would only make the next loop end at
  // once; the program checks EndRequested() before it starts its loop.
  if (QThread::currentThread()->loopLevel() > 0) QCoreApplication::exit(0);
}

void MainWindow::SetEnabled(Timer timer, bool enabled) {
  QTimer* qtimer = TimerFor(timer);
  if (!enabled) {
    qtimer->stop();
  } else if (!qtimer->isActive()) {
    qtimer->start();
  }
}

void MainWindow::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  picOutput_->ForgetPointer();
  KeepNormalPlace();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  event->accept();
  if (closing_for_die_) return;
  game_.Die();
}

// ----- Keys -----

bool MainWindow::event(QEvent* event) {
  // Ahead of the widget's own handling, which would take Tab to move the focus.
  if (event->type() == QEvent::KeyPress && HandleKey(static_cast<const QKeyEvent&>(*event))) return true;
  return QWidget::event(event);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  // Qt's Wayland back end hands the compositor a new, empty buffer when the
  // title bar it draws comes back (leaving full screen on mutter) though the
  // window keeps its size, and repaints nothing: where the game changed no
  // tile since, the playfield stayed blank (white, or see-through). So on
  // Wayland each expose paints the playfield whole.
  if (event->type() == QEvent::Expose && watched == windowHandle()) picOutput_->update();
  if (event->type() == QEvent::KeyPress) {
    const auto& key = static_cast<const QKeyEvent&>(*event);
    if (watched == picOutput_->OwnWindow()) return HandleKey(key);
    // In the debug window the other keys work its buttons.
    if (watched == frmDebug_.get()) {
      const int code = key.key();
      if (code == Qt::Key_F1 || code == Qt::Key_F11 || code == Qt::Key_F12) return HandleKey(key);
    }
  }
  return QWidget::eventFilter(watched, event);
}

bool MainWindow::HandleKey(const QKeyEvent& key) {
  // With Ctrl, Alt or Meta a key is not the game's; Shift only picks Tab's
  // direction and types the question mark.
  const Qt::KeyboardModifiers modifiers = key.modifiers();
  if (modifiers.testFlag(Qt::ControlModifier) || modifiers.testFlag(Qt::AltModifier) ||
      modifiers.testFlag(Qt::MetaModifier)) {
    return false;
  }
  // A held key moves the cursor on, but clicks and switches only once.
  const bool once = !key.isAutoRepeat();
  const Board& board = game_.board();
  const auto step = [&](KeyDirection direction) {
    // A hidden cursor (never shown, or the mouse took over) first shows on
    // the peg nearest the place last sampled.
    if (!key_shown_ || !board.IsPeg(key_peg_)) {
      SetKeyCursor(PegNearestTo(board, board.MousePosX, board.MousePosY));
    } else {
      SetKeyCursor(PegInDirection(board, key_peg_, direction));
    }
    return true;
  };
  switch (key.key()) {
    case Qt::Key_Left: return step(KeyDirection::Left);
    case Qt::Key_Right: return step(KeyDirection::Right);
    case Qt::Key_Up: return step(KeyDirection::Up);
    case Qt::Key_Down: return step(KeyDirection::Down);
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      SetKeyCursor(
          StepPeg(board, key_peg_, key.key() == Qt::Key_Backtab || modifiers.testFlag(Qt::ShiftModifier)));
      return true;
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (once) {
        if (board.IsPeg(key_peg_)) {
          SetKeyCursor(key_peg_);
          KeyClick(KeyCursorPoint());
        } else if (const auto empty = EmptySpace(board, game_.field())) {
          // On no peg the cursor clicks empty space, as Escape does.
          KeyClick({empty->x, empty->y});
        }
      }
      return true;
    case Qt::Key_Escape:
      // The empty place is worked out from where the pegs are now: the grid
      // point farthest from every peg, outside the debug window's corner.
      if (once) {
        if (const auto empty = EmptySpace(board, game_.field())) KeyClick({empty->x, empty->y});
      }
      return true;
    case Qt::Key_F1:
      ShowKeyHelp();
      return true;
    case Qt::Key_F11:
      if (once) ToggleFullScreen();
      return true;
    case Qt::Key_F12:
      if (once) {
        // The keys stay with the window they were pressed in.
        QWidget* active = QApplication::activeWindow();
        game_.ToggleDebugWindow();
        if (active != nullptr && active->isVisible()) active->activateWindow();
      }
      return true;
    default:
      if (key.text() == QLatin1String("?")) {
        ShowKeyHelp();
        return true;
      }
      return false;
  }
}

void MainWindow::KeyClick(CursorPoint at) {
  // Kept for the whole click: a tick run inside it samples the same place,
  // as it would a pointer resting there. Clicks nest, so the outer one's
  // place comes back after.
  const std::optional<CursorPoint> outer = key_click_at_;
  key_click_at_ = at;
  game_.SampleCursor();
  game_.Click();
  key_click_at_ = outer;
}

CursorPoint MainWindow::KeyCursorPoint() const {
  const Peg& peg = game_.board().Pegs[key_peg_];
  return {static_cast<std::int32_t>(std::lround(peg.X)), static_cast<std::int32_t>(std::lround(peg.Y))};
}

void MainWindow::SetKeyCursor(int peg) {
  key_peg_ = peg;
  key_shown_ = true;
  UpdateKeyCursor();
}

void MainWindow::UpdateKeyCursor() {
  if (!key_shown_) return;
  const Board& board = game_.board();
  if (!board.IsPeg(key_peg_)) {
    if (key_cursor_ != nullptr) key_cursor_->Hide();
    return;
  }
  if (key_cursor_ == nullptr) key_cursor_ = new KeyCursor(*picOutput_);
  const Peg& peg = board.Pegs[key_peg_];
  // A peg's dots are centred a pixel above its position.
  key_cursor_->ShowAt({peg.X, peg.Y - 1.0});
}

void MainWindow::HideKeyCursor() {
  key_shown_ = false;
  if (key_cursor_ != nullptr) key_cursor_->Hide();
}

void MainWindow::ShowKeyHelp() {
  if (key_help_ == nullptr) {
    key_help_ = new QMessageBox(QMessageBox::NoIcon, QStringLiteral("Brindlet! keys"), KeyHelpText(),
                                QMessageBox::Close, this);
    key_help_->setObjectName(QStringLiteral("keyHelp"));
    key_help_->setAccessibleName(QStringLiteral("Keys"));
    key_help_->setAccessibleDescription(QStringLiteral("The keys that play the game"));
    // The game goes on beside it.
    key_help_->setModal(false);
  }
  key_help_->show();
  key_help_->raise();
  key_help_->activateWindow();
}

// ----- Filling the screen -----

void MainWindow::ToggleFullScreen() {
  // Without a window manager (a bare X server, as a kiosk runs) nothing acts
  // on a request for full screen and Qt's window state does not follow: the
  // window takes the screen itself, and gives it back.
  if (X11WithoutWindowManager() && screen() != nullptr) {
    const std::optional<QPoint> back = normal_place_;
    filling_ = !filling_;
    if (filling_) {
      setGeometry(screen()->geometry());
      raise();
    } else {
      ApplyScale();
      if (back) move(*back);
    }
    return;
  }
  if (isFullScreen()) {
    showNormal();
    return;
  }
  KeepNormalPlace();
  showFullScreen();
}

void MainWindow::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() != QEvent::WindowStateChange) return;
  const bool filling = (windowState() & (Qt::WindowFullScreen | Qt::WindowMaximized)) != 0;
  if (filling == filling_) return;
  filling_ = filling;
  if (filling) {
    LayOutFilled();
    return;
  }
  // Back to the planned size, where it stood before it filled the screen
  // (a window manager told of the new size while the window still filled
  // the screen would otherwise leave it in the screen's corner). Taken
  // first: sizing it back notes the corner.
  const std::optional<QPoint> back = normal_place_;
  ApplyScale();
  if (back) setGeometry(QRect(*back, size()));
}

void MainWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (picOutput_ == nullptr) return;
  LayOut();
  KeepNormalPlace();
}

void MainWindow::KeepNormalPlace() {
  // Only in the normal state (F11 sets full screen before the window
  // manager moves the window) and at the plan's size (the window manager
  // may move and size a window it maximises before it says so).
  if (windowState() == Qt::WindowNoState && !filling_ && size() == PlannedSize()) {
    normal_place_ = geometry().topLeft();
  }
}

void MainWindow::LayOutFilled() {
  if (picOutput_->frameStyle() != QFrame::NoFrame) picOutput_->SetSingleBorder(false);
  const QRect area = FilledPlayfield({picOutput_->Width(), picOutput_->Height()}, size());
  if (picOutput_->geometry() != area) picOutput_->setGeometry(area);
  UpdateKeyCursor();
}

}  // namespace brindlet::ui
