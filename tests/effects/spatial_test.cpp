// The spatial effects on both layouts: hand-worked pixel examples, the state they
// keep from picture to picture and their use of the kernel's rand.
#include <cmath>

#include "driver/imaging/effect_spatial.h"
#include "driver/imaging/relief_texture.h"
#include "tests/effects/effects_test_util.h"

using namespace effects_test;

namespace {

constexpr int kRgb = qcam::kFormatRGB24;
constexpr int kYuy2 = qcam::kFormatYUY2;

class Spatial : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::ResetMachine();
    StartStream(640, 480);
    srand(1);
  }
  void TearDown() override { FreeEffectBuffers(); }
};

uint8_t* RgbAt(Bytes& p, int w, int x, int y) { return &p[(size_t(y) * w + x) * 3]; }
uint8_t YAt(const Bytes& p, int w, int x, int y) { return p[(size_t(y) * w + x) * 2]; }
uint8_t UAt(const Bytes& p, int w, int x, int y) { return p[(size_t(y) * w + (x & ~1)) * 2 + 1]; }
uint8_t VAt(const Bytes& p, int w, int x, int y) { return p[(size_t(y) * w + (x & ~1)) * 2 + 3]; }

TEST_F(Spatial, EmbossFlatIsMidGreyAndEdgesShow) {
  Bytes rgb = UniformRgb(64, 48, 10, 200, 77);
  ASSERT_EQ(Apply(rgb, kRgb, 64, 48, 6), STATUS_SUCCESS);
  EXPECT_EQ(rgb, UniformRgb(64, 48, 128, 128, 128));

  // A rise of 40 in green only: G' = 168, B' = R' = 128, grey =
  // (587 * 168 + 114 * 128 + 299 * 128) / 1000 = 151; the row start compares
  // with itself.
  Bytes step = UniformRgb(4, 1, 0, 10, 0);
  step[1 * 3 + 1] = 50;
  step[2 * 3 + 1] = 50;
  Apply(step, kRgb, 4, 1, 6);
  EXPECT_EQ(step, (Bytes{128, 128, 128, 151, 151, 151, 128, 128, 128, 104, 104, 104}));

  // YUY2: Y runs on across the row end; the first sample is 128.
  Bytes yuy2 = {10, 1, 50, 2, /*row 2*/ 40, 3, 40, 4};
  ASSERT_EQ(Apply(yuy2, kYuy2, 2, 2, 6), STATUS_SUCCESS);
  EXPECT_EQ(yuy2, (Bytes{128, 128, 168, 128, 118, 128, 128, 128}));
}

TEST_F(Spatial, MosaicAveragesEightByEightBlocks) {
  Bytes rgb = UniformRgb(16, 8, 0, 9, 200);
  for (int i = 0; i < 64; ++i) RgbAt(rgb, 16, i % 8, i / 8)[0] = uint8_t(i);
  for (int i = 0; i < 64; ++i) RgbAt(rgb, 16, 8 + i % 8, i / 8)[0] = 255;
  ASSERT_EQ(Apply(rgb, kRgb, 16, 8, 9), STATUS_SUCCESS);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 16; ++x) {
      EXPECT_EQ(RgbAt(rgb, 16, x, y)[0], x < 8 ? 31 : 255);
      EXPECT_EQ(RgbAt(rgb, 16, x, y)[1], 9);
      EXPECT_EQ(RgbAt(rgb, 16, x, y)[2], 200);
    }

  Bytes yuy2 = UniformYuy2(8, 8, 0, 0, 0);
  for (int i = 0; i < 64; ++i) yuy2[size_t(i) * 2] = uint8_t(i);
  // U of the pairs 0 ... 31 is its pair index: mean (0 + ... + 31) / 32 = 15.
  for (int k = 0; k < 32; ++k) yuy2[size_t(k) * 4 + 1] = uint8_t(k), yuy2[size_t(k) * 4 + 3] = 100;
  ASSERT_EQ(Apply(yuy2, kYuy2, 8, 8, 9), STATUS_SUCCESS);
  EXPECT_EQ(yuy2, UniformYuy2(8, 8, 31, 15, 100));
}

TEST_F(Spatial, MosaicEqualsPlainBlockMeansOnAwkwardSizes) {
  // Partial blocks at the right and bottom edges, a one-row picture and a
  // last band of one row; exact-size buffers.
  const struct {
    int w, h;
  } sizes[] = {{17, 9}, {24, 1}, {8, 17}, {640, 480}};
  for (auto s : sizes) {
    const Bytes in = Noise(size_t(s.w) * s.h * 3, 4242 + s.w);
    Bytes fast = in, plain = in;
    ASSERT_EQ(Apply(fast, kRgb, s.w, s.h, 9), STATUS_SUCCESS);
    for (int by = 0; by < s.h; by += 8)
      for (int bx = 0; bx < s.w; bx += 8) {
        const int bw = std::min(8, s.w - bx), bh = std::min(8, s.h - by);
        for (int c = 0; c < 3; ++c) {
          int sum = 0;
          for (int y = by; y < by + bh; ++y)
            for (int x = bx; x < bx + bw; ++x) sum += in[(size_t(y) * s.w + x) * 3 + c];
          for (int y = by; y < by + bh; ++y)
            for (int x = bx; x < bx + bw; ++x) plain[(size_t(y) * s.w + x) * 3 + c] = uint8_t(sum / (bw * bh));
        }
      }
    EXPECT_EQ(fast, plain) << s.w << "x" << s.h;
    if (s.w % 2) continue;
    const Bytes yin = Noise(size_t(s.w) * s.h * 2, 99 + s.h);
    Bytes yfast = yin, yplain = yin;
    ASSERT_EQ(Apply(yfast, kYuy2, s.w, s.h, 9), STATUS_SUCCESS);
    for (int by = 0; by < s.h; by += 8)
      for (int bx = 0; bx < s.w; bx += 8) {
        const int bw = std::min(8, s.w - bx), bh = std::min(8, s.h - by);
        int sy = 0, su = 0, sv = 0;
        for (int y = by; y < by + bh; ++y)
          for (int x = bx; x < bx + bw; ++x) {
            sy += YAt(yin, s.w, x, y);
            su += UAt(yin, s.w, x, y);
            sv += VAt(yin, s.w, x, y);
          }
        const int n = bw * bh;
        for (int y = by; y < by + bh; ++y)
          for (int x = bx; x < bx + bw; x += 2) {
            uint8_t* q = &yplain[(size_t(y) * s.w + x) * 2];
            q[0] = q[2] = uint8_t(sy / n), q[1] = uint8_t(su / n), q[3] = uint8_t(sv / n);
          }
      }
    EXPECT_EQ(yfast, yplain) << s.w << "x" << s.h;
  }
}

TEST_F(Spatial, BulgeKeepsTheCentreMagnifiesTheMiddleAndCachesItsMap) {
  // Each pixel unique: B = x, G = y (mod 256 fine for the pixels checked).
  Bytes rgb(640 * 480 * 3);
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x) {
      uint8_t* p = RgbAt(rgb, 640, x, y);
      p[0] = uint8_t(x), p[1] = uint8_t(y), p[2] = uint8_t((x >> 8) | ((y >> 8) << 4));
    }
  const Bytes orig = rgb;
  ASSERT_EQ(Apply(rgb, kRgb, 640, 480, 10), STATUS_SUCCESS);
  EXPECT_EQ(0, memcmp(RgbAt(rgb, 640, 320, 240), &orig[(240 * 640 + 320) * 3], 3));
  // Ten pixels off the centre still shows the centre: magnified.
  EXPECT_EQ(0, memcmp(RgbAt(rgb, 640, 330, 240), &orig[(240 * 640 + 320) * 3], 3));
  // The corner moves only a little toward the centre (x = 0 takes column 13).
  EXPECT_EQ(RgbAt(rgb, 640, 0, 240)[0], 123);
  EXPECT_EQ(RgbAt(rgb, 640, 0, 0)[0], 13);
  EXPECT_EQ(g_Effects.MapEffect, 10u);

  // A uniform picture stays uniform (every source lies inside at this size).
  Bytes flat = UniformRgb(640, 480, 1, 2, 3);
  Apply(flat, kRgb, 640, 480, 10);
  EXPECT_EQ(flat, UniformRgb(640, 480, 1, 2, 3));

  // The cached map is used as it is while the size stays: point two entries
  // outside (one negative, read as unsigned) and they come out white. (The
  // table of source offsets built from the map is marked stale by hand, as
  // only a build of the map does so.)
  g_Effects.Map[0] = USHORT(-1);
  g_Effects.Map[2 * 5 + 1] = 480;
  g_Effects.BulgeSourcesLayout = 0;
  Apply(flat, kRgb, 640, 480, 10);
  EXPECT_EQ(0, memcmp(RgbAt(flat, 640, 0, 0), "\xff\xff\xff", 3));
  EXPECT_EQ(0, memcmp(RgbAt(flat, 640, 5, 0), "\xff\xff\xff", 3));
  EXPECT_EQ(0, memcmp(RgbAt(flat, 640, 6, 0), "\x01\x02\x03", 3));
  Bytes yflat = UniformYuy2(640, 480, 50, 60, 70);
  Apply(yflat, kYuy2, 640, 480, 10);
  EXPECT_EQ(YAt(yflat, 640, 0, 0), 255);
  EXPECT_EQ(YAt(yflat, 640, 1, 0), 50);
  // Pixel 1 writes its pair's chroma last, from its own (inside) source.
  EXPECT_EQ(UAt(yflat, 640, 0, 0), 60);
  EXPECT_EQ(YAt(yflat, 640, 5, 0), 255);
  EXPECT_EQ(UAt(yflat, 640, 5, 0), 128);  // pixel 5 is the second of its pair

  // A new size or a reset rebuilds the map.
  ResetEffectState();
  Apply(flat, kRgb, 640, 480, 10);
  EXPECT_EQ(flat, UniformRgb(640, 480, 1, 2, 3));
  Bytes small = UniformRgb(320, 240, 1, 2, 3);
  Apply(small, kRgb, 320, 240, 10);
  EXPECT_EQ(g_Effects.MapWidth, 320);
  EXPECT_EQ(small, UniformRgb(320, 240, 1, 2, 3));
}

TEST_F(Spatial, TilesDrawFourNumbersPerTileForItsBorders) {
  srand(77);
  const int l = rand() % 3, t = rand() % 3, r = rand() % 3, b = rand() % 3;
  srand(77);
  Bytes one = UniformRgb(16, 16, 5, 6, 7);
  ASSERT_EQ(Apply(one, kRgb, 16, 16, 12), STATUS_SUCCESS);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      const bool kept = y >= t && y <= 16 - b && x >= l && x <= 16 - r;
      EXPECT_EQ(RgbAt(one, 16, x, y)[0], kept ? 5 : 255) << x << "," << y;
    }

  // 40 x 30 tiles at 640 x 480, and partial tiles at the edges of 168 x 120
  // (11 x 8 tiles): four numbers each.
  const struct {
    int w, h, tiles;
  } sizes[] = {{640, 480, 1200}, {168, 120, 88}};
  for (auto s : sizes) {
    srand(5);
    for (int i = 0; i < s.tiles * 4; ++i) rand();
    const int expected = rand();
    srand(5);
    Bytes p = UniformYuy2(s.w, s.h, 20, 30, 40);
    Apply(p, kYuy2, s.w, s.h, 12);
    EXPECT_EQ(rand(), expected) << s.w;
    // White YUY2 pixels carry U = V = 128 in their pair.
    for (size_t i = 0; i < p.size(); i += 4)
      if (p[i] == 255 || p[i + 2] == 255) {
        ASSERT_TRUE(p[i + 1] == 128 && p[i + 3] == 128);
      }
  }
}

TEST_F(Spatial, LightStreaksRunBackFromABrightRise) {
  // Ten dark pixels, then bright ones: one streak per row ending at column 10.
  const int w = 16, h = 2;
  Bytes rgb = UniformRgb(w, h, 200, 200, 200);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < 10; ++x) memset(RgbAt(rgb, w, x, y), 50, 3);
  srand(9);
  const int start0 = std::max(0, 10 - 32 + rand() % 32);
  const int start1 = std::max(0, 10 - 32 + rand() % 32);
  const int next = rand();
  srand(9);
  ASSERT_EQ(Apply(rgb, kRgb, w, h, 13), STATUS_SUCCESS);
  EXPECT_EQ(rand(), next);  // one draw per rise, none for the flat runs
  const int starts[2] = {start0, start1};
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const int expect = x < starts[y] ? 50 : (x < 10 ? 125 : 200);
      EXPECT_EQ(RgbAt(rgb, w, x, y)[1], expect) << x << "," << y;
    }

  // A rise in a dark picture (sum at most 180) or of at most 30 draws nothing.
  Bytes dim = UniformRgb(w, 1, 10, 10, 10);
  memset(RgbAt(dim, w, 5, 0), 60, 3);           // rise of 50, sum 180
  memset(RgbAt(dim, w, 6, 0), 90, 3);           // rise of 30
  const Bytes dimBefore = dim;
  srand(9);
  const int first = rand();
  srand(9);
  Apply(dim, kRgb, w, 1, 13);
  EXPECT_EQ(dim, dimBefore);
  EXPECT_EQ(rand(), first);

  // YUY2 tests Y only and reaches back up to 64 pixels.
  Bytes yuy2 = UniformYuy2(8, 1, 100, 50, 70);
  yuy2[4 * 2] = 250;  // pixel 4 bright
  yuy2[5 * 2] = 250;
  yuy2[2 * 2 + 1] = 150;  // pair 1 (pixels 2, 3) U = 150; pair 2 holds pixel 4
  srand(4);
  const int start = std::max(0, 4 - 64 + rand() % 64);
  srand(4);
  Apply(yuy2, kYuy2, 8, 1, 13);
  // From the start up to pixel 3: (100 + 250) / 2.
  for (int x = 0; x < 4; ++x) EXPECT_EQ(YAt(yuy2, 8, x, 0), x < start ? 100 : 175) << x;
  EXPECT_EQ(YAt(yuy2, 8, 4, 0), 250);
  EXPECT_EQ(UAt(yuy2, 8, 0, 0), 50);   // (50 + 50) / 2
  EXPECT_EQ(UAt(yuy2, 8, 2, 0), 100);  // (50 + 150) / 2
}

TEST_F(Spatial, StretchStepsAndAxesFollowTheirSequence) {
  Bytes p = UniformRgb(8, 8, 1, 1, 1);
  std::vector<double> scales;
  std::vector<int> axes;
  for (int i = 0; i < 140; ++i) {
    Apply(p, kRgb, 8, 8, 17);
    scales.push_back(g_Effects.StretchScale);
    axes.push_back(g_Effects.StretchAxis);
  }
  // First rise: steps of 0.1 from 1.0 until the scale is above 2.5.
  size_t i = 0;
  EXPECT_NEAR(scales[0], 1.1, 1e-9);
  while (scales[i] <= 2.5) {
    if (i > 0) {
      EXPECT_NEAR(scales[i] - scales[i - 1], 0.1, 1e-9);
    }
    EXPECT_EQ(axes[i], 0);
    ++i;
  }
  EXPECT_NEAR(scales[i] - scales[i - 1], 0.1, 1e-9);
  // Then every change is 0.05; the axis flips exactly where the scale falls
  // below 1.05, and the peaks are above 2.5.
  int flips = 0;
  for (size_t j = i + 1; j < scales.size(); ++j) {
    EXPECT_NEAR(std::fabs(scales[j] - scales[j - 1]), 0.05, 1e-9) << j;
    const bool flipped = axes[j] != axes[j - 1];
    EXPECT_EQ(flipped, scales[j] < 1.05) << j;
    flips += flipped;
    EXPECT_LT(scales[j], 2.56);
    EXPECT_GT(scales[j], 0.99);
  }
  EXPECT_GE(flips, 2);

  // The mapping: column 0 of a 64-wide picture at scale 1.1 takes column
  // trunc(32 - 32 / 1.1) = 2; rows stay.
  ResetEffectState();
  Bytes g(64 * 4 * 3);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 64; ++x) RgbAt(g, 64, x, y)[0] = uint8_t(x), RgbAt(g, 64, x, y)[1] = uint8_t(y);
  Apply(g, kRgb, 64, 4, 17);
  EXPECT_EQ(RgbAt(g, 64, 0, 0)[0], 2);
  EXPECT_EQ(RgbAt(g, 64, 32, 3)[0], 32);
  EXPECT_EQ(RgbAt(g, 64, 63, 3)[0], 60);  // trunc(32 + 31 / 1.1)
  EXPECT_EQ(RgbAt(g, 64, 63, 3)[1], 3);

  // On the vertical axis rows move; YUY2 takes the chroma of the source pair.
  g_Effects.StretchScale = 1.0;
  g_Effects.StretchStep = 0.1;
  g_Effects.StretchAxis = 1;  // next picture: 1.1, vertical
  Bytes y2(4 * 40 * 2);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 4; ++x) y2[(y * 4 + x) * 2] = uint8_t(y), y2[(y * 4 + x) * 2 + 1] = uint8_t(100 + y);
  Apply(y2, kYuy2, 4, 40, 17);
  EXPECT_EQ(YAt(y2, 4, 0, 0), 1);    // trunc(20 - 20 / 1.1) = 1
  EXPECT_EQ(YAt(y2, 4, 3, 39), 37);  // trunc(20 + 19 / 1.1) = 37
  EXPECT_EQ(UAt(y2, 4, 2, 39), 137);
}

TEST_F(Spatial, PencilSketchDodgesTheBlurredNegative) {
  Bytes grey = UniformRgb(8, 8, 128, 128, 128);
  ASSERT_EQ(Apply(grey, kRgb, 8, 8, 18), STATUS_SUCCESS);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      const uint8_t expect = (x >= 2 && y >= 2) ? 240 : 128;
      EXPECT_EQ(RgbAt(grey, 8, x, y)[0], expect) << x << "," << y;
    }
  // A coloured picture: g = (90 + 120 + 150) / 3 = 120, b = (15 * 135) >> 4 =
  // 126, interior 120 * 256 / 129 = 238; the border keeps G and R.
  Bytes colour = UniformRgb(8, 8, 90, 120, 150);
  Apply(colour, kRgb, 8, 8, 18);
  EXPECT_EQ(0, memcmp(RgbAt(colour, 8, 5, 5), "\xee\xee\xee", 3));
  EXPECT_EQ(0, memcmp(RgbAt(colour, 8, 1, 5), "\x78\x78\x96", 3));
  // White stays white; black stays black.
  Bytes white = UniformRgb(8, 8, 255, 255, 255);
  Apply(white, kRgb, 8, 8, 18);
  EXPECT_EQ(white, UniformRgb(8, 8, 255, 255, 255));

  Bytes yuy2 = UniformYuy2(8, 8, 128, 10, 20);
  Apply(yuy2, kYuy2, 8, 8, 18);
  EXPECT_EQ(YAt(yuy2, 8, 4, 4), 240);
  EXPECT_EQ(YAt(yuy2, 8, 1, 4), 128);
  EXPECT_EQ(UAt(yuy2, 8, 4, 4), 128);
  EXPECT_EQ(VAt(yuy2, 8, 0, 0), 128);
}

TEST_F(Spatial, FrostedGlassTakesNearbyPixels) {
  const int w = 40, h = 30;
  Bytes rgb(size_t(w) * h * 3);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) RgbAt(rgb, w, x, y)[0] = uint8_t(x), RgbAt(rgb, w, x, y)[1] = uint8_t(y);
  srand(3);
  for (int i = 0; i < w * h * 2; ++i) rand();
  const int next = rand();
  srand(3);
  const int dx0 = rand() % 9 - 5, dy0 = rand() % 9 - 5;
  srand(3);
  ASSERT_EQ(Apply(rgb, kRgb, w, h, 19), STATUS_SUCCESS);
  EXPECT_EQ(rand(), next);  // two draws per pixel, x first
  EXPECT_EQ(RgbAt(rgb, w, 0, 0)[0], std::max(0, dx0));
  EXPECT_EQ(RgbAt(rgb, w, 0, 0)[1], std::max(0, dy0));
  for (int y = 6; y < h - 6; ++y)
    for (int x = 6; x < w - 6; ++x) {
      const int dx = RgbAt(rgb, w, x, y)[0] - x, dy = RgbAt(rgb, w, x, y)[1] - y;
      ASSERT_TRUE(dx >= -5 && dx <= 3 && dy >= -5 && dy <= 3) << x << "," << y;
    }

  // YUY2 moves whole pairs by even offsets -6 ... 2, limited to the picture.
  Bytes yuy2(size_t(w) * h * 2);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; x += 2) {
      uint8_t* q = &yuy2[(size_t(y) * w + x) * 2];
      q[0] = uint8_t(x), q[1] = uint8_t(y), q[2] = uint8_t(x + 1), q[3] = 7;
    }
  Apply(yuy2, kYuy2, w, h, 19);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; x += 2) {
      const uint8_t* q = &yuy2[(size_t(y) * w + x) * 2];
      const int dx = q[0] - x, dy = q[1] - y;
      ASSERT_EQ(q[2], q[0] + 1);
      ASSERT_TRUE(dx % 2 == 0 && dx >= -6 && dx <= 2 && q[0] <= w - 2) << x << "," << y;
      ASSERT_TRUE((dy % 2 == 0 || q[1] == 0 || q[1] == h - 2) && dy >= -6 && dy <= 2 && q[1] <= h - 2) << x << "," << y;
    }
}

TEST_F(Spatial, NineViewGridFillsCellsInBufferOrderThenWraps) {
  const int w = 60, h = 45;  // h3 = 15, w3 = 20, cells of 11 x 16 at (20 n%3 + 2, 15 n/3 + 2)
  auto cellValue = [&](const Bytes& p, int n) {
    return p[(size_t(15 * (n / 3) + 2 + 5) * w + 20 * (n % 3) + 2 + 5) * 3];
  };
  Bytes p;
  for (int k = 0; k < 10; ++k) {
    p = UniformRgb(w, h, uint8_t(10 + k), 0, 0);
    ASSERT_EQ(Apply(p, kRgb, w, h, 20), STATUS_SUCCESS);
    for (int n = 0; n < 9; ++n) {
      int expect = n <= k ? 10 + n : 0;
      if (k == 9 && n == 0) expect = 19;  // the tenth picture is back in cell 0
      ASSERT_EQ(cellValue(p, n), expect) << "picture " << k << " cell " << n;
    }
    EXPECT_EQ(p[0], 0);  // outside the cells stays black
  }
  EXPECT_EQ(g_Effects.GridCell, 1u);

  // YUY2 clears to black with neutral chroma on its first use after a reset.
  ResetEffectState();
  Bytes y2 = UniformYuy2(w, h, 200, 90, 160);
  Apply(y2, kYuy2, w, h, 20);
  EXPECT_EQ(YAt(y2, w, 0, 0), 0);
  EXPECT_EQ(UAt(y2, w, 0, 0), 128);
  EXPECT_EQ(YAt(y2, w, 7, 7), 200);
  EXPECT_EQ(UAt(y2, w, 7, 7), 90);
  EXPECT_EQ(VAt(y2, w, 7, 7), 160);
}

// Ten pictures through every cell, against the pixel rule played pixel by
// pixel: widths whose middle column of cells starts on the second pixel of
// a YUY2 pair (a pair half in the cell takes its chroma from the cell's first
// pixel) and on the first, and the camera's largest picture.
TEST_F(Spatial, NineViewGridEqualsThePixelRuleInEveryCell) {
  for (bool rgb : {true, false})
    for (auto [w, h] : {std::pair{46, 45}, std::pair{66, 30}, std::pair{640, 480}}) {
      ResetEffectState();
      const int bpp = rgb ? 3 : 2;
      Bytes cells(size_t(w) * h * bpp, 0);
      for (size_t i = 1; !rgb && i < cells.size(); i += 2) cells[i] = 128;
      const int h3 = h / 3, w3 = w / 3;
      const double scale = double(h) / (h3 - 4);
      for (int k = 0; k < 10; ++k) {
        Bytes pic = Noise(cells.size(), uint32_t(w * 100 + k));
        const Bytes in = pic;
        ASSERT_EQ(Apply(pic, rgb ? kRgb : kYuy2, w, h, 20), STATUS_SUCCESS);
        const int n = k % 9, top = h3 * (n / 3) + 2, left = w3 * (n % 3) + 2;
        for (int i = 0; i <= h3 - 5; ++i)
          for (int j = 0; j <= w3 - 5; ++j) {
            const int sy = int(scale * i), sx = int(scale * j), x = left + j, y = top + i;
            if (sx >= w || sy >= h) continue;
            const size_t o = (size_t(y) * w + x) * bpp, p = (size_t(sy) * w + sx) * bpp;
            if (rgb) {
              std::copy(&in[p], &in[p] + 3, &cells[o]);
              continue;
            }
            cells[o] = in[p];
            const size_t op = (size_t(y) * w + (x & ~1)) * 2, ip = (size_t(sy) * w + (sx & ~1)) * 2;
            cells[op + 1] = in[ip + 1], cells[op + 3] = in[ip + 3];
          }
        ASSERT_EQ(pic, cells) << (rgb ? "rgb " : "yuy2 ") << w << "x" << h << " picture " << k;
      }
    }
}

TEST_F(Spatial, ReliefAddsOneTextureValueToAllChannelsAndRepeats) {
  const int w = 130, h = 70;
  Bytes rgb = UniformRgb(w, h, 100, 110, 120);
  ASSERT_EQ(Apply(rgb, kRgb, w, h, 21), STATUS_SUCCESS);
  for (int y : {0, 1, 63, 64, 69})
    for (int x : {0, 5, 63, 64, 69, 128}) {
      const int t = kReliefTexture[(y % 64) * 64 + x % 64];
      const uint8_t* q = RgbAt(rgb, w, x, y);
      EXPECT_EQ(q[0], 100 + t);
      EXPECT_EQ(q[1], 110 + t);
      EXPECT_EQ(q[2], 120 + t);
    }
  EXPECT_EQ(RgbAt(rgb, w, 64, 0)[0], RgbAt(rgb, w, 0, 0)[0]);
  EXPECT_EQ(RgbAt(rgb, w, 0, 0)[0], 100 - 21);  // the texture's first value
  EXPECT_EQ(RgbAt(rgb, w, 0, 64)[0], 100 - 21);

  // Clamped at both ends; YUY2 changes Y only.
  Bytes bright = UniformRgb(64, 64, 250, 250, 250), dark = UniformRgb(64, 64, 5, 5, 5);
  Apply(bright, kRgb, 64, 64, 21);
  Apply(dark, kRgb, 64, 64, 21);
  EXPECT_EQ(*std::min_element(dark.begin(), dark.end()), 0);
  EXPECT_EQ(*std::max_element(bright.begin(), bright.end()), 255);
  Bytes yuy2 = UniformYuy2(64, 2, 100, 30, 40);
  Apply(yuy2, kYuy2, 64, 2, 21);
  EXPECT_EQ(YAt(yuy2, 64, 1, 0), 100 - 31);
  EXPECT_EQ(UAt(yuy2, 64, 1, 0), 30);
  EXPECT_EQ(VAt(yuy2, 64, 1, 1), 40);
}

}  // namespace
