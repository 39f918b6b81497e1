// The simulated camera as the class driver and the minidriver talk to it:
// probe and commit, controls, bridge registers, packets and pictures.
#include "sim/uvc_camera.h"

#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "sim/image_io.h"
#include "sim/payload.h"

namespace {

constexpr uint16_t kProbe = uvc::ControlValue(uvc::VS_PROBE_CONTROL);
constexpr uint16_t kCommit = uvc::ControlValue(uvc::VS_COMMIT_CONTROL);
constexpr uint16_t kStreaming = uvc::ControlIndex(0, uvc::kStreamingInterface);
constexpr uint16_t kRegisterData = uvc::ControlValue(uvc::XU_REGISTER_DATA);
constexpr uint16_t kBridge = uvc::ControlIndex(uvc::kBridgeUnitId, 0);

using sim::UvcCamera;
using sim::VideoProbeCommit;

std::unique_ptr<UvcCamera> Make(const std::string& profile = "notebook", const std::string& file = "") {
  sim::CameraOptions o;
  o.profile = profile;
  o.descriptorFile = file;
  std::string err;
  auto cam = UvcCamera::Create(o, &err);
  EXPECT_TRUE(cam) << err;
  return cam;
}

NTSTATUS Get(UvcCamera* cam, uint8_t req, uint8_t entity, uint8_t sel, uint8_t* buf, uint32_t len, uint32_t* got = nullptr) {
  uint32_t n = len;
  NTSTATUS s = cam->ControlTransfer(req, uint16_t(sel << 8), uint16_t(entity << 8), buf, &n, true);
  if (got) *got = n;
  return s;
}
NTSTATUS Set(UvcCamera* cam, uint8_t entity, uint8_t sel, const void* buf, uint32_t len) {
  uint32_t n = len;
  return cam->ControlTransfer(uvc::SET_CUR, uvc::ControlValue(sel), uvc::ControlIndex(entity, 0),
                              static_cast<uint8_t*>(const_cast<void*>(buf)), &n, false);
}
int16_t Get16(UvcCamera* cam, uint8_t req, uint8_t entity, uint8_t sel) {
  uint8_t b[4] = {};
  EXPECT_EQ(Get(cam, req, entity, sel, b, 2), STATUS_SUCCESS) << int(entity) << "/" << int(sel);
  return int16_t(b[0] | b[1] << 8);
}
NTSTATUS Set16(UvcCamera* cam, uint8_t entity, uint8_t sel, int v) {
  uint8_t b[2] = {uint8_t(v), uint8_t(v >> 8)};
  return Set(cam, entity, sel, b, 2);
}

VideoProbeCommit Probe(UvcCamera* cam, uint8_t format, uint8_t frame, uint32_t interval, bool commit = false) {
  VideoProbeCommit p{};
  p.bFormatIndex = format;
  p.bFrameIndex = frame;
  p.dwFrameInterval = interval;
  uint32_t n = 26;
  EXPECT_EQ(cam->ControlTransfer(uvc::SET_CUR, kProbe, kStreaming, reinterpret_cast<uint8_t*>(&p), &n, false), STATUS_SUCCESS);
  VideoProbeCommit back{};
  n = 26;
  EXPECT_EQ(cam->ControlTransfer(uvc::GET_CUR, kProbe, kStreaming, reinterpret_cast<uint8_t*>(&back), &n, true), STATUS_SUCCESS);
  EXPECT_EQ(n, 26u);
  if (commit) {
    n = 26;
    EXPECT_EQ(cam->ControlTransfer(uvc::SET_CUR, kCommit, kStreaming, reinterpret_cast<uint8_t*>(&back), &n, false), STATUS_SUCCESS);
  }
  return back;
}

// The minidriver's choice of alternate setting for a maximum payload.
uint32_t DriverAlternate(uint32_t payload, size_t settings) {
  if (settings < 4) return payload < 956 ? 1 : 2;
  if (payload >= 2048) return 6;
  if (payload >= 1024) return 5;
  if (payload >= 512) return 4;
  if (payload >= 256) return 3;
  if (payload >= 128) return 2;
  return 1;
}

struct Frame {
  std::vector<uint8_t> data;
  std::vector<uint8_t> infos;
  size_t packets = 0;
  size_t largest = 0;
};

Frame NextFrame(UvcCamera* cam) {
  std::vector<std::vector<uint8_t>> packets;
  cam->NextFramePackets(&packets);
  Frame f;
  f.packets = packets.size();
  for (const auto& p : packets) {
    EXPECT_GE(p.size(), 12u);
    EXPECT_EQ(p[0], 12);
    f.infos.push_back(p[1]);
    f.largest = std::max(f.largest, p.size());
    f.data.insert(f.data.end(), p.begin() + 12, p.end());
  }
  return f;
}

sim::RgbImage DecodeJpeg(const std::vector<uint8_t>& jpeg) {
  sim::RgbImage img;
  tjhandle h = tjInitDecompress();
  int w = 0, hgt = 0, sub = 0, cs = 0;
  if (tjDecompressHeader3(h, jpeg.data(), jpeg.size(), &w, &hgt, &sub, &cs) == 0) {
    img.width = w;
    img.height = hgt;
    img.rgb.resize(size_t(w) * hgt * 3);
    if (tjDecompress2(h, jpeg.data(), jpeg.size(), img.rgb.data(), w, 0, hgt, TJPF_RGB, 0) != 0) img = {};
    EXPECT_EQ(sub, TJSAMP_422);
  }
  tjDestroy(h);
  return img;
}

// Mean of one channel over a rectangle.
int Mean(const sim::RgbImage& img, int x0, int y0, int x1, int y1, int c) {
  long sum = 0, n = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x, ++n) sum += img.rgb[(size_t(y) * img.width + x) * 3 + c];
  return n ? int(sum / n) : 0;
}

TEST(CameraProbe, AnswersWhatWasAskedAndAPayloadThatFitsTheSettings) {
  for (const char* profile : {"notebook", "basic"}) {
    auto cam = Make(profile);
    const auto& info = cam->Descriptors();
    uint32_t previous = 0;
    for (const auto& format : info.formats) {
      for (const auto& frame : format.frames) {
        SCOPED_TRACE(std::string(profile) + " " + std::to_string(format.index) + "/" + std::to_string(frame.index));
        auto a = Probe(cam.get(), format.index, frame.index, frame.defaultInterval);
        EXPECT_EQ(a.bFormatIndex, format.index);
        EXPECT_EQ(a.bFrameIndex, frame.index);
        EXPECT_EQ(uint32_t(a.dwFrameInterval), frame.defaultInterval);
        EXPECT_EQ(uint32_t(a.dwMaxVideoFrameSize), uint32_t(frame.width) * frame.height * 2);
        const uint32_t alt = DriverAlternate(uint32_t(a.dwMaxPayloadTransferSize), info.altSettings.size());
        EXPECT_LE(uint32_t(a.dwMaxPayloadTransferSize), cam->MaxPacketSize(alt));
        EXPECT_GT(uint32_t(a.dwMaxPayloadTransferSize), 12u);
        (void)previous;
      }
    }
  }
  auto cam = Make();
  // Bigger frames need bigger payloads; YUY2 640x480 needs one of the largest.
  const auto small = Probe(cam.get(), 1, 6, 333333);  // MJPG 160x120
  const auto large = Probe(cam.get(), 1, 2, 333333);  // MJPG 1280x720
  EXPECT_LT(uint32_t(small.dwMaxPayloadTransferSize), uint32_t(large.dwMaxPayloadTransferSize));
  const auto yuy2 = Probe(cam.get(), 2, 1, 333333);
  EXPECT_GE(uint32_t(yuy2.dwMaxPayloadTransferSize), 2048u);
  EXPECT_LT(uint32_t(Probe(cam.get(), 2, 5, 333333).dwMaxPayloadTransferSize), 512u);
}

TEST(CameraProbe, UnknownIndexesAndIntervalsGetTheNearestValidOnes) {
  auto cam = Make();
  auto a = Probe(cam.get(), 7, 3, 333333);
  EXPECT_EQ(a.bFormatIndex, 1);
  EXPECT_EQ(a.bFrameIndex, 3);
  a = Probe(cam.get(), 2, 40, 0);
  EXPECT_EQ(a.bFormatIndex, 2);
  EXPECT_EQ(a.bFrameIndex, 6);
  EXPECT_EQ(uint32_t(a.dwFrameInterval), 1000000u) << "default interval of 1280x720 YUY2";
  a = Probe(cam.get(), 1, 1, 700000);
  EXPECT_EQ(uint32_t(a.dwFrameInterval), 666666u);
  // Short probe writes stall and change nothing.
  uint8_t shortProbe[10] = {0, 0, 2, 2};
  uint32_t n = sizeof(shortProbe);
  EXPECT_NE(cam->ControlTransfer(uvc::SET_CUR, kProbe, kStreaming, shortProbe, &n, false), STATUS_SUCCESS);
  EXPECT_EQ(n, 0u);
  VideoProbeCommit back{};
  n = 26;
  cam->ControlTransfer(uvc::GET_CUR, kProbe, kStreaming, reinterpret_cast<uint8_t*>(&back), &n, true);
  EXPECT_EQ(uint32_t(back.dwFrameInterval), 666666u);
  // Commit fixes the streamed format.
  Probe(cam.get(), 2, 3, 333333, true);
  EXPECT_EQ(cam->Committed().bFormatIndex, 2);
  EXPECT_EQ(cam->Committed().bFrameIndex, 3);
}

TEST(CameraControls, ProcessingUnitRangesAndValues) {
  auto cam = Make();
  EXPECT_EQ(Get16(cam.get(), 0x82, 4, 2), -64);  // brightness minimum, answered as 0xFFC0
  uint8_t raw[4] = {};
  ASSERT_EQ(Get(cam.get(), 0x82, 4, 2, raw, 2), STATUS_SUCCESS);
  EXPECT_EQ(raw[0], 0xC0);
  EXPECT_EQ(raw[1], 0xFF);
  EXPECT_EQ(Get16(cam.get(), 0x83, 4, 2), 64);
  EXPECT_EQ(Get16(cam.get(), 0x87, 4, 1), 1);   // backlight default
  EXPECT_EQ(Get16(cam.get(), 0x82, 4, 9), 72);  // gamma
  EXPECT_EQ(Get16(cam.get(), 0x83, 4, 9), 500);
  EXPECT_EQ(Get16(cam.get(), 0x82, 4, 10), 2800);
  EXPECT_EQ(Get16(cam.get(), 0x83, 4, 10), 6500);
  EXPECT_EQ(Get16(cam.get(), 0x83, 4, 5), 2);
  EXPECT_LT(Get16(cam.get(), 0x82, 4, 6), 0);  // hue is signed
  for (uint8_t sel = 1; sel <= 10; ++sel) EXPECT_GE(Get16(cam.get(), 0x84, 4, sel), 1) << int(sel);

  ASSERT_EQ(Set16(cam.get(), 4, 2, -10), STATUS_SUCCESS);
  ASSERT_EQ(Get(cam.get(), 0x81, 4, 2, raw, 2), STATUS_SUCCESS);
  EXPECT_EQ(raw[0] | raw[1] << 8, 0xFFF6);
  // Out of range stalls and keeps the value.
  EXPECT_NE(Set16(cam.get(), 4, 2, 65), STATUS_SUCCESS);
  EXPECT_NE(Set16(cam.get(), 4, 9, 71), STATUS_SUCCESS);
  EXPECT_NE(Set16(cam.get(), 4, 10, 6501), STATUS_SUCCESS);
  EXPECT_EQ(Get16(cam.get(), 0x81, 4, 2), -10);
  // Automatic white balance is one byte.
  uint8_t one = 0;
  EXPECT_EQ(Set(cam.get(), 4, 11, &one, 1), STATUS_SUCCESS);
  uint32_t got = 0;
  ASSERT_EQ(Get(cam.get(), 0x81, 4, 11, raw, 4, &got), STATUS_SUCCESS);
  EXPECT_EQ(got, 1u);
  EXPECT_EQ(raw[0], 0);
  // Unknown selectors and units stall.
  EXPECT_NE(Get(cam.get(), 0x81, 4, 30, raw, 2), STATUS_SUCCESS);
  EXPECT_NE(Get(cam.get(), 0x81, 9, 2, raw, 2), STATUS_SUCCESS);
  // Too short a buffer stalls rather than writing past it.
  EXPECT_NE(Get(cam.get(), 0x81, 4, 2, raw, 1), STATUS_SUCCESS);
}

TEST(CameraControls, CameraTerminalExposureAndFocus) {
  auto cam = Make();
  uint8_t b[4] = {};
  uint8_t mode = 1;
  EXPECT_EQ(Set(cam.get(), 1, 2, &mode, 1), STATUS_SUCCESS);
  mode = 2;
  EXPECT_NE(Set(cam.get(), 1, 2, &mode, 1), STATUS_SUCCESS) << "only manual (1) and auto (8)";
  mode = 8;
  EXPECT_EQ(Set(cam.get(), 1, 2, &mode, 1), STATUS_SUCCESS);
  const uint8_t time[4] = {0x10, 0x27, 0, 0};  // 10000
  EXPECT_EQ(Set(cam.get(), 1, 4, time, 4), STATUS_SUCCESS);
  uint32_t got = 0;
  ASSERT_EQ(Get(cam.get(), 0x81, 1, 4, b, 4, &got), STATUS_SUCCESS);
  EXPECT_EQ(got, 4u);
  EXPECT_EQ(b[0] | b[1] << 8, 10000);
  EXPECT_NE(Set(cam.get(), 1, 4, time, 2), STATUS_SUCCESS) << "exposure time is four bytes";
  EXPECT_EQ(Set16(cam.get(), 1, 6, 120), STATUS_SUCCESS);
  EXPECT_NE(Set16(cam.get(), 1, 6, 201), STATUS_SUCCESS);
  int32_t v = 0;
  ASSERT_TRUE(cam->ControlValue(1, 6, &v));
  EXPECT_EQ(v, 120);
  // The basic camera has no focus.
  auto basic = Make("basic");
  EXPECT_NE(Set16(basic.get(), 1, 6, 10), STATUS_SUCCESS);
  EXPECT_NE(Get(basic.get(), 0x81, 1, 8, b, 1), STATUS_SUCCESS);
}

NTSTATUS Bridge(UvcCamera* cam, uint8_t sel, uint16_t addr, uint8_t value, uint8_t cmd = 0x01) {
  uint8_t rec[4] = {cmd, uint8_t(addr), uint8_t(addr >> 8), value};
  uint32_t n = 4;
  return cam->ControlTransfer(uvc::SET_CUR, uvc::ControlValue(sel), kBridge, rec, &n, false);
}
int ReadRegister(UvcCamera* cam, uint16_t addr) {
  if (Bridge(cam, 2, addr, 0) != STATUS_SUCCESS) return -1;
  uint8_t rec[4] = {};
  uint32_t n = 4;
  if (cam->ControlTransfer(uvc::GET_CUR, kRegisterData, kBridge, rec, &n, true) != STATUS_SUCCESS || n != 4) return -1;
  return rec[3];
}

TEST(CameraBridge, RegistersReadWriteAndLed) {
  auto cam = Make();
  EXPECT_EQ(ReadRegister(cam.get(), 0xF004), 0x03);
  EXPECT_EQ(ReadRegister(cam.get(), 0xF013), 0x00);
  ASSERT_EQ(Bridge(cam.get(), 4, 0xF004, 0x06), STATUS_SUCCESS);
  EXPECT_EQ(ReadRegister(cam.get(), 0xF004), 0x06);
  EXPECT_EQ(cam->Register(0xF004), 0x06);
  EXPECT_FALSE(cam->LedOn());
  ASSERT_EQ(Bridge(cam.get(), 4, 0xE007, 0), STATUS_SUCCESS);
  EXPECT_TRUE(cam->LedOn());
  ASSERT_EQ(Bridge(cam.get(), 4, 0xE006, 0), STATUS_SUCCESS);
  EXPECT_FALSE(cam->LedOn());
  // A record without the command byte, a short record or another selector stalls.
  EXPECT_NE(Bridge(cam.get(), 4, 0xF004, 0, 0x02), STATUS_SUCCESS);
  EXPECT_EQ(cam->Register(0xF004), 0x06);
  EXPECT_NE(Bridge(cam.get(), 3, 0xF004, 0), STATUS_SUCCESS);
  uint8_t rec[4] = {1, 4, 0xF0, 0};
  uint32_t n = 3;
  EXPECT_NE(cam->ControlTransfer(uvc::SET_CUR, kRegisterData, kBridge, rec, &n, false), STATUS_SUCCESS);
}

TEST(CameraStreaming, PacketsCarryHeadersAndRespectThePayload) {
  auto cam = Make();
  std::vector<std::vector<uint8_t>> none;
  cam->NextFramePackets(&none);
  EXPECT_TRUE(none.empty()) << "no packets before streaming";
  const auto a = Probe(cam.get(), 1, 1, 333333, true);  // MJPG 640x480
  const uint32_t alt = DriverAlternate(uint32_t(a.dwMaxPayloadTransferSize), 7);
  cam->SetAlternateSetting(alt);
  ASSERT_TRUE(cam->Streaming());
  uint8_t lastFid = 0xFF;
  for (int i = 0; i < 3; ++i) {
    Frame f = NextFrame(cam.get());
    ASSERT_GT(f.packets, 1u);
    EXPECT_LE(f.largest, uint32_t(a.dwMaxPayloadTransferSize));
    for (size_t k = 0; k < f.infos.size(); ++k) {
      EXPECT_TRUE(f.infos[k] & 0x80) << "end of header";
      EXPECT_EQ(bool(f.infos[k] & 0x02), k + 1 == f.infos.size()) << "end of frame only on the last packet";
      EXPECT_EQ(f.infos[k] & 0x01, f.infos[0] & 0x01) << "one frame id per frame";
      EXPECT_FALSE(f.infos[k] & 0x60);
    }
    EXPECT_NE(f.infos[0] & 0x01, lastFid) << "frame id toggles";
    lastFid = f.infos[0] & 0x01;
    EXPECT_LE(f.data.size(), uint32_t(a.dwMaxVideoFrameSize));
    auto img = DecodeJpeg(f.data);
    EXPECT_EQ(img.width, 640);
    EXPECT_EQ(img.height, 480);
  }
  EXPECT_EQ(cam->FramesProduced(), 3u);
  // Still and error bits.
  cam->MarkNextFrameStill();
  cam->InjectErrorPackets(2);
  Frame still = NextFrame(cam.get());
  for (auto info : still.infos) EXPECT_TRUE(info & 0x20);
  EXPECT_TRUE(still.infos[0] & 0x40);
  EXPECT_TRUE(still.infos[1] & 0x40);
  EXPECT_FALSE(still.infos[2] & 0x40);
  Frame after = NextFrame(cam.get());
  for (auto info : after.infos) EXPECT_FALSE(info & 0x60);
  cam->SetAlternateSetting(0);
  std::vector<std::vector<uint8_t>> stopped;
  cam->NextFramePackets(&stopped);
  EXPECT_TRUE(stopped.empty());
}

TEST(CameraStreaming, Yuy2FramesAreWholeAndCountFrames) {
  auto cam = Make();
  Probe(cam.get(), 2, 4, 333333, true);  // YUY2 176x144
  cam->SetAlternateSetting(3);
  for (uint32_t i = 0; i < 3; ++i) {
    Frame f = NextFrame(cam.get());
    ASSERT_EQ(f.data.size(), 176u * 144 * 2);
    EXPECT_LE(f.largest, 512u);
    sim::RgbImage rgb;
    sim::Yuy2ToRgb(f.data.data(), 176, 144, &rgb);
    EXPECT_EQ(sim::ReadTestSceneCounter(rgb), i);
  }
  // A setting smaller than the negotiated payload still bounds the packets.
  cam->SetAlternateSetting(1);
  Frame f = NextFrame(cam.get());
  EXPECT_LE(f.largest, 128u);
  EXPECT_EQ(f.data.size(), 176u * 144 * 2);
  // A setting the camera does not have is refused.
  cam->SetAlternateSetting(9);
  EXPECT_EQ(cam->AlternateSetting(), 1u);
}

// Streams one YUY2 640x480 frame and returns it as RGB.
sim::RgbImage Shoot(UvcCamera* cam) {
  Probe(cam, 2, 1, 333333, true);
  cam->SetAlternateSetting(6);
  Frame f = NextFrame(cam);
  sim::RgbImage rgb;
  sim::Yuy2ToRgb(f.data.data(), 640, 480, &rgb);
  return rgb;
}

TEST(CameraPicture, RegistersAndControlsChangeThePicture) {
  auto cam = Make();
  const auto plain = Shoot(cam.get());
  // The orange block sits on the left, in the lower half.
  EXPECT_GT(Mean(plain, 60, 240, 150, 380, 0), 200);
  EXPECT_LT(Mean(plain, 490, 240, 580, 380, 0) - Mean(plain, 490, 240, 580, 380, 2), 60);
  // Mirrored (bit 0 cleared): the block is on the right.
  cam->SetRegister(0xF004, 0x02);
  auto mirrored = Shoot(cam.get());
  EXPECT_GT(Mean(mirrored, 490, 240, 580, 380, 0) - Mean(mirrored, 490, 240, 580, 380, 2), 120);
  // Flipped (bit 1 cleared): the colour bars go to the bottom.
  cam->SetRegister(0xF004, 0x01);
  auto flipped = Shoot(cam.get());
  EXPECT_GT(Mean(flipped, 0, 0, 80, 60, 1), 60);  // floor colour, not sky
  EXPECT_GT(Mean(flipped, 0, 370, 80, 430, 0), 200) << "white bar now near the bottom";
  // Black and white: no colour anywhere.
  cam->SetRegister(0xF004, 0x07);
  auto grey = Shoot(cam.get());
  for (int x = 0; x < 640; x += 80) {
    const uint8_t* p = &grey.rgb[(size_t(100) * 640 + x) * 3];
    EXPECT_NEAR(p[0], p[2], 3);
    EXPECT_NEAR(p[0], p[1], 3);
  }
  cam->SetRegister(0xF004, 0x03);
  // Brightness raises the picture, low light too; outdoor warms it.
  const int base = Mean(plain, 200, 120, 440, 360, 1);
  Set16(cam.get(), 4, 2, 60);
  EXPECT_GT(Mean(Shoot(cam.get()), 200, 120, 440, 360, 1), base + 40);
  Set16(cam.get(), 4, 2, 0);
  cam->SetRegister(0xF013, 0x01);
  EXPECT_GT(Mean(Shoot(cam.get()), 200, 120, 440, 360, 1), base + 20);
  cam->SetRegister(0xF013, 0x02);
  auto outdoor = Shoot(cam.get());
  EXPECT_GT(Mean(outdoor, 300, 300, 400, 400, 0) - Mean(outdoor, 300, 300, 400, 400, 2),
            Mean(plain, 300, 300, 400, 400, 0) - Mean(plain, 300, 300, 400, 400, 2) + 15);
  cam->SetRegister(0xF013, 0x00);
  // Saturation 0 greys the colour bars.
  Set16(cam.get(), 4, 7, 0);
  auto desat = Shoot(cam.get());
  EXPECT_LT(std::abs(Mean(desat, 420, 60, 460, 110, 0) - Mean(desat, 420, 60, 460, 110, 1)), 12);
}

TEST(CameraButton, PressIsReportedOnce) {
  auto cam = Make();
  EXPECT_EQ(cam->TakeButtonState(), 0u);
  for (uint32_t state : {1u, 2u, 4u}) {
    cam->PressButton(state);
    EXPECT_EQ(cam->TakeButtonState(), state);
    EXPECT_EQ(cam->TakeButtonState(), 0u);
  }
}

TEST(CameraCreate, BadOptionsFailWithAReason) {
  std::string err;
  sim::CameraOptions o;
  o.profile = "toaster";
  EXPECT_FALSE(sim::Camera::Create(o, &err));
  EXPECT_NE(err.find("toaster"), std::string::npos);
  o = {};
  o.descriptorFile = "/nonexistent/cam.bin";
  EXPECT_FALSE(sim::Camera::Create(o, &err));
  o = {};
  o.sourceFile = "/nonexistent/pic.png";
  EXPECT_FALSE(sim::Camera::Create(o, &err));
  o = {};
  o.scene = "beach";
  EXPECT_FALSE(sim::Camera::Create(o, &err));
  // A descriptor without any streamable format.
  const auto path = std::filesystem::temp_directory_path() / "qcam_cam_nofmt.bin";
  const uint8_t config[9] = {9, 2, 9, 0, 0, 1, 0, 0x80, 50};
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(config), 9);
  o = {};
  o.descriptorFile = path.string();
  EXPECT_FALSE(sim::Camera::Create(o, &err));
  EXPECT_FALSE(err.empty());
}

TEST(CameraFromFile, StreamsItsOwnFormatsAndSizes) {
  auto cam = Make("notebook", std::string(QCAM_TESTDATA_DIR) + "/cameras/bison_hd_webcam_5986_211b.bin");
  ASSERT_TRUE(cam);
  EXPECT_EQ(cam->DeviceDescriptor().bLength, 18);
  // MJPEG 1280x720 is its format 1, frame 1.
  const auto a = Probe(cam.get(), 1, 1, 333333, true);
  EXPECT_EQ(a.bFormatIndex, 1);
  cam->SetAlternateSetting(11);
  Frame f = NextFrame(cam.get());
  EXPECT_LE(f.largest, uint32_t(a.dwMaxPayloadTransferSize));
  auto img = DecodeJpeg(f.data);
  EXPECT_EQ(img.width, 1280);
  EXPECT_EQ(img.height, 720);
  // Its processing unit is id 2 in its descriptor; 4 answers as well.
  EXPECT_EQ(Get16(cam.get(), 0x82, 2, 2), -64);
  EXPECT_EQ(Get16(cam.get(), 0x82, 4, 2), -64);
}

TEST(CameraSource, StillPictureFromFileIsScaledToTheFrame) {
  sim::RgbImage red;
  red.width = 40;
  red.height = 30;
  red.rgb.assign(40 * 30 * 3, 0);
  for (size_t i = 0; i < red.rgb.size(); i += 3) red.rgb[i] = 220;
  const auto path = (std::filesystem::temp_directory_path() / "qcam_cam_red.png").string();
  std::string err;
  ASSERT_TRUE(sim::WritePng(path, red, &err)) << err;
  sim::CameraOptions o;
  o.sourceFile = path;
  auto cam = UvcCamera::Create(o, &err);
  ASSERT_TRUE(cam) << err;
  auto pic = Shoot(cam.get());
  EXPECT_GT(Mean(pic, 0, 0, 640, 480, 0), 180);
  EXPECT_LT(Mean(pic, 0, 0, 640, 480, 1), 40);
}

}  // namespace
