// Scene drawing: link beams and their animation, the hover glow, the pegs
// with their rings, the start-up glow ring, the random draws a frame takes,
// and what a click handled at one of the drawing procedures' yields changes.
#include <gtest/gtest.h>

#include <cmath>
#include <deque>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "support/fakes.h"

namespace brindlet::testing {
namespace {

struct NullPump final : EventPump {
  void LetEventsRun() override {}
};

std::string FirstDifference(const PixelArray& actual, const PixelArray& expected) {
  if (actual.RowBytes() != expected.RowBytes() || actual.Rows() != expected.Rows()) return "arrays differ in size";
  for (std::int32_t row = 0; row < actual.Rows(); ++row) {
    for (std::int32_t col = 0; col < actual.RowBytes(); ++col) {
      if (actual(col, row) != expected(col, row)) {
        std::ostringstream out;
        out << "byte column " << col << " (pixel " << col / 3 << ", channel " << col % 3 << "), row " << row
            << ": actual " << int{actual(col, row)} << ", expected " << int{expected(col, row)};
        return out.str();
      }
    }
  }
  return "";
}

// Replaces the attract display with the given pegs (indices 1..n); nothing
// else is in play.
void UseScene(Game& game, const std::vector<Peg>& pegs) {
  for (int i = 1; i <= PegTable::kCapacity; ++i) game.Pegs[i] = Peg{};
  for (std::size_t i = 0; i < pegs.size(); ++i) game.Pegs[static_cast<int>(i) + 1] = pegs[i];
  game.PegTotal = static_cast<std::int16_t>(pegs.size());
}

Peg PegAt(double x, double y, DrawColour colour = {230, 20, 30, 240}) {
  Peg p;
  p.X = p.TargetX = x;
  p.Y = p.TargetY = y;
  p.Colour = colour;
  return p;
}

void Link(Game& game, int master, int target) {
  game.Pegs[master].Linked = kTrue;
  game.Pegs[master].Master = kTrue;
  game.Pegs[master].LinkTarget = static_cast<std::int16_t>(target);
  game.Pegs[target].Linked = kTrue;
}

// An uneven but reproducible run of draws in [0, 1).
std::vector<double> Draws(int count, double seed) {
  std::vector<double> out;
  for (int k = 0; k < count; ++k) {
    const double v = seed + 0.6180339887498949 * k;
    out.push_back(v - std::floor(v));
  }
  return out;
}

// ------------------------------------------------------------ link beams

constexpr double kBeamX1 = 100.5, kBeamY1 = 100.5, kBeamX2 = 300.5, kBeamY2 = 100.5;

struct BeamFixture {
  GameFixture f;
  const DrawColour colour{200, 33, 40, 220};

  BeamFixture() {
    UseScene(f.game, {PegAt(kBeamX1, kBeamY1, colour), PegAt(kBeamX2, kBeamY2)});
    Link(f.game, 1, 2);
    f.game.EffectsCounter = 0;
  }

  // The frame one beam of the link drawn at highlight `percent` leaves.
  PixelArray FrameWithBeamAt(double percent) const {
    PixelArray expected = f.game.BackgroundImage;
    NullPump pump;
    double x = kBeamX1, y = kBeamY1;
    DrawColour c = colour;
    PlotBeam(f.game.Field(), pump, expected, x, y, kBeamX2, kBeamY2, c, percent);
    return expected;
  }
};

struct StepCase {
  double timer, step;          // on entry
  double drawnAt, storedStep;  // highlight used and step stored
};

class BeamAnimation : public ::testing::TestWithParam<StepCase> {};

TEST_P(BeamAnimation, OneTickOfTheHighlight) {
  const StepCase c = GetParam();
  BeamFixture b;
  b.f.game.Pegs[1].LinkEffectTimer = c.timer;
  b.f.game.Pegs[1].LinkEffectStep = c.step;
  const Peg masterBefore = b.f.game.Pegs[1];
  const Peg targetBefore = b.f.game.Pegs[2];

  b.f.game.DrawLinks();

  const Peg& m = b.f.game.Pegs[1];
  EXPECT_DOUBLE_EQ(m.LinkEffectTimer, c.drawnAt);
  EXPECT_DOUBLE_EQ(m.LinkEffectStep, c.storedStep);
  EXPECT_EQ(FirstDifference(b.f.game.FrameImage, b.FrameWithBeamAt(c.drawnAt)), "");
  // The beam works on copies: the pegs keep their places and colours.
  EXPECT_EQ(m.X, masterBefore.X);
  EXPECT_EQ(m.Y, masterBefore.Y);
  EXPECT_EQ(m.Colour, masterBefore.Colour);
  EXPECT_EQ(b.f.game.Pegs[2], targetBefore);
  EXPECT_EQ(b.f.random.taken(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, BeamAnimation,
    ::testing::Values(StepCase{0.5, 0, 11, 10},          // step 0 -> 1, then below 1: back to 1, +10
                      StepCase{150, -3, 89, -10},        // set from outside: back to 99, -10
                      StepCase{99.5, 1.5, 89, -10},      // passed 99
                      StepCase{0.5, -1.5, 11, 10},       // fell below 1
                      StepCase{50, 0, 51, 1},            // a fresh link creeps at 1
                      StepCase{50, 1.5, 51.5, 1.5},      // |S| <= 2 is kept
                      StepCase{50, 2, 52, 2},            //   including 2 itself
                      StepCase{50, 10, 50 + 10 / 1.11, 10 / 1.11},   // damped
                      StepCase{50, -10, 50 - 10 / 1.11, -10 / 1.11},
                      StepCase{99, 1.9, 100.9, 1.9},     // 99 is not past 99
                      StepCase{1, -1.9, -0.9, -1.9}));   // 1 is not below 1

class BeamDamping : public ::testing::TestWithParam<double> {};

TEST_P(BeamDamping, StepShrinksBy1Point11UntilTwoOrLess) {
  // From +-10 the step is damped on each of 16 ticks to 10 / 1.11^16 = 1.8829
  // (after 15 it is still 2.0900) and then stays.
  const double start = GetParam();
  BeamFixture b;
  b.f.game.Pegs[1].LinkEffectStep = start;
  b.f.game.Pegs[1].LinkEffectTimer = start > 0 ? 11 : 89;  // no bounce within 20 ticks
  std::vector<double> steps;
  for (int tick = 1; tick <= 20; ++tick) {
    b.f.game.DrawLinks();
    steps.push_back(b.f.game.Pegs[1].LinkEffectStep);
  }
  const double sign = start > 0 ? 1 : -1;
  EXPECT_NEAR(steps[0], sign * 9.009009, 1e-6);
  EXPECT_NEAR(steps[14], sign * 2.0900435, 1e-6);
  EXPECT_NEAR(steps[15], sign * 1.8829220, 1e-6);
  for (int tick = 17; tick <= 20; ++tick) EXPECT_EQ(steps[tick - 1], steps[15]) << "tick " << tick;
}

INSTANTIATE_TEST_SUITE_P(BothWays, BeamDamping, ::testing::Values(10.0, -10.0));

TEST(BeamCycle, RunsAFixedFiftyTickCycleOnceItHasBounced) {
  // From timer 0.5 and step 0: tick 1 bounces to 11; up to 99.855 at tick 25,
  // 89 after the bounce at tick 26, down to 0.145 at tick 50, 11 again at 51.
  BeamFixture b;
  b.f.game.Pegs[1].LinkEffectTimer = 0.5;
  b.f.game.Pegs[1].LinkEffectStep = 0;
  std::vector<double> timer(1, 0.0);  // timer[k] after tick k
  for (int tick = 1; tick <= 130; ++tick) {
    b.f.game.DrawLinks();
    timer.push_back(b.f.game.Pegs[1].LinkEffectTimer);
  }
  EXPECT_EQ(timer[1], 11);
  EXPECT_NEAR(timer[25], 99.855, 1e-3);
  EXPECT_EQ(timer[26], 89);
  EXPECT_NEAR(timer[50], 0.145, 1e-3);
  EXPECT_EQ(timer[51], 11);
  for (int k = 2; k <= 25; ++k) EXPECT_GT(timer[k], timer[k - 1]) << "rising at tick " << k;
  for (int k = 27; k <= 50; ++k) EXPECT_LT(timer[k], timer[k - 1]) << "falling at tick " << k;
  for (int k = 1; k <= 80; ++k) EXPECT_NEAR(timer[k + 50], timer[k], 1e-9) << "tick " << k;
}

struct LinkFlagCase {
  std::int16_t linked, master;
  bool drawn;
};

class BeamOnlyFromMasters : public ::testing::TestWithParam<LinkFlagCase> {};

TEST_P(BeamOnlyFromMasters, NeedsLinkedAndMasterBothMinusOne) {
  const LinkFlagCase c = GetParam();
  BeamFixture b;
  b.f.game.Pegs[1].Linked = c.linked;
  b.f.game.Pegs[1].Master = c.master;
  b.f.game.Pegs[1].LinkEffectTimer = 40;
  b.f.game.Pegs[1].LinkEffectStep = 1.5;
  b.f.game.DrawLinks();
  const bool blank = FirstDifference(b.f.game.FrameImage, b.f.game.BackgroundImage).empty();
  EXPECT_EQ(!blank, c.drawn);
  EXPECT_EQ(b.f.game.Pegs[1].LinkEffectTimer, c.drawn ? 41.5 : 40);
}

INSTANTIATE_TEST_SUITE_P(Flags, BeamOnlyFromMasters,
                         ::testing::Values(LinkFlagCase{kTrue, kTrue, true}, LinkFlagCase{kTrue, kFalse, false},
                                           LinkFlagCase{kFalse, kTrue, false}, LinkFlagCase{1, kTrue, false},
                                           LinkFlagCase{kTrue, 1, false}));

// ------------------------------------------------------------ hover glow

struct GlowFixture {
  GameFixture f;
  explicit GlowFixture(std::vector<Peg> pegs) {
    UseScene(f.game, pegs);
    f.game.MousePosX = 200;
    f.game.MousePosY = 300;
  }
};

// The point the glow measures from: the cursor plus 0.01 on each axis.
constexpr double kCursorX = 200 + 0.01, kCursorY = 300 + 0.01;

struct DecayCase {
  std::int32_t before, after;
};

class GlowDecay : public ::testing::TestWithParam<DecayCase> {};

TEST_P(GlowDecay, DividesBy1Point1AndRoundsSoItStopsAtFive) {
  // 255 / 1.1 = 231.8 -> 232; 6 / 1.1 = 5.45 -> 5; 5 / 1.1 = 4.55 -> 5 again.
  const DecayCase c = GetParam();
  GlowFixture g({PegAt(600, 600), PegAt(900, 700)});  // both far from the cursor
  g.f.game.Pegs[1].Glow = c.before;
  g.f.game.Pegs[2].Glow = c.before;
  g.f.game.UpdateHoverGlow();
  EXPECT_EQ(g.f.game.Pegs[1].Glow, c.after);
  EXPECT_EQ(g.f.game.Pegs[2].Glow, c.after);
}

INSTANTIATE_TEST_SUITE_P(Values, GlowDecay,
                         ::testing::Values(DecayCase{255, 232}, DecayCase{100, 91}, DecayCase{11, 10},
                                           DecayCase{6, 5}, DecayCase{5, 5}, DecayCase{4, 4}, DecayCase{1, 1},
                                           DecayCase{0, 0}));

struct SettleCase {
  double distance;
  std::int32_t settles;
};

class GlowSettles : public ::testing::TestWithParam<SettleCase> {};

TEST_P(GlowSettles, HeldCursorBringsTheNearestPegToAFixedGlow) {
  // The glow g after decay rises by ((v / 4)^2 - g) / 1.5, v = 63 - d; the
  // fixed point G satisfies G = round(round(G / 1.1) + ((v / 4)^2 - round(G / 1.1)) / 1.5):
  // d = 0: (62.99 / 4)^2 = 247.9, round(237 / 1.1) = 215, 215 + 32.97 -> 237.
  const SettleCase c = GetParam();
  for (std::int32_t start : {0, 255}) {
    GlowFixture g({PegAt(200 + c.distance, 300), PegAt(900, 700)});
    g.f.game.Pegs[1].Glow = start;
    for (int tick = 0; tick < 100; ++tick) g.f.game.UpdateHoverGlow();
    EXPECT_EQ(g.f.game.Pegs[1].Glow, c.settles) << "from " << start;
    g.f.game.UpdateHoverGlow();
    EXPECT_EQ(g.f.game.Pegs[1].Glow, c.settles) << "stays";
    EXPECT_EQ(g.f.game.Pegs[2].Glow, 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Distances, GlowSettles,
                         ::testing::Values(SettleCase{0, 237}, SettleCase{10, 168}, SettleCase{30, 65},
                                           SettleCase{50, 10}));

struct OneTickCase {
  double distance;
  std::int32_t before, after;
};

class GlowReach : public ::testing::TestWithParam<OneTickCase> {};

TEST_P(GlowReach, NothingRisesAt63PixelsOrMore) {
  // At 55 px: v = 8, (8 / 4)^2 = 4, 0 + 4 / 1.5 = 2.67 -> 3. From 63 px on
  // v <= 0 and a glow is never below 4v, so it only decays.
  const OneTickCase c = GetParam();
  GlowFixture g({PegAt(kCursorX + c.distance, kCursorY), PegAt(900, 700)});
  g.f.game.Pegs[1].Glow = c.before;
  g.f.game.UpdateHoverGlow();
  EXPECT_EQ(g.f.game.Pegs[1].Glow, c.after);
}

INSTANTIATE_TEST_SUITE_P(Distances, GlowReach,
                         ::testing::Values(OneTickCase{55, 0, 3}, OneTickCase{63.5, 0, 0},
                                           OneTickCase{63.5, 40, 36}, OneTickCase{64, 0, 0},
                                           OneTickCase{100, 0, 0}, OneTickCase{400, 100, 91}));

struct NearestCase {
  double offset2, offset3;  // x of pegs 2 and 3 relative to the cursor point
  int risen;
};

class GlowOnlyNearest : public ::testing::TestWithParam<NearestCase> {};

TEST_P(GlowOnlyNearest, OnlyThePegNearestPegNamesRises) {
  const NearestCase c = GetParam();
  GlowFixture g({PegAt(900, 700), PegAt(kCursorX + c.offset2, kCursorY), PegAt(kCursorX + c.offset3, kCursorY)});
  g.f.game.UpdateHoverGlow();
  for (int i = 1; i <= 3; ++i) {
    if (i == c.risen) {
      EXPECT_GT(g.f.game.Pegs[i].Glow, 0) << "peg " << i;
    } else {
      EXPECT_EQ(g.f.game.Pegs[i].Glow, 0) << "peg " << i;
    }
  }
}

// 8 px each way is an exact tie (the offsets are exact in these binades):
// the lower index wins whichever side it is on.
INSTANTIATE_TEST_SUITE_P(Pairs, GlowOnlyNearest,
                         ::testing::Values(NearestCase{-8, 8, 2}, NearestCase{8, -8, 2}, NearestCase{8, 5, 3},
                                           NearestCase{-5, 8, 2}));

TEST(GlowWithoutNearestPeg, EveryGlowKeepsItsDecayedValue) {
  // No peg nearer than 31337 px: nothing rises and nothing breaks.
  GlowFixture far({PegAt(40000, 300), PegAt(40000, 900)});
  far.f.game.Pegs[1].Glow = 100;
  far.f.game.Pegs[2].Glow = 6;
  far.f.game.UpdateHoverGlow();
  EXPECT_EQ(far.f.game.Pegs[1].Glow, 91);
  EXPECT_EQ(far.f.game.Pegs[2].Glow, 5);

  // No peg in play at all: the records beyond PegTotal are not touched.
  GlowFixture none({});
  none.f.game.Pegs[1].Glow = 100;
  none.f.game.UpdateHoverGlow();
  EXPECT_EQ(none.f.game.Pegs[1].Glow, 100);
}

// ------------------------------------------------------------ pegs

// How one peg is drawn, step by step, from the draws in `u` (taken from the
// front): ten body dots, the selection rings, the glow ring above 5, then
// the link-ring alpha for every peg and the two link rings if linked.
void SelectionRingsByHand(const Playfield& field, PixelArray& frame, const Peg& p, std::deque<double>& u) {
  NullPump pump;
  auto next = [&] {
    const double v = u.front();
    u.pop_front();
    return v;
  };
  for (int ring = 0; ring < 5; ++ring) {
    DrawColour c;
    c.Red = c.Blue = p.Master == kTrue ? 255 : 0;
    c.Green = 255;
    c.Alpha = ToInt16(next() * 128);
    const double x = p.X - 3 + 3 * next();
    const double y = p.Y - 3 + 3 * next();
    const double r = 5 + 1.5 * next();
    double step = 0;
    PlotCircle(field, pump, frame, x, y, r, step, c);
  }
}

void PegByHand(const Playfield& field, PixelArray& frame, const Peg& p, std::deque<double>& u) {
  NullPump pump;
  auto next = [&] {
    const double v = u.front();
    u.pop_front();
    return v;
  };
  for (int dot = 0; dot < 10; ++dot) {
    const double jx = 2 * next() - 1;
    const double jy = 2 * next() - 1;
    DrawColour c = p.Colour;
    c.Alpha = ToInt16(p.Colour.Alpha * 0.75 / (std::fabs(jx + jy) / 2 + 1));
    PlotSoftPoint(field, frame, p.X + jx, p.Y + jy, c);
  }
  if (p.Selected == kTrue) SelectionRingsByHand(field, frame, p, u);
  DrawColour ring = p.Colour;
  ring.Alpha = static_cast<std::int16_t>(p.Glow);
  double step = 0;
  if (p.Glow > 5) PlotCircle(field, pump, frame, p.X - 1, p.Y - 1, 2.5, step, ring);
  ring.Alpha = ToInt16(next() * 64 + 128);
  if (p.Linked == kTrue) {
    PlotCircle(field, pump, frame, p.X - 1, p.Y - 1, 2.5, step, ring);
    ring.Green = 100;
    PlotCircle(field, pump, frame, p.X - 1, p.Y - 1, 1.0, step, ring);
  }
}

std::vector<Peg> MixedScene() {
  std::vector<Peg> pegs = {
      PegAt(100.3, 120.7, {230, 20, 30, 240}),  // plain
      PegAt(160.6, 110.2, {10, 40, 220, 250}),  // glowing
      PegAt(220.1, 140.9, {240, 5, 12, 235}),   // linked, master
      PegAt(300.8, 150.4, {250, 30, 44, 231}),  // linked
      PegAt(140.5, 200.5, {8, 50, 210, 245}),   // selected, master, glow 6
      PegAt(260.2, 210.8, {20, 9, 255, 255}),   // selected
      PegAt(330.4, 90.1, {201, 55, 0, 230}),    // glow 5: no ring
  };
  pegs[1].Glow = 120;
  pegs[2].Linked = pegs[2].Master = kTrue;
  pegs[2].LinkTarget = 4;
  pegs[3].Linked = kTrue;
  pegs[4].Selected = pegs[4].Master = kTrue;
  pegs[4].Glow = 6;
  pegs[5].Selected = kTrue;
  pegs[6].Glow = 5;
  return pegs;
}

TEST(DrawPegs, DrawsEveryPegAsBodyRingsGlowAndLinkRings) {
  GameFixture f;
  const std::vector<Peg> pegs = MixedScene();
  UseScene(f.game, pegs);
  // 7 pegs * 21 draws + 2 selected * 20.
  const std::vector<double> draws = Draws(7 * 21 + 2 * 20, 0.137);
  for (double d : draws) f.random.Push(d);

  f.game.DrawPegs();

  PixelArray expected = f.game.BackgroundImage;
  std::deque<double> u(draws.begin(), draws.end());
  for (const Peg& p : pegs) PegByHand(f.game.Field(), expected, p, u);
  EXPECT_EQ(FirstDifference(f.game.FrameImage, expected), "");
  EXPECT_EQ(f.random.remaining(), 0u);
  // Drawing works on copies of the colours.
  for (std::size_t i = 0; i < pegs.size(); ++i) EXPECT_EQ(f.game.Pegs[static_cast<int>(i) + 1], pegs[i]);
}

struct BodyCase {
  double ux, uy;  // the first dot's draws: jx = 2ux - 1, jy = 2uy - 1
  std::int16_t alpha;
};

class PegBody : public ::testing::TestWithParam<BodyCase> {};

TEST_P(PegBody, DotAlphaFallsWithTheJitterAndRoundsHalfToEven) {
  // Alpha 254 * 0.75 = 190.5, divided by |jx + jy| / 2 + 1. The peg sits at
  // x = 1.9, so the other nine dots, drawn with jitter -1, fall off the left
  // edge and the first dot is seen alone.
  const BodyCase c = GetParam();
  GameFixture f;
  const DrawColour colour{255, 40, 0, 254};
  UseScene(f.game, {PegAt(1.9, 100.5, colour)});
  f.random.Push({c.ux, c.uy});
  f.random.PushRepeated(0.0, 18);
  f.random.Push(0.5);
  f.game.DrawPegs();
  EXPECT_EQ(f.random.remaining(), 0u);

  auto oneDot = [&](std::int16_t alpha) {
    PixelArray frame = f.game.BackgroundImage;
    DrawColour dot = colour;
    dot.Alpha = alpha;
    PlotSoftPoint(f.game.Field(), frame, 1.9 + (2 * c.ux - 1), 100.5 + (2 * c.uy - 1), dot);
    return frame;
  };
  EXPECT_EQ(FirstDifference(f.game.FrameImage, oneDot(c.alpha)), "");
  EXPECT_NE(FirstDifference(f.game.FrameImage, oneDot(static_cast<std::int16_t>(c.alpha + 1))), "");
}

INSTANTIATE_TEST_SUITE_P(Jitter, PegBody,
                         ::testing::Values(BodyCase{0.5, 0.5, 190},     // 190.5 / 1 -> 190 (even)
                                           BodyCase{0.75, 0.75, 127},   // 190.5 / 1.5
                                           BodyCase{0.5, 0.0, 127},     // |0 - 1| / 2 + 1 = 1.5
                                           BodyCase{0.75, 0.25, 190},   // +0.5 - 0.5: the sum, not the sizes
                                           BodyCase{0.9, 0.9, 106}));   // 190.5 / 1.8 = 105.83

struct GlowRingCase {
  std::int32_t glow;
  bool ring;
};

class PegGlowRing : public ::testing::TestWithParam<GlowRingCase> {};

TEST_P(PegGlowRing, DrawnOnlyAboveFive) {
  const GlowRingCase c = GetParam();
  const DrawColour colour{30, 60, 240, 240};
  Playfield field;
  auto frameWithGlow = [&](std::int32_t glow) {
    GameFixture f;
    UseScene(f.game, {PegAt(100.4, 100.6, colour)});
    f.game.Pegs[1].Glow = glow;
    for (double d : Draws(21, 0.3)) f.random.Push(d);
    f.game.DrawPegs();
    field = f.game.Field();
    return f.game.FrameImage;
  };
  const PixelArray without = frameWithGlow(0);
  const PixelArray frame = frameWithGlow(c.glow);
  PixelArray expected = without;
  if (c.ring) {
    // The last thing drawn for an unlinked peg: a ring of radius 2.5 at
    // (X - 1, Y - 1) in the peg's colour with the glow as its alpha.
    NullPump pump;
    double step = 0;
    DrawColour ring = colour;
    ring.Alpha = static_cast<std::int16_t>(c.glow);
    PlotCircle(field, pump, expected, 100.4 - 1, 100.6 - 1, 2.5, step, ring);
  }
  EXPECT_EQ(FirstDifference(frame, expected), "") << "glow " << c.glow;
}

INSTANTIATE_TEST_SUITE_P(Glows, PegGlowRing,
                         ::testing::Values(GlowRingCase{0, false}, GlowRingCase{5, false}, GlowRingCase{6, true},
                                           GlowRingCase{255, true}));

class SelectionRingColour : public ::testing::TestWithParam<bool> {};

TEST_P(SelectionRingColour, MasterFlickersWhiteOthersGreen) {
  const bool master = GetParam();
  GameFixture f;
  UseScene(f.game, {PegAt(200.5, 200.5, {240, 10, 10, 0})});  // invisible body, no glow, unlinked
  f.game.Pegs[1].Selected = kTrue;
  f.game.Pegs[1].Master = master ? kTrue : kFalse;
  for (double d : Draws(41, 0.71)) f.random.Push(d);
  f.game.DrawPegs();

  int lit = 0;
  const PixelArray& frame = f.game.FrameImage;
  for (int row = 0; row < frame.Rows(); ++row) {
    for (int x = 0; x < frame.Width(); ++x) {
      const int b = frame(3 * x, row), g = frame(3 * x + 1, row), r = frame(3 * x + 2, row);
      if (r == 0 && g == 0 && b == 0) continue;
      ++lit;
      if (master) {
        ASSERT_TRUE(r == g && g == b) << "pixel " << x << ", row " << row << ": " << r << " " << g << " " << b;
      } else {
        ASSERT_TRUE(r == 0 && b == 0 && g > 0) << "pixel " << x << ", row " << row << ": " << r << " " << g << " " << b;
      }
    }
  }
  EXPECT_GT(lit, 50);
}

INSTANTIATE_TEST_SUITE_P(Master, SelectionRingColour, ::testing::Bool());

TEST(DrawSelectionRings, FiveRingsFromAlphaXYRadiusDraws) {
  GameFixture f;
  UseScene(f.game, {PegAt(90, 90), PegAt(300.3, 200.7)});
  f.game.Pegs[2].Master = kTrue;
  const std::vector<double> draws = Draws(20, 0.05);
  for (double d : draws) f.random.Push(d);
  const std::int16_t index = 2;
  f.game.DrawSelectionRings(index);

  PixelArray expected = f.game.BackgroundImage;
  std::deque<double> u(draws.begin(), draws.end());
  SelectionRingsByHand(f.game.Field(), expected, f.game.Pegs[2], u);
  EXPECT_EQ(FirstDifference(f.game.FrameImage, expected), "");
  EXPECT_EQ(f.random.remaining(), 0u);
}

struct DrawCountCase {
  bool selected, linked;
  long perPeg;
};

class DrawsPerPeg : public ::testing::TestWithParam<DrawCountCase> {};

TEST_P(DrawsPerPeg, TwentyForTheBodyTwentyIfSelectedOneForTheLinkRings) {
  // The link-ring alpha is drawn for every peg, so links never change how
  // many draws a frame takes.
  const DrawCountCase c = GetParam();
  GameFixture f;
  UseScene(f.game, {PegAt(100, 100), PegAt(200, 200), PegAt(300, 300)});
  for (int i = 1; i <= 3; ++i) {
    if (c.selected) f.game.Pegs[i].Selected = kTrue;
    if (c.linked) f.game.Pegs[i].Linked = kTrue;
  }
  f.random.SetFallback(0.5);
  f.game.DrawPegs();
  EXPECT_EQ(f.random.taken(), 3 * c.perPeg);
}

INSTANTIATE_TEST_SUITE_P(Kinds, DrawsPerPeg,
                         ::testing::Values(DrawCountCase{false, false, 21}, DrawCountCase{false, true, 21},
                                           DrawCountCase{true, false, 41}, DrawCountCase{true, true, 41}));

// ------------------------------------------------------------ start-up ring

TEST(GlowRing, MainTickDrawsItAtTheCentreOnlyInStartup) {
  GameFixture f;
  UseScene(f.game, {});
  ASSERT_EQ(f.game.gState, GameState::Startup);
  const std::vector<double> ring = Draws(15, 0.42);
  for (double d : ring) f.random.Push(d);
  f.random.Push(0.25);  // the move-everything draw: 25 is not above 99
  f.game.MainTick();
  EXPECT_EQ(f.random.remaining(), 0u);

  // Five rings: centre (1026 / 2, 770 / 2) = (513, 385) jittered by 3u - 3,
  // radius 40 + 1.5u, colour (255, 120, 21, 50), draws in the order x, y, r.
  PixelArray expected = f.game.BackgroundImage;
  NullPump pump;
  for (int k = 0; k < 5; ++k) {
    double step = 0;
    PlotCircle(f.game.Field(), pump, expected, 513 - 3 + 3 * ring[3 * k], 385 - 3 + 3 * ring[3 * k + 1],
               40 + 1.5 * ring[3 * k + 2], step, DrawColour{255, 120, 21, 50});
  }
  EXPECT_EQ(FirstDifference(f.game.FrameImage, expected), "");
}

class GlowRingOtherStates : public ::testing::TestWithParam<GameState> {};

TEST_P(GlowRingOtherStates, NotDrawnOutsideStartup) {
  GameFixture f;
  UseScene(f.game, {});
  f.game.gState = GetParam();
  f.game.MainTick();  // any draw would throw: nothing is scripted
  EXPECT_EQ(f.random.taken(), 0);
  EXPECT_EQ(FirstDifference(f.game.FrameImage, f.game.BackgroundImage), "");
}

INSTANTIATE_TEST_SUITE_P(States, GlowRingOtherStates,
                         ::testing::Values(GameState::Init, GameState::Idle, GameState::FirstSelected,
                                           GameState::SecondSelected, GameState::CheckingLink));

// ------------------------------------------------------------ yields

struct ProcedureCase {
  const char* name;
  std::function<void(Game&)> run;
};

class YieldsFirst : public ::testing::TestWithParam<ProcedureCase> {};

TEST_P(YieldsFirst, LetsEventsRunBeforeDoingAnything) {
  GameFixture f;
  std::vector<Peg> pegs = MixedScene();
  pegs[0].X = pegs[0].TargetX = 200;  // under the cursor
  pegs[0].Y = pegs[0].TargetY = 300;
  UseScene(f.game, pegs);
  f.game.MousePosX = 200;
  f.game.MousePosY = 300;
  f.random.SetFallback(0.5);

  struct Snapshot {
    PixelArray frame;
    std::vector<Peg> pegs;
    long draws;
  };
  auto take = [&] {
    Snapshot s{f.game.FrameImage, {}, f.random.taken()};
    for (int i = 1; i <= f.game.PegTotal; ++i) s.pegs.push_back(f.game.Pegs[i]);
    return s;
  };
  const Snapshot before = take();
  std::vector<Snapshot> atFirstYield;
  f.platform.on_yield = [&](long) {
    if (atFirstYield.empty()) atFirstYield.push_back(take());
  };
  GetParam().run(f.game);

  ASSERT_EQ(atFirstYield.size(), 1u);
  const Snapshot& y = atFirstYield.front();
  EXPECT_EQ(FirstDifference(y.frame, before.frame), "");
  EXPECT_EQ(y.pegs, before.pegs);
  EXPECT_EQ(y.draws, before.draws);
  // ... and then it did its work.
  const Snapshot after = take();
  EXPECT_TRUE(FirstDifference(after.frame, before.frame) != "" || after.pegs != before.pegs);
}

INSTANTIATE_TEST_SUITE_P(
    Procedures, YieldsFirst,
    ::testing::Values(ProcedureCase{"DrawLinks", [](Game& g) { g.DrawLinks(); }},
                      ProcedureCase{"UpdateHoverGlow", [](Game& g) { g.UpdateHoverGlow(); }},
                      ProcedureCase{"DrawPegs", [](Game& g) { g.DrawPegs(); }},
                      ProcedureCase{"DrawSelectionRings",
                                    [](Game& g) {
                                      const std::int16_t i = 5;
                                      g.DrawSelectionRings(i);
                                    }},
                      ProcedureCase{"DrawGlowRing",
                                    [](Game& g) { g.DrawGlowRing(150, 150, 40, DrawColour{255, 120, 21, 50}); }}),
    [](const ::testing::TestParamInfo<ProcedureCase>& info) { return std::string(info.param.name); });

// A click handled at yield number `at` of a main tick. In a tick without
// links the yields run: 1 the tick itself, 2 DrawLinks, 3 UpdateHoverGlow,
// 4 NearestPeg, 5 MovePegs, 6 DrawPegs, then the rings of peg 1.
struct ClickFixture {
  GameFixture f;
  bool clicked = false;

  ClickFixture(long at, std::int32_t cursorX) {
    UseScene(f.game, {PegAt(200, 200), PegAt(400, 200)});
    f.game.gState = GameState::Idle;
    f.platform.SetCursorClient(cursorX, 200);
    f.game.MousePosX = static_cast<std::int16_t>(cursorX);
    f.game.MousePosY = 200;
    f.random.SetFallback(0.5);
    f.platform.on_yield = [this, at](long n) {
      if (n == at && !clicked) {
        clicked = true;
        f.game.Click();
      }
    };
  }
};

struct SelectAtYield {
  long at;
  long draws;  // 2 pegs * 21, plus 20 if the selection is seen by DrawPegs
};

class ClickSelectsMidTick : public ::testing::TestWithParam<SelectAtYield> {};

TEST_P(ClickSelectsMidTick, LaterProceduresOfTheTickSeeTheSelection) {
  const SelectAtYield c = GetParam();
  ClickFixture k(c.at, 200);
  k.f.game.MainTick();
  ASSERT_TRUE(k.clicked);
  EXPECT_EQ(k.f.game.gState, GameState::FirstSelected);
  EXPECT_EQ(k.f.game.Pegs[1].Selected, kTrue);
  EXPECT_EQ(k.f.random.taken(), c.draws);
}

// Yield 7 is peg 1's glow ring: DrawPegs has passed its selection already.
INSTANTIATE_TEST_SUITE_P(Yields, ClickSelectsMidTick,
                         ::testing::Values(SelectAtYield{1, 62}, SelectAtYield{2, 62}, SelectAtYield{3, 62},
                                           SelectAtYield{4, 62}, SelectAtYield{5, 62}, SelectAtYield{6, 62},
                                           SelectAtYield{7, 42}));

struct LinkAtYield {
  long at;
  double timer;  // peg 1's beam timer after the tick
};

class ClickLinksMidTick : public ::testing::TestWithParam<LinkAtYield> {};

TEST_P(ClickLinksMidTick, LinkIsDrawnByTheProceduresAfterTheClick) {
  // Pegs 1 and 2 selected; the click on peg 2 confirms the pair. A link made
  // before DrawLinks runs gets its first beam this tick (timer 0 -> 11); made
  // later, it waits for the next tick. Either way DrawPegs sees two linked,
  // unselected pegs: 21 draws each and no selection rings.
  const LinkAtYield c = GetParam();
  ClickFixture k(c.at, 400);
  Game& g = k.f.game;
  g.gState = GameState::SecondSelected;
  g.FirstPeg = 1;
  g.SecondPeg = 2;
  g.Pegs[1].Selected = g.Pegs[2].Selected = kTrue;
  g.MainTick();
  ASSERT_TRUE(k.clicked);
  ASSERT_EQ(g.Pegs[1].Linked, kTrue);
  ASSERT_EQ(g.Pegs[1].Master, kTrue);
  EXPECT_EQ(g.Pegs[1].LinkEffectTimer, c.timer);
  EXPECT_EQ(k.f.random.taken(), 42);
}

INSTANTIATE_TEST_SUITE_P(Yields, ClickLinksMidTick,
                         ::testing::Values(LinkAtYield{1, 11}, LinkAtYield{2, 11}, LinkAtYield{3, 0},
                                           LinkAtYield{5, 0}, LinkAtYield{6, 0}));

TEST(ClickLinksMidTick, WithoutTheClickBothSelectionsAreDrawn) {
  ClickFixture k(1000000, 400);
  Game& g = k.f.game;
  g.gState = GameState::SecondSelected;
  g.FirstPeg = 1;
  g.SecondPeg = 2;
  g.Pegs[1].Selected = g.Pegs[2].Selected = kTrue;
  g.MainTick();
  EXPECT_FALSE(k.clicked);
  EXPECT_EQ(k.f.random.taken(), 82);
}

}  // namespace
}  // namespace brindlet::testing
