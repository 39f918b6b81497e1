// The vector paths of the pixel-sum colour effects (sepia, black and white,
// grey), the tints and emboss against their portable paths, byte for byte.
#include "driver/imaging/effect_spatial.h"
#include "driver/imaging/vector_level.h"
#include "tests/effects/effects_test_util.h"

using namespace effects_test;

namespace {

class ColourVectors : public ::testing::Test {
 protected:
  void TearDown() override { SetEffectVectorCeiling(VectorLevel::kAvx2); }

  // Runs `routine` on a copy of `in` with the portable path and with each
  // vector level up to the fastest this processor has; all results must be
  // equal.
  static void ExpectSameOnBothPaths(VOID (*routine)(PUCHAR, LONG, LONG), const Bytes& in, int w, int h,
                                    const char* what) {
    Bytes plain = in;
    SetEffectVectorCeiling(VectorLevel::kPortable);
    routine(plain.data(), w, h);
    for (VectorLevel level : {VectorLevel::kSsse3, VectorLevel::kAvx2}) {
      Bytes fast = in;
      SetEffectVectorCeiling(level);
      routine(fast.data(), w, h);
      ASSERT_EQ(plain, fast) << what << " " << w << "x" << h << " at vector level " << int(level);
    }
  }
};

struct Routine {
  const char* name;
  VOID (*run)(PUCHAR, LONG, LONG);
};
const Routine kRoutines[] = {
    {"sepia", SepiaRgb},       {"black and white", BlackWhiteRgb}, {"grey", GreyRgb},
    {"emboss", EmbossRgb},     {"blue tint", BlueTintRgb},         {"red tint", RedTintRgb},
    {"yellow tint", YellowTintRgb}};

TEST_F(ColourVectors, EqualThePortablePathOnEverySizeAndContent) {
  // Widths around the 32-pixel step (emboss needs 33 to take one), and
  // exact-size buffers so a step that ran past the picture would be caught.
  const int widths[] = {1, 2, 6, 31, 32, 33, 34, 38, 64, 65, 97, 322, 640};
  const int heights[] = {1, 2, 3, 5};
  uint32_t seed = 7;
  for (const Routine& r : kRoutines) {
    for (int w : widths)
      for (int h : heights) ExpectSameOnBothPaths(r.run, Noise(size_t(w) * h * 3, ++seed), w, h, r.name);
    ExpectSameOnBothPaths(r.run, Noise(size_t(640) * 480 * 3, ++seed), 640, 480, r.name);
    ExpectSameOnBothPaths(r.run, PatternRgb(320, 240), 320, 240, r.name);
    for (uint8_t fill : {uint8_t(0), uint8_t(255), uint8_t(128), uint8_t(129)}) {
      const Bytes flat(size_t(97) * 3 * 3, fill);
      ExpectSameOnBothPaths(r.run, flat, 97, 3, r.name);
    }
    Bytes stripes(size_t(130) * 4 * 3);
    for (size_t i = 0; i < stripes.size(); ++i) stripes[i] = (i / 3) % 2 ? 255 : 0;
    ExpectSameOnBothPaths(r.run, stripes, 130, 4, r.name);
  }
}

// The emboss grey level comes from the three channel differences of a pixel
// and its left neighbour. Rows whose pixels are running sums of chosen
// differences reach every (G', R') pair with B' at its extremes and in the
// middle, so the vector path's integer division is checked on all of them.
TEST_F(ColourVectors, EmbossGreyLevelOnEveryGreenAndRedDifference) {
  constexpr int kW = 641;  // 640 differences a row
  const int blues[] = {0, 1, 127, 128, 254, 255};
  for (int blue : blues) {
    std::vector<uint32_t> diffs;
    for (int g = 0; g < 256; ++g)
      for (int r = 0; r < 256; ++r) diffs.push_back(uint32_t(blue) | uint32_t(g) << 8 | uint32_t(r) << 16);
    const int h = int((diffs.size() + kW - 2) / (kW - 1));
    Bytes pic(size_t(kW) * h * 3, 0);
    size_t next = 0;
    for (int y = 0; y < h; ++y) {
      uint8_t* row = &pic[size_t(y) * kW * 3];
      for (int x = 1; x < kW; ++x, ++next) {
        // Stored difference d means output byte d = value - left + 128.
        const uint32_t d = next < diffs.size() ? diffs[next] : 0x808080u;
        for (int c = 0; c < 3; ++c) row[x * 3 + c] = uint8_t(row[(x - 1) * 3 + c] + ((d >> (8 * c)) & 0xFF) - 128);
      }
    }
    ExpectSameOnBothPaths(EmbossRgb, pic, kW, h, "emboss differences");
    // And the level itself for a few differences, against the rule.
    Bytes out = pic;
    EmbossRgb(out.data(), kW, h);
    for (size_t i = 0; i < diffs.size(); i += 4099) {
      const size_t x = 1 + i % (kW - 1), y = i / (kW - 1);
      const uint32_t d = diffs[i];
      const uint32_t b = d & 0xFF, g = (d >> 8) & 0xFF, r = (d >> 16) & 0xFF;
      ASSERT_EQ(out[(y * kW + x) * 3], uint8_t((587 * g + 114 * r + 299 * b) / 1000)) << i;
    }
  }
}

// YUY2 emboss leaves its result in the scratch picture as well as in the
// picture, on both paths.
TEST_F(ColourVectors, YuyvEmbossEqualsThePortablePathInPictureAndScratch) {
  const int widths[] = {2, 6, 16, 18, 34, 322, 640};
  const int heights[] = {1, 2, 3, 480};
  uint32_t seed = 99;
  for (int w : widths)
    for (int h : heights) {
      const size_t bytes = size_t(w) * h * 2;
      const Bytes in = Noise(bytes, ++seed);
      Bytes plain = in, fast = in;
      Bytes plainScratch(bytes, 1), fastScratch(bytes, 2);
      SetEffectVectorCeiling(VectorLevel::kPortable);
      EmbossYuy2(plain.data(), w, h, plainScratch.data());
      SetEffectVectorCeiling(VectorLevel::kAvx2);
      EmbossYuy2(fast.data(), w, h, fastScratch.data());
      ASSERT_EQ(plain, fast) << w << "x" << h;
      ASSERT_EQ(plainScratch, plain) << w << "x" << h;
      ASSERT_EQ(fastScratch, fast) << w << "x" << h;
      ASSERT_EQ(fast[0], 128);
      ASSERT_EQ(fast[bytes - 2], uint8_t(in[bytes - 2] - in[bytes - 4] + 128));
    }
}

}  // namespace
