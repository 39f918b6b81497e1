// The generic USB video-class driver of the PC, as the firmware updater
// meets it: it exposes the camera's extension units to user mode as
// kernel-streaming node properties (KSPROPERTY_TYPE_TOPOLOGY, the unit's
// GUID as the property set, the control selector as the property id, the
// node id of the unit). Here it carries the bridge chip's flash-programming
// unit (node 4). When the chip restarts (register 0xE00F) it leaves the bus
// and comes back booted from its new flash, and the PC announces both
// changes to the windows that asked for device notifications.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/machine/ks_devices.h"
#include "sim/camera_firmware.h"

namespace sim {

// The friendly name the generic driver gives every camera.
constexpr const char* kGenericFriendlyName = "USB Video Device";

struct GenericDeviceOptions {
  uint16_t vendorId = 0;
  uint16_t productId = 0;
  uint32_t port = 1;
  std::string stateDir;  // the PC root's camera/ folder (empty: memory only)
  FirmwareOptions firmware;
  // PC milliseconds the chip stays off the bus when it restarts.
  uint32_t restartMs = 100;
};

// The seed of the device-specific bytes a camera's factory flash carries.
uint32_t FlashDeviceSeed(uint16_t vendorId, uint16_t productId, uint32_t port);

class GenericCameraDevice {
 public:
  explicit GenericCameraDevice(const GenericDeviceOptions& options);
  // Pulls the camera out (if plugged) and keeps its flash.
  ~GenericCameraDevice();
  GenericCameraDevice(const GenericCameraDevice&) = delete;
  GenericCameraDevice& operator=(const GenericCameraDevice&) = delete;

  // Plugs the camera's cable in (booting it from flash); false if its path
  // is taken.
  bool Plug();
  // Pulls the cable out; its flash is saved.
  void Unplug();
  // On the bus: plugged in and not restarting.
  bool Plugged() const;
  // The cable as a person left it. A restart takes the chip off the bus
  // with the cable in; a cable pulled during the restart keeps it off.
  bool CableIn() const { return cableIn_; }
  const platform::KsDeviceInfo& Info() const { return info_; }

  // Called (on the requesting thread) after every write packet the chip
  // accepted, with the packet count since boot. Returning true pulls the
  // camera out at once: the packet was written, later requests fail.
  void SetWritePacketHook(std::function<bool(uint32_t packet)> hook);
  // Waits until a restart in progress has brought the camera back.
  void WaitRestart();
  // True while the chip is off the bus for a restart or a pull-out and has
  // not finished coming back: a thread with windows that hear of device
  // changes keeps pumping its messages until this is false, instead of
  // blocking in WaitRestart while the change is announced to it.
  bool Restarting() const { return restarting_; }

  // Flash and firmware, for tools and tests (not while requests run).
  const CameraFlash& Flash() const { return flash_; }
  CameraFirmware& Firmware() { return firmware_; }
  // Writes the flash to its file; false with the reason.
  bool SaveFlash(std::string* error);

 private:
  static int32_t Routine(void* context, uint32_t code, void* in, uint32_t inSize, void* out, uint32_t outSize,
                         uint32_t* returned);
  int32_t Answer(uint32_t code, const uint8_t* in, uint32_t inSize, uint8_t* out, uint32_t outSize,
                 uint32_t* returned);
  void Restart();
  bool Attach();
  void Detach();
  void PullOutLater(bool bootAgain);
  void JoinWorker();

  GenericDeviceOptions options_;
  platform::KsDeviceInfo info_;
  CameraFlash flash_;
  CameraFirmware firmware_;
  std::mutex lock_;
  bool plugged_ = false;
  std::atomic<bool> offBus_{false};  // requests fail: the chip is restarting or was pulled out
  std::function<bool(uint32_t)> writeHook_;
  std::thread worker_;
  std::atomic<bool> restarting_{false};
  std::atomic<bool> cableIn_{false};
};

}  // namespace sim
