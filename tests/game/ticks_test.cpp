// Start-up, the main and effects ticks, presentation and the orderly end.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "support/fakes.h"

namespace brindlet::testing {
namespace {

// A picture in which every pixel differs from its mirror images.
std::array<std::uint8_t, 3> Pattern(std::int32_t x, std::int32_t y) {
  return {static_cast<std::uint8_t>(x * 7 + y), static_cast<std::uint8_t>(y * 3 + 1),
          static_cast<std::uint8_t>((x ^ y) + 5)};
}

void FillPattern(MemorySurface& surface) {
  for (std::int32_t y = 0; y < surface.BitmapHeight(); ++y) {
    for (std::int32_t x = 0; x < surface.BitmapWidth(); ++x) surface.SetPixel(x, y, Pattern(x, y));
  }
}

// Background surface that notes which size it was asked for first.
class WatchedSurface final : public PictureSurface {
 public:
  explicit WatchedSurface(MemorySurface& inner) : inner_(&inner) {}
  mutable std::vector<std::string> queries;

  std::int32_t BitmapWidth() const override {
    queries.push_back("width");
    return inner_->BitmapWidth();
  }
  std::int32_t BitmapHeight() const override {
    queries.push_back("height");
    return inner_->BitmapHeight();
  }
  std::uint8_t* ScanLine(std::int32_t row) override { return inner_->ScanLine(row); }
  void SetStretchMode(int mode) override { inner_->SetStretchMode(mode); }
  bool AutoRedraw() const override { return inner_->AutoRedraw(); }
  void SetPictureFromImage() override { inner_->SetPictureFromImage(); }
  void Refresh() override { inner_->Refresh(); }
  void BitmapChanged() override { inner_->BitmapChanged(); }

 private:
  MemorySurface* inner_;
};

// Forwards to a FakePlatform and notes, at each call start-up makes, how far
// start-up has got.
class StartupWatch final : public Platform {
 public:
  FakePlatform fake;
  WatchedSurface background{fake.pic_bg};
  const Game* game = nullptr;
  const CountingRandom* draws = nullptr;
  std::vector<std::string> log;

  std::string Progress() const {
    return " [image " + std::to_string(game->ImageWidth) + "x" + std::to_string(game->ImageHeight) + ", arrays " +
           std::to_string(game->BackgroundImage.Bytes().size()) + "+" +
           std::to_string(game->FrameImage.Bytes().size()) + ", PegTotal " + std::to_string(game->PegTotal) +
           ", draws " + std::to_string(draws->count()) + "]";
  }

  void LetEventsRun() override { fake.LetEventsRun(); }
  ScreenPoint CursorPos() override { return fake.CursorPos(); }
  ScreenPoint ScreenToClient(WindowHandle w, ScreenPoint p) override { return fake.ScreenToClient(w, p); }
  WindowHandle PicOutputHandle() override { return fake.PicOutputHandle(); }
  PictureSurface& PicBG() override { return background; }
  PictureSurface& PicOutput() override { return fake.PicOutput(); }
  void SizePlayfield(std::int32_t w, std::int32_t h) override {
    log.push_back("size " + std::to_string(w) + "x" + std::to_string(h) + Progress());
  }
  void HidePicBG() override { log.push_back("hide PicBG" + Progress()); }
  bool IsWindowVisible(Window w) override { return fake.IsWindowVisible(w); }
  void ShowWindow(Window w) override {
    log.push_back(std::string("show ") + FakePlatform::Name(w) + Progress() + " state " +
                  std::to_string(static_cast<int>(game->gState)) + " count " + std::to_string(game->PegCount));
  }
  void HideWindow(Window w) override { log.push_back(std::string("hide ") + FakePlatform::Name(w)); }
  void CloseWindow(Window w) override { log.push_back(std::string("close ") + FakePlatform::Name(w)); }
  void SetTimerEnabled(Timer t, bool) override { log.push_back(std::string("timer ") + FakePlatform::Name(t)); }
  void EndProgram() override { log.push_back("end"); }
  void SetDebugStateCaption(std::string_view) override {}
  void SetDebugPegText(std::string_view) override {}
};

TEST(Startup, StepsComeInOrder) {
  StartupWatch platform;
  DefaultRandom program;
  CountingRandom counting(program);
  Game game(platform, counting);
  platform.game = &game;
  platform.draws = &counting;
  game.gState = GameState::Idle;  // start-up must set Startup itself
  game.PegCount = 7;
  game.Startup();

  const std::string arrays = std::to_string(3080 * 771);
  const std::vector<std::string> expected = {
      "size 1026x770 [image 1026x770, arrays 0+0, PegTotal 0, draws 0]",
      "hide PicBG [image 1026x770, arrays " + arrays + "+" + arrays + ", PegTotal 0, draws 0]",
      "show Debug [image 1026x770, arrays " + arrays + "+" + arrays + ", PegTotal 100, draws 600] state 0 count 0",
  };
  EXPECT_EQ(platform.log, expected);
  ASSERT_GE(platform.background.queries.size(), 2u);
  EXPECT_EQ(platform.background.queries[0], "height");
  EXPECT_EQ(platform.background.queries[1], "width");
  EXPECT_EQ(counting.count(), 600);
}

TEST(Startup, ReadsTheBackgroundAndSeedsTheAttractDisplay) {
  GameFixture f;
  const Game& g = f.game;
  EXPECT_EQ(g.ImageWidth, 1026);
  EXPECT_EQ(g.ImageHeight, 770);
  EXPECT_EQ(f.platform.sized_width, 1026);
  EXPECT_EQ(f.platform.sized_height, 770);
  EXPECT_TRUE(f.platform.pic_bg_hidden);
  EXPECT_EQ(g.PegTotal, 100);
  EXPECT_EQ(g.PegCount, 0);
  EXPECT_EQ(g.gState, GameState::Startup);
  EXPECT_TRUE(f.platform.visible[Window::Debug]);
  EXPECT_EQ(f.platform.calls, std::vector<std::string>{"show Debug"});
  EXPECT_EQ(g.ShakeAmplitude, 0.0);
  EXPECT_EQ(g.EffectsCounter, 0.0);
  EXPECT_FALSE(g.Drawer.has_value());

  int linked = 0;
  for (int i = 1; i <= 100; ++i) {
    const Peg& p = g.Pegs[i];
    EXPECT_TRUE(p.X >= 50 && p.X < 976 && p.Y >= 50 && p.Y < 720) << i;
    EXPECT_EQ(p.X, p.TargetX);
    EXPECT_EQ(p.Colour, (DrawColour{50, 50, 50, 250}));
    EXPECT_TRUE(p.LinkTarget >= 1 && p.LinkTarget <= 100);
    if (p.Linked == kTrue) ++linked;
  }
  EXPECT_TRUE(linked > 5 && linked < 40) << linked;
  EXPECT_EQ(g.Pegs[101], Peg{});
}

TEST(Startup, BothArraysHoldTheBackgroundBottomUp) {
  GameFixture f(false);
  FillPattern(f.platform.pic_bg);
  f.random.SetFallback(0.5);
  f.game.Startup();

  const PixelArray& bg = f.game.BackgroundImage;
  ASSERT_EQ(bg.RowBytes(), 3080);
  ASSERT_EQ(bg.Rows(), 771);
  ASSERT_EQ(bg.Bytes().size(), 3080u * 771u);
  EXPECT_TRUE(f.game.FrameImage == bg);
  // Array row 0 is the bottom screen line.
  for (std::int32_t row = 0; row < 770; ++row) {
    for (std::int32_t x = 0; x < 1026; ++x) {
      const auto px = Pattern(x, 769 - row);
      for (int c = 0; c < 3; ++c) ASSERT_EQ(bg(3 * x + c, row), px[c]) << "x " << x << " row " << row;
    }
    ASSERT_EQ(bg(3078, row), 0) << row;
    ASSERT_EQ(bg(3079, row), 0) << row;
  }
  for (std::int32_t b = 0; b < 3080; ++b) ASSERT_EQ(bg(b, 770), 0) << "extra row, byte " << b;
}

// --- Main tick ------------------------------------------------------------

struct CursorCase {
  std::int32_t clientX, clientY;
  std::int16_t storedX, storedY;
};

class MainTickCursor : public ::testing::TestWithParam<CursorCase> {};

TEST_P(MainTickCursor, StoresTheLowSixteenBitsOfTheClientPosition) {
  GameFixture f;
  f.random.SetFallback(0.5);
  f.platform.output_origin = {300, 200};
  f.platform.SetCursorClient(GetParam().clientX, GetParam().clientY);
  f.game.MainTick();
  EXPECT_EQ(f.game.MousePosX, GetParam().storedX);
  EXPECT_EQ(f.game.MousePosY, GetParam().storedY);
}

INSTANTIATE_TEST_SUITE_P(Positions, MainTickCursor,
                         ::testing::Values(CursorCase{10, 20, 10, 20}, CursorCase{1025, 769, 1025, 769},
                                           CursorCase{-5, -300, -5, -300}, CursorCase{70000, 2000, 4464, 2000},
                                           CursorCase{-70000, 40000, -4464, -25536},
                                           CursorCase{65535, 32768, -1, -32768}));

TEST(MouseHelpers, ConvertOnlyForANamedWindowAndSampleAnew) {
  GameFixture f;
  f.platform.output_origin = {300, 200};
  f.platform.cursor = {310, 250};
  EXPECT_EQ(f.game.MouseX(FakePlatform::kPicOutputHandle), 10);
  EXPECT_EQ(f.game.MouseY(FakePlatform::kPicOutputHandle), 50);
  EXPECT_EQ(f.game.MouseX(0), 310);
  EXPECT_EQ(f.game.MouseY(0), 250);
  f.platform.cursor = {100, 90};
  EXPECT_EQ(f.game.MouseY(FakePlatform::kPicOutputHandle), -110);
}

TEST(MainTick, SamplesTheCursorAfterLettingEventsRun) {
  GameFixture f;
  f.random.SetFallback(0.5);
  f.platform.SetCursorClient(1, 1);
  f.platform.on_yield = [&](long n) {
    if (n == 1) f.platform.SetCursorClient(400, 300);
  };
  const long before = f.platform.yields;
  f.game.MainTick();
  EXPECT_GT(f.platform.yields, before);
  EXPECT_EQ(f.game.MousePosX, 400);
  EXPECT_EQ(f.game.MousePosY, 300);
}

// Pegs off the playfield and no links: a tick in Idle draws nothing at all.
void ClearTheField(Game& game) {
  for (int i = 1; i <= game.PegTotal; ++i) {
    Peg& p = game.Pegs[i];
    p.X = p.TargetX = -100;
    p.Y = p.TargetY = -100;
    p.Linked = kFalse;
  }
  game.gState = GameState::Idle;
}

TEST(MainTick, RestoresTheFrameFromTheBackgroundAndPresentsItUpright) {
  GameFixture f(false);
  FillPattern(f.platform.pic_bg);
  f.random.SetFallback(0.5);
  f.game.Startup();
  ClearTheField(f.game);
  std::fill(f.game.FrameImage.Bytes().begin(), f.game.FrameImage.Bytes().end(), std::uint8_t{0xAB});

  f.game.MainTick();
  EXPECT_TRUE(f.game.FrameImage == f.game.BackgroundImage) << "every byte, extra row and padding included";
  EXPECT_TRUE(f.game.Drawer.has_value());
  for (std::int32_t y = 0; y < 770; ++y) {
    for (std::int32_t x = 0; x < 1026; ++x) ASSERT_EQ(f.platform.pic_output.PixelAt(x, y), Pattern(x, y)) << x << "," << y;
  }
  EXPECT_EQ(f.platform.pic_output.stretch_mode(), kStretchColorOnColor);
}

TEST(ReDraw, PresentsTheFrameOnTheOutputAndLetsEventsRunAfter) {
  GameFixture f;
  f.game.FrameImage(0, 0) = 1;  // bottom-left pixel
  f.game.FrameImage(1, 0) = 2;
  f.game.FrameImage(2, 0) = 3;
  f.game.FrameImage(3 * 1025 + 2, 769) = 9;  // red of the top-right pixel
  bool shown_before_events = false;
  f.platform.on_yield = [&](long) {
    shown_before_events = f.platform.pic_output.PixelAt(0, 769) == std::array<std::uint8_t, 3>{1, 2, 3};
  };
  const long yields = f.platform.yields;
  f.game.ReDraw();
  EXPECT_EQ(f.platform.yields - yields, 1);
  EXPECT_TRUE(shown_before_events);
  EXPECT_EQ(f.platform.pic_output.PixelAt(1025, 0), (std::array<std::uint8_t, 3>{0, 0, 9}));
  EXPECT_EQ(f.platform.pic_output.PixelAt(0, 0), (std::array<std::uint8_t, 3>{0, 0, 0}));
  ASSERT_TRUE(f.game.Drawer.has_value());

  f.game.FrameImage(0, 0) = 77;
  f.game.DisplayTick();
  EXPECT_EQ(f.platform.pic_output.PixelAt(0, 769)[0], 77);
}

// The tick's last draw is the one that may send the pegs to new places; a
// tick without it shows how many draws come before it.
long DrawsOfOneTick(GameFixture& f) {
  f.random.SetFallback(0.5);
  const long before = f.random.taken();
  f.game.MainTick();
  return f.random.taken() - before;
}

struct RandomizeCase {
  double draw;
  bool moves;
};

class MainTickRandomize : public ::testing::TestWithParam<RandomizeCase> {};

TEST_P(MainTickRandomize, OnlyADrawAbove99HundredthsMovesThePegs) {
  GameFixture f;
  const long n = DrawsOfOneTick(f);
  const PegTable before = f.game.Pegs;
  f.random.ClearFallback();
  f.random.PushRepeated(0.5, static_cast<int>(n - 1));
  f.random.Push(GetParam().draw);
  for (int i = 0; i < 100; ++i) f.random.Push({0.25, 0.75});
  f.game.MainTick();
  for (int i = 1; i <= 100; ++i) {
    const Peg& p = f.game.Pegs[i];
    if (GetParam().moves) {
      ASSERT_EQ(p.TargetX, 256.75) << i;
      ASSERT_EQ(p.TargetY, 577.75) << i;
    } else {
      ASSERT_EQ(p.TargetX, before[i].TargetX) << i;
      ASSERT_EQ(p.TargetY, before[i].TargetY) << i;
    }
  }
  EXPECT_EQ(f.random.remaining(), GetParam().moves ? 0u : 200u);
}

INSTANTIATE_TEST_SUITE_P(Draws, MainTickRandomize,
                         ::testing::Values(RandomizeCase{0.5, false}, RandomizeCase{0.99, false},
                                           RandomizeCase{std::nextafter(0.99, 1.0), true},
                                           RandomizeCase{0.995, true}));

TEST(MainTick, SendsPegsToNewPlacesOnlyInStartup) {
  for (GameState state : {GameState::Startup, GameState::Init, GameState::Idle, GameState::FirstSelected}) {
    GameFixture f;
    f.game.gState = state;
    f.random.SetFallback(0.999);
    const double before = f.game.Pegs[1].TargetX;
    f.game.MainTick();
    if (state == GameState::Startup) {
      EXPECT_NEAR(f.game.Pegs[1].TargetX, 0.999 * 1026 + 0.25, 1e-9);
    } else {
      EXPECT_EQ(f.game.Pegs[1].TargetX, before) << static_cast<int>(state);
    }
  }
}

// --- Effects tick -----------------------------------------------------------

TEST(EffectsTick, CreatesOnePegPerTickInIndexOrderThenGoesIdle) {
  GameFixture f;
  f.random.SetFallback(0.5);
  f.game.FirstPeg = 3;
  f.game.SecondPeg = 8;
  f.game.InitGame();
  for (int i = 1; i <= 100; ++i) f.game.Pegs[i].TargetX = -1;
  const PegTable before = f.game.Pegs;

  for (int k = 1; k <= 100; ++k) {
    f.game.EffectsTick();
    ASSERT_EQ(f.game.PegCount, k);
    ASSERT_EQ(f.random.taken(), 8 * k) << "one InitPeg per tick";
    ASSERT_EQ(f.game.Pegs[k].TargetX, 513.0) << k;
    ASSERT_EQ(f.game.gState, GameState::Init) << "tick " << k;
    if (k < 100) {
      ASSERT_EQ(f.game.Pegs[k + 1], before[k + 1]) << "peg " << k + 1 << " not yet re-created";
    }
  }
  EXPECT_EQ(f.game.FirstPeg, 3);
  EXPECT_EQ(f.game.SecondPeg, 8);
  f.game.EffectsTick();
  EXPECT_EQ(f.game.gState, GameState::Idle);
  EXPECT_EQ(f.game.PegCount, 100);
  EXPECT_EQ(f.random.taken(), 800);
  f.game.EffectsTick();
  EXPECT_EQ(f.game.gState, GameState::Idle);
  EXPECT_EQ(f.random.taken(), 800);
}

TEST(EffectsTick, CreatesNothingInStartup) {
  GameFixture f;  // no draws scripted: any creation would throw
  const PegTable before = f.game.Pegs;
  for (int i = 0; i < 300; ++i) f.game.EffectsTick();
  EXPECT_EQ(f.game.PegCount, 0);
  EXPECT_EQ(f.game.gState, GameState::Startup);
  for (int i = 1; i <= 100; ++i) ASSERT_EQ(f.game.Pegs[i], before[i]) << i;
  EXPECT_EQ(f.random.taken(), 0);
}

TEST(EffectsTick, CounterRunsACycleOf101Ticks) {
  GameFixture f;
  for (int k = 1; k <= 303; ++k) {
    f.game.EffectsTick();
    ASSERT_EQ(f.game.EffectsCounter, static_cast<double>(k % 101)) << "tick " << k;
  }
  f.game.EffectsCounter = 99.5;
  f.game.EffectsTick();
  EXPECT_EQ(f.game.EffectsCounter, 0.0);
}

TEST(EffectsTick, ShakesOnlyWhileTheAmplitudeIsAboveOne) {
  struct Case {
    double amplitude;
    long draws;
    double after;
  };
  for (const Case& c : {Case{0.0, 0, 0.0}, Case{1.0, 0, 1.0}, Case{0.5, 0, 0.5},
                        Case{std::nextafter(1.0, 2.0), 200, std::nextafter(1.0, 2.0) * 0.9}, Case{50.0, 200, 45.0}}) {
    GameFixture f;
    f.random.SetFallback(0.5);
    f.game.ShakeAmplitude = c.amplitude;
    f.game.EffectsTick();
    EXPECT_EQ(f.random.taken(), c.draws) << c.amplitude;
    EXPECT_EQ(f.game.ShakeAmplitude, c.after) << c.amplitude;
    EXPECT_EQ(f.game.EffectsCounter, 1.0);
  }
}

TEST(EffectsTick, ClickDuringInitEndsItEarlyAndCreationGoesOn) {
  GameFixture f;
  f.random.SetFallback(0.5);
  f.game.InitGame();
  for (int k = 0; k < 5; ++k) f.game.EffectsTick();
  f.game.MousePosX = 30000;  // far from every peg
  f.game.MousePosY = 30000;
  f.game.Click();
  ASSERT_EQ(f.game.gState, GameState::Idle);
  for (int k = 6; k <= 100; ++k) {
    f.game.EffectsTick();
    ASSERT_EQ(f.game.PegCount, k);
    ASSERT_EQ(f.game.gState, GameState::Idle);
  }
  const long draws = f.random.taken();
  for (int k = 0; k < 5; ++k) f.game.EffectsTick();
  EXPECT_EQ(f.game.gState, GameState::Idle);
  EXPECT_EQ(f.game.PegCount, 100);
  EXPECT_EQ(f.random.taken(), draws);
}

TEST(EffectsTick, OnlyInitTurnsIdleOnceAllPegsExist) {
  for (GameState state : {GameState::FirstSelected, GameState::SecondSelected, GameState::CheckingLink}) {
    GameFixture f;
    f.random.SetFallback(0.5);
    f.game.gState = state;
    f.game.PegCount = 98;
    for (int k = 0; k < 4; ++k) f.game.EffectsTick();
    EXPECT_EQ(f.game.PegCount, 100);
    EXPECT_EQ(f.random.taken(), 16);
    EXPECT_EQ(f.game.gState, state);
  }
}

TEST(Die, StopsTimersClosesWindowsAndEnds) {
  GameFixture f;
  f.platform.calls.clear();
  f.game.Die();
  const std::vector<std::string> expected = {"timer Display off", "timer MainLoop off", "timer Debug off",
                                             "timer Effects off", "close Controls",     "close Debug",
                                             "close Main",        "end"};
  EXPECT_EQ(f.platform.calls, expected);
  EXPECT_TRUE(f.platform.ended);
  for (const auto& [timer, on] : f.platform.timers) EXPECT_FALSE(on) << FakePlatform::Name(timer);
}

}  // namespace
}  // namespace brindlet::testing
