// IsWow64Process: every program on the PC is a 32-bit program, so it runs
// under WOW64 exactly when the PC is 64-bit Windows.
#include <windows.h>

#include <cstring>

#include "platform/machine/handles.h"
#include "platform/machine/pc_settings.h"

namespace {

// GetCurrentProcess() returns this pseudo handle.
const HANDLE kCurrentProcess = reinterpret_cast<HANDLE>(LONG_PTR(-1));

bool IsProcessHandle(HANDLE process) {
  if (process == kCurrentProcess) return true;
  std::shared_ptr<platform::KernelObject> object = platform::LookupHandle(process);
  return object && std::strcmp(object->Kind(), "process") == 0;
}

}  // namespace

BOOL WINAPI IsWow64Process(HANDLE hProcess, PBOOL Wow64Process) {
  if (!IsProcessHandle(hProcess)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!Wow64Process) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *Wow64Process = platform::GetPcSettings().wow64 ? TRUE : FALSE;
  return TRUE;
}
