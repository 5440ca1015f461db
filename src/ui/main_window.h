// frmMain: the game window. It owns the game and everything the game drives
// (the playfield, the hidden background box, the four timers, the debug
// window and, when one was ever made, the controls window) and is the
// game's platform for events and cursor, video, windows and timers. The
// debug window is the game's debug view.
#pragma once

#include <QKeyEvent>
#include <QMargins>
#include <QMessageBox>
#include <QRect>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <memory>
#include <optional>

#include "game/game.h"
#include "game/platform.h"
#include "game/random.h"
#include "ui/debug_window.h"
#include "ui/key_cursor.h"
#include "ui/picture_box.h"
#include "ui/tick_log.h"

namespace brindlet::ui {

class ControlsWindow;

// How the two windows share the screen: the main window beside the debug
// window (right of it, tops level), below it (left edges level), or, when
// neither leaves room for a playable playfield, overlapping: the main window
// at the available area's top left and the debug window at its right edge,
// clear of the playfield's corner that hides and shows it.
enum class Arrangement { Beside, Below, Overlapping };

struct WindowPlan {
  Arrangement arrangement = Arrangement::Beside;
  double scale = 1.0;  // screen pixels per image pixel
  QRect main;          // the main window's frame
  QRect debug;         // the debug window's frame
};

// Below this scale the two windows are not put side by side: pegs, their
// 10-pixel reach and the 16-pixel corner would shrink to a few screen pixels,
// and a playfield fitted to the whole screen (with the debug window over part
// of it, until the corner hides it) is the better game.
inline constexpr double kSmallestSideBySideScale = 0.5;
// The smallest scale at all, on a screen far too small for the playfield.
inline constexpr double kSmallestScale = 0.1;

// The playfield's client size at `scale`: the image in whole screen pixels
// (never more than `image` * `scale`) and a one-pixel border round it.
QSize ShownPlayfield(QSize image, double scale);

// The largest scale, at most 1, at which ShownPlayfield fits `room`; 0 or
// less when not even the border fits.
double FitScale(QSize image, QSize room);

// Where the windows go. `debugFrame` is the debug window's frame size and
// `decorations` the main window's frame round its client area, both as the
// window manager reports them or as estimated before it does. The debug
// window keeps its design place (moved inside `available` if need be) unless
// the windows overlap. Among the side-by-side arrangements the one with the
// larger scale wins, beside on a tie.
WindowPlan PlanWindows(QSize image, QSize debugFrame, QMargins decorations, const QRect& available);

// The screen area of the playfield's top-left kCornerSize x kCornerSize image
// pixels, for a main window whose frame is `mainFrame`.
QRect ToggleCorner(const QRect& mainFrame, QMargins decorations, QSize image);

// The playfield's rectangle in a maximised or full-screen window whose
// client area is `room`: the image as large as fits, its proportions kept
// (to the pixel), centred; the rest of the window is black. No border.
QRect FilledPlayfield(QSize image, QSize room);

// The keys, one per line: what F1 shows.
QString KeyHelpText();

// Both frames inside `available`, the corner not under the debug window, and,
// side by side, the two frames apart.
bool Usable(const WindowPlan& plan, QMargins decorations, QSize image, const QRect& available);

class MainWindow final : public QWidget, public Input, public Video, public Windows, public Timers {
  Q_OBJECT

 public:
  // Space between the debug window's frame and the main window's frame.
  static constexpr int kGapToDebugWindow = 16;
  static constexpr int kMainLoopInterval = 25;
  static constexpr int kEffectsInterval = 20;
  static constexpr int kDebugInterval = 100;
  static constexpr int kDisplayInterval = 25;
  // How often and how many times the window manager's frames are looked for
  // after the windows open.
  static constexpr int kSettleInterval = 50;
  static constexpr int kSettleChecks = 60;

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

  // --- Keys ---
  // The keyboard cursor: the peg it is on (0 for none), whether its ring
  // shows, and the ring (nullptr until a key first showed it).
  int KeyCursorPeg() const { return key_peg_; }
  bool KeyCursorShown() const { return key_shown_; }
  KeyCursor* keyCursor() const { return key_cursor_; }
  // The key list F1 opens, nullptr until it was first opened.
  QMessageBox* keyHelp() const { return key_help_; }
  // Full screen on and off (F11). While full screen or maximised, or
  // dragged to another size, the playfield fills the window, centred on
  // black; otherwise the window has the size its plan gave it.
  void ToggleFullScreen();
  bool Filling() const { return filling_; }

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
  // The game's keys, from the main window, the playfield's own window and
  // (F1, F11 and F12 only) the debug window.
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void changeEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  Platform Roles() { return {*this, *this, *this, *this, *frmDebug_}; }
  // Where the windows go for a playfield image of `image` size, from the
  // frames as far as they are known and the screen.
  WindowPlan Placement(QSize image) const;
  QSize DebugFrameSize() const;
  QMargins Decorations() const;
  // Sets the playfield's scale and size from plan_.
  void ApplyScale();
  // The window's size at the plan's scale, and the playfield laid out in
  // it: at that size the picture with its border, at any other filling it.
  QSize PlannedSize() const;
  void LayOut();
  // Notes where the window stands while it has the plan's size.
  void KeepNormalPlace();
  // Once the window manager has framed both windows: the plan made with
  // estimated frames is redone with the real ones, and taken when the
  // windows as placed would not be usable or the playfield can be larger.
  void SettleWindows();
  QWidget* WidgetFor(Window window) const;
  // A key of the game's: true when it was one and was acted on.
  bool HandleKey(const QKeyEvent& key);
  // Where the keyboard cursor's peg is now, in playfield pixels; it must be
  // a peg in play.
  CursorPoint KeyCursorPoint() const;
  // Puts the keyboard cursor on `peg` and shows it.
  void SetKeyCursor(int peg);
  // The ring follows its peg; hidden while the mouse is in use.
  void UpdateKeyCursor();
  void HideKeyCursor();
  // A click from a key, judged at `at` exactly as a tap there: the place is
  // sampled, then the game's click runs (and anything sampled meanwhile
  // samples the same place).
  void KeyClick(CursorPoint at);
  void ShowKeyHelp();
  // The playfield filling the window, centred on black.
  void LayOutFilled();

  std::unique_ptr<DebugWindow> frmDebug_;
  Game game_;
  PictureBox* PicBG_ = nullptr;
  PictureBox* picOutput_ = nullptr;
  QTimer* tmrEffects_ = nullptr;
  QTimer* tmrDebug_ = nullptr;
  QTimer* tmrMainLoop_ = nullptr;
  QTimer* tmrDisplay_ = nullptr;
  // Waits for the window manager's frames after the windows open.
  QTimer* tmrSettle_ = nullptr;
  int settle_checks_ = 0;
  WindowPlan plan_;
  std::unique_ptr<ControlsWindow> frmControls_;
  // When BRINDLET_TICK_LOG is set: the start of every main tick, written at exit.
  std::unique_ptr<TickLog> tick_log_;
  bool closing_for_die_ = false;
  int end_requests_ = 0;
  std::chrono::steady_clock::time_point last_yield_{};
  KeyCursor* key_cursor_ = nullptr;
  int key_peg_ = 0;
  bool key_shown_ = false;
  std::optional<CursorPoint> key_click_at_;
  QMessageBox* key_help_ = nullptr;
  bool filling_ = false;
  // Where the window last stood at the plan's size, not filling the screen:
  // where it goes back to after F11 or the window manager's maximise.
  std::optional<QPoint> normal_place_;
};

}  // namespace brindlet::ui
