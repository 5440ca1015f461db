#include "startup/guard.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <QGuiApplication>
#include <QScreen>
#include <QtGlobal>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "startup/environment.h"
#include "startup/quoted.h"

namespace brindlet::startup {
namespace {

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

void StartupGuard::CheckScreen(const PlatformFacts& facts) {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) Fail("brindlet: the display has no screen to open the windows on.");
  if (const std::string problem = ScreenDepthProblem(screen->depth(), facts.display); !problem.empty()) Fail(problem);
}

PlatformFacts CurrentPlatformFacts() {
  const EnvLookup env = ProcessEnvironment();
  return {env("QT_QPA_PLATFORM").value_or(std::string()), env("DISPLAY").value_or(std::string()),
          env("WAYLAND_DISPLAY").value_or(std::string())};
}

std::string ScreenDepthProblem(int depth, const std::string& display) {
  if (depth >= 24) return {};
  return "brindlet: the screen of display " + (display.empty() ? std::string("(unset)") : Quoted(display)) +
         " has " + std::to_string(depth) +
         "-bit colour; Brindlet draws in 24-bit colour, so run it on a 24-bit display (for Xvfb: -screen 0 "
         "1280x1024x24).";
}

}  // namespace brindlet::startup
