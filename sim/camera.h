// The simulated USB camera: descriptors, video-class controls, bridge
// registers, snapshot button, picture source and isochronous payload packets.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/stream/usbcamdi.h"

namespace sim {

struct CameraOptions {
  std::string profile = "notebook";  // "notebook" or "basic"
  std::string descriptorFile;        // raw configuration descriptor, optionally after an 18-byte device descriptor
  std::string sourceFile;            // PNG or JPEG still picture; empty: a moving synthetic scene
  std::string scene;                 // "" (default scene) or "face"
  std::string stateDir;              // folder for state that survives unplugging (may be empty)
};

// Where the face of the "face" scene truly is in a given frame (for tests).
struct FaceTruth {
  bool present = false;
  int centerX = 0, centerY = 0, width = 0, height = 0;
};

class Camera {
 public:
  // Builds a camera; null with a one-line reason when the profile is unknown
  // or a file cannot be read.
  static std::unique_ptr<Camera> Create(const CameraOptions& options, std::string* error);
  virtual ~Camera() = default;

  // The configuration descriptor (all wTotalLength bytes) and device descriptor.
  virtual const std::vector<uint8_t>& ConfigurationDescriptor() const = 0;
  virtual USB_DEVICE_DESCRIPTOR DeviceDescriptor() const = 0;

  // One control transfer on the default pipe. `request` is the video-class
  // request code (0x01 SET_CUR, 0x81 GET_CUR, 0x82 GET_MIN, 0x83 GET_MAX,
  // 0x84 GET_RES, 0x87 GET_DEF), `value` the selector << 8, `index` the
  // entity id << 8 or the interface number. *length: bytes in, bytes
  // transferred out. A request the camera does not know stalls:
  // STATUS_UNSUCCESSFUL with *length 0.
  virtual NTSTATUS ControlTransfer(uint8_t request, uint16_t value, uint16_t index, uint8_t* data,
                                   uint32_t* length, bool getData) = 0;

  // Streaming: selecting a non-zero alternate setting starts the camera on the
  // committed format and frame; 0 stops it.
  virtual void SetAlternateSetting(uint32_t alternateSetting) = 0;
  // Maximum packet size of an alternate setting (0 for setting 0 or unknown).
  virtual uint32_t MaxPacketSize(uint32_t alternateSetting) const = 0;
  // Appends the isochronous packets of the next frame, in order: each starts
  // with the 12-byte payload header and is no longer than the negotiated
  // maximum payload. Empty when not streaming.
  virtual void NextFramePackets(std::vector<std::vector<uint8_t>>* packets) = 0;
  // The next frame is sent with the still bit in its headers.
  virtual void MarkNextFrameStill() = 0;
  // The next `count` packets carry the error bit (their data is garbage).
  virtual void InjectErrorPackets(uint32_t count) = 0;

  // Snapshot button: a press is reported once by TakeButtonState (1, 2 or 4),
  // then 0.
  virtual void PressButton(uint32_t state) = 0;
  virtual uint32_t TakeButtonState() = 0;

  // Frames produced since streaming started, and the face truth of the last one.
  virtual uint32_t FramesProduced() const = 0;
  virtual FaceTruth LastFaceTruth() const = 0;
};

}  // namespace sim
