// Random play through the event driver: ticks, clicks anywhere, the debug
// buttons and events injected in the middle of procedures, with the game's
// invariants checked after every event. Also: the driver's checks do fire on
// a broken state, and fuzz inputs replay the same way every time.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "fuzz/event_driver.h"

namespace brindlet::testing {
namespace {

// Enough events to reach every kind of injection, many links and refusals
// and several games set up without a click, in a few seconds.
constexpr long kEvents = 3000;

struct SeededRun {
  const char* name;
  std::uint64_t seed;
  std::int32_t width;
  std::int32_t height;
};

void PrintTo(const SeededRun& run, std::ostream* os) { *os << run.name; }

class RandomEventsFixedSeed : public ::testing::TestWithParam<SeededRun> {};

TEST_P(RandomEventsFixedSeed, KeepsEveryInvariant) {
  const SeededRun& run = GetParam();
  SeededDecisions decisions(run.seed);
  DriverOptions options;
  options.width = run.width;
  options.height = run.height;
  options.game_seed = run.seed;
  options.label = "seed " + std::to_string(run.seed);
  EventDriver driver(decisions, options);
  const auto failure = driver.Run(kEvents);
  ASSERT_FALSE(failure.has_value()) << *failure;

  // The run went where it is meant to go; otherwise passing proves little.
  const DriverStats& s = driver.stats();
  EXPECT_EQ(s.events, kEvents);
  EXPECT_GT(s.click_during_check, 0);
  EXPECT_GT(s.restart_during_frame, 0);
  EXPECT_GT(s.shake_during_frame, 0);
  EXPECT_GT(s.effects_during_click, 0);
  EXPECT_GT(s.links_made, 0);
  EXPECT_GT(s.links_refused, 0);
  EXPECT_GT(s.clean_games, 0);
  EXPECT_GT(s.structural_checks, 0);
  EXPECT_GT(s.wide_cursor, 0);
  EXPECT_GT(s.corner_toggles, 0);
  EXPECT_GT(s.sessions, 1);
}

INSTANTIATE_TEST_SUITE_P(Fields, RandomEventsFixedSeed,
                         ::testing::Values(SeededRun{"GameField", 20261208, kBackgroundWidth, kBackgroundHeight},
                                           SeededRun{"SmallField", 77, 160, 120}),
                         [](const auto& info) { return std::string(info.param.name); });

// A different run every time unless BRINDLET_EVENT_SEED names one; a failure
// names the seed that replays it.
TEST(RandomEvents, SeedFromEnvironment) {
  std::uint64_t seed = 0;
  if (const char* env = std::getenv("BRINDLET_EVENT_SEED"); env != nullptr && *env != '\0') {
    seed = std::strtoull(env, nullptr, 0);
  } else {
    std::random_device device;
    seed = (static_cast<std::uint64_t>(device()) << 32) ^ device();
  }
  // Mostly the game's own playfield, sometimes one of the small ones.
  const auto sizes = FuzzFieldSizes();
  const auto& size = seed % 3 == 0 ? sizes[1 + (seed / 3) % (sizes.size() - 1)] : sizes[0];
  SeededDecisions decisions(seed);
  DriverOptions options;
  options.width = size.first;
  options.height = size.second;
  options.game_seed = seed;
  options.label = "BRINDLET_EVENT_SEED=" + std::to_string(seed);
  EventDriver driver(decisions, options);
  const auto failure = driver.Run(kEvents);
  ASSERT_FALSE(failure.has_value()) << "replay with BRINDLET_EVENT_SEED=" << seed << "\n" << *failure;
}

// --- The checks themselves catch a broken state --------------------------

struct Corruption {
  const char* name;
  std::function<void(Game&)> apply;
  const char* expected;  // part of the report
};

void PrintTo(const Corruption& corruption, std::ostream* os) { *os << corruption.name; }

class DriverCatches : public ::testing::TestWithParam<Corruption> {};

TEST_P(DriverCatches, BrokenState) {
  SeededDecisions decisions(5);
  DriverOptions options;
  options.width = 160;
  options.height = 120;
  EventDriver driver(decisions, options);
  ASSERT_FALSE(driver.Run(50).has_value());
  ASSERT_FALSE(driver.CheckNow().has_value());
  GetParam().apply(driver.game());
  const auto report = driver.CheckNow();
  ASSERT_TRUE(report.has_value());
  EXPECT_NE(report->find(GetParam().expected), std::string::npos) << *report;
}

INSTANTIATE_TEST_SUITE_P(
    Invariants, DriverCatches,
    ::testing::Values(
        Corruption{"BooleanOne", [](Game& g) { g.Pegs[7].Linked = 1; }, "boolean other than -1/0"},
        Corruption{"StateOutOfRange", [](Game& g) { g.gState = static_cast<GameState>(6); }, "gState holds 6"},
        Corruption{"CheckingLinkBetweenEvents", [](Game& g) { g.gState = GameState::CheckingLink; },
                   "CheckingLink between events"},
        Corruption{"GlowAbove255", [](Game& g) { g.Pegs[3].Glow = 256; }, "Glow 256"},
        Corruption{"EffectsCounterAbove100", [](Game& g) { g.EffectsCounter = 101; }, "EffectsCounter"},
        Corruption{"MasterWithoutTarget",
                   [](Game& g) {
                     g.Pegs[9].Linked = kTrue;
                     g.Pegs[9].Master = kTrue;
                     g.Pegs[9].LinkTarget = 0;
                   },
                   "linked master with LinkTarget 0"},
        Corruption{"PegBeyondTotalWritten", [](Game& g) { g.Pegs[150].X = 1; }, "beyond PegTotal"},
        Corruption{"BackgroundWritten", [](Game& g) { g.BackgroundImage.Data()[10] ^= 1; },
                   "BackgroundImage changed"},
        Corruption{"FrameReallocated", [](Game& g) { g.FrameImage = PixelArray(g.ImageWidth, g.ImageHeight); },
                   "reallocated"},
        Corruption{"FrameResized", [](Game& g) { g.FrameImage = PixelArray(g.ImageWidth + 1, g.ImageHeight); },
                   "FrameImage changed its bounds"}),
    [](const auto& info) { return std::string(info.param.name); });

// In a game set up with no click, links and selections are checked too.
TEST(DriverCatches, BrokenLinksOnceAGameIsSetUp) {
  SeededDecisions decisions(11);
  DriverOptions options;
  options.width = 160;
  options.height = 120;
  EventDriver driver(decisions, options);
  long events = 0;
  while (!driver.ChecksStructure() && events < 5000) ASSERT_FALSE(driver.Run(++events).has_value());
  ASSERT_TRUE(driver.ChecksStructure()) << "no game was set up without a click";

  // Peg 1 becomes a second link's far end while the first still stands (or
  // links to a peg that is not linked at all).
  Game& g = driver.game();
  const int total = g.PegTotal;
  int source = 0;
  for (int i = 2; i <= total && source == 0; ++i) {
    if (g.Pegs[i].Linked == kFalse && g.Pegs[i].Selected == kFalse) source = i;
  }
  ASSERT_NE(source, 0);
  g.Pegs[source].Linked = kTrue;
  g.Pegs[source].Master = kTrue;
  g.Pegs[source].LinkTarget = 1;
  const auto report = driver.CheckNow();
  ASSERT_TRUE(report.has_value());
  EXPECT_TRUE(report->find("links") != std::string::npos || report->find("is not Linked") != std::string::npos)
      << *report;
}

TEST(DriverCatches, StaleSelectionOnceAGameIsSetUp) {
  SeededDecisions decisions(11);
  DriverOptions options;
  options.width = 160;
  options.height = 120;
  EventDriver driver(decisions, options);
  long events = 0;
  while (!(driver.ChecksStructure() && driver.game().gState == GameState::Idle) && events < 5000) {
    ASSERT_FALSE(driver.Run(++events).has_value());
  }
  ASSERT_EQ(driver.game().gState, GameState::Idle);
  driver.game().Pegs[4].Selected = kTrue;
  const auto report = driver.CheckNow();
  ASSERT_TRUE(report.has_value());
  EXPECT_NE(report->find("selected pegs { 4 } in state Idle"), std::string::npos) << *report;
}

// A failure report names the run and lists the events that led to it.
TEST(DriverReport, NamesTheRunAndTheEvents) {
  SeededDecisions decisions(3);
  DriverOptions options;
  options.width = 64;
  options.height = 48;
  options.game_seed = 3;
  options.label = "seed 3";
  EventDriver driver(decisions, options);
  ASSERT_FALSE(driver.Run(20).has_value());
  driver.game().Pegs[2].Selected = 2;
  const auto report = driver.Run(21);
  ASSERT_TRUE(report.has_value());
  EXPECT_NE(report->find("seed 3"), std::string::npos) << *report;
  EXPECT_NE(report->find("top-level event #20"), std::string::npos) << *report;
  EXPECT_NE(report->find("#19 "), std::string::npos) << *report;
}

// --- Fuzz inputs ----------------------------------------------------------

// Byte streams answer bounded questions with one, two or four bytes and
// answer 0 once they run dry.
TEST(ByteDecisionsTest, ReadsOneTwoOrFourBytesPerAnswer) {
  const std::vector<std::uint8_t> bytes{200, 1, 2, 0, 0, 1, 0, 9};
  ByteDecisions d(bytes);
  EXPECT_EQ(d.Below(1), 0u);  // nothing consumed
  EXPECT_EQ(d.Below(256), 200u);
  EXPECT_EQ(d.Below(1000), (1u * 256 + 2) % 1000);
  EXPECT_EQ(d.Below(100000), 256u);
  EXPECT_TRUE(d.More());
  EXPECT_EQ(d.Below(7), 2u);
  EXPECT_FALSE(d.More());
  EXPECT_EQ(d.Below(50), 0u);
}

TEST(FuzzInputs, SameInputSameRun) {
  std::vector<std::uint8_t> input(300);
  std::mt19937 bytes(99);
  for (auto& b : input) b = static_cast<std::uint8_t>(bytes());
  DriverStats first;
  DriverStats second;
  ASSERT_FALSE(RunFuzzInput(input, &first).has_value());
  ASSERT_FALSE(RunFuzzInput(input, &second).has_value());
  EXPECT_GT(first.events, 10);
  EXPECT_EQ(first.events, second.events);
  EXPECT_EQ(first.injected, second.injected);
  EXPECT_EQ(first.main_ticks, second.main_ticks);
  EXPECT_EQ(first.clicks, second.clicks);
}

}  // namespace
}  // namespace brindlet::testing
