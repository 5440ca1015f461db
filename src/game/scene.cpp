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
namespace {

// The shapes look: marks of soft dots around each peg, in a pale tint of its
// colour, that tell without any colour what the colours tell. Short bars on
// both sides, clear of the body and of the link and glow rings: horizontal
// for the second family, vertical for a linked peg, and a diagonal cross
// while the peg bears the refusal colour. A selected peg has a ring around
// it, and its bars stand outside the ring, clear of the flickering selection
// rings. No mark takes a random draw or lets events run.
constexpr double kBarFrom = 5.0;  // from the peg's centre; two dots a side
constexpr double kBarSpacing = 1.5;
constexpr double kSelectedRadius = 9.5;
constexpr double kSelectedBarFrom = 11.5;
constexpr std::int16_t kMarkAlpha = 200;
// Beams of the second family run in paired dots: every 24th dot, from
// the twelfth on, has a twin 3 px to its side that creeps along with it.
constexpr int kTwinEvery = 24;
constexpr double kTwinSide = 3.0 / 4;  // in steps of the beam

// The colour of the marks: a pale tint of `c`, which shows on black in any
// kind of vision.
DrawColour Pale(const DrawColour& c) {
  const auto pale = [](std::int16_t channel) { return static_cast<std::int16_t>((channel + 3 * 255) / 4); };
  return {pale(c.Red), pale(c.Green), pale(c.Blue), kMarkAlpha};
}

// A bar on both sides of the peg along the unit vector (ux, uy).
void DrawBars(PixelArray& frame, Field field, const Peg& peg, double ux, double uy, const DrawColour& colour) {
  const double from = peg.Selected ? kSelectedBarFrom : kBarFrom;
  for (const double d : {from, from + kBarSpacing}) {
    PlotSoftPoint(frame, field, peg.X + d * ux, peg.Y + d * uy, colour);
    PlotSoftPoint(frame, field, peg.X - d * ux, peg.Y - d * uy, colour);
  }
}

// `families`: whether the colours tell the families apart (not in the
// attract display, where every peg is grey).
void DrawShapeMarks(PixelArray& frame, Field field, const Peg& peg, bool families) {
  const DrawColour& c = peg.Colour;
  const DrawColour mark = Pale(c);
  if (families && peg.Kind != 0) DrawBars(frame, field, peg, 1, 0, mark);
  if (peg.Linked) DrawBars(frame, field, peg, 0, 1, mark);
  if (c.Red == kRefusalColour.Red && c.Green == kRefusalColour.Green && c.Blue == kRefusalColour.Blue) {
    constexpr double kDiagonal = 0.7071067811865476;
    DrawBars(frame, field, peg, kDiagonal, kDiagonal, mark);
    DrawBars(frame, field, peg, kDiagonal, -kDiagonal, mark);
  }
  if (peg.Selected) {
    const int dots = static_cast<int>(kSelectedRadius * 6.28);
    for (int k = 0; k < dots; ++k) {
      const double a = 6.283185307179586 * k / dots;
      PlotSoftPoint(frame, field, peg.X + kSelectedRadius * std::cos(a), peg.Y + kSelectedRadius * std::sin(a), mark);
    }
  }
}

// The twins of a beam's dots, each where PlotBeam puts its dot, moved aside.
void DrawBeamTwins(PixelArray& frame, Field field, double x1, double y1, double x2, double y2,
                   const DrawColour& beam, double phase) {
  const DrawColour colour = Pale(beam);
  const double dx = x2 - x1;
  const double dy = y2 - y1;
  const double n = std::sqrt(dx * dx + dy * dy) * 0.25;
  if (!(n > 0) || !std::isfinite(n)) return;
  const double sx = dx / n;
  const double sy = dy / n;
  for (double k = kTwinEvery / 2; k <= n; k += kTwinEvery) {
    const double t = k - 1 + phase / 100;
    PlotSoftPoint(frame, field, x1 + t * sx - kTwinSide * sy, y1 + t * sy + kTwinSide * sx, colour);
  }
}

}  // namespace

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
    const double x1 = pegs[i].X, y1 = pegs[i].Y, x2 = pegs[target].X, y2 = pegs[target].Y;
    const double phase = board.EffectsCounter;
    PlotBeam(frame, context.field, context.events, x1, y1, x2, y2, pegs[i].Colour, timer, phase);
    // The twins go where the beam went, whatever ran at its yield.
    if (context.look == Look::Shapes && pegs[i].Kind != 0 && board.gState != GameState::Startup) {
      DrawBeamTwins(frame, context.field, x1, y1, x2, y2, pegs[i].Colour, phase);
    }
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
    if (context.look == Look::Shapes) {
      DrawShapeMarks(frame, context.field, pegs[i], board.gState != GameState::Startup);
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
