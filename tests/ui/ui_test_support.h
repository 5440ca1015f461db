// Helpers shared by the widget tests.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QRegularExpression>
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

// The controls `window` names (decorations that take no mouse aside):
// each lies inside its parent or wholly outside it (unseen), none covers a
// sibling by more than a pixel's edge, and every caption fits its control.
inline void ExpectControlsApartAndCaptionsFit(const QWidget& window) {
  const auto named = window.findChildren<QWidget*>(QRegularExpression("^(?!qt_).+"));
  for (const QWidget* w : named) {
    if (w->testAttribute(Qt::WA_TransparentForMouseEvents)) continue;
    const std::string name = w->objectName().toStdString();
    const QRect place = w->geometry(), room = w->parentWidget()->rect();
    EXPECT_TRUE(room.contains(place) || !room.intersects(place)) << name << " sticks out of its parent";
    for (const QWidget* other : named) {
      if (other != w && other->parentWidget() == w->parentWidget() &&
          !other->testAttribute(Qt::WA_TransparentForMouseEvents)) {
        EXPECT_FALSE(place.adjusted(0, 0, -1, -1).intersects(other->geometry().adjusted(0, 0, -1, -1)))
            << name << " covers " << other->objectName().toStdString();
      }
    }
    const auto* label = qobject_cast<const QLabel*>(w);
    const auto* button = qobject_cast<const QAbstractButton*>(w);
    if (label != nullptr && !label->text().isEmpty()) {
      const QRect ink = label->fontMetrics().boundingRect(label->text());
      EXPECT_TRUE(ink.width() <= w->width() && label->fontMetrics().height() <= w->height()) << name << " cut";
    } else if (button != nullptr) {
      EXPECT_TRUE(w->sizeHint().width() <= w->width() || button->fontMetrics().horizontalAdvance(button->text()) <=
                  w->width()) << name << " cut";
      EXPECT_LE(button->fontMetrics().height(), w->height()) << name << " cut";
    }
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

// The push button of `window` that reads `caption`, as the player finds it.
inline QAbstractButton* ButtonReading(const QWidget& window, const char* caption) {
  for (QAbstractButton* b : window.findChildren<QAbstractButton*>()) if (b->text() == QLatin1String(caption)) return b;
  ADD_FAILURE() << "no button reads " << caption;
  return nullptr;
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
