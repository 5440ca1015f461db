// Scene drawing: link beams and their animation, the hover glow, the pegs
// with their rings, the start-up glow ring, the random draws a frame takes,
// and what a click handled at one of the drawing procedures' yields changes.
// Beams and rings are compared with frames composed from the primitives
// (checked on their own); pegs are judged by where and in what colour their
// pixels change, and whole frames by the reference frame test.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>
#include <numeric>
#include <set>
#include <utility>
#include <vector>

#include "game/procedures.h"
#include "pixel_checks.h"
#include "render/numeric.h"
#include "support/game_fixture.h"

namespace brindlet::testing {
namespace {

Peg PegAt(double x, double y, DrawColour colour = {230, 20, 30, 240}) {
  Peg p;
  p.X = p.TargetX = x;
  p.Y = p.TargetY = y;
  p.Colour = colour;
  return p;
}

// An uneven but reproducible run of draws in [0, 1), pushed onto `random`.
std::vector<double> PushDraws(ScriptedRandom& random, int count, double seed) {
  std::vector<double> out;
  for (int k = 0; k < count; ++k) {
    out.push_back(seed + 0.6180339887498949 * k - std::floor(seed + 0.6180339887498949 * k));
    random.Push({out.back()});
  }
  return out;
}

// A board holding just the given pegs (1..n), drawn into a 400 x 300 frame
// over an uneven background; events run on the headless platform.
struct Scene {
  HeadlessPlatform platform{1, 1};
  ScriptedRandom random;
  const Field field{400, 300};
  Board board;
  PixelArray background{400, 300};
  PixelArray frame;

  explicit Scene(const std::vector<Peg>& pegs = {}) {
    for (std::size_t i = 0; i < pegs.size(); ++i) board.Pegs[static_cast<int>(i) + 1] = pegs[i];
    board.PegTotal = static_cast<std::int16_t>(pegs.size());
    FillPattern(background);
    frame = background;
  }
  Context context() { return {field, platform, random}; }
};

// ------------------------------------------------------------ link beams

constexpr DrawColour kBeamColour{200, 33, 40, 220};

// Peg 1 linked to peg 2, with the effects counter (the beam's phase) at 37.
struct BeamScene : Scene {
  BeamScene() : Scene({PegAt(100.5, 100.5, kBeamColour), PegAt(300.5, 100.5)}) {
    board.Pegs[1].Linked = board.Pegs[1].Master = board.Pegs[2].Linked = true;
    board.Pegs[1].LinkTarget = 2;
    board.EffectsCounter = 37;
  }
  void Tick() { DrawLinks(board, context(), frame); }
  // The frame one beam of the link drawn at highlight `percent` leaves.
  PixelArray FrameWithBeamAt(double percent) {
    PixelArray expected = background;
    PlotBeam(expected, field, platform, 100.5, 100.5, 300.5, 100.5, kBeamColour, percent, 37);
    return expected;
  }
};

TEST(DrawLinks, OneTickOfTheHighlightBouncesBetweenOneAndNinetyNine) {
  const struct {
    double timer, step;          // on entry
    double drawnAt, storedStep;  // highlight used and step stored
  } cases[] = {{0.5, 0, 11, 10},                     // step 0 -> 1, then below 1: back to 1, +10
               {150, -3, 89, -10},                   // set from outside: back to 99, -10
               {99.5, 1.5, 89, -10},                 // passed 99
               {0.5, -1.5, 11, 10},                  // fell below 1
               {50, 0, 51, 1},                       // a fresh link creeps at 1
               {50, 1.5, 51.5, 1.5},                 // |step| <= 2 is kept
               {50, 2, 52, 2},                       //   including 2 itself
               {50, 10, 50 + 10 / 1.11, 10 / 1.11},  // damped
               {50, -10, 50 - 10 / 1.11, -10 / 1.11},
               {99, 1.9, 100.9, 1.9},                // 99 is not past 99
               {1, -1.9, -0.9, -1.9}};               // 1 is not below 1
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "timer " << c.timer << ", step " << c.step);
    BeamScene s;
    s.board.Pegs[1].LinkEffectTimer = c.timer;
    s.board.Pegs[1].LinkEffectStep = c.step;
    const Board before = s.board;
    s.Tick();
    EXPECT_DOUBLE_EQ(s.board.Pegs[1].LinkEffectTimer, c.drawnAt);
    EXPECT_DOUBLE_EQ(s.board.Pegs[1].LinkEffectStep, c.storedStep);
    EXPECT_EQ(FirstDifference(s.frame, s.FrameWithBeamAt(c.drawnAt)), "");
    EXPECT_EQ(s.random.taken(), 0);
    // Nothing else of the board changes: places and colours stay.
    s.board.Pegs[1].LinkEffectTimer = c.timer;
    s.board.Pegs[1].LinkEffectStep = c.step;
    EXPECT_TRUE(s.board == before);
  }
}

TEST(DrawLinks, DrawsOnlyFromPegsThatAreLinkedAndMaster) {
  for (const auto& [linked, master] : {std::pair{false, false}, {false, true}, {true, false}, {true, true}}) {
    BeamScene s;
    s.board.Pegs[1].Linked = linked;
    s.board.Pegs[1].Master = master;
    s.board.Pegs[1].LinkEffectTimer = 40;
    s.board.Pegs[1].LinkEffectStep = 1.5;
    s.Tick();
    const bool drawn = linked && master;
    EXPECT_EQ(FirstDifference(s.frame, drawn ? s.FrameWithBeamAt(41.5) : s.background), "")
        << "linked " << linked << ", master " << master;
    EXPECT_EQ(s.board.Pegs[1].LinkEffectTimer, drawn ? 41.5 : 40);
  }
}

// ------------------------------------------------------------ hover glow

// The cursor at (200, 300); the glow measures from it plus 0.01 on each axis.
constexpr double kCursorX = 200 + 0.01, kCursorY = 300 + 0.01;

struct GlowScene : Scene {
  explicit GlowScene(const std::vector<Peg>& pegs) : Scene(pegs) {
    board.MousePosX = 200;
    board.MousePosY = 300;
  }
  void Tick() { UpdateHoverGlow(board, platform); }
};

TEST(UpdateHoverGlow, OneTickDecaysEveryGlowAndRaisesTheNearestWithin63Pixels) {
  // Decay divides by 1.1 and rounds, so it stops at 5: 255 -> 231.8 -> 232;
  // 6 -> 5.45 -> 5; 5 -> 4.55 -> 5 again. At 55 px: v = 63 - 55 = 8, the
  // glow rises by ((v / 4)^2 - g) / 1.5: 0 + 4 / 1.5 = 2.67 -> 3. From 63 px
  // on v <= 0 and a glow is never below 4v, so it only decays.
  const struct { double distance; std::int32_t before, after; } cases[] = {
      {400, 255, 232}, {400, 100, 91}, {400, 11, 10}, {400, 6, 5},    {400, 5, 5},  {400, 4, 4}, {400, 1, 1},
      {400, 0, 0},     {55, 0, 3},     {63.5, 0, 0}, {63.5, 40, 36}, {64, 0, 0},
      {23, 150, 136}};  // above (v / 4)^2 but below 4v: it only decays
  for (const auto& c : cases) {
    GlowScene g({PegAt(kCursorX + c.distance, kCursorY), PegAt(900, 700)});
    g.board.Pegs[1].Glow = c.before;
    g.Tick();
    EXPECT_EQ(g.board.Pegs[1].Glow, c.after) << "at " << c.distance << " px from " << c.before;
  }
}

TEST(UpdateHoverGlow, OnlyTheNearestPegRisesAndTiesGoToTheLowerIndex) {
  // 8 px each way is an exact tie: the lower index wins whichever side it is on.
  const struct {
    double offset2, offset3;  // x of pegs 2 and 3 from the cursor point
    int risen;
  } cases[] = {{-8, 8, 2}, {8, -8, 2}, {8, 5, 3}, {-5, 8, 2}};
  for (const auto& c : cases) {
    GlowScene g({PegAt(900, 700), PegAt(kCursorX + c.offset2, kCursorY), PegAt(kCursorX + c.offset3, kCursorY)});
    g.Tick();
    for (int i = 1; i <= 3; ++i) {
      EXPECT_EQ(g.board.Pegs[i].Glow > 0, i == c.risen) << "peg " << i << ", offsets " << c.offset2 << " " << c.offset3;
    }
  }
}

TEST(UpdateHoverGlow, WithoutANearestPegEveryGlowKeepsItsDecayedValue) {
  // No peg nearer than 31337 px: nothing rises and nothing breaks.
  GlowScene far({PegAt(40000, 300), PegAt(40000, 900)});
  far.board.Pegs[1].Glow = 100;
  far.board.Pegs[2].Glow = 6;
  far.Tick();
  EXPECT_EQ(far.board.Pegs[1].Glow, 91);
  EXPECT_EQ(far.board.Pegs[2].Glow, 5);
  // No peg in play at all: the records beyond PegTotal are not touched.
  GlowScene none({});
  none.board.Pegs[1].Glow = 100;
  none.Tick();
  EXPECT_EQ(none.board.Pegs[1].Glow, 100);
}

// ------------------------------------------------------------ pegs

// Each pixel where `after` differs from `before`: its new colour and its centre
// on the playfield (pixel c of row t, array row height - t, at c + 0.5, t + 0.5).
struct Changed { double x, y; int r, g, b; };
std::vector<Changed> Changes(const PixelArray& after, const PixelArray& before) {
  std::vector<Changed> out;
  for (int row = 0; row < after.Rows(); ++row) {
    for (int c = 0; c < after.Width(); ++c) {
      const std::uint8_t *p = after.Row(row) + 3 * c, *q = before.Row(row) + 3 * c;
      if (!std::equal(p, p + 3, q)) out.push_back({c + 0.5, after.Height() - row + 0.5, p[2], p[1], p[0]});
    }
  }
  return out;
}

// A dot changes pixels whose centres lie within 2 px of it (a dot exactly on a
// whole coordinate acts 1 px further on, which the odd places below make rare).
constexpr double kDotSpread = 2;

std::vector<Peg> MixedPegs() {
  std::vector<Peg> pegs = {
      PegAt(100.3, 120.7, {230, 20, 30, 240}),  // plain
      PegAt(160.6, 110.2, {10, 40, 220, 250}),  // glowing
      PegAt(220.1, 140.9, {240, 5, 12, 235}),   // linked, master
      PegAt(300.8, 150.4, {250, 30, 44, 231}),  // linked
      PegAt(140.5, 200.5, {8, 50, 210, 245}),   // selected, master, glow 6: a ring
      PegAt(260.2, 210.8, {20, 9, 255, 255}),   // selected
      PegAt(330.4, 90.1, {201, 55, 0, 230}),    // glow 5: no ring
  };
  pegs[1].Glow = 120;
  pegs[2].Linked = pegs[2].Master = pegs[3].Linked = true;
  pegs[2].LinkTarget = 4;
  pegs[4].Selected = pegs[4].Master = pegs[5].Selected = true;
  pegs[4].Glow = 6;
  pegs[6].Glow = 5;
  return pegs;
}

TEST(DrawPegs, ChangesPixelsOnlyNearEachPegAndInItsColour) {
  // Dots land up to 1 px each way from a peg for its body, 2.5 px for its glow
  // and link rings, 6.5 px round a point up to 2 px each way for its selection
  // rings. Over black a pixel keeps its peg's strongest channel strongest
  // (but for the white or green selection rings).
  for (bool black : {false, true}) {
    Scene s(MixedPegs());
    if (black) Fill(s.background, 0);
    s.frame = s.background;
    const Board before = s.board;
    PushDraws(s.random, 7 * 21 + 2 * 20, 0.137);  // 21 draws a peg, 20 more if selected
    DrawPegs(s.board, s.context(), s.frame);
    EXPECT_EQ(s.random.remaining(), 0u);
    EXPECT_TRUE(s.board == before) << "drawing works on copies of the colours";
    const std::vector<Changed> changed = Changes(s.frame, s.background);
    EXPECT_GT(changed.size(), 7u * 9);
    for (const Changed& c : changed) {
      const auto far = [&](int i) { return std::hypot(c.x - before.Pegs[i].X, c.y - before.Pegs[i].Y); };
      int n = 1;  // the nearest peg
      for (int i = 2; i <= 7; ++i) n = far(i) < far(n) ? i : n;
      const Peg& p = before.Pegs[n];
      const double reach = p.Selected ? 2 * std::sqrt(2.0) + 6.5 : p.Glow > 5 || p.Linked ? 2.5 : std::sqrt(2.0);
      ASSERT_LE(far(n), reach + kDotSpread) << "pixel " << c.x << ", " << c.y << " of peg " << n;
      const bool red = p.Colour.Red > p.Colour.Blue;
      if (black && !p.Selected) {
        ASSERT_GT(red ? c.r : c.b, std::max(c.g, red ? c.b : c.r)) << c.x << ", " << c.y;
      }
    }
  }
}

TEST(DrawPegs, GlowRingShowsAboveFiveAndLinkRingsWhenLinkedWithoutDrawsOfTheirOwn) {
  const auto ink = [](std::int32_t glow, bool linked) {  // what one peg leaves on black
    Scene s({PegAt(200.37, 150.71)});
    Fill(s.frame, 0);
    s.board.Pegs[1].Glow = glow;
    s.board.Pegs[1].Linked = linked;
    PushDraws(s.random, 21, 0.3);
    DrawPegs(s.board, s.context(), s.frame);
    EXPECT_EQ(s.random.remaining(), 0u) << "glow " << glow << ", linked " << linked;
    return std::accumulate(s.frame.Bytes().begin(), s.frame.Bytes().end(), 0L);
  };
  EXPECT_EQ(ink(5, false), ink(0, false));
  EXPECT_LT(ink(5, false), ink(6, false));
  EXPECT_LT(ink(6, false), ink(255, false));
  EXPECT_LT(ink(0, false), ink(0, true));
}

TEST(DrawPegs, ALaterPegCoversAnEarlierOneWhereTheyOverlap) {
  const DrawColour red{230, 20, 30, 240}, blue{10, 40, 220, 250};
  for (bool redFirst : {true, false}) {
    Scene s({PegAt(200.5, 150.5, redFirst ? red : blue), PegAt(200.5, 150.5, redFirst ? blue : red)});
    s.random.SetFallback(0.5);  // every body dot on the peg's place
    DrawPegs(s.board, s.context(), s.frame);
    const std::uint8_t* centre = s.frame.Row(s.frame.Height() - 150) + 3 * 200;  // blue, green, red
    EXPECT_EQ(centre[0] > centre[2], redFirst) << "red first " << redFirst;
  }
}

TEST(DrawPegs, BodyDotAlphaFallsWithTheJitterAndRoundsHalfToEven) {
  // Alpha 254 * 0.75 = 190.5, divided by |jx + jy| / 2 + 1. The peg sits at
  // x = 1.9, so the other nine dots, drawn with jitter -1, fall off the left
  // edge and the first dot is seen alone.
  const struct {
    double ux, uy;  // the first dot's draws: jx = 2ux - 1, jy = 2uy - 1
    std::int16_t alpha;
  } cases[] = {{0.5, 0.5, 190},    // 190.5 / 1 -> 190 (even)
               {0.75, 0.75, 127},  // 190.5 / 1.5
               {0.5, 0.0, 127},    // |0 - 1| / 2 + 1 = 1.5
               {0.75, 0.25, 190},  // +0.5 - 0.5: the sum, not the sizes
               {0.9, 0.9, 106}};   // 190.5 / 1.8 = 105.83
  for (const auto& c : cases) {
    Scene s({PegAt(1.9, 100.5, {255, 40, 0, 254})});
    s.random.Push({c.ux, c.uy});
    s.random.PushRepeated(0.0, 18);
    s.random.Push({0.5});
    DrawPegs(s.board, s.context(), s.frame);
    EXPECT_EQ(s.random.remaining(), 0u);
    for (std::int16_t alpha : {c.alpha, static_cast<std::int16_t>(c.alpha + 1)}) {
      PixelArray oneDot = s.background;
      PlotSoftPoint(oneDot, s.field, 1.9 + (2 * c.ux - 1), 100.5 + (2 * c.uy - 1), DrawColour{255, 40, 0, alpha});
      EXPECT_EQ(FirstDifference(s.frame, oneDot).empty(), alpha == c.alpha)
          << "draws " << c.ux << " " << c.uy << ", alpha " << alpha;
    }
  }
}

TEST(DrawPegs, SelectionRingsOfAMasterFlickerWhiteOthersGreen) {
  for (bool master : {false, true}) {
    Scene s({PegAt(200.5, 200.5, {240, 10, 10, 0})});  // invisible body, no glow, unlinked
    s.board.Pegs[1].Selected = true;
    s.board.Pegs[1].Master = master;
    Fill(s.frame, 0);
    PushDraws(s.random, 41, 0.71);
    DrawPegs(s.board, s.context(), s.frame);
    int lit = 0;
    for (int row = 0; row < s.frame.Rows(); ++row) {
      for (int x = 0; x < s.frame.Width(); ++x) {
        const int b = s.frame(3 * x, row), g = s.frame(3 * x + 1, row), r = s.frame(3 * x + 2, row);
        if (r == 0 && g == 0 && b == 0) continue;
        ++lit;
        ASSERT_TRUE(master ? r == g && g == b : r == 0 && b == 0 && g > 0)
            << (master ? "master" : "other") << " pixel " << x << ", row " << row << ": " << r << " " << g << " " << b;
      }
    }
    EXPECT_GT(lit, 50);
  }
}

TEST(DrawSelectionRings, FiveRingsOfRadiusFiveToSixAndAHalfRoundAPointNearThePeg) {
  // With every draw u the five rings coincide: radius 5 + 1.5u round the
  // point 3u - 2 px from the peg on each axis; 20 draws in all.
  for (double u : {0.1, 0.9}) {
    Scene s({PegAt(90, 90), PegAt(300.37, 200.71)});
    s.random.PushRepeated(u, 20);
    DrawSelectionRings(s.board, s.context(), s.frame, 2);
    EXPECT_EQ(s.random.remaining(), 0u);
    const double cx = 300.37 - 2 + 3 * u, cy = 200.71 - 2 + 3 * u, radius = 5 + 1.5 * u;
    const std::vector<Changed> changed = Changes(s.frame, s.background);
    EXPECT_GT(changed.size(), 2 * radius * 3.14) << "about a dot per pixel of circumference";
    for (const Changed& c : changed) {
      EXPECT_NEAR(std::hypot(c.x - cx, c.y - cy), radius, kDotSpread) << "u " << u << ": " << c.x << ", " << c.y;
    }
  }
}

TEST(DrawGlowRing, AMainTickDrawsItAtTheCentreOnlyInStartup) {
  GameFixture f;
  f.Change([](Board& b) {
    b.Pegs = PegTable{};
    b.PegTotal = 0;
  });
  ASSERT_EQ(f.game.board().gState, GameState::Startup);
  const long startupDraws = f.random.taken();
  const std::vector<double> ring = PushDraws(f.random, 15, 0.42);
  f.random.Push({0.25});  // the move-everything draw: 25 is not above 99
  f.game.MainTick();
  EXPECT_EQ(f.random.remaining(), 0u);
  // Five rings: centre (1026 / 2, 770 / 2) = (513, 385) jittered by 3u - 3,
  // radius 40 + 1.5u, colour (255, 120, 21, 50), draws in the order x, y, r.
  PixelArray expected = f.game.BackgroundImage();
  HeadlessPlatform events(1, 1);
  for (int k = 0; k < 5; ++k) {
    PlotCircle(expected, f.game.field(), events, 513 - 3 + 3 * ring[3 * k], 385 - 3 + 3 * ring[3 * k + 1],
               40 + 1.5 * ring[3 * k + 2], DrawColour{255, 120, 21, 50});
  }
  EXPECT_EQ(FirstDifference(f.game.FrameImage(), expected), "");

  for (GameState state : {GameState::Init, GameState::Idle, GameState::FirstSelected, GameState::SecondSelected,
                          GameState::CheckingLink}) {
    f.Change([state](Board& b) { b.gState = state; });
    f.game.MainTick();  // any draw would throw: nothing is scripted
    EXPECT_EQ(FirstDifference(f.game.FrameImage(), f.game.BackgroundImage()), "")
        << "state " << static_cast<int>(state);
  }
  EXPECT_EQ(f.random.taken() - startupDraws, 16);
}

// ------------------------------------------------------------ events

TEST(SceneProcedures, LetEventsRunBeforeDoingAnything) {
  const std::pair<const char*, std::function<void(Scene&)>> procedures[] = {
      {"DrawLinks", [](Scene& s) { DrawLinks(s.board, s.context(), s.frame); }},
      {"UpdateHoverGlow", [](Scene& s) { UpdateHoverGlow(s.board, s.platform); }},
      {"DrawPegs", [](Scene& s) { DrawPegs(s.board, s.context(), s.frame); }},
      {"DrawSelectionRings", [](Scene& s) { DrawSelectionRings(s.board, s.context(), s.frame, 5); }},
      {"DrawGlowRing", [](Scene& s) { DrawGlowRing(s.context(), s.frame, 150, 150, 40, kGlowRingColour); }}};
  for (const auto& [name, run] : procedures) {
    SCOPED_TRACE(name);
    std::vector<Peg> pegs = MixedPegs();
    pegs[0] = PegAt(200, 300);  // under the cursor
    Scene s(pegs);
    s.board.MousePosX = 200;
    s.board.MousePosY = 300;
    s.random.SetFallback(0.5);
    const Board before = s.board;
    bool untouchedAtFirstYield = false;
    s.platform.at_yield = [&] {
      if (s.platform.yields() > 1) return;
      untouchedAtFirstYield = s.frame == s.background && s.board == before && s.random.taken() == 0;
    };
    run(s);
    EXPECT_TRUE(untouchedAtFirstYield);
    EXPECT_TRUE(s.frame != s.background || !(s.board == before)) << "and then it did its work";
  }
}

// A main tick with a click handled at its yield number `at`. In a tick
// without links the yields run: 1 the tick itself, 2 DrawLinks, 3
// UpdateHoverGlow, 4 NearestPeg, 5 MovePegs, 6 DrawPegs, then peg 1's rings.
struct ClickDuringTick {
  GameFixture f;
  bool clicked = false;
  long draws = 0;  // taken by the tick

  ClickDuringTick(long at, std::int32_t cursorX, bool bothSelected) {
    f.Change([&](Board& b) {
      b.Pegs = PegTable{};
      b.Pegs[1] = PegAt(200, 200);
      b.Pegs[2] = PegAt(400, 200);
      b.PegTotal = 2;
      b.MousePosX = static_cast<std::int16_t>(cursorX);  // as last sampled: a click at yield 1 reads it
      b.MousePosY = 200;
      b.gState = bothSelected ? GameState::SecondSelected : GameState::Idle;
      b.FirstPeg = bothSelected ? 1 : 0;
      b.SecondPeg = bothSelected ? 2 : 0;
      b.Pegs[1].Selected = b.Pegs[2].Selected = bothSelected;
    });
    f.platform.cursor = {cursorX, 200};
    f.random.SetFallback(0.5);
    const long start = f.platform.yields();
    f.platform.at_yield = [this, at, start] {
      if (f.platform.yields() - start != at || clicked) return;
      clicked = true;
      f.game.Click();
    };
    const long startupDraws = f.random.taken();
    f.game.MainTick();
    draws = f.random.taken() - startupDraws;
  }
};

TEST(ClickDuringATick, LaterProceduresOfTheTickSeeANewSelection) {
  // Two pegs take 42 draws, 62 when DrawPegs sees peg 1 selected; yield 7
  // is peg 1's glow ring, when DrawPegs has passed its selection already.
  const std::pair<long, long> cases[] = {{1, 62}, {2, 62}, {3, 62}, {4, 62}, {5, 62}, {6, 62}, {7, 42}};
  for (const auto& [at, draws] : cases) {
    ClickDuringTick k(at, 200, false);
    ASSERT_TRUE(k.clicked) << "yield " << at;
    EXPECT_EQ(k.f.game.board().gState, GameState::FirstSelected) << "yield " << at;
    EXPECT_TRUE(k.f.game.board().Pegs[1].Selected) << "yield " << at;
    EXPECT_EQ(k.draws, draws) << "yield " << at;
  }
}

TEST(ClickDuringATick, ALinkIsDrawnByTheProceduresAfterTheClick) {
  // Pegs 1 and 2 selected; the click on peg 2 confirms the pair. A link made
  // before DrawLinks runs gets its first beam this tick (timer 0 -> 11); made
  // later, it waits for the next tick. Either way DrawPegs sees two linked,
  // unselected pegs: 21 draws each and no selection rings.
  const std::pair<long, double> cases[] = {{1, 11}, {2, 11}, {3, 0}, {5, 0}, {6, 0}};
  for (const auto& [at, timer] : cases) {
    ClickDuringTick k(at, 400, true);
    const Board& b = k.f.game.board();
    ASSERT_TRUE(k.clicked) << "yield " << at;
    ASSERT_TRUE(b.Pegs[1].Linked && b.Pegs[1].Master) << "yield " << at;
    EXPECT_EQ(b.Pegs[1].LinkEffectTimer, timer) << "yield " << at;
    EXPECT_EQ(k.draws, 42) << "yield " << at;
  }
  // Without the click both selections are drawn.
  ClickDuringTick none(1000000, 400, true);
  EXPECT_FALSE(none.clicked);
  EXPECT_EQ(none.draws, 82);
}

// ------------------------------------------------------------ the shapes look

Context InShapes(Scene& s) { return {s.field, s.platform, s.random, Look::Shapes}; }

TEST(ShapesLook, PairsEvery24thDotOfASecondFamilyBeamAndShowsNoFamiliesInTheAttractDisplay) {
  // The beam of BeamScene has 50 dots, 4 px apart from 1.48 px past peg 1 on
  // (phase 37); the twins of dots 12 and 36 lie 3 px to the beam's side.
  for (const GameState state : {GameState::Idle, GameState::Startup}) {
    for (const std::int16_t kind : {0, 1}) {
      BeamScene colours, shapes;
      for (BeamScene* s : {&colours, &shapes}) s->board.gState = state, s->board.Pegs[1].Kind = kind;
      DrawLinks(shapes.board, InShapes(shapes), shapes.frame);
      colours.Tick();
      std::set<long> twins;  // the dots whose twins changed each pixel
      for (const Changed& c : Changes(shapes.frame, colours.frame)) {
        EXPECT_NEAR(c.y, 103.5, 1) << c.x;  // the rows of a dot at 103.5
        twins.insert(std::lround((c.x - 100.5) / 4 + 0.63));
      }
      EXPECT_EQ(twins, (kind == 1 && state == GameState::Idle ? std::set<long>{12, 36} : std::set<long>{}))
          << "kind " << kind << ", state " << static_cast<int>(state);
    }
  }
  // A peg of the second family has its bars in a game, not in the attract display.
  for (const GameState state : {GameState::Idle, GameState::Startup}) {
    Scene colours({PegAt(200.3, 150.6)}), shapes({PegAt(200.3, 150.6)});
    for (Scene* s : {&colours, &shapes}) s->board.gState = state, s->board.Pegs[1].Kind = 1, s->random.SetFallback(0.4);
    DrawPegs(colours.board, colours.context(), colours.frame);
    DrawPegs(shapes.board, InShapes(shapes), shapes.frame);
    EXPECT_EQ(Changes(shapes.frame, colours.frame).empty(), state == GameState::Startup);
  }
  // A selected peg's mark is an unbroken circle 9.5 px round it: no pixel it
  // crosses is changed by less than 70 % of the most changed one.
  Scene colours({PegAt(200.3, 150.6)}), shapes({PegAt(200.3, 150.6)});
  for (Scene* s : {&colours, &shapes}) {
    s->board.gState = GameState::Idle, s->board.Pegs[1].Selected = true, Fill(s->frame, 0), s->random.SetFallback(0.4);
  }
  DrawPegs(colours.board, colours.context(), colours.frame);
  DrawPegs(shapes.board, InShapes(shapes), shapes.frame);
  std::vector<int> along;
  for (int degree = 0; degree < 360; ++degree) {
    const double a = degree * std::numbers::pi / 180;
    const int x = static_cast<int>(std::floor(200.3 + 9.5 * std::cos(a)));
    const int row = shapes.frame.Height() - static_cast<int>(std::floor(150.6 + 9.5 * std::sin(a)));
    int change = 0;
    for (int ch = 0; ch < 3; ++ch) change += std::abs(shapes.frame(3 * x + ch, row) - colours.frame(3 * x + ch, row));
    along.push_back(change);
  }
  EXPECT_GE(10 * *std::min_element(along.begin(), along.end()), 7 * *std::max_element(along.begin(), along.end()));
}

}  // namespace
}  // namespace brindlet::testing
