// What the program checks and guards while it starts: quoting arguments and
// values for its one-line messages, the environment variables it reads or
// that would leave it without a usable window, Qt's start-up (which aborts
// on a display it cannot use) and the signals that ask it to quit.
#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <QSocketNotifier>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/display_env.h"

namespace brindlet::ui {

// `text` in single quotes for a message line: control characters (and a
// backslash) escaped, and cut after `max_chars` characters with "..." and
// the whole length in bytes, so that a line stays one short line.
std::string Quoted(std::string_view text, std::size_t max_chars = 80);

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
};

// The line for a screen the program cannot draw on, or empty when `depth`
// (bits per pixel of the primary screen) will do.
std::string ScreenDepthProblem(int depth, const std::string& display);

// SIGTERM, SIGINT and SIGHUP, caught from Install on. The first one asks the
// program to quit as Quit! does, through the event loop: the watcher
// (made once Qt runs) emits Requested. A second one while the first is
// being handled ends the program at once, as the signal would by default.
class QuitSignals final : public QObject {
  Q_OBJECT

 public:
  // Before Qt starts; false when the signals could not be caught.
  static bool Install();
  explicit QuitSignals(QObject* parent = nullptr);

 signals:
  void Requested(int signal);

 private:
  QSocketNotifier* notifier_ = nullptr;
};

// On X11, another client may destroy a window of this program outright
// (XDestroyWindow); Qt then neither closes nor destroys the widget. This
// filter sees the X server's DestroyNotify for the watched window and runs
// `gone`, once.
class WindowGoneWatch final : public QAbstractNativeEventFilter {
 public:
  WindowGoneWatch(std::uintptr_t window, std::function<void()> gone) : window_(window), gone_(std::move(gone)) {}
  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

 private:
  std::uintptr_t window_;
  std::function<void()> gone_;
};

// On X11, whether no window manager runs (none names its check window on
// the root window, _NET_SUPPORTING_WM_CHECK). False elsewhere.
bool X11WithoutWindowManager();

// On X11, asks the window manager for the frame it will give `window`
// (_NET_REQUEST_FRAME_EXTENTS, answered with _NET_FRAME_EXTENTS). A window
// manager that has just started may have read the program's map request
// into its queue and sleep on its connection until some other event comes;
// this is one. Does nothing elsewhere.
void RequestFrameExtents(std::uintptr_t window);

}  // namespace brindlet::ui
