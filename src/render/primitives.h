// The three drawing primitives: soft dots, rings of soft dots and animated
// dotted beams, blended into a pixel array.
#pragma once

#include <cstdint>

#include "game/model.h"
#include "game/platform.h"
#include "render/pixel_array.h"

namespace brindlet {

// What the primitives read besides their arguments: the playfield size (the
// edge test uses it, not the array's bounds) and the effects counter that
// sets the phase of every beam.
struct Playfield {
  std::int32_t ImageWidth = 0;
  std::int32_t ImageHeight = 0;
  double EffectsCounter = 0;
};

// Degrees to radians, as the program stores it.
inline constexpr double kDegreesToRadians = 0.017453292519943278;

// A soft, alpha-weighted dot touching the 3 x 3 pixels around (PosX, PosY).
// Draws nothing unless 1 < PosX < ImageWidth - 1 and 1 < PosY < ImageHeight - 1.
// Alpha is taken within 0..256 and the channels within 0..255.
void PlotSoftPoint(const Playfield& field, PixelArray& Pixels, double PosX, double PosY, const DrawColour& Colour);

// A ring of soft dots around (CentreX + 1, CentreY + 1), about one dot per
// pixel of circumference. Lets events run first. AngleStep receives the
// angular step in degrees.
void PlotCircle(const Playfield& field, EventPump& events, PixelArray& Pixels, double CentreX, double CentreY,
                double Radius, double& AngleStep, const DrawColour& Colour);

// A dotted beam from (StartX, StartY) toward (EndX, EndY), one dot per 4 px,
// creeping with the effects counter; Percent places the dark-green head. Lets
// events run first. StartX and StartY are moved back by one step and
// Colour.Green is overwritten with the green of each dot.
void PlotBeam(const Playfield& field, EventPump& events, PixelArray& Pixels, double& StartX, double& StartY,
              double EndX, double EndY, DrawColour& Colour, double Percent);

// Number of dots PlotCircle draws for a radius, and its angular step.
double CircleAngleStep(double Radius);

}  // namespace brindlet
