#include "render/surface.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>
#include <utility>

#include "render/lanes.h"
#include "render/scale.h"

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define BRINDLET_VECTOR_LINES 1
#else
#define BRINDLET_VECTOR_LINES 0
#endif

namespace brindlet {
namespace {

constexpr std::uint32_t kOpaque = 0xff000000u;

std::size_t ToSize(std::int32_t v) { return v <= 0 ? 0 : static_cast<std::size_t>(v); }

// Refuse a picture that the array cannot hold: `rows` rows of `stride` bytes.
void RequireSource(std::size_t available, std::size_t stride, std::int32_t rows, const char* operation) {
  const std::size_t needed = stride * ToSize(rows);
  if (needed > available) {
    throw std::length_error(std::string(operation) + ": the pixel array holds " + std::to_string(available) +
                            " bytes, but the picture needs " + std::to_string(needed));
  }
}

inline std::uint32_t Expand(const std::uint8_t* p) {
  return kOpaque | static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16;
}

// Pixels [x, width) one at a time, written whatever `out` holds.
void ConvertTail(const std::uint8_t* bgr, std::uint32_t* out, std::int32_t x, std::int32_t width) {
  for (; x < width; ++x) out[x] = Expand(bgr + static_cast<std::size_t>(x) * 3);
}

void ConvertScalar(const std::uint8_t* bgr, std::uint32_t* out, std::int32_t width, std::size_t) {
  ConvertTail(bgr, out, 0, width);
}

#if BRINDLET_VECTOR_LINES
// Four pixels a group: 12 bytes spread into four words by one shuffle.
// Loads 16 bytes.
__attribute__((target("sse4.1"))) inline __m128i ExpandGroup(const std::uint8_t* p) {
  const __m128i spread = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
  const __m128i opaque = _mm_set1_epi32(static_cast<int>(kOpaque));
  return _mm_or_si128(_mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), spread), opaque);
}

// Four pixels a group, each group loading 16 bytes.
__attribute__((target("sse4.1"))) void ConvertSse41(const std::uint8_t* bgr, std::uint32_t* out, std::int32_t width,
                                                    std::size_t readable) {
  std::int32_t x = 0;
  for (; x + 4 <= width && static_cast<std::size_t>(x) * 3 + 16 <= readable; x += 4) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), ExpandGroup(bgr + static_cast<std::size_t>(x) * 3));
  }
  ConvertTail(bgr, out, x, width);
}

// Eight pixels a group: 24 bytes moved apart into the two 128-bit halves
// (bytes 0..11 low, 12..23 high) by one permute, then spread into words by
// one shuffle. Loads 32 bytes.
__attribute__((target("avx2"))) inline __m256i ExpandGroup8(const std::uint8_t* p) {
  const __m256i halves = _mm256_setr_epi32(0, 1, 2, 3, 3, 4, 5, 6);
  const __m256i spread = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1,  //
                                          0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
  const __m256i opaque = _mm256_set1_epi32(static_cast<int>(kOpaque));
  const __m256i apart =
      _mm256_permutevar8x32_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)), halves);
  return _mm256_or_si256(_mm256_shuffle_epi8(apart, spread), opaque);
}

// Eight pixels a group, each group loading 32 bytes.
__attribute__((target("avx2"))) void ConvertAvx2(const std::uint8_t* bgr, std::uint32_t* out, std::int32_t width,
                                                 std::size_t readable) {
  std::int32_t x = 0;
  for (; x + 8 <= width && static_cast<std::size_t>(x) * 3 + 32 <= readable; x += 8) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x), ExpandGroup8(bgr + static_cast<std::size_t>(x) * 3));
  }
  ConvertTail(bgr, out, x, width);
}
#endif

// The line conversions for this processor, within the lane cap: plain below
// 2 lanes, SSE4.1 at 2, AVX2 from 4.
struct LineFunctions {
  void (*convert)(const std::uint8_t*, std::uint32_t*, std::int32_t, std::size_t) = ConvertScalar;
};

LineFunctions ChooseLineFunctions() {
#if BRINDLET_VECTOR_LINES
  __builtin_cpu_init();
  const int lanes = VectorLaneCap();
  if (lanes >= 4 && __builtin_cpu_supports("avx2")) return {ConvertAvx2};
  if (lanes >= 2 && __builtin_cpu_supports("sse4.1")) return {ConvertSse41};
#endif
  return {};
}

const LineFunctions& LineFunctionsHere() {
  static const LineFunctions functions = ChooseLineFunctions();
  return functions;
}

void ReadLines(PictureSurface& surface, std::span<std::uint8_t> dst, std::size_t dstStride) {
  const std::int32_t width = std::max(0, surface.Width());
  const std::size_t lineBytes = ToSize(width) * 3;
  const std::int32_t height = surface.Height();
  const ScanLines lines = surface.Lines();
  for (std::int32_t row = 0; row < height; ++row) {
    const std::size_t offset = static_cast<std::size_t>(row) * dstStride;
    if (offset + lineBytes > dst.size()) break;
    PackLine(lines[row], dst.data() + offset, width);
  }
}

// Changed areas of one band at most this many pixels apart are reported as
// one.
constexpr std::int32_t kJoinGap = 96;

// The areas a presentation reports, gathered so that the surface hears of
// them all at once, and the tiles it may write. The lists are kept from one
// presentation to the next, so that a frame allocates nothing once they
// have grown.
std::vector<PixelRect>& ChangeList() {
  thread_local std::vector<PixelRect> list;
  list.clear();
  return list;
}

std::vector<PixelRect>& TileList() {
  thread_local std::vector<PixelRect> list;
  list.clear();
  return list;
}

// A change of a surface's picture, ended however the writing ends.
class Change {
 public:
  Change(PictureSurface& surface, std::span<const PixelRect> within)
      : surface_(surface), lines_(surface.BeginChange(within)) {
    surface.NumberNewPicture();
  }
  ~Change() { surface_.EndChange(); }
  Change(const Change&) = delete;
  Change& operator=(const Change&) = delete;
  const ScanLines& lines() const { return lines_; }

 private:
  PictureSurface& surface_;
  ScanLines lines_;
};

// The picture's lines from the top, as the scaler reads them.
struct TopDown {
  const std::uint32_t* top;
  std::ptrdiff_t pitch;
};

TopDown FromTop(const ScanLines& lines, std::int32_t height) { return {lines[height - 1], -lines.up}; }

// Scales into `screen` the screen pixels that depend on `areas` (one band's,
// left to right), each run of touching reaches at once.
void ScaleBand(const ScaledScreen& screen, const TopDown& picture, std::span<const PixelRect> areas) {
  PixelRect pending;
  for (const PixelRect& area : areas) {
    const PixelRect reach = screen.scaler->Reach(area);
    if (!pending.Empty() && reach.left <= pending.right) {
      pending.right = std::max(pending.right, reach.right);
      continue;
    }
    screen.scaler->Scale(picture.top, picture.pitch, screen.pixels, screen.pitch, pending);
    pending = reach;
  }
  screen.scaler->Scale(picture.top, picture.pitch, screen.pixels, screen.pitch, pending);
}

// Replace the whole picture of `surface` with the `srcWidth` x `srcHeight`
// picture in `src` (rows `srcStride` bytes apart, bottom-up unless
// `topDown`), scaled by dropping or repeating scan lines and columns, and
// report it changed whole. False when either picture is empty, and nothing
// was written.
bool StretchToSurface(PictureSurface& surface, std::span<const std::uint8_t> src, std::int32_t srcWidth,
                      std::int32_t srcHeight, std::size_t srcStride, bool topDown) {
  const std::int32_t width = surface.Width();
  const std::int32_t height = surface.Height();
  if (width <= 0 || height <= 0 || srcWidth <= 0 || srcHeight <= 0) return false;
  const PixelRect whole{0, 0, width, height};
  const Change scope(surface, {&whole, 1});
  const ScanLines& lines = scope.lines();
  for (std::int32_t row = 0; row < height; ++row) {
    // Nearest source line for this screen line.
    const std::int32_t screenRow = height - 1 - row;
    const auto srcScreenRow = static_cast<std::int32_t>(static_cast<std::int64_t>(screenRow) * srcHeight / height);
    const std::int32_t srcRow = topDown ? srcScreenRow : srcHeight - 1 - srcScreenRow;
    const std::size_t at = static_cast<std::size_t>(srcRow) * srcStride;
    std::uint32_t* out = lines[row];
    if (srcWidth == width) {
      // The rest of the source may be read past this line's end.
      ConvertLine(src.data() + at, out, width, src.size() - at);
      continue;
    }
    // Columns picked one by one.
    for (std::int32_t x = 0; x < width; ++x) {
      out[x] = Expand(src.data() + at + static_cast<std::size_t>(static_cast<std::int64_t>(x) * srcWidth / width) * 3);
    }
  }
  if (const ScaledScreen screen = surface.ScreenToScale(); screen.scaler != nullptr) {
    ScaleBand(screen, FromTop(lines, height), {&whole, 1});
  }
  surface.Changed({&whole, 1});
  return true;
}

// The tiles of `frame` changed since its last presentation, copied to the
// surface, which shows that presentation and has the frame's size. They are
// written whole, without reading what the surface holds: its lines have
// left the caches since the last tick, and fetching them to compare costs
// more than writing them. Each run of tiles is reported whole.
void CopyChangedTiles(PictureSurface& surface, PixelArray& frame) {
  const std::int32_t height = frame.Height();
  const std::size_t stride = ToSize(frame.RowBytes());
  const std::span<const std::uint8_t> bytes = std::as_const(frame).Bytes();
  const std::span<const TileRun> runs = frame.Runs(PixelArray::kChanged, height);
  // Array row r is screen row height - 1 - r; the runs come top first.
  std::vector<PixelRect>& tiles = TileList();
  std::vector<PixelRect>& changes = ChangeList();
  for (const TileRun& run : runs) {
    const PixelRect area{run.left, height - run.endRow, run.right, height - run.firstRow};
    tiles.push_back(area);
    // A run close to the one before it in the band joins it in the report:
    // every area costs the window system a request of its own, worth more
    // than a short gap's pixels.
    if (!changes.empty() && changes.back().top == area.top && area.left - changes.back().right <= kJoinGap) {
      changes.back().right = area.right;
    } else {
      changes.push_back(area);
    }
  }
  const Change scope(surface, tiles);
  const ScanLines& lines = scope.lines();
  const ScaledScreen screen = surface.ScreenToScale();
  const TopDown picture = FromTop(lines, height);
  std::size_t scaled = 0;  // the first of `changes` not scaled yet
  const auto at = [&](const TileRun& run, std::int32_t row) {
    return static_cast<std::size_t>(row) * stride + static_cast<std::size_t>(run.left) * 3;
  };
  ForEachRunRow(
      runs,
      [&](const TileRun& run, std::int32_t row) {
        Prefetch(bytes.data() + at(run, row), static_cast<std::size_t>(run.right - run.left) * 3);
        Prefetch(lines[row] + run.left, static_cast<std::size_t>(run.right - run.left) * 4);
      },
      [&](const TileRun& run, std::int32_t row) {
        ConvertLine(bytes.data() + at(run, row), lines[row] + run.left, run.right - run.left,
                    bytes.size() - at(run, row));
        // The last line of a band: the band's areas are scaled now.
        if (screen.scaler == nullptr || row + 1 < run.endRow || (&run + 1 != runs.data() + runs.size() &&
                                                                 (&run + 1)->firstRow == run.firstRow)) {
          return;
        }
        const std::size_t first = scaled;
        while (scaled < changes.size() && changes[scaled].top == changes[first].top) ++scaled;
        ScaleBand(screen, picture, std::span(changes).subspan(first, scaled - first));
      });
  if (!changes.empty()) surface.Changed(changes);
}

void SetPicture(PictureSurface& surface, EventPump& events, std::span<const std::uint8_t> src, std::int32_t width,
                std::int32_t height, std::size_t stride, bool topDown, const char* operation) {
  RequireSource(src.size(), stride, height, operation);
  // A surface nobody can see receives nothing; either way events run after.
  if (surface.Shown()) StretchToSurface(surface, src, width, height, stride, topDown);
  events.LetEventsRun();
}

}  // namespace

void CoverInBands(std::span<const PixelRect> bands, std::vector<PixelRect>& out) {
  // Cut at every top and bottom, each slice between two cuts takes the
  // spans of every band across it, merged; a slice with the same spans as
  // the one above it extends that one.
  thread_local std::vector<std::int32_t> cuts;
  thread_local std::vector<std::pair<std::int32_t, std::int32_t>> spans;
  cuts.clear();
  for (const PixelRect& r : bands) {
    cuts.push_back(r.top);
    cuts.push_back(r.bottom);
  }
  std::sort(cuts.begin(), cuts.end());
  cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
  std::size_t first = 0;       // no band before it reaches below the slice's top
  std::size_t aboveFirst = 0;  // the slice above, in `out`
  std::size_t aboveEnd = 0;
  for (std::size_t c = 0; c + 1 < cuts.size(); ++c) {
    const std::int32_t top = cuts[c];
    const std::int32_t bottom = cuts[c + 1];
    while (first < bands.size() && bands[first].bottom <= top) ++first;
    spans.clear();
    for (std::size_t i = first; i < bands.size() && bands[i].top <= top; ++i) {
      if (bands[i].bottom > top && !bands[i].Empty()) spans.emplace_back(bands[i].left, bands[i].right);
    }
    std::sort(spans.begin(), spans.end());
    std::size_t merged = 0;
    for (const auto& span : spans) {
      if (merged > 0 && span.first <= spans[merged - 1].second) {
        spans[merged - 1].second = std::max(spans[merged - 1].second, span.second);
      } else {
        spans[merged++] = span;
      }
    }
    spans.resize(merged);
    const bool same = aboveEnd - aboveFirst == merged && aboveEnd > aboveFirst && out[aboveFirst].bottom == top &&
                      std::equal(spans.begin(), spans.end(), out.begin() + static_cast<std::ptrdiff_t>(aboveFirst),
                                 [](const auto& span, const PixelRect& r) {
                                   return span.first == r.left && span.second == r.right;
                                 });
    if (same) {
      for (std::size_t i = aboveFirst; i < aboveEnd; ++i) out[i].bottom = bottom;
      continue;
    }
    aboveFirst = out.size();
    for (const auto& [left, right] : spans) out.push_back({left, top, right, bottom});
    aboveEnd = out.size();
  }
}

void ConvertLine(const std::uint8_t* bgr, std::uint32_t* out, std::int32_t width, std::size_t readable) {
  if (width <= 0) return;
  LineFunctionsHere().convert(bgr, out, width, std::max(readable, static_cast<std::size_t>(width) * 3));
}

void PackLine(const std::uint32_t* in, std::uint8_t* bgr, std::int32_t width) {
  for (std::int32_t x = 0; x < width; ++x) {
    const std::uint32_t pixel = in[x];
    bgr[x * 3] = static_cast<std::uint8_t>(pixel);
    bgr[x * 3 + 1] = static_cast<std::uint8_t>(pixel >> 8);
    bgr[x * 3 + 2] = static_cast<std::uint8_t>(pixel >> 16);
  }
}

std::int32_t GetImageWidth(const PictureSurface& surface) { return surface.Width(); }

std::int32_t GetImageHeight(const PictureSurface& surface) { return surface.Height(); }

void GetImageData2D(PictureSurface& surface, PixelArray& data, bool correctOrientation) {
  const std::int32_t width = surface.Width();
  const std::int32_t height = surface.Height();
  data = PixelArray(width, height);
  ReadLines(surface, data.Bytes(), ToSize(data.RowBytes()));
  if (!correctOrientation) return;
  // Reverse the row order in place: row i then holds screen row i.
  std::vector<std::uint8_t> line(ToSize(data.RowBytes()));
  for (std::int32_t top = 0, bottom = data.Height() - 1; top < bottom; ++top, --bottom) {
    std::memcpy(line.data(), data.Row(top), line.size());
    std::memcpy(data.Row(top), data.Row(bottom), line.size());
    std::memcpy(data.Row(bottom), line.data(), line.size());
  }
}

void SetImageData2D(PictureSurface& surface, EventPump& events, std::int32_t originalWidth,
                    std::int32_t originalHeight, const PixelArray& data, bool correctOrientation) {
  SetPicture(surface, events, data.Bytes(), originalWidth, originalHeight,
             ToSize(PixelArray::RowBytesFor(originalWidth)), correctOrientation, "SetImageData2D");
}

void PresentChanges(PictureSurface& surface, EventPump& events, std::int32_t width, std::int32_t height,
                    PixelArray& frame) {
  const std::size_t stride = ToSize(PixelArray::RowBytesFor(width));
  RequireSource(std::as_const(frame).Bytes().size(), stride, height, "SetImageData2D");
  if (!surface.Shown()) {
    // Dropped: the changes stay counted until the surface shows them.
    events.LetEventsRun();
    return;
  }
  const bool showsLast = frame.PresentedPicture() != 0 && frame.PresentedPicture() == surface.PictureNumber() &&
                         surface.KeepsPicture() && !frame.AllChanged() &&
                         width == frame.Width() && height == frame.Height() && surface.Width() == width &&
                         surface.Height() == height;
  bool written = true;
  if (showsLast) {
    CopyChangedTiles(surface, frame);
  } else {
    written = StretchToSurface(surface, std::as_const(frame).Bytes(), width, height, stride, false);
  }
  // An empty surface or frame took nothing: the changes stay counted.
  if (written) frame.Presented(surface.PictureNumber());
  events.LetEventsRun();
}

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

}  // namespace brindlet
