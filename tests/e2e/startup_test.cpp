// The start-up checks: whether and how to open windows, arguments quoted
// short and escaped, values that are not taken, and the one line naming why
// Qt could not start.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>

#include "startup/command_line.h"
#include "startup/environment.h"
#include "startup/guard.h"
#include "startup/quoted.h"

namespace brindlet::startup {
namespace {

TEST(Quoted, EscapesControlCharactersAndCutsLongText) {
  EXPECT_EQ(Quoted("plain"), "'plain'");
  EXPECT_EQ(Quoted("a\tb\nc\rd\x1b[31m\\"), "'a\\tb\\nc\\rd\\x1B[31m\\\\'");
  EXPECT_EQ(Quoted("\xC2\x85 \xE2\x80\xAE \xE2\x80\xA8 \xE2\x81\xA9\x7f"), "'\\u0085 \\u202E \\u2028 \\u2069\\x7F'")
      << "C1, bidi, separators, delete";
  EXPECT_EQ(Quoted("gr\xC3\xBC\xC3\x9F \xFF"), "'gr\xC3\xBC\xC3\x9F \\xFF'") << "UTF-8 kept, a stray byte escaped";
  const std::string cut = Quoted(std::string(1000, 'a') + "\n");
  EXPECT_EQ(cut, "'" + std::string(80, 'a') + "'... (1001 bytes in all)");
  EXPECT_EQ(Quoted(std::string(79, 'a') + "\xC3\xBC" + "tail", 80), "'" + std::string(79, 'a') + "\xC3\xBC'... (85 bytes in all)")
      << "a character is never cut in two";
}

TEST(CheckEnvironment, RejectsScalesOutsideATenthTo16AndLanesOtherThanPowersOfTwoUpTo8) {
  const auto rejected = [](std::map<std::string, std::string> values) {
    std::vector<std::string> names;
    for (const RejectedValue& r : CheckEnvironment([&](const char* name) -> std::optional<std::string> {
           const auto found = values.find(name);
           return found == values.end() ? std::nullopt : std::optional<std::string>(found->second);
         })) {
      EXPECT_EQ(r.warning.find('\n'), std::string::npos);
      names.push_back(r.name);
    }
    return names;
  };
  for (const char* bad : {"0", "-1", "nan", "inf", "1e9", "1e-300", "0.09", "16.5", "abc", "2x"}) {
    EXPECT_EQ(rejected({{"QT_SCALE_FACTOR", bad}}), std::vector<std::string>{"QT_SCALE_FACTOR"}) << bad;
  }
  for (const char* good : {"0.1", "1", " 1.5 ", "16", ""}) EXPECT_TRUE(rejected({{"QT_SCALE_FACTOR", good}}).empty()) << good;
  EXPECT_TRUE(rejected({{"QT_SCREEN_SCALE_FACTORS", "HDMI-1=2; ;eDP-1=1.25;"}}).empty()) << "blank entries skipped";
  EXPECT_EQ(rejected({{"QT_SCREEN_SCALE_FACTORS", "2;0"}}), std::vector<std::string>{"QT_SCREEN_SCALE_FACTORS"});
  for (const char* good : {"1", "2", "4", "8"}) EXPECT_TRUE(rejected({{"BRINDLET_BLEND_LANES", good}}).empty());
  for (const char* bad : {"0", "3", "16", "two", "4 "}) {
    EXPECT_EQ(rejected({{"BRINDLET_BLEND_LANES", bad}}), std::vector<std::string>{"BRINDLET_BLEND_LANES"}) << bad;
  }
}

// The look asked for on the command line is the one taken; a value the
// program does not take is gone from the environment Qt starts in.
TEST(CommandLine, TakesTheLookAskedForAndDropsValuesNotTaken) {
  for (const auto& [word, shapes] : {std::pair{"shapes", true}, std::pair{"colours", false}}) {
    char program[] = "brindlet", option[] = "--look";
    std::string chosen = word;
    char* argv[] = {program, option, chosen.data()};
    Options options;
    EXPECT_EQ(ReadCommandLine(3, argv, options), std::nullopt) << word;
    EXPECT_EQ(options.shapes, shapes) << word;
  }
  ::setenv("QT_SCALE_FACTOR", "0", 1);
  Options offscreen;
  offscreen.platform = "offscreen";
  EXPECT_TRUE(PrepareEnvironment(offscreen));
  EXPECT_EQ(std::getenv("QT_SCALE_FACTOR"), nullptr);
}

// The causes with a line of their own (no X server, a malformed DISPLAY, no
// such plugin, a dead Wayland display) are checked with the real program by
// tests/install/failing_starts.sh; here, the line for any other cause.
TEST(StartupGuard, NamesTheCauseFromWhatQtSaid) {
  const PlatformFacts x{"xcb", ":99", ""};
  const std::string other = StartupGuard::Diagnose(
      {"eglfs", "", ""}, "qt.qpa.plugin: Could not load the Qt platform plugin \"eglfs\" in \"\"\nno screens\n");
  EXPECT_NE(other.find("'eglfs' could not start ('no screens')"), std::string::npos) << other;
  for (const std::string& line : {other, StartupGuard::Diagnose(x, "")}) {
    EXPECT_EQ(line.rfind("brindlet: ", 0), 0u);
    EXPECT_EQ(line.find('\n'), std::string::npos);
  }
  for (const auto& [display, wellFormed] : {std::pair{":0", true}, {"host:12.0", true}, {"", false}, {"host", false},
                                             {"host:", false}, {":/", false}, {":x", false}}) {
    const std::string line = StartupGuard::Diagnose({"xcb", display, ""}, "could not connect to display");
    EXPECT_EQ(line.find("is not an X display name") == std::string::npos, wellFormed) << display << ": " << line;
  }
  EXPECT_EQ(ScreenDepthProblem(24, ":0"), "");
  EXPECT_NE(ScreenDepthProblem(8, ":0").find("8-bit"), std::string::npos);
}

TEST(DisplayEnvironment, DecidesWhetherAndHowToOpenWindows) {
  using Env = std::map<std::string, std::string>;
  const char* none = nullptr;
  const char* noDisplay = kNoDisplayMessage;
  const char* noPlugin = kNoWaylandPluginMessage;
  const struct {
    Env env;
    bool plugin;  // Qt's Wayland plugin is installed
    const char* platform;
    const char* problem;
  } rows[] = {
      {{}, true, "", noDisplay},
      {{{"DISPLAY", ""}}, true, "", noDisplay},
      {{{"DISPLAY", ":0"}}, false, "xcb", none},
      {{{"WAYLAND_DISPLAY", "wayland-0"}}, true, "wayland", none},
      {{{"WAYLAND_DISPLAY", "wayland-0"}}, false, "", noPlugin},
      {{{"WAYLAND_DISPLAY", "wayland-0"}, {"DISPLAY", ":0"}}, true, "xcb", none},
      {{{"WAYLAND_DISPLAY", "wayland-0"}, {"DISPLAY", ":0"}}, false, "xcb", none},
      {{{"WAYLAND_DISPLAY", "wayland-0"}, {"DISPLAY", ":0"}, {"QT_QPA_PLATFORM", "wayland"}}, true, "", none},
      {{{"WAYLAND_DISPLAY", "wayland-0"}, {"QT_QPA_PLATFORM", "wayland-egl"}}, false, "", noPlugin},
      {{{"QT_QPA_PLATFORM", "offscreen:configfile=/tmp/x.json"}}, false, "", none},
      {{{"QT_QPA_PLATFORM", "xcb"}}, true, "", noDisplay},
      {{{"QT_QPA_PLATFORM", "wayland"}, {"DISPLAY", ":0"}}, true, "", noDisplay},
      {{{"QT_QPA_PLATFORM", "wayland;xcb"}, {"DISPLAY", ":1"}}, false, "", none},
      {{{"QT_QPA_PLATFORM", "wayland;xcb"}}, true, "", noDisplay},
      {{{"QT_QPA_PLATFORM", ""}}, true, "", noDisplay},
      // Any wayland* platform needs WAYLAND_DISPLAY; an empty entry starts nothing.
      {{{"QT_QPA_PLATFORM", "wayland-egl"}, {"DISPLAY", ":0"}}, true, "", noDisplay},
      {{{"QT_QPA_PLATFORM", "wayland;"}}, true, "", noDisplay},
      {{{"QT_QPA_PLATFORM", "wayland;xcb"}, {"WAYLAND_DISPLAY", "wayland-0"}}, false, "", noPlugin},
  };
  for (const auto& r : rows) {
    const EnvLookup lookup = [&r](const char* name) -> std::optional<std::string> {
      const auto it = r.env.find(name);
      return it == r.env.end() ? std::nullopt : std::optional<std::string>(it->second);
    };
    const std::string row = "row " + std::to_string(&r - rows);
    const PlatformChoice choice = ChoosePlatform(lookup, r.plugin);
    EXPECT_EQ(choice.platform, r.platform) << row;
    EXPECT_EQ(std::string(choice.problem ? choice.problem : ""), std::string(r.problem ? r.problem : "")) << row;
  }
}

// The plugin is looked for where Qt looks: the platform folder named
// outright, the platforms folder under each plugin folder, Qt's own.
TEST(DisplayEnvironment, FindsTheWaylandPluginWhereQtLooksForIt) {
  const std::filesystem::path root = std::filesystem::path(QDir::tempPath().toStdString()) /
                                     ("brindlet-plugins-" + std::to_string(QCoreApplication::applicationPid()));
  std::filesystem::create_directories(root / "a" / "platforms");
  std::filesystem::create_directories(root / "b" / "platforms");
  std::filesystem::create_directories(root / "direct");
  const auto touch = [](const std::filesystem::path& file) { std::ofstream{file}; };
  touch(root / "a" / "platforms" / "libqxcb.so");
  const auto lookup = [&](std::map<std::string, std::string> env) {
    return EnvLookup([env](const char* name) -> std::optional<std::string> {
      const auto it = env.find(name);
      return it == env.end() ? std::nullopt : std::optional<std::string>(it->second);
    });
  };
  const std::string a = (root / "a").string();
  const std::string b = (root / "b").string();
  EXPECT_FALSE(WaylandPluginInstalled(lookup({{"QT_PLUGIN_PATH", a + ":" + b}}), a));
  touch(root / "b" / "platforms" / "libqwayland-generic.so");
  EXPECT_TRUE(WaylandPluginInstalled(lookup({{"QT_PLUGIN_PATH", a + ":" + b + ":" + a}}), "")) << "the middle one";
  EXPECT_TRUE(WaylandPluginInstalled(lookup({}), b));
  EXPECT_FALSE(WaylandPluginInstalled(lookup({{"QT_QPA_PLATFORM_PLUGIN_PATH", (root / "direct").string()}}), a));
  touch(root / "direct" / "libqwayland-egl.so");
  EXPECT_TRUE(WaylandPluginInstalled(lookup({{"QT_QPA_PLATFORM_PLUGIN_PATH", (root / "direct").string()}}), a));

  // Without a session bus to use, none is to be started for the program.
  const std::string runtime = (root / "runtime").string();
  std::filesystem::create_directories(runtime);
  const auto bus = [&](std::map<std::string, std::string> env) { return SessionBusAddress(lookup(env)).value_or(""); };
  EXPECT_EQ(bus({}), "disabled:");
  EXPECT_EQ(bus({{"DBUS_SESSION_BUS_ADDRESS", "unix:path=/run/user/1/bus"}}), "");
  EXPECT_EQ(bus({{"DBUS_SESSION_BUS_ADDRESS", ""}, {"XDG_RUNTIME_DIR", runtime}}), "disabled:");
  touch(root / "runtime" / "bus");
  EXPECT_EQ(bus({{"XDG_RUNTIME_DIR", runtime}}), "disabled:") << "a file is no bus";
  std::filesystem::remove(root / "runtime" / "bus");
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s/bus", runtime.c_str());
  const int listening = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_EQ(::bind(listening, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  EXPECT_EQ(bus({{"XDG_RUNTIME_DIR", runtime}}), "") << "the user's bus";
  ::close(listening);
  std::filesystem::remove_all(root);
}

}  // namespace
}  // namespace brindlet::startup
