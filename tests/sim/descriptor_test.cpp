// The camera's configuration descriptors: built-in profiles, real cameras'
// descriptors checked against independently written expectations, and
// malformed input.
#include "sim/uvc_descriptors.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <stdexcept>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

// A small JSON reader, enough for the expectation files.
struct Json {
  enum Kind { kNull, kBool, kNumber, kString, kArray, kObject } kind = kNull;
  double number = 0;
  bool boolean = false;
  std::string text;
  std::vector<Json> items;
  std::map<std::string, Json> fields;
  const Json& operator[](const std::string& k) const {
    static const Json null;
    auto it = fields.find(k);
    return it == fields.end() ? null : it->second;
  }
  const Json& operator[](size_t i) const { return items.at(i); }
  long Int() const { return long(number); }
  bool Has(const std::string& k) const { return fields.count(k) != 0; }
};

class JsonReader {
 public:
  explicit JsonReader(const std::string& s) : s_(s) {}
  Json Parse() {
    Json v = Value();
    Skip();
    if (pos_ != s_.size()) throw std::runtime_error("trailing text");
    return v;
  }

 private:
  void Skip() {
    while (pos_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[pos_]))) ++pos_;
  }
  char Peek() {
    Skip();
    if (pos_ >= s_.size()) throw std::runtime_error("unexpected end");
    return s_[pos_];
  }
  void Expect(char c) {
    if (Peek() != c) throw std::runtime_error(std::string("expected ") + c);
    ++pos_;
  }
  std::string String() {
    Expect('"');
    std::string out;
    while (pos_ < s_.size() && s_[pos_] != '"') {
      if (s_[pos_] == '\\') ++pos_;
      out += s_[pos_++];
    }
    ++pos_;
    return out;
  }
  Json Value() {
    Json v;
    const char c = Peek();
    if (c == '{') {
      v.kind = Json::kObject;
      ++pos_;
      if (Peek() == '}') {
        ++pos_;
        return v;
      }
      for (;;) {
        std::string k = String();
        Expect(':');
        v.fields[k] = Value();
        if (Peek() == ',') {
          ++pos_;
          continue;
        }
        Expect('}');
        return v;
      }
    }
    if (c == '[') {
      v.kind = Json::kArray;
      ++pos_;
      if (Peek() == ']') {
        ++pos_;
        return v;
      }
      for (;;) {
        v.items.push_back(Value());
        if (Peek() == ',') {
          ++pos_;
          continue;
        }
        Expect(']');
        return v;
      }
    }
    if (c == '"') {
      v.kind = Json::kString;
      v.text = String();
      return v;
    }
    if (s_.compare(pos_, 4, "null") == 0) {
      pos_ += 4;
      return v;
    }
    if (s_.compare(pos_, 4, "true") == 0 || s_.compare(pos_, 5, "false") == 0) {
      v.kind = Json::kBool;
      v.boolean = s_[pos_] == 't';
      pos_ += v.boolean ? 4 : 5;
      return v;
    }
    size_t used = 0;
    v.kind = Json::kNumber;
    v.number = std::stod(s_.substr(pos_, 32), &used);
    pos_ += used;
    return v;
  }
  const std::string& s_;
  size_t pos_ = 0;
};

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

const char* kCameras[] = {"bison_hd_webcam_5986_211b", "logitech_c270_046d_0825", "trust_webcam_0c45_6340",
                          "canyon_cne_cwc2_0c45_6340"};

class RealCameraTest : public ::testing::TestWithParam<const char*> {};

TEST_P(RealCameraTest, ParseMatchesExpectations) {
  const std::string base = std::string(QCAM_TESTDATA_DIR) + "/cameras/" + GetParam();
  const auto bytes = ReadFile(base + ".bin");
  ASSERT_FALSE(bytes.empty()) << base;
  std::string text;
  {
    auto raw = ReadFile(base + ".expected.json");
    text.assign(raw.begin(), raw.end());
  }
  const Json want = JsonReader(text).Parse();

  sim::DescriptorInfo info;
  std::string err;
  ASSERT_TRUE(sim::ParseConfigurationDescriptor(bytes.data(), bytes.size(), &info, &err)) << err;
  EXPECT_EQ(info.totalLength, want["wTotalLength"].Int());
  EXPECT_EQ(info.numInterfaces, want["bNumInterfaces"].Int());
  EXPECT_EQ(info.controlInterface, want["video_control_interface"].Int());
  EXPECT_EQ(info.streamingInterface, want["streaming_interface"].Int());
  ASSERT_EQ(long(info.altSettings.size()), want["streaming_alt_settings"].Int());
  for (size_t i = 0; i < info.altSettings.size(); ++i) {
    EXPECT_EQ(info.altSettings[i].rawMaxPacket, want["streaming_alt_max_packet"][i].Int()) << "alt " << i + 1;
    EXPECT_EQ(info.altSettings[i].alternateSetting, i + 1);
  }
  ASSERT_TRUE(info.cameraTerminal.present);
  EXPECT_EQ(info.cameraTerminal.id, want["camera_terminal"]["bTerminalID"].Int());
  ASSERT_EQ(info.cameraTerminal.controls.size(), want["camera_terminal"]["bmControls"].items.size());
  for (size_t i = 0; i < info.cameraTerminal.controls.size(); ++i)
    EXPECT_EQ(info.cameraTerminal.controls[i], want["camera_terminal"]["bmControls"][i].Int());
  ASSERT_TRUE(info.processingUnit.present);
  EXPECT_EQ(info.processingUnit.id, want["processing_unit"]["bUnitID"].Int());
  ASSERT_EQ(info.processingUnit.controls.size(), want["processing_unit"]["bmControls"].items.size());
  for (size_t i = 0; i < info.processingUnit.controls.size(); ++i)
    EXPECT_EQ(info.processingUnit.controls[i], want["processing_unit"]["bmControls"][i].Int());
  EXPECT_EQ(info.announcedFormats, want["vs_input_header"]["bNumFormats"].Int());
  EXPECT_EQ(info.stillCaptureMethod, want["vs_input_header"]["bStillCaptureMethod"].Int());

  const Json& formats = want["formats"];
  ASSERT_EQ(info.formats.size(), formats.items.size());
  for (size_t f = 0; f < info.formats.size(); ++f) {
    const auto& got = info.formats[f];
    const Json& wf = formats[f];
    SCOPED_TRACE("format " + std::to_string(f));
    EXPECT_EQ(got.kind == sim::FormatKind::kMjpeg ? "mjpeg" : "uncompressed", wf["type"].text);
    EXPECT_EQ(got.index, wf["bFormatIndex"].Int());
    EXPECT_EQ(got.declaredFrames, wf["bNumFrameDescriptors"].Int());
    EXPECT_EQ(got.defaultFrameIndex, wf["bDefaultFrameIndex"].Int());
    const std::string fourcc(reinterpret_cast<const char*>(&got.fourcc), 4);
    EXPECT_EQ(fourcc, wf["fourcc"].text);
    if (wf.Has("bBitsPerPixel")) {
      EXPECT_EQ(got.bitsPerPixel, wf["bBitsPerPixel"].Int());
    }
    ASSERT_EQ(got.frames.size(), wf["frames"].items.size());
    for (size_t i = 0; i < got.frames.size(); ++i) {
      const auto& fr = got.frames[i];
      const Json& wfr = wf["frames"][i];
      SCOPED_TRACE("frame " + std::to_string(i));
      EXPECT_EQ(fr.index, wfr["bFrameIndex"].Int());
      EXPECT_EQ(fr.capabilities, wfr["bmCapabilities"].Int());
      EXPECT_EQ(fr.width, wfr["wWidth"].Int());
      EXPECT_EQ(fr.height, wfr["wHeight"].Int());
      EXPECT_EQ(fr.maxFrameSize, uint32_t(wfr["dwMaxVideoFrameBufferSize"].Int()));
      EXPECT_EQ(fr.defaultInterval, uint32_t(wfr["dwDefaultFrameInterval"].Int()));
      ASSERT_EQ(fr.intervals.size(), wfr["intervals"].items.size());
      for (size_t k = 0; k < fr.intervals.size(); ++k) EXPECT_EQ(fr.intervals[k], uint32_t(wfr["intervals"][k].Int()));
      EXPECT_EQ(fr.continuous, wfr["interval_range"].kind != Json::kNull);
    }
    EXPECT_EQ(got.still.present, wf["still_image_frame"].boolean);
    if (got.still.present) {
      ASSERT_EQ(got.still.sizes.size(), wf["still_sizes"].items.size());
      for (size_t i = 0; i < got.still.sizes.size(); ++i) {
        EXPECT_EQ(got.still.sizes[i].first, wf["still_sizes"][i][0].Int());
        EXPECT_EQ(got.still.sizes[i].second, wf["still_sizes"][i][1].Int());
      }
      ASSERT_EQ(got.still.compression.size(), wf["still_compression"].items.size());
    }
  }
  // Anomalies the expectation lists are reported too.
  for (const auto& a : want["anomalies"].items) {
    bool found = false;
    for (const auto& g : info.anomalies) found = found || g == a.text;
    EXPECT_TRUE(found) << "missing anomaly: " << a.text;
  }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, RealCameraTest, ::testing::ValuesIn(kCameras));

TEST(ProfileDescriptor, NotebookOffersWhatTheDriverExpects) {
  const auto bytes = sim::BuildProfileDescriptor("notebook");
  ASSERT_GT(bytes.size(), 100u);
  sim::DescriptorInfo info;
  std::string err;
  ASSERT_TRUE(sim::ParseConfigurationDescriptor(bytes.data(), bytes.size(), &info, &err)) << err;
  EXPECT_TRUE(info.anomalies.empty());
  EXPECT_EQ(info.totalLength, bytes.size());
  ASSERT_EQ(info.formats.size(), 2u);
  EXPECT_EQ(info.formats[0].kind, sim::FormatKind::kMjpeg);
  EXPECT_EQ(info.formats[0].index, 1);
  EXPECT_EQ(info.formats[1].kind, sim::FormatKind::kUncompressed);
  EXPECT_EQ(info.formats[1].index, 2);
  EXPECT_EQ(info.formats[1].fourcc, 0x32595559u);  // "YUY2"
  const std::vector<std::pair<int, int>> mjpg = {{640, 480}, {1280, 720}, {352, 288}, {320, 240}, {176, 144}, {160, 120}};
  const std::vector<std::pair<int, int>> yuy2 = {{640, 480}, {352, 288}, {320, 240}, {176, 144}, {160, 120}, {1280, 720}};
  ASSERT_EQ(info.formats[0].frames.size(), mjpg.size());
  ASSERT_EQ(info.formats[1].frames.size(), yuy2.size());
  for (size_t i = 0; i < mjpg.size(); ++i) {
    EXPECT_EQ(info.formats[0].frames[i].width, mjpg[i].first);
    EXPECT_EQ(info.formats[0].frames[i].height, mjpg[i].second);
    EXPECT_EQ(info.formats[0].frames[i].index, i + 1);
    EXPECT_EQ(info.formats[1].frames[i].width, yuy2[i].first);
    EXPECT_EQ(info.formats[1].frames[i].height, yuy2[i].second);
  }
  // 1280x720 YUY2 runs at a low rate only.
  EXPECT_GE(info.formats[1].frames[5].defaultInterval, 1000000u);
  EXPECT_TRUE(info.formats[0].still.present);
  EXPECT_TRUE(info.formats[1].still.present);
  ASSERT_EQ(info.altSettings.size(), 7u);
  const uint32_t packets[7] = {128, 256, 512, 1024, 2048, 2688, 3072};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(info.altSettings[i].maxPacketBytes, packets[i]);
  ASSERT_TRUE(info.cameraTerminal.present);
  EXPECT_EQ(info.cameraTerminal.id, 1);
  EXPECT_TRUE(info.cameraTerminal.controls[0] & 0x20) << "focus bit";
  ASSERT_TRUE(info.processingUnit.present);
  EXPECT_EQ(info.processingUnit.id, 4);
  ASSERT_EQ(info.extensionUnits.size(), 1u);
  EXPECT_EQ(info.extensionUnits[0].id, 5);
}

TEST(ProfileDescriptor, BasicIsMjpegOnlyWithTwoSettingsAndNoFocus) {
  const auto bytes = sim::BuildProfileDescriptor("basic");
  sim::DescriptorInfo info;
  std::string err;
  ASSERT_TRUE(sim::ParseConfigurationDescriptor(bytes.data(), bytes.size(), &info, &err)) << err;
  ASSERT_EQ(info.formats.size(), 1u);
  EXPECT_EQ(info.formats[0].kind, sim::FormatKind::kMjpeg);
  ASSERT_EQ(info.altSettings.size(), 2u);
  EXPECT_EQ(info.altSettings[0].maxPacketBytes, 956u);
  EXPECT_EQ(info.altSettings[1].maxPacketBytes, 3072u);
  EXPECT_FALSE(info.cameraTerminal.controls[0] & 0x20);
  EXPECT_TRUE(sim::BuildProfileDescriptor("toaster").empty());
}

TEST(DescriptorWalk, RejectsMalformedBytesWithoutTouchingOutput) {
  auto good = sim::BuildProfileDescriptor("notebook");
  sim::DescriptorInfo info;
  info.totalLength = 4242;
  std::string err;
  // Too short, wrong type.
  EXPECT_FALSE(sim::ParseConfigurationDescriptor(good.data(), 8, &info, &err));
  EXPECT_FALSE(sim::ParseConfigurationDescriptor(nullptr, 0, &info, &err));
  auto wrong = good;
  wrong[1] = 4;
  EXPECT_FALSE(sim::ParseConfigurationDescriptor(wrong.data(), wrong.size(), &info, &err));
  // wTotalLength beyond the bytes present (truncated file).
  EXPECT_FALSE(sim::ParseConfigurationDescriptor(good.data(), good.size() - 1, &info, &err));
  EXPECT_NE(err.find("truncated"), std::string::npos);
  // A zero length byte in the middle would make a naive walk spin forever.
  auto zero = good;
  zero[9] = 0;
  EXPECT_FALSE(sim::ParseConfigurationDescriptor(zero.data(), zero.size(), &info, &err));
  // A descriptor claiming to run past the end.
  auto over = good;
  size_t last = 0;
  for (size_t p = 0; p < over.size(); p += over[p]) last = p;
  over[last] = 0xFF;
  EXPECT_FALSE(sim::ParseConfigurationDescriptor(over.data(), over.size(), &info, &err));
  EXPECT_EQ(info.totalLength, 4242) << "a failed parse leaves the output alone";
  // Extra bytes after wTotalLength are ignored.
  auto extra = good;
  extra.push_back(0xAB);
  EXPECT_TRUE(sim::ParseConfigurationDescriptor(extra.data(), extra.size(), &info, &err)) << err;
}

TEST(DescriptorWalk, FrameDescriptorsShorterThanTheirIntervalListAreClipped) {
  auto bytes = sim::BuildProfileDescriptor("basic");
  // Find the first MJPEG frame descriptor and claim 60 intervals.
  size_t p = 0;
  while (p < bytes.size() && !(bytes[p + 1] == 0x24 && bytes[p + 2] == 0x07)) p += bytes[p];
  ASSERT_LT(p, bytes.size());
  bytes[p + 25] = 60;
  sim::DescriptorInfo info;
  std::string err;
  ASSERT_TRUE(sim::ParseConfigurationDescriptor(bytes.data(), bytes.size(), &info, &err)) << err;
  EXPECT_EQ(info.formats[0].frames[0].intervals.size(), 4u);
  EXPECT_FALSE(info.anomalies.empty());
}

TEST(DescriptorFile, DeviceDescriptorPrefixIsSplitOff) {
  auto config = sim::BuildProfileDescriptor("basic");
  const auto dev = sim::ProfileDeviceDescriptor("basic");
  std::vector<uint8_t> file(18 + config.size());
  std::memcpy(file.data(), &dev, 18);
  std::memcpy(file.data() + 18, config.data(), config.size());
  std::vector<uint8_t> got;
  USB_DEVICE_DESCRIPTOR gotDev{};
  bool hasDevice = false;
  std::string err;
  ASSERT_TRUE(sim::SplitDescriptorFile(file, &got, &gotDev, &hasDevice, &err)) << err;
  EXPECT_TRUE(hasDevice);
  EXPECT_EQ(got, config);
  EXPECT_EQ(gotDev.idProduct, dev.idProduct);
  ASSERT_TRUE(sim::SplitDescriptorFile(config, &got, &gotDev, &hasDevice, &err));
  EXPECT_FALSE(hasDevice);
  file.resize(18 + 20);
  EXPECT_FALSE(sim::SplitDescriptorFile(file, &got, &gotDev, &hasDevice, &err));
  file.resize(18);
  EXPECT_FALSE(sim::SplitDescriptorFile(file, &got, &gotDev, &hasDevice, &err));
  EXPECT_FALSE(sim::SplitDescriptorFile({}, &got, &gotDev, &hasDevice, &err));
}

}  // namespace
