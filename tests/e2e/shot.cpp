#include "shot.h"

#include <QImage>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "support/reference_link_check.h"

namespace brindlet::e2e {
namespace {

// A peg's dots land one screen row above its position (the renderer writes
// a point at screen row t into the array row that is shown as row t - 1),
// and a blob's brightness-weighted centre sits half a pixel left of the
// column the dots are centred on. Measured on frames the game renders.
constexpr double kPegOffsetX = 0.5;
constexpr double kPegOffsetY = 1.5;

Point ToPixel(Point game) { return {game.x - kPegOffsetX, game.y - kPegOffsetY}; }

int Brightness(Rgb c) { return std::max({c.r, c.g, c.b}); }

// 64-bit linear congruential steps: the same jitter in every run.
double NextJitter(std::uint64_t& state) {
  state = state * 6364136223846793005ULL + 1442695040888963407ULL;
  return static_cast<double>(state >> 11) / static_cast<double>(1ULL << 53) * 2.0 - 1.0;  // [-1, 1)
}

bool InCorner(Point p, const PickRules& rules) {
  return p.x < 16 + rules.edge_margin && p.y < 16 + rules.edge_margin;
}

double NearestOther(const std::vector<SeenPeg>& pegs, int index) {
  double best = std::numeric_limits<double>::infinity();
  for (int i = 0; i < static_cast<int>(pegs.size()); ++i) {
    if (i != index) best = std::min(best, Distance(pegs[i].position, pegs[index].position));
  }
  return best;
}

bool Used(const std::vector<int>& used, int index) {
  return std::find(used.begin(), used.end(), index) != used.end();
}

// Whether the game's link check refuses a new link from a to b while the
// links in `standing` exist: the tests' plain walk of that check, on a peg
// table holding the new link as pegs 1 -> 2 and standing link k as pegs
// 2k + 3 -> 2k + 4. The table holds 99 standing links; leaving out more can
// only turn a refusal into an acceptance, so a planned refusal stays sure.
bool LinkComesNear(Point a, Point b, const std::vector<Segment>& standing) {
  PegTable pegs;
  const auto join = [&pegs](int source, Point from, Point to) {
    pegs[source].X = from.x;
    pegs[source].Y = from.y;
    pegs[source + 1].X = to.x;
    pegs[source + 1].Y = to.y;
    pegs[source].Linked = pegs[source].Master = pegs[source + 1].Linked = true;
    pegs[source].LinkTarget = static_cast<std::int16_t>(source + 1);
  };
  join(1, a, b);
  const int links = std::min(static_cast<int>(standing.size()), (PegTable::kCapacity - 2) / 2);
  for (int k = 0; k < links; ++k) join(2 * k + 3, standing[k].a, standing[k].b);
  return !testing::ReferenceCheckLinkPath(pegs, 2 * links + 2, 1);
}

}  // namespace

double Distance(Point a, Point b) { return std::hypot(a.x - b.x, a.y - b.y); }

Image::Image(int width, int height)
    : width_(std::max(0, width)),
      height_(std::max(0, height)),
      bytes_(static_cast<std::size_t>(width_) * height_ * 3, 0) {}

Rgb Image::At(int x, int y) const {
  if (!Contains(x, y)) return {};
  const std::size_t i = (static_cast<std::size_t>(y) * width_ + x) * 3;
  return {bytes_[i], bytes_[i + 1], bytes_[i + 2]};
}

void Image::Set(int x, int y, Rgb colour) {
  if (!Contains(x, y)) return;
  const std::size_t i = (static_cast<std::size_t>(y) * width_ + x) * 3;
  bytes_[i] = colour.r;
  bytes_[i + 1] = colour.g;
  bytes_[i + 2] = colour.b;
}

Image Image::Crop(int x, int y, int width, int height) const {
  const int x0 = std::clamp(x, 0, width_);
  const int y0 = std::clamp(y, 0, height_);
  const int x1 = std::clamp(x + std::max(0, width), 0, width_);
  const int y1 = std::clamp(y + std::max(0, height), 0, height_);
  Image out(x1 - x0, y1 - y0);
  for (int row = y0; row < y1; ++row) {
    std::copy_n(bytes_.begin() + (static_cast<std::ptrdiff_t>(row) * width_ + x0) * 3, (x1 - x0) * 3,
                out.bytes_.begin() + static_cast<std::ptrdiff_t>(row - y0) * out.width_ * 3);
  }
  return out;
}

bool SavePng(const Image& image, const std::string& path) {
  if (image.empty()) return false;
  const QImage view(image.bytes().data(), image.width(), image.height(), image.width() * 3, QImage::Format_RGB888);
  return view.save(QString::fromStdString(path), "PNG");
}

const char* HueName(Hue hue) {
  switch (hue) {
    case Hue::None: return "none";
    case Hue::Grey: return "grey";
    case Hue::Red: return "red";
    case Hue::Blue: return "blue";
    case Hue::Green: return "green";
    case Hue::Orange: return "orange";
  }
  return "?";
}

Hue Classify(Rgb c) {
  const int r = c.r, g = c.g, b = c.b;
  const int hi = std::max({r, g, b});
  const int lo = std::min({r, g, b});
  // The centre ring: red with about half as much green and hardly any blue.
  // Red pegs carry at most 55 of green against at least 200 of red.
  if (r >= 40 && g * 10 >= r * 3 && g * 100 <= r * 65 && b * 4 <= r) return Hue::Orange;
  if (r >= 90 && r >= g + 50 && r >= b + 50) return Hue::Red;
  if (b >= 90 && b >= r + 50 && b >= g + 50) return Hue::Blue;
  if (g >= 50 && g >= r + 30 && g >= b + 30) return Hue::Green;
  if (lo >= 16 && hi <= 140 && hi - lo <= 6) return Hue::Grey;
  return Hue::None;
}

std::vector<Blob> FindBlobs(const Image& image, Hue hue, int min_pixels) {
  const int w = image.width();
  const int h = image.height();
  std::vector<std::uint8_t> mark(static_cast<std::size_t>(w) * h, 0);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) mark[static_cast<std::size_t>(y) * w + x] = Classify(image.At(x, y)) == hue;
  }
  std::vector<Blob> blobs;
  std::vector<int> stack;
  for (int start = 0; start < w * h; ++start) {
    if (mark[start] != 1) continue;
    mark[start] = 2;
    stack.assign(1, start);
    double sum = 0, sx = 0, sy = 0;
    int count = 0;
    while (!stack.empty()) {
      const int p = stack.back();
      stack.pop_back();
      const int x = p % w, y = p / w;
      const double weight = Brightness(image.At(x, y));
      sum += weight;
      sx += weight * x;
      sy += weight * y;
      ++count;
      for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
          const int nx = x + dx, ny = y + dy;
          if (nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
          const int q = ny * w + nx;
          if (mark[q] == 1) {
            mark[q] = 2;
            stack.push_back(q);
          }
        }
      }
    }
    if (count >= min_pixels && sum > 0) blobs.push_back({hue, count, {sx / sum, sy / sum}});
  }
  return blobs;
}

int CountInAnnulus(const Image& image, Hue hue, Point c, double r0, double r1) {
  int count = 0;
  for (int y = static_cast<int>(std::floor(c.y - r1)); y <= static_cast<int>(std::ceil(c.y + r1)); ++y) {
    for (int x = static_cast<int>(std::floor(c.x - r1)); x <= static_cast<int>(std::ceil(c.x + r1)); ++x) {
      const double d = std::hypot(x - c.x, y - c.y);
      if (d >= r0 && d <= r1 && image.Contains(x, y) && Classify(image.At(x, y)) == hue) ++count;
    }
  }
  return count;
}

FieldCounts Count(const Image& playfield) {
  return {FindPegs(playfield, {Hue::Grey}).size(), FindPegs(playfield, {Hue::Red, Hue::Blue}).size(),
          CentreRingPixels(playfield)};
}

std::string Describe(const FieldCounts& c) {
  return std::to_string(c.grey) + " grey pegs, " + std::to_string(c.coloured) + " red and blue pegs, " +
         std::to_string(c.ring) + " orange ring pixels";
}

std::optional<Point> KeyRing(const Image& field) {
  double sx = 0, sy = 0;
  int n = 0;
  for (int y = 0; y < field.height(); ++y) {
    for (int x = 0; x < field.width(); ++x) {
      const Rgb c = field.At(x, y);
      if (c.r >= 200 && c.g >= 170 && c.b <= 80) {
        sx += x;
        sy += y;
        ++n;
      }
    }
  }
  if (n < 40) return std::nullopt;
  return Point{sx / n, sy / n};
}

int CentreRingPixels(const Image& playfield) {
  // Five rings of radius 40 to 41.5 round centres jittered by up to 3 pixels
  // up and left of one pixel right of and below the middle.
  const Point middle{playfield.width() / 2.0 - 0.5, playfield.height() / 2.0 - 0.5};
  return CountInAnnulus(playfield, Hue::Orange, ToPixel(middle), 34.0, 48.0);
}

std::vector<SeenPeg> FindPegs(const Image& playfield, const std::vector<Hue>& hues) {
  std::vector<SeenPeg> pegs;
  for (const Hue hue : hues) {
    // A peg's ten soft dots make a blob of 8 pixels or more; a beam dot, at most 6.
    const std::vector<Blob> blobs = FindBlobs(playfield, hue, 8);
    if (blobs.empty()) continue;
    std::vector<int> sizes;
    for (const Blob& blob : blobs) sizes.push_back(blob.pixels);
    std::nth_element(sizes.begin(), sizes.begin() + sizes.size() / 2, sizes.end());
    const int median = sizes[sizes.size() / 2];
    for (const Blob& blob : blobs) {
      const Point at{blob.centre.x + kPegOffsetX, blob.centre.y + kPegOffsetY};
      pegs.push_back({hue, at, blob.pixels, blob.pixels * 10 <= median * 17});
    }
  }
  return pegs;
}

Point ClickPoint(Point position) { return {std::round(position.x), std::round(position.y)}; }

double DistanceToSegment(Point p, Point a, Point b) {
  const double dx = b.x - a.x, dy = b.y - a.y;
  const double len2 = dx * dx + dy * dy;
  double t = len2 > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / len2 : 0.0;
  t = std::clamp(t, 0.0, 1.0);
  return Distance(p, {a.x + t * dx, a.y + t * dy});
}

double SegmentDistance(Point a, Point b, Point c, Point d) {
  // Proper crossing: the ends of each segment lie on different sides of the other.
  const auto side = [](Point p, Point q, Point r) { return (q.x - p.x) * (r.y - p.y) - (q.y - p.y) * (r.x - p.x); };
  const double d1 = side(a, b, c), d2 = side(a, b, d), d3 = side(c, d, a), d4 = side(c, d, b);
  if (((d1 > 0 && d2 < 0) || (d1 < 0 && d2 > 0)) && ((d3 > 0 && d4 < 0) || (d3 < 0 && d4 > 0))) return 0.0;
  return std::min({DistanceToSegment(a, c, d), DistanceToSegment(b, c, d), DistanceToSegment(c, a, b),
                   DistanceToSegment(d, a, b)});
}

double LitShare(const Image& playfield, Point a, Point b, double margin) {
  const Point pa = ToPixel(a), pb = ToPixel(b);
  const double length = Distance(pa, pb);
  if (length <= 2 * margin) return 0.0;
  const double ux = (pb.x - pa.x) / length, uy = (pb.y - pa.y) / length;
  int steps = 0, lit = 0;
  for (double t = margin; t <= length - margin; t += 1.0) {
    const Point p{pa.x + t * ux, pa.y + t * uy};
    ++steps;
    bool found = false;
    for (int y = static_cast<int>(std::floor(p.y)) - 3; y <= static_cast<int>(std::ceil(p.y)) + 3 && !found; ++y) {
      for (int x = static_cast<int>(std::floor(p.x)) - 3; x <= static_cast<int>(std::ceil(p.x)) + 3; ++x) {
        if (std::hypot(x - p.x, y - p.y) <= 2.5 && Brightness(playfield.At(x, y)) >= 45) {
          found = true;
          break;
        }
      }
    }
    lit += found;
  }
  return steps > 0 ? static_cast<double>(lit) / steps : 0.0;
}

int CountNear(const Image& playfield, Hue hue, Point p, double radius) {
  return CountInAnnulus(playfield, hue, ToPixel(p), 0.0, radius);
}

bool ShowsSelectionRings(const Image& playfield, Point peg) {
  const Point c = ToPixel(peg);
  int ring = 0;
  for (int y = static_cast<int>(c.y) - 10; y <= static_cast<int>(c.y) + 10; ++y) {
    for (int x = static_cast<int>(c.x) - 10; x <= static_cast<int>(c.x) + 10; ++x) {
      const double d = std::hypot(x - c.x, y - c.y);
      if (d < 3.5 || d > 9.0) continue;
      const Rgb colour = playfield.At(x, y);
      // Green rings round a plain selected peg, white ones round a link's source.
      const bool white = colour.r >= 60 && colour.g >= 60 && colour.b >= 60 &&
                         std::max({colour.r, colour.g, colour.b}) - std::min({colour.r, colour.g, colour.b}) <= 40;
      if (white || Classify(colour) == Hue::Green) ++ring;
    }
  }
  return ring >= 5;
}

bool ShowsRefusedPeg(const Image& playfield, Point peg) {
  const int green = CountNear(playfield, Hue::Green, peg, 2.5);
  const int other = CountNear(playfield, Hue::Red, peg, 2.5) + CountNear(playfield, Hue::Blue, peg, 2.5);
  return green >= 4 && green > other;
}

bool Clickable(const std::vector<SeenPeg>& pegs, int index, const PickRules& rules) {
  const SeenPeg& peg = pegs[index];
  const Point p = peg.position;
  return peg.single && p.x >= rules.edge_margin && p.y >= rules.edge_margin &&
         p.x <= rules.width - rules.edge_margin && p.y <= rules.height - rules.edge_margin && !InCorner(p, rules) &&
         NearestOther(pegs, index) >= rules.min_spacing;
}

std::vector<PlannedLink> ShowcaseLinks(const std::vector<SeenPeg>& pegs, const PickRules& rules) {
  struct Candidate {
    PlannedLink link;
    double clearance;
  };
  std::vector<Candidate> candidates;
  const int count = static_cast<int>(pegs.size());
  for (int i = 0; i < count; ++i) {
    if (!Clickable(pegs, i, rules) || NearestOther(pegs, i) < 25) continue;
    for (int j = i + 1; j < count; ++j) {
      if (pegs[j].hue != pegs[i].hue || !Clickable(pegs, j, rules) || NearestOther(pegs, j) < 25) continue;
      const double length = Distance(pegs[i].position, pegs[j].position);
      if (length < 150 || length > 450) continue;
      double clearance = std::numeric_limits<double>::infinity();
      for (int k = 0; k < count; ++k) {
        if (k != i && k != j) {
          clearance = std::min(clearance, DistanceToSegment(pegs[k].position, pegs[i].position, pegs[j].position));
        }
      }
      if (clearance >= 15) candidates.push_back({{i, j}, clearance});
    }
  }
  std::sort(candidates.begin(), candidates.end(),
            [](const Candidate& x, const Candidate& y) { return x.clearance > y.clearance; });
  std::vector<PlannedLink> out;
  for (const Candidate& c : candidates) out.push_back(c.link);
  return out;
}

std::optional<PlannedLink> RefusedLink(const std::vector<SeenPeg>& pegs, const std::vector<int>& used,
                                       const std::vector<Segment>& standing, const PickRules& rules) {
  const int count = static_cast<int>(pegs.size());
  std::optional<PlannedLink> best;
  double best_length = std::numeric_limits<double>::infinity();
  for (int i = 0; i < count; ++i) {
    if (Used(used, i) || !Clickable(pegs, i, rules)) continue;
    for (int j = 0; j < count; ++j) {
      if (j == i || Used(used, j) || pegs[j].hue != pegs[i].hue || !Clickable(pegs, j, rules)) continue;
      const Point a = pegs[i].position, b = pegs[j].position;
      const double length = Distance(a, b);
      if (length < 40 || length >= best_length) continue;
      if (!LinkComesNear(a, b, standing)) continue;
      // Sure only if it stays refused with every position off by up to a pixel.
      bool sure = true;
      std::uint64_t state = 0x5EED0000ULL + static_cast<std::uint64_t>(i) * 977 + j;
      for (int trial = 0; trial < 48 && sure; ++trial) {
        const Point ja{a.x + NextJitter(state), a.y + NextJitter(state)};
        const Point jb{b.x + NextJitter(state), b.y + NextJitter(state)};
        std::vector<Segment> moved = standing;
        for (Segment& s : moved) {
          s.a = {s.a.x + NextJitter(state), s.a.y + NextJitter(state)};
          s.b = {s.b.x + NextJitter(state), s.b.y + NextJitter(state)};
        }
        sure = LinkComesNear(ja, jb, moved);
      }
      if (sure) {
        best = PlannedLink{i, j};
        best_length = length;
      }
    }
  }
  return best;
}

std::vector<PlannedLink> AcceptedLinks(const std::vector<SeenPeg>& pegs, const std::vector<int>& used,
                                       const std::vector<Segment>& standing, int count, const PickRules& rules,
                                       double min_length) {
  struct Pair {
    int i, j;
    double length;
  };
  const int n = static_cast<int>(pegs.size());
  std::vector<bool> usable(n, false);
  for (int i = 0; i < n; ++i) usable[i] = !Used(used, i) && Clickable(pegs, i, rules);
  std::vector<Pair> pairs;
  for (int i = 0; i < n; ++i) {
    for (int j = i + 1; j < n && usable[i]; ++j) {
      const double length = Distance(pegs[i].position, pegs[j].position);
      if (usable[j] && pegs[j].hue == pegs[i].hue && length >= min_length) pairs.push_back({i, j, length});
    }
  }
  // Far enough that a position off by a pixel or two can't bring two links
  // within the check's reach of each other.
  constexpr double kMargin = 6.0;
  // Takes pairs in the given order whenever both pegs are free and the link
  // keeps clear of every line taken so far.
  const auto greedy = [&](const std::vector<Pair>& order) {
    std::vector<bool> free = usable;
    std::vector<Segment> lines = standing;
    std::vector<PlannedLink> out;
    for (const Pair& pair : order) {
      if (static_cast<int>(out.size()) >= count) break;
      if (!free[pair.i] || !free[pair.j]) continue;
      const Point a = pegs[pair.i].position, b = pegs[pair.j].position;
      const bool clear = std::none_of(lines.begin(), lines.end(),
                                      [&](const Segment& s) { return SegmentDistance(a, b, s.a, s.b) < kMargin; });
      if (!clear) continue;
      out.push_back({pair.i, pair.j});
      lines.push_back({a, b});
      free[pair.i] = free[pair.j] = false;
    }
    return out;
  };
  const auto by_length = [](const Pair& x, const Pair& y) { return x.length < y.length; };
  std::sort(pairs.begin(), pairs.end(), by_length);
  std::vector<PlannedLink> best = greedy(pairs);
  // Shortest first leaves some pegs stranded; orders with the lengths
  // jittered now and then place more.
  std::uint64_t state = 0xB1AD1E7ULL;
  for (int round = 0; round < 200 && static_cast<int>(best.size()) < count; ++round) {
    std::vector<Pair> order = pairs;
    for (Pair& pair : order) pair.length *= 1.0 + 0.4 * NextJitter(state);
    std::sort(order.begin(), order.end(), by_length);
    std::vector<PlannedLink> tried = greedy(order);
    if (tried.size() > best.size()) best = std::move(tried);
  }
  return best;
}

std::optional<Point> EmptySpot(const std::vector<SeenPeg>& pegs, const PickRules& rules, double clearance) {
  std::optional<Point> best;
  double best_distance = clearance;
  for (double y = clearance; y <= rules.height - clearance; y += 7) {
    for (double x = clearance; x <= rules.width - clearance; x += 7) {
      const Point p{x, y};
      if (x < 80 && y < 80) continue;  // keep well away from the corner that toggles the debug window
      double nearest = std::numeric_limits<double>::infinity();
      for (const SeenPeg& peg : pegs) nearest = std::min(nearest, Distance(p, peg.position));
      if (nearest >= best_distance) {
        best_distance = nearest;
        best = p;
      }
    }
  }
  return best;
}

}  // namespace brindlet::e2e
