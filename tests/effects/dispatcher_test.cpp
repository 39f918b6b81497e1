// The effect dispatcher (its checks and their order, automatic cycling, the
// state resets, the work buffers) and the colour effects.
#include "tests/effects/effects_test_util.h"

using namespace effects_test;

namespace {

constexpr int kRgb = qcam::kFormatRGB24;
constexpr int kYuy2 = qcam::kFormatYUY2;

class Dispatcher : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::ResetMachine();
    platform::SetSystemTime(0);
    StartStream(640, 480);
  }
  void TearDown() override {
    FreeEffectBuffers();
    platform::SetSystemTime(-1);
  }
};

TEST_F(Dispatcher, EffectOneLeavesThePictureAlone) {
  Bytes pic = Noise(640 * 480 * 3, 11), before = pic;
  EXPECT_EQ(Apply(pic, kRgb, 640, 480, 1), STATUS_SUCCESS);
  EXPECT_EQ(pic, before);
}

TEST_F(Dispatcher, RefusesSizesLayoutsShortBuffersAndUnknownNumbers) {
  struct Case {
    const char* what;
    int layout, w, h;
    size_t bytes;
    ULONG effect;
  };
  const Case cases[] = {
      {"1280x720", kRgb, 1280, 720, 1280 * 720 * 3, 11},
      {"641 wide", kRgb, 641, 480, 641 * 480 * 3, 11},
      {"481 high", kYuy2, 640, 481, 640 * 481 * 2, 11},
      {"I420", qcam::kFormatI420, 320, 240, 320 * 240 * 3, 11},
      {"MJPG", qcam::kFormatMJPG, 320, 240, 320 * 240 * 3, 11},
      {"RGB one byte short", kRgb, 320, 240, 320 * 240 * 3 - 1, 11},
      {"YUY2 one byte short", kYuy2, 320, 240, 320 * 240 * 2 - 1, 11},
      {"zero width", kRgb, 0, 240, 1000, 11},
      {"negative height", kRgb, 320, -2, 1000, 11},
      {"odd YUY2 width", kYuy2, 321, 240, 321 * 240 * 2, 11},
      {"effect 0", kRgb, 320, 240, 320 * 240 * 3, 0},
      {"effect 22", kRgb, 320, 240, 320 * 240 * 3, 22},
      {"effect 48", kRgb, 320, 240, 320 * 240 * 3, 48},
      {"effect 50", kRgb, 320, 240, 320 * 240 * 3, 50},
      {"effect 62", kRgb, 320, 240, 320 * 240 * 3, 62},
      {"effect 98", kYuy2, 320, 240, 320 * 240 * 2, 98},
      {"effect 100", kYuy2, 320, 240, 320 * 240 * 2, 100},
  };
  for (const Case& c : cases) {
    Bytes pic = Noise(c.bytes, 5), before = pic;
    SetEffectPicture(c.layout, c.w, c.h, c.effect);
    EXPECT_EQ(ApplySpecialEffect(pic.data(), ULONG(pic.size())), STATUS_NOT_SUPPORTED) << c.what;
    EXPECT_EQ(pic, before) << c.what;
  }
}

TEST_F(Dispatcher, BlackAndWhiteThresholdsOnBothLayouts) {
  const struct {
    uint8_t grey, expect;
  } rgb[] = {{100, 0}, {128, 0}, {130, 255}};
  for (auto c : rgb) {
    Bytes pic = UniformRgb(8, 8, c.grey, c.grey, c.grey);
    ASSERT_EQ(Apply(pic, kRgb, 8, 8, 7), STATUS_SUCCESS);
    EXPECT_EQ(pic, UniformRgb(8, 8, c.expect, c.expect, c.expect)) << int(c.grey);
  }
  // Average (127 + 128 + 131) / 3 = 128 stays black; the sum decides, not one channel.
  Bytes mixed = UniformRgb(2, 2, 127, 128, 131);
  Apply(mixed, kRgb, 2, 2, 7);
  EXPECT_EQ(mixed[0], 0);

  Bytes yuy2 = {81, 10, 80, 240};
  ASSERT_EQ(Apply(yuy2, kYuy2, 2, 1, 7), STATUS_SUCCESS);
  EXPECT_EQ(yuy2, (Bytes{255, 128, 0, 128}));
}

TEST_F(Dispatcher, ColourRulesOnQuotedAndEdgeValues) {
  struct Case {
    ULONG effect;
    Bytes in, out;  // one RGB pixel B, G, R
  };
  const Case rgb[] = {
      {2, {250, 100, 100}, {255, 100, 80}},  // blue tint
      {2, {200, 7, 9}, {240, 7, 7}},
      {3, {255, 1, 240}, {229, 1, 255}},  // red tint: 264 clamps
      {3, {10, 1, 100}, {9, 1, 110}},
      {4, {100, 240, 250}, {90, 255, 255}},  // yellow tint
      {4, {255, 50, 50}, {229, 55, 60}},
      {5, {255, 255, 255}, {190, 249, 255}},  // sepia
      {5, {0, 0, 0}, {0, 0, 37}},
      {5, {30, 30, 30}, {0, 24, 67}},
      {8, {10, 20, 31}, {20, 20, 20}},  // grey
      {11, {0, 128, 255}, {255, 127, 0}},
      {14, {1, 2, 3}, {0, 0, 3}},
      {15, {1, 2, 3}, {0, 2, 0}},
      {16, {1, 2, 3}, {1, 0, 0}},
  };
  for (const Case& c : rgb) {
    Bytes pic = c.in;
    ASSERT_EQ(Apply(pic, kRgb, 1, 1, c.effect), STATUS_SUCCESS);
    EXPECT_EQ(pic, c.out) << "RGB effect " << c.effect;
  }
  const Case yuy2[] = {
      {2, {50, 100, 60, 100}, {50, 126, 60, 65}},  // blue tint
      {2, {50, 229, 60, 35}, {50, 255, 60, 0}},
      {2, {50, 230, 60, 34}, {50, 255, 60, 0}},
      {3, {1, 25, 2, 235}, {1, 0, 2, 255}},  // red tint
      {3, {1, 24, 2, 236}, {1, 0, 2, 255}},
      {3, {1, 100, 2, 100}, {1, 75, 2, 120}},
      {4, {1, 15, 2, 245}, {1, 0, 2, 255}},  // yellow tint
      {4, {1, 100, 2, 100}, {1, 85, 2, 110}},
      {5, {17, 1, 230, 2}, {17, 96, 230, 160}},  // sepia keeps Y
      {8, {17, 1, 230, 2}, {17, 128, 230, 128}},
      {11, {0, 1, 254, 255}, {255, 254, 1, 0}},
      {14, {9, 1, 9, 2}, {9, 128, 9, 255}},
      {15, {9, 1, 9, 2}, {9, 0, 9, 0}},
      {16, {9, 1, 9, 2}, {9, 255, 9, 128}},
  };
  for (const Case& c : yuy2) {
    Bytes pic = c.in;
    ASSERT_EQ(Apply(pic, kYuy2, 2, 1, c.effect), STATUS_SUCCESS);
    EXPECT_EQ(pic, c.out) << "YUY2 effect " << c.effect;
  }
}

TEST_F(Dispatcher, ColourEffectsMatchTheirRulesOnEveryByteValue) {
  // Every B, G, R value 0 ... 255 through the tints, against the rule written
  // out plainly: catches a fast path that drifts on some value.
  Bytes pic(256 * 3);
  for (int v = 0; v < 256; ++v) pic[v * 3] = pic[v * 3 + 1] = pic[v * 3 + 2] = uint8_t(v);
  auto run = [&](ULONG effect) {
    Bytes p = pic;
    Apply(p, kRgb, 256, 1, effect);
    return p;
  };
  const Bytes blue = run(2), red = run(3), yellow = run(4);
  for (int v = 0; v < 256; ++v) {
    EXPECT_EQ(blue[v * 3 + 0], std::min(255, v * 12 / 10)) << v;
    EXPECT_EQ(blue[v * 3 + 1], v);
    EXPECT_EQ(blue[v * 3 + 2], v * 8 / 10) << v;
    EXPECT_EQ(red[v * 3 + 0], v * 9 / 10) << v;
    EXPECT_EQ(red[v * 3 + 2], std::min(255, v * 11 / 10)) << v;
    EXPECT_EQ(yellow[v * 3 + 0], v * 9 / 10) << v;
    EXPECT_EQ(yellow[v * 3 + 1], std::min(255, v * 11 / 10)) << v;
    EXPECT_EQ(yellow[v * 3 + 2], std::min(255, v * 12 / 10)) << v;
  }
}

// Plain per-pixel versions of the colour rules, to hold the block-wise
// routines against on awkward sizes (whole blocks plus a tail).
void PlainRgb(ULONG effect, uint8_t* p) {
  auto lim = [](int v) { return uint8_t(v < 0 ? 0 : (v > 255 ? 255 : v)); };
  const int b = p[0], g = p[1], r = p[2], a = (b + g + r) / 3;
  switch (effect) {
    case 2: p[0] = lim(b * 12 / 10), p[2] = uint8_t(r * 8 / 10); break;
    case 3: p[2] = lim(r * 11 / 10), p[0] = uint8_t(b * 9 / 10); break;
    case 4: p[2] = lim(r * 12 / 10), p[1] = lim(g * 11 / 10), p[0] = uint8_t(b * 9 / 10); break;
    case 5: p[2] = lim(a + 37), p[1] = lim(a - 6), p[0] = lim(a - 65); break;
    case 7: p[0] = p[1] = p[2] = a > 128 ? 255 : 0; break;
    case 8: p[0] = p[1] = p[2] = uint8_t(a); break;
    case 11: p[0] = uint8_t(255 - b), p[1] = uint8_t(255 - g), p[2] = uint8_t(255 - r); break;
    case 14: p[0] = p[1] = 0; break;
    case 15: p[0] = p[2] = 0; break;
    case 16: p[1] = p[2] = 0; break;
  }
}

void PlainYuy2(ULONG effect, uint8_t* p) {
  uint8_t& u = p[1];
  uint8_t& v = p[3];
  switch (effect) {
    case 2: u = u < 230 ? u + 26 : 255, v = v > 34 ? v - 35 : 0; break;
    case 3: u = u > 24 ? u - 25 : 0, v = v < 236 ? v + 20 : 255; break;
    case 4: u = u > 14 ? u - 15 : 0, v = v < 246 ? v + 10 : 255; break;
    case 5: u = 96, v = 160; break;
    case 7: p[0] = p[0] > 80 ? 255 : 0, p[2] = p[2] > 80 ? 255 : 0, u = v = 128; break;
    case 8: u = v = 128; break;
    case 11: for (int i = 0; i < 4; ++i) p[i] = uint8_t(255 - p[i]); break;
    case 14: u = 128, v = 255; break;
    case 15: u = 0, v = 0; break;
    case 16: u = 255, v = 128; break;
  }
}

TEST_F(Dispatcher, ColourEffectsEqualThePlainRulesOnAwkwardSizes) {
  const uint32_t seed = 20261207;
  const struct {
    int w, h;
  } sizes[] = {{1, 1}, {2, 1}, {17, 3}, {18, 5}, {6, 8}, {640, 480}};
  for (ULONG effect : {2u, 3u, 4u, 5u, 7u, 8u, 11u, 14u, 15u, 16u}) {
    for (auto s : sizes) {
      // Exact-size buffers, so a block that runs past the picture is caught.
      const Bytes in = Noise(size_t(s.w) * s.h * 3, seed + effect);
      Bytes fast = in, plain = in;
      ASSERT_EQ(Apply(fast, kRgb, s.w, s.h, effect), STATUS_SUCCESS);
      for (size_t i = 0; i < plain.size(); i += 3) PlainRgb(effect, &plain[i]);
      ASSERT_EQ(fast, plain) << "RGB effect " << effect << " " << s.w << "x" << s.h << " seed " << seed;
      if (s.w % 2) continue;
      const Bytes yin = Noise(size_t(s.w) * s.h * 2, seed - effect);
      Bytes yfast = yin, yplain = yin;
      ASSERT_EQ(Apply(yfast, kYuy2, s.w, s.h, effect), STATUS_SUCCESS);
      for (size_t i = 0; i < yplain.size(); i += 4) PlainYuy2(effect, &yplain[i]);
      ASSERT_EQ(yfast, yplain) << "YUY2 effect " << effect << " " << s.w << "x" << s.h << " seed " << seed;
    }
  }
}

TEST_F(Dispatcher, NegativeTwiceRestoresBothLayouts) {
  Bytes rgb = Noise(64 * 48 * 3, 99), rgbBefore = rgb;
  Apply(rgb, kRgb, 64, 48, 11);
  EXPECT_NE(rgb, rgbBefore);
  Apply(rgb, kRgb, 64, 48, 11);
  EXPECT_EQ(rgb, rgbBefore);
  Bytes yuy2 = Noise(64 * 48 * 2, 98), yuy2Before = yuy2;
  Apply(yuy2, kYuy2, 64, 48, 11);
  Apply(yuy2, kYuy2, 64, 48, 11);
  EXPECT_EQ(yuy2, yuy2Before);
}

TEST_F(Dispatcher, ColourEffectsTouchOnlyThePicture) {
  // An exact-size picture inside a larger buffer: bytes beyond it stay put.
  for (ULONG effect = 2; effect <= 21; ++effect) {
    Bytes buf(16 * 8 * 3 + 16, 0xA5);
    SetEffectPicture(kRgb, 16, 8, effect);
    ApplySpecialEffect(buf.data(), 16 * 8 * 3);
    for (size_t i = 16 * 8 * 3; i < buf.size(); ++i) ASSERT_EQ(buf[i], 0xA5) << "effect " << effect;
  }
}

TEST_F(Dispatcher, CyclingStartsFromItsLoadedStateAndWraps) {
  const Bytes grey = UniformRgb(4, 4, 100, 100, 100);
  Bytes blueTinted = grey;
  BlueTintRgb(blueTinted.data(), 4, 4);

  // Low 32 bits of the clock not yet past 5 s: nothing shown yet, refused.
  platform::SetSystemTime(40000000);
  Bytes pic = grey;
  EXPECT_EQ(Apply(pic, kRgb, 4, 4, 49), STATUS_NOT_SUPPORTED);
  EXPECT_EQ(pic, grey);
  EXPECT_EQ(g_Effects.CycleShown, 0u);

  const int64_t t0 = 0x500000000LL + 60000000;  // high bits set, low bits past 50,000,000
  platform::SetSystemTime(t0);
  pic = grey;
  EXPECT_EQ(Apply(pic, kRgb, 4, 4, 49), STATUS_SUCCESS);
  EXPECT_EQ(g_Effects.CycleShown, 2u);
  EXPECT_EQ(pic, blueTinted);

  platform::SetSystemTime(t0 + 50000000);  // exactly 5 s later: not more than 5 s
  Apply(pic, kRgb, 4, 4, 49);
  EXPECT_EQ(g_Effects.CycleShown, 2u);
  platform::SetSystemTime(t0 + 50000001);
  Apply(pic, kRgb, 4, 4, 49);
  EXPECT_EQ(g_Effects.CycleShown, 3u);

  int64_t t = t0 + 50000001;
  for (ULONG expect = 4; expect <= 21; ++expect) {
    t += 50000001;
    platform::SetSystemTime(t);
    Apply(pic, kRgb, 4, 4, 49);
    ASSERT_EQ(g_Effects.CycleShown, expect);
  }
  t += 50000001;
  platform::SetSystemTime(t);
  Apply(pic, kRgb, 4, 4, 49);
  EXPECT_EQ(g_Effects.CycleShown, 2u);  // after 21 comes 2

  // The difference is taken on the low 32 bits, so it survives their wrap.
  g_Effects.CycleLastChange = 0x1FFFFFFF0LL;  // low part 0xFFFFFFF0
  platform::SetSystemTime(0x200000000LL + 50000000);
  Apply(pic, kRgb, 4, 4, 49);
  EXPECT_EQ(g_Effects.CycleShown, 3u);
}

TEST_F(Dispatcher, CyclingAdvancesOnRefusedLayoutsAndSurvivesResets) {
  platform::SetSystemTime(100000000);
  Bytes pic(32 * 3);
  SetEffectPicture(qcam::kFormatI420, 4, 8, 49);
  EXPECT_EQ(ApplySpecialEffect(pic.data(), ULONG(pic.size())), STATUS_NOT_SUPPORTED);
  EXPECT_EQ(g_Effects.CycleShown, 2u);
  // Neither an effect-number setting nor a new stream resets the cycling.
  ResetEffectState();
  ASSERT_EQ(AllocateEffectBuffers(320, 240), STATUS_SUCCESS);
  EXPECT_EQ(g_Effects.CycleShown, 2u);
  EXPECT_EQ(g_Effects.CycleLastChange, 100000000);
  // But a refused size stops it before the clock is read.
  platform::SetSystemTime(300000000);
  SetEffectPicture(kRgb, 1280, 720, 49);
  EXPECT_EQ(ApplySpecialEffect(pic.data(), ULONG(pic.size())), STATUS_NOT_SUPPORTED);
  EXPECT_EQ(g_Effects.CycleShown, 2u);
}

TEST_F(Dispatcher, ResetRestoresSpatialAndFrameStateOnly) {
  Bytes pic = PatternRgb(64, 48);
  for (int i = 0; i < 3; ++i) Apply(pic, kRgb, 64, 48, 17);
  Apply(pic, kRgb, 64, 48, 20);
  Apply(pic, kRgb, 64, 48, 10);
  g_Effects.LastFrame = 55;
  ASSERT_NE(g_Effects.StretchScale, 1.0);
  ASSERT_EQ(g_Effects.GridCell, 1u);
  ASSERT_TRUE(g_Effects.GridCleared);
  ASSERT_EQ(g_Effects.MapEffect, 10u);

  ResetEffectState();
  EXPECT_EQ(g_Effects.StretchScale, 1.0);
  EXPECT_EQ(g_Effects.StretchStep, 0.1);
  EXPECT_EQ(g_Effects.StretchAxis, 0);
  EXPECT_EQ(g_Effects.GridCell, 0u);
  EXPECT_FALSE(g_Effects.GridCleared);
  EXPECT_EQ(g_Effects.MapEffect, 1u);
  EXPECT_EQ(g_Effects.MapWidth, 0);
  EXPECT_EQ(g_Effects.MapHeight, 0);
  EXPECT_EQ(g_Effects.LastFrame, 0u);
}

TEST_F(Dispatcher, WorkBuffersLiveFromAllocationToRelease) {
  const long before = platform::PoolOutstanding();
  FreeEffectBuffers();
  EXPECT_LT(platform::PoolOutstanding(), before);
  const long none = platform::PoolOutstanding();

  // Without buffers the spatial effects and frames leave the picture alone;
  // the colour effects need none.
  Bytes pic = PatternRgb(64, 48), orig = pic;
  for (ULONG e : {6u, 10u, 13u, 17u, 18u, 19u, 20u, 51u, 99u}) {
    SetEffectPicture(kYuy2, 64, 48, e);
    EXPECT_EQ(ApplySpecialEffect(pic.data(), ULONG(pic.size())), STATUS_INSUFFICIENT_RESOURCES) << e;
    EXPECT_EQ(pic, orig) << e;
  }
  EXPECT_EQ(Apply(pic, kRgb, 64, 48, 11), STATUS_SUCCESS);

  // A picture larger than the buffers were made for is refused the same way.
  ASSERT_EQ(AllocateEffectBuffers(32, 24), STATUS_SUCCESS);
  pic = orig;
  EXPECT_EQ(Apply(pic, kRgb, 64, 48, 10), STATUS_INSUFFICIENT_RESOURCES);
  EXPECT_EQ(pic, orig);

  // A failing pool leaves no buffer behind; sizes the effects refuse get none.
  FreeEffectBuffers();
  for (long n = 0; n < 5; ++n) {
    platform::PoolFailAfter(n);
    EXPECT_EQ(AllocateEffectBuffers(640, 480), STATUS_INSUFFICIENT_RESOURCES) << n;
    EXPECT_EQ(platform::PoolOutstanding(), none) << n;
  }
  platform::PoolFailAfter(-1);
  EXPECT_EQ(AllocateEffectBuffers(1280, 720), STATUS_SUCCESS);
  EXPECT_EQ(platform::PoolOutstanding(), none);
  // Allocating again replaces the buffers instead of leaking them.
  ASSERT_EQ(AllocateEffectBuffers(640, 480), STATUS_SUCCESS);
  const long one = platform::PoolOutstanding();
  ASSERT_EQ(AllocateEffectBuffers(320, 240), STATUS_SUCCESS);
  EXPECT_EQ(platform::PoolOutstanding(), one);
  FreeEffectBuffers();
  EXPECT_EQ(platform::PoolOutstanding(), none);
}

TEST_F(Dispatcher, NamesCoverTheNumbering) {
  EXPECT_STREQ(EffectName(2), "blue tint");
  EXPECT_STREQ(EffectName(21), "relief texture");
  EXPECT_STREQ(EffectName(53), "big eyes");
  EXPECT_STREQ(EffectName(61), "tv");
  EXPECT_EQ(EffectName(22), nullptr);
  EXPECT_EQ(EffectName(62), nullptr);
}

}  // namespace
