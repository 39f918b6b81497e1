// The committed relief texture equals its generator's output and has the
// properties the effect relies on.
#include <cstdio>
#include <cstdlib>

#include "driver/imaging/relief_texture.h"
#include "tests/effects/effects_test_util.h"
#include "tests/effects/relief_generator.h"

namespace {

TEST(ReliefTexture, CommittedTableEqualsTheGenerator) {
  int8_t generated[64 * 64];
  relief_gen::Generate(generated);
  int differing = 0;
  for (int i = 0; i < 64 * 64; ++i) differing += generated[i] != kReliefTexture[i];
  EXPECT_EQ(differing, 0) << "driver/imaging/relief_texture.cpp no longer matches relief_generator.h";
}

TEST(ReliefTexture, MeetsRangeMeanGrainAndQuotedRows) {
  const int8_t* t = reinterpret_cast<const int8_t*>(kReliefTexture);
  const relief_gen::Stats s = relief_gen::Measure(t);
  EXPECT_EQ(s.min, -72);
  EXPECT_EQ(s.max, 74);
  EXPECT_LT(std::abs(s.mean), 1.0);
  // Horizontal grain: rows differ by about 38 on average, columns by about 10.
  EXPECT_GT(s.rowDiff, 33.0);
  EXPECT_LT(s.rowDiff, 43.0);
  EXPECT_GT(s.colDiff, 7.0);
  EXPECT_LT(s.colDiff, 13.0);
  for (int x = 0; x < 16; ++x) EXPECT_EQ(t[x], relief_gen::kFirstRow[x]) << x;
  for (int x = 0; x < 8; ++x) EXPECT_EQ(t[63 * 64 + x], relief_gen::kLastRow[x]) << x;
  std::printf("relief texture: min %d max %d mean %.3f row diff %.2f column diff %.2f\n", s.min, s.max, s.mean,
              s.rowDiff, s.colDiff);
}

}  // namespace
