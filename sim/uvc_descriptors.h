// USB video-class descriptors of the simulated camera: the configuration
// descriptors of the built-in profiles, and a bounded walk that reads what a
// camera needs to know (formats, frames, streaming alternate settings, camera
// terminal, processing unit) from a raw configuration descriptor.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/stream/usbcamdi.h"
#include "shared/uvc_wire.h"

namespace sim {

enum class FormatKind { kMjpeg, kUncompressed };

struct FrameInfo {
  uint8_t index = 0;
  uint8_t capabilities = 0;
  uint16_t width = 0;
  uint16_t height = 0;
  uint32_t minBitRate = 0;
  uint32_t maxBitRate = 0;
  uint32_t maxFrameSize = 0;     // dwMaxVideoFrameBufferSize
  uint32_t defaultInterval = 0;  // 100 ns units
  // Discrete intervals, or empty with a continuous range.
  std::vector<uint32_t> intervals;
  bool continuous = false;
  uint32_t minInterval = 0, maxInterval = 0, intervalStep = 0;
};

struct StillInfo {
  bool present = false;
  std::vector<std::pair<uint16_t, uint16_t>> sizes;
  std::vector<uint8_t> compression;
};

struct FormatInfo {
  FormatKind kind = FormatKind::kMjpeg;
  uint8_t index = 0;
  uint8_t declaredFrames = 0;
  uint8_t guid[16] = {};
  uint32_t fourcc = 0;  // "MJPG", or the first four GUID bytes of an uncompressed format
  uint8_t bitsPerPixel = 0;
  uint8_t defaultFrameIndex = 0;
  std::vector<FrameInfo> frames;
  StillInfo still;
};

struct AltSettingInfo {
  uint8_t alternateSetting = 0;
  uint8_t endpointAddress = 0;
  uint16_t rawMaxPacket = 0;     // wMaxPacketSize as stored
  uint32_t maxPacketBytes = 0;   // bytes per (micro)frame: size x (1 + extra transactions)
};

struct CameraTerminalInfo {
  bool present = false;
  uint8_t id = 0;
  uint16_t objectiveFocalMin = 0, objectiveFocalMax = 0, ocularFocal = 0;
  std::vector<uint8_t> controls;
};

struct ProcessingUnitInfo {
  bool present = false;
  uint8_t id = 0;
  uint8_t sourceId = 0;
  uint16_t maxMultiplier = 0;
  std::vector<uint8_t> controls;
};

struct ExtensionUnitInfo {
  uint8_t id = 0;
  uint8_t guid[16] = {};
  std::vector<uint8_t> controls;
};

struct DescriptorInfo {
  uint16_t totalLength = 0;
  uint8_t numInterfaces = 0;
  int controlInterface = -1;
  int streamingInterface = -1;
  std::vector<AltSettingInfo> altSettings;  // non-zero settings of the streaming interface, in order
  CameraTerminalInfo cameraTerminal;
  ProcessingUnitInfo processingUnit;
  std::vector<ExtensionUnitInfo> extensionUnits;
  uint8_t announcedFormats = 0;
  uint8_t stillCaptureMethod = 0;
  std::vector<FormatInfo> formats;  // MJPEG and uncompressed formats, in descriptor order
  std::vector<std::string> anomalies;

  const FormatInfo* FindFormat(uint8_t index) const;
};

// Walks a configuration descriptor (wTotalLength bytes, at most `size`).
// Never reads outside [data, data+size); false with a one-line reason when
// the bytes are not a well-formed configuration descriptor. `out` is written
// only on success.
bool ParseConfigurationDescriptor(const uint8_t* data, size_t size, DescriptorInfo* out, std::string* error);

// A descriptor file: a configuration descriptor, optionally preceded by the
// 18-byte device descriptor (as Linux's sysfs `descriptors` file stores them).
// Returns the first configuration (wTotalLength bytes) and the device
// descriptor when present.
bool SplitDescriptorFile(const std::vector<uint8_t>& bytes, std::vector<uint8_t>* configuration,
                         USB_DEVICE_DESCRIPTOR* device, bool* hasDevice, std::string* error);

// The built-in profiles: "notebook" and "basic". Empty for an unknown name.
std::vector<uint8_t> BuildProfileDescriptor(const std::string& profile);
USB_DEVICE_DESCRIPTOR ProfileDeviceDescriptor(const std::string& profile);

}  // namespace sim
