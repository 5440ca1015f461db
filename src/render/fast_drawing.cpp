#include "render/fast_drawing.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>

namespace brindlet {
namespace {

std::size_t ToSize(std::int32_t v) { return v <= 0 ? 0 : static_cast<std::size_t>(v); }

// Refuse a picture that the array cannot hold: `rows` rows of `stride` bytes.
void RequireSource(std::size_t available, std::size_t stride, std::int32_t rows, const char* operation) {
  const std::size_t needed = stride * ToSize(rows);
  if (needed > available) {
    throw std::length_error(std::string(operation) + ": the pixel array holds " + std::to_string(available) +
                            " bytes, but the picture needs " + std::to_string(needed));
  }
}

}  // namespace

void ReadScanLines(PictureSurface& surface, std::span<std::uint8_t> dst, std::size_t dstStride) {
  const std::size_t lineBytes = ToSize(surface.BitmapWidth()) * 3;
  const std::int32_t height = surface.BitmapHeight();
  for (std::int32_t row = 0; row < height; ++row) {
    const std::size_t offset = static_cast<std::size_t>(row) * dstStride;
    if (offset + lineBytes > dst.size()) break;
    if (lineBytes > 0) std::memcpy(dst.data() + offset, surface.ScanLine(row), lineBytes);
  }
}

void StretchToSurface(PictureSurface& surface, std::span<const std::uint8_t> src, std::int32_t srcWidth,
                      std::int32_t srcHeight, std::size_t srcStride, bool topDown) {
  const std::int32_t width = surface.BitmapWidth();
  const std::int32_t height = surface.BitmapHeight();
  if (width <= 0 || height <= 0 || srcWidth <= 0 || srcHeight <= 0) return;
  for (std::int32_t row = 0; row < height; ++row) {
    // Nearest source line for this destination line, in top-down screen terms.
    const std::int32_t screenRow = height - 1 - row;
    const auto srcScreenRow =
        static_cast<std::int32_t>(static_cast<std::int64_t>(screenRow) * srcHeight / height);
    const std::int32_t srcRow = topDown ? srcScreenRow : srcHeight - 1 - srcScreenRow;
    const std::uint8_t* in = src.data() + static_cast<std::size_t>(srcRow) * srcStride;
    std::uint8_t* out = surface.ScanLine(row);
    if (srcWidth == width) {
      std::memcpy(out, in, static_cast<std::size_t>(width) * 3);
      continue;
    }
    for (std::int32_t x = 0; x < width; ++x) {
      const auto sx = static_cast<std::size_t>(static_cast<std::int64_t>(x) * srcWidth / width);
      std::memcpy(out + static_cast<std::size_t>(x) * 3, in + sx * 3, 3);
    }
  }
}

std::int32_t FastDrawing::GetImageWidth(PictureSurface& SrcPictureBox) const { return SrcPictureBox.BitmapWidth(); }

std::int32_t FastDrawing::GetImageHeight(PictureSurface& SrcPictureBox) const {
  return SrcPictureBox.BitmapHeight();
}

std::int32_t FastDrawing::GetImageStreamLength(PictureSurface& SrcPictureBox) const {
  const std::int64_t length = (static_cast<std::int64_t>(SrcPictureBox.BitmapHeight()) + 1) *
                              SrcPictureBox.BitmapWidth() * 3;
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(length, 0, INT32_MAX));
}

void FastDrawing::GetImageData2D(PictureSurface& SrcPictureBox, PixelArray& ImageData,
                                 bool CorrectOrientation) const {
  const std::int32_t width = SrcPictureBox.BitmapWidth();
  const std::int32_t height = SrcPictureBox.BitmapHeight();
  ImageData = PixelArray(width, height);
  if (!CorrectOrientation) {
    ReadScanLines(SrcPictureBox, ImageData.Bytes(), ToSize(ImageData.RowBytes()));
    return;
  }
  PixelArray bottomUp(width, height);
  ReadScanLines(SrcPictureBox, bottomUp.Bytes(), ToSize(bottomUp.RowBytes()));
  const std::size_t lineBytes = ToSize(width) * 3;
  for (std::int32_t row = 0; row < ImageData.Height(); ++row) {
    std::memcpy(ImageData.Row(row), bottomUp.Row(ImageData.Height() - 1 - row), lineBytes);
  }
}

void FastDrawing::SetImageData2D(PictureSurface& DstPictureBox, const std::int32_t& OriginalWidth,
                                 const std::int32_t& OriginalHeight, const PixelArray& ImageData,
                                 bool CorrectOrientation) const {
  const std::size_t stride = ToSize(PixelArray::RowBytesFor(OriginalWidth));
  RequireSource(ImageData.Bytes().size(), stride, OriginalHeight, "SetImageData2D");
  DstPictureBox.SetStretchMode(kStretchColorOnColor);
  StretchToSurface(DstPictureBox, ImageData.Bytes(), OriginalWidth, OriginalHeight, stride, CorrectOrientation);
  FinishSet(DstPictureBox);
}

void FastDrawing::GetImageData(PictureSurface& SrcPictureBox, PixelArray3D& ImageData) const {
  ImageData.width = std::max(0, SrcPictureBox.BitmapWidth());
  ImageData.height = std::max(0, SrcPictureBox.BitmapHeight());
  ImageData.bytes.assign(ToSize(ImageData.width) * 3 * ToSize(ImageData.height), 0);
  ReadScanLines(SrcPictureBox, ImageData.bytes, ToSize(ImageData.width) * 3);
}

void FastDrawing::SetImageData(PictureSurface& DstPictureBox, const std::int32_t& OriginalWidth,
                               const std::int32_t& OriginalHeight, const PixelArray3D& ImageData) const {
  const std::size_t stride = ToSize(OriginalWidth) * 3;
  RequireSource(ImageData.bytes.size(), stride, OriginalHeight, "SetImageData");
  DstPictureBox.SetStretchMode(kStretchColorOnColor);
  StretchToSurface(DstPictureBox, ImageData.bytes, OriginalWidth, OriginalHeight, stride, false);
  FinishSet(DstPictureBox);
}

void FastDrawing::GetImageDataStream(PictureSurface& SrcPictureBox, std::vector<std::uint8_t>& ImageData) const {
  const std::int32_t length = GetImageStreamLength(SrcPictureBox);
  ImageData.assign(ToSize(length) + 1, 0);
  ReadScanLines(SrcPictureBox, ImageData, ToSize(SrcPictureBox.BitmapWidth()) * 3);
}

void FastDrawing::SetImageDataStream(PictureSurface& DstPictureBox, const std::int32_t& OriginalWidth,
                                     const std::int32_t& OriginalHeight,
                                     std::span<const std::uint8_t> ImageData) const {
  const std::size_t stride = ToSize(OriginalWidth) * 3;
  RequireSource(ImageData.size(), stride, OriginalHeight, "SetImageDataStream");
  StretchToSurface(DstPictureBox, ImageData, OriginalWidth, OriginalHeight, stride, false);
  FinishSet(DstPictureBox);
}

void FastDrawing::FinishSet(PictureSurface& surface) const {
  surface.BitmapChanged();
  if (surface.AutoRedraw()) {
    surface.SetPictureFromImage();
    surface.Refresh();
  }
  events_->LetEventsRun();
}

MemorySurface::MemorySurface(std::int32_t width, std::int32_t height, bool autoRedraw)
    : width_(std::max(0, width)),
      height_(std::max(0, height)),
      auto_redraw_(autoRedraw),
      bits_(ToSize(width_) * 3 * ToSize(height_), 0) {}

std::array<std::uint8_t, 3> MemorySurface::PixelAt(std::int32_t x, std::int32_t y) {
  const std::uint8_t* p = ScanLine(height_ - 1 - y) + static_cast<std::size_t>(x) * 3;
  return {p[0], p[1], p[2]};
}

void MemorySurface::SetPixel(std::int32_t x, std::int32_t y, std::array<std::uint8_t, 3> bgr) {
  std::uint8_t* p = ScanLine(height_ - 1 - y) + static_cast<std::size_t>(x) * 3;
  p[0] = bgr[0];
  p[1] = bgr[1];
  p[2] = bgr[2];
}

}  // namespace brindlet
