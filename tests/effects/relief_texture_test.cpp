// The committed relief texture equals its generator's output and has the
// properties the effect relies on. To remake the table after changing the
// generator, run this test with QCAM_WRITE_RELIEF=<path of
// driver/imaging/relief_texture.cpp> set: it writes the file and then checks
// it as usual on the next build.
#include <cstdio>
#include <cstdlib>

#include "driver/imaging/relief_texture.h"
#include "tests/effects/effects_test_util.h"
#include "tests/effects/relief_generator.h"

namespace {

void WriteTableSource(const char* path, const int8_t* t) {
  FILE* f = std::fopen(path, "w");
  ASSERT_NE(f, nullptr) << path;
  std::fprintf(f,
               "// The relief texture: 64 x 64 signed bytes, each row over two lines. Made\n"
               "// by the generator in tests/effects/relief_generator.h (a test checks that\n"
               "// this table equals its output); remake it there, never edit it by hand.\n"
               "#include \"driver/imaging/relief_texture.h\"\n\n"
               "const signed char kReliefTexture[kReliefTextureSize * kReliefTextureSize] = {\n");
  for (int y = 0; y < 64; ++y) {
    std::fprintf(f, "    /* %2d */", y);
    for (int x = 0; x < 64; ++x) {
      std::fprintf(f, " %d,", t[y * 64 + x]);
      if (x == 31) std::fprintf(f, "\n          ");
    }
    std::fprintf(f, "\n");
  }
  std::fprintf(f, "};\n");
  std::fclose(f);
}

TEST(ReliefTexture, CommittedTableEqualsTheGenerator) {
  int8_t generated[64 * 64];
  relief_gen::Generate(generated);
  if (const char* path = std::getenv("QCAM_WRITE_RELIEF")) WriteTableSource(path, generated);
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
