#include "ui/display_env.h"

#include <cstdlib>
#include <string_view>

namespace brindlet::ui {
namespace {

bool IsSet(const EnvLookup& env, const char* name) {
  const std::optional<std::string> value = env(name);
  return value.has_value() && !value->empty();
}

// Whether one entry of QT_QPA_PLATFORM ("xcb", "wayland-egl",
// "offscreen:fontengine=freetype", ...) can start in this environment.
bool PlatformCanStart(std::string_view entry, const EnvLookup& env) {
  const std::string_view name = entry.substr(0, entry.find(':'));
  if (name.empty()) return false;
  if (name == "xcb") return IsSet(env, "DISPLAY");
  if (name.substr(0, 7) == "wayland") return IsSet(env, "WAYLAND_DISPLAY");
  // offscreen, minimal, vnc, eglfs, linuxfb, ...: no display server needed.
  return true;
}

}  // namespace

EnvLookup ProcessEnvironment() {
  return [](const char* name) -> std::optional<std::string> {
    const char* value = std::getenv(name);
    if (value == nullptr) return std::nullopt;
    return std::string(value);
  };
}

bool HasGraphicalDisplay(const EnvLookup& env) {
  if (IsSet(env, "QT_QPA_PLATFORM")) {
    // A list of platforms to try in turn; any one that can start will do.
    const std::string platforms = *env("QT_QPA_PLATFORM");
    std::string_view rest = platforms;
    while (true) {
      const std::size_t end = rest.find(';');
      if (PlatformCanStart(rest.substr(0, end), env)) return true;
      if (end == std::string_view::npos) return false;
      rest.remove_prefix(end + 1);
    }
  }
  return IsSet(env, "DISPLAY") || IsSet(env, "WAYLAND_DISPLAY");
}

std::string PreferredPlatform(const EnvLookup& env) {
  if (IsSet(env, "QT_QPA_PLATFORM")) return {};
  if (IsSet(env, "WAYLAND_DISPLAY") && IsSet(env, "DISPLAY")) return "xcb";
  return {};
}

}  // namespace brindlet::ui
