#include "game/game.h"

#include <cmath>

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
  CursorPoint cursor;
  if (click_at_) {
    cursor = *click_at_;
  } else if (key_cursor_.shown && board_.IsPeg(key_cursor_.peg)) {
    const Peg& peg = board_.Pegs[key_cursor_.peg];
    cursor = {static_cast<std::int32_t>(std::lround(peg.X)), static_cast<std::int32_t>(std::lround(peg.Y))};
  } else {
    cursor = platform_.input.PlayfieldCursor();
  }
  board_.MousePosX = Low16(cursor.x);
  board_.MousePosY = Low16(cursor.y);
}

void Game::ClickAt(CursorPoint at, bool doubleClick) {
  // Clicks nest (a click can run inside another's yields): the outer one's
  // place comes back after.
  const std::optional<CursorPoint> outer = click_at_;
  click_at_ = at;
  SampleCursor();
  doubleClick ? DoubleClick() : Click();
  click_at_ = outer;
}

void Game::Mouse(MouseAction action, bool leftButton, CursorPoint at) {
  if (action == MouseAction::Press) PointerMoved();
  if (!leftButton) return;
  switch (action) {
    case MouseAction::Press:
      pressed_ = true;
      after_double_click_ = false;
      return;
    case MouseAction::Release: {
      const bool click = pressed_ && !after_double_click_;
      pressed_ = false;
      after_double_click_ = false;
      if (click) ClickAt(at);
      return;
    }
    case MouseAction::DoubleClick:
      pressed_ = false;
      after_double_click_ = true;
      ClickAt(at, true);
      return;
  }
}

void Game::Key(KeyCommand command, bool repeated) {
  const int peg = key_cursor_.peg;
  const bool onPeg = board_.IsPeg(peg);
  const auto move = [&](KeyDirection direction) {
    // A hidden cursor (never shown, or the mouse took over) first shows on
    // the peg nearest the place last sampled.
    if (!key_cursor_.shown || !onPeg) {
      SetKeyCursor(PegNearestTo(board_, board_.MousePosX, board_.MousePosY));
    } else {
      SetKeyCursor(PegInDirection(board_, peg, direction));
    }
  };
  // The empty place is worked out from where the pegs are now: the grid
  // point farthest from every peg, outside the debug window's corner.
  const auto clickEmpty = [&] {
    if (const auto empty = EmptySpace(board_, field_)) ClickAt({empty->x, empty->y});
  };
  switch (command) {
    case KeyCommand::Left: return move(KeyDirection::Left);
    case KeyCommand::Right: return move(KeyDirection::Right);
    case KeyCommand::Up: return move(KeyDirection::Up);
    case KeyCommand::Down: return move(KeyDirection::Down);
    case KeyCommand::Next:
    case KeyCommand::Previous: return SetKeyCursor(StepPeg(board_, peg, command == KeyCommand::Previous));
    case KeyCommand::Press:
      if (repeated) return;
      if (!onPeg) return clickEmpty();  // on no peg the cursor clicks empty space, as Escape does
      SetKeyCursor(peg);
      ClickAt({static_cast<std::int32_t>(std::lround(board_.Pegs[peg].X)),
               static_cast<std::int32_t>(std::lround(board_.Pegs[peg].Y))});
      return;
    case KeyCommand::Empty:
      if (!repeated) clickEmpty();
      return;
  }
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

void Game::InitGame() {
  brindlet::InitGame(board_);
  happenings_.Add({Happening::GameStarted});
}

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
