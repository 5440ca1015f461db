#include "ui/ticks.h"

#include <QCoreApplication>
#include <algorithm>

#include "startup/environment.h"

namespace brindlet::ui {
namespace {

// The timers that sleep while nobody can see the playfield. The display
// timer is never enabled.
constexpr Timer kDriven[] = {Timer::MainLoop, Timer::Effects, Timer::Debug};

bool Driven(Timer timer) { return timer != Timer::Display; }

}  // namespace

Ticks::Ticks(Game& game, std::function<void()> afterMainTick)
    : game_(game), after_main_tick_(std::move(afterMainTick)), schedule_([this](Timer timer) { Run(timer); }) {
  for (const auto& [timer, interval] : {std::pair{&main_, kMainLoopInterval}, std::pair{&effects_, kEffectsInterval},
                                        std::pair{&debug_, kDebugInterval}, std::pair{&display_, kDisplayInterval}}) {
    timer->setInterval(interval);
    timer->setTimerType(Qt::PreciseTimer);
  }
  tick_log_ = TickLog::FromEnvironment(startup::ProcessEnvironment());
  for (const Timer timer : kDriven) {
    connect(&TimerFor(timer), &QTimer::timeout, this, [this, timer] { Fire(timer); });
  }
  connect(&display_, &QTimer::timeout, this, [this] { game_.DisplayTick(); });
  wake_.setInterval(kWakeInterval);
  wake_.setTimerType(Qt::PreciseTimer);
  connect(&wake_, &QTimer::timeout, this, &Ticks::WakeUp);
}

Ticks::~Ticks() {
  // Nothing may tick into a half-destroyed game.
  for (QTimer* timer : {&main_, &effects_, &debug_, &display_, &wake_}) timer->stop();
  if (window_) window_->removeEventFilter(this);
  if (handle_) handle_->removeEventFilter(this);
}

void Ticks::Watch(QWidget& window, std::function<bool()> seen) {
  window_ = &window;
  seen_ = std::move(seen);
  window.installEventFilter(this);
  WatchHandle();
}

void Ticks::WatchHandle() {
  if (handle_ || !window_ || window_->windowHandle() == nullptr) return;
  handle_ = window_->windowHandle();
  handle_->installEventFilter(this);
}

TickSchedule::Time Ticks::Now() { return std::chrono::steady_clock::now().time_since_epoch(); }

void Ticks::Run(Timer timer) {
  switch (timer) {
    case Timer::MainLoop:
      if (tick_log_) tick_log_->Mark();
      // A tick starts from the event loop, which has just run what was
      // pending: the tick's first yields need not run it again.
      last_yield_ = std::chrono::steady_clock::now();
      game_.MainTick();
      after_main_tick_();
      return;
    case Timer::Effects: return game_.EffectsTick();
    case Timer::Debug:
      last_yield_ = std::chrono::steady_clock::now();
      return game_.DebugTick();
    case Timer::Display: return game_.DisplayTick();
  }
}

void Ticks::Fire(Timer timer) {
  ++firing_;
  Run(timer);
  --firing_;
  Check();
}

void Ticks::Check() {
  WatchHandle();
  // Held, nothing starts again until it is let go.
  if (holding_) return;
  const bool seen = !seen_ || seen_();
  if (!asleep_ && !seen) {
    Sleep();
  } else if (asleep_ && seen && firing_ == 0 && !schedule_.Running()) {
    // Inside a tick it waits for the tick to end: no tick starts inside
    // another of its timer, and none out of its order.
    Wake();
  }
}

bool Ticks::eventFilter(QObject* /*watched*/, QEvent* event) {
  WatchHandle();
  // The window is already what the event says. Anything else a tick notices.
  if (event->type() == QEvent::Expose || event->type() == QEvent::WindowStateChange ||
      event->type() == QEvent::Hide || event->type() == QEvent::Show) {
    Check();
  }
  return false;
}

void Ticks::Sleep() {
  const TickSchedule::Time now = Now();
  for (const Timer timer : kDriven) {
    QTimer& qtimer = TimerFor(timer);
    const bool on = qtimer.isActive();
    const int left = on ? std::max(0, qtimer.remainingTime()) : 0;
    schedule_.Set(timer, std::chrono::milliseconds(qtimer.interval()), now + std::chrono::milliseconds(left), on);
    qtimer.stop();
  }
  asleep_ = true;
  game_.SetSeen(false);
  wake_.start();
}

void Ticks::Wake() {
  schedule_.RunDue(Now());
  asleep_ = false;
  wake_.stop();
  game_.SetSeen(true);
  for (const Timer timer : kDriven) {
    if (schedule_.Enabled(timer)) TimerFor(timer).start();
  }
}

void Ticks::WakeUp() {
  // A tick that let events run goes on first; the next wake-up catches up.
  if (firing_ > 0) return;
  schedule_.RunDue(Now());
  Check();
}

void Ticks::Start() {
  for (const Timer timer : kDriven) SetEnabled(timer, true);
  Check();
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

bool Ticks::Enabled(Timer timer) const {
  if (asleep_ && Driven(timer)) return schedule_.Enabled(timer);
  return TimerFor(timer).isActive();
}

void Ticks::SetEnabled(Timer timer, bool enabled) {
  if (asleep_ && Driven(timer)) return schedule_.SetEnabled(timer, enabled, Now());
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
  holding_ = held;
  if (!held) {
    for (QTimer* timer : held_) timer->start();
    held_.clear();
    // Seen or not, as the window is now.
    Check();
    return;
  }
  for (QTimer* timer : {&main_, &effects_, &debug_, &wake_}) {
    if (!timer->isActive() || std::find(held_.begin(), held_.end(), timer) != held_.end()) continue;
    timer->stop();
    held_.push_back(timer);
  }
}

}  // namespace brindlet::ui
