// The game through its entry points on the headless platform: start-up, the
// ticks and the orderly end; the click handler's selection table, picking, the
// corner toggle of the debug window and double-clicks; and clicks, ticks and
// restarts run at the yield points of a click and of the link check it starts.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "support/game_fixture.h"

namespace brindlet::testing {
namespace {

using S = GameState;

// A picture in which every pixel differs from its mirror images.
std::array<std::uint8_t, 3> Pattern(int x, int y) {
  return {static_cast<std::uint8_t>(x * 7 + y), static_cast<std::uint8_t>(y * 3 + 1),
          static_cast<std::uint8_t>((x ^ y) + 5)};
}

// Fills `fill` with the pattern, or counts the pixels of `check` off it.
int Patterned(MemorySurface* fill, MemorySurface* check = nullptr) {
  MemorySurface& s = fill != nullptr ? *fill : *check;
  int off = 0;
  for (int y = 0; y < s.Height(); ++y) {
    for (int x = 0; x < s.Width(); ++x) {
      if (fill != nullptr) s.SetPixel(x, y, Pattern(x, y));
      off += check != nullptr && s.PixelAt(x, y) != Pattern(x, y);
    }
  }
  return off;
}

void Put(Board& b, int i, double x, double y, std::int16_t kind = 0) {
  Peg& p = b.Pegs[i];
  p.X = p.TargetX = x;
  p.Y = p.TargetY = y;
  p.Kind = kind;
}

void Join(Board& b, int source, int target) {
  b.Pegs[source].Linked = b.Pegs[source].Master = true;
  b.Pegs[source].LinkTarget = static_cast<std::int16_t>(target);
  b.Pegs[target].Linked = true;
  b.Pegs[target].Master = false;
}

bool Shown(HeadlessPlatform& platform, Window window) { return platform.visible[HeadlessPlatform::Index(window)]; }

// The cursor position as the last main tick sampled it.
void Sampled(Board& b, int x, int y) {
  b.MousePosX = static_cast<std::int16_t>(x);
  b.MousePosY = static_cast<std::int16_t>(y);
}

// Notes how far start-up has got at each call it makes of the platform.
struct StartupSpy : HeadlessPlatform {
  const Game* game = nullptr;
  const ScriptedRandom* random = nullptr;
  std::vector<std::string> log;
  void Note(const std::string& what) {
    const auto n = [](auto v) { return std::to_string(v); };
    const Board& b = game->board();
    log.push_back(what + ": field " + n(game->field().width) + "x" + n(game->field().height) + ", arrays " +
                  n(game->BackgroundImage().Bytes().size() + game->FrameImage().Bytes().size()) + ", pegs " +
                  n(b.PegTotal) + ", draws " + n(random->taken()) + ", state " + n(static_cast<int>(b.gState)) +
                  ", count " + n(b.PegCount));
  }
  void SizePlayfield(std::int32_t w, std::int32_t h) override {
    Note("size " + std::to_string(w) + "x" + std::to_string(h));
    HeadlessPlatform::SizePlayfield(w, h);
  }
  void HideBackground() override { Note("hide background"); HeadlessPlatform::HideBackground(); }
  void Show(Window w) override { Note(w == Window::Debug ? "show debug" : "show other"); HeadlessPlatform::Show(w); }
};

TEST(Startup, ReadsTheSizeSizesThePlayfieldReadsAndHidesTheBackgroundSeedsAndShowsTheDebugWindow) {
  StartupSpy platform;
  platform.background = MemorySurface(118, 90);  // 356 bytes a row, two of them padding
  Patterned(&platform.background);
  DefaultRandom program;
  ScriptedRandom random;
  random.PassThrough(&program);
  Game game(platform.Roles(), random);
  platform.game = &game;
  platform.random = &random;
  Board stale;
  stale.gState = S::Idle;
  stale.PegCount = 7;
  game.SetBoard(stale);
  game.Startup();
  const std::vector<std::string> expected = {
      "size 118x90: field 118x90, arrays 0, pegs 0, draws 0, state 2, count 7",
      "hide background: field 118x90, arrays 64792, pegs 0, draws 0, state 2, count 7",
      "show debug: field 118x90, arrays 64792, pegs 100, draws 600, state 0, count 0"};
  EXPECT_EQ(platform.log, expected);
  // Both arrays hold the background bottom-up; padding and the extra row stay zero.
  EXPECT_TRUE(game.FrameImage() == game.BackgroundImage());
  for (int row = 0; row < 91; ++row) {
    for (int b = 0; b < 356; ++b) {
      const int want = row < 90 && b < 354 ? Pattern(b / 3, 89 - row)[static_cast<std::size_t>(b % 3)] : 0;
      ASSERT_EQ(game.BackgroundImage()(b, row), want) << "byte " << b << ", row " << row;
    }
  }
  for (int i = 1; i <= 100; ++i) {  // seeded over the playfield read: x in [50, 68), y in (40, 50]
    const Peg& p = game.board().Pegs[i];
    EXPECT_TRUE(p.X >= 50 && p.X < 68 && p.Y > 40 && p.Y <= 50) << i << ": " << p.X << ", " << p.Y;
  }
}

TEST(MainTick, StoresTheLow16BitsOfTheCursorSampledAfterEventsRun) {
  struct Case { std::int32_t x, y; std::int16_t storedX, storedY; };
  for (const Case c : {Case{10, 20, 10, 20}, Case{1025, 769, 1025, 769}, Case{-5, -300, -5, -300},
                       Case{70000, 2000, 4464, 2000}, Case{-70000, 40000, -4464, -25536},
                       Case{65535, 32768, -1, -32768}}) {
    GameFixture f;
    f.random.SetFallback(0.5);
    f.platform.cursor = {1, 1};
    const long first = f.platform.yields() + 1;
    f.platform.at_yield = [&] {
      if (f.platform.yields() == first) f.platform.cursor = {c.x, c.y};
    };
    f.game.MainTick();
    EXPECT_EQ(f.game.board().MousePosX, c.storedX) << c.x;
    EXPECT_EQ(f.game.board().MousePosY, c.storedY) << c.y;
  }
}

TEST(MainTick, RestoresTheFrameFromTheBackgroundEasesThePegsAndPresentsTheFrameUpright) {
  GameFixture f(false);
  Patterned(&f.platform.background);
  f.random.SetFallback(0.5);
  f.game.Startup();
  f.game.MainTick();  // the attract display drawn over the background
  ASSERT_FALSE(f.game.FrameImage() == f.game.BackgroundImage());
  f.Change([](Board& b) {
    for (int i = 1; i <= b.Total(); ++i) Put(b, i, 10.0 * i, -100);  // above the playfield: nothing is drawn
    b.Pegs[1].TargetX = 110;
    b.gState = S::Idle;
  });
  f.game.MainTick();
  EXPECT_TRUE(f.game.FrameImage() == f.game.BackgroundImage()) << "every byte, extra row and padding included";
  EXPECT_DOUBLE_EQ(f.game.board().Pegs[1].X, 10 + 11.764705882352942) << "one easing step per tick";
  EXPECT_EQ(Patterned(nullptr, &f.platform.playfield), 0);

  // A frame made while nobody can see the playfield does not reach it; the
  // display tick presents it once the playfield shows, before it lets events
  // run.
  f.platform.playfield.shown = false;
  f.Change([](Board& b) { Put(b, 1, 200, 100); });
  f.game.MainTick();
  EXPECT_EQ(Patterned(nullptr, &f.platform.playfield), 0) << "nothing reaches a hidden playfield";
  f.platform.playfield.shown = true;
  int offAtYield = 0;
  f.platform.at_yield = [&] { offAtYield = Patterned(nullptr, &f.platform.playfield); };
  f.game.DisplayTick();
  EXPECT_GT(offAtYield, 0) << "the peg drawn while hidden is shown before events run";
}

TEST(MainTick, OnlyInStartupADrawAbove99HundredthsSendsThePegsToNewPlaces) {
  struct Case { GameState state; double draw; bool moves; };  // draw: every draw of the tick
  for (const Case c : {Case{S::Startup, 0.5, false}, Case{S::Startup, 0.99, false},
                       Case{S::Startup, std::nextafter(0.99, 1.0), true}, Case{S::Startup, 0.995, true},
                       Case{S::Init, 0.999, false}, Case{S::Idle, 0.999, false},
                       Case{S::FirstSelected, 0.999, false}}) {
    GameFixture f;
    f.Change([&](Board& b) { b.gState = c.state; });
    f.random.SetFallback(c.draw);
    const Board before = f.game.board();
    f.game.MainTick();
    for (int i = 1; i <= 100; ++i) {
      const Peg& p = f.game.board().Pegs[i];
      ASSERT_EQ(p.TargetX, c.moves ? c.draw * 1026 - 10 + 10.25 : before.Pegs[i].TargetX) << c.draw << " peg " << i;
      ASSERT_EQ(p.TargetY, c.moves ? c.draw * 770 - 10 + 10.25 : before.Pegs[i].TargetY) << c.draw << " peg " << i;
    }
  }
}

TEST(EffectsTick, RecreatesOnePegPerTickInIndexOrderThenGoesIdle) {
  GameFixture f;
  for (int k = 0; k < 10; ++k) f.game.EffectsTick();  // in Startup; any draw would throw
  EXPECT_EQ(f.game.board().PegCount, 0);
  f.random.SetFallback(0.5);
  f.Change([](Board& b) {
    b.FirstPeg = 3;
    b.SecondPeg = 8;
    for (int i = 1; i <= 100; ++i) b.Pegs[i].TargetX = -1;
  });
  f.game.InitGame();
  EXPECT_EQ(f.game.happenings().At(0), Happened{Happening::GameStarted}) << "Restart! is told";
  const Board before = f.game.board();
  const long draws = f.random.taken();
  for (int k = 1; k <= 102; ++k) {
    f.game.EffectsTick();
    const Board& b = f.game.board();
    ASSERT_EQ(b.PegCount, std::min(k, 100));
    ASSERT_EQ(f.random.taken() - draws, 8 * std::min(k, 100)) << "one InitPeg per tick";
    ASSERT_EQ(b.gState, k <= 100 ? S::Init : S::Idle) << "tick " << k;
    ASSERT_EQ(b.Pegs[std::min(k, 100)].TargetX, 513.0) << k;
    ASSERT_TRUE(k >= 100 || b.Pegs[k + 1] == before.Pegs[k + 1]) << "peg " << k + 1 << " not yet re-created";
  }
  EXPECT_EQ(f.game.board().FirstPeg, 3);
  EXPECT_EQ(f.game.board().SecondPeg, 8);

  for (GameState state : {S::Idle, S::FirstSelected, S::SecondSelected, S::CheckingLink}) {  // only Init turns Idle
    f.Change([&](Board& b) {
      b.gState = state;
      b.PegCount = 98;
    });
    for (int k = 0; k < 4; ++k) f.game.EffectsTick();
    EXPECT_EQ(f.game.board().PegCount, 100);
    EXPECT_EQ(f.game.board().gState, state);
  }
  EXPECT_EQ(f.random.taken() - draws, 800 + 4 * 16);
}

TEST(EffectsTick, TheCounterWrapsFrom100To0) {
  GameFixture f;
  for (int k = 1; k <= 303; ++k) {
    f.game.EffectsTick();
    ASSERT_EQ(f.game.board().EffectsCounter, static_cast<double>(k % 101)) << "tick " << k;
  }
  f.Change([](Board& b) { b.EffectsCounter = 99.5; });
  f.game.EffectsTick();
  EXPECT_EQ(f.game.board().EffectsCounter, 0.0);
}

TEST(EffectsTick, ShakesOnlyWhileTheAmplitudeIsAboveOne) {
  const double justAbove = std::nextafter(1.0, 2.0);
  for (const auto& [amplitude, draws, after] : {std::tuple{0.0, 0L, 0.0}, std::tuple{0.5, 0L, 0.5},
                                                std::tuple{1.0, 0L, 1.0}, std::tuple{justAbove, 200L, justAbove * 0.9},
                                                std::tuple{50.0, 200L, 45.0}}) {
    GameFixture f;
    f.random.SetFallback(0.5);
    f.Change([&, shake = amplitude](Board& b) { b.ShakeAmplitude = shake; });
    const long before = f.random.taken();
    f.game.EffectsTick();
    EXPECT_EQ(f.random.taken() - before, draws) << amplitude;
    EXPECT_EQ(f.game.board().ShakeAmplitude, after) << amplitude;
  }
}

TEST(DebugTick, ShowsTheStateInWordsAndTheNearestPegWithin30PixelsWhileTheWindowIsShown) {
  GameFixture f;
  const std::pair<int, const char*> captions[] = {
      {0, "State: Startup"}, {1, "State: Init"}, {2, "State: Idle"}, {3, "State: First Selected"},
      {4, "State: Second Selected"}, {5, "State: Checking Link"}, {6, "before"}, {-1, "before"}};
  for (const auto& [state, caption] : captions) {
    f.platform.state_caption = "before";
    f.Change([&, wanted = state](Board& b) { b.gState = static_cast<GameState>(wanted); });
    f.game.DebugTick();
    EXPECT_EQ(f.platform.state_caption, caption) << state;
  }
  const auto place = [&](double dx, double dy) {  // peg 42 alone near the cursor
    f.Change([&](Board& b) {
      for (int i = 1; i <= b.Total(); ++i) Put(b, i, 900, 700);
      b.Pegs[42] = Peg{100.01 + dx, 200.01 + dy, 0, 0, 0, 0, {}, 0, false, false, 0, true, 0, 0.4};
      Sampled(b, 100, 200);
    });
  };
  place(12.7, 0);
  f.game.DebugTick();
  EXPECT_EQ(f.platform.peg_details,
            "Nearest: 12\r\nNum: 42\r\nSelected? True\r\nLinked? False\r\nMaster? False\r\nLink Target: 0\r\n"
            "Linkeffect Timer: 0\r");
  for (const auto& [dy, shown] : {std::pair{30.0, false}, std::pair{29.995, true}}) {
    place(0, dy);
    f.game.DebugTick();
    EXPECT_EQ(f.platform.peg_details.empty(), !shown) << dy << " px from the cursor point";
  }
  f.platform.Hide(Window::Debug);
  f.platform.peg_details = f.platform.state_caption = "stale";
  place(12.7, 0);
  f.game.DebugTick();
  EXPECT_EQ(f.platform.peg_details, "stale");
  EXPECT_EQ(f.platform.state_caption, "stale");

  // Reals are shown rounded down, flags as words.
  const Peg wide{0, 0, 0, 0, 0, 0, {}, 0, false, true, -32768, true, 0, -123456.5};
  EXPECT_EQ(PegDetails(29.99, 32767, wide),
            "Nearest: 29\r\nNum: 32767\r\nSelected? True\r\nLinked? False\r\nMaster? True\r\nLink Target: -32768\r\n"
            "Linkeffect Timer: -123457\r");
  Peg nan = wide;
  nan.LinkEffectTimer = std::numeric_limits<double>::quiet_NaN();
  EXPECT_TRUE(PegDetails(-0.5, 1, nan).starts_with("Nearest: -1\r\n"));
  EXPECT_TRUE(PegDetails(-0.5, 1, nan).ends_with("\r\nLinkeffect Timer: 0\r"));
}

// The headless playfield takes every new size, one side at a time too, and
// a hidden one stays hidden.
TEST(HeadlessPlatform, ResizingThePlayfieldKeepsWhetherItIsShown) {
  for (const bool shown : {false, true}) {
    HeadlessPlatform p(100, 50);
    p.playfield.shown = shown;
    for (const auto& [w, h] : {std::pair{120, 50}, std::pair{120, 60}, std::pair{80, 60}}) {
      p.SizePlayfield(w, h);
      EXPECT_EQ(std::pair(p.playfield.Width(), p.playfield.Height()), std::pair(w, h));
      EXPECT_EQ(p.playfield.Shown(), shown);
    }
  }
}

// --- Clicks -------------------------------------------------------------------

// The board clicks land on: every other peg is parked far off the playfield,
// unlinked; all are kind 0 unless noted.
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
constexpr int kB2 = 15;  // (350, 400), kind 1: when linked, a blocker that refuses P1 -> P2
constexpr int kK = 16;   // parked; put in the corner by the selection table
constexpr int kEmpty = 0;     // aim at (100, 700), where there is no peg
constexpr int kCorner = -1;   // aim at (-300, -300): in the corner, on no peg

class Clicks : public ::testing::Test {
 protected:
  Clicks() {
    f.Change([](Board& b) {
      for (int i = 1; i <= b.Total(); ++i) {
        b.Pegs[i] = Peg{};
        Put(b, i, 5000 + 40.0 * i, 5000);
        b.Pegs[i].Colour = {210, 20, 30, static_cast<std::int16_t>(240 + i % 10)};
      }
      const std::array<std::array<int, 4>, 11> layout{{{kP1, 300, 300, 0}, {kP2, 400, 300, 0}, {kP3, 500, 300, 0},
                                                       {kQ1, 300, 500, 1}, {kL1, 600, 300, 0}, {kL2, 600, 500, 0},
                                                       {kQ2, 400, 500, 1}, {kC, 360, 250, 0}, {kD, 360, 350, 0},
                                                       {kB1, 350, 200, 1}, {kB2, 350, 400, 1}}};
      for (const auto& [i, x, y, kind] : layout) Put(b, i, x, y, static_cast<std::int16_t>(kind));
      Join(b, kL1, kL2);
      b.gState = S::Idle;
    });
  }

  const Board& board() const { return f.game.board(); }
  const Peg& peg(int i) const { return board().Pegs[i]; }
  void Change(const std::function<void(Board&)>& edit) { f.Change(edit); }
  // The click handler reads the cursor position the last main tick sampled:
  // a peg's, empty space or the corner.
  void Aim(int target) {
    const int x = target == kEmpty ? 100 : target == kCorner ? -300 : static_cast<int>(peg(target).X);
    const int y = target == kEmpty ? 700 : target == kCorner ? -300 : static_cast<int>(peg(target).Y);
    Change([&](Board& b) { Sampled(b, x, y); });
  }
  void ClickAt(int target) {
    Aim(target);
    f.game.Click();
  }
  void Select(int first, int second = 0) {
    Change([&](Board& b) {
      b.gState = second == 0 ? S::FirstSelected : S::SecondSelected;
      b.FirstPeg = static_cast<std::int16_t>(first);
      b.SecondPeg = static_cast<std::int16_t>(second);
      b.Pegs[first].Selected = true;
      if (second != 0) b.Pegs[second].Selected = true;
    });
  }
  void AddBlocker() { Change([](Board& b) { Join(b, kB1, kB2); }); }
  // Runs `work` once, at the first yield where the link from `a` is committed
  // and the game Idle: the check's own.
  void AtTheCheck(int a, std::function<void()> work) {
    f.platform.at_yield = [this, a, work, done = false]() mutable {
      if (done || board().gState != S::Idle || !peg(a).Linked) return;
      done = true;
      work();
    };
  }

  void ExpectStanding(int a, int b) {
    EXPECT_TRUE(peg(a).Linked && peg(a).Master && !peg(a).Selected && peg(a).LinkTarget == b) << a << " -> " << b;
    EXPECT_TRUE(peg(b).Linked && !peg(b).Master && !peg(b).Selected) << a << " -> " << b;
  }
  // Every standing link names a peg in play that is linked too.
  void ExpectLinksConsistent() {
    for (int i = 1; i <= board().Total(); ++i) {
      if (!peg(i).Linked || !peg(i).Master) continue;
      const int t = peg(i).LinkTarget;
      EXPECT_TRUE(board().IsPeg(t) && peg(t).Linked) << "peg " << i << " is linked to " << t;
    }
  }

  GameFixture f;  // started up (debug window shown); no draws scripted
};

enum Link { kNone, kStands, kWithdrawn };

struct Row {
  const char* name;
  GameState start;
  std::int16_t first, second;  // FirstPeg and SecondPeg before the click (0 or stale)
  std::vector<int> selected;   // the pegs selected before
  int aim;
  GameState end;
  std::int16_t endFirst, endSecond;
  std::vector<int> selectedAfter;
  Link link = kNone;  // what becomes of endFirst -> endSecond
  bool toggles = false;     // the debug window is toggled
  bool blocker = false;     // a standing link runs across P1 -> P2
};

void PrintTo(const Row& r, std::ostream* os) { *os << r.name; }

class SelectionTable : public Clicks, public ::testing::WithParamInterface<Row> {};

TEST_P(SelectionTable, OneClick) {
  const Row& r = GetParam();
  Change([&](Board& b) {
    Put(b, kK, 8, 8);
    if (r.blocker) Join(b, kB1, kB2);
    b.gState = r.start;
    b.FirstPeg = r.first;
    b.SecondPeg = r.second;
    for (int i : r.selected) b.Pegs[i].Selected = true;
  });
  Aim(r.aim);
  PegTable want = board().Pegs;
  for (int i = 1; i <= PegTable::kCapacity; ++i) want[i].Selected = false;
  for (int i : r.selectedAfter) want[i].Selected = true;
  if (r.link != kNone) {
    Peg& a = want[r.endFirst];
    Peg& b = want[r.endSecond];
    a.Master = true;
    a.LinkTarget = r.endSecond;
    b.Master = false;
    a.Linked = b.Linked = r.link == kStands;
    if (r.link == kWithdrawn) a.Colour = b.Colour = DrawColour{2, 128, 2, a.Colour.Alpha};
  }
  const Board start = board();
  const std::uint64_t told = f.game.happenings().count();
  f.game.Click();
  // The player is told of a start, a link made or refused, a selection cleared.
  std::vector<Happened> told_of;
  if (r.start == S::Startup) {
    told_of = {{Happening::GameStarted}};
  } else if (r.link != kNone) {
    told_of = {{r.link == kStands ? Happening::LinkMade : Happening::LinkRefused, r.endFirst, r.endSecond}};
  } else if (!r.selected.empty() && r.selectedAfter.empty()) {
    told_of = {{Happening::SelectionCancelled, r.first, static_cast<std::int16_t>(r.selected.size() > 1 ? r.second : 0)}};
  }
  std::vector<Happened> heard;
  while (const auto happened = f.game.happenings().At(told + heard.size())) heard.push_back(*happened);
  EXPECT_EQ(heard, told_of);
  EXPECT_EQ(board().gState, r.end);
  EXPECT_EQ(board().FirstPeg, r.endFirst);
  EXPECT_EQ(board().SecondPeg, r.endSecond);
  for (int i = 1; i <= PegTable::kCapacity; ++i) EXPECT_TRUE(peg(i) == want[i]) << "peg " << i;
  EXPECT_EQ(Shown(f.platform, Window::Debug), !r.toggles) << "the debug window, shown at start-up";

  // The second click of a double-click is one more click.
  const Board afterClick = board();
  f.game.SetBoard(start);
  f.platform.Show(Window::Debug);
  f.game.DoubleClick();
  EXPECT_TRUE(board() == afterClick) << "double-click";
  EXPECT_EQ(Shown(f.platform, Window::Debug), !r.toggles) << "double-click";
}

INSTANTIATE_TEST_SUITE_P(
    Clicks, SelectionTable,
    ::testing::Values(
        Row{"startup_hit_only_starts", S::Startup, 0, 0, {}, kP1, S::Init, 0, 0, {}},
        Row{"startup_miss_only_starts", S::Startup, 0, 0, {}, kEmpty, S::Init, 0, 0, {}},
        Row{"startup_corner_only_starts", S::Startup, 0, 0, {}, kK, S::Init, 0, 0, {}},
        Row{"init_hit_keeps_stale_flags", S::Init, kP1, kP2, {kP1, kP2}, kP3, S::Init, kP1, kP2, {kP1, kP2}},
        Row{"init_miss_clears_flags", S::Init, kP1, kP2, {kP1, kP2}, kEmpty, S::Idle, kP1, kP2, {}},
        Row{"idle_hit_unlinked", S::Idle, 0, 0, {}, kP1, S::FirstSelected, kP1, 0, {kP1}},
        Row{"idle_hit_unlinked_stale", S::Idle, kP3, kP2, {}, kP1, S::FirstSelected, kP1, kP2, {kP1}},
        Row{"idle_hit_kind_1", S::Idle, 0, 0, {}, kQ1, S::FirstSelected, kQ1, 0, {kQ1}},
        Row{"idle_hit_link_source", S::Idle, 0, 0, {}, kL1, S::Idle, 0, 0, {}},
        Row{"idle_hit_link_end", S::Idle, 0, 0, {}, kL2, S::Idle, 0, 0, {}},
        Row{"idle_miss_clears_flags", S::Idle, kP1, kP2, {kP1, kP2}, kEmpty, S::Idle, kP1, kP2, {}},
        Row{"idle_corner_toggles", S::Idle, 0, 0, {}, kCorner, S::Idle, 0, 0, {}, kNone, true},
        Row{"idle_corner_hit_toggles_and_picks", S::Idle, 0, 0, {}, kK, S::FirstSelected, kK, 0, {kK}, kNone, true},
        Row{"first_hit_same_kind", S::FirstSelected, kP1, 0, {kP1}, kP2, S::SecondSelected, kP1, kP2, {kP1, kP2}},
        Row{"first_hit_same_kind_stale_second", S::FirstSelected, kP1, kP3, {kP1}, kP2, S::SecondSelected, kP1, kP2,
            {kP1, kP2}},
        Row{"first_hit_kind_1_pair", S::FirstSelected, kQ1, 0, {kQ1}, kQ2, S::SecondSelected, kQ1, kQ2, {kQ1, kQ2}},
        Row{"first_hit_itself", S::FirstSelected, kP1, 0, {kP1}, kP1, S::FirstSelected, kP1, 0, {kP1}},
        Row{"first_hit_other_kind", S::FirstSelected, kP1, 0, {kP1}, kQ1, S::FirstSelected, kP1, 0, {kP1}},
        Row{"first_kind_1_hit_kind_0", S::FirstSelected, kQ1, 0, {kQ1}, kP2, S::FirstSelected, kQ1, 0, {kQ1}},
        Row{"first_hit_linked_same_kind", S::FirstSelected, kP1, 0, {kP1}, kL1, S::FirstSelected, kP1, 0, {kP1}},
        Row{"first_miss_cancels", S::FirstSelected, kP1, 0, {kP1}, kEmpty, S::Idle, kP1, 0, {}},
        Row{"first_miss_cancels_stale_second", S::FirstSelected, kP1, kP3, {kP1}, kEmpty, S::Idle, kP1, kP3, {}},
        Row{"first_corner_toggles_and_cancels", S::FirstSelected, kP1, 0, {kP1}, kCorner, S::Idle, kP1, 0, {}, kNone, true},
        Row{"second_hit_second_confirms", S::SecondSelected, kP1, kP2, {kP1, kP2}, kP2, S::Idle, kP1, kP2, {}, kStands},
        Row{"second_miss_confirms", S::SecondSelected, kP1, kP2, {kP1, kP2}, kEmpty, S::Idle, kP1, kP2, {}, kStands},
        Row{"second_corner_toggles_and_confirms", S::SecondSelected, kP1, kP2, {kP1, kP2}, kCorner, S::Idle, kP1, kP2,
            {}, kStands, true},
        Row{"second_confirmed_across_a_link_is_withdrawn", S::SecondSelected, kP1, kP2, {kP1, kP2}, kP2, S::Idle, kP1,
            kP2, {}, kWithdrawn, false, true},
        Row{"second_hit_third_reselects", S::SecondSelected, kP1, kP2, {kP1, kP2}, kP3, S::SecondSelected, kP1, kP3,
            {kP1, kP3}},
        Row{"second_hit_first", S::SecondSelected, kP1, kP2, {kP1, kP2}, kP1, S::SecondSelected, kP1, kP2, {kP1, kP2}},
        Row{"second_hit_other_kind", S::SecondSelected, kP1, kP2, {kP1, kP2}, kQ1, S::SecondSelected, kP1, kP2, {kP1, kP2}},
        Row{"second_hit_linked", S::SecondSelected, kP1, kP2, {kP1, kP2}, kL1, S::SecondSelected, kP1, kP2, {kP1, kP2}},
        Row{"kind_1_pair_confirms", S::SecondSelected, kQ1, kQ2, {kQ1, kQ2}, kQ2, S::Idle, kQ1, kQ2, {}, kStands}),
    [](const ::testing::TestParamInfo<Row>& named) { return std::string(named.param.name); });

// A peg is hit when its distance from the click point, the sampled cursor
// plus 0.01 on both axes, is strictly below 10; the nearest peg decides.
TEST_F(Clicks, APegIsHitStrictlyWithinTenOfTheClickPointAndTheNearestDecides) {
  struct Case {
    const char* name;
    double dx, dy;
    bool fromCursor;  // the offsets are from the sampled cursor, not the click point
    bool exact;       // the offsets are exact in the peg's coordinates
    bool hit;
  };
  const Case cases[] = {
      {"right_just_inside", 9.9999, 0, false, false, true}, {"above_just_inside", 0, -9.9999, false, false, true},
      {"slanted_just_inside", 6, 7.9999, false, false, true}, {"right_at_ten", 10, 0, false, true, false},
      {"left_at_ten", -10, 0, false, true, false}, {"below_at_ten", 0, 10, false, true, false},
      {"slanted_at_ten", 6, 8, false, true, false}, {"far", 40, 0, false, true, false},
      {"ten_right_of_the_cursor", 10, 0, true, true, true}, {"ten_left_of_the_cursor", -10, 0, true, true, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const double o = c.fromCursor ? 200.0 : 200 + kCursorOffset;
    Change([&](Board& b) {
      Put(b, kP1, o + c.dx, o + c.dy);
      b.Pegs[kP1].Selected = false;
      b.FirstPeg = 0;
      b.gState = S::Idle;
      b.MousePosX = b.MousePosY = 200;
    });
    ASSERT_TRUE(!c.exact || (peg(kP1).X - o == c.dx && peg(kP1).Y - o == c.dy));
    f.game.Click();
    EXPECT_EQ(board().gState, c.hit ? S::FirstSelected : S::Idle);
    EXPECT_EQ(board().FirstPeg, c.hit ? kP1 : 0);
    EXPECT_EQ(peg(kP1).Selected, c.hit);
  }
  const double o = 200 + kCursorOffset;
  for (const bool lowerOnLeft : {true, false}) {  // ties go to the lower index
    Change([&](Board& b) {
      Put(b, 20, o + (lowerOnLeft ? -3 : 3), o);
      Put(b, 30, o + (lowerOnLeft ? 3 : -3), o);
    });
    const Nearest n = NearestPeg(board(), f.platform, o, o);
    EXPECT_TRUE(n.index == 20 && n.distance == 3.0) << n.index << " at " << n.distance;
  }
  // A linked peg 3 px away is the one picked, so the unlinked one 5 px away is not selected either.
  Change([&](Board& b) {
    Put(b, 20, 5000, 5000);
    Put(b, 30, 5000, 5000);
    Put(b, kL2, o + 3, o);
    Put(b, kP1, o, o - 5);
    b.gState = S::Idle;
  });
  f.game.Click();
  EXPECT_EQ(board().gState, S::Idle);
  EXPECT_FALSE(peg(kP1).Selected);
  // Without pegs the search finds nothing and every click misses.
  Change([](Board& b) { b.PegTotal = 0; });
  const Nearest none = NearestPeg(board(), f.platform, 300.01, 300.01);
  EXPECT_TRUE(none.index == -1 && none.distance == 31337.0);
  Select(kP1);
  ClickAt(kP1);
  EXPECT_EQ(board().gState, S::Idle);
  EXPECT_FALSE(peg(kP1).Selected);
}

TEST_F(Clicks, ACornerClickBelowSixteenOnBothAxesTogglesTheDebugWindow) {
  const std::tuple<int, int, bool> cases[] = {{0, 0, true},   {15, 15, true}, {-5, 3, true},
                                              {15, -1, true}, {-300, -300, true}, {16, 0, false},
                                              {0, 16, false}, {16, 16, false}, {100, 5, false}};
  for (const auto& [x, y, toggles] : cases) {
    Change([&, cx = x, cy = y](Board& b) { Sampled(b, cx, cy); });
    f.game.Click();
    EXPECT_EQ(Shown(f.platform, Window::Debug), !toggles) << x << ", " << y;
    f.game.Click();
    EXPECT_TRUE(Shown(f.platform, Window::Debug)) << x << ", " << y;
    EXPECT_EQ(board().gState, S::Idle);
  }
}

// The front end samples the cursor right before a click: a tap acts where it
// lands although no main tick ran since the pointer got there, and a pointer
// that rested for a tick is sampled exactly as the tick sampled it.
TEST_F(Clicks, SamplingTheCursorBeforeAClickJudgesItWhereItLands) {
  f.random.SetFallback(0.5);  // the drawing's jitter
  f.platform.cursor = {900, 600};  // empty space, where the last tick saw the pointer
  f.game.MainTick();
  f.platform.cursor = {5, 5};  // then a tap in the corner
  f.game.SampleCursor();
  f.game.Click();
  EXPECT_FALSE(Shown(f.platform, Window::Debug)) << "the tap in the corner hid the debug window";

  f.platform.cursor = {300, 300};  // on P1, resting through a tick
  f.game.MainTick();
  const std::pair<int, int> ticked{board().MousePosX, board().MousePosY};
  f.platform.cursor = {300 + 65536, 300 - 65536};  // the same low 16 bits
  f.game.SampleCursor();
  EXPECT_EQ(std::make_pair(int{board().MousePosX}, int{board().MousePosY}), ticked);
  f.game.Click();
  EXPECT_TRUE(peg(kP1).Selected);
  EXPECT_EQ(board().gState, S::FirstSelected);
  EXPECT_FALSE(Shown(f.platform, Window::Debug)) << "a click on a peg leaves the debug window as it was";
}

TEST_F(Clicks, PegsOfAWithdrawnLinkCanBeLinkedAgainEitherWay) {
  AddBlocker();
  Select(kP1, kP2);
  ClickAt(kP2);
  ASSERT_TRUE(!peg(kP1).Linked && peg(kP1).Master);
  Change([](Board& b) {
    Put(b, kP3, 300, 150);  // P3 -> P1 and P2 -> 17 run clear of the blocker
    Put(b, 17, 400, 150);
  });
  ClickAt(kP2);  // the refused second end becomes the master of a new link
  ClickAt(17);
  ClickAt(kEmpty);
  ExpectStanding(kP2, 17);
  EXPECT_TRUE(!peg(kP1).Linked && peg(kP1).Master) << "the refused pair's master flag is left alone";
  ClickAt(kP3);  // the refused first end becomes the other end of one
  ClickAt(kP1);
  f.game.Click();
  ExpectStanding(kP3, kP1);
  EXPECT_EQ(peg(kP1).Colour, (DrawColour{2, 128, 2, 245})) << "a refused peg stays green";
}

// --- Work run at yield points ---------------------------------------------------

// The beam pixels on the stretch of y = 300 between P1 and P2 that no peg,
// ring or other link reaches.
int BeamPixelsBetweenP1AndP2(const PixelArray& frame) {
  int lit = 0;
  for (int y = 296; y <= 304; ++y) {
    const int row = frame.Height() - 1 - y;
    for (int x = 325; x <= 375; ++x) lit += frame(3 * x, row) || frame(3 * x + 1, row) || frame(3 * x + 2, row);
  }
  return lit;
}

TEST_F(Clicks, AMainTickAtTheCheckYieldShowsTheNewLink) {
  f.random.SetFallback(0.5);  // the drawing's jitter
  Select(kP1, kP2);
  Aim(kP2);
  f.platform.cursor = {400, 300};  // a main tick samples the same spot
  Change([](Board& b) { b.Pegs[kP1].LinkEffectTimer = 50; });
  PixelArray before, during;
  f.platform.at_yield = [&] {
    if (board().gState == S::SecondSelected && before.Width() == 0) {
      f.game.MainTick();  // at the click's own yield: nothing is linked yet
      before = f.game.FrameImage();
    } else if (board().gState == S::Idle && peg(kP1).Linked && during.Width() == 0) {
      f.game.MainTick();  // at the check's yield: the link is committed
      during = f.game.FrameImage();
      EXPECT_EQ(peg(kP1).LinkEffectTimer, 51) << "DrawLinks drew the new link from its master";
    }
  };
  f.game.Click();
  ASSERT_GT(before.Width(), 0);
  ASSERT_GT(during.Width(), 0) << "no yield with the link committed and the game Idle";
  EXPECT_EQ(BeamPixelsBetweenP1AndP2(before), 0);
  EXPECT_GT(BeamPixelsBetweenP1AndP2(during), 3);
  ExpectStanding(kP1, kP2);
}

// A click handled during the check finds the game Idle and acts as any click
// in Idle would; the checked link is decided afterwards on its own.
struct DuringCase {
  const char* name;
  bool refused;  // the blocker stands, so the checked link P1 -> P2 is refused
  int aim;       // what the inner click hits
  GameState end;
  int selected;  // the peg selected afterwards, 0 for none
};

void PrintTo(const DuringCase& c, std::ostream* os) { *os << c.name; }

class ClickDuringTheCheck : public Clicks, public ::testing::WithParamInterface<DuringCase> {};

TEST_P(ClickDuringTheCheck, FindsTheGameIdleAndKeepsItsEffect) {
  const DuringCase& c = GetParam();
  if (c.refused) AddBlocker();
  Select(kP1, kP2);
  Aim(kP2);
  bool clicked = false;
  AtTheCheck(kP1, [&] {
    clicked = true;
    ClickAt(c.aim);
  });
  f.game.Click();
  ASSERT_TRUE(clicked);
  EXPECT_EQ(board().gState, c.end);
  EXPECT_TRUE(c.selected == 0 || board().FirstPeg == c.selected);
  for (int i = 1; i <= board().Total(); ++i) EXPECT_EQ(peg(i).Selected, i == c.selected) << "peg " << i;
  if (c.refused) {
    EXPECT_FALSE(peg(kP1).Linked || peg(kP2).Linked);
    EXPECT_EQ(peg(kP1).Colour, (DrawColour{2, 128, 2, 245}));
  } else {
    ExpectStanding(kP1, kP2);
  }
  ExpectLinksConsistent();
}

INSTANTIATE_TEST_SUITE_P(
    Clicks, ClickDuringTheCheck,
    ::testing::Values(DuringCase{"selects_while_accepted", false, kP3, S::FirstSelected, kP3},
                      DuringCase{"selects_while_refused", true, kP3, S::FirstSelected, kP3},
                      DuringCase{"new_link_is_linked", false, kP1, S::Idle, 0},
                      DuringCase{"new_link_end_is_linked", true, kP2, S::Idle, 0},
                      DuringCase{"miss", true, kEmpty, S::Idle, 0}),
    [](const ::testing::TestParamInfo<DuringCase>& named) { return std::string(named.param.name); });

TEST_F(Clicks, AfterARefusalTheSelectionMadeDuringTheCheckCarriesOn) {
  AddBlocker();
  Change([](Board& b) { Put(b, kP3, 300, 150); });  // so that P3 -> P1 runs clear of the blocker
  Select(kP1, kP2);
  Aim(kP2);
  AtTheCheck(kP1, [&] { ClickAt(kP3); });
  f.game.Click();
  ASSERT_EQ(board().gState, S::FirstSelected);
  ClickAt(kP1);  // withdrawn, so selectable again
  EXPECT_EQ(board().gState, S::SecondSelected);
  EXPECT_EQ(board().FirstPeg, kP3);
  EXPECT_EQ(board().SecondPeg, kP1);
  f.game.Click();
  ExpectStanding(kP3, kP1);
}

TEST_F(Clicks, ALinkMadeDuringTheCheckIsCheckedAgainstTheNewOne) {
  // While P1 -> P2 is checked, three clicks link C -> D across it. That check
  // sees P1 -> P2 standing and refuses C -> D; P1 -> P2, checked after, no
  // longer meets a standing link and stays.
  Select(kP1, kP2);
  Aim(kP2);
  bool done = false;
  AtTheCheck(kP1, [&] {
    done = true;
    ClickAt(kC);
    ClickAt(kD);
    f.game.Click();
  });
  f.game.Click();
  ASSERT_TRUE(done);
  ExpectStanding(kP1, kP2);
  EXPECT_FALSE(peg(kC).Linked || peg(kD).Linked);
  EXPECT_EQ(peg(kC).Colour.Green, 128);
  EXPECT_EQ(peg(kP1).Colour.Green, 20);
  EXPECT_EQ(board().gState, S::Idle);
  ExpectLinksConsistent();
}

TEST_F(Clicks, AClickAtAYieldOfTheHandlerRunsFirstAndTheHandlerReadsTheStateAfresh) {
  // A double-click's second click handled at the first click's own yield or
  // at its nearest-peg search: the first click then finds the pair that click
  // selected, and confirms it.
  Select(kP1);
  Aim(kP2);
  const Board start = board();
  for (const long at : {1L, 2L}) {
    f.game.SetBoard(start);
    const long base = f.platform.yields();
    f.platform.at_yield = [&] {
      if (f.platform.yields() == base + at) f.game.Click();
    };
    f.game.Click();
    EXPECT_EQ(board().gState, S::Idle) << "yield " << at;
    ExpectStanding(kP1, kP2);
  }
  // The inner click starts the game; the outer one, reading the state after
  // its yield, finds Init and handles a miss there.
  Change([](Board& b) { b.gState = S::Startup; });
  Aim(kEmpty);
  const long first = f.platform.yields() + 1;
  f.platform.at_yield = [&] {
    if (f.platform.yields() == first) f.game.Click();
  };
  f.game.Click();
  EXPECT_EQ(board().gState, S::Idle);
}

TEST_F(Clicks, ARefusalWithdrawsOnlyThePairItCommitted) {
  // While P1 -> P2 waits to be checked, a restart re-creates P1, clicks link
  // it to P3, and then a blocker is laid across P1 -> P3. The outer check
  // then refuses P1 -> P3, but the pair it committed no longer stands as
  // committed: P1 -> P3 is refused in colour only, and P2 is left as it is.
  Select(kP1, kP2);
  Aim(kP2);
  f.random.SetFallback(0.3);  // the draws of InitPeg
  AtTheCheck(kP1, [&] {
    f.game.InitGame();
    for (int tick = 0; tick < kP1; ++tick) f.game.EffectsTick();
    ClickAt(kEmpty);
    ClickAt(kP1);
    ClickAt(kP3);
    f.game.Click();
    AddBlocker();
  });
  f.game.Click();
  ExpectStanding(kP1, kP3);
  EXPECT_EQ(peg(kP3).Colour.Green, 128);
  EXPECT_TRUE(peg(kP2).Linked && !peg(kP2).Selected) << "the pair committed first is not withdrawn";
}

// A restart while the check waits: InitGame, then `recreate` effects ticks
// re-create pegs 1, 2, ... The new link runs from peg a to peg b, across the
// blocker (pegs 90 -> 91) when there is one; the blocker is re-created only by
// a full restart. A re-created peg names no link any more, so the check finds
// nothing to walk when a was re-created.
struct RestartCase {
  const char* name;
  int a, b, recreate;
  bool blocker;
  bool aLinked, bLinked;  // afterwards
  bool green;             // the pair was recoloured by a refusal
  bool consistentNow;     // false while a standing link still names a re-created peg
};

void PrintTo(const RestartCase& c, std::ostream* os) { *os << c.name; }

class RestartDuringTheCheck : public Clicks, public ::testing::WithParamInterface<RestartCase> {};

TEST_P(RestartDuringTheCheck, StaysInsideThePegTableAndConsistent) {
  const RestartCase& c = GetParam();
  Change([&](Board& b) {
    for (const auto& [i, x, y] : {std::tuple{kP1, 5000, 5000}, {kP2, 5040, 5000}, {c.a, 300, 300}, {c.b, 400, 300},
                                  {90, 350, 200}, {91, 350, 400}}) {
      Put(b, i, x, y);
    }
    if (c.blocker) Join(b, 90, 91);
  });
  Select(c.a, c.b);
  Aim(c.b);
  f.random.SetFallback(0.3);  // the draws of InitPeg
  DrawColour colourA{};
  bool restarted = false;
  AtTheCheck(c.a, [&] {
    restarted = true;
    f.game.InitGame();
    for (int tick = 0; tick < c.recreate; ++tick) f.game.EffectsTick();
    colourA = peg(c.a).Colour;
  });
  f.game.Click();
  ASSERT_TRUE(restarted);
  // After the restart, a refusal, or a link that still stands, is told.
  const Happening told = f.game.happenings().At(f.game.happenings().count() - 1)->what;
  EXPECT_EQ(told, c.green ? Happening::LinkRefused : c.aLinked ? Happening::LinkMade : Happening::GameStarted);
  EXPECT_EQ(board().gState, S::Init) << "the restart is not undone";
  EXPECT_EQ(board().PegCount, c.recreate);
  EXPECT_EQ(peg(c.a).Linked, c.aLinked);
  EXPECT_EQ(peg(c.b).Linked, c.bLinked);
  EXPECT_FALSE(peg(c.b).Master);
  EXPECT_EQ(peg(c.a).Colour, (c.green ? DrawColour{2, 128, 2, colourA.Alpha} : colourA));
  EXPECT_TRUE(!c.green || peg(c.b).Colour == peg(c.a).Colour);
  if (c.consistentNow) ExpectLinksConsistent();
  // Once every peg is re-created the game is Idle with nothing linked.
  for (int tick = c.recreate; tick <= 100; ++tick) f.game.EffectsTick();
  EXPECT_EQ(board().gState, S::Idle);
  for (int i = 1; i <= board().Total(); ++i) EXPECT_FALSE(peg(i).Linked || peg(i).Selected) << "peg " << i;
}

INSTANTIATE_TEST_SUITE_P(
    Clicks, RestartDuringTheCheck,
    ::testing::Values(RestartCase{"none_recreated_refused", 5, 6, 0, true, false, false, true, true},
                      RestartCase{"none_recreated_accepted", 5, 6, 0, false, true, true, false, true},
                      RestartCase{"b_recreated_refused", 60, 20, 30, true, false, false, true, true},
                      RestartCase{"b_recreated_accepted", 60, 20, 30, false, true, false, false, false},
                      RestartCase{"a_recreated", 20, 60, 30, true, false, true, false, true},
                      RestartCase{"all_recreated", 5, 6, 100, true, false, false, false, true}),
    [](const ::testing::TestParamInfo<RestartCase>& named) { return std::string(named.param.name); });

}  // namespace
}  // namespace brindlet::testing
