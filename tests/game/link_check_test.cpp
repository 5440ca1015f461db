// The link path check on hand-placed pegs: which geometries refuse a new link
// and which let it stand, the colours of a refused pair, and which pegs count
// as standing links. Every layout is also run through the plain reference walk,
// so the expectations written here hold for both.
#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <string>
#include <vector>

#include "support/fakes.h"
#include "support/reference_link_check.h"

namespace brindlet::testing {
namespace {

constexpr std::int16_t kRefused = 0;
constexpr std::int16_t kAccepted = 1;

// A game that was never started, with 100 pegs at the origin, all unlinked.
// The check draws no random numbers: the scripted source is empty and throws
// on any draw.
class LinkCheck : public ::testing::Test {
 protected:
  LinkCheck() : f(false) { f.game.PegTotal = 100; }

  Game& game() { return f.game; }
  Peg& peg(int i) { return f.game.Pegs[i]; }

  void Place(int i, double x, double y) {
    peg(i).X = x;
    peg(i).Y = y;
  }
  // A link from `source` to `target` as the click handler leaves it: the new
  // link under test is stored exactly like a standing one.
  void Link(int source, int target) {
    peg(source).Linked = kTrue;
    peg(source).Master = kTrue;
    peg(source).LinkTarget = static_cast<std::int16_t>(target);
    if (target != source) {
      peg(target).Linked = kTrue;
      peg(target).Master = kFalse;
    }
  }
  void NewLink(int a, double ax, double ay, int b, double bx, double by) {
    Place(a, ax, ay);
    Place(b, bx, by);
    Link(a, b);
  }
  void Standing(int source, double sx, double sy, int target, double tx, double ty) {
    Place(source, sx, sy);
    Place(target, tx, ty);
    Link(source, target);
  }

  // Runs the game's check on peg `a` and the reference on a copy of the same
  // table, and checks that both give `expected` and change exactly what a
  // decision of that kind changes: nothing, or the colours of a and b.
  void ExpectDecision(int a, std::int16_t expected) {
    const PegTable before = f.game.Pegs;
    const int b = before[a].LinkTarget;
    PegTable reference = before;

    const std::int16_t got = f.game.CheckLinkPath(static_cast<std::int16_t>(a));
    const std::int16_t ref = ReferenceCheckLinkPath(reference, f.game.PegTotal, a);
    EXPECT_EQ(got, expected) << "game's check";
    EXPECT_EQ(ref, expected) << "reference walk";

    PegTable wanted = before;
    if (expected == kRefused) {
      const DrawColour green{2, 128, 2, before[a].Colour.Alpha};
      wanted[a].Colour = green;
      wanted[b].Colour = green;
    }
    for (int i = 1; i <= PegTable::kCapacity; ++i) {
      EXPECT_EQ(f.game.Pegs[i], wanted[i]) << "game changed peg " << i;
      EXPECT_EQ(reference[i], wanted[i]) << "reference changed peg " << i;
    }
    EXPECT_EQ(f.random.taken(), 0) << "the check draws no random numbers";
  }

  GameFixture f;
};

TEST_F(LinkCheck, CrossingLinkIsRefusedAndBothPegsTurnGreenWithPegAsAlpha) {
  NewLink(1, 300, 100, 2, 300, 500);
  peg(1).Colour = {200, 10, 20, 240};
  peg(2).Colour = {5, 6, 230, 99};
  Standing(10, 100, 300, 11, 500, 300);
  peg(10).Colour = {7, 7, 7, 7};

  ExpectDecision(1, kRefused);
  EXPECT_EQ(peg(1).Colour, (DrawColour{2, 128, 2, 240}));
  EXPECT_EQ(peg(2).Colour, (DrawColour{2, 128, 2, 240})) << "peg b takes peg a's Alpha too";
  EXPECT_EQ(peg(10).Colour, (DrawColour{7, 7, 7, 7})) << "the standing link keeps its colour";
}

TEST_F(LinkCheck, SeparateLinksAreAcceptedAndNothingChanges) {
  NewLink(1, 100, 100, 2, 400, 100);
  peg(1).Colour = {200, 10, 20, 240};
  peg(2).Colour = {210, 11, 21, 250};
  Standing(10, 100, 110, 11, 400, 110);  // parallel, 10 px away
  Standing(12, 500, 50, 13, 500, 700);   // beyond peg b's end
  Standing(14, 90, 100, 15, 50, 100);    // in line, but behind peg a
  Standing(16, 250, 105, 17, 250, 105);  // zero length, 5 px off the walk
  ExpectDecision(1, kAccepted);
}

// An existing link along y = 300 from x = 100 to 160 has nine samples, at
// 106.67, 113.33, 120, 126.67, ... 160. A new link crossing it at x0 is refused
// only when x0 falls within 2 px of a sample.
struct CrossingCase {
  double x0;
  double slant;  // the new link runs from (x0 - slant, 250) to (x0 + slant, 350)
  std::int16_t expected;
};
void PrintTo(const CrossingCase& c, std::ostream* os) { *os << "x0 " << c.x0 << " slant " << c.slant; }

class CrossingBetweenSamples : public LinkCheck, public ::testing::WithParamInterface<CrossingCase> {};

TEST_P(CrossingBetweenSamples, IsDetectedOnlyNearASample) {
  const CrossingCase c = GetParam();
  Standing(10, 100, 300, 11, 160, 300);
  NewLink(1, c.x0 - c.slant, 250, 2, c.x0 + c.slant, 350);
  ExpectDecision(1, c.expected);
}

INSTANTIATE_TEST_SUITE_P(LinkCheck, CrossingBetweenSamples,
                         ::testing::Values(
                             // Midway between the samples at 120 and 126.67: 3.33 px from each.
                             CrossingCase{123.0 + 1.0 / 3.0, 0, kAccepted},
                             CrossingCase{123.0 + 1.0 / 3.0, 5, kAccepted},
                             CrossingCase{122.05, 0, kAccepted},  // 2.05 past 120
                             CrossingCase{121.9, 0, kRefused},    // 1.9 past 120
                             CrossingCase{124.8, 0, kRefused},    // 1.87 before 126.67
                             CrossingCase{121.0, 5, kRefused},    // slanted: a walk point 1.22 off
                             CrossingCase{160.0, 0, kRefused},    // through the last sample, on the target
                             CrossingCase{100.0, 0, kAccepted}));  // through the source, which is no sample

// A parallel link closer than the near distance is refused though the two
// never meet; the distance is the sum of the x and y differences.
struct ParallelCase {
  std::string name;
  bool diagonal;
  double offset;  // vertical shift of the new link against the standing one
  std::int16_t expected;
};

class ParallelLink : public LinkCheck, public ::testing::WithParamInterface<ParallelCase> {};

TEST_P(ParallelLink, IsRefusedWithinTheNearDistance) {
  const ParallelCase c = GetParam();
  if (c.diagonal) {
    Standing(10, 100, 100, 11, 200, 200);
    NewLink(1, 100, 100 + c.offset, 2, 200, 200 + c.offset);
  } else {
    Standing(10, 100, 300, 11, 200, 300);
    NewLink(1, 100, 300 + c.offset, 2, 200, 300 + c.offset);
  }
  ExpectDecision(1, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    LinkCheck, ParallelLink,
    ::testing::Values(ParallelCase{"on_top", false, 0.0, kRefused}, ParallelCase{"one_below", false, 1.0, kRefused},
                      ParallelCase{"just_under_two_below", false, 1.99, kRefused},
                      ParallelCase{"just_under_two_above", false, -1.99, kRefused},
                      ParallelCase{"two_below", false, 2.0, kAccepted},
                      ParallelCase{"two_above", false, -2.0, kAccepted},
                      ParallelCase{"beyond_two", false, 2.01, kAccepted},
                      ParallelCase{"diagonal_1_9", true, 1.9, kRefused},
                      // 1.48 px apart on a straight line, but 2.1 px in x plus y: not near.
                      ParallelCase{"diagonal_2_1", true, 2.1, kAccepted},
                      ParallelCase{"diagonal_minus_2_1", true, -2.1, kAccepted}),
    [](const ::testing::TestParamInfo<ParallelCase>& info) { return info.param.name; });

// A new link of length 0 has one walk point, peg a itself; a standing link of
// length 0 has one sample, its source. So the pair measures the near test on
// its own: x difference plus y difference strictly below 2.
struct NearCase {
  double dx;
  double dy;
  std::int16_t expected;
};
void PrintTo(const NearCase& c, std::ostream* os) { *os << "sample at (" << c.dx << ", " << c.dy << ") from peg a"; }

class NearTest : public LinkCheck, public ::testing::WithParamInterface<std::tuple<NearCase, bool>> {};

TEST_P(NearTest, SumsTheAbsoluteDifferences) {
  const auto [c, selfTarget] = GetParam();
  NewLink(1, 300, 300, 2, 300, 300);
  if (selfTarget) {
    Place(10, 300 + c.dx, 300 + c.dy);
    Link(10, 10);
  } else {
    Standing(10, 300 + c.dx, 300 + c.dy, 11, 300 + c.dx, 300 + c.dy);
  }
  ExpectDecision(1, c.expected);
}

INSTANTIATE_TEST_SUITE_P(LinkCheck, NearTest,
                         ::testing::Combine(::testing::Values(NearCase{0, 0, kRefused}, NearCase{1.9, 0, kRefused},
                                                              NearCase{-1.9, 0, kRefused}, NearCase{0, 1.9, kRefused},
                                                              NearCase{0, -1.9, kRefused}, NearCase{1, 0.99, kRefused},
                                                              NearCase{-1.5, 0, kRefused}, NearCase{2, 0, kAccepted},
                                                              NearCase{0, -2, kAccepted}, NearCase{1, 1, kAccepted},
                                                              NearCase{-1.2, 0.9, kAccepted},
                                                              NearCase{3, 3, kAccepted}),
                                            ::testing::Bool()));

// A new link shorter than one pixel has no walk points at all: it stands even
// with samples right on both of its pegs. At exactly 1 px the walk reaches b.
class ShortNewLink : public LinkCheck, public ::testing::WithParamInterface<std::pair<double, std::int16_t>> {};

TEST_P(ShortNewLink, HasAWalkOnlyFromOnePixelOn) {
  const auto [length, expected] = GetParam();
  NewLink(1, 300, 300, 2, 300 + length, 300);
  Place(10, 300, 300);
  Link(10, 10);  // a sample on peg a
  Place(12, 300 + length, 300);
  Link(12, 12);  // and one on peg b
  Standing(14, 300, 250, 15, 300, 350);  // a long link straight through peg a
  ExpectDecision(1, expected);
}

INSTANTIATE_TEST_SUITE_P(LinkCheck, ShortNewLink,
                         ::testing::Values(std::pair{1e-9, kAccepted}, std::pair{0.5, kAccepted},
                                           std::pair{0.999, kAccepted}, std::pair{1.0, kRefused},
                                           std::pair{1.5, kRefused}));

TEST_F(LinkCheck, SubPixelDiagonalLinkIsAccepted) {
  NewLink(1, 300, 300, 2, 300.5, 300.5);  // 0.71 px
  Place(10, 300.25, 300.25);
  Link(10, 10);
  ExpectDecision(1, kAccepted);
}

// The walk starts one pixel from peg a (a itself is not walked) and ends on b
// when the length is whole, else within a pixel before it. A zero-length link
// puts one sample at `sampleX` on the line of the walk.
struct WalkEndCase {
  double length;
  double sampleX;
  std::int16_t expected;
};
void PrintTo(const WalkEndCase& c, std::ostream* os) { *os << "length " << c.length << " sample x " << c.sampleX; }

class WalkEnds : public LinkCheck, public ::testing::WithParamInterface<WalkEndCase> {};

TEST_P(WalkEnds, StartOnePixelFromAAndStopAtOrBeforeB) {
  const WalkEndCase c = GetParam();
  NewLink(1, 100, 300, 2, 100 + c.length, 300);
  Place(10, c.sampleX, 300);
  Link(10, 10);
  ExpectDecision(1, c.expected);
}

INSTANTIATE_TEST_SUITE_P(LinkCheck, WalkEnds,
                         ::testing::Values(WalkEndCase{10, 98.5, kAccepted},  // 1.5 behind a, 2.5 from 101
                                           WalkEndCase{10, 99.1, kRefused},   // 1.9 from the first walk point
                                           WalkEndCase{10, 111.9, kRefused},  // 1.9 past b: the walk reaches b
                                           WalkEndCase{9.5, 111.9, kAccepted},  // the walk stops at 109
                                           WalkEndCase{9.5, 110.9, kRefused}));

// Standing links shorter than 1 / 0.15 px have no samples (unless of length
// 0, which have one, at the source); from that length on they have samples.
class ShortStandingLink : public LinkCheck, public ::testing::WithParamInterface<std::pair<double, std::int16_t>> {};

TEST_P(ShortStandingLink, HasSamplesOnlyFromOneSampleStepOn) {
  const auto [length, expected] = GetParam();
  NewLink(1, 100, 300, 2, 200, 300);
  Standing(10, 150, 300, 11, 150 + length, 300);  // right on the new link
  ExpectDecision(1, expected);
}

INSTANTIATE_TEST_SUITE_P(LinkCheck, ShortStandingLink,
                         ::testing::Values(std::pair{0.0, kRefused}, std::pair{1e-6, kAccepted},
                                           std::pair{3.0, kAccepted}, std::pair{6.6, kAccepted},
                                           std::pair{6.7, kRefused}, std::pair{20.0, kRefused}));

// A standing link from (150, 310) 100 px straight down (reversed: from
// (150, 410) up) has 15 samples 6.67 px apart. A horizontal new link at
// height y0 tells which of its points are sampled.
struct SampleCase {
  bool reversed;
  double y0;
  std::int16_t expected;
};
void PrintTo(const SampleCase& c, std::ostream* os) { *os << (c.reversed ? "upward" : "downward") << " y0 " << c.y0; }

class SamplePlacement : public LinkCheck, public ::testing::WithParamInterface<SampleCase> {};

TEST_P(SamplePlacement, FirstSampleIsOneStepFromTheSource) {
  const SampleCase c = GetParam();
  if (c.reversed) {
    Standing(10, 150, 410, 11, 150, 310);
  } else {
    Standing(10, 150, 310, 11, 150, 410);
  }
  NewLink(1, 100, c.y0, 2, 200, c.y0);
  ExpectDecision(1, c.expected);
}

INSTANTIATE_TEST_SUITE_P(LinkCheck, SamplePlacement,
                         ::testing::Values(SampleCase{false, 310.0, kAccepted},   // through the source
                                           SampleCase{false, 308.5, kAccepted},   // 1.5 before it
                                           SampleCase{false, 314.8, kRefused},    // 1.87 before the first sample
                                           SampleCase{false, 314.6, kAccepted},   // 2.07 before it
                                           SampleCase{false, 318.5, kRefused},    // 1.83 past it
                                           SampleCase{false, 410.0, kRefused},    // through the target
                                           SampleCase{false, 411.9, kRefused},
                                           SampleCase{false, 412.1, kAccepted},
                                           SampleCase{true, 410.0, kAccepted},    // source at the bottom
                                           SampleCase{true, 310.0, kRefused},
                                           SampleCase{true, 405.3, kRefused},     // 1.97 from the first sample
                                           SampleCase{true, 405.5, kAccepted}));  // 2.17 from it

// Only a peg with Linked = -1 and Master = -1 is a standing link; the flags
// are compared with -1 exactly.
class LinkFlags : public LinkCheck,
                  public ::testing::WithParamInterface<std::tuple<std::int16_t, std::int16_t, std::int16_t>> {};

TEST_P(LinkFlags, OnlyLinkedMastersAreStandingLinks) {
  const auto [linked, master, expected] = GetParam();
  NewLink(1, 300, 100, 2, 300, 500);
  Place(10, 100, 300);
  Place(11, 500, 300);
  peg(10).Linked = linked;
  peg(10).Master = master;
  peg(10).LinkTarget = 11;
  peg(11).Linked = kTrue;
  ExpectDecision(1, expected);
}

INSTANTIATE_TEST_SUITE_P(LinkCheck, LinkFlags,
                         ::testing::Values(std::tuple{kTrue, kTrue, kRefused}, std::tuple{kTrue, kFalse, kAccepted},
                                           std::tuple{kFalse, kTrue, kAccepted},
                                           std::tuple{kFalse, kFalse, kAccepted},
                                           std::tuple<std::int16_t, std::int16_t, std::int16_t>{1, kTrue, kAccepted},
                                           std::tuple<std::int16_t, std::int16_t, std::int16_t>{kTrue, 1, kAccepted}));

// Peg b of the new link is never a source: its Master is false, whatever its
// LinkTarget says. Here b names peg a's twin, so as a source it would lie
// right on the walk.
class OtherEnd : public LinkCheck, public ::testing::WithParamInterface<std::pair<std::int16_t, std::int16_t>> {};

TEST_P(OtherEnd, CountsOnlyIfItWereAMaster) {
  const auto [master, expected] = GetParam();
  NewLink(1, 300, 100, 2, 300, 500);
  Place(11, 300, 100);
  peg(2).LinkTarget = 11;
  peg(2).Master = master;
  ExpectDecision(1, expected);
}

INSTANTIATE_TEST_SUITE_P(LinkCheck, OtherEnd, ::testing::Values(std::pair{kFalse, kAccepted}, std::pair{kTrue, kRefused}));

TEST_F(LinkCheck, TheNewLinkIsSkippedByIndexButAnEqualLinkOnAnotherPegCounts) {
  NewLink(1, 100, 100, 2, 400, 300);
  ExpectDecision(1, kAccepted);

  // The same line, stored on another peg placed on peg a.
  Place(20, 100, 100);
  Link(20, 2);
  ExpectDecision(1, kRefused);
}

// Every peg up to PegTotal counts, whether or not the current game has
// re-created it yet; pegs past PegTotal never do.
struct IndexCase {
  int master;
  std::int16_t pegCount;
  std::int16_t expected;
};
void PrintTo(const IndexCase& c, std::ostream* os) { *os << "master " << c.master << " PegCount " << c.pegCount; }

class LinkIndices : public LinkCheck, public ::testing::WithParamInterface<IndexCase> {};

TEST_P(LinkIndices, CountUpToPegTotal) {
  const IndexCase c = GetParam();
  game().gState = GameState::Init;
  game().PegCount = c.pegCount;
  NewLink(1, 300, 100, 2, 300, 500);
  Standing(c.master, 100, 300, 3, 500, 300);
  ExpectDecision(1, c.expected);
}

INSTANTIATE_TEST_SUITE_P(LinkCheck, LinkIndices,
                         ::testing::Values(IndexCase{50, 10, kRefused},    // not yet re-created
                                           IndexCase{4, 10, kRefused},     // re-created
                                           IndexCase{100, 100, kRefused},   // the last peg
                                           IndexCase{101, 100, kAccepted},  // past PegTotal
                                           IndexCase{200, 100, kAccepted}));

TEST_F(LinkCheck, ALinkWithdrawnBeforeTheCheckIsAccepted) {
  // Peg a re-created while the check waited: it names no other end. There is
  // nothing to walk and nothing to recolour, and no record outside the table
  // is read.
  Place(1, 300, 100);
  peg(1).Linked = kFalse;
  peg(1).Master = kFalse;
  peg(1).LinkTarget = 0;
  Standing(10, 100, 100, 11, 500, 100);
  ExpectDecision(1, kAccepted);
}

TEST_F(LinkCheck, AStandingLinkThatNamesNoTargetIsSkipped) {
  NewLink(1, 300, 100, 2, 300, 500);
  Place(10, 300, 300);
  peg(10).Linked = kTrue;
  peg(10).Master = kTrue;
  peg(10).LinkTarget = 0;
  ExpectDecision(1, kAccepted);
}

TEST_F(LinkCheck, ReadsThePegsAfterLettingEventsRun) {
  // The check lets events run before it reads anything, so it decides on the
  // pegs as they stand after that point: here an event moves peg b clear of
  // the crossing, then another lays a crossing link.
  NewLink(1, 300, 100, 2, 300, 500);
  Standing(10, 100, 300, 11, 500, 300);
  long yields = 0;
  f.platform.on_yield = [&](long) {
    ++yields;
    Place(2, 600, 100);
  };
  EXPECT_EQ(game().CheckLinkPath(1), kAccepted);
  EXPECT_EQ(yields, 1);
  EXPECT_EQ(peg(1).Colour, (DrawColour{}));

  Place(2, 300, 500);
  peg(10).Linked = kFalse;
  f.platform.on_yield = [&](long) { Standing(12, 100, 300, 13, 500, 300); };
  EXPECT_EQ(game().CheckLinkPath(1), kRefused);
  EXPECT_EQ(peg(1).Colour, (DrawColour{2, 128, 2, 0}));
  EXPECT_EQ(peg(2).Colour, (DrawColour{2, 128, 2, 0}));
}

}  // namespace
}  // namespace brindlet::testing
