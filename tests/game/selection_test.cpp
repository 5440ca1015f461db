// The click handler: picking the nearest peg, the selection state machine row
// by row, the corner toggle of the debug window, committing a pair as a link
// and withdrawing it when the check refuses it, and what happens when other
// work runs at the handler's and the check's yield points.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "support/fakes.h"

namespace brindlet::testing {
namespace {

// The board the tests click on. Every other peg is parked far off the
// playfield, unlinked. All pegs are kind 0 unless noted.
constexpr int kP1 = 5;   // (300, 300)
constexpr int kP2 = 6;   // (400, 300)
constexpr int kP3 = 7;   // (500, 300)
constexpr int kQ1 = 8;   // (300, 500), kind 1
constexpr int kL1 = 9;   // (600, 300), source of a standing link to kL2
constexpr int kL2 = 10;  // (600, 500)
constexpr int kQ2 = 11;  // (400, 500), kind 1
constexpr int kC = 12;   // (360, 250)
constexpr int kD = 13;   // (360, 350): C -> D would cross P1 -> P2 on one of its samples
constexpr int kB1 = 14;  // (350, 200) and
constexpr int kB2 = 15;  // (350, 400): when linked, a blocker that refuses P1 -> P2

struct Spot {
  std::int16_t x;
  std::int16_t y;
};
constexpr Spot kEmpty{100, 700};

class Selection : public ::testing::Test {
 protected:
  Selection() {
    Game& g = f.game;
    for (int i = 1; i <= g.PegTotal; ++i) {
      Peg& p = g.Pegs[i];
      p.X = p.TargetX = 5000 + 40.0 * i;
      p.Y = p.TargetY = 5000;
      p.Kind = 0;
      p.Linked = kFalse;
      p.Master = kFalse;
      p.LinkTarget = 0;
      p.Selected = kFalse;
      p.Colour = {210, 20, 30, static_cast<std::int16_t>(240 + i % 10)};
    }
    Put(kP1, 300, 300);
    Put(kP2, 400, 300);
    Put(kP3, 500, 300);
    Put(kQ1, 300, 500, 1);
    Put(kL1, 600, 300);
    Put(kL2, 600, 500);
    Put(kQ2, 400, 500, 1);
    Put(kC, 360, 250);
    Put(kD, 360, 350);
    Put(kB1, 350, 200, 1);
    Put(kB2, 350, 400, 1);
    Join(kL1, kL2);
    g.gState = GameState::Idle;
  }

  Game& game() { return f.game; }
  Peg& peg(int i) { return f.game.Pegs[i]; }

  void Put(int i, double x, double y, std::int16_t kind = 0) {
    Peg& p = peg(i);
    p.X = p.TargetX = x;
    p.Y = p.TargetY = y;
    p.Kind = kind;
  }
  void Join(int source, int target) {
    peg(source).Linked = kTrue;
    peg(source).Master = kTrue;
    peg(source).LinkTarget = static_cast<std::int16_t>(target);
    peg(target).Linked = kTrue;
    peg(target).Master = kFalse;
  }
  void AddBlocker() { Join(kB1, kB2); }

  // The click handler reads the position the last main tick sampled.
  void Aim(Spot s) {
    game().MousePosX = s.x;
    game().MousePosY = s.y;
  }
  void AimAt(int i) { Aim({static_cast<std::int16_t>(peg(i).X), static_cast<std::int16_t>(peg(i).Y)}); }
  // The point the nearest-peg search is asked about.
  double ClickX() { return game().MousePosX + 0.01; }
  double ClickY() { return game().MousePosY + 0.01; }

  void SelectFirst(int first) {
    game().gState = GameState::FirstSelected;
    game().FirstPeg = static_cast<std::int16_t>(first);
    peg(first).Selected = kTrue;
  }
  void SelectPair(int first, int second) {
    SelectFirst(first);
    game().gState = GameState::SecondSelected;
    game().SecondPeg = static_cast<std::int16_t>(second);
    peg(second).Selected = kTrue;
  }

  void ExpectStanding(int a, int b) {
    EXPECT_EQ(peg(a).Linked, kTrue);
    EXPECT_EQ(peg(a).Master, kTrue);
    EXPECT_EQ(peg(a).LinkTarget, b);
    EXPECT_EQ(peg(a).Selected, kFalse);
    EXPECT_EQ(peg(b).Linked, kTrue);
    EXPECT_EQ(peg(b).Master, kFalse);
    EXPECT_EQ(peg(b).Selected, kFalse);
  }

  // Every standing link names a peg of the game that is linked too.
  void ExpectLinksConsistent() {
    for (int i = 1; i <= game().PegTotal; ++i) {
      if (peg(i).Linked != kTrue || peg(i).Master != kTrue) continue;
      const int t = peg(i).LinkTarget;
      ASSERT_TRUE(t >= 1 && t <= game().PegTotal) << "peg " << i << " names " << t;
      EXPECT_EQ(peg(t).Linked, kTrue) << "peg " << i << " is linked to unlinked peg " << t;
    }
  }

  GameFixture f;  // started up (debug window shown); draws from f.random, which holds none
};

// --- Picking -------------------------------------------------------------

// A peg is hit when its distance from the click point (the sampled cursor
// plus 0.01 on both axes) is strictly below 10.
struct PickCase {
  std::string name;
  double dx;
  double dy;
  bool exact;  // the offsets are exact in the peg's coordinates
  bool hit;
};
void PrintTo(const PickCase& c, std::ostream* os) { *os << c.name; }

class PickRadius : public Selection, public ::testing::WithParamInterface<PickCase> {};

TEST_P(PickRadius, HitsStrictlyWithinTen) {
  const PickCase c = GetParam();
  Aim({200, 200});
  Put(kP1, ClickX() + c.dx, ClickY() + c.dy);
  if (c.exact) {
    ASSERT_EQ(peg(kP1).X - ClickX(), c.dx);
    ASSERT_EQ(peg(kP1).Y - ClickY(), c.dy);
  }
  game().Click();
  if (c.hit) {
    EXPECT_EQ(game().gState, GameState::FirstSelected);
    EXPECT_EQ(game().FirstPeg, kP1);
    EXPECT_EQ(peg(kP1).Selected, kTrue);
  } else {
    EXPECT_EQ(game().gState, GameState::Idle);
    EXPECT_EQ(game().FirstPeg, 0);
    EXPECT_EQ(peg(kP1).Selected, kFalse);
  }
}

INSTANTIATE_TEST_SUITE_P(Selection, PickRadius,
                         ::testing::Values(PickCase{"right_just_inside", 9.9999, 0, false, true},
                                           PickCase{"above_just_inside", 0, -9.9999, false, true},
                                           PickCase{"slanted_just_inside", 6, 7.9999, false, true},
                                           PickCase{"right_at_ten", 10, 0, true, false},
                                           PickCase{"left_at_ten", -10, 0, true, false},
                                           PickCase{"below_at_ten", 0, 10, true, false},
                                           PickCase{"slanted_at_ten", 6, 8, true, false},
                                           PickCase{"far", 40, 0, true, false}),
                         [](const ::testing::TestParamInfo<PickCase>& info) { return info.param.name; });

TEST_F(Selection, PickOffsetIsAddedToTheSampledCursor) {
  // A peg exactly 10 px right of the sampled cursor is 9.99 px from the
  // click point, so it is hit; one 10 px left of it is 10.01 px away.
  Aim({200, 200});
  Put(kP1, 190, 200);
  game().Click();
  EXPECT_EQ(game().gState, GameState::Idle);
  Put(kP1, 210, 200);
  game().Click();
  EXPECT_EQ(game().gState, GameState::FirstSelected);
}

TEST_F(Selection, EqualDistancesPickTheLowerIndex) {
  Aim({200, 200});
  for (const bool lowerOnLeft : {true, false}) {
    Put(20, ClickX() + (lowerOnLeft ? -3 : 3), ClickY());
    Put(30, ClickX() + (lowerOnLeft ? 3 : -3), ClickY());
    double distance = 0;
    EXPECT_EQ(game().NearestPeg(ClickX(), ClickY(), distance), 20);
    EXPECT_EQ(distance, 3.0);
  }
  game().Click();
  EXPECT_EQ(game().FirstPeg, 20);
  EXPECT_EQ(peg(20).Selected, kTrue);
  EXPECT_EQ(peg(30).Selected, kFalse);
}

TEST_F(Selection, TheNearestPegDecidesEvenWhenItCannotBeSelected) {
  // The linked peg 3 px away is the one picked, so the unlinked peg 5 px
  // away is not selected either.
  Aim({200, 200});
  Put(kL2, ClickX() + 3, ClickY());
  Put(kP1, ClickX(), ClickY() - 5);
  game().Click();
  EXPECT_EQ(game().gState, GameState::Idle);
  EXPECT_EQ(peg(kP1).Selected, kFalse);
}

TEST_F(Selection, WithoutPegsTheSearchFindsNothingAndEveryClickMisses) {
  game().PegTotal = 0;
  double distance = 0;
  EXPECT_EQ(game().NearestPeg(300.01, 300.01, distance), -1);
  EXPECT_EQ(distance, 31337.0);

  SelectFirst(kP1);
  AimAt(kP1);
  game().Click();
  EXPECT_EQ(game().gState, GameState::Idle);
  EXPECT_EQ(peg(kP1).Selected, kFalse);
}

// --- The transition table ------------------------------------------------

struct Row {
  std::string name;
  GameState start;
  std::int16_t first;  // FirstPeg and SecondPeg before the click (0 or stale)
  std::int16_t second;
  std::vector<int> selectedBefore;
  int aim;  // a peg index, or 0 for empty space
  GameState end;
  std::int16_t endFirst;
  std::int16_t endSecond;
  std::vector<int> selectedAfter;
  bool linked;  // endFirst -> endSecond now stands as a link
};
void PrintTo(const Row& c, std::ostream* os) { *os << c.name; }

class Transition : public Selection, public ::testing::WithParamInterface<Row> {};

TEST_P(Transition, FollowsTheTable) {
  const Row r = GetParam();
  game().gState = r.start;
  game().FirstPeg = r.first;
  game().SecondPeg = r.second;
  for (const int i : r.selectedBefore) peg(i).Selected = kTrue;
  if (r.aim == 0) {
    Aim(kEmpty);
  } else {
    AimAt(r.aim);
  }
  PegTable expected = game().Pegs;
  for (int i = 1; i <= PegTable::kCapacity; ++i) expected[i].Selected = kFalse;
  for (const int i : r.selectedAfter) expected[i].Selected = kTrue;
  if (r.linked) {
    expected[r.endFirst].Linked = kTrue;
    expected[r.endFirst].Master = kTrue;
    expected[r.endFirst].LinkTarget = r.endSecond;
    expected[r.endSecond].Linked = kTrue;
    expected[r.endSecond].Master = kFalse;
  }

  game().Click();

  EXPECT_EQ(game().gState, r.end);
  EXPECT_EQ(game().FirstPeg, r.endFirst);
  EXPECT_EQ(game().SecondPeg, r.endSecond);
  for (int i = 1; i <= PegTable::kCapacity; ++i) EXPECT_EQ(peg(i), expected[i]) << "peg " << i;
  EXPECT_EQ(f.platform.calls.size(), 1u) << "only start-up's showing of the debug window";
}

using S = GameState;
INSTANTIATE_TEST_SUITE_P(
    Selection, Transition,
    ::testing::Values(
        Row{"startup_hit", S::Startup, 0, 0, {}, kP1, S::Init, 0, 0, {}, false},
        Row{"startup_miss", S::Startup, 0, 0, {}, 0, S::Init, 0, 0, {}, false},
        Row{"init_hit_keeps_stale_flags", S::Init, kP1, kP2, {kP1, kP2}, kP3, S::Init, kP1, kP2, {kP1, kP2}, false},
        Row{"init_miss_clears_flags", S::Init, kP1, kP2, {kP1, kP2}, 0, S::Idle, kP1, kP2, {}, false},
        Row{"idle_hit_unlinked", S::Idle, 0, 0, {}, kP1, S::FirstSelected, kP1, 0, {kP1}, false},
        Row{"idle_hit_unlinked_stale", S::Idle, kP3, kP2, {}, kP1, S::FirstSelected, kP1, kP2, {kP1}, false},
        Row{"idle_hit_kind_1", S::Idle, 0, 0, {}, kQ1, S::FirstSelected, kQ1, 0, {kQ1}, false},
        Row{"idle_hit_link_source", S::Idle, 0, 0, {}, kL1, S::Idle, 0, 0, {}, false},
        Row{"idle_hit_link_end", S::Idle, 0, 0, {}, kL2, S::Idle, 0, 0, {}, false},
        Row{"idle_miss_clears_flags", S::Idle, kP1, kP2, {kP1, kP2}, 0, S::Idle, kP1, kP2, {}, false},
        Row{"first_hit_same_kind", S::FirstSelected, kP1, 0, {kP1}, kP2, S::SecondSelected, kP1, kP2, {kP1, kP2},
            false},
        Row{"first_hit_same_kind_stale_second", S::FirstSelected, kP1, kP3, {kP1}, kP2, S::SecondSelected, kP1, kP2,
            {kP1, kP2}, false},
        Row{"first_hit_kind_1_pair", S::FirstSelected, kQ1, 0, {kQ1}, kQ2, S::SecondSelected, kQ1, kQ2, {kQ1, kQ2},
            false},
        Row{"first_hit_itself", S::FirstSelected, kP1, 0, {kP1}, kP1, S::FirstSelected, kP1, 0, {kP1}, false},
        Row{"first_hit_other_kind", S::FirstSelected, kP1, 0, {kP1}, kQ1, S::FirstSelected, kP1, 0, {kP1}, false},
        Row{"first_kind_1_hit_kind_0", S::FirstSelected, kQ1, 0, {kQ1}, kP2, S::FirstSelected, kQ1, 0, {kQ1}, false},
        Row{"first_hit_linked_same_kind", S::FirstSelected, kP1, 0, {kP1}, kL1, S::FirstSelected, kP1, 0, {kP1},
            false},
        Row{"first_miss_cancels", S::FirstSelected, kP1, 0, {kP1}, 0, S::Idle, kP1, 0, {}, false},
        Row{"second_hit_second_confirms", S::SecondSelected, kP1, kP2, {kP1, kP2}, kP2, S::Idle, kP1, kP2, {}, true},
        Row{"second_miss_confirms", S::SecondSelected, kP1, kP2, {kP1, kP2}, 0, S::Idle, kP1, kP2, {}, true},
        Row{"second_hit_third_reselects", S::SecondSelected, kP1, kP2, {kP1, kP2}, kP3, S::SecondSelected, kP1, kP3,
            {kP1, kP3}, false},
        Row{"second_hit_first", S::SecondSelected, kP1, kP2, {kP1, kP2}, kP1, S::SecondSelected, kP1, kP2,
            {kP1, kP2}, false},
        Row{"second_hit_other_kind", S::SecondSelected, kP1, kP2, {kP1, kP2}, kQ1, S::SecondSelected, kP1, kP2,
            {kP1, kP2}, false},
        Row{"second_hit_linked", S::SecondSelected, kP1, kP2, {kP1, kP2}, kL1, S::SecondSelected, kP1, kP2,
            {kP1, kP2}, false},
        Row{"kind_1_pair_confirms", S::SecondSelected, kQ1, kQ2, {kQ1, kQ2}, kQ2, S::Idle, kQ1, kQ2, {}, true}),
    [](const ::testing::TestParamInfo<Row>& info) { return info.param.name; });

TEST_F(Selection, ReselectingTheSecondPegMovesOnlyTheSecondSelection) {
  SelectPair(kP1, kP2);
  AimAt(kP3);
  game().Click();
  AimAt(kP2);  // the old second is just another unlinked peg of the kind now
  game().Click();
  EXPECT_EQ(game().gState, GameState::SecondSelected);
  EXPECT_EQ(game().SecondPeg, kP2);
  EXPECT_EQ(peg(kP2).Selected, kTrue);
  EXPECT_EQ(peg(kP3).Selected, kFalse);
  AimAt(kP2);
  game().Click();
  ExpectStanding(kP1, kP2);
  EXPECT_EQ(peg(kP3).Linked, kFalse);
}

// --- The corner ----------------------------------------------------------

TEST_F(Selection, CornerClickDuringStartupOnlyStartsTheGame) {
  game().gState = GameState::Startup;
  Put(kP1, 5, 5);
  Aim({5, 5});
  const auto callsBefore = f.platform.calls;
  game().Click();
  EXPECT_EQ(game().gState, GameState::Init);
  EXPECT_TRUE(f.platform.visible[Window::Debug]);
  EXPECT_EQ(f.platform.calls, callsBefore);
  EXPECT_EQ(peg(kP1).Selected, kFalse);
  EXPECT_EQ(game().FirstPeg, 0);
}

struct CornerCase {
  std::int16_t x;
  std::int16_t y;
  bool toggles;
};
void PrintTo(const CornerCase& c, std::ostream* os) { *os << "(" << c.x << ", " << c.y << ")"; }

class Corner : public Selection, public ::testing::WithParamInterface<CornerCase> {};

TEST_P(Corner, TogglesTheDebugWindowBelowSixteenOnBothAxes) {
  const CornerCase c = GetParam();
  Aim({c.x, c.y});
  ASSERT_TRUE(f.platform.visible[Window::Debug]);
  game().Click();
  EXPECT_EQ(f.platform.visible[Window::Debug], !c.toggles);
  game().Click();
  EXPECT_TRUE(f.platform.visible[Window::Debug]);
  const std::vector<std::string> toggled{"show Debug", "hide Debug", "show Debug"};
  const std::vector<std::string> untouched{"show Debug"};
  EXPECT_EQ(f.platform.calls, c.toggles ? toggled : untouched);
  EXPECT_EQ(game().gState, GameState::Idle);
}

INSTANTIATE_TEST_SUITE_P(Selection, Corner,
                         ::testing::Values(CornerCase{0, 0, true}, CornerCase{15, 15, true},
                                           CornerCase{-5, 3, true}, CornerCase{15, -1, true},
                                           CornerCase{-300, -300, true}, CornerCase{16, 0, false},
                                           CornerCase{0, 16, false}, CornerCase{16, 16, false},
                                           CornerCase{100, 5, false}));

TEST_F(Selection, CornerMissInFirstSelectedTogglesAndCancels) {
  SelectFirst(kP1);
  Aim({3, 3});
  game().Click();
  EXPECT_FALSE(f.platform.visible[Window::Debug]);
  EXPECT_EQ(game().gState, GameState::Idle);
  EXPECT_EQ(peg(kP1).Selected, kFalse);
  EXPECT_EQ(game().FirstPeg, kP1);
}

TEST_F(Selection, CornerMissInSecondSelectedTogglesAndConfirms) {
  SelectPair(kP1, kP2);
  Aim({3, 3});
  game().Click();
  EXPECT_FALSE(f.platform.visible[Window::Debug]);
  EXPECT_EQ(game().gState, GameState::Idle);
  ExpectStanding(kP1, kP2);
}

TEST_F(Selection, CornerClickOnAPegTogglesAndPicksIt) {
  f.platform.visible[Window::Debug] = false;
  Put(kP1, 8, 8);
  Aim({4, 4});
  game().Click();
  EXPECT_TRUE(f.platform.visible[Window::Debug]);
  EXPECT_EQ(game().gState, GameState::FirstSelected);
  EXPECT_EQ(game().FirstPeg, kP1);
}

// --- Double clicks -------------------------------------------------------

TEST_F(Selection, DoubleClickOnASameKindPegSelectsAndConfirmsAtOnce) {
  SelectFirst(kP1);
  AimAt(kP2);
  game().Click();  // the platform delivers a click, then the double-click
  game().DoubleClick();
  EXPECT_EQ(game().gState, GameState::Idle);
  ExpectStanding(kP1, kP2);
}

TEST_F(Selection, DoubleClickOnAPegInIdleOnlySelectsIt) {
  AimAt(kP1);
  game().Click();
  game().DoubleClick();
  EXPECT_EQ(game().gState, GameState::FirstSelected);
  EXPECT_EQ(peg(kP1).Selected, kTrue);
  EXPECT_EQ(peg(kP1).Linked, kFalse);
}

TEST_F(Selection, DoubleClickOnAThirdPegReselectsThenConfirms) {
  SelectPair(kP1, kP2);
  AimAt(kP3);
  game().Click();
  game().DoubleClick();
  ExpectStanding(kP1, kP3);
  EXPECT_EQ(peg(kP2).Selected, kFalse);
  EXPECT_EQ(peg(kP2).Linked, kFalse);
}

// --- Init ----------------------------------------------------------------

TEST_F(Selection, MissDuringInitGivesIdleWhileCreationGoesOn) {
  game().gState = GameState::Startup;
  Aim(kEmpty);
  game().Click();
  ASSERT_EQ(game().gState, GameState::Init);
  f.random.SetFallback(0.3);  // draws of InitPeg
  for (int tick = 0; tick < 5; ++tick) game().EffectsTick();
  ASSERT_EQ(game().PegCount, 5);

  game().Click();
  EXPECT_EQ(game().gState, GameState::Idle);
  for (int tick = 0; tick < 96; ++tick) {
    game().EffectsTick();
    ASSERT_EQ(game().gState, GameState::Idle) << "after tick " << tick;
  }
  EXPECT_EQ(game().PegCount, 100);
  EXPECT_EQ(peg(100).LinkTarget, 0);
  EXPECT_EQ(peg(kL1).Linked, kFalse) << "re-created like every other peg";
}

// --- Committing a link ---------------------------------------------------

TEST_F(Selection, AcceptedLinkStandsAndTheGameIsIdle) {
  SelectPair(kP1, kP2);
  AimAt(kP2);
  game().Click();
  ExpectStanding(kP1, kP2);
  EXPECT_EQ(game().gState, GameState::Idle);
  EXPECT_EQ(peg(kP1).Colour, (DrawColour{210, 20, 30, 245}));
  EXPECT_EQ(game().FirstPeg, kP1);
  EXPECT_EQ(game().SecondPeg, kP2);
}

TEST_F(Selection, RefusedLinkIsWithdrawnButKeepsMasterTargetAndGreen) {
  AddBlocker();
  SelectPair(kP1, kP2);
  AimAt(kP2);
  game().Click();
  EXPECT_EQ(game().gState, GameState::Idle);
  EXPECT_EQ(peg(kP1).Linked, kFalse);
  EXPECT_EQ(peg(kP1).Selected, kFalse);
  EXPECT_EQ(peg(kP1).Master, kTrue);
  EXPECT_EQ(peg(kP1).LinkTarget, kP2);
  EXPECT_EQ(peg(kP2).Linked, kFalse);
  EXPECT_EQ(peg(kP2).Selected, kFalse);
  EXPECT_EQ(peg(kP2).Master, kFalse);
  EXPECT_EQ(peg(kP1).Colour, (DrawColour{2, 128, 2, 245}));
  EXPECT_EQ(peg(kP2).Colour, (DrawColour{2, 128, 2, 245}));
  EXPECT_EQ(game().FirstPeg, kP1);
  EXPECT_EQ(game().SecondPeg, kP2);
  ExpectStanding(kB1, kB2);
}

TEST_F(Selection, RefusedFirstPegLaterSecondOfALinkIsNoLongerMaster) {
  AddBlocker();
  SelectPair(kP1, kP2);
  AimAt(kP2);
  game().Click();
  ASSERT_EQ(peg(kP1).Master, kTrue);
  ASSERT_EQ(peg(kP1).Linked, kFalse);

  // A green peg keeps its kind and can be linked again, here as second end.
  Put(kP3, 300, 150);  // P3 -> P1 runs clear of the blocker
  AimAt(kP3);
  game().Click();
  AimAt(kP1);
  game().Click();
  game().Click();
  ExpectStanding(kP3, kP1);
  EXPECT_EQ(peg(kP1).Master, kFalse);
  EXPECT_EQ(peg(kP1).Colour, (DrawColour{2, 128, 2, 245}));
}

TEST_F(Selection, RefusedSecondPegLaterFirstOfALinkBecomesMaster) {
  AddBlocker();
  SelectPair(kP1, kP2);
  AimAt(kP2);
  game().Click();
  Put(kP3, 400, 150);
  AimAt(kP2);
  game().Click();
  AimAt(kP3);
  game().Click();
  Aim(kEmpty);
  game().Click();
  ExpectStanding(kP2, kP3);
  EXPECT_EQ(peg(kP1).Master, kTrue) << "the old refused pair's master flag is left alone";
  EXPECT_EQ(peg(kP1).Linked, kFalse);
}

// --- Work run at yield points --------------------------------------------

// The beam pixels on the stretch of y = 300 between P1 and P2 that no peg,
// ring or other link reaches.
int BeamPixelsBetweenP1AndP2(const PixelArray& frame) {
  int lit = 0;
  for (int y = 296; y <= 304; ++y) {
    const int row = frame.Height() - 1 - y;
    for (int x = 325; x <= 375; ++x) {
      if (frame(3 * x, row) != 0 || frame(3 * x + 1, row) != 0 || frame(3 * x + 2, row) != 0) ++lit;
    }
  }
  return lit;
}

TEST_F(Selection, MainTickAtTheCheckYieldShowsTheNewLink) {
  f.random.SetFallback(0.5);  // the drawing's jitter
  SelectPair(kP1, kP2);
  AimAt(kP2);
  f.platform.SetCursorClient(400, 300);  // a main tick samples the same spot
  peg(kP1).LinkEffectTimer = 50;

  PixelArray before;
  PixelArray during;
  GameState stateDuring = GameState::Startup;
  double timerDuring = 0;
  f.platform.on_yield = [&](long) {
    if (game().gState == GameState::SecondSelected && before.Width() == 0) {
      game().MainTick();  // at the click's own yield: nothing is linked yet
      before = game().FrameImage;
    } else if (game().gState == GameState::Idle && peg(kP1).Linked == kTrue && during.Width() == 0) {
      stateDuring = game().gState;
      game().MainTick();  // at the check's yield: the link is committed
      during = game().FrameImage;
      timerDuring = peg(kP1).LinkEffectTimer;
    }
  };
  game().Click();

  ASSERT_GT(before.Width(), 0);
  ASSERT_GT(during.Width(), 0) << "no yield after the commit";
  EXPECT_EQ(stateDuring, GameState::Idle);
  EXPECT_EQ(timerDuring, 51) << "DrawLinks drew the new link from its master";
  EXPECT_EQ(BeamPixelsBetweenP1AndP2(before), 0);
  EXPECT_GT(BeamPixelsBetweenP1AndP2(during), 3);
  ExpectStanding(kP1, kP2);
}

// A click handled during the check finds the game Idle and acts as any click
// in Idle would; the checked link is decided afterwards on its own.
struct ClickDuringCase {
  std::string name;
  bool refused;  // the blocker stands, so the checked link P1 -> P2 is refused
  int aim;       // what the inner click hits, 0 for empty space
  GameState end;
  int selected;  // the peg selected afterwards, 0 for none
};
void PrintTo(const ClickDuringCase& c, std::ostream* os) { *os << c.name; }

class ClickDuringCheck : public Selection, public ::testing::WithParamInterface<ClickDuringCase> {};

TEST_P(ClickDuringCheck, FindsIdleAndKeepsItsEffect) {
  const ClickDuringCase c = GetParam();
  if (c.refused) AddBlocker();
  SelectPair(kP1, kP2);
  AimAt(kP2);
  GameState seen = GameState::Startup;
  f.platform.on_yield = [&](long) {
    if (game().gState == GameState::Idle && peg(kP1).Linked == kTrue && seen == GameState::Startup) {
      seen = game().gState;
      if (c.aim == 0) {
        Aim(kEmpty);
      } else {
        AimAt(c.aim);
      }
      game().Click();
    }
  };
  game().Click();

  EXPECT_EQ(seen, GameState::Idle);
  EXPECT_EQ(game().gState, c.end);
  if (c.selected != 0) {
    EXPECT_EQ(game().FirstPeg, c.selected);
    EXPECT_EQ(peg(c.selected).Selected, kTrue);
  }
  for (int i = 1; i <= game().PegTotal; ++i) {
    if (i != c.selected) {
      EXPECT_EQ(peg(i).Selected, kFalse) << "peg " << i;
    }
  }
  if (c.refused) {
    EXPECT_EQ(peg(kP1).Linked, kFalse);
    EXPECT_EQ(peg(kP2).Linked, kFalse);
    EXPECT_EQ(peg(kP1).Colour, (DrawColour{2, 128, 2, 245}));
  } else {
    ExpectStanding(kP1, kP2);
  }
  ExpectLinksConsistent();
}

INSTANTIATE_TEST_SUITE_P(
    Selection, ClickDuringCheck,
    ::testing::Values(ClickDuringCase{"selects_accepted", false, kP3, GameState::FirstSelected, kP3},
                      ClickDuringCase{"selects_refused", true, kP3, GameState::FirstSelected, kP3},
                      ClickDuringCase{"new_link_is_linked", false, kP1, GameState::Idle, 0},
                      ClickDuringCase{"new_link_end_is_linked", true, kP2, GameState::Idle, 0},
                      ClickDuringCase{"miss", true, 0, GameState::Idle, 0}),
    [](const ::testing::TestParamInfo<ClickDuringCase>& info) { return info.param.name; });

TEST_F(Selection, AfterARefusalTheSelectionMadeDuringTheCheckCarriesOn) {
  AddBlocker();
  Put(kP3, 300, 150);  // so that P3 -> P1 runs clear of the blocker
  SelectPair(kP1, kP2);
  AimAt(kP2);
  bool clicked = false;
  f.platform.on_yield = [&](long) {
    if (!clicked && game().gState == GameState::Idle && peg(kP1).Linked == kTrue) {
      clicked = true;
      AimAt(kP3);
      game().Click();
    }
  };
  game().Click();
  f.platform.on_yield = nullptr;
  ASSERT_EQ(game().gState, GameState::FirstSelected);

  AimAt(kP1);  // withdrawn, so selectable again
  game().Click();
  EXPECT_EQ(game().gState, GameState::SecondSelected);
  EXPECT_EQ(game().FirstPeg, kP3);
  EXPECT_EQ(game().SecondPeg, kP1);
  game().Click();
  ExpectStanding(kP3, kP1);
}

TEST_F(Selection, ALinkMadeDuringTheCheckIsCheckedAgainstTheNewOne) {
  // While P1 -> P2 is checked, three clicks link C -> D across it. That
  // check sees P1 -> P2 standing and refuses C -> D; P1 -> P2, checked after,
  // no longer meets a standing link and stays.
  SelectPair(kP1, kP2);
  AimAt(kP2);
  bool done = false;
  f.platform.on_yield = [&](long) {
    if (!done && game().gState == GameState::Idle && peg(kP1).Linked == kTrue) {
      done = true;
      AimAt(kC);
      game().Click();
      AimAt(kD);
      game().Click();
      game().Click();
    }
  };
  game().Click();
  ASSERT_TRUE(done);
  ExpectStanding(kP1, kP2);
  EXPECT_EQ(peg(kC).Linked, kFalse);
  EXPECT_EQ(peg(kD).Linked, kFalse);
  EXPECT_EQ(peg(kC).Colour.Green, 128);
  EXPECT_EQ(peg(kP1).Colour.Green, 20);
  EXPECT_EQ(game().gState, GameState::Idle);
  ExpectLinksConsistent();
}

TEST_F(Selection, SecondClickAtTheHandlersFirstYieldRunsBeforeIt) {
  // The double-click's second click is handled at the first click's yield;
  // the first click then reads the state that click left and confirms.
  SelectFirst(kP1);
  AimAt(kP2);
  f.platform.yields = 0;
  f.platform.on_yield = [&](long n) {
    if (n == 1) game().Click();
  };
  game().Click();
  EXPECT_EQ(game().gState, GameState::Idle);
  ExpectStanding(kP1, kP2);
}

TEST_F(Selection, ClickAtTheFirstYieldOfTheStartingClickLetsThatClickPick) {
  // The inner click starts the game; the outer one, reading the state after
  // its yield, finds Init and handles a miss there.
  game().gState = GameState::Startup;
  Aim(kEmpty);
  f.platform.yields = 0;
  f.platform.on_yield = [&](long n) {
    if (n == 1) game().Click();
  };
  game().Click();
  EXPECT_EQ(game().gState, GameState::Idle);
}

// A restart while the check waits: InitGame, then `recreate` effects ticks
// re-create pegs 1, 2, ... The new link runs from peg a to peg b, across the
// blocker (pegs 90 -> 91) when there is one; the blocker is re-created only by
// a full restart. A re-created peg names no link any more, so the check finds
// nothing to walk when a was re-created.
struct RestartCase {
  std::string name;
  int a;
  int b;
  int recreate;
  bool blocker;
  bool aLinked;  // afterwards
  bool bLinked;
  bool green;           // the pair was recoloured by a refusal
  bool consistentNow;  // false while a standing link still names a re-created peg
};
void PrintTo(const RestartCase& c, std::ostream* os) { *os << c.name; }

class RestartDuringCheck : public Selection, public ::testing::WithParamInterface<RestartCase> {};

TEST_P(RestartDuringCheck, StaysInsideThePegTableAndConsistent) {
  const RestartCase c = GetParam();
  Put(kP1, 5000, 5000);
  Put(kP2, 5040, 5000);
  Put(c.a, 300, 300);
  Put(c.b, 400, 300);
  Put(90, 350, 200);
  Put(91, 350, 400);
  if (c.blocker) Join(90, 91);
  SelectPair(c.a, c.b);
  AimAt(c.b);
  f.random.SetFallback(0.3);  // draws of InitPeg

  DrawColour colourA{};
  bool restarted = false;
  f.platform.on_yield = [&](long) {
    if (!restarted && game().gState == GameState::Idle && peg(c.a).Linked == kTrue) {
      restarted = true;
      game().InitGame();
      for (int tick = 0; tick < c.recreate; ++tick) game().EffectsTick();
      colourA = peg(c.a).Colour;
    }
  };
  game().Click();
  ASSERT_TRUE(restarted);

  EXPECT_EQ(game().gState, GameState::Init) << "the restart is not undone";
  EXPECT_EQ(game().PegCount, c.recreate);
  EXPECT_EQ(peg(c.a).Linked, AsBool16(c.aLinked));
  EXPECT_EQ(peg(c.b).Linked, AsBool16(c.bLinked));
  EXPECT_EQ(peg(c.b).Master, kFalse);
  if (c.green) {
    EXPECT_EQ(peg(c.a).Colour, (DrawColour{2, 128, 2, colourA.Alpha}));
    EXPECT_EQ(peg(c.b).Colour, peg(c.a).Colour);
  } else {
    EXPECT_EQ(peg(c.a).Colour, colourA);
  }
  if (c.consistentNow) ExpectLinksConsistent();

  // Once every peg is re-created the game is Idle with nothing linked.
  for (int tick = c.recreate; tick <= 100; ++tick) game().EffectsTick();
  EXPECT_EQ(game().gState, GameState::Idle);
  ExpectLinksConsistent();
  for (int i = 1; i <= game().PegTotal; ++i) {
    EXPECT_EQ(peg(i).Linked, kFalse) << "peg " << i;
    EXPECT_EQ(peg(i).Selected, kFalse) << "peg " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Selection, RestartDuringCheck,
    ::testing::Values(RestartCase{"none_recreated_refused", 5, 6, 0, true, false, false, true, true},
                      RestartCase{"none_recreated_accepted", 5, 6, 0, false, true, true, false, true},
                      RestartCase{"b_recreated_refused", 60, 20, 30, true, false, false, true, true},
                      RestartCase{"b_recreated_accepted", 60, 20, 30, false, true, false, false, false},
                      RestartCase{"a_recreated", 20, 60, 30, true, false, true, false, true},
                      RestartCase{"all_recreated", 5, 6, 100, true, false, false, false, true}),
    [](const ::testing::TestParamInfo<RestartCase>& info) { return info.param.name; });

}  // namespace
}  // namespace brindlet::testing
