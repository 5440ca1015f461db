// Integer conversions, the 16-bit cursor store, the integer part and the
// program's random source.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>

#include "game/random.h"
#include "render/numeric.h"

namespace brindlet {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(Conversions, RealsRoundHalfToEvenAndSaturateAtTheIntegersEnds) {
  const struct { double in; std::int16_t to16; std::int32_t to32; } cases[] = {
      {0.5, 0, 0}, {1.5, 2, 2}, {2.5, 2, 2}, {3.5, 4, 4}, {-0.5, 0, 0}, {-1.5, -2, -2}, {-2.5, -2, -2},
      {0.49999999999999994, 0, 0}, {0.5000000000000001, 1, 1}, {254.5, 254, 254}, {255.4, 255, 255},
      {-3.7, -4, -4},
      // The ends of the 16-bit range: ties inside stay, anything beyond saturates.
      {32766.5, 32766, 32766}, {32767.4, 32767, 32767}, {32767.5, 32767, 32768}, {40000.0, 32767, 40000},
      {70000.5, 32767, 70000}, {-32768.5, -32768, -32768}, {-32769.0, -32768, -32769},
      // ... and of the 32-bit range.
      {2147483646.5, 32767, 2147483646}, {2147483647.5, 32767, INT32_MAX}, {1e20, 32767, INT32_MAX},
      {-2147483648.5, -32768, INT32_MIN}, {-1e20, -32768, INT32_MIN}, {1e300, 32767, INT32_MAX},
      {kInf, 32767, INT32_MAX}, {-kInf, -32768, INT32_MIN}, {kNaN, 0, 0}};
  for (const auto& c : cases) {
    EXPECT_EQ(ToInt16(c.in), c.to16) << "input " << c.in;
    EXPECT_EQ(ToInt32(c.in), c.to32) << "input " << c.in;
  }
}

TEST(Conversions, Low16KeepsTheLowBitsAndIntPartRoundsDown) {
  const std::pair<std::int32_t, std::int16_t> low16[] = {
      {0, 0},          {1025, 1025},   {-5, -5},   {-1, -1},        {32767, 32767},    {32768, -32768},
      {65535, -1},     {65536, 0},     {70000, 4464}, {-70000, -4464}, {INT32_MIN, 0}};
  for (const auto& [in, out] : low16) EXPECT_EQ(Low16(in), out) << "input " << in;
  const std::pair<double, double> intPart[] = {{2.5, 2.0},  {2.999, 2.0},  {3.0, 3.0},
                                               {-0.1, -1.0}, {-2.5, -3.0}, {-3.0, -3.0}};
  for (const auto& [in, out] : intPart) EXPECT_EQ(IntPart(in), out) << "input " << in;
}

TEST(DefaultRandom, EveryRunStartsFromTheSamePinnedSequence) {
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
