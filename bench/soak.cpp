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
#include "game/random.h"
#include "headless/headless_platform.h"

namespace {

using namespace brindlet;

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
  Player(Game& game, HeadlessPlatform& platform) : game_(game), platform_(platform), dice_(0x736F616Bull) {}

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
      platform_.cursor = {static_cast<std::int32_t>(Roll(1200)) - 80, static_cast<std::int32_t>(Roll(900)) - 60};
      pending_click_ = true;
    } else if (roll < 490) {
      platform_.cursor = {static_cast<std::int32_t>(Roll(16)), static_cast<std::int32_t>(Roll(16))};
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
    const Board& board = game_.board();
    const int total = board.Total();
    int target = 1 + static_cast<int>(Roll(static_cast<std::uint32_t>(total)));
    const bool pairing = board.gState == GameState::FirstSelected || board.gState == GameState::SecondSelected;
    for (int tries = 0; tries < 20 && pairing && PegTable::InTable(board.FirstPeg); ++tries) {
      const Peg& p = board.Pegs[target];
      if (!p.Linked && target != board.FirstPeg && p.Kind == board.Pegs[board.FirstPeg].Kind) break;
      target = 1 + static_cast<int>(Roll(static_cast<std::uint32_t>(total)));
    }
    const Peg& p = board.Pegs[target];
    platform_.cursor = {static_cast<std::int32_t>(p.X), static_cast<std::int32_t>(p.Y)};
    pending_click_ = true;
  }

  Game& game_;
  HeadlessPlatform& platform_;
  DefaultRandom dice_;
  bool pending_click_ = false;
  long main_ticks_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  const long ticks = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 1000000;
  const long allowedKiB = argc > 2 ? std::strtol(argv[2], nullptr, 10) : 1024;
  const long warmup = std::min<long>(20000, ticks / 10);

  HeadlessPlatform platform;
  DefaultRandom random;
  Game game(platform.Roles(), random);
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
  const Board& board = game.board();
  for (int i = 1; i <= board.Total(); ++i) links += board.Pegs[i].Linked && board.Pegs[i].Master;
  const long measured = player.main_ticks() - startTicks;
  std::printf("main ticks:          %ld (%ld after warm-up)\n", player.main_ticks(), measured);
  std::printf("resident at warm-up: %ld KiB\n", warmKiB);
  std::printf("resident at end:     %ld KiB (%+ld KiB, allowed %ld)\n", endKiB, endKiB - warmKiB, allowedKiB);
  std::printf("rate:                %.0f main ticks/s (with 1.25 effects ticks and 0.25 debug refreshes each), %.1f s\n",
              measured / seconds, seconds);
  std::printf("state at end:        %s, %d standing links\n", StateCaption(board.gState).value_or("?").c_str(), links);
  if (endKiB - warmKiB > allowedKiB) {
    std::printf("FAIL: resident memory grew by more than %ld KiB\n", allowedKiB);
    return 1;
  }
  return 0;
}
