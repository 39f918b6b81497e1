// The plugged kernel-streaming devices and their handles.
#include "platform/machine/ks_devices.h"

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>

#include "platform/machine/device_notify.h"
#include "platform/machine/handles.h"

namespace platform {
namespace {

constexpr int32_t kStatusDeviceNotConnected = int32_t(0xC000009D);

struct Device {
  KsDeviceInfo info;
  KsRequestRoutine routine = nullptr;
  void* context = nullptr;
  std::mutex callLock;  // held while a request runs; unplugging waits for it
  bool alive = true;
};

class DeviceHandle final : public KernelObject {
 public:
  explicit DeviceHandle(std::shared_ptr<Device> d) : device(std::move(d)) {}
  const char* Kind() const override { return "device"; }
  std::shared_ptr<Device> device;
};

struct Devices {
  std::mutex lock;
  std::vector<std::shared_ptr<Device>> plugged;  // in plug order
};
Devices& D() {
  static Devices* d = new Devices;
  return *d;
}

bool SamePath(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
           return std::tolower(x) == std::tolower(y);
         });
}

}  // namespace

bool PlugKsDevice(const KsDeviceInfo& info, KsRequestRoutine routine, void* context) {
  if (info.interfacePath.empty() || !routine) return false;
  Devices& d = D();
  auto device = std::make_shared<Device>();
  device->info = info;
  device->routine = routine;
  device->context = context;
  {
    std::lock_guard<std::mutex> hold(d.lock);
    for (auto& p : d.plugged)
      if (SamePath(p->info.interfacePath, info.interfacePath)) return false;
    d.plugged.push_back(device);
  }
  AnnounceDeviceInterfaceChange(info.interfacePath, true);
  return true;
}

void UnplugKsDevice(const std::string& interfacePath) {
  std::shared_ptr<Device> device;
  {
    Devices& d = D();
    std::lock_guard<std::mutex> hold(d.lock);
    for (auto it = d.plugged.begin(); it != d.plugged.end(); ++it) {
      if (SamePath((*it)->info.interfacePath, interfacePath)) {
        device = *it;
        d.plugged.erase(it);
        break;
      }
    }
  }
  if (!device) return;
  {
    std::lock_guard<std::mutex> call(device->callLock);  // waits for a request in progress
    device->alive = false;
  }
  AnnounceDeviceInterfaceChange(device->info.interfacePath, false);
}

std::vector<KsDeviceInfo> PluggedKsDevices() {
  Devices& d = D();
  std::lock_guard<std::mutex> hold(d.lock);
  std::vector<KsDeviceInfo> out;
  for (auto& p : d.plugged) out.push_back(p->info);
  return out;
}

void* OpenKsDeviceHandle(const std::string& interfacePath) {
  std::shared_ptr<Device> device;
  {
    Devices& d = D();
    std::lock_guard<std::mutex> hold(d.lock);
    for (auto& p : d.plugged)
      if (SamePath(p->info.interfacePath, interfacePath)) device = p;
  }
  if (!device) return nullptr;
  return NewHandle(std::make_shared<DeviceHandle>(device));
}

bool IsKsDeviceHandle(void* handle) { return LookupHandleAs<DeviceHandle>(handle) != nullptr; }

namespace {

std::mutex& ObserverLock() {
  static std::mutex* lock = new std::mutex;
  return *lock;
}
KsRequestObserver& Observer() {
  static KsRequestObserver* observer = new KsRequestObserver;
  return *observer;
}

}  // namespace

KsRequestObserver SetKsRequestObserver(KsRequestObserver observer) {
  std::lock_guard<std::mutex> hold(ObserverLock());
  std::swap(Observer(), observer);
  return observer;
}

bool KsDeviceRequest(void* handle, uint32_t ioControlCode, void* inBuffer, uint32_t inSize, void* outBuffer,
                     uint32_t outSize, uint32_t* bytesReturned, int32_t* status) {
  *bytesReturned = 0;
  std::shared_ptr<DeviceHandle> h = LookupHandleAs<DeviceHandle>(handle);
  if (!h) return false;
  std::lock_guard<std::mutex> call(h->device->callLock);
  if (!h->device->alive) {
    *status = kStatusDeviceNotConnected;
    return true;
  }
  KsRequestObserver observer;
  {
    std::lock_guard<std::mutex> hold(ObserverLock());
    observer = Observer();
  }
  if (observer) observer(ioControlCode, inBuffer, inSize);
  *status = h->device->routine(h->device->context, ioControlCode, inBuffer, inSize, outBuffer, outSize,
                               bytesReturned);
  return true;
}

}  // namespace platform
