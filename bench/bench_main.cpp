// brindlet_bench: the floor first, so that every later benchmark can report
// its time as a ratio to it, then the primitives, frames and link checks.
#include <benchmark/benchmark.h>

#include "bench_support.h"

namespace brindlet::bench {
void RegisterPrimitiveBenchmarks();
void RegisterFrameBenchmarks();
void RegisterLinkCheckBenchmarks();
}  // namespace brindlet::bench

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  brindlet::bench::RegisterFloorBenchmark();
  brindlet::bench::RegisterPrimitiveBenchmarks();
  brindlet::bench::RegisterFrameBenchmarks();
  brindlet::bench::RegisterLinkCheckBenchmarks();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
