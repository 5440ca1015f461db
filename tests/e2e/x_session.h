// Running programs under a private X server and acting on their windows as a
// player would: child processes that never outlive the test, an Xvfb on a
// free display, xdotool and xwininfo to find windows and to move and click
// the pointer, and screenshots read straight from the X server.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "shot.h"

namespace brindlet::e2e {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Millis = std::chrono::milliseconds;

struct ChildOptions {
  std::vector<std::string> set_env;    // "NAME=value"
  std::vector<std::string> unset_env;  // "NAME"
  std::string log_path;                // stdout and stderr; empty: discarded
  int pass_fd = -1;                    // handed to the child as its fd 3
  // Scheduling priority (nice value) of the child; below 0 only as root.
  int niceness = 0;
};

// A child process. It is sent SIGTERM when this process dies, however it
// dies, and is stopped when the object goes away.
class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess() { Stop(); }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Start(const std::vector<std::string>& argv, const ChildOptions& options, std::string* error);
  pid_t pid() const { return pid_; }
  // True while started and not yet ended.
  bool Running();
  // Waits up to `timeout` for the end and returns the wait status, or
  // nullopt while it is still running (or was never started).
  std::optional<int> WaitForEnd(Millis timeout);
  // SIGTERM, and SIGKILL if it has not ended after three seconds.
  void Stop();
  std::optional<int> status() const { return status_; }

 private:
  pid_t pid_ = -1;
  std::optional<int> status_;
};

// "exit status 0", "killed by signal 11", ...
std::string DescribeStatus(int wait_status);

struct CommandResult {
  bool ran = false;  // started, and ended within the time allowed
  int exit_code = -1;
  std::string out;
  std::string err;
};
CommandResult RunCommand(const std::vector<std::string>& argv, const ChildOptions& options, Millis timeout = 30s);

// Checks `condition` every `interval` until it holds or `timeout` has passed.
bool PollUntil(const std::function<bool()>& condition, Millis timeout, Millis interval = 100ms);

// The full path of a program in PATH, or empty.
std::string FindProgram(const std::string& name);

struct Rect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

bool Inside(const Rect& r, int width, int height);
bool Overlap(const Rect& a, const Rect& b);
std::string Describe(const Rect& r);  // "1028 x 772 at 10,28"

// Processes (not this one) whose environment holds `entry` ("NAME=value").
std::vector<pid_t> ProcessesWith(const std::string& entry);
// Their command lines, for a message.
std::string CommandLines(const std::vector<pid_t>& pids);

// The screen pixel that shows image pixel `image` of the playfield, whose
// image area on the screen is `field`.
Point FieldToScreen(const Rect& field, Point image);
// The playfield's image read at each pixel's centre from `shot`, a
// screenshot of `area` of the screen that holds `field`.
Image ReadPlayfield(const Image& shot, const Rect& area, const Rect& field);

struct WindowInfo {
  Rect rect;  // position on the screen, size of the window
  bool viewable = false;
};

// An Xvfb on the first free display, ended with the object.
class XServer {
 public:
  static std::unique_ptr<XServer> Start(int width, int height, const std::string& log_path, std::string* error,
                                        int niceness = 0);
  const std::string& display() const { return display_; }
  bool Running() { return process_.Running(); }

 private:
  ChildProcess process_;
  std::string display_;
};

// Commands against one X display.
class XDriver {
 public:
  explicit XDriver(std::string display) : display_(std::move(display)) {}
  ~XDriver();
  XDriver(const XDriver&) = delete;
  XDriver& operator=(const XDriver&) = delete;
  const std::string& display() const { return display_; }

  CommandResult Run(const std::vector<std::string>& argv, Millis timeout = 30s) const;

  // Windows whose name matches `name_regex` (xdotool search), of the process
  // `pid` when it is not 0, only mapped ones when `only_visible`.
  std::vector<unsigned long> FindWindows(const std::string& name_regex, pid_t pid, bool only_visible) const;
  std::optional<WindowInfo> Window(unsigned long id) const;

  bool MoveMouse(int x, int y) const;
  bool Click() const;
  // A screenshot of the whole screen, or of `area` of it (clipped to the
  // screen). Read with one GetImage request and no server grab, so the
  // program under test is never held up (ImageMagick's import grabs the
  // server and stalls every client for the whole capture).
  std::optional<Image> Screenshot(const std::optional<Rect>& area = std::nullopt, std::string* error = nullptr) const;

  // Asks a window to close as a window manager does: a WM_DELETE_WINDOW
  // client message. False when the window does not take part in that
  // protocol or the display can't be reached.
  bool SendDeleteWindow(unsigned long id, std::string* error = nullptr) const;
  // Destroys another client's window, as any client may.
  bool DestroyWindow(unsigned long id, std::string* error = nullptr) const;

  // With a window manager: whether one runs (it names itself on the root
  // window), a window's frame on the screen (the window and the frame
  // extents the manager gives it), and asking the manager to close a window
  // as its close button does (_NET_CLOSE_WINDOW) or to maximise it or
  // bring it back as its maximise button does (_NET_WM_STATE).
  bool WindowManagerRunning() const;
  std::optional<Rect> Frame(unsigned long id) const;
  bool AskToClose(unsigned long id, std::string* error = nullptr) const;
  bool AskToMaximise(unsigned long id, bool maximised, std::string* error = nullptr) const;

 private:
  // A client message about window `id` to the window manager.
  bool AskWindowManager(unsigned long id, const char* message, std::initializer_list<long> data,
                        std::string* error) const;
  // The Xlib connection (a Display*), opened on first use.
  void* Connection(std::string* error) const;

  std::string display_;
  mutable void* connection_ = nullptr;
};

// A running brindlet seen from outside: its two windows, the playfield
// inside the main window's one-pixel border, and clicks at playfield points.
class ProgramWindows {
 public:
  static constexpr int kPlayfieldWidth = 1026;
  static constexpr int kPlayfieldHeight = 770;
  static constexpr int kDebugWidth = 371;  // the debug window's client width

  ProgramWindows(const XDriver& x, pid_t pid) : x_(&x), pid_(pid) {}

  // Waits until the "Brindlet!" and "Debug" windows of the program are
  // mapped and reads where they are.
  bool Find(Millis timeout, std::string* error);
  unsigned long main_window() const { return main_; }
  unsigned long debug_window() const { return debug_; }
  const WindowInfo& main_info() const { return main_info_; }
  const WindowInfo& debug_info() const { return debug_info_; }
  // The image area of the playfield on the screen, at whatever scale.
  Rect playfield() const;
  // The screen pixel that shows image pixel `image`.
  Point ToScreen(Point image) const;
  bool DebugWindowVisible() const;

  // Moves the pointer to playfield point p, waits `settle` so that main
  // ticks sample the new position, and clicks. `clicked`, when given,
  // receives the time just before the click was sent.
  bool ClickAt(Point p, Millis settle = 300ms, Clock::time_point* clicked = nullptr) const;
  // Clicks a button of the debug window; (x, y) in its client area.
  bool ClickDebugWindow(int x, int y, Millis settle = 300ms, Clock::time_point* clicked = nullptr) const;
  // The centre of the "Quit!" button in the debug window's client area.
  static Point QuitButton() { return {16 + 16 + 305 / 2, 248 + 184 + 49 / 2}; }

  std::optional<Image> LookAtPlayfield(std::string* error = nullptr) const;

 private:
  const XDriver* x_;
  pid_t pid_;
  unsigned long main_ = 0;
  unsigned long debug_ = 0;
  WindowInfo main_info_;
  WindowInfo debug_info_;
};

// Pegs at rest: two looks in a row that show the same pegs in the same
// places (within a pixel). Returns the last look's pegs, or nothing when
// they don't come to rest within `timeout`.
std::optional<std::vector<SeenPeg>> WaitForRestingPegs(const ProgramWindows& program, const std::vector<Hue>& hues,
                                                       std::size_t min_pegs, Millis timeout, Image* last_look);

// Joins two pegs as a player does: a click on each, then one on empty space.
bool ClickLink(const ProgramWindows& program, Point first, Point second, Point empty, Millis settle = 300ms);

}  // namespace brindlet::e2e
