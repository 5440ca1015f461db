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
  const auto stride = static_cast<std::size_t>(row_bytes_);
  const auto at = [&](const TileRun& run, std::int32_t row) {
    return static_cast<std::size_t>(row) * stride + static_cast<std::size_t>(run.left) * 3;
  };
  ForEachRunRow(
      Runs(kDrawn, height_ + 1),
      [&](const TileRun& run, std::int32_t row) {
        const std::size_t bytes = static_cast<std::size_t>(run.right - run.left) * 3;
        Prefetch(background.bytes_.data() + at(run, row), bytes);
        Prefetch(bytes_.data() + at(run, row), bytes);
      },
      [&](const TileRun& run, std::int32_t row) {
        std::memcpy(bytes_.data() + at(run, row), background.bytes_.data() + at(run, row),
                    static_cast<std::size_t>(run.right - run.left) * 3);
      });
  // What was drawn is now restored, and changed since the last presentation.
  for (std::uint8_t& mark : tiles_) {
    if ((mark & kDrawn) != 0) mark = kChanged;
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

void PixelArray::Presented(const PictureSurface& surface) {
  for (std::uint8_t& mark : tiles_) mark = static_cast<std::uint8_t>(mark & ~kChanged);
  all_changed_ = false;
  presented_on_ = &surface;
  presenter_ = this;
}

}  // namespace brindlet
