#include "startup/environment.h"

#include <sys/resource.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

#include "startup/quoted.h"

namespace brindlet::startup {
namespace {

// The address space the program needs to start: Qt, its platform plugin,
// fontconfig and the pictures. Below it the libraries fail in ways that
// can't be caught (fontconfig crashes, Qt's threads never start), so a
// smaller limit is refused up front.
constexpr rlim_t kAddressSpaceNeeded = rlim_t{384} << 20;

std::string Trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return std::string(text.substr(first, text.find_last_not_of(" \t") - first + 1));
}

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

std::optional<double> ParseScaleFactor(std::string_view value) {
  const std::string text = Trimmed(value);
  double scale = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), scale);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (!std::isfinite(scale) || scale < kSmallestScaleFactor || scale > kLargestScaleFactor) return std::nullopt;
  return scale;
}

std::vector<RejectedValue> CheckEnvironment(const EnvLookup& env) {
  std::vector<RejectedValue> rejected;
  const auto value = [&](const char* name) -> std::optional<std::string> {
    std::optional<std::string> found = env(name);
    if (found && found->empty()) return std::nullopt;
    return found;
  };
  if (const auto scale = value("QT_SCALE_FACTOR"); scale && !ParseScaleFactor(*scale)) {
    rejected.push_back({"QT_SCALE_FACTOR", "brindlet: ignoring QT_SCALE_FACTOR=" + Quoted(*scale) +
                                               ": the scale must be a number from 0.1 to 16."});
  }
  if (const auto scales = value("QT_SCREEN_SCALE_FACTORS")) {
    // "2;1.5" or "HDMI-1=2;eDP-1=1": one scale per screen.
    bool good = true;
    std::string_view rest = *scales;
    while (good && !rest.empty()) {
      const std::string_view entry = rest.substr(0, rest.find(';'));
      rest.remove_prefix(std::min(rest.size(), entry.size() + 1));
      const std::string_view number = entry.substr(entry.find('=') == std::string_view::npos ? 0 : entry.find('=') + 1);
      if (!Trimmed(entry).empty() && !ParseScaleFactor(number)) good = false;
    }
    if (!good) {
      rejected.push_back({"QT_SCREEN_SCALE_FACTORS", "brindlet: ignoring QT_SCREEN_SCALE_FACTORS=" + Quoted(*scales) +
                                                         ": each scale must be a number from 0.1 to 16."});
    }
  }
  if (const auto lanes = value("BRINDLET_BLEND_LANES");
      lanes && *lanes != "1" && *lanes != "2" && *lanes != "4" && *lanes != "8") {
    rejected.push_back({"BRINDLET_BLEND_LANES", "brindlet: ignoring BRINDLET_BLEND_LANES=" + Quoted(*lanes) +
                                                    ": it must be 1, 2, 4 or 8 (vector lanes)."});
  }
  return rejected;
}

std::optional<std::string> SessionBusAddress(const EnvLookup& env) {
  if (IsSet(env, "DBUS_SESSION_BUS_ADDRESS")) return std::nullopt;
  if (IsSet(env, "XDG_RUNTIME_DIR")) {
    std::error_code error;
    if (std::filesystem::is_socket(std::filesystem::path(*env("XDG_RUNTIME_DIR")) / "bus", error)) return std::nullopt;
  }
  return "disabled:";
}

std::string AddressSpaceProblem() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur >= kAddressSpaceNeeded) {
    return {};
  }
  return "brindlet: the address-space limit (ulimit -v " + std::to_string(limit.rlim_cur >> 10) +
         ") is too small; Brindlet needs at least " + std::to_string(kAddressSpaceNeeded >> 10) + " KiB.";
}

}  // namespace brindlet::startup
