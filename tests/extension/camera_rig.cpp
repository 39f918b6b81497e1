// The camera rig: the real driver on the simulated class driver, announced
// as a kernel-streaming device.
#include "tests/extension/camera_rig.h"

#include "driver/core/driver.h"
#include "platform/machine/dshow_control.h"
#include "platform/nt/platform_control.h"
#include "shared/qcam_defs.h"
#include "sim/class_driver.h"
#include "sim/ks_camera_device.h"
#include "tools/qcam/common.h"
#include "tools/qcam/stream.h"

namespace ext_test {

void CreateDriverKeys() {
  for (const char* key : {qcam::kKeyCurrentA, qcam::kKeyDefaultA, qcam::kKeyUcamA}) platform::RegCreateKeyPath(key);
}

bool InstallDriverValues(const std::string& root, std::string* error) { return qcam_tool::InstallRoot(root, error); }

struct CameraRig::State {
  std::unique_ptr<sim::Camera> camera;
  sim::ClassDriver driver;
  std::unique_ptr<sim::KsCameraDevice> device;
  bool plugged = false;
  qcam_tool::BackgroundStream stream;
  std::unique_ptr<qcam_tool::StreamForWork> held;
};

CameraRig::CameraRig(const std::string& profile, uint32_t port, bool announceHandler) : state_(new State) {
  sim::CameraOptions camera;
  camera.profile = profile;
  std::string error;
  state_->camera = sim::Camera::Create(camera, &error);
  if (!state_->camera) return;
  state_->plugged = state_->driver.Plug(&DriverEntry, state_->camera.get()) == STATUS_SUCCESS;
  sim::KsCameraDeviceOptions options;
  options.port = port;
  state_->device = std::make_unique<sim::KsCameraDevice>(state_->driver, options);
  if (announceHandler) {
    const char* handler = "{3DC2E820-4713-11D2-BA41-00A0C90D2B05}";
    platform::AnnounceInterfaceHandler(VendorId(), ProductId(), handler, handler);
  }
}

CameraRig::~CameraRig() {
  StopStream();
  state_->device.reset();
  if (state_->plugged) state_->driver.Unplug();
}

bool CameraRig::StartStream(const std::string& streamText, std::string* error) {
  StopStream();
  state_->held = std::make_unique<qcam_tool::StreamForWork>(state_->stream, state_->driver, streamText);
  return state_->held->Ok(error);
}

void CameraRig::StopStream() { state_->held.reset(); }

bool CameraRig::CaptureFrame(const std::string& streamText, std::vector<uint8_t>* bytes, std::string* error) {
  StopStream();
  bytes->clear();
  qcam_tool::StreamFormat format;
  KS_DATAFORMAT_VIDEOINFOHEADER cameraFormat{};
  if (!qcam_tool::ParseStreamOption(streamText, &format, error) ||
      !qcam_tool::OpenCaptureStream(state_->driver, format, &cameraFormat, error))
    return false;
  state_->driver.Run(3, [bytes](const sim::DeliveredFrame& frame) {
    if (frame.bytesReturned > 0 && frame.bytesReturned <= frame.data.size())
      bytes->assign(frame.data.begin(), frame.data.begin() + frame.bytesReturned);
    return true;
  });
  state_->driver.CloseStream();
  if (bytes->empty()) *error = "no frame came";
  return !bytes->empty();
}

bool CameraRig::Ok() const { return state_->plugged && state_->device && state_->device->Plugged(); }
uint16_t CameraRig::VendorId() const { return state_->device->Info().vendorId; }
uint16_t CameraRig::ProductId() const { return state_->device->Info().productId; }

}  // namespace ext_test
