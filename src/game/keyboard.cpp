#include "game/keyboard.h"

#include <cmath>

#include "game/procedures.h"

namespace brindlet {
namespace {

// The grid that a click on empty space is looked for on, in playfield pixels.
constexpr int kEmptyGridStep = 8;
// A peg may drift a little between the choice and the click: the point
// chosen keeps this much more than the pick radius from every peg.
constexpr double kEmptyMargin = 2.0;

}  // namespace

int PegInDirection(const Board& board, int from, KeyDirection direction) {
  if (!board.IsPeg(from)) return from;
  const double ux = direction == KeyDirection::Left ? -1 : (direction == KeyDirection::Right ? 1 : 0);
  const double uy = direction == KeyDirection::Up ? -1 : (direction == KeyDirection::Down ? 1 : 0);
  const Peg& start = board.Pegs[from];
  const int to = NearestPegTo(board, start.X, start.Y, [&](int i) {
                   // Within the quarter of the plane around the direction: at
                   // least as far along it as across it, and some way along it.
                   const double dx = board.Pegs[i].X - start.X;
                   const double dy = board.Pegs[i].Y - start.Y;
                   const double along = dx * ux + dy * uy;
                   const double across = std::fabs(dx * uy - dy * ux);
                   return i != from && along > 0 && along >= across;
                 }).peg;
  return to == 0 ? from : to;
}

int StepPeg(const Board& board, int from, bool backward) {
  const int total = board.Total();
  if (total == 0) return 0;
  if (!board.IsPeg(from)) return backward ? total : 1;
  if (backward) return from == 1 ? total : from - 1;
  return from == total ? 1 : from + 1;
}

std::optional<EmptyPoint> EmptySpace(const Board& board, Field field) {
  std::optional<EmptyPoint> best;
  double bestDistance = -1;
  for (int y = kEmptyGridStep; y <= field.height - kEmptyGridStep; y += kEmptyGridStep) {
    for (int x = kEmptyGridStep; x <= field.width - kEmptyGridStep; x += kEmptyGridStep) {
      if (x < kCornerSize && y < kCornerSize) continue;
      // Given up on as soon as a peg is no farther than the best point so far.
      const double nearest = NearestPegTo(board, x, y, [](int) { return true; }, bestDistance).distance;
      if (nearest > bestDistance) {
        best = EmptyPoint{x, y};
        bestDistance = nearest;
      }
    }
  }
  if (!best || bestDistance < kPickRadius + kEmptyMargin) return std::nullopt;
  return best;
}

}  // namespace brindlet
