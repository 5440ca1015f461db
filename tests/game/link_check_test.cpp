// The link path check. On hand-placed pegs: which geometries refuse a new link
// and which let it stand, the colours of a refused pair, which pegs count as
// standing links, coordinates no walk can follow, and pegs changed by events
// while the check waits; each layout the plain walk can follow is run through
// it too. On random layouts: the game's check against the plain walk, bit for
// bit, decision and colours.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "game/procedures.h"
#include "support/game_fixture.h"
#include "support/reference_link_check.h"

namespace brindlet::testing {
namespace {

constexpr bool kAccepted = true;
constexpr bool kRefused = false;
using Edit = std::function<void(Board&)>;

void Place(Board& b, int i, double x, double y) { b.Pegs[i].X = x; b.Pegs[i].Y = y; }

// A link from `source` to `target` as the click handler commits it.
void Join(Board& b, int source, int target) {
  b.Pegs[source].Linked = b.Pegs[source].Master = true;
  b.Pegs[source].LinkTarget = static_cast<std::int16_t>(target);
  if (target == source) return;
  b.Pegs[target].Linked = true;
  b.Pegs[target].Master = false;
}

// `board` as a check of the link from `a` leaves it: unchanged, or on a
// refusal the pair in the refusal colour with peg a's Alpha.
Board Decided(Board board, int a, bool accepted) {
  if (accepted) return board;
  Peg& pa = board.Pegs[a];
  pa.Colour = {2, 128, 2, pa.Colour.Alpha};
  board.Pegs[pa.LinkTarget].Colour = pa.Colour;
  return board;
}

// Board equality that takes a position that is not a number as equal to itself.
bool Same(Board x, Board y) {
  for (Board* b : {&x, &y}) {
    for (int i = 1; i <= PegTable::kCapacity; ++i) {
      for (double* v : {&b->Pegs[i].X, &b->Pegs[i].Y}) *v = std::isnan(*v) ? 1e308 : *v;
    }
  }
  return x == y;
}

// Runs the game's check on peg `a`, with `during` applied by the events it
// lets run first, and unless `plainWalk` is off the plain walk on the board
// as those events leave it. Both must decide `accepted` and change nothing
// else than the decision does.
void ExpectDecision(Board board, bool accepted, const Edit& during = nullptr, bool plainWalk = true, int a = 1) {
  HeadlessPlatform events(8, 8);
  if (during) events.at_yield = [&] { during(board); };
  Board after = board;
  if (during) during(after);
  EXPECT_EQ(CheckLinkPath(board, events, a), accepted) << "game's check";
  EXPECT_EQ(events.yields(), 1);
  EXPECT_TRUE(Same(board, Decided(after, a, accepted))) << "game's check changed more than its decision";
  if (!plainWalk) return;
  Board walked = after;
  EXPECT_EQ(ReferenceCheckLinkPath(walked.Pegs, after.PegTotal, a), accepted) << "plain walk";
  EXPECT_TRUE(Same(walked, Decided(after, a, accepted))) << "plain walk changed more than its decision";
}

// From (x0, y0) to (x1, y1); `self` is a link of length 0 stored on one peg
// naming itself, at (x0, y0).
struct Seg {
  double x0, y0, x1, y1;
  bool self = false;
};

// 100 unlinked pegs at the origin, each of its own colour; the new link runs
// from peg 1 to peg 2 and standing link k from peg 10 + 2k to peg 11 + 2k.
Board Layout(const Seg& fresh, const std::vector<Seg>& standing = {}) {
  Board b;
  b.PegTotal = 100;
  for (int i = 1; i <= PegTable::kCapacity; ++i) {
    b.Pegs[i].Colour = {static_cast<std::int16_t>(i), 30, 40, static_cast<std::int16_t>(i + 50)};
  }
  Place(b, 1, fresh.x0, fresh.y0);
  Place(b, 2, fresh.x1, fresh.y1);
  Join(b, 1, 2);
  for (std::size_t k = 0; k < standing.size(); ++k) {
    const int source = 10 + 2 * static_cast<int>(k);
    const Seg& s = standing[k];
    Place(b, source, s.x0, s.y0);
    Place(b, source + 1, s.x1, s.y1);
    Join(b, source, s.self ? source : source + 1);
  }
  return b;
}

TEST(LinkCheck, GeometriesThatRefuseOrAcceptANewLink) {
  struct Case { std::string name; Seg fresh; std::vector<Seg> standing; bool accepted; bool plainWalk = true; };
  std::vector<Case> cases = {
      {"crossing", {300, 100, 300, 500}, {{100, 300, 500, 300}}, kRefused},
      {"clear: parallel 10 px away, beyond b, behind a, a point 5 px off",
       {100, 100, 400, 100},
       {{100, 110, 400, 110}, {500, 50, 500, 700}, {90, 100, 50, 100}, {250, 105, 250, 105}},
       kAccepted},
      {"sub-pixel diagonal: no walk", {300, 300, 300.5, 300.5}, {{300.25, 300.25, 0, 0, true}}, kAccepted},
  };
  const auto add = [&](std::string name, Seg fresh, std::vector<Seg> standing, bool accepted) {
    cases.push_back({std::move(name), fresh, std::move(standing), accepted});
  };
  // A standing link along y = 300 from x = 100 to 160 has nine samples, at
  // 106.67, 113.33, 120, 126.67, ... 160: a link crossing it at x0 (slanted by
  // s) is refused only when it passes within 2 px of one.
  for (const auto& [x0, s, accepted] : std::vector<std::tuple<double, double, bool>>{
           {123.0 + 1.0 / 3.0, 0, kAccepted}, {123.0 + 1.0 / 3.0, 5, kAccepted}, {122.05, 0, kAccepted},
           {121.9, 0, kRefused}, {124.8, 0, kRefused}, {121.0, 5, kRefused}, {160.0, 0, kRefused},
           {100.0, 0, kAccepted}}) {
    add("crossing samples at " + std::to_string(x0) + " slant " + std::to_string(s), {x0 - s, 250, x0 + s, 350},
        {{100, 300, 160, 300}}, accepted);
  }
  // A parallel link nearer than 2 px (x plus y difference) is refused though the two never meet.
  for (const auto& [d, diagonal, accepted] : std::vector<std::tuple<double, bool, bool>>{
           {0, false, kRefused}, {1, false, kRefused}, {1.99, false, kRefused}, {-1.99, false, kRefused},
           {2, false, kAccepted}, {-2, false, kAccepted}, {2.01, false, kAccepted},
           // 1.48 px apart on a straight line, but 2.1 px in x plus y: not near.
           {1.9, true, kRefused}, {2.1, true, kAccepted}, {-2.1, true, kAccepted}}) {
    const double y1 = diagonal ? 200 : 100;
    add("parallel " + std::string(diagonal ? "diagonal " : "") + std::to_string(d), {100, 100 + d, 200, y1 + d},
        {{100, 100, 200, y1}}, accepted);
  }
  // A new link of length 0 has one walk point, peg a itself, and a standing
  // link of length 0 one sample, its source: the pair measures the near test.
  for (const auto& [dx, dy, accepted] : std::vector<std::tuple<double, double, bool>>{
           {0, 0, kRefused}, {1.9, 0, kRefused}, {-1.9, 0, kRefused}, {0, 1.9, kRefused}, {0, -1.9, kRefused},
           {1, 0.99, kRefused}, {-1.5, 0, kRefused}, {2, 0, kAccepted}, {0, -2, kAccepted}, {1, 1, kAccepted},
           {-1.2, 0.9, kAccepted}, {3, 3, kAccepted}}) {
    for (const bool self : {false, true}) {
      const double x = 300 + dx, y = 300 + dy;
      add("point at " + std::to_string(dx) + ", " + std::to_string(dy) + (self ? " on one peg" : ""),
          {300, 300, 300, 300}, {{x, y, x, y, self}}, accepted);
    }
  }
  // A new link shorter than 1 px has no walk points, not even near samples on
  // both its pegs and a link straight through a; at exactly 1 px it reaches b.
  for (const auto& [length, accepted] : std::vector<std::pair<double, bool>>{
           {1e-9, kAccepted}, {0.5, kAccepted}, {0.999, kAccepted}, {1.0, kRefused}, {1.5, kRefused}}) {
    add("new link of length " + std::to_string(length), {300, 300, 300 + length, 300},
        {{300, 300, 0, 0, true}, {300 + length, 300, 0, 0, true}, {300, 250, 300, 350}}, accepted);
  }
  // The walk starts 1 px from a and ends on b when the length is whole, else within a pixel before it.
  for (const auto& [length, x, accepted] : std::vector<std::tuple<double, double, bool>>{
           {10, 98.5, kAccepted}, {10, 99.1, kRefused}, {10, 111.9, kRefused}, {9.5, 111.9, kAccepted},
           {9.5, 110.9, kRefused}}) {
    add("walk of " + std::to_string(length) + ", a point at " + std::to_string(x), {100, 300, 100 + length, 300},
        {{x, 300, 0, 0, true}}, accepted);
  }
  // Standing links shorter than 1 / 0.15 px have no samples, unless of length 0
  // (one, at the source); from that length on they have samples.
  for (const auto& [length, accepted] : std::vector<std::pair<double, bool>>{
           {0.0, kRefused}, {1e-6, kAccepted}, {3.0, kAccepted}, {6.6, kAccepted}, {6.7, kRefused},
           {20.0, kRefused}}) {
    add("standing link of length " + std::to_string(length), {100, 300, 200, 300},
        {{150, 300, 150 + length, 300}}, accepted);
  }
  // A standing link from (150, 310) 100 px down, or from (150, 410) up, has 15
  // samples 6.67 px apart, the first one step from its source.
  for (const auto& [upward, y, accepted] : std::vector<std::tuple<bool, double, bool>>{
           {false, 310.0, kAccepted}, {false, 308.5, kAccepted}, {false, 314.8, kRefused},
           {false, 314.6, kAccepted}, {false, 318.5, kRefused}, {false, 410.0, kRefused}, {false, 411.9, kRefused},
           {false, 412.1, kAccepted}, {true, 410.0, kAccepted}, {true, 310.0, kRefused}, {true, 405.3, kRefused},
           {true, 405.5, kAccepted}}) {
    add(std::string(upward ? "upward" : "downward") + " samples met at y " + std::to_string(y), {100, y, 200, y},
        {upward ? Seg{150, 410, 150, 310} : Seg{150, 310, 150, 410}}, accepted);
  }
  // Ends no walk can follow (most would never end the plain walk): the new
  // link is accepted, and such a standing link is passed over.
  const double inf = std::numeric_limits<double>::infinity();
  for (const double far : {inf, -inf, std::numeric_limits<double>::quiet_NaN(), 1e300, -1e9, 1e8}) {
    const std::string at = " at " + std::to_string(far);
    cases.push_back({"new link to" + at, {300, 100, 300, far}, {{100, 300, 500, 300}}, kAccepted, false});
    cases.push_back({"new link from" + at, {far, 100, 300, 500}, {{100, 300, 500, 300}}, kAccepted, false});
    cases.push_back({"standing link to" + at, {300, 100, 300, 500}, {{100, 300, far, 300}}, kAccepted, false});
    cases.push_back({"beside a standing link to" + at, {300, 100, 300, 500},
                     {{100, 300, far, 300}, {100, 310, 500, 310}}, kRefused, false});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ExpectDecision(Layout(c.fresh, c.standing), c.accepted, nullptr, c.plainWalk);
  }
}

TEST(LinkCheck, StandingLinksAreTheLinkedMastersInPlayAsEventsLeaveThem) {
  // The new link 1 -> 2 runs down x = 300; a link from `source` to peg 11 would cross it.
  const auto crossing = [](int source, bool linked = true, bool master = true) {
    return [=](Board& b) {
      Place(b, source, 100, 300);
      Place(b, 11, 500, 300);
      b.Pegs[source].Linked = linked;
      b.Pegs[source].Master = master;
      b.Pegs[source].LinkTarget = 11;
      b.Pegs[11].Linked = true;
    };
  };
  struct Case {
    std::string name;
    Edit before;
    Edit during;  // run by the events the check lets run first
    bool accepted;
  };
  const Case cases[] = {
      {"linked_master", crossing(10), nullptr, kRefused},
      {"linked_only", crossing(10, true, false), nullptr, kAccepted},
      {"master_only", crossing(10, false, true), nullptr, kAccepted},
      {"neither", crossing(10, false, false), nullptr, kAccepted},
      {"the_last_peg_in_play", crossing(100), nullptr, kRefused},
      {"past_the_pegs_in_play", crossing(101), nullptr, kAccepted},
      {"the_last_record", crossing(200), nullptr, kAccepted},
      {"not_yet_recreated_in_a_new_game", [&](Board& b) { crossing(50)(b); b.gState = GameState::Init; b.PegCount = 10; },
       nullptr, kRefused},
      {"naming_no_target", [&](Board& b) { crossing(10)(b); b.Pegs[10].LinkTarget = 0; }, nullptr, kAccepted},
      {"an_end_not_a_number", [&](Board& b) { crossing(10)(b); b.Pegs[11].X = std::nan(""); }, nullptr, kAccepted},
      // Peg b naming a twin of peg a would, as a source, lie right on the walk.
      {"other_end_not_master", [](Board& b) { Place(b, 11, 300, 100); b.Pegs[2].LinkTarget = 11; }, nullptr, kAccepted},
      {"other_end_master", [](Board& b) { Place(b, 11, 300, 100); b.Pegs[2].LinkTarget = 11; b.Pegs[2].Master = true; },
       nullptr, kRefused},
      {"the_new_link_alone", nullptr, nullptr, kAccepted},
      {"the_same_line_on_another_peg", [](Board& b) { Place(b, 20, 300, 100); Join(b, 20, 2); }, nullptr, kRefused},
      {"crossing_laid_while_waiting", nullptr, crossing(10), kRefused},
      {"crossing_withdrawn_while_waiting", crossing(10), [](Board& b) { b.Pegs[10].Linked = false; }, kAccepted},
      {"b_moved_clear_while_waiting", crossing(10), [](Board& b) { Place(b, 2, 600, 100); }, kAccepted},
      // Peg a re-created while the check waits: it names no other end, so there
      // is nothing to walk, nothing to recolour and no record outside the table to read.
      {"a_recreated_while_waiting", crossing(10), [](Board& b) {
         b.Pegs[1].Linked = b.Pegs[1].Master = false; b.Pegs[1].LinkTarget = 0; }, kAccepted},
      {"no_pegs_in_play_after_waiting", crossing(10), [](Board& b) { b.PegTotal = 0; }, kAccepted},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Board b = Layout({300, 100, 300, 500});
    if (c.before) c.before(b);
    ExpectDecision(b, c.accepted, c.during);
  }
}

// --- Against the plain walk on random layouts ------------------------------------
//
// Layouts come from a fixed seed in families, each aimed at a way the fast
// check could go wrong: standing links passing the new one at about the near
// distance, tiny and zero-length links, crowds of short links, links across
// the playfield, links sharing end points with the new one, and samples at the
// near distance to the last bit.

constexpr double kWidth = 1026;
constexpr double kHeight = 770;
constexpr double kPi = std::numbers::pi;
enum Family { kNearMiss, kTiny, kCrowd, kAcrossField, kSharedEnds, kOnTheEdge, kFamilies };
constexpr std::array<const char*, kFamilies> kFamilyNames{"near miss",    "tiny",        "crowd",
                                                          "across field", "shared ends", "on the edge"};

struct Point {
  double x, y;
};

Point Toward(Point p, double angle, double length) {
  return {p.x + length * std::cos(angle), p.y + length * std::sin(angle)};
}

// Builds one layout: the new link a -> b committed as the click handler
// commits it, standing links around it, and noise elsewhere.
class LayoutMaker {
 public:
  // Every record gets a place and a colour, also those past the pegs in play
  // (never sources, but read as targets). Layouts start from this table.
  explicit LayoutMaker(std::uint64_t seed) : gen_(seed) {
    for (int i = 1; i <= PegTable::kCapacity; ++i) {
      background_[i] = Peg{U(0, kWidth), U(0, kHeight), 0, 0, 0, 0, Colour(), static_cast<std::int16_t>(Int(0, 1)),
                           false, false, 0, false, Int(0, 255), U(0, 99)};
    }
  }

  Family family = kNearMiss;
  int a = 0;

  Board Make(int serial) {
    // The cheap families come up more often than the costly ones: the plain
    // walk compares every walk point with every sample of every standing link.
    constexpr std::array<Family, 12> kRotation{kNearMiss, kTiny,  kOnTheEdge, kNearMiss, kSharedEnds, kTiny,
                                               kOnTheEdge, kCrowd, kNearMiss, kTiny,     kOnTheEdge,  kAcrossField};
    family = kRotation[static_cast<std::size_t>(serial) % kRotation.size()];
    total_ = family == kCrowd ? Int(60, 130) : Chance(0.8) ? Int(2, 50) : Int(51, 200);
    board_.PegTotal = static_cast<std::int16_t>(total_);
    board_.Pegs = background_;
    used_.assign(static_cast<std::size_t>(total_) + 1, false);
    taken_ = 0;
    a = a_ = Take();
    b_ = Chance(0.02) ? a_ : Take();
    P(a_).Colour = Colour();
    P(b_).Colour = Colour();
    switch (family) {
      case kNearMiss: MakeNearMiss(); break;
      case kTiny: MakeTiny(); break;
      case kCrowd: MakeCrowd(); break;
      case kAcrossField: MakeAcrossField(); break;
      case kSharedEnds: MakeSharedEnds(); break;
      default: MakeOnTheEdge();
    }
    if (Chance(0.15)) AddFlagNoise();
    if (Chance(0.05) && total_ < PegTable::kCapacity) {  // a link right on the new one, on a record not in play
      const int beyond = Int(total_ + 1, PegTable::kCapacity);
      Put(beyond, Along(length_ / 2));
      Join(board_, beyond, beyond);
    }
    Join(board_, a_, b_);  // the new link, committed
    if (b_ != a_) P(b_).Master = Chance(0.03);  // never so in a game; must not matter to either
    return board_;
  }

 private:
  double U(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(gen_); }
  int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(gen_); }
  bool Chance(double p) { return U(0, 1) < p; }
  double Sign() { return Chance(0.5) ? 1.0 : -1.0; }
  double Angle() { return U(0, 2 * kPi); }
  DrawColour Colour() {
    std::array<std::int16_t, 4> c{};
    for (auto& v : c) v = static_cast<std::int16_t>(Int(0, 255));
    return {c[0], c[1], c[2], c[3]};
  }
  Point Somewhere() {
    const double x = U(0, kWidth);
    return {x, U(0, kHeight)};
  }
  Point Around(Point p, double r) {
    const double x = p.x + U(-r, r);
    return {x, p.y + U(-r, r)};
  }
  Point Along(double t) const { return Toward(pa_, angle_, t); }
  Point Off(Point p, double d) const { return Toward(p, angle_ + kPi / 2, d); }
  Peg& P(int i) { return board_.Pegs[i]; }
  void Put(int i, Point p) { Place(board_, i, p.x, p.y); }

  // A peg in play not yet used in this layout, 0 when none is left.
  int Take() {
    if (taken_ == total_) return 0;
    int i = 0;
    do i = Int(1, total_);
    while (used_[static_cast<std::size_t>(i)]);
    used_[static_cast<std::size_t>(i)] = true;
    ++taken_;
    return i;
  }
  // A standing link from a new peg at `from` to `target`, a new peg at `to`
  // unless given; false when the pegs run out.
  bool Standing(Point from, Point to, int target = 0) {
    const int source = Take();
    if (source == 0) return false;
    if (target == 0) target = Take();
    if (target == 0) return false;
    Put(source, from);
    if (target != a_ && target != b_) Put(target, to);
    Join(board_, source, target);
    return true;
  }
  bool SelfLink(Point at) {
    const int source = Take();
    if (source == 0) return false;
    Put(source, at);
    Join(board_, source, source);
    return true;
  }
  // Places the new link's pegs; a link from a peg to itself has length 0.
  void PlaceNewLink(Point from, Point to) {
    pa_ = from;
    pb_ = b_ != a_ ? to : from;
    Put(a_, pa_);
    Put(b_, pb_);
    angle_ = std::atan2(pb_.y - pa_.y, pb_.x - pa_.x);
    length_ = std::hypot(pb_.x - pa_.x, pb_.y - pa_.y);
  }
  void NewLinkFrom(Point from, double length) { PlaceNewLink(from, Toward(from, Angle(), length)); }
  void Noise(int count, Point centre, double spread, double maxLength) {
    for (int k = 0; k < count; ++k) {
      const Point from = Around(centre, spread);
      if (!Standing(from, Toward(from, Angle(), U(0, maxLength)))) return;
    }
  }

  // Parallel (across the line or shifted along an axis), ending just short of
  // the new link, or crossing it where the samples may straddle the crossing.
  void MakeNearMiss() {
    NewLinkFrom(Somewhere(), U(3, 250));
    for (int k = Int(1, 3); k > 0; --k) {
      const double d = Sign() * U(1.5, 2.5);
      const Point p0 = Along(U(-20, length_ + 20));
      const Point p1 = Along(U(-20, length_ + 20));
      const Point shift = Chance(0.5) ? Point{d, 0} : Point{0, d};
      const Point end = Off(Along(U(0, length_)), d);
      const Point cross = Along(U(0, length_));
      const double phi = Angle();
      switch (Int(0, 3)) {
        case 0: Standing(Off(p0, d), Off(p1, d)); break;
        case 1: Standing({p0.x + shift.x, p0.y + shift.y}, {p1.x + shift.x, p1.y + shift.y}); break;
        case 2: Standing(Toward(end, angle_ + kPi / 2 + U(-1, 1), Sign() * U(5, 80)), end); break;
        default: Standing(Toward(cross, phi, -U(0, 60)), Toward(cross, phi, U(0, 60)));
      }
    }
    Noise(Int(0, 6), pa_, 150, 80);
  }

  // New links of length 0, under a pixel or a few, among standing links of
  // length 0, under a pixel, under a sample step and just over it.
  void MakeTiny() {
    const double pick = U(0, 1);
    NewLinkFrom(Somewhere(), pick < 0.25 ? 0 : pick < 0.6 ? U(0, 1) : U(1, 3));
    for (int k = Int(1, 40); k > 0; --k) {
      const Point from = Around(Chance(0.5) ? pa_ : pb_, 4);
      const double q = U(0, 1);
      const double len = q < 0.3 ? 0 : q < 0.5 ? U(0, 1) : q < 0.75 ? U(1, 1 / 0.15) : U(1 / 0.15, 20);
      if (!(q < 0.1 ? SelfLink(from) : Standing(from, Toward(from, Angle(), len)))) return;
    }
  }

  void MakeCrowd() {
    NewLinkFrom(Somewhere(), U(0, 200));
    Noise(Int(15, 50), Along(length_ / 2), length_ / 2 + 30, 50);
  }

  // Ends anywhere on the playfield, up to its full diagonal.
  void MakeAcrossField() {
    if (Chance(0.1)) {
      const bool down = Chance(0.5);
      const Point p{0, down ? 0.0 : kHeight};
      const Point q{kWidth, down ? kHeight : 0.0};
      const bool reversed = Chance(0.5);
      PlaceNewLink(reversed ? q : p, reversed ? p : q);
    } else {
      const Point from = Somewhere();
      PlaceNewLink(from, Somewhere());
    }
    const Point from = Somewhere();
    Standing(from, Somewhere());
    const Point near = Somewhere();
    if (Chance(0.3)) Standing(near, Toward(near, Angle(), U(0, 100)));
  }

  // Standing links from or to where the new link's pegs are, or naming one of them.
  void MakeSharedEnds() {
    NewLinkFrom(Somewhere(), U(0, 300));
    for (int k = Int(1, 5); k > 0; --k) {
      const Point end = Chance(0.5) ? pa_ : pb_;
      const Point other = Around(end, 120);
      const int how = Int(0, 2);
      if (!(how == 0 ? Standing(end, other) : how == 1 ? Standing(other, end) : Standing(other, end, Chance(0.5) ? a_ : b_))) {
        return;
      }
    }
  }

  // Samples 2 px (x plus y) or a few ulps less from one walk point, computed
  // with the walk's own additions, so that the strict test decides on the last
  // bits. On a long straight walk, whose points drift as the additions round,
  // they also lie beyond its ends: a check that locates walk points by
  // arithmetic of its own must allow for the drift.
  void MakeOnTheEdge() {
    const bool straight = Chance(0.3);
    if (straight) {
      const Point from{U(100, 900), U(100, 650)};
      const double length = U(150, 700);
      const double angle = kPi / 2 * Int(0, 3);
      PlaceNewLink(from, {from.x + std::round(std::cos(angle)) * length, from.y + std::round(std::sin(angle)) * length});
    } else {
      NewLinkFrom(Somewhere(), U(1, 200));
    }
    // The walk, by the same additions as the check.
    double L = std::sqrt((pb_.x - pa_.x) * (pb_.x - pa_.x) + (pb_.y - pa_.y) * (pb_.y - pa_.y));
    L = L == 0 ? 1 : L;
    const double ux = (pb_.x - pa_.x) / L;
    const double uy = (pb_.y - pa_.y) / L;
    std::vector<Point> walk;
    for (double s = 1, wx = pa_.x, wy = pa_.y; s <= L; s += 1) walk.push_back({wx = wx + ux, wy = wy + uy});
    if (walk.size() < (straight ? 2u : 1u)) return;
    for (int k = Int(1, 4); k > 0; --k) {
      const auto chosen = static_cast<std::size_t>(Int(0, static_cast<int>(walk.size()) - 1));
      Point w = walk[chosen];
      Point offset{};  // its x and y parts add up to 2
      if (straight) {
        const int where = Int(0, 2);
        const double side = Sign();
        w = where == 0 ? walk.back() : where == 1 ? walk.front() : w;
        offset = where == 0 ? Point{2 * ux, 2 * uy} : where == 1 ? Point{-2 * ux, -2 * uy}
                                                                  : Point{-2 * uy * side, 2 * ux * side};
      } else {
        const double p = U(0, 2);
        const double q = (2 - p) * (1 + U(-1, 1) * 1e-15);
        offset = {Sign() * p, Sign() * q};
      }
      Point at{w.x + offset.x, w.y + offset.y};
      for (int u = Int(0, 6); u > 0; --u) {  // a few ulps nearer
        at = {offset.x != 0 ? std::nextafter(at.x, w.x) : at.x, offset.y != 0 ? std::nextafter(at.y, w.y) : at.y};
      }
      bool clear = true;  // of every other walk point
      for (std::size_t s = 0; s < walk.size() && !straight; ++s) {
        clear = clear && (s == chosen || std::fabs(at.x - walk[s].x) + std::fabs(at.y - walk[s].y) >= 2.01);
      }
      if (!clear) continue;
      if (straight || Chance(0.5)) {
        if (!SelfLink(at)) return;
        continue;
      }
      // A longer link leading away from the new one, whose first sample lands
      // on `at`: its source lies one sample step back.
      const double side = (at.x - w.x) * -uy + (at.y - w.y) * ux >= 0 ? 1.0 : -1.0;
      const Point far = Toward(at, angle_ + side * (kPi / 2 + U(-0.6, 0.6)), U(7, 60));
      const double n = std::hypot(far.x - at.x, far.y - at.y) * 0.15;
      const Point source{at.x - (far.x - at.x) / n, at.y - (far.y - at.y) / n};
      if (!Standing(source, {source.x + far.x - at.x, source.y + far.y - at.y})) return;
    }
  }

  // Pegs with one link flag but not both, mostly on the new link: never sources.
  void AddFlagNoise() {
    for (int k = Int(1, 5); k > 0; --k) {
      const int i = Take();
      if (i == 0) return;
      const Point at = Chance(0.7) ? Along(U(0, length_)) : Somewhere();
      Put(i, Around(at, 3));
      P(i).Linked = Chance(0.5);
      P(i).Master = !P(i).Linked;
      P(i).LinkTarget = static_cast<std::int16_t>(Int(1, total_));
    }
  }

  std::mt19937_64 gen_;
  PegTable background_;
  Board board_;
  int total_ = 0, taken_ = 0, a_ = 0, b_ = 0;
  std::vector<bool> used_;
  Point pa_{}, pb_{};
  double angle_ = 0, length_ = 0;
};

TEST(LinkCheck, AgreesWithThePlainWalkOnRandomLayouts) {
  constexpr int kLayouts = 21600;
  LayoutMaker maker(0x5eed'b41d'1e7aULL);
  std::array<std::array<int, 2>, kFamilies> tally{};  // refused, accepted
  for (int serial = 0; serial < kLayouts && !HasFailure(); ++serial) {
    const Board layout = maker.Make(serial);
    SCOPED_TRACE("layout " + std::to_string(serial) + " (" + kFamilyNames[maker.family] + "), a = " +
                 std::to_string(maker.a) + ", pegs in play " + std::to_string(layout.PegTotal));
    Board walked = layout;
    const bool accepted = ReferenceCheckLinkPath(walked.Pegs, layout.PegTotal, maker.a);
    ASSERT_TRUE(walked == Decided(layout, maker.a, accepted)) << "the plain walk changed more than its decision";
    ExpectDecision(layout, accepted, nullptr, false, maker.a);
    ++tally[maker.family][accepted];
  }
  // Each family must see both outcomes, or it tests nothing.
  for (std::size_t family = 0; family < kFamilies; ++family) {
    const auto [refused, accepted] = tally[family];
    EXPECT_GE(std::min(refused, accepted), (refused + accepted) / 10) << kFamilyNames[family];
    std::printf("  %-12s refused %5d accepted %5d\n", kFamilyNames[family], refused, accepted);
  }
}

}  // namespace
}  // namespace brindlet::testing
