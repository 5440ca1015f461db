// The shapes look read back from its pixels alone. Frames of games in progress
// are drawn in both looks and lose their colour: lightness only, of the frame
// itself and of the frame seen through the simulations of protanopia,
// deuteranopia and tritanopia. A reader that sees only that picture finds the
// pegs in it and names, for each, its family and whether it is selected,
// linked and refused. The shapes look must be read right at least 99 % of the
// time, the colours look clearly less often; and both looks play one game.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "game/game.h"
#include "headless/headless_platform.h"

namespace brindlet::testing {
namespace {

// Dichromacy at severity 1.0 in linear RGB, from Machado, Oliveira and
// Fernandes, "A Physiologically-based Model for Simulation of Color Vision
// Deficiency", IEEE TVCG 15(6), 2009; the first view leaves the colours be.
using Matrix = std::array<float, 9>;
constexpr Matrix kViews[] = {
    {1, 0, 0, 0, 1, 0, 0, 0, 1},
    {0.152286f, 1.052583f, -0.204868f, 0.114503f, 0.786281f, 0.099216f, -0.003882f, -0.048116f, 1.051998f},
    {0.367322f, 0.860646f, -0.227968f, 0.280085f, 0.672501f, 0.047413f, -0.011820f, 0.042940f, 0.968881f},
    {1.255528f, -0.076749f, -0.178779f, -0.078411f, 0.930809f, 0.147602f, 0.004733f, 0.691367f, 0.303900f}};
constexpr const char* kViewNames[] = {"grey", "protanopia", "deuteranopia", "tritanopia"};
constexpr const char* kMarkNames[] = {"family", "selected", "linked", "refused"};

float Linear(std::uint8_t v) {
  static const auto table = [] {
    std::array<float, 256> t{};
    for (int i = 0; i < 256; ++i) t[i] = i <= 10 ? i / 255.0f / 12.92f : std::pow((i / 255.0f + 0.055f) / 1.055f, 2.4f);
    return t;
  }();
  return table[v];
}

// The lightness (sRGB-encoded luminance, 0..1) of a frame as shown, top row
// first, worked out for the pixels that are not black.
struct Picture {
  int w, h;
  std::vector<float> l;
  std::vector<int> lit;
  void Show(const PixelArray& frame, const Matrix& m, const std::vector<int>& lit_pixels) {
    l.resize(static_cast<std::size_t>(w * h));
    for (const int pixel : lit) l[static_cast<std::size_t>(pixel)] = 0;
    lit = lit_pixels;
    for (const int pixel : lit) {
      const std::uint8_t* bgr = frame.Row(h - 1 - pixel / w) + 3 * (pixel % w);
      float y709 = 0;
      for (int i = 0; i < 3; ++i) {
        const float c = m[3 * i] * Linear(bgr[2]) + m[3 * i + 1] * Linear(bgr[1]) + m[3 * i + 2] * Linear(bgr[0]);
        y709 += std::array{0.2126f, 0.7152f, 0.0722f}[i] * std::clamp(c, 0.0f, 1.0f);
      }
      l[static_cast<std::size_t>(pixel)] =
          y709 <= 0.0031308f ? 12.92f * y709 : 1.055f * std::pow(y709, 1 / 2.4f) - 0.055f;
    }
  }
  float At(int x, int y) const { return l[static_cast<std::size_t>(y * w + x)]; }
  double Sample(double x, double y) const {  // between pixel centres
    const int ix = static_cast<int>(std::floor(x)), iy = static_cast<int>(std::floor(y));
    const double fx = x - ix, fy = y - iy;
    return (1 - fy) * ((1 - fx) * At(ix, iy) + fx * At(ix + 1, iy)) +
           fy * ((1 - fx) * At(ix, iy + 1) + fx * At(ix + 1, iy + 1));
  }
};

struct Seen {
  double x, y;                // the centre, in picture pixels
  std::array<bool, 4> marks;  // second family, selected, linked, refused
};

// A peg is an even blot of light (a beam's dots are not) at the centre of its
// glyph: of the blots' pixels, the one with the most light mirrored around it
// outdoes every other within 13 px. Its marks are looked for where the shapes
// look draws them: bars and a ring brighter than the picture beside them.
std::vector<Seen> Read(const Picture& p) {
  const auto mirrored = [&](int x, int y) {
    double light = p.At(x, y);
    for (int j = 0; j <= 9; ++j)
      for (int i = j == 0 ? 1 : -9; i <= 9; ++i) light += 2 * std::min(p.At(x + i, y + j), p.At(x - i, y - j));
    return light;
  };
  std::vector<std::array<double, 3>> blots;  // x, y, mirrored light
  for (const int pixel : p.lit) {
    const int x = pixel % p.w, y = pixel / p.w;
    if (x < 14 || y < 14 || x >= p.w - 14 || y >= p.h - 14 || p.At(x, y) < 0.1f) continue;
    float top = 0, light = 0;
    for (int j = -1; j <= 1; ++j)
      for (int i = -1; i <= 1; ++i) top = std::max(top, p.At(x + i, y + j)), light += p.At(x + i, y + j);
    if (light >= 0.6f * 9 * top) blots.push_back({double(x), double(y), mirrored(x, y)});
  }
  std::sort(blots.begin(), blots.end(), [](const auto& a, const auto& b) { return a[2] > b[2]; });
  std::vector<Seen> seen;
  for (const auto& blot : blots) {
    const auto near = [&](const Seen& s) { return std::hypot(s.x - blot[0], s.y - blot[1]) < 13; };
    if (std::any_of(seen.begin(), seen.end(), near)) continue;
    double cx = 0, cy = 0, weight = 0;  // the centre of the blot's light
    for (int j = -2; j <= 2; ++j)
      for (int i = -2; i <= 2; ++i) {
        const double v = p.At(static_cast<int>(blot[0]) + i, static_cast<int>(blot[1]) + j);
        cx += v * (blot[0] + i), cy += v * (blot[1] + j), weight += v;
      }
    seen.push_back({cx / weight, cy / weight, {}});
  }
  for (Seen& s : seen) {
    const double level = 0.35 * p.Sample(s.x, s.y);
    double ring = 9;  // lit all round 9.5 px out, darker beyond
    for (double a = 0.3927; a < 6.283; a += 0.7854) {
      ring = std::min(ring, p.Sample(s.x + 9.5 * std::cos(a), s.y + 9.5 * std::sin(a)) -
                                p.Sample(s.x + 12 * std::cos(a), s.y + 12 * std::sin(a)));
    }
    const double from = ring > level ? 11.5 : 5;  // a selected peg's bars stand outside its ring
    const auto bar = [&](double ux, double uy) {  // on both sides, 1.5 px long, brighter than beside it
      double weakest = 9;
      for (double d : {-from - 1.5, -from, from, from + 1.5}) {
        double best = -9;
        for (double o = -1; o <= 1; ++o) {
          const double x = s.x + d * ux - o * uy, y = s.y + d * uy + o * ux;
          const double beside = (p.Sample(x - 2 * uy, y + 2 * ux) + p.Sample(x + 2 * uy, y - 2 * ux)) / 2;
          best = std::max(best, p.Sample(x, y) - beside);
        }
        weakest = std::min(weakest, best);
      }
      return weakest > level;
    };
    const double k = std::sqrt(0.5);
    s.marks = {bar(1, 0), ring > level, bar(0, 1), bar(k, k) && bar(k, -k)};
  }
  return seen;
}

// A game on the headless platform, its ticks run as their timers would.
struct Play {
  HeadlessPlatform platform;
  DefaultRandom random;
  Game game{platform.Roles(), random};
  long ms = 0;
  void Run(int millis) {
    for (const long end = ms + millis; ms < end; ms += 5) {
      if (ms % 20 == 0) game.EffectsTick();
      if (ms % 25 == 0) game.MainTick();
    }
  }
  void ClickAt(double x, double y) {
    platform.cursor = {static_cast<std::int32_t>(std::lround(x)), static_cast<std::int32_t>(std::lround(y))};
    game.SampleCursor();
    game.Click();
    Run(100);
  }
};

TEST(ShapesLook, TellsFamiliesAndMarksWithoutColourWhereColoursDoNot) {
  Play plays[2];  // in colours and in shapes
  plays[1].game.SetLook(Look::Shapes);
  for (Play& play : plays) play.game.Startup(), play.ClickAt(500, 400), play.Run(2700);
  const Field field = plays[0].game.field();
  std::vector<Picture> pictures(8, Picture{field.width, field.height, {}, {}});
  std::mt19937 script(7);
  // Pegs read right, in each view, and how many were read: of all, of those
  // bearing the mark (or of the second family), of the selected ones.
  long right[8][3][4] = {}, counted[3][4] = {}, missed[8] = {}, crowded = 0;
  // Twenty pairs of one family, each the nearest free peg give or take up to
  // 400 px (every fourth the farthest, which is mostly refused); a frame after
  // each click: the first peg, the second, the second again to confirm.
  for (int round = 0; round < 20; ++round) {
    const PegTable& at = plays[0].game.board().Pegs;
    std::vector<int> free;
    for (int i = 1; i <= kDefaultPegTotal; ++i) if (!at[i].Linked) free.push_back(i);
    const int a = free[script() % free.size()];
    int b = a;
    double best = 1e9;
    for (int i : free) {
      const double off = (round % 4 == 3 ? -1 : 1) * std::hypot(at[i].X - at[a].X, at[i].Y - at[a].Y) +
                         static_cast<double>(script() % 400);
      if (i != a && at[i].Kind == at[a].Kind && off < best) best = off, b = i;
    }
    for (int click : {a, b, b}) {
      const double x = at[click].X, y = at[click].Y;
      for (Play& play : plays) play.ClickAt(x, y);
      const Board& board = plays[0].game.board();
      ASSERT_TRUE(board == plays[1].game.board()) << "round " << round;
      ASSERT_EQ(plays[0].random.Next(), plays[1].random.Next()) << "round " << round;
      std::vector<std::vector<Seen>> seen;  // colours in each view, then shapes
      for (std::size_t look = 0; look < 2; ++look) {
        const PixelArray& frame = plays[look].game.FrameImage();
        std::vector<int> lit;
        for (int row = 0; row < field.height; ++row) {
          const std::uint8_t* bgr = frame.Row(field.height - 1 - row);
          for (int column = 0; column < field.width; ++column, bgr += 3) {
            if ((bgr[0] | bgr[1] | bgr[2]) != 0) lit.push_back(row * field.width + column);
          }
        }
        for (std::size_t v = 0; v < 4; ++v) {
          pictures[4 * look + v].Show(frame, kViews[v], lit);
          seen.push_back(Read(pictures[4 * look + v]));
        }
      }
      for (int i = 1; i <= kDefaultPegTotal; ++i) {
        const Peg& peg = board.Pegs[i];
        const auto near = [&](const Peg& o) { return &o != &peg && std::hypot(o.X - peg.X, o.Y - peg.Y) < 14; };
        if (std::any_of(&board.Pegs[1], &board.Pegs[kDefaultPegTotal] + 1, near)) {  // within reach of its marks
          ++crowded;
          continue;
        }
        const DrawColour& c = peg.Colour;
        const bool refused = c.Red == 2 && c.Green == 128 && c.Blue == 2;
        const std::array<bool, 4> truth = {peg.Kind != 0, peg.Selected, peg.Linked, refused};
        for (int k = 0; k < 4; ++k) counted[0][k]++, counted[1][k] += truth[k], counted[2][k] += peg.Selected;
        for (std::size_t v = 0; v < 8; ++v) {  // a peg is shown a row above its dots
          const auto there = [&](const Seen& s) { return std::hypot(s.x - peg.X + 0.5, s.y - peg.Y + 1.5) < 2; };
          const auto it = std::find_if(seen[v].begin(), seen[v].end(), there);
          missed[v] += it == seen[v].end();
          for (int k = 0; k < 4 && it != seen[v].end(); ++k) {
            const bool ok = it->marks[k] == truth[k];
            right[v][0][k] += ok, right[v][1][k] += ok && truth[k], right[v][2][k] += ok && peg.Selected;
          }
        }
      }
    }
  }
  std::printf("60 frames, %ld pegs read, %ld crowded left out; second family %ld, selected %ld, linked %ld, "
              "refused %ld\n", counted[0][0], crowded, counted[1][0], counted[1][1], counted[1][2], counted[1][3]);
  for (long count : counted[1]) EXPECT_GE(count, 30);
  for (std::size_t v = 0; v < 8; ++v) {
    double share[3][4], mean = 0;
    std::printf("  %-7s %-12s missed %3ld; right of all, of those bearing the mark, of the selected:",
                v < 4 ? "colours" : "shapes", kViewNames[v % 4], missed[v]);
    for (int k = 0; k < 4; ++k) {
      for (int g = 0; g < 3; ++g) share[g][k] = double(right[v][g][k]) / double(counted[g][k]);
      std::printf(" %s %.4f %.3f %.3f;", kMarkNames[k], share[0][k], share[1][k], share[2][k]);
      mean += share[0][k] / 4;
      if (v >= 4) {
        EXPECT_GE(share[0][k], 0.99) << kViewNames[v % 4] << ", " << kMarkNames[k];
        EXPECT_GE(std::min(share[1][k], share[2][k]), 0.9) << kViewNames[v % 4] << ", " << kMarkNames[k];
      }
    }
    std::printf("\n");
    if (v < 4) {  // no better than a guess at the family, and a tenth below what shapes must reach
      EXPECT_LT(share[0][0], 0.75) << kViewNames[v];
      EXPECT_LT(mean, 0.9 * 0.99) << kViewNames[v];
    }
  }
}

}  // namespace
}  // namespace brindlet::testing
