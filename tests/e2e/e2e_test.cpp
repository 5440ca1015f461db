// The real brindlet program on a bare X server of its own, driven with the
// pointer and judged by what a player would see on the screen.
//
// With BRINDLET_E2E_DOCS_DIR set, the attract display and a game with links
// are also saved there as attract.png and game.png.
#include <algorithm>
#include <cstdlib>
#include <thread>
#include <utility>

#include "session.h"

namespace brindlet::e2e {
namespace {

std::string DocsDir() {
  const char* dir = std::getenv("BRINDLET_E2E_DOCS_DIR");
  return dir != nullptr ? dir : "";
}

// The debug window's place on the screen, where it comes back after a hide.
constexpr Point kDebugWindow{10, 28};
// In the playfield's top-left 16 x 16 pixels a click shows or hides the
// debug window.
constexpr Point kCorner{6, 6};
class ProgramTest : public SessionTest {
 protected:
  void SetUp() override { ASSERT_NO_FATAL_FAILURE(StartSession({"BareX", Kind::BareX, {}, {}})); }

  // Starts brindlet with extra environment entries and waits for its windows.
  void StartProgram(const std::vector<std::string>& env = {}) {
    ASSERT_NO_FATAL_FAILURE(SessionTest::StartProgram(env));
    windows_ = std::make_unique<ProgramWindows>(*x_, program_.pid());
    std::string error;
    ASSERT_TRUE(windows_->Find(60s, &error)) << error << "\n" << Log();
    field_ = windows_->playfield();
  }

  // A click that a look can confirm: if the first click shows nothing (the
  // program may not have sampled the pointer yet on a busy machine), the
  // click is made once more.
  bool ConfirmedClick(Point p, const std::function<bool(const Image&)>& seen) {
    for (int attempt = 0; attempt < 2; ++attempt) {
      if (!windows_->ClickAt(p, attempt == 0 ? 300ms : 800ms)) return false;
      if (LookUntil(6s, seen)) return true;
    }
    return false;
  }

  // Waits for the attract display: grey pegs and the orange ring.
  void WaitForAttractDisplay(Image* last) {
    FieldCounts counts;
    const bool shown = LookUntil(
        30s,
        [&](const Image& field) {
          counts = Count(field);
          return counts.grey >= 60 && counts.coloured <= 2 && counts.ring >= 100;
        },
        last);
    ASSERT_TRUE(shown) << "the attract display did not show: " << Describe(counts);
  }

  std::unique_ptr<ProgramWindows> windows_;
};

TEST_F(ProgramTest, PlaysAGameOfLinksAndQuits) {
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  Image field;
  ASSERT_NO_FATAL_FAILURE(WaitForAttractDisplay(&field));
  if (!DocsDir().empty()) {
    EXPECT_TRUE(SavePng(field, DocsDir() + "/attract.png"));
  }

  // One click anywhere starts the game: a hundred red and blue pegs replace
  // the grey ones within about two seconds, and the ring goes out.
  Clock::time_point clicked;
  ASSERT_TRUE(windows_->ClickAt({700, 600}, 300ms, &clicked));
  FieldCounts counts;
  Millis took{};
  std::string history;
  const bool started = PollUntil(
      [&] {
        // The screen is read at the start of a screenshot; the time taken
        // to fetch and convert it does not count.
        const auto looked = Clock::now();
        const std::optional<Image> look = Look();
        if (!look) return false;
        counts = Count(*look);
        took = std::chrono::duration_cast<Millis>(looked - clicked);
        history += "\n  at " + std::to_string(took.count()) + " ms: " + Describe(counts);
        return counts.coloured >= 80 && counts.grey <= 2 && counts.ring < 10;
      },
      30s, 50ms);
  ASSERT_TRUE(started) << "no game: " << Describe(counts);
  std::cout << "the game showed " << counts.coloured << " pegs " << took.count() << " ms after the click\n";
  EXPECT_LE(took.count(), 3000) << "the game took " << took.count() << " ms to show its pegs:" << history;

  // Pegs ease to their places and stop.
  const std::optional<std::vector<SeenPeg>> resting =
      WaitForRestingPegs(*windows_, {Hue::Red, Hue::Blue}, 80, 30s, &field);
  ASSERT_TRUE(resting) << "the pegs did not come to rest";
  const std::vector<SeenPeg>& pegs = *resting;
  const PickRules rules;

  // A long link between two lonely pegs, and a pair whose link would run
  // along it closely enough to be refused.
  const std::vector<PlannedLink> showcase = ShowcaseLinks(pegs, rules);
  ASSERT_FALSE(showcase.empty()) << "no two isolated pegs of one colour with a clear line between them";
  PlannedLink first = showcase.front();
  std::optional<PlannedLink> refused;
  for (const PlannedLink& candidate : showcase) {
    refused = RefusedLink(pegs, {candidate.first, candidate.second},
                          {{pegs[candidate.first].position, pegs[candidate.second].position}}, rules);
    if (refused) {
      first = candidate;
      break;
    }
  }
  const Point a = pegs[first.first].position, b = pegs[first.second].position;
  const std::optional<Point> empty = EmptySpot(pegs, rules);
  ASSERT_TRUE(empty) << "no empty space to click";
  EXPECT_LT(LitShare(field, a, b), 0.1) << "the line between the two pegs is not dark before the link";

  // First peg, second peg (each shows its selection rings), then empty space:
  // the beam runs between them.
  ASSERT_TRUE(ConfirmedClick(a, [&](const Image& look) { return ShowsSelectionRings(look, a); }))
      << "the first peg at " << a.x << "," << a.y << " did not show selection rings";
  ASSERT_TRUE(ConfirmedClick(b, [&](const Image& look) { return ShowsSelectionRings(look, b); }))
      << "the second peg at " << b.x << "," << b.y << " did not show selection rings";
  ASSERT_TRUE(windows_->ClickAt(*empty));
  double lit = 0;
  EXPECT_TRUE(LookUntil(10s, [&](const Image& look) {
    lit = LitShare(look, a, b);
    return lit >= 0.6 && !ShowsRefusedPeg(look, a);
  })) << "no beam from " << a.x << "," << a.y << " to " << b.x << "," << b.y << " (lit " << lit << ")";

  // A link along the first one is refused: both its pegs turn green.
  if (refused) {
    const Point c = pegs[refused->first].position, d = pegs[refused->second].position;
    ASSERT_TRUE(ConfirmedClick(c, [&](const Image& look) { return ShowsSelectionRings(look, c); }));
    ASSERT_TRUE(ConfirmedClick(d, [&](const Image& look) { return ShowsSelectionRings(look, d); }));
    ASSERT_TRUE(windows_->ClickAt(*empty));
    EXPECT_TRUE(LookUntil(10s, [&](const Image& look) {
      return ShowsRefusedPeg(look, c) && ShowsRefusedPeg(look, d) && LitShare(look, a, b) >= 0.6;
    })) << "the pegs at " << c.x << "," << c.y << " and " << d.x << "," << d.y << " did not turn green";
  } else {
    std::cout << "note: no pair of pegs crossed the first link closely enough for a sure refusal\n";
  }

  if (!DocsDir().empty()) {
    // A few more links for the picture.
    std::vector<int> used{first.first, first.second};
    if (refused) used.insert(used.end(), {refused->first, refused->second});
    const std::vector<PlannedLink> more = AcceptedLinks(pegs, used, {{a, b}}, 7, rules, 80.0);
    for (const PlannedLink& link : more) {
      EXPECT_TRUE(ClickLink(*windows_, pegs[link.first].position, pegs[link.second].position, *empty));
    }
    const std::optional<Image> look = Look();
    ASSERT_TRUE(look);
    EXPECT_TRUE(SavePng(*look, DocsDir() + "/game.png"));
  }

  // A click in the corner hides the debug window, the next shows it again
  // where it was. (Two quick clicks would make a double-click.)
  ASSERT_TRUE(windows_->DebugWindowVisible());
  ASSERT_TRUE(windows_->ClickAt(kCorner));
  EXPECT_TRUE(PollUntil([&] { return !windows_->DebugWindowVisible(); }, 10s)) << "the debug window stayed";
  std::this_thread::sleep_for(700ms);
  ASSERT_TRUE(windows_->ClickAt(kCorner));
  EXPECT_TRUE(PollUntil([&] { return windows_->DebugWindowVisible(); }, 10s)) << "the debug window did not return";
  const std::optional<WindowInfo> debug = x_->Window(windows_->debug_window());
  ASSERT_TRUE(debug);
  EXPECT_EQ(debug->rect.x, kDebugWindow.x);
  EXPECT_EQ(debug->rect.y, kDebugWindow.y);

  // "Quit!" ends the program at once, with status 0.
  const Point quit = ProgramWindows::QuitButton();
  Clock::time_point clicked_quit;
  ASSERT_TRUE(windows_->ClickDebugWindow(static_cast<int>(quit.x), static_cast<int>(quit.y), 300ms, &clicked_quit));
  ExpectEndsWell("\"Quit!\"", clicked_quit);
}

// A link played with keys alone, the main window given the focus first: Space
// starts the game, Tab walks the cursor from peg to peg (each found on the
// screen by its ring), Space selects two pegs of one colour and Escape, a
// click on empty space, confirms the link.
TEST_F(ProgramTest, PlaysALinkWithTheKeyboardOnly) {
  ASSERT_TRUE(x_->MoveMouse(1590, 990));  // off the program's windows, for good
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  Image field;
  ASSERT_NO_FATAL_FAILURE(WaitForAttractDisplay(&field));
  const auto key = [&](const char* name) {
    const CommandResult r = x_->Run({"xdotool", "key", name}, 10s);
    return r.ran && r.exit_code == 0;
  };
  const CommandResult focus =
      x_->Run({"xdotool", "windowfocus", "--sync", std::to_string(windows_->main_window())}, 10s);
  ASSERT_TRUE(focus.ran && focus.exit_code == 0) << focus.err;
  ASSERT_TRUE(key("space"));
  ASSERT_TRUE(LookUntil(10s, [](const Image& look) { return Count(look).coloured >= 80; }))
      << "Space did not start the game";
  const std::optional<std::vector<SeenPeg>> resting =
      WaitForRestingPegs(*windows_, {Hue::Red, Hue::Blue}, 80, 30s, &field);
  ASSERT_TRUE(resting) << "the pegs did not come to rest";
  const std::vector<SeenPeg>& pegs = *resting;
  const PickRules rules;

  // Tab on to a peg that `fits`; its index among the seen pegs, or -1.
  const auto tabTo = [&](const std::function<bool(int, const Image&)>& fits) {
    std::optional<Point> ring;
    for (int presses = 0; presses < 60; ++presses) {
      if (!key("Tab")) return -1;
      // Looked for until it shows, or has moved on to another peg.
      const std::optional<Point> before = ring;
      Image look;
      if (!LookUntil(3s, [&](const Image& l) {
            ring = KeyRing(l);
            return ring && (!before || Distance(*ring, *before) > 2.0);
          }, &look)) {
        continue;
      }
      // The ring is centred a pixel above the peg's place.
      for (int i = 0; i < static_cast<int>(pegs.size()); ++i) {
        if (Distance(pegs[i].position, {ring->x, ring->y + 1}) <= 3.0 && Clickable(pegs, i, rules) &&
            fits(i, look)) {
          return i;
        }
      }
    }
    return -1;
  };
  const int a = tabTo([](int, const Image&) { return true; });
  ASSERT_GE(a, 0) << "the ring was not seen round a clickable peg";
  const Point pa = pegs[a].position;
  ASSERT_TRUE(key("space"));
  ASSERT_TRUE(LookUntil(6s, [&](const Image& look) { return ShowsSelectionRings(look, pa); }));
  const int b = tabTo([&](int i, const Image& look) {
    return i != a && pegs[i].hue == pegs[a].hue && Distance(pa, pegs[i].position) >= 100 &&
           LitShare(look, pa, pegs[i].position) < 0.15;
  });
  ASSERT_GE(b, 0) << "no second peg of the first one's colour with a clear line to it";
  const Point pb = pegs[b].position;
  ASSERT_TRUE(key("space"));
  ASSERT_TRUE(LookUntil(6s, [&](const Image& look) { return ShowsSelectionRings(look, pb); }));
  ASSERT_TRUE(key("Escape"));
  double lit = 0;
  EXPECT_TRUE(LookUntil(10s, [&](const Image& look) {
    lit = LitShare(look, pa, pb);
    return lit >= 0.6;
  })) << "no beam from " << pa.x << "," << pa.y << " to " << pb.x << "," << pb.y << " (lit " << lit << ")";
}

TEST_F(ProgramTest, ClosingTheMainWindowEndsTheProgramAndWritesTheTickLog) {
  const std::string tick_log = kWorkDir + "/ticks.txt";
  std::error_code ignored;
  fs::remove(tick_log, ignored);
  ASSERT_NO_FATAL_FAILURE(StartProgram({"BRINDLET_TICK_LOG=" + tick_log}));
  Image field;
  ASSERT_NO_FATAL_FAILURE(WaitForAttractDisplay(&field));
  std::this_thread::sleep_for(1s);  // a second of main ticks for the log

  // What a window manager sends when the user closes the window.
  std::string error;
  const auto sent = Clock::now();
  ASSERT_TRUE(x_->SendDeleteWindow(windows_->main_window(), &error)) << error;
  ASSERT_NO_FATAL_FAILURE(ExpectEndsWell("closing the main window", sent));

  // The log holds the start of every main tick: steady-clock nanoseconds,
  // rising, about 25 ms apart.
  std::ifstream in(tick_log);
  ASSERT_TRUE(in) << "no tick log was written";
  std::vector<long long> starts;
  for (long long t; in >> t;) starts.push_back(t);
  ASSERT_GE(starts.size(), 20u);
  std::vector<double> intervals;
  for (std::size_t i = 1; i < starts.size(); ++i) {
    ASSERT_GT(starts[i], starts[i - 1]) << "tick " << i << " does not follow the one before";
    intervals.push_back((starts[i] - starts[i - 1]) / 1e6);
  }
  std::nth_element(intervals.begin(), intervals.begin() + intervals.size() / 2, intervals.end());
  const double median = intervals[intervals.size() / 2];
  EXPECT_GE(median, 22.0);
  EXPECT_LE(median, 40.0);
}

// A window manager that keeps other desktops' windows mapped tells where
// they are only in the desktop numbers: on another desktop than the one
// shown, the playfield sleeps and its picture holds still; its desktop shown
// again, it moves on.
TEST_F(ProgramTest, OnAnotherDesktopThePictureHoldsStillUntilItsDesktopIsShown) {
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  Image field;
  ASSERT_NO_FATAL_FAILURE(WaitForAttractDisplay(&field));
  const auto desktop = [&](std::vector<std::string> on, const std::string& name, int number) {
    on.insert(on.begin(), "xprop");
    on.insert(on.end(), {"-f", name, "32c", "-set", name, std::to_string(number)});
    const CommandResult set = x_->Run(on);
    ASSERT_TRUE(set.ran && set.exit_code == 0) << set.err;
  };
  const auto still = [&](bool held) {  // two looks a moment apart the same, or not
    return LookUntil(10s, [&](const Image& look) { return (std::exchange(field, look).bytes() == look.bytes()) == held; });
  };
  desktop({"-root"}, "_NET_CURRENT_DESKTOP", 0);
  desktop({"-id", std::to_string(windows_->main_window())}, "_NET_WM_DESKTOP", 1);
  EXPECT_TRUE(still(true)) << "on desktop 1 while 0 is shown";
  desktop({"-root"}, "_NET_CURRENT_DESKTOP", 1);
  EXPECT_TRUE(still(false)) << "its desktop shown";
}

// The main window is the program: destroyed by another client, it ends the
// program as Quit! does, with status 0.
TEST_F(ProgramTest, AMainWindowDestroyedFromOutsideEndsTheProgram) {
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  Image field;
  ASSERT_NO_FATAL_FAILURE(WaitForAttractDisplay(&field));
  std::string error;
  ASSERT_TRUE(x_->DestroyWindow(windows_->main_window(), &error)) << error;
  ExpectEndsWell("destroying the main window");
}

}  // namespace
}  // namespace brindlet::e2e
