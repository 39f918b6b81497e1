// The simulated USB video-class camera behind sim::Camera: its descriptors,
// the probe and commit negotiation, processing-unit and camera-terminal
// controls, the bridge registers behind extension unit 5, the snapshot button
// and the isochronous payload packets of each frame.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "sim/camera.h"
#include "sim/camera_state.h"
#include "sim/picture_source.h"
#include "sim/uvc_descriptors.h"

namespace sim {

using uvc::VideoProbeCommit;

// One control's value and range, as the camera keeps it.
struct ControlState {
  uint8_t size = 2;     // bytes on the wire
  bool isSigned = false;
  int32_t min = 0, max = 0, res = 1, def = 0, cur = 0;
};

class UvcCamera : public Camera {
 public:
  static std::unique_ptr<UvcCamera> Create(const CameraOptions& options, std::string* error);
  // A camera whose descriptors are the bytes of a descriptor file (a
  // configuration descriptor, optionally after the device descriptor);
  // options.descriptorFile only names it in messages.
  static std::unique_ptr<UvcCamera> CreateFromDescriptorBytes(const std::vector<uint8_t>& bytes,
                                                              const CameraOptions& options, std::string* error);
  // Largest frame side the camera renders; bigger frames are not streamed.
  static constexpr int kMaxFrameSide = 4096;

  const std::vector<uint8_t>& ConfigurationDescriptor() const override { return config_; }
  USB_DEVICE_DESCRIPTOR DeviceDescriptor() const override { return device_; }
  NTSTATUS ControlTransfer(uint8_t request, uint16_t value, uint16_t index, uint8_t* data, uint32_t* length,
                           bool getData) override;
  void SetAlternateSetting(uint32_t alternateSetting) override;
  uint32_t MaxPacketSize(uint32_t alternateSetting) const override;
  void NextFramePackets(std::vector<std::vector<uint8_t>>* packets) override;
  void MarkNextFrameStill() override;
  void InjectErrorPackets(uint32_t count) override;
  void PressButton(uint32_t state) override;
  uint32_t TakeButtonState() override;
  uint32_t FramesProduced() const override;
  FaceTruth LastFaceTruth() const override;

  // For tests and tools.
  // Frame number `frameIndex` (0 = the first frame after streaming starts)
  // is sent with the still bit.
  void MarkFrameStill(uint32_t frameIndex);
  const DescriptorInfo& Descriptors() const { return info_; }
  bool LedOn() const;
  uint8_t Register(uint16_t address) const;
  void SetRegister(uint16_t address, uint8_t value);
  // Current value of a control (entity 1 or 4, selector); false if unknown.
  bool ControlValue(uint8_t entity, uint8_t selector, int32_t* value) const;
  VideoProbeCommit Committed() const;
  bool Streaming() const;
  uint32_t AlternateSetting() const;
  // The picture of the last frame produced, after the camera's adjustments.
  RgbImage LastPicture() const;

  // What the camera keeps while it has power (see camera_state.h).
  CameraPowerState PowerState() const;
  // Takes over a state saved from this camera; false with a reason, and
  // nothing changed, when it belongs to another camera (descriptor hash) or
  // names a control the camera lacks or a value outside a control's range.
  bool RestorePowerState(const CameraPowerState& state, std::string* error);

 private:
  UvcCamera() = default;
  bool Finish(const CameraOptions& options, std::string* error);
  NTSTATUS StreamingRequest(uint8_t request, uint8_t selector, uint8_t* data, uint32_t* length);
  NTSTATUS UnitRequest(uint8_t request, uint8_t entity, uint8_t selector, uint8_t* data, uint32_t* length);
  NTSTATUS BridgeRequest(uint8_t request, uint8_t selector, uint8_t* data, uint32_t* length);
  VideoProbeCommit Negotiate(const VideoProbeCommit& asked) const;
  VideoProbeCommit DefaultProbe() const;
  uint32_t PayloadFor(const FormatInfo& format, const FrameInfo& frame, uint32_t interval) const;
  PictureSettings CurrentPictureSettings() const;
  ControlState* FindControl(uint8_t entity, uint8_t selector);
  const ControlState* FindControl(uint8_t entity, uint8_t selector) const;
  void ProduceFrame(std::vector<uint8_t>* payload, const FormatInfo& format, const FrameInfo& frame);

  mutable std::mutex mutex_;
  std::vector<uint8_t> config_;
  USB_DEVICE_DESCRIPTOR device_{};
  DescriptorInfo info_;
  uint32_t maxPayloadCap_ = 3072;
  std::map<uint16_t, ControlState> controls_;  // key: entity << 8 | selector
  std::map<uint16_t, uint8_t> registers_;
  uint16_t selectedRegister_ = 0;
  bool ledOn_ = false;
  VideoProbeCommit probe_{};
  VideoProbeCommit commit_{};
  bool committed_ = false;
  uint32_t alternate_ = 0;
  bool streaming_ = false;
  bool fid_ = false;
  bool stillNext_ = false;
  int64_t stillAt_ = -1;
  uint32_t errorPackets_ = 0;
  uint32_t button_ = 0;
  uint32_t frames_ = 0;
  uint32_t packetsSent_ = 0;
  FaceTruth truth_;
  PictureSource source_;
  RgbImage lastPicture_;
  int jpegQuality_ = 85;
};

}  // namespace sim
