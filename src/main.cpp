// Brindlet: link glowing pegs of one colour with animated beams.
#include <QApplication>
#include <cstdio>

#include "game/random.h"
#include "ui/display_env.h"
#include "ui/main_window.h"

int main(int argc, char** argv) {
  const brindlet::ui::EnvLookup env = brindlet::ui::ProcessEnvironment();
  if (!brindlet::ui::HasGraphicalDisplay(env)) {
    std::fprintf(stderr, "%s\n", brindlet::ui::kNoDisplayMessage);
    return 1;
  }
  const std::string platform = brindlet::ui::PreferredPlatform(env);
  if (!platform.empty()) qputenv("QT_QPA_PLATFORM", QByteArray::fromStdString(platform));

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Brindlet"));
  // The program ends through Die (or closing the main window) only, not
  // when the last window happens to be hidden.
  QApplication::setQuitOnLastWindowClosed(false);

  brindlet::DefaultRandom random;
  brindlet::ui::MainWindow window(random);
  window.Load();
  if (window.EndRequested()) return 0;
  return QApplication::exec();
}
