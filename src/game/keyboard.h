// Playing from the keyboard and the mouse: what a key does (the keyboard
// cursor's peg, its moves, the click a key stands for) and how presses and
// releases of the mouse become clicks. The game interprets both through its
// entry points Game::Key and Game::Mouse; the front end only names the key
// or the button. Judged from the pegs' places at the moment of the key
// (pegs move, so nothing here is kept from one key to the next).
#pragma once

#include <cmath>
#include <limits>
#include <optional>

#include "game/model.h"
#include "render/primitives.h"

namespace brindlet {

// What a key asks of the game.
enum class KeyCommand {
  Left,      // the keyboard cursor to the nearest peg that way
  Right,
  Up,
  Down,
  Next,      // the next peg by index, wrapping round
  Previous,  // the previous one
  Press,     // a click where the keyboard cursor is
  Empty,     // a click on empty space: confirms a link or cancels a selection
};

// The keyboard cursor: the peg the keys are on (0 for none) and whether its
// ring shows. The mouse in use hides it; a key shows it again.
struct KeyCursor {
  int peg = 0;
  bool shown = false;
  friend bool operator==(const KeyCursor&, const KeyCursor&) = default;
};

enum class MouseAction { Press, Release, DoubleClick };

// The peg nearest to (x, y) among those in play that `eligible(index)`
// accepts, by straight-line distance; the lowest index on a tie. The search
// stops at the first peg no farther than `enough`. Peg 0 and an infinite
// distance when none is eligible.
struct PegDistance {
  int peg = 0;
  double distance = std::numeric_limits<double>::infinity();
};
template <typename Eligible>
PegDistance NearestPegTo(const Board& board, double x, double y, Eligible eligible, double enough = -1) {
  PegDistance nearest;
  for (int i = 1; i <= board.Total() && nearest.distance > enough; ++i) {
    if (!eligible(i)) continue;
    const double distance = std::hypot(board.Pegs[i].X - x, board.Pegs[i].Y - y);
    if (distance < nearest.distance) nearest = {i, distance};  // strictly nearer: a tie keeps the lower index
  }
  return nearest;
}
// Any peg in play.
inline int PegNearestTo(const Board& board, double x, double y) {
  return NearestPegTo(board, x, y, [](int) { return true; }).peg;
}

enum class KeyDirection { Left, Right, Up, Down };

// The peg an arrow key moves to from peg `from`: among the other pegs in
// play that lie in that direction (within 45 degrees either side of it, on
// the screen, y growing downwards), the nearest; on a tie the lowest index.
// A peg at the very same place lies in no direction. `from` itself when no
// peg lies that way, or when `from` is not a peg in play.
int PegInDirection(const Board& board, int from, KeyDirection direction);

// Tab's order, by peg index, wrapping round: the peg after `from` (before it
// when `backward`). From no peg (or one no longer in play) forward starts at
// the first peg and backward at the last; 0 when no peg is in play.
int StepPeg(const Board& board, int from, bool backward);

// A place to click that hits no peg: the point of a coarse grid over the
// playfield that lies farthest from every peg, outside the top-left corner
// that shows and hides the debug window. Nothing when even that point has a
// peg within the pick radius (or the playfield is too small for a grid).
struct EmptyPoint {
  int x = 0;
  int y = 0;
};
std::optional<EmptyPoint> EmptySpace(const Board& board, Field field);

}  // namespace brindlet
