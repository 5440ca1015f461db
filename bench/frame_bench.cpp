// The composition of whole frames: the attract display and the heaviest game scene.
#include <benchmark/benchmark.h>

#include "bench_support.h"

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

}  // namespace

void RegisterFrameBenchmarks() {
  benchmark::RegisterBenchmark("frame/attract", Attract);
  benchmark::RegisterBenchmark("frame/worst", Worst);
}

}  // namespace brindlet::bench
