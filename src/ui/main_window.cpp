#include "ui/main_window.h"

#include "ui/aux_windows.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QScreen>
#include <QThread>
#include <algorithm>

namespace brindlet::ui {
namespace {

QTimer* MakeTimer(QObject* parent, const char* name, int interval) {
  auto* timer = new QTimer(parent);
  timer->setObjectName(QString::fromLatin1(name));
  timer->setInterval(interval);
  timer->setTimerType(Qt::PreciseTimer);
  return timer;
}

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

MainWindow::MainWindow(RandomSource& random) : QWidget(nullptr), platform_(*this), game_(platform_, random) {
  setObjectName(QStringLiteral("frmMain"));
  setWindowTitle(QStringLiteral("Brindlet!"));

  PicBG_ = new PictureBox(this);
  PicBG_->setObjectName(QStringLiteral("PicBG"));
  PicBG_->setGeometry(0, 0, kBackgroundWidth, kBackgroundHeight);
  PicBG_->hide();

  picOutput_ = new PictureBox(this);
  picOutput_->setObjectName(QStringLiteral("picOutput"));
  picOutput_->SetSingleBorder(true);
  picOutput_->setGeometry(0, 0, kBackgroundWidth + 2, kBackgroundHeight + 2);
  setFixedSize(picOutput_->size());

  tmrEffects_ = MakeTimer(this, "tmrEffects", kEffectsInterval);
  tmrDebug_ = MakeTimer(this, "tmrDebug", kDebugInterval);
  tmrMainLoop_ = MakeTimer(this, "tmrMainLoop", kMainLoopInterval);
  tmrDisplay_ = MakeTimer(this, "tmrDisplay", kDisplayInterval);
  tick_log_ = TickLog::FromEnvironment(ProcessEnvironment());
  connect(tmrMainLoop_, &QTimer::timeout, this, [this] {
    if (tick_log_) tick_log_->Mark();
    game_.MainTick();
  });
  connect(tmrEffects_, &QTimer::timeout, this, [this] { game_.EffectsTick(); });
  connect(tmrDebug_, &QTimer::timeout, this, [this] { game_.DebugTick(); });
  connect(tmrDisplay_, &QTimer::timeout, this, [this] { game_.DisplayTick(); });

  connect(picOutput_, &PictureBox::Click, this, [this] { game_.Click(); });
  connect(picOutput_, &PictureBox::DblClick, this, [this] { game_.DoubleClick(); });

  frmDebug_ = std::make_unique<DebugWindow>();
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

void MainWindow::CloseForDie() {
  closing_for_die_ = true;
  close();
}

void MainWindow::RequestEnd() {
  ++end_requests_;
  // Outside a running event loop exit() would only make the next loop end at
  // once; the program checks EndRequested() before it starts its loop.
  if (QThread::currentThread()->loopLevel() > 0) QCoreApplication::exit(0);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  event->accept();
  if (closing_for_die_) return;
  game_.Die();
}

}  // namespace brindlet::ui
