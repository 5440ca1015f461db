// The drawing primitives: soft dots, rings and beams, checked byte for byte
// against values worked out by hand from the blend rule
//   new byte = round-half-even(old * (1 - w) + colour * w),
//   w = (1 - min(1, 0.45 * ((i - ox)^2 + |j - oy|))) * Alpha / 256.
// The same tests run once per blend width (see CMakeLists.txt), so every
// vector path must give these bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <thread>
#include <utility>
#include <vector>

#include "headless/headless_platform.h"
#include "pixel_checks.h"
#include "render/primitives.h"

namespace brindlet::testing {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

std::uint8_t RedAt(const PixelArray& a, int x, int row) { return a(3 * x + 2, row); }

// ---------------------------------------------------------------- soft dots

// The 3 x 3 red bytes of a dot (red on black) at positions on and off the
// pixel centre. Rows are screen rows floor(y) - 1 .. floor(y) + 1, columns
// floor(x) - 1 .. floor(x) + 1; screen row t lands in array row 32 - t.
struct OffsetCase {
  double x;
  double y;
  std::int16_t alpha;
  std::array<std::array<std::uint8_t, 3>, 3> red;
};

TEST(PlotSoftPoint, WeightsFollowTheOffsetFromThePixelCentre) {
  const OffsetCase cases[] = {
      // Alpha 255 at a centre: w = 255/256, 0.55 * 255/256 at the edges, 0.1 * 255/256
      // at the corners: 254.004 -> 254, 139.70 -> 140, 25.40 -> 25.
      {10.5, 20.5, 255, {{{25, 140, 25}, {140, 254, 140}, {25, 140, 25}}}},
      // Alpha 256: q = 0, 0.45, 0.9 -> 255, 140.25 -> 140, 25.4999 -> 25.
      {10.5, 20.5, 256, {{{25, 140, 25}, {140, 255, 140}, {25, 140, 25}}}},
      // 10.3: ox = -0.2. Middle row: q = 0.288 -> 181.56 -> 182; 0.018 -> 250.41 -> 250;
      // 0.648 -> 89.76 -> 90. Other rows add 0.45: 66.81 -> 67, 135.66 -> 136, capped -> 0.
      {10.3, 20.5, 256, {{{67, 136, 0}, {182, 250, 90}, {67, 136, 0}}}},
      // 10.7: ox = +0.2, the mirror image.
      {10.7, 20.5, 256, {{{0, 136, 67}, {90, 250, 182}, {0, 136, 67}}}},
      // Integer x: ox = +0.5, columns 10 and 11 share the dot (q = 0.1125 -> 226; rows off
      // by one 111.56 -> 112) and column 9 gets nothing (0.45 * 2.25 > 1).
      {10.0, 20.5, 256, {{{0, 112, 112}, {0, 226, 226}, {0, 112, 112}}}},
      // Integer y: oy = +0.5, the row term |j - 0.5| (not squared): rows 20 and 21 share
      // it (197.63 -> 198, 82.87 -> 83), row 19 only its middle (q = 0.675 -> 83).
      {10.5, 20.0, 256, {{{0, 83, 0}, {83, 198, 83}, {83, 198, 83}}}},
      // 20.3: oy = -0.2. Row terms 0.8, 0.2, 1.2: 163.2 -> 163, 232.05 -> 232, 2.55 -> 3.
      {10.5, 20.3, 256, {{{48, 163, 48}, {117, 232, 117}, {3, 117, 3}}}},
  };
  for (const OffsetCase& c : cases) {
    PixelArray pixels(32, 32);
    PlotSoftPoint(pixels, {32, 32}, c.x, c.y, DrawColour{255, 0, 0, c.alpha});
    PixelArray expected(32, 32);
    const int fx = static_cast<int>(std::floor(c.x));
    const int fy = static_cast<int>(std::floor(c.y));
    for (int j = -1; j <= 1; ++j) {
      for (int i = -1; i <= 1; ++i) expected(3 * (fx + i) + 2, 32 - (fy + j)) = c.red[j + 1][i + 1];
    }
    EXPECT_EQ(FirstDifference(pixels, expected), "") << "dot at (" << c.x << ", " << c.y << "), alpha " << c.alpha;
  }
}

TEST(PlotSoftPoint, CentreRowIsImageHeightMinusFloorOfY) {
  // 1.5: the dot's top row goes to the extra row 32, which is never shown.
  // 30.5: its bottom row goes to row 1; row 0 is never drawn.
  for (double y : {1.5, 2.5, 15.5, 29.5, 30.5}) {
    PixelArray pixels(32, 32);
    PlotSoftPoint(pixels, {32, 32}, 10.5, y, DrawColour{255, 0, 0, 256});
    const int centreRow = 32 - static_cast<int>(std::floor(y));
    for (int row = 0; row <= 32; ++row) {
      const int expected = row == centreRow ? 255 : std::abs(row - centreRow) == 1 ? 140 : 0;
      EXPECT_EQ(RedAt(pixels, 10, row), expected) << "y " << y << ", row " << row;
    }
  }
}

TEST(PlotSoftPoint, DrawsOnlyStrictlyInsideOnePixelOfTheEdge) {
  const struct {
    double x, y;
    bool draws;
  } cases[] = {{1, 10, false},     {1.0001, 10, true}, {31, 10, false},   {30.9999, 10, true}, {10, 1, false},
               {10, 1.0001, true}, {10, 23, false},    {10, 22.9999, true}, {0.5, 10, false},  {-4, 10, false},
               {40, 10, false},    {10, -1e9, false},  {kNaN, 10, false}, {10, kNaN, false},  {kInf, 10, false},
               {-kInf, 10, false}, {10, kInf, false}};
  for (const auto& c : cases) {
    PixelArray pixels(32, 24);
    PlotSoftPoint(pixels, {32, 24}, c.x, c.y, DrawColour{255, 255, 255, 255});
    EXPECT_EQ(!AllZero(pixels), c.draws) << "at (" << c.x << ", " << c.y << ")";
  }
}

TEST(PlotSoftPoint, AlphaZeroChangesNothing) {
  PixelArray pixels(32, 32);
  FillPattern(pixels);
  const PixelArray before = pixels;
  for (double x : {10.0, 10.3, 10.5, 10.7}) {
    for (double y : {5.0, 5.25, 5.5}) PlotSoftPoint(pixels, {32, 32}, x, y, DrawColour{255, 255, 255, 0});
  }
  EXPECT_EQ(FirstDifference(pixels, before), "");
}

TEST(PlotSoftPoint, HalvesRoundToEvenInEveryChannel) {
  // Alpha 128 at a pixel centre gives w = 0.5 exactly: old / 2 + colour / 2
  // lands on a half for odd sums.
  const struct {
    std::uint8_t old;
    std::int16_t colour;
    int expected;
  } ties[] = {{0, 5, 2}, {0, 7, 4}, {0, 9, 4}, {1, 0, 0}, {3, 0, 2}, {2, 255, 128}, {4, 255, 130}, {100, 200, 150}};
  for (int channel = 0; channel < 3; ++channel) {  // 0 blue, 1 green, 2 red
    for (const auto& t : ties) {
      PixelArray pixels(32, 32);
      Fill(pixels, 40);
      pixels(30 + channel, 12) = t.old;
      DrawColour colour{40, 40, 40, 128};
      (channel == 2 ? colour.Red : channel == 1 ? colour.Green : colour.Blue) = t.colour;
      PlotSoftPoint(pixels, {32, 32}, 10.5, 20.5, colour);
      EXPECT_EQ(pixels(30 + channel, 12), t.expected) << "channel " << channel << ": old " << int{t.old}
                                                      << ", colour " << t.colour;
    }
  }
}

TEST(PlotSoftPoint, BlendsOverANonBlackBackground) {
  // Grey 100 under colour 200 at Alpha 256: centre w = 1 -> 200; edges
  // 0.45 * 100 + 0.55 * 200 = 155; corners 0.9 * 100 + 0.1 * 200 = 110.
  PixelArray pixels(32, 32);
  Fill(pixels, 100);
  PlotSoftPoint(pixels, {32, 32}, 10.5, 20.5, DrawColour{200, 200, 200, 256});
  const int grid[3][3] = {{110, 155, 110}, {155, 200, 155}, {110, 155, 110}};
  for (int j = -1; j <= 1; ++j) {
    for (int i = -1; i <= 1; ++i) {
      for (int ch = 0; ch < 3; ++ch) EXPECT_EQ(pixels(3 * (10 + i) + ch, 32 - (20 + j)), grid[j + 1][i + 1]);
    }
  }
  EXPECT_EQ(pixels(3 * 12, 12), 100);  // outside the dot
}

TEST(PlotSoftPoint, RedGreenBlueGoToByteColumns3xPlus2Plus1Plus0) {
  const struct {
    DrawColour colour;
    std::uint8_t background;
    std::array<int, 3> bgr;  // centre pixel bytes 3x, 3x + 1, 3x + 2
  } cases[] = {{{255, 0, 0, 256}, 0, {0, 0, 255}},
               {{0, 255, 0, 256}, 0, {0, 255, 0}},
               {{0, 0, 255, 256}, 0, {255, 0, 0}},
               {{10, 20, 30, 256}, 0, {30, 20, 10}},
               // Alpha above 256 is 256: the colour itself at the centre.
               {{255, 0, 7, 300}, 100, {7, 0, 255}}};
  for (const auto& c : cases) {
    PixelArray pixels(32, 32);
    Fill(pixels, c.background);
    PlotSoftPoint(pixels, {32, 32}, 10.5, 20.5, c.colour);
    EXPECT_EQ((std::array<int, 3>{pixels(30, 12), pixels(31, 12), pixels(32, 12)}), c.bgr)
        << "colour " << c.colour.Red << " " << c.colour.Green << " " << c.colour.Blue << " " << c.colour.Alpha;
  }
}

TEST(PlotSoftPoint, OutOfRangeInputsBehaveAsTheNearestLimit) {
  // Values outside 0..256 (Alpha) and 0..255 (channels) would push the
  // blended byte out of 0..255.
  const std::pair<DrawColour, DrawColour> cases[] = {
      {{255, 0, 0, 300}, {255, 0, 0, 256}},   {{255, 0, 0, 32767}, {255, 0, 0, 256}},
      {{255, 0, 0, -5}, {255, 0, 0, 0}},      {{400, 10, 10, 200}, {255, 10, 10, 200}},
      {{10, -3, 10, 200}, {10, 0, 10, 200}},  {{10, 10, 1000, 256}, {10, 10, 255, 256}},
      {{-32768, 10, 10, 256}, {0, 10, 10, 256}}};
  for (const auto& [given, sameAs] : cases) {
    PixelArray actual(32, 32);
    Fill(actual, 100);
    PixelArray expected = actual;
    PlotSoftPoint(actual, {32, 32}, 10.3, 20.7, given);
    PlotSoftPoint(expected, {32, 32}, 10.3, 20.7, sameAs);
    EXPECT_EQ(FirstDifference(actual, expected), "")
        << "colour " << given.Red << " " << given.Green << " " << given.Blue << " " << given.Alpha;
  }
}

TEST(PlotSoftPoint, NeverWritesPastAnArraySmallerThanThePlayfield) {
  // Width 15 leaves three padding bytes per row: a dot reaching pixel 15
  // would show there even without the address sanitizer.
  const Field field{64, 64};
  PixelArray pixels(15, 16);
  ASSERT_EQ(pixels.RowBytes(), 48);
  for (double y = 0; y <= 64; y += 0.25) {
    for (double x = 0; x <= 64; x += 0.25) PlotSoftPoint(pixels, field, x, y, DrawColour{255, 255, 255, 255});
  }
  for (int row = 0; row < pixels.Rows(); ++row) {
    for (int col = 45; col < 48; ++col) ASSERT_EQ(pixels(col, row), 0) << "padding at row " << row;
  }
  // A dot wholly inside the smaller array is still drawn; one that is not is left out.
  PixelArray fresh(15, 16);
  PlotSoftPoint(fresh, field, 5.5, 60.5, DrawColour{255, 0, 0, 256});  // array rows 3..5
  EXPECT_EQ(RedAt(fresh, 5, 4), 255);
  PixelArray untouched(15, 16);
  PlotSoftPoint(untouched, field, 30.5, 60.5, DrawColour{255, 0, 0, 256});
  PlotSoftPoint(untouched, field, 5.5, 20.5, DrawColour{255, 0, 0, 256});
  EXPECT_TRUE(AllZero(untouched));
}

// -------------------------------------------------------------------- rings

// A ring as soft dots at the angles -1, -1 + step, ... (each a step on from
// the last), centred one pixel right of and below (cx, cy), clockwise from
// the top. Only the first `dots` are drawn.
void RingOfDots(PixelArray& pixels, Field field, double cx, double cy, double radius, const DrawColour& colour,
                int dots) {
  const double step = 360 / (radius * 6.28);
  double a = -1;
  for (int k = 0; k < dots; ++k, a += step) {
    PlotSoftPoint(pixels, field, cx - radius * std::sin(-a * kDegreesToRadians) + 1,
                  cy - radius * std::sin((a + 90) * kDegreesToRadians) + 1, colour);
  }
}

TEST(PlotCircle, HasAboutOneDotPerPixelOfCircumference) {
  // Angle step 360 / (r * 6.28); the dots are the angles -1 + k * step not
  // above 359: r = 1 -> 57.32, k = 0..6, 7 dots; r = 2.5 -> 22.93, 16 dots...
  // At r = 8 / 6.28 the steps of 45 land on 359 exactly, whose dot covers the
  // first; at r = 5760 / 6.28 (steps of 1/16, a ring too fine to keep its
  // dots' places) too. Drawn again, from the places kept, a ring is the same.
  const struct {
    double radius, angleStep;
    int dots;
    double cy;  // the centre's y: the large ring's top lies in the field
  } cases[] = {{1, 57.3248, 7, 90.6},  {2.5, 22.9299, 16, 90.6}, {5, 11.4650, 32, 90.6},   {6.5, 8.8192, 41, 90.6},
               {40, 1.43312, 252, 90.6}, {2.5, 22.9299, 16, 90.6}, {8 / 6.28, 45, 9, 90.6}, {5760 / 6.28, 0.0625, 5761, 1000}};
  const Field field{256, 200};
  const DrawColour colour{200, 90, 30, 100};
  HeadlessPlatform events(1, 1);
  for (const auto& c : cases) {
    EXPECT_NEAR(CircleAngleStep(c.radius), c.angleStep, 1e-4);
    PixelArray pixels(256, 200);
    PlotCircle(pixels, field, events, 100.3, c.cy, c.radius, colour);
    // The dots overlap and cannot be counted on the picture: the ring must
    // equal exactly `dots` dots and differ from one dot fewer or more.
    PixelArray exact(256, 200), fewer(256, 200), more(256, 200);
    RingOfDots(exact, field, 100.3, c.cy, c.radius, colour, c.dots);
    RingOfDots(fewer, field, 100.3, c.cy, c.radius, colour, c.dots - 1);
    RingOfDots(more, field, 100.3, c.cy, c.radius, colour, c.dots + 1);
    ASSERT_NE(FirstDifference(exact, fewer), "");
    ASSERT_NE(FirstDifference(exact, more), "");
    EXPECT_EQ(FirstDifference(pixels, exact), "") << "radius " << c.radius;
  }
}

TEST(PlotCircle, DegenerateRadiiEndWithoutDrawingOutsideTheCentreDot) {
  // A negative, infinite, undefined or huge radius has no dot inside the
  // field; zero (or a radius so small the step overflows) one dot, on the
  // centre, also as the first ring a thread draws. None may spin forever.
  HeadlessPlatform events(1, 1);
  const DrawColour white{255, 255, 255, 255};
  for (double radius : {-1.0, -2.5, -40.0, kInf, kNaN, 1e300, -kInf, 0.0, 1e-300, 5e-324}) {
    PixelArray pixels(200, 200), expected(200, 200);
    std::thread([&] { PlotCircle(pixels, {200, 200}, events, 100.5, 100.5, radius, white); }).join();
    if (radius >= 0 && radius < 1) PlotSoftPoint(expected, {200, 200}, 101.5, 101.5, white);
    EXPECT_EQ(FirstDifference(pixels, expected), "") << "radius " << radius;
  }
}

// -------------------------------------------------------------------- beams

TEST(RingsAndBeams, LetEventsRunOnceBeforeDrawingAnything) {
  PixelArray pixels(200, 200);
  HeadlessPlatform events(1, 1);
  bool blankAtYield = false;
  events.at_yield = [&] { blankAtYield = AllZero(pixels); };
  PlotCircle(pixels, {200, 200}, events, 100, 100, 10, DrawColour{255, 255, 255, 200});
  EXPECT_EQ(events.yields(), 1);
  EXPECT_TRUE(blankAtYield);
  EXPECT_FALSE(AllZero(pixels));
  Fill(pixels, 0);
  PlotBeam(pixels, {200, 200}, events, 20.5, 30.5, 120.5, 30.5, DrawColour{255, 77, 0, 256}, 40, 0);
  EXPECT_EQ(events.yields(), 2);
  EXPECT_TRUE(blankAtYield);
  EXPECT_FALSE(AllZero(pixels));
}

TEST(PlotBeam, BetweenIdenticalPointsOneDotAtTheStartAndShorterThanASpacingNone) {
  // Identical points: n = 0 becomes 1 and the step is zero, so one dot at
  // the start whatever the phase, its green round(|sin((0 - 1) / 100)| * 200)
  // = round(1.99997) = 2. From (10, 10) to (12.4, 11.8): n = 0.75, no dot;
  // to infinity none either.
  HeadlessPlatform events(1, 1);
  for (double phase : {0.0, 37.0, 100.0}) {
    PixelArray pixels(160, 64);
    PlotBeam(pixels, {160, 64}, events, 20.5, 30.5, 20.5, 30.5, DrawColour{255, 77, 9, 256}, 0, phase);
    PixelArray expected(160, 64);
    PlotSoftPoint(expected, {160, 64}, 20.5, 30.5, DrawColour{255, 2, 9, 256});
    EXPECT_EQ(FirstDifference(pixels, expected), "") << "phase " << phase;
    PixelArray none(64, 64);
    PlotBeam(none, {64, 64}, events, 10, 10, 12.4, 11.8, DrawColour{255, 77, 9, 200}, 50, phase);
    EXPECT_TRUE(AllZero(none)) << "phase " << phase;
    PlotBeam(none, {64, 64}, events, 10, 10, kInf, 11.8, DrawColour{255, 77, 9, 200}, 50, phase);
    EXPECT_TRUE(AllZero(none)) << "to infinity, phase " << phase;
  }
}

std::vector<std::pair<int, int>> Line(int x, int y, int dx, int dy, int count) {
  std::vector<std::pair<int, int>> out;
  for (int k = 0; k < count; ++k) out.emplace_back(x + k * dx, y + k * dy);
  return out;
}

TEST(PlotBeam, DotsCreepWithThePhaseAndDarkenAtTheHead) {
  // Dots lie 4 px apart, so with Alpha 256 each dot centred on a pixel shows
  // red 255 and no other pixel reaches it: the dots are read one by one.
  // Greens are round(|sin((head - k) / 100)| * 200), head = percent of n.
  const std::vector<int> head10 = {18, 16, 14, 12, 10, 8,  6,  4,  2,  0,  2,  4,  6,
                                   8,  10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30};
  const std::vector<int> head0 = {2, 4, 6, 8, 10, 12, 14, 16, 18, 20};
  const struct {
    const char* name;
    double x1, y1, x2, y2, phase, percent;
    std::vector<std::pair<int, int>> centres;  // screen pixels (x, y) in drawing order
    const std::vector<int>& greens;
  } cases[] = {
      // 100 px: n = 25, step (4, 0). Phase 0: the first dot on the start.
      {"phase 0", 20.5, 30.5, 120.5, 30.5, 0, 40, Line(20, 30, 4, 0, 25), head10},
      // Phase 50: half a spacing on.
      {"phase 50", 20.5, 30.5, 120.5, 30.5, 50, 40, Line(22, 30, 4, 0, 25), head10},
      // Phase 100: one spacing on; the last dot on the end point.
      {"phase 100", 20.5, 30.5, 120.5, 30.5, 100, 40, Line(24, 30, 4, 0, 25), head10},
      // Upward, 40 px: n = 10, step (0, -4), head 0.
      {"upward", 30.5, 80.5, 30.5, 40.5, 0, 0, Line(30, 80, 0, -4, 10), head0},
  };
  HeadlessPlatform events(1, 1);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    PixelArray pixels(160, 100);
    PlotBeam(pixels, {160, 100}, events, c.x1, c.y1, c.x2, c.y2, DrawColour{255, 77, 0, 256}, c.percent, c.phase);
    std::vector<std::pair<int, int>> found;
    for (int row = 0; row <= 100; ++row) {
      for (int x = 0; x < 160; ++x) if (RedAt(pixels, x, row) == 255) found.emplace_back(x, 100 - row);
    }
    std::sort(found.begin(), found.end());
    std::vector<std::pair<int, int>> centres = c.centres;
    std::sort(centres.begin(), centres.end());
    ASSERT_EQ(found, centres);
    for (std::size_t k = 0; k < c.centres.size(); ++k) {
      const auto [x, y] = c.centres[k];
      EXPECT_EQ(pixels(3 * x + 1, 100 - y), c.greens[k]) << "green of dot " << k + 1;
      EXPECT_EQ(pixels(3 * x, 100 - y), 0) << "blue of dot " << k + 1;
    }
  }
}

TEST(PlotBeam, GreenGrowsWithTheDistanceFromTheHead) {
  // 628 px at Percent 0: n = 157, dots at x = 10.5 + 4 (k - 1). Dot 50:
  // 200 sin 0.5 = 95.9 -> 96; dot 100: 200 sin 1 = 168.3 -> 168; dot 157:
  // 200 sin 1.57 = 199.99 -> 200. Every one of the 157 greens is the sine's.
  HeadlessPlatform events(1, 1);
  const Field field{700, 40};
  PixelArray pixels(700, 40);
  PlotBeam(pixels, field, events, 10.5, 20.5, 638.5, 20.5, DrawColour{255, 0, 0, 256}, 0, 0);
  const auto greenOfDot = [&](int k) { return int{pixels(3 * (10 + 4 * (k - 1)) + 1, 20)}; };
  EXPECT_EQ(greenOfDot(1), 2);
  EXPECT_EQ(greenOfDot(50), 96);
  EXPECT_EQ(greenOfDot(100), 168);
  EXPECT_EQ(greenOfDot(157), 200);

  PixelArray expected(700, 40);
  for (int k = 1; k <= 157; ++k) {
    const auto green = static_cast<std::int16_t>(std::nearbyint(std::fabs(std::sin((0.0 - k) / 100)) * 200));
    PlotSoftPoint(expected, field, 10.5 + 4 * (k - 1), 20.5, DrawColour{255, green, 0, 256});
  }
  EXPECT_EQ(FirstDifference(pixels, expected), "");
}

}  // namespace
}  // namespace brindlet::testing
