// The window system as the game sees it, implemented with Qt.
#pragma once

#include "game/platform.h"

namespace brindlet::ui {

class MainWindow;

class QtPlatform final : public Platform {
 public:
  // The handle that names picOutput for the cursor helpers.
  static constexpr WindowHandle kPicOutputHandle = 1;

  explicit QtPlatform(MainWindow& main) : main_(&main) {}

  void LetEventsRun() override;

  ScreenPoint CursorPos() override;
  // For picOutput: the point in its client area, inside the border, so that
  // client (0, 0) is image pixel (0, 0). Other handles leave the point as it is.
  ScreenPoint ScreenToClient(WindowHandle window, ScreenPoint point) override;
  WindowHandle PicOutputHandle() override { return kPicOutputHandle; }

  PictureSurface& PicBG() override;
  PictureSurface& PicOutput() override;
  void SizePlayfield(std::int32_t imageWidth, std::int32_t imageHeight) override;
  void HidePicBG() override;

  bool IsWindowVisible(Window window) override;
  void ShowWindow(Window window) override;
  void HideWindow(Window window) override;
  void CloseWindow(Window window) override;

  void SetTimerEnabled(Timer timer, bool enabled) override;
  void EndProgram() override;

  void SetDebugStateCaption(std::string_view caption) override;
  void SetDebugPegText(std::string_view text) override;

 private:
  MainWindow* main_;
};

}  // namespace brindlet::ui
