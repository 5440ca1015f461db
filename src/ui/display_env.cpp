#include "ui/display_env.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>
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

bool WaylandPluginInstalled(const EnvLookup& env, const std::string& qtPluginDir) {
  std::vector<std::filesystem::path> folders;
  if (IsSet(env, "QT_QPA_PLATFORM_PLUGIN_PATH")) folders.emplace_back(*env("QT_QPA_PLATFORM_PLUGIN_PATH"));
  std::vector<std::string> pluginDirs;
  if (IsSet(env, "QT_PLUGIN_PATH")) {
    const std::string list = *env("QT_PLUGIN_PATH");
    for (std::size_t start = 0; start <= list.size();) {
      const std::size_t end = std::min(list.find(':', start), list.size());
      if (end > start) pluginDirs.push_back(list.substr(start, end - start));
      start = end + 1;
    }
  }
  if (!qtPluginDir.empty()) pluginDirs.push_back(qtPluginDir);
  for (const std::string& dir : pluginDirs) folders.push_back(std::filesystem::path(dir) / "platforms");

  for (const std::filesystem::path& folder : folders) {
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
      const std::string name = it->path().filename().string();
      if (name.starts_with("libqwayland-") && name.ends_with(".so")) return true;
    }
  }
  return false;
}

PlatformChoice ChoosePlatform(const EnvLookup& env, bool waylandPlugin) {
  if (!HasGraphicalDisplay(env)) return {{}, kNoDisplayMessage};
  if (IsSet(env, "QT_QPA_PLATFORM")) {
    // Asked for: Qt's to start, unless only Wayland could and can't here.
    const std::string platforms = *env("QT_QPA_PLATFORM");
    std::string_view rest = platforms;
    bool otherThanWayland = false;
    while (true) {
      const std::size_t end = rest.find(';');
      const std::string_view entry = rest.substr(0, end);
      if (PlatformCanStart(entry, env) && entry.substr(0, 7) != "wayland") otherThanWayland = true;
      if (end == std::string_view::npos) break;
      rest.remove_prefix(end + 1);
    }
    if (!otherThanWayland && !waylandPlugin) return {{}, kNoWaylandPluginMessage};
    return {};
  }
  if (IsSet(env, "DISPLAY")) return {"xcb"};
  return waylandPlugin ? PlatformChoice{"wayland"} : PlatformChoice{{}, kNoWaylandPluginMessage};
}

}  // namespace brindlet::ui
