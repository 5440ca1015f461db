// The link path check: a new link is walked one pixel at a time and every
// point of the walk is compared with sample points spread along each standing
// link (one every 1/0.15 px); a sample whose x and y differences sum to less
// than 2 px refuses the new link, and both of its pegs turn green.
//
// Points advance by repeated addition, exactly as the walk defines them, so
// the decision is bit-for-bit that of comparing every sample with every walk
// point. It is fast because the walk points are computed once, a standing
// link whose ends both lie well to one side of the new link is skipped
// whole, and each remaining sample is compared only with the few walk points
// that can lie within 2 px of it (found from its projection on the new link).
#include <algorithm>
#include <cmath>

#include <vector>

#include "game/procedures.h"

namespace brindlet {
namespace {

// Beyond these the walk would not end in any reasonable time, and the
// rounding of the positions could exceed the search margin.
constexpr double kMaxWalk = 16777216.0;      // 2^24 points
constexpr double kMaxCoordinate = 67108864.0;  // 2^26 px
// Slack for the rounding of points that advance by repeated addition: far
// above it for any playfield coordinate, and the exact test decides anyway.
constexpr double kSlack = 0.25;
constexpr double kNear = 2.0;

bool Usable(double v) { return std::isfinite(v) && std::fabs(v) <= kMaxCoordinate; }

}  // namespace

bool CheckLinkPath(Board& board, EventPump& events, int a) {
  events.LetEventsRun();
  // Events have run: the link may have been withdrawn or re-created since
  // it was committed. With no link left to walk there is nothing to refuse.
  if (!board.IsPeg(a)) return true;
  PegTable& pegs = board.Pegs;
  const std::int16_t b = pegs[a].LinkTarget;
  if (!PegTable::InTable(b)) return true;

  const double ax = pegs[a].X;
  const double ay = pegs[a].Y;
  const double dx = pegs[b].X - ax;
  const double dy = pegs[b].Y - ay;
  double L = std::sqrt(dx * dx + dy * dy);
  if (!Usable(ax) || !Usable(ay) || !Usable(pegs[b].X) || !Usable(pegs[b].Y) || !(L <= kMaxWalk)) return true;
  const bool degenerate = L == 0;
  if (degenerate) L = 1.0;
  const double ux = dx / L;
  const double uy = dy / L;

  // The walk points, kept between checks so that a check allocates nothing.
  // A check lets events run only before it starts walking, so a check run
  // from those events is over before this one fills them.
  thread_local std::vector<double> walkX;
  thread_local std::vector<double> walkY;
  walkX.clear();
  walkY.clear();
  double wx = ax;
  double wy = ay;
  for (double s = 1.0; s <= L; s += 1.0) {
    wx = wx + ux;
    wy = wy + uy;
    walkX.push_back(wx);
    walkY.push_back(wy);
  }
  const auto count = static_cast<std::int64_t>(walkX.size());
  if (count == 0) return true;
  // A walk of a few points (or one at peg a for a link of length 0) is
  // compared with every sample directly.
  const bool searchByProjection = !degenerate && count > 4;
  const double reach = kNear + kSlack;

  bool near = false;
  const int total = board.Total();
  for (int i = 1; i <= total && !near; ++i) {
    if (i == a) continue;
    const Peg& source = pegs[i];
    if (!source.Linked || !source.Master) continue;
    const std::int16_t t = source.LinkTarget;
    if (!PegTable::InTable(t)) continue;
    const Peg& target = pegs[t];
    if (!Usable(source.X) || !Usable(source.Y) || !Usable(target.X) || !Usable(target.Y)) continue;

    const double ex = target.X - source.X;
    const double ey = target.Y - source.Y;
    double n = std::sqrt(ex * ex + ey * ey) * 0.15;
    if (n == 0) n = 1.0;
    if (!(n <= kMaxWalk)) continue;

    if (searchByProjection) {
      // Every sample lies on the segment between the link's two pegs: when
      // both ends are farther than the near distance on one side of the new
      // link's line, or beyond one end of the walk, no sample can be near.
      const double si = (source.X - ax) * uy - (source.Y - ay) * ux;
      const double st = (target.X - ax) * uy - (target.Y - ay) * ux;
      if ((si > reach && st > reach) || (si < -reach && st < -reach)) continue;
      const double pi = (source.X - ax) * ux + (source.Y - ay) * uy;
      const double pt = (target.X - ax) * ux + (target.Y - ay) * uy;
      if ((pi < 1 - reach && pt < 1 - reach) || (pi > count + reach && pt > count + reach)) continue;
    }

    const double vx = ex / n;
    const double vy = ey / n;
    double sx = source.X;
    double sy = source.Y;
    for (double k = 1.0; k <= n; k += 1.0) {
      sx = sx + vx;
      sy = sy + vy;
      std::int64_t first = 0;
      std::int64_t last = count - 1;
      if (searchByProjection) {
        const double rx = sx - ax;
        const double ry = sy - ay;
        if (std::fabs(rx * uy - ry * ux) > reach) continue;
        // Walk point s (1-based) lies about s px along the line from peg a.
        const double along = rx * ux + ry * uy;
        first = std::max<std::int64_t>(0, static_cast<std::int64_t>(std::ceil(along - reach)) - 1);
        last = std::min<std::int64_t>(count - 1, static_cast<std::int64_t>(std::floor(along + reach)) - 1);
      }
      for (std::int64_t s = first; s <= last; ++s) {
        if (std::fabs(sx - walkX[static_cast<std::size_t>(s)]) + std::fabs(sy - walkY[static_cast<std::size_t>(s)]) <
            kNear) {
          near = true;
          break;
        }
      }
      if (near) break;
    }
  }

  if (!near) return true;
  pegs[a].Colour.Red = kRefusalColour.Red;
  pegs[a].Colour.Green = kRefusalColour.Green;
  pegs[a].Colour.Blue = kRefusalColour.Blue;
  pegs[b].Colour = pegs[a].Colour;
  return false;
}

}  // namespace brindlet
