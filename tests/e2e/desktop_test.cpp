// The real brindlet program on the desktops people use, one run each: the
// bare X server of a kiosk, X11 window managers, and Wayland compositors
// nested in an Xvfb (weston on its X11 back end), each in a session of its
// own. Every run is judged alike: by screenshots of the X server, and against
// the frame the game drew, which the program writes when frozen
// (BRINDLET_FRAME_DUMP and SIGUSR1).
//
// Also weston's headless back end, where nothing ever has the keyboard
// focus, and a system without Qt's Wayland plugin.
#include <QLibraryInfo>
#include <thread>

#include "session.h"

namespace brindlet::e2e {
namespace {

constexpr int kW = ProgramWindows::kPlayfieldWidth, kH = ProgramWindows::kPlayfieldHeight;

// Desktops without wallpaper: white, so that the dark playfield stands out.
const char* const kWestonIni = "[shell]\nbackground-color=0xffffffff\npanel-position=none\n";
const char* const kSwayConfig =
    "output * resolution {width}x{height} bg #ffffff solid_color\nxwayland disable\nbindsym Mod4+Shift+q kill\n";

const Desktop kDesktops[] = {
    {"BareX", Kind::BareX, {}, {}},
    // On a small screen the windows stand side by side, smaller.
    {"Openbox", Kind::X11, {"openbox", "--sm-disable"}, {}, "", false, false, 1280, 720},
    {"OpenboxAlongside", Kind::X11, {"openbox", "--sm-disable"}, {}, "", true},
    {"Xfwm4", Kind::X11, {"xfwm4"}, {}},
    {"IceWM", Kind::X11, {"icewm"}, {}},
    {"IceWMAlongside", Kind::X11, {"icewm"}, {}, "", true},
    {"MutterX11", Kind::X11, {"mutter", "--x11", "--sm-disable"}, {}},
    {"KWinX11", Kind::X11, {"kwin_x11"}, {}},
    {"Weston", Kind::Wayland,
     {"weston", "--backend=x11-backend.so", "--use-pixman", "--idle-time=0", "--socket=wayland-1", "--width={width}",
      "--height={height}", "--config={runtime}/desktop.conf"},
     {}, kWestonIni, false, false, 1600, 1000, "",
     "back from full screen the debug panel is missing in some runs, though the window keeps its width"},
    {"MutterWayland", Kind::Wayland, {"mutter", "--nested", "--wayland", "--no-x11", "--wayland-display=wayland-1"},
     {"MUTTER_DEBUG_DUMMY_MODE_SPECS={width}x{height}"}, "", false, false, 1600, 1000, "",
     "back from full screen mutter gives the window a size it kept from before, and the first frames after it"
     " show parts of the full-screen picture where the window grew"},
    {"KWinWayland", Kind::Wayland,
     {"kwin_wayland", "--x11-display", "{display}", "--socket", "wayland-1", "--width", "{width}", "--height",
      "{height}", "--no-lockscreen"},
     {}, "", false, false, 1600, 1000, "alt+F4"},
    {"Sway", Kind::Wayland, {"sway", "--config", "{runtime}/desktop.conf"}, {"WLR_BACKENDS=x11"}, kSwayConfig, false,
     true, 1600, 1000, "super+shift+q"},
};

const Desktop kWestonHeadless{"WestonHeadless", Kind::Headless,
                              {"weston", "--backend=headless-backend.so", "--use-pixman", "--debug", "--idle-time=0",
                               "--socket=wayland-1", "--width={width}", "--height={height}",
                               "--config={runtime}/desktop.conf"},
                              {},
                              kWestonIni};

// --- Reading a Wayland desktop's screen ---

// The window's dark client area on a light desktop: the rows that are mostly
// black, and the columns that are so within them.
std::optional<Rect> FindDarkArea(const Image& screen) {
  const auto span = [&](int lines, int from, int to, bool rows, int at_least) {
    std::pair<int, int> found{-1, -1};
    for (int i = 0; i < lines; ++i) {
      int n = 0;
      for (int j = from; j < to; ++j) {
        const Rgb c = rows ? screen.At(j, i) : screen.At(i, j);
        n += std::max({c.r, c.g, c.b}) < 30;
      }
      if (n >= at_least) found = {found.first < 0 ? i : found.first, i};
    }
    return found;
  };
  const auto [top, bottom] = span(screen.height(), 0, screen.width(), true, 400);
  if (top < 0 || bottom - top < 300) return std::nullopt;
  const auto [left, right] = span(screen.width(), top, bottom + 1, false, (bottom - top) / 2);
  if (left < 0 || right - left < 400) return std::nullopt;
  return Rect{left, top, right - left + 1, bottom - top + 1};
}

// The debug window's contents, a window or a panel: the bounding box of
// their grey face (runs of it, which a dot's blend never makes).
std::optional<Rect> FindDebugFace(const Image& screen) {
  int left = screen.width(), top = screen.height(), right = -1, bottom = -1;
  for (int y = 0; y < screen.height(); ++y) {
    for (int x = 0, run = 0; x < screen.width(); ++x) {
      const Rgb c = screen.At(x, y);
      run = c.r == 64 && c.g == 64 && c.b == 64 ? run + 1 : 0;
      if (run < 16) continue;
      left = std::min(left, x - run + 1), right = std::max(right, x);
      top = std::min(top, y), bottom = std::max(bottom, y);
    }
  }
  if (right - left < 200 || bottom - top < 300) return std::nullopt;
  return Rect{left, top, right - left + 1, bottom - top + 1};
}

// Where the playfield fills an area (full screen, maximised, tiled): as large
// as fits, its shape kept, centred.
Rect Filled(const Rect& area) {
  const double scale = std::min(static_cast<double>(area.width) / kW, static_cast<double>(area.height) / kH);
  const int w = std::min(area.width, static_cast<int>(std::lround(kW * scale)));
  const int h = std::min(area.height, static_cast<int>(std::lround(kH * scale)));
  return {area.x + (area.width - w) / 2, area.y + (area.height - h) / 2, w, h};
}

// How far the screen, over `field`, is from showing the frame (leaving out
// what lies under `hidden`), by the light of 8 x 8 blocks (the dots of a
// scaled picture blend into their neighbours): the sum of the blocks'
// differences against the frame's own light.
double Difference(const Image& screen, const Rect& field, const Image& frame,
                  const std::optional<Rect>& hidden = std::nullopt) {
  constexpr int kBlock = 8;
  const auto light = [](const Image& image, int x0, int y0, int x1, int y1) {
    double total = 0;
    for (int y = y0; y < y1; ++y) {
      for (int x = x0; x < x1; ++x) {
        const Rgb c = image.At(x, y);
        total += c.r + c.g + c.b;
      }
    }
    return total / std::max(1, (x1 - x0) * (y1 - y0));
  };
  double difference = 0, drawn = 0;
  for (int by = 0; by < kH / kBlock; ++by) {
    for (int bx = 0; bx < kW / kBlock; ++bx) {
      const int x0 = field.x + bx * kBlock * field.width / kW, x1 = field.x + (bx + 1) * kBlock * field.width / kW;
      const int y0 = field.y + by * kBlock * field.height / kH, y1 = field.y + (by + 1) * kBlock * field.height / kH;
      if (hidden && Overlap(*hidden, {x0, y0, x1 - x0, y1 - y0})) continue;
      const double block = light(frame, bx * kBlock, by * kBlock, (bx + 1) * kBlock, (by + 1) * kBlock);
      difference += std::abs(light(screen, x0, y0, x1, y1) - block);
      drawn += block;
    }
  }
  return difference / std::max(drawn, 1.0);
}
// 1:1 the screen shows the frame as drawn; scaled, blended.
bool Shows(const Image& screen, const Rect& field, const Image& frame, const std::optional<Rect>& hidden) {
  const bool scaled = field.width != kW || field.height != kH;
  return Difference(screen, field, frame, hidden) <= (scaled ? 0.4 : 0.02);
}

// Bright pixels spread over the frame: the brightest of each of 8 x 6 cells
// (none in a cell all dark).
std::vector<std::pair<int, int>> Marks(const Image& frame) {
  std::vector<std::pair<int, int>> marks;
  for (int cy = 0; cy < 6; ++cy) {
    for (int cx = 0; cx < 8; ++cx) {
      int best = 90, bx = -1, by = -1;
      for (int y = cy * kH / 6; y < (cy + 1) * kH / 6; ++y) {
        for (int x = cx * kW / 8; x < (cx + 1) * kW / 8; ++x) {
          const Rgb c = frame.At(x, y);
          if (c.r + c.g + c.b > best) best = c.r + c.g + c.b, bx = x, by = y;
        }
      }
      if (bx >= 0) marks.emplace_back(bx, by);
    }
  }
  return marks;
}

// Where the screen shows the frame: where it is `known` to stand, 1:1
// anywhere (found by its marks, then checked whole), or
// filling the screen or the dark area. `hidden` covers what may lie over it.
std::optional<Rect> FindFrame(const Image& screen, const Image& frame, const std::optional<Rect>& hidden,
                              const std::optional<Rect>& known) {
  if (known && Shows(screen, *known, frame, hidden)) return known;
  const std::vector<std::pair<int, int>> marks = Marks(frame);
  for (int oy = 0; oy + kH <= screen.height(); ++oy) {
    for (int ox = 0; ox + kW <= screen.width(); ++ox) {
      int seen = 0;
      bool same = true;
      for (const auto& [mx, my] : marks) {
        if (hidden && Overlap(*hidden, {ox + mx, oy + my, 1, 1})) continue;
        const Rgb a = screen.At(ox + mx, oy + my), b = frame.At(mx, my);
        if (std::max({std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)}) > 8) {
          same = false;
          break;
        }
        ++seen;
      }
      if (same && seen >= 6 && Shows(screen, {ox, oy, kW, kH}, frame, hidden)) return Rect{ox, oy, kW, kH};
    }
  }
  std::vector<Rect> areas{{0, 0, screen.width(), screen.height()}};
  if (const std::optional<Rect> dark = FindDarkArea(screen)) {
    areas.push_back(*dark);
    // A debug panel beside the playfield takes the right of the window.
    if (hidden && hidden->x > dark->x && hidden->x < dark->x + dark->width) {
      areas.push_back({dark->x, dark->y, hidden->x + 5 - dark->x, dark->height});
    }
  }
  for (const Rect& area : areas) {
    for (const int d : {0, -1, 1}) {
      Rect field = Filled(area);
      field.x += d;
      field.y += d;
      if (Shows(screen, field, frame, hidden)) return field;
    }
  }
  return std::nullopt;
}

// Where the debug window's face and its frame (a caption above) may lie over
// the playfield.
std::optional<Rect> Covering(const std::optional<Rect>& face) {
  if (!face) return std::nullopt;
  return Rect{face->x - 5, face->y - 35, face->width + 10, face->height + 40};
}

// --- One run per desktop ---

class DesktopTest : public SessionTest, public ::testing::WithParamInterface<Desktop> {
 protected:
  bool OnX11() const { return d_.kind != Kind::Wayland; }

  // X11: waits until the window manager has framed the windows and they
  // stand still.
  bool Settle(std::string* error) {
    windows_ = std::make_unique<ProgramWindows>(*x_, program_.pid());
    if (!windows_->Find(30s, error)) return false;
    const bool settled = PollUntil(
        [&] {
          const std::optional<Rect> m = x_->Frame(windows_->main_window()), f = x_->Frame(windows_->debug_window());
          const bool same = m && f && Describe(*m) + Describe(*f) == Describe(main_frame_) + Describe(debug_frame_);
          main_frame_ = m.value_or(Rect{}), debug_frame_ = f.value_or(Rect{});
          return same;
        },
        20s, 500ms);
    if (!settled) *error = "the windows did not settle: " + Describe(main_frame_) + ", " + Describe(debug_frame_);
    return settled;
  }

  // Where the playfield shows: the frame the game drew, frozen once it has
  // drawn, found on the screen (on X11, first where the main window stands).
  // The game runs on after, unless `stay_frozen`.
  bool Locate(std::string* error, bool stay_frozen = false) {
    // Off the playfield: a compositor draws its pointer.
    if (!x_->MoveMouse(d_.width - 1, d_.height - 1)) return false;
    std::optional<Rect> known;
    if (OnX11()) {
      if (!windows_->Find(10s, error)) return false;
      known = windows_->playfield();
    }
    std::optional<Image> frame;
    const bool drawn = PollUntil(
        [&] {
          frame = Freeze();
          if (!frame || Marks(*frame).size() >= 24) return frame.has_value();
          Thaw();
          return false;
        },
        30s, 300ms);
    std::optional<Rect> found;
    PollUntil(
        [&] {
          const std::optional<Image> screen = drawn ? Screenshot() : std::nullopt;
          if (screen) found = FindFrame(*screen, *frame, Covering(FindDebugFace(*screen)), known);
          return !drawn || found;
        },
        10s, 300ms);
    if (!stay_frozen) Thaw();
    if (found) field_ = *found;
    if (!found) {
      *error = !frame   ? "the program wrote no frame"
               : !drawn ? "the game drew nothing"
                        : "the frame the game drew (" + name_ + "-frame.png) is not on the screen";
      if (frame) SavePng(*frame, kWorkDir + "/" + name_ + "-frame.png");
    }
    return found.has_value();
  }

  // The debug window (X11) or the face of the debug window or panel
  // (Wayland) on the screen.
  std::optional<Rect> DebugShown() {
    if (OnX11()) return windows_->DebugWindowVisible() ? std::optional(windows_->debug_info().rect) : std::nullopt;
    const std::optional<Image> screen = Screenshot();
    return screen ? FindDebugFace(*screen) : std::nullopt;
  }

  bool ClickAt(Point image, bool click = true) {
    const Point at = FieldToScreen(field_, image);
    if (!x_->MoveMouse(static_cast<int>(at.x), static_cast<int>(at.y))) return false;
    // Ticks sample the pointer where it rests.
    std::this_thread::sleep_for(300ms);
    return !click || x_->Click();
  }

  // Debug contents standing as a panel right of the playfield, in the same
  // window: tops level, or the panel at the top of a window the playfield
  // fills, centred.
  bool Beside(const std::optional<Rect>& face) const {
    return face && face->x >= field_.x + field_.width && face->x <= field_.x + field_.width + 24 &&
           face->y <= field_.y + 24 && face->y + face->height > field_.y;
  }

  bool Key(const char* keys) {
    const CommandResult r = x_->Run({"xdotool", "key", keys}, 10s);
    return r.ran && r.exit_code == 0;
  }

  // F11 fills the screen with the playfield, centred on black (the debug
  // window may stand above it on X11; the panel hides on Wayland); F11 again
  // brings it back, 1:1 (on X11 where it stood; on Wayland the compositor
  // places it), showing the frame the game drew whole, nothing stale or
  // blank.
  void ExpectFullScreenAndBack(const Rect& normal) {
    const int W = d_.width, H = d_.height;
    std::string error;
    ASSERT_TRUE(Key("F11"));
    int around = 0;
    EXPECT_TRUE(PollUntil(
        [&] {
          if (!Locate(&error) || field_.height < H - 2) return false;
          const std::optional<Rect> over = OnX11() ? Covering(DebugShown()) : std::nullopt;
          const Rect edge{field_.x - 1, field_.y - 1, field_.width + 2, field_.height + 2};
          around = 0;
          for (int y = 0; y < H; ++y) {
            for (int x = 0; x < W; ++x) {
              const Rgb c = last_->At(x, y);
              const Rect at{x, y, 1, 1};
              around += c.r + c.g + c.b > 30 && !Overlap(at, edge) && !(over && Overlap(at, *over));
            }
          }
          return around <= 64;  // the pointer a compositor draws in the corner
        },
        20s, 500ms))
        << "F11 did not fill the screen: the playfield at " << Describe(field_) << ", " << around
        << " lit pixels round it; " << error;
    if (!OnX11()) {
      EXPECT_FALSE(DebugShown()) << "(panel) the debug contents show in full screen";
    }
    ASSERT_TRUE(Key("F11"));
    const bool back = PollUntil([&] { return Locate(&error, true) || (Thaw(), false); }, 20s, 500ms);
    EXPECT_TRUE(back && field_.width == normal.width && field_.height == normal.height &&
                (!OnX11() || (field_.x == normal.x && field_.y == normal.y)))
        << "back from full screen: " << (back ? "the playfield at " + Describe(field_) : error) << ", not at "
        << Describe(normal);
    if (!back) field_ = normal;
    Thaw();
  }

  std::unique_ptr<ProgramWindows> windows_;
  Rect main_frame_, debug_frame_;
};

// Checks marked "(panel)" wait for the native Wayland debug panel: the debug
// window's contents beside the playfield, inside the main window.
TEST_P(DesktopTest, PlaysAndEnds) {
  ASSERT_NO_FATAL_FAILURE(StartSession(GetParam()));
  if (IsSkipped()) return;
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  std::string error;
  ASSERT_TRUE((!OnX11() || Settle(&error)) && Locate(&error)) << error << "\n" << Log();
  const int W = d_.width, H = d_.height;

  // Whole and where they belong. On X11 the two windows side by side, the
  // playfield 1:1 where the screen has room and at no less than half size
  // elsewhere, its shape kept; on Wayland the playfield whole on the screen
  // and the debug panel right of it.
  EXPECT_TRUE(Inside(field_, W, H)) << "the playfield at " << Describe(field_);
  if (OnX11()) {
    EXPECT_TRUE(Inside(main_frame_, W, H) && Inside(debug_frame_, W, H) && !Overlap(main_frame_, debug_frame_))
        << "main window " << Describe(main_frame_) << ", debug window " << Describe(debug_frame_);
    EXPECT_TRUE(W >= 1600 ? field_.width == kW : field_.width >= kW / 2 && field_.width <= kW) << Describe(field_);
    EXPECT_NEAR(field_.width * double(kH) / kW, field_.height, 1.0) << "the playfield's shape: " << Describe(field_);
  } else {
    const std::optional<Rect> panel = DebugShown();
    EXPECT_TRUE(Beside(panel) && Inside(*panel, W, H))
        << "(panel) no debug panel right of the playfield at " << Describe(field_) << ": "
        << (panel ? "the debug face at " + Describe(*panel) : std::string("none shown"));
  }

  // The attract display, its ring uncovered; the debug contents as they look.
  FieldCounts counts;
  const std::optional<Rect> face = DebugShown();
  const Rect ring{field_.x + field_.width / 2 - 60, field_.y + field_.height / 2 - 60, 120, 120};
  EXPECT_TRUE(LookUntil(20s, [&](const Image& look) {
    counts = Count(look);
    return counts.grey >= 40 && counts.coloured <= 2 && counts.ring >= 100;
  })) << "the attract display with its ring did not show: " << Describe(counts)
      << (face && Overlap(*Covering(face), ring) ? " (panel: the debug window lies over the ring)" : "");
  ASSERT_TRUE(face) << "no debug window or panel on the screen";
  const std::optional<Image> before = x_->Screenshot(*face);

  // On Wayland the keys reach the game from the start: the debug contents
  // never take the keyboard (panel); on X11 once the main window is clicked.
  if (!OnX11()) {
    ASSERT_TRUE(Key("Tab"));
    EXPECT_TRUE(LookUntil(10s, [](const Image& look) { return KeyRing(look).has_value(); }))
        << "(panel) Tab at the start did not show the keyboard cursor";
  }

  // A click starts a game; the debug contents follow it (a window the
  // compositor froze would not). First the pointers are put in step:
  // weston's X11 back end moves its pointer by the steps the X pointer takes
  // from where weston last saw it, and starts it at (0,0) while the X pointer
  // is at the screen's centre. Sent to the far corner and back to (0,0), the
  // two meet there, where both stop at the edge.
  ASSERT_TRUE(x_->MoveMouse(W - 1, H - 1) && x_->MoveMouse(0, 0));
  ASSERT_TRUE(ClickAt({kW * 7 / 8.0, kH * 7 / 8.0}));
  EXPECT_TRUE(LookUntil(20s, [&](const Image& look) {
    counts = Count(look);
    return counts.coloured >= 40 && counts.grey <= 5;
  })) << "no game started: " << Describe(counts) << "\n" << Log();
  const auto changed = [&] { return x_->Screenshot(*face).value_or(Image()).bytes() != before->bytes(); };
  EXPECT_TRUE(before && PollUntil(changed, 10s))
      << "the debug contents at " << Describe(*face) << " did not change when the game started";
  ASSERT_TRUE(Key("Tab"));
  EXPECT_TRUE(LookUntil(10s, [](const Image& look) { return KeyRing(look).has_value(); }))
      << "Tab did not show the keyboard cursor";
  // The mouse in use hides it again: the frame has no keyboard cursor.
  ASSERT_TRUE(ClickAt({kW / 8.0, kH * 7 / 8.0}, false));

  // F12 hides the debug contents, the playfield's corner shows them again,
  // each with one press.
  ASSERT_TRUE(Key("F12"));
  EXPECT_TRUE(PollUntil([&] { return !DebugShown(); }, 10s)) << "F12 did not hide the debug contents";
  if (!OnX11()) {
    ASSERT_TRUE(Locate(&error)) << "with the debug contents hidden, " << error;
  }
  ASSERT_TRUE(ClickAt({6, 6}));
  EXPECT_TRUE(PollUntil([&] { return DebugShown().has_value(); }, 10s)) << "the corner did not show the debug contents";
  ASSERT_TRUE((!OnX11() || Settle(&error)) && Locate(&error)) << "with the debug contents shown again, " << error;
  const Rect normal = field_;

  // The window manager's maximise (X11) fills the screen's width, and the
  // window comes back where it stood.
  if (d_.kind == Kind::X11) {
    Rect frame;
    const auto maximise = [&](bool on, const std::function<bool()>& done) {
      return x_->AskToMaximise(windows_->main_window(), on, &error) && PollUntil([&] {
               frame = x_->Frame(windows_->main_window()).value_or(Rect{});
               return done();
             }, 10s);
    };
    EXPECT_TRUE(maximise(true, [&] { return frame.width >= W - 2; })) << "not maximised: " << Describe(frame);
    EXPECT_TRUE(maximise(false, [&] { return Describe(frame) == Describe(main_frame_); }))
        << "back at " << Describe(frame) << ", not " << Describe(main_frame_);
  }

  if (d_.full_screen_fault != nullptr) {
    std::cout << "F11 left out on " << d_.name << ": " << d_.full_screen_fault << "\n";
  } else {
    ExpectFullScreenAndBack(normal);
  }

  // Closing the main window ends the program with status 0, and nothing it
  // started outlives it.
  if (d_.kind == Kind::X11) {
    ASSERT_TRUE(x_->AskToClose(windows_->main_window(), &error)) << error;
  } else if (d_.kind == Kind::BareX) {
    ASSERT_TRUE(x_->SendDeleteWindow(windows_->main_window(), &error)) << error;
  } else if (*d_.close_keys != '\0') {
    ASSERT_TRUE(Key(d_.close_keys));
  } else {
    // Qt's close button: right on the title bar above the window's client
    // area (which the debug panel widens).
    const std::optional<Rect> panel = DebugShown();
    const int right = Beside(panel) ? panel->x + panel->width : field_.x + field_.width + 1;
    ASSERT_TRUE(x_->MoveMouse(right - 12, field_.y - 17));
    std::this_thread::sleep_for(300ms);
    ASSERT_TRUE(x_->Click());
  }
  ExpectEndsWell("closing the main window");
}

INSTANTIATE_TEST_SUITE_P(Desktops, DesktopTest, ::testing::ValuesIn(kDesktops),
                         [](const ::testing::TestParamInfo<Desktop>& row) { return std::string(row.param.name); });

// --- weston's headless back end, and no Wayland plugin ---

class WaylandTest : public SessionTest {
 protected:
  // The whole output, through weston's screenshooter.
  std::optional<Image> Shoot() {
    const std::string folder = runtime_ + "/shots";
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    fs::create_directories(folder);
    ChildOptions options = Options("");
    options.set_env.push_back("WAYLAND_DISPLAY=wayland-1");
    RunCommand({"sh", "-c", "cd '" + folder + "' && exec weston-screenshooter"}, options, 10s);
    for (const auto& entry : fs::directory_iterator(folder, ignored)) {
      QImage picture;
      if (picture.load(QString::fromStdString(entry.path().string()))) return last_ = FromQImage(picture);
    }
    return {};
  }
};

// With no keyboard focus anywhere, the playfield shows the game and keeps
// presenting it: the frame the game drew is on weston's output, and once
// the game runs on, the playfield there changes.
TEST_F(WaylandTest, ShowsTheGameUnfocusedFromTheFirstFrame) {
  if (FindProgram("weston-screenshooter").empty()) {
    GTEST_SKIP() << "weston-screenshooter is not installed (scripts/deps test installs it)";
  }
  ASSERT_NO_FATAL_FAILURE(StartSession(kWestonHeadless));
  if (IsSkipped()) return;
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  const std::optional<Image> frame = Freeze();
  ASSERT_TRUE(frame) << "the program wrote no frame\n" << Log();
  std::optional<Rect> field;
  ASSERT_TRUE(PollUntil(
      [&] {
        const std::optional<Image> screen = Shoot();
        return screen && (field = FindFrame(*screen, *frame, Covering(FindDebugFace(*screen)), std::nullopt));
      },
      20s))
      << "the frame the game drew is not on weston's output";
  Thaw();
  EXPECT_TRUE(PollUntil(
      [&] {
        const std::optional<Image> screen = Shoot();
        return screen && Difference(*screen, *field, *frame, Covering(FindDebugFace(*screen))) > 0.02;
      },
      20s))
      << "the playfield stopped changing";
  EXPECT_TRUE(program_.Running()) << Log();
}

// Qt's Wayland plugin hidden, as on a system without qt6-wayland: in a
// mount namespace of its own, the platforms folder holds only the X11 plugin.
// Without an X display the program says in one line what to install;
// beside one it runs on X11.
TEST_F(WaylandTest, WithoutQtsWaylandPluginItNeedsX11) {
  if (geteuid() != 0 || FindProgram("unshare").empty()) {
    GTEST_SKIP() << "hiding the plugin needs root and unshare";
  }
  const std::string platforms = QLibraryInfo::path(QLibraryInfo::PluginsPath).toStdString() + "/platforms";
  ASSERT_NO_FATAL_FAILURE(StartSession({"BareX", Kind::BareX, {}, {}}));
  if (IsSkipped()) return;
  const std::string only_xcb = runtime_ + "/only-xcb";
  fs::create_directories(only_xcb);
  fs::copy_file(platforms + "/libqxcb.so", only_xcb + "/libqxcb.so", fs::copy_options::overwrite_existing);
  const std::vector<std::string> hidden = {
      "unshare", "-m", "sh", "-c", "mount --bind \"$0\" \"$1\" && exec \"$2\"", only_xcb, platforms, BRINDLET_PROGRAM};
  // The choice is made before anything is opened: no compositor is needed.
  ChildOptions options = Options(name_ + ".log");
  options.set_env.push_back("WAYLAND_DISPLAY=wayland-1");
  ChildOptions alone_options = options;
  std::erase_if(alone_options.set_env, [](const std::string& entry) { return entry.rfind("DISPLAY=", 0) == 0; });
  alone_options.log_path.clear();
  const CommandResult alone = RunCommand(hidden, alone_options, 10s);
  ASSERT_TRUE(alone.ran);
  EXPECT_EQ(alone.exit_code, 1) << alone.err;
  EXPECT_EQ(std::count(alone.err.begin(), alone.err.end(), '\n'), 1) << alone.err;
  EXPECT_NE(alone.err.find("qt6-wayland"), std::string::npos) << alone.err;

  std::string error;
  ASSERT_TRUE(program_.Start(hidden, options, &error)) << error;
  EXPECT_TRUE(PollUntil([&] { return !x_->FindWindows("^Brindlet!$", 0, true).empty(); }, 20s))
      << "no window on the X display\n" << Log();
  EXPECT_TRUE(program_.Running()) << Log();
}

}  // namespace
}  // namespace brindlet::e2e
