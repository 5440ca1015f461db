// Shared pieces of the benchmarks: the frame-copy floor every other
// benchmark is measured against, and the scenes the frame and link-check
// benchmarks run on, on the headless platform (whose yields do nothing).
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>

#include "game/game.h"
#include "game/procedures.h"
#include "headless/headless_platform.h"

namespace brindlet::bench {

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
// sequence) on the headless platform, and a copy of its board and images
// that the benchmarks compose frames from.
struct BenchScene {
  HeadlessPlatform platform;
  DefaultRandom random;
  Game game{platform.Roles(), random};
  Board board;
  PixelArray background;
  PixelArray frame;
  Look look = Look::Colours;

  BenchScene() {
    game.Startup();
    board = game.board();
    background = game.BackgroundImage();
    frame = game.FrameImage();
  }
  Context context() { return {game.field(), platform, random, look}; }
};

// Steps 3 to 8 of a main tick, without sampling the cursor and without
// presenting: restore the frame, beams, hover glow, motion, pegs, and in the
// attract display the centre ring and the occasional flight of all pegs;
// then what the effects tick does to the beams (the counter runs 0..100).
void ComposeFrame(BenchScene& scene);

// The heaviest game scene: 100 pegs in 50 links between opposite corners of
// the playfield (half on each diagonal), two selected pegs, the cursor on a
// peg so that it glows.
void BuildWorstScene(Board& board, Field field);

// The heaviest link check: peg 1 linked to peg 2 across the full diagonal,
// and 49 standing links across the other diagonal, each placed so that it
// crosses the new link between two of its samples and none of its samples
// comes near the walk. Returns false if no such placement was found.
bool BuildLinkCheckScene(Board& board, Field field, EventPump& events);

}  // namespace brindlet::bench
