// The camera rig: the real driver on the simulated class driver with a
// simulated camera of the chosen profile.
#include "tests/dshow/camera_rig.h"

#include "driver/core/device_state.h"
#include "driver/core/driver.h"
#include "platform/nt/platform_control.h"
#include "shared/qcam_defs.h"
#include "sim/class_driver.h"

namespace dshowtest {

void ResetPc() {
  platform::ResetMachine();
  for (const char* key : {qcam::kKeyCurrentA, qcam::kKeyDefaultA, qcam::kKeyUcamA}) platform::RegCreateKeyPath(key);
}

struct PluggedCamera::State {
  std::unique_ptr<sim::Camera> camera;
  sim::ClassDriver driver;
  std::unique_ptr<sim::KsCameraDevice> device;
  bool plugged = false;
};

PluggedCamera::PluggedCamera(const std::string& profile, const sim::KsCameraDeviceOptions& options)
    : state_(new State) {
  sim::CameraOptions camera;
  camera.profile = profile;
  std::string error;
  state_->camera = sim::Camera::Create(camera, &error);
  if (!state_->camera) return;
  state_->plugged = state_->driver.Plug(&DriverEntry, state_->camera.get()) == STATUS_SUCCESS;
  state_->device = std::make_unique<sim::KsCameraDevice>(state_->driver, options);
}

PluggedCamera::~PluggedCamera() {
  state_->device.reset();
  if (state_->plugged) state_->driver.Unplug();
}

bool PluggedCamera::Ok() const { return state_->plugged && state_->device && state_->device->Plugged(); }

const platform::KsDeviceInfo& PluggedCamera::Info() const { return state_->device->Info(); }

bool PluggedCamera::StillTriggered() {
  auto* dev = static_cast<CameraDeviceState*>(state_->driver.DeviceContext());
  return dev->StillTrigger != 0;
}

int32_t PluggedCamera::DriverGet(bool cameraControl, uint32_t id, int32_t* value) {
  KSPROPERTY_VIDEOPROCAMP_S r{};
  r.Property.Set = cameraControl ? PROPSETID_VIDCAP_CAMERACONTROL : PROPSETID_VIDCAP_VIDEOPROCAMP;
  r.Property.Id = id;
  r.Property.Flags = KSPROPERTY_TYPE_GET;
  ULONG returned = 0;
  NTSTATUS status = state_->driver.DeviceProperty(false, &r.Property, sizeof(r), &r, sizeof(r), &returned);
  *value = r.Value;
  return status;
}

void PluggedCamera::Unplug() {
  if (state_->plugged) state_->driver.Unplug();
  state_->plugged = false;
}

}  // namespace dshowtest
