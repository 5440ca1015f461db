// Scaling a picture onto more or fewer screen pixels: against a plain
// reading of what each screen pixel should be, and scaled by parts against
// scaled whole.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "render/scale.h"

namespace brindlet::testing {
namespace {

struct Picture {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::vector<std::uint32_t> pixels;
  std::uint32_t& at(std::int32_t x, std::int32_t y) { return pixels[static_cast<std::size_t>(y * width + x)]; }
};

Picture Noise(std::int32_t width, std::int32_t height, std::mt19937& random) {
  Picture p{width, height, std::vector<std::uint32_t>(static_cast<std::size_t>(width * height))};
  for (std::uint32_t& px : p.pixels) px = 0xff000000u | (random() & 0xffffffu);
  return p;
}

Picture Scaled(const PictureScaler& scaler, const Picture& from, PixelRect area, Picture to) {
  scaler.Scale(from.pixels.data(), from.width, to.pixels.data(), to.width, area);
  return to;
}

// Screen sizes for a 38 x 24 picture: 1:1, twice, three times across and
// twice down, about and exactly one and a half, and shrunk to fit.
const std::pair<std::int32_t, std::int32_t> kScreens[] = {{38, 24}, {76, 48}, {114, 48}, {55, 34}, {57, 36}, {32, 20}};

TEST(PictureScaler, EachScreenPixelIsWhatItsPlaceInThePictureSays) {
  std::mt19937 random(7);
  const Picture from = Noise(38, 24, random);
  for (const auto& [w, h] : kScreens) {
    PictureScaler scaler;
    scaler.SetSizes(from.width, from.height, w, h);
    Picture screen = Scaled(scaler, from, {0, 0, w, h}, {w, h, std::vector<std::uint32_t>(static_cast<std::size_t>(w * h))});
    const bool whole = w % from.width == 0 && h % from.height == 0;
    ASSERT_EQ(scaler.Whole(), whole) << w << " x " << h;
    for (std::int32_t y = 0; y < h; ++y) {
      for (std::int32_t x = 0; x < w; ++x) {
        const std::uint32_t got = screen.at(x, y);
        if (whole) {
          // A copy of the picture pixel the screen pixel lies in.
          ASSERT_EQ(got, const_cast<Picture&>(from).at(x * from.width / w, y * from.height / h)) << x << "," << y;
          continue;
        }
        // Enlarged: how much of the screen pixel each picture pixel covers.
        // Shrunk: the linear blend of the four picture pixels around the
        // screen pixel's centre. In real numbers, within 2 of 255 a channel.
        const auto place = [](int at, int pixels, int picture, double* part) {
          if (pixels > picture) {
            const double start = static_cast<double>(at) * picture / pixels;
            const double end = static_cast<double>(at + 1) * picture / pixels;
            const int first = static_cast<int>(start);
            *part = std::min(1.0, std::max(0.0, end - (first + 1)) * pixels / picture);
            return first;
          }
          const double centre = std::clamp((at + 0.5) * picture / pixels - 0.5, 0.0, picture - 1.0);
          *part = centre - static_cast<int>(centre);
          return static_cast<int>(centre);
        };
        double fx = 0, fy = 0;
        const int x0 = place(x, w, from.width, &fx), y0 = place(y, h, from.height, &fy);
        const int x1 = std::min(x0 + 1, from.width - 1), y1 = std::min(y0 + 1, from.height - 1);
        for (int shift : {0, 8, 16}) {
          const auto c = [&](int px, int py) {
            return static_cast<double>((const_cast<Picture&>(from).at(px, py) >> shift) & 0xff);
          };
          const double want = (c(x0, y0) * (1 - fx) + c(x1, y0) * fx) * (1 - fy) + (c(x0, y1) * (1 - fx) + c(x1, y1) * fx) * fy;
          ASSERT_NEAR(static_cast<double>((got >> shift) & 0xff), want, 2.0) << w << " x " << h << " at " << x << "," << y;
        }
        ASSERT_EQ(got >> 24, 0xffu);
      }
    }
  }
}

// A frame scaled by its changed parts, whatever the parts and their order,
// ends up exactly as the whole frame scaled: no seams where parts meet.
TEST(PictureScaler, ScaledByChangedPartsEqualsScaledWhole) {
  std::mt19937 random(11);
  for (const auto& [w, h] : kScreens) {
    PictureScaler scaler;
    Picture from = Noise(38, 24, random);
    scaler.SetSizes(from.width, from.height, w, h);
    Picture screen{w, h, std::vector<std::uint32_t>(static_cast<std::size_t>(w * h), 0x12345678u)};
    screen = Scaled(scaler, from, {0, 0, w, h}, screen);
    for (int step = 0; step < 40; ++step) {
      // Some picture pixels change; only the screen pixels they reach are
      // scaled again, in two pieces split at a random column.
      const std::int32_t left = static_cast<std::int32_t>(random() % 38), top = static_cast<std::int32_t>(random() % 24);
      const PixelRect changed{left, top, left + 1 + static_cast<std::int32_t>(random() % (38 - left)),
                              top + 1 + static_cast<std::int32_t>(random() % (24 - top))};
      for (std::int32_t y = changed.top; y < changed.bottom; ++y) {
        for (std::int32_t x = changed.left; x < changed.right; ++x) from.at(x, y) = 0xff000000u | (random() & 0xffffffu);
      }
      const PixelRect reach = scaler.Reach(changed);
      const std::int32_t split = reach.left + static_cast<std::int32_t>(random() % (reach.right - reach.left + 1));
      screen = Scaled(scaler, from, {split, reach.top, reach.right, reach.bottom}, screen);
      screen = Scaled(scaler, from, {reach.left, reach.top, split, reach.bottom}, screen);
      const Picture whole = Scaled(scaler, from, {0, 0, w, h}, screen);
      ASSERT_EQ(screen.pixels, whole.pixels) << w << " x " << h << ", step " << step;
    }
  }
}

// The same bytes on every vector width (this program runs once per width,
// see CMakeLists.txt) as the plain path gave when these digests were taken,
// for lines long enough for the widest paths and for weights of a whole
// pixel (256), scaled in pieces of every width and alignment.
TEST(PictureScaler, EveryWidthGivesThePlainPathsBytes) {
  struct Case { std::int32_t fromWidth, fromHeight, toWidth, toHeight; std::uint64_t digest; };
  const Case cases[] = {
      {203, 61, 406, 122, 0xab7c5970614e1bfdull}, {202, 60, 303, 90, 0x84da8a952f2198acull},
      {203, 61, 263, 79, 0x5b14588b37938642ull},  {203, 61, 169, 51, 0x083c004a9974b8c7ull},
      {203, 61, 90, 27, 0x1f8ddc35f91fd111ull},   {203, 61, 609, 122, 0x62764ce4ce4779e9ull},
      {520, 9, 521, 14, 0xcb99753840dc8a51ull},   {24, 520, 24, 521, 0xade58cb082f4dfe9ull},
      {203, 61, 203, 61, 0xe4c3b68f88b29d87ull}};
  for (const Case& c : cases) {
    std::mt19937 random(static_cast<unsigned>(c.toWidth * 7 + c.toHeight));
    const Picture from = Noise(c.fromWidth, c.fromHeight, random);
    PictureScaler scaler;
    scaler.SetSizes(c.fromWidth, c.fromHeight, c.toWidth, c.toHeight);
    Picture screen{c.toWidth, c.toHeight, std::vector<std::uint32_t>(static_cast<std::size_t>(c.toWidth * c.toHeight))};
    for (std::int32_t top = 0, rows = 1; top < c.toHeight; top += rows, rows = 1 + static_cast<std::int32_t>(random() % 7)) {
      for (std::int32_t left = 0, width = 0; left < c.toWidth; left += width) {
        width = 1 + static_cast<std::int32_t>(random() % 70);
        screen = Scaled(scaler, from, {left, top, left + width, top + rows}, screen);
      }
    }
    std::uint64_t digest = 14695981039346656037ull;
    for (std::uint32_t px : screen.pixels) digest = (digest ^ px) * 1099511628211ull;
    EXPECT_EQ(digest, c.digest) << c.fromWidth << " x " << c.fromHeight << " to " << c.toWidth << " x " << c.toHeight;
  }
}

}  // namespace
}  // namespace brindlet::testing
