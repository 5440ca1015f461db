#include "render/pixel_array.h"

#include <algorithm>

namespace brindlet {

void PixelArray::CopyFrom(const PixelArray& other) {
  if (other.bytes_.size() == bytes_.size() && other.row_bytes_ == row_bytes_ && other.width_ == width_) {
    if (!bytes_.empty()) std::memcpy(Untracked().data(), other.bytes_.data(), bytes_.size());
    height_ = other.height_;
  } else {
    const PictureSurface* presented = presented_on_;
    *this = other;
    presented_on_ = presented;
    Untracked();
  }
}

void PixelArray::RestoreFrom(const PixelArray& background) {
  const bool sameBounds = background.width_ == width_ && background.height_ == height_ &&
                          background.row_bytes_ == row_bytes_ && background.bytes_.size() == bytes_.size();
  if (untracked_ || !sameBounds || restored_from_ != &background || restored_stamp_ != background.stamp_) {
    CopyFrom(background);
    std::fill(tiles_.begin(), tiles_.end(), std::uint8_t{0});
    untracked_ = false;
    restored_from_ = &background;
    restored_stamp_ = background.stamp_;
    return;
  }
  const std::size_t rows = static_cast<std::size_t>(height_) + 1;
  // The lines of a row of tiles are asked for while the row before it is
  // copied: they lie scattered and are seldom cached by the next frame.
  const auto fetch = [&](std::int32_t tileRow) {
    if (tileRow >= tile_rows_) return;
    const std::uint8_t* marks = tiles_.data() + static_cast<std::size_t>(tileRow) * tiles_per_row_;
    const std::size_t firstRow = static_cast<std::size_t>(tileRow) * kTileRows;
    const std::size_t endRow = std::min(rows, firstRow + kTileRows);
    for (std::int32_t column = 0; column < tiles_per_row_; ++column) {
      if ((marks[column] & kDrawn) == 0) continue;
      const std::size_t left = static_cast<std::size_t>(column) * kTileWidth * 3;
      const std::size_t right = std::min(static_cast<std::size_t>(row_bytes_), left + kTileWidth * 3);
      for (std::size_t row = firstRow; row < endRow; ++row) {
        const std::size_t at = row * static_cast<std::size_t>(row_bytes_);
        Prefetch(background.bytes_.data() + at + left, right - left);
        Prefetch(bytes_.data() + at + left, right - left);
      }
    }
  };
  fetch(0);
  for (std::int32_t tileRow = 0; tileRow < tile_rows_; ++tileRow) {
    fetch(tileRow + 1);
    std::uint8_t* marks = tiles_.data() + static_cast<std::size_t>(tileRow) * tiles_per_row_;
    const std::size_t firstRow = static_cast<std::size_t>(tileRow) * kTileRows;
    const std::size_t endRow = std::min(rows, firstRow + kTileRows);
    for (std::int32_t column = 0; column < tiles_per_row_;) {
      if ((marks[column] & kDrawn) == 0) {
        ++column;
        continue;
      }
      // A run of drawn tiles, copied back row by row.
      std::int32_t end = column;
      while (end < tiles_per_row_ && (marks[end] & kDrawn) != 0) {
        marks[end] = static_cast<std::uint8_t>((marks[end] & ~kDrawn) | kChanged);
        ++end;
      }
      const std::size_t left = static_cast<std::size_t>(column) * kTileWidth * 3;
      const std::size_t right = std::min(static_cast<std::size_t>(row_bytes_), static_cast<std::size_t>(end) * kTileWidth * 3);
      for (std::size_t row = firstRow; row < endRow; ++row) {
        const std::size_t at = row * static_cast<std::size_t>(row_bytes_) + left;
        std::memcpy(bytes_.data() + at, background.bytes_.data() + at, right - left);
      }
      column = end;
    }
  }
}

void PixelArray::Presented(const PictureSurface& surface) {
  for (std::uint8_t& mark : tiles_) mark = static_cast<std::uint8_t>(mark & ~kChanged);
  all_changed_ = false;
  presented_on_ = &surface;
  presenter_ = this;
}

}  // namespace brindlet
