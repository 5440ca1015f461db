#include "game/procedures.h"
#include "render/numeric.h"

namespace brindlet {

void SeedGame(Board& board, const Context& context) {
  const Field field = context.field;
  RandomSource& random = context.random;
  const int total = board.Total();
  for (int i = 1; i <= total; ++i) {
    Peg& peg = board.Pegs[i];
    peg.X = random.Next() * (field.width - 100) + 50;
    peg.Y = random.Next() * (field.height - 100) + 50;
    peg.TargetX = peg.X;
    peg.TargetY = peg.Y;
    peg.Kind = ToInt16(random.Next());
    peg.Colour = kSeedColour;
    if (random.Next() > 0.8) peg.Linked = true;
    peg.LinkTarget = ToInt16(random.Next() * total);
    if (peg.LinkTarget == 0) peg.LinkTarget = 1;
    if (random.Next() != 0) {
      peg.Master = true;
      board.Pegs[peg.LinkTarget].Master = false;
    }
    peg.Selected = false;
  }
}

void InitGame(Board& board) {
  board.gState = GameState::Init;
  board.PegCount = 0;
}

void InitPeg(Board& board, const Context& context, int index) {
  if (!PegTable::InTable(index)) return;
  const Field field = context.field;
  RandomSource& random = context.random;
  Peg& peg = board.Pegs[index];
  peg.TargetX = random.Next() * (field.width - 100) + 50;
  peg.TargetY = random.Next() * (field.height - 100) + 50;
  peg.Kind = ToInt16(random.Next());
  peg.Colour.Red = ToInt16(random.Next() * 55);
  peg.Colour.Green = ToInt16(random.Next() * 55);
  peg.Colour.Blue = ToInt16(random.Next() * 55);
  peg.Colour.Alpha = ToInt16(random.Next() * 25 + 230);
  if (peg.Kind == 0) {
    peg.Colour.Red = ToInt16(random.Next() * 55 + 200);
  } else if (peg.Kind == 1) {
    peg.Colour.Blue = ToInt16(random.Next() * 55 + 200);
  }
  peg.Linked = false;
  peg.LinkTarget = 0;
  peg.Master = false;
  peg.Selected = false;
}

}  // namespace brindlet
