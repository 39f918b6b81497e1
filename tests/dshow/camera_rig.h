// A simulated camera with the driver loaded and plugged into the PC as a
// kernel-streaming device, for the DirectShow tests. Plain C++: the tests
// that use it include the SDK headers, the rig itself the kernel's.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/machine/ks_devices.h"
#include "sim/ks_camera_device.h"

namespace dshowtest {

// A memory-only PC with the package's registry keys, as the driver expects.
void ResetPc();

class PluggedCamera {
 public:
  explicit PluggedCamera(const std::string& profile = "notebook", const sim::KsCameraDeviceOptions& options = {});
  ~PluggedCamera();

  bool Ok() const;
  const platform::KsDeviceInfo& Info() const;
  const std::string& Path() const { return Info().interfacePath; }

  // The driver's state: the still trigger the video-control mode sets.
  bool StillTriggered();
  // A standard control as the driver answers it (value, or the status).
  int32_t DriverGet(bool cameraControl, uint32_t id, int32_t* value);

  // Surprise removal: the class driver loses the camera, the device stays
  // announced until the rig goes.
  void Unplug();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace dshowtest
