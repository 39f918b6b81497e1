// Picture files and conversions of the simulation.
#include "sim/image_io.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {

std::string TempPath(const std::string& name) {
  auto dir = std::filesystem::temp_directory_path() / ("qcam_image_io_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  return (dir / name).string();
}

sim::RgbImage Gradient(int w, int h) {
  sim::RgbImage img;
  img.width = w;
  img.height = h;
  img.rgb.resize(size_t(w) * h * 3);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = &img.rgb[(size_t(y) * w + x) * 3];
      p[0] = uint8_t(x * 255 / (w - 1));
      p[1] = uint8_t(y * 255 / (h - 1));
      p[2] = uint8_t(128);
    }
  return img;
}

int MaxDiff(const sim::RgbImage& a, const sim::RgbImage& b) {
  int m = 0;
  for (size_t i = 0; i < a.rgb.size() && i < b.rgb.size(); ++i) m = std::max(m, std::abs(a.rgb[i] - b.rgb[i]));
  return m;
}

TEST(ImageIo, PngRoundTripIsExact) {
  auto img = Gradient(37, 21);
  std::string err;
  const auto path = TempPath("a.png");
  ASSERT_TRUE(sim::WritePng(path, img, &err)) << err;
  sim::RgbImage back;
  ASSERT_TRUE(sim::ReadPicture(path, &back, &err)) << err;
  EXPECT_EQ(back.width, 37);
  EXPECT_EQ(back.height, 21);
  EXPECT_EQ(back.rgb, img.rgb);
}

TEST(ImageIo, JpegEncodesBaseline422AndDecodesClose) {
  auto img = Gradient(64, 48);
  std::vector<uint8_t> jpeg;
  ASSERT_TRUE(sim::EncodeJpeg(img, 90, false, 0, &jpeg));
  ASSERT_GT(jpeg.size(), 100u);
  EXPECT_EQ(jpeg[0], 0xFF);
  EXPECT_EQ(jpeg[1], 0xD8);
  // Baseline SOF0 with Y sampled 2x1 and chroma 1x1.
  bool found = false;
  for (size_t i = 2; i + 15 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
      found = true;
      EXPECT_EQ(jpeg[i + 9], 3);       // components
      EXPECT_EQ(jpeg[i + 11], 0x21);   // Y: h=2 v=1
      EXPECT_EQ(jpeg[i + 14], 0x11);   // Cb
      break;
    }
    ASSERT_FALSE(jpeg[i] == 0xFF && (jpeg[i + 1] == 0xC1 || jpeg[i + 1] == 0xC2)) << "not baseline";
  }
  EXPECT_TRUE(found);
  const auto path = TempPath("a.jpg");
  { std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(jpeg.data()), jpeg.size()); }
  sim::RgbImage back;
  std::string err;
  ASSERT_TRUE(sim::ReadPicture(path, &back, &err)) << err;
  EXPECT_EQ(back.width, 64);
  EXPECT_LT(MaxDiff(img, back), 24);
}

TEST(ImageIo, JpegRestartIntervalWritesDri) {
  auto img = Gradient(64, 32);
  std::vector<uint8_t> jpeg;
  ASSERT_TRUE(sim::EncodeJpeg(img, 75, true, 2, &jpeg));
  bool dri = false, rst = false;
  for (size_t i = 0; i + 1 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xDD) dri = true;
    if (jpeg[i] == 0xFF && jpeg[i + 1] >= 0xD0 && jpeg[i + 1] <= 0xD7) rst = true;
  }
  EXPECT_TRUE(dri);
  EXPECT_TRUE(rst);
}

TEST(ImageIo, BadFilesFailWithReason) {
  sim::RgbImage out;
  std::string err;
  EXPECT_FALSE(sim::ReadPicture(TempPath("missing.png"), &out, &err));
  EXPECT_NE(err.find("missing.png"), std::string::npos);
  const auto junk = TempPath("junk.bin");
  { std::ofstream(junk) << "hello world"; }
  EXPECT_FALSE(sim::ReadPicture(junk, &out, &err));
  EXPECT_NE(err.find("not a PNG or JPEG"), std::string::npos);
  // Truncated files of both kinds.
  auto img = Gradient(32, 32);
  std::vector<uint8_t> jpeg;
  ASSERT_TRUE(sim::EncodeJpeg(img, 80, false, 0, &jpeg));
  const auto tj = TempPath("trunc.jpg");
  { std::ofstream(tj, std::ios::binary).write(reinterpret_cast<const char*>(jpeg.data()), 40); }
  EXPECT_FALSE(sim::ReadPicture(tj, &out, &err));
  const auto png = TempPath("full.png");
  ASSERT_TRUE(sim::WritePng(png, img, &err));
  std::ifstream in(png, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
  const auto tp = TempPath("trunc.png");
  { std::ofstream(tp, std::ios::binary).write(bytes.data(), 60); }
  EXPECT_FALSE(sim::ReadPicture(tp, &out, &err));
  EXPECT_EQ(out.width, 0) << "a failed read leaves the output alone";
  // Writing an empty picture or into a missing folder fails.
  EXPECT_FALSE(sim::WritePng(TempPath("e.png"), sim::RgbImage{}, &err));
  EXPECT_FALSE(sim::WritePng("/nonexistent-dir/x.png", img, &err));
}

TEST(ImageIo, ConversionsRoundTripThroughYuy2) {
  sim::RgbImage img;
  img.width = 4;
  img.height = 2;
  // Pairs of equal colours so chroma subsampling loses nothing.
  const uint8_t colours[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {128, 128, 128}};
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x)
      for (int c = 0; c < 3; ++c) img.rgb.push_back(colours[(y * 2 + x / 2) % 4][c]);
  std::vector<uint8_t> yuy2;
  sim::RgbToYuy2(img, &yuy2);
  ASSERT_EQ(yuy2.size(), 16u);
  EXPECT_EQ(yuy2[0], 82);  // Y of pure red, studio range
  sim::RgbImage back;
  sim::Yuy2ToRgb(yuy2.data(), 4, 2, &back);
  EXPECT_LE(MaxDiff(img, back), 3);
}

TEST(ImageIo, I420AndBottomUpBgrLayouts) {
  // 2x2 I420: Y plane, then one U and one V.
  const uint8_t i420[6] = {16, 235, 126, 126, 128, 128};
  sim::RgbImage out;
  sim::I420ToRgb(i420, 2, 2, &out);
  EXPECT_EQ(out.rgb[0], 0);
  EXPECT_EQ(out.rgb[3], 255);
  // Bottom-up BGR: first stored row is the picture's last row.
  const uint8_t bgr[2 * 2 * 3] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  sim::BottomUpBgrToRgb(bgr, 2, 2, &out);
  const std::vector<uint8_t> want = {9, 8, 7, 12, 11, 10, 3, 2, 1, 6, 5, 4};
  EXPECT_EQ(out.rgb, want);
}

}  // namespace
