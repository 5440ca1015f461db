// Playing from the keyboard and the mouse as the game interprets them:
// which peg each key goes to, keys that do to the board exactly what the
// equivalent mouse clicks do, and presses and releases that make clicks.
#include <gtest/gtest.h>

#include "game/keyboard.h"
#include "game/procedures.h"
#include "support/game_fixture.h"

namespace brindlet {
namespace {

Peg RestingPeg(double x, double y) {
  Peg peg;
  peg.X = peg.TargetX = x;
  peg.Y = peg.TargetY = y;
  return peg;
}

Board PegsAt(std::initializer_list<std::pair<double, double>> places) {
  Board b;
  for (const auto& [x, y] : places) b.Pegs[++b.PegTotal] = RestingPeg(x, y);
  return b;
}

TEST(KeyboardCursor, ArrowsGoToTheNearestPegWithinAQuarterTurnOfTheirDirection) {
  Board b = PegsAt({{100, 100}, {150, 110}, {130, 140}, {60, 100}, {100, 100}, {140, 60}});
  b.Pegs[7] = RestingPeg(120, 100);  // nearer than all, but not in play
  EXPECT_EQ(PegInDirection(b, 1, KeyDirection::Right), 2) << "nearer than 6, which lies on the cone's edge";
  EXPECT_EQ(PegInDirection(b, 1, KeyDirection::Down), 3) << "more down than right";
  EXPECT_EQ(PegInDirection(b, 1, KeyDirection::Left), 4);
  EXPECT_EQ(PegInDirection(b, 1, KeyDirection::Up), 6) << "on the edge between up and right: both";
  EXPECT_EQ(PegInDirection(b, 4, KeyDirection::Left), 4) << "nothing that way: the cursor stays";
  EXPECT_EQ(PegInDirection(b, 5, KeyDirection::Right), 2) << "peg 1 at the same place lies in no direction";
  EXPECT_EQ(PegInDirection(b, 0, KeyDirection::Right), 0);
  // A tie goes to the lower index, wherever the pegs are.
  for (const bool swapped : {false, true}) {
    const Board tie = PegsAt({{300, 300}, {swapped ? 270.0 : 330.0, 340}, {swapped ? 330.0 : 270.0, 340}});
    EXPECT_EQ(PegInDirection(tie, 1, KeyDirection::Down), 2);
  }
  EXPECT_EQ(PegNearestTo(b, 95, 98), 1) << "1 and 5 share a place: the lower index";
  EXPECT_EQ(PegNearestTo(Board{}, 95, 98), 0);
}

TEST(KeyboardCursor, TabStepsByIndexAndWrapsRound) {
  const Board b = PegsAt({{10, 10}, {20, 20}, {30, 30}});
  const struct { int from; bool backward; int to; } steps[] = {
      {1, false, 2}, {3, false, 1}, {1, true, 3}, {2, true, 1}, {0, false, 1}, {0, true, 3}, {4, false, 1}};
  for (const auto& s : steps) EXPECT_EQ(StepPeg(b, s.from, s.backward), s.to) << s.from << (s.backward ? " back" : "");
  EXPECT_EQ(StepPeg(Board{}, 0, false), 0);
}

TEST(KeyboardCursor, EmptySpaceIsFarthestFromEveryPegAndOutsideTheCorner) {
  const auto at = [](std::optional<EmptyPoint> p) { return p ? std::pair(p->x, p->y) : std::pair(-1, -1); };
  EXPECT_EQ(at(EmptySpace(Board{}, {200, 160})), std::pair(16, 8)) << "the first grid point outside the corner";
  EXPECT_EQ(at(EmptySpace(PegsAt({{100, 80}}), {200, 160})), std::pair(192, 8)) << "a far corner, not the top-left";
  EXPECT_EQ(at(EmptySpace(PegsAt({{100, 4}}), {200, 160})), std::pair(8, 152)) << "the bottom row";
  EXPECT_FALSE(EmptySpace(PegsAt({{16, 19}, {5, 16}}), {24, 24})) << "11 px from a peg: within the pick radius and drift";
  Board packed;
  for (int y = 4; y < 48; y += 8) for (int x = 4; x < 64; x += 8) packed.Pegs[++packed.PegTotal] = RestingPeg(x, y);
  EXPECT_FALSE(EmptySpace(packed, {64, 48})) << "no point clear of the pick radius";
}

// A platform that counts how often the debug window is shown or hidden: in
// the corner every click toggles it once.
struct CountingPlatform : HeadlessPlatform {
  int toggles = 0;
  void Show(Window window) override { toggles += window == Window::Debug; HeadlessPlatform::Show(window); }
  void Hide(Window window) override { toggles += window == Window::Debug; HeadlessPlatform::Hide(window); }
};

TEST(Mouse, PressesAndReleasesOfTheLeftButtonMakeClicksAndADoubleClickOneMore) {
  using A = MouseAction;
  const struct {
    const char* name;
    std::vector<std::pair<A, bool>> events;  // the action, and whether it is the left button
    int clicks;
  } cases[] = {
      {"press and release", {{A::Press, true}, {A::Release, true}}, 1},
      {"release alone", {{A::Release, true}}, 0},
      {"right button", {{A::Press, false}, {A::Release, false}}, 0},
      {"right press, left release", {{A::Press, false}, {A::Release, true}}, 0},
      {"double-click alone, then release", {{A::DoubleClick, true}, {A::Release, true}}, 1},
      // As X11 delivers a double-click: press, release, double-click, release.
      {"double-click", {{A::Press, true}, {A::Release, true}, {A::DoubleClick, true}, {A::Release, true}}, 2},
      {"double-click, then a click",
       {{A::Press, true}, {A::Release, true}, {A::DoubleClick, true}, {A::Release, true}, {A::Press, true}, {A::Release, true}},
       3},
  };
  for (const auto& c : cases) {
    CountingPlatform platform;
    DefaultRandom random;
    Game game(platform.Roles(), random);
    game.Startup();
    Board idle = game.board();
    idle.gState = GameState::Idle;
    game.SetBoard(idle);
    platform.toggles = 0;
    for (const auto& [action, left] : c.events) game.Mouse(action, left, {3, 3});
    EXPECT_EQ(platform.toggles, c.clicks) << c.name;
  }
}

// A click is judged where it happened, and every sample inside it (a tick
// run at one of its yields) samples the same place.
TEST(Mouse, AClickIsJudgedWhereItHappenedForItsWholeLength) {
  testing::GameFixture f;
  f.random.SetFallback(0.5);
  f.Change([](Board& b) {
    b.gState = GameState::Idle;
    b.Pegs[1] = RestingPeg(300, 300);
  });
  f.platform.cursor = {900, 600};  // where the pointer was when last asked
  std::vector<std::pair<int, int>> sampled;
  f.platform.at_yield = [&] {
    f.game.MainTick();
    sampled.emplace_back(f.game.board().MousePosX, f.game.board().MousePosY);
  };
  f.game.Mouse(MouseAction::Press, true, {300, 300});
  f.game.Mouse(MouseAction::Release, true, {300, 300});
  EXPECT_EQ(f.game.board().FirstPeg, 1);
  ASSERT_FALSE(sampled.empty());
  for (const auto& at : sampled) EXPECT_EQ(at, std::pair(300, 300));
  f.platform.at_yield = nullptr;
  f.game.MainTick();
  EXPECT_EQ(f.game.board().MousePosX, 900) << "after the click the pointer is asked again";
}

// Four pegs for one link and one that crosses it, a peg in the debug
// window's corner and the rest in a row along the bottom; peg 1 selected.
Board Prepared(const Board& started) {
  Board b = started;
  b.gState = GameState::FirstSelected;
  b.FirstPeg = 1;
  const std::pair<double, double> places[] = {{200, 200}, {400, 200}, {300, 60}, {300, 340}, {8, 8}};
  for (int i = 1; i <= b.Total(); ++i) {
    b.Pegs[i] = i <= 5 ? RestingPeg(places[i - 1].first, places[i - 1].second) : RestingPeg(10 + i * 10, 700);
  }
  b.Pegs[1].Selected = true;
  return b;
}

// Each step once with keys and once with the mouse, on the same board: the
// boards after them are equal, and the debug window too.
TEST(Keys, PlayTheGameExactlyAsTheEquivalentMouseClicks) {
  testing::GameFixture byKeys;
  testing::GameFixture byMouse;
  for (testing::GameFixture* f : {&byKeys, &byMouse}) {
    f->game.SetBoard(Prepared(f->game.board()));
    f->random.SetFallback(0.5);
  }
  using K = KeyCommand;
  // Keys, and the peg a click goes to instead (-1: empty space). On no peg
  // yet, Space clicks empty space too.
  const std::vector<std::pair<std::vector<K>, int>> steps = {
      {{K::Press}, -1},         {{K::Next, K::Press}, 1}, {{K::Right, K::Left, K::Right, K::Press}, 2},
      {{K::Empty}, -1},         {{K::Up, K::Press}, 3},   {{K::Next, K::Press}, 4},
      {{K::Empty}, -1},         {{K::Next, K::Press}, 5}};
  for (std::size_t i = 0; i < steps.size(); ++i) {
    const Board& board = byMouse.game.board();
    const auto empty = EmptySpace(board, byMouse.game.field());
    ASSERT_TRUE(empty);
    const int peg = steps[i].second;
    const CursorPoint at = peg > 0 ? CursorPoint{static_cast<int>(board.Pegs[peg].X), static_cast<int>(board.Pegs[peg].Y)}
                                   : CursorPoint{empty->x, empty->y};
    byMouse.game.Mouse(MouseAction::Press, true, at);
    byMouse.game.Mouse(MouseAction::Release, true, at);
    for (const K key : steps[i].first) byKeys.game.Key(key);
    EXPECT_TRUE(byKeys.game.board() == byMouse.game.board()) << "step " << i;
    EXPECT_EQ(byKeys.platform.visible, byMouse.platform.visible) << "step " << i;
  }
  const Board& b = byKeys.game.board();
  EXPECT_TRUE(b.Pegs[1].Linked && b.Pegs[1].LinkTarget == 2) << "the first link stands";
  EXPECT_FALSE(b.Pegs[3].Linked) << "the crossing link was refused";
  EXPECT_EQ(b.FirstPeg, 5);
  EXPECT_FALSE(byKeys.platform.visible[HeadlessPlatform::Index(Window::Debug)]) << "a click in the corner";
}

// While the cursor shows, ticks sample its peg where the peg is now; the
// mouse (a press of any button too) hides it, an arrow brings it back on the
// peg nearest the pointer and Space on its peg; a key held down moves it on
// but clicks only once.
TEST(Keys, TheCursorPointsWhereItsPegIsUntilTheMouseMoves) {
  testing::GameFixture f;
  f.random.SetFallback(0.5);
  f.game.SetBoard(Prepared(f.game.board()));
  f.Change([](Board& b) {
    b.Pegs[2].X = 401.6;
    b.gState = GameState::Idle;
    b.Pegs[1].Selected = false;
  });
  f.platform.cursor = {150, 250};
  f.game.Key(KeyCommand::Next);
  f.game.Key(KeyCommand::Next);
  EXPECT_EQ(f.game.keyCursor(), (KeyCursor{2, true}));
  f.game.MainTick();
  EXPECT_EQ(std::pair(int{f.game.board().MousePosX}, int{f.game.board().MousePosY}), std::pair(402, 200));
  f.platform.cursor = {150, 600};  // over the bottom row's peg 14
  f.game.Mouse(MouseAction::Press, false, {150, 600});
  EXPECT_FALSE(f.game.keyCursor().shown);
  f.game.MainTick();
  EXPECT_EQ(f.game.board().MousePosY, 600);
  f.game.Key(KeyCommand::Down, true);
  EXPECT_EQ(f.game.keyCursor(), (KeyCursor{14, true})) << "shown again on the peg nearest the pointer, not below peg 2";
  f.game.Key(KeyCommand::Press, true);
  EXPECT_EQ(f.game.board().gState, GameState::Idle) << "a held key does not click";
  f.game.PointerMoved();
  f.game.Key(KeyCommand::Press);
  EXPECT_EQ(f.game.keyCursor(), (KeyCursor{14, true}));
  EXPECT_EQ(f.game.board().FirstPeg, 14);
  f.game.Key(KeyCommand::Empty, true);
  EXPECT_EQ(f.game.board().gState, GameState::FirstSelected) << "a held Escape does not click";
}

}  // namespace
}  // namespace brindlet
