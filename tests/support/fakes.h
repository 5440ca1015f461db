// Test doubles for the headless core: a scripted random source and a fake
// platform that records what the game asks of the window system and can run
// arbitrary work at any of the game's yield points.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "game/game.h"
#include "game/platform.h"
#include "game/random.h"
#include "render/fast_drawing.h"

namespace brindlet::testing {

// Hands out exactly the draws a test scripts; running dry is a test failure
// (thrown, so the test names the over-draw instead of reading garbage). An
// optional fallback value lets a test stop caring after its scripted draws.
class ScriptedRandom final : public RandomSource {
 public:
  ScriptedRandom() = default;
  ScriptedRandom(std::initializer_list<double> draws) : draws_(draws) {}

  void Push(double value) { draws_.push_back(value); }
  void Push(std::initializer_list<double> values) { draws_.insert(draws_.end(), values); }
  void PushRepeated(double value, int count) { draws_.insert(draws_.end(), count, value); }
  void SetFallback(double value) {
    fallback_ = value;
    has_fallback_ = true;
  }
  void ClearFallback() { has_fallback_ = false; }

  double Next() override {
    ++taken_;
    if (draws_.empty()) {
      if (has_fallback_) return fallback_;
      throw std::logic_error("ScriptedRandom: more draws taken than scripted (draw #" + std::to_string(taken_) + ")");
    }
    const double value = draws_.front();
    draws_.pop_front();
    return value;
  }

  std::size_t remaining() const { return draws_.size(); }
  long taken() const { return taken_; }

 private:
  std::deque<double> draws_;
  double fallback_ = 0;
  bool has_fallback_ = false;
  long taken_ = 0;
};

// Counts draws of another source, for tests that need the number of draws a
// procedure took without scripting each one.
class CountingRandom final : public RandomSource {
 public:
  explicit CountingRandom(RandomSource& inner) : inner_(&inner) {}
  double Next() override {
    ++count_;
    return inner_->Next();
  }
  long count() const { return count_; }
  void reset() { count_ = 0; }

 private:
  RandomSource* inner_;
  long count_ = 0;
};

class FakePlatform final : public Platform {
 public:
  static constexpr WindowHandle kPicOutputHandle = 4242;

  FakePlatform(std::int32_t width = kBackgroundWidth, std::int32_t height = kBackgroundHeight)
      : pic_bg(width, height), pic_output(width, height) {}

  // --- Yield hook -------------------------------------------------------
  // Called at every yield with the yield's running number (1-based). Work
  // run from here is the "pending event" handled in the middle of a procedure.
  std::function<void(long)> on_yield;
  long yields = 0;

  void LetEventsRun() override {
    ++yields;
    if (on_yield && !in_yield_) {
      in_yield_ = true;  // work run at a yield does not itself nest more work
      try {
        on_yield(yields);
      } catch (...) {
        in_yield_ = false;
        throw;
      }
      in_yield_ = false;
    }
  }

  // --- Cursor -------------------------------------------------------------
  // The screen position of the cursor, and the client origin of picOutput on
  // the screen (client = screen - origin).
  ScreenPoint cursor{0, 0};
  ScreenPoint output_origin{0, 0};
  // Place the cursor at client coordinates (x, y) of picOutput.
  void SetCursorClient(std::int32_t x, std::int32_t y) { cursor = {x + output_origin.x, y + output_origin.y}; }

  ScreenPoint CursorPos() override { return cursor; }
  ScreenPoint ScreenToClient(WindowHandle window, ScreenPoint point) override {
    if (window == kPicOutputHandle) return {point.x - output_origin.x, point.y - output_origin.y};
    return point;
  }
  WindowHandle PicOutputHandle() override { return kPicOutputHandle; }

  // --- Surfaces -----------------------------------------------------------
  MemorySurface pic_bg;
  MemorySurface pic_output;
  std::int32_t sized_width = -1;
  std::int32_t sized_height = -1;
  bool pic_bg_hidden = false;

  PictureSurface& PicBG() override { return pic_bg; }
  PictureSurface& PicOutput() override { return pic_output; }
  void SizePlayfield(std::int32_t w, std::int32_t h) override {
    sized_width = w;
    sized_height = h;
  }
  void HidePicBG() override { pic_bg_hidden = true; }

  // --- Windows, timers, end -------------------------------------------------
  std::map<Window, bool> visible;
  std::vector<std::string> calls;  // "show Debug", "close Main", "timer MainLoop off", "end", ...
  std::map<Timer, bool> timers{{Timer::Display, false}, {Timer::MainLoop, true}, {Timer::Debug, true},
                               {Timer::Effects, true}};
  bool ended = false;

  static const char* Name(Window w) {
    switch (w) {
      case Window::Main: return "Main";
      case Window::Debug: return "Debug";
      case Window::Controls: return "Controls";
    }
    return "?";
  }
  static const char* Name(Timer t) {
    switch (t) {
      case Timer::Display: return "Display";
      case Timer::MainLoop: return "MainLoop";
      case Timer::Debug: return "Debug";
      case Timer::Effects: return "Effects";
    }
    return "?";
  }

  bool IsWindowVisible(Window w) override { return visible[w]; }
  void ShowWindow(Window w) override {
    visible[w] = true;
    calls.push_back(std::string("show ") + Name(w));
  }
  void HideWindow(Window w) override {
    visible[w] = false;
    calls.push_back(std::string("hide ") + Name(w));
  }
  void CloseWindow(Window w) override {
    visible[w] = false;
    calls.push_back(std::string("close ") + Name(w));
  }
  void SetTimerEnabled(Timer t, bool enabled) override {
    timers[t] = enabled;
    calls.push_back(std::string("timer ") + Name(t) + (enabled ? " on" : " off"));
  }
  void EndProgram() override {
    ended = true;
    calls.push_back("end");
  }

  // --- Debug window ---------------------------------------------------------
  std::string state_caption = "gState";
  std::string peg_text = "Text1";
  int caption_sets = 0;
  int text_sets = 0;
  void SetDebugStateCaption(std::string_view caption) override {
    state_caption = std::string(caption);
    ++caption_sets;
  }
  void SetDebugPegText(std::string_view text) override {
    peg_text = std::string(text);
    ++text_sets;
  }

 private:
  bool in_yield_ = false;
};

// Forwards every draw to whichever source is current, so a test can start
// the game on one source and script its own draws on another.
class SwitchableRandom final : public RandomSource {
 public:
  explicit SwitchableRandom(RandomSource& initial) : current_(&initial) {}
  void Use(RandomSource& source) { current_ = &source; }
  double Next() override { return current_->Next(); }

 private:
  RandomSource* current_;
};

// A game on a fake platform, started up as the program starts (the attract
// display is seeded from the program's own generator, so it is the same in
// every run) and then switched to `random`, the test's scripted source.
struct GameFixture {
  FakePlatform platform;
  DefaultRandom program_random;
  ScriptedRandom random;
  SwitchableRandom source{program_random};
  Game game{platform, source};

  explicit GameFixture(bool startup = true) {
    if (startup) game.Startup();
    source.Use(random);
  }
};

}  // namespace brindlet::testing
