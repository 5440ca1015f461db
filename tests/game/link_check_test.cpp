// The link path check on hand-placed pegs: which geometries refuse a new link
// and which let it stand, the colours of a refused pair, which pegs count as
// standing links, coordinates no walk can follow, and pegs changed by events
// while the check waits. Each layout the plain walk can follow is run through
// it too, so the expectations written here hold for both.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "game/procedures.h"
#include "support/game_fixture.h"
#include "support/reference_link_check.h"

namespace brindlet::testing {
namespace {

constexpr bool kAccepted = true;
constexpr bool kRefused = false;

// From (x0, y0) to (x1, y1); `self` is a link of length 0 stored on one peg
// that names itself, at (x0, y0).
struct Seg {
  double x0, y0, x1, y1;
  bool self = false;
};

void Place(Board& b, int i, double x, double y) {
  b.Pegs[i].X = x;
  b.Pegs[i].Y = y;
}

// A link from `source` to `target` as the click handler commits it.
void Join(Board& b, int source, int target) {
  b.Pegs[source].Linked = b.Pegs[source].Master = true;
  b.Pegs[source].LinkTarget = static_cast<std::int16_t>(target);
  if (target != source) b.Pegs[target].Linked = true;
}

// 100 unlinked pegs at the origin, each of its own colour; the new link runs
// from peg 1 to peg 2 and standing link k from peg 10 + 2k to peg 11 + 2k.
Board Layout(const Seg& fresh, const std::vector<Seg>& standing = {}) {
  Board b;
  b.PegTotal = 100;
  for (int i = 1; i <= PegTable::kCapacity; ++i) {
    b.Pegs[i].Colour = {static_cast<std::int16_t>(i), 30, static_cast<std::int16_t>(i + 7),
                        static_cast<std::int16_t>(i + 50)};
  }
  Place(b, 1, fresh.x0, fresh.y0);
  Place(b, 2, fresh.x1, fresh.y1);
  Join(b, 1, 2);
  for (std::size_t k = 0; k < standing.size(); ++k) {
    const int source = 10 + 2 * static_cast<int>(k);
    const Seg& s = standing[k];
    Place(b, source, s.x0, s.y0);
    if (!s.self) Place(b, source + 1, s.x1, s.y1);
    Join(b, source, s.self ? source : source + 1);
  }
  return b;
}

// Equality of two peg tables that takes a position that is not a number as equal to itself.
bool Same(PegTable x, PegTable y) {
  for (PegTable* t : {&x, &y}) {
    for (int i = 1; i <= PegTable::kCapacity; ++i) {
      for (double* v : {&(*t)[i].X, &(*t)[i].Y}) *v = std::isnan(*v) ? 1e308 : *v;
    }
  }
  return x == y;
}

// Runs the game's check on peg `a` and, unless `plainWalk` is off, the plain
// walk on a copy; both must decide `accepted` and change nothing but, on a
// refusal, the colours of the pair: the refusal colour with peg a's Alpha.
void ExpectDecision(Board board, bool accepted, int a = 1, bool plainWalk = true) {
  HeadlessPlatform events(8, 8);
  const Board before = board;
  Board want = before;
  if (!accepted) {
    const int b = before.Pegs[a].LinkTarget;
    want.Pegs[a].Colour = {2, 128, 2, before.Pegs[a].Colour.Alpha};
    want.Pegs[b].Colour = want.Pegs[a].Colour;
  }
  EXPECT_EQ(CheckLinkPath(board, events, a), accepted) << "game's check";
  EXPECT_TRUE(Same(board.Pegs, want.Pegs)) << "the game's check changed more than a decision changes";
  Board rest = want;
  rest.Pegs = board.Pegs = PegTable{};
  EXPECT_TRUE(board == rest) << "the game's check changed the board";
  if (!plainWalk) return;
  PegTable reference = before.Pegs;
  EXPECT_EQ(ReferenceCheckLinkPath(reference, before.PegTotal, a), accepted) << "plain walk";
  EXPECT_TRUE(Same(reference, want.Pegs)) << "the plain walk changed more than a decision changes";
}

struct Case {
  std::string name;
  Seg fresh;
  std::vector<Seg> standing;
  bool accepted;
};

TEST(LinkCheck, GeometriesThatRefuseOrAcceptANewLink) {
  std::vector<Case> cases = {
      {"crossing", {300, 100, 300, 500}, {{100, 300, 500, 300}}, kRefused},
      {"separate: parallel 10 px away, beyond b, behind a, a point 5 px off",
       {100, 100, 400, 100},
       {{100, 110, 400, 110}, {500, 50, 500, 700}, {90, 100, 50, 100}, {250, 105, 250, 105}},
       kAccepted},
      {"sub-pixel diagonal has no walk", {300, 300, 300.5, 300.5}, {{300.25, 300.25, 0, 0, true}}, kAccepted},
  };
  // A standing link along y = 300 from x = 100 to 160 has nine samples, at
  // 106.67, 113.33, 120, 126.67, ... 160. A new link crossing it at x0 (slanted
  // by s) is refused only when it passes within 2 px of a sample.
  for (const auto& [x0, s, accepted] : std::vector<std::tuple<double, double, bool>>{
           {123.0 + 1.0 / 3.0, 0, kAccepted}, {123.0 + 1.0 / 3.0, 5, kAccepted}, {122.05, 0, kAccepted},
           {121.9, 0, kRefused}, {124.8, 0, kRefused}, {121.0, 5, kRefused}, {160.0, 0, kRefused},
           {100.0, 0, kAccepted}}) {
    cases.push_back({"crossing between samples at " + std::to_string(x0) + " slant " + std::to_string(s),
                     {x0 - s, 250, x0 + s, 350}, {{100, 300, 160, 300}}, accepted});
  }
  // A parallel link nearer than 2 px (x plus y difference) is refused though the two never meet.
  for (const auto& [d, diagonal, accepted] : std::vector<std::tuple<double, bool, bool>>{
           {0, false, kRefused}, {1, false, kRefused}, {1.99, false, kRefused}, {-1.99, false, kRefused},
           {2, false, kAccepted}, {-2, false, kAccepted}, {2.01, false, kAccepted},
           // 1.48 px apart on a straight line, but 2.1 px in x plus y: not near.
           {1.9, true, kRefused}, {2.1, true, kAccepted}, {-2.1, true, kAccepted}}) {
    const double y0 = diagonal ? 100 : 300;
    const double y1 = diagonal ? 200 : 300;
    cases.push_back({"parallel " + std::string(diagonal ? "diagonal " : "") + std::to_string(d),
                     {100, y0 + d, 200, y1 + d}, {{100, y0, 200, y1}}, accepted});
  }
  // A new link of length 0 has one walk point, peg a itself; a standing link of
  // length 0 has one sample, its source: the pair measures the near test alone.
  for (const auto& [dx, dy, accepted] : std::vector<std::tuple<double, double, bool>>{
           {0, 0, kRefused}, {1.9, 0, kRefused}, {-1.9, 0, kRefused}, {0, 1.9, kRefused}, {0, -1.9, kRefused},
           {1, 0.99, kRefused}, {-1.5, 0, kRefused}, {2, 0, kAccepted}, {0, -2, kAccepted}, {1, 1, kAccepted},
           {-1.2, 0.9, kAccepted}, {3, 3, kAccepted}}) {
    for (const bool self : {false, true}) {
      const double x = 300 + dx;
      const double y = 300 + dy;
      cases.push_back({"point at " + std::to_string(dx) + ", " + std::to_string(dy) + (self ? " on one peg" : ""),
                       {300, 300, 300, 300}, {{x, y, x, y, self}}, accepted});
    }
  }
  // A new link shorter than 1 px has no walk points, not even near samples on
  // both its pegs and a link straight through a; at exactly 1 px it reaches b.
  for (const auto& [length, accepted] : std::vector<std::pair<double, bool>>{
           {1e-9, kAccepted}, {0.5, kAccepted}, {0.999, kAccepted}, {1.0, kRefused}, {1.5, kRefused}}) {
    cases.push_back({"new link of length " + std::to_string(length),
                     {300, 300, 300 + length, 300},
                     {{300, 300, 0, 0, true}, {300 + length, 300, 0, 0, true}, {300, 250, 300, 350}},
                     accepted});
  }
  // The walk starts 1 px from a and ends on b when the length is whole, else
  // within a pixel before it.
  for (const auto& [length, x, accepted] : std::vector<std::tuple<double, double, bool>>{
           {10, 98.5, kAccepted}, {10, 99.1, kRefused}, {10, 111.9, kRefused}, {9.5, 111.9, kAccepted},
           {9.5, 110.9, kRefused}}) {
    cases.push_back({"walk of " + std::to_string(length) + " and a point at " + std::to_string(x),
                     {100, 300, 100 + length, 300}, {{x, 300, 0, 0, true}}, accepted});
  }
  // Standing links shorter than 1 / 0.15 px have no samples, unless of length
  // 0 (one, at the source); from that length on they have samples.
  for (const auto& [length, accepted] : std::vector<std::pair<double, bool>>{
           {0.0, kRefused}, {1e-6, kAccepted}, {3.0, kAccepted}, {6.6, kAccepted}, {6.7, kRefused},
           {20.0, kRefused}}) {
    cases.push_back({"standing link of length " + std::to_string(length) + " on the walk", {100, 300, 200, 300},
                     {{150, 300, 150 + length, 300}}, accepted});
  }
  // A standing link from (150, 310) 100 px down (or from (150, 410) up) has 15
  // samples 6.67 px apart, the first one step from its source.
  for (const auto& [upward, y, accepted] : std::vector<std::tuple<bool, double, bool>>{
           {false, 310.0, kAccepted}, {false, 308.5, kAccepted}, {false, 314.8, kRefused},
           {false, 314.6, kAccepted}, {false, 318.5, kRefused}, {false, 410.0, kRefused}, {false, 411.9, kRefused},
           {false, 412.1, kAccepted}, {true, 410.0, kAccepted}, {true, 310.0, kRefused}, {true, 405.3, kRefused},
           {true, 405.5, kAccepted}}) {
    cases.push_back({std::string(upward ? "upward" : "downward") + " samples met at y " + std::to_string(y),
                     {100, y, 200, y},
                     {upward ? Seg{150, 410, 150, 310} : Seg{150, 310, 150, 410}},
                     accepted});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ExpectDecision(Layout(c.fresh, c.standing), c.accepted);
  }
}

TEST(LinkCheck, OnlyLinkedMastersInPlayOtherThanTheNewLinkAreStandingLinks) {
  // The new link 1 -> 2 runs down x = 300; peg 10 -> 11 would cross it.
  struct Flags {
    std::string name;
    std::function<void(Board&)> edit;
    bool accepted;
  };
  const auto crossing = [](int source, bool linked, bool master) {
    return [=](Board& b) {
      Place(b, source, 100, 300);
      Place(b, 11, 500, 300);
      b.Pegs[source].Linked = linked;
      b.Pegs[source].Master = master;
      b.Pegs[source].LinkTarget = 11;
      b.Pegs[11].Linked = true;
    };
  };
  const Flags cases[] = {
      {"linked_master", crossing(10, true, true), kRefused},
      {"linked_only", crossing(10, true, false), kAccepted},
      {"master_only", crossing(10, false, true), kAccepted},
      {"neither", crossing(10, false, false), kAccepted},
      {"the_last_peg_in_play", crossing(100, true, true), kRefused},
      {"past_the_pegs_in_play", crossing(101, true, true), kAccepted},
      {"the_last_record", crossing(200, true, true), kAccepted},
      {"not_yet_recreated_in_a_new_game", [&](Board& b) {
         crossing(50, true, true)(b);
         b.gState = GameState::Init;
         b.PegCount = 10;
       }, kRefused},
      {"naming_no_target", [](Board& b) {
         Place(b, 10, 300, 300);
         Join(b, 10, 10);
         b.Pegs[10].LinkTarget = 0;
       }, kAccepted},
      // Peg b names a twin of peg a: as a source it would lie right on the walk.
      {"other_end_not_master", [](Board& b) {
         Place(b, 11, 300, 100);
         b.Pegs[2].LinkTarget = 11;
       }, kAccepted},
      {"other_end_master", [](Board& b) {
         Place(b, 11, 300, 100);
         b.Pegs[2].LinkTarget = 11;
         b.Pegs[2].Master = true;
       }, kRefused},
      {"the_new_link_alone", [](Board&) {}, kAccepted},
      {"the_same_line_stored_on_another_peg", [](Board& b) {
         Place(b, 20, 300, 100);
         Join(b, 20, 2);
       }, kRefused},
      {"an_end_not_a_number", [&](Board& b) {
         crossing(10, true, true)(b);
         b.Pegs[11].X = std::numeric_limits<double>::quiet_NaN();
       }, kAccepted},
  };
  for (const Flags& c : cases) {
    SCOPED_TRACE(c.name);
    Board b = Layout({300, 100, 300, 500});
    c.edit(b);
    ExpectDecision(b, c.accepted);
  }
}

TEST(LinkCheck, CoordinatesNoWalkCanFollowAreAcceptedWithoutWalking) {
  // The plain walk would never end on most of these: only the game's check runs.
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (const double far : {inf, -inf, nan, 1e300, -1e9, 1e8}) {
    SCOPED_TRACE(far);
    const std::vector<Seg> crossing = {{100, 300, 500, 300}};
    ExpectDecision(Layout({300, 100, 300, far}, crossing), kAccepted, 1, false);
    ExpectDecision(Layout({far, 100, 300, 500}, crossing), kAccepted, 1, false);
    // A standing link with such an end is passed over; one beside it still counts.
    ExpectDecision(Layout({300, 100, 300, 500}, {{100, 300, far, 300}}), kAccepted, 1, false);
    ExpectDecision(Layout({300, 100, 300, 500}, {{100, 300, far, 300}, {100, 310, 500, 310}}), kRefused, 1, false);
  }
}

TEST(LinkCheck, DecidesOnThePegsAsTheEventsRunFirstLeaveThem) {
  struct During {
    std::string name;
    std::function<void(Board&)> edit;
    bool accepted;
  };
  const During cases[] = {
      {"b_moved_clear", [](Board& b) { Place(b, 2, 600, 100); }, kAccepted},
      {"a_crossing_link_laid", [](Board& b) {
         Place(b, 12, 100, 300);
         Place(b, 13, 500, 300);
         Join(b, 12, 13);
       }, kRefused},
      // Peg a re-created: it names no other end, so there is nothing to walk,
      // nothing to recolour and no record outside the table to read.
      {"the_link_withdrawn", [](Board& b) {
         b.Pegs[1].Linked = b.Pegs[1].Master = false;
         b.Pegs[1].LinkTarget = 0;
       }, kAccepted},
      {"fewer_pegs_in_play", [](Board& b) { b.PegTotal = 0; }, kAccepted},
  };
  for (const During& c : cases) {
    SCOPED_TRACE(c.name);
    Board board = Layout({300, 100, 300, 500});
    HeadlessPlatform events(8, 8);
    events.at_yield = [&] { c.edit(board); };
    Board want = board;
    c.edit(want);
    if (!c.accepted) {
      want.Pegs[1].Colour = {2, 128, 2, want.Pegs[1].Colour.Alpha};
      want.Pegs[2].Colour = want.Pegs[1].Colour;
    }
    EXPECT_EQ(CheckLinkPath(board, events, 1), c.accepted);
    EXPECT_EQ(events.yields(), 1);
    EXPECT_TRUE(board == want);
  }
}

}  // namespace
}  // namespace brindlet::testing
