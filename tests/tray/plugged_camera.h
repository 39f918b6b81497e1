// Cameras for the tray tests, and the installation steps that need the
// kernel's headers. Plain C++: the rig itself includes the SDK headers.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace tray_test {

// Installs the driver's keys and the extension on the current root, and
// announces the extension for the notebook camera only: a "basic" camera
// stands for a capture device of another maker, without the private set.
bool InstallCameraPackage(const std::string& root, std::string* error);

// A camera plugged into the PC while the object lives.
class PluggedCamera {
 public:
  PluggedCamera(const std::string& profile, uint32_t port, const std::string& friendlyName);
  ~PluggedCamera();
  PluggedCamera(const PluggedCamera&) = delete;
  PluggedCamera& operator=(const PluggedCamera&) = delete;
  bool Ok() const;
  // The user presses the snapshot button (state 1, 2 or 4).
  void Press(uint32_t state);
  // A press still waits for the driver's button check.
  bool PressPending();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace tray_test
