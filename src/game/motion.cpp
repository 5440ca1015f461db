#include <cmath>

#include "game/procedures.h"

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

void MovePegs(Board& board, const Context& context) {
  context.events.LetEventsRun();
  const int total = board.Total();
  for (int i = 1; i <= total; ++i) {
    Peg& peg = board.Pegs[i];
    EaseAxis(peg.X, peg.TargetX, peg.VelocityX);
    EaseAxis(peg.Y, peg.TargetY, peg.VelocityY);
  }
}

void RandomizePegs(Board& board, const Context& context) {
  context.events.LetEventsRun();
  const int total = board.Total();
  for (int i = 1; i <= total; ++i) {
    Peg& peg = board.Pegs[i];
    peg.TargetX = context.random.Next() * context.field.width - 10 + 10.25;
    peg.TargetY = context.random.Next() * context.field.height - 10 + 10.25;
  }
}

void ShakePegsInit(Board& board) { board.ShakeAmplitude = kShakeStart; }

void ShakePegs(Board& board, const Context& context) {
  const double a = board.ShakeAmplitude * 0.9;
  const int total = board.Total();
  for (int i = 1; i <= total; ++i) {
    Peg& peg = board.Pegs[i];
    peg.X = peg.X + (context.random.Next() * a - a / 2);
    peg.Y = peg.Y + (context.random.Next() * a - a / 2);
  }
  if (a > 0) board.ShakeAmplitude = a;
}

}  // namespace brindlet
