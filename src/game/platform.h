// What the game asks of the window system, split by role. The Qt front end
// (ui/) implements these for the real program; the headless platform
// (headless/) implements them in memory for tests, benchmarks and fuzzing.
#pragma once

#include <cstdint>
#include <string_view>

#include "render/events.h"
#include "render/surface.h"

namespace brindlet {

// The size of the hidden background surface the window is designed with:
// 15390 x 11550 twips at 15 twips per pixel.
inline constexpr std::int32_t kBackgroundWidth = 15390 / 15;
inline constexpr std::int32_t kBackgroundHeight = 11550 / 15;

struct CursorPoint {
  std::int32_t x = 0;
  std::int32_t y = 0;
};

// Events and the cursor.
class Input : public EventPump {
 public:
  // The cursor in playfield coordinates: (0, 0) is the top-left image pixel.
  virtual CursorPoint PlayfieldCursor() = 0;
};

// The two picture surfaces: the hidden one the background is read from, and
// the playfield every frame is presented on.
class Video {
 public:
  virtual ~Video() = default;
  virtual PictureSurface& Background() = 0;
  virtual PictureSurface& Playfield() = 0;
  // Size the playfield to the image (its border added around it) and the
  // main window to fit; hide the background surface for good.
  virtual void SizePlayfield(std::int32_t imageWidth, std::int32_t imageHeight) = 0;
  virtual void HideBackground() = 0;
};

enum class Window { Main, Debug, Controls };

class Windows {
 public:
  virtual ~Windows() = default;
  virtual bool IsVisible(Window window) = 0;
  // Show modeless, without an owner window.
  virtual void Show(Window window) = 0;
  virtual void Hide(Window window) = 0;
  virtual void Close(Window window) = 0;
  virtual void EndProgram() = 0;
};

enum class Timer { Display, MainLoop, Debug, Effects };

class Timers {
 public:
  virtual ~Timers() = default;
  virtual void SetEnabled(Timer timer, bool enabled) = 0;
};

// The debug window's read-out.
class DebugView {
 public:
  virtual ~DebugView() = default;
  virtual void ShowState(std::string_view caption) = 0;
  virtual void ShowPegDetails(std::string_view text) = 0;
};

// The roles a game is started with.
struct Platform {
  Input& input;
  Video& video;
  Windows& windows;
  Timers& timers;
  DebugView& debug;
};

}  // namespace brindlet
