// The game's link check against the plain walk on many random layouts: the
// same decision, the same colours, and nothing else touched.
//
// Layouts come from a fixed seed in several families, each aimed at a way the
// fast check could go wrong: links that pass the new one at about the near
// distance, tiny and zero-length links, crowds of short links, links across
// the whole playfield, links sharing end points with the new one, and samples
// placed at the near distance to the last bit.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <random>
#include <vector>

#include "game/procedures.h"
#include "support/game_fixture.h"
#include "support/reference_link_check.h"

namespace brindlet::testing {
namespace {

constexpr double kWidth = 1026;
constexpr double kHeight = 770;
constexpr double kPi = std::numbers::pi;

enum Family { kNearMiss, kTiny, kCrowd, kAcrossField, kSharedEnds, kOnTheEdge, kFamilies };
constexpr std::array<const char*, kFamilies> kFamilyNames{"near miss",    "tiny",        "crowd",
                                                          "across field", "shared ends", "on the edge"};

struct Point {
  double x, y;
};

// Builds one layout on a board: the new link a -> b committed as the click
// handler commits it, standing links around it, and noise elsewhere.
class LayoutMaker {
 public:
  // Every record gets a place and a colour, also those past the pegs in play
  // (never sources, but still read as targets). Layouts start from this table.
  explicit LayoutMaker(std::uint64_t seed) : gen_(seed) {
    for (int i = 1; i <= PegTable::kCapacity; ++i) {
      Peg& p = background_[i];
      p.X = Uniform(0, kWidth);
      p.Y = Uniform(0, kHeight);
      p.Colour = {Channel(), Channel(), Channel(), Channel()};
      p.Kind = static_cast<std::int16_t>(Int(0, 1));
      p.Glow = Int(0, 255);
      p.LinkEffectTimer = Uniform(0, 99);
    }
  }

  Family family = kNearMiss;
  int a = 0;

  Board Make(int serial) {
    // The cheap families come up more often than the costly ones (the plain
    // walk costs its length times the samples of every standing link).
    constexpr std::array<Family, 12> kRotation{kNearMiss, kTiny,  kOnTheEdge, kNearMiss, kSharedEnds, kTiny,
                                               kOnTheEdge, kCrowd, kNearMiss, kTiny,     kOnTheEdge,  kAcrossField};
    family = kRotation[static_cast<std::size_t>(serial) % kRotation.size()];
    Board board;
    board_ = &board;
    // Most layouts use a small part of the table: the plain walk visits every
    // peg in play at every walk point.
    total_ = family == kCrowd ? Int(60, 130) : Chance(0.8) ? Int(2, 50) : Int(51, 200);
    board.PegTotal = static_cast<std::int16_t>(total_);
    board.Pegs = background_;
    used_.assign(static_cast<std::size_t>(total_) + 1, false);
    taken_ = 0;
    a = a_ = Take();
    b_ = Chance(0.02) ? a_ : Take();
    Pegs(a_).Colour = {Channel(), Channel(), Channel(), Channel()};
    Pegs(b_).Colour = {Channel(), Channel(), Channel(), Channel()};
    switch (family) {
      case kNearMiss: MakeNearMiss(); break;
      case kTiny: MakeTiny(); break;
      case kCrowd: MakeCrowd(); break;
      case kAcrossField: MakeAcrossField(); break;
      case kSharedEnds: MakeSharedEnds(); break;
      case kOnTheEdge: Chance(0.3) ? MakeOnTheEdgeOfALongStraightWalk() : MakeOnTheEdge(); break;
      case kFamilies: break;
    }
    if (Chance(0.15)) AddFlagNoise();
    if (Chance(0.05)) AddBeyondThePegsInPlay();
    // The new link, committed: a is its master, b the other end.
    Join(a_, b_);
    if (b_ != a_) Pegs(b_).Master = Chance(0.03);  // never so in a game; must not matter to either
    return board;
  }

 private:
  double Uniform(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(gen_); }
  int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(gen_); }
  bool Chance(double p) { return Uniform(0, 1) < p; }
  std::int16_t Channel() { return static_cast<std::int16_t>(Int(0, 255)); }
  double Sign() { return Chance(0.5) ? 1.0 : -1.0; }
  double Angle() { return Uniform(0, 2 * kPi); }
  Point Somewhere() { return {Uniform(0, kWidth), Uniform(0, kHeight)}; }
  Point Around(Point p, double r) { return {p.x + Uniform(-r, r), p.y + Uniform(-r, r)}; }
  static Point Toward(Point p, double angle, double length) {
    return {p.x + length * std::cos(angle), p.y + length * std::sin(angle)};
  }
  Peg& Pegs(int i) { return board_->Pegs[i]; }

  // A random peg in play not yet used in this layout, 0 when none is left.
  int Take() {
    if (taken_ == total_) return 0;
    int i = 0;
    do {
      i = Int(1, total_);
    } while (used_[static_cast<std::size_t>(i)]);
    used_[static_cast<std::size_t>(i)] = true;
    ++taken_;
    return i;
  }
  void Put(int i, Point p) {
    Pegs(i).X = p.x;
    Pegs(i).Y = p.y;
  }
  void Join(int source, int target) {
    Pegs(source).Linked = Pegs(source).Master = true;
    Pegs(source).LinkTarget = static_cast<std::int16_t>(target);
    if (target != source) {
      Pegs(target).Linked = true;
      Pegs(target).Master = false;
    }
  }
  // A standing link between two new pegs; false when the pegs run out.
  bool Standing(Point from, Point to) {
    const int source = Take();
    const int target = source == 0 ? 0 : Take();
    if (target == 0) return false;
    Put(source, from);
    Put(target, to);
    Join(source, target);
    return true;
  }
  // A standing link of length 0: one peg naming itself.
  bool SelfLink(Point at) {
    const int source = Take();
    if (source == 0) return false;
    Put(source, at);
    Join(source, source);
    return true;
  }
  // Places the new link's pegs; a link from a peg to itself has length 0.
  void PlaceNewLink(Point from, Point to) {
    Put(a_, from);
    if (b_ != a_) Put(b_, to);
    pa_ = from;
    pb_ = b_ != a_ ? to : from;
    angle_ = std::atan2(pb_.y - pa_.y, pb_.x - pa_.x);
    length_ = std::hypot(pb_.x - pa_.x, pb_.y - pa_.y);
  }
  void NewLinkFrom(Point from, double length) { PlaceNewLink(from, Toward(from, Angle(), length)); }
  Point Along(double t) { return Toward(pa_, angle_, t); }
  Point Off(Point p, double d) { return Toward(p, angle_ + kPi / 2, d); }
  void Noise(int count, Point centre, double spread, double maxLength) {
    for (int k = 0; k < count; ++k) {
      const Point from = Around(centre, spread);
      if (!Standing(from, Toward(from, Angle(), Uniform(0, maxLength)))) return;
    }
  }

  // Standing links that pass the new one at about the near distance: parallel
  // (offset across the line or along one axis), ending just short of it, or
  // crossing it where the samples may straddle the crossing.
  void MakeNearMiss() {
    NewLinkFrom(Somewhere(), Uniform(3, 250));
    for (int k = Int(1, 3); k > 0; --k) {
      const double d = Sign() * Uniform(1.5, 2.5);
      const Point p0 = Along(Uniform(-20, length_ + 20));
      const Point p1 = Along(Uniform(-20, length_ + 20));
      switch (Int(0, 3)) {
        case 0: Standing(Off(p0, d), Off(p1, d)); break;
        case 1: {
          const Point s = Chance(0.5) ? Point{d, 0} : Point{0, d};
          Standing({p0.x + s.x, p0.y + s.y}, {p1.x + s.x, p1.y + s.y});
          break;
        }
        case 2: {
          const Point end = Off(Along(Uniform(0, length_)), d);
          Standing(Toward(end, angle_ + kPi / 2 + Uniform(-1, 1), Sign() * Uniform(5, 80)), end);
          break;
        }
        default: {
          const Point cross = Along(Uniform(0, length_));
          const double phi = Angle();
          Standing(Toward(cross, phi, -Uniform(0, 60)), Toward(cross, phi, Uniform(0, 60)));
        }
      }
    }
    Noise(Int(0, 6), pa_, 150, 80);
  }

  // New links of length 0, under a pixel or a few pixels, among standing
  // links of length 0, under a pixel, under a sample step and just over it.
  void MakeTiny() {
    const double pick = Uniform(0, 1);
    NewLinkFrom(Somewhere(), pick < 0.25 ? 0 : pick < 0.6 ? Uniform(0, 1) : Uniform(1, 3));
    for (int k = Int(1, 40); k > 0; --k) {
      const Point from = Around(Chance(0.5) ? pa_ : pb_, 4);
      const double q = Uniform(0, 1);
      const double len = q < 0.3 ? 0 : q < 0.5 ? Uniform(0, 1) : q < 0.75 ? Uniform(1, 1 / 0.15) : Uniform(1 / 0.15, 20);
      if (!(q < 0.1 ? SelfLink(from) : Standing(from, Toward(from, Angle(), len)))) return;
    }
  }

  // Many short links crowding the new one.
  void MakeCrowd() {
    NewLinkFrom(Somewhere(), Uniform(0, 200));
    Noise(Int(15, 50), {(pa_.x + pb_.x) / 2, (pa_.y + pb_.y) / 2}, length_ / 2 + 30, 50);
  }

  // Links with ends anywhere on the playfield, up to its full diagonal.
  void MakeAcrossField() {
    if (Chance(0.1)) {
      const bool down = Chance(0.5);
      const Point p{0, down ? 0.0 : kHeight};
      const Point q{kWidth, down ? kHeight : 0.0};
      Chance(0.5) ? PlaceNewLink(p, q) : PlaceNewLink(q, p);
    } else {
      PlaceNewLink(Somewhere(), Somewhere());
    }
    Standing(Somewhere(), Somewhere());
    if (Chance(0.3)) {
      const Point from = Somewhere();
      Standing(from, Toward(from, Angle(), Uniform(0, 100)));
    }
  }

  // Standing links that start or end where the new link's pegs are, or name
  // one of its pegs as their target.
  void MakeSharedEnds() {
    NewLinkFrom(Somewhere(), Uniform(0, 300));
    for (int k = Int(1, 5); k > 0; --k) {
      const Point end = Chance(0.5) ? pa_ : pb_;
      const Point other = Around(end, 120);
      switch (Int(0, 2)) {
        case 0: Standing(end, other); break;
        case 1: Standing(other, end); break;
        default: {
          const int source = Take();
          if (source == 0) return;
          Put(source, other);
          Join(source, Chance(0.5) ? a_ : b_);  // the new link is committed again after this
        }
      }
    }
  }

  // Samples at a distance of 2 (x plus y) from one walk point and farther from
  // all others, computed with the same additions as the walk, so that the
  // strict test decides on the last bits of both points.
  void MakeOnTheEdge() {
    NewLinkFrom(Somewhere(), Uniform(1, 200));
    double ux = 0, uy = 0;
    const std::vector<Point> walk = Walk(ux, uy);
    if (walk.empty()) return;
    const auto clearOfOthers = [&](Point at, std::size_t chosen) {
      for (std::size_t s = 0; s < walk.size(); ++s) {
        if (s != chosen && std::fabs(at.x - walk[s].x) + std::fabs(at.y - walk[s].y) < 2.01) return false;
      }
      return true;
    };
    for (int k = Int(1, 4); k > 0; --k) {
      const auto chosen = static_cast<std::size_t>(Int(0, static_cast<int>(walk.size()) - 1));
      const Point w = walk[chosen];
      Point at{};
      bool found = false;
      for (int attempt = 0; attempt < 20 && !found; ++attempt) {
        const double p = Uniform(0, 2);
        const double q = (2 - p) * (1 + Uniform(-1, 1) * 1e-15);
        at = {w.x + Sign() * p, w.y + Sign() * q};
        found = clearOfOthers(at, chosen);
      }
      if (!found) continue;
      if (Chance(0.5)) {
        if (!SelfLink(at)) return;
        continue;
      }
      // A longer link whose first sample lands on `at`, leading away from the
      // new link: its source lies one sample step back.
      const double side = (at.x - w.x) * -uy + (at.y - w.y) * ux >= 0 ? 1.0 : -1.0;
      const Point far = Toward(at, angle_ + side * (kPi / 2 + Uniform(-0.6, 0.6)), Uniform(7, 60));
      const double ex = far.x - at.x;
      const double ey = far.y - at.y;
      const double n = std::sqrt(ex * ex + ey * ey) * 0.15;
      const Point source{at.x - ex / n, at.y - ey / n};
      if (!Standing(source, {source.x + ex, source.y + ey})) return;
    }
  }

  // A long horizontal or vertical walk, whose points drift from their exact
  // places as the additions round, with samples just under (or exactly) 2 px
  // beyond its ends along the line, or beside its points across it. A check
  // that locates walk points by arithmetic of its own must allow for the drift.
  void MakeOnTheEdgeOfALongStraightWalk() {
    const Point from{Uniform(100, 900), Uniform(100, 650)};
    const double length = Uniform(150, 700);
    constexpr std::array<Point, 4> kDirections{Point{1, 0}, Point{-1, 0}, Point{0, 1}, Point{0, -1}};
    const Point dir = kDirections[static_cast<std::size_t>(Int(0, 3))];
    PlaceNewLink(from, {from.x + dir.x * length, from.y + dir.y * length});
    double ux = 0, uy = 0;
    const std::vector<Point> walk = Walk(ux, uy);
    if (walk.size() < 2) return;
    // A sample 2 px from walk point w, moved toward it by a few ulps.
    const auto nearlyTwoFrom = [&](Point w, Point offset) {
      Point at{w.x + offset.x * 2, w.y + offset.y * 2};
      for (int u = Int(0, 6); u > 0; --u) {
        if (offset.x != 0) at.x = std::nextafter(at.x, w.x);
        if (offset.y != 0) at.y = std::nextafter(at.y, w.y);
      }
      return at;
    };
    for (int k = Int(1, 4); k > 0; --k) {
      Point at{};
      switch (Int(0, 2)) {
        case 0: at = nearlyTwoFrom(walk.back(), {ux, uy}); break;
        case 1: at = nearlyTwoFrom(walk.front(), {-ux, -uy}); break;
        default: {
          const Point w = walk[static_cast<std::size_t>(Int(0, static_cast<int>(walk.size()) - 1))];
          const double side = Sign();
          at = nearlyTwoFrom(w, {-uy * side, ux * side});
        }
      }
      if (!SelfLink(at)) return;
    }
  }

  // The points of the new link's walk, by the same additions as the check.
  std::vector<Point> Walk(double& ux, double& uy) const {
    const double dx = pb_.x - pa_.x;
    const double dy = pb_.y - pa_.y;
    double L = std::sqrt(dx * dx + dy * dy);
    if (L == 0) L = 1;
    ux = dx / L;
    uy = dy / L;
    std::vector<Point> walk;
    double wx = pa_.x, wy = pa_.y;
    for (double s = 1; s <= L; s += 1) {
      wx = wx + ux;
      wy = wy + uy;
      walk.push_back({wx, wy});
    }
    return walk;
  }

  // Pegs with one link flag but not both, mostly near the new link: never sources.
  void AddFlagNoise() {
    for (int k = Int(1, 5); k > 0; --k) {
      const int i = Take();
      if (i == 0) return;
      Put(i, Around(Chance(0.7) ? Along(Uniform(0, length_)) : Somewhere(), 3));
      const bool linked = Chance(0.5);
      Pegs(i).Linked = linked;
      Pegs(i).Master = !linked;
      Pegs(i).LinkTarget = static_cast<std::int16_t>(Int(1, total_));
    }
  }

  // A would-be link on a record past the pegs in play, right across the new link.
  void AddBeyondThePegsInPlay() {
    if (total_ >= PegTable::kCapacity - 1) return;
    const int source = Int(total_ + 1, PegTable::kCapacity);
    const int target = Int(1, PegTable::kCapacity);
    if (target == a_ || target == b_) return;
    const Point mid = Along(length_ / 2);
    Put(source, Toward(mid, angle_ + 1.2, -30));
    if (target != source) Put(target, Toward(mid, angle_ + 1.2, 30));
    Join(source, target);
  }

  std::mt19937_64 gen_;
  PegTable background_;
  Board* board_ = nullptr;
  int total_ = 0;
  int a_ = 0;
  int b_ = 0;
  std::vector<bool> used_;
  int taken_ = 0;
  Point pa_{}, pb_{};
  double angle_ = 0;
  double length_ = 0;
};

TEST(LinkCheckProperty, GameAgreesWithThePlainWalkOnRandomLayouts) {
  constexpr int kLayouts = 21600;
  HeadlessPlatform events(8, 8);
  LayoutMaker maker(0x5eed'b41d'1e7aULL);
  std::array<std::array<int, 2>, kFamilies> tally{};  // [family][accepted]
  int mismatches = 0;

  for (int serial = 0; serial < kLayouts && mismatches < 5; ++serial) {
    const Board layout = maker.Make(serial);
    const int a = maker.a;
    const int b = layout.Pegs[a].LinkTarget;
    Board game = layout;
    PegTable reference = layout.Pegs;
    const bool got = CheckLinkPath(game, events, a);
    const bool want = ReferenceCheckLinkPath(reference, layout.PegTotal, a);

    // The plain walk changes at most the colours of a and b, as a refusal does.
    PegTable expected = layout.Pegs;
    if (!want) {
      expected[a].Colour = {2, 128, 2, layout.Pegs[a].Colour.Alpha};
      expected[b].Colour = expected[a].Colour;
    }
    ASSERT_TRUE(reference == expected) << "the plain walk changed more than its decision in layout " << serial;
    Board agreed = layout;
    agreed.Pegs = reference;
    if (got != want || !(game == agreed)) {
      ++mismatches;
      ADD_FAILURE() << "layout " << serial << " (" << kFamilyNames[maker.family] << "): game "
                    << (got ? "accepted" : "refused") << ", plain walk " << (want ? "accepted" : "refused")
                    << (got == want ? ", but the pegs differ" : "") << "; a=" << a << " b=" << b
                    << " pegs in play " << layout.PegTotal;
    }
    ++tally[maker.family][want ? 1 : 0];
  }
  EXPECT_EQ(events.yields(), kLayouts) << "every check lets events run once";

  // Each family must see both outcomes, or it tests nothing.
  int total = 0;
  for (int family = 0; family < kFamilies; ++family) {
    const auto& [refused, accepted] = tally[static_cast<std::size_t>(family)];
    const int n = refused + accepted;
    total += n;
    EXPECT_GE(refused, n / 10) << kFamilyNames[static_cast<std::size_t>(family)] << ": too few refusals";
    EXPECT_GE(accepted, n / 10) << kFamilyNames[static_cast<std::size_t>(family)] << ": too few acceptances";
    std::printf("  %-12s refused %5d accepted %5d\n", kFamilyNames[static_cast<std::size_t>(family)], refused,
                accepted);
  }
  EXPECT_EQ(total, kLayouts);
}

}  // namespace
}  // namespace brindlet::testing
