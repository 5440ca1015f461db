// The headless platform: every role the game asks of the window system,
// kept in memory. Tests, benchmarks, the soak and the fuzz driver run the
// whole game on it without a display.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "game/platform.h"

namespace brindlet {

class HeadlessPlatform : public Input, public Video, public Windows, public Timers, public DebugView {
 public:
  explicit HeadlessPlatform(std::int32_t width = kBackgroundWidth, std::int32_t height = kBackgroundHeight);

  Platform Roles() { return {*this, *this, *this, *this, *this}; }

  // --- Events and cursor ---
  // Counts the yield, then runs `at_yield` (the pending events) unless
  // `max_depth` yields are already running it: 1 lets events run inside a
  // procedure but not inside those events; more lets them nest, as the real
  // toolkit does.
  void LetEventsRun() override;
  CursorPoint PlayfieldCursor() override { return cursor; }

  // --- Video ---
  PictureSurface& Background() override { return background; }
  PictureSurface& Playfield() override { return playfield; }
  void SizePlayfield(std::int32_t imageWidth, std::int32_t imageHeight) override;
  void HideBackground() override { background_hidden = true; }

  // --- Windows ---
  bool IsVisible(Window window) override { return visible[Index(window)]; }
  void Show(Window window) override { visible[Index(window)] = true; }
  void Hide(Window window) override { visible[Index(window)] = false; }
  void Close(Window window) override;
  void EndProgram() override { ++end_requests; }

  // --- Timers ---
  void SetEnabled(Timer timer, bool enabled) override { timers[Index(timer)] = enabled; }
  bool TimerEnabled(Timer timer) const { return timers[Index(timer)]; }

  // --- Debug read-out ---
  void ShowState(std::string_view caption) override { state_caption = caption; }
  void ShowPegDetails(std::string_view text) override { peg_details = text; }

  static constexpr std::size_t Index(Window window) { return static_cast<std::size_t>(window); }
  static constexpr std::size_t Index(Timer timer) { return static_cast<std::size_t>(timer); }

  long yields() const { return yields_; }
  int depth() const { return depth_; }

  std::function<void()> at_yield;
  int max_depth = 1;
  CursorPoint cursor;
  MemorySurface background;
  MemorySurface playfield;
  bool background_hidden = false;
  std::array<bool, 3> visible{};
  std::array<bool, 3> closed{};
  std::array<bool, 4> timers{};
  std::string state_caption;
  std::string peg_details;
  int end_requests = 0;

 private:
  long yields_ = 0;
  int depth_ = 0;
};

}  // namespace brindlet
