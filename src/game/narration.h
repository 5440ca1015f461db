// The game in words, for a player who follows it with a screen reader: each
// peg as a short phrase, and what happened (a game started, a link made or
// refused, a selection cancelled) as a sentence. The game notes what happens
// in a small log as it happens; the front end reads the log and the board
// when it has control again and says what is new. Plain text, no toolkit.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "game/model.h"

namespace brindlet {

// What a player is told happened.
enum class Happening : std::uint8_t {
  GameStarted,         // the first click, or Restart!
  LinkMade,            // first -> second stands
  LinkRefused,         // first -> second came too close to a standing link
  SelectionCancelled,  // first (and second, when not 0) no longer selected
};
struct Happened {
  Happening what = Happening::GameStarted;
  std::int16_t first = 0;
  std::int16_t second = 0;
  friend bool operator==(const Happened&, const Happened&) = default;
};

// The last kKept happenings, numbered from 0 in the order they happened. It
// never grows: one reader that falls far behind misses the oldest.
class HappeningLog {
 public:
  static constexpr int kKept = 16;
  void Add(Happened happened) { kept_[count_++ % kKept] = happened; }
  // How many have happened since the game began.
  std::uint64_t count() const { return count_; }
  // Happening number `n`, while it is still kept.
  std::optional<Happened> At(std::uint64_t n) const {
    if (n >= count_ || count_ - n > kKept) return std::nullopt;
    return kept_[n % kKept];
  }

 private:
  std::array<Happened, kKept> kept_{};
  std::uint64_t count_ = 0;
};

// What a peg's phrase says, so that a reader can tell when it changes.
enum class PegFamily : std::uint8_t { None, Grey, Red, Blue };
struct PegFacts {
  PegFamily family = PegFamily::None;
  bool refused = false;      // green since a refused link
  std::int16_t partner = 0;  // the peg a beam joins it to, 0 for none
  bool selected = false;
  friend bool operator==(const PegFacts&, const PegFacts&) = default;
};

// The facts of every peg in play (index 1..Total(); entry 0 unused), in one
// pass over the board.
using BoardFacts = std::array<PegFacts, PegTable::kCapacity + 1>;
void ReadFacts(const Board& board, BoardFacts& facts);

// "red peg 12", "blue peg 40, linked to 7", "grey peg 3", "red peg 5,
// refused, selected".
std::string PegPhrase(int index, const PegFacts& facts);
// "Link made: red peg 12 to red peg 30." and the like, the pegs as the board
// has them now.
std::string Sentence(const Happened& happened, const BoardFacts& facts);

}  // namespace brindlet
