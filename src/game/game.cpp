#include "game/game.h"

namespace brindlet {

Game::Game(Platform& platform, RandomSource& random) : platform_(&platform), random_(&random) {}

void Game::Startup() {
  // A drawing object just for start-up; ReDraw keeps its own.
  const FastDrawing loader(*platform_);
  PictureSurface& background = platform_->PicBG();
  ImageHeight = loader.GetImageHeight(background);
  ImageWidth = loader.GetImageWidth(background);
  platform_->SizePlayfield(ImageWidth, ImageHeight);
  loader.GetImageData2D(background, BackgroundImage, false);
  loader.GetImageData2D(background, FrameImage, false);
  platform_->HidePicBG();
  PegTotal = kDefaultPegTotal;
  SeedGame();
  gState = GameState::Startup;
  PegCount = 0;
  platform_->ShowWindow(Window::Debug);
}

void Game::MainTick() {
  platform_->LetEventsRun();
  const WindowHandle output = platform_->PicOutputHandle();
  MousePosX = Low16(MouseX(output));
  MousePosY = Low16(MouseY(output));
  FrameImage.CopyFrom(BackgroundImage);
  // Links are drawn from the positions before this tick's motion step, pegs
  // from the positions after it.
  DrawLinks();
  UpdateHoverGlow();
  MovePegs();
  DrawPegs();
  if (gState == GameState::Startup) {
    DrawGlowRing(ImageWidth / 2.0, ImageHeight / 2.0, kGlowRingRadius, kGlowRingColour);
    if (Rnd() * 100 > 99) RandomizePegs();
  }
  ReDraw();
}

void Game::EffectsTick() {
  if (ShakeAmplitude > 1) ShakePegs();
  EffectsCounter = EffectsCounter + 1;
  if (EffectsCounter > 100) EffectsCounter = 0;
  const GameState state = gState;
  if (state != GameState::Startup) {
    if (PegCount < PegTotal) {
      ++PegCount;
      InitPeg(PegCount);
    } else if (state == GameState::Init) {
      gState = GameState::Idle;
    }
  }
}

void Game::DisplayTick() { ReDraw(); }

void Game::ReDraw() {
  if (!Drawer) Drawer.emplace(*platform_);
  Drawer->SetImageData2D(platform_->PicOutput(), ImageWidth, ImageHeight, FrameImage, false);
}

void Game::Die() {
  platform_->SetTimerEnabled(Timer::Display, false);
  platform_->SetTimerEnabled(Timer::MainLoop, false);
  platform_->SetTimerEnabled(Timer::Debug, false);
  platform_->SetTimerEnabled(Timer::Effects, false);
  platform_->CloseWindow(Window::Controls);
  platform_->CloseWindow(Window::Debug);
  platform_->CloseWindow(Window::Main);
  platform_->EndProgram();
}

std::int32_t Game::MouseX(WindowHandle hWnd) {
  ScreenPoint point = platform_->CursorPos();
  if (hWnd != 0) point = platform_->ScreenToClient(hWnd, point);
  return point.x;
}

std::int32_t Game::MouseY(WindowHandle hWnd) {
  ScreenPoint point = platform_->CursorPos();
  if (hWnd != 0) point = platform_->ScreenToClient(hWnd, point);
  return point.y;
}

}  // namespace brindlet
