// The generic video-class driver's extension-unit node properties.
#include "sim/generic_driver.h"

#include <cstring>

#include "platform/machine/pc_clock.h"
#include "sim/ks_camera_device.h"

namespace sim {
namespace {

// Kernel-streaming values, as the class driver's request routine sees them.
constexpr uint32_t kIoctlKsProperty = 0x002F0003;
constexpr uint32_t kPropertyGet = 0x00000001;
constexpr uint32_t kPropertySet = 0x00000002;
constexpr uint32_t kPropertyTopology = 0x10000000;
constexpr int32_t kStatusSuccess = 0;
constexpr int32_t kStatusUnsuccessful = int32_t(0xC0000001);
constexpr int32_t kStatusInvalidParameter = int32_t(0xC000000D);
constexpr int32_t kStatusInvalidDeviceRequest = int32_t(0xC0000010);
constexpr int32_t kStatusDeviceNotConnected = int32_t(0xC000009D);
constexpr int32_t kStatusNotFound = int32_t(0xC0000225);

// KSP_NODE: KSPROPERTY (set GUID, id, flags), node id, reserved.
constexpr uint32_t kNodePropertySize = 32;
uint32_t Le32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

}  // namespace

uint32_t FlashDeviceSeed(uint16_t vendorId, uint16_t productId, uint32_t port) {
  return uint32_t(vendorId) << 16 ^ productId ^ port * 0x9E3779B9u;
}

GenericCameraDevice::GenericCameraDevice(const GenericDeviceOptions& options)
    : options_(options),
      flash_(options.stateDir, FlashDeviceSeed(options.vendorId, options.productId, options.port)),
      firmware_(&flash_, options.firmware) {
  info_.vendorId = options.vendorId;
  info_.productId = options.productId;
  info_.instance = UsbInstanceString(options.vendorId, options.productId, options.port);
  info_.interfacePath = UsbCaptureInterfacePath(options.vendorId, options.productId, info_.instance);
  info_.friendlyName = kGenericFriendlyName;
}

GenericCameraDevice::~GenericCameraDevice() {
  JoinWorker();
  Unplug();
  std::string error;
  SaveFlash(&error);
}

bool GenericCameraDevice::Plug() {
  cableIn_ = true;
  return Attach();
}

void GenericCameraDevice::Unplug() {
  cableIn_ = false;
  Detach();
}

bool GenericCameraDevice::Attach() {
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (plugged_) return true;
    firmware_.Boot();
    offBus_ = false;
    plugged_ = true;
  }
  if (platform::PlugKsDevice(info_, &GenericCameraDevice::Routine, this)) return true;
  std::lock_guard<std::mutex> hold(lock_);
  plugged_ = false;
  return false;
}

void GenericCameraDevice::Detach() {
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (!plugged_) return;
    plugged_ = false;
    offBus_ = true;
  }
  platform::UnplugKsDevice(info_.interfacePath);
  std::string error;
  SaveFlash(&error);
}

bool GenericCameraDevice::Plugged() const {
  std::lock_guard<std::mutex> hold(const_cast<std::mutex&>(lock_));
  return plugged_;
}

bool GenericCameraDevice::SaveFlash(std::string* error) { return flash_.Save(error); }

void GenericCameraDevice::SetWritePacketHook(std::function<bool(uint32_t)> hook) {
  std::lock_guard<std::mutex> hold(lock_);
  writeHook_ = std::move(hook);
}

void GenericCameraDevice::WaitRestart() { JoinWorker(); }

void GenericCameraDevice::JoinWorker() {
  std::thread worker;
  {
    std::lock_guard<std::mutex> hold(lock_);
    worker.swap(worker_);
  }
  if (worker.joinable()) worker.join();
}

// The chip drops off the bus at once; the PC notices the removal, and a
// restarting chip comes back after its boot time, unless its cable was
// pulled meanwhile. This runs on a thread of its own: the request that
// caused it still holds the device.
void GenericCameraDevice::PullOutLater(bool bootAgain) {
  offBus_ = true;
  restarting_ = true;
  if (!bootAgain) cableIn_ = false;
  std::lock_guard<std::mutex> hold(lock_);
  std::thread previous;
  previous.swap(worker_);
  worker_ = std::thread([this, bootAgain, p = std::move(previous)]() mutable {
    if (p.joinable()) p.join();
    Detach();
    if (bootAgain) {
      platform::PcSleep(options_.restartMs);
      if (cableIn_) Attach();
    }
    restarting_ = false;
  });
}

int32_t GenericCameraDevice::Routine(void* context, uint32_t code, void* in, uint32_t inSize, void* out,
                                     uint32_t outSize, uint32_t* returned) {
  *returned = 0;
  return static_cast<GenericCameraDevice*>(context)->Answer(code, static_cast<const uint8_t*>(in), inSize,
                                                           static_cast<uint8_t*>(out), outSize, returned);
}

int32_t GenericCameraDevice::Answer(uint32_t code, const uint8_t* in, uint32_t inSize, uint8_t* out,
                                    uint32_t outSize, uint32_t* returned) {
  if (offBus_) return kStatusDeviceNotConnected;
  if (code != kIoctlKsProperty) return kStatusInvalidDeviceRequest;
  if (!in || inSize < kNodePropertySize || (!out && outSize)) return kStatusInvalidParameter;
  const uint32_t id = Le32(in + 16), flags = Le32(in + 20), node = Le32(in + 24);
  // Only the unit's own set on its own node; everything else the driver
  // does not know.
  if (std::memcmp(in, kFirmwareUnitGuid, 16) != 0 || !(flags & kPropertyTopology) || node != kFirmwareUnitNode)
    return kStatusNotFound;
  const bool set = (flags & kPropertySet) != 0;
  if (set == ((flags & kPropertyGet) != 0)) return kStatusInvalidParameter;
  const uint32_t packetsBefore = firmware_.WritePackets();
  if (!firmware_.Request(id, set, out, outSize, returned)) return kStatusUnsuccessful;
  if (firmware_.RestartRequested()) {
    PullOutLater(true);
  } else if (firmware_.WritePackets() != packetsBefore) {
    std::function<bool(uint32_t)> hook;
    {
      std::lock_guard<std::mutex> hold(lock_);
      hook = writeHook_;
    }
    if (hook && hook(firmware_.WritePackets())) PullOutLater(false);
  }
  return kStatusSuccess;
}

}  // namespace sim
