#include "bench_support.h"

#include <algorithm>
#include <ctime>
#include <utility>
#include <vector>

namespace brindlet::bench {
namespace {

// Final runs of the floor benchmark: (iterations, seconds per copy).
std::vector<std::pair<benchmark::IterationCount, double>>& FloorRuns() {
  static std::vector<std::pair<benchmark::IterationCount, double>> runs;
  return runs;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t mid = values.size() / 2;
  return values.size() % 2 == 1 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

// The floor measured directly: median of a few batches of whole-frame copies.
double MeasureFloorNow() {
  BenchScene g;
  std::vector<double> batches;
  constexpr int kCopies = 200;
  for (int batch = 0; batch < 7; ++batch) {
    const double start = ThreadSeconds();
    for (int i = 0; i < kCopies; ++i) {
      g.frame.CopyFrom(g.background);
      benchmark::ClobberMemory();
    }
    batches.push_back((ThreadSeconds() - start) / kCopies);
  }
  return Median(batches);
}

}  // namespace

double ThreadSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

double LoopClock::PerIteration(const benchmark::State& state) const {
  const double elapsed = ThreadSeconds() - start_;
  return state.iterations() > 0 ? elapsed / static_cast<double>(state.iterations()) : 0;
}

void RecordFloor(benchmark::IterationCount iterations, double secondsPerCopy) {
  FloorRuns().emplace_back(iterations, secondsPerCopy);
}

double FloorSeconds() {
  static double measured = 0;
  const auto& runs = FloorRuns();
  if (runs.empty()) {
    // The floor benchmark was filtered out: measure it once here instead.
    if (measured == 0) measured = MeasureFloorNow();
    return measured;
  }
  // The library first runs a benchmark with growing iteration counts to find
  // how many to time; only the runs with the final count are measurements.
  benchmark::IterationCount longest = 0;
  for (const auto& run : runs) longest = std::max(longest, run.first);
  std::vector<double> finals;
  for (const auto& run : runs) {
    if (run.first == longest) finals.push_back(run.second);
  }
  return Median(finals);
}

namespace {

// One whole-frame copy of BackgroundImage into FrameImage: what every main
// tick does first, and the unit every other benchmark is measured in.
void FrameCopy(benchmark::State& state) {
  BenchScene g;
  LoopClock clock;
  for (auto _ : state) {
    g.frame.CopyFrom(g.background);
    benchmark::ClobberMemory();
  }
  RecordFloor(state.iterations(), clock.PerIteration(state));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(g.background.Bytes().size()));
}

}  // namespace

void RegisterFloorBenchmark() { benchmark::RegisterBenchmark("floor/frame_copy", FrameCopy); }

void ReportRatio(benchmark::State& state, const LoopClock& clock) {
  const double perIteration = clock.PerIteration(state);
  const double floor = FloorSeconds();
  if (floor > 0) state.counters["ratio"] = perIteration / floor;
}

void ComposeFrame(BenchScene& scene) {
  Board& board = scene.board;
  const Context context = scene.context();
  scene.frame.RestoreFrom(scene.background);
  DrawLinks(board, context, scene.frame);
  UpdateHoverGlow(board, context.events);
  MovePegs(board, context);
  DrawPegs(board, context, scene.frame);
  if (board.gState == GameState::Startup) {
    DrawGlowRing(context, scene.frame, context.field.width / 2.0, context.field.height / 2.0, kGlowRingRadius,
                 kGlowRingColour);
    if (context.random.Next() * 100 > 99) RandomizePegs(board, context);
  }
  board.EffectsCounter = board.EffectsCounter + 1;
  if (board.EffectsCounter > 100) board.EffectsCounter = 0;
}

namespace {

void PlacePeg(Peg& peg, double x, double y, std::int16_t kind) {
  peg = Peg{};
  peg.X = peg.TargetX = x;
  peg.Y = peg.TargetY = y;
  peg.Kind = kind;
  peg.Colour = kind == 0 ? DrawColour{230, 30, 20, 240} : DrawColour{25, 30, 235, 240};
}

void Link(PegTable& pegs, int master, int target) {
  pegs[master].Linked = true;
  pegs[master].Master = true;
  pegs[master].LinkTarget = static_cast<std::int16_t>(target);
  pegs[target].Linked = true;
  pegs[target].Master = false;
}

}  // namespace

void BuildWorstScene(Board& board, Field field) {
  const double left = kCornerInset;
  const double top = kCornerInset;
  const double right = field.width - kCornerInset;
  const double bottom = field.height - kCornerInset;
  PegTable& pegs = board.Pegs;
  board.PegTotal = kDefaultPegTotal;
  board.PegCount = board.PegTotal;
  for (int k = 0; k < 50; ++k) {
    const int master = k + 1;
    const int target = k + 51;
    const auto kind = static_cast<std::int16_t>(k % 2);
    if (k % 2 == 0) {
      PlacePeg(pegs[master], left, top, kind);
      PlacePeg(pegs[target], right, bottom, kind);
    } else {
      PlacePeg(pegs[master], left, bottom, kind);
      PlacePeg(pegs[target], right, top, kind);
    }
    Link(pegs, master, target);
  }
  // A pair on show: the first selected peg is a link's source (white rings),
  // the second is not (green rings).
  board.FirstPeg = 1;
  board.SecondPeg = 52;
  pegs[1].Selected = true;
  pegs[52].Selected = true;
  board.gState = GameState::SecondSelected;
  // The cursor rests on peg 1, which glows at its settled brightness.
  board.MousePosX = 1;
  board.MousePosY = 1;
  pegs[1].Glow = 237;
}

bool BuildLinkCheckScene(Board& board, Field field, EventPump& events) {
  const double left = kCornerInset;
  const double top = kCornerInset;
  const double right = field.width - kCornerInset;
  const double bottom = field.height - kCornerInset;
  PegTable& pegs = board.Pegs;
  board.PegTotal = kDefaultPegTotal;
  board.PegCount = board.PegTotal;
  board.gState = GameState::Idle;
  for (int i = 1; i <= board.PegTotal; ++i) PlacePeg(pegs[i], left, top, 0);

  // The new link, committed as a confirmed pair is before it is checked.
  PlacePeg(pegs[1], left, top, 0);
  PlacePeg(pegs[2], right, bottom, 0);
  Link(pegs, 1, 2);
  const DrawColour colourA = pegs[1].Colour;
  const DrawColour colourB = pegs[2].Colour;

  // Each standing link runs between the other two corners; its source is
  // moved along the edge in small steps until the crossing falls between two
  // samples far enough from the walk. Only the candidate is linked while it
  // is tried.
  for (int j = 0; j < 49; ++j) {
    const int master = 3 + j;
    const int target = 52 + j;
    bool placed = false;
    for (int attempt = 0; attempt < 400 && !placed; ++attempt) {
      const double shift = 0.37 * j + 0.05 * attempt;
      const double x = left + (shift - 6.0 * static_cast<int>(shift / 6.0));
      PlacePeg(pegs[master], x, bottom, 0);
      PlacePeg(pegs[target], right, top, 0);
      Link(pegs, master, target);
      if (CheckLinkPath(board, events, 1)) {
        placed = true;
      } else {
        pegs[1].Colour = colourA;
        pegs[2].Colour = colourB;
      }
      pegs[master].Linked = false;
      pegs[target].Linked = false;
    }
    if (!placed) return false;
  }
  for (int j = 0; j < 49; ++j) Link(pegs, 3 + j, 52 + j);
  return true;
}

}  // namespace brindlet::bench
