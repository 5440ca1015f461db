// Moving pixels between picture surfaces and pixel arrays, and converting
// scan lines between 24-bit pixels and the surface format.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <optional>
#include <span>
#include <stdexcept>
#include <utility>
#include <vector>

#include "game/random.h"
#include "headless/headless_platform.h"
#include "render/primitives.h"
#include "pixel_checks.h"
#include "render/scale.h"
#include "render/surface.h"

namespace brindlet::testing {
namespace {

using Bgr = std::array<std::uint8_t, 3>;

// A surface in memory that counts how it is asked to show a new picture.
class CountingSurface final : public MemorySurface {
 public:
  CountingSurface(std::int32_t width, std::int32_t height) : MemorySurface(width, height) {}

  bool KeepsPicture() const override { return keeps; }
  // A surface can have no room for a moment, as a window being resized.
  std::int32_t Width() const override { return roomless ? 0 : MemorySurface::Width(); }
  std::int32_t Height() const override { return roomless ? 0 : MemorySurface::Height(); }
  // Every report must be in the banded order a window region is built from:
  // bands top to bottom, apart; within one, equal rows, left to right, apart.
  void Changed(std::span<const PixelRect> changed) override {
    ++changes;
    for (std::size_t i = 0; i < changed.size(); ++i) {
      const PixelRect& a = changed[i];
      EXPECT_FALSE(a.Empty());
      EXPECT_TRUE(a.left >= 0 && a.top >= 0 && a.right <= Width() && a.bottom <= Height());
      if (i == 0) continue;
      const PixelRect& before = changed[i - 1];
      const bool sameBand = a.top == before.top && a.bottom == before.bottom && a.left > before.right;
      EXPECT_TRUE(sameBand || a.top >= before.bottom)
          << "area " << i << " (" << a.left << ", " << a.top << ") out of banded order";
    }
    areas.insert(areas.end(), changed.begin(), changed.end());
  }

  bool IsBlank() {
    for (std::int32_t row = 0; row < Height(); ++row) {
      const std::uint32_t* line = Line(row);
      if (!std::all_of(line, line + Width(), [](std::uint32_t p) { return p == 0xff000000u; })) return false;
    }
    return true;
  }

  // Shown scaled, once given a screen: the writer scales what it writes.
  ScaledScreen ScreenToScale() override {
    return screen.empty() ? ScaledScreen{} : ScaledScreen{&scaler, screen.data(), scaler.ToWidth()};
  }
  // The screen as scaling the whole picture gives it.
  std::vector<std::uint32_t> WholeScaled() {
    std::vector<std::uint32_t> whole(screen.size());
    scaler.Scale(Line(Height() - 1), -Lines().up, whole.data(), scaler.ToWidth(), {0, 0, scaler.ToWidth(), scaler.ToHeight()});
    return whole;
  }

  int changes = 0;
  bool keeps = true;
  bool roomless = false;
  std::vector<PixelRect> areas;
  PictureScaler scaler;
  std::vector<std::uint32_t> screen;
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

CountingSurface PatternSurface(std::int32_t w, std::int32_t h) {
  CountingSurface s(w, h);
  for (std::int32_t y = 0; y < h; ++y) for (std::int32_t x = 0; x < w; ++x) s.SetPixel(x, y, Pattern(x, y));
  return s;
}

void ExpectPattern(CountingSurface& s) {
  for (int y = 0; y < s.Height(); ++y) {
    for (int x = 0; x < s.Width(); ++x) ASSERT_EQ(s.PixelAt(x, y), Pattern(x, y)) << "pixel " << x << ", " << y;
  }
}

TEST(ImageData2D, RowsInTheAskedOrderWithZeroPaddingAndExtraRowAndBackAgain) {
  const int height = 3;
  HeadlessPlatform events(1, 1);
  for (int width = 1; width <= 7; ++width) {
    for (bool upright : {false, true}) {
      SCOPED_TRACE(::testing::Message() << "width " << width << (upright ? ", top-down" : ", bottom-up"));
      CountingSurface surface = PatternSurface(width, height);
      PixelArray array(40, 40);  // old contents and bounds are discarded
      Fill(array, 0xEE);
      GetImageData2D(surface, array, upright);
      ASSERT_EQ(array.Width(), width);
      ASSERT_EQ(array.Height(), height);
      for (int row = 0; row <= height; ++row) {
        for (int b = 0; b < array.RowBytes(); ++b) {
          const bool picture = row < height && b < 3 * width;  // else padding or the extra row: zero
          const int expected = picture ? Pattern(b / 3, upright ? row : height - 1 - row)[b % 3] : 0;
          ASSERT_EQ(array(b, row), expected) << "byte " << b << ", row " << row;
          if (!picture) array(b, row) = 0xEE;  // and back: Set never reads them
        }
      }
      EXPECT_EQ(surface.changes, 0) << "reading shows nothing";
      CountingSurface copy(width, height);
      SetImageData2D(copy, events, width, height, array, upright);
      ExpectPattern(copy);
    }
  }
}

TEST(SetImageData2D, StretchingDropsOrRepeatsWholeLinesAndColumns) {
  const struct { int fromW, fromH, toW, toH; bool upright; } cases[] = {
      {2, 2, 4, 4, false}, {2, 2, 4, 4, true}, {3, 5, 7, 11, false}, {3, 5, 7, 11, true},
      {8, 9, 3, 4, false}, {8, 9, 3, 4, true}, {5, 2, 5, 7, false},  {7, 7, 2, 2, false}};
  HeadlessPlatform events(1, 1);
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.fromW << " x " << c.fromH << " to " << c.toW << " x " << c.toH
                                      << (c.upright ? ", top-down" : ", bottom-up"));
    CountingSurface source = PatternSurface(c.fromW, c.fromH);
    PixelArray array;
    GetImageData2D(source, array, c.upright);
    CountingSurface surface(c.toW, c.toH);
    SetImageData2D(surface, events, c.fromW, c.fromH, array, c.upright);

    std::vector<int> sourceRowOf(c.toH), sourceColumnOf(c.toW);
    for (int y = 0; y < c.toH; ++y) {
      for (int x = 0; x < c.toW; ++x) {
        const auto from = Decode(surface.PixelAt(x, y));
        ASSERT_TRUE(from.has_value()) << "pixel " << x << "," << y << " is not a picture pixel";
        // Whole lines and columns: every pixel of an output line from one
        // source line, every pixel of a column from one source column.
        if (x == 0) sourceRowOf[y] = from->second;
        if (y == 0) sourceColumnOf[x] = from->first;
        ASSERT_EQ(from->second, sourceRowOf[y]) << x << "," << y;
        ASSERT_EQ(from->first, sourceColumnOf[x]) << x << "," << y;
      }
    }
    // In order from the first line and column; growing repeats and drops
    // none, shrinking drops and repeats none.
    for (auto [used, count, grows] : {std::tuple{&sourceRowOf, c.fromH, c.toH >= c.fromH},
                                      std::tuple{&sourceColumnOf, c.fromW, c.toW >= c.fromW}}) {
      EXPECT_TRUE(std::is_sorted(used->begin(), used->end()));
      EXPECT_EQ(used->front(), 0);
      EXPECT_LT(used->back(), count);
      if (grows) {
        EXPECT_EQ(used->back(), count - 1);
        EXPECT_EQ(std::unique(used->begin(), used->end()) - used->begin(), count);
      } else {
        EXPECT_EQ(std::adjacent_find(used->begin(), used->end()), used->end());
      }
    }
  }
  // Doubling repeats every pixel in a 2 x 2 block.
  CountingSurface source = PatternSurface(2, 2);
  PixelArray array;
  GetImageData2D(source, array, false);
  CountingSurface surface(4, 4);
  SetImageData2D(surface, events, 2, 2, array, false);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) EXPECT_EQ(surface.PixelAt(x, y), Pattern(x / 2, y / 2)) << x << "," << y;
  }
}

TEST(SetImageData2D, ShowsThePictureItsGetReadThenLetsEventsRunOnce) {
  // A surface is told that its picture changed; one nobody can see receives
  // nothing. Events run once, after the picture is in place.
  for (int width = 1; width <= 7; ++width) {
    for (int height : {1, 3, 9}) {
      CountingSurface source = PatternSurface(width, height);
      PixelArray read;
      GetImageData2D(source, read, false);
      for (bool shown : {true, false}) {
        SCOPED_TRACE(::testing::Message() << width << " x " << height << (shown ? "" : ", hidden"));
        CountingSurface surface(width, height);
        surface.shown = shown;
        const int changes = shown ? 1 : 0;
        HeadlessPlatform events(1, 1);
        bool doneBeforeEvents = false;
        events.at_yield = [&] { doneBeforeEvents = surface.changes == changes && surface.IsBlank() == !shown; };
        SetImageData2D(surface, events, width, height, read, false);
        EXPECT_EQ(events.yields(), 1);
        EXPECT_TRUE(doneBeforeEvents) << "events run only after the picture is in place";
        EXPECT_EQ(surface.changes, changes);
        if (shown) ExpectPattern(surface);
      }
    }
  }
}

TEST(SetOperations, RefuseAnArrayTooSmallForThePictureAndLeaveTheSurfaceAlone) {
  HeadlessPlatform events(1, 1);
  const std::int32_t w = 5;
  CountingSurface surface(w, 4);

  // Five pixels a row need 16 bytes; rows 0..3 of a 5 x 3 array (its extra
  // row included) are exactly enough for a picture 4 lines high, not 5.
  const PixelArray fits(w, 3);
  EXPECT_NO_THROW(SetImageData2D(surface, events, w, 4, fits, false));
  EXPECT_EQ(events.yields(), 1);

  CountingSurface untouched(w, 4);
  untouched.SetPixel(2, 2, {9, 9, 9});
  const PixelArray narrow(4, 3);  // 12-byte rows
  EXPECT_THROW(SetImageData2D(untouched, events, w, 5, fits, false), std::length_error);
  EXPECT_THROW(SetImageData2D(untouched, events, w, 4, narrow, false), std::length_error);
  EXPECT_THROW(SetImageData2D(untouched, events, w, 4, PixelArray(), true), std::length_error);

  EXPECT_EQ(untouched.PixelAt(2, 2), (Bgr{9, 9, 9}));
  untouched.SetPixel(2, 2, {0, 0, 0});
  EXPECT_TRUE(untouched.IsBlank());
  EXPECT_EQ(untouched.changes, 0);
  EXPECT_EQ(events.yields(), 1) << "a refused picture lets no events run";
}

TEST(ScanLines, ConvertAndPackAgreeWithAPlainLoopAtEveryWidth) {
  // Where the processor has vector paths, ConvertLine takes them from width
  // 6 up; the guard word after each line must stay untouched.
  constexpr std::uint32_t kGuard = 0x5A5A5A5Au;
  for (int width = 0; width <= 80; ++width) {
    std::vector<std::uint8_t> bgr(static_cast<std::size_t>(width) * 3);
    for (std::size_t i = 0; i < bgr.size(); ++i) bgr[i] = static_cast<std::uint8_t>(i * 37 + width * 11 + 5);
    std::vector<std::uint32_t> converted(static_cast<std::size_t>(width) + 1, kGuard);
    ConvertLine(bgr.data(), converted.data(), width);
    for (int x = 0; x < width; ++x) {
      const std::uint32_t plain = 0xff000000u | bgr[x * 3] | std::uint32_t{bgr[x * 3 + 1]} << 8 |
                                  std::uint32_t{bgr[x * 3 + 2]} << 16;
      ASSERT_EQ(converted[x], plain) << "width " << width << ", pixel " << x;
    }
    ASSERT_EQ(converted[width], kGuard) << "width " << width;

    std::vector<std::uint8_t> packed(bgr.size() + 1, 0xA5);
    PackLine(converted.data(), packed.data(), width);
    ASSERT_TRUE(std::equal(bgr.begin(), bgr.end(), packed.begin())) << "width " << width;
    ASSERT_EQ(packed.back(), 0xA5) << "width " << width;
  }
}

// A background tile of one byte value but in its last row (8k + 7) or its
// last column is restored with those pixels' own bytes.
TEST(TrackedFrames, ATileOfOneValueButAtItsLastRowOrColumnIsRestoredExactly) {
  HeadlessPlatform events(1, 1);
  for (const bool lastRow : {true, false}) {
    PixelArray background(64, 24);
    Fill(background, 0x33);
    for (int row = 8; row < 16; ++row) {  // the tile of pixels 32..63 and rows 8..15
      for (int b = 96; b < 192; ++b) background(b, row) = lastRow ? (row == 15 ? 0x44 : 0x33) : (b >= 189 ? 0x44 : 0x33);
    }
    PixelArray frame;
    frame.RestoreFrom(background);
    PlotSoftPoint(frame, {64, 24}, 48.5, 12.5, DrawColour{255, 255, 255, 256});
    frame.RestoreFrom(background);
    EXPECT_EQ(FirstDifference(frame, background), "") << (lastRow ? "last row" : "last column");
  }
}

TEST(TrackedFrames, RestoreAndPresentByTilesAlwaysGiveTheWholeFrame) {
  // A frame restored from its background and presented tile by tile, as a
  // main tick does, must come out byte for byte as a whole copy would: after
  // rings and beams near tile edges and on the extra row, writes from
  // outside the primitives, presentations dropped while hidden or without
  // room, a second surface, another picture set in between, and a changed
  // background. Its screen, enlarged between ratios, comes out as the whole
  // picture scaled.
  constexpr int kWidth = 100;
  constexpr int kHeight = 50;
  const Field field{kWidth, kHeight};
  // Patterned below, one colour above and in a strip on the left: tiles of
  // one byte value are restored by filling, the others by copying.
  PixelArray background(kWidth, kHeight);
  for (int row = 0; row <= kHeight; ++row) {
    for (int b = 0; b < background.RowBytes(); ++b) {
      background(b, row) = static_cast<std::uint8_t>(row >= 24 ? 0x33 : b < 40 * 3 ? 0 : row * 7 + b);
    }
  }
  PixelArray stranger(kWidth, kHeight);
  std::fill(stranger.Bytes().begin(), stranger.Bytes().end(), std::uint8_t{0x77});
  PixelArray frame;
  CountingSurface surface(kWidth, kHeight);
  CountingSurface other(kWidth, kHeight);
  surface.scaler.SetSizes(kWidth, kHeight, 129, 64);
  surface.screen.resize(129 * 64);
  HeadlessPlatform events(1, 1);
  DefaultRandom dice(11);
  const auto roll = [&](int n) { return static_cast<int>(dice.NextBits() % static_cast<unsigned>(n)); };
  // Presents `shown` over a pixel the surface lost, which must come back.
  const auto presentOverALostPixel = [&](PixelArray& shown, bool keeps) {
    const int x = roll(kWidth);
    const int y = roll(kHeight);
    surface.SetPixel(x, y, {1, 2, 3});
    surface.keeps = keeps;
    PresentChanges(surface, events, kWidth, kHeight, shown);
    surface.keeps = true;
    const std::uint8_t* bgr = shown.Row(kHeight - 1 - y) + 3 * x;
    EXPECT_EQ(surface.PixelAt(x, y), (Bgr{bgr[0], bgr[1], bgr[2]})) << "pixel " << x << ", " << y;
  };
  for (int tick = 0; tick < 300; ++tick) {
    SCOPED_TRACE(::testing::Message() << "tick " << tick);
    if (tick % 97 == 50) background(roll(background.RowBytes()), roll(kHeight + 1)) ^= 0x55;
    frame.RestoreFrom(background);
    ASSERT_TRUE(frame == background);
    const DrawColour colour{static_cast<std::int16_t>(roll(256)), 40, 200, static_cast<std::int16_t>(roll(257))};
    for (int k = 0; k < roll(4); ++k) {
      PlotCircle(frame, field, events, roll(kWidth), roll(kHeight + 4) - 2, 1 + roll(12), colour);
    }
    if (roll(3) == 0) PlotBeam(frame, field, events, roll(kWidth), roll(kHeight), roll(kWidth), roll(kHeight), colour, 50, 30);
    if (roll(10) == 0) frame(roll(frame.RowBytes()), roll(kHeight)) ^= 0xff;
    if (tick % 61 == 30 && surface.shown) {
      PixelArray copy = frame;  // never presented itself: it is presented whole
      presentOverALostPixel(copy, true);
    }
    // A surface that lost its picture is given the whole frame.
    if (tick % 53 == 20 && surface.shown) presentOverALostPixel(frame, false);
    if (tick % 41 == 7 && surface.shown) SetImageData2D(surface, events, kWidth, kHeight, stranger, false);
    surface.roomless = tick % 37 == 5;  // takes nothing: the changes stay owed
    if (surface.roomless) PresentChanges(surface, events, kWidth, kHeight, frame);
    surface.roomless = false;
    CountingSurface& target = roll(20) == 0 ? other : surface;
    target.shown = roll(8) != 0;
    const std::vector<std::uint32_t> before = [&] {
      std::vector<std::uint32_t> pixels;
      for (int row = 0; row < kHeight; ++row) pixels.insert(pixels.end(), target.Line(row), target.Line(row) + kWidth);
      return pixels;
    }();
    target.areas.clear();
    PresentChanges(target, events, kWidth, kHeight, frame);
    if (!target.shown) continue;
    ASSERT_TRUE(surface.screen == surface.WholeScaled());
    CountingSurface whole(kWidth, kHeight);
    SetImageData2D(whole, events, kWidth, kHeight, frame, false);
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        ASSERT_EQ(target.PixelAt(x, y), whole.PixelAt(x, y)) << "pixel " << x << ", " << y;
        if (before[static_cast<std::size_t>(kHeight - 1 - y) * kWidth + x] == target.Line(kHeight - 1 - y)[x]) continue;
        const bool reported = std::any_of(target.areas.begin(), target.areas.end(), [&](const PixelRect& r) {
          return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
        });
        ASSERT_TRUE(reported) << "pixel " << x << ", " << y << " changed unreported";
      }
    }
  }
}

TEST(CoverInBands, CoversTheBandsPixelsExactlyInBandedForm) {
  // Random bands of one to three rectangles (and some clipped to nothing),
  // each band overlapping the one before by up to two rows, or apart, as
  // scaled reaches are.
  DefaultRandom dice(5);
  const auto roll = [&](int n) { return static_cast<std::int32_t>(dice.NextBits() % static_cast<unsigned>(n)); };
  for (int round = 0; round < 200; ++round) {
    std::vector<PixelRect> bands;
    for (std::int32_t top = roll(3); top < 40; top += 1 + roll(6)) {
      const std::int32_t bottom = top + 1 + roll(6);
      for (std::int32_t left = roll(8); left < 60; left += 1 + roll(12)) {
        const std::int32_t right = left + 1 + roll(10);
        bands.push_back({left, top, right, bottom});
        if (roll(5) == 0) bands.push_back({right + 2, top, right + 2, bottom});  // clipped away: no pixel
        left = right;
      }
    }
    std::vector<PixelRect> cover{{-9, -9, -8, -8}};  // appended to, not replaced
    CoverInBands(bands, cover);
    ASSERT_EQ(cover.front(), (PixelRect{-9, -9, -8, -8}));
    const auto inside = [](const std::vector<PixelRect>& rects, std::size_t from, std::int32_t x, std::int32_t y) {
      int count = 0;
      for (std::size_t i = from; i < rects.size(); ++i) {
        count += x >= rects[i].left && x < rects[i].right && y >= rects[i].top && y < rects[i].bottom ? 1 : 0;
      }
      return count;
    };
    for (std::int32_t y = 0; y < 50; ++y) {
      for (std::int32_t x = 0; x < 80; ++x) {
        ASSERT_EQ(inside(cover, 1, x, y), inside(bands, 0, x, y) > 0 ? 1 : 0) << "round " << round << " at " << x << ", " << y;
      }
    }
    for (std::size_t i = 2; i < cover.size(); ++i) {
      const PixelRect& a = cover[i];
      const PixelRect& before = cover[i - 1];
      ASSERT_TRUE(a.right > a.left && a.bottom > a.top) << "round " << round << ", rectangle " << i;
      const bool sameRow = a.top == before.top && a.bottom == before.bottom && a.left > before.right;
      ASSERT_TRUE(sameRow || a.top >= before.bottom) << "round " << round << ", rectangle " << i;
    }
  }
}

}  // namespace
}  // namespace brindlet::testing
