// Filling peg records: the attract display (SeedGame), a new game (InitGame)
// and the creation of one peg (InitPeg), with scripted random draws.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "support/fakes.h"

namespace brindlet::testing {
namespace {

const double kBelowOne = std::nextafter(1.0, 0.0);
const double kAboveHalf = std::nextafter(0.5, 1.0);

// A game that was never started: the playfield size and the peg total are
// set by hand and every draw comes from the test's script.
struct Unstarted : GameFixture {
  explicit Unstarted(std::int32_t width = 1026, std::int32_t height = 770) : GameFixture(false) {
    game.ImageWidth = width;
    game.ImageHeight = height;
    game.PegTotal = 100;
  }
};

// The six draws SeedGame takes for one peg, in the order it takes them.
struct SeedDraws {
  double x = 0.5;
  double y = 0.5;
  double kind = 0.3;
  double linked = 0.1;
  double target = 0.5;
  double master = 0.5;
};

void Script(ScriptedRandom& random, const std::vector<SeedDraws>& pegs) {
  for (const SeedDraws& d : pegs) random.Push({d.x, d.y, d.kind, d.linked, d.target, d.master});
}

void Seed(Unstarted& f, const std::vector<SeedDraws>& pegs) {
  Script(f.random, pegs);
  f.game.SeedGame();
  EXPECT_EQ(f.random.remaining(), 0u) << "SeedGame takes six draws per peg";
}

TEST(SeedGame, TakesSixDrawsPerPegInOrder) {
  Unstarted f;
  std::vector<SeedDraws> draws(100);
  draws[0] = {0.25, 0.75, 0.5, 0.9, 0.03, 0.2};
  draws[1] = {0.0, 0.5, kAboveHalf, 0.8, 0.995, 0.0};
  Seed(f, draws);  // a seventh draw per peg would run the script dry and throw

  const Peg& p1 = f.game.Pegs[1];
  EXPECT_EQ(p1.X, 281.5);
  EXPECT_EQ(p1.Y, 552.5);
  EXPECT_EQ(p1.TargetX, 281.5);
  EXPECT_EQ(p1.TargetY, 552.5);
  EXPECT_EQ(p1.Kind, 0);
  EXPECT_EQ(p1.Colour, (DrawColour{50, 50, 50, 250}));
  EXPECT_EQ(p1.Linked, kTrue);
  EXPECT_EQ(p1.LinkTarget, 3);
  EXPECT_EQ(p1.Master, kTrue);

  const Peg& p2 = f.game.Pegs[2];
  EXPECT_EQ(p2.X, 50.0);
  EXPECT_EQ(p2.Y, 385.0);
  EXPECT_EQ(p2.Kind, 1);
  EXPECT_EQ(p2.Colour, (DrawColour{50, 50, 50, 250}));
  EXPECT_EQ(p2.Linked, kFalse);
  EXPECT_EQ(p2.LinkTarget, 100);
  EXPECT_EQ(p2.Master, kFalse);

  // Pegs 3..100 took the defaults: the centre, linked to peg 50.
  for (int i = 3; i <= 100; ++i) {
    EXPECT_EQ(f.game.Pegs[i].X, 513.0) << i;
    EXPECT_EQ(f.game.Pegs[i].Y, 385.0) << i;
    EXPECT_EQ(f.game.Pegs[i].LinkTarget, 50) << i;
  }
  EXPECT_EQ(f.game.Pegs[101], Peg{}) << "only pegs 1..PegTotal are seeded";
}

TEST(SeedGame, KindLinkedAndLinkTargetRoundingEdges) {
  struct Case {
    double kind;
    std::int16_t expectKind;
    double linked;
    std::int16_t expectLinked;
    double target;
    std::int16_t expectTarget;
  };
  const std::vector<Case> cases = {
      {0.0, 0, 0.0, kFalse, 0.0, 1},                      // 0 becomes peg 1
      {0.5, 0, 0.8, kFalse, 0.005, 1},                    // 0.5 rounds to 0 -> 1
      {kAboveHalf, 1, std::nextafter(0.8, 1.0), kTrue, 0.0049, 1},
      {0.49, 0, 0.81, kTrue, 0.015, 2},                   // 1.5 -> 2
      {0.51, 1, 0.5, kFalse, 0.025, 2},                   // 2.5 -> 2 (even)
      {kBelowOne, 1, kBelowOne, kTrue, 0.985, 98},        // 98.5 -> 98
      {0.3, 0, 0.2, kFalse, 0.995, 100},                  // 99.5 -> 100
      {0.7, 1, 0.9, kTrue, kBelowOne, 100},
  };
  Unstarted f;
  std::vector<SeedDraws> draws(100);
  for (std::size_t i = 0; i < cases.size(); ++i) {
    draws[i].kind = cases[i].kind;
    draws[i].linked = cases[i].linked;
    draws[i].target = cases[i].target;
  }
  Seed(f, draws);
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const Peg& peg = f.game.Pegs[static_cast<int>(i) + 1];
    EXPECT_EQ(peg.Kind, cases[i].expectKind) << "case " << i;
    EXPECT_EQ(peg.Linked, cases[i].expectLinked) << "case " << i;
    EXPECT_EQ(peg.LinkTarget, cases[i].expectTarget) << "case " << i;
  }
}

TEST(SeedGame, LinkedKeepsAnEarlierTrueWhenNotDrawn) {
  Unstarted f;
  f.game.Pegs[4].Linked = kTrue;
  std::vector<SeedDraws> draws(100);
  draws[3].linked = 0.1;
  Seed(f, draws);
  EXPECT_EQ(f.game.Pegs[4].Linked, kTrue);
  EXPECT_EQ(f.game.Pegs[5].Linked, kFalse);
}

TEST(SeedGame, PegIsMasterExactlyWhenNoPegOfEqualOrHigherIndexNamesIt) {
  Unstarted f;
  std::vector<SeedDraws> draws(100);
  std::vector<int> target(101);
  for (int i = 1; i <= 100; ++i) {
    target[i] = (i * 37) % 100 + 1;
    draws[i - 1].target = target[i] / 100.0;
    draws[i - 1].master = 0.5;
  }
  target[1] = 1;  // peg 1 names itself, and no other peg names it
  draws[0].target = 0.0;
  target[100] = 38;
  draws[99].target = 0.38;
  Seed(f, draws);

  int masters = 0;
  for (int i = 1; i <= 100; ++i) {
    ASSERT_EQ(f.game.Pegs[i].LinkTarget, target[i]) << i;
    bool named = false;
    for (int j = i; j <= 100; ++j) named = named || target[j] == i;
    EXPECT_EQ(f.game.Pegs[i].Master, named ? kFalse : kTrue) << "peg " << i;
    if (f.game.Pegs[i].Master == kTrue) ++masters;
  }
  EXPECT_EQ(f.game.Pegs[1].Master, kFalse);   // its own LinkTarget
  EXPECT_EQ(f.game.Pegs[80].Master, kTrue);   // named only by the earlier peg 67
  EXPECT_EQ(f.game.Pegs[90].Master, kFalse);  // named by the later peg 97
  EXPECT_EQ(masters, 50);
}

TEST(SeedGame, MasterDrawOfExactlyZeroChangesNoMaster) {
  Unstarted f;
  f.game.Pegs[5].Master = kTrue;
  f.game.Pegs[7].Master = kTrue;
  std::vector<SeedDraws> draws(100);
  for (auto& d : draws) d.master = 0.0;
  draws[4].target = 0.07;  // peg 5 names peg 7 with a zero draw: peg 7 keeps its flag
  draws[6].target = 0.05;  // and peg 7 names peg 5 likewise
  Seed(f, draws);
  for (int i = 1; i <= 100; ++i) {
    EXPECT_EQ(f.game.Pegs[i].Master, (i == 5 || i == 7) ? kTrue : kFalse) << i;
  }
}

TEST(SeedGame, LeavesVelocitiesGlowAndBeamFieldsAndClearsSelection) {
  Unstarted f;
  for (int i = 1; i <= 100; ++i) {
    Peg& p = f.game.Pegs[i];
    p.VelocityX = 1.25;
    p.VelocityY = -3.5;
    p.Glow = 77;
    p.LinkEffectTimer = 42.5;
    p.LinkEffectStep = -2.0;
    p.Selected = kTrue;
  }
  Seed(f, std::vector<SeedDraws>(100));
  for (int i = 1; i <= 100; ++i) {
    const Peg& p = f.game.Pegs[i];
    EXPECT_EQ(p.VelocityX, 1.25);
    EXPECT_EQ(p.VelocityY, -3.5);
    EXPECT_EQ(p.Glow, 77);
    EXPECT_EQ(p.LinkEffectTimer, 42.5);
    EXPECT_EQ(p.LinkEffectStep, -2.0);
    EXPECT_EQ(p.Selected, kFalse);
  }
}

TEST(SeedGame, ImageSmallerThanTheMarginsStillSeeds) {
  Unstarted f(80, 60);
  std::vector<SeedDraws> draws(100);
  draws[0].x = 0.0;
  draws[0].y = 0.0;
  draws[1].x = kBelowOne;
  draws[1].y = kBelowOne;
  Seed(f, draws);
  EXPECT_EQ(f.game.Pegs[1].X, 50.0);
  EXPECT_EQ(f.game.Pegs[1].Y, 50.0);
  EXPECT_NEAR(f.game.Pegs[2].X, 30.0, 1e-9);
  EXPECT_NEAR(f.game.Pegs[2].Y, 10.0, 1e-9);
  EXPECT_EQ(f.game.Pegs[3].X, 40.0);
  EXPECT_EQ(f.game.Pegs[3].Y, 30.0);
}

// The eight draws InitPeg takes, in order: targets, kind, the three
// channels, alpha and the strong channel of the kind.
struct InitDraws {
  double tx, ty, kind, red, green, blue, alpha, strong;
};

struct InitCase {
  const char* name;
  InitDraws draws;
  double targetX, targetY;
  std::int16_t kind;
  DrawColour colour;
};

class InitPegTest : public ::testing::TestWithParam<InitCase> {};

TEST_P(InitPegTest, TargetsKindAndRoundedColour) {
  const InitCase& c = GetParam();
  Unstarted f;
  f.random.Push({c.draws.tx, c.draws.ty, c.draws.kind, c.draws.red, c.draws.green, c.draws.blue, c.draws.alpha,
                 c.draws.strong});
  std::int16_t index = 9;
  f.game.InitPeg(index);
  EXPECT_EQ(f.random.remaining(), 0u);
  const Peg& p = f.game.Pegs[9];
  EXPECT_NEAR(p.TargetX, c.targetX, 1e-9);
  EXPECT_NEAR(p.TargetY, c.targetY, 1e-9);
  EXPECT_EQ(p.Kind, c.kind);
  EXPECT_EQ(p.Colour, c.colour) << "got " << p.Colour.Red << "," << p.Colour.Green << "," << p.Colour.Blue << ","
                                << p.Colour.Alpha;
}

INSTANTIATE_TEST_SUITE_P(
    Draws, InitPegTest,
    ::testing::Values(
        InitCase{"AllZero", {0, 0, 0, 0, 0, 0, 0, 0}, 50, 50, 0, {200, 0, 0, 230}},
        // Ties: 16.5 -> 16, 27.5 -> 28, 5.5 -> 6, 237.5 -> 238, 216.5 -> 216.
        InitCase{"RedTies", {0.25, 0.75, 0.5, 0.3, 0.5, 0.1, 0.3, 0.3}, 281.5, 552.5, 0, {216, 28, 6, 238}},
        // 38.5 -> 38, 49.5 -> 50, 252.5 -> 252, 205.5 -> 206 replaces the weak blue.
        InitCase{"BlueTies", {0.5, 0.5, kAboveHalf, 0.7, 0.9, 0.5, 0.9, 0.1}, 513, 385, 1, {38, 50, 206, 252}},
        InitCase{"AllHigh", {kBelowOne, kBelowOne, kBelowOne, kBelowOne, kBelowOne, kBelowOne, kBelowOne, kBelowOne},
                 976, 720, 1, {55, 55, 255, 255}},
        InitCase{"RedHigh", {0, 0, 0.5, kBelowOne, kBelowOne, kBelowOne, kBelowOne, kBelowOne}, 50, 50, 0,
                 {255, 55, 55, 255}}),
    [](const ::testing::TestParamInfo<InitCase>& info) { return std::string(info.param.name); });

TEST(InitPeg, KeepsPositionMotionGlowAndBeamAndClearsLinkAndSelection) {
  Unstarted f;
  Peg& p = f.game.Pegs[3];
  p.X = 12.5;
  p.Y = 700.25;
  p.VelocityX = -4.0;
  p.VelocityY = 2.5;
  p.Glow = 200;
  p.LinkEffectTimer = 55.0;
  p.LinkEffectStep = 9.0;
  p.Linked = kTrue;
  p.Master = kTrue;
  p.LinkTarget = 8;
  p.Selected = kTrue;
  const Peg neighbour = f.game.Pegs[4] = Peg{1, 2, 3, 4, 5, 6, {7, 8, 9, 10}, 1, kTrue, kTrue, 5, kTrue, 11, 12, 13};
  f.random.SetFallback(0.25);
  std::int16_t index = 3;
  f.game.InitPeg(index);
  EXPECT_EQ(f.random.taken(), 8);
  EXPECT_EQ(p.X, 12.5);
  EXPECT_EQ(p.Y, 700.25);
  EXPECT_EQ(p.VelocityX, -4.0);
  EXPECT_EQ(p.VelocityY, 2.5);
  EXPECT_EQ(p.Glow, 200);
  EXPECT_EQ(p.LinkEffectTimer, 55.0);
  EXPECT_EQ(p.LinkEffectStep, 9.0);
  EXPECT_EQ(p.TargetX, 281.5);
  EXPECT_EQ(p.TargetY, 217.5);
  EXPECT_EQ(p.Linked, kFalse);
  EXPECT_EQ(p.Master, kFalse);
  EXPECT_EQ(p.LinkTarget, 0);
  EXPECT_EQ(p.Selected, kFalse);
  EXPECT_EQ(f.game.Pegs[4], neighbour);
  EXPECT_EQ(index, 3);
}

TEST(InitPeg, ColoursStayInTheirFamilyRanges) {
  FakePlatform platform;
  DefaultRandom random;
  Game game(platform, random);
  game.ImageWidth = 1026;
  game.ImageHeight = 770;
  game.PegTotal = 100;
  int kinds[2] = {0, 0};
  for (int n = 0; n < 2000; ++n) {
    std::int16_t index = static_cast<std::int16_t>(n % 100 + 1);
    game.InitPeg(index);
    const Peg& p = game.Pegs[index];
    ASSERT_TRUE(p.Kind == 0 || p.Kind == 1) << p.Kind;
    ++kinds[p.Kind];
    const DrawColour& c = p.Colour;
    const std::int16_t strong = p.Kind == 0 ? c.Red : c.Blue;
    const std::int16_t weak = p.Kind == 0 ? c.Blue : c.Red;
    ASSERT_TRUE(strong >= 200 && strong <= 255) << strong;
    ASSERT_TRUE(weak >= 0 && weak <= 55) << weak;
    ASSERT_TRUE(c.Green >= 0 && c.Green <= 55) << c.Green;
    ASSERT_TRUE(c.Alpha >= 230 && c.Alpha <= 255) << c.Alpha;
    ASSERT_TRUE(p.TargetX >= 50 && p.TargetX < 976) << p.TargetX;
    ASSERT_TRUE(p.TargetY >= 50 && p.TargetY < 720) << p.TargetY;
  }
  EXPECT_GT(kinds[0], 800);
  EXPECT_GT(kinds[1], 800);
}

TEST(InitGame, SetsInitAndPegCountOnly) {
  for (GameState from : {GameState::Startup, GameState::Idle, GameState::FirstSelected, GameState::SecondSelected,
                         GameState::CheckingLink, GameState::Init}) {
    Unstarted f;
    f.game.Pegs[2] = Peg{1, 2, 3, 4, 5, 6, {7, 8, 9, 10}, 1, kTrue, kTrue, 5, kTrue, 11, 12, 13};
    f.game.Pegs[5].Selected = kTrue;
    const PegTable before = f.game.Pegs;
    f.game.gState = from;
    f.game.PegCount = 37;
    f.game.FirstPeg = 5;
    f.game.SecondPeg = 9;
    f.game.InitGame();  // no draws: the script is empty and has no fallback
    EXPECT_EQ(f.game.gState, GameState::Init);
    EXPECT_EQ(f.game.PegCount, 0);
    EXPECT_EQ(f.game.FirstPeg, 5);
    EXPECT_EQ(f.game.SecondPeg, 9);
    for (int i = 1; i <= PegTable::kCapacity; ++i) ASSERT_EQ(f.game.Pegs[i], before[i]) << i;
  }
}

}  // namespace
}  // namespace brindlet::testing
