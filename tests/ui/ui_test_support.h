// Helpers shared by the widget tests.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QRect>
#include <QTest>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "game/game.h"
#include "ui/main_window.h"
#include "ui/x11_presenter.h"

namespace brindlet::ui {

// A control expected at `geometry` inside the widget named `parent`.
struct Placed {
  const char* name;
  const char* parent;
  QRect geometry;
};

inline void ExpectPlaced(const QWidget& window, const std::vector<Placed>& controls) {
  for (const Placed& p : controls) {
    const QWidget* control = window.findChild<QWidget*>(QString::fromLatin1(p.name));
    ASSERT_NE(control, nullptr) << "no control " << p.name;
    ASSERT_NE(control->parentWidget(), nullptr) << p.name;
    EXPECT_EQ(control->parentWidget()->objectName(), p.parent) << p.name;
    EXPECT_EQ(control->geometry(), p.geometry) << p.name;
  }
}

// The controls the keyboard focus visits in `window`, shown and active: the
// one it opens on, then each one Tab moves it to until it comes back round.
inline std::vector<std::string> TabRound(QWidget& window) {
  window.show();
  window.activateWindow();
  if (!QTest::qWaitForWindowActive(&window)) return {"(not active)"};
  std::vector<std::string> order;
  const QWidget* first = QApplication::focusWidget();
  for (QWidget* at = QApplication::focusWidget(); at != nullptr && order.size() < 20; at = QApplication::focusWidget()) {
    order.push_back(at->objectName().toStdString());
    QTest::keyClick(at, Qt::Key_Tab);
    if (QApplication::focusWidget() == first) break;
  }
  return order;
}

// A plain peg resting at (x, y): unlinked, unselected, of kind 0 (red).
inline Peg RestingPeg(double x, double y) {
  Peg peg;
  peg.X = peg.TargetX = x;
  peg.Y = peg.TargetY = y;
  return peg;
}

inline constexpr Timer kTimers[] = {Timer::Display, Timer::MainLoop, Timer::Debug, Timer::Effects};

// The program as main() starts it, with the presenter of `kind`: the main
// window loaded, its timers running.
class StartedProgram : public ::testing::Test {
 protected:
  void SetUp() override { Start(PresenterKind::X11); }
  void Start(PresenterKind kind) {
    window_.reset();
    window_ = std::make_unique<MainWindow>(random_, kind);
    window_->Load();
  }
  // So that the test alone decides when the game ticks.
  void StopTimers() {
    for (Timer t : kTimers) window_->ticks().SetEnabled(t, false);
  }
  Game& game() { return window_->game(); }
  const Board& board() { return window_->game().board(); }
  Presenter& presenter() { return window_->presenter(); }
  Playfield& field() { return window_->presenter().playfield(); }
  DebugWindow& debug() { return window_->presenter().debug(); }
  // The X11 presenter's playfield and its own window.
  X11Playfield& x11() { return dynamic_cast<X11Playfield&>(field()); }
  QWindow* own() { return &x11().OwnWindow(); }
  // The game's board, changed by `edit`, set back on the game.
  template <typename Edit>
  void Change(Edit edit) {
    Board b = game().board();
    edit(b);
    game().SetBoard(b);
  }

  DefaultRandom random_;
  std::unique_ptr<MainWindow> window_;
};

}  // namespace brindlet::ui
