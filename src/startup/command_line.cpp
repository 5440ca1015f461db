#include "startup/command_line.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QLibraryInfo>
#include <QStringList>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "startup/environment.h"
#include "startup/quoted.h"

#ifndef BRINDLET_VERSION
#error "BRINDLET_VERSION must be defined by the build (the project version)"
#endif

namespace brindlet::startup {
namespace {

std::string Local(const QString& text) { return text.toLocal8Bit().toStdString(); }

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

// Sets or, for nullopt, removes an environment variable.
void SetEnvironment(const char* name, const std::optional<std::string>& value) {
  if (value) {
    qputenv(name, QByteArray::fromStdString(*value));
  } else {
    qunsetenv(name);
  }
}

}  // namespace

std::optional<int> ReadCommandLine(int argc, char** argv, Options& options) {
  QCommandLineParser parser;
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
  const QCommandLineOption look(
      QStringLiteral("look"),
      QStringLiteral("Draw the pegs by colour alone (colours) or with shapes that need no colour (shapes); "
                     "remembered for the next start."),
      QStringLiteral("look"));
  parser.addOption(help);
  parser.addOption(version);
  parser.addOption(platform);
  parser.addOption(display);
  parser.addOption(look);

  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  std::string problem;
  if (!parser.parse(arguments)) {
    const QStringList unknown = parser.unknownOptionNames();
    if (!unknown.isEmpty()) {
      problem = "Unknown option " + Quoted(Local(unknown.constFirst())) + ".";
    } else {
      // Qt's own words, which name only this program's options.
      problem = Quoted(Local(parser.errorText()), 200);
      problem = problem.substr(1, problem.size() - 2);
    }
  } else if (!parser.positionalArguments().isEmpty()) {
    problem = "Unexpected argument " + Quoted(Local(parser.positionalArguments().constFirst())) + ".";
  } else {
    for (const QCommandLineOption* option : {&platform, &display}) {
      if (parser.isSet(*option) && parser.value(*option).isEmpty()) {
        problem = "The option -" + Local(option->names().constFirst()) + " needs a value that is not empty.";
      }
    }
    const QString chosen = parser.value(look);
    if (parser.isSet(look) && chosen != QLatin1String("colours") && chosen != QLatin1String("shapes")) {
      problem = "The option --look takes colours or shapes, not " + Quoted(Local(chosen)) + ".";
    }
  }
  if (!problem.empty()) {
    std::fprintf(stderr, "brindlet: %s Try 'brindlet --help'.\n", problem.c_str());
    return kUsageError;
  }
  if (parser.isSet(help)) {
    PrintHelp(parser);
    return FinishOutput("the help");
  }
  if (parser.isSet(version)) {
    std::printf("brindlet %s\n", BRINDLET_VERSION);
    return FinishOutput("the version");
  }
  if (parser.isSet(platform)) options.platform = Local(parser.value(platform));
  if (parser.isSet(display)) options.display = Local(parser.value(display));
  if (parser.isSet(look)) options.shapes = parser.value(look) == QLatin1String("shapes");
  return std::nullopt;
}

bool PrepareEnvironment(const Options& options) {
  // The program runs as if a value it does not take were unset.
  for (const RejectedValue& rejected : CheckEnvironment(ProcessEnvironment())) {
    std::fprintf(stderr, "%s\n", rejected.warning.c_str());
    qunsetenv(rejected.name);
  }
  if (options.platform) SetEnvironment("QT_QPA_PLATFORM", options.platform);
  if (options.display) SetEnvironment("DISPLAY", options.display);

  const EnvLookup env = ProcessEnvironment();
  const bool waylandPlugin = WaylandPluginInstalled(env, QLibraryInfo::path(QLibraryInfo::PluginsPath).toStdString());
  const PlatformChoice choice = ChoosePlatform(env, waylandPlugin);
  if (choice.problem != nullptr) {
    std::fprintf(stderr, "%s\n", choice.problem);
    return false;
  }
  if (!choice.platform.empty()) qputenv("QT_QPA_PLATFORM", QByteArray::fromStdString(choice.platform));
  // Nothing the program starts may outlive it.
  if (const std::optional<std::string> bus = SessionBusAddress(env)) SetEnvironment("DBUS_SESSION_BUS_ADDRESS", bus);
  if (const std::string problem = AddressSpaceProblem(); !problem.empty()) {
    std::fprintf(stderr, "%s\n", problem.c_str());
    return false;
  }
  return true;
}

}  // namespace brindlet::startup
