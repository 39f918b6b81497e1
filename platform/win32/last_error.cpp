// The thread's last error and CloseHandle over the PC's handle table.
#include <windows.h>

#include "platform/machine/handles.h"

namespace {
thread_local DWORD t_lastError = 0;
}

DWORD WINAPI GetLastError() { return t_lastError; }
void WINAPI SetLastError(DWORD dwErrCode) { t_lastError = dwErrCode; }

BOOL WINAPI CloseHandle(HANDLE hObject) {
  if (!platform::CloseHandleEntry(hObject)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

BOOL WINAPI DuplicateHandle(HANDLE, HANDLE hSourceHandle, HANDLE, LPHANDLE lpTargetHandle, DWORD, BOOL, DWORD) {
  std::shared_ptr<platform::KernelObject> object = platform::LookupHandle(hSourceHandle);
  if (!object || !lpTargetHandle) {
    SetLastError(object ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return FALSE;
  }
  *lpTargetHandle = platform::NewHandle(object);
  return TRUE;
}
