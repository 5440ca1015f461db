#include "render/scale.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace brindlet {
namespace {

// a blended toward b by w/256, each 8-bit channel apart and rounded; the
// result is opaque.
inline std::uint32_t Blend(std::uint32_t a, std::uint32_t b, std::uint32_t w) {
  const std::uint32_t v = 256 - w;
  const std::uint32_t rb = (((a & 0xff00ffu) * v + (b & 0xff00ffu) * w + 0x800080u) >> 8) & 0xff00ffu;
  const std::uint32_t g = (((a & 0x00ff00u) * v + (b & 0x00ff00u) * w + 0x008000u) >> 8) & 0x00ff00u;
  return 0xff000000u | rb | g;
}

#if defined(__SSE2__)
// Blend for four pixels at once, with a weight per pixel (w, 16 bits in each
// of a pixel's four channel lanes; wLow for the first two pixels). Each
// channel is a * (256 - w) + b * w + 128, at most 255 * 256 + 128: it fits
// 16 bits.
inline __m128i Blend4(__m128i a, __m128i b, __m128i wLow, __m128i wHigh) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i full = _mm_set1_epi16(256);
  const __m128i half_step = _mm_set1_epi16(128);
  const auto half = [&](__m128i x, __m128i y, __m128i w) {
    const __m128i sum = _mm_add_epi16(_mm_mullo_epi16(x, _mm_sub_epi16(full, w)), _mm_mullo_epi16(y, w));
    return _mm_srli_epi16(_mm_add_epi16(sum, half_step), 8);
  };
  const __m128i low = half(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(b, zero), wLow);
  const __m128i high = half(_mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(b, zero), wHigh);
  return _mm_or_si128(_mm_packus_epi16(low, high), _mm_set1_epi32(static_cast<int>(0xff000000u)));
}
#endif

// out[x] = in[at[x]] blended toward in[at[x] + 1] by the column's weight.
void BlendAcross(const std::uint32_t* in, const std::int32_t* at, const std::uint16_t* weights, std::uint32_t* out,
                 std::int32_t left, std::int32_t right) {
  std::int32_t x = left;
#if defined(__SSE2__)
  // A column's two pixels lie side by side: one 64-bit load takes both.
  const auto pair = [&](std::int32_t column) {
    return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(in + at[column]));
  };
  for (; x + 4 <= right; x += 4) {
    // [a0 b0 a1 b1] and [a2 b2 a3 b3], then the a's and the b's together.
    const __m128i first = _mm_shuffle_epi32(_mm_unpacklo_epi64(pair(x), pair(x + 1)), _MM_SHUFFLE(3, 1, 2, 0));
    const __m128i second = _mm_shuffle_epi32(_mm_unpacklo_epi64(pair(x + 2), pair(x + 3)), _MM_SHUFFLE(3, 1, 2, 0));
    const __m128i a = _mm_unpacklo_epi64(first, second);
    const __m128i b = _mm_unpackhi_epi64(first, second);
    const __m128i wLow = _mm_loadu_si128(reinterpret_cast<const __m128i*>(weights + 4 * x));
    const __m128i wHigh = _mm_loadu_si128(reinterpret_cast<const __m128i*>(weights + 4 * x + 8));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), Blend4(a, b, wLow, wHigh));
  }
#endif
  for (; x < right; ++x) out[x] = Blend(in[at[x]], in[at[x] + 1], weights[4 * x]);
}

// A line enlarged by one and a half across: every two picture pixels p, q
// become the screen pixels p, (p + q) / 2, q. Those are the weights 0, 128
// and 0 the general blend gives there, and a blend by 128 is the rounded-up
// mean of each channel, so this is the general blend's result, done with
// shuffles and one byte average per four screen pixels.
void ThreeHalvesAcross(const std::uint32_t* in, std::uint32_t* out, std::int32_t left, std::int32_t right) {
  const auto one = [&](std::int32_t x) {
    const std::uint32_t p = in[x / 3 * 2];
    const std::uint32_t q = in[x / 3 * 2 + 1];
    const std::uint32_t mean = (p | q) - (((p ^ q) >> 1) & 0x7f7f7f7fu);
    out[x] = 0xff000000u | (x % 3 == 0 ? p : x % 3 == 1 ? mean : q);
  };
  std::int32_t x = left;
  for (; x < right && x % 3 != 0; ++x) one(x);
#if defined(__SSE2__)
  const __m128 opaque = _mm_castsi128_ps(_mm_set1_epi32(static_cast<int>(0xff000000u)));
  for (; x + 12 <= right; x += 12) {
    // Eight picture pixels p0..p7 make twelve screen pixels.
    const __m128 low = _mm_loadu_ps(reinterpret_cast<const float*>(in + x / 3 * 2));
    const __m128 high = _mm_loadu_ps(reinterpret_cast<const float*>(in + x / 3 * 2 + 4));
    const __m128i even = _mm_castps_si128(_mm_shuffle_ps(low, high, _MM_SHUFFLE(2, 0, 2, 0)));
    const __m128i odd = _mm_castps_si128(_mm_shuffle_ps(low, high, _MM_SHUFFLE(3, 1, 3, 1)));
    const __m128 mean = _mm_castsi128_ps(_mm_avg_epu8(even, odd));  // m01 m23 m45 m67
    // p0 m01 p1 p2 | m23 p3 p4 m45 | p5 p6 m67 p7
    const __m128 first = _mm_shuffle_ps(_mm_unpacklo_ps(low, mean), low, _MM_SHUFFLE(2, 1, 1, 0));
    const __m128 second = _mm_shuffle_ps(_mm_shuffle_ps(mean, low, _MM_SHUFFLE(3, 3, 1, 1)),
                                         _mm_shuffle_ps(high, mean, _MM_SHUFFLE(2, 2, 0, 0)), _MM_SHUFFLE(2, 0, 2, 0));
    const __m128 third = _mm_shuffle_ps(high, _mm_shuffle_ps(mean, high, _MM_SHUFFLE(3, 3, 3, 3)), _MM_SHUFFLE(2, 0, 2, 1));
    _mm_storeu_ps(reinterpret_cast<float*>(out + x), _mm_or_ps(first, opaque));
    _mm_storeu_ps(reinterpret_cast<float*>(out + x + 4), _mm_or_ps(second, opaque));
    _mm_storeu_ps(reinterpret_cast<float*>(out + x + 8), _mm_or_ps(third, opaque));
  }
#endif
  for (; x < right; ++x) one(x);
}

// out[x] = a[x] blended toward b[x] by w.
void BlendDown(const std::uint32_t* a, const std::uint32_t* b, std::uint32_t w, std::uint32_t* out,
               std::int32_t left, std::int32_t right) {
  std::int32_t x = left;
#if defined(__SSE2__)
  const __m128i weight = _mm_set1_epi16(static_cast<short>(w));
  if (w == 128) {
    // Halfway: the rounded-up mean of each channel, as the blend gives it.
    const __m128i opaque = _mm_set1_epi32(static_cast<int>(0xff000000u));
    for (; x + 4 <= right; x += 4) {
      const __m128i pa = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + x));
      const __m128i pb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + x));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_or_si128(_mm_avg_epu8(pa, pb), opaque));
    }
  }
  for (; x + 4 <= right; x += 4) {
    const __m128i pa = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + x));
    const __m128i pb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + x));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), Blend4(pa, pb, weight, weight));
  }
#endif
  for (; x < right; ++x) out[x] = Blend(a[x], b[x], w);
}

}  // namespace

void PictureScaler::MakeTaps(std::vector<Tap>& taps, std::int32_t from, std::int32_t to, bool whole) {
  taps.assign(static_cast<std::size_t>(std::max(0, to)), Tap{});
  if (from <= 0) return;
  for (std::int32_t x = 0; x < to; ++x) {
    Tap& tap = taps[static_cast<std::size_t>(x)];
    if (whole) {
      tap.at = static_cast<std::int32_t>(static_cast<std::int64_t>(x) * from / to);
      continue;
    }
    if (to > from) {
      // Enlarged: the screen pixel covers [x, x + 1) * from / to of the
      // picture, inside one picture pixel (a copy of it) or across the
      // edge of two (their blend by how much of each it covers). Counted
      // in 1/to of a picture pixel to stay whole.
      const std::int64_t start = static_cast<std::int64_t>(x) * from;
      const std::int64_t end = start + from;
      tap.at = static_cast<std::int32_t>(start / to);
      const std::int64_t edge = (static_cast<std::int64_t>(tap.at) + 1) * to;
      if (end > edge && tap.at + 1 < from) {
        tap.weight = static_cast<std::uint32_t>(((end - edge) * 256 + from / 2) / from);
      }
      continue;
    }
    // Shrunk: the linear blend of the two picture pixels around the screen
    // pixel's centre. The centre in picture pixels, less a half so that 0
    // is the first picture pixel's centre, times 2 * to to stay whole.
    const std::int64_t twice = 2 * static_cast<std::int64_t>(to);
    const std::int64_t at = std::max<std::int64_t>(0, (2 * static_cast<std::int64_t>(x) + 1) * from - to);
    tap.at = static_cast<std::int32_t>(at / twice);
    std::int64_t rest = at % twice;
    if (tap.at >= from - 1) {
      // Past the last centre: the last pixel alone.
      tap.at = from - 1;
      rest = 0;
    }
    tap.weight = static_cast<std::uint32_t>((rest * 256 + twice / 2) / twice);
  }
}

void PictureScaler::SetSizes(std::int32_t fromWidth, std::int32_t fromHeight, std::int32_t toWidth,
                             std::int32_t toHeight) {
  fromWidth = std::max(0, fromWidth), fromHeight = std::max(0, fromHeight);
  toWidth = std::max(0, toWidth), toHeight = std::max(0, toHeight);
  if (fromWidth == from_w_ && fromHeight == from_h_ && toWidth == ToWidth() && toHeight == ToHeight()) return;
  from_w_ = fromWidth;
  from_h_ = fromHeight;
  whole_ = fromWidth > 0 && fromHeight > 0 && toWidth % fromWidth == 0 && toHeight % fromHeight == 0;
  three_halves_ = !whole_ && 2 * static_cast<std::int64_t>(toWidth) == 3 * static_cast<std::int64_t>(fromWidth);
  MakeTaps(cols_, fromWidth, toWidth, whole_);
  MakeTaps(rows_, fromHeight, toHeight, whole_);
  // The columns' taps apart, each weight in four lanes (one a channel), for
  // blending lines across four pixels at a time.
  col_at_.resize(cols_.size());
  col_weights_.resize(4 * cols_.size());
  for (std::size_t x = 0; x < cols_.size(); ++x) {
    col_at_[x] = cols_[x].at;
    std::fill_n(col_weights_.begin() + static_cast<std::ptrdiff_t>(4 * x), 4,
                static_cast<std::uint16_t>(cols_[x].weight));
  }
  across_[0].resize(cols_.size());
  across_[1].resize(cols_.size());
}

PixelRect PictureScaler::Reach(const PixelRect& changed) const {
  // Along one axis: the screen pixels whose taps meet [first, end).
  const auto reach = [](const std::vector<Tap>& taps, std::int32_t first, std::int32_t end) {
    const auto lo = std::partition_point(taps.begin(), taps.end(), [&](const Tap& t) {
      return t.at + (t.weight > 0 ? 1 : 0) < first;
    });
    const auto hi = std::partition_point(lo, taps.end(), [&](const Tap& t) { return t.at < end; });
    return std::pair<std::int32_t, std::int32_t>(static_cast<std::int32_t>(lo - taps.begin()),
                                                 static_cast<std::int32_t>(hi - taps.begin()));
  };
  if (changed.Empty()) return {};
  const auto [left, right] = reach(cols_, changed.left, changed.right);
  const auto [top, bottom] = reach(rows_, changed.top, changed.bottom);
  return {left, top, right, bottom};
}

void PictureScaler::Scale(const std::uint32_t* from, std::ptrdiff_t fromPitch, std::uint32_t* to,
                          std::ptrdiff_t toPitch, PixelRect area) const {
  area.left = std::max(area.left, 0);
  area.top = std::max(area.top, 0);
  area.right = std::min(area.right, ToWidth());
  area.bottom = std::min(area.bottom, ToHeight());
  if (area.Empty() || from_w_ == 0 || from_h_ == 0) return;
  const std::size_t width = static_cast<std::size_t>(area.right - area.left);
  for (std::int32_t y = area.top; y < area.bottom; ++y) {
    std::uint32_t* out = to + y * toPitch;
    const Tap row = rows_[static_cast<std::size_t>(y)];
    if (whole_) {
      // A line that repeats the one above it is a copy of it.
      if (y > area.top && rows_[static_cast<std::size_t>(y - 1)].at == row.at) {
        std::memcpy(out + area.left, out - toPitch + area.left, width * 4);
        continue;
      }
      RepeatAcross(from + row.at * fromPitch, out, area.left, area.right);
      continue;
    }
    // Between ratios: each picture line the rows need is blended across
    // once (the last two are kept), then each screen row blends two of
    // them down.
    // A row that is one line blended across is blended straight into the
    // screen, and read from there by the rows after it.
    if (row.weight == 0) {
      const std::uint32_t* line = Across(from, fromPitch, row.at, -1, area, out);
      if (line != out) std::memcpy(out + area.left, line + area.left, width * 4);
    } else {
      const std::uint32_t* upper = Across(from, fromPitch, row.at, row.at + 1, area, nullptr);
      const std::uint32_t* lower = Across(from, fromPitch, row.at + 1, row.at, area, nullptr);
      BlendDown(upper, lower, row.weight, out, area.left, area.right);
    }
  }
  across_line_[0] = across_line_[1] = -1;
}

void PictureScaler::RepeatAcross(const std::uint32_t* in, std::uint32_t* out, std::int32_t left,
                                 std::int32_t right) const {
  const std::int32_t k = ToWidth() / from_w_;
  std::int32_t x = left;
  // Up to the first whole group of k screen pixels, then group by group.
  for (; x < right && x % k != 0; ++x) out[x] = in[x / k];
#if defined(__SSE2__)
  if (k == 2) {
    for (; x + 8 <= right; x += 8) {
      const __m128i four = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + x / 2));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_unpacklo_epi32(four, four));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x + 4), _mm_unpackhi_epi32(four, four));
    }
  }
#endif
  for (; x + k <= right; x += k) std::fill_n(out + x, k, in[x / k]);
  for (; x < right; ++x) out[x] = in[x / k];
}

const std::uint32_t* PictureScaler::Across(const std::uint32_t* from, std::ptrdiff_t fromPitch, std::int32_t line,
                                           std::int32_t keep, const PixelRect& area, std::uint32_t* into) const {
  for (int i = 0; i < 2; ++i) {
    if (across_line_[i] == line) return across_at_[i];
  }
  const int slot = across_line_[0] == keep ? 1 : 0;
  across_line_[slot] = line;
  std::uint32_t* out = into != nullptr ? into : across_[slot].data();
  across_at_[slot] = out;
  // The last column's neighbour is only ever weighed 0: a line's last
  // pixel stands in for it.
  std::int32_t end = area.right;
  while (end > area.left && col_at_[static_cast<std::size_t>(end - 1)] + 1 >= from_w_) --end;
  const std::uint32_t* in = from + line * fromPitch;
  if (three_halves_) {
    ThreeHalvesAcross(in, out, area.left, area.right);
    return out;
  }
  BlendAcross(in, col_at_.data(), col_weights_.data(), out, area.left, end);
  for (std::int32_t x = end; x < area.right; ++x) out[x] = in[from_w_ - 1];
  return out;
}

}  // namespace brindlet
