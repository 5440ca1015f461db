// Numeric conventions shared by the whole program.
//
// Reals are stored into integer fields by rounding to the nearest integer with
// ties to the even one (0.5 -> 0, 1.5 -> 2, 2.5 -> 2); the integer part of a
// real is taken by rounding down.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace brindlet {

// Round to nearest, ties to even, in the default floating-point environment.
inline double RoundHalfEven(double value) { return std::nearbyint(value); }

// Conversion of a real to a 16- or 32-bit integer: round half to even. A value
// outside the integer's range would be an overflow error that ends the program;
// the game never produces one, and instead of crashing on a stray value the
// conversion saturates at the range's ends (NaN becomes 0).
// Fast round-half-even for values well inside +/-2^51, exact for the blend's
// 0..255 results: adding and removing 1.5 * 2^52 leaves the value rounded in the
// default rounding mode. Must not be compiled with value-changing float options.
inline double RoundHalfEvenSmall(double value) {
  constexpr double kShift = 6755399441055744.0;  // 1.5 * 2^52
  return (value + kShift) - kShift;
}

template <typename Int>
Int RoundToInt(double value) {
  // The common case, a value inside the range, without a call into the
  // maths library (drawing converts thousands of values per frame).
  if (value > static_cast<double>(std::numeric_limits<Int>::min()) &&
      value < static_cast<double>(std::numeric_limits<Int>::max())) {
    return static_cast<Int>(RoundHalfEvenSmall(value));
  }
  if (std::isnan(value)) return 0;
  const double rounded = RoundHalfEven(value);
  if (rounded <= static_cast<double>(std::numeric_limits<Int>::min())) {
    return std::numeric_limits<Int>::min();
  }
  if (rounded >= static_cast<double>(std::numeric_limits<Int>::max())) {
    return std::numeric_limits<Int>::max();
  }
  return static_cast<Int>(rounded);
}

inline std::int16_t ToInt16(double value) { return RoundToInt<std::int16_t>(value); }
inline std::int32_t ToInt32(double value) { return RoundToInt<std::int32_t>(value); }

// Integer part of a real: rounding down (so -2.5 gives -3).
inline double IntPart(double value) { return std::floor(value); }

// A 32-bit value stored into a 16-bit variable keeps its low 16 bits.
constexpr std::int16_t Low16(std::int32_t value) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<std::uint32_t>(value) & 0xFFFFu));
}

}  // namespace brindlet
