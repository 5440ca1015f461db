// The three drawing primitives: soft dots, rings of soft dots and animated
// dotted beams, blended into a pixel array.
#pragma once

#include <cstdint>

#include "render/colour.h"
#include "render/events.h"
#include "render/pixel_array.h"

namespace brindlet {

// The size of the picture being drawn: the edge test of a dot reads it, not
// the array's bounds.
struct Field {
  std::int32_t width = 0;
  std::int32_t height = 0;
};

// Degrees to radians, as the program stores it.
inline constexpr double kDegreesToRadians = 0.017453292519943278;

// A soft, alpha-weighted dot touching the 3 x 3 pixels around (x, y). Draws
// nothing unless 1 < x < width - 1 and 1 < y < height - 1. Alpha is taken
// within 0..256 and the channels within 0..255.
void PlotSoftPoint(PixelArray& pixels, Field field, double x, double y, const DrawColour& colour);

// A ring of soft dots around (centreX + 1, centreY + 1), about one dot per
// pixel of circumference. Lets events run first; on an empty field (no
// width or no height), where no dot can land, that is all it does.
void PlotCircle(PixelArray& pixels, Field field, EventPump& events, double centreX, double centreY, double radius,
                const DrawColour& colour);

// A dotted beam from (startX, startY) toward (endX, endY), one dot per 4 px,
// creeping forward with `phase` (0..100, the effects counter); `percent`
// places the dark-green head. The green of `colour` is replaced dot by dot.
// Lets events run first; on an empty field that is all it does.
void PlotBeam(PixelArray& pixels, Field field, EventPump& events, double startX, double startY, double endX,
              double endY, const DrawColour& colour, double percent, double phase);

// The angular step, in degrees, between the dots of a ring of this radius.
double CircleAngleStep(double radius);

}  // namespace brindlet
