// The board as a screen reader finds it on a real accessibility bus: the
// real program, each run on a session bus of its own (dbus-run-session,
// kept up by scripts/a11y-probe listening), read and heard through AT-SPI,
// played with xdotool under Xvfb and shown under weston.
//
// Usage: brindlet_a11y_tests <brindlet> <scripts/a11y-probe> [gtest options]
// Exits 77 (skipped) when a tool it needs is missing.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include "shot.h"
#include "x_session.h"

namespace brindlet::e2e {
namespace {

namespace fs = std::filesystem;
using Row = std::vector<std::string>;

std::string g_program, g_probe;

// The tab-separated lines of `text` that start with `kind`, without it.
std::vector<Row> Rows(const std::string& text, const std::string& kind) {
  std::vector<Row> rows;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    Row row;
    for (std::string field; std::getline(fields, field, '\t');) row.push_back(field);
    if (row.size() > 1 && row[0] == kind) rows.emplace_back(row.begin() + 1, row.end());
  }
  return rows;
}

// Pegs rows (centre x, centre y, states, name): 100, named "<colour> peg
// <n>..." in index order, red and blue in a game and grey before.
bool Named(const std::vector<Row>& pegs, bool game) {
  static const std::regex name(R"(^(grey|red|blue) peg (\d+)(, linked to \d+)?(, refused)?(, selected)?$)");
  std::smatch m;
  for (std::size_t i = 0; i < pegs.size(); ++i) {
    if (pegs[i].size() != 4 || !std::regex_match(pegs[i][3], m, name) || m[2] != std::to_string(i + 1) ||
        (m[1] == "grey") == game) {
      return false;
    }
  }
  return pegs.size() == 100;
}

class Accessibility : public ::testing::Test {
 protected:
  void SetUp() override {
    char runtime[] = "/tmp/brindlet-a11y-XXXXXX";
    ASSERT_NE(mkdtemp(runtime), nullptr);
    runtime_ = runtime;
    server_ = XServer::Start(1600, 1000, runtime_ + "/xvfb.log", &error_);
    ASSERT_TRUE(server_) << error_;
    x_ = std::make_unique<XDriver>(server_->display());
  }
  void TearDown() override {
    program_.Stop();
    EndBus();
    std::error_code ignored;
    if (!HasFailure()) fs::remove_all(runtime_, ignored);
  }

  // A session bus of its own (`env` for the services it starts), the probe
  // listening to its accessibility bus until EndBus.
  void StartBus(std::vector<std::string> env) {
    int end[2];
    ASSERT_EQ(pipe2(end, O_CLOEXEC), 0);
    env.push_back("XDG_RUNTIME_DIR=" + runtime_);
    fs::remove(runtime_ + "/heard");
    ASSERT_TRUE(bus_.Start({"dbus-run-session", "--", g_probe, "listen", "--until-fd3-ends"},
                           {env, {}, runtime_ + "/heard", end[0]}, &error_)) << error_;
    close(end[0]);
    end_ = end[1];
    std::vector<Row> bus;
    ASSERT_TRUE(PollUntil([&] { return !(bus = Heard("bus")).empty() || !bus_.Running(); }, 30s) && !bus.empty());
    client_ = {"DBUS_SESSION_BUS_ADDRESS=" + bus[0][0], "XDG_RUNTIME_DIR=" + runtime_,
               "XDG_CONFIG_HOME=" + runtime_ + "/config", "QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1"};
  }
  // Quit as SIGTERM asks, ending well.
  void StopProgram() {
    program_.Stop();
    EXPECT_EQ(DescribeStatus(program_.status().value_or(-1)), "exit status 0");
  }
  void EndBus() {
    if (end_ >= 0) close(end_);  // the probe ends, and with it the session
    end_ = -1;
    bus_.WaitForEnd(10s);
  }
  std::vector<Row> Heard(const std::string& kind) const {
    std::stringstream text;
    text << std::ifstream(runtime_ + "/heard").rdbuf();
    return Rows(text.str(), kind);
  }
  // The program on the bus with `env`; its pegs once Named(pegs, game).
  std::vector<Row> Start(std::vector<std::string> env, bool game = false) {
    env.insert(env.end(), client_.begin(), client_.end());
    EXPECT_TRUE(program_.Start({g_program}, {env, {}, runtime_ + "/program.log"}, &error_)) << error_;
    return Pegs(game);
  }
  std::vector<Row> Pegs(bool game) {
    std::vector<Row> pegs;
    PollUntil([&] {
      const std::string pid = std::to_string(program_.pid());
      pegs = Rows(RunCommand({g_probe, "tree", pid}, {client_, {}, ""}).out, "peg");
      return Named(pegs, game);
    }, 60s, 500ms);
    return pegs;
  }
  // The first line of `kind` heard after `after` of them; "" if none comes.
  std::string Next(const std::string& kind, std::size_t after) {
    std::vector<Row> heard;
    PollUntil([&] { return (heard = Heard(kind)).size() > after; }, 15s);
    return heard.size() > after ? heard[after][0] : "";
  }

  std::string error_, runtime_;
  std::unique_ptr<XServer> server_;
  std::unique_ptr<XDriver> x_;
  ChildProcess bus_, program_;
  int end_ = -1;
  std::vector<std::string> client_;
};

// On X11: a game's pegs stand where the screen shows them in their colour;
// Tab moves the focus to the next peg; a link made and one refused are each
// said once. The attract display's pegs (names, states, order) are the same
// on native Wayland.
TEST_F(Accessibility, ReadsTheBoardHearsTabAndLinksTheSameOnX11AndWayland) {
  ASSERT_NO_FATAL_FAILURE(StartBus({"DISPLAY=" + server_->display()}));
  const std::vector<Row> attract = Start({"DISPLAY=" + server_->display(), "QT_QPA_PLATFORM=xcb"});
  ASSERT_TRUE(Named(attract, false)) << "no attract display on the bus";
  ProgramWindows windows(*x_, program_.pid());
  ASSERT_TRUE(windows.Find(30s, &error_)) << error_;
  ASSERT_TRUE(windows.ClickAt({700, 600}));
  Image look;
  const auto seen = WaitForRestingPegs(windows, {Hue::Red, Hue::Blue}, 80, 60s, &look);
  ASSERT_TRUE(seen) << "no game at rest";
  const std::vector<Row> pegs = Pegs(true);
  ASSERT_TRUE(Named(pegs, true)) << pegs.size() << " pegs on the bus";

  // The pegs where the bus places them, in image pixels (the debug window
  // stands beside the playfield on this screen). Where the screen shows a
  // peg alone, the bus has one of its colour, within 2 pixels and on
  // average within half a pixel.
  const Rect field = windows.playfield();
  std::vector<SeenPeg> told;
  for (const Row& peg : pegs) {
    told.push_back({peg[3][0] == 'r' ? Hue::Red : Hue::Blue, {std::stod(peg[0]) - field.x, std::stod(peg[1]) - field.y}});
  }
  Point off{0, 0};
  int alone = 0;
  for (const SeenPeg& s : *seen) {
    const auto at = std::min_element(told.begin(), told.end(), [&](const SeenPeg& a, const SeenPeg& b) {
      return Distance(a.position, s.position) < Distance(b.position, s.position);
    });
    if (!s.single) continue;
    EXPECT_LE(Distance(at->position, s.position), 2.0) << pegs[at - told.begin()][3];
    EXPECT_EQ(at->hue, s.hue) << pegs[at - told.begin()][3] << " shows " << HueName(s.hue);
    off = {off.x + at->position.x - s.position.x, off.y + at->position.y - s.position.y};
    ++alone;
  }
  ASSERT_GE(alone, 50);
  EXPECT_LT(std::hypot(off.x, off.y) / alone, 0.5) << "off by " << off.x / alone << ", " << off.y / alone;

  ASSERT_TRUE(x_->Run({"xdotool", "windowfocus", "--sync", std::to_string(windows.main_window())}).ran);
  ASSERT_TRUE(x_->Run({"xdotool", "key", "Tab", "Tab"}).ran);
  EXPECT_EQ(Next("focus", 0) + Next("focus", 1), "01") << "Tab: the first peg, then the next one";

  // A link, and a pair of pegs across it.
  const PickRules rules;
  const std::optional<Point> empty = EmptySpot(told, rules);
  PlannedLink a;
  std::optional<PlannedLink> b;
  for (const PlannedLink& link : AcceptedLinks(told, {}, {}, 20, rules, 150.0)) {
    const Segment standing{told[link.first].position, told[link.second].position};
    if (!b && (b = RefusedLink(told, {link.first, link.second}, {standing}, rules))) a = link;
  }
  ASSERT_TRUE(b && empty) << "no link with a pair across it, or no empty space";
  for (const auto& [link, said] : {std::pair{a, "Link made: " + pegs[a.first][3] + " to " + pegs[a.second][3]},
                                   std::pair{*b, "Link refused: " + pegs[b->first][3] + " to " + pegs[b->second][3] +
                                                     " came too close to a standing link"}}) {
    const std::size_t before = Heard("said").size(), renamed = Heard("renamed").size();
    const std::size_t selected = Heard("selected").size();
    ASSERT_TRUE(ClickLink(windows, told[link.first].position, told[link.second].position, *empty));
    EXPECT_EQ(Next("said", before + 2), said + ". State: Idle.") << "after the two selections";
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(Heard("said").size(), before + 3) << "said once";
    // Both pegs were heard selected, and renamed.
    for (const auto& [kind, from] : {std::pair{"selected", selected}, std::pair{"renamed", renamed}}) {
      const std::vector<Row> now = Heard(kind);
      for (const int peg : {link.first, link.second}) {
        EXPECT_NE(std::find(now.begin() + from, now.end(), Row{std::to_string(peg)}), now.end()) << kind << pegs[peg][3];
      }
    }
  }
  EXPECT_EQ(Heard("shown"), Heard("said")) << "each said as a notification shown";
  for (const Row& peg : Pegs(true)) EXPECT_EQ(peg[2].find("focused"), std::string::npos) << "the mouse took over";

  StopProgram();
  EndBus();
  ASSERT_NO_FATAL_FAILURE(StartBus({}));
  ChildProcess weston;
  ASSERT_TRUE(weston.Start({"weston", "--backend=headless-backend.so", "--use-pixman", "--socket=a11y"},
                           {{"XDG_RUNTIME_DIR=" + runtime_}, {"DISPLAY"}, runtime_ + "/weston.log"}, &error_));
  ASSERT_TRUE(PollUntil([&] { return fs::exists(runtime_ + "/a11y"); }, 20s)) << "weston did not start";
  const std::vector<Row> wayland = Start({"WAYLAND_DISPLAY=a11y", "QT_QPA_PLATFORM=wayland"});
  ASSERT_EQ(wayland.size(), attract.size());
  for (std::size_t i = 0; i < attract.size(); ++i) {
    EXPECT_EQ(wayland[i][2] + " " + wayland[i][3], attract[i][2] + " " + attract[i][3]) << "on Wayland and X11";
  }
  StopProgram();
}

}  // namespace
}  // namespace brindlet::e2e

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  using namespace brindlet::e2e;
  if (argc < 3) return std::fprintf(stderr, "usage: brindlet_a11y_tests <brindlet> <a11y-probe>\n"), 2;
  g_program = argv[1];
  g_probe = argv[2];
  for (const char* tool : {"Xvfb", "xdotool", "xwininfo", "weston", "dbus-run-session"}) {
    if (FindProgram(tool).empty()) return std::printf("skipped: %s is not installed\n", tool), 77;
  }
  // Without arguments the probe only imports pyatspi (77 without it) and shows its usage.
  if (RunCommand({g_probe}, {{"DBUS_SESSION_BUS_ADDRESS=disabled:"}, {}, ""}).exit_code == 77) {
    return std::printf("skipped: no python3-pyatspi\n"), 77;
  }
  return RUN_ALL_TESTS();
}
