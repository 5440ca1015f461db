#include "render/primitives.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "render/lanes.h"
#include "render/numeric.h"

// The blend of a dot runs on vector units where the compiler can target x86
// ones, the widest the processor has (chosen at run time); elsewhere one
// byte at a time. All of them give the same bytes; VectorLaneCap() caps the
// width.
#include "render/x86_vectors.h"
#define BRINDLET_SIMD_BLEND BRINDLET_X86_VECTORS

namespace brindlet {
namespace {

constexpr double kRoundingShift = 6755399441055744.0;  // 1.5 * 2^52, as in RoundHalfEvenSmall

// A colour ready for blending: Alpha within 0..256 and the channels within
// 0..255, as reals.
struct DotColour {
  double alpha;
  double red;
  double green;
  double blue;
};

inline double ClampChannel(std::int16_t value) { return static_cast<double>(std::clamp<std::int16_t>(value, 0, 255)); }

inline DotColour Prepare(const DrawColour& colour) {
  return {static_cast<double>(std::clamp<std::int16_t>(colour.Alpha, 0, 256)), ClampChannel(colour.Red),
          ClampChannel(colour.Green), ClampChannel(colour.Blue)};
}

// The array a run of dots is blended into, with what the edge test and the
// placement read, taken once: the dots' own writes cannot change them.
struct Target {
  double right;   // ImageWidth - 1
  double bottom;  // ImageHeight - 1
  std::int32_t imageHeight;
  std::int32_t arrayWidth;
  std::int32_t arrayHeight;
  std::ptrdiff_t rowBytes;
  std::uint8_t* data;
  std::uint8_t* tiles;  // the array's tile marks
  std::ptrdiff_t tilesPerRow;
};

inline Target TargetOf(Field field, PixelArray& pixels) {
  const PixelArray::Canvas canvas = pixels.Drawable();
  return {static_cast<double>(field.width - 1),
          static_cast<double>(field.height - 1),
          field.height,
          pixels.Width(),
          pixels.Height(),
          pixels.RowBytes(),
          canvas.bytes,
          canvas.tiles,
          canvas.tilesPerRow};
}

// A dot to blend: its position and its green (the other channels and the
// weight are shared by a run of dots).
struct DotAt {
  double x;
  double y;
  double green;
};

// Blends one dot into its block. Pixel (i, j) of the block, i and j in
// -1..1, has q = 0.45 * ((i - ox)^2 + |j - oy|), capped at 1 (the column
// term squared, the row term as its absolute value: not a distance), weight
// w = (1 - q) * alpha / 256, and each of its bytes becomes
// round(old * (1 - w) + colour * w), half to even. The array's row for j
// lies j rows below the middle one, as the array runs bottom-up.
//
// The vector versions do the same IEEE operations in the same order on
// several bytes at once, so every byte comes out identical: a pixel of
// weight 0 gets its own bytes back (old * 1 + colour * 0), x / 256 and
// x * 2^-8 are the same real number and round alike, and the three rows of
// a block are distinct bytes, so reading them all before writing is safe.
using BlendFunction = void (*)(std::uint8_t* origin, std::ptrdiff_t rowBytes, double ox, double oy, double alpha,
                               double red, double green, double blue);

inline std::uint8_t Blend(std::uint8_t old, double keep, double colourPart) {
  // Within 0..255 because 0 <= w <= 1 and both inputs are within 0..255.
  return static_cast<std::uint8_t>(RoundHalfEvenSmall(old * keep + colourPart));
}

void BlendScalar(std::uint8_t* origin, std::ptrdiff_t rowBytes, double ox, double oy, double alpha,
                                  double red, double green, double blue) {
  for (int i = -1; i <= 1; ++i) {
    const double di = i - ox;
    const double columnTerm = di * di;
    for (int j = -1; j <= 1; ++j) {
      double q = 0.45 * (columnTerm + std::fabs(j - oy));
      if (q > 1) q = 1;
      const double w = (1 - q) * alpha / 256;
      if (w == 0) continue;
      const double keep = 1 - w;
      std::uint8_t* const p = origin + (i + 1) * 3 - j * rowBytes;
      p[2] = Blend(p[2], keep, red * w);
      p[1] = Blend(p[1], keep, green * w);
      p[0] = Blend(p[0], keep, blue * w);
    }
  }
}

#if BRINDLET_SIMD_BLEND
// Two lanes at a time (every x86-64 processor): each row of the block is 9
// bytes (blue, green, red of three pixels), taken as four pairs and a single.
void BlendSse2(std::uint8_t* origin, std::ptrdiff_t rowBytes, double ox, double oy, double alpha, double red,
               double green, double blue) {
  const __m128d one = _mm_set1_pd(1.0);
  const __m128d spread = _mm_set1_pd(0.45);
  const __m128d weight = _mm_set1_pd(alpha);
  const __m128d scale = _mm_set1_pd(1.0 / 256);
  const __m128d shift = _mm_set1_pd(kRoundingShift);
  const __m128d d01 = _mm_sub_pd(_mm_setr_pd(-1.0, 0.0), _mm_set1_pd(ox));
  const __m128d columns01 = _mm_mul_pd(d01, d01);
  const double d2 = 1.0 - ox;
  const __m128d columns22 = _mm_set1_pd(d2 * d2);
  // Colour pairs in the byte order of a row: B G | R B | G R | B G | R.
  const __m128d blueGreen = _mm_setr_pd(blue, green);
  const __m128d redBlue = _mm_setr_pd(red, blue);
  const __m128d greenRed = _mm_setr_pd(green, red);
  const __m128i zero = _mm_setzero_si128();

  for (int j = -1; j <= 1; ++j) {
    const __m128d rowPart = _mm_set1_pd(std::fabs(j - oy));
    const __m128d q01 = _mm_min_pd(_mm_mul_pd(spread, _mm_add_pd(columns01, rowPart)), one);
    const __m128d q22 = _mm_min_pd(_mm_mul_pd(spread, _mm_add_pd(columns22, rowPart)), one);
    const __m128d w01 = _mm_mul_pd(_mm_mul_pd(_mm_sub_pd(one, q01), weight), scale);  // w0 w1
    const __m128d w22 = _mm_mul_pd(_mm_mul_pd(_mm_sub_pd(one, q22), weight), scale);  // w2 w2
    const __m128d w00 = _mm_unpacklo_pd(w01, w01);
    const __m128d w11 = _mm_unpackhi_pd(w01, w01);

    std::uint8_t* const p = origin - j * rowBytes;
    const __m128i words = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), zero);
    const __m128i low = _mm_unpacklo_epi16(words, zero);
    const __m128i high = _mm_unpackhi_epi16(words, zero);
    const __m128d old0 = _mm_cvtepi32_pd(low);
    const __m128d old1 = _mm_cvtepi32_pd(_mm_srli_si128(low, 8));
    const __m128d old2 = _mm_cvtepi32_pd(high);
    const __m128d old3 = _mm_cvtepi32_pd(_mm_srli_si128(high, 8));
    const __m128d old4 = _mm_set_sd(p[8]);

#define BRINDLET_MIX(old, w, colour) \
  _mm_sub_pd(_mm_add_pd(_mm_add_pd(_mm_mul_pd(old, _mm_sub_pd(one, w)), _mm_mul_pd(colour, w)), shift), shift)
    const __m128d new0 = BRINDLET_MIX(old0, w00, blueGreen);
    const __m128d new1 = BRINDLET_MIX(old1, w01, redBlue);
    const __m128d new2 = BRINDLET_MIX(old2, w11, greenRed);
    const __m128d new3 = BRINDLET_MIX(old3, w22, blueGreen);
    const __m128d new4 = BRINDLET_MIX(old4, w22, redBlue);
#undef BRINDLET_MIX

    const __m128i first = _mm_unpacklo_epi64(_mm_cvttpd_epi32(new0), _mm_cvttpd_epi32(new1));
    const __m128i second = _mm_unpacklo_epi64(_mm_cvttpd_epi32(new2), _mm_cvttpd_epi32(new3));
    const __m128i packed = _mm_packs_epi32(first, second);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_packus_epi16(packed, packed));
    p[8] = static_cast<std::uint8_t>(_mm_cvttsd_si32(new4));
  }
}

// Four lanes at a time, on processors with AVX2: the nine weights are
// computed in two vectors and a single and spread over the lanes; each row
// is bytes 0..3 and 4..7, and the ninth byte of all three rows makes a
// seventh vector.
#define BRINDLET_AVX2 __attribute__((target("avx2")))

BRINDLET_AVX2 inline __m256d Avx2Weights(__m256d columns, __m256d rows, __m256d alpha) {
  const __m256d one = _mm256_set1_pd(1.0);
  const __m256d q = _mm256_min_pd(_mm256_mul_pd(_mm256_set1_pd(0.45), _mm256_add_pd(columns, rows)), one);
  return _mm256_mul_pd(_mm256_mul_pd(_mm256_sub_pd(one, q), alpha), _mm256_set1_pd(1.0 / 256));
}

// The blend, rounded to a whole number in 32-bit lanes. The conversion
// rounds as the current rounding mode does, which is what adding and
// taking away the rounding shift does to these non-negative values
// (RoundHalfEvenSmall), in every mode.
BRINDLET_AVX2 inline __m128i Avx2Mix(__m256d old, __m256d w, __m256d colour) {
  const __m256d keep = _mm256_sub_pd(_mm256_set1_pd(1.0), w);
  return _mm256_cvtpd_epi32(_mm256_add_pd(_mm256_mul_pd(old, keep), _mm256_mul_pd(colour, w)));
}

// The nine weights of a dot: pixels (i, j) in the order (-1,-1) (0,-1)
// (1,-1) (-1,0) in `first`, (0,0) (1,0) (-1,1) (0,1) in `second`, and (1,1)
// alone; they are spread over the lanes of each row when blended.
struct Avx2DotWeights {
  __m256d first;
  __m256d second;
  double last;
};

BRINDLET_AVX2 inline __m256d Avx2CellWeights(__m256d columns, __m256d rows, double ox, double oy, __m256d alpha) {
  const __m256d di = _mm256_sub_pd(columns, _mm256_set1_pd(ox));
  const __m256d dj = _mm256_andnot_pd(_mm256_set1_pd(-0.0), _mm256_sub_pd(rows, _mm256_set1_pd(oy)));
  return Avx2Weights(_mm256_mul_pd(di, di), dj, alpha);
}

BRINDLET_AVX2 inline Avx2DotWeights WeightsAvx2(double ox, double oy, double alpha) {
  const __m256d weight = _mm256_set1_pd(alpha);
  const double dLast = 1.0 - ox;
  // min(q, 1) without a branch: whether q passes 1 is as good as random.
  const double qLast =
      _mm_cvtsd_f64(_mm_min_sd(_mm_set_sd(0.45 * (dLast * dLast + std::fabs(1.0 - oy))), _mm_set_sd(1.0)));
  return {Avx2CellWeights(_mm256_setr_pd(-1.0, 0.0, 1.0, -1.0), _mm256_setr_pd(-1.0, -1.0, -1.0, 0.0), ox, oy, weight),
          Avx2CellWeights(_mm256_setr_pd(0.0, 1.0, -1.0, 0.0), _mm256_setr_pd(0.0, 0.0, 1.0, 1.0), ox, oy, weight),
          (1 - qLast) * alpha / 256};
}

BRINDLET_AVX2 inline void MixAvx2(std::uint8_t* origin, std::ptrdiff_t rowBytes, const Avx2DotWeights& weights,
                                  double red, double green, double blue) {
  // Bytes 0..3 of a row are B G R of the left pixel and B of the middle one;
  // bytes 4..7 are G R of the middle pixel and B G of the right one; byte 8
  // is R of the right pixel.
  const __m256d colourLow = _mm256_setr_pd(blue, green, red, blue);
  const __m256d colourHigh = _mm256_setr_pd(green, red, blue, green);
  const __m256d a = weights.first;
  const __m256d b = weights.second;
  const __m256d c = _mm256_set1_pd(weights.last);
  const __m256d low[3] = {
      _mm256_permute4x64_pd(a, 0x40),                                                       // a0 a0 a0 a1
      _mm256_blend_pd(_mm256_permute4x64_pd(a, 0xFF), _mm256_permute4x64_pd(b, 0x00), 0x8),  // a3 a3 a3 b0
      _mm256_permute4x64_pd(b, 0xEA)};                                                      // b2 b2 b2 b3
  const __m256d high[3] = {
      _mm256_permute4x64_pd(a, 0xA5),                                      // a1 a1 a2 a2
      _mm256_permute4x64_pd(b, 0x50),                                      // b0 b0 b1 b1
      _mm256_blend_pd(_mm256_permute4x64_pd(b, 0xFF), c, 0xC)};            // b3 b3 c c
  const __m256d lastWeights =
      _mm256_blend_pd(_mm256_blend_pd(_mm256_permute4x64_pd(a, 0xAA), _mm256_permute4x64_pd(b, 0x55), 0x2), c,
                      0xC);  // a2 b1 c c

  std::uint8_t* const rows[3] = {origin + rowBytes, origin, origin - rowBytes};
  const __m256d lastOld = _mm256_setr_pd(rows[0][8], rows[1][8], rows[2][8], 0.0);
  for (int j = 0; j < 3; ++j) {
    std::uint8_t* const p = rows[j];
    const __m128i bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
    const __m256d oldLow = _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(bytes));
    const __m256d oldHigh = _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(_mm_srli_si128(bytes, 4)));
    const __m128i packed = _mm_packs_epi32(Avx2Mix(oldLow, low[j], colourLow), Avx2Mix(oldHigh, high[j], colourHigh));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_packus_epi16(packed, packed));
  }
  const __m128i last = Avx2Mix(lastOld, lastWeights, _mm256_set1_pd(red));
  rows[0][8] = static_cast<std::uint8_t>(_mm_cvtsi128_si32(last));
  rows[1][8] = static_cast<std::uint8_t>(_mm_extract_epi32(last, 1));
  rows[2][8] = static_cast<std::uint8_t>(_mm_extract_epi32(last, 2));
}


// Eight lanes at a time, on processors with AVX-512: the nine weights are
// computed once (eight in one vector, the ninth alone) and spread over the
// lanes with a permutation; bytes 0..7 of each row make one vector, and the
// ninth byte of all three rows a fourth. Rounding to the nearest integer,
// half to even, is done by the conversion itself. The painter computes the
// weights of a whole run of dots first and blends them afterwards, so that
// the long chain from a position to its weights does not hold up the blends.
#define BRINDLET_AVX512 __attribute__((target("avx512f,avx512vl")))

// Weights of pixels (i, j) in the order (-1,-1) (0,-1) (1,-1) (-1,0) (0,0)
// (1,0) (-1,1) (0,1), and of (1,1) alone.
struct Avx512Weights {
  __m512d w;
  double last;
};

BRINDLET_AVX512 inline Avx512Weights WeightsAvx512(double ox, double oy, double alpha) {
  const __m512d one = _mm512_set1_pd(1.0);
  const __m512d di = _mm512_sub_pd(_mm512_setr_pd(-1.0, 0.0, 1.0, -1.0, 0.0, 1.0, -1.0, 0.0), _mm512_set1_pd(ox));
  const __m512d dj = _mm512_sub_pd(_mm512_setr_pd(-1.0, -1.0, -1.0, 0.0, 0.0, 0.0, 1.0, 1.0), _mm512_set1_pd(oy));
  const __m512d q = _mm512_min_pd(
      _mm512_mul_pd(_mm512_set1_pd(0.45), _mm512_add_pd(_mm512_mul_pd(di, di), _mm512_abs_pd(dj))), one);
  const __m512d w =
      _mm512_mul_pd(_mm512_mul_pd(_mm512_sub_pd(one, q), _mm512_set1_pd(alpha)), _mm512_set1_pd(1.0 / 256));
  const double dLast = 1.0 - ox;
  // min(q, 1) without a branch: whether q passes 1 is as good as random.
  const double qLast =
      _mm_cvtsd_f64(_mm_min_sd(_mm_set_sd(0.45 * (dLast * dLast + std::fabs(1.0 - oy))), _mm_set_sd(1.0)));
  return {w, (1 - qLast) * alpha / 256};
}

BRINDLET_AVX512 inline void MixAvx512(std::uint8_t* origin, std::ptrdiff_t rowBytes, const Avx512Weights& weights,
                                      double red, double green, double blue) {
  const __m512d one = _mm512_set1_pd(1.0);
  const __m512d w = weights.w;
  const __m512d wNinth = _mm512_set1_pd(weights.last);
  // Blue and red in their lanes, green (which changes from dot to dot) in lanes 1, 4 and 7.
  const __m512d colour =
      _mm512_mask_broadcastsd_pd(_mm512_setr_pd(blue, 0.0, red, blue, 0.0, red, blue, 0.0), 0x92, _mm_set_sd(green));
  // Lane k of row j takes the weight of pixel (k / 3 - 1, j); 8 names the ninth.
  const __m512i spreadRow[3] = {_mm512_setr_epi64(0, 0, 0, 1, 1, 1, 2, 2), _mm512_setr_epi64(3, 3, 3, 4, 4, 4, 5, 5),
                                _mm512_setr_epi64(6, 6, 6, 7, 7, 7, 8, 8)};
  std::uint8_t* const rows[3] = {origin + rowBytes, origin, origin - rowBytes};
  const __m128i lastBytes = _mm_setr_epi32(rows[0][8], rows[1][8], rows[2][8], 0);
  for (int j = 0; j < 3; ++j) {
    std::uint8_t* const p = rows[j];
    const __m512d old = _mm512_cvtepi32_pd(_mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p))));
    const __m512d wRow = _mm512_permutex2var_pd(w, spreadRow[j], wNinth);
    const __m512d mixed = _mm512_add_pd(_mm512_mul_pd(old, _mm512_sub_pd(one, wRow)), _mm512_mul_pd(colour, wRow));
    _mm256_mask_cvtepi32_storeu_epi8(p, 0xFF,
                                     _mm512_cvt_roundpd_epi32(mixed, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC));
  }
  const __m512d oldLast = _mm512_cvtepi32_pd(_mm256_zextsi128_si256(lastBytes));
  const __m512d wEnd = _mm512_permutex2var_pd(w, _mm512_setr_epi64(2, 5, 8, 8, 8, 8, 8, 8), wNinth);
  const __m512d mixedLast =
      _mm512_add_pd(_mm512_mul_pd(oldLast, _mm512_sub_pd(one, wEnd)), _mm512_mul_pd(_mm512_set1_pd(red), wEnd));
  const __m128i last =
      _mm256_castsi256_si128(_mm512_cvt_roundpd_epi32(mixedLast, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC));
  rows[0][8] = static_cast<std::uint8_t>(_mm_cvtsi128_si32(last));
  rows[1][8] = static_cast<std::uint8_t>(_mm_extract_epi32(last, 1));
  rows[2][8] = static_cast<std::uint8_t>(_mm_extract_epi32(last, 2));
}

#endif

// Dots are gathered in runs of at most this many before they are blended.
constexpr int kRun = 256;

// Half a pixel toward the centre of the dot's pixel: -0.5 for a positive
// fraction, +0.5 otherwise, without a branch (the sign of a fraction is as
// good as random from dot to dot). f - (-0.5) is exactly f + 0.5.
inline double HalfToward(double fraction) {
  const std::uint64_t notPositive = fraction > 0 ? 0 : 1;
  return std::bit_cast<double>(std::bit_cast<std::uint64_t>(0.5) | (notPositive << 63));
}

// Where dot (x, y) lands: the left pixel of its block's middle row and its
// offsets from the pixel centre; false when the dot is dropped. First the
// edge test (strict; NaN fails every comparison). Past it both coordinates
// lie between 1 and 2^31, so their integer part is the truncation and the
// shift-based rounding is exactly round-half-even; neither needs a call into
// the maths library. The block's middle row is ImageHeight - floor(y): one
// row above the bottom-up position of screen row floor(y).
inline bool Place(const Target& t, double x, double y, std::uint8_t*& origin, double& ox, double& oy) {
  if (!(x > 1 && x < t.right && y > 1 && y < t.bottom)) return false;
  const auto column = static_cast<std::int32_t>(x);
  const auto row = t.imageHeight - static_cast<std::int32_t>(y);
  // The edge test keeps a dot inside an array of the playfield's size; an
  // array smaller than the playfield must not be written past either.
  if (column + 1 >= t.arrayWidth || row + 1 > t.arrayHeight || row - 1 < 0) return false;
  const double fx = x - RoundHalfEvenSmall(x);
  const double fy = y - RoundHalfEvenSmall(y);
  ox = fx - HalfToward(fx);
  oy = fy - HalfToward(fy);
  origin = t.data + static_cast<std::ptrdiff_t>(row) * t.rowBytes + static_cast<std::ptrdiff_t>(column - 1) * 3;
  // The tiles of the block's corners hold all of it. A drawn tile is both
  // drawn and changed whatever it was before, so the marks are stored, not
  // merged.
  constexpr std::uint8_t kMark = PixelArray::kDrawn | PixelArray::kChanged;
  const auto tileRow = [&](std::int32_t r) { return static_cast<std::uint32_t>(r) / PixelArray::kTileRows; };
  const auto tileColumn = [&](std::int32_t c) { return static_cast<std::uint32_t>(c) / PixelArray::kTileWidth; };
  std::uint8_t* const below = t.tiles + tileRow(row - 1) * t.tilesPerRow;
  std::uint8_t* const above = t.tiles + tileRow(row + 1) * t.tilesPerRow;
  const std::uint32_t left = tileColumn(column - 1);
  const std::uint32_t right = tileColumn(column + 1);
  below[left] = kMark;
  below[right] = kMark;
  above[left] = kMark;
  above[right] = kMark;
  return true;
}

// Blends a run of dots in order.
template <BlendFunction kBlend>
inline void PaintWith(const Target& target, const DotAt* dots, int count, const DotColour& colour) {
  // Local copies: the bytes written below cannot be taken to change them.
  const Target t = target;
  const DotColour c = colour;
  for (int k = 0; k < count; ++k) {
    std::uint8_t* origin;
    double ox;
    double oy;
    if (!Place(t, dots[k].x, dots[k].y, origin, ox, oy)) continue;
    kBlend(origin, t.rowBytes, ox, oy, c.alpha, c.red, dots[k].green, c.blue);
  }
}

// One painter per blend, each compiled whole for its instruction set so
// that the blend is inlined into the loop.
using PaintFunction = void (*)(const Target& target, const DotAt* dots, int count, const DotColour& colour);

__attribute__((flatten)) void PaintScalar(const Target& target, const DotAt* dots, int count,
                                                           const DotColour& colour) {
  PaintWith<BlendScalar>(target, dots, count, colour);
}

#if BRINDLET_SIMD_BLEND
__attribute__((flatten)) void PaintSse2(const Target& target, const DotAt* dots, int count, const DotColour& colour) {
  PaintWith<BlendSse2>(target, dots, count, colour);
}

// Long runs go in two passes over chunks of kChunk dots: placements and
// weights first (while the block's rows are fetched), then the blends in
// the dots' order, so that the long chain from a position to its weights
// does not hold up the blends. Short runs (a soft point, a peg's ring) are
// blended dot by dot straight away.
constexpr int kChunk = 64;

// The three rows of a dot's block, nine bytes each.
inline void Prefetch(const Target& t, const std::uint8_t* origin) {
  for (const std::uint8_t* row : {origin + t.rowBytes, origin, origin - t.rowBytes}) brindlet::Prefetch(row, 9);
}

// A blend given as its weights and its mix, for the painters below.
template <typename Weights>
using WeighFunction = Weights (*)(double ox, double oy, double alpha);
template <typename Weights>
using MixFunction = void (*)(std::uint8_t* origin, std::ptrdiff_t rowBytes, const Weights& weights, double red,
                             double green, double blue);

// A run of dots through a blend. Compiled inside each instruction set's
// painters, which flatten it.
template <typename Weights, WeighFunction<Weights> kWeigh, MixFunction<Weights> kMix>
inline void PaintInTwoPasses(const Target& target, const DotAt* dots, int count, const DotColour& colour) {
  const Target t = target;
  const DotColour c = colour;
  struct Placed {
    Weights weights;
    double green;
    std::uint8_t* origin;
  };
  Placed placed[kChunk];
  for (int start = 0; start < count; start += kChunk) {
    const int end = std::min(count, start + kChunk);
    int n = 0;
    for (int k = start; k < end; ++k) {
      std::uint8_t* origin;
      double ox;
      double oy;
      if (!Place(t, dots[k].x, dots[k].y, origin, ox, oy)) continue;
      Prefetch(t, origin);
      placed[n++] = {kWeigh(ox, oy, c.alpha), dots[k].green, origin};
    }
    for (int k = 0; k < n; ++k) kMix(placed[k].origin, t.rowBytes, placed[k].weights, c.red, placed[k].green, c.blue);
  }
}

template <typename Weights, WeighFunction<Weights> kWeigh, MixFunction<Weights> kMix>
inline void PaintInOnePass(const Target& target, const DotAt* dots, int count, const DotColour& colour) {
  const Target t = target;
  const DotColour c = colour;
  for (int k = 0; k < count; ++k) {
    std::uint8_t* origin;
    double ox;
    double oy;
    if (!Place(t, dots[k].x, dots[k].y, origin, ox, oy)) continue;
    kMix(origin, t.rowBytes, kWeigh(ox, oy, c.alpha), c.red, dots[k].green, c.blue);
  }
}

// The painters of one instruction set: long runs in two passes (kept out of
// line), short ones in one.
#define BRINDLET_PAINTERS(Name, Target_, ...)                                                               \
  Target_ __attribute__((noinline, flatten)) void Name##Long(const Target& target, const DotAt* dots, int count,  \
                                                            const DotColour& colour) {                       \
    PaintInTwoPasses<__VA_ARGS__>(target, dots, count, colour);                                                      \
  }                                                                                                            \
  Target_ __attribute__((flatten)) void Name(const Target& target, const DotAt* dots, int count,                 \
                                             const DotColour& colour) {                                        \
    if (count > kChunk / 2) {                                                                                  \
      Name##Long(target, dots, count, colour);                                                                 \
      return;                                                                                                  \
    }                                                                                                          \
    PaintInOnePass<__VA_ARGS__>(target, dots, count, colour);                                                        \
  }

BRINDLET_PAINTERS(PaintAvx2, BRINDLET_AVX2, Avx2DotWeights, WeightsAvx2, MixAvx2)
BRINDLET_PAINTERS(PaintAvx512, BRINDLET_AVX512, Avx512Weights, WeightsAvx512, MixAvx512)
#undef BRINDLET_PAINTERS

PaintFunction ChoosePainter() {
  __builtin_cpu_init();
  const int lanes = VectorLaneCap();
  if (lanes < 2) return PaintScalar;
  if (lanes >= 8 && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl")) {
    return PaintAvx512;
  }
  if (lanes >= 4 && __builtin_cpu_supports("avx2")) return PaintAvx2;
  return PaintSse2;
}
#else
PaintFunction ChoosePainter() { return PaintScalar; }
#endif

}  // namespace

int VectorLaneCap() {
  const char* cap = std::getenv("BRINDLET_BLEND_LANES");
  return cap != nullptr && *cap != '\0' ? std::atoi(cap) : 8;
}

namespace {

PaintFunction Painter() {
  static const PaintFunction paint = ChoosePainter();
  return paint;
}

// Offsets of the dots of a ring from its centre, Radius * sin(...) on both
// axes at every angle the ring visits, computed exactly as the ring computes
// them. The pegs' rings have two fixed radii and are drawn hundreds of times
// a frame, so a few recently used radii are kept and their sines computed
// once.
struct RingOffset {
  double x;
  double y;
};

class RingCache {
 public:
  // The offsets for `radius` (whose angular step is `step` > 0), or null for
  // a ring too fine to keep.
  const std::vector<RingOffset>* Offsets(double radius, double step) {
    if (!(step >= 360.0 / kMaxDots)) return nullptr;
    const auto key = std::bit_cast<std::uint64_t>(radius);
    ++clock_;
    Slot* slot = &slots_[0];
    for (Slot& candidate : slots_) {
      if (candidate.filled && candidate.key == key) {
        candidate.used = clock_;
        return &candidate.offsets;
      }
      if (candidate.used < slot->used) slot = &candidate;
    }
    slot->filled = true;
    slot->key = key;
    slot->used = clock_;
    slot->offsets.clear();
    for (double a = -1; a <= 359;) {
      slot->offsets.push_back(
          {radius * std::sin(-a * kDegreesToRadians), radius * std::sin((a + 90) * kDegreesToRadians)});
      const double next = a + step;
      if (next == a) break;
      a = next;
    }
    return &slot->offsets;
  }

 private:
  static constexpr int kMaxDots = 4096;
  struct Slot {
    bool filled = false;
    std::uint64_t key = 0;
    std::uint64_t used = 0;
    std::vector<RingOffset> offsets;
  };
  Slot slots_[4];
  std::uint64_t clock_ = 0;
};

// Green of beam dot k: round(|sin((head - k) / 100)| * 200), half to even.
inline std::int16_t ShadeOf(double sine) {
  const double shade = std::fabs(sine) * 200;
  // Within 0..200 unless the sine is not a number.
  return shade <= 200 ? static_cast<std::int16_t>(RoundHalfEvenSmall(shade)) : ToInt16(shade);
}

// The greens of a beam's dots, in order. Successive arguments of the sine
// differ by 0.01, so the sine is carried from dot to dot by rotation and
// taken afresh every kAnchorEvery dots. The rotated sine is within 1e-12 of
// the sine of the dot's own argument; its green is used only when the shade
// lies farther than kMargin (far more than that) from a rounding boundary,
// where both round alike, and the sine itself is taken otherwise. So every
// green equals round(|sin((head - k) / 100)| * 200) exactly.
class BeamShades {
 public:
  explicit BeamShades(double head) : head_(head), tracked_(std::fabs(head) <= kTrackLimit) {}

  std::int16_t Next(double k) {
    if (!tracked_ || !(k <= kTrackLimit)) return ShadeOf(std::sin((head_ - k) / 100));
    if (sinceAnchor_ == 0) {
      const double x = (head_ - k) / 100;
      sine_ = std::sin(x);
      cosine_ = std::cos(x);
      sinceAnchor_ = kAnchorEvery - 1;
      return ShadeOf(sine_);
    }
    --sinceAnchor_;
    // Rotate by -0.01: sin(x - d) = sin x cos d - cos x sin d.
    const double sine = sine_ * kCosStep - cosine_ * kSinStep;
    cosine_ = cosine_ * kCosStep + sine_ * kSinStep;
    sine_ = sine;
    const double shade = std::fabs(sine) * 200;
    const double rounded = RoundHalfEvenSmall(shade);
    if (std::fabs(shade - rounded) < 0.5 - kMargin) return static_cast<std::int16_t>(rounded);
    return ShadeOf(std::sin((head_ - k) / 100));
  }

 private:
  static constexpr int kAnchorEvery = 64;
  // Arguments stay below 2e3, where their own rounding is below 1e-12.
  static constexpr double kTrackLimit = 1e5;
  static constexpr double kMargin = 1e-6;
  static constexpr double kCosStep = 0.9999500004166653;  // cos(0.01)
  static constexpr double kSinStep = 0.009999833334166664;  // sin(0.01)

  double head_;
  bool tracked_;
  int sinceAnchor_ = 0;
  double sine_ = 0;
  double cosine_ = 1;
};

}  // namespace

void PlotSoftPoint(PixelArray& pixels, Field field, double x, double y, const DrawColour& colour) {
  if (field.width <= 0 || field.height <= 0) return;  // no dot can land
  const DotColour c = Prepare(colour);
  const DotAt dot{x, y, c.green};
  Painter()(TargetOf(field, pixels), &dot, 1, c);
}

double CircleAngleStep(double radius) { return 360 / (radius * 6.28); }

void PlotCircle(PixelArray& pixels, Field field, EventPump& events, double centreX, double centreY, double radius,
                const DrawColour& colour) {
  events.LetEventsRun();
  if (field.width <= 0 || field.height <= 0) return;  // no dot can land
  const double step = CircleAngleStep(radius);
  // A negative or undefined step draws nothing; a step too small to advance
  // the angle stops instead of spinning forever.
  if (!(step > 0)) return;
  const PaintFunction paint = Painter();
  const Target target = TargetOf(field, pixels);
  const DotColour c = Prepare(colour);
  DotAt dots[kRun];
  int count = 0;
  const auto add = [&](double x, double y) {
    dots[count++] = {x, y, c.green};
    if (count == kRun) {
      paint(target, dots, count, c);
      count = 0;
    }
  };
  thread_local RingCache rings;
  if (const std::vector<RingOffset>* offsets = rings.Offsets(radius, step)) {
    for (const RingOffset& offset : *offsets) add(centreX - offset.x + 1, centreY - offset.y + 1);
  } else {
    for (double a = -1; a <= 359;) {
      add(centreX - radius * std::sin(-a * kDegreesToRadians) + 1,
          centreY - radius * std::sin((a + 90) * kDegreesToRadians) + 1);
      const double next = a + step;
      if (next == a) break;
      a = next;
    }
  }
  paint(target, dots, count, c);
}

void PlotBeam(PixelArray& pixels, Field field, EventPump& events, double startX, double startY, double endX,
              double endY, const DrawColour& colour, double percent, double phase) {
  events.LetEventsRun();
  if (field.width <= 0 || field.height <= 0) return;  // no dot can land
  const double dx = endX - startX;
  const double dy = endY - startY;
  double n = std::sqrt(dx * dx + dy * dy) * 0.25;
  if (n == 0) n = 1;
  const double head = (percent / 100) * n;
  const double sx = dx / n;
  const double sy = dy / n;
  // The first dot lies one step back from the start, moved on by the phase.
  const double p = phase / 100;
  double px = (startX - sx) + p * sx;
  double py = (startY - sy) + p * sy;
  if (!std::isfinite(n)) return;
  const PaintFunction paint = Painter();
  const Target target = TargetOf(field, pixels);
  const DotColour c = Prepare(colour);
  BeamShades shades(head);
  DotAt dots[kRun];
  int count = 0;
  for (double k = 1; k <= n; k += 1) {
    px = px + sx;
    py = py + sy;
    dots[count++] = {px, py, ClampChannel(shades.Next(k))};
    if (count == kRun) {
      paint(target, dots, count, c);
      count = 0;
    }
  }
  paint(target, dots, count, c);
}

}  // namespace brindlet
