// The peg model: colours, peg records, the peg table and the game states.
#pragma once

#include <array>
#include <cstdint>

#include "game/numeric.h"

namespace brindlet {

// A colour and its weight against the pixels beneath: four signed 16-bit
// integers, each 0..255. Copied whole when one peg takes another's colour.
struct DrawColour {
  std::int16_t Red = 0;
  std::int16_t Green = 0;
  std::int16_t Blue = 0;
  std::int16_t Alpha = 0;

  friend bool operator==(const DrawColour&, const DrawColour&) = default;
};

// One peg. Positions are in playfield pixels (x right, y down). Booleans hold
// -1 or 0; LinkTarget is a 1-based peg index, 0 for none.
struct Peg {
  double X = 0;
  double Y = 0;
  double TargetX = 0;
  double TargetY = 0;
  double VelocityX = 0;
  double VelocityY = 0;
  DrawColour Colour;
  std::int16_t Kind = 0;
  std::int16_t Linked = kFalse;
  std::int16_t Master = kFalse;
  std::int16_t LinkTarget = 0;
  std::int16_t Selected = kFalse;
  std::int32_t Glow = 0;
  double LinkEffectTimer = 0;
  double LinkEffectStep = 0;

  friend bool operator==(const Peg&, const Peg&) = default;
};

// Game states. The underlying 16-bit value is what the program stores; a
// value outside 0..5 can be represented, and readers must cope with it.
enum class GameState : std::int16_t {
  Startup = 0,
  Init = 1,
  Idle = 2,
  FirstSelected = 3,
  SecondSelected = 4,
  CheckingLink = 5,
};

// The fixed table of 200 peg records, indexed 1..200. All records start zero
// and the table is never resized or cleared.
class PegTable {
 public:
  static constexpr int kCapacity = 200;

  Peg& operator[](int index) { return pegs_[static_cast<std::size_t>(index - 1)]; }
  const Peg& operator[](int index) const { return pegs_[static_cast<std::size_t>(index - 1)]; }

  // True when `index` names a record of the table (1..200).
  static constexpr bool InTable(int index) { return index >= 1 && index <= kCapacity; }

 private:
  std::array<Peg, kCapacity> pegs_{};
};

}  // namespace brindlet
