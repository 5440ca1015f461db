// brindlet_bench_present: the presentation of a frame through the Qt front
// end, whole ("present") and as a main tick makes it ("present/tick"). The
// whole frame is handed to the playfield's picture box as every main tick
// ends: converted to the screen's format on the way into the backing store
// of the playfield's own window and flushed whole; then pending events run.
// Two consecutive attract frames are presented in turn. Runs under the
// offscreen platform, on a screen large enough for the playfield at 1:1,
// unless QT_QPA_PLATFORM names another. The floor runs first, in the same
// run.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include "bench_support.h"
#include "game/random.h"
#include "render/surface.h"
#include "ui/main_window.h"

namespace {

brindlet::ui::MainWindow* gWindow = nullptr;
brindlet::PixelArray gFrames[2];

void Present(benchmark::State& state) {
  const brindlet::Field field = gWindow->game().field();
  brindlet::bench::LoopClock clock;
  int next = 0;
  for (auto _ : state) {
    brindlet::SetImageData2D(gWindow->Playfield(), *gWindow, field.width, field.height, gFrames[next], false);
    // The window lets events run at most once a millisecond; here they run
    // after every presentation, as a tick's last yield lets them.
    QCoreApplication::processEvents();
    next ^= 1;
    benchmark::ClobberMemory();
  }
  brindlet::bench::ReportRatio(state, clock);
}

// One main tick's presentation, as the running program makes it: a frame
// of the attract display is restored and drawn (not timed), then only the
// tiles that changed since the last tick are converted and flushed (timed).
void PresentTick(benchmark::State& state) {
  brindlet::bench::BenchScene scene;
  const brindlet::Field field = scene.game.field();
  brindlet::PictureSurface& playfield = gWindow->Playfield();
  double timed = 0;
  for (auto _ : state) {
    brindlet::bench::ComposeFrame(scene);
    const double start = brindlet::bench::ThreadSeconds();
    brindlet::PresentChanges(playfield, *gWindow, field.width, field.height, scene.frame);
    QCoreApplication::processEvents();
    const double seconds = brindlet::bench::ThreadSeconds() - start;
    timed += seconds;
    state.SetIterationTime(seconds);
    benchmark::ClobberMemory();
  }
  if (state.iterations() > 0 && brindlet::bench::FloorSeconds() > 0) {
    state.counters["ratio"] = timed / static_cast<double>(state.iterations()) / brindlet::bench::FloorSeconds();
  }
}

}  // namespace

int main(int argc, char** argv) {
  QTemporaryDir dir;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    // The offscreen platform's own screen is 800 x 600; one of 1920 x 1080
    // shows the playfield unscaled, as on a desktop.
    QFile config(dir.filePath("screens.json"));
    if (!config.open(QIODevice::WriteOnly)) return 1;
    config.write(R"({"screens": [{"name": "desktop", "x": 0, "y": 0, "width": 1920, "height": 1080, "dpr": 1}]})");
    config.close();
    qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config.fileName()).toUtf8());
  }
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  // The program's window, loaded as at start-up, with its timers stopped so
  // that no tick runs inside the measurement.
  brindlet::DefaultRandom random;
  brindlet::ui::MainWindow window(random);
  window.Load();
  for (brindlet::Timer timer : {brindlet::Timer::MainLoop, brindlet::Timer::Effects, brindlet::Timer::Debug,
                                brindlet::Timer::Display}) {
    window.ticks().SetEnabled(timer, false);
  }
  for (brindlet::PixelArray& frame : gFrames) {
    window.game().EffectsTick();
    window.game().MainTick();
    frame = window.game().FrameImage();
  }
  gWindow = &window;
  brindlet::bench::RegisterFloorBenchmark();
  benchmark::RegisterBenchmark("present", Present);
  benchmark::RegisterBenchmark("present/tick", PresentTick)->UseManualTime();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  gWindow = nullptr;
  return 0;
}
