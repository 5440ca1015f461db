// What the environment decides before Qt is started: whether the program
// can open windows at all and which Qt platform to ask for (Qt itself aborts
// when it finds no display), the values the program does not take, and the
// address space it needs.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brindlet::startup {

// Reads an environment variable; nullopt when it is not set.
using EnvLookup = std::function<std::optional<std::string>(const char* name)>;

// The process environment.
EnvLookup ProcessEnvironment();

// True when some display is there to open windows on: an X display (DISPLAY)
// or a Wayland one (WAYLAND_DISPLAY), or QT_QPA_PLATFORM names a platform
// that needs no display server (offscreen, minimal, vnc, ...). An empty
// variable counts as unset.
bool HasGraphicalDisplay(const EnvLookup& env);

// Whether Qt's Wayland platform plugin is installed: a libqwayland-*.so in
// the folder QT_QPA_PLATFORM_PLUGIN_PATH names, or in the platforms folder of
// a folder in QT_PLUGIN_PATH or of Qt's own plugin folder `qtPluginDir`.
bool WaylandPluginInstalled(const EnvLookup& env, const std::string& qtPluginDir);

// How to start Qt: the platform to ask for (empty: leave Qt's choice), or
// the one line that says why the program cannot start here.
struct PlatformChoice {
  std::string platform;
  const char* problem = nullptr;
};

// On a Wayland session that also offers an X display (XWayland), and with no
// platform asked for, X is preferred: only there do windows open where the
// program places them. A Wayland display alone needs Qt's Wayland plugin.
// A platform asked for in QT_QPA_PLATFORM is left to Qt.
PlatformChoice ChoosePlatform(const EnvLookup& env, bool waylandPlugin);

// The one line printed when there is no display.
inline constexpr const char* kNoDisplayMessage =
    "brindlet: Brindlet needs a graphical display, but neither DISPLAY nor WAYLAND_DISPLAY is set.";
// The one line printed on a Wayland display that Qt cannot talk to.
inline constexpr const char* kNoWaylandPluginMessage =
    "brindlet: Qt's Wayland platform plugin is not installed and no X display (DISPLAY) is set; "
    "install the package qt6-wayland.";

// An environment variable's value that the program does not take: the one
// warning line that says so. The program then runs as if it were unset.
struct RejectedValue {
  const char* name;
  std::string warning;
};

// QT_SCALE_FACTOR and QT_SCREEN_SCALE_FACTORS must be finite scales from
// 0.1 to 16 (Qt maps no window at 0, NaN or infinity and makes
// 65376-pixel windows at -1); BRINDLET_BLEND_LANES must be 1, 2, 4 or 8.
// An empty value counts as unset.
std::vector<RejectedValue> CheckEnvironment(const EnvLookup& env);

// Scales Brindlet accepts in QT_SCALE_FACTOR.
inline constexpr double kSmallestScaleFactor = 0.1;
inline constexpr double kLargestScaleFactor = 16.0;
// A scale from QT_SCALE_FACTOR, or nothing when it is not one.
std::optional<double> ParseScaleFactor(std::string_view value);

// Where no session bus runs (no DBUS_SESSION_BUS_ADDRESS, and no user bus
// at $XDG_RUNTIME_DIR/bus), Qt's D-Bus users would have libdbus start a
// bus of its own for the X display (dbus-launch --autolaunch), which
// outlives the program: the address to set instead so that none is
// started ("disabled:"), or nothing where a bus is there to use.
std::optional<std::string> SessionBusAddress(const EnvLookup& env);

// The one line for an address-space limit (ulimit -v) too small to start
// in, or empty.
std::string AddressSpaceProblem();

}  // namespace brindlet::startup
