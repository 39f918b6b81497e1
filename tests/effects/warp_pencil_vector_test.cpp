// The faster paths of bulge, stretch and pencil sketch against the portable
// ones: for every vector level this processor has, the same input must give
// the same picture (and, for pencil sketch, the same scratch bytes) over many
// sizes and contents. Buffers are exactly as large as the routines may use,
// so that a sanitizer build sees any access past them.
#include <algorithm>
#include <cstring>
#include <vector>

#include "driver/imaging/effect_spatial.h"
#include "driver/imaging/vector_level.h"
#include "tests/effects/effects_test_util.h"

using namespace effects_test;

namespace {

// The levels to compare with the portable path: those up to the one the
// processor offers.
std::vector<VectorLevel> FasterLevels() {
  SetEffectVectorCeiling(VectorLevel::kAvx2);
  const VectorLevel top = EffectVectorLevel();
  std::vector<VectorLevel> levels;
  if (top >= VectorLevel::kSsse3) levels.push_back(VectorLevel::kSsse3);
  if (top >= VectorLevel::kAvx2) levels.push_back(VectorLevel::kAvx2);
  return levels;
}

const char* LevelName(VectorLevel l) {
  return l == VectorLevel::kAvx2 ? "avx2" : l == VectorLevel::kSsse3 ? "ssse3" : "portable";
}

// Restores the ceiling whatever way a test ends.
struct CeilingGuard {
  ~CeilingGuard() { SetEffectVectorCeiling(VectorLevel::kAvx2); }
};

enum class Content { kNoise, kZero, kFull, kAlternating };
constexpr Content kContents[] = {Content::kNoise, Content::kZero, Content::kFull, Content::kAlternating};

Bytes Fill(size_t n, Content c, uint32_t seed) {
  switch (c) {
    case Content::kZero:
      return Bytes(n, 0);
    case Content::kFull:
      return Bytes(n, 255);
    case Content::kAlternating: {
      Bytes p(n);
      for (size_t i = 0; i < n; ++i) p[i] = (i % 2) ? 255 : 0;
      return p;
    }
    case Content::kNoise:
      break;
  }
  return Noise(n, seed);
}

struct Size {
  int w, h;
};

// Widths around the 8-, 16- and 32-pixel blocks and the row-block overlap,
// short and tall pictures, and the largest picture.
std::vector<Size> Sizes(bool evenWidths) {
  std::vector<Size> sizes;
  const int widths[] = {1, 2, 6, 15, 16, 17, 18, 19, 34, 38, 322};
  for (int w : widths) {
    if (evenWidths && w % 2) continue;
    for (int h : {1, 2, 3, 5, 240}) sizes.push_back({w, h});
  }
  sizes.push_back({640, 480});
  return sizes;
}

// ---- bulge ------------------------------------------------------------------

// The bulge's source table for a picture of `pixels` pixels, as the work
// buffers allocate it.
size_t BulgeSourceBytes(size_t pixels) { return pixels / 16 * kBulgeSourceBytesPer16Pixels + 1; }

// Runs the bulge at one level; with a map given, it replaces the built one
// (same size, so the cache keeps it) and, not being known to read only rows
// toward the centre, is applied through the scratch picture, as is the
// built map when `inPlace` is false. `*wasInPlace` tells whether the map
// was applied in place.
Bytes RunBulge(VectorLevel level, bool rgb, const Bytes& input, int w, int h, const std::vector<USHORT>* map,
               bool inPlace = true, bool* wasInPlace = nullptr) {
  const size_t pixels = size_t(w) * h;
  std::vector<USHORT> mapBuffer(pixels * 2);
  Bytes scratch(pixels * (rgb ? 3 : 2)), sources(BulgeSourceBytes(pixels));
  EffectState s{};
  s.Map = mapBuffer.data();
  s.Scratch = scratch.data();
  s.BulgeSources = sources.data();
  s.MapEffect = qcam::kEffectNone;
  BuildBulgeMap(&s, w, h);
  if (map != nullptr) mapBuffer = *map, s.Map = mapBuffer.data(), s.MapInPlace = FALSE;
  if (!inPlace) s.MapInPlace = FALSE;
  if (wasInPlace != nullptr) *wasInPlace = s.MapInPlace && (rgb || w % 2 == 0);
  Bytes pic = input;
  SetEffectVectorCeiling(level);
  rgb ? BulgeRgb(&s, pic.data(), w, h) : BulgeYuy2(&s, pic.data(), w, h);
  SetEffectVectorCeiling(VectorLevel::kAvx2);
  return pic;
}

TEST(WarpPencilVectors, BulgeFasterPathsEqualPortableOnEverySizeAndContent) {
  CeilingGuard guard;
  for (VectorLevel level : FasterLevels())
    for (bool rgb : {true, false})
      for (Size sz : Sizes(!rgb))
        for (Content c : kContents) {
          const Bytes input = Fill(size_t(sz.w) * sz.h * (rgb ? 3 : 2), c, uint32_t(sz.w * 1000 + sz.h));
          ASSERT_EQ(RunBulge(level, rgb, input, sz.w, sz.h, nullptr),
                    RunBulge(VectorLevel::kPortable, rgb, input, sz.w, sz.h, nullptr))
              << LevelName(level) << (rgb ? " rgb " : " yuy2 ") << sz.w << "x" << sz.h << " content " << int(c);
        }
}

// The built map read only rows toward the centre, so it is applied in place
// at every size the camera streams: row by row, each row written after
// every row that reads it (and a row that reads itself through the scratch
// picture). That must give the gather from the untouched picture.
TEST(WarpPencilVectors, BulgeInPlaceEqualsTheGatherFromTheUntouchedPicture) {
  CeilingGuard guard;
  std::vector<Size> sizes = Sizes(false);
  for (Size sz : {Size{160, 120}, Size{176, 144}, Size{320, 240}, Size{352, 288}}) sizes.push_back(sz);
  int inPlaceSizes = 0;
  for (VectorLevel level : {VectorLevel::kPortable, VectorLevel::kSsse3, VectorLevel::kAvx2})
    for (bool rgb : {true, false})
      for (Size sz : sizes) {
        const Bytes input = Noise(size_t(sz.w) * sz.h * (rgb ? 3 : 2), uint32_t(sz.w * 977 + sz.h));
        bool inPlace = false;
        const Bytes got = RunBulge(level, rgb, input, sz.w, sz.h, nullptr, true, &inPlace);
        ASSERT_EQ(got, RunBulge(level, rgb, input, sz.w, sz.h, nullptr, false))
            << LevelName(level) << (rgb ? " rgb " : " yuy2 ") << sz.w << "x" << sz.h;
        if (sz.w >= 160 && sz.h >= 96) {
          EXPECT_TRUE(inPlace) << sz.w << "x" << sz.h;
        }
        inPlaceSizes += inPlace;
      }
  EXPECT_GT(inPlaceSizes, 60);
}

// Maps with sources everywhere: outside on either side (negative values read
// back as large unsigned ones), on the last row and column, and on the very
// last pixel of the picture, which a wide load must not run past.
TEST(WarpPencilVectors, BulgeFasterPathsEqualPortableOnHostileMaps) {
  CeilingGuard guard;
  for (VectorLevel level : FasterLevels())
    for (bool rgb : {true, false})
      for (Size sz : {Size{2, 1}, Size{6, 3}, Size{18, 5}, Size{34, 2}, Size{38, 240}, Size{322, 3}, Size{640, 480}}) {
        const size_t pixels = size_t(sz.w) * sz.h;
        uint32_t seed = uint32_t(sz.w * 7 + sz.h);
        auto next = [&seed] { return seed = seed * 1103515245u + 12345u, seed >> 8; };
        std::vector<USHORT> map(pixels * 2);
        for (size_t i = 0; i < pixels; ++i) {
          USHORT x, y;
          switch (next() % 6) {
            case 0:  // the last pixel
              x = USHORT(sz.w - 1), y = USHORT(sz.h - 1);
              break;
            case 1:  // just outside
              x = USHORT(next() % 2 ? sz.w : sz.w - 1), y = USHORT(next() % 2 ? sz.h : next() % sz.h);
              break;
            case 2:  // negative
              x = USHORT(-int(next() % 3) - 1), y = USHORT(next() % sz.h);
              break;
            case 3:  // anything
              x = USHORT(next()), y = USHORT(next());
              break;
            default:  // inside
              x = USHORT(next() % sz.w), y = USHORT(next() % sz.h);
          }
          map[2 * i] = x, map[2 * i + 1] = y;
        }
        // And a map wholly inside that reads the last pixel everywhere.
        std::vector<USHORT> last(pixels * 2);
        for (size_t i = 0; i < pixels; ++i) last[2 * i] = USHORT(sz.w - 1), last[2 * i + 1] = USHORT(sz.h - 1);
        const Bytes input = Noise(pixels * (rgb ? 3 : 2), seed);
        for (const std::vector<USHORT>* m : {&map, &last}) {
          const Bytes fast = RunBulge(level, rgb, input, sz.w, sz.h, m);
          const Bytes portable = RunBulge(VectorLevel::kPortable, rgb, input, sz.w, sz.h, m);
          ASSERT_EQ(fast, portable) << LevelName(level) << (rgb ? " rgb " : " yuy2 ") << sz.w << "x" << sz.h;
          // The rule itself on the last pixel's entry, and white outside.
          for (size_t i = 0; i < pixels; ++i) {
            const bool inside = (*m)[2 * i] < sz.w && (*m)[2 * i + 1] < sz.h;
            const size_t src = size_t((*m)[2 * i + 1]) * sz.w + (*m)[2 * i];
            if (rgb) {
              const uint8_t* o = &fast[i * 3];
              for (int k = 0; k < 3; ++k) ASSERT_EQ(o[k], inside ? input[src * 3 + k] : 255) << i;
            } else {
              ASSERT_EQ(fast[i * 2], inside ? input[src * 2] : 255) << i;
            }
          }
        }
      }
}

// YUY2 of odd width, which the dispatcher refuses but the routine accepts:
// its pairs run across rows, and the faster paths must still give the
// portable bytes. With an odd height too the picture ends on half a pair,
// and a map that sends every pixel to the last one reads the last pair,
// which runs past the picture: neither may touch a byte beyond it (the
// buffers are exactly the picture's size, for the sanitizers to see).
TEST(WarpPencilVectors, BulgeYuy2OfOddWidthEqualsPortable) {
  CeilingGuard guard;
  for (VectorLevel level : FasterLevels())
    for (int w : {1, 15, 17, 19, 321})
      for (int h : {1, 2, 3, 4, 40, 41}) {
        const Bytes input = Noise(size_t(w) * h * 2, uint32_t(w * 1000 + h));
        ASSERT_EQ(RunBulge(level, false, input, w, h, nullptr), RunBulge(VectorLevel::kPortable, false, input, w, h, nullptr))
            << LevelName(level) << " " << w << "x" << h;
        std::vector<USHORT> last(size_t(w) * h * 2);
        for (size_t i = 0; i < last.size(); i += 2) last[i] = USHORT(w - 1), last[i + 1] = USHORT(h - 1);
        const Bytes out = RunBulge(level, false, input, w, h, &last);
        ASSERT_EQ(out, RunBulge(VectorLevel::kPortable, false, input, w, h, &last));
        // The last pixel of an odd width begins a pair whose V lies past
        // the picture.
        const size_t end = input.size() - 2;
        EXPECT_EQ(out[0], input[end]);
        EXPECT_EQ(out[1], input[end + 1]);
        if (w * h > 1) {
          EXPECT_EQ(out[3], 128) << w << "x" << h;
        }
      }
}

// One map serves both layouts at one size: RGB, then YUY2, then RGB again
// from the same state (so the second RGB picture uses the map the YUY2 one
// left), at each level, against the same sequence on the portable path. The
// two RGB pictures must also agree with each other. Even widths, as YUY2
// needs them.
TEST(WarpPencilVectors, BulgeLayoutSwitchAtOneSizeKeepsItsMapOnEveryLevel) {
  CeilingGuard guard;
  auto sequence = [](VectorLevel level, int w, int h, const Bytes& rgbIn, const Bytes& yuy2In) {
    const size_t pixels = size_t(w) * h;
    std::vector<USHORT> mapBuffer(pixels * 2);
    Bytes scratch(pixels * 3), sources(BulgeSourceBytes(pixels));
    EffectState s{};
    s.Map = mapBuffer.data();
    s.Scratch = scratch.data();
    s.BulgeSources = sources.data();
    s.MapEffect = qcam::kEffectNone;
    SetEffectVectorCeiling(level);
    std::vector<Bytes> out = {rgbIn, yuy2In, rgbIn};
    BulgeRgb(&s, out[0].data(), w, h);
    BulgeYuy2(&s, out[1].data(), w, h);
    BulgeRgb(&s, out[2].data(), w, h);
    SetEffectVectorCeiling(VectorLevel::kAvx2);
    EXPECT_EQ(s.MapWidth, w);
    EXPECT_EQ(s.MapHeight, h);
    return out;
  };
  for (Size sz : {Size{2, 1}, Size{18, 5}, Size{38, 240}, Size{322, 3}, Size{640, 480}}) {
    const size_t pixels = size_t(sz.w) * sz.h;
    const Bytes rgbIn = Noise(pixels * 3, uint32_t(sz.w * 31 + sz.h));
    const Bytes yuy2In = Noise(pixels * 2, uint32_t(sz.w * 37 + sz.h));
    const std::vector<Bytes> portable = sequence(VectorLevel::kPortable, sz.w, sz.h, rgbIn, yuy2In);
    ASSERT_EQ(portable[0], portable[2]) << sz.w << "x" << sz.h;
    for (VectorLevel level : FasterLevels()) {
      const std::vector<Bytes> fast = sequence(level, sz.w, sz.h, rgbIn, yuy2In);
      for (size_t k = 0; k < fast.size(); ++k)
        ASSERT_EQ(fast[k], portable[k]) << LevelName(level) << " picture " << k << " " << sz.w << "x" << sz.h;
    }
  }
}

// The driver's own work buffers through size, layout and state changes:
// each picture must be the portable one, so nothing derived from an earlier
// map (the map itself, or the table of source offsets built from it for one
// layout) may outlive a map built for another size or serve another layout.
TEST(WarpPencilVectors, BulgeFollowsItsMapThroughSizeLayoutAndResets) {
  CeilingGuard guard;
  ASSERT_EQ(AllocateEffectBuffers(640, 480), STATUS_SUCCESS);
  struct Step {
    int w, h;
    bool rgb, reset;
  };
  const Step steps[] = {{640, 480, false, false}, {320, 240, true, false}, {640, 480, true, false},
                        {0, 0, false, true},      {640, 480, false, false}, {38, 240, false, false},
                        {38, 240, true, false}};
  for (const Step& st : steps) {
    if (st.reset) {
      ResetEffectState();
      continue;
    }
    const Bytes input = Noise(size_t(st.w) * st.h * (st.rgb ? 3 : 2), uint32_t(st.w + st.h));
    Bytes pic = input;
    st.rgb ? BulgeRgb(&g_Effects, pic.data(), st.w, st.h) : BulgeYuy2(&g_Effects, pic.data(), st.w, st.h);
    EXPECT_EQ(pic, RunBulge(VectorLevel::kPortable, st.rgb, input, st.w, st.h, nullptr))
        << (st.rgb ? "rgb " : "yuy2 ") << st.w << "x" << st.h;
  }
  FreeEffectBuffers();
}

// ---- stretch ----------------------------------------------------------------

Bytes RunStretch(VectorLevel level, bool rgb, const Bytes& input, int w, int h, double scale, LONG axis) {
  Bytes scratch(size_t(w) * h * (rgb ? 3 : 2));
  EffectState s{};
  s.Scratch = scratch.data();
  s.StretchScale = scale;
  s.StretchAxis = axis;
  Bytes pic = input;
  SetEffectVectorCeiling(level);
  rgb ? StretchRgb(&s, pic.data(), w, h) : StretchYuy2(&s, pic.data(), w, h);
  SetEffectVectorCeiling(VectorLevel::kAvx2);
  return pic;
}

// Scales below 1 reach outside the picture (white columns at both sides);
// the others cover the range the effect walks through.
TEST(WarpPencilVectors, StretchFasterPathsEqualPortableOnEverySizeScaleAndAxis) {
  CeilingGuard guard;
  for (VectorLevel level : FasterLevels())
    for (bool rgb : {true, false})
      for (Size sz : Sizes(!rgb))
        for (double scale : {0.6, 0.99, 1.0, 1.05, 1.7, 2.55})
          for (LONG axis : {0, 1})
            for (Content c : kContents) {
              const Bytes input = Fill(size_t(sz.w) * sz.h * (rgb ? 3 : 2), c, uint32_t(sz.w + sz.h * 31));
              ASSERT_EQ(RunStretch(level, rgb, input, sz.w, sz.h, scale, axis),
                        RunStretch(VectorLevel::kPortable, rgb, input, sz.w, sz.h, scale, axis))
                  << LevelName(level) << (rgb ? " rgb " : " yuy2 ") << sz.w << "x" << sz.h << " scale " << scale
                  << " axis " << axis << " content " << int(c);
            }
}

// ---- pencil sketch ----------------------------------------------------------

struct PencilResult {
  Bytes picture;
  Bytes scratch;
  bool operator==(const PencilResult& o) const { return picture == o.picture && scratch == o.scratch; }
};

PencilResult RunPencil(VectorLevel level, bool rgb, const Bytes& input, int w, int h) {
  PencilResult r{input, Bytes(size_t(w) * h, 0x5A)};
  SetEffectVectorCeiling(level);
  rgb ? PencilRgb(r.picture.data(), w, h, r.scratch.data()) : PencilYuy2(r.picture.data(), w, h, r.scratch.data());
  SetEffectVectorCeiling(VectorLevel::kAvx2);
  return r;
}

TEST(WarpPencilVectors, PencilFasterPathsEqualPortableInPictureAndScratch) {
  CeilingGuard guard;
  for (VectorLevel level : FasterLevels())
    for (bool rgb : {true, false})
      for (Size sz : Sizes(!rgb))
        for (Content c : kContents) {
          const Bytes input = Fill(size_t(sz.w) * sz.h * (rgb ? 3 : 2), c, uint32_t(sz.w * 3 + sz.h * 977));
          const PencilResult portable = RunPencil(VectorLevel::kPortable, rgb, input, sz.w, sz.h);
          ASSERT_TRUE(RunPencil(level, rgb, input, sz.w, sz.h) == portable)
              << LevelName(level) << (rgb ? " rgb " : " yuy2 ") << sz.w << "x" << sz.h << " content " << int(c);
        }
}

// Every pair of grey level g (0 ... 255) and blur b (0 ... 239) through the
// dodge min(255, g x 256 / (255 - b)) at every level. Probe pixels sit on a
// 3 x 3 grid; the eight neighbours a probe's blur reads belong to its own
// 3 x 3 block and are set to give exactly b; grey pictures (B = G = R) make
// the RGB grey level the value itself.
TEST(WarpPencilVectors, PencilDodgeIsExactForEveryGreyAndBlur) {
  CeilingGuard guard;
  constexpr int kW = 640, kH = 480;
  struct Cell {
    int dr, dc, weight;
  };
  const Cell window[] = {{-1, -1, 4}, {-2, -1, 2}, {-1, -2, 2}, {-1, 0, 2}, {0, -1, 2},
                         {-2, -2, 1}, {-2, 0, 1},  {0, -2, 1}};
  std::vector<std::pair<int, int>> cases;  // (g, b)
  for (int g = 0; g < 256; ++g)
    for (int b = 0; b < 240; ++b) cases.push_back({g, b});
  std::vector<VectorLevel> levels = FasterLevels();
  levels.insert(levels.begin(), VectorLevel::kPortable);
  size_t next = 0;
  while (next < cases.size()) {
    Bytes grey(size_t(kW) * kH, 77);
    std::vector<std::pair<size_t, uint8_t>> probes;  // pixel, expected
    for (int r = 2; r < kH && next < cases.size(); r += 3)
      for (int c = 2; c < kW && next < cases.size(); c += 3, ++next) {
        const int g = cases[next].first, b = cases[next].second;
        int rest = 16 * b;  // weighted sum of the inverted levels
        for (const Cell& cell : window) {
          const int inv = std::min(255, rest / cell.weight);
          rest -= inv * cell.weight;
          grey[size_t(r + cell.dr) * kW + c + cell.dc] = uint8_t(255 - inv);
        }
        ASSERT_EQ(rest, 0);
        grey[size_t(r) * kW + c] = uint8_t(g);
        probes.push_back({size_t(r) * kW + c, uint8_t(std::min(255, g * 256 / (255 - b)))});
      }
    Bytes rgb(grey.size() * 3), yuy2(grey.size() * 2, 128);
    for (size_t i = 0; i < grey.size(); ++i) {
      rgb[3 * i] = rgb[3 * i + 1] = rgb[3 * i + 2] = grey[i];
      yuy2[2 * i] = grey[i];
    }
    for (VectorLevel level : levels) {
      const PencilResult outRgb = RunPencil(level, true, rgb, kW, kH);
      const PencilResult outYuy2 = RunPencil(level, false, yuy2, kW, kH);
      for (const auto& probe : probes) {
        ASSERT_EQ(outRgb.picture[probe.first * 3 + 1], probe.second) << LevelName(level) << " pixel " << probe.first;
        ASSERT_EQ(outYuy2.picture[probe.first * 2], probe.second) << LevelName(level) << " pixel " << probe.first;
      }
    }
  }
}

// The RGB grey level (B + G + R) / 3 for every channel sum 0 ... 765, each
// sum split over the channels in several ways (filling one channel after
// another from a rotating start, evenly, and mostly into two neighbouring
// bytes) and met at many columns of the blocks; the picture and the scratch
// bytes (the negatives of the grey levels) must equal the portable path's
// at every level.
TEST(WarpPencilVectors, PencilRgbGreyEqualsPortableForEveryChannelSum) {
  CeilingGuard guard;
  constexpr int kW = 70, kH = 40;  // pairs of blocks and an overlapping last one
  Bytes input(size_t(kW) * kH * 3);
  size_t pixel = 0;
  for (int round = 0; pixel < size_t(kW) * kH; ++round)
    for (int sum = 0; sum <= 765 && pixel < size_t(kW) * kH; ++sum, ++pixel) {
      int channel[3] = {0, 0, 0};
      const int start = round % 3;
      switch (round % 3) {
        case 0: {  // greedy from a rotating channel
          int rest = sum;
          for (int k = 0; k < 3; ++k) {
            const int c = (start + k + round / 3) % 3;
            channel[c] = std::min(255, rest);
            rest -= channel[c];
          }
          break;
        }
        case 1:  // even
          for (int k = 0; k < 3; ++k) channel[k] = (sum + k) / 3;
          break;
        default: {  // two neighbouring bytes first
          const int first = (round / 3) % 2;
          channel[first] = std::min(255, sum / 2);
          channel[first + 1] = std::min(255, sum - channel[first]);
          channel[first == 0 ? 2 : 0] = sum - channel[first] - channel[first + 1];
        }
      }
      for (int k = 0; k < 3; ++k) input[pixel * 3 + k] = uint8_t(channel[k]);
    }
  const PencilResult portable = RunPencil(VectorLevel::kPortable, true, input, kW, kH);
  for (VectorLevel level : FasterLevels())
    ASSERT_TRUE(RunPencil(level, true, input, kW, kH) == portable) << LevelName(level);
}

}  // namespace
