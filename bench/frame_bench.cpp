// The composition of whole frames: the attract display and the heaviest game scene.
#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>

#include "bench_support.h"
#include "render/surface.h"

namespace brindlet::bench {
namespace {

// The attract display after start-up, tick after tick: the run covers
// thousands of ticks, so the flights of all pegs (one tick in a hundred on
// average) are part of the measurement.
void Attract(benchmark::State& state) {
  BenchScene g;
  g.board.MousePosX = static_cast<std::int16_t>(g.game.field().width / 2);
  g.board.MousePosY = static_cast<std::int16_t>(g.game.field().height / 2);
  LoopClock clock;
  for (auto _ : state) {
    ComposeFrame(g);
    benchmark::ClobberMemory();
  }
  ReportRatio(state, clock);
}

void Worst(benchmark::State& state) {
  BenchScene g;
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
void AttractAfterIdle(benchmark::State& state) {
  BenchScene g;
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

}  // namespace

void RegisterFrameBenchmarks() {
  benchmark::RegisterBenchmark("frame/attract", Attract);
  benchmark::RegisterBenchmark("frame/worst", Worst);
  benchmark::RegisterBenchmark("tick/attract_after_idle", AttractAfterIdle)->Iterations(400);
}

}  // namespace brindlet::bench
