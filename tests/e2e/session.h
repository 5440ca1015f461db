// The real program in a session of its own, as on a desktop: an X server
// (unless the desktop runs headless), a private runtime folder and session
// bus, the window manager or compositor, and the program; every process is
// marked so that none outlives the test. The fixture of the end-to-end tests.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <QImage>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "shot.h"
#include "x_session.h"

namespace brindlet::e2e {

namespace fs = std::filesystem;

inline const std::string kWorkDir = BRINDLET_E2E_WORK_DIR;
// The X server, the desktop and the program run at a raised priority (as
// root, as CI runs), so that other work on a shared machine does not starve
// them and blur their timing.
constexpr int kNiceness = -10;

enum class Kind { BareX, X11, Wayland, Headless };

// How a desktop starts and what it offers. In its command, environment and
// configuration (written to {runtime}/desktop.conf), {display}, {runtime},
// {width} and {height} stand for the session's.
struct Desktop {
  const char* name;
  Kind kind;
  std::vector<std::string> command;  // the window manager or compositor
  std::vector<std::string> env;
  const char* config = "";
  // Started at the same moment as the program, as a session's autostart
  // does; otherwise the program starts once the desktop is up.
  bool alongside = false;
  bool refuses_root = false;  // then run as nobody, program and all
  int width = 1600;
  int height = 1000;
  // Wayland: the keys that close the active window; none: the close button
  // on the title bar Qt draws.
  const char* close_keys = "";
  // A fault of the program's on this desktop, still open, that leaves the
  // full-screen steps out of its run (said in the run's output).
  const char* full_screen_fault = nullptr;
};

// gtest names a run by its desktop.
inline void PrintTo(const Desktop& desktop, std::ostream* out) { *out << desktop.name; }

inline Image FromQImage(const QImage& picture) {
  const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
  Image image(rgb.width(), rgb.height());
  for (int y = 0; y < rgb.height(); ++y) {
    const uchar* line = rgb.constScanLine(y);
    for (int x = 0; x < rgb.width(); ++x) image.Set(x, y, {line[3 * x], line[3 * x + 1], line[3 * x + 2]});
  }
  return image;
}

class SessionTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (HasFailure()) {
      if (last_) SavePng(*last_, kWorkDir + "/" + name_ + "-last.png");
      if (const std::optional<Image> screen = x_ ? x_->Screenshot() : std::nullopt) {
        SavePng(*screen, kWorkDir + "/" + name_ + "-screen.png");
      }
      std::cerr << "the failure's screenshots and logs are in " << kWorkDir << "/" << name_ << "*\n";
    }
    program_.Stop();
    desktop_process_.Stop();
    bus_.Stop();
    // Whatever the session started and left behind (services the bus started).
    for (const pid_t pid : ProcessesWith(marker_)) kill(pid, SIGKILL);
    x_.reset();
    server_.reset();
    std::error_code ignored;
    if (!runtime_.empty()) fs::remove_all(runtime_, ignored);
  }

  // Starts the X server (but for a headless desktop), the session's runtime
  // folder and bus (not on a bare X server, as a kiosk runs), and, unless it
  // starts alongside the program, the desktop.
  void StartSession(const Desktop& desktop) {
    d_ = desktop;
    name_ = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::replace(name_.begin(), name_.end(), '/', '-');
    marker_ = "BRINDLET_E2E_SESSION=" + name_ + "-" + std::to_string(getpid());
    nobody_ = d_.refuses_root && geteuid() == 0;
    std::vector<std::string> tools{"Xvfb", "xdotool", "xwininfo"};
    if (!d_.command.empty()) tools.insert(tools.end(), {d_.command[0], "dbus-daemon"});
    if (nobody_) tools.emplace_back("setpriv");
    for (const std::string& tool : tools) {
      if (FindProgram(tool).empty()) {
        GTEST_SKIP() << tool << " is not installed (scripts/deps test installs it)";
      }
    }
    fs::create_directories(kWorkDir);
    for (const auto& entry : fs::directory_iterator(kWorkDir)) {  // the last run's logs and screenshots
      const std::string file = entry.path().filename().string();
      if (file.rfind(name_ + "-", 0) == 0 || file == name_ + ".log") fs::remove(entry.path());
    }
    std::string error;
    if (d_.kind != Kind::Headless) {
      server_ = XServer::Start(d_.width, d_.height, kWorkDir + "/" + name_ + "-xvfb.log", &error, kNiceness);
      ASSERT_TRUE(server_) << error;
      x_ = std::make_unique<XDriver>(server_->display());
    }
    char runtime[] = "/tmp/brindlet-session-XXXXXX";
    ASSERT_NE(mkdtemp(runtime), nullptr);
    runtime_ = runtime;  // mkdtemp makes it private (0700), as Wayland wants
    std::ofstream(runtime_ + "/desktop.conf") << Fill(d_.config);
    for (const std::string& path : {runtime_ + "/desktop.conf", runtime_}) {
      ASSERT_TRUE(!nobody_ || chown(path.c_str(), 65534, 65534) == 0) << path;
    }
    if (d_.kind != Kind::BareX) {
      ASSERT_TRUE(bus_.Start(AsUser({"dbus-daemon", "--session", "--nofork", "--nopidfile",
                                     "--address=unix:path=" + runtime_ + "/bus"}),
                             Options(name_ + "-bus.log"), &error))
          << error;
      ASSERT_TRUE(PollUntil([&] { return fs::exists(runtime_ + "/bus") || !bus_.Running(); }, 20s) && bus_.Running())
          << "the session bus did not start";
    }
    if (!d_.alongside) StartDesktop();
  }

  void StartDesktop() {
    if (d_.command.empty()) return;
    std::vector<std::string> command;
    for (const std::string& word : d_.command) command.push_back(Fill(word));
    // A binary with file capabilities (kwin_wayland's) is refused where the
    // capability bounding set lacks them, as in containers; a copy without
    // them runs.
    const std::string binary = FindProgram(command[0]);
    if (getxattr(binary.c_str(), "security.capability", nullptr, 0) > 0) {
      command[0] = runtime_ + "/" + command[0];
      fs::copy_file(binary, command[0]);
      if (nobody_) {
        ASSERT_EQ(chown(command[0].c_str(), 65534, 65534), 0);
      }
    }
    ChildOptions options = Options(name_ + "-desktop.log");
    for (const std::string& entry : d_.env) options.set_env.push_back(Fill(entry));
    std::string error;
    ASSERT_TRUE(desktop_process_.Start(AsUser(command), options, &error)) << error;
    if (d_.alongside) return;
    const bool up = PollUntil(
        [&] {
          if (!desktop_process_.Running()) return true;
          return d_.kind == Kind::X11 ? x_->WindowManagerRunning() : fs::exists(runtime_ + "/wayland-1");
        },
        60s, 200ms);
    ASSERT_TRUE(up && desktop_process_.Running()) << d_.name << " did not start: " << Log("-desktop.log");
  }

  // Starts the program, with extra environment entries (and the desktop,
  // when it starts alongside).
  void StartProgram(const std::vector<std::string>& env = {}) {
    ChildOptions options = Options(name_ + ".log");
    options.set_env.push_back("BRINDLET_FRAME_DUMP=" + runtime_ + "/frame.ppm");
    options.set_env.push_back(program_marker());
    options.set_env.insert(options.set_env.end(), env.begin(), env.end());
    options.unset_env.insert(options.unset_env.end(), {"BRINDLET_TICK_LOG", "QT_QPA_PLATFORM"});
    if (d_.kind == Kind::BareX || d_.kind == Kind::X11) {
      options.set_env.push_back("QT_QPA_PLATFORM=xcb");
    } else {
      options.set_env.push_back("WAYLAND_DISPLAY=wayland-1");
      std::erase_if(options.set_env, [](const std::string& entry) { return entry.rfind("DISPLAY=", 0) == 0; });
    }
    std::string error;
    ASSERT_TRUE(program_.Start(AsUser({BRINDLET_PROGRAM}), options, &error)) << error;
    if (d_.alongside) StartDesktop();
  }

  // The environment of a process of the session.
  ChildOptions Options(const std::string& log) const {
    ChildOptions options;
    // A settings folder of its own: no look or desktop setting remembered
    // from another run.
    options.set_env = {marker_, "XDG_RUNTIME_DIR=" + runtime_, "XDG_CONFIG_HOME=" + runtime_ + "/config"};
    options.unset_env = {"WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "SESSION_MANAGER", "DISPLAY"};
    if (server_) options.set_env.push_back("DISPLAY=" + server_->display());
    if (d_.kind != Kind::BareX) options.set_env.push_back("DBUS_SESSION_BUS_ADDRESS=unix:path=" + runtime_ + "/bus");
    if (nobody_) options.set_env.push_back("HOME=" + runtime_);
    if (!log.empty()) options.log_path = kWorkDir + "/" + log;
    options.niceness = kNiceness;
    return options;
  }

  std::vector<std::string> AsUser(std::vector<std::string> argv) const {
    if (nobody_) argv.insert(argv.begin(), {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
    return argv;
  }

  std::string Fill(std::string text) const {
    const std::pair<std::string, std::string> values[] = {{"{display}", server_ ? server_->display() : ""},
                                                          {"{runtime}", runtime_},
                                                          {"{width}", std::to_string(d_.width)},
                                                          {"{height}", std::to_string(d_.height)}};
    for (const auto& [key, value] : values) {
      for (std::size_t at; (at = text.find(key)) != std::string::npos;) text.replace(at, key.size(), value);
    }
    return text;
  }

  std::string Log(const std::string& suffix = ".log") const {
    std::ifstream in(kWorkDir + "/" + name_ + suffix);
    std::stringstream text;
    text << in.rdbuf();
    return "output: " + (text.str().empty() ? std::string("(none)") : text.str());
  }
  std::string program_marker() const { return marker_ + "-program"; }

  // The game frozen and its frame, as the program writes it on SIGUSR1.
  std::optional<Image> Freeze() {
    const std::string path = runtime_ + "/frame.ppm";
    std::error_code ignored;
    fs::remove(path, ignored);
    // The program catches the signal once its windows are up.
    const auto catches = [&] {
      std::ifstream status("/proc/" + std::to_string(program_.pid()) + "/status");
      std::string line;
      while (std::getline(status, line)) {
        if (line.rfind("SigCgt:", 0) == 0) return (std::stoull(line.substr(7), nullptr, 16) >> (SIGUSR1 - 1) & 1) == 1;
      }
      return false;
    };
    if (frozen_ || !PollUntil(catches, 60s) || kill(program_.pid(), SIGUSR1) != 0 ||
        !PollUntil([&] { return fs::exists(path); }, 10s, 50ms)) {
      return {};
    }
    frozen_ = true;
    QImage frame;
    if (!frame.load(QString::fromStdString(path), "PPM")) return {};
    return FromQImage(frame);
  }
  void Thaw() {
    if (frozen_) kill(program_.pid(), SIGUSR1);
    frozen_ = false;
  }

  std::optional<Image> Screenshot() {
    last_ = x_->Screenshot();
    return last_;
  }

  // The playfield on the screen, read at its image pixels.
  std::optional<Image> Look() {
    const std::optional<Image> shot = x_->Screenshot(field_);
    if (!shot) return shot;
    return ReadPlayfield(*shot, field_, field_);
  }
  // Looks until `seen` holds for a look or `timeout` passes; the last look
  // is left in `last`.
  bool LookUntil(Millis timeout, const std::function<bool(const Image&)>& seen, Image* last = nullptr) {
    return PollUntil(
        [&] {
          const std::optional<Image> look = Look();
          if (look && last != nullptr) *last = *look;
          return look && seen(*look);
        },
        timeout, 150ms);
  }

  // Expects the program to end with status 0 after `what`, within a second
  // of `promptly_since` when given, and nothing it started to outlive it.
  void ExpectEndsWell(const std::string& what, std::optional<Clock::time_point> promptly_since = {}) {
    const std::optional<int> status = program_.WaitForEnd(15s);
    ASSERT_TRUE(status) << what << " did not end the program";
    const auto took = std::chrono::duration_cast<Millis>(Clock::now() - promptly_since.value_or(Clock::now()));
    EXPECT_LE(took.count(), 1000) << what << ": the program took " << took.count() << " ms to end";
    EXPECT_EQ(DescribeStatus(*status), "exit status 0") << what << "; " << Log();
    std::vector<pid_t> left;
    EXPECT_TRUE(PollUntil([&] { return (left = ProcessesWith(program_marker())).empty(); }, 5s))
        << "the program's processes outlive it: " << CommandLines(left);
  }

  Desktop d_{};
  std::string name_;
  std::string marker_;
  bool nobody_ = false;
  std::unique_ptr<XServer> server_;
  std::unique_ptr<XDriver> x_;
  std::string runtime_;
  ChildProcess bus_;
  ChildProcess desktop_process_;
  ChildProcess program_;
  bool frozen_ = false;
  Rect field_;  // the playfield's image on the screen
  std::optional<Image> last_;
};

}  // namespace brindlet::e2e
