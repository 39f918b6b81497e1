// Pixel kernels of the JPEG decoder: the fixed-point inverse DCT with its
// range limiting, the block stores and the planar 4:2:2 to BGR conversion.
//
// Every kernel exists twice: a portable scalar version, written lane by lane
// with the same saturating 16-bit operations, and an SSE2 version on packed
// lanes. Both give bit-identical results; the decoder uses the SSE2 one when
// the build targets SSE2 (JPEG_KERNELS_SSE2 is then 1), and the tests compare
// the two. A build with QCAM_SCALAR_ONLY (CI's scalar pass) keeps only the
// portable versions.
#pragma once

#include "driver/imaging/vector_level.h"
#include "platform/nt/ntddk.h"

#if defined(__SSE2__) && !defined(QCAM_JPEG_SCALAR_ONLY) && !defined(QCAM_SCALAR_ONLY)
#define JPEG_KERNELS_SSE2 1
#include <emmintrin.h>
#else
#define JPEG_KERNELS_SSE2 0
#endif

// ---- tables -----------------------------------------------------------------
// Output position n of a block receives the zigzag coefficient
// kJpegDezigzag[n]; the order is the standard zigzag transposed, so position
// 8r + c holds the coefficient of vertical frequency c, horizontal frequency r.
extern const UCHAR kJpegDezigzag[64];
// The inverse: output position of zigzag index k.
extern const UCHAR kJpegZigzagToPosition[64];
// Arai-Agui-Nakajima prescale factors (x 2^14), by output position.
extern const SHORT kJpegIdctPrescale[64];
// Multipliers of the butterfly, applied as high-half products.
constexpr SHORT kJpegIdctMulSqrt2 = 0x5A82;   // 23170: sqrt(2) / 4
constexpr SHORT kJpegIdctMulC2 = 0x539F;      // 21407: 1.306563 / 4
constexpr SHORT kJpegIdctMulC1 = 0x4546;      // 17734: 0.541196 / 2
constexpr SHORT kJpegIdctMulC3 = 0x61F8;      // 25080: 0.765367 / 2
// Added to the prescaled values of row 7, columns 4..7.
extern const SHORT kJpegIdctBias[4];

// Range limit: an IDCT output v in -2048..2047 (the whole range a 16-bit value
// shifted right by 4 can take) maps to a sample: 0 below -128, v + 128 up to
// 127, 255 from 128 on. Index with v + kJpegRangeLimitOffset.
constexpr int kJpegRangeLimitOffset = 2048;
extern const UCHAR* const kJpegRangeLimit;  // 4096 entries
inline UCHAR JpegRangeLimit(int v) { return kJpegRangeLimit[(v + kJpegRangeLimitOffset) & 4095]; }

// Colour tables for RGB output (full-range BT.601, scaled by 1/4).
// Luma: 64 + (y >> 2). Cb: B and G terms, Cr: R and G terms, each pair held
// twice for the two pixels that share a chroma sample.
struct JpegChromaTerms {
  signed char T[4];  // Cb: B, G, B, G.  Cr: R, G, R, G.
};
extern const UCHAR* const kJpegLuma;                 // 256 entries
extern const JpegChromaTerms* const kJpegCbTerms;    // 256 entries
extern const JpegChromaTerms* const kJpegCrTerms;    // 256 entries

// ---- inverse DCT -------------------------------------------------------------
// in: 64 dequantised coefficients (quantisation values x 16) in the
// transposed natural order of kJpegDezigzag. out: spatial samples minus 128,
// row order, before range limiting.
void JpegIdctScalar(const SHORT* in, SHORT* out);
// The same, range-limited to bytes: 8 rows of 8 samples, stride bytes apart.
void JpegIdctToBytesScalar(const SHORT* in, UCHAR* out, int stride);
// A block whose only non-zero coefficient is the DC: the same result as the
// full transform (for every DC value), at a fraction of the work.
void JpegIdctDcOnlyToBytesScalar(SHORT dc, UCHAR* out, int stride);
#if JPEG_KERNELS_SSE2
void JpegIdctDcOnlyToBytesSse2(SHORT dc, UCHAR* out, int stride);
void JpegIdctSse2(const SHORT* in, SHORT* out);  // in and out 16-byte aligned
void JpegIdctToBytesSse2(const SHORT* in, UCHAR* out, int stride);
#endif

// The transforms followed by JpegHalveRows: 4 rows of 8 bytes, stride apart.
void JpegIdctToHalvedBytesScalar(const SHORT* in, UCHAR* out, int stride);
void JpegIdctDcOnlyToHalvedBytesScalar(SHORT dc, UCHAR* out, int stride);
#if JPEG_KERNELS_SSE2
void JpegIdctToHalvedBytesSse2(const SHORT* in, UCHAR* out, int stride);
void JpegIdctDcOnlyToHalvedBytesSse2(SHORT dc, UCHAR* out, int stride);
#endif

// ---- dequantisation ------------------------------------------------------------
// coef[k] *= quant[k] (low 16 bits) for every group of four whose first
// position is at most last; later positions are zero and stay so. (The
// decoder multiplies each coefficient as it decodes it, with the same
// 16-bit product; these are the block-wise forms.)
void JpegDequantizeScalar(SHORT* coef, const SHORT* quant, int last);
#if JPEG_KERNELS_SSE2
void JpegDequantizeSse2(SHORT* coef, const SHORT* quant, int last);  // 16-byte aligned
#endif

// ---- chroma row pairs ------------------------------------------------------------
// 8x8 block of bytes to 8x4 by averaging row pairs, rounding up.
void JpegHalveRowsScalar(const UCHAR* block, UCHAR* out);
#if JPEG_KERNELS_SSE2
void JpegHalveRowsSse2(const UCHAR* block, UCHAR* out);
#endif

// ---- colour conversion -------------------------------------------------------------
// One row of planar 4:2:2 (width luma samples, width / 2 of each chroma) to
// B, G, R bytes. width is even.
void JpegRowToBgrScalar(const UCHAR* y, const UCHAR* cb, const UCHAR* cr, int width, UCHAR* bgr);
#if JPEG_KERNELS_SSE2
void JpegRowToBgrSse2(const UCHAR* y, const UCHAR* cb, const UCHAR* cr, int width, UCHAR* bgr);
#if QCAM_HAVE_X86_VECTORS
// The same on 32 pixels at a time, for processors with AVX2.
void JpegRowToBgrAvx2(const UCHAR* y, const UCHAR* cb, const UCHAR* cr, int width, UCHAR* bgr);
#endif
#endif

// Two rows sharing one row of chroma (4:2:0): the chroma terms are worked
// out once for both. The same bytes as JpegRowToBgr on each row.
void JpegRowPairToBgrScalar(const UCHAR* y0, const UCHAR* y1, const UCHAR* cb, const UCHAR* cr, int width, UCHAR* bgr0,
                            UCHAR* bgr1);
#if JPEG_KERNELS_SSE2
void JpegRowPairToBgrSse2(const UCHAR* y0, const UCHAR* y1, const UCHAR* cb, const UCHAR* cr, int width, UCHAR* bgr0,
                          UCHAR* bgr1);
#if QCAM_HAVE_X86_VECTORS
void JpegRowPairToBgrAvx2(const UCHAR* y0, const UCHAR* y1, const UCHAR* cb, const UCHAR* cr, int width, UCHAR* bgr0,
                          UCHAR* bgr1);
#endif
#endif

// The versions the decoder uses.
inline void JpegIdctToBytes(const SHORT* in, UCHAR* out, int stride) {
#if JPEG_KERNELS_SSE2
  JpegIdctToBytesSse2(in, out, stride);
#else
  JpegIdctToBytesScalar(in, out, stride);
#endif
}
inline void JpegIdctDcOnlyToBytes(SHORT dc, UCHAR* out, int stride) {
#if JPEG_KERNELS_SSE2
  JpegIdctDcOnlyToBytesSse2(dc, out, stride);
#else
  JpegIdctDcOnlyToBytesScalar(dc, out, stride);
#endif
}
inline void JpegIdctToHalvedBytes(const SHORT* in, UCHAR* out, int stride) {
#if JPEG_KERNELS_SSE2
  JpegIdctToHalvedBytesSse2(in, out, stride);
#else
  JpegIdctToHalvedBytesScalar(in, out, stride);
#endif
}
inline void JpegIdctDcOnlyToHalvedBytes(SHORT dc, UCHAR* out, int stride) {
#if JPEG_KERNELS_SSE2
  JpegIdctDcOnlyToHalvedBytesSse2(dc, out, stride);
#else
  JpegIdctDcOnlyToHalvedBytesScalar(dc, out, stride);
#endif
}
// Clears 64 coefficients (16-byte aligned).
inline void JpegZeroBlock(SHORT* block) {
#if JPEG_KERNELS_SSE2
  for (int i = 0; i < 8; ++i) _mm_store_si128(reinterpret_cast<__m128i*>(block) + i, _mm_setzero_si128());
#else
  for (int i = 0; i < 64; ++i) block[i] = 0;
#endif
}
inline void JpegHalveRows(const UCHAR* block, UCHAR* out) {
#if JPEG_KERNELS_SSE2
  JpegHalveRowsSse2(block, out);
#else
  JpegHalveRowsScalar(block, out);
#endif
}
inline void JpegRowToBgr(const UCHAR* y, const UCHAR* cb, const UCHAR* cr, int width, UCHAR* bgr) {
#if JPEG_KERNELS_SSE2 && QCAM_HAVE_X86_VECTORS
  if (EffectVectorLevel() >= VectorLevel::kAvx2)
    JpegRowToBgrAvx2(y, cb, cr, width, bgr);
  else
    JpegRowToBgrSse2(y, cb, cr, width, bgr);
#elif JPEG_KERNELS_SSE2
  JpegRowToBgrSse2(y, cb, cr, width, bgr);
#else
  JpegRowToBgrScalar(y, cb, cr, width, bgr);
#endif
}
inline void JpegRowPairToBgr(const UCHAR* y0, const UCHAR* y1, const UCHAR* cb, const UCHAR* cr, int width, UCHAR* bgr0,
                             UCHAR* bgr1) {
#if JPEG_KERNELS_SSE2 && QCAM_HAVE_X86_VECTORS
  if (EffectVectorLevel() >= VectorLevel::kAvx2)
    JpegRowPairToBgrAvx2(y0, y1, cb, cr, width, bgr0, bgr1);
  else
    JpegRowPairToBgrSse2(y0, y1, cb, cr, width, bgr0, bgr1);
#elif JPEG_KERNELS_SSE2
  JpegRowPairToBgrSse2(y0, y1, cb, cr, width, bgr0, bgr1);
#else
  JpegRowPairToBgrScalar(y0, y1, cb, cr, width, bgr0, bgr1);
#endif
}
