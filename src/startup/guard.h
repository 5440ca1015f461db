// Qt's start-up, guarded: Qt aborts on a display it cannot use, with six
// lines of its own; the guard turns that into one line naming the cause.
#pragma once

#include <string>
#include <string_view>

namespace brindlet::startup {

// Known facts for the line printed when Qt cannot start its platform.
struct PlatformFacts {
  std::string platform;         // asked for or chosen; empty: Qt's default
  std::string display;          // DISPLAY
  std::string wayland_display;  // WAYLAND_DISPLAY
};

// Guards the making of the application object. From Begin to End, Qt's
// messages and anything written to stderr are held back; when Qt gives up
// (a fatal message: no display there, a plugin that does not load), one
// line naming the cause is printed from them and the program ends at once
// with status 1, instead of Qt's six lines and an abort. End hands what was
// held back to stderr. After End, a message repeated over and over is
// shown once, and Qt's messages stop after a few hundred.
class StartupGuard {
 public:
  static void Begin(const PlatformFacts& facts);
  static void End();
  // Ends a start that cannot go on: `line` to stderr (not what was held
  // back), exit status 1.
  [[noreturn]] static void Fail(std::string_view line);
  // The one line for a failed start, from the messages seen (for tests).
  static std::string Diagnose(const PlatformFacts& facts, std::string_view seen);
  // Once the application object stands: a screen with fewer colours than
  // the pictures can't show them (the painting would fail on every frame),
  // and a display without a screen has nowhere to open the windows; either
  // ends the start in one line.
  static void CheckScreen(const PlatformFacts& facts);
};

// The facts as the environment holds them now.
PlatformFacts CurrentPlatformFacts();

// The line for a screen the program cannot draw on, or empty when `depth`
// (bits per pixel of the primary screen) will do.
std::string ScreenDepthProblem(int depth, const std::string& display);

}  // namespace brindlet::startup
