// The pixel array every frame is composed in.
//
// Layout: one contiguous block of Height + 1 rows of RowBytes bytes each, where
// RowBytes = Width * 3 + (Width mod 4), i.e. a 24-bit scan line rounded up to
// a multiple of 4 bytes. Element (byte column b, row r) is at r * RowBytes + b.
// Rows 0 .. Height - 1 are exactly a bottom-up 24-bit bitmap (blue, green, red
// per pixel); row Height is an extra row that is never filled from a surface
// and never shown, but receives drawing.
#pragma once

#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

namespace brindlet {

class PixelArray {
 public:
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
    return bytes_[static_cast<std::size_t>(row) * static_cast<std::size_t>(row_bytes_) +
                  static_cast<std::size_t>(column)];
  }
  std::uint8_t operator()(std::int32_t column, std::int32_t row) const {
    return bytes_[static_cast<std::size_t>(row) * static_cast<std::size_t>(row_bytes_) +
                  static_cast<std::size_t>(column)];
  }

  std::uint8_t* Row(std::int32_t row) { return bytes_.data() + static_cast<std::size_t>(row) * row_bytes_; }
  const std::uint8_t* Row(std::int32_t row) const {
    return bytes_.data() + static_cast<std::size_t>(row) * row_bytes_;
  }

  std::span<std::uint8_t> Bytes() { return bytes_; }
  std::span<const std::uint8_t> Bytes() const { return bytes_; }
  std::uint8_t* Data() { return bytes_.data(); }
  const std::uint8_t* Data() const { return bytes_.data(); }

  // Replace the contents with those of an array of identical bounds, as one
  // block copy and without reallocating. Arrays of other bounds are copied
  // whole (bounds included).
  void CopyFrom(const PixelArray& other) {
    if (other.bytes_.size() == bytes_.size() && other.row_bytes_ == row_bytes_) {
      if (!bytes_.empty()) std::memcpy(bytes_.data(), other.bytes_.data(), bytes_.size());
      width_ = other.width_;
      height_ = other.height_;
    } else {
      *this = other;
    }
  }

  friend bool operator==(const PixelArray&, const PixelArray&) = default;

 private:
  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  std::int32_t row_bytes_ = 0;
  std::vector<std::uint8_t> bytes_ = std::vector<std::uint8_t>(0);
};

inline PixelArray::PixelArray(std::int32_t width, std::int32_t height)
    : width_(width < 0 ? 0 : width),
      height_(height < 0 ? 0 : height),
      row_bytes_(RowBytesFor(width_)),
      bytes_(static_cast<std::size_t>(row_bytes_) * static_cast<std::size_t>(height_ + 1), 0) {}

}  // namespace brindlet
