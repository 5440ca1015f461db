#include "render/scale.h"

#include <algorithm>
#include <cstring>

#include "render/lanes.h"
#include "render/prefetch.h"

// The lines are worked out on vector units where the compiler can target x86
// ones, the widest the processor has within VectorLaneCap() (chosen at run
// time); elsewhere one pixel at a time. All of them give the same bytes.
#include "render/x86_vectors.h"
#define BRINDLET_VECTOR_SCALE BRINDLET_X86_VECTORS

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

// A weight w in 256ths in the form the wider blends take it. They move a
// channel toward its target by the rounding multiply: a + ((b - a) * 128w
// + 2^14) / 2^15, rounded down, is a + ((b - a) * w + 128) / 256 rounded
// down, which is (a * (256 - w) + b * w + 128) / 256: the same bytes. A
// weight of 256 is taken as 32767, which gives b itself for every
// difference a channel can have.
inline std::int16_t Fixed(std::uint32_t w) { return static_cast<std::int16_t>(w >= 256 ? 32767 : w * 128); }

// The columns' taps, as the blends across read them: the picture column
// at a screen column's left, its neighbour's weight in four lanes (one a
// channel) and, for the wider blends, the same in their own form (see
// Fixed).
struct ScaleTables {
  const std::int32_t* at;
  const std::uint16_t* weights;
  const std::int16_t* fixedLow;
  const std::int16_t* fixedHigh;
};

// out[x] = in[at[x]] blended toward in[at[x] + 1] by the column's weight.
// `inWidth` is the line's length, which the wider versions do not read
// past.
using AcrossFunction = void (*)(const std::uint32_t* in, std::int32_t inWidth, const ScaleTables& tables,
                                std::uint32_t* out, std::int32_t left, std::int32_t right);
// out[x] = a[x] blended toward b[x] by w.
using DownFunction = void (*)(const std::uint32_t* a, const std::uint32_t* b, std::uint32_t w, std::uint32_t* out,
                              std::int32_t left, std::int32_t right);
// Screen pixels [left, right) of a line from `in` into `out`.
using LineFunction = void (*)(const std::uint32_t* in, std::uint32_t* out, std::int32_t left, std::int32_t right);

void BlendAcrossPlain(const std::uint32_t* in, std::int32_t, const ScaleTables& t, std::uint32_t* out,
                      std::int32_t left, std::int32_t right) {
  for (std::int32_t x = left; x < right; ++x) out[x] = Blend(in[t.at[x]], in[t.at[x] + 1], t.weights[4 * x]);
}

void BlendDownPlain(const std::uint32_t* a, const std::uint32_t* b, std::uint32_t w, std::uint32_t* out,
                    std::int32_t left, std::int32_t right) {
  for (std::int32_t x = left; x < right; ++x) out[x] = Blend(a[x], b[x], w);
}

// A line enlarged by one and a half across: every two picture pixels p, q
// become the screen pixels p, (p + q) / 2, q. Those are the weights 0, 128
// and 0 the general blend gives there, and a blend by 128 is the rounded-up
// mean of each channel, so this is the general blend's result.
inline void ThreeHalvesOne(const std::uint32_t* in, std::uint32_t* out, std::int32_t x) {
  const std::uint32_t p = in[x / 3 * 2];
  const std::uint32_t q = in[x / 3 * 2 + 1];
  const std::uint32_t mean = (p | q) - (((p ^ q) >> 1) & 0x7f7f7f7fu);
  out[x] = 0xff000000u | (x % 3 == 0 ? p : x % 3 == 1 ? mean : q);
}

void ThreeHalvesPlain(const std::uint32_t* in, std::uint32_t* out, std::int32_t left, std::int32_t right) {
  for (std::int32_t x = left; x < right; ++x) ThreeHalvesOne(in, out, x);
}

void CopyPlain(const std::uint32_t* in, std::uint32_t* out, std::int32_t left, std::int32_t right) {
  if (right > left) std::memcpy(out + left, in + left, static_cast<std::size_t>(right - left) * 4);
}

#if BRINDLET_VECTOR_SCALE
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

void BlendAcrossSse2(const std::uint32_t* in, std::int32_t inWidth, const ScaleTables& t, std::uint32_t* out,
                     std::int32_t left, std::int32_t right) {
  const std::int32_t* at = t.at;
  const std::uint16_t* weights = t.weights;
  std::int32_t x = left;
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
  BlendAcrossPlain(in, inWidth, t, out, x, right);
}

void BlendDownSse2(const std::uint32_t* a, const std::uint32_t* b, std::uint32_t w, std::uint32_t* out,
                   std::int32_t left, std::int32_t right) {
  std::int32_t x = left;
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
  BlendDownPlain(a, b, w, out, x, right);
}

// Done with shuffles and one byte average per four screen pixels.
void ThreeHalvesSse2(const std::uint32_t* in, std::uint32_t* out, std::int32_t left, std::int32_t right) {
  std::int32_t x = left;
  for (; x < right && x % 3 != 0; ++x) ThreeHalvesOne(in, out, x);
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
  ThreeHalvesPlain(in, out, x, right);
}

// The screen's lines are written past the caches: a frame's scaled parts
// are several times the picture's and nobody here reads them again, so
// fetching their old contents first (as an ordinary store does) only
// doubles the traffic. Whole 64-byte lines go by streaming stores, the
// partial ones at either end by ordinary ones.
void StreamSse2(const std::uint32_t* in, std::uint32_t* out, std::int32_t left, std::int32_t right) {
  std::int32_t x = left;
  const auto lineOffset = [&] { return reinterpret_cast<std::uintptr_t>(out + x) & 63; };
  const std::int32_t head = std::min(right, x + static_cast<std::int32_t>((64 - lineOffset()) & 63) / 4);
  CopyPlain(in, out, x, head);
  x = head;
  if (lineOffset() == 0) {
    for (; x + 16 <= right; x += 16) {
      for (int k = 0; k < 16; k += 4) {
        _mm_stream_si128(reinterpret_cast<__m128i*>(out + x + k),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + x + k)));
      }
    }
  }
  CopyPlain(in, out, x, right);
}

// Eight pixels at a time, on processors with AVX2.
#define BRINDLET_AVX2 __attribute__((target("avx2")))

// a toward b, pixels 0 1 4 5 by wLow and 2 3 6 7 by wHigh.
BRINDLET_AVX2 inline __m256i Blend8(__m256i a, __m256i b, __m256i wLow, __m256i wHigh) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i al = _mm256_unpacklo_epi8(a, zero);
  const __m256i ah = _mm256_unpackhi_epi8(a, zero);
  const __m256i low = _mm256_add_epi16(al, _mm256_mulhrs_epi16(_mm256_sub_epi16(_mm256_unpacklo_epi8(b, zero), al), wLow));
  const __m256i high = _mm256_add_epi16(ah, _mm256_mulhrs_epi16(_mm256_sub_epi16(_mm256_unpackhi_epi8(b, zero), ah), wHigh));
  return _mm256_or_si256(_mm256_packus_epi16(low, high), _mm256_set1_epi32(static_cast<int>(0xff000000u)));
}

// Eight columns take their pixels from the sixteen picture pixels from the
// first one's (the scaler checks that they lie within them), picked by
// permutes instead of loaded pair by pair.
BRINDLET_AVX2 void BlendAcrossAvx2(const std::uint32_t* in, std::int32_t inWidth, const ScaleTables& t,
                                   std::uint32_t* out, std::int32_t left, std::int32_t right) {
  std::int32_t x = left;
  for (; x < right && x % 4 != 0; ++x) out[x] = Blend(in[t.at[x]], in[t.at[x] + 1], t.weights[4 * x]);
  const __m256i one = _mm256_set1_epi32(1);
  const __m256i seven = _mm256_set1_epi32(7);
  for (; x + 8 <= right && t.at[x] + 16 <= inWidth; x += 8) {
    const std::int32_t first = t.at[x];
    const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + first));
    const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + first + 8));
    const __m256i i = _mm256_sub_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(t.at + x)),
                                       _mm256_set1_epi32(first));
    const __m256i j = _mm256_add_epi32(i, one);
    // Lanes 0..7 from the first eight pixels, 8..15 from the next.
    const __m256i a = _mm256_blendv_epi8(_mm256_permutevar8x32_epi32(low, i), _mm256_permutevar8x32_epi32(high, i),
                                         _mm256_cmpgt_epi32(i, seven));
    const __m256i b = _mm256_blendv_epi8(_mm256_permutevar8x32_epi32(low, j), _mm256_permutevar8x32_epi32(high, j),
                                         _mm256_cmpgt_epi32(j, seven));
    const __m256i wLow = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(t.fixedLow + 2 * x));
    const __m256i wHigh = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(t.fixedHigh + 2 * x));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x), Blend8(a, b, wLow, wHigh));
  }
  BlendAcrossSse2(in, inWidth, t, out, x, right);
}

BRINDLET_AVX2 void BlendDownAvx2(const std::uint32_t* a, const std::uint32_t* b, std::uint32_t w, std::uint32_t* out,
                                 std::int32_t left, std::int32_t right) {
  std::int32_t x = left;
  const __m256i opaque = _mm256_set1_epi32(static_cast<int>(0xff000000u));
  if (w == 128) {
    for (; x + 8 <= right; x += 8) {
      const __m256i pa = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + x));
      const __m256i pb = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + x));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x), _mm256_or_si256(_mm256_avg_epu8(pa, pb), opaque));
    }
  }
  const __m256i weight = _mm256_set1_epi16(Fixed(w));
  for (; x + 8 <= right; x += 8) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x),
                        Blend8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + x)),
                               _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + x)), weight, weight));
  }
  BlendDownSse2(a, b, w, out, x, right);
}

// Twenty-four screen pixels from sixteen picture pixels: each screen pixel
// is the byte mean of two picture pixels, the same one twice where it is a
// copy (the mean of equal bytes is the byte).
BRINDLET_AVX2 void ThreeHalvesAvx2(const std::uint32_t* in, std::uint32_t* out, std::int32_t left, std::int32_t right) {
  std::int32_t x = left;
  for (; x < right && x % 3 != 0; ++x) ThreeHalvesOne(in, out, x);
  // Screen pixels 8j .. 8j + 7 of a group take theirs from the eight
  // picture pixels from 4j.
  const __m256i first[3] = {_mm256_setr_epi32(0, 0, 1, 2, 2, 3, 4, 4), _mm256_setr_epi32(1, 2, 2, 3, 4, 4, 5, 6),
                            _mm256_setr_epi32(2, 3, 4, 4, 5, 6, 6, 7)};
  const __m256i second[3] = {_mm256_setr_epi32(0, 1, 1, 2, 3, 3, 4, 5), _mm256_setr_epi32(1, 2, 3, 3, 4, 5, 5, 6),
                             _mm256_setr_epi32(3, 3, 4, 5, 5, 6, 7, 7)};
  const __m256i opaque = _mm256_set1_epi32(static_cast<int>(0xff000000u));
  for (; x + 24 <= right; x += 24) {
    for (int j = 0; j < 3; ++j) {
      const __m256i p = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + x / 3 * 2 + 4 * j));
      const __m256i mean =
          _mm256_avg_epu8(_mm256_permutevar8x32_epi32(p, first[j]), _mm256_permutevar8x32_epi32(p, second[j]));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x + 8 * j), _mm256_or_si256(mean, opaque));
    }
  }
  ThreeHalvesSse2(in, out, x, right);
}

// Sixteen pixels at a time, on processors with AVX-512 (its byte and word
// instructions included).
#define BRINDLET_AVX512 __attribute__((target("avx512f,avx512bw")))

// a toward b, pixels 0 1 4 5 8 9 12 13 by wLow and the others by wHigh.
BRINDLET_AVX512 inline __m512i Blend16(__m512i a, __m512i b, __m512i wLow, __m512i wHigh) {
  const __m512i zero = _mm512_setzero_si512();
  const __m512i al = _mm512_unpacklo_epi8(a, zero);
  const __m512i ah = _mm512_unpackhi_epi8(a, zero);
  const __m512i low = _mm512_add_epi16(al, _mm512_mulhrs_epi16(_mm512_sub_epi16(_mm512_unpacklo_epi8(b, zero), al), wLow));
  const __m512i high = _mm512_add_epi16(ah, _mm512_mulhrs_epi16(_mm512_sub_epi16(_mm512_unpackhi_epi8(b, zero), ah), wHigh));
  return _mm512_or_si512(_mm512_packus_epi16(low, high), _mm512_set1_epi32(static_cast<int>(0xff000000u)));
}

// Sixteen columns from the 32 picture pixels from the first one's.
BRINDLET_AVX512 void BlendAcrossAvx512(const std::uint32_t* in, std::int32_t inWidth, const ScaleTables& t,
                                       std::uint32_t* out, std::int32_t left, std::int32_t right) {
  std::int32_t x = left;
  for (; x < right && x % 4 != 0; ++x) out[x] = Blend(in[t.at[x]], in[t.at[x] + 1], t.weights[4 * x]);
  const __m512i one = _mm512_set1_epi32(1);
  for (; x + 16 <= right && t.at[x] + 32 <= inWidth; x += 16) {
    const std::int32_t first = t.at[x];
    const __m512i low = _mm512_loadu_si512(in + first);
    const __m512i high = _mm512_loadu_si512(in + first + 16);
    const __m512i i = _mm512_sub_epi32(_mm512_loadu_si512(t.at + x), _mm512_set1_epi32(first));
    const __m512i a = _mm512_permutex2var_epi32(low, i, high);
    const __m512i b = _mm512_permutex2var_epi32(low, _mm512_add_epi32(i, one), high);
    _mm512_storeu_si512(out + x, Blend16(a, b, _mm512_loadu_si512(t.fixedLow + 2 * x),
                                         _mm512_loadu_si512(t.fixedHigh + 2 * x)));
  }
  BlendAcrossSse2(in, inWidth, t, out, x, right);
}

BRINDLET_AVX512 void BlendDownAvx512(const std::uint32_t* a, const std::uint32_t* b, std::uint32_t w,
                                     std::uint32_t* out, std::int32_t left, std::int32_t right) {
  std::int32_t x = left;
  const __m512i opaque = _mm512_set1_epi32(static_cast<int>(0xff000000u));
  if (w == 128) {
    for (; x + 16 <= right; x += 16) {
      _mm512_storeu_si512(out + x,
                          _mm512_or_si512(_mm512_avg_epu8(_mm512_loadu_si512(a + x), _mm512_loadu_si512(b + x)), opaque));
    }
  }
  const __m512i weight = _mm512_set1_epi16(Fixed(w));
  for (; x + 16 <= right; x += 16) {
    _mm512_storeu_si512(out + x, Blend16(_mm512_loadu_si512(a + x), _mm512_loadu_si512(b + x), weight, weight));
  }
  BlendDownSse2(a, b, w, out, x, right);
}

// Forty-eight screen pixels from 32 picture pixels, as ThreeHalvesAvx2.
BRINDLET_AVX512 void ThreeHalvesAvx512(const std::uint32_t* in, std::uint32_t* out, std::int32_t left,
                                       std::int32_t right) {
  std::int32_t x = left;
  for (; x < right && x % 3 != 0; ++x) ThreeHalvesOne(in, out, x);
  // Screen pixel s of a group takes picture pixels s / 3 * 2 plus 0 or 1.
  const __m512i first[3] = {_mm512_setr_epi32(0, 0, 1, 2, 2, 3, 4, 4, 5, 6, 6, 7, 8, 8, 9, 10),
                            _mm512_setr_epi32(10, 11, 12, 12, 13, 14, 14, 15, 16, 16, 17, 18, 18, 19, 20, 20),
                            _mm512_setr_epi32(21, 22, 22, 23, 24, 24, 25, 26, 26, 27, 28, 28, 29, 30, 30, 31)};
  const __m512i second[3] = {_mm512_setr_epi32(0, 1, 1, 2, 3, 3, 4, 5, 5, 6, 7, 7, 8, 9, 9, 10),
                             _mm512_setr_epi32(11, 11, 12, 13, 13, 14, 15, 15, 16, 17, 17, 18, 19, 19, 20, 21),
                             _mm512_setr_epi32(21, 22, 23, 23, 24, 25, 25, 26, 27, 27, 28, 29, 29, 30, 31, 31)};
  const __m512i opaque = _mm512_set1_epi32(static_cast<int>(0xff000000u));
  for (; x + 48 <= right; x += 48) {
    const __m512i low = _mm512_loadu_si512(in + x / 3 * 2);
    const __m512i high = _mm512_loadu_si512(in + x / 3 * 2 + 16);
    for (int j = 0; j < 3; ++j) {
      const __m512i mean = _mm512_avg_epu8(_mm512_permutex2var_epi32(low, first[j], high),
                                           _mm512_permutex2var_epi32(low, second[j], high));
      _mm512_storeu_si512(out + x + 16 * j, _mm512_or_si512(mean, opaque));
    }
  }
  ThreeHalvesSse2(in, out, x, right);
}
#endif

// The line functions for this processor, within the lane cap: plain below
// 2 lanes, SSE2 at 2; from 4, AVX2's blends, and from 8 AVX-512's. The wide
// blend across takes a group of `group` columns at a time, for scalings
// whose groups take their pixels within 2 * group picture pixels; others
// blend across by SSE2.
struct ScaleFunctions {
  AcrossFunction across = BlendAcrossPlain;
  AcrossFunction acrossWide = nullptr;
  std::int32_t group = 0;
  DownFunction down = BlendDownPlain;
  LineFunction threeHalves = ThreeHalvesPlain;
  LineFunction store = CopyPlain;
  bool sse2 = false;
};

ScaleFunctions ChooseScaleFunctions() {
  ScaleFunctions f;
#if BRINDLET_VECTOR_SCALE
  __builtin_cpu_init();
  const int lanes = VectorLaneCap();
  if (lanes < 2) return f;
  f.across = BlendAcrossSse2;
  f.down = BlendDownSse2;
  f.threeHalves = ThreeHalvesSse2;
  f.store = StreamSse2;
  f.sse2 = true;
  if (lanes >= 8 && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw")) {
    f.acrossWide = BlendAcrossAvx512;
    f.group = 16;
    f.down = BlendDownAvx512;
    f.threeHalves = ThreeHalvesAvx512;
  } else if (lanes >= 4 && __builtin_cpu_supports("avx2")) {
    f.acrossWide = BlendAcrossAvx2;
    f.group = 8;
    f.down = BlendDownAvx2;
    f.threeHalves = ThreeHalvesAvx2;
  }
#endif
  return f;
}

const ScaleFunctions& ScaleFunctionsHere() {
  static const ScaleFunctions functions = ChooseScaleFunctions();
  return functions;
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
  MakeReach(col_reach_, cols_, fromWidth);
  MakeReach(row_reach_, rows_, fromHeight);
  // The columns' taps apart, for blending lines across several pixels at a
  // time: each weight in four lanes (one a channel), and for the wider
  // blends the first two and the last two pixels of each group of four
  // apart.
  col_at_.resize(cols_.size());
  col_weights_.resize(4 * cols_.size());
  col_fixed_low_.assign(2 * ((cols_.size() + 3) / 4 * 4), 0);
  col_fixed_high_.assign(col_fixed_low_.size(), 0);
  for (std::size_t x = 0; x < cols_.size(); ++x) {
    col_at_[x] = cols_[x].at;
    std::fill_n(col_weights_.begin() + static_cast<std::ptrdiff_t>(4 * x), 4,
                static_cast<std::uint16_t>(cols_[x].weight));
    std::vector<std::int16_t>& fixed = x % 4 < 2 ? col_fixed_low_ : col_fixed_high_;
    std::fill_n(fixed.begin() + static_cast<std::ptrdiff_t>(x / 4 * 8 + x % 2 * 4), 4, Fixed(cols_[x].weight));
  }
  // Whether every group of columns the wide blend takes finds its pixels
  // within twice as many picture pixels.
  const std::size_t group = static_cast<std::size_t>(ScaleFunctionsHere().group);
  wide_across_ = group > 0;
  for (std::size_t x = 0; wide_across_ && x + group <= col_at_.size(); ++x) {
    wide_across_ = col_at_[x + group - 1] + 1 - col_at_[x] < static_cast<std::int32_t>(2 * group);
  }
  across_[0].resize(cols_.size());
  across_[1].resize(cols_.size());
  line_.resize(cols_.size());
}

void PictureScaler::MakeReach(std::vector<Reaches>& reach, const std::vector<Tap>& taps, std::int32_t from) {
  // The taps run left to right, and so do their last picture pixels.
  reach.resize(static_cast<std::size_t>(from) + 1);
  std::size_t first = 0;
  std::size_t end = 0;
  for (std::int32_t p = 0; p <= from; ++p) {
    while (first < taps.size() && taps[first].at + (taps[first].weight > 0 ? 1 : 0) < p) ++first;
    while (end < taps.size() && taps[end].at < p) ++end;
    reach[static_cast<std::size_t>(p)] = {static_cast<std::int32_t>(first), static_cast<std::int32_t>(end)};
  }
}

PixelRect PictureScaler::Reach(const PixelRect& changed) const {
  if (changed.Empty() || from_w_ == 0 || from_h_ == 0) return {};
  // Along one axis: the screen pixels whose taps meet [first, end).
  const auto at = [](const std::vector<Reaches>& reach, std::int32_t p) {
    return reach[static_cast<std::size_t>(std::clamp(p, 0, static_cast<std::int32_t>(reach.size()) - 1))];
  };
  return {at(col_reach_, changed.left).first, at(row_reach_, changed.top).first, at(col_reach_, changed.right).end,
          at(row_reach_, changed.bottom).end};
}

void PictureScaler::Scale(const std::uint32_t* from, std::ptrdiff_t fromPitch, std::uint32_t* to,
                          std::ptrdiff_t toPitch, PixelRect area) const {
  area.left = std::max(area.left, 0);
  area.top = std::max(area.top, 0);
  area.right = std::min(area.right, ToWidth());
  area.bottom = std::min(area.bottom, ToHeight());
  if (area.Empty() || from_w_ == 0 || from_h_ == 0) return;
  const ScaleFunctions& f = ScaleFunctionsHere();
  // An area is a few scattered rows of a large picture and screen, which
  // the caches have mostly forgotten: the picture lines it reads and the
  // partial cache lines at either end of its screen rows are asked for a
  // few rows ahead.
  const std::int32_t fromLeft = cols_[static_cast<std::size_t>(area.left)].at;
  const std::size_t fromBytes =
      static_cast<std::size_t>(std::min(from_w_, cols_[static_cast<std::size_t>(area.right - 1)].at + 2) - fromLeft) * 4;
  const std::int32_t lastLine = std::min(from_h_ - 1, rows_[static_cast<std::size_t>(area.bottom - 1)].at + 1);
  std::int32_t fetched = rows_[static_cast<std::size_t>(area.top)].at - 1;
  constexpr std::int32_t kAhead = 3;
  const auto fetch = [&](std::int32_t y) {
    const std::int32_t upTo = std::min(lastLine, rows_[static_cast<std::size_t>(std::min(y, area.bottom - 1))].at + 1);
    for (; fetched < upTo; ++fetched) Prefetch(from + (fetched + 1) * fromPitch + fromLeft, fromBytes);
    if (y < area.bottom) {
      PrefetchLine(to + y * toPitch + area.left);
      PrefetchLine(to + y * toPitch + area.right - 1);
    }
  };
  for (std::int32_t y = area.top; y < area.top + kAhead; ++y) fetch(y);
  for (std::int32_t y = area.top; y < area.bottom; ++y) {
    fetch(y + kAhead);
    std::uint32_t* out = to + y * toPitch;
    const Tap row = rows_[static_cast<std::size_t>(y)];
    if (whole_) {
      // A line that repeats the one above it is the same line again.
      if (y == area.top || rows_[static_cast<std::size_t>(y - 1)].at != row.at) {
        RepeatAcross(from + row.at * fromPitch, line_.data(), area.left, area.right);
      }
      f.store(line_.data(), out, area.left, area.right);
      continue;
    }
    // Between ratios: each picture line the rows need is blended across
    // once (the last two are kept), then each screen row blends two of
    // them down.
    if (row.weight == 0) {
      f.store(Across(from, fromPitch, row.at, -1, area), out, area.left, area.right);
    } else {
      const std::uint32_t* upper = Across(from, fromPitch, row.at, row.at + 1, area);
      const std::uint32_t* lower = Across(from, fromPitch, row.at + 1, row.at, area);
      f.down(upper, lower, row.weight, line_.data(), area.left, area.right);
      f.store(line_.data(), out, area.left, area.right);
    }
  }
  across_line_[0] = across_line_[1] = -1;
#if BRINDLET_VECTOR_SCALE
  // Streamed lines are seen by others (the window system) only after this.
  if (f.sse2) _mm_sfence();
#endif
}

void PictureScaler::RepeatAcross(const std::uint32_t* in, std::uint32_t* out, std::int32_t left,
                                 std::int32_t right) const {
  const std::int32_t k = ToWidth() / from_w_;
  std::int32_t x = left;
  // Up to the first whole group of k screen pixels, then group by group.
  for (; x < right && x % k != 0; ++x) out[x] = in[x / k];
#if BRINDLET_VECTOR_SCALE
  if (k == 2 && ScaleFunctionsHere().sse2) {
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
                                           std::int32_t keep, const PixelRect& area) const {
  for (int i = 0; i < 2; ++i) {
    if (across_line_[i] == line) return across_[i].data();
  }
  const int slot = across_line_[0] == keep ? 1 : 0;
  across_line_[slot] = line;
  std::uint32_t* out = across_[slot].data();
  const std::uint32_t* in = from + line * fromPitch;
  const ScaleFunctions& f = ScaleFunctionsHere();
  if (three_halves_) {
    f.threeHalves(in, out, area.left, area.right);
    return out;
  }
  // The last column's neighbour is only ever weighed 0: a line's last
  // pixel stands in for it.
  std::int32_t end = area.right;
  while (end > area.left && col_at_[static_cast<std::size_t>(end - 1)] + 1 >= from_w_) --end;
  const ScaleTables tables{col_at_.data(), col_weights_.data(), col_fixed_low_.data(), col_fixed_high_.data()};
  (wide_across_ ? f.acrossWide : f.across)(in, from_w_, tables, out, area.left, end);
  for (std::int32_t x = end; x < area.right; ++x) out[x] = in[from_w_ - 1];
  return out;
}

}  // namespace brindlet
