#include "tests/tray/plugged_camera.h"

#include <filesystem>

#include "driver/core/driver.h"
#include "platform/machine/com_control.h"
#include "sim/class_driver.h"
#include "sim/ks_camera_device.h"
#include "sim/uvc_descriptors.h"
#include "tools/qcam/common.h"
#include "tools/qcam/package.h"
#include "tools/qcam/user_mode.h"

namespace tray_test {

bool InstallCameraPackage(const std::string& root, std::string* error) {
  if (!qcam_tool::InstallRoot(root, error)) return false;
  const std::filesystem::path module = std::filesystem::path(root) / "Windows/System32/qcamext.ax";
  std::error_code ec;
  std::filesystem::copy_file(qcam_tool::BuiltModulePath(), module, std::filesystem::copy_options::overwrite_existing,
                             ec);
  if (ec) {
    *error = "cannot copy the module: " + ec.message();
    return false;
  }
  if (!platform::RegisterBuiltinClassesInRegistry()) {
    *error = "cannot register the system classes";
    return false;
  }
  uint32_t hr = 0;
  if (!qcam_tool::CallModuleRegistration(false, &hr, error)) return false;
  const USB_DEVICE_DESCRIPTOR notebook = sim::ProfileDeviceDescriptor("notebook");
  return qcam_tool::AnnounceCameraExtension(notebook.idVendor, notebook.idProduct, error);
}

// ---- cameras ---------------------------------------------------------------------------

struct PluggedCamera::State {
  std::unique_ptr<sim::Camera> camera;
  sim::ClassDriver driver;
  std::unique_ptr<sim::KsCameraDevice> device;
  bool plugged = false;
};

PluggedCamera::PluggedCamera(const std::string& profile, uint32_t port, const std::string& friendlyName)
    : state_(new State) {
  sim::CameraOptions options;
  options.profile = profile;
  std::string error;
  state_->camera = sim::Camera::Create(options, &error);
  if (!state_->camera) return;
  state_->plugged = state_->driver.Plug(&DriverEntry, state_->camera.get()) == STATUS_SUCCESS;
  sim::KsCameraDeviceOptions device;
  device.port = port;
  device.friendlyName = friendlyName;
  state_->device = std::make_unique<sim::KsCameraDevice>(state_->driver, device);
}

PluggedCamera::~PluggedCamera() {
  state_->device.reset();
  if (state_->plugged) state_->driver.Unplug();
}

bool PluggedCamera::Ok() const { return state_->plugged && state_->device && state_->device->Plugged(); }

void PluggedCamera::Press(uint32_t state) { state_->camera->PressButton(state); }

bool PluggedCamera::PressPending() {
  // Taking the state to look at it would consume the press: put it back.
  const uint32_t pending = state_->camera->TakeButtonState();
  if (pending) state_->camera->PressButton(pending);
  return pending != 0;
}

}  // namespace tray_test
