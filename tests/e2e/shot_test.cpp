// The screenshot reading of the end-to-end test, checked headless on frames
// that the game itself renders: what it finds must match the peg table, and
// the links it plans must be accepted or refused by the game as planned.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "game/game.h"
#include "headless/headless_platform.h"
#include "shot.h"

namespace brindlet::e2e {
namespace {

// A started-up game on the headless platform with the program's own random
// source, the cursor parked far from the playfield.
struct RenderedGame {
  HeadlessPlatform platform;
  DefaultRandom random;
  Game game{platform.Roles(), random};

  RenderedGame() {
    game.Startup();
    platform.cursor = {-5000, -5000};
  }

  // What the playfield shows, as a screenshot of it reads.
  Image Frame() {
    const int w = game.field().width, h = game.field().height;
    Image image(w, h);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        const auto bgr = platform.playfield.PixelAt(x, y);
        image.Set(x, y, {bgr[2], bgr[1], bgr[0]});
      }
    }
    return image;
  }

  void Ticks(int main_ticks) {
    for (int i = 0; i < main_ticks; ++i) game.MainTick();
  }

  // The first click, then the effects ticks that create every peg and enough
  // main ticks for all of them to come to rest.
  void StartAndSettle() {
    platform.cursor = {600, 400};
    game.MainTick();
    game.Click();
    platform.cursor = {-5000, -5000};
    for (int i = 0; i < 110; ++i) {
      game.EffectsTick();
      if (i % 5 != 4) game.MainTick();  // four main ticks to five effects ticks
    }
    Ticks(80);
  }

  // A player's click: the cursor moves, a main tick samples it, then the click.
  void ClickAt(Point p) {
    platform.cursor = {static_cast<std::int32_t>(p.x), static_cast<std::int32_t>(p.y)};
    game.MainTick();
    game.Click();
  }

  // The peg the game holds nearest to a seen position.
  int TruePeg(Point seen) { return NearestPeg(game.board(), platform, seen.x, seen.y).index; }

  const Peg& PegAt(int index) const { return game.board().Pegs[index]; }
  bool Linked(int index) const { return PegAt(index).Linked; }
};

Point PegPoint(const Peg& peg) { return {peg.X, peg.Y}; }

TEST(ShotPegs, AttractDisplayShowsGreyPegsAndTheOrangeRing) {
  RenderedGame g;
  g.Ticks(3);
  const Image frame = g.Frame();
  const std::vector<SeenPeg> grey = FindPegs(frame, {Hue::Grey});
  EXPECT_GE(grey.size(), 85u);
  EXPECT_TRUE(FindPegs(frame, {Hue::Red, Hue::Blue}).empty());
  EXPECT_GE(CentreRingPixels(frame), 150);
  // Every single grey blob sits on a peg of the table.
  int matched = 0, singles = 0;
  for (const SeenPeg& seen : grey) {
    if (!seen.single) continue;
    ++singles;
    const Peg& peg = g.PegAt(g.TruePeg(seen.position));
    if (Distance(seen.position, PegPoint(peg)) <= 1.0) ++matched;
  }
  EXPECT_GE(singles, 70);
  EXPECT_GE(matched * 100, singles * 95) << matched << " of " << singles;
}

TEST(ShotPegs, GameShowsRedAndBluePegsWherePegsAre) {
  RenderedGame g;
  g.StartAndSettle();
  ASSERT_EQ(g.game.board().gState, GameState::Idle);
  const Image frame = g.Frame();
  EXPECT_TRUE(FindPegs(frame, {Hue::Grey}).empty());
  EXPECT_EQ(CentreRingPixels(frame), 0);
  const std::vector<SeenPeg> pegs = FindPegs(frame, {Hue::Red, Hue::Blue});
  EXPECT_GE(pegs.size(), 90u);
  double sum_dx = 0, sum_dy = 0;
  int singles = 0, off = 0;
  for (const SeenPeg& seen : pegs) {
    if (!seen.single) continue;
    ++singles;
    const Peg& peg = g.PegAt(g.TruePeg(seen.position));
    EXPECT_EQ(seen.hue, peg.Kind == 0 ? Hue::Red : Hue::Blue);
    sum_dx += peg.X - seen.position.x;
    sum_dy += peg.Y - seen.position.y;
    if (Distance(seen.position, PegPoint(peg)) > 1.0) ++off;
  }
  ASSERT_GE(singles, 80);
  EXPECT_LE(off * 100, singles * 3);
  // No systematic offset left between what is seen and where pegs are.
  EXPECT_LT(std::abs(sum_dx / singles), 0.25);
  EXPECT_LT(std::abs(sum_dy / singles), 0.25);
}

TEST(ShotLinks, ShowcaseLinkShowsRingsThenABeam) {
  RenderedGame g;
  g.StartAndSettle();
  const std::vector<SeenPeg> pegs = FindPegs(g.Frame(), {Hue::Red, Hue::Blue});
  const std::vector<PlannedLink> showcase = ShowcaseLinks(pegs, PickRules{});
  ASSERT_FALSE(showcase.empty());
  const Point a = pegs[showcase[0].first].position, b = pegs[showcase[0].second].position;
  const int ia = g.TruePeg(a), ib = g.TruePeg(b);
  EXPECT_LT(LitShare(g.Frame(), a, b), 0.05);

  g.ClickAt(ClickPoint(a));
  ASSERT_EQ(g.game.board().gState, GameState::FirstSelected);
  EXPECT_EQ(g.game.board().FirstPeg, ia);
  // The rings flicker; over a few frames they show.
  int ring_frames = 0;
  for (int i = 0; i < 4; ++i) {
    g.game.MainTick();
    const Image frame = g.Frame();
    ring_frames += ShowsSelectionRings(frame, a);
    EXPECT_FALSE(ShowsSelectionRings(frame, b));
  }
  EXPECT_GE(ring_frames, 2);

  g.ClickAt(ClickPoint(b));
  ASSERT_EQ(g.game.board().gState, GameState::SecondSelected);
  EXPECT_EQ(g.game.board().SecondPeg, ib);
  const std::optional<Point> empty = EmptySpot(pegs, PickRules{});
  ASSERT_TRUE(empty);
  g.ClickAt(*empty);
  ASSERT_TRUE(g.Linked(ia) && g.Linked(ib));
  g.game.MainTick();
  EXPECT_GT(LitShare(g.Frame(), a, b), 0.8);
  EXPECT_FALSE(ShowsRefusedPeg(g.Frame(), a));
}

TEST(ShotLinks, PlannedRefusalIsRefusedAndShowsGreen) {
  RenderedGame g;
  g.StartAndSettle();
  const std::vector<SeenPeg> pegs = FindPegs(g.Frame(), {Hue::Red, Hue::Blue});
  const std::vector<PlannedLink> showcase = ShowcaseLinks(pegs, PickRules{});
  std::optional<PlannedLink> refused;
  PlannedLink first;
  for (const PlannedLink& candidate : showcase) {
    const std::vector<Segment> standing{{pegs[candidate.first].position, pegs[candidate.second].position}};
    refused = RefusedLink(pegs, {candidate.first, candidate.second}, standing, PickRules{});
    if (refused) {
      first = candidate;
      break;
    }
  }
  ASSERT_TRUE(refused) << "no pair crosses any showcase link closely enough";
  const std::optional<Point> empty = EmptySpot(pegs, PickRules{});
  ASSERT_TRUE(empty);
  for (const PlannedLink& link : {first, *refused}) {
    g.ClickAt(ClickPoint(pegs[link.first].position));
    g.ClickAt(ClickPoint(pegs[link.second].position));
    g.ClickAt(*empty);
  }
  const int ic = g.TruePeg(pegs[refused->first].position), id = g.TruePeg(pegs[refused->second].position);
  EXPECT_TRUE(g.Linked(g.TruePeg(pegs[first.first].position)));
  EXPECT_FALSE(g.Linked(ic));
  EXPECT_FALSE(g.Linked(id));
  EXPECT_EQ(g.PegAt(ic).Colour.Green, 128);
  g.game.MainTick();
  const Image frame = g.Frame();
  EXPECT_TRUE(ShowsRefusedPeg(frame, pegs[refused->first].position));
  EXPECT_TRUE(ShowsRefusedPeg(frame, pegs[refused->second].position));
  EXPECT_FALSE(ShowsRefusedPeg(frame, pegs[first.first].position));
}

TEST(ShotLinks, PlannedLinksAreAllAccepted) {
  RenderedGame g;
  g.StartAndSettle();
  const std::vector<SeenPeg> pegs = FindPegs(g.Frame(), {Hue::Red, Hue::Blue});
  const std::vector<PlannedLink> plan = AcceptedLinks(pegs, {}, {}, 50, PickRules{});
  EXPECT_GE(plan.size(), 30u);
  const std::optional<Point> empty = EmptySpot(pegs, PickRules{}, 20.0);
  ASSERT_TRUE(empty);
  for (const PlannedLink& link : plan) {
    g.ClickAt(ClickPoint(pegs[link.first].position));
    g.ClickAt(ClickPoint(pegs[link.second].position));
    g.ClickAt(*empty);
    ASSERT_EQ(g.game.board().gState, GameState::Idle);
  }
  int linked = 0;
  for (int i = 1; i <= g.game.board().Total(); ++i) linked += g.Linked(i);
  EXPECT_EQ(linked, static_cast<int>(plan.size()) * 2);
}

}  // namespace
}  // namespace brindlet::e2e
