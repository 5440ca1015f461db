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
  // The runs drawn into, cut where the background's fill changes: where
  // the background is one byte value throughout a tile (as a plain
  // background is nearly everywhere) that value is filled in, which spares
  // reading it. The eight rows of a run share their tiles, so this is
  // worked out once a run, not once a row.
  restore_runs_.clear();
  for (const TileRun& run : Runs(kDrawn, height_ + 1)) {
    const std::int16_t* fills = fills_.data() + static_cast<std::size_t>(run.firstRow / kTileRows) * tiles_per_row_;
    for (std::int32_t x = run.left; x < run.right;) {
      const std::int16_t fill = fills[x / kTileWidth];
      std::int32_t end = std::min(run.right, (x / kTileWidth + 1) * kTileWidth);
      while (end < run.right && fills[end / kTileWidth] == fill) end = std::min(run.right, end + kTileWidth);
      restore_runs_.push_back({TileRun{run.firstRow, run.endRow, x, end}, fill});
      x = end;
    }
  }
  const auto stride = static_cast<std::size_t>(row_bytes_);
  std::uint8_t* const out = bytes_.data();
  const std::uint8_t* const in = background.bytes_.data();
  const auto at = [&](const RestoreRun& run, std::int32_t row) {
    return static_cast<std::size_t>(row) * stride + static_cast<std::size_t>(run.left) * 3;
  };
  const auto length = [](const RestoreRun& run) { return static_cast<std::size_t>(run.right - run.left) * 3; };
  ForEachRunRow(
      std::span<const RestoreRun>(restore_runs_),
      [&](const RestoreRun& run, std::int32_t row) {
        Prefetch(out + at(run, row), length(run));
        if (run.fill < 0) Prefetch(in + at(run, row), length(run));
      },
      [&](const RestoreRun& run, std::int32_t row) {
        if (run.fill >= 0) {
          std::memset(out + at(run, row), run.fill, length(run));
        } else {
          std::memcpy(out + at(run, row), in + at(run, row), length(run));
        }
      });
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
