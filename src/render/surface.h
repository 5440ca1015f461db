// Picture surfaces, and moving pixels between them and pixel arrays.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <span>
#include <vector>

#include "render/events.h"
#include "render/pixel_array.h"

namespace brindlet {

// A rectangle of a picture in pixels, x to the right and y down from its
// top-left corner; `right` and `bottom` are one past the last pixel.
struct PixelRect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;

  bool Empty() const { return right <= left || bottom <= top; }
  friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// The pixels of `bands` in the banded form a window system's region is
// made of, appended to `out`: rectangles that do not overlap, in rows of
// equal top and bottom from the top, each row left to right with gaps
// between them. A band is a run of rectangles that share their top and
// bottom, left to right and apart; the bands come by their tops, and one
// may overlap the ones before it (as the screen pixels that scaled bands
// of a picture reach do).
void CoverInBands(std::span<const PixelRect> bands, std::vector<PixelRect>& out);

// The scan lines of a bitmap, counted from the bottom (0 = bottom line):
// line `row` starts `row * up` pixels after the bottom one, so `up` is
// negative for a bitmap kept top line first.
struct ScanLines {
  std::uint32_t* bottom = nullptr;
  std::ptrdiff_t up = 0;
  std::uint32_t* operator[](std::int32_t row) const { return bottom + row * up; }
};

class PictureScaler;

// Screen pixels that show a surface's picture scaled (see render/scale.h):
// the scaler from the picture to them and their lines, line y starting at
// pixels + y * pitch (in pixels). No scaler: none.
struct ScaledScreen {
  const PictureScaler* scaler = nullptr;
  std::uint32_t* pixels = nullptr;
  std::ptrdiff_t pitch = 0;
};

// A picture surface of a window: a persistent bitmap of Width() x Height()
// pixels in the screen's native 32-bit format, 0xffRRGGBB per pixel, so that
// showing it is a plain copy.
class PictureSurface {
 public:
  virtual ~PictureSurface() = default;
  virtual std::int32_t Width() const = 0;
  virtual std::int32_t Height() const = 0;
  // The Height() scan lines of Width() pixels each. They stay where they are
  // until the surface is resized, so a presentation asks once.
  virtual ScanLines Lines() = 0;
  // Scan line `row` counted from the bottom (0 = bottom line).
  std::uint32_t* Line(std::int32_t row) { return Lines()[row]; }
  // A new picture is written between BeginChange and EndChange, only within
  // `within` (banded as Changed's areas are), into the scan lines that
  // BeginChange hands out; they may differ from Lines() outside a change.
  // What those lines hold within `within` may be anything (a window system
  // may clear it, or hand out an older buffer): the writer writes every
  // pixel there.
  virtual ScanLines BeginChange(std::span<const PixelRect> /*within*/) { return Lines(); }
  virtual void EndChange() {}
  // Asked after BeginChange: the screen pixels a surface that shows its
  // picture scaled has open for this change. The writer then scales each
  // band of what it writes into them as soon as the band is written, while
  // its lines are still cached, before reporting the change (by Changed):
  // every screen pixel that depends on the band's areas. A surface that
  // gives none works out its screen pixels itself, if it has any.
  virtual ScaledScreen ScreenToScale() { return {}; }
  // False once the surface has lost the picture last set on it (a window
  // system took its memory back): the next picture is then set whole.
  virtual bool KeepsPicture() const { return true; }
  // The pixels within `areas` changed: show them at the next paint. A new
  // picture reports what it wrote, once, before its change ends, in bands of
  // rows from the top: the areas of one band share their top and bottom and
  // run left to right with gaps between them, and each band lies below the
  // one before.
  virtual void Changed(std::span<const PixelRect> /*areas*/) {}
  // False while nobody can see the surface (its window is minimised or fully
  // covered): a picture set on it then is dropped instead of copied in.
  virtual bool Shown() const { return true; }

  // Which picture the surface holds: every picture written into it, and
  // every change a surface makes to its own bitmap (a resize), takes a
  // number no picture on any surface had before (0: none yet), so that a
  // frame can tell whether the surface still holds the one it presented.
  std::uint64_t PictureNumber() const { return picture_number_; }
  void NumberNewPicture() { picture_number_ = last_picture_number_.fetch_add(1, std::memory_order_relaxed) + 1; }

 private:
  std::uint64_t picture_number_ = 0;
  static inline std::atomic<std::uint64_t> last_picture_number_{0};
};

// A picture surface whose bitmap lives in memory: a window system's hidden
// bitmap, and every surface of the headless platform.
class MemorySurface : public PictureSurface {
 public:
  MemorySurface(std::int32_t width, std::int32_t height);

  std::int32_t Width() const override { return width_; }
  std::int32_t Height() const override { return height_; }
  ScanLines Lines() override { return {pixels_.data(), width_}; }
  bool Shown() const override { return shown; }

  // Pixel (x, y), y counted from the top of the picture, as {blue, green, red}.
  std::array<std::uint8_t, 3> PixelAt(std::int32_t x, std::int32_t y);
  void SetPixel(std::int32_t x, std::int32_t y, std::array<std::uint8_t, 3> bgr);

  bool shown = true;

 private:
  std::int32_t width_;
  std::int32_t height_;
  std::vector<std::uint32_t> pixels_;
};

// One scan line between 24-bit pixels (blue, green, red bytes) and the
// surface format. ConvertLine writes every pixel without reading `out`; it
// runs on vector units where the processor has them, and may read up to
// `readable` bytes from `bgr` (at least width * 3; 0 means just that).
void ConvertLine(const std::uint8_t* bgr, std::uint32_t* out, std::int32_t width, std::size_t readable = 0);
void PackLine(const std::uint32_t* in, std::uint8_t* bgr, std::int32_t width);

// The stateless operations between surfaces and arrays. Reading replaces the
// array whole; a Set operation replaces the whole picture of the surface,
// scaled to it by dropping or repeating scan lines and columns, and ends by
// letting pending window events run. A Set operation handed an array smaller
// than the picture it is told to show throws std::length_error instead of
// reading past the array.
std::int32_t GetImageWidth(const PictureSurface& surface);
std::int32_t GetImageHeight(const PictureSurface& surface);

// Rows 0..Height-1 of `data` receive the picture bottom-up, or top-down when
// `correctOrientation`; the extra row stays zero.
void GetImageData2D(PictureSurface& surface, PixelArray& data, bool correctOrientation);
void SetImageData2D(PictureSurface& surface, EventPump& events, std::int32_t originalWidth,
                    std::int32_t originalHeight, const PixelArray& data, bool correctOrientation);

// SetImageData2D(surface, events, width, height, frame, false) for a frame
// that only this call presents: when the surface still holds the frame as
// this call last presented it there, only the tiles of the frame that
// changed since are copied; otherwise (another picture was set on the
// surface since, or it lost its picture) the whole picture is copied.
void PresentChanges(PictureSurface& surface, EventPump& events, std::int32_t width, std::int32_t height,
                    PixelArray& frame);

}  // namespace brindlet
