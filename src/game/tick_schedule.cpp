#include "game/tick_schedule.h"

namespace brindlet {

void TickSchedule::Set(Timer timer, Time interval, Time due, bool enabled) {
  Entry& entry = At(timer);
  entry.interval = interval;
  entry.due = due;
  entry.enabled = enabled;
  entry.order = ++next_order_;
}

void TickSchedule::SetEnabled(Timer timer, bool enabled, Time now) {
  Entry& entry = At(timer);
  if (enabled && !entry.enabled) entry.due = now + entry.interval;
  entry.enabled = enabled;
}

int TickSchedule::RunDue(Time now) {
  if (running_) {
    if (now > horizon_) horizon_ = now;
    return 0;
  }
  running_ = true;
  horizon_ = now;
  for (Entry& entry : entries_) {
    if (entry.enabled && entry.interval > Time::zero() && entry.due < now - kMaxLag) {
      entry.due += (now - kMaxLag - entry.due) / entry.interval * entry.interval + entry.interval;
    }
  }
  int ran = 0;
  for (;;) {
    // The earliest due tick; a tick may have stopped or started a timer.
    std::size_t next = entries_.size();
    for (std::size_t i = 0; i < entries_.size(); ++i) {
      const Entry& entry = entries_[i];
      if (!entry.enabled || entry.interval <= Time::zero() || entry.due > horizon_) continue;
      if (next == entries_.size() || entry.due < entries_[next].due ||
          (entry.due == entries_[next].due && entry.order < entries_[next].order)) {
        next = i;
      }
    }
    if (next == entries_.size()) break;
    entries_[next].due += entries_[next].interval;
    ++ran;
    run_(static_cast<Timer>(next));
  }
  running_ = false;
  return ran;
}

}  // namespace brindlet
