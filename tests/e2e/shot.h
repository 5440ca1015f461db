// Reading screenshots of the playfield the way a player looks at it: which
// pegs are where and in what colour, whether a beam joins two pegs, whether
// the orange ring glows at the centre. Also plans links that the game will
// accept or refuse, judging refusals by the tests' plain link check.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace brindlet::e2e {

struct Rgb {
  std::uint8_t r = 0;
  std::uint8_t g = 0;
  std::uint8_t b = 0;
};

struct Point {
  double x = 0;
  double y = 0;
};

double Distance(Point a, Point b);

// An RGB picture, top line first.
class Image {
 public:
  Image() = default;
  Image(int width, int height);

  int width() const { return width_; }
  int height() const { return height_; }
  bool empty() const { return width_ == 0 || height_ == 0; }
  bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }
  // Black outside the picture.
  Rgb At(int x, int y) const;
  void Set(int x, int y, Rgb colour);
  // The part of the picture inside the rectangle, clipped to the picture.
  Image Crop(int x, int y, int width, int height) const;
  const std::vector<std::uint8_t>& bytes() const { return bytes_; }

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<std::uint8_t> bytes_;  // r, g, b per pixel
};

// Writes a PNG file; false when it can't.
bool SavePng(const Image& image, const std::string& path);

// What a pixel looks like to the eye, as far as the game's colours go.
enum class Hue {
  None,    // black or too faint
  Grey,    // the attract display's pegs (50, 50, 50), blended
  Red,     // pegs of kind 0
  Blue,    // pegs of kind 1
  Green,   // refused pegs (2, 128, 2) and the selection rings
  Orange,  // the ring at the centre of the attract display (255, 120, 21)
};
const char* HueName(Hue hue);
Hue Classify(Rgb colour);

// An 8-connected region of pixels of one hue.
struct Blob {
  Hue hue = Hue::None;
  int pixels = 0;
  Point centre;  // weighted by brightness, in picture pixels
};
// Blobs of `hue` with at least `min_pixels` pixels.
std::vector<Blob> FindBlobs(const Image& image, Hue hue, int min_pixels = 4);

// How the attract display and a started game look: grey pegs, red and blue
// ones, and pixels of the orange ring.
struct FieldCounts {
  std::size_t grey = 0;
  std::size_t coloured = 0;
  int ring = 0;
};
FieldCounts Count(const Image& playfield);
std::string Describe(const FieldCounts& counts);

// The keyboard cursor's ring: the centre of its yellow pixels, or nothing
// when it does not show.
std::optional<Point> KeyRing(const Image& playfield);

// Orange pixels of the ring that glows at the playfield's centre in the
// attract display.
int CentreRingPixels(const Image& playfield);

// Pixels of `hue` whose centres lie between the radii r0 and r1 around c.
int CountInAnnulus(const Image& image, Hue hue, Point c, double r0, double r1);

// A peg as seen in a playfield picture (image pixel (0, 0) at the picture's
// top-left corner).
struct SeenPeg {
  Hue hue = Hue::None;
  // Where the game holds the peg: the blob's centre corrected for where the
  // renderer puts a peg's dots relative to its position.
  Point position;
  int pixels = 0;
  // False when the blob is too big for one peg (two pegs overlap).
  bool single = true;
};
// Every peg-sized blob of the given hues.
std::vector<SeenPeg> FindPegs(const Image& playfield, const std::vector<Hue>& hues);
// The pixel to click to hit a peg at `position`.
Point ClickPoint(Point position);

// Distance from p to the segment a-b.
double DistanceToSegment(Point p, Point a, Point b);
// Smallest distance between the segments a-b and c-d.
double SegmentDistance(Point a, Point b, Point c, Point d);

// The share of the segment a-b, leaving out `margin` pixels at each end,
// along which some pixel within 2.5 pixels of the line is lit (brighter than
// the black background by a clear step). Beam dots are 4 pixels apart, so a
// beam covers most of its line; empty space covers none.
double LitShare(const Image& playfield, Point a, Point b, double margin = 9.0);

// Pixels of `hue` within `radius` of p.
int CountNear(const Image& playfield, Hue hue, Point p, double radius);
// The flickering rings of a selected peg: green (or white) pixels between 3.5
// and 9 pixels from its centre.
bool ShowsSelectionRings(const Image& playfield, Point peg);
// A refused peg: green where the peg's body is.
bool ShowsRefusedPeg(const Image& playfield, Point peg);

// A link from a (drawn from there) to b.
struct Segment {
  Point a;
  Point b;
};
// Two pegs to join (indices into the list of seen pegs), first `first`.
struct PlannedLink {
  int first = -1;
  int second = -1;
};

// Options for choosing pegs that a click hits for sure.
struct PickRules {
  double min_spacing = 12.0;  // to the nearest other seen peg
  double edge_margin = 20.0;  // to the playfield's edges (and out of the corner)
  int width = 1026;           // the playfield
  int height = 770;
};
bool Clickable(const std::vector<SeenPeg>& pegs, int index, const PickRules& rules);

// A pair of one hue for a first link that a player can check by eye: both
// pegs isolated, the line between them long and well away from every other
// peg. Candidates best first.
std::vector<PlannedLink> ShowcaseLinks(const std::vector<SeenPeg>& pegs, const PickRules& rules);
// A pair of one hue, not using the pegs in `used`, whose link the game is
// sure to refuse because of `standing` even if every peg position is off by
// up to a pixel. nullopt when there is none.
std::optional<PlannedLink> RefusedLink(const std::vector<SeenPeg>& pegs, const std::vector<int>& used,
                                       const std::vector<Segment>& standing, const PickRules& rules);
// Up to `count` pairs, not using the pegs in `used`, whose links the game is
// sure to accept one after another: each stays several pixels away from
// `standing` and from the links planned before it. Short links first, none
// shorter than `min_length`.
std::vector<PlannedLink> AcceptedLinks(const std::vector<SeenPeg>& pegs, const std::vector<int>& used,
                                       const std::vector<Segment>& standing, int count, const PickRules& rules,
                                       double min_length = 0.0);
// A point of the playfield at least `clearance` pixels from every seen peg
// and from the edges, away from the top-left corner; nullopt when none is.
std::optional<Point> EmptySpot(const std::vector<SeenPeg>& pegs, const PickRules& rules, double clearance = 40.0);

}  // namespace brindlet::e2e
