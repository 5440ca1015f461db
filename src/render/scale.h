// Showing a 32-bit picture on a grid of screen pixels of another size: a
// HiDPI screen (two screen pixels per picture pixel, or one and a half) or a
// screen too small for the picture.
//
// Every screen pixel is worked out from its own position alone, so scaling
// any rectangle of the screen gives exactly the pixels that scaling the whole
// picture gives there: a frame can be scaled by its changed parts without
// seams. Enlarged, a screen pixel is the picture as it covers it: a copy of
// the picture pixel it lies in (at whole ratios, always), or a blend of the
// two or four it straddles, by how much of each it covers; pixels stay
// sharp, their edges soft by one screen pixel. Shrunk, it is the linear
// blend of the four picture pixels around its centre.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "render/surface.h"

namespace brindlet {

class PictureScaler {
 public:
  // From a picture of `from` pixels to a screen area of `to` pixels; tables
  // are made only when a size changes.
  void SetSizes(std::int32_t fromWidth, std::int32_t fromHeight, std::int32_t toWidth, std::int32_t toHeight);
  std::int32_t FromWidth() const { return from_w_; }
  std::int32_t FromHeight() const { return from_h_; }
  std::int32_t ToWidth() const { return static_cast<std::int32_t>(cols_.size()); }
  std::int32_t ToHeight() const { return static_cast<std::int32_t>(rows_.size()); }
  // Whole numbers of screen pixels per picture pixel, across and down.
  bool Whole() const { return whole_; }

  // The screen pixels that depend on the picture pixels within `changed`.
  PixelRect Reach(const PixelRect& changed) const;

  // Writes the screen pixels within `area` (clipped to the screen) into
  // `to`, whose line y starts at to + y * toPitch; the picture's line y
  // starts at from + y * fromPitch (pitches in pixels).
  void Scale(const std::uint32_t* from, std::ptrdiff_t fromPitch, std::uint32_t* to, std::ptrdiff_t toPitch,
             PixelRect area) const;

 private:
  // Where one screen column (or row) takes its pixels: the picture column
  // at its left and, between ratios, the weight of the next one in 256ths.
  struct Tap {
    std::int32_t at = 0;
    std::uint32_t weight = 0;
  };
  static void MakeTaps(std::vector<Tap>& taps, std::int32_t from, std::int32_t to, bool whole);
  // For each picture pixel p along an axis (and one past the last): the
  // first screen pixel whose taps reach p or beyond, and the first whose
  // taps start at p or beyond.
  struct Reaches {
    std::int32_t first = 0;
    std::int32_t end = 0;
  };
  static void MakeReach(std::vector<Reaches>& reach, const std::vector<Tap>& taps, std::int32_t from);
  // At whole ratios, screen pixels [left, right) of a line from picture line `in`.
  void RepeatAcross(const std::uint32_t* in, std::uint32_t* out, std::int32_t left, std::int32_t right) const;
  // Picture line `line` blended across into the screen's columns within
  // `area`, into a line of the scaler's own. The last two lines are kept;
  // `keep` is the line not to give up.
  const std::uint32_t* Across(const std::uint32_t* from, std::ptrdiff_t fromPitch, std::int32_t line,
                              std::int32_t keep, const PixelRect& area) const;

  std::int32_t from_w_ = 0;
  std::int32_t from_h_ = 0;
  bool whole_ = true;
  // Enlarged across by exactly one and a half (a 150 % screen).
  bool three_halves_ = false;
  std::vector<Tap> cols_;
  std::vector<Tap> rows_;
  std::vector<Reaches> col_reach_;
  std::vector<Reaches> row_reach_;
  std::vector<std::int32_t> col_at_;
  std::vector<std::uint16_t> col_weights_;
  std::vector<std::int16_t> col_fixed_low_;
  std::vector<std::int16_t> col_fixed_high_;
  // The columns may be blended across by the widest blend (see scale.cpp).
  bool wide_across_ = false;
  // Two picture lines blended across, and which lines they are (-1: none);
  // they last one Scale call.
  mutable std::vector<std::uint32_t> across_[2];
  mutable std::int32_t across_line_[2] = {-1, -1};
  // A screen line worked out before it is written to the screen.
  mutable std::vector<std::uint32_t> line_;
};

}  // namespace brindlet
