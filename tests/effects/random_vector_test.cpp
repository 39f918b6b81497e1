// Light streaks and frosted glass on every vector level the processor has:
// byte for byte the output of the plain loops that call rand() once per
// number, over many sizes and contents, with the generator left in the same
// place.
#include <algorithm>
#include <vector>

#include "driver/imaging/effect_internal.h"
#include "driver/imaging/effect_spatial.h"
#include "driver/imaging/vector_level.h"
#include "tests/effects/effects_test_util.h"

using namespace effects_test;

namespace {

// ---- the plain loops, one rand() per number -------------------------------------

using effects_detail::Limit;

void ReferenceStreaksRgb(Bytes& pic, int w, int h) {
  Bytes out = pic;
  for (int y = 0; y < h; ++y) {
    const uint8_t* in = &pic[size_t(y) * w * 3];
    uint8_t* o = &out[size_t(y) * w * 3];
    for (int j = 1; j < w; ++j) {
      const uint8_t* p = in + j * 3;
      const uint8_t* l = p - 3;
      const bool rose = p[0] - l[0] > 30 || p[1] - l[1] > 30 || p[2] - l[2] > 30;
      if (!rose || p[0] + p[1] + p[2] <= 180) continue;
      const int start = Limit(j - 32 + rand() % 32, 0, w);
      for (int k = start; k <= j; ++k)
        for (int c = 0; c < 3; ++c) o[k * 3 + c] = uint8_t((p[c] + in[k * 3 + c]) >> 1);
    }
  }
  pic = out;
}

void ReferenceStreaksYuy2(Bytes& pic, int w, int h) {
  Bytes out = pic;
  for (int y = 0; y < h; ++y) {
    const uint8_t* in = &pic[size_t(y) * w * 2];
    uint8_t* o = &out[size_t(y) * w * 2];
    for (int j = 1; j < w; ++j) {
      const int yj = in[j * 2];
      if (yj - in[(j - 1) * 2] <= 30 || yj <= 180) continue;
      const int start = Limit(j - 64 + rand() % 64, 0, w);
      const int pj = (j & ~1) * 2;
      for (int k = start; k <= j; ++k) {
        const int pk = (k & ~1) * 2;
        o[k * 2] = uint8_t((yj + in[k * 2]) >> 1);
        o[pk + 1] = uint8_t((in[pj + 1] + in[pk + 1]) >> 1);
        o[pk + 3] = uint8_t((in[pj + 3] + in[pk + 3]) >> 1);
      }
    }
  }
  pic = out;
}

void ReferenceFrostedRgb(Bytes& pic, int w, int h) {
  Bytes out(pic.size());
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const int sx = Limit(x + rand() % 9 - 5, 0, w - 1);
      const int sy = Limit(y + rand() % 9 - 5, 0, h - 1);
      std::copy_n(&pic[(size_t(sy) * w + sx) * 3], 3, &out[(size_t(y) * w + x) * 3]);
    }
  pic = out;
}

void ReferenceFrostedYuy2(Bytes& pic, int w, int h) {
  Bytes out(pic.size());
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; x += 2) {
      const int sx = Limit(x - 6 + 2 * (rand() % 5), 0, w - 2);
      const int sy = Limit(y - 6 + 2 * (rand() % 5), 0, std::max(h - 2, 0));
      std::copy_n(&pic[(size_t(sy) * w + sx) * 2], 4, &out[(size_t(y) * w + x) * 2]);
    }
  pic = out;
}

// ---- pictures -------------------------------------------------------------------------

enum class Content { kNoise, kZero, kFull, kAlternating, kSteps, kBrightNoise };
const Content kContents[] = {Content::kNoise,       Content::kZero,  Content::kFull,
                             Content::kAlternating, Content::kSteps, Content::kBrightNoise};

Bytes MakePicture(Content c, size_t bytes, int bpp, uint32_t seed) {
  Bytes p(bytes);
  switch (c) {
    case Content::kNoise:
      p = Noise(bytes, seed);
      break;
    case Content::kZero:
      break;
    case Content::kFull:
      std::fill(p.begin(), p.end(), 255);
      break;
    case Content::kAlternating:  // whole pixels dark and bright in turn: a start at every other pixel
      for (size_t i = 0; i < bytes; ++i) p[i] = ((i / bpp) % 2) ? 255 : 0;
      break;
    case Content::kSteps:  // a rise of 40 every 7 pixels, from a bright base
      for (size_t i = 0; i < bytes; ++i) p[i] = uint8_t(150 + ((i / bpp) % 7 == 0 ? 0 : 40) + (i % bpp) * 10);
      break;
    case Content::kBrightNoise:  // noise in 150 ... 255: many starts at random places
      p = Noise(bytes, seed);
      for (auto& b : p) b = uint8_t(150 + b % 106);
      break;
  }
  return p;
}

struct Size {
  int w, h;
};

std::vector<Size> Sizes(bool yuy2) {
  std::vector<Size> sizes;
  const int rgbWidths[] = {1, 2, 3, 5, 6, 11, 17, 18, 34, 38, 41, 322};
  const int yuy2Widths[] = {2, 4, 6, 18, 34, 38, 66, 322};
  for (int h : {1, 2, 3, 5, 9, 240}) {
    if (yuy2) {
      for (int w : yuy2Widths) sizes.push_back({w, h});
    } else {
      for (int w : rgbWidths) sizes.push_back({w, h});
    }
  }
  sizes.push_back({640, 480});
  sizes.push_back({642, 2});  // wider than the effects take: the portable path on every level
  return sizes;
}

// The levels this processor has, highest first; the ceiling is back at the
// top when the test ends.
std::vector<VectorLevel> Levels() {
  std::vector<VectorLevel> levels;
  for (VectorLevel l : {VectorLevel::kAvx2, VectorLevel::kSsse3, VectorLevel::kPortable}) {
    SetEffectVectorCeiling(l);
    if (EffectVectorLevel() == l) levels.push_back(l);
  }
  SetEffectVectorCeiling(VectorLevel::kAvx2);
  return levels;
}

typedef VOID (*Routine)(PUCHAR picture, LONG width, LONG height, PUCHAR scratch);
typedef void (*Reference)(Bytes& pic, int w, int h);

// Runs the routine on every level and the reference over the same picture
// from the same point of the sequence: same bytes, same next rand().
void ExpectAllLevelsMatch(Routine routine, Reference reference, bool yuy2, const std::vector<Size>& sizes) {
  const int bpp = yuy2 ? 2 : 3;
  const std::vector<VectorLevel> levels = Levels();
  uint32_t seed = 1;
  for (const Size& s : sizes)
    for (Content c : kContents) {
      ++seed;
      const size_t bytes = size_t(s.w) * s.h * bpp;
      const Bytes input = MakePicture(c, bytes, bpp, seed);
      Bytes want = input;
      srand(seed);
      reference(want, s.w, s.h);
      const int wantNext = rand();
      for (VectorLevel level : levels) {
        SetEffectVectorCeiling(level);
        // Exactly the picture's bytes, picture and scratch alike, so that the
        // sanitizer sees any access past them.
        Bytes got = input;
        Bytes scratch(size_t(s.w) * s.h * 3, 0xA5);
        srand(seed);
        routine(got.data(), s.w, s.h, scratch.data());
        const int next = rand();
        const bool same = got == want;
        EXPECT_TRUE(same) << s.w << "x" << s.h << " content " << int(c) << " level " << int(level);
        EXPECT_EQ(next, wantNext) << s.w << "x" << s.h << " content " << int(c) << " level " << int(level);
        if (!same) {
          SetEffectVectorCeiling(VectorLevel::kAvx2);
          return;  // one report per routine is enough
        }
      }
      SetEffectVectorCeiling(VectorLevel::kAvx2);
    }
}

void ExpectAllLevelsMatch(Routine routine, Reference reference, bool yuy2) {
  ExpectAllLevelsMatch(routine, reference, yuy2, Sizes(yuy2));
}

TEST(RandomVectors, StreaksRgbEqualOnEveryLevel) { ExpectAllLevelsMatch(StreaksRgb, ReferenceStreaksRgb, false); }
TEST(RandomVectors, StreaksYuy2EqualOnEveryLevel) {
  ExpectAllLevelsMatch(StreaksYuy2, ReferenceStreaksYuy2, true);
}
TEST(RandomVectors, FrostedRgbEqualOnEveryLevel) { ExpectAllLevelsMatch(FrostedRgb, ReferenceFrostedRgb, false); }
TEST(RandomVectors, FrostedYuy2EqualOnEveryLevel) {
  ExpectAllLevelsMatch(FrostedYuy2, ReferenceFrostedYuy2, true);
}

// Frosted glass computes its numbers in place where rows are whole groups
// of eight pixels (pairs): every such width from one group up, with the
// picture's edges, its last rows and its last pixel, on every height that
// leaves no inner row, a few, or many.
TEST(RandomVectors, FrostedEqualOnEveryLevelInWholeGroups) {
  for (bool yuy2 : {false, true}) {
    std::vector<Size> sizes;
    for (int h : {1, 2, 4, 5, 6, 9, 10, 11, 13, 64})
      for (int groups : {1, 2, 3, 5, 8, 40})
        if (groups < 40 || h == 64) sizes.push_back({groups * (yuy2 ? 16 : 8), h});
    ExpectAllLevelsMatch(yuy2 ? FrostedYuy2 : FrostedRgb, yuy2 ? ReferenceFrostedYuy2 : ReferenceFrostedRgb, yuy2,
                         sizes);
  }
}

// The remainders of frosted glass come from a multiply and shift, on every
// level: each number 0 ... 32767, in the x and in the y place, must move the
// pixel as % does. Every source pixel carries its own position, so the output
// tells where each pixel came from; pictures are drawn until every number has
// been seen in both places.
TEST(RandomVectors, FrostedMovesByTheRemainderOfEveryNumber) {
  const int w = 640, h = 240;
  for (VectorLevel level : Levels()) {
    for (bool yuy2 : {false, true}) {
      SetEffectVectorCeiling(level);
      const int bpp = yuy2 ? 2 : 3, units = yuy2 ? w / 2 : w;
      Bytes input(size_t(w) * h * bpp);
      for (int y = 0; y < h; ++y)
        for (int u = 0; u < units; ++u) {
          uint8_t* q = &input[(size_t(y) * units + u) * (yuy2 ? 4 : 3)];
          q[0] = uint8_t(u & 255), q[1] = uint8_t(u >> 8), q[2] = uint8_t(y);  // YUY2: Y0 U Y1
        }
      std::vector<bool> seenX(32768, false), seenY(32768, false);
      srand(11);
      for (int round = 0; round < 6; ++round) {
        const unsigned mark = unsigned(rand());
        srand(mark);
        std::vector<int> numbers(size_t(units) * h * 2);
        for (int& n : numbers) n = rand();
        Bytes pic = input, scratch(size_t(w) * h * 3);
        srand(mark);
        (yuy2 ? FrostedYuy2 : FrostedRgb)(pic.data(), w, h, scratch.data());
        for (int y = 0; y < h; ++y)
          for (int u = 0; u < units; ++u) {
            const size_t i = size_t(y) * units + u;
            const int nx = numbers[i * 2], ny = numbers[i * 2 + 1];
            const uint8_t* q = &pic[i * (yuy2 ? 4 : 3)];
            const int wantU = yuy2 ? Limit(2 * u - 6 + 2 * (nx % 5), 0, w - 2) / 2 : Limit(u + nx % 9 - 5, 0, w - 1);
            const int wantY = yuy2 ? Limit(y - 6 + 2 * (ny % 5), 0, h - 2) : Limit(y + ny % 9 - 5, 0, h - 1);
            ASSERT_EQ(q[0] + 256 * q[1], wantU) << "x number " << nx << " level " << int(level) << " yuy2 " << yuy2;
            ASSERT_EQ(q[2], wantY) << "y number " << ny << " level " << int(level) << " yuy2 " << yuy2;
            seenX[size_t(nx)] = seenY[size_t(ny)] = true;
          }
      }
      EXPECT_EQ(std::count(seenX.begin(), seenX.end(), false), 0);
      EXPECT_EQ(std::count(seenY.begin(), seenY.end(), false), 0);
    }
  }
  SetEffectVectorCeiling(VectorLevel::kAvx2);
}

}  // namespace
