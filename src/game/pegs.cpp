#include <algorithm>

#include "game/game.h"

namespace brindlet {

void Game::SeedGame() {
  const int total = std::clamp<int>(PegTotal, 0, PegTable::kCapacity);
  for (int i = 1; i <= total; ++i) {
    Peg& peg = Pegs[i];
    peg.X = Rnd() * (ImageWidth - 100) + 50;
    peg.Y = Rnd() * (ImageHeight - 100) + 50;
    peg.TargetX = peg.X;
    peg.TargetY = peg.Y;
    peg.Kind = ToInt16(Rnd());
    peg.Colour = DrawColour{50, 50, 50, 250};
    if (Rnd() > 0.8) peg.Linked = kTrue;
    peg.LinkTarget = ToInt16(Rnd() * total);
    if (peg.LinkTarget == 0) peg.LinkTarget = 1;
    if (Rnd() != 0) {
      peg.Master = kTrue;
      Pegs[peg.LinkTarget].Master = kFalse;
    }
    peg.Selected = kFalse;
  }
}

void Game::InitGame() {
  gState = GameState::Init;
  PegCount = 0;
}

void Game::InitPeg(std::int16_t& index) {
  if (!PegTable::InTable(index)) return;
  Peg& peg = Pegs[index];
  peg.TargetX = Rnd() * (ImageWidth - 100) + 50;
  peg.TargetY = Rnd() * (ImageHeight - 100) + 50;
  peg.Kind = ToInt16(Rnd());
  peg.Colour.Red = ToInt16(Rnd() * 55);
  peg.Colour.Green = ToInt16(Rnd() * 55);
  peg.Colour.Blue = ToInt16(Rnd() * 55);
  peg.Colour.Alpha = ToInt16(Rnd() * 25 + 230);
  if (peg.Kind == 0) {
    peg.Colour.Red = ToInt16(Rnd() * 55 + 200);
  } else if (peg.Kind == 1) {
    peg.Colour.Blue = ToInt16(Rnd() * 55 + 200);
  }
  peg.Linked = kFalse;
  peg.LinkTarget = 0;
  peg.Master = kFalse;
  peg.Selected = kFalse;
}

}  // namespace brindlet
