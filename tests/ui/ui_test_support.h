// Helpers shared by the widget tests.
#pragma once

#include <gtest/gtest.h>

#include <QRect>
#include <QWidget>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "game/game.h"
#include "ui/main_window.h"

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

// The widgets named in `among`, in the order the window's focus chain visits
// them starting from the window itself (where the focus starts when it opens).
inline std::vector<std::string> FocusChain(const QWidget& window, const std::vector<std::string>& among) {
  std::vector<std::string> order;
  for (const QWidget* w = window.nextInFocusChain(); w != nullptr && w != &window; w = w->nextInFocusChain()) {
    const std::string name = w->objectName().toStdString();
    if (std::find(among.begin(), among.end(), name) != among.end()) order.push_back(name);
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

// The program as main() starts it: the main window loaded, its timers running.
class StartedProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = std::make_unique<MainWindow>(random_);
    window_->Load();
  }
  // So that the test alone decides when the game ticks.
  void StopTimers() {
    for (Timer t : kTimers) window_->SetEnabled(t, false);
  }
  Game& game() { return window_->game(); }
  const Board& board() { return window_->game().board(); }
  DebugWindow& debug() { return *window_->frmDebug(); }
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
