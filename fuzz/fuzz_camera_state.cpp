// Camera power-state text: any bytes must be refused with a reason, or read
// into a state that renders back to the same text and that the notebook
// camera either takes over whole or refuses without a change.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "sim/camera_state.h"
#include "sim/uvc_camera.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::unique_ptr<sim::UvcCamera> camera = [] {
    std::string error;
    return sim::UvcCamera::Create(sim::CameraOptions(), &error);
  }();
  if (size > (1u << 20) || !camera) return 0;
  const std::string text(reinterpret_cast<const char*>(data), size);
  sim::CameraPowerState state;
  std::string error;
  if (!sim::ParseCameraState(text, &state, &error)) {
    if (error.empty()) {
      std::fprintf(stderr, "refused without a reason\n");
      std::abort();
    }
    return 0;
  }
  if (sim::RenderCameraState(state) != text) {
    std::fprintf(stderr, "accepted text does not render back to itself\n");
    std::abort();
  }
  const std::string before = sim::RenderCameraState(camera->PowerState());
  // The state of another camera is refused as such; give it this camera's
  // descriptor so that the control and value checks are reached too.
  state.descriptorHash = camera->PowerState().descriptorHash;
  if (!camera->RestorePowerState(state, &error)) {
    if (error.empty() || sim::RenderCameraState(camera->PowerState()) != before) {
      std::fprintf(stderr, "refused state without a reason or with a change\n");
      std::abort();
    }
    return 0;
  }
  const sim::CameraPowerState now = camera->PowerState();
  for (const auto& c : state.controls)
    if (now.controls.at(c.first) != c.second) std::abort();
  if (now.registers != state.registers || now.buttonState != state.buttonState) std::abort();
  return 0;
}
