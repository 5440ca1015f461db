// Playing from the keyboard: which peg a key moves the keyboard cursor to,
// and where a key's click on empty space lands. Plain functions over a
// board, judged from the pegs' positions at the moment a key is pressed
// (pegs move, so nothing here is kept from one key to the next).
#pragma once

#include <optional>

#include "game/model.h"
#include "render/primitives.h"

namespace brindlet {

enum class KeyDirection { Left, Right, Up, Down };

// The peg an arrow key moves to from peg `from`: among the other pegs in
// play that lie in that direction (within 45 degrees either side of it, on
// the screen, y growing downwards), the nearest; on a tie the lowest index.
// A peg at the very same place lies in no direction. `from` itself when no
// peg lies that way, or when `from` is not a peg in play.
int PegInDirection(const Board& board, int from, KeyDirection direction);

// The peg nearest to (x, y), the lowest index on a tie; 0 when none is in play.
int PegNearestTo(const Board& board, double x, double y);

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
