// The pixel array every frame is composed in.
//
// Layout: one contiguous block of Height + 1 rows of RowBytes bytes each, where
// RowBytes = Width * 3 + (Width mod 4), i.e. a 24-bit scan line rounded up to
// a multiple of 4 bytes. Element (byte column b, row r) is at r * RowBytes + b.
// Rows 0 .. Height - 1 are exactly a bottom-up 24-bit bitmap (blue, green, red
// per pixel); row Height is an extra row that is never filled from a surface
// and never shown, but receives drawing.
//
// An array also keeps track of where it changes, in tiles of kTileWidth
// pixels by kTileRows rows: the drawing primitives mark the tiles they draw
// into, so that a frame can be restored from its background, and presented,
// by the tiles that changed instead of whole. Any other write through a
// non-const accessor counts as a change everywhere.
#pragma once

#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "render/prefetch.h"

namespace brindlet {

// A run of neighbouring tiles in one row of tiles: array rows
// [firstRow, endRow) by pixel columns [left, right).
struct TileRun {
  std::int32_t firstRow;
  std::int32_t endRow;
  std::int32_t left;
  std::int32_t right;
};

// Visits every array row of every run, in order: visit(run, row). The
// lines the visit will read lie scattered over the pictures and are seldom
// cached any more by the next frame, so fetch(run, row) asks for them
// `kAhead` rows before they are visited. A run is a TileRun or anything
// else with its rows [firstRow, endRow).
template <typename Run, typename Fetch, typename Visit>
void ForEachRunRow(std::span<const Run> runs, Fetch&& fetch, Visit&& visit) {
  constexpr int kAhead = 8;
  std::size_t ahead = 0;
  std::int32_t aheadRow = runs.empty() ? 0 : runs[0].firstRow;
  const auto advance = [&](std::size_t& run, std::int32_t& row) {
    if (++row < runs[run].endRow) return;
    if (++run < runs.size()) row = runs[run].firstRow;
  };
  for (int k = 0; k < kAhead && ahead < runs.size(); ++k) {
    fetch(runs[ahead], aheadRow);
    advance(ahead, aheadRow);
  }
  for (const Run& run : runs) {
    for (std::int32_t row = run.firstRow; row < run.endRow; ++row) {
      if (ahead < runs.size()) {
        fetch(runs[ahead], aheadRow);
        advance(ahead, aheadRow);
      }
      visit(run, row);
    }
  }
}

class PixelArray {
 public:
  static constexpr std::int32_t kTileWidth = 32;
  static constexpr std::int32_t kTileRows = 8;
  // Tile marks: drawn into since the last restore; changed since the last
  // presentation.
  static constexpr std::uint8_t kDrawn = 1;
  static constexpr std::uint8_t kChanged = 2;

  PixelArray() = default;
  // A zeroed array for a surface of width x height pixels (negative sizes
  // count as 0).
  PixelArray(std::int32_t width, std::int32_t height);

  static constexpr std::int32_t RowBytesFor(std::int32_t width) {
    return width <= 0 ? 0 : width * 3 + (width % 4);
  }

  std::int32_t Width() const { return width_; }
  std::int32_t Height() const { return height_; }
  std::int32_t RowBytes() const { return row_bytes_; }
  // Number of rows: Height + 1 (the extra row included).
  std::int32_t Rows() const { return height_ + 1; }

  // Byte (column, row) with no bounds check: callers keep to the bounds.
  std::uint8_t& operator()(std::int32_t column, std::int32_t row) {
    return Untracked()[static_cast<std::size_t>(row) * static_cast<std::size_t>(row_bytes_) +
                       static_cast<std::size_t>(column)];
  }
  std::uint8_t operator()(std::int32_t column, std::int32_t row) const {
    return bytes_[static_cast<std::size_t>(row) * static_cast<std::size_t>(row_bytes_) +
                  static_cast<std::size_t>(column)];
  }

  std::uint8_t* Row(std::int32_t row) { return Untracked().data() + static_cast<std::size_t>(row) * row_bytes_; }
  const std::uint8_t* Row(std::int32_t row) const {
    return bytes_.data() + static_cast<std::size_t>(row) * row_bytes_;
  }

  std::span<std::uint8_t> Bytes() { return Untracked(); }
  std::span<const std::uint8_t> Bytes() const { return bytes_; }
  std::uint8_t* Data() { return Untracked().data(); }
  const std::uint8_t* Data() const { return bytes_.data(); }

  // Replace the contents with those of another array, bounds included.
  void CopyFrom(const PixelArray& other);

  // Make this array equal to `background` (of identical bounds) again: when
  // it was last restored from the same, unchanged background and only the
  // primitives have drawn on it since, by copying back just the tiles they
  // drew into; otherwise whole.
  void RestoreFrom(const PixelArray& background);

  // --- For the drawing primitives: the bytes, and the tile marks to set ---
  struct Canvas {
    std::uint8_t* bytes;
    std::uint8_t* tiles;
    std::int32_t tilesPerRow;
  };
  Canvas Drawable() { return {bytes_.data(), tiles_.data(), tiles_per_row_}; }

  // --- For presentation ---
  // True when every tile must count as changed since the last presentation.
  bool AllChanged() const { return all_changed_; }
  // The next presentation goes whole, whatever the surface still holds.
  void MarkAllChanged() { all_changed_ = true; }
  // The runs of tiles marked `mark`, clipped to the first `rows` array rows:
  // rows of tiles from the last (the top of the picture) to the first, each
  // left to right. The list is the array's own, reused by the next call.
  std::span<const TileRun> Runs(std::uint8_t mark, std::int32_t rows);
  // The array was presented as picture number `picture` of a surface: what
  // changed before is now shown.
  void Presented(std::uint64_t picture);
  // The number of the picture this very array was last presented as, or 0;
  // a copy of it was never presented.
  std::uint64_t PresentedPicture() const { return presenter_ == this ? presented_picture_ : 0; }

  // Arrays are equal when their bounds and bytes are.
  friend bool operator==(const PixelArray& a, const PixelArray& b) {
    return a.width_ == b.width_ && a.height_ == b.height_ && a.row_bytes_ == b.row_bytes_ && a.bytes_ == b.bytes_;
  }

 private:
  // Notes, for each tile, the byte value it has throughout, if it has one.
  void NoteFills();
  // Bytes about to be written by someone other than the primitives.
  std::vector<std::uint8_t>& Untracked() {
    untracked_ = true;
    all_changed_ = true;
    stamp_ = NextStamp();
    return bytes_;
  }
  static std::uint64_t NextStamp() {
    static std::uint64_t counter = 0;
    return ++counter;
  }

  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  std::int32_t row_bytes_ = 0;
  std::vector<std::uint8_t> bytes_;
  std::int32_t tiles_per_row_ = 0;
  std::int32_t tile_rows_ = 0;
  std::vector<std::uint8_t> tiles_ = std::vector<std::uint8_t>(0);
  // Written outside the primitives since the last restore: restore whole.
  bool untracked_ = true;
  bool all_changed_ = true;
  // Changes with every write from outside, so that an array restored from
  // this one can tell whether it is still the same.
  std::uint64_t stamp_ = NextStamp();
  const PixelArray* restored_from_ = nullptr;
  std::uint64_t restored_stamp_ = 0;
  std::vector<TileRun> runs_;
  // The runs of tiles drawn into, cut where the background's fill changes:
  // what a restore copies or fills, row by row. Kept to be reused.
  struct RestoreRun : TileRun {
    std::int16_t fill;  // the background's one byte value there, or -1
  };
  std::vector<RestoreRun> restore_runs_;
  // Per tile, the one byte value the background last restored from has all
  // through it, or -1.
  std::vector<std::int16_t> fills_;
  std::uint64_t presented_picture_ = 0;
  const PixelArray* presenter_ = nullptr;
};

inline PixelArray::PixelArray(std::int32_t width, std::int32_t height)
    : width_(width < 0 ? 0 : width),
      height_(height < 0 ? 0 : height),
      row_bytes_(RowBytesFor(width_)),
      bytes_(static_cast<std::size_t>(row_bytes_) * static_cast<std::size_t>(height_ + 1), 0),
      tiles_per_row_((width_ + kTileWidth - 1) / kTileWidth),
      tile_rows_((height_ + 1 + kTileRows - 1) / kTileRows),
      tiles_(static_cast<std::size_t>(tiles_per_row_) * static_cast<std::size_t>(tile_rows_), 0) {}

}  // namespace brindlet
