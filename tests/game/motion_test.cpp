// Peg motion: easing toward the target, new random targets and the shake.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "support/fakes.h"

namespace brindlet::testing {
namespace {

// A game with 100 zeroed pegs (all at rest at the origin) and no start-up.
struct Resting : GameFixture {
  Resting() : GameFixture(false) {
    game.ImageWidth = 1026;
    game.ImageHeight = 770;
    game.PegTotal = 100;
  }
};

TEST(MovePegs, HundredPixelStepOvershootsAndSettlesAfter26Ticks) {
  Resting f;
  Peg& p = f.game.Pegs[1];
  p.TargetX = 100;
  std::vector<double> xs;
  for (int tick = 1; tick <= 40; ++tick) {
    f.game.MovePegs();
    xs.push_back(p.X);
  }
  EXPECT_DOUBLE_EQ(xs[0], 11.764705882352942);  // (100 / 5) / 1.7
  EXPECT_DOUBLE_EQ(xs[1], 29.06574394463668);
  EXPECT_NEAR(*std::max_element(xs.begin(), xs.end()), 105.6, 0.01);
  for (int tick = 1; tick <= 25; ++tick) EXPECT_GT(std::fabs(xs[tick - 1] - 100), 0.1) << tick;
  EXPECT_NEAR(xs[25], 99.90100034645616, 1e-9);
  for (int tick = 27; tick <= 40; ++tick) EXPECT_EQ(xs[tick - 1], xs[25]) << "at rest from tick 26 on";
  EXPECT_NEAR(p.VelocityX, 0.05103858156961722, 1e-9) << "the last velocity stays stored";
  EXPECT_EQ(p.Y, 0.0);
  EXPECT_EQ(p.VelocityY, 0.0);

  // The stored velocity enters the first step toward a new target.
  p.TargetX = 200;
  f.game.MovePegs();
  EXPECT_NEAR(p.X, 111.70737594191404, 1e-9);
}

struct RestCase {
  double position, target;
  bool moves;
  double velocity;  // the new velocity when the axis moves, from a stored 7.5
};

class MovePegsRest : public ::testing::TestWithParam<RestCase> {};

TEST_P(MovePegsRest, WithinATenthOfAPixelAnAxisRestsAndKeepsItsVelocity) {
  const RestCase& c = GetParam();
  Resting f;
  Peg& p = f.game.Pegs[7];
  p.X = p.Y = c.position;
  p.TargetX = p.TargetY = c.target;
  p.VelocityX = p.VelocityY = 7.5;
  f.game.MovePegs();
  if (c.moves) {
    EXPECT_DOUBLE_EQ(p.VelocityX, c.velocity);
    EXPECT_DOUBLE_EQ(p.X, c.position + c.velocity);
    EXPECT_DOUBLE_EQ(p.VelocityY, c.velocity);
    EXPECT_DOUBLE_EQ(p.Y, c.position + c.velocity);
  } else {
    EXPECT_EQ(p.X, c.position);
    EXPECT_EQ(p.Y, c.position);
    EXPECT_EQ(p.VelocityX, 7.5);
    EXPECT_EQ(p.VelocityY, 7.5);
  }
}

INSTANTIATE_TEST_SUITE_P(Distances, MovePegsRest,
                         ::testing::Values(RestCase{5, 5, false, 0}, RestCase{0, 0.1, false, 0},
                                           RestCase{0.1, 0, false, 0}, RestCase{0, -0.1, false, 0},
                                           RestCase{300, 300.05, false, 0},
                                           // (0.02 + 7.5) / 1.7 and (-0.04 + 7.5) / 1.7
                                           RestCase{0, std::nextafter(0.1, 1.0), true, 4.423529411764706},
                                           RestCase{0, -0.2, true, 4.3882352941176475}));

TEST(MovePegs, NudgedByTheStoredVelocity) {
  Resting f;
  Peg& p = f.game.Pegs[2];
  p.TargetX = 100;
  p.VelocityX = 3;
  f.game.MovePegs();
  EXPECT_DOUBLE_EQ(p.VelocityX, 13.529411764705882);  // (20 + 3) / 1.7
  EXPECT_DOUBLE_EQ(p.X, 13.529411764705882);
}

TEST(MovePegs, AxesMoveIndependently) {
  Resting f;
  Peg& p = f.game.Pegs[4];
  p.X = p.TargetX = 40;
  p.VelocityX = -2;
  p.TargetY = -100;
  f.game.MovePegs();
  EXPECT_EQ(p.X, 40.0);
  EXPECT_EQ(p.VelocityX, -2.0);
  EXPECT_DOUBLE_EQ(p.Y, -11.764705882352942);
}

TEST(MovePegs, LetsEventsRunAndDoesNothingWithoutPegs) {
  GameFixture f(false);  // PegTotal is still 0
  f.game.Pegs[1].TargetX = 100;
  const Peg before = f.game.Pegs[1];
  f.game.MovePegs();
  EXPECT_EQ(f.game.Pegs[1], before);
  EXPECT_EQ(f.platform.yields, 1);
}

TEST(MovePegs, RunsOnceEveryMainTick) {
  GameFixture f;
  f.random.SetFallback(0.5);
  f.game.gState = GameState::Idle;
  Peg& p = f.game.Pegs[1];
  p.X = 10;
  p.TargetX = 110;
  f.game.MainTick();
  EXPECT_DOUBLE_EQ(p.X, 10 + 11.764705882352942);
}

TEST(RandomizePegs, DrawsXThenYTargetsOverTheWholeImage) {
  GameFixture f;
  const double kBelowOne = std::nextafter(1.0, 0.0);
  f.random.Push({0.0, 0.0, 0.5, 0.25, kBelowOne, kBelowOne, 0.25, 0.5});
  f.random.PushRepeated(0.75, 192);
  long drawsAtFirstYield = -1;
  f.platform.on_yield = [&](long) {
    if (drawsAtFirstYield < 0) drawsAtFirstYield = f.random.taken();
  };
  const PegTable before = f.game.Pegs;
  f.game.RandomizePegs();
  EXPECT_EQ(drawsAtFirstYield, 0) << "events run before the first draw";
  EXPECT_EQ(f.random.remaining(), 0u);

  const auto& pegs = f.game.Pegs;
  EXPECT_EQ(pegs[1].TargetX, 0.25);
  EXPECT_EQ(pegs[1].TargetY, 0.25);
  EXPECT_EQ(pegs[2].TargetX, 513.25);
  EXPECT_EQ(pegs[2].TargetY, 192.75);
  EXPECT_LT(pegs[3].TargetX, 1026.25);
  EXPECT_GT(pegs[3].TargetX, 1026.24);
  EXPECT_LT(pegs[3].TargetY, 770.25);
  EXPECT_GT(pegs[3].TargetY, 770.24);
  EXPECT_EQ(pegs[4].TargetX, 256.75);
  EXPECT_EQ(pegs[4].TargetY, 385.25);
  for (int i = 5; i <= 100; ++i) {
    EXPECT_EQ(pegs[i].TargetX, 769.75) << i;
    EXPECT_EQ(pegs[i].TargetY, 577.75) << i;
  }
  for (int i = 1; i <= PegTable::kCapacity; ++i) {
    Peg expected = before[i];
    expected.TargetX = pegs[i].TargetX;
    expected.TargetY = pegs[i].TargetY;
    ASSERT_EQ(pegs[i], expected) << "only the targets of peg " << i << " change";
  }
}

TEST(ShakePegs, OneStepDisplacesPositionsXThenY) {
  GameFixture f;
  f.game.ShakeAmplitude = 50;
  f.random.Push({0.0, 0.75, 0.5, 0.25});
  f.random.PushRepeated(0.5, 196);
  const PegTable before = f.game.Pegs;
  f.game.ShakePegs();
  EXPECT_EQ(f.random.remaining(), 0u);
  EXPECT_EQ(f.game.ShakeAmplitude, 45.0);
  EXPECT_EQ(f.game.Pegs[1].X, before[1].X - 22.5);
  EXPECT_EQ(f.game.Pegs[1].Y, before[1].Y + 11.25);
  EXPECT_EQ(f.game.Pegs[2].X, before[2].X);
  EXPECT_EQ(f.game.Pegs[2].Y, before[2].Y - 11.25);
  for (int i = 1; i <= PegTable::kCapacity; ++i) {
    Peg expected = before[i];
    expected.X = f.game.Pegs[i].X;
    expected.Y = f.game.Pegs[i].Y;
    ASSERT_EQ(f.game.Pegs[i], expected) << "only the position of peg " << i << " changes";
  }
}

TEST(ShakePegs, ShakeFromFiftyRuns38EffectsTicksAndPegsSettleBack) {
  GameFixture f;  // in Startup: the effects tick creates no pegs
  DefaultRandom shakes(12345);
  CountingRandom counting(shakes);
  f.source.Use(counting);
  const PegTable before = f.game.Pegs;

  f.game.ShakePegsInit();
  EXPECT_EQ(f.game.ShakeAmplitude, 50.0);
  EXPECT_EQ(counting.count(), 0);
  std::vector<double> amplitudes;
  int steps = 0;
  for (int tick = 0; tick < 60; ++tick) {
    const long drawn = counting.count();
    f.game.EffectsTick();
    if (counting.count() != drawn) {
      ++steps;
      ASSERT_EQ(counting.count() - drawn, 200);
    }
    amplitudes.push_back(f.game.ShakeAmplitude);
  }
  EXPECT_EQ(steps, 38);
  EXPECT_DOUBLE_EQ(amplitudes[0], 45.0);
  EXPECT_DOUBLE_EQ(amplitudes[1], 40.5);
  EXPECT_DOUBLE_EQ(amplitudes[2], 36.45);
  EXPECT_GT(amplitudes[36], 1.0);
  EXPECT_NEAR(amplitudes[37], 0.9124001815700373, 1e-12);
  EXPECT_EQ(amplitudes.back(), amplitudes[37]) << "the amplitude stays at its last value";
  EXPECT_EQ(f.game.PegCount, 0);
  EXPECT_EQ(f.game.EffectsCounter, 60.0);

  int displaced = 0;
  for (int i = 1; i <= 100; ++i) {
    EXPECT_EQ(f.game.Pegs[i].TargetX, before[i].TargetX);
    EXPECT_EQ(f.game.Pegs[i].TargetY, before[i].TargetY);
    EXPECT_EQ(f.game.Pegs[i].VelocityX, before[i].VelocityX);
    if (f.game.Pegs[i].X != before[i].X) ++displaced;
  }
  EXPECT_EQ(displaced, 100);

  for (int tick = 0; tick < 100; ++tick) f.game.MovePegs();
  for (int i = 1; i <= 100; ++i) {
    EXPECT_LE(std::fabs(f.game.Pegs[i].X - before[i].TargetX), 0.1) << i;
    EXPECT_LE(std::fabs(f.game.Pegs[i].Y - before[i].TargetY), 0.1) << i;
  }
}

TEST(ShakePegs, SecondShakeOnlyResetsTheAmplitude) {
  GameFixture f;
  f.random.SetFallback(0.9);
  f.game.ShakePegsInit();
  for (int tick = 0; tick < 5; ++tick) f.game.EffectsTick();
  ASSERT_LT(f.game.ShakeAmplitude, 30.0);
  const PegTable before = f.game.Pegs;
  const long drawn = f.random.taken();
  f.game.ShakePegsInit();
  EXPECT_EQ(f.game.ShakeAmplitude, 50.0);
  EXPECT_EQ(f.random.taken(), drawn);
  for (int i = 1; i <= PegTable::kCapacity; ++i) ASSERT_EQ(f.game.Pegs[i], before[i]) << i;
  f.game.EffectsTick();
  EXPECT_EQ(f.game.ShakeAmplitude, 45.0);
}

}  // namespace
}  // namespace brindlet::testing
