// brindlet_timers_floor: what the running program would cost if it drew
// nothing. A window of the playfield's size (painted once, black) and the
// program's three running timers at their intervals; the main-loop timer does
// what a main tick does besides drawing: it reads the pointer over the window
// and lets pending events run. `bench/running_program.sh` measures it beside
// the program, so that the program's share of a core can be read against the
// share a Qt program pays just to wake up for these timers on the same
// machine. Runs until it is ended (SIGTERM or closing the window).
#include <QApplication>
#include <QCursor>
#include <QTimer>
#include <QWidget>

#include "ui/ticks.h"

namespace {

using brindlet::ui::Ticks;

QTimer* StartTimer(QObject* parent, int interval) {
  auto* timer = new QTimer(parent);
  timer->setTimerType(Qt::PreciseTimer);
  timer->setInterval(interval);
  timer->start();
  return timer;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget window;
  window.setWindowTitle(QStringLiteral("brindlet_timers_floor"));
  QPalette palette = window.palette();
  palette.setColor(QPalette::Window, Qt::black);
  window.setPalette(palette);
  window.setAutoFillBackground(true);
  // The playfield's picture and its one-pixel border.
  window.setFixedSize(brindlet::kBackgroundWidth + 2, brindlet::kBackgroundHeight + 2);
  window.show();

  QObject::connect(StartTimer(&window, Ticks::kMainLoopInterval), &QTimer::timeout, &window, [&window] {
    static_cast<void>(window.mapFromGlobal(QCursor::pos()));
    QCoreApplication::processEvents();
  });
  QObject::connect(StartTimer(&window, Ticks::kEffectsInterval), &QTimer::timeout, &window, [] {});
  QObject::connect(StartTimer(&window, Ticks::kDebugInterval), &QTimer::timeout, &window, [] {});
  return QApplication::exec();
}
