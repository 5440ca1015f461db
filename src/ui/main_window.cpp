#include "ui/main_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QScreen>
#include <QThread>
#include <algorithm>
#include <cmath>

#include "ui/aux_windows.h"

namespace brindlet::ui {
namespace {

QTimer* MakeTimer(QObject* parent, const char* name, int interval) {
  auto* timer = new QTimer(parent);
  timer->setObjectName(QString::fromLatin1(name));
  timer->setInterval(interval);
  timer->setTimerType(Qt::PreciseTimer);
  return timer;
}

// Room for a window frame while the real one is not known yet.
constexpr QSize kDecorationAllowance{16, 48};

}  // namespace

MainPlacement PlaceMainWindow(const QRect& debugFrame, const QSize& mainFrameSize, const QRect& available) {
  const int besideX = debugFrame.x() + debugFrame.width() + MainWindow::kGapToDebugWindow;
  if (besideX + mainFrameSize.width() <= available.x() + available.width()) {
    return {QPoint(besideX, debugFrame.y()), true};
  }
  const int x = available.x() + std::max(0, (available.width() - mainFrameSize.width()) / 2);
  const int y = available.y() + std::max(0, (available.height() - mainFrameSize.height()) / 2);
  return {QPoint(x, y), false};
}

double FitScale(QSize picture, QSize decorations, QSize available) {
  if (picture.isEmpty()) return 1.0;
  const double sx = static_cast<double>(available.width() - decorations.width()) / picture.width();
  const double sy = static_cast<double>(available.height() - decorations.height()) / picture.height();
  return std::clamp(std::min(sx, sy), 0.1, 1.0);
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
  picOutput_->UseOwnWindow();
  // Sized for the background it will show, so that the window's place can
  // be chosen before start-up reads it.
  SizePlayfield(kBackgroundWidth, kBackgroundHeight);

  tmrEffects_ = MakeTimer(this, "tmrEffects", kEffectsInterval);
  tmrDebug_ = MakeTimer(this, "tmrDebug", kDebugInterval);
  tmrMainLoop_ = MakeTimer(this, "tmrMainLoop", kMainLoopInterval);
  tmrDisplay_ = MakeTimer(this, "tmrDisplay", kDisplayInterval);
  tick_log_ = TickLog::FromEnvironment(ProcessEnvironment());
  // A tick starts from the event loop, which has just run what was pending:
  // the tick's first yields need not run it again.
  connect(tmrMainLoop_, &QTimer::timeout, this, [this] {
    if (tick_log_) tick_log_->Mark();
    last_yield_ = std::chrono::steady_clock::now();
    game_.MainTick();
  });
  connect(tmrEffects_, &QTimer::timeout, this, [this] { game_.EffectsTick(); });
  connect(tmrDebug_, &QTimer::timeout, this, [this] {
    last_yield_ = std::chrono::steady_clock::now();
    game_.DebugTick();
  });
  connect(tmrDisplay_, &QTimer::timeout, this, [this] { game_.DisplayTick(); });

  connect(picOutput_, &PictureBox::Click, this, [this] { game_.Click(); });
  connect(picOutput_, &PictureBox::DblClick, this, [this] { game_.DoubleClick(); });

  connect(frmDebug_->cmdQuit(), &QPushButton::clicked, this, [this] { game_.Die(); });
  connect(frmDebug_->cmdRestart(), &QPushButton::clicked, this, [this] { game_.InitGame(); });
  connect(frmDebug_->cmdRNDPegs(), &QPushButton::clicked, this, [this] { game_.RandomizePegs(); });
  connect(frmDebug_->cmdShakePegs(), &QPushButton::clicked, this, [this] { game_.ShakePegsInit(); });
}

MainWindow::~MainWindow() {
  // Nothing may tick into a half-destroyed game.
  for (QTimer* timer : {tmrMainLoop_, tmrEffects_, tmrDebug_, tmrDisplay_}) timer->stop();
}

void MainWindow::Load() {
  // Decided before anything is shown. A tool window stays above the
  // program's other windows; when the screen is too narrow for both windows
  // side by side, the debug window is made an ordinary one, so that the main
  // window, opened after it, is on top and the playfield is not covered.
  const MainPlacement placement = Placement();
  frmDebug_->SetToolWindow(placement.beside);
  game_.Startup();
  if (EndRequested()) return;
  move(placement.position);
  show();
  raise();
  activateWindow();
  tmrMainLoop_->start();
  tmrEffects_->start();
  tmrDebug_->start();
}

MainPlacement MainWindow::Placement() const {
  const QScreen* screen = frmDebug_->screen();
  if (screen == nullptr) return {pos(), false};
  // Before the windows are shown their decorations may not be known yet; the
  // gap between the two leaves room for them.
  const QRect debugFrame = frmDebug_->frameGeometry();
  const QSize decorations = debugFrame.size() - frmDebug_->size();
  return PlaceMainWindow(debugFrame, size() + decorations, screen->availableGeometry());
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
  const QSize bordered = image + QSize(2, 2);
  // On a screen too small for the picture at 1:1 (in the screen's own
  // logical pixels, so a HiDPI screen shows it enlarged only as far as it
  // fits) the playfield is shown smaller.
  double scale = 1.0;
  if (const QScreen* screen = frmDebug_->screen()) {
    const QSize known = frameGeometry().size() - size();
    const QSize decorations = known.isEmpty() ? kDecorationAllowance : known.expandedTo(kDecorationAllowance);
    scale = FitScale(bordered, decorations, screen->availableGeometry().size());
  }
  const QSize shown(static_cast<int>(std::lround(image.width() * scale)),
                    static_cast<int>(std::lround(image.height() * scale)));
  picOutput_->SetBitmapSize(image);
  picOutput_->setGeometry(0, 0, shown.width() + 2, shown.height() + 2);
  setFixedSize(picOutput_->size());
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
}

void MainWindow::closeEvent(QCloseEvent* event) {
  event->accept();
  if (closing_for_die_) return;
  game_.Die();
}

}  // namespace brindlet::ui
