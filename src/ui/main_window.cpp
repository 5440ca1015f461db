#include "ui/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QThread>

#include "ui/aux_windows.h"
#include "ui/keys.h"
#include "ui/preferences.h"

namespace brindlet::ui {

MainWindow::MainWindow(RandomSource& random, PresenterKind kind)
    : QWidget(nullptr),
      presenter_(Presenter::Make(kind, *this, [this] {
        if (!EndRequested()) game_.Die();
      })),
      background_(kBackgroundWidth, kBackgroundHeight),
      game_(Platform{*this, *this, *this, ticks_, presenter_->debug()}, random),
      ticks_(game_, [this] { AfterGame(); }),
      accessible_(game_, presenter_->playfield(), *this) {
  setObjectName(QStringLiteral("mainWindow"));
  setWindowTitle(QStringLiteral("Brindlet!"));
  // Round a playfield that fills a maximised or full-screen window.
  QPalette black = palette();
  black.setColor(QPalette::Window, Qt::black);
  setPalette(black);
  setAutoFillBackground(true);

  class Playfield& field = presenter_->playfield();
  field.setAccessibleName(QStringLiteral("Playfield"));
  field.setAccessibleDescription(
      QStringLiteral("The pegs and their links. Click a peg, or move the keyboard cursor to it with the arrow keys "
                     "or Tab and press Space, to select it; F1 lists the keys."));
  connect(&field, &Playfield::Mouse, this, [this](MouseAction action, bool left, CursorPoint at) {
    game_.Mouse(action, left, at);
    AfterGame();
  });
  // The mouse in use hides the keyboard cursor.
  connect(&field, &Playfield::PointerMoved, this, [this] {
    game_.PointerMoved();
    AfterGame();
  });

  DebugWindow& debug = presenter_->debug();
  debug.installEventFilter(this);
  connect(&debug.quitButton(), &QPushButton::clicked, this, [this] { game_.Die(); });
  connect(&debug.restartButton(), &QPushButton::clicked, this, [this] {
    game_.InitGame();
    AfterGame();
  });
  connect(&debug.moveButton(), &QPushButton::clicked, this, [this] { game_.RandomizePegs(); });
  connect(&debug.shakeButton(), &QPushButton::clicked, this, [this] { game_.ShakePegsInit(); });

  // Sized for the background it will show, so that the window's place can
  // be chosen before start-up reads it.
  SizePlayfield(kBackgroundWidth, kBackgroundHeight);
}

MainWindow::~MainWindow() = default;

void MainWindow::Load() {
  game_.Startup();
  if (EndRequested()) return;
  presenter_->Open();
  ticks_.Start();
}

int MainWindow::Run() {
  if (EndRequested()) return 0;
  return QApplication::exec();
}

void MainWindow::SizePlayfield(std::int32_t imageWidth, std::int32_t imageHeight) {
  presenter_->SizePlayfield(QSize(std::max(0, imageWidth), std::max(0, imageHeight)));
}

bool MainWindow::IsVisible(Window window) {
  switch (window) {
    case Window::Main: return isVisible();
    case Window::Debug: return presenter_->DebugShown();
    case Window::Controls: return controls_ != nullptr && controls_->isVisible();
  }
  return false;
}

void MainWindow::Show(Window window) {
  switch (window) {
    case Window::Main: return show();
    case Window::Debug: return presenter_->ShowDebug(true);
    case Window::Controls:
      if (!controls_) controls_ = std::make_unique<ControlsWindow>();
      return controls_->show();
  }
}

void MainWindow::Hide(Window window) {
  switch (window) {
    case Window::Main: return hide();
    case Window::Debug: return presenter_->ShowDebug(false);
    case Window::Controls:
      if (controls_) controls_->hide();
      return;
  }
}

void MainWindow::Close(Window window) {
  switch (window) {
    case Window::Main:
      // The last step of Die: close without running Die again.
      closing_for_die_ = true;
      close();
      return;
    case Window::Debug: return presenter_->CloseDebug();
    case Window::Controls:
      // Only a window that was made is closed; none is made for it.
      if (controls_) controls_->close();
      return;
  }
}

void MainWindow::EndProgram() {
  ++end_requests_;
  // Outside a running event loop exit() would only make the next loop end at
  // once; Run checks EndRequested() before it starts the loop.
  if (QThread::currentThread()->loopLevel() > 0) QCoreApplication::exit(0);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  event->accept();
  if (closing_for_die_) return;
  game_.Die();
}

void MainWindow::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  // The pointer keeps still on the screen while the window moves under it.
  presenter_->WindowMoved();
}

void MainWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  presenter_->WindowResized();
}

void MainWindow::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange) presenter_->WindowStateChanged();
}

// ----- Keys -----

bool MainWindow::event(QEvent* event) {
  // Ahead of the widget's own handling, which would take Tab to move the focus.
  if (event->type() == QEvent::KeyPress && HandleKey(static_cast<const QKeyEvent&>(*event))) return true;
  return QWidget::event(event);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  // In a debug window of its own the other keys work its buttons.
  if (event->type() == QEvent::KeyPress && watched == &presenter_->debug()) {
    const auto& key = static_cast<const QKeyEvent&>(*event);
    if (ActionFor(key).front) return HandleKey(key);
  }
  return QWidget::eventFilter(watched, event);
}

bool MainWindow::HandleKey(const QKeyEvent& key) {
  const KeyAction action = ActionFor(key);
  if (action.game) {
    game_.Key(*action.game, key.isAutoRepeat());
    AfterGame();
    return true;
  }
  if (!action.front) return false;
  // A held key switches only once.
  if (key.isAutoRepeat() && *action.front != FrontKey::Help) return true;
  switch (*action.front) {
    case FrontKey::Help: ShowKeyHelp(); break;
    case FrontKey::Look: SetLook(game_.look() == Look::Shapes ? Look::Colours : Look::Shapes, true); break;
    case FrontKey::FullScreen: presenter_->ToggleFullScreen(); break;
    case FrontKey::DebugWindow: {
      // The keys stay with the window they were pressed in.
      QWidget* active = QApplication::activeWindow();
      game_.ToggleDebugWindow();
      if (active != nullptr && active->isVisible()) active->activateWindow();
      break;
    }
  }
  return true;
}

void MainWindow::AfterGame() {
  UpdateRing();
  accessible_.Update();
}

void MainWindow::UpdateRing() {
  const KeyCursor cursor = game_.keyCursor();
  const Board& board = game_.board();
  if (!cursor.shown || !board.IsPeg(cursor.peg)) {
    presenter_->PlaceRing(std::nullopt);
    return;
  }
  // A peg's dots are centred a pixel above its position.
  presenter_->PlaceRing(QPointF(board.Pegs[cursor.peg].X, board.Pegs[cursor.peg].Y - 1.0));
}

void MainWindow::SetLook(Look look, bool remember) {
  game_.SetLook(look);
  if (remember) RememberLook(look);
}

void MainWindow::ShowKeyHelp() {
  if (key_help_ == nullptr) key_help_ = new KeyHelp(this);
  key_help_->show();
  key_help_->raise();
  key_help_->activateWindow();
}

}  // namespace brindlet::ui
