// Soak: a long stretch of random play on the headless game, watching the
// resident memory. The three timers run in their real proportions (per
// 100 ms: five effects ticks, four main ticks, one debug refresh with the
// debug window open); now and then the player clicks (pairing pegs, empty
// space, the corner), restarts, moves or shakes the pegs.
//
// Usage: brindlet_soak [main ticks = 1000000] [allowed growth in KiB = 1024]
// Prints the resident size after warm-up and at the end and the tick rate;
// exits 1 when the resident size grew by more than the allowed amount.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "game/game.h"
#include "game/platform.h"
#include "game/random.h"
#include "render/fast_drawing.h"

namespace {

using namespace brindlet;

// The window system reduced to what the game needs: yields return at once,
// the debug window keeps the last texts it was given.
class SoakPlatform final : public Platform {
 public:
  SoakPlatform() : pic_bg_(kBackgroundWidth, kBackgroundHeight), pic_output_(kBackgroundWidth, kBackgroundHeight) {}

  void LetEventsRun() override {}
  ScreenPoint CursorPos() override { return cursor_; }
  ScreenPoint ScreenToClient(WindowHandle, ScreenPoint point) override { return point; }
  WindowHandle PicOutputHandle() override { return 1; }
  PictureSurface& PicBG() override { return pic_bg_; }
  PictureSurface& PicOutput() override { return pic_output_; }
  void SizePlayfield(std::int32_t, std::int32_t) override {}
  void HidePicBG() override {}
  bool IsWindowVisible(Window w) override { return w == Window::Debug && debug_visible_; }
  void ShowWindow(Window w) override {
    if (w == Window::Debug) debug_visible_ = true;
  }
  void HideWindow(Window w) override {
    if (w == Window::Debug) debug_visible_ = false;
  }
  void CloseWindow(Window) override {}
  void SetTimerEnabled(Timer, bool) override {}
  void EndProgram() override {}
  void SetDebugStateCaption(std::string_view caption) override { caption_.assign(caption); }
  void SetDebugPegText(std::string_view text) override { text_.assign(text); }

  void SetCursor(std::int32_t x, std::int32_t y) { cursor_ = {x, y}; }

 private:
  MemorySurface pic_bg_;
  MemorySurface pic_output_;
  ScreenPoint cursor_{0, 0};
  bool debug_visible_ = false;
  std::string caption_;
  std::string text_;
};

// Resident set size in KiB, from /proc/self/statm (its second field, in pages).
long ResidentKiB() {
  std::ifstream statm("/proc/self/statm");
  long size = 0;
  long resident = 0;
  statm >> size >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

class Player {
 public:
  Player(Game& game, SoakPlatform& platform) : game_(game), platform_(platform), dice_(0x736F616Bull) {}

  // One 100 ms stretch of the timers, with the player acting now and then.
  void Stretch() {
    for (int slot = 1; slot <= 20; ++slot) {  // 5 ms steps
      const int ms = slot * 5;
      if (ms % 20 == 0) game_.EffectsTick();
      if (ms % 25 == 0) {
        game_.MainTick();
        ++main_ticks_;
        if (pending_click_) {
          // The click uses the cursor this tick sampled.
          pending_click_ = false;
          game_.Click();
          if (Roll(6) == 0) game_.DoubleClick();
        }
        Act();
      }
      if (ms % 100 == 0) game_.DebugTick();
    }
  }

  long main_ticks() const { return main_ticks_; }

 private:
  std::uint32_t Roll(std::uint32_t n) { return static_cast<std::uint32_t>(dice_.NextBits() % n); }

  void Act() {
    const std::uint32_t roll = Roll(10000);
    if (roll < 400) {
      AimAtPeg();
    } else if (roll < 480) {
      platform_.SetCursor(static_cast<std::int32_t>(Roll(1200)) - 80, static_cast<std::int32_t>(Roll(900)) - 60);
      pending_click_ = true;
    } else if (roll < 490) {
      platform_.SetCursor(static_cast<std::int32_t>(Roll(16)), static_cast<std::int32_t>(Roll(16)));
      pending_click_ = true;
    } else if (roll < 496) {
      game_.InitGame();
    } else if (roll < 500) {
      game_.RandomizePegs();
    } else if (roll < 506) {
      game_.ShakePegsInit();
    }
  }

  void AimAtPeg() {
    // Mostly a peg that the current selection can take, so links get made.
    const int total = game_.PegTotal;
    int target = 1 + static_cast<int>(Roll(static_cast<std::uint32_t>(total)));
    const bool pairing = game_.gState == GameState::FirstSelected || game_.gState == GameState::SecondSelected;
    for (int tries = 0; tries < 20 && pairing; ++tries) {
      const Peg& p = game_.Pegs[target];
      if (p.Linked == kFalse && target != game_.FirstPeg && p.Kind == game_.Pegs[game_.FirstPeg].Kind) break;
      target = 1 + static_cast<int>(Roll(static_cast<std::uint32_t>(total)));
    }
    const Peg& p = game_.Pegs[target];
    platform_.SetCursor(static_cast<std::int32_t>(p.X), static_cast<std::int32_t>(p.Y));
    pending_click_ = true;
  }

  Game& game_;
  SoakPlatform& platform_;
  DefaultRandom dice_;
  bool pending_click_ = false;
  long main_ticks_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  const long ticks = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 1000000;
  const long allowedKiB = argc > 2 ? std::strtol(argv[2], nullptr, 10) : 1024;
  const long warmup = std::min<long>(20000, ticks / 10);

  SoakPlatform platform;
  DefaultRandom random;
  Game game(platform, random);
  game.Startup();
  Player player(game, platform);

  while (player.main_ticks() < warmup) player.Stretch();
  const long warmKiB = ResidentKiB();
  const auto start = std::chrono::steady_clock::now();
  const long startTicks = player.main_ticks();
  while (player.main_ticks() < ticks) player.Stretch();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const long endKiB = ResidentKiB();

  int links = 0;
  for (int i = 1; i <= game.PegTotal; ++i) links += game.Pegs[i].Linked == kTrue && game.Pegs[i].Master == kTrue;
  const long measured = player.main_ticks() - startTicks;
  std::printf("main ticks:          %ld (%ld after warm-up)\n", player.main_ticks(), measured);
  std::printf("resident at warm-up: %ld KiB\n", warmKiB);
  std::printf("resident at end:     %ld KiB (%+ld KiB, allowed %ld)\n", endKiB, endKiB - warmKiB, allowedKiB);
  std::printf("rate:                %.0f main ticks/s (with 1.25 effects ticks and 0.25 debug refreshes each), %.1f s\n",
              measured / seconds, seconds);
  std::printf("state at end:        %s, %d standing links\n", StateCaption(game.gState).value_or("?").c_str(), links);
  if (endKiB - warmKiB > allowedKiB) {
    std::printf("FAIL: resident memory grew by more than %ld KiB\n", allowedKiB);
    return 1;
  }
  return 0;
}
