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
// into the scratch picture (and, on the AVX2 paths, its grey levels into
// row buffers), then the row's output from those alone (the grey level g of
// a pixel is 255 minus its scratch byte), so that the last block of a row
// may overlap the one before it and write the same bytes again. Rows 0 and 1
// and columns 0 and 1 only get their grey level (RGB: into B) or their
// chroma set (YUY2), by the portable rule. Pictures narrower than 18 pixels
// take the portable path, and so do pictures wider than the effects take
// (never passed by the dispatcher), whose rows would not fit the AVX2 paths'
// row buffers on the stack.
constexpr LONG kPencilMinVectorWidth = 18;

// The AVX2 rows work with grey levels g (the negative grey levels of the
// scratch picture are 255 - g) and split the blur into a vertical and a
// horizontal step. With V[j] = a[j] + 2 b[j] + e[j] over the grey levels of
// rows r - 2, r - 1 and r, the window at column c sums to
// s = V[c - 2] + 2 V[c - 1] + V[c] - e[c] (the current pixel is the one cell
// of the 3 x 3 window left out), and as the weights sum to 15 the blur of
// the negative picture is b = (15 x 255 - s) >> 4 and the divisor of the
// dodge d = 255 - b = (s + 270) >> 4 (3825 = 16 x 239 + 1). The grey levels
// of the last three rows are kept as 16-bit lanes in a ring of row buffers,
// so that V (at most 4 x 255) takes no widening; V of the row goes into its
// own buffer, and the horizontal step reads it at three offsets with plain
// loads.
struct PencilRowsAvx2 {
  USHORT grey[3][kEffectMaxWidth];  // row r in grey[r % 3]
  USHORT v[kEffectMaxWidth];
};

QCAM_TARGET_AVX2 inline __m256i Load16Avx2(const USHORT* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
QCAM_TARGET_AVX2 inline void Store16Avx2(USHORT* p, __m256i v) {
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

// The dodge of 2 x 16 pixels from their window sums s and grey levels g
// (16-bit lanes), as 16-bit lanes in pixel order, each floor(256 g / d) for
// d = (s + 270) >> 4 (16 ... 255), except that g = 0 gives 0xFFFF (a
// negative 16-bit value) where the quotient is 0: the callers pack the lanes
// to bytes with unsigned saturation, which also limits them to 255. The two
// blocks are interleaved so that their long chains of dependent steps
// overlap.
//
// g and d are split into their even and odd lanes by masks alone: an even
// lane's 32 bits hold the value itself, an odd lane's the value times 65536,
// and either way the quotient of the two is that of g and d. The quotient
// takes no division (the one divider would take 8 cycles for 8 lanes):
// from the reciprocal estimate r0 = (1 / d)(1 + e0), |e0| <= 1.5 x 2^-12,
// one Newton step with c = 2 + 2^-18 (a slight upward bias) gives
// y = (g r0)(c - d r0). c - d r0 is one fused multiply-add (d r0 lies within
// 2^-11 of 1, so at most its rounding of 2^-24 remains), and with the
// rounding of g r0 (at most 2^-24, relative) y = (g / d)(1 + f) with
// f = 2^-18 (1 + e0) - e0^2 + (rounding terms) in [58 x 2^-24, 68 x 2^-24]:
// y lies above g / d by at most 4.1 x 10^-6 of it. Adding 2^15 - 2^-9 to the
// product in the same fused multiply-add then rounds y to a multiple of 2^-8
// (the spacing of floats in [2^15, 2^16)) after moving it down by half that
// spacing, which leaves floor(256 y) in the low mantissa bits: 256 y exceeds
// Q = 256 g / d by more than 0 and less than 0.017 (Q < 4081), so for an
// integer Q = k 256 y - 1/2 lies in (k - 1/2, k - 0.48) and rounds to k; a Q
// that is not an integer lies between k + 1 / d and k + 1 - 1 / d
// (1 / d >= 0.0039), and for Q < 256 the excess is below 0.0011, so
// 256 y - 1/2 lies in (k - 0.4961, k + 0.4972) and rounds to k; Q >= 256 gives
// 256 or more. Only g = 0 (y = 0) leaves the sum below 2^15, as
// 2^15 - 2^-9, whose low 16 bits are 0xFFFF. A test checks all 256 x 240
// (g, d) pairs through the effect.
QCAM_TARGET_AVX2_FMA inline void PencilDodge32Avx2(const __m256i s[2], const __m256i grey[2], __m256i q[2]) {
  const __m256i lanes[2] = {_mm256_set1_epi32(0xFFFF), _mm256_set1_epi32(int(0xFFFF0000u))};
  const __m256 bias = _mm256_set1_ps(2.0f + 1.0f / 262144);
  const __m256 round = _mm256_set1_ps(32768.0f - 1.0f / 512);
  __m256 g[4], d[4], r[4];
  for (int k = 0; k < 2; ++k) {
    const __m256i divisor = _mm256_srli_epi16(_mm256_add_epi16(s[k], _mm256_set1_epi16(270)), 4);
    for (int h = 0; h < 2; ++h) d[2 * k + h] = _mm256_cvtepi32_ps(_mm256_and_si256(divisor, lanes[h]));
  }
  for (int k = 0; k < 4; ++k) r[k] = _mm256_rcp_ps(d[k]);
  for (int k = 0; k < 2; ++k)
    for (int h = 0; h < 2; ++h) g[2 * k + h] = _mm256_cvtepi32_ps(_mm256_and_si256(grey[k], lanes[h]));
  for (int k = 0; k < 4; ++k) {
    d[k] = _mm256_fnmadd_ps(d[k], r[k], bias);
    g[k] = _mm256_mul_ps(g[k], r[k]);
  }
  for (int k = 0; k < 4; ++k) g[k] = _mm256_fmadd_ps(g[k], d[k], round);
  for (int k = 0; k < 2; ++k)
    q[k] = _mm256_blend_epi16(_mm256_castps_si256(g[2 * k]), _mm256_slli_epi32(_mm256_castps_si256(g[2 * k + 1]), 16),
                              0xAA);
}

// The horizontal step for the 16 pixels at column c >= 2 of a row whose V
// and grey levels e are given.
QCAM_TARGET_AVX2 inline __m256i PencilWindow16Avx2(const USHORT* v, __m256i e, LONG c) {
  const __m256i mid = Load16Avx2(v + c - 1);
  const __m256i t = _mm256_add_epi16(Load16Avx2(v + c - 2), Load16Avx2(v + c));
  return _mm256_sub_epi16(_mm256_add_epi16(t, _mm256_add_epi16(mid, mid)), e);
}

// The dodge of the 2 x 16 pixels at columns c and c2 >= 2 (c2 = c + 16, or
// c itself for a lone block).
QCAM_TARGET_AVX2_FMA inline void PencilRow32Avx2(const USHORT* v, const USHORT* grey, LONG c, LONG c2, __m256i q[2]) {
  const __m256i e[2] = {Load16Avx2(grey + c), Load16Avx2(grey + c2)};
  const __m256i s[2] = {PencilWindow16Avx2(v, e[0], c), PencilWindow16Avx2(v, e[1], c2)};
  PencilDodge32Avx2(s, e, q);
}

// (B + G + R) / 3 of the 16 pixels at p, as 16-bit lanes in pixel order.
// The two halves of the ymm registers hold pixels 0-7 and 8-15; bytes 0-15
// of a half serve pixels 0-4, bytes 8-23 pixels 5-7. B and G go into the two
// bytes of a pixel's 16-bit lane and are summed by a multiply-add, R comes
// in the low byte of another lane. The division by 3 is (s x 21846) >> 16,
// exact for s <= 765: 21846 / 65536 exceeds 1/3 by 1/196608, so the product
// exceeds s / 3 by less than 0.004, while the fraction of s / 3 is at most
// 2/3.
QCAM_TARGET_AVX2 inline __m256i Grey16Avx2(const UCHAR* p) {
  const __m256i lo = _mm256_inserti128_si256(
      _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))),
      _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 24)), 1);
  const __m256i hi = _mm256_inserti128_si256(
      _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 8))),
      _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32)), 1);
  const char z = -1;
  const __m256i blueGreenLo = _mm256_setr_epi8(0, 1, 3, 4, 6, 7, 9, 10, 12, 13, z, z, z, z, z, z,  //
                                               0, 1, 3, 4, 6, 7, 9, 10, 12, 13, z, z, z, z, z, z);
  const __m256i blueGreenHi = _mm256_setr_epi8(z, z, z, z, z, z, z, z, z, z, 7, 8, 10, 11, 13, 14,  //
                                               z, z, z, z, z, z, z, z, z, z, 7, 8, 10, 11, 13, 14);
  const __m256i redLo = _mm256_setr_epi8(2, z, 5, z, 8, z, 11, z, 14, z, z, z, z, z, z, z,  //
                                         2, z, 5, z, 8, z, 11, z, 14, z, z, z, z, z, z, z);
  const __m256i redHi = _mm256_setr_epi8(z, z, z, z, z, z, z, z, z, z, 9, z, 12, z, 15, z,  //
                                         z, z, z, z, z, z, z, z, z, z, 9, z, 12, z, 15, z);
  const __m256i blueGreen = _mm256_or_si256(_mm256_shuffle_epi8(lo, blueGreenLo), _mm256_shuffle_epi8(hi, blueGreenHi));
  __m256i sum = _mm256_maddubs_epi16(blueGreen, _mm256_set1_epi8(1));
  sum = _mm256_add_epi16(sum, _mm256_or_si256(_mm256_shuffle_epi8(lo, redLo), _mm256_shuffle_epi8(hi, redHi)));
  return _mm256_mulhi_epu16(sum, _mm256_set1_epi16(21846));
}

// 16-bit lanes in pixel order as 16 bytes, limited to 255.
QCAM_TARGET_AVX2 inline __m128i Bytes16Avx2(__m256i v) {
  return _mm256_castsi256_si128(_mm256_permute4x64_epi64(_mm256_packus_epi16(v, v), _MM_SHUFFLE(3, 1, 2, 0)));
}

// Two blocks of 16 columns of row r at columns at[0] and at[1] from their
// grey levels e: the negatives into the scratch row (one store when the
// blocks are adjacent), e into the ring and, from row 2 on, V into its row
// buffer.
QCAM_TARGET_AVX2 inline void PencilColumns32Avx2(PencilRowsAvx2* rows, PUCHAR inv, LONG r, const LONG at[2],
                                                 const __m256i e[2]) {
  if (at[1] == at[0] + 16) {
    const __m256i bytes = _mm256_permute4x64_epi64(_mm256_packus_epi16(e[0], e[1]), _MM_SHUFFLE(3, 1, 2, 0));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(inv + at[0]), _mm256_xor_si256(bytes, _mm256_set1_epi8(char(0xFF))));
  } else {
    for (int k = 0; k < 2; ++k)
      _mm_storeu_si128(reinterpret_cast<__m128i*>(inv + at[k]),
                       _mm_xor_si128(Bytes16Avx2(e[k]), _mm_set1_epi8(char(0xFF))));
  }
  for (int k = 0; k < 2; ++k) Store16Avx2(rows->grey[r % 3] + at[k], e[k]);
  if (r < 2) return;
  for (int k = 0; k < 2; ++k) {
    const __m256i a = Load16Avx2(rows->grey[(r + 1) % 3] + at[k]);  // row r - 2
    const __m256i b = Load16Avx2(rows->grey[(r + 2) % 3] + at[k]);  // row r - 1
    Store16Avx2(rows->v + at[k], _mm256_add_epi16(_mm256_add_epi16(a, e[k]), _mm256_add_epi16(b, b)));
  }
}

// The columns of a pair of blocks from column c on: c and c + 16, each
// moved back to the row's last block where it would run past the row.
inline void PencilPair(LONG c, LONG width, LONG at[2]) {
  at[0] = c < width - 16 ? c : width - 16;
  at[1] = c + 16 < width - 16 ? c + 16 : width - 16;
}

// Both layouts: each row's grey levels go into the scratch picture (as
// negatives) and the ring, and its V into the row buffer, in blocks of 16
// columns, the last block overlapping the one before it; then the row's
// output, from the row buffers alone, in pairs of blocks, the last ones
// overlapping those before them and writing the same bytes again.
QCAM_TARGET_AVX2_FMA VOID PencilRgbAvx2(PUCHAR picture, LONG width, LONG height, PUCHAR scratch) {
  const ULONG uw = ULONG(width);
  const __m128i spread0 = _mm_setr_epi8(0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5);
  const __m128i spread1 = _mm_setr_epi8(5, 5, 6, 6, 6, 7, 7, 7, 8, 8, 8, 9, 9, 9, 10, 10);
  const __m128i spread2 = _mm_setr_epi8(10, 11, 11, 11, 12, 12, 12, 13, 13, 13, 14, 14, 14, 15, 15, 15);
  PencilRowsAvx2 rows;
  for (LONG r = 0; r < height; ++r) {
    PUCHAR row = picture + ULONG(r) * uw * 3;
    PUCHAR inv = scratch + ULONG(r) * uw;
    for (LONG c = 0; c < width; c += 32) {
      LONG at[2];
      PencilPair(c, width, at);
      const __m256i e[2] = {Grey16Avx2(row + 3 * at[0]), Grey16Avx2(row + 3 * at[1])};
      PencilColumns32Avx2(&rows, inv, r, at, e);
    }
    const LONG greyOnly = r < 2 ? width : 2;
    for (LONG c = 0; c < greyOnly; ++c) row[3 * c] = UCHAR(255 - inv[c]);
    if (r < 2) continue;
    const USHORT* grey = rows.grey[r % 3];
    for (LONG c = 2; c < width; c += 32) {
      LONG at[2];
      PencilPair(c, width, at);
      __m256i q[2];
      PencilRow32Avx2(rows.v, grey, at[0], at[1], q);
      // Both blocks' bytes, limited to 255, in one register: the first
      // block in the low half, the second in the high one.
      const __m256i bytes = _mm256_permute4x64_epi64(_mm256_packus_epi16(q[0], q[1]), _MM_SHUFFLE(3, 1, 2, 0));
      const __m128i half[2] = {_mm256_castsi256_si128(bytes), _mm256_extracti128_si256(bytes, 1)};
      for (int k = 0; k < 2; ++k) {
        PUCHAR o = row + 3 * at[k];
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm_shuffle_epi8(half[k], spread0));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 16), _mm_shuffle_epi8(half[k], spread1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 32), _mm_shuffle_epi8(half[k], spread2));
      }
    }
  }
}

// YUY2: the output bytes interleaved with chroma bytes of 128 are the
// output pixels.
QCAM_TARGET_AVX2_FMA VOID PencilYuy2Avx2(PUCHAR picture, LONG width, LONG height, PUCHAR scratch) {
  const ULONG uw = ULONG(width);
  const __m256i luma = _mm256_set1_epi16(0xFF);
  const __m256i mid = _mm256_set1_epi8(char(128));
  PencilRowsAvx2 rows;
  for (LONG r = 0; r < height; ++r) {
    PUCHAR row = picture + ULONG(r) * uw * 2;
    PUCHAR inv = scratch + ULONG(r) * uw;
    for (LONG c = 0; c < width; c += 32) {
      LONG at[2];
      PencilPair(c, width, at);
      __m256i e[2];
      for (int k = 0; k < 2; ++k)
        e[k] = _mm256_and_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + 2 * at[k])), luma);
      PencilColumns32Avx2(&rows, inv, r, at, e);
    }
    const LONG chromaOnly = r < 2 ? width : 2;
    for (LONG c = 0; c < chromaOnly; ++c) row[2 * c + 1] = 128;
    if (r < 2) continue;
    const USHORT* grey = rows.grey[r % 3];
    for (LONG c = 2; c < width; c += 32) {
      LONG at[2];
      PencilPair(c, width, at);
      __m256i q[2];
      PencilRow32Avx2(rows.v, grey, at[0], at[1], q);
      // Bytes of both blocks, each 128-bit half holding 8 of one and 8 of
      // the other, back to 16-bit lanes with the chroma byte above.
      const __m256i bytes = _mm256_packus_epi16(q[0], q[1]);
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(row + 2 * at[0]), _mm256_unpacklo_epi8(bytes, mid));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(row + 2 * at[1]), _mm256_unpackhi_epi8(bytes, mid));
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
