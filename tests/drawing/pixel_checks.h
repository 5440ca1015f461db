// Comparing and filling pixel arrays in the drawing tests.
#pragma once

#include <algorithm>
#include <cstdint>
#include <sstream>
#include <string>

#include "render/pixel_array.h"

namespace brindlet::testing {

// "" when the arrays are equal, otherwise where they first differ and how.
inline std::string FirstDifference(const PixelArray& actual, const PixelArray& expected) {
  if (actual.RowBytes() != expected.RowBytes() || actual.Rows() != expected.Rows()) return "arrays differ in size";
  for (std::int32_t row = 0; row < actual.Rows(); ++row) {
    for (std::int32_t col = 0; col < actual.RowBytes(); ++col) {
      if (actual(col, row) == expected(col, row)) continue;
      std::ostringstream out;
      out << "byte column " << col << " (pixel " << col / 3 << ", channel " << col % 3 << "), row " << row
          << ": actual " << int{actual(col, row)} << ", expected " << int{expected(col, row)};
      return out.str();
    }
  }
  return "";
}

inline bool AllZero(const PixelArray& a) {
  return std::all_of(a.Bytes().begin(), a.Bytes().end(), [](std::uint8_t b) { return b == 0; });
}

inline void Fill(PixelArray& a, std::uint8_t value) { std::fill(a.Bytes().begin(), a.Bytes().end(), value); }

// Every byte from a fixed, uneven sequence: blends over it show every channel.
inline void FillPattern(PixelArray& a) {
  std::uint32_t seed = 12345;
  for (std::uint8_t& b : a.Bytes()) {
    seed = seed * 1103515245u + 12345u;
    b = static_cast<std::uint8_t>(seed >> 16);
  }
}

}  // namespace brindlet::testing
