// A plugged-in driver on the simulated class driver with the smallest camera
// that negotiates (the notebook descriptors, probe echoed back), for fuzzers
// and benchmarks that drive single callbacks.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "driver/core/device_state.h"
#include "driver/core/driver.h"
#include "platform/nt/platform_control.h"
#include "shared/qcam_defs.h"
#include "sim/class_driver.h"
#include "shared/uvc_wire.h"
#include "sim/uvc_descriptors.h"

namespace rig {

class EchoCamera : public sim::Camera {
 public:
  EchoCamera() : config_(sim::BuildProfileDescriptor("notebook")) {}
  const std::vector<uint8_t>& ConfigurationDescriptor() const override { return config_; }
  USB_DEVICE_DESCRIPTOR DeviceDescriptor() const override { return sim::ProfileDeviceDescriptor("notebook"); }
  NTSTATUS ControlTransfer(uint8_t, uint16_t value, uint16_t index, uint8_t* data, uint32_t* length,
                           bool getData) override {
    if (value == uvc::ControlValue(uvc::VS_PROBE_CONTROL) && index == uvc::ControlIndex(0, uvc::kStreamingInterface) &&
        *length == uvc::kProbeCommitSize) {
      if (getData)
        memcpy(data, probe_, uvc::kProbeCommitSize);
      else
        memcpy(probe_, data, uvc::kProbeCommitSize);
    } else if (getData) {
      memset(data, 0, *length);
    }
    return STATUS_SUCCESS;
  }
  void SetAlternateSetting(uint32_t) override {}
  uint32_t MaxPacketSize(uint32_t) const override { return 3072; }
  void NextFramePackets(std::vector<std::vector<uint8_t>>*) override {}
  void MarkNextFrameStill() override {}
  void InjectErrorPackets(uint32_t) override {}
  void PressButton(uint32_t) override {}
  uint32_t TakeButtonState() override { return 0; }
  uint32_t FramesProduced() const override { return 0; }
  sim::FaceTruth LastFaceTruth() const override { return {}; }

 private:
  std::vector<uint8_t> config_;
  uint8_t probe_[uvc::kProbeCommitSize] = {};
};

// A capture format as an application hands it to bandwidth allocation.
inline KS_DATAFORMAT_VIDEOINFOHEADER VideoFormat(uint32_t fourcc, int width, int height) {
  KS_DATAFORMAT_VIDEOINFOHEADER f = {};
  f.DataFormat.FormatSize = sizeof(f);
  f.VideoInfoHeader.bmiHeader.biSize = 40;
  f.VideoInfoHeader.bmiHeader.biCompression = fourcc;
  f.VideoInfoHeader.bmiHeader.biWidth = width;
  f.VideoInfoHeader.bmiHeader.biHeight = height;
  f.VideoInfoHeader.AvgTimePerFrame = 333333;
  return f;
}

// Plugs the camera in on a memory-only machine and allocates bandwidth for
// one stream format and size.
struct DriverRig {
  EchoCamera camera;
  sim::ClassDriver driver;
  CameraDeviceState* dev = nullptr;
  ULONG rawLength = 0;
  NTSTATUS allocation = STATUS_UNSUCCESSFUL;

  DriverRig(uint32_t fourcc, int width, int height) {
    platform::ResetMachine();
    driver.Plug(&DriverEntry, &camera);
    dev = static_cast<CameraDeviceState*>(driver.DeviceContext());
    KS_DATAFORMAT_VIDEOINFOHEADER f = VideoFormat(fourcc, width, height);
    allocation = driver.Callbacks()->CamAllocateBandwidthEx(nullptr, dev, &rawLength, &f, 0);
  }
  const USBCAMD_DEVICE_DATA2* cb() const { return driver.Callbacks(); }
};

}  // namespace rig
