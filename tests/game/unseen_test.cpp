// The ticks while nobody can see the playfield: the schedule that runs the
// ticks fallen due at each rare wake-up in the timers' order, and a game
// played unseen for a stretch, which must come out exactly as one drawn
// all along.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <span>
#include <string>
#include <vector>

#include "game/tick_schedule.h"
#include "support/game_fixture.h"

namespace brindlet::testing {
namespace {

using std::chrono::milliseconds;

std::span<std::uint32_t> Shown(GameFixture& f) {
  return {f.platform.playfield.Lines().bottom, std::size_t{1026} * 770};
}

void SetUpTimers(TickSchedule& schedule) {
  schedule.Set(Timer::MainLoop, milliseconds(25), milliseconds(25), true);
  schedule.Set(Timer::Effects, milliseconds(20), milliseconds(20), true);
  schedule.Set(Timer::Debug, milliseconds(100), milliseconds(100), true);
}

TEST(TickSchedule, RunsTheTicksFallenDueInTheirTimersOrder) {
  std::string ran;
  TickSchedule schedule([&](Timer t) {
    ran += t == Timer::MainLoop ? "M" : t == Timer::Effects ? "E" : "D";
    // Events run inside a tick wake the schedule again: it only looks further.
    EXPECT_TRUE(ran != "EME" || schedule.RunDue(milliseconds(150)) == 0);
    if (ran == "EMEMEMEMEDE") schedule.SetEnabled(Timer::Effects, false, milliseconds(120));
  });
  SetUpTimers(schedule);
  EXPECT_EQ(schedule.RunDue(milliseconds(100)), 13);
  // Ties go in the order the timers were set up; the effects timer stopped
  // inside its tick at 120 ms.
  EXPECT_EQ(ran, "EMEMEMEMEDEMM");
  // Started afresh, then again while it runs.
  schedule.SetEnabled(Timer::Effects, true, milliseconds(160));
  schedule.SetEnabled(Timer::Effects, true, milliseconds(170));
  EXPECT_EQ(schedule.Due(Timer::Effects), milliseconds(180));
  // Ten seconds late: what lies more than a second back is dropped.
  EXPECT_EQ(schedule.RunDue(milliseconds(10160)), 40 + 50 + 10);
  EXPECT_EQ(schedule.Due(Timer::Debug), milliseconds(10200));
}

// Three and a half seconds of a game on `f`: the attract display, Move!, a
// click that starts a game, pegs re-created, a peg selected, a shake, and an
// effects tick at every 89th yield. With `unseen`, nobody sees the playfield
// from 50 ms to a yield inside the first main tick after 3.3 s: the result
// says whether no pixel reached the frame or the playfield meanwhile.
bool Play(GameFixture& f, bool unseen) {
  f.random.PassThrough(&f.program_random);
  bool blank = true;
  long seenAt = -1;  // the yield the playfield shows again at
  const std::span<std::uint32_t> field = Shown(f);
  f.platform.at_yield = [&] {
    if (f.platform.yields() % 89 == 0) f.game.EffectsTick();
    if (f.platform.yields() == seenAt) f.game.SetSeen(true);
  };
  TickSchedule schedule([&](Timer t) {
    if (t == Timer::MainLoop) f.game.MainTick();
    if (t == Timer::Effects) f.game.EffectsTick();
    if (t == Timer::Debug) f.game.DebugTick();
    const bool showing = seenAt > 0 && f.platform.yields() > seenAt;
    if (t != Timer::MainLoop || (f.game.Seen() && !showing)) return;
    // Up to the tick it showed again in, which went on unseen: no dot drawn
    // and, since the playfield was scribbled over, nothing presented.
    blank &= f.game.FrameImage() == f.game.BackgroundImage() && field.back() == ~0u;
    if (showing) seenAt = 0;
  });
  SetUpTimers(schedule);
  for (int ms = 0; ms <= 3500; ms += 50) {
    schedule.RunDue(milliseconds(ms));
    if (unseen && ms == 50) {
      f.game.SetSeen(false);
      std::ranges::fill(field, ~0u);  // unseen, a window system may hand out any old picture
    }
    if (ms == 100) f.game.RandomizePegs();
    if (ms == 150) f.game.Click();  // starts a game
    if (ms == 2500) {
      const Peg& peg = f.game.board().Pegs[1];
      f.platform.cursor = {static_cast<std::int32_t>(std::lround(peg.X)), static_cast<std::int32_t>(std::lround(peg.Y))};
      f.game.SampleCursor();
      f.game.Click();
    }
    if (ms == 3000) f.game.ShakePegsInit();
    if (unseen && ms == 3300) seenAt = f.platform.yields() + 20;
  }
  return blank;
}

class Unseen : public ::testing::TestWithParam<Look> {};

TEST_P(Unseen, AStretchUnseenEndsInExactlyTheGameAndFrameOfOneDrawnAllAlong) {
  GameFixture drawn, unseen;
  for (GameFixture* f : {&drawn, &unseen}) f->game.SetLook(GetParam());
  Play(drawn, false);
  EXPECT_TRUE(Play(unseen, true)) << "pixels drawn or presented unseen";
  ASSERT_EQ(drawn.game.board().gState, GameState::FirstSelected) << "the game got as far as planned";
  EXPECT_TRUE(unseen.game.board() == drawn.game.board());
  EXPECT_EQ(unseen.random.taken(), drawn.random.taken()) << "the random source's position";
  EXPECT_TRUE(unseen.game.FrameImage() == drawn.game.FrameImage());
  EXPECT_TRUE(std::ranges::equal(Shown(unseen), Shown(drawn))) << "the first frame shown again is presented whole";
}

INSTANTIATE_TEST_SUITE_P(EitherLook, Unseen, ::testing::Values(Look::Colours, Look::Shapes));

}  // namespace
}  // namespace brindlet::testing
