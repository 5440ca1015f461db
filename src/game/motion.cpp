#include <algorithm>
#include <cmath>

#include "game/game.h"

namespace brindlet {
namespace {

// One easing step on one axis: a slightly under-damped approach that leaves
// the axis (and its stored velocity) alone within 0.1 px of the target.
inline void EaseAxis(double& position, double target, double& velocity) {
  if (std::fabs(position - target) > 0.1) {
    velocity = ((target - position) / 5 + velocity) / 1.7;
    position = position + velocity;
  }
}

}  // namespace

void Game::MovePegs() {
  platform_->LetEventsRun();
  if (PegTotal < 1) return;
  const int total = std::min<int>(PegTotal, PegTable::kCapacity);
  for (int i = 1; i <= total; ++i) {
    Peg& peg = Pegs[i];
    EaseAxis(peg.X, peg.TargetX, peg.VelocityX);
    EaseAxis(peg.Y, peg.TargetY, peg.VelocityY);
  }
}

void Game::RandomizePegs() {
  platform_->LetEventsRun();
  const int total = std::clamp<int>(PegTotal, 0, PegTable::kCapacity);
  for (int i = 1; i <= total; ++i) {
    Peg& peg = Pegs[i];
    peg.TargetX = Rnd() * ImageWidth - 10 + 10.25;
    peg.TargetY = Rnd() * ImageHeight - 10 + 10.25;
  }
}

void Game::ShakePegsInit() { ShakeAmplitude = kShakeStart; }

void Game::ShakePegs() {
  const double a = ShakeAmplitude * 0.9;
  const int total = std::clamp<int>(PegTotal, 0, PegTable::kCapacity);
  for (int i = 1; i <= total; ++i) {
    Peg& peg = Pegs[i];
    peg.X = peg.X + (Rnd() * a - a / 2);
    peg.Y = peg.Y + (Rnd() * a - a / 2);
  }
  if (a > 0) ShakeAmplitude = a;
}

}  // namespace brindlet
