// frmMain: the game window. It owns the game and everything the game drives
// (the playfield, the hidden background box, the four timers, the debug
// window and, when one was ever made, the controls window) and is the
// game's platform for events and cursor, video, windows and timers. The
// debug window is the game's debug view.
#pragma once

#include <QTimer>
#include <QWidget>
#include <chrono>
#include <memory>

#include "game/game.h"
#include "game/platform.h"
#include "game/random.h"
#include "ui/debug_window.h"
#include "ui/picture_box.h"
#include "ui/tick_log.h"

namespace brindlet::ui {

class ControlsWindow;

// Where the main window opens: to the right of the debug window with its top
// level with the debug window's top, when the screen is wide enough for both
// side by side; otherwise centred on the screen (and raised above the debug
// window, which is shown first).
struct MainPlacement {
  QPoint position;  // top-left of the window's frame
  bool beside = false;
};
MainPlacement PlaceMainWindow(const QRect& debugFrame, const QSize& mainFrameSize, const QRect& available);

// The scale at which a picture of `picture` size (border included) fits the
// screen area `available` with room for the window frame `decorations`: 1
// when it fits as it is, less when it must shrink.
double FitScale(QSize picture, QSize decorations, QSize available);

class MainWindow final : public QWidget, public Input, public Video, public Windows, public Timers {
  Q_OBJECT

 public:
  // Space between the debug window's frame and the main window's frame.
  static constexpr int kGapToDebugWindow = 16;
  static constexpr int kMainLoopInterval = 25;
  static constexpr int kEffectsInterval = 20;
  static constexpr int kDebugInterval = 100;
  static constexpr int kDisplayInterval = 25;

  explicit MainWindow(RandomSource& random);
  ~MainWindow() override;

  // The window's load: the game's start-up (which sizes the playfield, reads
  // the background, seeds the attract display and shows the debug window),
  // then the window opens and the main-loop, effects and debug timers start.
  void Load();

  const Game& game() const { return game_; }
  // The debug window's buttons and the playfield's clicks drive the game; tests
  // reach it here for the same.
  Game& game() { return game_; }

  PictureBox* picOutput() const { return picOutput_; }
  PictureBox* PicBG() const { return PicBG_; }
  DebugWindow* frmDebug() const { return frmDebug_.get(); }
  // The controls window, or nullptr while none was made. Nothing in the game
  // opens it; Die closes it when it exists.
  ControlsWindow* frmControls() const { return frmControls_.get(); }
  ControlsWindow& EnsureControlsWindow();

  QTimer* TimerFor(Timer timer) const;
  bool EndRequested() const { return end_requests_ > 0; }
  int EndRequests() const { return end_requests_; }

  // --- Input ---
  // Runs pending events unless it did so less than kYieldGap ago: the game
  // yields hundreds of times a tick, and asking the window system each time
  // costs system calls and thread wake-ups while a click or a tick can well
  // wait a millisecond.
  void LetEventsRun() override;
  static constexpr std::chrono::microseconds kYieldGap{1000};
  CursorPoint PlayfieldCursor() override;
  // --- Video ---
  PictureSurface& Background() override { return *PicBG_; }
  PictureSurface& Playfield() override { return *picOutput_; }
  void SizePlayfield(std::int32_t imageWidth, std::int32_t imageHeight) override;
  void HideBackground() override { PicBG_->hide(); }
  // --- Windows ---
  bool IsVisible(Window window) override;
  void Show(Window window) override;
  void Hide(Window window) override;
  void Close(Window window) override;
  // Ends the event loop with exit status 0. Works from inside a nested
  // processEvents(): the loop ends once control gets back to it.
  void EndProgram() override;
  // --- Timers ---
  void SetEnabled(Timer timer, bool enabled) override;

 protected:
  // Closing the window through its frame ends the program as Die does.
  void closeEvent(QCloseEvent* event) override;
  // The pointer keeps still on the screen while the window moves under it.
  void moveEvent(QMoveEvent* event) override;

 private:
  Platform Roles() { return {*this, *this, *this, *this, *frmDebug_}; }
  // Where this window opens, from the debug window's frame and the screen.
  MainPlacement Placement() const;
  QWidget* WidgetFor(Window window) const;

  std::unique_ptr<DebugWindow> frmDebug_;
  Game game_;
  PictureBox* PicBG_ = nullptr;
  PictureBox* picOutput_ = nullptr;
  QTimer* tmrEffects_ = nullptr;
  QTimer* tmrDebug_ = nullptr;
  QTimer* tmrMainLoop_ = nullptr;
  QTimer* tmrDisplay_ = nullptr;
  std::unique_ptr<ControlsWindow> frmControls_;
  // When BRINDLET_TICK_LOG is set: the start of every main tick, written at exit.
  std::unique_ptr<TickLog> tick_log_;
  bool closing_for_die_ = false;
  int end_requests_ = 0;
  std::chrono::steady_clock::time_point last_yield_{};
};

}  // namespace brindlet::ui
