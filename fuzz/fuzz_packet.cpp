// Fuzzes the packet routine and the frame pipeline of a plugged-in camera:
// the input is cut into isochronous packets (a length byte, then that many
// bytes), each goes through the packet routine, and every completed frame
// through raw frame processing of a 160x120 YUY2 stream.
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "driver/core/device_state.h"
#include "driver/core/driver.h"
#include "platform/nt/platform_control.h"
#include "shared/qcam_defs.h"
#include "sim/class_driver.h"
#include "sim/uvc_descriptors.h"

namespace {

// The smallest camera that plugs in: the notebook descriptors, probe echoed.
class EchoCamera : public sim::Camera {
 public:
  EchoCamera() : config_(sim::BuildProfileDescriptor("notebook")) {}
  const std::vector<uint8_t>& ConfigurationDescriptor() const override { return config_; }
  USB_DEVICE_DESCRIPTOR DeviceDescriptor() const override { return sim::ProfileDeviceDescriptor("notebook"); }
  NTSTATUS ControlTransfer(uint8_t, uint16_t value, uint16_t index, uint8_t* data, uint32_t* length,
                           bool getData) override {
    if (value == 0x0100 && index == 1 && *length == 26) {
      if (getData) memcpy(data, probe_, 26); else memcpy(probe_, data, 26);
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
  uint8_t probe_[26] = {};
};

struct Rig {
  EchoCamera camera;
  sim::ClassDriver driver;
  CameraDeviceState* dev = nullptr;
  Rig() {
    platform::ResetMachine();
    driver.Plug(&DriverEntry, &camera);
    dev = static_cast<CameraDeviceState*>(driver.DeviceContext());
    KS_DATAFORMAT_VIDEOINFOHEADER f = {};
    f.DataFormat.FormatSize = sizeof(f);
    f.VideoInfoHeader.bmiHeader.biSize = 40;
    f.VideoInfoHeader.bmiHeader.biCompression = qcam::kFourCC_YUY2;
    f.VideoInfoHeader.bmiHeader.biWidth = 160;
    f.VideoInfoHeader.bmiHeader.biHeight = 120;
    ULONG raw = 0;
    driver.Callbacks()->CamAllocateBandwidthEx(nullptr, dev, &raw, &f, 0);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Rig* rig = new Rig;
  if (size > 200000) return 0;
  const USBCAMD_DEVICE_DATA2* cb = rig->driver.Callbacks();
  CameraDeviceState* dev = rig->dev;
  dev->EndOfFrameMode = size ? data[0] & 1 : 0;
  std::vector<uint8_t> raw, out(160 * 120 * 2);
  size_t pos = size ? 1 : 0;
  while (pos < size) {
    size_t len = size_t(data[pos]) * 8;  // packets of up to 2 KiB
    ++pos;
    if (len > size - pos) len = size - pos;
    std::vector<uint8_t> packet(data + pos, data + pos + len);  // exact size
    pos += len;
    USBD_ISO_PACKET_DESCRIPTOR iso = {0, ULONG(packet.size()), 0};
    BOOLEAN complete = FALSE;
    ULONG flags = 0, offset = 0;
    ULONG n = cb->CamProcessUSBPacketEx(nullptr, dev, nullptr, nullptr, nullptr, &iso,
                                        packet.empty() ? nullptr : packet.data(), &complete, &flags, &offset);
    if (n > packet.size() || (n && offset + n > packet.size())) __builtin_trap();
    if (n) raw.insert(raw.end(), packet.begin() + offset, packet.begin() + offset + n);
    if (complete) {
      ULONG bytes = 0;
      std::vector<uint8_t> exact(raw);
      cb->CamProcessRawVideoFrameEx(nullptr, dev, nullptr, out.data(), ULONG(out.size()),
                                    exact.empty() ? nullptr : exact.data(), ULONG(exact.size()), 1, &bytes,
                                    ULONG(exact.size()), 0);
      if (bytes > out.size()) __builtin_trap();
      raw.clear();
    }
  }
  dev->StillPending = 0;
  return 0;
}
