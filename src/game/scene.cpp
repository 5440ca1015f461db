// Scene drawing: link beams, hover glow, pegs with their rings, selection
// rings and the start-up glow ring, all blended into the frame as soft dots.
//
// Every procedure lets events run first, and the ring and beam primitives do
// so too, so a click may change links and selections between two pegs of one
// frame: peg fields are read afresh where they are used, and colours are
// always local copies (drawing never changes a peg's colour).
#include <algorithm>
#include <cmath>

#include "game/procedures.h"
#include "render/numeric.h"

namespace brindlet {

void DrawLinks(Board& board, const Context& context, PixelArray& frame) {
  context.events.LetEventsRun();
  PegTable& pegs = board.Pegs;
  const int total = board.Total();
  for (int i = 1; i <= total; ++i) {
    if (!pegs[i].Linked || !pegs[i].Master) continue;
    const std::int16_t target = pegs[i].LinkTarget;
    if (!PegTable::InTable(target)) continue;

    // The beam's highlight runs between 1 and 99, bouncing with a full step
    // of 10 that is damped by 1.11 per tick down to 2.
    double step = pegs[i].LinkEffectStep;
    double timer = pegs[i].LinkEffectTimer;
    if (step == 0) step = 1;
    if (std::fabs(step) > 2) step = step / 1.11;
    if (timer > 99) {
      step = -10;
      timer = 99;
    } else if (timer < 1) {
      step = 10;
      timer = 1;
    }
    timer = timer + step;
    PlotBeam(frame, context.field, context.events, pegs[i].X, pegs[i].Y, pegs[target].X, pegs[target].Y,
             pegs[i].Colour, timer, board.EffectsCounter);
    pegs[i].LinkEffectTimer = timer;
    pegs[i].LinkEffectStep = step;
  }
}

void UpdateHoverGlow(Board& board, EventPump& events) {
  events.LetEventsRun();
  PegTable& pegs = board.Pegs;
  const int total = board.Total();
  for (int i = 1; i <= total; ++i) pegs[i].Glow = ToInt32(pegs[i].Glow / 1.1);

  const Nearest nearest = NearestPeg(board, events, board.MousePosX + kCursorOffset, board.MousePosY + kCursorOffset);
  const int n = nearest.index;
  if (!PegTable::InTable(n)) return;  // no peg: every glow stays as it decayed
  const double v = 63 - nearest.distance;
  double glow = pegs[n].Glow;
  double increase = ((v / 4) * (v / 4) - glow) / 1.5;
  if (increase < 0) increase = 0;
  if (glow < 4 * v) glow = glow + increase;
  glow = std::clamp(glow, 0.0, 255.0);
  pegs[n].Glow = ToInt32(glow);
}

void DrawPegs(Board& board, const Context& context, PixelArray& frame) {
  context.events.LetEventsRun();
  RandomSource& random = context.random;
  const PegTable& pegs = board.Pegs;
  const int total = board.Total();
  for (int i = 1; i <= total; ++i) {
    // Soft body: ten jittered dots, fainter the farther they stray.
    for (int dot = 0; dot < 10; ++dot) {
      const double jx = 2 * random.Next() - 1;
      const double jy = 2 * random.Next() - 1;
      DrawColour body = pegs[i].Colour;
      body.Alpha = ToInt16(body.Alpha * 0.75 / (std::fabs(jx + jy) / 2 + 1));
      PlotSoftPoint(frame, context.field, pegs[i].X + jx, pegs[i].Y + jy, body);
    }
    if (pegs[i].Selected) DrawSelectionRings(board, context, frame, i);
    DrawColour ring = pegs[i].Colour;
    const std::int32_t glow = pegs[i].Glow;
    ring.Alpha = static_cast<std::int16_t>(std::clamp<std::int32_t>(glow, INT16_MIN, INT16_MAX));
    if (glow > 5) PlotCircle(frame, context.field, context.events, pegs[i].X - 1, pegs[i].Y - 1, 2.5, ring);
    // Drawn for every peg, linked or not, so the random sequence does not
    // depend on the links.
    ring.Alpha = ToInt16(random.Next() * 64 + 128);
    if (pegs[i].Linked) {
      PlotCircle(frame, context.field, context.events, pegs[i].X - 1, pegs[i].Y - 1, 2.5, ring);
      ring.Green = 100;
      PlotCircle(frame, context.field, context.events, pegs[i].X - 1, pegs[i].Y - 1, 1.0, ring);
    }
  }
}

void DrawSelectionRings(const Board& board, const Context& context, PixelArray& frame, int index) {
  context.events.LetEventsRun();
  if (!PegTable::InTable(index)) return;
  RandomSource& random = context.random;
  const Peg& peg = board.Pegs[index];
  for (int ring = 0; ring < 5; ++ring) {
    // The source end of a link flickers white, any other selected peg green.
    DrawColour colour;
    colour.Red = colour.Blue = peg.Master ? 255 : 0;
    colour.Green = 255;
    colour.Alpha = ToInt16(random.Next() * 128);
    const double x = peg.X - 3 + 3 * random.Next();
    const double y = peg.Y - 3 + 3 * random.Next();
    const double radius = 5 + 1.5 * random.Next();
    PlotCircle(frame, context.field, context.events, x, y, radius, colour);
  }
}

void DrawGlowRing(const Context& context, PixelArray& frame, double x, double y, double radius,
                  const DrawColour& colour) {
  context.events.LetEventsRun();
  RandomSource& random = context.random;
  for (int ring = 0; ring < 5; ++ring) {
    const double cx = x - 3 + 3 * random.Next();
    const double cy = y - 3 + 3 * random.Next();
    const double r = radius + 1.5 * random.Next();
    PlotCircle(frame, context.field, context.events, cx, cy, r, colour);
  }
}

}  // namespace brindlet
