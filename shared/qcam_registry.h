// The user-mode programs' access to the package's registry keys under
// HKLM\SOFTWARE\Qorvane\QCAM500 (the extension and the tray). A 32-bit
// program on 64-bit Windows opens the native (64-bit) view, where the driver
// keeps its values. Inline, so each program carries its own copy on both
// systems.
#pragma once

#include <windows.h>

namespace qcam {

// KEY_ALL_ACCESS, with KEY_WOW64_64KEY when IsWow64Process (looked up at run
// time, since older systems lack it) reports a 32-bit process on 64-bit
// Windows.
inline REGSAM QcamKeyAccess() {
  typedef BOOL(WINAPI * IsWow64ProcessRoutine)(HANDLE process, PBOOL wow64);
  REGSAM access = KEY_ALL_ACCESS;
  HMODULE kernel = GetModuleHandleA("kernel32");
  FARPROC routine = kernel ? GetProcAddress(kernel, "IsWow64Process") : NULL;
  IsWow64ProcessRoutine isWow64 = reinterpret_cast<IsWow64ProcessRoutine>(reinterpret_cast<void*>(routine));
  BOOL wow64 = FALSE;
  if (isWow64 && isWow64(GetCurrentProcess(), &wow64) && wow64) access |= KEY_WOW64_64KEY;
  return access;
}

// Reads DWORD `name` from HKLM\`subKey`; 0 when the key or value is missing
// or is not a DWORD.
inline DWORD ReadQcamDword(const char* subKey, const char* name) {
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

// Reads REG_SZ `name` into `text` (at most capacity - 1 bytes, always
// terminated); an empty string when the key or value is missing or is not
// a string.
inline void ReadQcamString(const char* subKey, const char* name, char* text, DWORD capacity) {
  if (capacity == 0) return;
  text[0] = 0;
  HKEY key = NULL;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, QcamKeyAccess(), &key) != ERROR_SUCCESS) return;
  DWORD type = 0;
  DWORD size = capacity - 1;
  if (RegQueryValueExA(key, name, NULL, &type, reinterpret_cast<LPBYTE>(text), &size) != ERROR_SUCCESS ||
      type != REG_SZ) {
    size = 0;
  }
  text[size < capacity ? size : capacity - 1] = 0;
  RegCloseKey(key);
}

// Writes REG_SZ `name` (length including the terminating zero); false when
// the key cannot be opened or the value not written.
inline bool WriteQcamString(const char* subKey, const char* name, const char* text) {
  HKEY key = NULL;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, QcamKeyAccess(), &key) != ERROR_SUCCESS) return false;
  const LONG result = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                                     static_cast<DWORD>(lstrlenA(text) + 1));
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
}

}  // namespace qcam
