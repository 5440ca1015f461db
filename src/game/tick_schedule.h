// Periodic ticks kept on time by a clock of their own, for while the window
// system wakes the program only now and then: at each wake-up every tick
// that fell due since runs, earliest first, each timer's ticks one interval
// apart, just as the timers would have run them one by one.
#pragma once

#include <array>
#include <chrono>
#include <functional>

#include "game/platform.h"

namespace brindlet {

class TickSchedule {
 public:
  // A time on whatever steady clock the caller reads.
  using Time = std::chrono::nanoseconds;
  // A tick this far overdue is dropped, as a periodic timer that could not
  // run for so long drops the periods it missed, instead of a burst of
  // stale ticks holding the program up.
  static constexpr Time kMaxLag = std::chrono::seconds(1);

  explicit TickSchedule(std::function<void(Timer)> run) : run_(std::move(run)) {}

  // `timer` ticks every `interval`, the next one at `due`. Timers due at the
  // same time run in the order they were set up.
  void Set(Timer timer, Time interval, Time due, bool enabled);
  // Enabling a stopped timer starts it afresh: its first tick one interval
  // after `now`, as a timer started then would give it.
  void SetEnabled(Timer timer, bool enabled, Time now);
  bool Enabled(Timer timer) const { return At(timer).enabled; }
  Time Due(Timer timer) const { return At(timer).due; }

  // Runs every tick due at or before `now`, in the order they fell due.
  // Called again from inside a tick (the tick let events run, and a wake-up
  // was among them) it runs nothing itself and only moves the outer call's
  // horizon on to its `now`: no tick starts inside another, and none out of
  // its order. Returns the number of ticks run.
  int RunDue(Time now);
  bool Running() const { return running_; }

 private:
  struct Entry {
    Time interval{};
    Time due{};
    bool enabled = false;
    int order = 0;
  };
  Entry& At(Timer timer) { return entries_[static_cast<std::size_t>(timer)]; }
  const Entry& At(Timer timer) const { return entries_[static_cast<std::size_t>(timer)]; }

  std::function<void(Timer)> run_;
  std::array<Entry, 4> entries_{};
  int next_order_ = 0;
  bool running_ = false;
  Time horizon_{};
};

}  // namespace brindlet
