// Shared pieces of the benchmarks: a headless platform whose yields do
// nothing, the frame-copy floor every other benchmark is measured against,
// and the scenes the frame and link-check benchmarks run on.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>

#include "game/game.h"
#include "game/platform.h"
#include "render/fast_drawing.h"

namespace brindlet::bench {

// A platform with nothing behind it: yields return at once, the cursor stays
// where it is put, windows and timers are ignored.
class HeadlessPlatform final : public Platform {
 public:
  explicit HeadlessPlatform(std::int32_t width = kBackgroundWidth, std::int32_t height = kBackgroundHeight)
      : pic_bg_(width, height), pic_output_(width, height) {}

  void LetEventsRun() override {}
  ScreenPoint CursorPos() override { return cursor_; }
  ScreenPoint ScreenToClient(WindowHandle, ScreenPoint point) override { return point; }
  WindowHandle PicOutputHandle() override { return 1; }
  PictureSurface& PicBG() override { return pic_bg_; }
  PictureSurface& PicOutput() override { return pic_output_; }
  void SizePlayfield(std::int32_t, std::int32_t) override {}
  void HidePicBG() override {}
  bool IsWindowVisible(Window) override { return false; }
  void ShowWindow(Window) override {}
  void HideWindow(Window) override {}
  void CloseWindow(Window) override {}
  void SetTimerEnabled(Timer, bool) override {}
  void EndProgram() override {}
  void SetDebugStateCaption(std::string_view) override {}
  void SetDebugPegText(std::string_view) override {}

  void SetCursor(std::int32_t x, std::int32_t y) { cursor_ = {x, y}; }

 private:
  MemorySurface pic_bg_;
  MemorySurface pic_output_;
  ScreenPoint cursor_{0, 0};
};

// CPU time of the calling thread, in seconds: the clock the benchmark
// library reports as "CPU", so ratios agree with the printed times.
double ThreadSeconds();

// Times one run of a benchmark's loop on the thread's CPU clock.
class LoopClock {
 public:
  LoopClock() : start_(ThreadSeconds()) {}
  // Seconds per iteration of the loop that has just finished.
  double PerIteration(const benchmark::State& state) const;

 private:
  double start_;
};

// The floor: one whole-frame copy of BackgroundImage into FrameImage. The
// floor benchmark records each run; FloorSeconds is the median over its
// final (longest) runs, or a measurement made on the spot when the floor
// benchmark has not run (filtered out).
void RecordFloor(benchmark::IterationCount iterations, double secondsPerCopy);
double FloorSeconds();
// Registers "floor/frame_copy"; register it before the benchmarks that
// report a ratio, so that it runs first.
void RegisterFloorBenchmark();

// Adds the "ratio" counter: this run's time per iteration over the floor.
void ReportRatio(benchmark::State& state, const LoopClock& clock);

// Scenes ----------------------------------------------------------------

// The four playfield corners a peg can take while every dot of a beam
// between opposite corners still passes the primitives' edge test.
inline constexpr double kCornerInset = 1.25;

// A started-up game (attract display, 1026 x 770, the program's own random
// sequence) on a headless platform.
struct BenchGame {
  HeadlessPlatform platform;
  DefaultRandom random;
  Game game{platform, random};
  BenchGame() { game.Startup(); }
};

// Steps 3 to 8 of a main tick, without sampling the cursor and without
// presenting: restore the frame, beams, hover glow, motion, pegs, and in the
// attract display the centre ring and the occasional flight of all pegs.
void ComposeFrame(Game& game);

// What the effects tick does to the beams: the counter runs 0..100 and wraps.
void AdvanceEffects(Game& game);

// The heaviest game scene: 100 pegs in 50 links between opposite corners of
// the playfield (half on each diagonal), two selected pegs, the cursor on a
// peg so that it glows.
void BuildWorstScene(Game& game);

// The heaviest link check: peg 1 linked to peg 2 across the full diagonal,
// and 49 standing links across the other diagonal, each placed so that it
// crosses the new link between two of its samples and none of its samples
// comes near the walk. Returns false if no such placement was found.
bool BuildLinkCheckScene(Game& game);

}  // namespace brindlet::bench
