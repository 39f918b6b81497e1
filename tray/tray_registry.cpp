#include "tray/tray_registry.h"

#include "shared/qcam_ids.h"

namespace qorbm {

REGSAM CurrentKeyAccess() {
  typedef BOOL(WINAPI * IsWow64ProcessRoutine)(HANDLE process, PBOOL wow64);
  REGSAM access = KEY_ALL_ACCESS;
  HMODULE kernel = GetModuleHandleA("kernel32");
  FARPROC routine = kernel ? GetProcAddress(kernel, "IsWow64Process") : NULL;
  IsWow64ProcessRoutine isWow64 = reinterpret_cast<IsWow64ProcessRoutine>(reinterpret_cast<void*>(routine));
  BOOL wow64 = FALSE;
  if (isWow64 && isWow64(GetCurrentProcess(), &wow64) && wow64) access |= KEY_WOW64_64KEY;
  return access;
}

DWORD ReadCurrentDword(const char* name, DWORD fallback) {
  HKEY key = NULL;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, qcam::kUserCurrentKey, 0, CurrentKeyAccess(), &key) != ERROR_SUCCESS)
    return fallback;
  DWORD value = 0;
  DWORD type = 0;
  DWORD size = sizeof(value);
  if (RegQueryValueExA(key, name, NULL, &type, reinterpret_cast<LPBYTE>(&value), &size) != ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof(value))
    value = fallback;
  RegCloseKey(key);
  return value;
}

}  // namespace qorbm
