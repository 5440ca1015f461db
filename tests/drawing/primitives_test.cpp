// The drawing primitives: soft dots, rings and beams, checked byte for byte
// against values worked out by hand from the blend rule
//   new byte = round-half-even(old * (1 - w) + colour * w),
//   w = (1 - min(1, 0.45 * ((i - ox)^2 + |j - oy|))) * Alpha / 256.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <limits>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "render/primitives.h"

namespace brindlet {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// An event pump that counts the yields and runs a hook at each.
struct RecordingPump final : EventPump {
  int runs = 0;
  std::function<void()> hook;
  void LetEventsRun() override {
    ++runs;
    if (hook) hook();
  }
};

// "" when the arrays are equal, otherwise where they first differ.
std::string FirstDifference(const PixelArray& actual, const PixelArray& expected) {
  if (actual.RowBytes() != expected.RowBytes() || actual.Rows() != expected.Rows()) {
    return "arrays differ in size";
  }
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

bool AllZero(const PixelArray& a) {
  for (std::uint8_t b : a.Bytes()) {
    if (b != 0) return false;
  }
  return true;
}

// Fills every byte with a fixed, uneven pattern.
void FillPattern(PixelArray& a) {
  std::uint32_t x = 12345;
  for (std::uint8_t& b : a.Bytes()) {
    x = x * 1103515245u + 12345u;
    b = static_cast<std::uint8_t>(x >> 16);
  }
}

void Fill(PixelArray& a, std::uint8_t value) {
  for (std::uint8_t& b : a.Bytes()) b = value;
}

std::uint8_t RedAt(const PixelArray& a, int x, int row) { return a(3 * x + 2, row); }

// ---------------------------------------------------------------- soft dots

TEST(PlotSoftPoint, DotOnAPixelCentreGivesTheHandWorkedBytes) {
  // Alpha 255 at a pixel centre: w = 255/256 at the centre, 0.55 * 255/256 at
  // the four edge neighbours, 0.1 * 255/256 at the corners. Red 255 on black:
  // 254.004 -> 254, 139.70 -> 140, 25.40 -> 25; green and blue stay 0.
  const Playfield field{32, 32, 0};
  PixelArray pixels(32, 32);
  PlotSoftPoint(field, pixels, 10.5, 20.5, DrawColour{255, 0, 0, 255});

  PixelArray expected(32, 32);
  // Screen rows 19, 20, 21 land in array rows 32 - 19, 32 - 20, 32 - 21.
  const int rows[3] = {13, 12, 11};
  const std::uint8_t red[3][3] = {{25, 140, 25}, {140, 254, 140}, {25, 140, 25}};
  for (int j = 0; j < 3; ++j) {
    for (int i = 0; i < 3; ++i) expected(3 * (9 + i) + 2, rows[j]) = red[j][i];
  }
  EXPECT_EQ(FirstDifference(pixels, expected), "");
}

// A dot on screen row t lands in array row ImageHeight - t: one row above the
// bottom-up position of that screen row, so the top screen rows reach the
// extra row ImageHeight.
class SoftPointRows : public ::testing::TestWithParam<double> {};

TEST_P(SoftPointRows, CentreRowIsImageHeightMinusFloorOfY) {
  constexpr int kHeight = 32;
  const double y = GetParam();
  const Playfield field{32, kHeight, 0};
  PixelArray pixels(32, kHeight);
  PlotSoftPoint(field, pixels, 10.5, y, DrawColour{255, 0, 0, 256});

  const int centreRow = kHeight - static_cast<int>(std::floor(y));
  for (int row = 0; row <= kHeight; ++row) {
    std::uint8_t expected = 0;
    if (row == centreRow) expected = 255;
    if (row == centreRow + 1 || row == centreRow - 1) expected = 140;
    EXPECT_EQ(RedAt(pixels, 10, row), expected) << "y " << y << ", row " << row;
  }
}

// 1.5: the dot's top row goes to the extra row 32, which is never shown.
// 30.5: the bottom row goes to row 1; row 0 is never drawn.
INSTANTIATE_TEST_SUITE_P(ScreenRows, SoftPointRows, ::testing::Values(1.5, 2.5, 15.5, 29.5, 30.5));

TEST(PlotSoftPoint, AlphaZeroChangesNothing) {
  const Playfield field{32, 32, 0};
  PixelArray pixels(32, 32);
  FillPattern(pixels);
  const PixelArray before = pixels;
  for (double x : {10.0, 10.3, 10.5, 10.7}) {
    for (double y : {5.0, 5.25, 5.5}) PlotSoftPoint(field, pixels, x, y, DrawColour{255, 255, 255, 0});
  }
  EXPECT_EQ(FirstDifference(pixels, before), "");
}

struct EdgeCase {
  double x;
  double y;
  bool draws;
};

class SoftPointEdge : public ::testing::TestWithParam<EdgeCase> {};

TEST_P(SoftPointEdge, DrawsOnlyStrictlyInsideOnePixelOfTheEdge) {
  const EdgeCase c = GetParam();
  const Playfield field{32, 24, 0};
  PixelArray pixels(32, 24);
  PlotSoftPoint(field, pixels, c.x, c.y, DrawColour{255, 255, 255, 255});
  EXPECT_EQ(!AllZero(pixels), c.draws) << "at (" << c.x << ", " << c.y << ")";
}

INSTANTIATE_TEST_SUITE_P(
    Bounds, SoftPointEdge,
    ::testing::Values(EdgeCase{1, 10, false}, EdgeCase{1.0001, 10, true}, EdgeCase{31, 10, false},
                      EdgeCase{30.9999, 10, true}, EdgeCase{10, 1, false}, EdgeCase{10, 1.0001, true},
                      EdgeCase{10, 23, false}, EdgeCase{10, 22.9999, true}, EdgeCase{0.5, 10, false},
                      EdgeCase{-4, 10, false}, EdgeCase{40, 10, false}, EdgeCase{10, -1e9, false},
                      EdgeCase{kNaN, 10, false}, EdgeCase{10, kNaN, false}, EdgeCase{kInf, 10, false},
                      EdgeCase{-kInf, 10, false}, EdgeCase{10, kInf, false}));

// The 3 x 3 red bytes of a dot (Alpha 256, red 255 on black) for positions
// off the pixel centre. Rows are screen rows floor(y) - 1 .. floor(y) + 1,
// columns floor(x) - 1 .. floor(x) + 1.
struct OffsetCase {
  double x;
  double y;
  std::array<std::array<std::uint8_t, 3>, 3> red;
};

class SoftPointOffsets : public ::testing::TestWithParam<OffsetCase> {};

TEST_P(SoftPointOffsets, WeightsFollowTheOffsetFromThePixelCentre) {
  const OffsetCase c = GetParam();
  constexpr int kHeight = 32;
  const Playfield field{32, kHeight, 0};
  PixelArray pixels(32, kHeight);
  PlotSoftPoint(field, pixels, c.x, c.y, DrawColour{255, 0, 0, 256});

  PixelArray expected(32, kHeight);
  const int fx = static_cast<int>(std::floor(c.x));
  const int fy = static_cast<int>(std::floor(c.y));
  for (int j = -1; j <= 1; ++j) {
    for (int i = -1; i <= 1; ++i) expected(3 * (fx + i) + 2, kHeight - (fy + j)) = c.red[j + 1][i + 1];
  }
  EXPECT_EQ(FirstDifference(pixels, expected), "") << "dot at (" << c.x << ", " << c.y << ")";
}

INSTANTIATE_TEST_SUITE_P(
    Positions, SoftPointOffsets,
    ::testing::Values(
        // Centre: q = 0, 0.45, 0.9 -> 255, 140.25 -> 140, 25.4999 -> 25.
        OffsetCase{10.5, 20.5, {{{25, 140, 25}, {140, 255, 140}, {25, 140, 25}}}},
        // 10.3: ox = -0.2. Middle row: q = 0.45 * 0.64 = 0.288 -> 181.56 -> 182;
        // 0.45 * 0.04 = 0.018 -> 250.41 -> 250; 0.45 * 1.44 = 0.648 -> 89.76 -> 90.
        // Other rows add 0.45: 66.81 -> 67, 135.66 -> 136, q capped at 1 -> 0.
        OffsetCase{10.3, 20.5, {{{67, 136, 0}, {182, 250, 90}, {67, 136, 0}}}},
        // 10.7: ox = +0.2, the mirror image.
        OffsetCase{10.7, 20.5, {{{0, 136, 67}, {90, 250, 182}, {0, 136, 67}}}},
        // Integer x: ox = +0.5, so columns 10 and 11 share the dot (q = 0.1125
        // -> 226.31 -> 226; rows off by one: 111.56 -> 112) and column 9 gets
        // nothing (0.45 * 2.25 > 1).
        OffsetCase{10.0, 20.5, {{{0, 112, 112}, {0, 226, 226}, {0, 112, 112}}}},
        // Integer y: oy = +0.5, the row term is |j - 0.5| (not squared): rows 20
        // and 21 share it (197.63 -> 198, 82.87 -> 83), row 19 only its middle
        // (q = 0.675 -> 82.87 -> 83).
        OffsetCase{10.5, 20.0, {{{0, 83, 0}, {83, 198, 83}, {83, 198, 83}}}},
        // 20.3: oy = -0.2. Row terms 0.8, 0.2, 1.2: 163.2 -> 163, 232.05 -> 232,
        // 2.55 -> 3 at the bottom corners.
        OffsetCase{10.5, 20.3, {{{48, 163, 48}, {117, 232, 117}, {3, 117, 3}}}}));

// Alpha 128 at a pixel centre gives w = 0.5 exactly, so old / 2 + colour / 2
// lands on a half for odd sums; each channel must round it to the even side.
struct HalfCase {
  std::uint8_t old;
  std::int16_t colour;
  std::uint8_t expected;
};

class SoftPointRounding : public ::testing::TestWithParam<std::tuple<int, HalfCase>> {};

TEST_P(SoftPointRounding, HalvesRoundToEven) {
  const int channel = std::get<0>(GetParam());  // 0 blue, 1 green, 2 red
  const HalfCase c = std::get<1>(GetParam());
  constexpr int kHeight = 32;
  const Playfield field{32, kHeight, 0};
  PixelArray pixels(32, kHeight);
  Fill(pixels, 40);
  const int row = kHeight - 20;
  pixels(3 * 10 + channel, row) = c.old;
  DrawColour colour{40, 40, 40, 128};
  (channel == 2 ? colour.Red : channel == 1 ? colour.Green : colour.Blue) = c.colour;
  PlotSoftPoint(field, pixels, 10.5, 20.5, colour);
  EXPECT_EQ(int{pixels(3 * 10 + channel, row)}, int{c.expected})
      << "channel " << channel << ": old " << int{c.old} << ", colour " << c.colour;
}

INSTANTIATE_TEST_SUITE_P(
    Ties, SoftPointRounding,
    ::testing::Combine(::testing::Values(0, 1, 2),
                       ::testing::Values(HalfCase{0, 5, 2},      // 2.5 -> 2
                                         HalfCase{0, 7, 4},      // 3.5 -> 4
                                         HalfCase{0, 9, 4},      // 4.5 -> 4
                                         HalfCase{1, 0, 0},      // 0.5 -> 0
                                         HalfCase{3, 0, 2},      // 1.5 -> 2
                                         HalfCase{2, 255, 128},  // 128.5 -> 128
                                         HalfCase{4, 255, 130},  // 129.5 -> 130
                                         HalfCase{100, 200, 150})));

TEST(PlotSoftPoint, BlendsOverANonBlackBackground) {
  // Grey 100 under colour 200 at Alpha 256: centre w = 1 -> 200; edges
  // 0.45 * 100 + 0.55 * 200 = 155; corners 0.9 * 100 + 0.1 * 200 = 110.
  constexpr int kHeight = 32;
  const Playfield field{32, kHeight, 0};
  PixelArray pixels(32, kHeight);
  Fill(pixels, 100);
  PlotSoftPoint(field, pixels, 10.5, 20.5, DrawColour{200, 200, 200, 256});
  const std::uint8_t grid[3][3] = {{110, 155, 110}, {155, 200, 155}, {110, 155, 110}};
  for (int j = -1; j <= 1; ++j) {
    for (int i = -1; i <= 1; ++i) {
      for (int ch = 0; ch < 3; ++ch) EXPECT_EQ(int{pixels(3 * (10 + i) + ch, kHeight - (20 + j))}, grid[j + 1][i + 1]);
    }
  }
  EXPECT_EQ(pixels(3 * 12, kHeight - 20), 100);  // outside the dot
}

struct ChannelCase {
  DrawColour colour;
  std::array<std::uint8_t, 3> bgr;  // centre pixel bytes 3x, 3x + 1, 3x + 2
};

class SoftPointChannels : public ::testing::TestWithParam<ChannelCase> {};

TEST_P(SoftPointChannels, RedGreenBlueGoToByteColumns3xPlus2Plus1Plus0) {
  const ChannelCase c = GetParam();
  constexpr int kHeight = 32;
  const Playfield field{32, kHeight, 0};
  PixelArray pixels(32, kHeight);
  PlotSoftPoint(field, pixels, 10.5, 20.5, c.colour);
  const int row = kHeight - 20;
  EXPECT_EQ(pixels(30, row), c.bgr[0]);
  EXPECT_EQ(pixels(31, row), c.bgr[1]);
  EXPECT_EQ(pixels(32, row), c.bgr[2]);
}

INSTANTIATE_TEST_SUITE_P(Order, SoftPointChannels,
                         ::testing::Values(ChannelCase{{255, 0, 0, 256}, {0, 0, 255}},
                                           ChannelCase{{0, 255, 0, 256}, {0, 255, 0}},
                                           ChannelCase{{0, 0, 255, 256}, {255, 0, 0}},
                                           ChannelCase{{10, 20, 30, 256}, {30, 20, 10}}));

// Values outside 0..256 (Alpha) and 0..255 (channels) would push the blended
// byte out of 0..255; they are taken at the nearest end of their range.
struct ClampCase {
  DrawColour given;
  DrawColour sameAs;
};

class SoftPointClamping : public ::testing::TestWithParam<ClampCase> {};

TEST_P(SoftPointClamping, OutOfRangeInputsBehaveAsTheNearestLimit) {
  const ClampCase c = GetParam();
  const Playfield field{32, 32, 0};
  PixelArray actual(32, 32);
  Fill(actual, 100);
  PixelArray expected = actual;
  PlotSoftPoint(field, actual, 10.3, 20.7, c.given);
  PlotSoftPoint(field, expected, 10.3, 20.7, c.sameAs);
  EXPECT_EQ(FirstDifference(actual, expected), "");
}

INSTANTIATE_TEST_SUITE_P(Limits, SoftPointClamping,
                         ::testing::Values(ClampCase{{255, 0, 0, 300}, {255, 0, 0, 256}},
                                           ClampCase{{255, 0, 0, 32767}, {255, 0, 0, 256}},
                                           ClampCase{{255, 0, 0, -5}, {255, 0, 0, 0}},
                                           ClampCase{{400, 10, 10, 200}, {255, 10, 10, 200}},
                                           ClampCase{{10, -3, 10, 200}, {10, 0, 10, 200}},
                                           ClampCase{{10, 10, 1000, 256}, {10, 10, 255, 256}},
                                           ClampCase{{-32768, 10, 10, 256}, {0, 10, 10, 256}}));

TEST(PlotSoftPoint, AlphaAbove256DrawsTheColourExactlyAtTheCentre) {
  const Playfield field{32, 32, 0};
  PixelArray pixels(32, 32);
  Fill(pixels, 100);
  PlotSoftPoint(field, pixels, 10.5, 20.5, DrawColour{255, 0, 7, 300});
  EXPECT_EQ(RedAt(pixels, 10, 12), 255);
  EXPECT_EQ(pixels(31, 12), 0);
  EXPECT_EQ(pixels(30, 12), 7);
}

TEST(PlotSoftPoint, NeverWritesPastAnArraySmallerThanThePlayfield) {
  // Width 15 leaves three padding bytes per row: a dot reaching pixel 15
  // would show there even without the address sanitizer.
  const Playfield field{64, 64, 0};
  PixelArray pixels(15, 16);
  ASSERT_EQ(pixels.RowBytes(), 48);
  for (double y = 0; y <= 64; y += 0.25) {
    for (double x = 0; x <= 64; x += 0.25) PlotSoftPoint(field, pixels, x, y, DrawColour{255, 255, 255, 255});
  }
  for (int row = 0; row < pixels.Rows(); ++row) {
    for (int col = 45; col < 48; ++col) ASSERT_EQ(pixels(col, row), 0) << "padding at row " << row;
  }
  EXPECT_EQ(pixels.Width(), 15);
  EXPECT_EQ(pixels.Rows(), 17);

  // A dot wholly inside the smaller array is still drawn; one that is not
  // is left out.
  PixelArray fresh(15, 16);
  PlotSoftPoint(field, fresh, 5.5, 60.5, DrawColour{255, 0, 0, 256});  // array rows 3..5
  EXPECT_EQ(RedAt(fresh, 5, 4), 255);
  PixelArray untouched(15, 16);
  PlotSoftPoint(field, untouched, 30.5, 60.5, DrawColour{255, 0, 0, 256});
  PlotSoftPoint(field, untouched, 5.5, 20.5, DrawColour{255, 0, 0, 256});
  EXPECT_TRUE(AllZero(untouched));
}

// -------------------------------------------------------------------- rings

// A ring as a sequence of soft dots: angle -1, -1 + step, ... (each a step
// on from the last), centred one pixel right of and below (cx, cy),
// clockwise from the top. Only the first `dots` dots are drawn.
void RingOfDots(const Playfield& field, PixelArray& pixels, double cx, double cy, double radius,
                const DrawColour& colour, int dots) {
  const double step = 360 / (radius * 6.28);
  double a = -1;
  for (int k = 0; k < dots; ++k, a += step) {
    PlotSoftPoint(field, pixels, cx - radius * std::sin(-a * kDegreesToRadians) + 1,
                  cy - radius * std::sin((a + 90) * kDegreesToRadians) + 1, colour);
  }
}

TEST(PlotCircle, YieldsOnceBeforeDrawingAnything) {
  const Playfield field{200, 200, 0};
  PixelArray pixels(200, 200);
  RecordingPump pump;
  bool blankAtYield = false;
  pump.hook = [&] { blankAtYield = AllZero(pixels); };
  double step = 0;
  PlotCircle(field, pump, pixels, 100, 100, 10, step, DrawColour{255, 255, 255, 200});
  EXPECT_EQ(pump.runs, 1);
  EXPECT_TRUE(blankAtYield);
  EXPECT_FALSE(AllZero(pixels));
}

struct RingCase {
  double radius;
  double angleStep;
  int dots;
};

class RingDots : public ::testing::TestWithParam<RingCase> {};

TEST_P(RingDots, HasAboutOneDotPerPixelOfCircumference) {
  // Angle step 360 / (r * 6.28); the dots are the angles -1 + k * step not
  // above 359: r = 1 -> 57.32, k = 0..6 (342.9), 7 dots; r = 2.5 -> 22.93,
  // k <= 15.7, 16 dots; and so on.
  const RingCase c = GetParam();
  const Playfield field{256, 200, 0};
  const DrawColour colour{200, 90, 30, 100};
  PixelArray pixels(256, 200);
  RecordingPump pump;
  double step = -12345;
  PlotCircle(field, pump, pixels, 100.3, 90.6, c.radius, step, colour);
  EXPECT_NEAR(step, c.angleStep, 1e-4);

  // The dots overlap, so they cannot be counted on the picture; instead the
  // ring must equal exactly `dots` dots and differ from one dot fewer or more.
  PixelArray exact(256, 200);
  PixelArray fewer(256, 200);
  PixelArray more(256, 200);
  RingOfDots(field, exact, 100.3, 90.6, c.radius, colour, c.dots);
  RingOfDots(field, fewer, 100.3, 90.6, c.radius, colour, c.dots - 1);
  RingOfDots(field, more, 100.3, 90.6, c.radius, colour, c.dots + 1);
  ASSERT_NE(FirstDifference(exact, fewer), "");
  ASSERT_NE(FirstDifference(exact, more), "");
  EXPECT_EQ(FirstDifference(pixels, exact), "") << "radius " << c.radius;
}

INSTANTIATE_TEST_SUITE_P(Radii, RingDots,
                         ::testing::Values(RingCase{1, 57.3248, 7}, RingCase{2.5, 22.9299, 16},
                                           RingCase{5, 11.4650, 32}, RingCase{6.5, 8.8192, 41},
                                           RingCase{40, 1.43312, 252}));

TEST(PlotCircle, StartsAtMinusOneDegreeAndRunsClockwise) {
  // Radius 1 centred on (cx, cy) + (1, 1): the first dot (angle -1) sits at
  // (cx + 1 - sin 1deg, cy + 1 - cos 1deg) = (cx + 0.98255, cy + 0.00015),
  // the topmost of the seven; the last (angle 342.95) at
  // (cx + 1 - sin 17.05deg, cy + 1 - cos 17.05deg) = (cx + 0.7068, cy + 0.0440),
  // left of the top, as a clockwise ring ends. The next lowest dot is at
  // cy + 0.445, so a playfield whose bottom edge test (y < ImageHeight - 1)
  // cuts at cy + 0.02 keeps the first dot alone, one cutting at cy + 0.3 the
  // first and the last.
  const double cx = 40.3;
  const double sin1 = std::sin(1 * kDegreesToRadians);
  const double cos1 = std::sin(89 * kDegreesToRadians);
  ASSERT_NEAR(sin1, 0.0174524, 1e-7);
  ASSERT_NEAR(cos1, 0.9998477, 1e-7);
  const DrawColour colour{255, 255, 255, 256};

  {
    const double cy = 62.98;  // ImageHeight 64: the edge test passes y < 63
    const Playfield field{80, 64, 0};
    PixelArray ring(80, 64);
    RecordingPump pump;
    double step = 0;
    PlotCircle(field, pump, ring, cx, cy, 1, step, colour);
    PixelArray expected(80, 64);
    PlotSoftPoint(field, expected, cx - 1 * std::sin(1 * kDegreesToRadians) + 1,
                  cy - 1 * std::sin(89 * kDegreesToRadians) + 1, colour);
    ASSERT_FALSE(AllZero(expected));
    EXPECT_EQ(FirstDifference(ring, expected), "");
  }
  {
    const double cy = 62.7;
    const Playfield field{80, 64, 0};
    PixelArray ring(80, 64);
    RecordingPump pump;
    double step = 0;
    PlotCircle(field, pump, ring, cx, cy, 1, step, colour);
    double last = -1;  // the seventh angle, stepped to as the ring steps
    for (int k = 0; k < 6; ++k) last += 360 / (1 * 6.28);
    ASSERT_NEAR(last, 342.949, 1e-3);
    PixelArray expected(80, 64);
    PlotSoftPoint(field, expected, cx - std::sin(1 * kDegreesToRadians) + 1,
                  cy - std::sin(89 * kDegreesToRadians) + 1, colour);
    PlotSoftPoint(field, expected, cx - std::sin(-last * kDegreesToRadians) + 1,
                  cy - std::sin((last + 90) * kDegreesToRadians) + 1, colour);
    EXPECT_EQ(FirstDifference(ring, expected), "");
    // The last dot lies left of the first.
    EXPECT_LT(cx - std::sin(-last * kDegreesToRadians) + 1, cx - std::sin(1 * kDegreesToRadians) + 1);
  }
}

TEST(PlotCircle, NegativeRadiusDrawsNothing) {
  const Playfield field{200, 200, 0};
  PixelArray pixels(200, 200);
  RecordingPump pump;
  for (double radius : {-1.0, -2.5, -40.0}) {
    double step = 0;
    PlotCircle(field, pump, pixels, 100, 100, radius, step, DrawColour{255, 255, 255, 255});
    EXPECT_NEAR(step, 360 / (radius * 6.28), 1e-9);
    EXPECT_LT(step, 0);
  }
  EXPECT_TRUE(AllZero(pixels));
}

TEST(PlotCircle, DegenerateRadiiEndWithoutDrawingOutsideTheCentreDot) {
  // Zero (or a radius so small the step overflows) leaves at most one dot on
  // the centre; an infinite, undefined or huge radius has no dot inside the
  // playfield. None of them may spin forever.
  const Playfield field{200, 200, 0};
  RecordingPump pump;
  for (double radius : {0.0, 1e-300, 5e-324}) {
    PixelArray pixels(200, 200);
    double step = 0;
    PlotCircle(field, pump, pixels, 100.5, 100.5, radius, step, DrawColour{255, 255, 255, 255});
    // Everything outside the 3 x 3 block around pixel (101, 101) stays black.
    for (int row = 0; row < pixels.Rows(); ++row) {
      for (int col = 0; col < pixels.RowBytes(); ++col) {
        const int x = col / 3;
        const bool nearCentre = x >= 100 && x <= 102 && row >= 200 - 102 && row <= 200 - 100;
        if (!nearCentre) {
          ASSERT_EQ(pixels(col, row), 0) << "radius " << radius << " at column " << col << ", row " << row;
        }
      }
    }
  }
  for (double radius : {kInf, kNaN, 1e300, -kInf}) {
    PixelArray pixels(200, 200);
    double step = 0;
    PlotCircle(field, pump, pixels, 100.5, 100.5, radius, step, DrawColour{255, 255, 255, 255});
    EXPECT_TRUE(AllZero(pixels)) << "radius " << radius;
  }
}

// -------------------------------------------------------------------- beams

TEST(PlotBeam, YieldsOnceBeforeTouchingAnything) {
  const Playfield field{160, 64, 0};
  PixelArray pixels(160, 64);
  RecordingPump pump;
  double sx = 20.5;
  double sy = 30.5;
  DrawColour colour{255, 77, 0, 256};
  bool untouchedAtYield = false;
  pump.hook = [&] { untouchedAtYield = AllZero(pixels) && sx == 20.5 && sy == 30.5 && colour.Green == 77; };
  PlotBeam(field, pump, pixels, sx, sy, 120.5, 30.5, colour, 40);
  EXPECT_EQ(pump.runs, 1);
  EXPECT_TRUE(untouchedAtYield);
  EXPECT_FALSE(AllZero(pixels));
}

TEST(PlotBeam, BetweenIdenticalPointsDrawsOneDotAtTheStart) {
  // n = 0 becomes 1 and the step is zero: one dot at the start, whose green is
  // round(|sin((0 - 1) / 100)| * 200) = round(1.99997) = 2.
  const Playfield field{160, 64, 37};
  PixelArray pixels(160, 64);
  RecordingPump pump;
  double sx = 20.5;
  double sy = 30.5;
  DrawColour colour{255, 77, 9, 256};
  PlotBeam(field, pump, pixels, sx, sy, 20.5, 30.5, colour, 0);
  EXPECT_EQ(sx, 20.5);
  EXPECT_EQ(sy, 30.5);
  EXPECT_EQ(colour, (DrawColour{255, 2, 9, 256}));

  PixelArray expected(160, 64);
  PlotSoftPoint(field, expected, 20.5, 30.5, DrawColour{255, 2, 9, 256});
  EXPECT_EQ(FirstDifference(pixels, expected), "");
}

TEST(PlotBeam, ShorterThanOneSpacingDrawsNothingButMovesTheStartBack) {
  // A 3 px beam from (10, 10) to (12.4, 11.8): n = 0.75, so no dot, and the
  // step (2.4, 1.8) / 0.75 = (3.2, 2.4) is still taken off the start.
  const Playfield field{64, 64, 50};
  PixelArray pixels(64, 64);
  RecordingPump pump;
  double sx = 10;
  double sy = 10;
  DrawColour colour{255, 77, 9, 200};
  PlotBeam(field, pump, pixels, sx, sy, 12.4, 11.8, colour, 50);
  EXPECT_NEAR(sx, 6.8, 1e-12);
  EXPECT_NEAR(sy, 7.6, 1e-12);
  EXPECT_EQ(colour, (DrawColour{255, 77, 9, 200}));
  EXPECT_TRUE(AllZero(pixels));
}

// Dots of a beam lie 4 px apart, so with Alpha 256 each dot centre on a
// half-pixel position shows the beam's colour exactly (red 255) and no other
// pixel reaches it: the dots can be counted and read one by one.
struct BeamCase {
  const char* name;
  double x1, y1, x2, y2;
  double effectsCounter;
  double percent;
  std::vector<std::pair<int, int>> centres;  // screen pixels (x, y) in drawing order
  std::vector<int> greens;                   // green of each dot
  double movedStartX, movedStartY;
};

std::vector<std::pair<int, int>> Line(int x, int y, int dx, int dy, int count) {
  std::vector<std::pair<int, int>> out;
  for (int k = 0; k < count; ++k) out.emplace_back(x + k * dx, y + k * dy);
  return out;
}

// round(|sin((head - k) / 100)| * 200) for head 10 (Percent 40 of 25 dots).
const std::vector<int> kGreensHead10 = {18, 16, 14, 12, 10, 8, 6, 4, 2, 0, 2, 4, 6,
                                        8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30};
// ... and for head 0.
const std::vector<int> kGreensHead0 = {2, 4, 6, 8, 10, 12, 14, 16, 18, 20};

class BeamDots : public ::testing::TestWithParam<BeamCase> {};

TEST_P(BeamDots, DotsCreepWithTheEffectsCounterAndDarkenAtTheHead) {
  const BeamCase c = GetParam();
  constexpr int kHeight = 100;
  const Playfield field{160, kHeight, c.effectsCounter};
  PixelArray pixels(160, kHeight);
  RecordingPump pump;
  double sx = c.x1;
  double sy = c.y1;
  DrawColour colour{255, 77, 0, 256};
  PlotBeam(field, pump, pixels, sx, sy, c.x2, c.y2, colour, c.percent);

  EXPECT_DOUBLE_EQ(sx, c.movedStartX);
  EXPECT_DOUBLE_EQ(sy, c.movedStartY);
  // Red, Blue and Alpha are the caller's; Green is the last dot's.
  EXPECT_EQ(colour, (DrawColour{255, static_cast<std::int16_t>(c.greens.back()), 0, 256}));

  std::vector<std::pair<int, int>> found;
  for (int row = 0; row <= kHeight; ++row) {
    for (int x = 0; x < 160; ++x) {
      if (RedAt(pixels, x, row) == 255) found.emplace_back(x, kHeight - row);
    }
  }
  ASSERT_EQ(found.size(), c.centres.size());
  for (std::size_t k = 0; k < c.centres.size(); ++k) {
    const auto [x, y] = c.centres[k];
    const int row = kHeight - y;
    EXPECT_NE(std::find(found.begin(), found.end(), c.centres[k]), found.end()) << "no dot at " << x << ", " << y;
    EXPECT_EQ(int{pixels(3 * x + 1, row)}, c.greens[k]) << "green of dot " << k + 1;
    EXPECT_EQ(int{pixels(3 * x, row)}, 0);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Beams, BeamDots,
    ::testing::Values(
        // 100 px: n = 25, step (4, 0). Counter 0: the first dot on the start.
        BeamCase{"counter0", 20.5, 30.5, 120.5, 30.5, 0, 40, Line(20, 30, 4, 0, 25), kGreensHead10, 16.5, 30.5},
        // Counter 50: half a spacing on.
        BeamCase{"counter50", 20.5, 30.5, 120.5, 30.5, 50, 40, Line(22, 30, 4, 0, 25), kGreensHead10, 16.5, 30.5},
        // Counter 100: one spacing on; the last dot on the end point.
        BeamCase{"counter100", 20.5, 30.5, 120.5, 30.5, 100, 40, Line(24, 30, 4, 0, 25), kGreensHead10, 16.5, 30.5},
        // Upward, 40 px: n = 10, step (0, -4), head 0.
        BeamCase{"upward", 30.5, 80.5, 30.5, 40.5, 0, 0, Line(30, 80, 0, -4, 10), kGreensHead0, 30.5, 84.5}),
    [](const ::testing::TestParamInfo<BeamCase>& info) { return std::string(info.param.name); });

TEST(PlotBeam, GreenGrowsWithTheDistanceFromTheHead) {
  // 628 px at Percent 0: n = 157. Dot 50: 200 sin 0.5 = 95.9 -> 96; dot 100:
  // 200 sin 1 = 168.3 -> 168; dot 157: 200 sin 1.57 = 199.99 -> 200.
  const Playfield field{700, 40, 0};
  PixelArray pixels(700, 40);
  RecordingPump pump;
  double sx = 10.5;
  double sy = 20.5;
  DrawColour colour{255, 0, 0, 256};
  PlotBeam(field, pump, pixels, sx, sy, 638.5, 20.5, colour, 0);
  const int row = 40 - 20;
  auto greenOfDot = [&](int k) { return int{pixels(3 * (10 + 4 * (k - 1)) + 1, row)}; };
  EXPECT_EQ(greenOfDot(1), 2);
  EXPECT_EQ(greenOfDot(50), 96);
  EXPECT_EQ(greenOfDot(100), 168);
  EXPECT_EQ(greenOfDot(157), 200);
  EXPECT_EQ(colour.Green, 200);
}

}  // namespace
}  // namespace brindlet
