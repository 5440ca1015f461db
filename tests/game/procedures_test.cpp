// The peg procedures on boards of their own, with scripted draws: the attract
// display (SeedGame), a new game, the re-creation of one peg (InitPeg), easing
// toward the targets, new targets and one step of the shake.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "game/procedures.h"
#include "support/game_fixture.h"

namespace brindlet::testing {
namespace {

const double kBelowOne = std::nextafter(1.0, 0.0);
const double kAboveHalf = std::nextafter(0.5, 1.0);
constexpr DrawColour kGrey{50, 50, 50, 250};

// 100 zeroed pegs on the program's playfield; every draw comes from the script.
struct Bench {
  HeadlessPlatform platform{8, 8};
  ScriptedRandom random;
  Board board;
  Field field{1026, 770};
  Bench() { board.PegTotal = 100; }
  Context context() { return {field, platform, random}; }
  Peg& peg(int i) { return board.Pegs[i]; }
};

// SeedGame's six draws for one peg, in the order it takes them.
struct SeedDraws {
  double x = 0.5, y = 0.5, kind = 0.3, linked = 0.1, target = 0.5, master = 0.5;
};

// Seeds 100 pegs, the first ones with `first` and the others with the defaults.
void Seed(Bench& b, const std::vector<SeedDraws>& first) {
  for (std::size_t i = 0; i < 100; ++i) {
    const SeedDraws d = i < first.size() ? first[i] : SeedDraws{};
    b.random.Push({d.x, d.y, d.kind, d.linked, d.target, d.master});
  }
  SeedGame(b.board, b.context());
  EXPECT_EQ(b.random.remaining(), 0u) << "SeedGame takes six draws per peg";  // a seventh would throw
}

TEST(SeedGame, TakesSixDrawsPerPegInOrderAndKeepsMotionGlowAndBeam) {
  Bench b;
  for (int i = 1; i <= 100; ++i) b.peg(i) = Peg{0, 0, 0, 0, 1.25, -3.5, {}, 0, false, false, 0, true, 77, 42.5, -2};
  Seed(b, {{0.25, 0.75, 0.5, 0.9, 0.03, 0.2}, {0.0, 0.5, kAboveHalf, 0.8, 0.995, 0.0}});
  EXPECT_EQ(b.peg(1), (Peg{281.5, 552.5, 281.5, 552.5, 1.25, -3.5, kGrey, 0, true, true, 3, false, 77, 42.5, -2}));
  EXPECT_EQ(b.peg(2), (Peg{50, 385, 50, 385, 1.25, -3.5, kGrey, 1, false, false, 100, false, 77, 42.5, -2}));
  EXPECT_EQ(b.peg(3), (Peg{513, 385, 513, 385, 1.25, -3.5, kGrey, 0, false, true, 50, false, 77, 42.5, -2}));
  EXPECT_EQ(b.peg(101), Peg{}) << "only pegs in play are seeded";
}

TEST(SeedGame, KindLinkedAndTargetRoundHalfToEven) {
  struct Case {
    double kind; std::int16_t wantKind; double linked; bool linkedBefore, wantLinked; double target; std::int16_t wantTarget;
  };
  const std::vector<Case> cases = {
      {0.0, 0, 0.0, false, false, 0.0, 1},  // a target of 0 becomes peg 1
      {0.5, 0, 0.8, false, false, 0.005, 1},  // 0.5 rounds to 0, so peg 1 again
      {kAboveHalf, 1, std::nextafter(0.8, 1.0), false, true, 0.0049, 1},
      {0.49, 0, 0.81, false, true, 0.015, 2},             // 1.5 -> 2
      {0.51, 1, 0.5, false, false, 0.025, 2},             // 2.5 -> 2
      {kBelowOne, 1, kBelowOne, false, true, 0.985, 98},  // 98.5 -> 98
      {0.3, 0, 0.2, false, false, 0.995, 100},            // 99.5 -> 100
      {0.7, 1, 0.1, true, true, kBelowOne, 100},          // an earlier true is kept when not drawn
  };
  Bench b;
  std::vector<SeedDraws> draws;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    draws.push_back({0.5, 0.5, cases[i].kind, cases[i].linked, cases[i].target, 0.5});
    b.peg(static_cast<int>(i) + 1).Linked = cases[i].linkedBefore;
  }
  Seed(b, draws);
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const Peg& peg = b.peg(static_cast<int>(i) + 1);
    EXPECT_EQ(peg.Kind, cases[i].wantKind) << "case " << i;
    EXPECT_EQ(peg.Linked, cases[i].wantLinked) << "case " << i;
    EXPECT_EQ(peg.LinkTarget, cases[i].wantTarget) << "case " << i;
  }
}

TEST(SeedGame, PegIsMasterExactlyWhenNoPegOfEqualOrHigherIndexNamesIt) {
  std::array<int, 101> target{};
  std::vector<SeedDraws> draws(100);
  for (int i = 1; i <= 100; ++i) target[i] = i == 1 ? 1 : i == 100 ? 38 : (i * 37) % 100 + 1;
  for (int i = 1; i <= 100; ++i) draws[i - 1].target = i == 1 ? 0.0 : target[i] / 100.0;  // peg 1 names itself
  Bench b;
  Seed(b, draws);
  int masters = 0;
  for (int i = 1; i <= 100; ++i) {
    ASSERT_EQ(b.peg(i).LinkTarget, target[i]) << i;
    const bool named = std::find(target.begin() + i, target.end(), i) != target.end();
    EXPECT_EQ(b.peg(i).Master, !named) << "peg " << i;
    masters += b.peg(i).Master;
  }
  EXPECT_TRUE(b.peg(80).Master) << "named only by the earlier peg 67";
  EXPECT_EQ(masters, 50);

  // A master draw of exactly 0 changes no flag, neither its own nor its target's.
  Bench zero;
  zero.peg(5).Master = zero.peg(7).Master = true;
  std::vector<SeedDraws> none(100, SeedDraws{0.5, 0.5, 0.3, 0.1, 0.5, 0.0});
  none[4].target = 0.07;
  none[6].target = 0.05;
  Seed(zero, none);
  for (int i = 1; i <= 100; ++i) EXPECT_EQ(zero.peg(i).Master, i == 5 || i == 7) << i;
}

TEST(InitPeg, DrawsTargetsKindAndColourInOrderRoundingHalfToEven) {
  // The eight draws: targets, kind, red, green, blue, alpha, the kind's strong channel.
  struct Case { const char* name; std::vector<double> draws; double targetX, targetY; std::int16_t kind; DrawColour colour; };
  const Case cases[] = {
      {"all_zero", {0, 0, 0, 0, 0, 0, 0, 0}, 50, 50, 0, {200, 0, 0, 230}},
      // 16.5 -> 16, 27.5 -> 28, 5.5 -> 6, 237.5 -> 238, 216.5 -> 216.
      {"red_ties", {0.25, 0.75, 0.5, 0.3, 0.5, 0.1, 0.3, 0.3}, 281.5, 552.5, 0, {216, 28, 6, 238}},
      // 38.5 -> 38, 49.5 -> 50, 252.5 -> 252; 205.5 -> 206 replaces the weak blue.
      {"blue_ties", {0.5, 0.5, kAboveHalf, 0.7, 0.9, 0.5, 0.9, 0.1}, 513, 385, 1, {38, 50, 206, 252}},
      {"all_high", std::vector<double>(8, kBelowOne), 976, 720, 1, {55, 55, 255, 255}},
      {"red_high", {0, 0, 0.5, kBelowOne, kBelowOne, kBelowOne, kBelowOne, kBelowOne}, 50, 50, 0, {255, 55, 55, 255}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bench b;
    for (double d : c.draws) b.random.Push({d});
    InitPeg(b.board, b.context(), 9);
    EXPECT_EQ(b.random.remaining(), 0u);
    EXPECT_NEAR(b.peg(9).TargetX, c.targetX, 1e-9);
    EXPECT_NEAR(b.peg(9).TargetY, c.targetY, 1e-9);
    EXPECT_EQ(b.peg(9).Kind, c.kind);
    const DrawColour& got = b.peg(9).Colour;
    EXPECT_EQ(got, c.colour) << got.Red << "," << got.Green << "," << got.Blue << "," << got.Alpha;
  }
}

TEST(InitPeg, ChangesOnlyThatPegKeepingPlaceMotionGlowAndBeamAndIgnoresIndicesOutsideTheTable) {
  Bench b;
  b.peg(3) = Peg{12.5, 700.25, 0, 0, -4.0, 2.5, {7, 8, 9, 10}, 1, true, true, 8, true, 200, 55.0, 9.0};
  Board want = b.board;
  want.Pegs[3] = Peg{12.5, 700.25, 281.5, 217.5, -4.0, 2.5, {214, 14, 14, 236}, 0, false, false, 0, false, 200, 55, 9};
  b.random.SetFallback(0.25);
  InitPeg(b.board, b.context(), 3);
  EXPECT_EQ(b.random.taken(), 8);
  EXPECT_EQ(b.peg(3), want.Pegs[3]);
  EXPECT_TRUE(b.board == want) << "only peg 3 changes";
  for (int outside : {0, -1, 201}) InitPeg(b.board, b.context(), outside);
  EXPECT_EQ(b.random.taken(), 8) << "no draws for indices outside the table";
  EXPECT_TRUE(b.board == want);
  InitPeg(b.board, b.context(), 200);  // the last record of the table
  EXPECT_EQ(b.peg(200).TargetX, 281.5);
}

TEST(PegTable, ProceduresReachOnlyThePegsInPlay) {
  const std::pair<int, int> totals[] = {{-5, 0}, {0, 0}, {1, 1}, {3, 3}, {200, 200}, {250, 200}};
  for (const auto& [pegTotal, total] : totals) {
    Board board;
    board.PegTotal = static_cast<std::int16_t>(pegTotal);
    EXPECT_EQ(board.Total(), total) << pegTotal;
    EXPECT_FALSE(board.IsPeg(0));
    EXPECT_EQ(board.IsPeg(total), total > 0) << pegTotal;
    EXPECT_FALSE(board.IsPeg(total + 1)) << pegTotal;
  }
  Bench b;
  b.board.PegTotal = 3;
  for (int i = 1; i <= 200; ++i) b.peg(i).TargetX = 100;
  b.board.ShakeAmplitude = 50;
  b.random.SetFallback(0.75);
  const Board before = b.board;
  SeedGame(b.board, b.context());
  MovePegs(b.board, b.context());
  RandomizePegs(b.board, b.context());
  ShakePegs(b.board, b.context());
  EXPECT_EQ(b.random.taken(), 3 * (6 + 2 + 2));
  for (int i = 4; i <= 200; ++i) ASSERT_EQ(b.peg(i), before.Pegs[i]) << i;
}

TEST(MovePegs, AnAxisWithinATenthOfAPixelRestsAndKeepsItsVelocity) {
  struct Case { double position, target; bool moves; double velocity; };  // velocity: the new one, from a stored 7.5
  for (const Case c : {Case{5, 5, false, 0}, Case{0, 0.1, false, 0}, Case{0.1, 0, false, 0}, Case{0, -0.1, false, 0},
                       Case{300, 300.05, false, 0},
                       Case{0, std::nextafter(0.1, 1.0), true, 4.423529411764706},  // (0.02 + 7.5) / 1.7
                       Case{0, -0.2, true, 4.3882352941176475}}) {                   // (-0.04 + 7.5) / 1.7
    Bench b;
    Peg& p = b.peg(7);
    p.X = c.position;
    p.TargetX = c.target;
    p.VelocityX = 7.5;
    p.TargetY = 100;  // the other axis is always far from its target
    MovePegs(b.board, b.context());
    EXPECT_DOUBLE_EQ(p.VelocityX, c.moves ? c.velocity : 7.5) << c.position << " -> " << c.target;
    EXPECT_DOUBLE_EQ(p.X, c.moves ? c.position + c.velocity : c.position) << c.position << " -> " << c.target;
    EXPECT_DOUBLE_EQ(p.Y, 11.764705882352942) << "the axes move independently";
  }
}

TEST(RandomizePegs, LetsEventsRunThenDrawsXThenYTargetsOverThePlayfield) {
  Bench b;
  for (int i = 1; i <= 100; ++i) b.peg(i) = Peg{1.0 * i, 2, 3, 4, 5, 6, {7, 8, 9, 10}, 1, true, true, 5};
  b.random.Push({0.0, 0.0, 0.5, 0.25, kBelowOne, kBelowOne, 0.25, 0.5});
  b.random.PushRepeated(0.75, 192);
  long drawsAtYield = -1;
  b.platform.at_yield = [&] { drawsAtYield = b.random.taken(); };
  Board want = b.board;
  RandomizePegs(b.board, b.context());
  EXPECT_EQ(drawsAtYield, 0) << "events run before the first draw";
  EXPECT_EQ(b.random.remaining(), 0u);
  const std::array<std::array<double, 2>, 4> first{{{0.25, 0.25}, {513.25, 192.75}, {0, 0}, {256.75, 385.25}}};
  for (int i = 1; i <= 100; ++i) {
    want.Pegs[i].TargetX = i > 4 ? 769.75 : first[static_cast<std::size_t>(i - 1)][0];
    want.Pegs[i].TargetY = i > 4 ? 577.75 : first[static_cast<std::size_t>(i - 1)][1];
  }
  // Draws just below 1 reach just below the playfield's far edges plus a quarter pixel.
  EXPECT_TRUE(b.peg(3).TargetX > 1026.24 && b.peg(3).TargetX < 1026.25) << b.peg(3).TargetX;
  EXPECT_TRUE(b.peg(3).TargetY > 770.24 && b.peg(3).TargetY < 770.25) << b.peg(3).TargetY;
  want.Pegs[3].TargetX = b.peg(3).TargetX;
  want.Pegs[3].TargetY = b.peg(3).TargetY;
  EXPECT_TRUE(b.board == want) << "only the targets change";
}

TEST(ShakePegs, OneStepJoltsPositionsXThenYAndDampsTheAmplitude) {
  Bench b;
  for (int i = 1; i <= 100; ++i) b.peg(i) = Peg{100, 200, 3, 4, 5, 6, {7, 8, 9, 10}, 1, true, true, 5};
  b.board.ShakeAmplitude = 50;
  b.random.Push({0.0, 0.75, 0.5, 0.25});
  b.random.PushRepeated(0.5, 196);
  Board want = b.board;
  want.ShakeAmplitude = 45;
  want.Pegs[1].X = 77.5;  // 45 * 0 - 22.5
  want.Pegs[1].Y = 211.25;
  want.Pegs[2].Y = 188.75;
  ShakePegs(b.board, b.context());
  EXPECT_EQ(b.random.remaining(), 0u);
  EXPECT_TRUE(b.board == want) << "only the positions and the amplitude change";
}

}  // namespace
}  // namespace brindlet::testing
