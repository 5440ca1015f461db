#include "x_session.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

// Last: Xlib defines macros (None, Status, Bool) that clash with C++ names.
#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>

extern char** environ;

namespace brindlet::e2e {
namespace {

// The environment for a child, made before fork so that the child only execs.
std::vector<std::string> ChildEnvironment(const ChildOptions& options) {
  std::vector<std::string> env;
  const auto overridden = [&](const std::string& entry) {
    const std::string name = entry.substr(0, entry.find('='));
    if (std::find(options.unset_env.begin(), options.unset_env.end(), name) != options.unset_env.end()) return true;
    for (const std::string& set : options.set_env) if (set.substr(0, set.find('=')) == name) return true;
    return false;
  };
  for (char** e = environ; *e != nullptr; ++e) if (!overridden(*e)) env.emplace_back(*e);
  env.insert(env.end(), options.set_env.begin(), options.set_env.end());
  return env;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> out;
  for (std::string& s : strings) out.push_back(s.data());
  out.push_back(nullptr);
  return out;
}

// fork and exec. The child gets its own process group, /dev/null as input,
// `out_fd` and `err_fd` as output, `pass_fd` as fd 3, and SIGTERM when this
// process dies. Returns the pid, or -1 with `error` set.
pid_t Spawn(const std::vector<std::string>& argv_in, const ChildOptions& options, int out_fd, int err_fd,
            std::string* error) {
  std::vector<std::string> argv = argv_in;
  std::vector<std::string> env = ChildEnvironment(options);
  std::vector<char*> argv_ptrs = Pointers(argv);
  std::vector<char*> env_ptrs = Pointers(env);
  int report[2];
  if (argv.empty() || pipe2(report, O_CLOEXEC) != 0) {
    if (error) *error = "cannot start a process: " + std::string(std::strerror(errno));
    return -1;
  }
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid < 0) {
    if (error) *error = "fork failed: " + std::string(std::strerror(errno));
    close(report[0]);
    close(report[1]);
    return -1;
  }
  if (pid == 0) {
    setpgid(0, 0);
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    // Raising the priority needs root; without it the child runs as it is.
    if (options.niceness != 0) (void)setpriority(PRIO_PROCESS, 0, options.niceness);
    if (getppid() != parent) _exit(127);
    const int null_in = open("/dev/null", O_RDONLY);
    if (null_in >= 0) dup2(null_in, 0);
    if (out_fd >= 0) dup2(out_fd, 1);
    if (err_fd >= 0) dup2(err_fd, 2);
    if (options.pass_fd >= 0) {
      if (options.pass_fd == 3) {
        fcntl(3, F_SETFD, 0);
      } else {
        dup2(options.pass_fd, 3);
      }
    }
    execvpe(argv_ptrs[0], argv_ptrs.data(), env_ptrs.data());
    const int code = errno;
    (void)!write(report[1], &code, sizeof code);
    _exit(127);
  }
  close(report[1]);
  int code = 0;
  const ssize_t got = read(report[0], &code, sizeof code);
  close(report[0]);
  if (got == static_cast<ssize_t>(sizeof code)) {
    waitpid(pid, nullptr, 0);
    if (error) *error = "cannot run " + argv[0] + ": " + std::strerror(code);
    return -1;
  }
  return pid;
}

bool ParseInt(const std::string& text, const std::string& key, int& value) {
  const std::size_t at = text.find(key);
  if (at == std::string::npos) return false;
  value = std::atoi(text.c_str() + at + key.size());
  return true;
}

}  // namespace

bool ChildProcess::Start(const std::vector<std::string>& argv, const ChildOptions& options, std::string* error) {
  Stop();
  status_.reset();
  int log = -1;
  if (!options.log_path.empty()) {
    log = open(options.log_path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (log < 0) {
      if (error) *error = "cannot open " + options.log_path + ": " + std::strerror(errno);
      return false;
    }
  } else {
    log = open("/dev/null", O_WRONLY | O_CLOEXEC);
  }
  pid_ = Spawn(argv, options, log, log, error);
  if (log >= 0) close(log);
  return pid_ > 0;
}

bool ChildProcess::Running() {
  if (pid_ <= 0 || status_) return false;
  int status = 0;
  const pid_t done = waitpid(pid_, &status, WNOHANG);
  if (done == pid_) {
    status_ = status;
    return false;
  }
  return done == 0;
}

std::optional<int> ChildProcess::WaitForEnd(Millis timeout) {
  const auto deadline = Clock::now() + timeout;
  while (Running()) {
    if (Clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(5ms);
  }
  return status_;
}

void ChildProcess::Stop() {
  if (!Running()) return;
  kill(pid_, SIGTERM);
  if (WaitForEnd(3s)) return;
  kill(-pid_, SIGKILL);
  kill(pid_, SIGKILL);
  WaitForEnd(5s);
}

std::string DescribeStatus(int wait_status) {
  if (WIFEXITED(wait_status)) return "exit status " + std::to_string(WEXITSTATUS(wait_status));
  if (WIFSIGNALED(wait_status)) return "killed by signal " + std::to_string(WTERMSIG(wait_status));
  return "wait status " + std::to_string(wait_status);
}

CommandResult RunCommand(const std::vector<std::string>& argv, const ChildOptions& options, Millis timeout) {
  CommandResult result;
  int out[2], err[2];
  if (pipe2(out, O_CLOEXEC) != 0) return result;
  if (pipe2(err, O_CLOEXEC) != 0) {
    close(out[0]);
    close(out[1]);
    return result;
  }
  std::string error;
  const pid_t pid = Spawn(argv, options, out[1], err[1], &error);
  close(out[1]);
  close(err[1]);
  if (pid < 0) {
    close(out[0]);
    close(err[0]);
    result.err = error;
    return result;
  }
  const auto deadline = Clock::now() + timeout;
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int open_pipes = 2;
  bool timed_out = false;
  char buffer[65536];
  while (open_pipes > 0) {
    const auto left = std::chrono::duration_cast<Millis>(deadline - Clock::now()).count();
    if (left <= 0) {
      timed_out = true;
      break;
    }
    if (poll(fds, 2, static_cast<int>(std::min<long long>(left, 1000))) < 0 && errno != EINTR) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
      const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open_pipes;
      }
    }
  }
  for (pollfd& fd : fds) if (fd.fd >= 0) close(fd.fd);
  if (timed_out) kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  result.ran = !timed_out;
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  if (timed_out) result.err += "\n(timed out)";
  return result;
}

bool PollUntil(const std::function<bool()>& condition, Millis timeout, Millis interval) {
  const auto deadline = Clock::now() + timeout;
  while (true) {
    if (condition()) return true;
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(interval);
  }
}

std::string FindProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::stringstream dirs(path != nullptr ? path : "/usr/bin:/bin");
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    const std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return {};
}

std::unique_ptr<XServer> XServer::Start(int width, int height, const std::string& log_path, std::string* error,
                                        int niceness) {
  if (FindProgram("Xvfb").empty()) {
    if (error) *error = "Xvfb is not installed (scripts/deps installs it)";
    return nullptr;
  }
  int ready[2];
  if (pipe2(ready, O_CLOEXEC) != 0) {
    if (error) *error = "pipe failed";
    return nullptr;
  }
  auto server = std::make_unique<XServer>();
  ChildOptions options;
  options.log_path = log_path;
  options.pass_fd = ready[1];
  options.niceness = niceness;
  const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
  // -displayfd: the server takes the first free display and writes its
  // number to fd 3 once it accepts clients.
  const bool started = server->process_.Start(
      {"Xvfb", "-displayfd", "3", "-screen", "0", screen, "-br", "-nolisten", "tcp", "-noreset"}, options, error);
  close(ready[1]);
  if (!started) {
    close(ready[0]);
    return nullptr;
  }
  std::string number;
  const auto deadline = Clock::now() + 60s;
  while (number.find('\n') == std::string::npos && Clock::now() < deadline) {
    pollfd fd{ready[0], POLLIN, 0};
    if (poll(&fd, 1, 200) > 0) {
      char c[16];
      const ssize_t n = read(ready[0], c, sizeof c);
      if (n <= 0) break;
      number.append(c, static_cast<std::size_t>(n));
    }
    if (!server->process_.Running()) break;
  }
  close(ready[0]);
  if (number.find('\n') == std::string::npos) {
    if (error) *error = "Xvfb did not report a display (see " + log_path + ")";
    return nullptr;
  }
  server->display_ = ":" + number.substr(0, number.find('\n'));
  return server;
}

CommandResult XDriver::Run(const std::vector<std::string>& argv, Millis timeout) const {
  ChildOptions options;
  options.set_env = {"DISPLAY=" + display_};
  return RunCommand(argv, options, timeout);
}

std::vector<unsigned long> XDriver::FindWindows(const std::string& name_regex, pid_t pid, bool only_visible) const {
  std::vector<std::string> argv{"xdotool", "search", "--all"};
  if (only_visible) argv.push_back("--onlyvisible");
  if (pid > 0) {
    argv.push_back("--pid");
    argv.push_back(std::to_string(pid));
  }
  argv.push_back("--name");
  argv.push_back(name_regex);
  const CommandResult result = Run(argv);
  std::vector<unsigned long> ids;
  std::stringstream lines(result.out);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && std::isdigit(static_cast<unsigned char>(line[0]))) ids.push_back(std::stoul(line));
  }
  return ids;
}

std::optional<WindowInfo> XDriver::Window(unsigned long id) const {
  const CommandResult result = Run({"xwininfo", "-id", std::to_string(id)});
  if (!result.ran || result.exit_code != 0) return std::nullopt;
  WindowInfo info;
  const std::string& t = result.out;
  if (!ParseInt(t, "Absolute upper-left X:", info.rect.x) || !ParseInt(t, "Absolute upper-left Y:", info.rect.y) ||
      !ParseInt(t, "Width:", info.rect.width) || !ParseInt(t, "Height:", info.rect.height)) {
    return std::nullopt;
  }
  info.viewable = t.find("Map State: IsViewable") != std::string::npos;
  return info;
}

bool XDriver::MoveMouse(int x, int y) const {
  // No --sync: it waits for the pointer to move and so never returns when
  // the pointer is already there.
  const CommandResult result = Run({"xdotool", "mousemove", std::to_string(x), std::to_string(y)}, 10s);
  return result.ran && result.exit_code == 0;
}

bool XDriver::Click() const {
  const CommandResult result = Run({"xdotool", "click", "1"}, 10s);
  return result.ran && result.exit_code == 0;
}

XDriver::~XDriver() {
  if (connection_ != nullptr) XCloseDisplay(static_cast<Display*>(connection_));
}

void* XDriver::Connection(std::string* error) const {
  if (connection_ == nullptr) {
    // Errors such as a window that has gone are reported by the calls that
    // meet them, not by Xlib's default handler, which ends the process.
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    connection_ = XOpenDisplay(display_.c_str());
    if (connection_ == nullptr && error != nullptr) *error = "cannot open display " + display_;
  }
  return connection_;
}

std::optional<Image> XDriver::Screenshot(const std::optional<Rect>& area, std::string* error) const {
  auto* display = static_cast<Display*>(Connection(error));
  if (display == nullptr) return std::nullopt;
  const ::Window root = DefaultRootWindow(display);
  XWindowAttributes screen{};
  if (XGetWindowAttributes(display, root, &screen) == 0) {
    if (error) *error = "cannot read the root window";
    return std::nullopt;
  }
  Rect r = area.value_or(Rect{0, 0, screen.width, screen.height});
  const int x1 = std::min(r.x + r.width, screen.width), y1 = std::min(r.y + r.height, screen.height);
  r.x = std::max(0, r.x);
  r.y = std::max(0, r.y);
  r.width = x1 - r.x;
  r.height = y1 - r.y;
  if (r.width <= 0 || r.height <= 0) {
    if (error) *error = "the area lies outside the screen";
    return std::nullopt;
  }
  XImage* shot = XGetImage(display, root, r.x, r.y, static_cast<unsigned>(r.width), static_cast<unsigned>(r.height),
                           AllPlanes, ZPixmap);
  if (shot == nullptr) {
    if (error) *error = "GetImage failed";
    return std::nullopt;
  }
  // Each channel from its mask, scaled to 8 bits.
  const auto channel = [](unsigned long pixel, unsigned long mask) -> std::uint8_t {
    if (mask == 0) return 0;
    int shift = 0;
    while (((mask >> shift) & 1UL) == 0) ++shift;
    const unsigned long max = mask >> shift;
    return static_cast<std::uint8_t>(((pixel & mask) >> shift) * 255UL / max);
  };
  Image image(r.width, r.height);
  for (int y = 0; y < r.height; ++y) {
    for (int x = 0; x < r.width; ++x) {
      const unsigned long pixel = XGetPixel(shot, x, y);
      image.Set(x, y, {channel(pixel, shot->red_mask), channel(pixel, shot->green_mask), channel(pixel, shot->blue_mask)});
    }
  }
  XDestroyImage(shot);
  return image;
}

bool XDriver::SendDeleteWindow(unsigned long id, std::string* error) const {
  auto* display = static_cast<Display*>(Connection(error));
  if (display == nullptr) return false;
  const Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
  const Atom delete_window = XInternAtom(display, "WM_DELETE_WINDOW", False);
  Atom* listed = nullptr;
  int count = 0;
  bool takes_part = false;
  if (XGetWMProtocols(display, id, &listed, &count) != 0) {
    takes_part = std::find(listed, listed + count, delete_window) != listed + count;
    XFree(listed);
  }
  if (!takes_part) {
    if (error) *error = "the window does not list WM_DELETE_WINDOW in WM_PROTOCOLS";
    return false;
  }
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = id;
  event.xclient.message_type = protocols;
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(delete_window);
  event.xclient.data.l[1] = CurrentTime;
  const Status sent = XSendEvent(display, id, False, NoEventMask, &event);
  XSync(display, False);
  if (sent == 0 && error) *error = "XSendEvent failed";
  return sent != 0;
}

bool XDriver::DestroyWindow(unsigned long id, std::string* error) const {
  auto* display = static_cast<Display*>(Connection(error));
  if (display == nullptr) return false;
  XDestroyWindow(display, id);
  XSync(display, False);
  return true;
}

bool XDriver::WindowManagerRunning() const {
  auto* display = static_cast<Display*>(Connection(nullptr));
  if (display == nullptr) return false;
  const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False);
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, left = 0;
  unsigned char* data = nullptr;
  const bool found = XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False, XA_WINDOW, &type,
                                        &format, &count, &left, &data) == Success &&
                     count == 1;
  if (data != nullptr) XFree(data);
  return found;
}

std::optional<Rect> XDriver::Frame(unsigned long id) const {
  auto* display = static_cast<Display*>(Connection(nullptr));
  if (display == nullptr) return std::nullopt;
  XWindowAttributes attributes{};
  ::Window child = 0;
  int x = 0, y = 0;
  if (XGetWindowAttributes(display, id, &attributes) == 0 ||
      XTranslateCoordinates(display, id, DefaultRootWindow(display), 0, 0, &x, &y, &child) == 0) {
    return std::nullopt;
  }
  long extents[4] = {0, 0, 0, 0};  // left, right, top, bottom
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, left = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(display, id, XInternAtom(display, "_NET_FRAME_EXTENTS", False), 0, 4, False, XA_CARDINAL,
                         &type, &format, &count, &left, &data) == Success &&
      count == 4) {
    std::copy_n(reinterpret_cast<const long*>(data), 4, extents);
  }
  if (data != nullptr) XFree(data);
  return Rect{x - static_cast<int>(extents[0]), y - static_cast<int>(extents[2]),
              attributes.width + static_cast<int>(extents[0] + extents[1]),
              attributes.height + static_cast<int>(extents[2] + extents[3])};
}

bool XDriver::AskWindowManager(unsigned long id, const char* message, std::initializer_list<long> data,
                               std::string* error) const {
  auto* display = static_cast<Display*>(Connection(error));
  if (display == nullptr) return false;
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = id;
  event.xclient.message_type = XInternAtom(display, message, False);
  event.xclient.format = 32;
  std::copy(data.begin(), data.end(), event.xclient.data.l);
  const Status sent = XSendEvent(display, DefaultRootWindow(display), False,
                                 SubstructureRedirectMask | SubstructureNotifyMask, &event);
  XSync(display, False);
  if (sent == 0 && error) *error = "XSendEvent failed";
  return sent != 0;
}

bool XDriver::AskToClose(unsigned long id, std::string* error) const {
  // The time, and that the request comes from a pager or similar tool.
  return AskWindowManager(id, "_NET_CLOSE_WINDOW", {CurrentTime, 2}, error);
}

bool XDriver::AskToMaximise(unsigned long id, bool maximised, std::string* error) const {
  auto* display = static_cast<Display*>(Connection(error));
  if (display == nullptr) return false;
  const long addOrRemove = maximised ? 1 : 0, fromPager = 2;
  return AskWindowManager(id, "_NET_WM_STATE",
                          {addOrRemove, static_cast<long>(XInternAtom(display, "_NET_WM_STATE_MAXIMIZED_HORZ", False)),
                           static_cast<long>(XInternAtom(display, "_NET_WM_STATE_MAXIMIZED_VERT", False)), fromPager},
                          error);
}

bool ProgramWindows::Find(Millis timeout, std::string* error) {
  const bool found = PollUntil(
      [&] {
        const std::vector<unsigned long> main = x_->FindWindows("^Brindlet!$", pid_, true);
        const std::vector<unsigned long> debug = x_->FindWindows("^Debug$", pid_, true);
        if (main.size() != 1 || debug.size() != 1) return false;
        const std::optional<WindowInfo> main_info = x_->Window(main[0]);
        const std::optional<WindowInfo> debug_info = x_->Window(debug[0]);
        if (!main_info || !debug_info || !main_info->viewable || !debug_info->viewable) return false;
        main_ = main[0];
        debug_ = debug[0];
        main_info_ = *main_info;
        debug_info_ = *debug_info;
        return true;
      },
      timeout, 200ms);
  if (!found && error) *error = "the program's \"Brindlet!\" and \"Debug\" windows did not both appear";
  return found;
}

Rect ProgramWindows::playfield() const {
  // The window is the image at some scale s plus a border of b screen
  // pixels all round: width 1026 s + 2 b, height 770 s + 2 b.
  const Rect w = main_info_.rect;
  const double s = (w.width - w.height) / static_cast<double>(kPlayfieldWidth - kPlayfieldHeight);
  const int b = std::max(1, static_cast<int>(std::lround((w.width - kPlayfieldWidth * s) / 2)));
  return {w.x + b, w.y + b, w.width - 2 * b, w.height - 2 * b};
}

Point ProgramWindows::ToScreen(Point image) const { return FieldToScreen(playfield(), image); }

Point FieldToScreen(const Rect& field, Point image) {
  return {field.x + std::floor((std::floor(image.x) + 0.5) * field.width / ProgramWindows::kPlayfieldWidth),
          field.y + std::floor((std::floor(image.y) + 0.5) * field.height / ProgramWindows::kPlayfieldHeight)};
}

Image ReadPlayfield(const Image& shot, const Rect& area, const Rect& field) {
  constexpr int kWidth = ProgramWindows::kPlayfieldWidth, kHeight = ProgramWindows::kPlayfieldHeight;
  if (field.width == kWidth && field.height == kHeight) {
    return shot.Crop(field.x - area.x, field.y - area.y, kWidth, kHeight);
  }
  // Scaled: each image pixel is read at its centre on the screen.
  Image image(kWidth, kHeight);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const Point at = FieldToScreen(field, {static_cast<double>(x), static_cast<double>(y)});
      image.Set(x, y, shot.At(static_cast<int>(at.x) - area.x, static_cast<int>(at.y) - area.y));
    }
  }
  return image;
}

bool Inside(const Rect& r, int width, int height) {
  return r.x >= 0 && r.y >= 0 && r.x + r.width <= width && r.y + r.height <= height;
}

bool Overlap(const Rect& a, const Rect& b) {
  return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

std::string Describe(const Rect& r) {
  return std::to_string(r.width) + " x " + std::to_string(r.height) + " at " + std::to_string(r.x) + "," +
         std::to_string(r.y);
}

std::vector<pid_t> ProcessesWith(const std::string& entry) {
  std::vector<pid_t> found;
  const std::string needle = std::string(1, '\0') + entry + '\0';
  std::error_code ignored;
  for (const auto& dir : std::filesystem::directory_iterator("/proc", ignored)) {
    const std::string name = dir.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream in(dir.path() / "environ", std::ios::binary);
    const std::string env = '\0' + std::string(std::istreambuf_iterator<char>(in), {});
    const pid_t pid = std::stoi(name);
    if (pid != getpid() && env.find(needle) != std::string::npos) found.push_back(pid);
  }
  return found;
}

std::string CommandLines(const std::vector<pid_t>& pids) {
  std::string text;
  for (const pid_t pid : pids) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/cmdline", std::ios::binary);
    std::string line(std::istreambuf_iterator<char>(in), {});
    std::replace(line.begin(), line.end(), '\0', ' ');
    text += (text.empty() ? "" : "; ") + std::to_string(pid) + ": " + line;
  }
  return text;
}

bool ProgramWindows::DebugWindowVisible() const { return !x_->FindWindows("^Debug$", pid_, true).empty(); }

bool ProgramWindows::ClickAt(Point p, Millis settle, Clock::time_point* clicked) const {
  const Point at = ToScreen(ClickPoint(p));
  if (!x_->MoveMouse(static_cast<int>(at.x), static_cast<int>(at.y))) return false;
  std::this_thread::sleep_for(settle);
  if (clicked != nullptr) *clicked = Clock::now();
  return x_->Click();
}

bool ProgramWindows::ClickDebugWindow(int x, int y, Millis settle, Clock::time_point* clicked) const {
  // On a HiDPI screen the window's logical pixels are several screen pixels.
  const double ratio = debug_info_.rect.width / static_cast<double>(kDebugWidth);
  if (!x_->MoveMouse(debug_info_.rect.x + static_cast<int>(std::lround((x + 0.5) * ratio)),
                     debug_info_.rect.y + static_cast<int>(std::lround((y + 0.5) * ratio)))) {
    return false;
  }
  std::this_thread::sleep_for(settle);
  if (clicked != nullptr) *clicked = Clock::now();
  return x_->Click();
}

std::optional<Image> ProgramWindows::LookAtPlayfield(std::string* error) const {
  const Rect field = playfield();
  const std::optional<Image> shot = x_->Screenshot(field, error);
  if (!shot) return shot;
  return ReadPlayfield(*shot, field, field);
}

std::optional<std::vector<SeenPeg>> WaitForRestingPegs(const ProgramWindows& program, const std::vector<Hue>& hues,
                                                       std::size_t min_pegs, Millis timeout, Image* last_look) {
  std::optional<std::vector<SeenPeg>> previous;
  std::optional<std::vector<SeenPeg>> resting;
  PollUntil(
      [&] {
        const std::optional<Image> look = program.LookAtPlayfield();
        if (!look) return false;
        if (last_look != nullptr) *last_look = *look;
        std::vector<SeenPeg> pegs = FindPegs(*look, hues);
        // Soft dots jitter from frame to frame and two pegs may touch in one
        // frame only, so "the same" allows a pixel and a couple of blobs.
        bool same = false;
        if (previous && pegs.size() >= min_pegs && pegs.size() + 2 >= previous->size() &&
            previous->size() + 2 >= pegs.size()) {
          std::size_t matched = 0;
          for (const SeenPeg& peg : pegs) {
            double nearest = 1e9;
            for (const SeenPeg& before : *previous) nearest = std::min(nearest, Distance(before.position, peg.position));
            matched += nearest <= 1.0;
          }
          same = matched * 100 >= pegs.size() * 95;
        }
        previous = std::move(pegs);
        if (same) resting = previous;
        return same;
      },
      timeout, 200ms);
  return resting;
}

bool ClickLink(const ProgramWindows& program, Point first, Point second, Point empty, Millis settle) {
  return program.ClickAt(first, settle) && program.ClickAt(second, settle) && program.ClickAt(empty, settle);
}

}  // namespace brindlet::e2e
