// The plugged-in camera as user mode reaches it: a kernel-streaming device
// with an interface path, a friendly name and a request routine, announced
// to the PC's device bridge (platform/machine/ks_devices.h) for as long as
// the object lives. IOCTL_KS_PROPERTY on one of its handles becomes a device
// property request of the simulated class driver, as the stream class
// passes it to the minidriver; basic-support requests are answered from the
// minidriver's property tables, as the stream class does.
#pragma once

#include <cstdint>
#include <string>

#include "platform/machine/ks_devices.h"

namespace sim {

class ClassDriver;

// The friendly name the camera's setup information gives the device (the
// simulated camera has no string descriptors to take a product name from).
constexpr const char* kCameraFriendlyName = "Qorvane USB2.0 Camera";

struct KsCameraDeviceOptions {
  std::string friendlyName = kCameraFriendlyName;
  // The USB port the camera sits on: two cameras of one model need two
  // ports, as their instance strings come from it.
  uint32_t port = 1;
};

// The instance string Windows gives a camera of that vendor and product on
// that port ("6&xxxxxxxx&0&0000"): the same every time it is plugged in.
std::string UsbInstanceString(uint16_t vendorId, uint16_t productId, uint32_t port);
// "\\?\usb#vid_vvvv&pid_pppp&mi_00#INSTANCE#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\global"
std::string UsbCaptureInterfacePath(uint16_t vendorId, uint16_t productId, const std::string& instance);

class KsCameraDevice {
 public:
  // Announces the camera of `classDriver` (vendor and product from its
  // device descriptor). When a device with the same path is plugged in
  // already, this object announces nothing and Plugged() is false.
  explicit KsCameraDevice(ClassDriver& classDriver, const KsCameraDeviceOptions& options = {});
  ~KsCameraDevice();
  KsCameraDevice(const KsCameraDevice&) = delete;
  KsCameraDevice& operator=(const KsCameraDevice&) = delete;

  bool Plugged() const { return plugged_; }
  const platform::KsDeviceInfo& Info() const { return info_; }
  const std::string& InterfacePath() const { return info_.interfacePath; }

 private:
  platform::KsDeviceInfo info_;
  bool plugged_ = false;
};

}  // namespace sim
