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
  BenchGame g;
  std::vector<double> batches;
  constexpr int kCopies = 200;
  for (int batch = 0; batch < 7; ++batch) {
    const double start = ThreadSeconds();
    for (int i = 0; i < kCopies; ++i) {
      g.game.FrameImage.CopyFrom(g.game.BackgroundImage);
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
  BenchGame g;
  LoopClock clock;
  for (auto _ : state) {
    g.game.FrameImage.CopyFrom(g.game.BackgroundImage);
    benchmark::ClobberMemory();
  }
  RecordFloor(state.iterations(), clock.PerIteration(state));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(g.game.BackgroundImage.Bytes().size()));
}

}  // namespace

void RegisterFloorBenchmark() { benchmark::RegisterBenchmark("floor/frame_copy", FrameCopy); }

void ReportRatio(benchmark::State& state, const LoopClock& clock) {
  const double perIteration = clock.PerIteration(state);
  const double floor = FloorSeconds();
  if (floor > 0) state.counters["ratio"] = perIteration / floor;
}

void ComposeFrame(Game& game) {
  game.FrameImage.CopyFrom(game.BackgroundImage);
  game.DrawLinks();
  game.UpdateHoverGlow();
  game.MovePegs();
  game.DrawPegs();
  if (game.gState == GameState::Startup) {
    game.DrawGlowRing(game.ImageWidth / 2.0, game.ImageHeight / 2.0, kGlowRingRadius, kGlowRingColour);
    if (game.random().Next() * 100 > 99) game.RandomizePegs();
  }
}

void AdvanceEffects(Game& game) {
  game.EffectsCounter = game.EffectsCounter + 1;
  if (game.EffectsCounter > 100) game.EffectsCounter = 0;
}

namespace {

void PlacePeg(Peg& peg, double x, double y, std::int16_t kind) {
  peg.X = peg.TargetX = x;
  peg.Y = peg.TargetY = y;
  peg.VelocityX = peg.VelocityY = 0;
  peg.Kind = kind;
  peg.Colour = kind == 0 ? DrawColour{230, 30, 20, 240} : DrawColour{25, 30, 235, 240};
  peg.Linked = kFalse;
  peg.Master = kFalse;
  peg.LinkTarget = 0;
  peg.Selected = kFalse;
  peg.Glow = 0;
  peg.LinkEffectTimer = 0;
  peg.LinkEffectStep = 0;
}

void Link(Game& game, int master, int target) {
  game.Pegs[master].Linked = kTrue;
  game.Pegs[master].Master = kTrue;
  game.Pegs[master].LinkTarget = static_cast<std::int16_t>(target);
  game.Pegs[target].Linked = kTrue;
  game.Pegs[target].Master = kFalse;
}

}  // namespace

void BuildWorstScene(Game& game) {
  const double left = kCornerInset;
  const double top = kCornerInset;
  const double right = game.ImageWidth - kCornerInset;
  const double bottom = game.ImageHeight - kCornerInset;
  game.PegTotal = kDefaultPegTotal;
  game.PegCount = game.PegTotal;
  for (int k = 0; k < 50; ++k) {
    const int master = k + 1;
    const int target = k + 51;
    const auto kind = static_cast<std::int16_t>(k % 2);
    if (k % 2 == 0) {
      PlacePeg(game.Pegs[master], left, top, kind);
      PlacePeg(game.Pegs[target], right, bottom, kind);
    } else {
      PlacePeg(game.Pegs[master], left, bottom, kind);
      PlacePeg(game.Pegs[target], right, top, kind);
    }
    Link(game, master, target);
  }
  // A pair on show: the first selected peg is a link's source (white rings),
  // the second is not (green rings).
  game.FirstPeg = 1;
  game.SecondPeg = 52;
  game.Pegs[1].Selected = kTrue;
  game.Pegs[52].Selected = kTrue;
  game.gState = GameState::SecondSelected;
  // The cursor rests on peg 1, which glows at its settled brightness.
  game.MousePosX = 1;
  game.MousePosY = 1;
  game.Pegs[1].Glow = 237;
}

bool BuildLinkCheckScene(Game& game) {
  const double left = kCornerInset;
  const double top = kCornerInset;
  const double right = game.ImageWidth - kCornerInset;
  const double bottom = game.ImageHeight - kCornerInset;
  game.PegTotal = kDefaultPegTotal;
  game.PegCount = game.PegTotal;
  game.gState = GameState::Idle;
  for (int i = 1; i <= game.PegTotal; ++i) PlacePeg(game.Pegs[i], left, top, 0);

  // The new link, committed as a confirmed pair is before it is checked.
  PlacePeg(game.Pegs[1], left, top, 0);
  PlacePeg(game.Pegs[2], right, bottom, 0);
  Link(game, 1, 2);
  const DrawColour colourA = game.Pegs[1].Colour;
  const DrawColour colourB = game.Pegs[2].Colour;

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
      PlacePeg(game.Pegs[master], x, bottom, 0);
      PlacePeg(game.Pegs[target], right, top, 0);
      Link(game, master, target);
      if (game.CheckLinkPath(1) == 1) {
        placed = true;
      } else {
        game.Pegs[1].Colour = colourA;
        game.Pegs[2].Colour = colourB;
      }
      game.Pegs[master].Linked = kFalse;
      game.Pegs[target].Linked = kFalse;
    }
    if (!placed) return false;
  }
  for (int j = 0; j < 49; ++j) Link(game, 3 + j, 52 + j);
  return true;
}

}  // namespace brindlet::bench
