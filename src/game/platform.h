// What the window system does for the game, as seen from the game.
//
// The game and its renderer never talk to a toolkit directly. Everything they
// need from the desktop (letting pending events run, the cursor, the picture
// surfaces, windows, timers and ending the program) comes through these
// interfaces; the Qt front end implements them for the real program and the
// tests implement them with fakes.
#pragma once

#include <cstdint>
#include <string_view>

namespace brindlet {

class PictureSurface;

// "Let pending window events run": timer ticks, clicks and paints already
// queued are handled before the caller goes on. Every procedure that yields
// calls this first, so a test can run a click or a tick in the middle of one.
class EventPump {
 public:
  virtual ~EventPump() = default;
  virtual void LetEventsRun() = 0;
};

struct ScreenPoint {
  std::int32_t x = 0;
  std::int32_t y = 0;
};

// Window handles as the cursor helpers take them; 0 names no window.
using WindowHandle = std::int32_t;

enum class Window { Main, Debug, Controls };
enum class Timer { Display, MainLoop, Debug, Effects };

class Platform : public EventPump {
 public:
  // Cursor position in screen coordinates.
  virtual ScreenPoint CursorPos() = 0;
  // A screen point converted to the client coordinates of a window.
  virtual ScreenPoint ScreenToClient(WindowHandle window, ScreenPoint point) = 0;
  // Handle of the playfield surface, for the cursor helpers.
  virtual WindowHandle PicOutputHandle() = 0;

  // The hidden background surface and the playfield surface.
  virtual PictureSurface& PicBG() = 0;
  virtual PictureSurface& PicOutput() = 0;
  // Size the playfield to the image plus its one-pixel border on each side,
  // and the main window to fit it.
  virtual void SizePlayfield(std::int32_t imageWidth, std::int32_t imageHeight) = 0;
  virtual void HidePicBG() = 0;

  virtual bool IsWindowVisible(Window window) = 0;
  // Show modeless, without an owner window.
  virtual void ShowWindow(Window window) = 0;
  virtual void HideWindow(Window window) = 0;
  virtual void CloseWindow(Window window) = 0;

  virtual void SetTimerEnabled(Timer timer, bool enabled) = 0;
  virtual void EndProgram() = 0;

  // The debug window's state line and peg read-out.
  virtual void SetDebugStateCaption(std::string_view caption) = 0;
  virtual void SetDebugPegText(std::string_view text) = 0;
};

}  // namespace brindlet
