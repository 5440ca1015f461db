// Moving pixels between picture surfaces and pixel arrays.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "game/platform.h"
#include "render/pixel_array.h"

namespace brindlet {

// Stretch mode that drops or repeats scan lines instead of blending them.
inline constexpr int kStretchColorOnColor = 3;

// A picture surface of a window: a persistent bitmap of BitmapWidth x
// BitmapHeight 24-bit pixels (blue, green, red), an AutoRedraw flag, a
// settable picture and a refresh.
class PictureSurface {
 public:
  virtual ~PictureSurface() = default;
  virtual std::int32_t BitmapWidth() const = 0;
  virtual std::int32_t BitmapHeight() const = 0;
  // Scan line `row` of the bitmap counted from the bottom (0 = bottom line):
  // BitmapWidth() * 3 bytes, blue-green-red.
  virtual std::uint8_t* ScanLine(std::int32_t row) = 0;
  virtual void SetStretchMode(int mode) = 0;
  virtual bool AutoRedraw() const = 0;
  // Picture = Image: make the bitmap the surface's persistent picture.
  virtual void SetPictureFromImage() = 0;
  virtual void Refresh() = 0;
  // The bitmap was drawn on; a visible surface shows the change.
  virtual void BitmapChanged() = 0;
};

// Copy `surface`'s bitmap bottom-up into `dst`, one scan line of Width * 3
// bytes every `dstStride` bytes; lines that would not fit in `dst` are skipped.
void ReadScanLines(PictureSurface& surface, std::span<std::uint8_t> dst, std::size_t dstStride);

// Replace the whole bitmap of `surface` with the `srcWidth` x `srcHeight`
// picture in `src` (rows `srcStride` bytes apart, bottom-up unless `topDown`),
// scaled to the bitmap by dropping or repeating scan lines and columns.
void StretchToSurface(PictureSurface& surface, std::span<const std::uint8_t> src, std::int32_t srcWidth,
                      std::int32_t srcHeight, std::size_t srcStride, bool topDown);

// Three-index pixel array: channel 0..2 fastest, then pixel x, then row
// (bottom-up); Width * 3 bytes per row, no padding and no extra row.
struct PixelArray3D {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::vector<std::uint8_t> bytes;

  std::uint8_t& at(int channel, std::int32_t x, std::int32_t row) {
    return bytes[(static_cast<std::size_t>(row) * width + x) * 3 + channel];
  }
};

// Stateless operations between surfaces and arrays. The Set operations end by
// letting pending window events run. A Set operation handed an array smaller
// than the picture it is told to show throws std::length_error instead of
// reading past the array.
class FastDrawing {
 public:
  explicit FastDrawing(EventPump& events) : events_(&events) {}

  std::int32_t GetImageWidth(PictureSurface& SrcPictureBox) const;
  std::int32_t GetImageHeight(PictureSurface& SrcPictureBox) const;
  // (Height + 1) * Width * 3.
  std::int32_t GetImageStreamLength(PictureSurface& SrcPictureBox) const;

  void GetImageData2D(PictureSurface& SrcPictureBox, PixelArray& ImageData, bool CorrectOrientation) const;
  void SetImageData2D(PictureSurface& DstPictureBox, const std::int32_t& OriginalWidth,
                      const std::int32_t& OriginalHeight, const PixelArray& ImageData,
                      bool CorrectOrientation) const;

  void GetImageData(PictureSurface& SrcPictureBox, PixelArray3D& ImageData) const;
  void SetImageData(PictureSurface& DstPictureBox, const std::int32_t& OriginalWidth,
                    const std::int32_t& OriginalHeight, const PixelArray3D& ImageData) const;

  // The stream holds GetImageStreamLength() + 1 bytes; rows are Width * 3
  // bytes apart, bottom-up.
  void GetImageDataStream(PictureSurface& SrcPictureBox, std::vector<std::uint8_t>& ImageData) const;
  void SetImageDataStream(PictureSurface& DstPictureBox, const std::int32_t& OriginalWidth,
                          const std::int32_t& OriginalHeight, std::span<const std::uint8_t> ImageData) const;

 private:
  void FinishSet(PictureSurface& surface) const;
  EventPump* events_;
};

// A surface whose bitmap lives in memory: the hidden background surface of
// the headless core, and the tests' picture boxes.
class MemorySurface final : public PictureSurface {
 public:
  MemorySurface(std::int32_t width, std::int32_t height, bool autoRedraw = false);

  std::int32_t BitmapWidth() const override { return width_; }
  std::int32_t BitmapHeight() const override { return height_; }
  std::uint8_t* ScanLine(std::int32_t row) override {
    return bits_.data() + static_cast<std::size_t>(row) * width_ * 3;
  }
  void SetStretchMode(int mode) override { stretch_mode_ = mode; }
  bool AutoRedraw() const override { return auto_redraw_; }
  void SetPictureFromImage() override { ++picture_sets_; }
  void Refresh() override { ++refreshes_; }
  void BitmapChanged() override { ++bitmap_changes_; }

  void SetAutoRedraw(bool value) { auto_redraw_ = value; }
  // Pixel (x, y) with y counted from the top of the picture, as {blue, green, red}.
  std::array<std::uint8_t, 3> PixelAt(std::int32_t x, std::int32_t y);
  void SetPixel(std::int32_t x, std::int32_t y, std::array<std::uint8_t, 3> bgr);

  int stretch_mode() const { return stretch_mode_; }
  int picture_sets() const { return picture_sets_; }
  int refreshes() const { return refreshes_; }
  int bitmap_changes() const { return bitmap_changes_; }

 private:
  std::int32_t width_;
  std::int32_t height_;
  bool auto_redraw_;
  std::vector<std::uint8_t> bits_;
  int stretch_mode_ = 0;
  int picture_sets_ = 0;
  int refreshes_ = 0;
  int bitmap_changes_ = 0;
};

}  // namespace brindlet
