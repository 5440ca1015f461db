// One whole frame of a small scene, composed by a main tick and compared
// byte for byte with the frame stored in tests/data. It guards everything the
// other tests check piece by piece (blending, rows, rings, beams, glow, the
// order of drawing and of the random draws) against unnoticed drift.
//
// BRINDLET_REGENERATE_REFERENCE=1 rewrites the stored frame instead of
// comparing, and fails so that a rewrite is never taken for a pass; see
// tests/README.md.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "game/game.h"
#include "headless/headless_platform.h"

namespace brindlet::testing {
namespace {

constexpr std::int32_t kWidth = 160;
constexpr std::int32_t kHeight = 120;
constexpr std::int32_t kRowBytes = PixelArray::RowBytesFor(kWidth);
using Bytes = std::vector<std::uint8_t>;

// A fixed stream of reals in [0, 1) of the test's own (a 64-bit LCG), so the
// frame depends on the drawing code alone and not on the game's generator.
class SequenceRandom final : public RandomSource {
 public:
  double Next() override {
    state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<double>(state_ >> 11) * 0x1.0p-53;
  }

 private:
  std::uint64_t state_ = 0x0123456789ABCDEFull;
};

Peg MakePeg(double x, double y, DrawColour colour) {
  Peg p;
  p.X = p.TargetX = x;
  p.Y = p.TargetY = y;
  p.Colour = colour;
  return p;
}

// Six pegs on a graded background, in the attract state (so the centre ring
// is drawn) with one tick of motion, hover, beam and rings.
Bytes ComposeFrame() {
  HeadlessPlatform platform(kWidth, kHeight);
  for (std::int32_t y = 0; y < kHeight; ++y) {
    for (std::int32_t x = 0; x < kWidth; ++x) {
      platform.background.SetPixel(x, y, {static_cast<std::uint8_t>(x / 2), static_cast<std::uint8_t>(y / 3),
                                          static_cast<std::uint8_t>((x + y) / 8)});
    }
  }
  SequenceRandom random;
  Game game(platform.Roles(), random);
  game.Startup();

  Board board = game.board();
  board.Pegs = PegTable{};
  board.PegTotal = 6;
  PegTable& pegs = board.Pegs;
  // 1 -> 2: a link, its master gliding toward a new place.
  pegs[1] = MakePeg(40.3, 30.7, {235, 30, 20, 245});
  pegs[1].TargetX = 46.3;
  pegs[1].TargetY = 35.2;
  pegs[1].Linked = pegs[1].Master = true;
  pegs[1].LinkTarget = 2;
  pegs[1].LinkEffectTimer = 40;
  pegs[1].LinkEffectStep = 3;
  pegs[2] = MakePeg(120.6, 50.2, {240, 10, 40, 238});
  pegs[2].Linked = true;
  // 3 and 4: a selected pair, 3 its master.
  pegs[3] = MakePeg(50.5, 90.5, {20, 30, 230, 250});
  pegs[3].Selected = pegs[3].Master = true;
  pegs[4] = MakePeg(110.2, 95.8, {40, 20, 245, 240});
  pegs[4].Selected = true;
  // 5: glowing, with the cursor close by.
  pegs[5] = MakePeg(85.4, 60.1, {250, 45, 15, 250});
  pegs[5].Glow = 180;
  // 6: plain, near the top edge, so that some of its dots reach the extra row.
  pegs[6] = MakePeg(20.8, 2.3, {10, 50, 210, 232});
  pegs[6].Glow = 5;
  board.gState = GameState::Startup;
  board.EffectsCounter = 37;
  game.SetBoard(board);
  platform.cursor = {88, 62};
  game.MainTick();

  const auto bytes = game.FrameImage().Bytes();
  return {bytes.begin(), bytes.end()};
}

const std::filesystem::path kStored = std::filesystem::path(BRINDLET_TEST_DATA) / "reference_frame_160x120.bin";

// The visible picture (array rows Height - 1 down to 0) as a binary PPM, for
// a person to look at; written beside the test binary.
std::filesystem::path WritePpm(const char* name, const Bytes& frame) {
  const auto path = std::filesystem::absolute(name);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << "P6\n" << kWidth << ' ' << kHeight << "\n255\n";
  for (std::int32_t row = kHeight - 1; row >= 0; --row) {
    for (std::int32_t x = 0; x < kWidth; ++x) {
      const std::size_t at = static_cast<std::size_t>(row) * kRowBytes + static_cast<std::size_t>(x) * 3;
      const char rgb[3] = {static_cast<char>(frame[at + 2]), static_cast<char>(frame[at + 1]),
                           static_cast<char>(frame[at])};
      out.write(rgb, 3);
    }
  }
  return path;
}

TEST(ReferenceFrame, MatchesTheStoredFrameByteForByte) {
  const Bytes frame = ComposeFrame();
  ASSERT_EQ(frame.size(), static_cast<std::size_t>(kRowBytes) * (kHeight + 1));
  // Composing again gives the same bytes: nothing carries over between frames.
  ASSERT_EQ(ComposeFrame(), frame);

  const char* regenerate = std::getenv("BRINDLET_REGENERATE_REFERENCE");
  if (regenerate != nullptr && std::string(regenerate) == "1") {
    std::ofstream(kStored, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(frame.data()), static_cast<std::streamsize>(frame.size()));
    FAIL() << "BRINDLET_REGENERATE_REFERENCE=1: the reference frame was REWRITTEN, not checked.\n  stored frame: "
           << kStored << "\n  picture to look at: " << WritePpm("reference_frame_160x120.ppm", frame)
           << "\nLook at the picture, commit the new frame if it is right, and run the tests again without the "
              "variable.";
  }

  std::ifstream in(kStored, std::ios::binary);
  ASSERT_TRUE(in) << "no stored frame at " << kStored
                  << "; create it with BRINDLET_REGENERATE_REFERENCE=1 (see tests/README.md)";
  const Bytes stored{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  ASSERT_EQ(stored.size(), frame.size()) << "bytes in the stored frame " << kStored << " and the composed one";

  std::size_t differing = 0;
  std::size_t first = 0;
  for (std::size_t i = 0; i < frame.size(); ++i) if (frame[i] != stored[i] && differing++ == 0) first = i;
  if (differing == 0) return;
  const auto row = static_cast<std::int32_t>(first / kRowBytes);
  const auto col = static_cast<std::int32_t>(first % kRowBytes);
  static const char* const kChannels[] = {"blue", "green", "red"};
  ADD_FAILURE() << "the composed frame differs from " << kStored << ": " << differing
                << " bytes differ; the first is byte " << first << ": array row " << row << " (screen row "
                << kHeight - 1 - row << "), byte column " << col << " (pixel " << col / 3 << ", "
                << (col < kWidth * 3 ? kChannels[col % 3] : "padding") << "): composed " << int{frame[first]}
                << ", stored " << int{stored[first]}
                << "\n  composed frame: " << WritePpm("reference_frame_actual.ppm", frame)
                << "\n  stored frame: " << WritePpm("reference_frame_expected.ppm", stored);
}

}  // namespace
}  // namespace brindlet::testing
