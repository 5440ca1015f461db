// The game: one object that owns a game's state and the two frame images, and
// the entry points through which the front end drives it.
//
// The state is private. The front end calls the entry points (start-up, the
// timer ticks, clicks and the debug window's buttons); anyone may read the
// state through the views. Everything runs on one thread; an entry point that
// lets events run can have others run inside it.
#pragma once

#include <optional>

#include "game/keyboard.h"
#include "game/model.h"
#include "game/narration.h"
#include "game/platform.h"
#include "game/procedures.h"
#include "game/random.h"
#include "render/pixel_array.h"

namespace brindlet {

class Game {
 public:
  Game(Platform platform, RandomSource& random);
  Game(const Game&) = delete;
  Game& operator=(const Game&) = delete;

  // --- Entry points ---
  // The main window's load: reads the background, sizes the playfield, seeds
  // the attract display and shows the debug window.
  void Startup();
  void MainTick();     // every 25 ms: compose a frame and present it
  void EffectsTick();  // every 20 ms: shake, beam phase, peg re-creation
  void DisplayTick();  // the display timer, never enabled: present again
  void DebugTick();    // every 100 ms: refresh the debug window
  // Samples the playfield cursor into board.MousePosX/Y (low 16 bits), as
  // every main tick does first: during a click, the place it is judged at;
  // while the keyboard cursor shows, its peg where the peg is now; else
  // where the platform says the pointer is.
  void SampleCursor();
  void Click();        // a click on the playfield
  void DoubleClick();  // the second click of a double-click: one more click
  // The left button pressed and released on the playfield at `at` is a
  // click; a double-click is one more click, and the release after it is
  // none. A click is judged where it happened (a tap or a scripted click
  // comes with no move before it): the cursor is sampled there first, and
  // any tick run inside the click samples the same place. Other buttons do
  // nothing; a press shows the mouse in use, as PointerMoved does.
  void Mouse(MouseAction action, bool leftButton, CursorPoint at);
  // The pointer moved over the playfield: the keyboard cursor hides.
  void PointerMoved() { key_cursor_.shown = false; }
  // A key: moves the keyboard cursor, or clicks where it points exactly as
  // a click there would. A key held down (`repeated`) moves the cursor on
  // but clicks only once.
  void Key(KeyCommand command, bool repeated = false);
  // Shows the debug window if it is hidden, hides it otherwise: what a click
  // in the playfield's top-left corner does before it goes on as a click.
  // The front end's key for it calls it alone, for a key is no click.
  void ToggleDebugWindow();
  // The debug window's buttons: Restart!, Move!, Shake! and Quit!.
  void InitGame();
  void RandomizePegs();
  void ShakePegsInit();
  void Die();
  // The look frames are drawn in from the next frame on. The game itself
  // goes on exactly as it would in the other look.
  void SetLook(Look look) { look_ = look; }

  // --- Views ---
  const Board& board() const { return board_; }
  Field field() const { return field_; }
  KeyCursor keyCursor() const { return key_cursor_; }
  Look look() const { return look_; }
  // What happened that a player is told of: games started, links made and
  // refused, selections cancelled.
  const HappeningLog& happenings() const { return happenings_; }
  const PixelArray& BackgroundImage() const { return background_; }
  const PixelArray& FrameImage() const { return frame_; }

  // Replaces the board whole: a prepared position for tests, the fuzz driver
  // and the benchmarks. The images and the playfield size stay as start-up
  // read them.
  void SetBoard(const Board& board) { board_ = board; }

 private:
  Context context() { return {field_, platform_.input, *random_, look_}; }
  void ReDraw();
  void ClearSelection();
  void Confirm();
  void CommitAndCheckLink();
  // A click judged at `at`, which every sample inside it samples too.
  void ClickAt(CursorPoint at, bool doubleClick = false);
  void SetKeyCursor(int peg) { key_cursor_ = {peg, true}; }

  Platform platform_;
  RandomSource* random_;
  // Set once by start-up: the playfield size and the images read with it.
  Field field_;
  PixelArray background_;
  PixelArray frame_;
  Board board_;
  KeyCursor key_cursor_;
  HappeningLog happenings_;
  std::optional<CursorPoint> click_at_;  // while a click runs
  bool pressed_ = false;                 // a left press awaits its release
  bool after_double_click_ = false;      // the next release ends a double-click
  Look look_ = Look::Colours;
};

}  // namespace brindlet
