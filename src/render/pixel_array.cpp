#include "render/pixel_array.h"

#include <algorithm>

namespace brindlet {

void PixelArray::CopyFrom(const PixelArray& other) {
  if (other.bytes_.size() == bytes_.size() && other.row_bytes_ == row_bytes_ && other.width_ == width_) {
    if (!bytes_.empty()) std::memcpy(Untracked().data(), other.bytes_.data(), bytes_.size());
    height_ = other.height_;
  } else {
    const std::uint64_t presented = presented_picture_;
    *this = other;
    presented_picture_ = presented;
    Untracked();
  }
}

void PixelArray::RestoreFrom(const PixelArray& background) {
  const bool sameBounds = background.width_ == width_ && background.height_ == height_ &&
                          background.row_bytes_ == row_bytes_ && background.bytes_.size() == bytes_.size();
  if (untracked_ || !sameBounds || restored_from_ != &background || restored_stamp_ != background.stamp_) {
    CopyFrom(background);
    std::fill(tiles_.begin(), tiles_.end(), std::uint8_t{0});
    NoteFills();
    untracked_ = false;
    restored_from_ = &background;
    restored_stamp_ = background.stamp_;
    return;
  }
  const auto stride = static_cast<std::size_t>(row_bytes_);
  // Pixels [left, right) of `row` from the background, tile by tile: where
  // the background is one byte value throughout a tile (as a plain
  // background is nearly everywhere) that value is filled in, which spares
  // reading it.
  const auto restore = [&](std::int32_t row, std::int32_t left, std::int32_t right, bool fetchOnly) {
    const std::int16_t* fills = fills_.data() + static_cast<std::size_t>(row / kTileRows) * tiles_per_row_;
    std::uint8_t* out = bytes_.data() + static_cast<std::size_t>(row) * stride;
    const std::uint8_t* in = background.bytes_.data() + static_cast<std::size_t>(row) * stride;
    for (std::int32_t x = left; x < right;) {
      const std::int16_t fill = fills[x / kTileWidth];
      std::int32_t end = std::min(right, (x / kTileWidth + 1) * kTileWidth);
      while (end < right && fills[end / kTileWidth] == fill) end = std::min(right, end + kTileWidth);
      const auto bytes = static_cast<std::size_t>(end - x) * 3;
      if (fetchOnly) {
        Prefetch(out + x * 3, bytes);
        if (fill < 0) Prefetch(in + x * 3, bytes);
      } else if (fill >= 0) {
        std::memset(out + x * 3, fill, bytes);
      } else {
        std::memcpy(out + x * 3, in + x * 3, bytes);
      }
      x = end;
    }
  };
  ForEachRunRow(
      Runs(kDrawn, height_ + 1),
      [&](const TileRun& run, std::int32_t row) { restore(row, run.left, run.right, true); },
      [&](const TileRun& run, std::int32_t row) { restore(row, run.left, run.right, false); });
  // What was drawn is now restored, and changed since the last presentation.
  for (std::uint8_t& mark : tiles_) {
    if ((mark & kDrawn) != 0) mark = kChanged;
  }
}

void PixelArray::NoteFills() {
  fills_.assign(tiles_.size(), -1);
  const std::int32_t rows = height_ + 1;
  for (std::int32_t tileRow = 0; tileRow < tile_rows_; ++tileRow) {
    for (std::int32_t column = 0; column < tiles_per_row_; ++column) {
      const std::size_t left = static_cast<std::size_t>(column) * kTileWidth * 3;
      const std::size_t right = static_cast<std::size_t>(std::min(width_, (column + 1) * kTileWidth)) * 3;
      const std::uint8_t value = bytes_[static_cast<std::size_t>(tileRow) * kTileRows * row_bytes_ + left];
      bool one = true;
      for (std::int32_t row = tileRow * kTileRows; one && row < std::min(rows, (tileRow + 1) * kTileRows); ++row) {
        const std::uint8_t* line = bytes_.data() + static_cast<std::size_t>(row) * row_bytes_;
        one = std::all_of(line + left, line + right, [value](std::uint8_t b) { return b == value; });
      }
      if (one) fills_[static_cast<std::size_t>(tileRow) * tiles_per_row_ + column] = value;
    }
  }
}

std::span<const TileRun> PixelArray::Runs(std::uint8_t mark, std::int32_t rows) {
  runs_.clear();
  rows = std::min(rows, height_ + 1);
  for (std::int32_t tileRow = tile_rows_ - 1; tileRow >= 0; --tileRow) {
    const std::int32_t firstRow = tileRow * kTileRows;
    const std::int32_t endRow = std::min(rows, firstRow + kTileRows);
    if (endRow <= firstRow) continue;
    const std::uint8_t* marks = tiles_.data() + static_cast<std::size_t>(tileRow) * tiles_per_row_;
    for (std::int32_t column = 0; column < tiles_per_row_;) {
      if ((marks[column] & mark) == 0) {
        ++column;
        continue;
      }
      std::int32_t end = column;
      while (end < tiles_per_row_ && (marks[end] & mark) != 0) ++end;
      runs_.push_back({firstRow, endRow, column * kTileWidth, std::min(width_, end * kTileWidth)});
      column = end;
    }
  }
  return runs_;
}

void PixelArray::Presented(std::uint64_t picture) {
  for (std::uint8_t& mark : tiles_) mark = static_cast<std::uint8_t>(mark & ~kChanged);
  all_changed_ = false;
  presented_picture_ = picture;
  presenter_ = this;
}

}  // namespace brindlet
