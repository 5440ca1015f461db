// Whether the program can open windows at all, and which Qt platform to ask
// for, decided from the environment before Qt is started (Qt itself aborts
// when it finds no display).
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace brindlet::ui {

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

}  // namespace brindlet::ui
