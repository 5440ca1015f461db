// The peg model: peg records, the peg table, the game states and the board
// that holds one game's changing state.
#pragma once

#include <array>
#include <cstdint>

#include "render/colour.h"

namespace brindlet {

// One peg. Positions are in playfield pixels (x right, y down). LinkTarget
// is a 1-based peg index, 0 for none; a link is stored on its master peg.
struct Peg {
  double X = 0;
  double Y = 0;
  double TargetX = 0;
  double TargetY = 0;
  double VelocityX = 0;
  double VelocityY = 0;
  DrawColour Colour;
  std::int16_t Kind = 0;  // the colour family: 0 red, 1 blue
  bool Linked = false;
  bool Master = false;
  std::int16_t LinkTarget = 0;
  bool Selected = false;
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

  friend bool operator==(const PegTable&, const PegTable&) = default;

 private:
  std::array<Peg, kCapacity> pegs_{};
};

// Everything of a game that its procedures change: the pegs, the state, the
// selection, the cursor as last sampled, the peg counters, the running shake
// and the effects counter that sets the phase of every beam. A plain value:
// the game keeps its own privately, and tests build boards of their own.
struct Board {
  PegTable Pegs;
  GameState gState = GameState::Startup;
  std::int16_t FirstPeg = 0;   // 1-based, 0 for none
  std::int16_t SecondPeg = 0;  // 1-based, 0 for none
  std::int16_t MousePosX = 0;  // the low 16 bits of the cursor's playfield position
  std::int16_t MousePosY = 0;
  std::int16_t PegCount = 0;   // pegs re-created so far while a game is set up
  std::int16_t PegTotal = 0;   // pegs in play
  double ShakeAmplitude = 0;
  double EffectsCounter = 0;

  // The number of peg records in play, within the table.
  int Total() const { return PegTotal < 0 ? 0 : (PegTotal > PegTable::kCapacity ? PegTable::kCapacity : PegTotal); }
  // True when `index` names a peg in play.
  bool IsPeg(int index) const { return index >= 1 && index <= Total(); }

  friend bool operator==(const Board&, const Board&) = default;
};

}  // namespace brindlet
