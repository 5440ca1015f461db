#include "headless/headless_platform.h"

#include <algorithm>

namespace brindlet {

MemorySurface::MemorySurface(std::int32_t width, std::int32_t height)
    : width_(std::max(0, width)),
      height_(std::max(0, height)),
      pixels_(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), 0xff000000u) {}

std::array<std::uint8_t, 3> MemorySurface::PixelAt(std::int32_t x, std::int32_t y) {
  const std::uint32_t pixel = Line(height_ - 1 - y)[x];
  return {static_cast<std::uint8_t>(pixel), static_cast<std::uint8_t>(pixel >> 8),
          static_cast<std::uint8_t>(pixel >> 16)};
}

void MemorySurface::SetPixel(std::int32_t x, std::int32_t y, std::array<std::uint8_t, 3> bgr) {
  Line(height_ - 1 - y)[x] = 0xff000000u | bgr[0] | static_cast<std::uint32_t>(bgr[1]) << 8 |
                             static_cast<std::uint32_t>(bgr[2]) << 16;
}

HeadlessPlatform::HeadlessPlatform(std::int32_t width, std::int32_t height)
    : background(width, height), playfield(width, height) {}

void HeadlessPlatform::LetEventsRun() {
  ++yields_;
  if (!at_yield || depth_ >= max_depth) return;
  ++depth_;
  struct Leave {
    int& depth;
    ~Leave() { --depth; }
  } leave{depth_};
  at_yield();
}

void HeadlessPlatform::SizePlayfield(std::int32_t imageWidth, std::int32_t imageHeight) {
  if (playfield.Width() == imageWidth && playfield.Height() == imageHeight) return;
  MemorySurface resized(imageWidth, imageHeight);
  resized.auto_redraw = playfield.auto_redraw;
  resized.shown = playfield.shown;
  playfield = resized;
}

void HeadlessPlatform::Close(Window window) {
  visible[Index(window)] = false;
  closed[Index(window)] = true;
}

}  // namespace brindlet
