// A hook for tests that compare the screen with what the game drew. It is off
// unless the environment variable BRINDLET_FRAME_DUMP names a file; then
// SIGUSR1 freezes the game (its window's timers stop, so nothing is drawn
// or presented any more) and, a moment later, the playfield's last frame is
// written to that file as a binary PPM (written beside it and renamed, so
// the file is whole once it is there). The next SIGUSR1 lets the game run
// on.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <memory>
#include <string>

#include "startup/environment.h"
#include "ui/playfield.h"
#include "ui/ticks.h"

namespace brindlet::ui {

class FrameDump final : public QObject {
  Q_OBJECT

 public:
  static constexpr const char* kVariable = "BRINDLET_FRAME_DUMP";
  // Waits for the tick under way, if any, to finish before the frame is
  // written.
  static constexpr int kWriteDelayMs = 100;

  // nullptr when the variable is unset or empty, or SIGUSR1 can't be caught.
  // `ticks` drive the game; `playfield` shows its frames.
  static std::unique_ptr<FrameDump> FromEnvironment(const startup::EnvLookup& env, Ticks& ticks,
                                                    const Playfield& playfield);
  ~FrameDump() override;

 private:
  FrameDump(std::string path, Ticks& ticks, const Playfield& playfield);
  void Toggle();
  void Write();

  std::string path_;
  Ticks* ticks_;
  const Playfield* playfield_;
  QSocketNotifier* notifier_ = nullptr;
  bool frozen_ = false;
};

}  // namespace brindlet::ui
