#include "extension/registry_access.h"

namespace qcamext {

REGSAM QcamKeyAccess() {
  typedef BOOL(WINAPI * IsWow64ProcessRoutine)(HANDLE process, PBOOL wow64);
  REGSAM access = KEY_ALL_ACCESS;
  HMODULE kernel = GetModuleHandleA("kernel32");
  FARPROC routine = kernel ? GetProcAddress(kernel, "IsWow64Process") : NULL;
  IsWow64ProcessRoutine isWow64 = reinterpret_cast<IsWow64ProcessRoutine>(reinterpret_cast<void*>(routine));
  BOOL wow64 = FALSE;
  if (isWow64 && isWow64(GetCurrentProcess(), &wow64) && wow64) access |= KEY_WOW64_64KEY;
  return access;
}

DWORD ReadQcamDword(const char* subKey, const char* name) {
  HKEY key = NULL;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, QcamKeyAccess(), &key) != ERROR_SUCCESS) return 0;
  DWORD value = 0;
  DWORD type = 0;
  DWORD size = sizeof(value);
  if (RegQueryValueExA(key, name, NULL, &type, reinterpret_cast<LPBYTE>(&value), &size) != ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof(value)) {
    value = 0;
  }
  RegCloseKey(key);
  return value;
}

}  // namespace qcamext
