// brindlet_bench_present: the presentation of a frame through the Qt front
// end. The display tick hands the frame to the playfield's picture box
// (converting it to the screen's format on the way), which asks to be
// repainted, and the pending events (that repaint included) run, as at the
// end of every main tick. Runs under the offscreen platform unless
// QT_QPA_PLATFORM names another. The floor runs first, in the same run.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTimer>

#include "bench_support.h"
#include "game/random.h"
#include "ui/main_window.h"

namespace {

brindlet::ui::MainWindow* gWindow = nullptr;

void Present(benchmark::State& state) {
  brindlet::Game& game = gWindow->game();
  brindlet::bench::LoopClock clock;
  for (auto _ : state) {
    game.DisplayTick();
    benchmark::ClobberMemory();
  }
  brindlet::bench::ReportRatio(state, clock);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

  // The program's window, loaded as at start-up, with its timers stopped so
  // that no tick runs inside the measurement; the frame shown is one
  // composed attract frame.
  brindlet::DefaultRandom random;
  brindlet::ui::MainWindow window(random);
  window.Load();
  for (brindlet::Timer timer : {brindlet::Timer::MainLoop, brindlet::Timer::Effects, brindlet::Timer::Debug,
                                brindlet::Timer::Display}) {
    window.SetEnabled(timer, false);
  }
  window.game().MainTick();
  gWindow = &window;

  brindlet::bench::RegisterFloorBenchmark();
  benchmark::RegisterBenchmark("present", Present);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  gWindow = nullptr;
  return 0;
}
