// qcam decode: the same bytes as the decoder delivers, and one-line refusals
// with exit status 2.
#include <gtest/gtest.h>

#include <cstdio>
#include <unistd.h>

#include <fstream>
#include <iterator>

#include "tests/jpeg/jpeg_test_util.h"
#include "tools/qcam/commands.h"

namespace {

using namespace jpeg_test;

std::string TempPath(const std::string& name) {
  return ::testing::TempDir() + "qcam_decode_" + std::to_string(::getpid()) + "_" + name;
}
void WriteFile(const std::string& p, const std::vector<uint8_t>& d) {
  std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(d.data()), std::streamsize(d.size()));
}
std::vector<uint8_t> ReadFile(const std::string& p) {
  std::ifstream in(p, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(QcamDecode, RawOutputIsWhatTheFramePathDelivers) {
  JpegResetTables();
  auto frame = CameraFrame(NaturalPicture(48, 32, 21), 85, false, 2);
  std::string jpg = TempPath("in.jpg"), raw = TempPath("out.raw"), png = TempPath("out.png");
  WriteFile(jpg, frame);
  for (const char* format : {"RGB24", "I420"}) {
    ASSERT_EQ(0, qcam_tool::CmdDecode({jpg, "--format", format, "--raw", raw, "--out", png, "--repeat", "3"}));
    TestStream s(48, 32);
    std::vector<uint8_t> expected;
    if (std::string(format) == "RGB24")
      ASSERT_NE(0u, DecodeRgb(frame, s, &expected));
    else
      ASSERT_NE(0u, DecodeI420(frame, s, &expected));
    EXPECT_EQ(expected, ReadFile(raw)) << format;
    auto pngBytes = ReadFile(png);
    ASSERT_GE(pngBytes.size(), 8u);
    EXPECT_EQ(0x89, pngBytes[0]);
  }
  std::remove(jpg.c_str());
  std::remove(raw.c_str());
  std::remove(png.c_str());
}

TEST(QcamDecode, RefusedFilesEndWithStatusTwo) {
  auto frame = CameraFrame(NaturalPicture(32, 16, 22), 85, true, 1);  // 4:2:0 with restarts
  std::vector<uint8_t> jfif;
  ASSERT_TRUE(sim::EncodeJpeg(NaturalPicture(32, 16, 23), 85, false, 0, &jfif));
  std::string a = TempPath("rst420.jpg"), b = TempPath("jfif.jpg"), c = TempPath("junk.jpg");
  WriteFile(a, frame);
  WriteFile(b, jfif);
  WriteFile(c, {1, 2, 3});
  EXPECT_EQ(2, qcam_tool::CmdDecode({a, "--format", "I420"}));   // restart in the 4:2:0 I420 loop
  EXPECT_EQ(0, qcam_tool::CmdDecode({a, "--format", "RGB24"}));  // the planar loop passes over it
  EXPECT_EQ(2, qcam_tool::CmdDecode({b, "--format", "RGB24"}));  // APP0
  EXPECT_EQ(2, qcam_tool::CmdDecode({c, "--format", "RGB24"}));
  EXPECT_EQ(2, qcam_tool::CmdDecode({TempPath("missing.jpg"), "--format", "RGB24"}));
  EXPECT_EQ(2, qcam_tool::CmdDecode({a, "--format", "YUY2"}));
  EXPECT_EQ(2, qcam_tool::CmdDecode({a, "--format", "I420", "--repeat", "0"}));
  std::remove(a.c_str());
  std::remove(b.c_str());
  std::remove(c.c_str());
}

}  // namespace
