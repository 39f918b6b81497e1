// qcam's shared helpers: options, root install, the snapshot file reader.
#include "tools/qcam/common.h"

#include <gtest/gtest.h>

#include <climits>

#include <filesystem>

#include "platform/nt/platform_control.h"
#include "shared/qcam_defs.h"

namespace {

namespace fs = std::filesystem;
using qcam_tool::ParsedOptions;

std::string FreshDir(const std::string& name) {
  const fs::path p = fs::temp_directory_path() / ("qcam_common_" + std::to_string(::getpid()) + "_" + name);
  fs::remove_all(p);
  return p.string();
}

TEST(Options, ParsesValuesFlagsAndRepeats) {
  ParsedOptions o;
  std::string err;
  ASSERT_TRUE(qcam_tool::ParseOptions({"--root", "/r", "--raw", "--set", "a=1", "--set=b=2", "--frames=5"},
                                      {{"root", true}, {"raw", false}, {"set", true}, {"frames", true}}, &o, &err))
      << err;
  EXPECT_EQ(o.Get("root"), "/r");
  EXPECT_TRUE(o.Has("raw"));
  EXPECT_EQ(o.Get("frames"), "5");
  ASSERT_EQ(o.All("set").size(), 2u);
  EXPECT_EQ(o.All("set")[1], "b=2");
  EXPECT_EQ(o.Get("missing", "dflt"), "dflt");
  EXPECT_FALSE(qcam_tool::ParseOptions({"--bogus"}, {{"root", true}}, &o, &err));
  EXPECT_NE(err.find("--bogus"), std::string::npos);
  EXPECT_FALSE(qcam_tool::ParseOptions({"--root"}, {{"root", true}}, &o, &err));
  EXPECT_FALSE(qcam_tool::ParseOptions({"stray"}, {{"root", true}}, &o, &err));
  EXPECT_FALSE(qcam_tool::ParseOptions({"--raw=1"}, {{"raw", false}}, &o, &err));
}

TEST(Options, NumbersAndSizes) {
  long long v = 0;
  EXPECT_TRUE(qcam_tool::ParseInt("-64", -100, 100, &v));
  EXPECT_EQ(v, -64);
  for (const char* bad : {"", "-", "12a", "0x10", "101", "99999999999999999999"})
    EXPECT_FALSE(qcam_tool::ParseInt(bad, -100, 100, &v)) << bad;
  // Long numbers are refused before they can overflow, whatever the range.
  EXPECT_TRUE(qcam_tool::ParseInt("9223372036854775807", 0, LLONG_MAX, &v));
  EXPECT_EQ(v, LLONG_MAX);
  for (const char* bad : {"9999999999999999999", "9223372036854775808", "+9300000000000000000"})
    EXPECT_FALSE(qcam_tool::ParseInt(bad, LLONG_MIN, LLONG_MAX, &v)) << bad;
  int w = 0, h = 0;
  EXPECT_TRUE(qcam_tool::ParseSize("640x480", &w, &h));
  EXPECT_EQ(w, 640);
  EXPECT_EQ(h, 480);
  for (const char* bad : {"640", "640x", "x480", "-640x480", "640x-480", "0x480", "640*480", "640x480x2"})
    EXPECT_FALSE(qcam_tool::ParseSize(bad, &w, &h)) << bad;
}

TEST(InstallRoot, CreatesFoldersKeysAndKeepsExistingValues) {
  const std::string root = FreshDir("install");
  std::string err;
  ASSERT_TRUE(qcam_tool::InstallRoot(root, &err)) << err;
  for (const char* sub : {"Windows", "Windows/System32", "C", "camera"}) EXPECT_TRUE(fs::is_directory(fs::path(root) / sub)) << sub;
  EXPECT_TRUE(fs::exists(fs::path(root) / "registry.reg"));
  EXPECT_TRUE(fs::exists(fs::path(root) / "Windows" / "birthday.bmp"));
  uint32_t v = 99;
  ASSERT_TRUE(platform::RegGetDword(qcam::kKeyCurrentA, "LEDCtrlTmp", &v));
  EXPECT_EQ(v, 1u);
  ASSERT_TRUE(platform::RegGetDword(qcam::kKeyCurrentA, "CameraStatus", &v));
  EXPECT_EQ(v, 0u);
  ASSERT_TRUE(platform::RegGetDword(qcam::kKeyUcamA, "DebugFlag", &v));
  EXPECT_EQ(v, 0u);
  const uint32_t tracking[7] = {50, 160, 10, 10, 5, 30, 50};
  for (int i = 0; i < 7; ++i) {
    ASSERT_TRUE(platform::RegGetDword(qcam::kKeyCurrentA, "FTPROP0" + std::to_string(i + 1), &v));
    EXPECT_EQ(v, tracking[i]);
  }
  const int32_t set0[9] = {1, 4, 50, -46, 0, 0, 46, -31, -4};
  for (int i = 0; i < 9; ++i) {
    ASSERT_TRUE(platform::RegGetDword(qcam::kKeyCurrentA, "FTPROP1" + std::to_string(i), &v));
    EXPECT_EQ(int32_t(v), set0[i]);
    ASSERT_TRUE(platform::RegGetDword(qcam::kKeyCurrentA, "FTPROP4" + std::to_string(i), &v));
    EXPECT_EQ(v, 0u);
  }
  EXPECT_FALSE(platform::RegGetDword(qcam::kKeyCurrentA, "FTPROP19", &v));
  for (const char16_t* name16 : qcam::kPictureSettingNames) {
    std::string name(name16, name16 + std::char_traits<char16_t>::length(name16));
    EXPECT_TRUE(platform::RegGetDword(qcam::kKeyCurrentA, name, &v)) << name;
    EXPECT_TRUE(platform::RegGetDword(qcam::kKeyDefaultA, name, &v)) << name;
  }
  // A second install keeps what the user changed.
  ASSERT_TRUE(platform::RegSetDword(qcam::kKeyCurrentA, "Brightness", 12));
  ASSERT_TRUE(qcam_tool::InstallRoot(root, &err)) << err;
  ASSERT_TRUE(platform::RegGetDword(qcam::kKeyCurrentA, "Brightness", &v));
  EXPECT_EQ(v, 12u);
  EXPECT_TRUE(qcam_tool::RootInstalled(root));
  EXPECT_FALSE(qcam_tool::RootInstalled(FreshDir("never")));
  // A root that cannot be created.
  EXPECT_FALSE(qcam_tool::InstallRoot("/proc/qcam-cannot-be-here", &err));
  EXPECT_FALSE(err.empty());
}

std::vector<uint8_t> SnapshotBytes(uint32_t imageBytes, uint16_t format, uint16_t w, uint16_t h, size_t actual) {
  std::vector<uint8_t> b(48 + actual, 0);
  b[0] = uint8_t(imageBytes);
  b[1] = uint8_t(imageBytes >> 8);
  b[2] = uint8_t(imageBytes >> 16);
  b[3] = uint8_t(imageBytes >> 24);
  b[4] = uint8_t(format);
  b[6] = uint8_t(w);
  b[7] = uint8_t(w >> 8);
  b[8] = uint8_t(h);
  b[9] = uint8_t(h >> 8);
  b[10] = uint8_t(w);
  b[11] = uint8_t(w >> 8);
  b[12] = uint8_t(h);
  b[13] = uint8_t(h >> 8);
  return b;
}

TEST(SnapshotFile, ReadsEachFormat) {
  qcam_tool::SnapshotFile s;
  std::string err;
  // Bottom-up BGR: the first stored row is the bottom of the picture.
  auto bgr = SnapshotBytes(4 * 2 * 3, 1, 4, 2, 24);
  bgr[48] = 10;  // B of the bottom-left pixel
  bgr[50] = 30;  // R
  ASSERT_TRUE(qcam_tool::ParseSnapshotFile(bgr.data(), bgr.size(), &s, &err)) << err;
  EXPECT_EQ(s.width, 4);
  EXPECT_EQ(s.formatIndex, 1);
  EXPECT_EQ(s.requestedWidth, 4);
  sim::RgbImage rgb;
  ASSERT_TRUE(qcam_tool::SnapshotToRgb(s, &rgb, &err)) << err;
  EXPECT_EQ(rgb.rgb[(4 * 1 + 0) * 3 + 0], 30);
  EXPECT_EQ(rgb.rgb[(4 * 1 + 0) * 3 + 2], 10);
  auto yuy2 = SnapshotBytes(4 * 2 * 2, 2, 4, 2, 16);
  ASSERT_TRUE(qcam_tool::ParseSnapshotFile(yuy2.data(), yuy2.size(), &s, &err)) << err;
  ASSERT_TRUE(qcam_tool::SnapshotToRgb(s, &rgb, &err));
  auto i420 = SnapshotBytes(4 * 2 + 4, 0, 4, 2, 12);
  ASSERT_TRUE(qcam_tool::ParseSnapshotFile(i420.data(), i420.size(), &s, &err)) << err;
  ASSERT_TRUE(qcam_tool::SnapshotToRgb(s, &rgb, &err));
  auto jpeg = SnapshotBytes(4, 3, 4, 2, 4);
  jpeg[48] = 0xFF;
  jpeg[49] = 0xD8;
  ASSERT_TRUE(qcam_tool::ParseSnapshotFile(jpeg.data(), jpeg.size(), &s, &err)) << err;
  EXPECT_FALSE(qcam_tool::SnapshotToRgb(s, &rgb, &err)) << "a JPEG snapshot is written as it is";
  // Trailing bytes beyond the announced image are ignored.
  auto longer = SnapshotBytes(16, 2, 4, 2, 40);
  ASSERT_TRUE(qcam_tool::ParseSnapshotFile(longer.data(), longer.size(), &s, &err));
  EXPECT_EQ(s.image.size(), 16u);
}

TEST(SnapshotFile, RefusesDamagedFilesWithoutTouchingOutput) {
  qcam_tool::SnapshotFile s;
  s.width = 777;
  std::string err;
  const std::vector<uint8_t> shortHeader(47, 0);
  EXPECT_FALSE(qcam_tool::ParseSnapshotFile(shortHeader.data(), shortHeader.size(), &s, &err));
  EXPECT_FALSE(qcam_tool::ParseSnapshotFile(nullptr, 0, &s, &err));
  auto truncated = SnapshotBytes(24, 1, 4, 2, 23);
  EXPECT_FALSE(qcam_tool::ParseSnapshotFile(truncated.data(), truncated.size(), &s, &err));
  EXPECT_NE(err.find("truncated"), std::string::npos);
  auto huge = SnapshotBytes(0xFFFFFFFFu, 1, 4, 2, 24);
  EXPECT_FALSE(qcam_tool::ParseSnapshotFile(huge.data(), huge.size(), &s, &err));
  auto badFormat = SnapshotBytes(24, 7, 4, 2, 24);
  EXPECT_FALSE(qcam_tool::ParseSnapshotFile(badFormat.data(), badFormat.size(), &s, &err));
  auto noSize = SnapshotBytes(24, 1, 0, 2, 24);
  EXPECT_FALSE(qcam_tool::ParseSnapshotFile(noSize.data(), noSize.size(), &s, &err));
  // Too few image bytes for the announced size: a reader must not run past them.
  auto small = SnapshotBytes(23, 1, 4, 2, 23);
  EXPECT_FALSE(qcam_tool::ParseSnapshotFile(small.data(), small.size(), &s, &err));
  auto bigSize = SnapshotBytes(24, 2, 65535, 65535, 24);
  EXPECT_FALSE(qcam_tool::ParseSnapshotFile(bigSize.data(), bigSize.size(), &s, &err));
  auto notJpeg = SnapshotBytes(4, 3, 4, 2, 4);
  EXPECT_FALSE(qcam_tool::ParseSnapshotFile(notJpeg.data(), notJpeg.size(), &s, &err));
  EXPECT_EQ(s.width, 777);
}

TEST(DeliveredToRgb, RefusesShortBuffers) {
  std::vector<uint8_t> buf(4 * 4 * 2 - 1);
  sim::RgbImage out;
  EXPECT_FALSE(qcam_tool::DeliveredToRgb(qcam::kFourCC_YUY2, buf.data(), buf.size(), 4, 4, &out));
  EXPECT_FALSE(qcam_tool::DeliveredToRgb(0, buf.data(), buf.size(), 4, 4, &out));
  EXPECT_FALSE(qcam_tool::DeliveredToRgb(qcam::kFourCC_I420, buf.data(), 23, 4, 4, &out));
  EXPECT_TRUE(qcam_tool::DeliveredToRgb(qcam::kFourCC_I420, buf.data(), 24, 4, 4, &out));
  EXPECT_FALSE(qcam_tool::DeliveredToRgb(qcam::kFourCC_MJPG, buf.data(), buf.size(), 4, 4, &out));
}

}  // namespace
