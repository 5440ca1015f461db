// The link check at its heaviest: a new link across the full diagonal and 49
// full-length standing links that cross it without coming near, so every
// walk point meets every sample and nothing stops the walk early. The same
// scene goes through the plain reference walk for comparison.
#include <benchmark/benchmark.h>

#include "bench_support.h"
#include "support/reference_link_check.h"

namespace brindlet::bench {
namespace {

void LinkCheckWorst(benchmark::State& state) {
  BenchScene g;
  if (!BuildLinkCheckScene(g.board, g.game.field(), g.platform)) {
    state.SkipWithError("no placement of the standing links keeps them clear of the new link");
    return;
  }
  LoopClock clock;
  bool result = true;
  for (auto _ : state) {
    result = CheckLinkPath(g.board, g.platform, 1);
    benchmark::DoNotOptimize(result);
  }
  ReportRatio(state, clock);
  if (!result) state.SkipWithError("the new link was refused: the scene is not the intended one");
}

void LinkCheckReference(benchmark::State& state) {
  BenchScene g;
  if (!BuildLinkCheckScene(g.board, g.game.field(), g.platform)) {
    state.SkipWithError("no placement of the standing links keeps them clear of the new link");
    return;
  }
  LoopClock clock;
  bool result = true;
  for (auto _ : state) {
    result = testing::ReferenceCheckLinkPath(g.board.Pegs, g.board.PegTotal, 1);
    benchmark::DoNotOptimize(result);
  }
  ReportRatio(state, clock);
  if (!result) state.SkipWithError("the reference walk refused the new link: the scene is not the intended one");
}

}  // namespace

void RegisterLinkCheckBenchmarks() {
  benchmark::RegisterBenchmark("linkcheck/worst", LinkCheckWorst);
  benchmark::RegisterBenchmark("linkcheck/reference", LinkCheckReference);
}

}  // namespace brindlet::bench
