// The game's timers: the main loop (25 ms), the effects (20 ms) and the
// debug read-out (100 ms), and the display timer that is never enabled;
// they are the game's Timers role. Also the pace at which the game's
// yields let window events run.
#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>
#include <vector>

#include "game/game.h"
#include "game/platform.h"
#include "ui/tick_log.h"

namespace brindlet::ui {

class Ticks final : public QObject, public Timers {
  Q_OBJECT

 public:
  static constexpr int kMainLoopInterval = 25;
  static constexpr int kEffectsInterval = 20;
  static constexpr int kDebugInterval = 100;
  static constexpr int kDisplayInterval = 25;

  // Ticks for `game`; `afterMainTick` runs after each main tick.
  Ticks(Game& game, std::function<void()> afterMainTick);
  ~Ticks() override;

  // The main-loop, effects and debug timers start.
  void Start();
  // --- Timers ---
  void SetEnabled(Timer timer, bool enabled) override;
  bool Enabled(Timer timer) const;

  // Runs pending events unless it did so less than kYieldGap ago: the game
  // yields hundreds of times a tick, and asking the window system each time
  // costs system calls and thread wake-ups while a click or a tick can well
  // wait a millisecond.
  void LetEventsRun();
  static constexpr std::chrono::microseconds kYieldGap{1000};

  // Held, the running timers stop (the game freezes) until let go again.
  void Hold(bool held);

 private:
  QTimer& TimerFor(Timer timer);
  const QTimer& TimerFor(Timer timer) const { return const_cast<Ticks*>(this)->TimerFor(timer); }

  Game& game_;
  QTimer main_;
  QTimer effects_;
  QTimer debug_;
  QTimer display_;
  // When BRINDLET_TICK_LOG is set: the start of every main tick, written at exit.
  std::unique_ptr<TickLog> tick_log_;
  std::chrono::steady_clock::time_point last_yield_{};
  std::vector<QTimer*> held_;
};

}  // namespace brindlet::ui
