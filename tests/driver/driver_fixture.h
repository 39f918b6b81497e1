// A camera double and a fixture that plugs it into the simulated class driver
// with the real driver: tests control exactly what the camera answers and
// which packets it sends, and see every control request the driver makes.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "driver/core/camera_control.h"
#include "driver/core/device_state.h"
#include "driver/core/driver.h"
#include "driver/core/formats.h"
#include "driver/core/frame_pipeline.h"
#include "driver/core/settings.h"
#include "driver/core/stream_negotiation.h"
#include "platform/nt/platform_control.h"
#include "shared/qcam_defs.h"
#include "shared/uvc_wire.h"
#include "sim/class_driver.h"
#include "sim/uvc_descriptors.h"
#include "tests/support/driver_rig.h"

namespace drivertest {

struct ControlCall {
  uint8_t request;
  uint16_t value;
  uint16_t index;
  std::vector<uint8_t> data;  // as sent (set) or as answered (get)
};

class ScriptedCamera : public sim::Camera {
 public:
  explicit ScriptedCamera(std::vector<uint8_t> configuration) : configuration_(std::move(configuration)) {}

  const std::vector<uint8_t>& ConfigurationDescriptor() const override { return configuration_; }
  USB_DEVICE_DESCRIPTOR DeviceDescriptor() const override {
    USB_DEVICE_DESCRIPTOR d = {};
    d.bLength = 18;
    d.bDescriptorType = 1;
    return d;
  }
  NTSTATUS ControlTransfer(uint8_t request, uint16_t value, uint16_t index, uint8_t* data, uint32_t* length,
                           bool getData) override {
    const bool probe = value == uvc::ControlValue(uvc::VS_PROBE_CONTROL) &&
                       index == uvc::ControlIndex(0, uvc::kStreamingInterface);
    if (getData && probe && failProbeGet) {
      // A stall: nothing is written into the caller's buffer.
      *length = 0;
      calls.push_back({request, value, index, {}});
      return STATUS_UNSUCCESSFUL;
    }
    if (getData && probe) {
      // Probe read-back: what was set, with the payload size this test chose.
      memcpy(data, probe_, uvc::kProbeCommitSize);
      if (payload_) WriteLe32(data + offsetof(uvc::VideoProbeCommit, dwMaxPayloadTransferSize), payload_);
    } else if (!getData && probe && *length >= uvc::kProbeCommitSize) {
      memcpy(probe_, data, uvc::kProbeCommitSize);
    } else if (getData && (request == uvc::GET_MIN || request == uvc::GET_MAX || request == uvc::GET_RES ||
                           request == uvc::GET_DEF)) {
      uint16_t v = request == uvc::GET_MIN ? 0 : request == uvc::GET_MAX ? 255 : request == uvc::GET_RES ? 1 : 128;
      memset(data, 0, *length);
      if (*length >= 2) {
        data[0] = uint8_t(v);
        data[1] = uint8_t(v >> 8);
      }
    } else if (getData) {
      memset(data, 0, *length);
    }
    calls.push_back({request, value, index, std::vector<uint8_t>(data, data + *length)});
    return STATUS_SUCCESS;
  }
  void SetAlternateSetting(uint32_t alt) override { alternateSetting = alt; }
  uint32_t MaxPacketSize(uint32_t) const override { return 3072; }
  void NextFramePackets(std::vector<std::vector<uint8_t>>* packets) override {
    if (frames.empty()) return;
    for (auto& p : frames.front()) packets->push_back(p);
    frames.pop_front();
  }
  void MarkNextFrameStill() override {}
  void InjectErrorPackets(uint32_t) override {}
  void PressButton(uint32_t state) override { button = state; }
  uint32_t TakeButtonState() override {
    uint32_t s = button;
    button = 0;
    return s;
  }
  uint32_t FramesProduced() const override { return 0; }
  sim::FaceTruth LastFaceTruth() const override { return {}; }

  // The probe answer's dwMaxPayloadTransferSize (0: echo what was set).
  void SetPayloadAnswer(uint32_t payload) { payload_ = payload; }
  const uint8_t* LastProbe() const { return probe_; }

  std::vector<ControlCall> calls;
  bool failProbeGet = false;  // the probe read-back stalls
  std::deque<std::vector<std::vector<uint8_t>>> frames;  // scripted packets, one entry per frame
  uint32_t alternateSetting = 0;
  uint32_t button = 0;

 private:
  std::vector<uint8_t> configuration_;
  uint8_t probe_[uvc::kProbeCommitSize] = {};
  uint32_t payload_ = 0;
};

// A packet with a 12-byte payload header.
inline std::vector<uint8_t> Packet(uint8_t info, const std::vector<uint8_t>& data) {
  std::vector<uint8_t> p(uvc::kPayloadHeaderLength + data.size(), 0);
  p[uvc::PayloadHeaderField::bHeaderLength] = uvc::kPayloadHeaderLength;
  p[uvc::PayloadHeaderField::bmHeaderInfo] = uint8_t(info | uvc::UVC_STREAM_EOH);
  std::copy(data.begin(), data.end(), p.begin() + uvc::kPayloadHeaderLength);
  return p;
}

inline std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A video format for a slot the driver offers.
inline KS_DATAFORMAT_VIDEOINFOHEADER FormatOfSlot(const HW_STREAM_INFORMATION& info, ULONG slot) {
  const KS_DATARANGE_VIDEO* r = reinterpret_cast<const KS_DATARANGE_VIDEO*>(info.StreamFormatsArray[slot]);
  KS_DATAFORMAT_VIDEOINFOHEADER f = {};
  f.DataFormat = r->DataRange;
  f.DataFormat.FormatSize = sizeof(f);
  f.VideoInfoHeader = r->VideoInfoHeader;
  return f;
}

// Finds the offered slot with a FourCC and size; -1 when none.
inline int FindSlot(const HW_STREAM_INFORMATION& info, uint32_t fourcc, int width, int height) {
  for (ULONG i = 0; i < info.NumberOfFormatArrayEntries; ++i) {
    const KS_DATARANGE_VIDEO* r = reinterpret_cast<const KS_DATARANGE_VIDEO*>(info.StreamFormatsArray[i]);
    if (r->VideoInfoHeader.bmiHeader.biCompression == fourcc && r->VideoInfoHeader.bmiHeader.biWidth == width &&
        r->VideoInfoHeader.bmiHeader.biHeight == height)
      return int(i);
  }
  return -1;
}

class DriverFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = std::filesystem::temp_directory_path() /
            ("qcam-driver-" + std::to_string(::getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(root_);
    ASSERT_TRUE(platform::SetRoot(root_.string()));
    poolAtStart_ = platform::PoolOutstanding();
    std::filesystem::create_directories(root_ / "Windows");
    platform::RegCreateKeyPath(qcam::kKeyCurrentA);
    platform::RegCreateKeyPath(qcam::kKeyDefaultA);
    platform::RegCreateKeyPath(qcam::kKeyUcamA);
  }
  void TearDown() override {
    // Tests that allocate bandwidth through the callback directly release it
    // the same way; the class driver only releases what it allocated.
    if (driver_ && Cb()) Cb()->CamFreeBandwidthEx(nullptr, Dev(), 0);
    driver_.reset();
    camera_.reset();
    simCamera_.reset();
    EXPECT_EQ(platform::PoolOutstanding(), poolAtStart_) << "pool blocks leaked";
    platform::SetRoot("");
    std::filesystem::remove_all(root_);
  }

  void Plug(const std::string& profile = "notebook") { PlugBytes(sim::BuildProfileDescriptor(profile)); }
  void PlugBytes(std::vector<uint8_t> configuration) {
    camera_ = std::make_unique<ScriptedCamera>(std::move(configuration));
    driver_ = std::make_unique<sim::ClassDriver>();
    ASSERT_EQ(driver_->Plug(&DriverEntry, camera_.get()), STATUS_SUCCESS);
  }
  // Plugs the simulated camera (not the scripted one) in.
  void PlugSim(const std::string& profile = "notebook") {
    sim::CameraOptions options;
    options.profile = profile;
    std::string error;
    simCamera_ = sim::Camera::Create(options, &error);
    ASSERT_TRUE(simCamera_) << error;
    driver_ = std::make_unique<sim::ClassDriver>();
    ASSERT_EQ(driver_->Plug(&DriverEntry, simCamera_.get()), STATUS_SUCCESS);
  }
  CameraDeviceState* Dev() { return static_cast<CameraDeviceState*>(driver_->DeviceContext()); }
  const USBCAMD_DEVICE_DATA2* Cb() { return driver_->Callbacks(); }
  const HW_STREAM_INFORMATION& Capture() { return driver_->StreamInfo()[0]; }

  NTSTATUS Allocate(uint32_t fourcc, int width, int height, ULONG* rawLength = nullptr) {
    KS_DATAFORMAT_VIDEOINFOHEADER f = rig::VideoFormat(fourcc, width, height);
    ULONG len = 0;
    return Cb()->CamAllocateBandwidthEx(nullptr, Dev(), rawLength ? rawLength : &len, &f, 0);
  }

  ULONG PacketResult(const std::vector<uint8_t>& packet, BOOLEAN* complete, ULONG* flags = nullptr) {
    USBD_ISO_PACKET_DESCRIPTOR iso = {0, ULONG(packet.size()), 0};
    ULONG f = 0, offset = 0;
    ULONG n = Cb()->CamProcessUSBPacketEx(nullptr, Dev(), nullptr, nullptr, nullptr, &iso,
                                         const_cast<uint8_t*>(packet.data()), complete, &f, &offset);
    if (flags) *flags = f;
    return n;
  }

  uint32_t Status() {
    uint32_t v = 0;
    platform::RegGetDword(qcam::kKeyCurrentA, "CameraStatus", &v);
    return v;
  }

  std::filesystem::path root_;
  long poolAtStart_ = 0;
  std::unique_ptr<ScriptedCamera> camera_;
  std::unique_ptr<sim::Camera> simCamera_;
  std::unique_ptr<sim::ClassDriver> driver_;
};

}  // namespace drivertest
