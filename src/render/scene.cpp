// Scene drawing: link beams, hover glow, pegs with their rings, selection
// rings and the start-up glow ring, all blended into FrameImage as soft dots.
//
// Every procedure lets events run first, and the ring and beam primitives do
// so too, so a click may change links and selections between two pegs of one
// frame: peg fields are read afresh where they are used, and colours are
// always local copies (drawing never changes a peg's colour).
#include <algorithm>
#include <cmath>

#include "game/game.h"

namespace brindlet {

void Game::DrawLinks() {
  platform_->LetEventsRun();
  const int total = std::clamp<int>(PegTotal, 0, PegTable::kCapacity);
  for (int i = 1; i <= total; ++i) {
    if (Pegs[i].Linked != kTrue || Pegs[i].Master != kTrue) continue;
    const std::int16_t target = Pegs[i].LinkTarget;
    if (!PegTable::InTable(target)) continue;
    double x1 = Pegs[i].X;
    double y1 = Pegs[i].Y;
    const double x2 = Pegs[target].X;
    const double y2 = Pegs[target].Y;
    DrawColour colour = Pegs[i].Colour;

    // The beam's highlight runs between 1 and 99, bouncing with a full step
    // of 10 that is damped by 1.11 per tick down to 2.
    double step = Pegs[i].LinkEffectStep;
    double timer = Pegs[i].LinkEffectTimer;
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
    PlotBeam(Field(), *platform_, FrameImage, x1, y1, x2, y2, colour, timer);
    Pegs[i].LinkEffectTimer = timer;
    Pegs[i].LinkEffectStep = step;
  }
}

void Game::UpdateHoverGlow() {
  platform_->LetEventsRun();
  const int total = std::clamp<int>(PegTotal, 0, PegTable::kCapacity);
  for (int i = 1; i <= total; ++i) Pegs[i].Glow = ToInt32(Pegs[i].Glow / 1.1);

  double distance = 0;
  const int n = NearestPeg(MousePosX + kCursorOffset, MousePosY + kCursorOffset, distance);
  if (!PegTable::InTable(n)) return;  // no peg: every glow stays as it decayed
  const double v = 63 - distance;
  double glow = Pegs[n].Glow;
  double increase = ((v / 4) * (v / 4) - glow) / 1.5;
  if (increase < 0) increase = 0;
  if (glow < 4 * v) glow = glow + increase;
  glow = std::clamp(glow, 0.0, 255.0);
  Pegs[n].Glow = ToInt32(glow);
}

void Game::DrawPegs() {
  platform_->LetEventsRun();
  const int total = std::clamp<int>(PegTotal, 0, PegTable::kCapacity);
  for (int i = 1; i <= total; ++i) {
    // Soft body: ten jittered dots, fainter the farther they stray.
    for (int dot = 0; dot < 10; ++dot) {
      const double jx = 2 * Rnd() - 1;
      const double jy = 2 * Rnd() - 1;
      DrawColour body = Pegs[i].Colour;
      body.Alpha = ToInt16(body.Alpha * 0.75 / (std::fabs(jx + jy) / 2 + 1));
      PlotSoftPoint(Field(), FrameImage, Pegs[i].X + jx, Pegs[i].Y + jy, body);
    }
    if (Pegs[i].Selected == kTrue) {
      const std::int16_t index = static_cast<std::int16_t>(i);
      DrawSelectionRings(index);
    }
    DrawColour ring = Pegs[i].Colour;
    const std::int32_t glow = Pegs[i].Glow;
    ring.Alpha = static_cast<std::int16_t>(std::clamp<std::int32_t>(glow, INT16_MIN, INT16_MAX));
    double angleStep = 0;
    if (glow > 5) PlotCircle(Field(), *platform_, FrameImage, Pegs[i].X - 1, Pegs[i].Y - 1, 2.5, angleStep, ring);
    // Drawn for every peg, linked or not, so the random sequence does not
    // depend on the links.
    ring.Alpha = ToInt16(Rnd() * 64 + 128);
    if (Pegs[i].Linked == kTrue) {
      PlotCircle(Field(), *platform_, FrameImage, Pegs[i].X - 1, Pegs[i].Y - 1, 2.5, angleStep, ring);
      ring.Green = 100;
      PlotCircle(Field(), *platform_, FrameImage, Pegs[i].X - 1, Pegs[i].Y - 1, 1.0, angleStep, ring);
    }
  }
}

void Game::DrawSelectionRings(const std::int16_t& index) {
  platform_->LetEventsRun();
  if (!PegTable::InTable(index)) return;
  for (int ring = 0; ring < 5; ++ring) {
    // The source end of a link flickers white, any other selected peg green.
    DrawColour colour;
    colour.Red = colour.Blue = Pegs[index].Master == kTrue ? 255 : 0;
    colour.Green = 255;
    colour.Alpha = ToInt16(Rnd() * 128);
    const double x = Pegs[index].X - 3 + 3 * Rnd();
    const double y = Pegs[index].Y - 3 + 3 * Rnd();
    const double radius = 5 + 1.5 * Rnd();
    double angleStep = 0;
    PlotCircle(Field(), *platform_, FrameImage, x, y, radius, angleStep, colour);
  }
}

void Game::DrawGlowRing(double x, double y, double radius, const DrawColour& colour) {
  platform_->LetEventsRun();
  for (int ring = 0; ring < 5; ++ring) {
    const double cx = x - 3 + 3 * Rnd();
    const double cy = y - 3 + 3 * Rnd();
    const double r = radius + 1.5 * Rnd();
    double angleStep = 0;
    PlotCircle(Field(), *platform_, FrameImage, cx, cy, r, angleStep, colour);
  }
}

}  // namespace brindlet
