// The game: one object that owns a game's state and the two frame images, and
// the entry points through which the front end drives it.
//
// The state is private. The front end calls the entry points (start-up, the
// timer ticks, clicks and the debug window's buttons); anyone may read the
// state through the views. Everything runs on one thread; an entry point that
// lets events run can have others run inside it.
#pragma once

#include "game/model.h"
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
  // every main tick does first. The front end calls it before Click and
  // DoubleClick too, so that a click is judged where it happened even when
  // no tick ran since the pointer got there (a tap, a tablet, a scripted
  // click); a pointer that rested samples what the last tick sampled.
  void SampleCursor();
  void Click();        // a click on the playfield
  void DoubleClick();  // the second click of a double-click: one more click
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
  Look look() const { return look_; }
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

  Platform platform_;
  RandomSource* random_;
  // Set once by start-up: the playfield size and the images read with it.
  Field field_;
  PixelArray background_;
  PixelArray frame_;
  Board board_;
  Look look_ = Look::Colours;
};

}  // namespace brindlet
