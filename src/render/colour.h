// The colour of a dot and its weight against the pixels beneath.
#pragma once

#include <cstdint>

namespace brindlet {

// Four signed 16-bit integers, each 0..255 in the game; Alpha is the weight
// of the colour. Copied whole when one peg takes another's colour.
struct DrawColour {
  std::int16_t Red = 0;
  std::int16_t Green = 0;
  std::int16_t Blue = 0;
  std::int16_t Alpha = 0;

  friend bool operator==(const DrawColour&, const DrawColour&) = default;
};

}  // namespace brindlet
