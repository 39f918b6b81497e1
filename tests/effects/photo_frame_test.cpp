// Photo frames: loading, scaling, the key colour, the YUY2 conversion and
// pair rule, reloading, the user's frame, failed loads and the built-in
// bitmaps.
#include <fstream>

#include "driver/imaging/photo_frame.h"
#include "tests/effects/effects_test_util.h"
#include "tools/qcam/frame_art.h"

using namespace effects_test;

namespace {

constexpr int kRgb = qcam::kFormatRGB24;
constexpr int kYuy2 = qcam::kFormatYUY2;

// A frame bitmap: pixels given top-down as (b, g, r) by a function of
// (column, row from the top).
template <typename F>
Bytes MakeFrameFile(F pixel) {
  Bytes f(kFrameFileSize);
  WriteFrameBitmapHeaders(f.data());
  for (int fileRow = 0; fileRow < 480; ++fileRow) {
    const int top = 479 - fileRow;
    for (int x = 0; x < 640; ++x) {
      uint8_t* q = &f[kFrameHeaderSize + (size_t(fileRow) * 640 + x) * 3];
      pixel(x, top, q);
    }
  }
  return f;
}

void WriteFile(const std::filesystem::path& path, const Bytes& bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

class PhotoFrame : public ::testing::Test {
 protected:
  PhotoFrame() : root_("frames") {}
  void SetUp() override { StartStream(640, 480); }
  void TearDown() override { FreeEffectBuffers(); }
  TempRoot root_;
};

// Left half pure blue (cut-out), right half a colour; one near-blue pixel.
Bytes HalfBlueFrame() {
  return MakeFrameFile([](int x, int y, uint8_t* q) {
    if (x < 320) {
      q[0] = 255, q[1] = 0, q[2] = 0;
    } else {
      q[0] = 10, q[1] = 20, q[2] = 30;
    }
    if (x == 100 && y == 100) q[0] = 254, q[1] = 0, q[2] = 0;  // near-blue: opaque
  });
}

TEST_F(PhotoFrame, KeyColourShowsTheCameraAndEveryOtherColourTheFrame) {
  WriteFile(root_.Windows() / "birthday.bmp", HalfBlueFrame());
  Bytes pic = UniformRgb(640, 480, 7, 7, 7);
  ASSERT_EQ(Apply(pic, kRgb, 640, 480, 51), STATUS_SUCCESS);
  // RGB rows are bottom-up like the bitmap: buffer row r is file row r.
  auto at = [&](int x, int bufferRow) { return &pic[(size_t(bufferRow) * 640 + x) * 3]; };
  EXPECT_EQ(0, memcmp(at(0, 0), "\x07\x07\x07", 3));
  EXPECT_EQ(0, memcmp(at(319, 200), "\x07\x07\x07", 3));
  EXPECT_EQ(0, memcmp(at(320, 200), "\x0a\x14\x1e", 3));
  EXPECT_EQ(0, memcmp(at(100, 479 - 100), "\xfe\x00\x00", 3));
  EXPECT_EQ(0, memcmp(at(101, 479 - 100), "\x07\x07\x07", 3));
}

TEST_F(PhotoFrame, SmallerPicturesTakeEveryNthRowAndColumn) {
  StartStream(320, 240);
  // Each bitmap pixel tells its file row and column.
  const Bytes file = MakeFrameFile([](int x, int y, uint8_t* q) {
    const int fileRow = 479 - y;
    q[0] = uint8_t(x), q[1] = uint8_t(fileRow), q[2] = uint8_t((x >> 8) | (fileRow >> 8) << 4);
  });
  WriteFile(root_.Windows() / "city.bmp", file);
  Bytes pic = UniformRgb(320, 240, 0, 0, 0);
  ASSERT_EQ(Apply(pic, kRgb, 320, 240, 52), STATUS_SUCCESS);
  for (int r : {0, 1, 119, 239})
    for (int c : {0, 1, 160, 319}) {
      const uint8_t* q = &pic[(size_t(r) * 320 + c) * 3];
      EXPECT_EQ(q[0] | (q[2] & 15) << 8, 2 * c) << r << "," << c;
      EXPECT_EQ(q[1] | (q[2] >> 4) << 8, 2 * r) << r << "," << c;
    }
  // 176 x 144: column c takes (c * 640) / 176, row r takes (r * 480) / 144.
  StartStream(176, 144);
  Bytes odd = UniformRgb(176, 144, 0, 0, 0);
  ASSERT_EQ(Apply(odd, kRgb, 176, 144, 52), STATUS_SUCCESS);
  const uint8_t* q = &odd[(size_t(143) * 176 + 175) * 3];
  EXPECT_EQ(q[0] | (q[2] & 15) << 8, 175 * 640 / 176);
  EXPECT_EQ(q[1] | (q[2] >> 4) << 8, 143 * 480 / 144);
}

TEST_F(PhotoFrame, Yuy2ConvertsFlipsAndCoversWholePairs) {
  // Top row of the frame (as seen): pixel 0 white, 1 red, 2 blue key, 3 red,
  // 4 and 5 blue key; the rest white.
  const Bytes file = MakeFrameFile([](int x, int y, uint8_t* q) {
    q[0] = q[1] = q[2] = 255;
    if (y != 0) return;
    if (x == 1 || x == 3) q[0] = 0, q[1] = 0, q[2] = 255;
    if (x == 2 || x == 4 || x == 5) q[0] = 255, q[1] = 0, q[2] = 0;
  });
  WriteFile(root_.Windows() / "bigeye.bmp", file);
  Bytes pic = UniformYuy2(640, 480, 40, 50, 60);
  ASSERT_EQ(Apply(pic, kYuy2, 640, 480, 53), STATUS_SUCCESS);
  // YUY2 is top-down: buffer row 0 is the frame's top row.
  EXPECT_EQ(Bytes(pic.begin(), pic.begin() + 12),
            (Bytes{255, 128, 76, 128,     // white + red: chroma from the first pixel
                   /*pair 1*/ 29, 255, 76, 108,  // key + red: the frame covers both
                   /*pair 2*/ 40, 50, 40, 60}));  // both key: the camera
  // White and red pairs elsewhere: Y 255, U = V = 128; red alone 76, 85, 255.
  EXPECT_EQ(Bytes(pic.begin() + 640 * 2, pic.begin() + 640 * 2 + 4), (Bytes{255, 128, 255, 128}));
  Bytes red = MakeFrameFile([](int, int, uint8_t* q) { q[0] = 0, q[1] = 0, q[2] = 255; });
  WriteFile(root_.Windows() / "driver.bmp", red);
  Apply(pic, kYuy2, 640, 480, 54);
  EXPECT_EQ(Bytes(pic.begin(), pic.begin() + 4), (Bytes{76, 85, 76, 255}));
}

TEST_F(PhotoFrame, LoadsOncePerChoiceAndAgainAfterTheNumberIsSet) {
  WriteFile(root_.Windows() / "bigeye.bmp", HalfBlueFrame());
  Bytes pic = UniformRgb(640, 480, 1, 1, 1);
  const uint64_t opens0 = platform::Counters().fileOpens;
  Apply(pic, kRgb, 640, 480, 53);
  Apply(pic, kRgb, 640, 480, 53);
  Apply(pic, kRgb, 640, 480, 53);
  EXPECT_EQ(platform::Counters().fileOpens, opens0 + 1);

  // The page sets 53 again: the state is reset, the next picture rereads the
  // (now changed) file.
  WriteFile(root_.Windows() / "bigeye.bmp", MakeFrameFile([](int, int, uint8_t* q) { q[0] = q[1] = q[2] = 99; }));
  ResetEffectState();
  Apply(pic, kRgb, 640, 480, 53);
  EXPECT_EQ(platform::Counters().fileOpens, opens0 + 2);
  EXPECT_EQ(pic[0], 99);
  // Another frame number loads its own file.
  Apply(pic, kRgb, 640, 480, 60);
  EXPECT_EQ(platform::Counters().fileOpens, opens0 + 3);
}

TEST_F(PhotoFrame, MissingFileBeforeAnyLoadShowsTheCameraAndCreatesNothing) {
  Bytes pic = Noise(640 * 480 * 3, 1), before = pic;
  EXPECT_EQ(Apply(pic, kRgb, 640, 480, 56), STATUS_SUCCESS);
  EXPECT_EQ(pic, before);  // not covered by zero bytes
  EXPECT_FALSE(std::filesystem::exists(root_.Windows() / "halloween.bmp"));
  Bytes yuy2 = Noise(640 * 480 * 2, 2), yBefore = yuy2;
  StartStream(640, 480);
  EXPECT_EQ(Apply(yuy2, kYuy2, 640, 480, 56), STATUS_SUCCESS);
  EXPECT_EQ(yuy2, yBefore);
  EXPECT_EQ(g_Effects.LastFrame, 56u);  // looked for once, not on every picture
}

TEST_F(PhotoFrame, FailedLoadsKeepThePreviousFrame) {
  WriteFile(root_.Windows() / "news.bmp", HalfBlueFrame());
  Bytes pic = UniformRgb(640, 480, 7, 7, 7);
  ASSERT_EQ(Apply(pic, kRgb, 640, 480, 57), STATUS_SUCCESS);
  const Bytes framed = pic;

  const Bytes good = MakeFrameFile([](int, int, uint8_t* q) { q[0] = q[1] = q[2] = 200; });
  auto withHeader = [&](size_t offset, std::initializer_list<uint8_t> bytes) {
    Bytes f = good;
    size_t i = offset;
    for (uint8_t b : bytes) f[i++] = b;
    return f;
  };
  const struct {
    const char* what;
    Bytes file;
  } bad[] = {
      {"short by one byte", Bytes(good.begin(), good.end() - 1)},
      {"header only", Bytes(good.begin(), good.begin() + 54)},
      {"empty", Bytes()},
      {"not BM", withHeader(0, {'B', 'X'})},
      {"320 wide", withHeader(18, {0x40, 0x01, 0, 0})},
      {"top-down", withHeader(22, {0x20, 0xFE, 0xFF, 0xFF})},
      {"32 bits", withHeader(28, {32, 0})},
      {"compressed", withHeader(30, {1, 0, 0, 0})},
      {"pixels elsewhere", withHeader(10, {60, 0, 0, 0})},
      {"two planes", withHeader(26, {2, 0})},
  };
  for (const auto& b : bad) {
    WriteFile(root_.Windows() / "night.bmp", b.file);
    ResetEffectState();
    Bytes p = UniformRgb(640, 480, 7, 7, 7);
    EXPECT_EQ(Apply(p, kRgb, 640, 480, 58), STATUS_SUCCESS) << b.what;
    EXPECT_EQ(p, framed) << b.what;
  }
  // A good file of the same name then loads.
  WriteFile(root_.Windows() / "night.bmp", good);
  ResetEffectState();
  Apply(pic, kRgb, 640, 480, 58);
  EXPECT_EQ(pic[0], 200);
}

TEST_F(PhotoFrame, LoaderReportsWhyItFailed) {
  Bytes picture(640 * 480 * 3, 1), mask(640 * 480, 2), work(kFrameWorkBufferSize);
  EXPECT_EQ(LoadPhotoFrame(picture.data(), mask.data(), "\\SystemRoot\\none.bmp", 640, 480, 1, work.data()),
            STATUS_OBJECT_NAME_NOT_FOUND);
  WriteFile(root_.Windows() / "short.bmp", Bytes(1000, 0));
  EXPECT_EQ(LoadPhotoFrame(picture.data(), mask.data(), "\\SystemRoot\\short.bmp", 640, 480, 1, work.data()),
            STATUS_END_OF_FILE);
  const std::string longPath = "\\SystemRoot\\" + std::string(300, 'a') + ".bmp";
  EXPECT_EQ(LoadPhotoFrame(picture.data(), mask.data(), longPath.c_str(), 640, 480, 1, work.data()),
            STATUS_INVALID_PARAMETER);
  EXPECT_EQ(picture, Bytes(640 * 480 * 3, 1));
  EXPECT_EQ(mask, Bytes(640 * 480, 2));
}

TEST_F(PhotoFrame, UserFrameComesFromUDFrameBelowDosDevices) {
  ASSERT_TRUE(platform::RegCreateKeyPath(qcam::kKeyCurrentA));
  ASSERT_TRUE(platform::RegSetString(qcam::kKeyCurrentA, "UDFrame", "C:\\Pictures\\mine.bmp"));
  WriteFile(root_.Path() / "C" / "Pictures" / "mine.bmp", HalfBlueFrame());
  Bytes pic = UniformRgb(640, 480, 7, 7, 7);
  ASSERT_EQ(Apply(pic, kRgb, 640, 480, 99), STATUS_SUCCESS);
  EXPECT_EQ(pic[640 * 3 - 1], 30);  // right half framed
  EXPECT_EQ(pic[0], 7);

  // A value too long for the path, or none at all: a failed load.
  for (const std::string& value : {std::string(250, 'x'), std::string()}) {
    StartStream(640, 480);
    platform::RegSetString(qcam::kKeyCurrentA, "UDFrame", value);
    Bytes p = UniformRgb(640, 480, 7, 7, 7);
    EXPECT_EQ(Apply(p, kRgb, 640, 480, 99), STATUS_SUCCESS);
    EXPECT_EQ(p, UniformRgb(640, 480, 7, 7, 7)) << value.size();
  }
}

TEST_F(PhotoFrame, BuiltInBitmapsAreFullFramesWithCutOuts) {
  std::string error;
  ASSERT_TRUE(qcam_tool::WritePhotoFrameBitmaps(root_.Windows().string(), &error)) << error;
  for (ULONG n = 51; n <= 61; ++n) {
    const auto path = root_.Windows() / BuiltInFrameFileName(n);
    ASSERT_EQ(std::filesystem::file_size(path), kFrameFileSize) << path;
    std::ifstream in(path, std::ios::binary);
    Bytes f((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    BitmapFileHeader fh;
    BitmapInfoHeader ih;
    ASSERT_TRUE(ReadBitmapHeaders(f.data(), ULONG(f.size()), &fh, &ih));
    EXPECT_TRUE(IsFrameBitmapHeader(fh, ih)) << path;
    size_t key = 0;
    for (size_t i = kFrameHeaderSize; i < f.size(); i += 3) key += f[i] == 255 && f[i + 1] == 0 && f[i + 2] == 0;
    // A real cut-out and a real decoration in every frame.
    EXPECT_GT(key, 640u * 480 / 10) << path;
    EXPECT_LT(key, 640u * 480 * 9 / 10) << path;

    // And the driver loads each of them.
    ResetEffectState();
    Bytes pic = UniformRgb(640, 480, 1, 2, 3);
    ASSERT_EQ(Apply(pic, kRgb, 640, 480, n), STATUS_SUCCESS);
    EXPECT_NE(pic, UniformRgb(640, 480, 1, 2, 3)) << path;
  }
}

}  // namespace
