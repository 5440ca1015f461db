// Random play through the event driver: ticks, clicks anywhere, the debug
// buttons and events delivered at the yields of running procedures, nested
// as deep as the toolkit nests them, with the game's invariants checked after
// every event. Also: the driver's checks do fire on a broken board, and fuzz
// inputs replay the same way every time.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <limits>
#include <ostream>
#include <random>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "fuzz/event_driver.h"

namespace brindlet::testing {
namespace {

struct SeededRun {
  const char* name;
  std::uint64_t seed;
  std::int32_t width;
  std::int32_t height;
  int max_depth;
  long events;
};

void PrintTo(const SeededRun& run, std::ostream* os) { *os << run.name; }

DriverOptions OptionsFor(const SeededRun& run) {
  DriverOptions options;
  options.width = run.width;
  options.height = run.height;
  options.game_seed = run.seed;
  options.max_depth = run.max_depth;
  options.label = std::string(run.name) + ", seed " + std::to_string(run.seed);
  return options;
}

// The statistics of `run`, played through the driver; a broken invariant
// fails the test with the driver's report, after `replay` (how to replay it).
DriverStats Play(const SeededRun& run, const std::string& replay = "") {
  SeededDecisions decisions(run.seed);
  EventDriver driver(decisions, OptionsFor(run));
  const auto failure = driver.Run(run.events);
  EXPECT_FALSE(failure.has_value()) << replay << *failure;
  return driver.stats();
}

// What every fixed run must reach for its passing to prove much: clicks
// during link checks, links made and refused, games set up without a click,
// checks of the board's structure.
void ExpectTheUsualGround(const DriverStats& s) {
  EXPECT_GT(s.click_during_check, 0);
  EXPECT_GT(s.links_made, 0);
  EXPECT_GT(s.links_refused, 0);
  EXPECT_GT(s.clean_games, 0);
  EXPECT_GT(s.structural_checks, 0);
}

// Events delivered at yields, one level deep: enough events to reach every
// kind of delivery, many links and refusals and several games set up without
// a click.
class RandomEvents : public ::testing::TestWithParam<SeededRun> {};

TEST_P(RandomEvents, KeepEveryInvariant) {
  const SeededRun& run = GetParam();
  const DriverStats s = Play(run);
  EXPECT_EQ(s.events, run.events);
  EXPECT_EQ(s.deepest, 1);
  ExpectTheUsualGround(s);
  EXPECT_GT(s.restart_during_frame, 0);
  EXPECT_GT(s.effects_during_click, 0);
  EXPECT_GT(s.wide_cursor, 0);
  EXPECT_GT(s.corner_toggles, 0);
  EXPECT_GT(s.sessions, 1);
}

INSTANTIATE_TEST_SUITE_P(Fields, RandomEvents,
                         ::testing::Values(SeededRun{"GameField", 20261208, kBackgroundWidth, kBackgroundHeight, 1,
                                                     1500},
                                           SeededRun{"SmallField", 77, 160, 120, 1, 3000}),
                         [](const auto& named) { return std::string(named.param.name); });

// Events delivered inside events delivered inside events, as the real
// toolkit's "let events run" allows: clicks inside ticks inside clicks, with
// every level checked.
class RandomEventsNested : public ::testing::TestWithParam<SeededRun> {};

TEST_P(RandomEventsNested, KeepEveryInvariantAtEveryLevel) {
  const SeededRun& run = GetParam();
  const DriverStats s = Play(run);
  EXPECT_EQ(s.deepest, run.max_depth) << "events never nested as deep as allowed";
  EXPECT_GT(s.click_in_tick_in_click, 0);
  ExpectTheUsualGround(s);
}

INSTANTIATE_TEST_SUITE_P(Depths, RandomEventsNested,
                         ::testing::Values(SeededRun{"ThreeDeep", 31, 160, 120, 3, 3000},
                                           SeededRun{"FourDeep", 4004, 160, 120, 4, 3000},
                                           SeededRun{"ThreeDeepGameField", 9, kBackgroundWidth, kBackgroundHeight,
                                                     3, 800}),
                         [](const auto& named) { return std::string(named.param.name); });

// A different run every time unless BRINDLET_EVENT_SEED names one; a failure
// names the seed that replays it.
TEST(RandomEventsAnySeed, KeepEveryInvariant) {
  std::uint64_t seed = 0;
  if (const char* env = std::getenv("BRINDLET_EVENT_SEED"); env != nullptr && *env != '\0') {
    seed = std::strtoull(env, nullptr, 0);
  } else {
    std::random_device device;
    seed = (static_cast<std::uint64_t>(device()) << 32) ^ device();
  }
  const SeededRun run{"any seed", seed, 160, 120, 1 + static_cast<int>(seed % 4), 2000};
  Play(run, "replay with BRINDLET_EVENT_SEED=" + std::to_string(seed) + "\n");
}

// --- The checks themselves catch a broken board --------------------------

struct Corruption {
  const char* name;
  std::function<void(Board&)> apply;
  const char* expected;  // part of the report
};

void PrintTo(const Corruption& corruption, std::ostream* os) { *os << corruption.name; }

// A driver on a small playfield that has run until a game set up with no
// click is idle, so that links and the selection are checked too.
EventDriver& SettledDriver() {
  static SeededDecisions decisions(11);
  static EventDriver driver(decisions, [] {
    DriverOptions options;
    options.label = "seed 11";
    return options;
  }());
  static const bool settled = [] {
    for (long events = 1; events < 5000; ++events) {
      if (driver.Run(events).has_value()) return false;
      if (driver.ChecksStructure() && driver.game().board().gState == GameState::Idle) return true;
    }
    return false;
  }();
  EXPECT_TRUE(settled) << "no game was set up without a click";
  return driver;
}

class DriverCatches : public ::testing::TestWithParam<Corruption> {};

TEST_P(DriverCatches, BrokenBoard) {
  EventDriver& driver = SettledDriver();
  ASSERT_TRUE(driver.ChecksStructure());
  const Board good = driver.game().board();
  ASSERT_FALSE(driver.CheckNow().has_value());
  Board broken = good;
  GetParam().apply(broken);
  driver.SetBoard(broken);
  const auto report = driver.CheckNow();
  driver.SetBoard(good);
  ASSERT_TRUE(report.has_value());
  EXPECT_NE(report->find(GetParam().expected), std::string::npos) << *report;
}

// The first `count` pegs that are in no link, selected or not, and were
// never a link's master.
std::vector<int> FreePegs(const Board& b, std::size_t count) {
  std::vector<int> pegs;
  for (int i = 1; i <= b.Total() && pegs.size() < count; ++i) {
    if (!b.Pegs[i].Linked && !b.Pegs[i].Selected && !b.Pegs[i].Master) pegs.push_back(i);
  }
  if (pegs.size() < count) throw std::logic_error("not enough free pegs");
  return pegs;
}

void Link(Board& b, int source, int target) {
  b.Pegs[source].Linked = b.Pegs[source].Master = true;
  b.Pegs[source].LinkTarget = static_cast<std::int16_t>(target);
}

INSTANTIATE_TEST_SUITE_P(
    Invariants, DriverCatches,
    ::testing::Values(
        Corruption{"StateOutOfRange", [](Board& b) { b.gState = static_cast<GameState>(6); }, "gState holds 6"},
        Corruption{"CheckingLinkWhereEventsRun", [](Board& b) { b.gState = GameState::CheckingLink; },
                   "CheckingLink where events run"},
        Corruption{"PegCountAboveTotal", [](Board& b) { b.PegCount = static_cast<std::int16_t>(b.PegTotal + 1); },
                   "PegCount is"},
        Corruption{"FirstPegBeyondTotal", [](Board& b) { b.FirstPeg = static_cast<std::int16_t>(b.PegTotal + 1); },
                   "FirstPeg/SecondPeg"},
        Corruption{"EffectsCounterAbove100", [](Board& b) { b.EffectsCounter = 101; }, "EffectsCounter"},
        Corruption{"ShakeAboveStart", [](Board& b) { b.ShakeAmplitude = kShakeStart + 1; }, "ShakeAmplitude"},
        Corruption{"GlowAbove255", [](Board& b) { b.Pegs[3].Glow = 256; }, "Glow 256"},
        Corruption{"ColourChannelAbove255", [](Board& b) { b.Pegs[5].Colour.Blue = 256; }, "colour channel"},
        Corruption{"KindTwo", [](Board& b) { b.Pegs[6].Kind = 2; }, "Kind 2"},
        Corruption{"PositionNotFinite", [](Board& b) { b.Pegs[8].X = std::numeric_limits<double>::infinity(); },
                   "not finite"},
        Corruption{"LinkTargetBeyondTotal",
                   [](Board& b) { b.Pegs[9].LinkTarget = static_cast<std::int16_t>(b.PegTotal + 1); },
                   "LinkTarget"},
        Corruption{"MasterWithoutTarget", [](Board& b) { Link(b, 9, 0); }, "linked master with LinkTarget 0"},
        Corruption{"PegBeyondTotalWritten", [](Board& b) { b.Pegs[150].X = 1; }, "beyond PegTotal"},
        Corruption{"LinkToUnlinkedPeg", [](Board& b) { Link(b, FreePegs(b, 2)[0], FreePegs(b, 2)[1]); }, "is not Linked"},
        Corruption{"PegEndOfTwoLinks",
                   [](Board& b) {
                     const auto free = FreePegs(b, 3);
                     Link(b, free[0], free[2]);
                     Link(b, free[1], free[2]);
                     b.Pegs[free[2]].Linked = true;
                   },
                   "is an end of 2 links"},
        Corruption{"LinkedWithNoLink", [](Board& b) { b.Pegs[FreePegs(b, 1)[0]].Linked = true; },
                   "no link ends at it"},
        Corruption{"StaleSelection",
                   [](Board& b) { b.Pegs[FreePegs(b, 1)[0]].Selected = true; },
                   "} in state Idle"}),
    [](const auto& named) { return std::string(named.param.name); });

// A failure report names the run and lists the events that led to it.
TEST(DriverReport, NamesTheRunAndTheEvents) {
  SeededDecisions decisions(3);
  EventDriver driver(decisions, OptionsFor({"report", 3, 64, 48, 1, 20}));
  ASSERT_FALSE(driver.Run(20).has_value());
  Board broken = driver.game().board();
  broken.Pegs[2].Glow = -1;
  driver.SetBoard(broken);
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
  std::mt19937 bytes(99);
  long events = 0;
  for (int input_index = 0; input_index < 8; ++input_index) {
    std::vector<std::uint8_t> input(600);
    for (auto& b : input) b = static_cast<std::uint8_t>(bytes());
    DriverStats first;
    DriverStats second;
    ASSERT_FALSE(RunFuzzInput(input, &first).has_value());
    ASSERT_FALSE(RunFuzzInput(input, &second).has_value());
    EXPECT_EQ(std::tie(first.events, first.delivered, first.main_ticks, first.clicks),
              std::tie(second.events, second.delivered, second.main_ticks, second.clicks)) << "input " << input_index;
    events += first.events + first.delivered;
  }
  EXPECT_GT(events, 80);
}

}  // namespace
}  // namespace brindlet::testing
