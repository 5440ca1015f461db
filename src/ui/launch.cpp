#include "ui/launch.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <QGuiApplication>
#include <QtGlobal>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <xcb/xcb.h>

namespace brindlet::ui {
namespace {

void AppendHex(std::string& out, const char* prefix, unsigned value, int digits) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%s%0*X", prefix, digits, value);
  out += buffer;
}

// Characters that would break a line or turn text round on a terminal:
// C1 controls, the line and paragraph separators and the bidirectional
// embeddings, overrides and isolates.
bool InvisibleControl(char32_t c) {
  return (c >= 0x80 && c <= 0x9F) || c == 0x2028 || c == 0x2029 || (c >= 0x202A && c <= 0x202E) ||
         (c >= 0x2066 && c <= 0x2069);
}

std::string Trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return std::string(text.substr(first, text.find_last_not_of(" \t") - first + 1));
}

bool Contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

// The text between the first pair of double quotes after `after`, or empty.
std::string QuotedName(std::string_view text, std::string_view after) {
  const std::size_t at = text.find(after);
  if (at == std::string_view::npos) return {};
  const std::size_t open = text.find('"', at + after.size());
  if (open == std::string_view::npos) return {};
  const std::size_t close = text.find('"', open + 1);
  if (close == std::string_view::npos) return {};
  return std::string(text.substr(open + 1, close - open - 1));
}

}  // namespace

std::string Quoted(std::string_view text, std::size_t max_chars) {
  std::string out = "'";
  std::size_t chars = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    if (chars == max_chars) {
      out += "'... (" + std::to_string(text.size()) + " bytes in all)";
      return out;
    }
    const auto c = static_cast<unsigned char>(text[i]);
    std::size_t length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    bool valid = length > 0 && i + length <= text.size();
    char32_t code = length == 1 ? c : length == 2 ? (c & 0x1F) : length == 3 ? (c & 0x0F) : (c & 0x07);
    for (std::size_t k = 1; valid && k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      valid = (next & 0xC0) == 0x80;
      code = (code << 6) | (next & 0x3F);
    }
    if (!valid) {
      AppendHex(out, "\\x", c, 2);  // not UTF-8: the byte
      length = 1;
    } else if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c < 0x20 || c == 0x7F) {
      AppendHex(out, "\\x", c, 2);
    } else if (InvisibleControl(code)) {
      AppendHex(out, "\\u", static_cast<unsigned>(code), 4);
    } else {
      out.append(text.substr(i, length));
    }
    i += length;
    ++chars;
  }
  return out + "'";
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

// --- Start-up guard ---

namespace {

struct GuardState {
  bool starting = false;
  PlatformFacts facts;
  int real_stderr = -1;  // stderr while the start is held back
  int held = -1;         // what was written to stderr meanwhile
  QtMessageHandler previous = nullptr;
  // After the start: the last message, how often it came again, and how
  // many were shown.
  QString last;
  int repeats = 0;
  int shown = 0;
};

GuardState& Guard() {
  static GuardState state;
  return state;
}

constexpr int kMaxMessages = 200;

void WriteAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t written = ::write(fd, text.data(), text.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    text.remove_prefix(static_cast<std::size_t>(written));
  }
}

std::string HeldText() {
  GuardState& guard = Guard();
  std::string text;
  if (guard.held < 0) return text;
  char buffer[4096];
  for (off_t at = 0;;) {
    const ssize_t got = ::pread(guard.held, buffer, sizeof buffer, at);
    if (got <= 0) break;
    text.append(buffer, static_cast<std::size_t>(got));
    at += got;
  }
  return text;
}

void HandleMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  GuardState& guard = Guard();
  const QString line = qFormatLogMessage(type, context, message);
  if (guard.starting) {
    if (type == QtFatalMsg) {
      std::fflush(stderr);
      const std::string seen = HeldText() + line.toStdString();
      WriteAll(guard.real_stderr, StartupGuard::Diagnose(guard.facts, seen) + "\n");
      ::_exit(1);
    }
    WriteAll(STDERR_FILENO, line.toStdString() + "\n");  // held back with the rest
    return;
  }
  if (type != QtFatalMsg) {
    if (line == guard.last) {
      ++guard.repeats;
      return;
    }
    if (guard.shown >= kMaxMessages) return;
    if (guard.repeats > 0) {
      std::fprintf(stderr, "brindlet: (the message above came %d more times)\n", guard.repeats);
    }
    guard.last = line;
    guard.repeats = 0;
    if (++guard.shown == kMaxMessages) {
      std::fprintf(stderr, "brindlet: many messages from Qt; no more are shown.\n");
      return;
    }
  }
  std::fprintf(stderr, "%s\n", qPrintable(line));
}

}  // namespace

void StartupGuard::Begin(const PlatformFacts& facts) {
  GuardState& guard = Guard();
  guard.facts = facts;
  std::fflush(stderr);
  guard.held = ::memfd_create("brindlet-start", MFD_CLOEXEC);
  guard.real_stderr = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
  if (guard.held >= 0 && guard.real_stderr >= 0) {
    ::dup2(guard.held, STDERR_FILENO);
  } else {
    // Nothing to hold messages in: they go out as they come, and a failed
    // start still ends in one line of ours after them.
    if (guard.held >= 0) ::close(guard.held);
    guard.held = -1;
    if (guard.real_stderr < 0) guard.real_stderr = STDERR_FILENO;
  }
  guard.starting = true;
  guard.previous = qInstallMessageHandler(HandleMessage);
}

void StartupGuard::End() {
  GuardState& guard = Guard();
  if (!guard.starting) return;
  guard.starting = false;
  std::fflush(stderr);
  if (guard.held >= 0) {
    const std::string held = HeldText();
    ::dup2(guard.real_stderr, STDERR_FILENO);
    ::close(guard.real_stderr);
    ::close(guard.held);
    guard.held = -1;
    guard.real_stderr = STDERR_FILENO;
    WriteAll(STDERR_FILENO, held);
  }
}

void StartupGuard::Fail(std::string_view line) {
  GuardState& guard = Guard();
  std::fflush(stderr);
  // Nothing allocated: this also reports memory that ran out.
  const int fd = guard.starting ? guard.real_stderr : STDERR_FILENO;
  WriteAll(fd, line);
  WriteAll(fd, "\n");
  ::_exit(1);
}

std::string StartupGuard::Diagnose(const PlatformFacts& facts, std::string_view seen) {
  const auto orUnset = [](const std::string& value) { return value.empty() ? std::string("(unset)") : Quoted(value); };
  if (Contains(seen, "could not connect to display")) {
    // An X display name is [host]:display[.screen].
    const std::size_t colon = facts.display.rfind(':');
    if (colon == std::string::npos || colon + 1 >= facts.display.size() ||
        facts.display[colon + 1] < '0' || facts.display[colon + 1] > '9') {
      return "brindlet: DISPLAY (or -display) " + orUnset(facts.display) +
             " is not an X display name such as :0 or host:0; set it to a running X server's display.";
    }
    return "brindlet: cannot open the X display " + orUnset(facts.display) +
           ": no X server answers there or it refused the connection; set DISPLAY (or -display) to a running X "
           "server.";
  }
  if (Contains(seen, "wl_display") || Contains(seen, "Wayland display")) {
    return "brindlet: cannot connect to the Wayland display " + orUnset(facts.wayland_display) +
           ": no compositor answers there; set WAYLAND_DISPLAY to a running compositor's socket, or DISPLAY to an X "
           "server.";
  }
  if (const std::string name = QuotedName(seen, "Could not find the Qt platform plugin"); !name.empty()) {
    return "brindlet: Qt has no platform plugin " + Quoted(name) +
           " (asked for by QT_QPA_PLATFORM or -platform); name xcb or wayland, or leave it unset.";
  }
  const std::string platform = QuotedName(seen, "Could not load the Qt platform plugin");
  // The first line held back that Qt's own closing words don't explain.
  std::string cause;
  for (std::size_t start = 0; start < seen.size() && cause.empty();) {
    const std::size_t end = std::min(seen.find('\n', start), seen.size());
    const std::string_view line = seen.substr(start, end - start);
    if (!line.empty() && !Contains(line, "qt.qpa.plugin") && !Contains(line, "failed to start because")) {
      cause = std::string(line);
    }
    start = end + 1;
  }
  return "brindlet: Qt's platform plugin " + (platform.empty() ? orUnset(facts.platform) : Quoted(platform)) +
         " could not start" + (cause.empty() ? std::string() : " (" + Quoted(cause) + ")") +
         "; check DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM.";
}

std::string ScreenDepthProblem(int depth, const std::string& display) {
  if (depth >= 24) return {};
  return "brindlet: the screen of display " + (display.empty() ? std::string("(unset)") : Quoted(display)) +
         " has " + std::to_string(depth) +
         "-bit colour; Brindlet draws in 24-bit colour, so run it on a 24-bit display (for Xvfb: -screen 0 "
         "1280x1024x24).";
}

// --- Quit signals ---

namespace {

int quit_pipe[2] = {-1, -1};
volatile std::sig_atomic_t quit_caught = 0;

void OnQuitSignal(int signal) {
  if (quit_caught != 0) {
    // Asked again while quitting: end now, as the signal does by default
    // (it is delivered once this handler returns).
    std::signal(signal, SIG_DFL);
    std::raise(signal);
    return;
  }
  quit_caught = signal;
  const int saved = errno;
  const auto byte = static_cast<unsigned char>(signal);
  [[maybe_unused]] const ssize_t written = ::write(quit_pipe[1], &byte, 1);
  errno = saved;
}

}  // namespace

bool QuitSignals::Install() {
  if (quit_pipe[0] < 0 && ::pipe2(quit_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  struct sigaction action {};
  action.sa_handler = OnQuitSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  bool ok = true;
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) ok = ::sigaction(signal, &action, nullptr) == 0 && ok;
  return ok;
}

QuitSignals::QuitSignals(QObject* parent) : QObject(parent) {
  if (quit_pipe[0] < 0) return;
  notifier_ = new QSocketNotifier(quit_pipe[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] {
    unsigned char byte = 0;
    int last = 0;
    while (::read(quit_pipe[0], &byte, 1) == 1) last = byte;
    if (last != 0) emit Requested(last);
  });
}

// --- A window destroyed by another client ---

bool WindowGoneWatch::nativeEventFilter(const QByteArray& eventType, void* message, qintptr* /*result*/) {
  if (eventType != "xcb_generic_event_t" || !gone_) return false;
  // The X protocol's DestroyNotify: event code 17 (the top bit marks a sent
  // event), then the window told and the window destroyed.
  struct DestroyNotify {
    std::uint8_t response_type;
    std::uint8_t pad;
    std::uint16_t sequence;
    std::uint32_t event;
    std::uint32_t window;
  };
  constexpr std::uint8_t kDestroyNotify = 17;
  const auto* event = static_cast<const DestroyNotify*>(message);
  if ((event->response_type & 0x7F) != kDestroyNotify || event->window != window_) return false;
  const std::function<void()> gone = std::move(gone_);
  gone_ = nullptr;
  gone();
  return false;
}

// --- The X11 window manager ---

namespace {

xcb_connection_t* X11Connection() {
  const auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  return x11 != nullptr ? x11->connection() : nullptr;
}

xcb_atom_t Atom(xcb_connection_t* connection, const char* name) {
  xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
      connection, xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
  const xcb_atom_t atom = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
  std::free(reply);
  return atom;
}

xcb_window_t Root(xcb_connection_t* connection) { return xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root; }

}  // namespace

bool X11WithoutWindowManager() {
  xcb_connection_t* connection = X11Connection();
  if (connection == nullptr) return false;
  const xcb_atom_t check = Atom(connection, "_NET_SUPPORTING_WM_CHECK");
  xcb_get_property_reply_t* reply = xcb_get_property_reply(
      connection, xcb_get_property(connection, 0, Root(connection), check, XCB_ATOM_WINDOW, 0, 1), nullptr);
  const bool running = reply != nullptr && xcb_get_property_value_length(reply) == 4;
  std::free(reply);
  return !running;
}

void RequestFrameExtents(std::uintptr_t window) {
  xcb_connection_t* connection = X11Connection();
  if (connection == nullptr) return;
  xcb_client_message_event_t event{};
  event.response_type = XCB_CLIENT_MESSAGE;
  event.format = 32;
  event.window = static_cast<xcb_window_t>(window);
  event.type = Atom(connection, "_NET_REQUEST_FRAME_EXTENTS");
  xcb_send_event(connection, 0, Root(connection),
                 XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                 reinterpret_cast<const char*>(&event));
  xcb_flush(connection);
}

}  // namespace brindlet::ui
