// Brindlet: link glowing pegs of one colour with animated beams.
#include <QApplication>
#include <QDirIterator>
#include <QIcon>
#include <QScreen>
#include <new>

#include "game/random.h"
#include "startup/command_line.h"
#include "startup/environment.h"
#include "startup/guard.h"
#include "startup/quit_signals.h"
#include "ui/frame_dump.h"
#include "ui/main_window.h"
#include "ui/preferences.h"

#ifndef BRINDLET_VERSION
#error "BRINDLET_VERSION must be defined by the build (the project version)"
#endif

namespace {

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
  brindlet::startup::StartupGuard::Fail("brindlet: out of memory; close other programs or raise the memory limit.");
}

}  // namespace

int main(int argc, char** argv) {
  namespace startup = brindlet::startup;
  startup::Options options;
  if (const std::optional<int> done = startup::ReadCommandLine(argc, argv, options)) return *done;
  if (!startup::PrepareEnvironment(options)) return startup::kCannotRun;
  // From here a SIGTERM, SIGINT or SIGHUP quits as Quit! does, once the
  // event loop gets to it.
  startup::QuitSignals::Install();

  try {
    // Memory that can't be had while starting ends the program in one line,
    // right where it ran out.
    const std::new_handler previousNewHandler = std::set_new_handler(OutOfMemory);
    const startup::PlatformFacts facts = startup::CurrentPlatformFacts();
    startup::StartupGuard::Begin(facts);
    // Qt is given only the program's name: the options it knows were read
    // above, and nothing else is accepted.
    static int qtArgc = 1;
    QApplication app(qtArgc, argv);
    QApplication::setApplicationName(QStringLiteral("Brindlet"));
    QApplication::setApplicationVersion(QStringLiteral(BRINDLET_VERSION));
    startup::StartupGuard::CheckScreen(facts);
    startup::StartupGuard::End();
    // The installed desktop entry is brindlet.desktop: Wayland compositors and
    // task bars match the running program to it (its name and icon) by this.
    QGuiApplication::setDesktopFileName(QStringLiteral("brindlet"));
    QApplication::setWindowIcon(ApplicationIcon());
    // The program ends through Die (or closing the main window) only, not
    // when the last window happens to be hidden.
    QApplication::setQuitOnLastWindowClosed(false);

    brindlet::DefaultRandom random;
    brindlet::ui::MainWindow window(random);
    // The look asked for is remembered; without one, the last one chosen.
    if (options.shapes) {
      window.SetLook(*options.shapes ? brindlet::Look::Shapes : brindlet::Look::Colours, true);
    } else {
      window.SetLook(brindlet::ui::RememberedLook(), false);
    }
    const startup::QuitSignals quitSignals;
    QObject::connect(&quitSignals, &startup::QuitSignals::Requested, &window, [&window] {
      if (!window.EndRequested()) window.game().Die();
    });
    window.Load();
    // For tests: with BRINDLET_FRAME_DUMP set, SIGUSR1 freezes the game and writes its frame.
    const std::unique_ptr<brindlet::ui::FrameDump> frameDump =
        brindlet::ui::FrameDump::FromEnvironment(brindlet::startup::ProcessEnvironment(), window.ticks(), window.presenter().playfield());
    std::set_new_handler(previousNewHandler);
    return window.Run();
  } catch (const std::bad_alloc&) {
    OutOfMemory();
  }
}
