// The composition of whole frames: the attract display and the heaviest game scene.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <span>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "bench_support.h"
#include "render/scale.h"
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
void TickAfterIdle(benchmark::State& state, BenchScene& g, PictureSurface& playfield) {
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

void AttractAfterIdle(benchmark::State& state, Look look) {
  BenchScene g;
  g.look = look;
  MemorySurface playfield(g.game.field().width, g.game.field().height);
  TickAfterIdle(state, g, playfield);
}

// The playfield shown on a screen of `width` x `height` pixels: its picture
// in memory, and the screen pixels that each presentation scales its bands
// into as it writes them, as the window's store is written; or, `after`,
// that are scaled once the whole change is written, each band's run of
// touching reaches at once.
class ScaledSurface final : public MemorySurface {
 public:
  ScaledSurface(std::int32_t pictureWidth, std::int32_t pictureHeight, std::int32_t width, std::int32_t height,
                bool after)
      : MemorySurface(pictureWidth, pictureHeight), screen_(static_cast<std::size_t>(width) * height), after_(after) {
    scaler_.SetSizes(pictureWidth, pictureHeight, width, height);
  }
  ScaledScreen ScreenToScale() override {
    return after_ ? ScaledScreen{} : ScaledScreen{&scaler_, screen_.data(), scaler_.ToWidth()};
  }
  void Changed(std::span<const PixelRect> areas) override {
    if (!after_) return;
    PixelRect pending;
    for (const PixelRect& area : areas) {
      const PixelRect reach = scaler_.Reach(area);
      if (!pending.Empty() && reach.top == pending.top && reach.left <= pending.right) {
        pending.right = std::max(pending.right, reach.right);
        continue;
      }
      Scale(pending);
      pending = reach;
    }
    Scale(pending);
  }

 private:
  void Scale(const PixelRect& area) {
    scaler_.Scale(Line(Height() - 1), -Lines().up, screen_.data(), scaler_.ToWidth(), area);
  }

  PictureScaler scaler_;
  std::vector<std::uint32_t> screen_;
  bool after_;
};

void ScaledAfterIdle(benchmark::State& state, std::int32_t width, std::int32_t height, bool after) {
  BenchScene g;
  ScaledSurface playfield(g.game.field().width, g.game.field().height, width, height, after);
  TickAfterIdle(state, g, playfield);
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
  // The same tick shown scaled: on a 4K screen at 200 % and at 150 %, on a
  // 1280 x 720 screen (shrunk to fit) and in a window sized 1916 x 997.
  const struct {
    const char* name;
    std::int32_t width;
    std::int32_t height;
  } screens[] = {{"tick/attract_after_idle/2052x1540", 2052, 1540},
                 {"tick/attract_after_idle/1539x1155", 1539, 1155},
                 {"tick/attract_after_idle/855x642", 855, 642},
                 {"tick/attract_after_idle/1328x997", 1328, 997}};
  // Cases ending in "_after" scale each change once it is written.
  for (const auto& screen : screens) {
    for (const bool after : {false, true}) {
      benchmark::RegisterBenchmark((std::string(screen.name) + (after ? "_after" : "")).c_str(), ScaledAfterIdle,
                                   screen.width, screen.height, after)
          ->Iterations(200);
    }
  }
}

}  // namespace brindlet::bench
