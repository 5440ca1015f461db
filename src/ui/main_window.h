// The game window. It assembles the front end: the game, the platform's
// presenter (the playfield, the debug window or panel, the ring), the hidden
// background, the timers, and the controls window when one is made; and it
// plays the game's roles for events and cursor, video and windows.
#pragma once

#include <QDialog>
#include <QWidget>
#include <memory>

#include "game/game.h"
#include "game/platform.h"
#include "game/random.h"
#include "ui/accessibility.h"
#include "ui/presenter.h"
#include "ui/ticks.h"

namespace brindlet::ui {

class ControlsWindow;

class MainWindow final : public QWidget, public Input, public Video, public Windows {
  Q_OBJECT

 public:
  // With the presenter for the platform Qt runs on, unless told which.
  explicit MainWindow(RandomSource& random, PresenterKind kind = Presenter::ForPlatform());
  ~MainWindow() override;

  // The window's load: the game's start-up (which sizes the playfield, reads
  // the background, seeds the attract display and shows the debug window),
  // then the windows open and the main-loop, effects and debug timers start.
  void Load();
  // How the frames are drawn (see Game::SetLook), remembered for the next
  // start when `remember`.
  void SetLook(Look look, bool remember);
  // The event loop until the program ends; its exit status.
  int Run();
  bool EndRequested() const { return end_requests_ > 0; }

  Game& game() { return game_; }
  const Game& game() const { return game_; }
  Presenter& presenter() { return *presenter_; }
  Ticks& ticks() { return ticks_; }

  // --- Input ---
  void LetEventsRun() override { ticks_.LetEventsRun(); }
  CursorPoint PlayfieldCursor() override { return presenter_->Pointer(); }
  // --- Video ---
  PictureSurface& Background() override { return background_; }
  PictureSurface& Playfield() override { return presenter_->playfield(); }
  void SizePlayfield(std::int32_t imageWidth, std::int32_t imageHeight) override;
  void HideBackground() override {}
  // --- Windows ---
  // The controls window is made the first time it is shown; nothing in the
  // game shows it, and Die closes it only when it exists.
  bool IsVisible(Window window) override;
  void Show(Window window) override;
  void Hide(Window window) override;
  void Close(Window window) override;
  // Ends the event loop with exit status 0. Works from inside a nested
  // processEvents(): the loop ends once control gets back to it.
  void EndProgram() override;

 protected:
  // Closing the window through its frame ends the program as Die does.
  void closeEvent(QCloseEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  // The game's keys, from the main window, the playfield and (F1, F11 and
  // F12 only) the debug window.
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // A key of the game's or the front end's: true when it was one.
  bool HandleKey(const QKeyEvent& key);
  // The game may have changed: the ring and assistive technology follow.
  void AfterGame();
  // The ring follows the keyboard cursor's peg; hidden while the mouse is in use.
  void UpdateRing();
  void ShowKeyHelp();

  std::unique_ptr<Presenter> presenter_;
  MemorySurface background_;
  Game game_;
  Ticks ticks_;
  AccessibleBoard accessible_;
  std::unique_ptr<ControlsWindow> controls_;
  QDialog* key_help_ = nullptr;
  bool closing_for_die_ = false;
  int end_requests_ = 0;
};

}  // namespace brindlet::ui
