// DeviceIoControl and GetOverlappedResult on the handles of plugged
// kernel-streaming devices. A request is answered by the device's request
// routine with an NTSTATUS, which becomes the Win32 error of the call as
// the I/O manager and kernel32 report it. With an OVERLAPPED and the PC's
// pending-requests switch on, the request runs on a worker thread and the
// call returns ERROR_IO_PENDING; the OVERLAPPED then carries the request's
// state (Internal: STATUS_PENDING, then the final status; InternalHigh: the
// bytes returned) and its event is set when the request completes.
#include <windows.h>

#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "platform/machine/dshow_control.h"
#include "platform/machine/ks_devices.h"
#include "platform/machine/pc_settings.h"

namespace {

// The NTSTATUS values requests end with (ntstatus.h).
constexpr int32_t kStatusSuccess = 0x00000000;
constexpr int32_t kStatusPending = 0x00000103;
constexpr int32_t kStatusBufferOverflow = int32_t(0x80000005);
constexpr int32_t kStatusUnsuccessful = int32_t(0xC0000001);
constexpr int32_t kStatusNotImplemented = int32_t(0xC0000002);
constexpr int32_t kStatusInvalidHandle = int32_t(0xC0000008);
constexpr int32_t kStatusInvalidParameter = int32_t(0xC000000D);
constexpr int32_t kStatusInvalidDeviceRequest = int32_t(0xC0000010);
constexpr int32_t kStatusNoMemory = int32_t(0xC0000017);
constexpr int32_t kStatusAccessDenied = int32_t(0xC0000022);
constexpr int32_t kStatusBufferTooSmall = int32_t(0xC0000023);
constexpr int32_t kStatusInsufficientResources = int32_t(0xC000009A);
constexpr int32_t kStatusDeviceNotConnected = int32_t(0xC000009D);
constexpr int32_t kStatusNotSupported = int32_t(0xC00000BB);
constexpr int32_t kStatusIoDeviceError = int32_t(0xC0000185);
constexpr int32_t kStatusNotFound = int32_t(0xC0000225);
constexpr int32_t kStatusPropsetNotFound = int32_t(0xC0000230);
constexpr int32_t kStatusNoMatch = int32_t(0xC0000272);

bool NtSuccess(int32_t status) { return status >= 0; }

// The Win32 error a driver status becomes (RtlNtStatusToDosError for the
// statuses a kernel-streaming device answers with).
DWORD Win32ErrorOf(int32_t status) {
  switch (status) {
    case kStatusSuccess: return ERROR_SUCCESS;
    case kStatusBufferOverflow: return ERROR_MORE_DATA;
    case kStatusUnsuccessful: return ERROR_GEN_FAILURE;
    case kStatusNotImplemented:
    case kStatusInvalidDeviceRequest: return ERROR_INVALID_FUNCTION;
    case kStatusInvalidHandle: return ERROR_INVALID_HANDLE;
    case kStatusInvalidParameter: return ERROR_INVALID_PARAMETER;
    case kStatusNoMemory: return ERROR_NOT_ENOUGH_MEMORY;
    case kStatusAccessDenied: return ERROR_ACCESS_DENIED;
    case kStatusBufferTooSmall: return ERROR_INSUFFICIENT_BUFFER;
    case kStatusInsufficientResources: return ERROR_NO_SYSTEM_RESOURCES;
    case kStatusDeviceNotConnected: return ERROR_DEVICE_NOT_CONNECTED;
    case kStatusNotSupported: return ERROR_NOT_SUPPORTED;
    case kStatusIoDeviceError: return ERROR_IO_DEVICE;
    case kStatusNotFound: return ERROR_NOT_FOUND;
    case kStatusPropsetNotFound: return ERROR_SET_NOT_FOUND;
    case kStatusNoMatch: return ERROR_NO_MATCH;
    default: return NtSuccess(status) ? ERROR_SUCCESS : ERROR_GEN_FAILURE;
  }
}

thread_local int32_t t_lastStatus = kStatusSuccess;

// One request as the device answered it.
struct Completion {
  int32_t status = kStatusSuccess;
  DWORD bytes = 0;
};

Completion Run(HANDLE device, DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize) {
  Completion c;
  uint32_t returned = 0;
  int32_t status = kStatusInvalidHandle;
  if (!platform::KsDeviceRequest(device, code, in, inSize, out, outSize, &returned, &status)) {
    c.status = kStatusInvalidHandle;
    return c;
  }
  c.status = status;
  // The I/O manager never reports more than the caller's buffer, except for
  // the size a query with too small a buffer is told (a warning status).
  c.bytes = (status != kStatusBufferOverflow && returned > outSize) ? outSize : returned;
  return c;
}

// Reports a completed request as the calling thread's result.
BOOL Report(const Completion& c, LPDWORD bytesReturned) {
  t_lastStatus = c.status;
  if (bytesReturned) *bytesReturned = c.bytes;
  if (NtSuccess(c.status)) return TRUE;
  SetLastError(Win32ErrorOf(c.status));
  return FALSE;
}

// Overlapped requests still running, by OVERLAPPED. The worker writes the
// OVERLAPPED's result fields and leaves the table under the same lock, so a
// caller that finds no entry reads final values.
struct PendingTable {
  std::mutex lock;
  std::condition_variable done;
  std::map<LPOVERLAPPED, int> running;
};
PendingTable& Pending() {
  static PendingTable* table = new PendingTable;
  return *table;
}

// The event is set under the table's lock, so whoever sees it set also
// finds the request complete.
void Finish(LPOVERLAPPED overlapped, const Completion& c) {
  PendingTable& p = Pending();
  {
    std::lock_guard<std::mutex> hold(p.lock);
    overlapped->InternalHigh = c.bytes;
    overlapped->Internal = ULONG_PTR(uint32_t(c.status));
    auto it = p.running.find(overlapped);
    if (it != p.running.end() && --it->second == 0) p.running.erase(it);
    if (overlapped->hEvent) SetEvent(overlapped->hEvent);
  }
  p.done.notify_all();
}

void StartPending(HANDLE device, DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize,
                  LPOVERLAPPED overlapped) {
  PendingTable& p = Pending();
  {
    std::lock_guard<std::mutex> hold(p.lock);
    overlapped->Internal = ULONG_PTR(uint32_t(kStatusPending));
    overlapped->InternalHigh = 0;
    ++p.running[overlapped];
  }
  std::thread([=] { Finish(overlapped, Run(device, code, in, inSize, out, outSize)); }).detach();
}

}  // namespace

namespace platform {
int32_t LastKsRequestStatus() { return t_lastStatus; }
}  // namespace platform

BOOL WINAPI DeviceIoControl(HANDLE hDevice, DWORD dwIoControlCode, LPVOID lpInBuffer, DWORD nInBufferSize,
                            LPVOID lpOutBuffer, DWORD nOutBufferSize, LPDWORD lpBytesReturned,
                            LPOVERLAPPED lpOverlapped) {
  if (lpBytesReturned) *lpBytesReturned = 0;
  t_lastStatus = kStatusSuccess;
  if (!platform::IsKsDeviceHandle(hDevice)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if ((!lpInBuffer && nInBufferSize) || (!lpOutBuffer && nOutBufferSize)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (lpOverlapped && platform::GetPcSettings().pendingRequests) {
    StartPending(hDevice, dwIoControlCode, lpInBuffer, nInBufferSize, lpOutBuffer, nOutBufferSize, lpOverlapped);
    SetLastError(ERROR_IO_PENDING);
    return FALSE;
  }
  Completion c = Run(hDevice, dwIoControlCode, lpInBuffer, nInBufferSize, lpOutBuffer, nOutBufferSize);
  if (lpOverlapped) {
    // A request that completes at once still completes its OVERLAPPED.
    lpOverlapped->Internal = ULONG_PTR(uint32_t(c.status));
    lpOverlapped->InternalHigh = c.bytes;
    if (lpOverlapped->hEvent) SetEvent(lpOverlapped->hEvent);
  }
  return Report(c, lpBytesReturned);
}

BOOL WINAPI GetOverlappedResult(HANDLE hFile, LPOVERLAPPED lpOverlapped, LPDWORD lpNumberOfBytesTransferred,
                                BOOL bWait) {
  if (!lpOverlapped) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  PendingTable& p = Pending();
  Completion c;
  {
    std::unique_lock<std::mutex> hold(p.lock);
    if (bWait) p.done.wait(hold, [&] { return p.running.count(lpOverlapped) == 0; });
    c.status = int32_t(uint32_t(lpOverlapped->Internal));
    c.bytes = DWORD(lpOverlapped->InternalHigh);
    if (p.running.count(lpOverlapped) || c.status == kStatusPending) {
      SetLastError(ERROR_IO_INCOMPLETE);
      return FALSE;
    }
  }
  return Report(c, lpNumberOfBytesTransferred);
}
