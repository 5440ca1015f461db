#include "ui/ticks.h"

#include <QCoreApplication>
#include <algorithm>

#include "startup/environment.h"

namespace brindlet::ui {

Ticks::Ticks(Game& game, std::function<void()> afterMainTick) : game_(game) {
  for (const auto& [timer, interval] : {std::pair{&main_, kMainLoopInterval}, std::pair{&effects_, kEffectsInterval},
                                        std::pair{&debug_, kDebugInterval}, std::pair{&display_, kDisplayInterval}}) {
    timer->setInterval(interval);
    timer->setTimerType(Qt::PreciseTimer);
  }
  tick_log_ = TickLog::FromEnvironment(startup::ProcessEnvironment());
  // A tick starts from the event loop, which has just run what was pending:
  // the tick's first yields need not run it again.
  connect(&main_, &QTimer::timeout, this, [this, after = std::move(afterMainTick)] {
    if (tick_log_) tick_log_->Mark();
    last_yield_ = std::chrono::steady_clock::now();
    game_.MainTick();
    after();
  });
  connect(&effects_, &QTimer::timeout, this, [this] { game_.EffectsTick(); });
  connect(&debug_, &QTimer::timeout, this, [this] {
    last_yield_ = std::chrono::steady_clock::now();
    game_.DebugTick();
  });
  connect(&display_, &QTimer::timeout, this, [this] { game_.DisplayTick(); });
}

Ticks::~Ticks() {
  // Nothing may tick into a half-destroyed game.
  for (QTimer* timer : {&main_, &effects_, &debug_, &display_}) timer->stop();
}

void Ticks::Start() {
  main_.start();
  effects_.start();
  debug_.start();
}

QTimer& Ticks::TimerFor(Timer timer) {
  switch (timer) {
    case Timer::Display: return display_;
    case Timer::MainLoop: return main_;
    case Timer::Debug: return debug_;
    case Timer::Effects: break;
  }
  return effects_;
}

bool Ticks::Enabled(Timer timer) const { return TimerFor(timer).isActive(); }

void Ticks::SetEnabled(Timer timer, bool enabled) {
  QTimer& qtimer = TimerFor(timer);
  if (!enabled) {
    qtimer.stop();
  } else if (!qtimer.isActive()) {
    qtimer.start();
  }
}

void Ticks::LetEventsRun() {
  const auto now = std::chrono::steady_clock::now();
  if (now - last_yield_ < kYieldGap) return;
  last_yield_ = now;
  QCoreApplication::processEvents();
}

void Ticks::Hold(bool held) {
  if (!held) {
    for (QTimer* timer : held_) timer->start();
    held_.clear();
    return;
  }
  for (QTimer* timer : {&main_, &effects_, &debug_}) {
    if (!timer->isActive() || std::find(held_.begin(), held_.end(), timer) != held_.end()) continue;
    timer->stop();
    held_.push_back(timer);
  }
}

}  // namespace brindlet::ui
