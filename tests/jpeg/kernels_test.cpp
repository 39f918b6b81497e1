// The decoder's pixel kernels: SSE2 against scalar on random and extreme
// data, the IDCT against an exact inverse DCT, the DC-only shortcut against
// the full transform, and the range-limit and colour tables.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "driver/imaging/jpeg_kernels.h"

namespace {

constexpr uint32_t kSeed = 20261207;

// Exact 2-D inverse DCT of coefficients given in natural order c[v][u]
// (v vertical, u horizontal), as T.81 A.3.3 defines it.
void ExactIdct(const double* c, double* out) {
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      double s = 0;
      for (int v = 0; v < 8; ++v)
        for (int u = 0; u < 8; ++u) {
          double cu = u ? 1.0 : std::sqrt(0.5), cv = v ? 1.0 : std::sqrt(0.5);
          s += cu * cv * c[8 * v + u] * std::cos((2 * x + 1) * u * M_PI / 16) * std::cos((2 * y + 1) * v * M_PI / 16);
        }
      out[8 * y + x] = s / 4;
    }
}
void ExactFdct(const double* p, double* c) {
  for (int v = 0; v < 8; ++v)
    for (int u = 0; u < 8; ++u) {
      double s = 0;
      for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
          s += p[8 * y + x] * std::cos((2 * x + 1) * u * M_PI / 16) * std::cos((2 * y + 1) * v * M_PI / 16);
      double cu = u ? 1.0 : std::sqrt(0.5), cv = v ? 1.0 : std::sqrt(0.5);
      c[8 * v + u] = cu * cv * s / 4;
    }
}

// Coefficients (natural order, integers) to the decoder's input: x 16 for a
// quantisation value of 1, in the transposed order (position 8r + c holds
// vertical frequency c, horizontal frequency r).
void ToDecoderInput(const int* coef, SHORT* in) {
  for (int v = 0; v < 8; ++v)
    for (int u = 0; u < 8; ++u) in[8 * u + v] = SHORT(coef[8 * v + u] * 16);
}

// Worst absolute difference between the 16-bit IDCT and the exact one.
int IdctError(const int* coef) {
  alignas(16) SHORT in[64];
  alignas(16) SHORT out[64];
  ToDecoderInput(coef, in);
  JpegIdctScalar(in, out);
  double c[64], ref[64];
  for (int i = 0; i < 64; ++i) c[i] = coef[i];
  ExactIdct(c, ref);
  int worst = 0;
  for (int i = 0; i < 64; ++i) worst = std::max(worst, std::abs(out[i] - int(std::lround(ref[i]))));
  return worst;
}

TEST(JpegIdct, WithinTwoOfExactTransformOnRandomBlocks) {
  // Random blocks of 8-bit samples (less 128) and of small values,
  // transformed exactly and rounded to integer coefficients; every
  // coefficient stays within +-2047, so its x16 form fits 16 bits. Noise at
  // full swing in every sample is the worst case real data can give.
  std::printf("seed %u\n", kSeed);
  std::mt19937 rng(kSeed);
  struct Range {
    int lo, hi;
  } ranges[] = {{-128, 127}, {-64, 63}, {-5, 5}};
  for (const Range& r : ranges) {
    std::uniform_int_distribution<int> pix(r.lo, r.hi);
    int worst = 0;
    double sumErr = 0;
    for (int n = 0; n < 3000; ++n) {
      double p[64], c[64];
      int coef[64];
      for (double& v : p) v = pix(rng);
      ExactFdct(p, c);
      for (int i = 0; i < 64; ++i) coef[i] = std::max(-2047, std::min(2047, int(std::lround(c[i]))));
      int e = IdctError(coef);
      worst = std::max(worst, e);
      sumErr += e;
    }
    std::printf("range %d..%d: worst %d, mean worst per block %.2f\n", r.lo, r.hi, worst, sumErr / 3000);
    EXPECT_LE(worst, 2) << r.lo << ".." << r.hi;
  }
}

TEST(JpegIdct, WithinTwoOfExactTransformOnExtremeBlocks) {
  std::vector<std::vector<int>> blocks;
  for (int dc : {2047, -2047, 1024, -1024}) {
    std::vector<int> b(64, 0);
    b[0] = dc;
    blocks.push_back(b);
  }
  // One AC term at a time, at an amplitude a real block of 8-bit samples
  // can carry alone.
  for (int pos = 1; pos < 64; ++pos)
    for (int amp : {1000, -1000}) {
      std::vector<int> b(64, 0);
      b[pos] = amp;
      blocks.push_back(b);
    }
  // Checkerboards of 8-bit samples, the largest high-frequency content.
  for (int phase = 0; phase < 2; ++phase) {
    double p[64], c[64];
    for (int i = 0; i < 64; ++i) p[i] = (((i >> 3) + (i & 7) + phase) & 1) ? 127 : -128;
    ExactFdct(p, c);
    std::vector<int> b(64);
    for (int i = 0; i < 64; ++i) b[i] = int(std::lround(c[i]));
    blocks.push_back(b);
  }
  for (const auto& b : blocks) EXPECT_LE(IdctError(b.data()), 2);
}

#if JPEG_KERNELS_SSE2
TEST(JpegKernels, Sse2IdctMatchesScalarBitForBit) {
  std::mt19937 rng(kSeed);
  std::uniform_int_distribution<int> full(-32768, 32767), small(-400, 400);
  alignas(16) SHORT in[64];
  alignas(16) SHORT a[64], b[64];
  alignas(16) UCHAR pa[64], pb[64];
  for (int n = 0; n < 20000; ++n) {
    // Full-range blocks saturate everywhere; small ones stay linear; sparse
    // ones look like real data.
    for (int i = 0; i < 64; ++i) {
      int mode = n % 3;
      in[i] = SHORT(mode == 0 ? full(rng) : mode == 1 ? small(rng) * 16 : (i < 6 || rng() % 8 == 0 ? small(rng) * 16 : 0));
    }
    JpegIdctScalar(in, a);
    JpegIdctSse2(in, b);
    ASSERT_EQ(0, std::memcmp(a, b, sizeof(a))) << "block " << n;
    JpegIdctToBytesScalar(in, pa, 8);
    JpegIdctToBytesSse2(in, pb, 8);
    ASSERT_EQ(0, std::memcmp(pa, pb, sizeof(pa))) << "block " << n;
    for (int i = 0; i < 64; ++i) ASSERT_EQ(pa[i], JpegRangeLimit(a[i]));
  }
}

TEST(JpegKernels, Sse2DequantizeAndHalveMatchScalar) {
  std::mt19937 rng(kSeed);
  alignas(16) SHORT q[64], c1[64], c2[64];
  alignas(16) UCHAR block[64], h1[32], h2[32];
  for (int n = 0; n < 2000; ++n) {
    int last = int(rng() % 64);
    for (int i = 0; i < 64; ++i) {
      q[i] = SHORT(16 * (1 + rng() % 255));
      c1[i] = c2[i] = i <= last ? SHORT(int(rng() % 4095) - 2047) : 0;
      block[i] = UCHAR(rng());
    }
    JpegDequantizeScalar(c1, q, last);
    JpegDequantizeSse2(c2, q, last);
    ASSERT_EQ(0, std::memcmp(c1, c2, sizeof(c1)));
    JpegHalveRowsScalar(block, h1);
    JpegHalveRowsSse2(block, h2);
    ASSERT_EQ(0, std::memcmp(h1, h2, sizeof(h1)));
  }
}

TEST(JpegKernels, Sse2ColourConversionMatchesScalarOnEveryChromaPair) {
  // Every (Cb, Cr) pair once, with random luma, in rows of awkward widths;
  // outputs are allocated at exactly the row size.
  std::mt19937 rng(kSeed);
  for (int width : {2, 14, 16, 18, 30, 32, 34, 48, 62, 64, 66, 96, 512}) {
    std::vector<UCHAR> y(width), cb(width / 2), cr(width / 2);
    std::vector<UCHAR> o1(size_t(width) * 3), o2(size_t(width) * 3);
    for (int start = 0; start < 65536; start += width / 2) {
      for (int i = 0; i < width / 2; ++i) {
        int pair = (start + i) & 0xFFFF;
        cb[i] = UCHAR(pair & 0xFF);
        cr[i] = UCHAR(pair >> 8);
      }
      for (auto& v : y) v = UCHAR(rng());
      JpegRowToBgrScalar(y.data(), cb.data(), cr.data(), width, o1.data());
      JpegRowToBgrSse2(y.data(), cb.data(), cr.data(), width, o2.data());
      ASSERT_EQ(o1, o2) << "width " << width << " start " << start;
#if QCAM_HAVE_X86_VECTORS
      if (__builtin_cpu_supports("avx2")) {
        JpegRowToBgrAvx2(y.data(), cb.data(), cr.data(), width, o2.data());
        ASSERT_EQ(o1, o2) << "AVX2, width " << width << " start " << start;
      }
#endif
      if (width != 512) break;
    }
  }
}
#endif

TEST(JpegKernels, DcOnlyShortcutEqualsFullTransformForEveryDc) {
  alignas(16) SHORT in[64] = {};
  alignas(16) UCHAR full[64], fast[64];
  for (int dc = -32768; dc <= 32767; ++dc) {
    in[0] = SHORT(dc);
    JpegIdctToBytesScalar(in, full, 8);
    JpegIdctDcOnlyToBytesScalar(SHORT(dc), fast, 8);
    ASSERT_EQ(0, std::memcmp(full, fast, 64)) << dc;
#if JPEG_KERNELS_SSE2
    JpegIdctDcOnlyToBytesSse2(SHORT(dc), fast, 8);
    ASSERT_EQ(0, std::memcmp(full, fast, 64)) << dc;
#endif
  }
}

TEST(JpegTables, RangeLimitValues) {
  EXPECT_EQ(0, JpegRangeLimit(-200));
  EXPECT_EQ(0, JpegRangeLimit(-129));
  EXPECT_EQ(0, JpegRangeLimit(-128));
  EXPECT_EQ(1, JpegRangeLimit(-127));
  EXPECT_EQ(128, JpegRangeLimit(0));
  EXPECT_EQ(255, JpegRangeLimit(127));
  EXPECT_EQ(255, JpegRangeLimit(128));
  EXPECT_EQ(255, JpegRangeLimit(300));
  EXPECT_EQ(0, JpegRangeLimit(-2048));
  EXPECT_EQ(255, JpegRangeLimit(2047));
}

TEST(JpegTables, ColourTableValues) {
  EXPECT_EQ(64, kJpegLuma[0]);
  EXPECT_EQ(96, kJpegLuma[128]);
  EXPECT_EQ(127, kJpegLuma[255]);
  // Cb 0: B trunc(1.772 x -128 / 4) = -56, G trunc(-0.344136 x -128 / 4) = 11.
  EXPECT_EQ(-56, kJpegCbTerms[0].T[0]);
  EXPECT_EQ(11, kJpegCbTerms[0].T[1]);
  EXPECT_EQ(kJpegCbTerms[0].T[0], kJpegCbTerms[0].T[2]);
  EXPECT_EQ(kJpegCbTerms[0].T[1], kJpegCbTerms[0].T[3]);
  // Cr 255: R trunc(1.402 x 127 / 4) = 44, G trunc(-0.714136 x 127 / 4) = -22.
  EXPECT_EQ(44, kJpegCrTerms[255].T[0]);
  EXPECT_EQ(-22, kJpegCrTerms[255].T[1]);
  EXPECT_EQ(0, kJpegCbTerms[128].T[0]);
  EXPECT_EQ(0, kJpegCrTerms[128].T[1]);
}

TEST(JpegTables, ColourConversionValues) {
  UCHAR y[2] = {128, 128}, cb[1] = {128}, cr[1] = {128}, bgr[6];
  JpegRowToBgr(y, cb, cr, 2, bgr);
  for (UCHAR v : bgr) EXPECT_EQ(128, v);
  y[0] = y[1] = 255;
  JpegRowToBgr(y, cb, cr, 2, bgr);
  for (UCHAR v : bgr) EXPECT_EQ(252, v);
  // Saturation both ways: full blue chroma on white and on black.
  y[0] = 255;
  y[1] = 0;
  cb[0] = 255;
  JpegRowToBgr(y, cb, cr, 2, bgr);
  EXPECT_EQ(255, bgr[0]);  // 4 x (63 + 56) clips to 255
  EXPECT_EQ(0, bgr[4]);    // 4 x (0 - 11): floor at 0
}

}  // namespace
