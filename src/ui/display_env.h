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

// The platform to ask Qt for, or an empty string to leave Qt's choice. On a
// Wayland session that also offers an X display (XWayland), and with no
// platform asked for, X is preferred: only there do windows open where the
// program places them.
std::string PreferredPlatform(const EnvLookup& env);

// The one line printed when there is no display.
inline constexpr const char* kNoDisplayMessage =
    "brindlet: Brindlet needs a graphical display, but neither DISPLAY nor WAYLAND_DISPLAY is set.";

}  // namespace brindlet::ui
