// Arbitrary property requests (set, id, direction, buffer sizes, shared or
// separate buffers, payload) through the adapter routine of a plugged-in
// simulated camera. Buffers are allocated at exactly the sizes the request
// claims, so any access past them is caught by the address sanitizer.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "driver/core/driver.h"
#include "platform/nt/platform_control.h"
#include "shared/qcam_defs.h"
#include "sim/camera.h"
#include "sim/class_driver.h"

namespace {

struct Rig {
  std::unique_ptr<sim::Camera> camera;
  sim::ClassDriver driver;
  Rig() {
    platform::SetRoot("");  // memory-only machine: no files written while fuzzing
    platform::RegCreateKeyPath(qcam::kKeyCurrentA);
    platform::RegCreateKeyPath(qcam::kKeyDefaultA);
    platform::RegCreateKeyPath(qcam::kKeyUcamA);
    std::string error;
    sim::CameraOptions options;
    camera = sim::Camera::Create(options, &error);
    if (!camera || !NT_SUCCESS(driver.Plug(&DriverEntry, camera.get()))) std::abort();
  }
};

Rig& TheRig() {
  static Rig* rig = new Rig();
  return *rig;
}

constexpr uint32_t kMaxBuffer = 1200;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 7) return 0;
  Rig& rig = TheRig();

  uint8_t setChoice = data[0] & 7;
  bool set = data[1] & 1;
  bool shared = data[1] & 2;
  bool nullData = data[1] & 4;
  uint32_t id = data[2];
  if (data[1] & 8) id |= uint32_t(data[3]) << 24;
  // The stream class always hands over at least a whole property header.
  uint32_t propertySize = sizeof(KSPROPERTY) + (uint32_t(data[3] | data[4] << 8) % kMaxBuffer);
  uint32_t dataSize = uint32_t(data[5] | data[6] << 8) % kMaxBuffer;
  const uint8_t* payload = data + 7;
  size_t payloadSize = size - 7;

  GUID group;
  switch (setChoice) {
    case 0: group = PROPSETID_VIDCAP_VIDEOPROCAMP; break;
    case 1: group = PROPSETID_VIDCAP_CAMERACONTROL; break;
    case 3: group = PROPSETID_VIDCAP_VIDEOCONTROL; break;
    case 4:
      memset(&group, 0, sizeof(group));
      memcpy(&group, payload, payloadSize < sizeof(group) ? payloadSize : sizeof(group));
      break;
    default: group = qcam::kPropSetPrivate; break;
  }

  // The property record: header, then the payload repeated.
  std::vector<uint8_t> property(propertySize);
  for (uint32_t i = 0; i < propertySize; ++i) property[i] = payloadSize ? payload[i % payloadSize] : 0;
  KSPROPERTY header{group, id, set ? KSPROPERTY_TYPE_SET : KSPROPERTY_TYPE_GET};
  memcpy(property.data(), &header, sizeof(header));

  std::vector<uint8_t> separate;
  uint8_t* buffer = nullptr;
  uint32_t bufferSize = dataSize;
  if (shared) {
    buffer = property.data();
    bufferSize = dataSize < propertySize ? dataSize : propertySize;
  } else if (!nullData && dataSize) {
    separate.resize(dataSize);
    for (uint32_t i = 0; i < dataSize; ++i) separate[i] = payloadSize ? payload[(i * 7 + 3) % payloadSize] : 0;
    buffer = separate.data();
  }
  if (!buffer) bufferSize = nullData ? dataSize : 0;  // a claimed size without a buffer must be refused

  ULONG returned = 0;
  NTSTATUS status = rig.driver.DeviceProperty(set, reinterpret_cast<PKSPROPERTY>(property.data()), propertySize,
                                              buffer, bufferSize, &returned);
  // A successful answer never claims more than the caller's buffer.
  if (NT_SUCCESS(status) && returned > bufferSize) std::abort();
  // Read every byte the driver may have written.
  volatile uint32_t sum = 0;
  for (uint8_t b : property) sum += b;
  for (uint8_t b : separate) sum += b;
  (void)sum;
  return 0;
}
