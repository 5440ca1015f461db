// Brindlet: link glowing pegs of one colour with animated beams.
#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDirIterator>
#include <QIcon>
#include <QLibraryInfo>
#include <QStringList>
#include <cstdio>

#include "game/random.h"
#include "ui/display_env.h"
#include "ui/main_window.h"

#ifndef BRINDLET_VERSION
#error "BRINDLET_VERSION must be defined by the build (the project version)"
#endif

namespace {

// Exit status for a command line that can't be understood.
constexpr int kUsageError = 2;

enum class Request { Play, Help, Version, Invalid };

// Reads the command line. This happens before anything looks for a display,
// so that --help and --version answer on a text console or in a package
// build too. A problem is reported on stderr in one line.
Request ReadCommandLine(int argc, char** argv, QCommandLineParser& parser) {
  parser.setApplicationDescription(QStringLiteral(
      "Link glowing pegs of one colour with animated dotted beams.\n"
      "Starts the game in its windows; that needs an X11 or Wayland display."));
  // Own help and version options rather than Qt's: Qt's help adds
  // --help-all, which lists toolkit options this program does not accept.
  const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                QStringLiteral("Show this help and exit."));
  const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                   QStringLiteral("Show the version and exit."));
  parser.addOption(help);
  parser.addOption(version);

  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  QString problem;
  if (!parser.parse(arguments)) {
    problem = parser.errorText();
  } else if (!parser.positionalArguments().isEmpty()) {
    problem = QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().constFirst());
  }
  if (!problem.isEmpty()) {
    std::fprintf(stderr, "brindlet: %s Try 'brindlet --help'.\n", qPrintable(problem));
    return Request::Invalid;
  }
  if (parser.isSet(help)) return Request::Help;
  if (parser.isSet(version)) return Request::Version;
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

}  // namespace

int main(int argc, char** argv) {
  {
    QCommandLineParser parser;
    switch (ReadCommandLine(argc, argv, parser)) {
      case Request::Invalid:
        return kUsageError;
      case Request::Help:
        PrintHelp(parser);
        return 0;
      case Request::Version:
        std::printf("brindlet %s\n", BRINDLET_VERSION);
        return 0;
      case Request::Play:
        break;
    }
  }

  const brindlet::ui::EnvLookup env = brindlet::ui::ProcessEnvironment();
  const bool waylandPlugin = brindlet::ui::WaylandPluginInstalled(
      env, QLibraryInfo::path(QLibraryInfo::PluginsPath).toStdString());
  const brindlet::ui::PlatformChoice platform = brindlet::ui::ChoosePlatform(env, waylandPlugin);
  if (platform.problem != nullptr) {
    std::fprintf(stderr, "%s\n", platform.problem);
    return 1;
  }
  if (!platform.platform.empty()) qputenv("QT_QPA_PLATFORM", QByteArray::fromStdString(platform.platform));

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Brindlet"));
  QApplication::setApplicationVersion(QStringLiteral(BRINDLET_VERSION));
  // The installed desktop entry is brindlet.desktop: Wayland compositors and
  // task bars match the running program to it (its name and icon) by this.
  QGuiApplication::setDesktopFileName(QStringLiteral("brindlet"));
  QApplication::setWindowIcon(ApplicationIcon());
  // The program ends through Die (or closing the main window) only, not
  // when the last window happens to be hidden.
  QApplication::setQuitOnLastWindowClosed(false);

  brindlet::DefaultRandom random;
  brindlet::ui::MainWindow window(random);
  window.Load();
  if (window.EndRequested()) return 0;
  return QApplication::exec();
}
