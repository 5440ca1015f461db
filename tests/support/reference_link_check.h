// The link path check in its plainest form, for tests and benchmarks to hold
// the game's own (faster) check against.
//
// Every point of the walk along the new link is compared with every sample of
// every standing link, and the walk always runs to its end. Points advance by
// repeated addition, and nothing is precomputed or skipped beyond what the
// rules themselves skip. Slow on purpose: it is meant to be obviously right,
// not quick.
//
// Lengths are (dx^2 + dy^2)^0.5 with each power exactly rounded, which is what
// a multiplication and std::sqrt give; the C library's pow(v, 2) and
// pow(v, 0.5) are off by an ulp now and then, and a walk point an ulp away can
// flip a decision made exactly at the near distance.
//
// Inputs are expected to be peg positions of a playfield (finite, a few
// thousand pixels at most); a link end that names no record of the table is
// not followed, so a stray index cannot read outside it.
#pragma once

#include <cmath>
#include <cstdint>

#include "game/model.h"
#include "render/numeric.h"

namespace brindlet::testing {

// False when the new link from peg `a` to its LinkTarget comes near a
// standing link (peg a then takes the refusal colour, keeping its Alpha, and
// the other end takes peg a's whole colour), true otherwise with nothing
// changed.
inline bool ReferenceCheckLinkPath(PegTable& pegs, int pegTotal, int a) {
  constexpr double kWalkStep = 1.0;
  constexpr double kSampleDensity = 0.15;
  constexpr double kNearDistance = 2.0;
  constexpr double kZeroLengthSubstitute = 1.0;

  if (!PegTable::InTable(a)) return true;
  const int b = pegs[a].LinkTarget;
  if (!PegTable::InTable(b)) return true;

  const double dx = pegs[b].X - pegs[a].X;
  const double dy = pegs[b].Y - pegs[a].Y;
  double L = std::sqrt(dx * dx + dy * dy);
  if (L == 0) L = kZeroLengthSubstitute;
  const double ux = dx / L;
  const double uy = dy / L;
  double wx = pegs[a].X;
  double wy = pegs[a].Y;
  bool near = false;

  const int last = pegTotal < PegTable::kCapacity ? pegTotal : PegTable::kCapacity;
  for (double s = kWalkStep; s <= L; s += kWalkStep) {
    wx = wx + ux;
    wy = wy + uy;
    for (int i = 1; i <= last; ++i) {
      if (i == a) continue;
      const Peg& source = pegs[i];
      if (!source.Linked || !source.Master) continue;
      const int t = source.LinkTarget;
      if (!PegTable::InTable(t)) continue;
      const double ex = pegs[t].X - source.X;
      const double ey = pegs[t].Y - source.Y;
      double n = std::sqrt(ex * ex + ey * ey) * kSampleDensity;
      if (n == 0) n = kZeroLengthSubstitute;
      const double vx = ex / n;
      const double vy = ey / n;
      double sx = source.X;
      double sy = source.Y;
      for (double k = 1.0; k <= n; k += 1.0) {
        sx = sx + vx;
        sy = sy + vy;
        if (std::fabs(sx - wx) + std::fabs(sy - wy) < kNearDistance) near = true;
      }
    }
  }

  if (!near) return true;
  pegs[a].Colour.Red = 2;
  pegs[a].Colour.Green = 128;
  pegs[a].Colour.Blue = 2;
  pegs[b].Colour = pegs[a].Colour;
  return false;
}

}  // namespace brindlet::testing
