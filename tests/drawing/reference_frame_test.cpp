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
#include <sstream>
#include <string>
#include <vector>

#include "support/fakes.h"

namespace brindlet::testing {
namespace {

constexpr std::int32_t kWidth = 160;
constexpr std::int32_t kHeight = 120;
const char* const kReferenceName = "reference_frame_160x120.bin";

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
std::vector<std::uint8_t> ComposeFrame() {
  FakePlatform platform(kWidth, kHeight);
  for (std::int32_t y = 0; y < kHeight; ++y) {
    for (std::int32_t x = 0; x < kWidth; ++x) {
      platform.pic_bg.SetPixel(x, y, {static_cast<std::uint8_t>(x / 2), static_cast<std::uint8_t>(y / 3),
                                      static_cast<std::uint8_t>((x + y) / 8)});
    }
  }
  SequenceRandom random;
  Game game(platform, random);
  game.Startup();

  for (int i = 1; i <= PegTable::kCapacity; ++i) game.Pegs[i] = Peg{};
  game.PegTotal = 6;
  // 1 -> 2: a link, its master gliding toward a new place.
  game.Pegs[1] = MakePeg(40.3, 30.7, {235, 30, 20, 245});
  game.Pegs[1].TargetX = 46.3;
  game.Pegs[1].TargetY = 35.2;
  game.Pegs[1].Linked = game.Pegs[1].Master = kTrue;
  game.Pegs[1].LinkTarget = 2;
  game.Pegs[1].LinkEffectTimer = 40;
  game.Pegs[1].LinkEffectStep = 3;
  game.Pegs[2] = MakePeg(120.6, 50.2, {240, 10, 40, 238});
  game.Pegs[2].Linked = kTrue;
  // 3 and 4: a selected pair, 3 its master.
  game.Pegs[3] = MakePeg(50.5, 90.5, {20, 30, 230, 250});
  game.Pegs[3].Selected = game.Pegs[3].Master = kTrue;
  game.Pegs[4] = MakePeg(110.2, 95.8, {40, 20, 245, 240});
  game.Pegs[4].Selected = kTrue;
  // 5: glowing, with the cursor close by.
  game.Pegs[5] = MakePeg(85.4, 60.1, {250, 45, 15, 250});
  game.Pegs[5].Glow = 180;
  // 6: plain, near the top edge, so that some of its dots reach the extra row.
  game.Pegs[6] = MakePeg(20.8, 2.3, {10, 50, 210, 232});
  game.Pegs[6].Glow = 5;

  game.gState = GameState::Startup;
  game.EffectsCounter = 37;
  platform.SetCursorClient(88, 62);
  game.MainTick();

  const auto bytes = game.FrameImage.Bytes();
  return {bytes.begin(), bytes.end()};
}

std::filesystem::path ReferencePath() { return std::filesystem::path(BRINDLET_TEST_DATA) / kReferenceName; }

bool ReadFile(const std::filesystem::path& path, std::vector<std::uint8_t>& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

void WriteFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) ADD_FAILURE() << "could not write " << path;
}

// The visible picture (rows Height - 1 down to 0 of the array) as a binary
// PPM, for a person to look at.
void WritePpm(const std::filesystem::path& path, const std::vector<std::uint8_t>& frame) {
  const std::int32_t rowBytes = PixelArray::RowBytesFor(kWidth);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << "P6\n" << kWidth << ' ' << kHeight << "\n255\n";
  for (std::int32_t row = kHeight - 1; row >= 0; --row) {
    for (std::int32_t x = 0; x < kWidth; ++x) {
      const std::size_t at = static_cast<std::size_t>(row) * rowBytes + static_cast<std::size_t>(x) * 3;
      const char rgb[3] = {static_cast<char>(frame[at + 2]), static_cast<char>(frame[at + 1]),
                           static_cast<char>(frame[at])};
      out.write(rgb, 3);
    }
  }
}

std::string DescribeDifference(const std::vector<std::uint8_t>& actual, const std::vector<std::uint8_t>& expected) {
  std::ostringstream out;
  if (actual.size() != expected.size()) {
    out << "the stored frame has " << expected.size() << " bytes, the composed one " << actual.size();
    return out.str();
  }
  const std::int32_t rowBytes = PixelArray::RowBytesFor(kWidth);
  std::size_t differing = 0;
  std::size_t first = actual.size();
  for (std::size_t i = 0; i < actual.size(); ++i) {
    if (actual[i] != expected[i]) {
      if (differing++ == 0) first = i;
    }
  }
  if (differing == 0) return "";
  const auto row = static_cast<std::int32_t>(first / rowBytes);
  const auto col = static_cast<std::int32_t>(first % rowBytes);
  static const char* const kChannels[] = {"blue", "green", "red"};
  out << differing << " bytes differ; the first is byte " << first << ": array row " << row << " (screen row "
      << kHeight - 1 - row << "), byte column " << col << " (pixel " << col / 3 << ", "
      << (col < kWidth * 3 ? kChannels[col % 3] : "padding") << "): composed " << int{actual[first]} << ", stored "
      << int{expected[first]};
  return out.str();
}

TEST(ReferenceFrame, MatchesTheStoredFrameByteForByte) {
  const std::vector<std::uint8_t> frame = ComposeFrame();
  ASSERT_EQ(frame.size(), static_cast<std::size_t>(PixelArray::RowBytesFor(kWidth)) * (kHeight + 1));
  // Composing again gives the same bytes: nothing carries over between frames.
  ASSERT_EQ(ComposeFrame(), frame);

  const char* regenerate = std::getenv("BRINDLET_REGENERATE_REFERENCE");
  if (regenerate != nullptr && std::string(regenerate) == "1") {
    WriteFile(ReferencePath(), frame);
    const auto preview = std::filesystem::absolute("reference_frame_160x120.ppm");
    WritePpm(preview, frame);
    FAIL() << "BRINDLET_REGENERATE_REFERENCE=1: the reference frame was REWRITTEN, not checked.\n"
           << "  stored frame: " << ReferencePath() << "\n  picture to look at: " << preview
           << "\nLook at the picture, commit the new frame if it is right, and run the tests again without the "
              "variable.";
  }

  std::vector<std::uint8_t> stored;
  ASSERT_TRUE(ReadFile(ReferencePath(), stored))
      << "no stored frame at " << ReferencePath()
      << "; create it with BRINDLET_REGENERATE_REFERENCE=1 (see tests/README.md)";

  const std::string difference = DescribeDifference(frame, stored);
  if (!difference.empty()) {
    const auto actualPicture = std::filesystem::absolute("reference_frame_actual.ppm");
    const auto storedPicture = std::filesystem::absolute("reference_frame_expected.ppm");
    WritePpm(actualPicture, frame);
    if (stored.size() == frame.size()) WritePpm(storedPicture, stored);
    ADD_FAILURE() << "the composed frame differs from " << ReferencePath() << ": " << difference
                  << "\n  composed frame: " << actualPicture << "\n  stored frame: " << storedPicture;
  }
}

}  // namespace
}  // namespace brindlet::testing
