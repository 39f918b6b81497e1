// The driver's configuration-descriptor walk and the format slots built from
// it: real cameras' descriptors against an independent walker's reading, the
// built-in profiles, and damaged descriptors.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "driver/core/formats.h"
#include "tests/driver/driver_fixture.h"
#include "tests/driver/mini_json.h"

namespace {

using drivertest::ReadFile;

std::string TestData(const std::string& name) { return std::string(QCAM_TESTDATA_DIR) + "/cameras/" + name; }

// The configuration descriptor part of a fixture file (which may start with
// an 18-byte device descriptor).
std::vector<uint8_t> ConfigurationOf(const std::vector<uint8_t>& bytes) {
  if (bytes.size() > 18 && bytes[0] == 18 && bytes[1] == 1) return {bytes.begin() + 18, bytes.end()};
  return bytes;
}

class RealCameraDescriptors : public ::testing::TestWithParam<const char*> {};

TEST_P(RealCameraDescriptors, MatchIndependentWalker) {
  std::vector<uint8_t> config = ConfigurationOf(ReadFile(TestData(std::string(GetParam()) + ".bin")));
  ASSERT_GT(config.size(), 9u);
  std::ifstream in(TestData(std::string(GetParam()) + ".expected.json"));
  std::stringstream text;
  text << in.rdbuf();
  std::string json = text.str();
  minijson::Value expected;
  ASSERT_TRUE(minijson::Parser(json).Parse(&expected));

  ParsedDescriptors parsed;
  ParseConfigurationDescriptor(config.data(), ULONG(config.size()), &parsed);
  EXPECT_EQ(parsed.AlternateSettings, ULONG(expected["streaming_alt_settings"].Int()));

  for (const minijson::Value& format : expected["formats"].items) {
    SCOPED_TRACE(format["type"].text);
    const ParsedFormat& f = format["type"].text == "mjpeg" ? parsed.Mjpeg : parsed.Uncompressed;
    ASSERT_TRUE(f.Present);
    EXPECT_EQ(f.bFormatIndex, format["bFormatIndex"].Int());
    ASSERT_EQ(f.FrameCount, format["frames"].size());
    for (size_t i = 0; i < f.FrameCount; ++i) {
      const minijson::Value& e = format["frames"][i];
      const ParsedFrame& got = f.Frames[i];
      SCOPED_TRACE(i);
      EXPECT_EQ(got.bFrameIndex, e["bFrameIndex"].Int());
      EXPECT_EQ(got.wWidth, e["wWidth"].Int());
      EXPECT_EQ(got.wHeight, e["wHeight"].Int());
      EXPECT_EQ(got.dwMaxVideoFrameBufferSize, ULONG(e["dwMaxVideoFrameBufferSize"].Int()));
      EXPECT_EQ(got.dwDefaultFrameInterval, ULONG(e["dwDefaultFrameInterval"].Int()));
      ASSERT_EQ(got.IntervalCount, e["intervals"].size());
      for (size_t k = 0; k < got.IntervalCount; ++k) EXPECT_EQ(got.Intervals[k], ULONG(e["intervals"][k].Int()));
    }
    EXPECT_EQ(f.Still.Present, format["still_image_frame"].boolean);
    if (f.Still.Present) {
      ASSERT_EQ(f.Still.bNumImageSizePatterns, format["still_sizes"].size());
      for (size_t k = 0; k < format["still_sizes"].size(); ++k) {
        EXPECT_EQ(f.Still.Sizes[k][0], format["still_sizes"][k][0].Int());
        EXPECT_EQ(f.Still.Sizes[k][1], format["still_sizes"][k][1].Int());
      }
    }
  }
  // The audio function's class-specific descriptors share the descriptor type;
  // they must not be taken for the camera terminal or the processing unit.
  EXPECT_EQ(parsed.CameraTerminal.bTerminalID, expected["camera_terminal"]["bTerminalID"].Int());
  EXPECT_EQ(parsed.CameraTerminal.bmControls[0], expected["camera_terminal"]["bmControls_first_byte"].Int());
  EXPECT_EQ(parsed.ProcessingUnit.bUnitID, expected["processing_unit"]["bUnitID"].Int());
  EXPECT_EQ(parsed.ProcessingUnit.bmControls[0], expected["processing_unit"]["bmControls"][0].Int());
}

INSTANTIATE_TEST_SUITE_P(Fixtures, RealCameraDescriptors,
                         ::testing::Values("bison_hd_webcam_5986_211b", "logitech_c270_046d_0825",
                                           "trust_webcam_0c45_6340", "canyon_cne_cwc2_0c45_6340"));

TEST(DescriptorParse, NotebookProfile) {
  std::vector<uint8_t> config = sim::BuildProfileDescriptor("notebook");
  ParsedDescriptors p;
  ParseConfigurationDescriptor(config.data(), ULONG(config.size()), &p);
  EXPECT_EQ(p.AlternateSettings, 7u);
  EXPECT_EQ(p.Mjpeg.FrameCount, 6);
  EXPECT_EQ(p.Uncompressed.FrameCount, 6);
  EXPECT_TRUE(p.Mjpeg.Still.Present);
  EXPECT_TRUE(p.CameraTerminal.bmControls[0] & 0x20) << "focus bit";
  EXPECT_EQ(p.Mjpeg.Frames[0].wWidth, 640);
  EXPECT_EQ(p.Mjpeg.Frames[1].wWidth, 1280);
}

TEST(DescriptorParse, BasicProfileHasNoUncompressedFormatOrFocus) {
  std::vector<uint8_t> config = sim::BuildProfileDescriptor("basic");
  ParsedDescriptors p;
  ParseConfigurationDescriptor(config.data(), ULONG(config.size()), &p);
  EXPECT_EQ(p.AlternateSettings, 2u);
  EXPECT_FALSE(p.Uncompressed.Present);
  EXPECT_GT(p.Mjpeg.FrameCount, 0);
  EXPECT_FALSE(p.CameraTerminal.bmControls[0] & 0x20);
}

// Damaged descriptors: every cut of every real descriptor, at every length,
// parses without reading past the cut (AddressSanitizer sees the exact-size
// copy), and frames past the cut are not invented.
TEST(DescriptorParse, TruncatedAtEveryLength) {
  for (const char* name : {"bison_hd_webcam_5986_211b", "logitech_c270_046d_0825", "trust_webcam_0c45_6340",
                           "canyon_cne_cwc2_0c45_6340"}) {
    SCOPED_TRACE(name);
    std::vector<uint8_t> full = ConfigurationOf(ReadFile(TestData(std::string(name) + ".bin")));
    ASSERT_GT(full.size(), 9u);
    ParsedDescriptors whole;
    ParseConfigurationDescriptor(full.data(), ULONG(full.size()), &whole);
    for (size_t cut = 0; cut <= full.size(); ++cut) {
      std::vector<uint8_t> part(full.begin(), full.begin() + cut);
      ParsedDescriptors p;
      ParseConfigurationDescriptor(part.empty() ? nullptr : part.data(), ULONG(part.size()), &p);
      ASSERT_LE(p.Uncompressed.FrameCount, whole.Uncompressed.FrameCount) << cut;
      ASSERT_LE(p.Mjpeg.FrameCount, whole.Mjpeg.FrameCount) << cut;
      ASSERT_LE(p.AlternateSettings, whole.AlternateSettings) << cut;
    }
  }
}

// A format descriptor whose bLength is below its subtype's minimum, last in
// the buffer, is skipped without reading the fields it lacks; one byte more
// than the minimum of each record still parses.
TEST(DescriptorParse, ShortFormatDescriptorIsSkipped) {
  const uint8_t interfaceHeader[9] = {9, uvc::USB_DT_INTERFACE, 1, 0, 0, uvc::CC_VIDEO, uvc::SC_VIDEOSTREAMING, 0, 0};
  for (uint8_t subtype : {uvc::VS_FORMAT_MJPEG, uvc::VS_FORMAT_UNCOMPRESSED}) {
    const size_t minimum = subtype == uvc::VS_FORMAT_MJPEG ? uvc::FormatMjpegDescriptor::kSize
                                                           : uvc::FormatUncompressedDescriptor::kSize;
    for (size_t length = uvc::DescriptorHeader::kClassSpecificMinSize; length <= minimum; ++length) {
      SCOPED_TRACE(testing::Message() << int(subtype) << " bLength " << length);
      std::vector<uint8_t> config(interfaceHeader, interfaceHeader + 9);
      std::vector<uint8_t> format(length, 0);
      format[0] = uint8_t(length);
      format[1] = uvc::CS_INTERFACE;
      format[2] = subtype;
      if (length > uvc::FormatDescriptor::bFormatIndex) format[uvc::FormatDescriptor::bFormatIndex] = 1;
      if (length > uvc::FormatDescriptor::bNumFrameDescriptors) format[uvc::FormatDescriptor::bNumFrameDescriptors] = 1;
      config.insert(config.end(), format.begin(), format.end());
      ParsedDescriptors p;
      ParseConfigurationDescriptor(config.data(), ULONG(config.size()), &p);
      const ParsedFormat& f = subtype == uvc::VS_FORMAT_MJPEG ? p.Mjpeg : p.Uncompressed;
      EXPECT_EQ(f.Present, length == minimum);
      EXPECT_EQ(f.FrameCount, 0);
    }
  }
}

TEST(DescriptorParse, ZeroLengthDescriptorStopsTheWalk) {
  std::vector<uint8_t> config = sim::BuildProfileDescriptor("notebook");
  ParsedDescriptors whole;
  ParseConfigurationDescriptor(config.data(), ULONG(config.size()), &whole);
  // Zero the bLength of the first descriptor after the configuration header.
  config[9] = 0;
  ParsedDescriptors p;
  ParseConfigurationDescriptor(config.data(), ULONG(config.size()), &p);
  EXPECT_EQ(p.AlternateSettings, 0u);
  EXPECT_FALSE(p.Mjpeg.Present);
}

TEST(DescriptorParse, OverlongDescriptorStopsTheWalk) {
  std::vector<uint8_t> config = sim::BuildProfileDescriptor("notebook");
  // The configuration header claims to run past the end of the data.
  std::vector<uint8_t> tiny = {9, 2, 9, 0, 1, 1, 0, 0x80, 50, 0xFF, 0x24};
  ParsedDescriptors p;
  ParseConfigurationDescriptor(tiny.data(), ULONG(tiny.size()), &p);
  EXPECT_FALSE(p.Mjpeg.Present);
  // A frame descriptor whose interval list runs past its own bLength.
  std::vector<uint8_t> cfg = {9, 2, 0, 0, 1, 1, 0, 0x80, 50};
  std::vector<uint8_t> iface = {9, 4, 1, 0, 0, 0x0E, 0x02, 0, 0};
  std::vector<uint8_t> fmt = {11, 0x24, 0x06, 1, 1, 0, 1, 0, 0, 0, 0};
  std::vector<uint8_t> frame(30, 0);
  frame[0] = 30;
  frame[1] = 0x24;
  frame[2] = 0x07;
  frame[3] = 1;
  frame[5] = 0x80;
  frame[6] = 2;  // 640
  frame[7] = 0xE0;
  frame[8] = 1;  // 480
  frame[25] = 5;  // five intervals claimed, one present
  for (auto* part : {&iface, &fmt, &frame}) cfg.insert(cfg.end(), part->begin(), part->end());
  cfg[2] = uint8_t(cfg.size());
  ParseConfigurationDescriptor(cfg.data(), ULONG(cfg.size()), &p);
  EXPECT_TRUE(p.Mjpeg.Present);
  EXPECT_EQ(p.Mjpeg.FrameCount, 0) << "a frame claiming more intervals than it holds is not read";
}

// A camera announcing more frames than the tables hold: the tables and the
// 40 format slots are bounded.
TEST(DescriptorParse, FrameTablesAndSlotsAreBounded) {
  std::vector<uint8_t> cfg = {9, 2, 0, 0, 1, 1, 0, 0x80, 50};
  auto add = [&](std::vector<uint8_t> d) { cfg.insert(cfg.end(), d.begin(), d.end()); };
  add({9, 4, 1, 1, 1, 0x0E, 0x02, 0, 0});
  for (int format = 0; format < 2; ++format) {
    bool mjpeg = format == 0;
    if (mjpeg) {
      add({11, 0x24, 0x06, 1, 60, 0, 1, 0, 0, 0, 0});
    } else {
      std::vector<uint8_t> f(27, 0);
      f[0] = 27; f[1] = 0x24; f[2] = 0x04; f[3] = 2; f[4] = 60; f[21] = 16; f[22] = 1;
      f[5] = 'Y'; f[6] = 'U'; f[7] = 'Y'; f[8] = '2';
      add(f);
    }
    for (int i = 0; i < 60; ++i) {
      std::vector<uint8_t> fr(30, 0);
      fr[0] = 30; fr[1] = 0x24; fr[2] = mjpeg ? 0x07 : 0x05; fr[3] = uint8_t(i + 1);
      fr[5] = uint8_t(16 + i); fr[7] = 16;
      fr[21] = 0x15; fr[22] = 0x16; fr[23] = 0x05;  // 333333
      fr[25] = 1;
      fr[26] = 0x15; fr[27] = 0x16; fr[28] = 0x05;
      add(fr);
    }
  }
  cfg[2] = uint8_t(cfg.size());
  cfg[3] = uint8_t(cfg.size() >> 8);
  ParseConfigurationDescriptor(cfg.data(), ULONG(cfg.size()), &g_Driver.Descriptors);
  EXPECT_EQ(g_Driver.Descriptors.Mjpeg.FrameCount, kMaxFramesPerFormat);
  EXPECT_EQ(g_Driver.Descriptors.Uncompressed.FrameCount, kMaxFramesPerFormat);
  EXPECT_EQ(RebuildFormats(), ULONG(kMaxFormatSlots));
  EXPECT_EQ(g_StreamInfo[0].NumberOfFormatArrayEntries, ULONG(kMaxFormatSlots));
}

TEST(DescriptorParse, ZeroFrameIntervalDoesNotDivideByZero) {
  ParsedDescriptors& d = g_Driver.Descriptors;
  d = ParsedDescriptors{};
  d.Mjpeg.Present = true;
  d.Mjpeg.FrameCount = 1;
  d.Mjpeg.Frames[0] = ParsedFrame{1, 640, 480, 614400, 0, 1, 0, {}};
  ASSERT_EQ(RebuildFormats(), 1u);
  EXPECT_EQ(g_CaptureFormats[0].ConfigCaps.MaxBitsPerSecond, 0);
}

}  // namespace
