// Integer conversions, the 16-bit cursor store, the integer part and the
// program's random source.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "game/numeric.h"
#include "game/random.h"

namespace brindlet {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

struct ToInt16Case {
  double in;
  std::int16_t out;
};

class ToInt16Test : public ::testing::TestWithParam<ToInt16Case> {};

TEST_P(ToInt16Test, RoundsHalfToEvenAndSaturates) {
  EXPECT_EQ(ToInt16(GetParam().in), GetParam().out) << "input " << GetParam().in;
}

INSTANTIATE_TEST_SUITE_P(
    Conversions, ToInt16Test,
    ::testing::Values(ToInt16Case{0.5, 0}, ToInt16Case{1.5, 2}, ToInt16Case{2.5, 2}, ToInt16Case{3.5, 4},
                      ToInt16Case{-0.5, 0}, ToInt16Case{-1.5, -2}, ToInt16Case{-2.5, -2},
                      ToInt16Case{0.49999999999999994, 0}, ToInt16Case{0.5000000000000001, 1},
                      ToInt16Case{254.5, 254}, ToInt16Case{255.4, 255}, ToInt16Case{-3.7, -4},
                      // The ends of the range: ties inside stay, anything beyond saturates.
                      ToInt16Case{32766.5, 32766}, ToInt16Case{32767.4, 32767}, ToInt16Case{32767.5, 32767},
                      ToInt16Case{40000.0, 32767}, ToInt16Case{1e300, 32767}, ToInt16Case{kInf, 32767},
                      ToInt16Case{-32768.5, -32768}, ToInt16Case{-32769.0, -32768}, ToInt16Case{-kInf, -32768},
                      ToInt16Case{kNaN, 0}));

TEST(ToInt32, RoundsHalfToEvenAndSaturates) {
  EXPECT_EQ(ToInt32(0.5), 0);
  EXPECT_EQ(ToInt32(1.5), 2);
  EXPECT_EQ(ToInt32(2.5), 2);
  EXPECT_EQ(ToInt32(-1.5), -2);
  EXPECT_EQ(ToInt32(70000.5), 70000);
  EXPECT_EQ(ToInt32(2147483646.5), 2147483646);
  EXPECT_EQ(ToInt32(2147483647.5), INT32_MAX);
  EXPECT_EQ(ToInt32(1e20), INT32_MAX);
  EXPECT_EQ(ToInt32(-2147483648.5), INT32_MIN);
  EXPECT_EQ(ToInt32(-1e20), INT32_MIN);
  EXPECT_EQ(ToInt32(kNaN), 0);
}

TEST(Low16, KeepsTheLowSixteenBits) {
  EXPECT_EQ(Low16(0), 0);
  EXPECT_EQ(Low16(1025), 1025);
  EXPECT_EQ(Low16(-5), -5);
  EXPECT_EQ(Low16(-1), -1);
  EXPECT_EQ(Low16(32767), 32767);
  EXPECT_EQ(Low16(32768), -32768);
  EXPECT_EQ(Low16(65535), -1);
  EXPECT_EQ(Low16(65536), 0);
  EXPECT_EQ(Low16(70000), 4464);
  EXPECT_EQ(Low16(-70000), -4464);
  EXPECT_EQ(Low16(INT32_MIN), 0);
}

TEST(IntPart, RoundsDown) {
  EXPECT_EQ(IntPart(2.5), 2.0);
  EXPECT_EQ(IntPart(2.999), 2.0);
  EXPECT_EQ(IntPart(3.0), 3.0);
  EXPECT_EQ(IntPart(-0.1), -1.0);
  EXPECT_EQ(IntPart(-2.5), -3.0);
  EXPECT_EQ(IntPart(-3.0), -3.0);
}

TEST(DefaultRandom, DrawsLieInTheUnitIntervalAndSpreadOverIt) {
  DefaultRandom random;
  double sum = 0;
  int low = 0;
  constexpr int kDraws = 100000;
  for (int i = 0; i < kDraws; ++i) {
    const double r = random.Next();
    ASSERT_GE(r, 0.0);
    ASSERT_LT(r, 1.0);
    sum += r;
    if (r < 0.1) ++low;
  }
  EXPECT_NEAR(sum / kDraws, 0.5, 0.01);
  EXPECT_NEAR(low, kDraws / 10, 600);
}

TEST(DefaultRandom, EveryRunStartsFromTheSameSequence) {
  DefaultRandom a;
  DefaultRandom b;
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(a.Next(), b.Next()) << "draw " << i;
}

TEST(DefaultRandom, FirstDrawsArePinned) {
  // Changing the generator or its start state changes every run of the
  // program: the attract display, the pegs of each game, the jitter.
  DefaultRandom random;
  EXPECT_EQ(random.Next(), 0.15486664049902188);
  EXPECT_EQ(random.Next(), 0.05594144827926317);
  EXPECT_EQ(random.Next(), 0.2903853790972464);
  EXPECT_EQ(random.Next(), 0.2827601404499194);
  EXPECT_EQ(random.Next(), 0.4670287959727065);
}

}  // namespace
}  // namespace brindlet
