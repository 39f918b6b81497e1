// Digital zoom: window recomputation, the three layouts, the coordinate table,
// buffer lifetime and the allocation-failure rule.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "driver/core/zoom.h"
#include "driver/imaging/vector_level.h"
#include "platform/nt/platform_control.h"
#include "shared/qcam_defs.h"

namespace {

constexpr NTSTATUS kOk = STATUS_SUCCESS;

class ZoomTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::ResetMachine();
    platform::PoolFailAfter(-1);
    ASSERT_TRUE(platform::RegCreateKeyPath(qcam::kKeyCurrentA));
    memset(&dev_, 0, sizeof(dev_));
    dev_.ZoomScale = 1000;
    poolBefore_ = platform::PoolOutstanding();
  }
  void TearDown() override {
    FreeZoomBuffers(&dev_);
    platform::PoolFailAfter(-1);
    EXPECT_EQ(platform::PoolOutstanding(), poolBefore_) << "zoom buffers leaked";
  }
  void Size(LONG w, LONG h, LONG format) {
    dev_.Width = w;
    dev_.Height = h;
    dev_.FormatIndex = format;
  }
  bool Stored(const char* name, uint32_t* value) { return platform::RegGetDword(qcam::kKeyCurrentA, name, value); }

  CameraDeviceState dev_;
  long poolBefore_ = 0;
};

// A picture whose every byte tells where it came from.
std::vector<uint8_t> Pattern(size_t bytes, uint32_t seed) {
  std::vector<uint8_t> v(bytes);
  std::mt19937 rng(seed);
  for (auto& b : v) b = uint8_t(rng());
  return v;
}

// ---- window recomputation ------------------------------------------------------------------

TEST_F(ZoomTest, ScaleOneResetsOffsetsAndWritesNothing) {
  Size(640, 480, qcam::kFormatYUY2);
  dev_.ZoomXOffset = 40;
  dev_.ZoomYOffset = -30;
  dev_.ZoomWindowLeft = 7;
  dev_.ZoomWindowTop = 9;
  const uint64_t writes = platform::Counters().registryWrites;
  RecomputeZoomWindow(&dev_);
  EXPECT_EQ(dev_.ZoomXOffset, 0);
  EXPECT_EQ(dev_.ZoomYOffset, 0);
  EXPECT_EQ(dev_.ZoomWindowLeft, 0);
  EXPECT_EQ(dev_.ZoomWindowTop, 0);
  EXPECT_EQ(dev_.ZoomTableRebuild, 1u);
  EXPECT_EQ(platform::Counters().registryWrites, writes);
  uint32_t v;
  EXPECT_FALSE(Stored("ZoomScale", &v));
}

TEST_F(ZoomTest, ScaleZeroChangesNothing) {
  Size(640, 480, qcam::kFormatYUY2);
  dev_.ZoomScale = 0;
  dev_.ZoomXOffset = 500;
  RecomputeZoomWindow(&dev_);
  EXPECT_EQ(dev_.ZoomXOffset, 500);
  EXPECT_EQ(dev_.ZoomTableRebuild, 0u);
}

TEST_F(ZoomTest, OffsetsClampToTheReferenceMarginAndScaleWithTheFrame) {
  struct Case {
    LONG w, h, expectLeft, expectTop;
  } cases[] = {{640, 480, 318, 0}, {320, 240, 159, 0}, {160, 120, 79, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.w);
    Size(c.w, c.h, qcam::kFormatYUY2);
    dev_.ZoomScale = 2000;
    dev_.ZoomXOffset = 500;
    dev_.ZoomYOffset = 500;
    RecomputeZoomWindow(&dev_);
    // cx = (640 - 320) / 2 - 1 = 159, cy = (480 - 240) / 2 - 1 = 119.
    EXPECT_EQ(dev_.ZoomXOffset, 159);
    EXPECT_EQ(dev_.ZoomYOffset, 119);
    EXPECT_EQ(dev_.ZoomWindowLeft, c.expectLeft);
    EXPECT_EQ(dev_.ZoomWindowTop, c.expectTop);  // YUY2: cy - y = 0
  }
  uint32_t v = 0;
  ASSERT_TRUE(Stored("ZoomScale", &v));
  EXPECT_EQ(v, 2000u);
  ASSERT_TRUE(Stored("ZoomXofst", &v));
  EXPECT_EQ(v, 159u);
  ASSERT_TRUE(Stored("ZoomYofst", &v));
  EXPECT_EQ(v, 119u);
}

TEST_F(ZoomTest, NegativeOffsetsClampAndAreStoredAsSignedWords) {
  Size(640, 480, qcam::kFormatRGB24);
  dev_.ZoomScale = 2000;
  dev_.ZoomXOffset = -10;
  dev_.ZoomYOffset = -1000;
  RecomputeZoomWindow(&dev_);
  EXPECT_EQ(dev_.ZoomXOffset, -10);
  EXPECT_EQ(dev_.ZoomYOffset, -119);
  EXPECT_EQ(dev_.ZoomWindowLeft, 149);
  EXPECT_EQ(dev_.ZoomWindowTop, 0);
  uint32_t v = 0;
  ASSERT_TRUE(Stored("ZoomXofst", &v));
  EXPECT_EQ(int32_t(v), -10);
}

TEST_F(ZoomTest, YOffsetMovesTheTopOppositeWaysForYuy2AndOtherLayouts) {
  for (LONG format : {qcam::kFormatYUY2, qcam::kFormatRGB24, qcam::kFormatI420}) {
    SCOPED_TRACE(format);
    Size(640, 480, format);
    dev_.ZoomScale = 2000;
    dev_.ZoomXOffset = 0;
    dev_.ZoomYOffset = 50;
    RecomputeZoomWindow(&dev_);
    EXPECT_EQ(dev_.ZoomWindowTop, format == qcam::kFormatYUY2 ? 119 - 50 : 119 + 50);
    EXPECT_EQ(dev_.ZoomWindowLeft, 159);
  }
}

// ---- YUY2 ----------------------------------------------------------------------------------

TEST_F(ZoomTest, Yuy2DoubleSamplesTheWindow) {
  const LONG W = 64, H = 48;
  Size(W, H, qcam::kFormatYUY2);
  std::vector<uint8_t> src = Pattern(W * H * 2, 1);
  std::vector<uint8_t> frame = src;
  ASSERT_EQ(ApplyZoom(&dev_, frame.data(), 2000, 10, 6, FALSE, nullptr, nullptr), kOk);
  for (LONG i = 0; i < H; ++i) {
    for (LONG j = 0; j < W; ++j) {
      const LONG sx = 10 + j / 2, sy = 6 + i / 2;
      ASSERT_EQ(frame[(i * W + j) * 2], src[(sy * W + sx) * 2]) << j << "," << i;
    }
    for (LONG p = 0; p < W / 2; ++p) {
      // The pair's chroma comes from the source pair holding its first pixel.
      const LONG sx = 10 + p, sy = 6 + i / 2;
      const size_t pair = (sy * W + (sx & ~1)) * 2;
      ASSERT_EQ(frame[(i * W + 2 * p) * 2 + 1], src[pair + 1]);
      ASSERT_EQ(frame[(i * W + 2 * p) * 2 + 3], src[pair + 3]);
    }
  }
}

TEST_F(ZoomTest, Yuy2OutsideTheFrameIsBlackWithoutTheTable) {
  const LONG W = 32, H = 16;
  Size(W, H, qcam::kFormatYUY2);
  std::vector<uint8_t> frame = Pattern(W * H * 2, 2);
  // Half scale: the window is twice the frame, so its right and lower halves
  // lie outside.
  ASSERT_EQ(ApplyZoom(&dev_, frame.data(), 500, 0, 0, FALSE, nullptr, nullptr), kOk);
  const size_t last = ((H - 1) * W + (W - 2)) * 2;
  EXPECT_EQ(frame[last + 0], 0);
  EXPECT_EQ(frame[last + 1], 128);
  EXPECT_EQ(frame[last + 2], 0);
  EXPECT_EQ(frame[last + 3], 128);
}

// The table path and the direct path must make the same picture for every
// window that stays inside the frame.
TEST_F(ZoomTest, Yuy2TableAndDirectPathsAgree) {
  const LONG W = 320, H = 240;
  Size(W, H, qcam::kFormatYUY2);
  const uint32_t seed = 20261207;
  std::mt19937 rng(seed);
  SCOPED_TRACE(seed);
  std::vector<uint8_t> src = Pattern(W * H * 2, seed);
  for (int round = 0; round < 12; ++round) {
    const ULONG scale = 1000 + rng() % 3000;
    const LONG winW = LONG(W * 1000 / scale), winH = LONG(H * 1000 / scale);
    const LONG left = LONG(rng() % (W - winW)), top = LONG(rng() % (H - winH));
    SCOPED_TRACE(::testing::Message() << "scale " << scale << " at " << left << "," << top);
    std::vector<uint8_t> direct = src, tabled = src;
    ASSERT_EQ(ApplyZoom(&dev_, direct.data(), scale, left, top, FALSE, nullptr, nullptr), kOk);
    dev_.ZoomTableRebuild = 1;
    ASSERT_EQ(ApplyZoom(&dev_, tabled.data(), scale, left, top, TRUE, dev_.ZoomTable, &dev_.ZoomTableRebuild), kOk);
    EXPECT_EQ(dev_.ZoomTableRebuild, 0u);
    ASSERT_EQ(direct, tabled);
  }
}

TEST_F(ZoomTest, TableIsBuiltOnTheFirstZoomedFrameAndRebuiltOnlyWhenAsked) {
  const LONG W = 64, H = 48;
  Size(W, H, qcam::kFormatYUY2);
  dev_.ZoomScale = 2000;
  std::vector<uint8_t> src = Pattern(W * H * 2, 3);
  // No buffers and a clear rebuild flag: the first frame still allocates
  // and builds the table.
  EXPECT_EQ(dev_.ZoomTable, nullptr);
  dev_.ZoomTableRebuild = 0;
  std::vector<uint8_t> a = src, b = src;
  ASSERT_EQ(ApplyZoom(&dev_, a.data(), 2000, 4, 2, TRUE, dev_.ZoomTable, &dev_.ZoomTableRebuild), kOk);
  ASSERT_NE(dev_.ZoomTable, nullptr);
  ASSERT_NE(dev_.ZoomSourceBuffer, nullptr);
  EXPECT_EQ(dev_.ZoomSourceSize, ULONG(W * H * 3));
  ASSERT_EQ(ApplyZoom(&dev_, b.data(), 2000, 4, 2, FALSE, nullptr, nullptr), kOk);
  EXPECT_EQ(a, b);
  // A moved window without a rebuild keeps using the old table.
  std::vector<uint8_t> c = src;
  ASSERT_EQ(ApplyZoom(&dev_, c.data(), 2000, 20, 10, TRUE, dev_.ZoomTable, &dev_.ZoomTableRebuild), kOk);
  EXPECT_EQ(c, a);
  dev_.ZoomTableRebuild = 1;
  c = src;
  ASSERT_EQ(ApplyZoom(&dev_, c.data(), 2000, 20, 10, TRUE, dev_.ZoomTable, &dev_.ZoomTableRebuild), kOk);
  EXPECT_NE(c, a);
  FreeZoomBuffers(&dev_);
  EXPECT_EQ(dev_.ZoomTable, nullptr);
  EXPECT_EQ(dev_.ZoomSourceBuffer, nullptr);
  EXPECT_EQ(dev_.ZoomSourceSize, 0u);
}

// A zoom property that arrives while the frame thread builds the table asks
// for another build; the build in progress must not swallow that request.
// The property thread sets the request once the build has visibly begun; a
// try where the build had already ended by then proves nothing and is made
// again.
TEST_F(ZoomTest, RebuildRequestArrivingDuringTheBuildIsKept) {
  const LONG W = 1280, H = 960;  // a table large enough to take a while
  Size(W, H, qcam::kFormatRGB24);
  std::vector<uint8_t> frame = Pattern(size_t(W) * H * 3, 5);
  dev_.ZoomTableRebuild = 1;
  ASSERT_EQ(ApplyZoom(&dev_, frame.data(), 2000, 0, 0, TRUE, dev_.ZoomTable, &dev_.ZoomTableRebuild), kOk);
  const size_t last = size_t(W) * H * 3 - 1;
  int decisive = 0;
  for (int attempt = 0; attempt < 20 && decisive == 0; ++attempt) {
    const LONG left = attempt % 2 ? 0 : 40, top = attempt % 2 ? 0 : 30;
    volatile ULONG* table = dev_.ZoomTable;
    const ULONG first = table[0], final = table[last];
    dev_.ZoomTableRebuild = 1;
    std::atomic<bool> spinning{false}, duringBuild{false};
    std::thread property([&] {
      spinning = true;
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
      while (table[0] == first && std::chrono::steady_clock::now() < deadline) {}
      duringBuild = table[last] == final;
      __atomic_store_n(&dev_.ZoomTableRebuild, 1u, __ATOMIC_RELEASE);
    });
    while (!spinning) std::this_thread::yield();
    ASSERT_EQ(ApplyZoom(&dev_, frame.data(), 2000, left, top, TRUE, dev_.ZoomTable, &dev_.ZoomTableRebuild), kOk);
    property.join();
    if (!duringBuild) continue;
    ++decisive;
    EXPECT_EQ(dev_.ZoomTableRebuild, 1u) << "the request made during the build was lost";
  }
  if (decisive == 0) GTEST_SKIP() << "the property thread never ran during a build";
}

// ---- RGB24 ---------------------------------------------------------------------------------

TEST_F(ZoomTest, Rgb24SamplesWholePixelsAndAgreesWithTheTable) {
  const LONG W = 48, H = 30;
  Size(W, H, qcam::kFormatRGB24);
  std::vector<uint8_t> src = Pattern(W * H * 3, 4);
  std::vector<uint8_t> direct = src, tabled = src;
  ASSERT_EQ(ApplyZoom(&dev_, direct.data(), 4000, 5, 3, FALSE, nullptr, nullptr), kOk);
  for (LONG i = 0; i < H; ++i)
    for (LONG j = 0; j < W; ++j)
      for (int k = 0; k < 3; ++k)
        ASSERT_EQ(direct[(i * W + j) * 3 + k], src[((3 + i / 4) * W + (5 + j / 4)) * 3 + k]);
  dev_.ZoomTableRebuild = 1;
  ASSERT_EQ(ApplyZoom(&dev_, tabled.data(), 4000, 5, 3, TRUE, dev_.ZoomTable, &dev_.ZoomTableRebuild), kOk);
  EXPECT_EQ(direct, tabled);
  // Outside the frame: black without the table.
  std::vector<uint8_t> out = src;
  ASSERT_EQ(ApplyZoom(&dev_, out.data(), 1000, W / 2, 0, FALSE, nullptr, nullptr), kOk);
  EXPECT_EQ(out[(W - 1) * 3], 0);
  EXPECT_EQ(out[0], src[(W / 2) * 3]);
}

// ---- I420 ----------------------------------------------------------------------------------

TEST_F(ZoomTest, I420SamplesOneStepIntoTheWindow) {
  const LONG W = 32, H = 24;
  Size(W, H, qcam::kFormatI420);
  std::vector<uint8_t> src = Pattern(W * H * 3 / 2, 5);
  std::vector<uint8_t> frame = src;
  ASSERT_EQ(ApplyZoom(&dev_, frame.data(), 2000, 4, 2, FALSE, nullptr, nullptr), kOk);
  const uint8_t* su = src.data() + W * H;
  const uint8_t* sv = su + W * H / 4;
  const uint8_t* du = frame.data() + W * H;
  const uint8_t* dv = du + W * H / 4;
  for (LONG i = 0; i < H; ++i)
    for (LONG j = 0; j < W; ++j) ASSERT_EQ(frame[i * W + j], src[(2 + (i + 1) / 2) * W + 4 + (j + 1) / 2]);
  for (LONG i = 0; i < H / 2; ++i)
    for (LONG j = 0; j < W / 2; ++j) {
      const LONG sy = 2 + (2 * i + 2) / 2, sx = 4 + (2 * j + 2) / 2;
      ASSERT_EQ(du[i * W / 2 + j], su[(sy / 2) * W / 2 + sx / 2]);
      ASSERT_EQ(dv[i * W / 2 + j], sv[(sy / 2) * W / 2 + sx / 2]);
    }
}

// Windows reaching past any edge (a scale below 1.0x, a corner beyond the
// frame, automatic framing's own arithmetic) must never read outside the
// planes; the exact-size frame lets the address sanitizer see an overrun.
TEST_F(ZoomTest, I420WindowIsBoundedInsideTheFrame) {
  const LONG W = 40, H = 30;
  Size(W, H, qcam::kFormatI420);
  struct Case {
    ULONG scale;
    LONG left, top;
  } cases[] = {{1000, 0, 0}, {1100, W, H}, {2000, 1000, 1000}, {500, -50, -50}, {1000, -5, 3}, {3000, 39, 29}};
  std::vector<uint8_t> src(W * H * 3 / 2);
  for (LONG y = 0; y < H; ++y)
    for (LONG x = 0; x < W; ++x) src[y * W + x] = uint8_t(x * 4 + 1);
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.scale << " at " << c.left << "," << c.top);
    std::vector<uint8_t> frame = src;
    ASSERT_EQ(ApplyZoom(&dev_, frame.data(), c.scale, c.left, c.top, FALSE, nullptr, nullptr), kOk);
    // Every output luma is one of the frame's own columns.
    for (LONG x = 0; x < W; ++x) {
      EXPECT_EQ(frame[(H - 1) * W + x] % 4, 1);
      EXPECT_LE(frame[(H - 1) * W + x], (W - 1) * 4 + 1);
    }
  }
  // A window pushed past the right edge is moved back, not smeared: at 2.0x
  // the output still spans W / 2 distinct source columns.
  std::vector<uint8_t> frame = src;
  ASSERT_EQ(ApplyZoom(&dev_, frame.data(), 2000, 1000, 0, FALSE, nullptr, nullptr), kOk);
  EXPECT_EQ(frame[W - 1], src[W - 1]);
  EXPECT_NE(frame[0], frame[W - 1]);
}

// ---- formats and failures ----------------------------------------------------------------

TEST_F(ZoomTest, MjpgAndUnknownLayoutsAreLeftUntouched) {
  for (LONG format : {LONG(qcam::kFormatMJPG), LONG(-1), LONG(7)}) {
    Size(64, 48, format);
    std::vector<uint8_t> frame = Pattern(64 * 48 * 3, 6);
    const std::vector<uint8_t> before = frame;
    EXPECT_EQ(ApplyZoom(&dev_, frame.data(), 2000, 10, 10, TRUE, dev_.ZoomTable, &dev_.ZoomTableRebuild),
              STATUS_NOT_SUPPORTED);
    EXPECT_EQ(frame, before);
    EXPECT_EQ(dev_.ZoomSourceBuffer, nullptr);
  }
}

TEST_F(ZoomTest, BadArgumentsAreRefused) {
  Size(64, 48, qcam::kFormatYUY2);
  std::vector<uint8_t> frame(64 * 48 * 2, 7);
  EXPECT_EQ(ApplyZoom(&dev_, frame.data(), 0, 0, 0, FALSE, nullptr, nullptr), STATUS_INVALID_PARAMETER);
  EXPECT_EQ(ApplyZoom(&dev_, nullptr, 2000, 0, 0, FALSE, nullptr, nullptr), STATUS_INVALID_PARAMETER);
  Size(0, 48, qcam::kFormatYUY2);
  EXPECT_EQ(ApplyZoom(&dev_, frame.data(), 2000, 0, 0, FALSE, nullptr, nullptr), STATUS_INVALID_PARAMETER);
  Size(63, 48, qcam::kFormatYUY2);  // half a pixel pair
  EXPECT_EQ(ApplyZoom(&dev_, frame.data(), 2000, 0, 0, FALSE, nullptr, nullptr), STATUS_NOT_SUPPORTED);
  EXPECT_EQ(frame, std::vector<uint8_t>(64 * 48 * 2, 7));
}

TEST_F(ZoomTest, AllocationFailureSwitchesTheUserZoomOffAndLeavesTheFrame) {
  Size(64, 48, qcam::kFormatYUY2);
  for (long failAfter : {0L, 1L}) {  // the source buffer, then the table
    SCOPED_TRACE(failAfter);
    dev_.ZoomEnable = 1;
    std::vector<uint8_t> frame = Pattern(64 * 48 * 2, 8);
    const std::vector<uint8_t> before = frame;
    platform::PoolFailAfter(failAfter);
    EXPECT_EQ(ApplyZoom(&dev_, frame.data(), 2000, 0, 0, TRUE, dev_.ZoomTable, &dev_.ZoomTableRebuild),
              STATUS_INSUFFICIENT_RESOURCES);
    platform::PoolFailAfter(-1);
    EXPECT_EQ(dev_.ZoomEnable, 0u);
    EXPECT_EQ(frame, before);
    EXPECT_EQ(dev_.ZoomSourceBuffer, nullptr);
    EXPECT_EQ(dev_.ZoomTable, nullptr);
    EXPECT_EQ(platform::PoolOutstanding(), poolBefore_);
  }
}

TEST_F(ZoomTest, BuffersFollowTheFrameSize) {
  Size(64, 48, qcam::kFormatRGB24);
  std::vector<uint8_t> small = Pattern(64 * 48 * 3, 9);
  ASSERT_EQ(ApplyZoom(&dev_, small.data(), 2000, 0, 0, FALSE, nullptr, nullptr), kOk);
  EXPECT_EQ(dev_.ZoomSourceSize, 64u * 48 * 3);
  Size(128, 96, qcam::kFormatRGB24);
  std::vector<uint8_t> large = Pattern(128 * 96 * 3, 10);
  ASSERT_EQ(ApplyZoom(&dev_, large.data(), 2000, 0, 0, TRUE, dev_.ZoomTable, &dev_.ZoomTableRebuild), kOk);
  EXPECT_EQ(dev_.ZoomSourceSize, 128u * 96 * 3);
  EXPECT_EQ(large[(95 * 128 + 127) * 3], Pattern(128 * 96 * 3, 10)[(47 * 128 + 63) * 3]);
}


// The shuffled row plans against the portable loops: every layout, direct
// and through the table, at random scales (enlarging and reducing) and
// windows reaching outside the frame on every side.
TEST_F(ZoomTest, PlannedPathsGiveThePortableBytes) {
  std::mt19937 rng(77);
  const LONG sizes[][2] = {{64, 48}, {160, 120}, {98, 50}, {36, 2}};
  const LONG formats[] = {qcam::kFormatYUY2, qcam::kFormatRGB24, qcam::kFormatI420};
  for (const auto& size : sizes)
    for (LONG format : formats)
      for (int round = 0; round < 12; ++round) {
        const LONG w = size[0], h = size[1];
        const ULONG scales[] = {2000, 1000, 1250, 3333, 8000, 999, 500, 1999};
        const ULONG scale = round < 8 ? scales[round] : 300 + rng() % 9000;
        const LONG left = LONG(rng() % (2 * w)) - w / 2, top = LONG(rng() % (2 * h)) - h / 2;
        SCOPED_TRACE(testing::Message() << w << "x" << h << " format " << format << " scale " << scale << " at "
                                        << left << "," << top);
        const size_t bytes = format == qcam::kFormatYUY2 ? w * h * 2 : format == qcam::kFormatRGB24 ? w * h * 3
                                                                                                   : w * h * 3 / 2;
        const std::vector<uint8_t> src = Pattern(bytes, uint32_t(round * 31 + w));
        for (BOOLEAN useTable : {FALSE, TRUE}) {
          std::vector<uint8_t> results[2];
          for (int planned = 0; planned < 2; ++planned) {
            SetEffectVectorCeiling(planned ? VectorLevel::kAvx2 : VectorLevel::kPortable);
            Size(w, h, format);
            dev_.ZoomTableRebuild = 1;
            results[planned] = src;
            ASSERT_EQ(ApplyZoom(&dev_, results[planned].data(), scale, left, top, useTable, dev_.ZoomTable,
                                &dev_.ZoomTableRebuild),
                      kOk);
            // A second frame through the kept table (or plans).
            results[planned] = src;
            ASSERT_EQ(ApplyZoom(&dev_, results[planned].data(), scale, left, top, useTable, dev_.ZoomTable,
                                &dev_.ZoomTableRebuild),
                      kOk);
            FreeZoomBuffers(&dev_);
          }
          SetEffectVectorCeiling(VectorLevel::kAvx2);
          ASSERT_EQ(results[0], results[1]) << (useTable ? "table" : "direct");
        }
      }
}

// A stream of frames on one device against the same stream on another at
// the portable level: the window, scale, table use and rebuild requests
// change from frame to frame (a kept table serves a moved window until it is
// rebuilt, kept plans must follow the window), and the vector level switches
// between frames among all levels; packed streams switch between YUY2 and
// RGB24 on the same buffers now and then.
TEST_F(ZoomTest, PlannedPathsFollowAStreamOfChangingWindows) {
  const uint32_t seed = 20261207;
  SCOPED_TRACE(testing::Message() << "seed " << seed);
  std::mt19937 rng(seed);
  const LONG sizes[][2] = {{640, 48}, {98, 50}, {34, 6}, {96, 4}};
  const LONG formats[] = {qcam::kFormatYUY2, qcam::kFormatRGB24, qcam::kFormatI420};
  const VectorLevel levels[] = {VectorLevel::kPortable, VectorLevel::kSsse3, VectorLevel::kAvx2};
  for (const auto& size : sizes)
    for (LONG streamFormat : formats) {
      LONG format = streamFormat;
      const LONG w = size[0], h = size[1];
      CameraDeviceState reference;
      memset(&reference, 0, sizeof(reference));
      Size(w, h, format);
      reference.Width = w;
      reference.Height = h;
      reference.FormatIndex = format;
      ULONG scale = 2000;
      LONG left = 3, top = 2;
      for (int frame = 0; frame < 40; ++frame) {
        const unsigned change = rng() % 4;
        if (change == 0) scale = 300 + rng() % 9000;
        if (change <= 1) left = LONG(rng() % (2 * w)) - w / 2;
        if (change <= 2) top = LONG(rng() % (2 * h)) - h / 2;
        const BOOLEAN useTable = (rng() % 3) == 0 ? TRUE : FALSE;
        if (rng() % 4 == 0) reference.ZoomTableRebuild = dev_.ZoomTableRebuild = 1;
        const VectorLevel level = levels[rng() % 3];
        if (format != qcam::kFormatI420 && rng() % 8 == 0) {
          format = format == qcam::kFormatYUY2 ? qcam::kFormatRGB24 : qcam::kFormatYUY2;
          reference.FormatIndex = dev_.FormatIndex = format;
        }
        const size_t bytes = format == qcam::kFormatYUY2 ? w * h * 2 : format == qcam::kFormatRGB24 ? w * h * 3
                                                                                                   : w * h * 3 / 2;
        SCOPED_TRACE(testing::Message() << w << "x" << h << " format " << format << " frame " << frame << " scale "
                                        << scale << " at " << left << "," << top << (useTable ? " table" : " direct")
                                        << " level " << int(level));
        const std::vector<uint8_t> src = Pattern(bytes, uint32_t(frame * 131 + w + format));
        std::vector<uint8_t> expected = src, got = src;
        SetEffectVectorCeiling(VectorLevel::kPortable);
        ASSERT_EQ(ApplyZoom(&reference, expected.data(), scale, left, top, useTable, reference.ZoomTable,
                            &reference.ZoomTableRebuild),
                  kOk);
        SetEffectVectorCeiling(level);
        ASSERT_EQ(ApplyZoom(&dev_, got.data(), scale, left, top, useTable, dev_.ZoomTable, &dev_.ZoomTableRebuild),
                  kOk);
        SetEffectVectorCeiling(VectorLevel::kAvx2);
        ASSERT_EQ(got, expected);
      }
      FreeZoomBuffers(&reference);
      FreeZoomBuffers(&dev_);
    }
}

// Buffers allocated by a zoom without the table (automatic framing) hold a
// table of zeros: the first zoom through the table builds it even when no
// rebuild was requested, at every vector level, and gives the picture of a
// freshly built table.
TEST_F(ZoomTest, TableOfBuffersAllocatedWithoutItIsBuiltOnFirstUse) {
  for (VectorLevel level : {VectorLevel::kPortable, VectorLevel::kAvx2}) {
    SetEffectVectorCeiling(level);
    Size(64, 48, qcam::kFormatYUY2);
    const std::vector<uint8_t> src = Pattern(64 * 48 * 2, 9);
    std::vector<uint8_t> expected = src, got = src, framing = src;
    dev_.ZoomTableRebuild = 1;
    ASSERT_EQ(ApplyZoom(&dev_, expected.data(), 2000, 10, 8, TRUE, dev_.ZoomTable, &dev_.ZoomTableRebuild), kOk);
    FreeZoomBuffers(&dev_);
    ASSERT_EQ(ApplyZoom(&dev_, framing.data(), 1500, 3, 4, FALSE, nullptr, nullptr), kOk);
    dev_.ZoomTableRebuild = 0;
    ASSERT_EQ(ApplyZoom(&dev_, got.data(), 2000, 10, 8, TRUE, dev_.ZoomTable, &dev_.ZoomTableRebuild), kOk);
    EXPECT_EQ(got, expected) << "level " << int(level);
    FreeZoomBuffers(&dev_);
  }
  SetEffectVectorCeiling(VectorLevel::kAvx2);
}

}  // namespace
