// A simulated camera with the driver loaded, plugged into the PC as the
// kernel-streaming device capture applications find, and the installation's
// announcement of the extension's interface handler for it. Plain C++: the
// tests that use it include the SDK headers, the rig itself the kernel's.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ext_test {

// The driver's registry keys, as the package's installation creates them.
void CreateDriverKeys();
// The same with the initial values an installation writes, and the photo
// frame bitmaps: the PC as qcam install leaves it.
bool InstallDriverValues(const std::string& root, std::string* error);

class CameraRig {
 public:
  // `announceHandler`: whether the installation announced IAMCustomCameraProp
  // for this camera's device (without it the filter lacks the private set).
  CameraRig(const std::string& profile, uint32_t port, bool announceHandler);
  ~CameraRig();
  CameraRig(const CameraRig&) = delete;
  CameraRig& operator=(const CameraRig&) = delete;

  bool Ok() const;
  // Runs a capture stream ("YUY2:640x480", "MJPG:1280x1024"...) until
  // StopStream or the rig goes; its first frame has come when this returns,
  // so the driver knows the format. False with the reason.
  bool StartStream(const std::string& streamText, std::string* error);
  void StopStream();
  // Stops any stream and captures a few frames of a new one; *bytes gets
  // the last frame as the driver delivered it.
  bool CaptureFrame(const std::string& streamText, std::vector<uint8_t>* bytes, std::string* error);
  uint16_t VendorId() const;
  uint16_t ProductId() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace ext_test
