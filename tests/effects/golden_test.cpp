// Golden digests: every effect and a photo frame on each layout over one
// fixed 320 x 240 input, so that any change of a whole picture shows.
//
// How the digests were made: only after the rules of each effect had been
// checked by the example tests beside this file (dispatcher_test,
// spatial_test, photo_frame_test), the engine was run over the fixed input
// with QCAM_PRINT_GOLDEN=1 set, which prints the table below instead of
// checking it; the printed rows were pasted in unchanged. Regenerate them the
// same way, and only on purpose, when a rule changes.
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "driver/imaging/photo_frame.h"
#include "tests/effects/effects_test_util.h"

using namespace effects_test;

namespace {

constexpr int kW = 320;
constexpr int kH = 240;

struct Golden {
  const char* label;
  int layout;
  ULONG effect;
  int pictures;  // pictures processed; the digest is of the last
  uint64_t digest;
};

const Golden kGolden[] = {
    {"rgb24 blue tint", 1, 2, 1, 0xef2905b08cf082c4ull},
    {"rgb24 red tint", 1, 3, 1, 0x1eeccbaa6b1a8e5dull},
    {"rgb24 yellow tint", 1, 4, 1, 0x389fbd1096637f10ull},
    {"rgb24 sepia", 1, 5, 1, 0x54921bda58cdbb17ull},
    {"rgb24 emboss", 1, 6, 1, 0x9d33b25074ea4b65ull},
    {"rgb24 black and white", 1, 7, 1, 0x5423f5111139a057ull},
    {"rgb24 grey", 1, 8, 1, 0x82cd4d732859279eull},
    {"rgb24 mosaic", 1, 9, 1, 0xba9cca144a1bfac3ull},
    {"rgb24 bulge", 1, 10, 1, 0xf44aa6ccb57145f4ull},
    {"rgb24 negative", 1, 11, 1, 0xa43b705ba8594268ull},
    {"rgb24 tiles", 1, 12, 1, 0x9ee0bee6a219c76bull},
    {"rgb24 light streaks", 1, 13, 1, 0xff5e599b88594d78ull},
    {"rgb24 red only", 1, 14, 1, 0x70c0c4dde7361265ull},
    {"rgb24 green only", 1, 15, 1, 0x4e89a5349f576be5ull},
    {"rgb24 blue only", 1, 16, 1, 0x1f2fc9fd07fd4828ull},
    {"rgb24 stretch x17", 1, 17, 17, 0xe25b61d94c0b1c73ull},
    {"rgb24 pencil sketch", 1, 18, 1, 0x32b45b4856b014ddull},
    {"rgb24 frosted glass", 1, 19, 1, 0xb45511d39741cd83ull},
    {"rgb24 nine-view grid x11", 1, 20, 11, 0x6be177d250ab2eb0ull},
    {"rgb24 relief texture", 1, 21, 1, 0xa89dcd42e885183aull},
    {"rgb24 frame 59", 1, 59, 1, 0xeb7ab8f3ab8e9f90ull},
    {"yuy2 blue tint", 2, 2, 1, 0xd66859526086013cull},
    {"yuy2 red tint", 2, 3, 1, 0x4e9a85e1eed6a8e0ull},
    {"yuy2 yellow tint", 2, 4, 1, 0x8d2de7ff92ba00ccull},
    {"yuy2 sepia", 2, 5, 1, 0xba14f083953d5d90ull},
    {"yuy2 emboss", 2, 6, 1, 0xffc4d467076bd882ull},
    {"yuy2 black and white", 2, 7, 1, 0x694fc36593cfcb83ull},
    {"yuy2 grey", 2, 8, 1, 0x7bf767295e058390ull},
    {"yuy2 mosaic", 2, 9, 1, 0x4459d75c0cf4dd83ull},
    {"yuy2 bulge", 2, 10, 1, 0xa34438a1d94244fbull},
    {"yuy2 negative", 2, 11, 1, 0x472ba404fabda50cull},
    {"yuy2 tiles", 2, 12, 1, 0x53736092f96deb8eull},
    {"yuy2 light streaks", 2, 13, 1, 0x855d580e74c1e0d8ull},
    {"yuy2 red only", 2, 14, 1, 0x8134bc1a877b0d44ull},
    {"yuy2 green only", 2, 15, 1, 0x23683156c6a6db90ull},
    {"yuy2 blue only", 2, 16, 1, 0x81dc9e24200790b0ull},
    {"yuy2 stretch x17", 2, 17, 17, 0xae48ce943d55cc0dull},
    {"yuy2 pencil sketch", 2, 18, 1, 0x94955a911f22c531ull},
    {"yuy2 frosted glass", 2, 19, 1, 0x95e42fa2177d0d7aull},
    {"yuy2 nine-view grid x11", 2, 20, 11, 0xbc710a1070babbabull},
    {"yuy2 relief texture", 2, 21, 1, 0x0ef5c3626976d0bbull},
    {"yuy2 frame 59", 2, 59, 1, 0x1bc9c66dd8782ef7ull},
};

// The frame of the digests: a round cut-out over stripes, drawn here so the
// digests do not depend on the built-in artwork.
Bytes GoldenFrameFile() {
  Bytes f(kFrameFileSize);
  WriteFrameBitmapHeaders(f.data());
  for (int row = 0; row < 480; ++row)
    for (int x = 0; x < 640; ++x) {
      uint8_t* q = &f[kFrameHeaderSize + (size_t(row) * 640 + x) * 3];
      if ((x - 300) * (x - 300) + (row - 260) * (row - 260) < 170 * 170) {
        q[0] = 255, q[1] = 0, q[2] = 0;
      } else {
        q[0] = uint8_t(x / 3), q[1] = uint8_t(row / 2), q[2] = uint8_t((x + row) % 7 * 36);
      }
    }
  return f;
}

TEST(Golden, EveryEffectOnEveryLayout) {
  TempRoot root("golden");
  {
    const Bytes frame = GoldenFrameFile();
    std::ofstream out(root.Windows() / "ocean.bmp", std::ios::binary);
    out.write(reinterpret_cast<const char*>(frame.data()), std::streamsize(frame.size()));
  }
  const bool print = std::getenv("QCAM_PRINT_GOLDEN") != nullptr;
  const Bytes rgb = PatternRgb(kW, kH), yuy2 = PatternYuy2(kW, kH);
  for (const Golden& g : kGolden) {
    StartStream(kW, kH);
    srand(1);
    Bytes pic;
    for (int i = 0; i < g.pictures; ++i) {
      pic = g.layout == 1 ? rgb : yuy2;
      ASSERT_EQ(Apply(pic, g.layout, kW, kH, g.effect), STATUS_SUCCESS) << g.label;
    }
    const uint64_t digest = Fnv1a(pic);
    if (print) {
      std::printf("    {\"%s\", %d, %u, %d, 0x%016" PRIx64 "ull},\n", g.label, g.layout, unsigned(g.effect),
                  g.pictures, digest);
    } else {
      EXPECT_EQ(digest, g.digest) << g.label;
    }
  }
  FreeEffectBuffers();
}

}  // namespace
