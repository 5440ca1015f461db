// Brindlet: link glowing pegs of one colour with animated beams.
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDirIterator>
#include <QIcon>
#include <QLibraryInfo>
#include <QScreen>
#include <QStringList>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <optional>
#include <string>

#include "game/random.h"
#include "ui/display_env.h"
#include "ui/frame_dump.h"
#include "ui/launch.h"
#include "ui/main_window.h"

#ifndef BRINDLET_VERSION
#error "BRINDLET_VERSION must be defined by the build (the project version)"
#endif

namespace {

// Exit status for a command line that can't be understood.
constexpr int kUsageError = 2;
// Exit status when the program cannot run here (no usable display, no
// memory) or cannot write what it was asked for.
constexpr int kCannotRun = 1;

// The address space (ulimit -v) the program needs to start: Qt, its
// platform plugin, fontconfig and the pictures. Below it the libraries fail
// in ways that can't be caught (fontconfig crashes, Qt's threads never
// start), so a smaller limit is refused up front.
constexpr rlim_t kAddressSpaceNeeded = rlim_t{384} << 20;

enum class Request { Play, Help, Version, Invalid };

// Qt's standard options that make sense for a game, taken by the program
// itself (Qt is started without them) so that they also decide the platform
// check before Qt starts.
struct QtOptions {
  std::optional<std::string> platform;  // -platform: as QT_QPA_PLATFORM
  std::optional<std::string> display;   // -display: as DISPLAY
};

std::string Local(const QString& text) { return text.toLocal8Bit().toStdString(); }

// Reads the command line. This happens before anything looks for a display,
// so that --help and --version answer on a text console or in a package
// build too. A problem is reported on stderr in one line, quoting at most
// the start of the argument, with control characters escaped.
Request ReadCommandLine(int argc, char** argv, QCommandLineParser& parser, QtOptions& qt) {
  parser.setApplicationDescription(QStringLiteral(
      "Link glowing pegs of one colour with animated dotted beams.\n"
      "Starts the game in its windows; that needs an X11 or Wayland display."));
  // -platform and -display are words, as Qt spells them, not bundled letters.
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  // Own help and version options rather than Qt's: Qt's help adds
  // --help-all, which lists toolkit options this program does not accept.
  const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                QStringLiteral("Show this help and exit."));
  const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                   QStringLiteral("Show the version and exit."));
  const QCommandLineOption platform(
      QStringLiteral("platform"),
      QStringLiteral("The Qt platform to run on (xcb, wayland, offscreen, ...), as QT_QPA_PLATFORM."),
      QStringLiteral("name"));
  const QCommandLineOption display(QStringLiteral("display"),
                                   QStringLiteral("The X display to open the windows on, as DISPLAY."),
                                   QStringLiteral("display"));
  parser.addOption(help);
  parser.addOption(version);
  parser.addOption(platform);
  parser.addOption(display);

  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  std::string problem;
  if (!parser.parse(arguments)) {
    const QStringList unknown = parser.unknownOptionNames();
    if (!unknown.isEmpty()) {
      problem = "Unknown option " + brindlet::ui::Quoted(Local(unknown.constFirst())) + ".";
    } else {
      // Qt's own words, which name only this program's options.
      problem = brindlet::ui::Quoted(Local(parser.errorText()), 200);
      problem = problem.substr(1, problem.size() - 2);
    }
  } else if (!parser.positionalArguments().isEmpty()) {
    problem = "Unexpected argument " + brindlet::ui::Quoted(Local(parser.positionalArguments().constFirst())) + ".";
  } else {
    for (const QCommandLineOption* option : {&platform, &display}) {
      if (parser.isSet(*option) && parser.value(*option).isEmpty()) {
        problem = "The option -" + Local(option->names().constFirst()) + " needs a value that is not empty.";
      }
    }
  }
  if (!problem.empty()) {
    std::fprintf(stderr, "brindlet: %s Try 'brindlet --help'.\n", problem.c_str());
    return Request::Invalid;
  }
  if (parser.isSet(help)) return Request::Help;
  if (parser.isSet(version)) return Request::Version;
  if (parser.isSet(platform)) qt.platform = Local(parser.value(platform));
  if (parser.isSet(display)) qt.display = Local(parser.value(display));
  return Request::Play;
}

void PrintHelp(const QCommandLineParser& parser) {
  // The parser names the program after the application object's first
  // argument; a short-lived core application (which needs no display) makes
  // that the plain program name rather than the path it was started by.
  int argc = 1;
  char name[] = "brindlet";
  char* argv[] = {name, nullptr};
  const QCoreApplication naming(argc, argv);
  std::fputs(qPrintable(parser.helpText()), stdout);
}

// Standard output written and closed; a failure (a full disk, a closed
// pipe, /dev/full) is reported and turns into a failed exit status.
int FinishOutput(const char* what) {
  int error = std::ferror(stdout) != 0 ? EIO : 0;
  if (std::fflush(stdout) != 0 && error == 0) error = errno;
  if (std::fclose(stdout) != 0 && error == 0) error = errno;
  if (error == 0) return 0;
  std::fprintf(stderr, "brindlet: could not write %s to standard output (%s).\n", what, std::strerror(error));
  return kCannotRun;
}

// Every size of the application icon compiled into the program (data/icons
// through data/brindlet.qrc), so that each place that shows the icon gets a
// drawn size instead of a scaled one.
QIcon ApplicationIcon() {
  QIcon icon;
  QDirIterator sizes(QStringLiteral(":/icons"), {QStringLiteral("brindlet.png")}, QDir::Files,
                     QDirIterator::Subdirectories);
  while (sizes.hasNext()) icon.addFile(sizes.next());
  return icon;
}

[[noreturn]] void OutOfMemory() {
  brindlet::ui::StartupGuard::Fail("brindlet: out of memory; close other programs or raise the memory limit.");
}

// The one line for an address-space limit too small to start in, or empty.
std::string AddressSpaceProblem() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur >= kAddressSpaceNeeded) {
    return {};
  }
  return "brindlet: the address-space limit (ulimit -v " + std::to_string(limit.rlim_cur >> 10) +
         ") is too small; Brindlet needs at least " + std::to_string(kAddressSpaceNeeded >> 10) + " KiB.";
}

// Sets or, for nullopt, removes an environment variable.
void SetEnvironment(const char* name, const std::optional<std::string>& value) {
  if (value) {
    qputenv(name, QByteArray::fromStdString(*value));
  } else {
    qunsetenv(name);
  }
}

}  // namespace

int main(int argc, char** argv) {
  QtOptions qtOptions;
  {
    QCommandLineParser parser;
    switch (ReadCommandLine(argc, argv, parser, qtOptions)) {
      case Request::Invalid:
        return kUsageError;
      case Request::Help:
        PrintHelp(parser);
        return FinishOutput("the help");
      case Request::Version:
        std::printf("brindlet %s\n", BRINDLET_VERSION);
        return FinishOutput("the version");
      case Request::Play:
        break;
    }
  }

  namespace ui = brindlet::ui;
  // Values the program does not take are dropped, each with one line, and
  // it runs as if they were unset. -platform and -display stand for their
  // variables, and are handed to Qt that way.
  for (const ui::RejectedValue& rejected : ui::CheckEnvironment(ui::ProcessEnvironment())) {
    std::fprintf(stderr, "%s\n", rejected.warning.c_str());
    qunsetenv(rejected.name);
  }
  if (qtOptions.platform) SetEnvironment("QT_QPA_PLATFORM", qtOptions.platform);
  if (qtOptions.display) SetEnvironment("DISPLAY", qtOptions.display);

  const ui::EnvLookup env = ui::ProcessEnvironment();
  const bool waylandPlugin =
      ui::WaylandPluginInstalled(env, QLibraryInfo::path(QLibraryInfo::PluginsPath).toStdString());
  const ui::PlatformChoice platform = ui::ChoosePlatform(env, waylandPlugin);
  if (platform.problem != nullptr) {
    std::fprintf(stderr, "%s\n", platform.problem);
    return kCannotRun;
  }
  if (!platform.platform.empty()) qputenv("QT_QPA_PLATFORM", QByteArray::fromStdString(platform.platform));
  if (const std::string problem = AddressSpaceProblem(); !problem.empty()) {
    std::fprintf(stderr, "%s\n", problem.c_str());
    return kCannotRun;
  }

  // Without a session bus (none named, none in XDG_RUNTIME_DIR), libdbus
  // would start one for the X display the first time Qt looks for it
  // (dbus-launch --autolaunch), and that one outlives the program: it goes
  // without.
  const std::optional<std::string> bus = env("DBUS_SESSION_BUS_ADDRESS");
  const std::optional<std::string> runtime = env("XDG_RUNTIME_DIR");
  struct stat socket {};
  if ((!bus || bus->empty()) &&
      (!runtime || ::stat((*runtime + "/bus").c_str(), &socket) != 0 || !S_ISSOCK(socket.st_mode))) {
    qputenv("DBUS_SESSION_BUS_ADDRESS", "disabled:");
  }

  // From here a SIGTERM, SIGINT or SIGHUP quits as Quit! does, once the
  // event loop gets to it.
  ui::QuitSignals::Install();

  ui::PlatformFacts facts;
  facts.platform = env("QT_QPA_PLATFORM").value_or(std::string());
  facts.display = env("DISPLAY").value_or(std::string());
  facts.wayland_display = env("WAYLAND_DISPLAY").value_or(std::string());

  try {
    // Memory that can't be had while starting ends the program in one line,
    // right where it ran out.
    const std::new_handler previousNewHandler = std::set_new_handler(OutOfMemory);
    // Qt is given only the program's name: the options it knows were read
    // above, and nothing else is accepted.
    static int qtArgc = 1;
    ui::StartupGuard::Begin(facts);
    QApplication app(qtArgc, argv);
    QApplication::setApplicationName(QStringLiteral("Brindlet"));
    QApplication::setApplicationVersion(QStringLiteral(BRINDLET_VERSION));
    // A screen with fewer colours than the pictures can't show them (the
    // painting would fail on every frame): refused in one line.
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) ui::StartupGuard::Fail("brindlet: the display has no screen to open the windows on.");
    if (const std::string problem = ui::ScreenDepthProblem(screen->depth(), facts.display); !problem.empty()) {
      ui::StartupGuard::Fail(problem);
    }
    ui::StartupGuard::End();
    // The installed desktop entry is brindlet.desktop: Wayland compositors and
    // task bars match the running program to it (its name and icon) by this.
    QGuiApplication::setDesktopFileName(QStringLiteral("brindlet"));
    QApplication::setWindowIcon(ApplicationIcon());
    // The program ends through Die (or closing the main window) only, not
    // when the last window happens to be hidden.
    QApplication::setQuitOnLastWindowClosed(false);

    brindlet::DefaultRandom random;
    ui::MainWindow window(random);
    const ui::QuitSignals quitSignals;
    QObject::connect(&quitSignals, &ui::QuitSignals::Requested, &window, [&window] {
      if (!window.EndRequested()) window.game().Die();
    });
    window.Load();
    // For tests: with BRINDLET_FRAME_DUMP set, SIGUSR1 freezes the game and writes its frame.
    const std::unique_ptr<ui::FrameDump> frameDump = ui::FrameDump::FromEnvironment(env, window, *window.picOutput());
    std::set_new_handler(previousNewHandler);
    // The main window is the program: destroyed by another client, it ends
    // the program as closing it does.
    ui::WindowGoneWatch mainWindowGone(window.winId(), [&window] {
      if (!window.EndRequested()) window.game().Die();
    });
    QCoreApplication::instance()->installNativeEventFilter(&mainWindowGone);
    if (window.EndRequested()) return 0;
    return QApplication::exec();
  } catch (const std::bad_alloc&) {
    OutOfMemory();
  }
}
