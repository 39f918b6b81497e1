// Kernel-streaming device handles and IOCTL_KS_PROPERTY.
#include "platform/dshow/ks_device.h"

#include <cstring>
#include <map>
#include <memory>
#include <mutex>

namespace {

struct Device {
  platform::KsPropertyRoutine routine;
  void* context;
  std::mutex callLock;  // held while a request runs; unregistering waits for it
  bool alive = true;
};

std::mutex g_lock;
std::map<std::string, std::shared_ptr<Device>> g_devices;
std::map<uintptr_t, std::shared_ptr<Device>> g_handles;
uintptr_t g_nextHandle = 0x4B530000;

thread_local DWORD t_lastError = 0;
thread_local NTSTATUS t_lastStatus = STATUS_SUCCESS;

void SetLast(DWORD error, NTSTATUS status) {
  t_lastError = error;
  t_lastStatus = status;
}

}  // namespace

namespace platform {

DWORD NtStatusToWin32Error(NTSTATUS status) {
  switch (status) {
    case STATUS_SUCCESS: return 0;
    case STATUS_BUFFER_OVERFLOW: return DWORD(ERROR_MORE_DATA);
    case STATUS_INVALID_PARAMETER: return DWORD(ERROR_INVALID_PARAMETER);
    case STATUS_NOT_SUPPORTED: return ERROR_NOT_SUPPORTED;
    case STATUS_BUFFER_TOO_SMALL: return ERROR_INSUFFICIENT_BUFFER;
    case STATUS_IO_DEVICE_ERROR: return ERROR_IO_DEVICE;
    case STATUS_DEVICE_NOT_CONNECTED: return ERROR_DEVICE_NOT_CONNECTED;
    case STATUS_NO_MATCH: return ERROR_NO_MATCH;
    case STATUS_INSUFFICIENT_RESOURCES: return ERROR_NO_SYSTEM_RESOURCES;
    case STATUS_NOT_IMPLEMENTED:
    case STATUS_INVALID_DEVICE_REQUEST: return ERROR_INVALID_FUNCTION;
    default: return NT_SUCCESS(status) ? 0 : ERROR_GEN_FAILURE;
  }
}

bool RegisterKsDevice(const std::string& path, KsPropertyRoutine routine, void* context) {
  if (path.empty() || !routine) return false;
  std::lock_guard<std::mutex> hold(g_lock);
  if (g_devices.count(path)) return false;
  auto device = std::make_shared<Device>();
  device->routine = routine;
  device->context = context;
  g_devices[path] = device;
  return true;
}

void UnregisterKsDevice(const std::string& path) {
  std::shared_ptr<Device> device;
  {
    std::lock_guard<std::mutex> hold(g_lock);
    auto it = g_devices.find(path);
    if (it == g_devices.end()) return;
    device = it->second;
    g_devices.erase(it);
  }
  // Waits for a request in progress; later ones see the device gone.
  std::lock_guard<std::mutex> call(device->callLock);
  device->alive = false;
}

HANDLE OpenKsDevice(const std::string& path) {
  std::lock_guard<std::mutex> hold(g_lock);
  auto it = g_devices.find(path);
  if (it == g_devices.end()) {
    SetLast(DWORD(ERROR_FILE_NOT_FOUND), STATUS_SUCCESS);
    return INVALID_HANDLE_VALUE;
  }
  uintptr_t handle = g_nextHandle++;
  g_handles[handle] = it->second;
  SetLast(0, STATUS_SUCCESS);
  return reinterpret_cast<HANDLE>(handle);
}

bool CloseKsDevice(HANDLE device) {
  std::lock_guard<std::mutex> hold(g_lock);
  if (!g_handles.erase(reinterpret_cast<uintptr_t>(device))) {
    SetLast(DWORD(ERROR_INVALID_HANDLE), STATUS_SUCCESS);
    return false;
  }
  return true;
}

DWORD KsLastError() { return t_lastError; }
NTSTATUS KsLastStatus() { return t_lastStatus; }

NTSTATUS KsAnswerBasicSupport(const KSPROPERTY_SET* sets, ULONG setCount, const KSPROPERTY* property, PVOID data,
                              ULONG dataSize, ULONG* bytesReturned) {
  *bytesReturned = 0;
  const KSPROPERTY_ITEM* item = nullptr;
  for (ULONG s = 0; sets && s < setCount && !item; ++s) {
    if (!sets[s].Set || !IsEqualGUID(*sets[s].Set, property->Set)) continue;
    for (ULONG i = 0; i < sets[s].PropertiesCount; ++i)
      if (sets[s].PropertyItem[i].PropertyId == property->Id) item = &sets[s].PropertyItem[i];
  }
  if (!item) return STATUS_NOT_SUPPORTED;

  ULONG access = (item->GetSupported ? KSPROPERTY_TYPE_GET : 0) | (item->SetSupported ? KSPROPERTY_TYPE_SET : 0) |
                 KSPROPERTY_TYPE_BASICSUPPORT;
  // Size of the whole description: header, then each members list with its
  // members.
  ULONG total = sizeof(KSPROPERTY_DESCRIPTION);
  ULONG lists = item->Values ? item->Values->MembersListCount : 0;
  for (ULONG l = 0; l < lists; ++l) {
    const KSPROPERTY_MEMBERSHEADER& h = item->Values->MembersList[l].MembersHeader;
    total += sizeof(KSPROPERTY_MEMBERSHEADER) + h.MembersSize * h.MembersCount;
  }
  PUCHAR out = static_cast<PUCHAR>(data);
  if (dataSize == 0) {
    *bytesReturned = total;
    return STATUS_BUFFER_OVERFLOW;
  }
  if (!out) return STATUS_BUFFER_TOO_SMALL;
  if (dataSize >= sizeof(ULONG) && dataSize < sizeof(KSPROPERTY_DESCRIPTION)) {
    memcpy(out, &access, sizeof(access));
    *bytesReturned = sizeof(ULONG);
    return STATUS_SUCCESS;
  }
  if (dataSize < total) return STATUS_BUFFER_TOO_SMALL;

  KSPROPERTY_DESCRIPTION d{};
  d.AccessFlags = access;
  d.DescriptionSize = total;
  if (item->Values) d.PropTypeSet = item->Values->PropTypeSet;
  d.MembersListCount = lists;
  memcpy(out, &d, sizeof(d));
  ULONG at = sizeof(d);
  for (ULONG l = 0; l < lists; ++l) {
    const KSPROPERTY_MEMBERSLIST& list = item->Values->MembersList[l];
    memcpy(out + at, &list.MembersHeader, sizeof(list.MembersHeader));
    at += sizeof(list.MembersHeader);
    ULONG bytes = list.MembersHeader.MembersSize * list.MembersHeader.MembersCount;
    memcpy(out + at, list.Members, bytes);
    at += bytes;
  }
  *bytesReturned = total;
  return STATUS_SUCCESS;
}

}  // namespace platform

BOOL DeviceIoControl(HANDLE device, DWORD ioControlCode, PVOID inBuffer, DWORD inBufferSize, PVOID outBuffer,
                     DWORD outBufferSize, DWORD* bytesReturned, PVOID overlapped) {
  if (bytesReturned) *bytesReturned = 0;
  std::shared_ptr<Device> target;
  {
    std::lock_guard<std::mutex> hold(g_lock);
    auto it = g_handles.find(reinterpret_cast<uintptr_t>(device));
    if (it != g_handles.end()) target = it->second;
  }
  if (!target) {
    SetLast(DWORD(ERROR_INVALID_HANDLE), STATUS_SUCCESS);
    return FALSE;
  }
  if (ioControlCode != IOCTL_KS_PROPERTY || overlapped) {
    SetLast(ERROR_INVALID_FUNCTION, STATUS_SUCCESS);
    return FALSE;
  }
  if (!inBuffer || inBufferSize < sizeof(KSPROPERTY) || (!outBuffer && outBufferSize)) {
    SetLast(DWORD(ERROR_INVALID_PARAMETER), STATUS_SUCCESS);
    return FALSE;
  }
  ULONG returned = 0;
  NTSTATUS status;
  {
    std::lock_guard<std::mutex> call(target->callLock);
    if (!target->alive) {
      SetLast(ERROR_DEVICE_NOT_CONNECTED, STATUS_DEVICE_NOT_CONNECTED);
      return FALSE;
    }
    status = target->routine(target->context, static_cast<PKSPROPERTY>(inBuffer), inBufferSize, outBuffer,
                             outBufferSize, &returned);
  }
  // The I/O manager never reports more than the caller's buffer, except for
  // the size a zero-length query asks about.
  if (status != STATUS_BUFFER_OVERFLOW && returned > outBufferSize) returned = outBufferSize;
  if (bytesReturned) *bytesReturned = returned;
  SetLast(platform::NtStatusToWin32Error(status), status);
  return NT_SUCCESS(status) && status != STATUS_BUFFER_OVERFLOW ? TRUE : FALSE;
}
