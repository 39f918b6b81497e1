// A camera double with working controls and bridge registers, plugged into
// the simulated class driver with the real driver, and helpers that send
// property requests the way the stream class brings them.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "driver/core/device_state.h"
#include "driver/core/driver.h"
#include "driver/core/props_internal.h"
#include "platform/nt/platform_control.h"
#include "shared/qcam_defs.h"
#include "shared/uvc_wire.h"
#include "sim/class_driver.h"
#include "sim/uvc_descriptors.h"

namespace propstest {

struct Call {
  uint8_t request;
  uint16_t value;
  uint16_t index;
  std::vector<uint8_t> data;  // as sent (set) or as answered (get)
  bool get;
};

struct Control {
  int32_t cur = 0, min = 0, max = 0, res = 1, def = 0;
};

// Answers like the notebook camera: processing-unit and camera-terminal
// controls with ranges, the bridge registers behind extension unit 5, the
// probe echoed back, the snapshot button.
class ControlCamera : public sim::Camera {
 public:
  explicit ControlCamera(std::vector<uint8_t> configuration) : configuration_(std::move(configuration)) {
    // Processing unit (4): selector -> control.
    pu[2] = {0, -64, 64, 1, 0};          // brightness
    pu[3] = {32, 0, 95, 1, 32};          // contrast
    pu[9] = {100, 100, 300, 1, 100};     // gamma
    pu[7] = {64, 0, 100, 1, 64};         // saturation
    pu[6] = {0, -40, 40, 1, 0};          // hue
    pu[8] = {2, 0, 7, 1, 2};             // sharpness
    pu[4] = {0, 0, 100, 1, 0};           // gain
    pu[1] = {1, 0, 2, 1, 1};             // backlight compensation
    pu[5] = {2, 0, 2, 1, 2};             // power-line frequency
    pu[10] = {4600, 2800, 6500, 1, 4600};  // white balance temperature
    pu[11] = {1, 0, 1, 1, 1};            // white balance automatic
    // Camera terminal (1).
    ct[2] = {8, 1, 8, 1, 8};             // automatic exposure mode
    ct[4] = {156, 1, 10000, 1, 156};     // exposure time
    ct[6] = {0, 0, 200, 1, 0};           // focus
    ct[8] = {1, 0, 1, 1, 1};             // automatic focus
    reg[0xF004] = 0x03;
    reg[0xF013] = 0x00;
  }

  const std::vector<uint8_t>& ConfigurationDescriptor() const override { return configuration_; }
  USB_DEVICE_DESCRIPTOR DeviceDescriptor() const override { return sim::ProfileDeviceDescriptor("notebook"); }

  NTSTATUS ControlTransfer(uint8_t request, uint16_t value, uint16_t index, uint8_t* data, uint32_t* length,
                           bool getData) override {
    uint8_t selector = uvc::SelectorOf(value);
    uint8_t unit = uvc::EntityOf(index);
    NTSTATUS status = STATUS_SUCCESS;
    if (index == uvc::ControlIndex(0, uvc::kStreamingInterface)) {  // probe and commit
      if (getData)
        memcpy(data, probe_, std::min<uint32_t>(*length, uvc::kProbeCommitSize));
      else
        memcpy(probe_, data, std::min<uint32_t>(*length, uvc::kProbeCommitSize));
    } else if (unit == uvc::kBridgeUnitId) {
      if (!getData && selector == uvc::XU_REGISTER_SELECT && *length >= uvc::kXuRecordSize) {
        address_ = uint16_t(data[1] | data[2] << 8);
      } else if (getData && selector == uvc::XU_REGISTER_DATA && failBridgeReads) {
        status = STATUS_UNSUCCESSFUL;
      } else if (getData && selector == uvc::XU_REGISTER_DATA && *length >= uvc::kXuRecordSize) {
        data[0] = 1;
        data[1] = uint8_t(address_);
        data[2] = uint8_t(address_ >> 8);
        data[3] = reg[address_];
      } else if (!getData && selector == uvc::XU_REGISTER_DATA && *length >= uvc::kXuRecordSize) {
        uint16_t a = uint16_t(data[1] | data[2] << 8);
        reg[a] = data[3];
        writes.push_back({a, data[3]});
      } else {
        status = STATUS_UNSUCCESSFUL;
      }
    } else if (unit == uvc::kProcessingUnitId || unit == uvc::kCameraTerminalId) {
      auto& map = unit == uvc::kProcessingUnitId ? pu : ct;
      auto it = map.find(selector);
      if (it == map.end()) {
        status = STATUS_UNSUCCESSFUL;
      } else if (getData) {
        const Control& c = it->second;
        int32_t v = request == uvc::GET_CUR ? c.cur : request == uvc::GET_MIN ? c.min
                  : request == uvc::GET_MAX ? c.max : request == uvc::GET_RES ? c.res : c.def;
        for (uint32_t i = 0; i < *length; ++i) data[i] = uint8_t(uint32_t(v) >> (8 * (i < 4 ? i : 3)));
      } else if (request == uvc::SET_CUR) {
        uint32_t v = 0;
        for (uint32_t i = 0; i < *length && i < 4; ++i) v |= uint32_t(data[i]) << (8 * i);
        // Sign-extend what the wire width carries.
        if (*length == 2) v = uint32_t(int32_t(int16_t(v)));
        it->second.cur = int32_t(v);
      }
    } else {
      status = STATUS_UNSUCCESSFUL;
    }
    if (!NT_SUCCESS(status)) {
      *length = 0;
    }
    calls.push_back({request, value, index, std::vector<uint8_t>(data, data + *length), getData});
    return status;
  }
  void SetAlternateSetting(uint32_t) override {}
  uint32_t MaxPacketSize(uint32_t) const override { return 3072; }
  void NextFramePackets(std::vector<std::vector<uint8_t>>*) override {}
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

  // Control transfers other than bridge reads, after `from`.
  std::vector<Call> SetsSince(size_t from) const {
    std::vector<Call> out;
    for (size_t i = from; i < calls.size(); ++i)
      if (!calls[i].get) out.push_back(calls[i]);
    return out;
  }

  std::map<uint8_t, Control> pu, ct;
  std::map<uint16_t, uint8_t> reg;
  std::vector<std::pair<uint16_t, uint8_t>> writes;
  std::vector<Call> calls;
  bool failBridgeReads = false;  // register reads stall
  uint32_t button = 0;

 private:
  std::vector<uint8_t> configuration_;
  uint8_t probe_[uvc::kProbeCommitSize] = {};
  uint16_t address_ = 0;
};

// A 40-byte proc-amp / camera-control record.
inline KSPROPERTY_VIDEOPROCAMP_S Record(const GUID& set, ULONG id, ULONG type, LONG value = 0, ULONG flags = 0) {
  KSPROPERTY_VIDEOPROCAMP_S r{};
  r.Property.Set = set;
  r.Property.Id = id;
  r.Property.Flags = type;
  r.Value = value;
  r.Flags = flags;
  return r;
}

class PropsFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = std::filesystem::temp_directory_path() /
            ("qcam-props-" + std::to_string(::getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(root_);
    ASSERT_TRUE(platform::SetRoot(root_.string()));
    std::filesystem::create_directories(root_ / "Windows");
    platform::RegCreateKeyPath(qcam::kKeyCurrentA);
    platform::RegCreateKeyPath(qcam::kKeyDefaultA);
    platform::RegCreateKeyPath(qcam::kKeyUcamA);
    ResetControlRanges();
  }
  void TearDown() override {
    if (driver_) driver_->Unplug();
    driver_.reset();
    camera_.reset();
    ResetControlRanges();
    platform::SetRoot("");
    std::filesystem::remove_all(root_);
  }

  // Plugs the camera in; `adjust` may change its controls before configure.
  template <class Adjust>
  void PlugWith(Adjust adjust, const std::string& profile = "notebook") {
    camera_ = std::make_unique<ControlCamera>(sim::BuildProfileDescriptor(profile));
    adjust(*camera_);
    driver_ = std::make_unique<sim::ClassDriver>();
    ASSERT_EQ(driver_->Plug(&DriverEntry, camera_.get()), STATUS_SUCCESS);
    mark_ = camera_->calls.size();
  }
  void Plug(const std::string& profile = "notebook") {
    PlugWith([](ControlCamera&) {}, profile);
  }
  CameraDeviceState* Dev() { return static_cast<CameraDeviceState*>(driver_->DeviceContext()); }

  // Proc amp or camera control: one request with the 40-byte record as both
  // property and data.
  NTSTATUS Std(bool set, const GUID& group, ULONG id, LONG* value, ULONG* flags = nullptr, ULONG* caps = nullptr,
               ULONG* returned = nullptr) {
    KSPROPERTY_VIDEOPROCAMP_S r = Record(group, id, set ? KSPROPERTY_TYPE_SET : KSPROPERTY_TYPE_GET, *value,
                                         flags ? *flags : 0);
    ULONG n = 0;
    NTSTATUS st = driver_->DeviceProperty(set, &r.Property, sizeof(r), &r, sizeof(r), &n);
    if (!set) {
      *value = r.Value;
      if (flags) *flags = r.Flags;
      if (caps) *caps = r.Capabilities;
    }
    if (returned) *returned = n;
    return st;
  }
  NTSTATUS ProcAmp(bool set, ULONG id, LONG* value, ULONG* flags = nullptr, ULONG* caps = nullptr) {
    return Std(set, PROPSETID_VIDCAP_VIDEOPROCAMP, id, value, flags, caps);
  }
  NTSTATUS Camera(bool set, ULONG id, LONG* value, ULONG* flags = nullptr, ULONG* caps = nullptr) {
    return Std(set, PROPSETID_VIDCAP_CAMERACONTROL, id, value, flags, caps);
  }

  // Private set: D[0] .. D[271] in and out of one 1112-byte buffer.
  NTSTATUS Private(bool set, ULONG id, std::vector<int32_t>* words, ULONG* returned = nullptr) {
    std::vector<uint8_t> buffer(qcam::kPrivateRecordSize, 0);
    KSPROPERTY p{qcam::kPropSetPrivate, id, set ? KSPROPERTY_TYPE_SET : KSPROPERTY_TYPE_GET};
    memcpy(buffer.data(), &p, sizeof(p));
    words->resize(qcam::kPrivateWordCount, 0);
    memcpy(buffer.data() + 24, words->data(), 4 * qcam::kPrivateWordCount);
    ULONG n = 0;
    NTSTATUS st = driver_->DeviceProperty(set, reinterpret_cast<PKSPROPERTY>(buffer.data()), ULONG(buffer.size()),
                                          buffer.data(), ULONG(buffer.size()), &n);
    memcpy(words->data(), buffer.data() + 24, 4 * qcam::kPrivateWordCount);
    if (returned) *returned = n;
    return st;
  }
  NTSTATUS PrivateSet(ULONG id, std::vector<int32_t> words) { return Private(true, id, &words); }
  int32_t PrivateGet(ULONG id, NTSTATUS* status = nullptr) {
    std::vector<int32_t> words;
    NTSTATUS st = Private(false, id, &words);
    if (status) *status = st;
    return words[0];
  }

  bool Reg(const char* name, uint32_t* value, const char* key = qcam::kKeyCurrentA) {
    return platform::RegGetDword(key, name, value);
  }
  uint32_t RegOr(const char* name, uint32_t fallback, const char* key = qcam::kKeyCurrentA) {
    uint32_t v = fallback;
    platform::RegGetDword(key, name, &v);
    return v;
  }
  // Control transfers made since the last Mark().
  void Mark() { mark_ = camera_->calls.size(); }
  std::vector<Call> Sets() const { return camera_->SetsSince(mark_); }

  std::filesystem::path root_;
  std::unique_ptr<ControlCamera> camera_;
  std::unique_ptr<sim::ClassDriver> driver_;
  size_t mark_ = 0;
};

// Bytes of a SET_CUR the driver sent, as a little-endian number.
inline uint32_t Le(const Call& c) {
  uint32_t v = 0;
  for (size_t i = 0; i < c.data.size() && i < 4; ++i) v |= uint32_t(c.data[i]) << (8 * i);
  return v;
}

}  // namespace propstest
