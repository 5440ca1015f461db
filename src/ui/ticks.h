// The game's timers: the main loop (25 ms), the effects (20 ms) and the
// debug read-out (100 ms), and the display timer that is never enabled;
// they are the game's Timers role. Also the pace at which the game's
// yields let window events run.
//
// While no part of the playfield can be seen the three running timers stop
// and one wake-up at most every kWakeInterval runs the ticks that fell due
// since, in the order the timers would have run them (game/tick_schedule.h),
// with the game drawing nothing (Game::SetSeen). The moment the playfield
// can be seen again the ticks due are caught up and the timers start again.
#pragma once

#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <chrono>
#include <functional>
#include <memory>
#include <vector>

#include "game/game.h"
#include "game/platform.h"
#include "game/tick_schedule.h"
#include "ui/tick_log.h"

namespace brindlet::ui {

class Ticks final : public QObject, public Timers {
  Q_OBJECT

 public:
  static constexpr int kMainLoopInterval = 25;
  static constexpr int kEffectsInterval = 20;
  static constexpr int kDebugInterval = 100;
  static constexpr int kDisplayInterval = 25;
  // A little over 100 ms, so that the odd other wake-up (an X event, a
  // preemption) still leaves the program under ten a second.
  static constexpr int kWakeInterval = 110;

  // Ticks for `game`; `afterMainTick` runs after each main tick.
  Ticks(Game& game, std::function<void()> afterMainTick);
  ~Ticks() override;

  // `seen` says whether any part of the playfield can be seen; `window` is
  // the playfield's top-level window, whose state and exposure are watched.
  // Until this is called the playfield counts as seen.
  void Watch(QWidget& window, std::function<bool()> seen);
  // Looks again whether the playfield can be seen, and sleeps or wakes.
  void Check();
  bool Asleep() const { return asleep_; }
  QTimer& WakeTimer() { return wake_; }

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

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  static TickSchedule::Time Now();
  QTimer& TimerFor(Timer timer);
  const QTimer& TimerFor(Timer timer) const { return const_cast<Ticks*>(this)->TimerFor(timer); }
  // One tick of `timer`.
  void Run(Timer timer);
  // A timer's tick while awake.
  void Fire(Timer timer);
  // Hears of the window's exposure as soon as it has a native window.
  void WatchHandle();
  void Sleep();
  void Wake();
  void WakeUp();

  Game& game_;
  std::function<void()> after_main_tick_;
  QTimer main_;
  QTimer effects_;
  QTimer debug_;
  QTimer display_;
  // When BRINDLET_TICK_LOG is set: the start of every main tick, written at exit.
  std::unique_ptr<TickLog> tick_log_;
  std::chrono::steady_clock::time_point last_yield_{};
  std::vector<QTimer*> held_;
  bool holding_ = false;


  QPointer<QWidget> window_;
  QPointer<QWindow> handle_;
  std::function<bool()> seen_;
  TickSchedule schedule_;
  QTimer wake_;
  bool asleep_ = false;
  int firing_ = 0;  // timer ticks running, nested
};

}  // namespace brindlet::ui
