// Selection and linking: the click handler and the nearest-peg search.
#include <cmath>

#include "game/game.h"

namespace brindlet {

Nearest NearestPeg(const Board& board, EventPump& events, double x, double y) {
  events.LetEventsRun();
  Nearest nearest;
  const int total = board.Total();
  for (int i = 1; i <= total; ++i) {
    const double dx = board.Pegs[i].X - x;
    const double dy = board.Pegs[i].Y - y;
    const double d = std::sqrt(dx * dx + dy * dy);
    if (d < nearest.distance) nearest = {i, d};
  }
  return nearest;
}

void Game::Click() {
  platform_.input.LetEventsRun();
  if (board_.gState == GameState::Startup) {
    // The first click only starts the game.
    board_.gState = GameState::Init;
    happenings_.Add({Happening::GameStarted});
    return;
  }
  if (board_.MousePosX < kCornerSize && board_.MousePosY < kCornerSize) ToggleDebugWindow();

  const Nearest nearest =
      NearestPeg(board_, platform_.input, board_.MousePosX + kCursorOffset, board_.MousePosY + kCursorOffset);
  const int k = nearest.index;
  PegTable& pegs = board_.Pegs;
  const bool hit = nearest.distance < kPickRadius && PegTable::InTable(k);
  const bool unlinked = hit && !pegs[k].Linked;
  const bool sameKind = hit && PegTable::InTable(board_.FirstPeg) && pegs[k].Kind == pegs[board_.FirstPeg].Kind;
  const auto other = [&] { return unlinked && sameKind && k != board_.FirstPeg; };

  // The state is read afresh: events may have run during the search.
  switch (board_.gState) {
    case GameState::Init:
      if (!hit) ClearSelection();
      break;
    case GameState::Idle:
      if (!hit) {
        ClearSelection();
      } else if (unlinked) {
        board_.FirstPeg = static_cast<std::int16_t>(k);
        pegs[k].Selected = true;
        board_.gState = GameState::FirstSelected;
      }
      break;
    case GameState::FirstSelected:
      if (!hit) {
        ClearSelection();
      } else if (other()) {
        board_.SecondPeg = static_cast<std::int16_t>(k);
        pegs[k].Selected = true;
        board_.gState = GameState::SecondSelected;
      }
      break;
    case GameState::SecondSelected:
      if (!hit || k == board_.SecondPeg) {
        Confirm();
      } else if (other()) {
        if (PegTable::InTable(board_.SecondPeg)) pegs[board_.SecondPeg].Selected = false;
        board_.SecondPeg = static_cast<std::int16_t>(k);
        pegs[k].Selected = true;
      }
      break;
    case GameState::Startup:
    case GameState::CheckingLink:
      break;
  }

  if (board_.gState == GameState::CheckingLink) CommitAndCheckLink();
}

void Game::DoubleClick() { Click(); }

// The confirmed pair becomes a link, which is then checked.
void Game::CommitAndCheckLink() {
  const std::int16_t a = board_.FirstPeg;
  const std::int16_t b = board_.SecondPeg;
  if (!PegTable::InTable(a) || !PegTable::InTable(b)) {
    board_.gState = GameState::Idle;
    return;
  }
  PegTable& pegs = board_.Pegs;
  pegs[a].Master = true;
  pegs[b].Master = false;
  pegs[a].LinkTarget = b;
  pegs[a].Selected = false;
  pegs[b].Selected = false;
  pegs[a].Linked = true;
  pegs[b].Linked = true;
  board_.gState = GameState::Idle;  // the link is complete and the game Idle while it is checked

  const bool accepted = CheckLinkPath(board_, platform_.input, a);
  // The pair is still the one committed here unless a click during the check
  // withdrew or replaced it.
  const bool stands = pegs[a].Linked && pegs[a].Master && pegs[a].LinkTarget == b;
  if (accepted) {
    if (stands) happenings_.Add({Happening::LinkMade, a, b});
    return;
  }
  happenings_.Add({Happening::LinkRefused, a, b});

  // Refused: withdraw the pair. The check lets events run, so a click during
  // it may already have moved the selection on; the pair undone is the one
  // committed here, and only while it still stands as committed. The state
  // is Idle since the commit unless such a click changed it, and is left so.
  if (stands) {
    pegs[a].Selected = false;
    pegs[b].Selected = false;
    pegs[a].Linked = false;
    pegs[b].Linked = false;
  }
}

void Game::ClearSelection() {
  board_.gState = GameState::Idle;
  // Told only when a peg was selected: first the first, then the second.
  std::int16_t cleared[2] = {0, 0};
  int count = 0;
  for (const std::int16_t peg : {board_.FirstPeg, board_.SecondPeg}) {
    if (!PegTable::InTable(peg) || !board_.Pegs[peg].Selected) continue;
    board_.Pegs[peg].Selected = false;
    cleared[count++] = peg;
  }
  if (count > 0) happenings_.Add({Happening::SelectionCancelled, cleared[0], cleared[1]});
}

void Game::Confirm() {
  PegTable& pegs = board_.Pegs;
  const int first = board_.FirstPeg;
  const int second = board_.SecondPeg;
  if (PegTable::InTable(second)) pegs[second].Selected = false;
  if (PegTable::InTable(first)) pegs[first].Selected = false;
  if (PegTable::InTable(first)) pegs[first].Linked = true;
  if (PegTable::InTable(second)) pegs[second].Linked = true;
  board_.gState = GameState::CheckingLink;
}

}  // namespace brindlet
