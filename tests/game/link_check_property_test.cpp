// The game's link check against the plain reference walk on many random
// layouts: the same decision, the same colours, and nothing else touched.
//
// Layouts are drawn from a fixed seed in several families, each aimed at a
// different way the fast check could go wrong: links that pass the new one at
// about the near distance, tiny and zero-length links, crowds of short links,
// links across the whole playfield, links that share end points with the new
// one, and samples placed at the near distance to the last bit.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <random>
#include <vector>

#include "support/fakes.h"
#include "support/reference_link_check.h"

namespace brindlet::testing {
namespace {

constexpr double kFieldWidth = 1026;
constexpr double kFieldHeight = 770;

enum Family { kNearMiss, kTiny, kCrowd, kAcrossField, kSharedEnds, kOnTheEdge, kFamilies };
constexpr std::array<const char*, kFamilies> kFamilyNames{"near miss",   "tiny",        "crowd",
                                                          "across field", "shared ends", "on the edge"};

struct Point {
  double x;
  double y;
};

// Builds one layout in a peg table: the new link a -> b committed as the click
// handler commits it, standing links around it, and random noise elsewhere.
class LayoutMaker {
 public:
  // Every record gets a place and a colour, also those past PegTotal (which
  // must be ignored as sources but are still read as targets). Layouts start
  // from this table and place only the pegs they use.
  explicit LayoutMaker(std::uint64_t seed) : gen_(seed) {
    for (int i = 1; i <= PegTable::kCapacity; ++i) {
      Peg& p = background_[i];
      p.X = Uniform(0, kFieldWidth);
      p.Y = Uniform(0, kFieldHeight);
      p.Colour = {Channel(), Channel(), Channel(), Channel()};
      p.Kind = static_cast<std::int16_t>(Int(0, 1));
      p.Glow = Int(0, 255);
      p.LinkEffectTimer = Uniform(0, 99);
    }
  }

  struct Layout {
    PegTable pegs;
    int pegTotal = 0;
    int a = 0;
    Family family = kNearMiss;
  };

  Layout Make(int serial) {
    Layout out;
    pegs_ = &out.pegs;
    // The cheap families come up more often than the costly ones (the plain
    // walk costs its length times the samples of every standing link).
    constexpr std::array<Family, 12> kRotation{kNearMiss, kTiny, kOnTheEdge,   kNearMiss, kSharedEnds, kTiny,
                                               kOnTheEdge, kCrowd, kNearMiss, kTiny,       kOnTheEdge,  kAcrossField};
    out.family = kRotation[static_cast<std::size_t>(serial) % kRotation.size()];
    family_ = out.family;
    // Most layouts use a small part of the table: every walk point visits every
    // peg up to PegTotal, and the plain walk is slow enough as it is.
    pegTotal_ = family_ == kCrowd ? Int(60, 130) : Chance(0.8) ? Int(2, 50) : Int(51, 200);
    out.pegTotal = pegTotal_;

    out.pegs = background_;
    used_.assign(static_cast<std::size_t>(pegTotal_) + 1, false);
    taken_ = 0;
    a_ = Take();
    b_ = Chance(0.02) ? a_ : Take();
    out.a = a_;
    (*pegs_)[a_].Colour = {Channel(), Channel(), Channel(), Channel()};
    (*pegs_)[b_].Colour = {Channel(), Channel(), Channel(), Channel()};

    switch (family_) {
      case kNearMiss: MakeNearMiss(); break;
      case kTiny: MakeTiny(); break;
      case kCrowd: MakeCrowd(); break;
      case kAcrossField: MakeAcrossField(); break;
      case kSharedEnds: MakeSharedEnds(); break;
      case kOnTheEdge: MakeOnTheEdge(); break;
      case kFamilies: break;
    }
    if (Chance(0.15)) AddFlagNoise();
    if (Chance(0.05)) AddBeyondPegTotal();

    // The new link, committed: a is its master, b the other end.
    Peg& pa = (*pegs_)[a_];
    pa.Linked = kTrue;
    pa.Master = kTrue;
    pa.LinkTarget = static_cast<std::int16_t>(b_);
    if (b_ != a_) {
      (*pegs_)[b_].Linked = kTrue;
      (*pegs_)[b_].Master = Chance(0.03) ? kTrue : kFalse;  // never so in a game; must not matter to either
    }
    return out;
  }

 private:
  double Uniform(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(gen_); }
  int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(gen_); }
  bool Chance(double p) { return Uniform(0, 1) < p; }
  std::int16_t Channel() { return static_cast<std::int16_t>(Int(0, 255)); }
  double Sign() { return Chance(0.5) ? 1.0 : -1.0; }
  Point Somewhere() { return {Uniform(0, kFieldWidth), Uniform(0, kFieldHeight)}; }
  Point Around(Point p, double r) { return {p.x + Uniform(-r, r), p.y + Uniform(-r, r)}; }
  Point Toward(Point p, double angle, double length) {
    return {p.x + length * std::cos(angle), p.y + length * std::sin(angle)};
  }
  double Angle() { return Uniform(0, 2 * std::numbers::pi); }

  // A random index of the game not yet used in this layout, 0 when none is left.
  int Take() {
    if (taken_ == pegTotal_) return 0;
    int i = 0;
    do {
      i = Int(1, pegTotal_);
    } while (used_[static_cast<std::size_t>(i)]);
    used_[static_cast<std::size_t>(i)] = true;
    ++taken_;
    return i;
  }
  void Put(int i, Point p) {
    (*pegs_)[i].X = p.x;
    (*pegs_)[i].Y = p.y;
  }
  // A standing link from a new source at `from` to a new target at `to`.
  // Returns false when the indices run out.
  bool Standing(Point from, Point to) {
    const int source = Take();
    if (source == 0) return false;
    const int target = Take();
    if (target == 0) return false;
    Put(source, from);
    Put(target, to);
    Join(source, target);
    return true;
  }
  // A standing link of length 0 made of one peg naming itself.
  bool SelfLink(Point at) {
    const int source = Take();
    if (source == 0) return false;
    Put(source, at);
    Join(source, source);
    return true;
  }
  void Join(int source, int target) {
    Peg& s = (*pegs_)[source];
    s.Linked = kTrue;
    s.Master = kTrue;
    s.LinkTarget = static_cast<std::int16_t>(target);
    if (target != source) {
      (*pegs_)[target].Linked = kTrue;
      (*pegs_)[target].Master = kFalse;
    }
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
  Point Off(Point p, double d) { return Toward(p, angle_ + std::numbers::pi / 2, d); }
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
    const int probes = Int(1, 3);
    for (int k = 0; k < probes; ++k) {
      const double d = Sign() * Uniform(1.5, 2.5);
      const double t0 = Uniform(-20, length_ + 20);
      const double t1 = Uniform(-20, length_ + 20);
      switch (Int(0, 3)) {
        case 0:
          Standing(Off(Along(t0), d), Off(Along(t1), d));
          break;
        case 1: {
          const Point shift = Chance(0.5) ? Point{d, 0} : Point{0, d};
          const Point p0 = Along(t0);
          const Point p1 = Along(t1);
          Standing({p0.x + shift.x, p0.y + shift.y}, {p1.x + shift.x, p1.y + shift.y});
          break;
        }
        case 2: {
          const Point end = Off(Along(Uniform(0, length_)), d);
          Standing(Toward(end, angle_ + std::numbers::pi / 2 + Uniform(-1, 1), Sign() * Uniform(5, 80)), end);
          break;
        }
        default: {
          const Point cross = Along(Uniform(0, length_));
          const double phi = Angle();
          Standing(Toward(cross, phi, -Uniform(0, 60)), Toward(cross, phi, Uniform(0, 60)));
          break;
        }
      }
    }
    Noise(Int(0, 6), pa_, 150, 80);
  }

  // New links of length 0, under a pixel or a few pixels, among standing
  // links of length 0, under a pixel, under a sample step and just over it.
  void MakeTiny() {
    const double pick = Uniform(0, 1);
    const double length = pick < 0.25 ? 0 : pick < 0.6 ? Uniform(0, 1) : Uniform(1, 3);
    NewLinkFrom(Somewhere(), length);
    const int count = Int(1, 40);
    for (int k = 0; k < count; ++k) {
      const Point from = Around(Chance(0.5) ? pa_ : pb_, 4);
      const double q = Uniform(0, 1);
      if (q < 0.1) {
        if (!SelfLink(from)) return;
        continue;
      }
      const double len = q < 0.3 ? 0 : q < 0.5 ? Uniform(0, 1) : q < 0.75 ? Uniform(1, 1 / 0.15) : Uniform(1 / 0.15, 20);
      if (!Standing(from, Toward(from, Angle(), len))) return;
    }
  }

  // Many short links crowding the new one.
  void MakeCrowd() {
    NewLinkFrom(Somewhere(), Uniform(0, 200));
    const Point mid{(pa_.x + pb_.x) / 2, (pa_.y + pb_.y) / 2};
    Noise(Int(15, 50), mid, length_ / 2 + 30, 50);
  }

  // Links with ends anywhere on the playfield, up to its full diagonal.
  void MakeAcrossField() {
    const double pick = Uniform(0, 1);
    if (pick < 0.1) {
      const bool down = Chance(0.5);
      const Point p{0, down ? 0.0 : kFieldHeight};
      const Point q{kFieldWidth, down ? kFieldHeight : 0.0};
      if (Chance(0.5)) {
        PlaceNewLink(p, q);
      } else {
        PlaceNewLink(q, p);
      }
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
    const int count = Int(1, 5);
    for (int k = 0; k < count; ++k) {
      const Point end = Chance(0.5) ? pa_ : pb_;
      const Point other = Around(end, 120);
      switch (Int(0, 2)) {
        case 0: Standing(end, other); break;
        case 1: Standing(other, end); break;
        default: {
          const int source = Take();
          if (source == 0) return;
          Put(source, other);
          Join(source, Chance(0.5) ? a_ : b_);
          // Join made the named peg a non-master end; the new link's pegs are
          // set up again as committed after this.
          break;
        }
      }
    }
  }

  // Samples placed at a distance of 2 (x plus y) from one walk point and
  // farther from all others, computed with the same additions as the walk,
  // so that the strict test decides on the last bits of both points.
  void MakeOnTheEdge() {
    if (Chance(0.3)) {
      MakeOnTheEdgeOfALongStraightWalk();
      return;
    }
    NewLinkFrom(Somewhere(), Uniform(1, 200));
    double ux = 0;
    double uy = 0;
    const std::vector<Point> walk = Walk(ux, uy);
    if (walk.empty()) return;
    const auto clearOfOthers = [&](Point at, std::size_t chosen) {
      for (std::size_t s = 0; s < walk.size(); ++s) {
        if (s != chosen && std::fabs(at.x - walk[s].x) + std::fabs(at.y - walk[s].y) < 2.01) return false;
      }
      return true;
    };
    const int probes = Int(1, 4);
    for (int k = 0; k < probes; ++k) {
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
      } else {
        // A longer link whose first sample lands on `at`, leading away from
        // the new link: its source lies one sample step back.
        const double side = (at.x - w.x) * -uy + (at.y - w.y) * ux >= 0 ? 1.0 : -1.0;
        const double psi = angle_ + side * (std::numbers::pi / 2 + Uniform(-0.6, 0.6));
        const Point far = Toward(at, psi, Uniform(7, 60));
        const double ex = far.x - at.x;
        const double ey = far.y - at.y;
        const double n = std::sqrt(ex * ex + ey * ey) * 0.15;
        const Point source{at.x - ex / n, at.y - ey / n};
        if (!Standing(source, {source.x + ex, source.y + ey})) return;
      }
    }
  }

  // A long horizontal or vertical walk, whose points drift from their exact
  // places as the additions round, with samples just under (or exactly) 2 px
  // beyond its ends along the line, or beside its points across it. A check
  // that locates walk points by arithmetic of its own must allow for the drift.
  void MakeOnTheEdgeOfALongStraightWalk() {
    const Point from{Uniform(100, 900), Uniform(100, 650)};
    const double length = Uniform(150, 700);
    const int direction = Int(0, 3);
    const Point dir = direction == 0 ? Point{1, 0} : direction == 1 ? Point{-1, 0} : direction == 2 ? Point{0, 1} : Point{0, -1};
    PlaceNewLink(from, {from.x + dir.x * length, from.y + dir.y * length});
    double ux = 0;
    double uy = 0;
    const std::vector<Point> walk = Walk(ux, uy);
    if (walk.size() < 2) return;
    // A sample 2 px from walk point w, then moved toward it by a few ulps: its
    // x plus y difference is 2 or just under.
    const auto nearlyTwoFrom = [&](Point w, Point offset) {
      Point at{w.x + offset.x * 2, w.y + offset.y * 2};
      const int ulps = Int(0, 6);
      for (int u = 0; u < ulps; ++u) {
        if (offset.x != 0) at.x = std::nextafter(at.x, w.x);
        if (offset.y != 0) at.y = std::nextafter(at.y, w.y);
      }
      return at;
    };
    const int probes = Int(1, 4);
    for (int k = 0; k < probes; ++k) {
      Point at{};
      switch (Int(0, 2)) {
        case 0: at = nearlyTwoFrom(walk.back(), {ux, uy}); break;
        case 1: at = nearlyTwoFrom(walk.front(), {-ux, -uy}); break;
        default: {
          const Point w = walk[static_cast<std::size_t>(Int(0, static_cast<int>(walk.size()) - 1))];
          const double side = Sign();
          at = nearlyTwoFrom(w, {-uy * side, ux * side});
          break;
        }
      }
      if (!SelfLink(at)) return;
    }
  }

  // The points of the new link's walk, by the same additions as the check.
  std::vector<Point> Walk(double& ux, double& uy) {
    const double dx = pb_.x - pa_.x;
    const double dy = pb_.y - pa_.y;
    double L = std::sqrt(dx * dx + dy * dy);
    if (L == 0) L = 1;
    ux = dx / L;
    uy = dy / L;
    std::vector<Point> walk;
    double wx = pa_.x;
    double wy = pa_.y;
    for (double s = 1; s <= L; s += 1) {
      wx = wx + ux;
      wy = wy + uy;
      walk.push_back({wx, wy});
    }
    return walk;
  }

  // Pegs with link flags that do not make them sources: linked but not
  // master, master but not linked, and "true" values other than -1.
  void AddFlagNoise() {
    const int count = Int(1, 5);
    for (int k = 0; k < count; ++k) {
      const int i = Take();
      if (i == 0) return;
      const Point from = Chance(0.7) ? Along(Uniform(0, length_)) : Somewhere();
      Put(i, Around(from, 3));
      Peg& p = (*pegs_)[i];
      p.LinkTarget = static_cast<std::int16_t>(Int(1, pegTotal_));
      switch (Int(0, 3)) {
        case 0: p.Linked = kTrue; p.Master = kFalse; break;
        case 1: p.Linked = kFalse; p.Master = kTrue; break;
        case 2: p.Linked = 1; p.Master = kTrue; break;
        default: p.Linked = kTrue; p.Master = 1; break;
      }
    }
  }

  // A would-be link on a record past PegTotal, right across the new link.
  void AddBeyondPegTotal() {
    if (pegTotal_ >= PegTable::kCapacity - 1) return;
    const int source = Int(pegTotal_ + 1, PegTable::kCapacity);
    const int target = Int(1, PegTable::kCapacity);
    if (target == a_ || target == b_) return;
    const Point mid = Along(length_ / 2);
    Put(source, Toward(mid, angle_ + 1.2, -30));
    if (target != source) Put(target, Toward(mid, angle_ + 1.2, 30));
    Join(source, target);
  }

  std::mt19937_64 gen_;
  PegTable* pegs_ = nullptr;
  Family family_ = kNearMiss;
  int pegTotal_ = 0;
  int a_ = 0;
  int b_ = 0;
  PegTable background_;
  std::vector<bool> used_;
  int taken_ = 0;
  Point pa_{};
  Point pb_{};
  double angle_ = 0;
  double length_ = 0;
};

struct Tally {
  int refused = 0;
  int accepted = 0;
};

TEST(LinkCheckProperty, GameAgreesWithThePlainWalkOnRandomLayouts) {
  constexpr int kLayouts = 21600;
  FakePlatform platform;
  ScriptedRandom random;  // the check draws nothing
  Game game{platform, random};
  LayoutMaker maker(0x5eed'b41d'1e7aULL);
  std::array<Tally, kFamilies> tally{};
  int mismatches = 0;

  for (int serial = 0; serial < kLayouts && mismatches < 5; ++serial) {
    const LayoutMaker::Layout layout = maker.Make(serial);
    const int a = layout.a;
    const int b = layout.pegs[a].LinkTarget;
    game.Pegs = layout.pegs;
    game.PegTotal = static_cast<std::int16_t>(layout.pegTotal);
    PegTable reference = layout.pegs;

    const std::int16_t got = game.CheckLinkPath(static_cast<std::int16_t>(a));
    const std::int16_t want = ReferenceCheckLinkPath(reference, layout.pegTotal, a);

    // The reference changes at most the colours of a and b, as a refusal does.
    PegTable expected = layout.pegs;
    if (want == 0) {
      expected[a].Colour = {2, 128, 2, layout.pegs[a].Colour.Alpha};
      expected[b].Colour = expected[a].Colour;
    }
    bool same = got == want;
    for (int i = 1; i <= PegTable::kCapacity; ++i) {
      same = same && game.Pegs[i] == reference[i];
      ASSERT_EQ(reference[i], expected[i]) << "reference changed peg " << i << " in layout " << serial;
    }
    if (!same) {
      ++mismatches;
      ADD_FAILURE() << "layout " << serial << " (" << kFamilyNames[layout.family] << "): game returned " << got
                    << ", reference " << want << "; a=" << a << " b=" << b << " PegTotal=" << layout.pegTotal;
    }
    Tally& t = tally[layout.family];
    (want == 0 ? t.refused : t.accepted) += 1;
  }
  EXPECT_EQ(random.taken(), 0);

  // Each family must exercise both outcomes, or it tests nothing.
  int total = 0;
  for (int family = 0; family < kFamilies; ++family) {
    const Tally& t = tally[static_cast<std::size_t>(family)];
    total += t.refused + t.accepted;
    const int n = t.refused + t.accepted;
    EXPECT_GE(t.refused, n / 10) << kFamilyNames[static_cast<std::size_t>(family)] << ": too few refusals";
    EXPECT_GE(t.accepted, n / 10) << kFamilyNames[static_cast<std::size_t>(family)] << ": too few acceptances";
    std::printf("  %-12s refused %5d accepted %5d\n", kFamilyNames[static_cast<std::size_t>(family)], t.refused,
                t.accepted);
  }
  EXPECT_GE(total, 20000);
}

}  // namespace
}  // namespace brindlet::testing
