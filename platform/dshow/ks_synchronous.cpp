// KsSynchronousDeviceControl: one kernel-streaming request, waited for.
#include <windows.h>
#include <ksproxy.h>

HRESULT WINAPI KsSynchronousDeviceControl(HANDLE Handle, ULONG IoControl, PVOID InBuffer, ULONG InLength,
                                          PVOID OutBuffer, ULONG OutLength, PULONG BytesReturned) {
  // The request goes out overlapped, so that a device that completes it
  // later is waited for like one that completes it at once.
  OVERLAPPED overlapped{};
  DWORD returned = 0;
  BOOL ok = DeviceIoControl(Handle, IoControl, InBuffer, InLength, OutBuffer, OutLength, &returned, &overlapped);
  DWORD error = ok ? ERROR_SUCCESS : GetLastError();
  if (error == ERROR_IO_PENDING) {
    ok = GetOverlappedResult(Handle, &overlapped, &returned, TRUE);
    error = ok ? ERROR_SUCCESS : GetLastError();
  }
  if (BytesReturned) *BytesReturned = returned;
  if (ok) return S_OK;
  return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
}
