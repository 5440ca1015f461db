// Shared pieces of the game tests: a random source that hands out scripted
// draws, and a game started up on the headless platform.
#pragma once

#include <deque>
#include <stdexcept>
#include <string>

#include "game/game.h"
#include "game/random.h"
#include "headless/headless_platform.h"

namespace brindlet::testing {

// Hands out exactly the draws a test scripts; running dry is a test failure
// (thrown, so the test names the over-draw instead of reading garbage),
// unless a fallback value was set. Before any draw is scripted it can pass
// draws through from another source, so a game can start up on the
// program's own sequence and then run on scripted draws.
class ScriptedRandom final : public RandomSource {
 public:
  ScriptedRandom() = default;
  ScriptedRandom(std::initializer_list<double> draws) : draws_(draws) {}

  void Push(std::initializer_list<double> values) { draws_.insert(draws_.end(), values); }
  void PushRepeated(double value, int count) { draws_.insert(draws_.end(), count, value); }
  void SetFallback(double value) {
    fallback_ = value;
    has_fallback_ = true;
  }
  void PassThrough(RandomSource* source) { pass_through_ = source; }

  double Next() override {
    ++taken_;
    if (pass_through_ != nullptr) return pass_through_->Next();
    if (draws_.empty()) {
      if (has_fallback_) return fallback_;
      throw std::logic_error("ScriptedRandom: more draws taken than scripted (draw #" + std::to_string(taken_) + ")");
    }
    const double value = draws_.front();
    draws_.pop_front();
    return value;
  }

  std::size_t remaining() const { return draws_.size(); }
  long taken() const { return taken_; }

 private:
  std::deque<double> draws_;
  double fallback_ = 0;
  bool has_fallback_ = false;
  RandomSource* pass_through_ = nullptr;
  long taken_ = 0;
};

// A game on the headless platform at the program's playfield size, started
// up as the program starts (the attract display seeded from the program's
// own generator) and then drawing from `random`, the test's scripted source.
struct GameFixture {
  HeadlessPlatform platform;
  DefaultRandom program_random;
  ScriptedRandom random;
  Game game{platform.Roles(), random};

  explicit GameFixture(bool startup = true) {
    random.PassThrough(&program_random);
    if (startup) game.Startup();
    random.PassThrough(nullptr);
  }

  // The game's board, changed by `edit`, set back on the game.
  template <typename Edit>
  void Change(Edit edit) {
    Board board = game.board();
    edit(board);
    game.SetBoard(board);
  }
};

}  // namespace brindlet::testing
