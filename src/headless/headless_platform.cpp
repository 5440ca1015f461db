#include "headless/headless_platform.h"

#include <algorithm>

namespace brindlet {

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
  resized.shown = playfield.shown;
  playfield = resized;
}

void HeadlessPlatform::Close(Window window) {
  visible[Index(window)] = false;
  closed[Index(window)] = true;
}

}  // namespace brindlet
