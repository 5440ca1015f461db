// The real brindlet program in its own X server, driven with the pointer and
// judged by what a player would see on the screen.
//
// Usage: brindlet_e2e_tests <path of brindlet> [gtest options]
// With BRINDLET_E2E_DOCS_DIR set, the attract display and a game with links
// are also saved there as attract.png and game.png.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "shot.h"
#include "x_session.h"

namespace brindlet::e2e {
namespace {

namespace fs = std::filesystem;

std::string g_program;

const std::string kWorkDir = BRINDLET_E2E_WORK_DIR;
const std::string kFailureDir = BRINDLET_E2E_FAILURE_DIR;

std::string DocsDir() {
  const char* dir = std::getenv("BRINDLET_E2E_DOCS_DIR");
  return dir != nullptr ? dir : "";
}

// The debug window opens at its design place; the main window fits the
// playfield and its one-pixel border.
constexpr Rect kDebugWindow{10, 28, 371, 515};
constexpr int kMainWidth = ProgramWindows::kPlayfieldWidth + 2;
constexpr int kMainHeight = ProgramWindows::kPlayfieldHeight + 2;
// In the playfield's top-left 16 x 16 pixels a click shows or hides the
// debug window.
constexpr Point kCorner{6, 6};
// The program and its X server run at a raised priority (when the test runs
// as root, as CI does), so that other work on a shared machine does not
// starve them and blur their timing.
constexpr int kNiceness = -10;

// One X server for all scenarios.
class XEnvironment final : public ::testing::Environment {
 public:
  void SetUp() override {
    fs::create_directories(kWorkDir);
    std::error_code ignored;
    fs::remove_all(kFailureDir, ignored);  // only the latest run's failures are kept
    for (const char* tool : {"Xvfb", "xdotool", "xwininfo"}) {
      if (FindProgram(tool).empty()) error_ += std::string(tool) + " is not installed (scripts/deps installs it). ";
    }
    if (!error_.empty()) return;
    server_ = XServer::Start(1600, 1000, kWorkDir + "/xvfb.log", &error_, kNiceness);
    if (server_) driver_ = std::make_unique<XDriver>(server_->display());
  }
  void TearDown() override {
    driver_.reset();
    server_.reset();
  }
  const XDriver* driver() const { return driver_.get(); }
  const std::string& error() const { return error_; }

 private:
  std::unique_ptr<XServer> server_;
  std::unique_ptr<XDriver> driver_;
  std::string error_;
};

XEnvironment* g_x = nullptr;

// How the attract display and a started game look.
struct FieldCounts {
  std::size_t grey = 0;
  std::size_t coloured = 0;  // red and blue
  int ring = 0;
};
FieldCounts Count(const Image& field) {
  return {FindPegs(field, {Hue::Grey}).size(), FindPegs(field, {Hue::Red, Hue::Blue}).size(), CentreRingPixels(field)};
}
std::string Describe(const FieldCounts& c) {
  return std::to_string(c.grey) + " grey pegs, " + std::to_string(c.coloured) + " red and blue pegs, " +
         std::to_string(c.ring) + " orange ring pixels";
}

// The one-pixel border round the playfield, found in a screenshot of the
// whole screen: a light line on each side of the main window, dark screen
// just outside it and a dark playfield just inside it. Empty when found.
std::string CheckBorder(const Image& screen, const Rect& window) {
  const auto share = [&](int x0, int y0, int dx, int dy, int n, auto test) {
    int hits = 0;
    for (int i = 0; i < n; ++i) {
      const Rgb c = screen.At(x0 + i * dx, y0 + i * dy);
      hits += test(std::max({c.r, c.g, c.b}));
    }
    return static_cast<double>(hits) / n;
  };
  const auto light = [](int v) { return v >= 100; };
  const auto dark = [](int v) { return v < 100; };
  const int left = window.x, top = window.y;
  const int right = window.x + window.width - 1, bottom = window.y + window.height - 1;
  const int w = window.width, h = window.height;
  std::string problems;
  const auto expect = [&](double value, double at_least, const std::string& what) {
    if (value < at_least) problems += what + " (" + std::to_string(value) + "); ";
  };
  expect(share(left, top + 2, 0, 1, h - 4, light), 0.98, "left border line");
  expect(share(right, top + 2, 0, 1, h - 4, light), 0.98, "right border line");
  expect(share(left + 2, top, 1, 0, w - 4, light), 0.98, "top border line");
  expect(share(left + 2, bottom, 1, 0, w - 4, light), 0.98, "bottom border line");
  // Inside, the playfield's edge rows and columns: black but for a few dots.
  expect(share(left + 1, top + 2, 0, 1, h - 4, dark), 0.9, "dark playfield inside the left border");
  expect(share(right - 1, top + 2, 0, 1, h - 4, dark), 0.9, "dark playfield inside the right border");
  expect(share(left + 2, top + 1, 1, 0, w - 4, dark), 0.9, "dark playfield inside the top border");
  expect(share(left + 2, bottom - 1, 1, 0, w - 4, dark), 0.9, "dark playfield inside the bottom border");
  // Outside, the bare screen.
  expect(share(right + 1, top + 2, 0, 1, h - 4, dark), 0.98, "dark screen right of the window");
  expect(share(left + 2, bottom + 1, 1, 0, w - 4, dark), 0.98, "dark screen below the window");
  return problems;
}

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(g_program.empty()) << "usage: brindlet_e2e_tests <path of brindlet>";
    ASSERT_NE(g_x->driver(), nullptr) << "no X server: " << g_x->error();
    x_ = g_x->driver();
    name_ = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    log_path_ = kWorkDir + "/" + name_ + ".log";
    std::error_code ignored;
    fs::remove(log_path_, ignored);
  }

  void TearDown() override {
    if (HasFailure()) KeepFailure();
    if (program_) program_->Stop();
  }

  // Starts brindlet with extra environment entries and waits for its windows.
  void StartProgram(const std::vector<std::string>& env = {}) {
    ChildOptions options;
    options.set_env = env;
    options.set_env.push_back("DISPLAY=" + x_->display());
    options.set_env.push_back("QT_QPA_PLATFORM=xcb");
    options.unset_env = {"WAYLAND_DISPLAY", "BRINDLET_TICK_LOG"};
    options.log_path = log_path_;
    options.niceness = kNiceness;
    program_ = std::make_unique<ChildProcess>();
    std::string error;
    ASSERT_TRUE(program_->Start({g_program}, options, &error)) << error;
    windows_ = std::make_unique<ProgramWindows>(*x_, program_->pid());
    ASSERT_TRUE(windows_->Find(60s, &error)) << error << "\n" << ProgramLog();
  }

  // A screenshot of the playfield, remembered for the failure report.
  std::optional<Image> Look(const std::string& label) {
    std::string error;
    std::optional<Image> image = windows_->LookAtPlayfield(&error);
    if (!image) {
      ADD_FAILURE() << error;
      return image;
    }
    Remember(label, *image);
    return image;
  }

  void Remember(const std::string& label, const Image& image) {
    shots_.emplace_back(label, image);
    if (shots_.size() > 12) shots_.erase(shots_.begin());
  }

  // Looks until `seen` holds for a look or `timeout` passes; the last look
  // is left in `last`.
  bool LookUntil(const std::string& label, Millis timeout, const std::function<bool(const Image&)>& seen,
                 Image* last = nullptr) {
    return PollUntil(
        [&] {
          const std::optional<Image> look = Look(label);
          if (!look) return false;
          if (last != nullptr) *last = *look;
          return seen(*look);
        },
        timeout, 150ms);
  }

  // A click that a look can confirm: if the first click shows nothing (the
  // program may not have sampled the pointer yet on a busy machine), the
  // click is made once more.
  bool ConfirmedClick(Point p, const std::string& label, const std::function<bool(const Image&)>& seen) {
    for (int attempt = 0; attempt < 2; ++attempt) {
      if (!windows_->ClickAt(p, attempt == 0 ? 300ms : 800ms)) return false;
      if (LookUntil(label, 6s, seen)) return true;
    }
    return false;
  }

  std::string ProgramLog() const {
    std::ifstream in(log_path_);
    std::stringstream text;
    text << in.rdbuf();
    return "program output: " + (text.str().empty() ? std::string("(none)") : text.str());
  }

  // Screenshots of a failing run, for a person to look at.
  void KeepFailure() {
    std::error_code ignored;
    fs::create_directories(kFailureDir, ignored);
    int n = 0;
    for (const auto& [label, image] : shots_) {
      SavePng(image, kFailureDir + "/" + name_ + "-" + std::to_string(++n) + "-" + label + ".png");
    }
    if (const std::optional<Image> screen = x_->Screenshot()) SavePng(*screen, kFailureDir + "/" + name_ + "-screen.png");
    fs::copy_file(log_path_, kFailureDir + "/" + name_ + ".log", fs::copy_options::overwrite_existing, ignored);
    std::cerr << "screenshots of the failure are in " << kFailureDir << "\n";
  }

  // Waits for the attract display: grey pegs and the orange ring.
  void WaitForAttractDisplay(Image* last) {
    FieldCounts counts;
    const bool shown = LookUntil(
        "attract", 30s,
        [&](const Image& field) {
          counts = Count(field);
          return counts.grey >= 60 && counts.coloured <= 2 && counts.ring >= 100;
        },
        last);
    ASSERT_TRUE(shown) << "the attract display did not show: " << Describe(counts);
  }

  // Expects the program to end with status 0 after `what` (asked at
  // `since`): within a second when `promptly`, else within ten.
  void ExpectEndsWell(const std::string& what, Clock::time_point since, bool promptly = true) {
    const std::optional<int> status = program_->WaitForEnd(10s);
    const auto took = std::chrono::duration_cast<Millis>(Clock::now() - since).count();
    ASSERT_TRUE(status) << what << " did not end the program";
    EXPECT_EQ(DescribeStatus(*status), "exit status 0") << what << "; " << ProgramLog();
    if (promptly) {
      EXPECT_LE(took, 1000) << what << ": the program took " << took << " ms to end";
    }
  }

  const XDriver* x_ = nullptr;
  std::string name_;
  std::string log_path_;
  std::unique_ptr<ChildProcess> program_;
  std::unique_ptr<ProgramWindows> windows_;
  std::vector<std::pair<std::string, Image>> shots_;
};

TEST_F(ProgramTest, OpensItsWindowsAndShowsTheAttractDisplay) {
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  const Rect debug = windows_->debug_info().rect;
  EXPECT_EQ(debug.x, kDebugWindow.x);
  EXPECT_EQ(debug.y, kDebugWindow.y);
  EXPECT_EQ(debug.width, kDebugWindow.width);
  EXPECT_EQ(debug.height, kDebugWindow.height);
  const Rect main = windows_->main_info().rect;
  EXPECT_EQ(main.width, kMainWidth);
  EXPECT_EQ(main.height, kMainHeight);

  Image field;
  ASSERT_NO_FATAL_FAILURE(WaitForAttractDisplay(&field));
  std::string error;
  const std::optional<Image> screen = x_->Screenshot(std::nullopt, &error);
  ASSERT_TRUE(screen) << error;
  Remember("screen", *screen);
  EXPECT_EQ(CheckBorder(*screen, main), "") << "the playfield's border was not found round " << main.width << " x "
                                            << main.height << " at " << main.x << "," << main.y;
  // The pegs are a dark grey: their brightest pixels stay near (50, 50, 50).
  int brightest = 0;
  for (int y = 0; y < field.height(); ++y) {
    for (int x = 0; x < field.width(); ++x) {
      const Rgb c = field.At(x, y);
      if (Classify(c) == Hue::Grey) brightest = std::max(brightest, static_cast<int>(c.r));
    }
  }
  EXPECT_GE(brightest, 35);
  EXPECT_LE(brightest, 60);

  if (!DocsDir().empty()) {
    EXPECT_TRUE(SavePng(field, DocsDir() + "/attract.png"));
  }
}

TEST_F(ProgramTest, PlaysAGameOfLinksAndQuits) {
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  Image field;
  ASSERT_NO_FATAL_FAILURE(WaitForAttractDisplay(&field));

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
        const std::optional<Image> look = Look("start");
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
  Remember("resting", field);
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
  ASSERT_TRUE(ConfirmedClick(a, "first-peg", [&](const Image& look) { return ShowsSelectionRings(look, a); }))
      << "the first peg at " << a.x << "," << a.y << " did not show selection rings";
  ASSERT_TRUE(ConfirmedClick(b, "second-peg", [&](const Image& look) { return ShowsSelectionRings(look, b); }))
      << "the second peg at " << b.x << "," << b.y << " did not show selection rings";
  ASSERT_TRUE(windows_->ClickAt(*empty));
  double lit = 0;
  EXPECT_TRUE(LookUntil("link", 10s, [&](const Image& look) {
    lit = LitShare(look, a, b);
    return lit >= 0.6 && !ShowsRefusedPeg(look, a);
  })) << "no beam from " << a.x << "," << a.y << " to " << b.x << "," << b.y << " (lit " << lit << ")";

  // A link along the first one is refused: both its pegs turn green.
  if (refused) {
    const Point c = pegs[refused->first].position, d = pegs[refused->second].position;
    ASSERT_TRUE(ConfirmedClick(c, "third-peg", [&](const Image& look) { return ShowsSelectionRings(look, c); }));
    ASSERT_TRUE(ConfirmedClick(d, "fourth-peg", [&](const Image& look) { return ShowsSelectionRings(look, d); }));
    ASSERT_TRUE(windows_->ClickAt(*empty));
    EXPECT_TRUE(LookUntil("refused", 10s, [&](const Image& look) {
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
    const std::optional<Image> look = Look("docs");
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

// The keyboard cursor's ring on the screen: the centre of its yellow pixels,
// or nothing when it does not show.
std::optional<Point> KeyRing(const Image& field) {
  double sx = 0, sy = 0;
  int n = 0;
  for (int y = 0; y < field.height(); ++y) {
    for (int x = 0; x < field.width(); ++x) {
      const Rgb c = field.At(x, y);
      if (c.r >= 200 && c.g >= 170 && c.b <= 80) {
        sx += x;
        sy += y;
        ++n;
      }
    }
  }
  if (n < 40) return std::nullopt;
  return Point{sx / n, sy / n};
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
  ASSERT_TRUE(LookUntil("start", 10s, [](const Image& look) { return Count(look).coloured >= 80; }))
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
      if (!LookUntil("tab", 3s, [&](const Image& l) {
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
  ASSERT_TRUE(LookUntil("first-peg", 6s, [&](const Image& look) { return ShowsSelectionRings(look, pa); }));
  const int b = tabTo([&](int i, const Image& look) {
    return i != a && pegs[i].hue == pegs[a].hue && Distance(pa, pegs[i].position) >= 100 &&
           LitShare(look, pa, pegs[i].position) < 0.15;
  });
  ASSERT_GE(b, 0) << "no second peg of the first one's colour with a clear line to it";
  const Point pb = pegs[b].position;
  ASSERT_TRUE(key("space"));
  ASSERT_TRUE(LookUntil("second-peg", 6s, [&](const Image& look) { return ShowsSelectionRings(look, pb); }));
  ASSERT_TRUE(key("Escape"));
  double lit = 0;
  EXPECT_TRUE(LookUntil("link", 10s, [&](const Image& look) {
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

// The main window is the program: destroyed by another client, it ends the
// program as Quit! does, with status 0.
TEST_F(ProgramTest, AMainWindowDestroyedFromOutsideEndsTheProgram) {
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  Image field;
  ASSERT_NO_FATAL_FAILURE(WaitForAttractDisplay(&field));
  std::string error;
  const auto destroyed = Clock::now();
  ASSERT_TRUE(x_->DestroyWindow(windows_->main_window(), &error)) << error;
  ExpectEndsWell("destroying the main window", destroyed, false);
}

// A 1280 x 720 screen under openbox, which frames the windows (a caption
// and borders) and stacks them as a desktop does; the program's own X server
// and window manager, apart from the other scenarios' bare server.
class SmallScreenTest : public ProgramTest {
 protected:
  void SetUp() override {
    if (FindProgram("openbox").empty()) GTEST_SKIP() << "openbox is not installed (scripts/deps installs it for the tests)";
    ProgramTest::SetUp();
    std::string error;
    server_ = XServer::Start(1280, 720, kWorkDir + "/xvfb-openbox.log", &error, kNiceness);
    ASSERT_TRUE(server_) << error;
    driver_ = std::make_unique<XDriver>(server_->display());
    ChildOptions options;
    options.set_env = {"DISPLAY=" + server_->display()};
    options.log_path = kWorkDir + "/openbox.log";
    options.niceness = kNiceness;
    ASSERT_TRUE(openbox_.Start({"openbox", "--sm-disable"}, options, &error)) << error;
    ASSERT_TRUE(PollUntil([&] { return driver_->WindowManagerRunning(); }, 30s)) << "openbox did not start";
    x_ = driver_.get();
  }
  void TearDown() override {
    ProgramTest::TearDown();
    x_ = nullptr;
    driver_.reset();
    openbox_.Stop();
    server_.reset();
  }

  std::unique_ptr<XServer> server_;
  std::unique_ptr<XDriver> driver_;
  ChildProcess openbox_;
};

bool Inside(const Rect& r, int width, int height) {
  return r.x >= 0 && r.y >= 0 && r.x + r.width <= width && r.y + r.height <= height;
}
bool Overlap(const Rect& a, const Rect& b) {
  return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}
std::string Describe(const Rect& r) {
  return std::to_string(r.width) + " x " + std::to_string(r.height) + " at " + std::to_string(r.x) + "," +
         std::to_string(r.y);
}

TEST_F(SmallScreenTest, BothWindowsAreUsableFromTheStartAndTheWindowManagerClosesTheProgram) {
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  // Once framed, the two windows stand side by side on the screen, whole;
  // the program may still move them while the frames come in.
  Rect main, debug;
  const bool usable = PollUntil(
      [&] {
        const std::optional<Rect> m = x_->Frame(windows_->main_window());
        const std::optional<Rect> d = x_->Frame(windows_->debug_window());
        if (!m || !d) return false;
        const bool settled = m->x == main.x && m->y == main.y && m->width == main.width && m->height == main.height;
        main = *m;
        debug = *d;
        return settled && main.height > windows_->main_info().rect.height && Inside(main, 1280, 720) &&
               Inside(debug, 1280, 720) && !Overlap(main, debug);
      },
      15s, 300ms);
  ASSERT_TRUE(usable) << "main window " << Describe(main) << ", debug window " << Describe(debug);
  std::string error;
  ASSERT_TRUE(windows_->Find(10s, &error)) << error;  // where they stand now
  const Rect field = windows_->main_info().rect;
  EXPECT_LT(field.width - 2, ProgramWindows::kPlayfieldWidth) << "shown smaller than 1:1";
  EXPECT_GE(field.width - 2, ProgramWindows::kPlayfieldWidth / 2) << "shown at no less than half size";
  EXPECT_NEAR((field.width - 2) * 770.0 / 1026, field.height - 2, 1.0) << "the same shape";

  // In a game (the first click starts one) the corner hides the debug
  // window and shows it again, at the new scale.
  ASSERT_TRUE(windows_->ClickAt({400, 300}));
  std::this_thread::sleep_for(3s);
  ASSERT_TRUE(windows_->ClickAt(kCorner));
  EXPECT_TRUE(PollUntil([&] { return !windows_->DebugWindowVisible(); }, 10s)) << "the debug window stayed";
  std::this_thread::sleep_for(700ms);
  ASSERT_TRUE(windows_->ClickAt(kCorner));
  EXPECT_TRUE(PollUntil([&] { return windows_->DebugWindowVisible(); }, 10s)) << "the debug window did not return";

  // Maximised through the window manager, as its maximise button does: the
  // window takes the screen, and the playfield fills it as far as its shape
  // allows, centred on black.
  ASSERT_TRUE(x_->AskToMaximise(windows_->main_window(), true, &error)) << error;
  EXPECT_TRUE(PollUntil(
      [&] {
        const std::optional<Rect> m = x_->Frame(windows_->main_window());
        return m && m->width == 1280 && m->height > main.height;
      },
      10s))
      << "not maximised";
  std::this_thread::sleep_for(1s);
  if (const std::optional<WindowInfo> client = x_->Window(windows_->main_window())) {
    const Rect r = client->rect;
    const double scale = std::min(r.width / 1026.0, r.height / 770.0);
    const int left = static_cast<int>((r.width - 1026 * scale) / 2), top = static_cast<int>((r.height - 770 * scale) / 2);
    EXPECT_GT(left + top, 100) << "the window's shape differs from the playfield's";
    const std::optional<Image> shot = x_->Screenshot(r, &error);
    ASSERT_TRUE(shot) << error;
    // The debug window stays above the main window.
    const Rect over = x_->Frame(windows_->debug_window()).value_or(Rect{});
    int outside = 0, inside = 0;
    for (int y = 0; y < r.height; ++y) {
      for (int x = 0; x < r.width; ++x) {
        if (Overlap({r.x + x, r.y + y, 1, 1}, over)) continue;
        const Rgb c = shot->At(x, y);
        const bool lit = c.r + c.g + c.b > 30;
        const bool margin = x < left - 1 || x > r.width - left || y < top - 1 || y > r.height - top;
        (margin ? outside : inside) += lit ? 1 : 0;
      }
    }
    EXPECT_EQ(outside, 0) << "lit pixels outside the centred playfield";
    EXPECT_GT(inside, 300) << "the pegs are not shown";
  } else {
    ADD_FAILURE() << "the main window is gone";
  }
  // Brought back, it stands where it stood, at its size.
  ASSERT_TRUE(x_->AskToMaximise(windows_->main_window(), false, &error)) << error;
  Rect back;
  EXPECT_TRUE(PollUntil(
      [&] {
        back = x_->Frame(windows_->main_window()).value_or(Rect{});
        return back.x == main.x && back.y == main.y && back.width == main.width && back.height == main.height;
      },
      10s))
      << "back at " << Describe(back) << ", not " << Describe(main);

  // Closed through the window manager, as its close button does.
  const auto asked = Clock::now();
  ASSERT_TRUE(x_->AskToClose(windows_->main_window(), &error)) << error;
  ExpectEndsWell("closing the main window through openbox", asked, false);
}

}  // namespace
}  // namespace brindlet::e2e

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (argc >= 2) brindlet::e2e::g_program = argv[1];
  brindlet::e2e::g_x = new brindlet::e2e::XEnvironment;
  ::testing::AddGlobalTestEnvironment(brindlet::e2e::g_x);  // owned by gtest from here
  return RUN_ALL_TESTS();
}
