#include "game/game.h"

#include "render/numeric.h"
#include "render/surface.h"

namespace brindlet {

Game::Game(Platform platform, RandomSource& random) : platform_(platform), random_(&random) {}

void Game::Startup() {
  PictureSurface& background = platform_.video.Background();
  field_.height = GetImageHeight(background);
  field_.width = GetImageWidth(background);
  platform_.video.SizePlayfield(field_.width, field_.height);
  GetImageData2D(background, background_, false);
  GetImageData2D(background, frame_, false);
  platform_.video.HideBackground();
  board_.PegTotal = kDefaultPegTotal;
  SeedGame(board_, context());
  board_.gState = GameState::Startup;
  board_.PegCount = 0;
  platform_.windows.Show(Window::Debug);
}

void Game::MainTick() {
  platform_.input.LetEventsRun();
  SampleCursor();
  frame_.RestoreFrom(background_);
  // Links are drawn from the positions before this tick's motion step, pegs
  // from the positions after it.
  DrawLinks(board_, context(), frame_);
  UpdateHoverGlow(board_, platform_.input);
  MovePegs(board_, context());
  DrawPegs(board_, context(), frame_);
  if (board_.gState == GameState::Startup) {
    DrawGlowRing(context(), frame_, field_.width / 2.0, field_.height / 2.0, kGlowRingRadius, kGlowRingColour);
    if (random_->Next() * 100 > 99) brindlet::RandomizePegs(board_, context());
  }
  ReDraw();
}

void Game::SampleCursor() {
  const CursorPoint cursor = platform_.input.PlayfieldCursor();
  board_.MousePosX = Low16(cursor.x);
  board_.MousePosY = Low16(cursor.y);
}

void Game::EffectsTick() {
  if (board_.ShakeAmplitude > 1) ShakePegs(board_, context());
  board_.EffectsCounter = board_.EffectsCounter + 1;
  if (board_.EffectsCounter > 100) board_.EffectsCounter = 0;
  const GameState state = board_.gState;
  if (state != GameState::Startup) {
    if (board_.PegCount < board_.PegTotal) {
      ++board_.PegCount;
      InitPeg(board_, context(), board_.PegCount);
    } else if (state == GameState::Init) {
      board_.gState = GameState::Idle;
    }
  }
}

void Game::DisplayTick() { ReDraw(); }

void Game::ReDraw() {
  // SetImageData2D(picOutput, ImageWidth, ImageHeight, FrameImage, false),
  // by the tiles that changed since the last frame shown.
  PresentChanges(platform_.video.Playfield(), platform_.input, field_.width, field_.height, frame_);
}

void Game::DebugTick() {
  platform_.input.LetEventsRun();
  if (!platform_.windows.IsVisible(Window::Debug)) return;
  if (auto caption = StateCaption(board_.gState)) platform_.debug.ShowState(*caption);
  const Nearest nearest =
      NearestPeg(board_, platform_.input, board_.MousePosX + kCursorOffset, board_.MousePosY + kCursorOffset);
  std::string text;
  if (nearest.distance < 30.0 && PegTable::InTable(nearest.index)) {
    text = PegDetails(nearest.distance, nearest.index, board_.Pegs[nearest.index]);
  }
  platform_.debug.ShowPegDetails(text);
}

void Game::InitGame() { brindlet::InitGame(board_); }

void Game::RandomizePegs() { brindlet::RandomizePegs(board_, context()); }

void Game::ShakePegsInit() { brindlet::ShakePegsInit(board_); }

void Game::Die() {
  for (Timer timer : {Timer::Display, Timer::MainLoop, Timer::Debug, Timer::Effects}) {
    platform_.timers.SetEnabled(timer, false);
  }
  platform_.windows.Close(Window::Controls);
  platform_.windows.Close(Window::Debug);
  platform_.windows.Close(Window::Main);
  platform_.windows.EndProgram();
}

void Game::ToggleDebugWindow() {
  if (platform_.windows.IsVisible(Window::Debug)) {
    platform_.windows.Hide(Window::Debug);
  } else {
    platform_.windows.Show(Window::Debug);
  }
}

}  // namespace brindlet
