// RegisterDeviceNotification for device interfaces, and the WM_DEVICECHANGE
// messages the PC sends when a device interface arrives or goes.
#include <windows.h>
#include <dbt.h>

#include <cstring>
#include <mutex>
#include <vector>

#include "platform/machine/device_notify.h"
#include "platform/machine/guid_text.h"

namespace {

struct Registration {
  int id;
  HWND window;
  bool allClasses;
  GUID interfaceClass;
};

struct Registrations {
  std::mutex lock;
  std::vector<Registration> list;
  int next = 1;
};

Registrations& R() {
  static Registrations* r = new Registrations;
  return *r;
}

// The interface class of a device interface path: its "{...}" part.
bool InterfaceClassOf(const std::string& path, GUID* guid) {
  const size_t open = path.rfind('{'), close = path.rfind('}');
  if (open == std::string::npos || close == std::string::npos || close < open) return false;
  return platform::ParseGuidText(path.substr(open, close - open + 1), guid);
}

}  // namespace

HDEVNOTIFY WINAPI RegisterDeviceNotificationA(HANDLE hRecipient, LPVOID NotificationFilter, DWORD Flags) {
  const auto* filter = static_cast<const DEV_BROADCAST_DEVICEINTERFACE_A*>(NotificationFilter);
  HWND window = static_cast<HWND>(hRecipient);
  if (!filter || (Flags & ~DWORD(DEVICE_NOTIFY_ALL_INTERFACE_CLASSES)) != DEVICE_NOTIFY_WINDOW_HANDLE ||
      filter->dbcc_size < sizeof(DEV_BROADCAST_DEVICEINTERFACE_A) ||
      filter->dbcc_devicetype != DBT_DEVTYP_DEVICEINTERFACE) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return NULL;
  }
  if (!IsWindow(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return NULL;
  }
  Registrations& r = R();
  std::lock_guard<std::mutex> hold(r.lock);
  r.list.push_back(Registration{r.next, window, (Flags & DEVICE_NOTIFY_ALL_INTERFACE_CLASSES) != 0,
                                filter->dbcc_classguid});
  return reinterpret_cast<HDEVNOTIFY>(intptr_t(r.next++));
}

BOOL WINAPI UnregisterDeviceNotification(HDEVNOTIFY Handle) {
  Registrations& r = R();
  std::lock_guard<std::mutex> hold(r.lock);
  for (auto it = r.list.begin(); it != r.list.end(); ++it) {
    if (reinterpret_cast<HDEVNOTIFY>(intptr_t(it->id)) == Handle) {
      r.list.erase(it);
      return TRUE;
    }
  }
  SetLastError(ERROR_INVALID_HANDLE);
  return FALSE;
}

namespace platform {

void AnnounceDeviceInterfaceChange(const std::string& interfacePath, bool arrived) {
  GUID interfaceClass;
  if (!InterfaceClassOf(interfacePath, &interfaceClass)) return;
  std::vector<HWND> windows;
  {
    Registrations& r = R();
    std::lock_guard<std::mutex> hold(r.lock);
    for (const Registration& g : r.list)
      if (g.allClasses || IsEqualGUID(g.interfaceClass, interfaceClass)) windows.push_back(g.window);
  }
  // The record ends with the path and its terminating zero.
  std::vector<uint8_t> record(offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name) + interfacePath.size() + 1);
  auto* d = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_A*>(record.data());
  d->dbcc_size = DWORD(record.size());
  d->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  d->dbcc_classguid = interfaceClass;
  std::memcpy(d->dbcc_name, interfacePath.c_str(), interfacePath.size() + 1);
  for (HWND w : windows)
    if (IsWindow(w))
      SendMessageA(w, WM_DEVICECHANGE, arrived ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE,
                   reinterpret_cast<LPARAM>(record.data()));
  // Every top-level window of every process learns that the device tree
  // changed, registered or not. The message carries no record, so it is
  // posted: a program busy elsewhere cannot hold up the device's arrival.
  PostMessageA(HWND_BROADCAST, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
}

}  // namespace platform
