#include "render/primitives.h"

#include <algorithm>
#include <cmath>

namespace brindlet {
namespace {

inline double ClampChannel(std::int16_t value) { return static_cast<double>(std::clamp<std::int16_t>(value, 0, 255)); }

inline std::uint8_t Blend(std::uint8_t old, double keep, double colourPart) {
  // old * (1 - w) + colour * w, rounded half to even; within 0..255 because
  // 0 <= w <= 1 and both inputs are within 0..255.
  return static_cast<std::uint8_t>(RoundHalfEvenSmall(old * keep + colourPart));
}

}  // namespace

void PlotSoftPoint(const Playfield& field, PixelArray& Pixels, double PosX, double PosY, const DrawColour& Colour) {
  // Edge test against the playfield (strict; NaN fails every comparison).
  if (!(PosX > 1 && PosX < field.ImageWidth - 1 && PosY > 1 && PosY < field.ImageHeight - 1)) return;

  const double floorX = std::floor(PosX);
  const double floorY = std::floor(PosY);
  const auto column = static_cast<std::int32_t>(floorX);
  const auto baseRow = field.ImageHeight - static_cast<std::int32_t>(floorY);
  // The edge test keeps a dot inside an array of the playfield's size; an
  // array smaller than the playfield must not be written past either.
  if (column + 1 >= Pixels.Width() || baseRow + 1 > Pixels.Height() || baseRow - 1 < 0) return;

  const double fx = PosX - RoundHalfEven(PosX);
  const double fy = PosY - RoundHalfEven(PosY);
  const double ox = fx > 0 ? fx - 0.5 : fx + 0.5;
  const double oy = fy > 0 ? fy - 0.5 : fy + 0.5;

  const double alpha = static_cast<double>(std::clamp<std::int16_t>(Colour.Alpha, 0, 256));
  const double red = ClampChannel(Colour.Red);
  const double green = ClampChannel(Colour.Green);
  const double blue = ClampChannel(Colour.Blue);

  // Column term squared, row term as its absolute value (not a distance).
  double columnTerm[3];
  double rowTerm[3];
  for (int k = 0; k < 3; ++k) {
    const double di = (k - 1) - ox;
    columnTerm[k] = di * di;
    rowTerm[k] = std::fabs((k - 1) - oy);
  }

  for (int i = 0; i < 3; ++i) {
    std::uint8_t* pixel = Pixels.Data() + static_cast<std::size_t>(column + i - 1) * 3;
    for (int j = 0; j < 3; ++j) {
      double q = 0.45 * (columnTerm[i] + rowTerm[j]);
      if (q > 1) q = 1;
      const double w = (1 - q) * alpha / 256;
      const double keep = 1 - w;
      // Row ImageHeight - (floor(PosY) + j): one row above the bottom-up
      // position of screen row floor(PosY) + j.
      const std::int32_t row = baseRow - (j - 1);
      std::uint8_t* p = pixel + static_cast<std::size_t>(row) * static_cast<std::size_t>(Pixels.RowBytes());
      p[2] = Blend(p[2], keep, red * w);
      p[1] = Blend(p[1], keep, green * w);
      p[0] = Blend(p[0], keep, blue * w);
    }
  }
}

double CircleAngleStep(double Radius) { return 360 / (Radius * 6.28); }

void PlotCircle(const Playfield& field, EventPump& events, PixelArray& Pixels, double CentreX, double CentreY,
                double Radius, double& AngleStep, const DrawColour& Colour) {
  events.LetEventsRun();
  AngleStep = CircleAngleStep(Radius);
  const double step = AngleStep;
  // A negative or undefined step draws nothing; a step too small to advance
  // the angle stops instead of spinning forever.
  if (!(step > 0)) return;
  for (double a = -1; a <= 359;) {
    const double x = CentreX - Radius * std::sin(-a * kDegreesToRadians) + 1;
    const double y = CentreY - Radius * std::sin((a + 90) * kDegreesToRadians) + 1;
    PlotSoftPoint(field, Pixels, x, y, Colour);
    const double next = a + step;
    if (next == a) break;
    a = next;
  }
}

void PlotBeam(const Playfield& field, EventPump& events, PixelArray& Pixels, double& StartX, double& StartY,
              double EndX, double EndY, DrawColour& Colour, double Percent) {
  events.LetEventsRun();
  const double dx = EndX - StartX;
  const double dy = EndY - StartY;
  double n = std::sqrt(dx * dx + dy * dy) * 0.25;
  if (n == 0) n = 1;
  const double head = (Percent / 100) * n;
  const double sx = dx / n;
  const double sy = dy / n;
  StartX = StartX - sx;
  StartY = StartY - sy;
  const double p = field.EffectsCounter / 100;
  double px = StartX + p * sx;
  double py = StartY + p * sy;
  if (!std::isfinite(n)) return;
  for (double k = 1; k <= n; k += 1) {
    px = px + sx;
    py = py + sy;
    Colour.Green = ToInt16(std::fabs(std::sin((head - k) / 100)) * 200);
    PlotSoftPoint(field, Pixels, px, py, Colour);
  }
}

}  // namespace brindlet
