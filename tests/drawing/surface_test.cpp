// Moving pixels between picture surfaces and pixel arrays.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

#include "render/fast_drawing.h"

namespace brindlet {
namespace {

using Bgr = std::array<std::uint8_t, 3>;

class Pump final : public EventPump {
 public:
  int runs = 0;
  std::function<void()> on_run;
  void LetEventsRun() override {
    ++runs;
    if (on_run) on_run();
  }
};

// Distinct for every pixel of pictures up to 80 x 80, and decodable.
Bgr Pattern(std::int32_t x, std::int32_t y) {
  return {static_cast<std::uint8_t>(x + 1), static_cast<std::uint8_t>(3 * y + 2), static_cast<std::uint8_t>(x + y)};
}

std::optional<std::pair<int, int>> Decode(const Bgr& px) {
  if (px[0] == 0 || (px[1] + 1) % 3 != 0) return std::nullopt;
  const int x = px[0] - 1;
  const int y = (px[1] - 2) / 3;
  if (px[2] != static_cast<std::uint8_t>(x + y)) return std::nullopt;
  return std::make_pair(x, y);
}

MemorySurface PatternSurface(std::int32_t w, std::int32_t h) {
  MemorySurface s(w, h);
  for (std::int32_t y = 0; y < h; ++y) {
    for (std::int32_t x = 0; x < w; ++x) s.SetPixel(x, y, Pattern(x, y));
  }
  return s;
}

bool SurfaceIsBlank(MemorySurface& s) {
  for (std::int32_t y = 0; y < s.BitmapHeight(); ++y) {
    for (std::int32_t x = 0; x < s.BitmapWidth(); ++x) {
      if (s.PixelAt(x, y) != Bgr{0, 0, 0}) return false;
    }
  }
  return true;
}

TEST(PixelArray, RowBytesPadsScanLinesToFourBytes) {
  const std::vector<std::pair<int, int>> cases = {{1, 4}, {2, 8}, {3, 12}, {4, 12}, {5, 16},
                                                  {6, 20}, {7, 24}, {8, 24}, {1026, 3080}};
  Pump pump;
  FastDrawing drawing(pump);
  for (const auto& [width, rowBytes] : cases) {
    EXPECT_EQ(PixelArray::RowBytesFor(width), rowBytes) << width;
    MemorySurface surface(width, 2);
    PixelArray array;
    drawing.GetImageData2D(surface, array, false);
    EXPECT_EQ(array.RowBytes(), rowBytes) << width;
    EXPECT_EQ(array.Rows(), 3) << width;
    EXPECT_EQ(array.Bytes().size(), static_cast<std::size_t>(rowBytes) * 3) << width;
  }
}

TEST(FastDrawing, SizesOfTheGamesBackground) {
  Pump pump;
  FastDrawing drawing(pump);
  MemorySurface surface(1026, 770);
  EXPECT_EQ(drawing.GetImageWidth(surface), 1026);
  EXPECT_EQ(drawing.GetImageHeight(surface), 770);
  EXPECT_EQ(drawing.GetImageStreamLength(surface), 2373138);
  PixelArray array;
  drawing.GetImageData2D(surface, array, false);
  EXPECT_EQ(array.RowBytes(), 3080);
  EXPECT_EQ(array.Rows(), 771);
  EXPECT_EQ(array.Bytes().size(), 3080u * 771u);
  EXPECT_EQ(pump.runs, 0) << "reading does not let events run";
}

class GetImageData2D : public ::testing::TestWithParam<std::tuple<int, bool>> {};

TEST_P(GetImageData2D, RowsInTheAskedOrderWithZeroPaddingAndExtraRow) {
  const auto [width, upright] = GetParam();
  const int height = 3;
  MemorySurface surface = PatternSurface(width, height);
  Pump pump;
  FastDrawing drawing(pump);
  PixelArray array(40, 40);  // old contents and bounds are discarded
  std::fill(array.Bytes().begin(), array.Bytes().end(), std::uint8_t{0xEE});
  drawing.GetImageData2D(surface, array, upright);

  ASSERT_EQ(array.Width(), width);
  ASSERT_EQ(array.Height(), height);
  const int rowBytes = PixelArray::RowBytesFor(width);
  for (int row = 0; row < height; ++row) {
    const int screenRow = upright ? row : height - 1 - row;
    for (int x = 0; x < width; ++x) {
      for (int c = 0; c < 3; ++c) EXPECT_EQ(array(3 * x + c, row), Pattern(x, screenRow)[c]) << x << "," << row;
    }
    for (int b = 3 * width; b < rowBytes; ++b) EXPECT_EQ(array(b, row), 0) << "padding " << b;
  }
  for (int b = 0; b < rowBytes; ++b) EXPECT_EQ(array(b, height), 0) << "extra row " << b;
  // The blue byte at (0, 0) is the bottom-left pixel's, or the top-left's when upright.
  EXPECT_EQ(array(0, 0), Pattern(0, upright ? 0 : height - 1)[0]);
  EXPECT_EQ(array(0, height - 1), Pattern(0, upright ? height - 1 : 0)[0]);
}

INSTANTIATE_TEST_SUITE_P(Widths, GetImageData2D, ::testing::Combine(::testing::Range(1, 8), ::testing::Bool()));

class SetImageData2D : public ::testing::TestWithParam<std::tuple<int, bool>> {};

TEST_P(SetImageData2D, SameSizePictureReplacesTheBitmapInEitherOrientation) {
  const auto [width, upright] = GetParam();
  const int height = 4;
  PixelArray array(width, height);
  std::fill(array.Bytes().begin(), array.Bytes().end(), std::uint8_t{0xEE});  // padding and extra row
  for (int row = 0; row < height; ++row) {
    const int screenRow = upright ? row : height - 1 - row;
    for (int x = 0; x < width; ++x) {
      for (int c = 0; c < 3; ++c) array(3 * x + c, row) = Pattern(x, screenRow)[c];
    }
  }
  MemorySurface surface(width, height);
  Pump pump;
  FastDrawing drawing(pump);
  drawing.SetImageData2D(surface, width, height, array, upright);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) EXPECT_EQ(surface.PixelAt(x, y), Pattern(x, y)) << x << "," << y;
  }
}

INSTANTIATE_TEST_SUITE_P(Widths, SetImageData2D, ::testing::Combine(::testing::Range(1, 8), ::testing::Bool()));

struct StretchCase {
  int fromW, fromH, toW, toH;
  bool upright;
};

class Stretch : public ::testing::TestWithParam<StretchCase> {};

TEST_P(Stretch, DropsOrRepeatsLinesAndColumnsWithoutBlending) {
  const StretchCase& c = GetParam();
  MemorySurface source = PatternSurface(c.fromW, c.fromH);
  Pump pump;
  FastDrawing drawing(pump);
  PixelArray array;
  drawing.GetImageData2D(source, array, c.upright);
  MemorySurface surface(c.toW, c.toH);
  drawing.SetImageData2D(surface, c.fromW, c.fromH, array, c.upright);

  std::vector<int> sourceRowOf(c.toH), sourceColumnOf(c.toW);
  for (int y = 0; y < c.toH; ++y) {
    for (int x = 0; x < c.toW; ++x) {
      const auto from = Decode(surface.PixelAt(x, y));
      ASSERT_TRUE(from.has_value()) << "pixel " << x << "," << y << " is not a picture pixel";
      ASSERT_LT(from->first, c.fromW);
      ASSERT_LT(from->second, c.fromH);
      // Whole scan lines and columns: every pixel of an output line comes
      // from the same source line, every pixel of a column from one column.
      if (x == 0) sourceRowOf[y] = from->second;
      if (y == 0) sourceColumnOf[x] = from->first;
      ASSERT_EQ(from->second, sourceRowOf[y]) << x << "," << y;
      ASSERT_EQ(from->first, sourceColumnOf[x]) << x << "," << y;
    }
  }
  // Top to bottom and left to right, from the first line and column on.
  EXPECT_TRUE(std::is_sorted(sourceRowOf.begin(), sourceRowOf.end()));
  EXPECT_TRUE(std::is_sorted(sourceColumnOf.begin(), sourceColumnOf.end()));
  EXPECT_EQ(sourceRowOf.front(), 0);
  EXPECT_EQ(sourceColumnOf.front(), 0);
  // Growing repeats lines and columns and drops none; shrinking drops some
  // and repeats none.
  const auto covers = [](const std::vector<int>& used, int count) {
    for (int i = 0; i < count; ++i) {
      if (std::find(used.begin(), used.end(), i) == used.end()) return false;
    }
    return true;
  };
  const auto distinct = [](const std::vector<int>& used) {
    return std::adjacent_find(used.begin(), used.end()) == used.end();
  };
  if (c.toH >= c.fromH) {
    EXPECT_TRUE(covers(sourceRowOf, c.fromH));
  } else {
    EXPECT_TRUE(distinct(sourceRowOf));
  }
  if (c.toW >= c.fromW) {
    EXPECT_TRUE(covers(sourceColumnOf, c.fromW));
  } else {
    EXPECT_TRUE(distinct(sourceColumnOf));
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, Stretch,
                         ::testing::Values(StretchCase{2, 2, 4, 4, false}, StretchCase{2, 2, 4, 4, true},
                                           StretchCase{3, 5, 7, 11, false}, StretchCase{3, 5, 7, 11, true},
                                           StretchCase{8, 9, 3, 4, false}, StretchCase{8, 9, 3, 4, true},
                                           StretchCase{5, 2, 5, 7, false}, StretchCase{7, 7, 2, 2, false}));

TEST(StretchByTwo, RepeatsEveryPixelInATwoByTwoBlock) {
  MemorySurface source = PatternSurface(2, 2);
  Pump pump;
  FastDrawing drawing(pump);
  PixelArray array;
  drawing.GetImageData2D(source, array, false);
  MemorySurface surface(4, 4);
  drawing.SetImageData2D(surface, 2, 2, array, false);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) EXPECT_EQ(surface.PixelAt(x, y), Pattern(x / 2, y / 2)) << x << "," << y;
  }
}

// The three Set operations, each handed an array read from `source` by its
// own Get operation.
enum class Variant { TwoD, ThreeD, Stream };

struct Arrays {
  PixelArray two_d;
  PixelArray3D three_d;
  std::vector<std::uint8_t> stream;
};

Arrays ReadAll(FastDrawing& drawing, MemorySurface& source) {
  Arrays a;
  drawing.GetImageData2D(source, a.two_d, false);
  drawing.GetImageData(source, a.three_d);
  drawing.GetImageDataStream(source, a.stream);
  return a;
}

void SetWith(Variant v, FastDrawing& drawing, MemorySurface& surface, std::int32_t w, std::int32_t h,
             const Arrays& a) {
  switch (v) {
    case Variant::TwoD: drawing.SetImageData2D(surface, w, h, a.two_d, false); break;
    case Variant::ThreeD: drawing.SetImageData(surface, w, h, a.three_d); break;
    case Variant::Stream: drawing.SetImageDataStream(surface, w, h, a.stream); break;
  }
}

class SetVariants : public ::testing::TestWithParam<std::tuple<Variant, bool>> {};

TEST_P(SetVariants, StretchModeRedrawAndOneRunOfEventsAtTheEnd) {
  const auto [variant, autoRedraw] = GetParam();
  MemorySurface source = PatternSurface(5, 3);
  Pump pump;
  FastDrawing drawing(pump);
  const Arrays arrays = ReadAll(drawing, source);
  MemorySurface surface(5, 3, autoRedraw);
  bool doneBeforeEvents = false;
  pump.on_run = [&] {
    doneBeforeEvents = surface.PixelAt(4, 0) == Pattern(4, 0) && surface.bitmap_changes() == 1 &&
                       surface.refreshes() == (autoRedraw ? 1 : 0);
  };
  SetWith(variant, drawing, surface, 5, 3, arrays);

  EXPECT_EQ(pump.runs, 1);
  EXPECT_TRUE(doneBeforeEvents) << "events run only after the picture is in place";
  EXPECT_EQ(surface.stretch_mode(), variant == Variant::Stream ? 0 : kStretchColorOnColor);
  EXPECT_EQ(surface.picture_sets(), autoRedraw ? 1 : 0);
  EXPECT_EQ(surface.refreshes(), autoRedraw ? 1 : 0);
  EXPECT_EQ(surface.bitmap_changes(), 1);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 5; ++x) EXPECT_EQ(surface.PixelAt(x, y), Pattern(x, y));
  }
}

INSTANTIATE_TEST_SUITE_P(All, SetVariants,
                         ::testing::Combine(::testing::Values(Variant::TwoD, Variant::ThreeD, Variant::Stream),
                                            ::testing::Bool()));

class UnpaddedVariants : public ::testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(UnpaddedVariants, ThreeDAndStreamRoundTripWidthsThatNeedPadding) {
  const auto [width, height] = GetParam();
  MemorySurface source = PatternSurface(width, height);
  Pump pump;
  FastDrawing drawing(pump);
  const Arrays a = ReadAll(drawing, source);

  ASSERT_EQ(a.three_d.width, width);
  ASSERT_EQ(a.three_d.height, height);
  ASSERT_EQ(a.three_d.bytes.size(), static_cast<std::size_t>(width * 3 * height));
  ASSERT_EQ(a.stream.size(), static_cast<std::size_t>((height + 1) * width * 3 + 1));
  PixelArray3D three_d = a.three_d;
  for (int row = 0; row < height; ++row) {
    for (int x = 0; x < width; ++x) {
      for (int c = 0; c < 3; ++c) {
        const std::uint8_t expected = Pattern(x, height - 1 - row)[c];
        EXPECT_EQ(three_d.at(c, x, row), expected);
        EXPECT_EQ(a.stream[static_cast<std::size_t>((row * width + x) * 3 + c)], expected);
      }
    }
  }
  for (std::size_t i = static_cast<std::size_t>(height * width * 3); i < a.stream.size(); ++i) {
    EXPECT_EQ(a.stream[i], 0) << i;
  }

  for (Variant v : {Variant::ThreeD, Variant::Stream}) {
    MemorySurface surface(width, height);
    SetWith(v, drawing, surface, width, height, a);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) ASSERT_EQ(surface.PixelAt(x, y), Pattern(x, y)) << x << "," << y;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, UnpaddedVariants, ::testing::Combine(::testing::Range(1, 8), ::testing::Values(1, 3, 9)));

TEST(SetOperations, RefuseAnArrayTooSmallForThePictureAndLeaveTheSurfaceAlone) {
  Pump pump;
  FastDrawing drawing(pump);
  const std::int32_t w = 5;
  MemorySurface surface(w, 4, true);

  // Five pixels a row need 16 bytes; rows 0..3 of a 5 x 3 array (its extra
  // row included) are exactly enough for a picture 4 lines high, not 5.
  const PixelArray fits(w, 3);
  EXPECT_NO_THROW(drawing.SetImageData2D(surface, w, 4, fits, false));
  PixelArray3D three_d{w, 4, std::vector<std::uint8_t>(w * 3 * 4)};
  EXPECT_NO_THROW(drawing.SetImageData(surface, w, 4, three_d));
  std::vector<std::uint8_t> stream(w * 3 * 4);
  EXPECT_NO_THROW(drawing.SetImageDataStream(surface, w, 4, stream));

  MemorySurface untouched(w, 4, true);
  untouched.SetPixel(2, 2, {9, 9, 9});
  const std::int32_t tall = 5;
  const PixelArray narrow(4, 3);  // 12-byte rows
  EXPECT_THROW(drawing.SetImageData2D(untouched, w, tall, fits, false), std::length_error);
  EXPECT_THROW(drawing.SetImageData2D(untouched, w, 4, narrow, false), std::length_error);
  EXPECT_THROW(drawing.SetImageData2D(untouched, w, 4, PixelArray(), true), std::length_error);
  three_d.bytes.pop_back();
  EXPECT_THROW(drawing.SetImageData(untouched, w, 4, three_d), std::length_error);
  stream.pop_back();
  EXPECT_THROW(drawing.SetImageDataStream(untouched, w, 4, stream), std::length_error);

  EXPECT_EQ(untouched.PixelAt(2, 2), (Bgr{9, 9, 9}));
  untouched.SetPixel(2, 2, {0, 0, 0});
  EXPECT_TRUE(SurfaceIsBlank(untouched));
  EXPECT_EQ(untouched.stretch_mode(), 0);
  EXPECT_EQ(untouched.bitmap_changes(), 0);
  EXPECT_EQ(untouched.picture_sets(), 0);
  EXPECT_EQ(untouched.refreshes(), 0);
  EXPECT_EQ(pump.runs, 3) << "only the three accepted calls let events run";
}

}  // namespace
}  // namespace brindlet
