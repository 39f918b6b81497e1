// The capture filter of a plugged-in camera for the qcam tools, in plain
// C++ types: bound from the camera's device moniker (the system device
// enumerator's, matched by device path) and loaded from the moniker's
// property bag, as binding the moniker does, with the system's classes taken
// from the platform itself so that the tools work on any PC. Standard
// controls go through the filter's IAMVideoProcAmp and IAMCameraControl;
// raw property requests through its device handle (IKsObject).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace qcam_tool {

enum class ControlSet { ProcAmp, CameraControl };

class CameraFilter {
 public:
  explicit CameraFilter(const std::string& interfacePath);
  ~CameraFilter();
  CameraFilter(const CameraFilter&) = delete;
  CameraFilter& operator=(const CameraFilter&) = delete;

  // False when no camera has that path (the filter could not be bound).
  bool Ok() const;

  // The interfaces' results as HRESULTs.
  int32_t Get(ControlSet set, int32_t id, int32_t* value, int32_t* flags);
  int32_t Set(ControlSet set, int32_t id, int32_t value, int32_t flags);
  int32_t GetRange(ControlSet set, int32_t id, int32_t* minimum, int32_t* maximum, int32_t* step,
                   int32_t* defaultValue, int32_t* caps);

  // One IOCTL_KS_PROPERTY request with `buffer` as both the property and
  // its data. True on success; *status receives the driver's NTSTATUS
  // (STATUS_UNSUCCESSFUL when the request failed before reaching it).
  bool PropertyRequest(void* buffer, uint32_t size, int32_t* status);

  // The driver's NTSTATUS behind the last failed call of this thread (0
  // when it did not reach the driver).
  static int32_t LastDriverStatus();

 private:
  struct Interfaces;
  std::unique_ptr<Interfaces> interfaces_;
};

}  // namespace qcam_tool
