// Pencil sketch: a colour-dodge of the grey picture with a blurred copy of
// its negative.
#include "driver/imaging/effect_spatial.h"

#include <cstring>

#include "driver/imaging/effect_internal.h"
#include "driver/imaging/vector_level.h"

#if QCAM_HAVE_X86_VECTORS
#include <immintrin.h>
#endif

using namespace effects_detail;

// ---- pencil sketch (18) ----------------------------------------------------------
// A colour-dodge of the grey picture with a blurred copy of its negative: the
// blur uses the eight already-visited neighbours of a 3 x 3 window two rows
// and columns back (weights 1 2 1 / 2 4 2 / 1 2, sum 15).

namespace {
inline ULONG PencilBlur(const UCHAR* inv, LONG r, LONG c, LONG stride) {
  const UCHAR* a = inv + ULONG(r - 2) * ULONG(stride) + ULONG(c - 2);
  const UCHAR* b = a + stride;
  const UCHAR* d = b + stride;
  return (ULONG(a[0]) + 2u * a[1] + a[2] + 2u * b[0] + 4u * b[1] + 2u * b[2] + d[0] + 2u * d[1]) >> 4;
}
inline UCHAR Dodge(ULONG g, ULONG b) {
  const ULONG v = (g * 256) / (255 - b);
  return UCHAR(v > 255 ? 255 : v);
}

VOID PencilRgbPortable(PUCHAR picture, LONG width, LONG height, PUCHAR scratch) {
  const ULONG n = ULONG(width) * ULONG(height);
  // Pass 1: grey level into each pixel's B byte, its negative into the
  // scratch picture (one byte per pixel).
  for (ULONG i = 0; i < n; ++i) {
    PUCHAR p = picture + i * 3;
    const UCHAR g = UCHAR((ULONG(p[0]) + p[1] + p[2]) / 3);
    p[0] = g;
    scratch[i] = UCHAR(255 - g);
  }
  for (LONG r = 2; r < height; ++r) {
    PUCHAR row = picture + ULONG(r) * ULONG(width) * 3;
    for (LONG c = 2; c < width; ++c) {
      PUCHAR p = row + c * 3;
      const UCHAR v = Dodge(p[0], PencilBlur(scratch, r, c, width));
      p[0] = v;
      p[1] = v;
      p[2] = v;
    }
  }
}

VOID PencilYuy2Portable(PUCHAR picture, LONG width, LONG height, PUCHAR scratch) {
  const ULONG n = ULONG(width) * ULONG(height);
  for (ULONG i = 0; i < n; ++i) {
    scratch[i] = UCHAR(255 - picture[i * 2]);
    picture[i * 2 + 1] = 128;  // U of even pixels, V of odd ones
  }
  for (LONG r = 2; r < height; ++r) {
    PUCHAR row = picture + ULONG(r) * ULONG(width) * 2;
    for (LONG c = 2; c < width; ++c) row[c * 2] = Dodge(row[c * 2], PencilBlur(scratch, r, c, width));
  }
}

#if QCAM_HAVE_X86_VECTORS
// The vector paths work row by row: first the row's negative grey levels
// into the scratch picture, then the row's output from the scratch picture
// alone (the grey level g of a pixel is 255 minus its scratch byte), so that
// the last block of a row may overlap the one before it and write the same
// bytes again. Rows 0 and 1 and columns 0 and 1 only get their grey level
// (RGB: into B) or their chroma set (YUY2), by the portable rule. Pictures
// narrower than 18 pixels take the portable path, and so do pictures wider
// than the effects take (never passed by the dispatcher), whose row of
// vertical sums (below) would not fit the AVX2 paths' stack buffer.
constexpr LONG kPencilMinVectorWidth = 18;

QCAM_TARGET_AVX2 inline __m256i Widen16Avx2(const UCHAR* p) {
  return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}
QCAM_TARGET_AVX2 inline __m256i Load16Avx2(const USHORT* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

// The AVX2 rows split the blur into a vertical and a horizontal step. With
// V[j] = a[j] + 2 b[j] + d[j] over scratch rows r - 2, r - 1 and r, the
// window at column c is V[c - 2] + 2 V[c - 1] + V[c] - d[c] (the current
// pixel is the one cell of the 3 x 3 window left out). V of a row is kept in
// 16-bit lanes (at most 4 x 255), so the horizontal step reads it at three
// offsets with plain loads instead of widening nine rows of bytes.
//
// The dodge of 16 pixels from their blur sums t (16-bit lanes, at most
// 15 x 255) and negative grey levels inv. The lanes are split into their
// even and odd halves as 32-bit lanes by masks and shifts (no lane
// crossing), and the quotient g x 256 / (255 - b) is taken in single
// precision and truncated, which is exact: the dividend (at most 65280) and
// the divisor (16 ... 255) are exact floats and the division is correctly
// rounded, so an integer quotient comes out exact and any other is within
// q x 2^-24 < 2^-12 of the true one q = x / d <= 4080; a true quotient that
// is not an integer lies at least 1/d >= 1/255 > 2^-8 below the next
// integer, so rounding never carries it up to that integer, and truncation
// gives the integer quotient. The quotients (at most 4080) come back as
// 16-bit lanes in pixel order, limited to 255. A test checks all 256 x 240
// cases through the effect.
QCAM_TARGET_AVX2 inline __m256i Quotient8Avx2(__m256i x, __m256i d) {
  return _mm256_cvttps_epi32(_mm256_div_ps(_mm256_cvtepi32_ps(x), _mm256_cvtepi32_ps(d)));
}

QCAM_TARGET_AVX2 inline __m256i PencilDodge16Avx2(__m256i t, __m256i inv) {
  const __m256i all = _mm256_set1_epi16(255);
  const __m256i low = _mm256_set1_epi32(0xFFFF);
  const __m256i divisor = _mm256_sub_epi16(all, _mm256_srli_epi16(t, 4));
  const __m256i dividend = _mm256_slli_epi16(_mm256_sub_epi16(all, inv), 8);
  const __m256i even = Quotient8Avx2(_mm256_and_si256(dividend, low), _mm256_and_si256(divisor, low));
  const __m256i odd = Quotient8Avx2(_mm256_srli_epi32(dividend, 16), _mm256_srli_epi32(divisor, 16));
  return _mm256_min_epu16(_mm256_or_si256(even, _mm256_slli_epi32(odd, 16)), _mm256_set1_epi16(255));
}

// The vertical step of the blur for 16 columns: a and b address scratch rows
// r - 2 and r - 1, d holds row r's negative grey levels.
QCAM_TARGET_AVX2 inline __m256i PencilColumns16Avx2(const UCHAR* a, const UCHAR* b, __m256i d) {
  const __m256i twice = Widen16Avx2(b);
  return _mm256_add_epi16(_mm256_add_epi16(Widen16Avx2(a), d), _mm256_add_epi16(twice, twice));
}

// The horizontal step and the dodge of the 16 pixels at column c >= 2.
QCAM_TARGET_AVX2 inline __m256i PencilRow16Avx2(const USHORT* v, const UCHAR* inv, LONG c) {
  const __m256i d = Widen16Avx2(inv + c);
  const __m256i mid = Load16Avx2(v + c - 1);
  __m256i t = _mm256_add_epi16(Load16Avx2(v + c - 2), Load16Avx2(v + c));
  t = _mm256_sub_epi16(_mm256_add_epi16(t, _mm256_add_epi16(mid, mid)), d);
  return PencilDodge16Avx2(t, d);
}

// 255 - (B + G + R) / 3 of the 16 pixels at p, as 16-bit lanes in pixel
// order. The two halves of the ymm registers hold pixels 0-7 and 8-15;
// bytes 0-15 of a half serve pixels 0-4, bytes 8-23 pixels 5-7. The
// division by 3 is (s x 43691) >> 17, exact for s <= 765 (the error term
// s / 393216 stays below 1/3).
QCAM_TARGET_AVX2 inline __m256i NegativeGrey16Avx2(const UCHAR* p) {
  const __m256i lo = _mm256_inserti128_si256(
      _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))),
      _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 24)), 1);
  const __m256i hi = _mm256_inserti128_si256(
      _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 8))),
      _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32)), 1);
  const char z = -1;
#define QCAM_PENCIL_LANES(k)                                                                                     \
  _mm256_setr_epi8(k, z, 3 + k, z, 6 + k, z, 9 + k, z, 12 + k, z, z, z, z, z, z, z, k, z, 3 + k, z, 6 + k, z, \
                   9 + k, z, 12 + k, z, z, z, z, z, z, z)
#define QCAM_PENCIL_HIGH(k)                                                                                   \
  _mm256_setr_epi8(z, z, z, z, z, z, z, z, z, z, 7 + k, z, 10 + k, z, 13 + k, z, z, z, z, z, z, z, z, z, z, z, \
                   7 + k, z, 10 + k, z, 13 + k, z)
  __m256i sum = _mm256_shuffle_epi8(lo, QCAM_PENCIL_LANES(0));
  sum = _mm256_add_epi16(sum, _mm256_shuffle_epi8(hi, QCAM_PENCIL_HIGH(0)));
  sum = _mm256_add_epi16(sum, _mm256_shuffle_epi8(lo, QCAM_PENCIL_LANES(1)));
  sum = _mm256_add_epi16(sum, _mm256_shuffle_epi8(hi, QCAM_PENCIL_HIGH(1)));
  sum = _mm256_add_epi16(sum, _mm256_shuffle_epi8(lo, QCAM_PENCIL_LANES(2)));
  sum = _mm256_add_epi16(sum, _mm256_shuffle_epi8(hi, QCAM_PENCIL_HIGH(2)));
#undef QCAM_PENCIL_LANES
#undef QCAM_PENCIL_HIGH
  const __m256i g = _mm256_srli_epi16(_mm256_mulhi_epu16(sum, _mm256_set1_epi16(short(43691))), 1);
  return _mm256_sub_epi16(_mm256_set1_epi16(255), g);
}

// 16-bit lanes in pixel order as 16 bytes.
QCAM_TARGET_AVX2 inline __m128i Bytes16Avx2(__m256i v) {
  return _mm256_castsi256_si128(_mm256_permute4x64_epi64(_mm256_packus_epi16(v, v), _MM_SHUFFLE(3, 1, 2, 0)));
}

// Both layouts: each row's negative grey levels go into the scratch picture
// (and its V into `v`) in blocks of 16 columns, the last block overlapping
// the one before it; then the row's output, from the scratch picture and
// `v` alone, again with an overlapping last block that writes the same
// bytes again.
QCAM_TARGET_AVX2 VOID PencilRgbAvx2(PUCHAR picture, LONG width, LONG height, PUCHAR scratch) {
  const ULONG uw = ULONG(width);
  const __m128i spread0 = _mm_setr_epi8(0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5);
  const __m128i spread1 = _mm_setr_epi8(5, 5, 6, 6, 6, 7, 7, 7, 8, 8, 8, 9, 9, 9, 10, 10);
  const __m128i spread2 = _mm_setr_epi8(10, 11, 11, 11, 12, 12, 12, 13, 13, 13, 14, 14, 14, 15, 15, 15);
  USHORT v[kEffectMaxWidth];
  for (LONG r = 0; r < height; ++r) {
    PUCHAR row = picture + ULONG(r) * uw * 3;
    PUCHAR inv = scratch + ULONG(r) * uw;
    for (LONG c = 0;; c += 16) {
      if (c > width - 16) c = width - 16;
      const __m256i d = NegativeGrey16Avx2(row + 3 * c);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(inv + c), Bytes16Avx2(d));
      if (r >= 2)
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(v + c), PencilColumns16Avx2(inv - 2 * uw + c, inv - uw + c, d));
      if (c == width - 16) break;
    }
    const LONG greyOnly = r < 2 ? width : 2;
    for (LONG c = 0; c < greyOnly; ++c) row[3 * c] = UCHAR(255 - inv[c]);
    if (r < 2) continue;
    for (LONG c = 2;; c += 16) {
      if (c > width - 16) c = width - 16;
      const __m128i q = Bytes16Avx2(PencilRow16Avx2(v, inv, c));
      PUCHAR o = row + 3 * c;
      _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm_shuffle_epi8(q, spread0));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 16), _mm_shuffle_epi8(q, spread1));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 32), _mm_shuffle_epi8(q, spread2));
      if (c == width - 16) break;
    }
  }
}

// YUY2: the quotients as 16-bit lanes are the output pixels' Y bytes; the
// chroma byte above each is 128.
QCAM_TARGET_AVX2 VOID PencilYuy2Avx2(PUCHAR picture, LONG width, LONG height, PUCHAR scratch) {
  const ULONG uw = ULONG(width);
  const __m256i luma = _mm256_set1_epi16(0xFF);
  const __m256i mid = _mm256_set1_epi16(short(0x8000));
  USHORT v[kEffectMaxWidth];
  for (LONG r = 0; r < height; ++r) {
    PUCHAR row = picture + ULONG(r) * uw * 2;
    PUCHAR inv = scratch + ULONG(r) * uw;
    for (LONG c = 0;; c += 16) {
      if (c > width - 16) c = width - 16;
      const __m256i y = _mm256_and_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + 2 * c)), luma);
      const __m256i d = _mm256_xor_si256(y, luma);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(inv + c), Bytes16Avx2(d));
      if (r >= 2)
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(v + c), PencilColumns16Avx2(inv - 2 * uw + c, inv - uw + c, d));
      if (c == width - 16) break;
    }
    const LONG chromaOnly = r < 2 ? width : 2;
    for (LONG c = 0; c < chromaOnly; ++c) row[2 * c + 1] = 128;
    if (r < 2) continue;
    for (LONG c = 2;; c += 16) {
      if (c > width - 16) c = width - 16;
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(row + 2 * c), _mm256_or_si256(PencilRow16Avx2(v, inv, c), mid));
      if (c == width - 16) break;
    }
  }
}

// SSSE3: the dodge of 16 pixels at column c of row r, the pointers
// addressing column c of scratch rows r - 2, r - 1 and r (c >= 2,
// c + 16 <= width); the eight terms of the blur are summed from the bytes in
// 16-bit lanes, eight lanes at a time, and the quotient is taken in single
// precision as in the AVX2 paths.
QCAM_TARGET_SSSE3 inline __m128i Quotient4Ssse3(__m128i x, __m128i d) {
  return _mm_cvttps_epi32(_mm_div_ps(_mm_cvtepi32_ps(x), _mm_cvtepi32_ps(d)));
}

// Eight dodges from 16-bit blur sums t and negative grey levels inv.
QCAM_TARGET_SSSE3 inline __m128i PencilDodge8Ssse3(__m128i t, __m128i inv) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i all = _mm_set1_epi16(255);
  const __m128i divisor = _mm_sub_epi16(all, _mm_srli_epi16(t, 4));
  const __m128i dividend = _mm_slli_epi16(_mm_sub_epi16(all, inv), 8);
  const __m128i q0 = Quotient4Ssse3(_mm_unpacklo_epi16(dividend, zero), _mm_unpacklo_epi16(divisor, zero));
  const __m128i q1 = Quotient4Ssse3(_mm_unpackhi_epi16(dividend, zero), _mm_unpackhi_epi16(divisor, zero));
  return _mm_packs_epi32(q0, q1);
}

QCAM_TARGET_SSSE3 inline __m128i PencilDodge16Ssse3(const UCHAR* up2, const UCHAR* up1, const UCHAR* cur) {
  const __m128i zero = _mm_setzero_si128();
  __m128i t[2], inv[2];
  const __m128i a0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(up2 - 2));
  const __m128i a1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(up2 - 1));
  const __m128i a2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(up2));
  const __m128i b0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(up1 - 2));
  const __m128i b1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(up1 - 1));
  const __m128i b2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(up1));
  const __m128i d0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cur - 2));
  const __m128i d1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cur - 1));
  const __m128i d2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cur));
  for (int h = 0; h < 2; ++h) {
    auto wide = [h, zero](__m128i v) { return h ? _mm_unpackhi_epi8(v, zero) : _mm_unpacklo_epi8(v, zero); };
    const __m128i twice = _mm_add_epi16(_mm_add_epi16(wide(a1), wide(b0)), _mm_add_epi16(wide(b2), wide(d1)));
    __m128i sum = _mm_add_epi16(_mm_add_epi16(wide(a0), wide(a2)), wide(d0));
    sum = _mm_add_epi16(sum, _mm_slli_epi16(twice, 1));
    t[h] = _mm_add_epi16(sum, _mm_slli_epi16(wide(b1), 2));
    inv[h] = wide(d2);
  }
  return _mm_packus_epi16(PencilDodge8Ssse3(t[0], inv[0]), PencilDodge8Ssse3(t[1], inv[1]));
}

// 255 - (B + G + R) / 3 of the eight pixels at p: bytes 0-15 serve pixels
// 0-4, bytes 8-23 pixels 5-7 (16-bit lanes); the division as in the AVX2
// version.
QCAM_TARGET_SSSE3 inline __m128i NegativeGrey8Ssse3(const UCHAR* p) {
  const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 8));
  const char z = -1;
  __m128i sum = _mm_setzero_si128();
  for (char k = 0; k < 3; ++k) {
    sum = _mm_add_epi16(sum, _mm_shuffle_epi8(lo, _mm_setr_epi8(k, z, 3 + k, z, 6 + k, z, 9 + k, z, 12 + k, z, z, z,
                                                                 z, z, z, z)));
    sum = _mm_add_epi16(sum, _mm_shuffle_epi8(hi, _mm_setr_epi8(z, z, z, z, z, z, z, z, z, z, 7 + k, z, 10 + k, z,
                                                                 13 + k, z)));
  }
  const __m128i g = _mm_srli_epi16(_mm_mulhi_epu16(sum, _mm_set1_epi16(short(43691))), 1);
  return _mm_sub_epi16(_mm_set1_epi16(255), g);
}

QCAM_TARGET_SSSE3 VOID PencilRgbSsse3(PUCHAR picture, LONG width, LONG height, PUCHAR scratch) {
  const ULONG uw = ULONG(width);
  const __m128i spread0 = _mm_setr_epi8(0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5);
  const __m128i spread1 = _mm_setr_epi8(5, 5, 6, 6, 6, 7, 7, 7, 8, 8, 8, 9, 9, 9, 10, 10);
  const __m128i spread2 = _mm_setr_epi8(10, 11, 11, 11, 12, 12, 12, 13, 13, 13, 14, 14, 14, 15, 15, 15);
  for (LONG r = 0; r < height; ++r) {
    PUCHAR row = picture + ULONG(r) * uw * 3;
    PUCHAR inv = scratch + ULONG(r) * uw;
    for (LONG c = 0;; c += 16) {
      if (c > width - 16) c = width - 16;
      const __m128i bytes = _mm_packus_epi16(NegativeGrey8Ssse3(row + 3 * c), NegativeGrey8Ssse3(row + 3 * c + 24));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(inv + c), bytes);
      if (c == width - 16) break;
    }
    const LONG greyOnly = r < 2 ? width : 2;
    for (LONG c = 0; c < greyOnly; ++c) row[3 * c] = UCHAR(255 - inv[c]);
    if (r < 2) continue;
    for (LONG c = 2;; c += 16) {
      if (c > width - 16) c = width - 16;
      const __m128i v = PencilDodge16Ssse3(inv - 2 * uw + c, inv - uw + c, inv + c);
      PUCHAR o = row + 3 * c;
      _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm_shuffle_epi8(v, spread0));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 16), _mm_shuffle_epi8(v, spread1));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 32), _mm_shuffle_epi8(v, spread2));
      if (c == width - 16) break;
    }
  }
}

QCAM_TARGET_SSSE3 VOID PencilYuy2Ssse3(PUCHAR picture, LONG width, LONG height, PUCHAR scratch) {
  const ULONG uw = ULONG(width);
  const __m128i luma = _mm_set1_epi16(0xFF);
  const __m128i all = _mm_set1_epi8(char(0xFF));
  const __m128i mid = _mm_set1_epi8(char(128));
  for (LONG r = 0; r < height; ++r) {
    PUCHAR row = picture + ULONG(r) * uw * 2;
    PUCHAR inv = scratch + ULONG(r) * uw;
    for (LONG c = 0;; c += 16) {
      if (c > width - 16) c = width - 16;
      const __m128i y0 = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + 2 * c)), luma);
      const __m128i y1 = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + 2 * c + 16)), luma);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(inv + c), _mm_xor_si128(_mm_packus_epi16(y0, y1), all));
      if (c == width - 16) break;
    }
    const LONG chromaOnly = r < 2 ? width : 2;
    for (LONG c = 0; c < chromaOnly; ++c) row[2 * c + 1] = 128;
    if (r < 2) continue;
    for (LONG c = 2;; c += 16) {
      if (c > width - 16) c = width - 16;
      const __m128i v = PencilDodge16Ssse3(inv - 2 * uw + c, inv - uw + c, inv + c);
      PUCHAR o = row + 2 * c;
      _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm_unpacklo_epi8(v, mid));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 16), _mm_unpackhi_epi8(v, mid));
      if (c == width - 16) break;
    }
  }
}
#endif  // QCAM_HAVE_X86_VECTORS

}  // namespace

VOID PencilRgb(PUCHAR picture, LONG width, LONG height, PUCHAR scratch) {
#if QCAM_HAVE_X86_VECTORS
  if (width >= kPencilMinVectorWidth) {
    const VectorLevel level = EffectVectorLevel();
    if (level >= VectorLevel::kAvx2 && width <= kEffectMaxWidth) return PencilRgbAvx2(picture, width, height, scratch);
    if (level >= VectorLevel::kSsse3) return PencilRgbSsse3(picture, width, height, scratch);
  }
#endif
  PencilRgbPortable(picture, width, height, scratch);
}

VOID PencilYuy2(PUCHAR picture, LONG width, LONG height, PUCHAR scratch) {
#if QCAM_HAVE_X86_VECTORS
  if (width >= kPencilMinVectorWidth) {
    const VectorLevel level = EffectVectorLevel();
    if (level >= VectorLevel::kAvx2 && width <= kEffectMaxWidth) return PencilYuy2Avx2(picture, width, height, scratch);
    if (level >= VectorLevel::kSsse3) return PencilYuy2Ssse3(picture, width, height, scratch);
  }
#endif
  PencilYuy2Portable(picture, width, height, scratch);
}
