// "Let pending window events run": the one thing drawing asks of the window
// system. Timer ticks, clicks and paints already queued are handled before
// the caller goes on, so whatever the caller reads afterwards it reads afresh.
#pragma once

namespace brindlet {

class EventPump {
 public:
  virtual ~EventPump() = default;
  virtual void LetEventsRun() = 0;
};

}  // namespace brindlet
