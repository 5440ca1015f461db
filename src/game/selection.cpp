#include <algorithm>
#include <cmath>

#include "game/game.h"

namespace brindlet {

void Game::Click() {
  platform_->LetEventsRun();
  if (gState == GameState::Startup) {
    // The first click only starts the game.
    gState = GameState::Init;
    return;
  }
  if (MousePosX < kCornerSize && MousePosY < kCornerSize) ToggleDebugWindow();

  double distance = 0;
  const int k = NearestPeg(MousePosX + kCursorOffset, MousePosY + kCursorOffset, distance);
  const bool hit = distance < kPickRadius && k >= 1 && PegTable::InTable(k);
  const bool unlinked = hit && Pegs[k].Linked == kFalse;
  const bool sameKind = hit && PegTable::InTable(FirstPeg) && Pegs[k].Kind == Pegs[FirstPeg].Kind;

  // The state is read afresh: events may have run during the search.
  switch (gState) {
    case GameState::Init:
      if (!hit) ClearSelection();
      break;
    case GameState::Idle:
      if (!hit) {
        ClearSelection();
      } else if (unlinked) {
        FirstPeg = static_cast<std::int16_t>(k);
        Pegs[k].Selected = kTrue;
        gState = GameState::FirstSelected;
      }
      break;
    case GameState::FirstSelected:
      if (!hit) {
        ClearSelection();
      } else if (unlinked && sameKind && k != FirstPeg) {
        SecondPeg = static_cast<std::int16_t>(k);
        Pegs[k].Selected = kTrue;
        gState = GameState::SecondSelected;
      }
      break;
    case GameState::SecondSelected:
      if (!hit || k == SecondPeg) {
        Confirm();
      } else if (unlinked && sameKind && k != FirstPeg) {
        if (PegTable::InTable(SecondPeg)) Pegs[SecondPeg].Selected = kFalse;
        SecondPeg = static_cast<std::int16_t>(k);
        Pegs[k].Selected = kTrue;
      }
      break;
    case GameState::Startup:
    case GameState::CheckingLink:
      break;
  }

  if (gState != GameState::CheckingLink) return;

  // Commit the confirmed pair as a link, then test it.
  const std::int16_t a = FirstPeg;
  const std::int16_t b = SecondPeg;
  if (!PegTable::InTable(a) || !PegTable::InTable(b)) {
    gState = GameState::Idle;
    return;
  }
  Pegs[a].Master = kTrue;
  Pegs[b].Master = kFalse;
  Pegs[a].LinkTarget = b;
  Pegs[a].Selected = kFalse;
  Pegs[b].Selected = kFalse;
  Pegs[a].Linked = kTrue;
  Pegs[b].Linked = kTrue;
  gState = GameState::Idle;  // the link is complete and the game Idle while it is checked

  if (CheckLinkPath(a) != 0) return;

  // Refused: withdraw the pair. The check lets events run, so a click during
  // it may already have moved the selection on; the pair undone is the one
  // committed here, and only while it still stands as committed. The state
  // is Idle since the commit unless such a click changed it, and is left so.
  if (Pegs[a].Linked == kTrue && Pegs[a].Master == kTrue && Pegs[a].LinkTarget == b) {
    Pegs[a].Selected = kFalse;
    Pegs[b].Selected = kFalse;
    Pegs[a].Linked = kFalse;
    Pegs[b].Linked = kFalse;
  }
}

void Game::DoubleClick() { Click(); }

void Game::ClearSelection() {
  gState = GameState::Idle;
  if (PegTable::InTable(FirstPeg)) Pegs[FirstPeg].Selected = kFalse;
  if (PegTable::InTable(SecondPeg)) Pegs[SecondPeg].Selected = kFalse;
}

void Game::Confirm() {
  if (PegTable::InTable(SecondPeg)) Pegs[SecondPeg].Selected = kFalse;
  if (PegTable::InTable(FirstPeg)) Pegs[FirstPeg].Selected = kFalse;
  if (PegTable::InTable(FirstPeg)) Pegs[FirstPeg].Linked = kTrue;
  if (PegTable::InTable(SecondPeg)) Pegs[SecondPeg].Linked = kTrue;
  gState = GameState::CheckingLink;
}

int Game::NearestPeg(double x, double y, double& distance) {
  platform_->LetEventsRun();
  double best = kNoPegDistance;
  int index = kNoPeg;
  const int total = std::clamp<int>(PegTotal, 0, PegTable::kCapacity);
  for (int i = 1; i <= total; ++i) {
    const double dx = Pegs[i].X - x;
    const double dy = Pegs[i].Y - y;
    const double d = std::sqrt(dx * dx + dy * dy);
    if (d < best) {
      best = d;
      index = i;
    }
  }
  distance = best;
  return index;
}

void Game::ToggleDebugWindow() {
  if (platform_->IsWindowVisible(Window::Debug)) {
    platform_->HideWindow(Window::Debug);
  } else {
    platform_->ShowWindow(Window::Debug);
  }
}

}  // namespace brindlet
