// The real brindlet program as a native Wayland client of weston, with no X
// display in its environment.
//
// Usage: brindlet_wayland_tests <path of brindlet> [gtest options]
//
// Under weston's headless back end nothing ever gets the keyboard focus, so
// a playfield that shows the game there does so unfocused. weston's X11 back
// end, in an Xvfb of its own, takes the pointer: there a click starts a game
// and the close button of the window's frame ends the program. Screens are
// read with weston's screenshooter (headless) or from the X server.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QImage>
#include <QLibraryInfo>
#include <algorithm>
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
const std::string kWorkDir = std::string(BRINDLET_E2E_WORK_DIR) + "/wayland";

constexpr int kScreenWidth = 1600;
constexpr int kScreenHeight = 1100;

// The playfield in a screenshot of a white desktop: the rows and columns that
// are mostly black (the debug window, dark grey, may cover part of it).
std::optional<Rect> FindPlayfield(const Image& screen) {
  const auto black = [&](int x, int y) {
    const Rgb c = screen.At(x, y);
    return std::max({c.r, c.g, c.b}) < 30;
  };
  int top = -1, bottom = -1;
  for (int y = 0; y < screen.height(); ++y) {
    int n = 0;
    for (int x = 0; x < screen.width(); ++x) n += black(x, y);
    if (n >= 400) {
      if (top < 0) top = y;
      bottom = y;
    }
  }
  if (top < 0 || bottom - top < 300) return std::nullopt;
  int left = -1, right = -1;
  for (int x = 0; x < screen.width(); ++x) {
    int n = 0;
    for (int y = top; y <= bottom; ++y) n += black(x, y);
    if (n >= (bottom - top) / 2) {
      if (left < 0) left = x;
      right = x;
    }
  }
  if (left < 0 || right - left < 400) return std::nullopt;
  return Rect{left, top, right - left + 1, bottom - top + 1};
}

// The debug window's client area: the bounding box of its grey face.
std::optional<Rect> FindDebugWindow(const Image& screen) {
  int left = screen.width(), top = screen.height(), right = -1, bottom = -1;
  for (int y = 0; y < screen.height(); ++y) {
    for (int x = 0; x < screen.width(); ++x) {
      const Rgb c = screen.At(x, y);
      if (c.r != 64 || c.g != 64 || c.b != 64) continue;
      left = std::min(left, x), right = std::max(right, x);
      top = std::min(top, y), bottom = std::max(bottom, y);
    }
  }
  if (right - left < 200 || bottom - top < 300) return std::nullopt;
  return Rect{left, top, right - left + 1, bottom - top + 1};
}

bool Overlap(const Rect& a, const Rect& b) {
  return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

struct Seen {
  std::optional<Rect> field;
  std::optional<Rect> debug;
  std::size_t grey = 0;
  std::size_t coloured = 0;
  int ring = 0;
};
Seen LookAt(const Image& screen) {
  Seen seen;
  seen.field = FindPlayfield(screen);
  seen.debug = FindDebugWindow(screen);
  if (!seen.field) return seen;
  Image field = screen.Crop(seen.field->x, seen.field->y, seen.field->width, seen.field->height);
  if (seen.debug) {
    // Its red buttons and icon are not pegs: the window and its frame are
    // left out, as black.
    const Rect d = *seen.debug;
    for (int y = d.y - 35; y < d.y + d.height + 5; ++y) {
      for (int x = d.x - 5; x < d.x + d.width + 5; ++x) field.Set(x - seen.field->x, y - seen.field->y, {});
    }
  }
  seen.grey = FindPegs(field, {Hue::Grey}).size();
  seen.coloured = FindPegs(field, {Hue::Red, Hue::Blue}).size();
  seen.ring = CentreRingPixels(field);
  return seen;
}
std::string Describe(const Seen& s) {
  if (!s.field) return "no playfield on the screen";
  return std::to_string(s.grey) + " grey pegs, " + std::to_string(s.coloured) + " red and blue pegs, " +
         std::to_string(s.ring) + " orange ring pixels in the playfield at " + std::to_string(s.field->x) + "," +
         std::to_string(s.field->y) + " (" + std::to_string(s.field->width) + " x " +
         std::to_string(s.field->height) + ")";
}
// Where the orange ring glows, with room for its glow.
Rect RingArea(const Rect& field) { return {field.x + field.width / 2 - 60, field.y + field.height / 2 - 60, 120, 120}; }
// The attract display's grey pegs. weston 10 places the windows the same in
// every run: the playfield at 247,77 and the debug window, stacked above it,
// over the ring at its centre (but never over most of the pegs); the ring is
// looked for once that window is moved off it.
bool IsAttractDisplay(const Seen& s) { return s.field && s.grey >= 40 && s.coloured <= 2; }

Image FromQImage(const QImage& picture) {
  const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
  Image image(rgb.width(), rgb.height());
  for (int y = 0; y < rgb.height(); ++y) {
    const uchar* line = rgb.constScanLine(y);
    for (int x = 0; x < rgb.width(); ++x) image.Set(x, y, {line[3 * x], line[3 * x + 1], line[3 * x + 2]});
  }
  return image;
}

// A weston of its own: a private runtime folder and socket, a white desktop
// without a panel, and the screenshooter allowed (--debug).
class Weston {
 public:
  bool Start(const std::string& backend, const std::vector<std::string>& env, std::string* error) {
    fs::create_directories(kWorkDir);
    char runtime[] = "/tmp/brindlet-wayland-XXXXXX";
    if (mkdtemp(runtime) == nullptr) {
      *error = "cannot make a runtime folder";
      return false;
    }
    runtime_ = runtime;  // mkdtemp makes it private (0700), as Wayland wants
    std::ofstream(runtime_ + "/weston.ini") << "[shell]\nbackground-color=0xffffffff\npanel-position=none\n";
    ChildOptions options;
    options.set_env = env;
    options.set_env.push_back("XDG_RUNTIME_DIR=" + runtime_);
    options.unset_env = {"WAYLAND_DISPLAY"};
    options.log_path = kWorkDir + "/weston-" + backend + ".log";
    if (!process_.Start({"weston", "--backend=" + backend + "-backend.so", "--use-pixman", "--debug", "--idle-time=0",
                         "--socket=" + kSocket, "--config=" + runtime_ + "/weston.ini",
                         "--width=" + std::to_string(kScreenWidth), "--height=" + std::to_string(kScreenHeight)},
                        options, error)) {
      return false;
    }
    if (!PollUntil([&] { return fs::exists(runtime_ + "/" + kSocket) || !process_.Running(); }, 20s) ||
        !process_.Running()) {
      *error = "weston did not start; see " + options.log_path;
      return false;
    }
    return true;
  }
  ~Weston() {
    process_.Stop();
    std::error_code ignored;
    if (!runtime_.empty()) fs::remove_all(runtime_, ignored);
  }

  // The environment of a client: this weston's socket and no X display.
  ChildOptions Client(const std::string& log_path) const {
    ChildOptions options;
    options.set_env = {"XDG_RUNTIME_DIR=" + runtime_, "WAYLAND_DISPLAY=" + kSocket};
    options.unset_env = {"DISPLAY", "QT_QPA_PLATFORM", "BRINDLET_TICK_LOG"};
    options.log_path = log_path;
    return options;
  }

  // The whole output, through weston's screenshooter.
  std::optional<Image> Screenshot(std::string* error) const {
    const std::string folder = runtime_ + "/shots";
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    fs::create_directories(folder);
    const CommandResult shot = RunCommand({"sh", "-c", "cd '" + folder + "' && exec weston-screenshooter"},
                                          Client(""), 10s);
    for (const auto& entry : fs::directory_iterator(folder, ignored)) {
      QImage picture;
      if (picture.load(QString::fromStdString(entry.path().string()))) return FromQImage(picture);
    }
    *error = "weston-screenshooter made no picture: " + shot.err;
    return std::nullopt;
  }

 private:
  inline static const std::string kSocket = "brindlet-test";
  ChildProcess process_;
  std::string runtime_;
};

class WaylandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(g_program.empty()) << "usage: brindlet_wayland_tests <path of brindlet>";
    for (const char* tool : {"weston", "weston-screenshooter", "Xvfb", "xdotool"}) {
      ASSERT_FALSE(FindProgram(tool).empty()) << tool << " is not installed (scripts/deps test installs it)";
    }
    log_path_ = kWorkDir + "/" + ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".log";
  }
  void TearDown() override {
    if (HasFailure() && last_) SavePng(*last_, log_path_ + ".png");
  }

  std::string ProgramLog() const {
    std::ifstream in(log_path_);
    std::stringstream text;
    text << in.rdbuf();
    return "program output: " + (text.str().empty() ? std::string("(none)") : text.str());
  }

  // Looks with `look` until `seen` holds or `timeout` passes.
  bool LookUntil(const std::function<std::optional<Image>()>& look, const std::function<bool(const Seen&)>& wanted,
                 Millis timeout, Seen* seen, Millis interval = 300ms) {
    return PollUntil(
        [&] {
          last_ = look();
          if (!last_) return false;
          *seen = LookAt(*last_);
          return wanted(*seen);
        },
        timeout, interval);
  }

  std::string log_path_;
  std::optional<Image> last_;
};

// With no keyboard focus anywhere, the playfield shows the attract display
// and keeps presenting it: the ring flickers from one look to the next.
TEST_F(WaylandTest, ShowsTheGameUnfocusedFromTheFirstFrame) {
  Weston weston;
  std::string error;
  ASSERT_TRUE(weston.Start("headless", {}, &error)) << error;
  ChildProcess program;
  ASSERT_TRUE(program.Start({g_program}, weston.Client(log_path_), &error)) << error;
  const auto look = [&] { return weston.Screenshot(&error); };
  Seen seen;
  ASSERT_TRUE(LookUntil(look, IsAttractDisplay, 20s, &seen)) << Describe(seen) << " " << error << "\n" << ProgramLog();
  EXPECT_GE(seen.field->width, ProgramWindows::kPlayfieldWidth);
  EXPECT_GE(seen.field->height, ProgramWindows::kPlayfieldHeight);
  const Image first = *last_;
  Seen later;
  EXPECT_TRUE(LookUntil(
      look, [&](const Seen& s) { return IsAttractDisplay(s) && last_->bytes() != first.bytes(); }, 10s, &later))
      << "the playfield stopped changing: " << Describe(later);
  EXPECT_TRUE(program.Running()) << ProgramLog();
}

// weston's X11 back end passes Xvfb's pointer on: a click starts a game, and
// the close button of the main window's frame ends the program with status 0.
TEST_F(WaylandTest, AClickStartsAGameKeysReachItAndClosingTheWindowEndsIt) {
  std::string error;
  const std::unique_ptr<XServer> x = XServer::Start(kScreenWidth, kScreenHeight, kWorkDir + "/xvfb.log", &error);
  ASSERT_TRUE(x) << error;
  const XDriver driver(x->display());
  Weston weston;
  ASSERT_TRUE(weston.Start("x11", {"DISPLAY=" + x->display()}, &error)) << error;
  // weston's X11 back end moves its pointer by the steps the X pointer takes
  // from where weston last saw it, and starts it at (0,0) while the X pointer
  // is at the screen's centre. Sent to the far corner and back to (0,0), the
  // two meet there, where both stop at the edge, and move in step from then on.
  ASSERT_TRUE(driver.MoveMouse(kScreenWidth - 1, kScreenHeight - 1) && driver.MoveMouse(0, 0));
  ChildProcess program;
  ASSERT_TRUE(program.Start({g_program}, weston.Client(log_path_), &error)) << error;
  // weston's output is the only X window, at the screen's top-left corner.
  const auto look = [&] { return driver.Screenshot(std::nullopt, &error); };
  Seen seen;
  ASSERT_TRUE(LookUntil(look, IsAttractDisplay, 20s, &seen)) << Describe(seen) << " " << error << "\n" << ProgramLog();

  // The debug window stays above the main window; dragged by its title bar
  // off the middle of the playfield, it uncovers the ring. It is found
  // where two looks in a row agree (it is mapped again once the main window
  // is up).
  std::optional<Rect> before;
  const auto settled = [&](const Seen& s) {
    const bool same = s.debug && before && s.debug->x == before->x && s.debug->y == before->y;
    before = s.debug;
    return same && IsAttractDisplay(s);
  };
  ASSERT_TRUE(LookUntil(look, settled, 20s, &seen, 1s)) << "the debug window did not settle: " << Describe(seen);
  const Rect field = *seen.field;
  const Rect ring = RingArea(field);
  if (Overlap(*seen.debug, ring)) {
    const int toRight = ring.x + ring.width + 20 - seen.debug->x;
    const int toLeft = ring.x - 20 - (seen.debug->x + seen.debug->width);
    const int dx = seen.debug->x + toRight + seen.debug->width <= kScreenWidth ? toRight : toLeft;
    const int grabX = seen.debug->x + seen.debug->width / 2, grabY = seen.debug->y - 14;
    const CommandResult drag = driver.Run({"xdotool", "mousemove", std::to_string(grabX), std::to_string(grabY),
                                           "mousedown", "1", "sleep", "0.3", "mousemove", std::to_string(grabX + dx / 2),
                                           std::to_string(grabY), "sleep", "0.3", "mousemove",
                                           std::to_string(grabX + dx), std::to_string(grabY), "sleep", "0.3",
                                           "mouseup", "1"});
    ASSERT_EQ(drag.exit_code, 0) << drag.err;
    const Rect from = *seen.debug;
    ASSERT_TRUE(LookUntil(look, [&](const Seen& s) { return s.debug && s.debug->x != from.x; }, 10s, &seen))
        << "dragging the debug window by its title bar at " << grabX << "," << grabY << " did not move it from "
        << from.x << "," << from.y << ": weston's pointer and the X pointer are not in step";
  }
  ASSERT_TRUE(LookUntil(look, [&](const Seen& s) { return IsAttractDisplay(s) && s.ring >= 100; }, 10s, &seen))
      << "no orange ring: " << Describe(seen);
  const Rect debug = *seen.debug;
  ASSERT_TRUE(seen.field && seen.field->x == field.x && seen.field->y == field.y) << Describe(seen);

  // A click on the playfield, away from the debug window.
  int clickX = field.x + field.width * 7 / 8, clickY = field.y + field.height * 7 / 8;
  if (Overlap(debug, {clickX - 5, clickY - 5, 10, 10})) clickX = field.x + field.width / 8;
  ASSERT_TRUE(driver.MoveMouse(clickX, clickY));
  std::this_thread::sleep_for(300ms);
  ASSERT_TRUE(driver.Click());
  ASSERT_TRUE(LookUntil(look, [](const Seen& s) { return s.coloured >= 40 && s.grey <= 5; }, 20s, &seen))
      << "no game started: " << Describe(seen) << "\n" << ProgramLog();

  // Keys reach the game through the compositor: Tab shows the keyboard
  // cursor's yellow ring round a peg; F11 fills weston's output with the
  // playfield, and takes it back.
  const auto yellow = [&](const Seen&) {
    int n = 0;
    for (int py = field.y; py < field.y + field.height; ++py) {
      for (int px = field.x; px < field.x + field.width; ++px) {
        const Rgb c = last_->At(px, py);
        n += c.r > 200 && c.g > 170 && c.b < 60;
      }
    }
    return n >= 20;
  };
  ASSERT_EQ(driver.Run({"xdotool", "key", "Tab"}).exit_code, 0);
  EXPECT_TRUE(LookUntil(look, yellow, 10s, &seen)) << "no keyboard cursor after Tab\n" << ProgramLog();
  ASSERT_EQ(driver.Run({"xdotool", "key", "F11"}).exit_code, 0);
  EXPECT_TRUE(LookUntil(look, [&](const Seen& s) { return s.field && s.field->height > field.height + 20; }, 10s, &seen))
      << "F11 did not fill the output: " << Describe(seen);
  ASSERT_EQ(driver.Run({"xdotool", "key", "F11"}).exit_code, 0);
  // (Within the border's two pixels: back from full screen under weston,
  // the playfield's one-pixel border is not seen again.)
  EXPECT_TRUE(LookUntil(
      look, [&](const Seen& s) { return s.field && std::abs(s.field->height - field.height) <= 2; }, 10s, &seen))
      << "F11 did not bring the window back: " << Describe(seen) << ", not " << field.height << " high";

  // The frame's close button: at the right of its title bar, just above the
  // playfield's top-right corner.
  ASSERT_TRUE(driver.MoveMouse(field.x + field.width - 13, field.y - 16));
  std::this_thread::sleep_for(300ms);
  ASSERT_TRUE(driver.Click());
  const std::optional<int> status = program.WaitForEnd(10s);
  ASSERT_TRUE(status) << "closing the window did not end the program";
  EXPECT_EQ(DescribeStatus(*status), "exit status 0") << ProgramLog();
}

// Qt's Wayland plugin hidden, as on a system without qt6-wayland: in a
// mount namespace of its own, the platforms folder holds only the X11 plugin.
// Without an X display the program says in one line what to install;
// beside one it runs on X11.
TEST_F(WaylandTest, WithoutQtsWaylandPluginItNeedsX11) {
  if (geteuid() != 0 || FindProgram("unshare").empty()) GTEST_SKIP() << "hiding the plugin needs root and unshare";
  const std::string platforms = QLibraryInfo::path(QLibraryInfo::PluginsPath).toStdString() + "/platforms";
  const std::string only_xcb = kWorkDir + "/only-xcb";
  fs::create_directories(only_xcb);
  fs::copy_file(platforms + "/libqxcb.so", only_xcb + "/libqxcb.so", fs::copy_options::overwrite_existing);
  const std::vector<std::string> hidden = {
      "unshare", "-m", "sh", "-c", "mount --bind \"$0\" \"$1\" && exec \"$2\"", only_xcb, platforms, g_program};

  Weston weston;
  std::string error;
  ASSERT_TRUE(weston.Start("headless", {}, &error)) << error;
  const CommandResult alone = RunCommand(hidden, weston.Client(""), 10s);
  ASSERT_TRUE(alone.ran);
  EXPECT_EQ(alone.exit_code, 1) << alone.err;
  EXPECT_EQ(std::count(alone.err.begin(), alone.err.end(), '\n'), 1) << alone.err;
  EXPECT_NE(alone.err.find("qt6-wayland"), std::string::npos) << alone.err;

  const std::unique_ptr<XServer> x = XServer::Start(kScreenWidth, kScreenHeight, kWorkDir + "/xvfb.log", &error);
  ASSERT_TRUE(x) << error;
  ChildOptions options = weston.Client(log_path_);
  options.unset_env.erase(std::find(options.unset_env.begin(), options.unset_env.end(), "DISPLAY"));
  options.set_env.push_back("DISPLAY=" + x->display());
  ChildProcess program;
  ASSERT_TRUE(program.Start(hidden, options, &error)) << error;
  const XDriver driver(x->display());
  EXPECT_TRUE(PollUntil([&] { return !driver.FindWindows("^Brindlet!$", 0, true).empty(); }, 20s))
      << "no window on the X display\n" << ProgramLog();
  EXPECT_TRUE(program.Running()) << ProgramLog();
}

}  // namespace
}  // namespace brindlet::e2e

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (argc >= 2) brindlet::e2e::g_program = argv[1];
  return RUN_ALL_TESTS();
}
