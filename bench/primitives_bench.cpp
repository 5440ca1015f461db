// The drawing primitives on their own: soft dots per second, one ring of
// radius 40 (the size of the centre ring) and one beam 1000 px long.
#include <benchmark/benchmark.h>

#include <vector>

#include "bench_support.h"
#include "render/primitives.h"

namespace brindlet::bench {
namespace {

struct Point {
  double x;
  double y;
};

// Dot positions spread over the whole playfield with varied fractions, so the
// dots fall on different pixels and cover every offset of the 3 x 3 weights.
std::vector<Point> SpreadPoints(Field field, int count) {
  std::vector<Point> points;
  points.reserve(static_cast<std::size_t>(count));
  DefaultRandom random;
  for (int i = 0; i < count; ++i) {
    points.push_back({2 + random.Next() * (field.width - 4), 2 + random.Next() * (field.height - 4)});
  }
  return points;
}

void SoftPoint(benchmark::State& state) {
  BenchScene g;
  const Field field = g.game.field();
  const std::vector<Point> points = SpreadPoints(field, 4096);
  const DrawColour colour{230, 40, 20, 200};
  LoopClock clock;
  for (auto _ : state) {
    for (const Point& p : points) PlotSoftPoint(g.frame, field, p.x, p.y, colour);
    benchmark::ClobberMemory();
  }
  ReportRatio(state, clock);
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(points.size()));
}

void Circle(benchmark::State& state) {
  BenchScene g;
  const Field field = g.game.field();
  const double cx = field.width / 2.0;
  const double cy = field.height / 2.0;
  LoopClock clock;
  for (auto _ : state) {
    PlotCircle(g.frame, field, g.platform, cx, cy, 40.0, kGlowRingColour);
    benchmark::ClobberMemory();
  }
  ReportRatio(state, clock);
}

void Beam(benchmark::State& state) {
  BenchScene g;
  const DrawColour colour{200, 0, 60, 220};
  LoopClock clock;
  for (auto _ : state) {
    // 800 x 600: 1000 px, 250 dots.
    PlotBeam(g.frame, g.game.field(), g.platform, 100, 100, 900, 700, colour, 40, 37);
    benchmark::ClobberMemory();
  }
  ReportRatio(state, clock);
}

}  // namespace

void RegisterPrimitiveBenchmarks() {
  benchmark::RegisterBenchmark("primitives/soft_point", SoftPoint);
  benchmark::RegisterBenchmark("primitives/circle_r40", Circle);
  benchmark::RegisterBenchmark("primitives/beam_1000px", Beam);
}

}  // namespace brindlet::bench
