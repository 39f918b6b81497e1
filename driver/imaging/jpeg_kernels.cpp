// Pixel kernels of the JPEG decoder (see jpeg_kernels.h).
#include "driver/imaging/jpeg_kernels.h"

#include <cstring>

#if JPEG_KERNELS_SSE2
#include <emmintrin.h>
#endif
#if JPEG_KERNELS_SSE2 && QCAM_HAVE_X86_VECTORS
#include <immintrin.h>
#endif

// ---- tables -----------------------------------------------------------------

const UCHAR kJpegDezigzag[64] = {
    0,  2,  3,  9,  10, 20, 21, 35, 1,  4,  8,  11, 19, 22, 34, 36,  //
    5,  7,  12, 18, 23, 33, 37, 48, 6,  13, 17, 24, 32, 38, 47, 49,  //
    14, 16, 25, 31, 39, 46, 50, 57, 15, 26, 30, 40, 45, 51, 56, 58,  //
    27, 29, 41, 44, 52, 55, 59, 62, 28, 42, 43, 53, 54, 60, 61, 63};

const UCHAR kJpegZigzagToPosition[64] = {
    0,  8,  1,  2,  9,  16, 24, 17, 10, 3,  4,  11, 18, 25, 32, 40,  //
    33, 26, 19, 12, 5,  6,  13, 20, 27, 34, 41, 48, 56, 49, 42, 35,  //
    28, 21, 14, 7,  15, 22, 29, 36, 43, 50, 57, 58, 51, 44, 37, 30,  //
    23, 31, 38, 45, 52, 59, 60, 53, 46, 39, 47, 54, 61, 62, 55, 63};

alignas(16) const SHORT kJpegIdctPrescale[64] = {
    16384, 22725, 21407, 19266, 16384, 12873, 8867,  4520,  //
    22725, 31521, 29692, 26722, 22725, 17855, 12299, 6270,  //
    21407, 29692, 27969, 25172, 21407, 16819, 11585, 5906,  //
    19266, 26722, 25172, 22654, 19266, 15137, 10426, 5315,  //
    16384, 22725, 21407, 19266, 16384, 12873, 8867,  4520,  //
    12873, 17855, 16819, 15137, 25746, 20228, 13933, 7103,  //
    17734, 24598, 23170, 20853, 17734, 13933, 9597,  4892,  //
    18081, 25080, 23624, 21261, 18081, 14206, 9785,  4988};

const SHORT kJpegIdctBias[4] = {1, 1, 2, 5};

namespace {
struct RangeLimitTable {
  UCHAR v[4096];
};
constexpr RangeLimitTable MakeRangeLimit() {
  RangeLimitTable t{};
  for (int i = 0; i < 4096; ++i) {
    int v = i - kJpegRangeLimitOffset;
    t.v[i] = static_cast<UCHAR>(v < -128 ? 0 : (v > 127 ? 255 : v + 128));
  }
  return t;
}
constexpr RangeLimitTable kRangeLimitTable = MakeRangeLimit();

struct ColourTables {
  UCHAR luma[256];
  JpegChromaTerms cb[256];
  JpegChromaTerms cr[256];
};
// trunc(k * d / 4) as a signed byte; the conversion to int rounds toward zero.
constexpr signed char Term(double k, int d) { return static_cast<signed char>(static_cast<int>(k * d / 4.0)); }
constexpr ColourTables MakeColourTables() {
  ColourTables t{};
  for (int i = 0; i < 256; ++i) {
    int d = i - 128;
    t.luma[i] = static_cast<UCHAR>(64 + (i >> 2));
    signed char b = Term(1.772, d), gu = Term(-0.344136, d);
    signed char r = Term(1.402, d), gv = Term(-0.714136, d);
    t.cb[i] = JpegChromaTerms{{b, gu, b, gu}};
    t.cr[i] = JpegChromaTerms{{r, gv, r, gv}};
  }
  return t;
}
constexpr ColourTables kColourTables = MakeColourTables();
}  // namespace

const UCHAR* const kJpegRangeLimit = kRangeLimitTable.v;
const UCHAR* const kJpegLuma = kColourTables.luma;
const JpegChromaTerms* const kJpegCbTerms = kColourTables.cb;
const JpegChromaTerms* const kJpegCrTerms = kColourTables.cr;

// ---- inverse DCT -------------------------------------------------------------
//
// The one-dimensional transform is the Arai-Agui-Nakajima factorisation: with
// the inputs prescaled by the AAN factors, the even part needs one multiply
// (by sqrt 2) and the odd part four (sqrt 2 and a three-multiply rotation):
//
//   even:  t10 = x0 + x4   t11 = x0 - x4   t13 = x2 + x6
//          t12 = sqrt2 * (x2 - x6) - t13
//          e0 = t10 + t13  e3 = t10 - t13  e1 = t11 + t12  e2 = t11 - t12
//   odd:   z13 = x5 + x3   z10 = x5 - x3   z11 = x1 + x7   z12 = x1 - x7
//          t7 = z11 + z13  t11 = sqrt2 * (z11 - z13)
//          w   = 0.765367 * (z10 + z12)
//          t10 = -(w + 1.082392 * z10)
//          t12 = 2.613126 * z12 - w
//          t6 = t12 - t7   t5 = t11 - t6   t4 = t10 + t5
//   out:   e0 +- t7 (0, 7), e1 +- t6 (1, 6), e2 +- t5 (2, 5), e3 -+ t4 (3, 4)
//
// Every constant is below 1 in its 16-bit form, so a product is a high-half
// multiply of a pre-doubled operand: sqrt2 * v = hi(4v * 0x5A82),
// 1.082392 * v = hi(4v * 0x4546), 0.765367 * v = hi(2v * 0x61F8) and
// 2.613126 * v = 2 * hi(4v * 0x539F). The pre-doubling gives the product two
// more significant bits than a shift after the multiply would.
//
// Scale. Quantisation values are stored x 16 and the prescale table is
// AAN(u) * AAN(v) * 2^14, so a prescaled coefficient is 4 * C * AAN(u) *
// AAN(v). Rows 5 (columns 4..7), 6 and 7 of the table carry an extra factor
// of 2, 2 and 4; those rows are shifted back before the first pass. The two
// passes then leave 32 x the spatial sample; the final shift by 5 is the
// descale by 2 and the shift by 4 that the quantisation scale asks for. A
// rounding half (16) is added to the DC term, which reaches every output.
//
// Overflow envelope. All sums saturate at the 16-bit range, and the doubling
// before a multiply saturates too. Coefficients of real pictures keep every
// intermediate below 2^15: a prescaled coefficient is at most about 4 x 1024 x
// 1.92, the first pass output at most about 8 x that for a block at full
// swing. Blocks beyond that (a DC of +-2048 together with large AC terms,
// which no encoder produces from 8-bit samples) saturate instead of wrapping,
// so their samples clip to 0 or 255 in the direction of the true value.

namespace {

inline SHORT Sat16(int v) { return static_cast<SHORT>(v < -32768 ? -32768 : (v > 32767 ? 32767 : v)); }

struct Lanes {
  SHORT v[8];
};
inline Lanes Adds(const Lanes& a, const Lanes& b) {
  Lanes r;
  for (int i = 0; i < 8; ++i) r.v[i] = Sat16(a.v[i] + b.v[i]);
  return r;
}
inline Lanes Subs(const Lanes& a, const Lanes& b) {
  Lanes r;
  for (int i = 0; i < 8; ++i) r.v[i] = Sat16(a.v[i] - b.v[i]);
  return r;
}
inline Lanes Dbl(const Lanes& a) { return Adds(a, a); }
inline Lanes Neg(const Lanes& a) {
  Lanes z{};
  return Subs(z, a);
}
inline Lanes MulHi(const Lanes& a, SHORT k) {
  Lanes r;
  for (int i = 0; i < 8; ++i) r.v[i] = static_cast<SHORT>((a.v[i] * static_cast<int>(k)) >> 16);
  return r;
}

#if JPEG_KERNELS_SSE2
inline __m128i Adds(__m128i a, __m128i b) { return _mm_adds_epi16(a, b); }
inline __m128i Subs(__m128i a, __m128i b) { return _mm_subs_epi16(a, b); }
inline __m128i Dbl(__m128i a) { return _mm_adds_epi16(a, a); }
inline __m128i Neg(__m128i a) { return _mm_subs_epi16(_mm_setzero_si128(), a); }
inline __m128i MulHi(__m128i a, SHORT k) { return _mm_mulhi_epi16(a, _mm_set1_epi16(k)); }
#endif

template <class V>
inline void Butterfly(V* x) {
  V t10 = Adds(x[0], x[4]);
  V t11 = Subs(x[0], x[4]);
  V t13 = Adds(x[2], x[6]);
  V t12 = Subs(MulHi(Dbl(Dbl(Subs(x[2], x[6]))), kJpegIdctMulSqrt2), t13);
  V e0 = Adds(t10, t13);
  V e3 = Subs(t10, t13);
  V e1 = Adds(t11, t12);
  V e2 = Subs(t11, t12);

  V z13 = Adds(x[5], x[3]);
  V z10 = Subs(x[5], x[3]);
  V z11 = Adds(x[1], x[7]);
  V z12 = Subs(x[1], x[7]);
  V t7 = Adds(z11, z13);
  V o11 = MulHi(Dbl(Dbl(Subs(z11, z13))), kJpegIdctMulSqrt2);
  V w = MulHi(Dbl(Adds(z10, z12)), kJpegIdctMulC3);
  V o10 = Subs(Neg(w), MulHi(Dbl(Dbl(z10)), kJpegIdctMulC1));
  V o12 = Subs(Dbl(MulHi(Dbl(Dbl(z12)), kJpegIdctMulC2)), w);
  V t6 = Subs(o12, t7);
  V t5 = Subs(o11, t6);
  V t4 = Adds(o10, t5);

  x[0] = Adds(e0, t7);
  x[7] = Subs(e0, t7);
  x[1] = Adds(e1, t6);
  x[6] = Subs(e1, t6);
  x[2] = Adds(e2, t5);
  x[5] = Subs(e2, t5);
  x[4] = Adds(e3, t4);
  x[3] = Subs(e3, t4);
}

// Prescale, bias, rounding and the row-scale correction, then both passes;
// shift is the final descale (5), or 0 to see the unshifted output.
void IdctScalarRows(const SHORT* in, Lanes* x, int shift = 5) {
  for (int r = 0; r < 8; ++r)
    for (int c = 0; c < 8; ++c)
      x[r].v[c] = static_cast<SHORT>((in[8 * r + c] * static_cast<int>(kJpegIdctPrescale[8 * r + c])) >> 16);
  for (int c = 4; c < 8; ++c) x[7].v[c] = Sat16(x[7].v[c] + kJpegIdctBias[c - 4]);
  x[0].v[0] = Sat16(x[0].v[0] + 16);
  for (int c = 4; c < 8; ++c) x[5].v[c] = static_cast<SHORT>(x[5].v[c] >> 1);
  for (int c = 0; c < 8; ++c) {
    x[6].v[c] = static_cast<SHORT>(x[6].v[c] >> 1);
    x[7].v[c] = static_cast<SHORT>(x[7].v[c] >> 2);
  }
  Butterfly(x);
  Lanes t[8];
  for (int r = 0; r < 8; ++r)
    for (int c = 0; c < 8; ++c) t[c].v[r] = x[r].v[c];
  Butterfly(t);
  for (int r = 0; r < 8; ++r)
    for (int c = 0; c < 8; ++c) x[r].v[c] = static_cast<SHORT>(t[r].v[c] >> shift);
}

// A DC-only block. Its prescaled DC plus the rounding half, a, reaches every
// output unchanged; the only other non-zero input is the bias of row 7, which
// adds a fixed pattern. Neither pass can saturate (|a| < 8300 and the pattern
// stays within +-16), so every output is (a + pattern) >> 5. The pattern is
// the unshifted output of an all-zero block less its rounding half.
struct DcPattern {
  SHORT v[64];
};
DcPattern MakeDcPattern() {
  SHORT zero[64] = {};
  Lanes x[8];
  IdctScalarRows(zero, x, 0);
  DcPattern p;
  for (int r = 0; r < 8; ++r)
    for (int c = 0; c < 8; ++c) p.v[8 * r + c] = static_cast<SHORT>(x[r].v[c] - 16);
  return p;
}
alignas(16) const DcPattern kDcPattern = MakeDcPattern();

inline int DcTerm(SHORT dc) {
  return Sat16(static_cast<SHORT>((dc * static_cast<int>(kJpegIdctPrescale[0])) >> 16) + 16);
}

#if JPEG_KERNELS_SSE2
inline void Transpose8x8(__m128i* x) {
  __m128i a0 = _mm_unpacklo_epi16(x[0], x[1]), a1 = _mm_unpackhi_epi16(x[0], x[1]);
  __m128i a2 = _mm_unpacklo_epi16(x[2], x[3]), a3 = _mm_unpackhi_epi16(x[2], x[3]);
  __m128i a4 = _mm_unpacklo_epi16(x[4], x[5]), a5 = _mm_unpackhi_epi16(x[4], x[5]);
  __m128i a6 = _mm_unpacklo_epi16(x[6], x[7]), a7 = _mm_unpackhi_epi16(x[6], x[7]);
  __m128i b0 = _mm_unpacklo_epi32(a0, a2), b1 = _mm_unpackhi_epi32(a0, a2);
  __m128i b2 = _mm_unpacklo_epi32(a1, a3), b3 = _mm_unpackhi_epi32(a1, a3);
  __m128i b4 = _mm_unpacklo_epi32(a4, a6), b5 = _mm_unpackhi_epi32(a4, a6);
  __m128i b6 = _mm_unpacklo_epi32(a5, a7), b7 = _mm_unpackhi_epi32(a5, a7);
  x[0] = _mm_unpacklo_epi64(b0, b4);
  x[1] = _mm_unpackhi_epi64(b0, b4);
  x[2] = _mm_unpacklo_epi64(b1, b5);
  x[3] = _mm_unpackhi_epi64(b1, b5);
  x[4] = _mm_unpacklo_epi64(b2, b6);
  x[5] = _mm_unpackhi_epi64(b2, b6);
  x[6] = _mm_unpacklo_epi64(b3, b7);
  x[7] = _mm_unpackhi_epi64(b3, b7);
}

inline void IdctSse2Rows(const SHORT* in, __m128i* x) {
  const __m128i* src = reinterpret_cast<const __m128i*>(in);
  const __m128i* pre = reinterpret_cast<const __m128i*>(kJpegIdctPrescale);
  for (int r = 0; r < 8; ++r) x[r] = _mm_mulhi_epi16(_mm_load_si128(src + r), _mm_load_si128(pre + r));
  x[7] = _mm_adds_epi16(x[7], _mm_setr_epi16(0, 0, 0, 0, kJpegIdctBias[0], kJpegIdctBias[1], kJpegIdctBias[2],
                                             kJpegIdctBias[3]));
  x[0] = _mm_adds_epi16(x[0], _mm_setr_epi16(16, 0, 0, 0, 0, 0, 0, 0));
  const __m128i keepLow = _mm_setr_epi16(-1, -1, -1, -1, 0, 0, 0, 0);
  x[5] = _mm_or_si128(_mm_and_si128(keepLow, x[5]), _mm_andnot_si128(keepLow, _mm_srai_epi16(x[5], 1)));
  x[6] = _mm_srai_epi16(x[6], 1);
  x[7] = _mm_srai_epi16(x[7], 2);
  Butterfly(x);
  Transpose8x8(x);
  Butterfly(x);
  for (int r = 0; r < 8; ++r) x[r] = _mm_srai_epi16(x[r], 5);
}
#endif

}  // namespace

void JpegIdctScalar(const SHORT* in, SHORT* out) {
  Lanes x[8];
  IdctScalarRows(in, x);
  for (int r = 0; r < 8; ++r)
    for (int c = 0; c < 8; ++c) out[8 * r + c] = x[r].v[c];
}

void JpegIdctToBytesScalar(const SHORT* in, UCHAR* out, int stride) {
  Lanes x[8];
  IdctScalarRows(in, x);
  for (int r = 0; r < 8; ++r)
    for (int c = 0; c < 8; ++c) out[stride * r + c] = JpegRangeLimit(x[r].v[c]);
}

void JpegIdctDcOnlyToBytesScalar(SHORT dc, UCHAR* out, int stride) {
  const int a = DcTerm(dc);
  for (int r = 0; r < 8; ++r)
    for (int c = 0; c < 8; ++c) out[stride * r + c] = JpegRangeLimit((a + kDcPattern.v[8 * r + c]) >> 5);
}

#if JPEG_KERNELS_SSE2
void JpegIdctDcOnlyToBytesSse2(SHORT dc, UCHAR* out, int stride) {
  const __m128i a = _mm_set1_epi16(static_cast<short>(DcTerm(dc)));
  const __m128i flip = _mm_set1_epi8(static_cast<char>(0x80));
  const __m128i* pat = reinterpret_cast<const __m128i*>(kDcPattern.v);
  for (int r = 0; r < 8; r += 2) {
    __m128i r0 = _mm_srai_epi16(_mm_add_epi16(a, _mm_load_si128(pat + r)), 5);
    __m128i r1 = _mm_srai_epi16(_mm_add_epi16(a, _mm_load_si128(pat + r + 1)), 5);
    __m128i two = _mm_xor_si128(_mm_packs_epi16(r0, r1), flip);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + stride * r), two);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + stride * (r + 1)), _mm_srli_si128(two, 8));
  }
}

void JpegIdctSse2(const SHORT* in, SHORT* out) {
  __m128i x[8];
  IdctSse2Rows(in, x);
  for (int r = 0; r < 8; ++r) _mm_store_si128(reinterpret_cast<__m128i*>(out) + r, x[r]);
}

void JpegIdctToBytesSse2(const SHORT* in, UCHAR* out, int stride) {
  __m128i x[8];
  IdctSse2Rows(in, x);
  // Signed saturation to -128..127 followed by flipping the top bit is the
  // range limit: below -128 gives 0, above 127 gives 255, v + 128 between.
  const __m128i flip = _mm_set1_epi8(static_cast<char>(0x80));
  for (int r = 0; r < 8; r += 2) {
    __m128i two = _mm_xor_si128(_mm_packs_epi16(x[r], x[r + 1]), flip);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + stride * r), two);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + stride * (r + 1)), _mm_srli_si128(two, 8));
  }
}
#endif

// The transforms followed by the halving of row pairs (see JpegHalveRows).
void JpegIdctToHalvedBytesScalar(const SHORT* in, UCHAR* out, int stride) {
  UCHAR full[64], half[32];
  JpegIdctToBytesScalar(in, full, 8);
  JpegHalveRowsScalar(full, half);
  for (int j = 0; j < 4; ++j) std::memcpy(out + stride * j, half + 8 * j, 8);
}

void JpegIdctDcOnlyToHalvedBytesScalar(SHORT dc, UCHAR* out, int stride) {
  UCHAR full[64], half[32];
  JpegIdctDcOnlyToBytesScalar(dc, full, 8);
  JpegHalveRowsScalar(full, half);
  for (int j = 0; j < 4; ++j) std::memcpy(out + stride * j, half + 8 * j, 8);
}

#if JPEG_KERNELS_SSE2
// Rows r and r + 1 sit in the two halves of one register after the pack;
// the byte average of the register and its upper half is the halved row.
void JpegIdctToHalvedBytesSse2(const SHORT* in, UCHAR* out, int stride) {
  __m128i x[8];
  IdctSse2Rows(in, x);
  const __m128i flip = _mm_set1_epi8(static_cast<char>(0x80));
  for (int r = 0; r < 8; r += 2) {
    const __m128i two = _mm_xor_si128(_mm_packs_epi16(x[r], x[r + 1]), flip);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + stride * (r / 2)), _mm_avg_epu8(two, _mm_srli_si128(two, 8)));
  }
}

void JpegIdctDcOnlyToHalvedBytesSse2(SHORT dc, UCHAR* out, int stride) {
  const __m128i a = _mm_set1_epi16(static_cast<short>(DcTerm(dc)));
  const __m128i flip = _mm_set1_epi8(static_cast<char>(0x80));
  const __m128i* pat = reinterpret_cast<const __m128i*>(kDcPattern.v);
  for (int r = 0; r < 8; r += 2) {
    const __m128i r0 = _mm_srai_epi16(_mm_add_epi16(a, _mm_load_si128(pat + r)), 5);
    const __m128i r1 = _mm_srai_epi16(_mm_add_epi16(a, _mm_load_si128(pat + r + 1)), 5);
    const __m128i two = _mm_xor_si128(_mm_packs_epi16(r0, r1), flip);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + stride * (r / 2)), _mm_avg_epu8(two, _mm_srli_si128(two, 8)));
  }
}
#endif

// ---- dequantisation ------------------------------------------------------------

void JpegDequantizeScalar(SHORT* coef, const SHORT* quant, int last) {
  for (int g = 0; g < 64 && g <= last; g += 4)
    for (int i = g; i < g + 4; ++i) coef[i] = static_cast<SHORT>(coef[i] * quant[i]);
}

#if JPEG_KERNELS_SSE2
void JpegDequantizeSse2(SHORT* coef, const SHORT* quant, int last) {
  // Eight positions per step: the second group of four of a step may lie past
  // the last coefficient, where the values are zero and stay zero.
  __m128i* c = reinterpret_cast<__m128i*>(coef);
  const __m128i* q = reinterpret_cast<const __m128i*>(quant);
  for (int g = 0; g < 8 && 8 * g <= last; ++g)
    _mm_store_si128(c + g, _mm_mullo_epi16(_mm_load_si128(c + g), _mm_load_si128(q + g)));
}
#endif

// ---- chroma row pairs ------------------------------------------------------------

void JpegHalveRowsScalar(const UCHAR* block, UCHAR* out) {
  for (int j = 0; j < 4; ++j)
    for (int c = 0; c < 8; ++c)
      out[8 * j + c] = static_cast<UCHAR>((block[16 * j + c] + block[16 * j + 8 + c] + 1) >> 1);
}

#if JPEG_KERNELS_SSE2
void JpegHalveRowsSse2(const UCHAR* block, UCHAR* out) {
  for (int j = 0; j < 4; ++j) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16 * j));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 8 * j), _mm_avg_epu8(v, _mm_srli_si128(v, 8)));
  }
}
#endif

// ---- colour conversion -------------------------------------------------------------
//
// Each channel is luma + the chroma terms (a byte sum between 8 and 183),
// less 64 with a floor at 0, then doubled twice with saturation at 255:
// min(255, 4 * max(0, (y >> 2) + terms)). Two bits of precision are given up
// so that the whole sum fits in a byte lane.

namespace {
inline UCHAR Channel(int sum) {
  int s = sum - 64;
  if (s < 0) s = 0;
  s *= 2;
  if (s > 255) s = 255;
  s *= 2;
  if (s > 255) s = 255;
  return static_cast<UCHAR>(s);
}
}  // namespace

void JpegRowToBgrScalar(const UCHAR* y, const UCHAR* cb, const UCHAR* cr, int width, UCHAR* bgr) {
  for (int x = 0; x + 1 < width; x += 2) {
    const JpegChromaTerms& u = kJpegCbTerms[cb[x >> 1]];
    const JpegChromaTerms& v = kJpegCrTerms[cr[x >> 1]];
    for (int p = 0; p < 2; ++p) {
      int l = kJpegLuma[y[x + p]];
      UCHAR* o = bgr + 3 * (x + p);
      o[0] = Channel(l + u.T[2 * p]);
      o[1] = Channel(l + u.T[2 * p + 1] + v.T[2 * p + 1]);
      o[2] = Channel(l + v.T[2 * p]);
    }
  }
}

void JpegRowPairToBgrScalar(const UCHAR* y0, const UCHAR* y1, const UCHAR* cb, const UCHAR* cr, int width, UCHAR* bgr0,
                            UCHAR* bgr1) {
  JpegRowToBgrScalar(y0, cb, cr, width, bgr0);
  JpegRowToBgrScalar(y1, cb, cr, width, bgr1);
}

#if JPEG_KERNELS_SSE2
namespace {
// sign(d) * floor(|d| * k / 65536) for d in -128..127, from |d| and the
// sign mask of d: the multipliers are chosen so that this equals
// trunc(c * d / 4) for every d (the tests check every chroma value against
// the tables). negate flips the sign of the result.
inline __m128i ChromaTerm(__m128i absd, __m128i sign, unsigned short k, bool negate) {
  __m128i p = _mm_mulhi_epu16(absd, _mm_set1_epi16(static_cast<short>(k)));
  __m128i s = negate ? _mm_xor_si128(sign, _mm_set1_epi16(-1)) : sign;
  return _mm_sub_epi16(_mm_xor_si128(p, s), s);
}

// 4 pixels as B, G, R, 0 in 32-bit lanes to 12 packed bytes at the bottom.
inline __m128i Pack4Pixels(__m128i p) {
  const __m128i low24 = _mm_set_epi32(0, 0x00FFFFFF, 0, 0x00FFFFFF);
  __m128i q = _mm_or_si128(_mm_and_si128(p, low24), _mm_slli_epi64(_mm_srli_epi64(p, 32), 24));
  return _mm_or_si128(_mm_move_epi64(q), _mm_slli_si128(_mm_srli_si128(q, 8), 6));
}
}  // namespace

namespace {
// The chroma terms of 8 chroma samples (16 pixels): B, G and R, as 16-bit
// lanes.
struct Terms128 {
  __m128i b, g, r;
};
inline Terms128 ChromaTerms(const UCHAR* cb, const UCHAR* cr) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i c128 = _mm_set1_epi16(128);
  __m128i u = _mm_sub_epi16(_mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(cb)), zero), c128);
  __m128i v = _mm_sub_epi16(_mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(cr)), zero), c128);
  __m128i uSign = _mm_srai_epi16(u, 15), vSign = _mm_srai_epi16(v, 15);
  __m128i uAbs = _mm_sub_epi16(_mm_xor_si128(u, uSign), uSign);
  __m128i vAbs = _mm_sub_epi16(_mm_xor_si128(v, vSign), vSign);
  Terms128 t;
  t.b = ChromaTerm(uAbs, uSign, 29030, false);                                        // 1.772 / 4
  t.g = _mm_add_epi16(ChromaTerm(uAbs, uSign, 5643, true),                            // -0.344136 / 4
                      ChromaTerm(vAbs, vSign, 11691, true));                          // -0.714136 / 4
  t.r = ChromaTerm(vAbs, vSign, 22968, false);                                        // 1.402 / 4
  return t;
}

// 16 pixels of luma with their chroma terms to 48 bytes B, G, R.
inline void Pixels16(const UCHAR* y, const Terms128& t, UCHAR* bgr) {
  const __m128i zero = _mm_setzero_si128();
  __m128i yv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(y));
  __m128i lLo = _mm_srli_epi16(_mm_unpacklo_epi8(yv, zero), 2);
  __m128i lHi = _mm_srli_epi16(_mm_unpackhi_epi8(yv, zero), 2);
  // Each chroma term serves two neighbouring pixels.
  __m128i bLo = _mm_add_epi16(lLo, _mm_unpacklo_epi16(t.b, t.b)), bHi = _mm_add_epi16(lHi, _mm_unpackhi_epi16(t.b, t.b));
  __m128i gLo = _mm_add_epi16(lLo, _mm_unpacklo_epi16(t.g, t.g)), gHi = _mm_add_epi16(lHi, _mm_unpackhi_epi16(t.g, t.g));
  __m128i rLo = _mm_add_epi16(lLo, _mm_unpacklo_epi16(t.r, t.r)), rHi = _mm_add_epi16(lHi, _mm_unpackhi_epi16(t.r, t.r));
  // x 4 with the byte pack clamping to 0..255.
  __m128i B = _mm_packus_epi16(_mm_slli_epi16(bLo, 2), _mm_slli_epi16(bHi, 2));
  __m128i G = _mm_packus_epi16(_mm_slli_epi16(gLo, 2), _mm_slli_epi16(gHi, 2));
  __m128i R = _mm_packus_epi16(_mm_slli_epi16(rLo, 2), _mm_slli_epi16(rHi, 2));

  __m128i bgLo = _mm_unpacklo_epi8(B, G), bgHi = _mm_unpackhi_epi8(B, G);
  __m128i r0Lo = _mm_unpacklo_epi8(R, zero), r0Hi = _mm_unpackhi_epi8(R, zero);
  __m128i p0 = Pack4Pixels(_mm_unpacklo_epi16(bgLo, r0Lo));
  __m128i p1 = Pack4Pixels(_mm_unpackhi_epi16(bgLo, r0Lo));
  __m128i p2 = Pack4Pixels(_mm_unpacklo_epi16(bgHi, r0Hi));
  __m128i p3 = Pack4Pixels(_mm_unpackhi_epi16(bgHi, r0Hi));
  __m128i* o = reinterpret_cast<__m128i*>(bgr);
  _mm_storeu_si128(o, _mm_or_si128(p0, _mm_slli_si128(p1, 12)));
  _mm_storeu_si128(o + 1, _mm_or_si128(_mm_srli_si128(p1, 4), _mm_slli_si128(p2, 8)));
  _mm_storeu_si128(o + 2, _mm_or_si128(_mm_srli_si128(p2, 8), _mm_slli_si128(p3, 4)));
}
}  // namespace

void JpegRowToBgrSse2(const UCHAR* y, const UCHAR* cb, const UCHAR* cr, int width, UCHAR* bgr) {
  int x = 0;
  for (; x + 16 <= width; x += 16) Pixels16(y + x, ChromaTerms(cb + x / 2, cr + x / 2), bgr + 3 * x);
  if (x < width) JpegRowToBgrScalar(y + x, cb + x / 2, cr + x / 2, width - x, bgr + 3 * x);
}

void JpegRowPairToBgrSse2(const UCHAR* y0, const UCHAR* y1, const UCHAR* cb, const UCHAR* cr, int width, UCHAR* bgr0,
                          UCHAR* bgr1) {
  int x = 0;
  for (; x + 16 <= width; x += 16) {
    const Terms128 t = ChromaTerms(cb + x / 2, cr + x / 2);
    Pixels16(y0 + x, t, bgr0 + 3 * x);
    Pixels16(y1 + x, t, bgr1 + 3 * x);
  }
  if (x < width) {
    JpegRowToBgrScalar(y0 + x, cb + x / 2, cr + x / 2, width - x, bgr0 + 3 * x);
    JpegRowToBgrScalar(y1 + x, cb + x / 2, cr + x / 2, width - x, bgr1 + 3 * x);
  }
}
#endif

#if JPEG_KERNELS_SSE2 && QCAM_HAVE_X86_VECTORS
namespace {
// The SSE2 chroma term on 16 lanes.
QCAM_TARGET_AVX2 inline __m256i ChromaTerm256(__m256i absd, __m256i sign, unsigned short k, bool negate) {
  __m256i p = _mm256_mulhi_epu16(absd, _mm256_set1_epi16(static_cast<short>(k)));
  __m256i s = negate ? _mm256_xor_si256(sign, _mm256_set1_epi16(-1)) : sign;
  return _mm256_sub_epi16(_mm256_xor_si256(p, s), s);
}

// Byte shuffles that interleave 16 B, 16 G and 16 R bytes into 48 bytes
// B G R B G R...: output chunk c (16 bytes) takes channel k's byte p for
// output byte j = 16 c + i when j = 3 p + k, and zero otherwise.
struct InterleaveMasks {
  alignas(32) signed char m[3][3][32];  // [chunk][channel], both lanes alike
  constexpr InterleaveMasks() : m() {
    for (int c = 0; c < 3; ++c)
      for (int k = 0; k < 3; ++k)
        for (int i = 0; i < 32; ++i) {
          const int j = 16 * c + (i & 15);
          m[c][k][i] = static_cast<signed char>(j % 3 == k ? j / 3 : -128);
        }
  }
};
constexpr InterleaveMasks kInterleave;
}  // namespace

namespace {
struct Terms256 {
  __m256i b, g, r;
};
// The chroma terms of 16 chroma samples (32 pixels). Chroma 0..7 (pixels
// 0..15) widen into the low lane, 8..15 into the high one, where the
// lane-wise unpacks of Pixels32 double them.
QCAM_TARGET_AVX2 inline Terms256 ChromaTerms256(const UCHAR* cb, const UCHAR* cr) {
  const __m256i c128 = _mm256_set1_epi16(128);
  __m256i u = _mm256_sub_epi16(_mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(cb))), c128);
  __m256i v = _mm256_sub_epi16(_mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(cr))), c128);
  __m256i uSign = _mm256_srai_epi16(u, 15), vSign = _mm256_srai_epi16(v, 15);
  __m256i uAbs = _mm256_sub_epi16(_mm256_xor_si256(u, uSign), uSign);
  __m256i vAbs = _mm256_sub_epi16(_mm256_xor_si256(v, vSign), vSign);
  Terms256 t;
  t.b = ChromaTerm256(uAbs, uSign, 29030, false);
  t.g = _mm256_add_epi16(ChromaTerm256(uAbs, uSign, 5643, true), ChromaTerm256(vAbs, vSign, 11691, true));
  t.r = ChromaTerm256(vAbs, vSign, 22968, false);
  return t;
}

// 32 pixels of luma with their chroma terms to 96 bytes B, G, R.
QCAM_TARGET_AVX2 inline void Pixels32(const UCHAR* y, const Terms256& t, const __m256i (&masks)[3][3], UCHAR* bgr) {
  const __m256i zero = _mm256_setzero_si256();
  // Lanes hold pixels 0..15 and 16..31; the unpacks work within a lane, so
  // the chroma of each lane's pixels sits in that lane too.
  __m256i yv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(y));
  __m256i lLo = _mm256_srli_epi16(_mm256_unpacklo_epi8(yv, zero), 2);
  __m256i lHi = _mm256_srli_epi16(_mm256_unpackhi_epi8(yv, zero), 2);
  __m256i bLo = _mm256_add_epi16(lLo, _mm256_unpacklo_epi16(t.b, t.b));
  __m256i bHi = _mm256_add_epi16(lHi, _mm256_unpackhi_epi16(t.b, t.b));
  __m256i gLo = _mm256_add_epi16(lLo, _mm256_unpacklo_epi16(t.g, t.g));
  __m256i gHi = _mm256_add_epi16(lHi, _mm256_unpackhi_epi16(t.g, t.g));
  __m256i rLo = _mm256_add_epi16(lLo, _mm256_unpacklo_epi16(t.r, t.r));
  __m256i rHi = _mm256_add_epi16(lHi, _mm256_unpackhi_epi16(t.r, t.r));
  __m256i ch[3] = {_mm256_packus_epi16(_mm256_slli_epi16(bLo, 2), _mm256_slli_epi16(bHi, 2)),
                   _mm256_packus_epi16(_mm256_slli_epi16(gLo, 2), _mm256_slli_epi16(gHi, 2)),
                   _mm256_packus_epi16(_mm256_slli_epi16(rLo, 2), _mm256_slli_epi16(rHi, 2))};
  __m256i o[3];
  for (int c = 0; c < 3; ++c)
    o[c] = _mm256_or_si256(_mm256_or_si256(_mm256_shuffle_epi8(ch[0], masks[c][0]),
                                           _mm256_shuffle_epi8(ch[1], masks[c][1])),
                           _mm256_shuffle_epi8(ch[2], masks[c][2]));
  // o[c] holds chunk c of pixels 0..15 (low lane) and of 16..31 (high).
  __m256i* out = reinterpret_cast<__m256i*>(bgr);
  _mm256_storeu_si256(out, _mm256_permute2x128_si256(o[0], o[1], 0x20));
  _mm256_storeu_si256(out + 1, _mm256_permute2x128_si256(o[2], o[0], 0x30));
  _mm256_storeu_si256(out + 2, _mm256_permute2x128_si256(o[1], o[2], 0x31));
}

QCAM_TARGET_AVX2 inline void LoadInterleaveMasks(__m256i (&masks)[3][3]) {
  for (int c = 0; c < 3; ++c)
    for (int k = 0; k < 3; ++k) masks[c][k] = _mm256_load_si256(reinterpret_cast<const __m256i*>(kInterleave.m[c][k]));
}
}  // namespace

QCAM_TARGET_AVX2 void JpegRowToBgrAvx2(const UCHAR* y, const UCHAR* cb, const UCHAR* cr, int width, UCHAR* bgr) {
  __m256i masks[3][3];
  LoadInterleaveMasks(masks);
  int x = 0;
  for (; x + 32 <= width; x += 32) Pixels32(y + x, ChromaTerms256(cb + x / 2, cr + x / 2), masks, bgr + 3 * x);
  if (x < width) JpegRowToBgrSse2(y + x, cb + x / 2, cr + x / 2, width - x, bgr + 3 * x);
}

QCAM_TARGET_AVX2 void JpegRowPairToBgrAvx2(const UCHAR* y0, const UCHAR* y1, const UCHAR* cb, const UCHAR* cr,
                                           int width, UCHAR* bgr0, UCHAR* bgr1) {
  __m256i masks[3][3];
  LoadInterleaveMasks(masks);
  int x = 0;
  for (; x + 32 <= width; x += 32) {
    const Terms256 t = ChromaTerms256(cb + x / 2, cr + x / 2);
    Pixels32(y0 + x, t, masks, bgr0 + 3 * x);
    Pixels32(y1 + x, t, masks, bgr1 + 3 * x);
  }
  if (x < width) JpegRowPairToBgrSse2(y0 + x, y1 + x, cb + x / 2, cr + x / 2, width - x, bgr0 + 3 * x, bgr1 + 3 * x);
}
#endif
