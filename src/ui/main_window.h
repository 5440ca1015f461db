// frmMain: the game window. It owns the game and everything the game drives:
// the playfield picOutput, the hidden background box PicBG, the four timers,
// the debug window and (when one was ever made) the controls window.
#pragma once

#include <QTimer>
#include <QWidget>
#include <memory>

#include "game/game.h"
#include "game/random.h"
#include "ui/debug_window.h"
#include "ui/picture_box.h"
#include "ui/qt_platform.h"
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

class MainWindow final : public QWidget {
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

  Game& game() { return game_; }
  QtPlatform& platform() { return platform_; }

  PictureBox* picOutput() const { return picOutput_; }
  PictureBox* PicBG() const { return PicBG_; }
  DebugWindow* frmDebug() const { return frmDebug_.get(); }
  // The controls window, or nullptr while none was made. Nothing in the game
  // opens it; Die closes it when it exists.
  ControlsWindow* frmControls() const { return frmControls_.get(); }
  // The controls window, made on first use.
  ControlsWindow& EnsureControlsWindow();

  QTimer* tmrMainLoop() const { return tmrMainLoop_; }
  QTimer* tmrEffects() const { return tmrEffects_; }
  QTimer* tmrDebug() const { return tmrDebug_; }
  QTimer* tmrDisplay() const { return tmrDisplay_; }
  QTimer* TimerFor(Timer timer) const;

  // --- For the platform ---
  // Close as the last step of Die, without running Die again.
  void CloseForDie();
  // End the event loop with exit status 0. Works from inside a nested
  // processEvents(): the loop ends once control gets back to it.
  void RequestEnd();
  bool EndRequested() const { return end_requests_ > 0; }
  int EndRequests() const { return end_requests_; }

 protected:
  // Closing the window through its frame ends the program as Die does.
  void closeEvent(QCloseEvent* event) override;

 private:
  // Where this window opens, from the debug window's frame and the screen.
  MainPlacement Placement() const;

  QtPlatform platform_;
  Game game_;
  PictureBox* PicBG_ = nullptr;
  PictureBox* picOutput_ = nullptr;
  QTimer* tmrEffects_ = nullptr;
  QTimer* tmrDebug_ = nullptr;
  QTimer* tmrMainLoop_ = nullptr;
  QTimer* tmrDisplay_ = nullptr;
  std::unique_ptr<DebugWindow> frmDebug_;
  std::unique_ptr<ControlsWindow> frmControls_;
  // When BRINDLET_TICK_LOG is set: the start of every main tick, written at exit.
  std::unique_ptr<TickLog> tick_log_;
  bool closing_for_die_ = false;
  int end_requests_ = 0;
};

}  // namespace brindlet::ui
