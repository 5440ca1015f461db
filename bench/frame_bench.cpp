// The composition of whole frames: the attract display and the heaviest game scene.
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <thread>
#include <utility>

#include "bench_support.h"
#include "render/surface.h"

namespace brindlet::bench {
namespace {

// The attract display after start-up, tick after tick: the run covers
// thousands of ticks, so the flights of all pegs (one tick in a hundred on
// average) are part of the measurement.
void Attract(benchmark::State& state, Look look) {
  BenchScene g;
  g.look = look;
  g.board.MousePosX = static_cast<std::int16_t>(g.game.field().width / 2);
  g.board.MousePosY = static_cast<std::int16_t>(g.game.field().height / 2);
  LoopClock clock;
  for (auto _ : state) {
    ComposeFrame(g);
    benchmark::ClobberMemory();
  }
  ReportRatio(state, clock);
}

void Worst(benchmark::State& state, Look look) {
  BenchScene g;
  g.look = look;
  BuildWorstScene(g.board, g.game.field());
  LoopClock clock;
  for (auto _ : state) {
    ComposeFrame(g);
    benchmark::ClobberMemory();
  }
  ReportRatio(state, clock);
}

// A whole main tick of the attract display as the running program meets it:
// 23 ms idle (not timed) before each composition and presentation, in which
// the caches forget the pictures. Compare with frame/attract, which runs
// tick after tick on warm caches.
void AttractAfterIdle(benchmark::State& state, Look look) {
  BenchScene g;
  g.look = look;
  MemorySurface playfield(g.game.field().width, g.game.field().height);
  LoopClock clock;
  for (auto _ : state) {
    state.PauseTiming();
    std::this_thread::sleep_for(std::chrono::milliseconds(23));
    state.ResumeTiming();
    ComposeFrame(g);
    PresentChanges(playfield, g.platform, g.game.field().width, g.game.field().height, g.frame);
    benchmark::ClobberMemory();
  }
  ReportRatio(state, clock);
}

// A whole main tick of the heaviest scene through the game: drawn and
// presented to a playfield in memory, or unseen, where every random number
// is drawn and every peg field updated but no pixel put anywhere.
void WorstTick(benchmark::State& state, bool seen) {
  BenchScene g;
  BuildWorstScene(g.board, g.game.field());
  g.game.SetBoard(g.board);
  g.platform.cursor = {g.board.MousePosX, g.board.MousePosY};
  g.game.SetSeen(seen);
  LoopClock clock;
  for (auto _ : state) {
    g.game.MainTick();
    benchmark::ClobberMemory();
  }
  ReportRatio(state, clock);
}

}  // namespace

// Each scene in both looks; the shapes look's cases end in "_shapes".
void RegisterFrameBenchmarks() {
  for (const auto& [suffix, look] : {std::pair{"", Look::Colours}, std::pair{"_shapes", Look::Shapes}}) {
    const std::string s = suffix;
    benchmark::RegisterBenchmark(("frame/attract" + s).c_str(), Attract, look);
    benchmark::RegisterBenchmark(("frame/worst" + s).c_str(), Worst, look);
    benchmark::RegisterBenchmark(("tick/attract_after_idle" + s).c_str(), AttractAfterIdle, look)->Iterations(400);
  }
  benchmark::RegisterBenchmark("tick/worst", WorstTick, true);
  benchmark::RegisterBenchmark("tick/worst_unseen", WorstTick, false);
}

}  // namespace brindlet::bench
