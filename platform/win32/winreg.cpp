// The Win32 registry calls on the machine registry of the simulated PC.
// Handles are opaque records naming a key path; the key is looked up again on
// every call, so a key deleted behind an open handle simply is not found.
#include <algorithm>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/nt/platform_control.h"
#include "platform/win32/winreg.h"

namespace {

constexpr DWORD kCreatedNewKey = 1;     // REG_CREATED_NEW_KEY
constexpr DWORD kOpenedExistingKey = 2; // REG_OPENED_EXISTING_KEY

struct OpenKey {
  std::string path;  // "HKEY_LOCAL_MACHINE\..." without a trailing backslash
};

struct KeyTable {
  std::mutex lock;
  std::set<OpenKey*> live;
};
KeyTable& Keys() {
  static KeyTable* table = new KeyTable;
  return *table;
}

// The full path of `hKey` plus `subKey`; false for an unknown handle.
bool Resolve(HKEY hKey, LPCSTR subKey, std::string* path) {
  std::string base;
  if (hKey == HKEY_LOCAL_MACHINE) {
    base = "HKEY_LOCAL_MACHINE";
  } else {
    KeyTable& t = Keys();
    std::lock_guard<std::mutex> guard(t.lock);
    OpenKey* k = reinterpret_cast<OpenKey*>(hKey);
    if (!t.live.count(k)) return false;
    base = k->path;
  }
  if (subKey && *subKey) {
    std::string sub = subKey;
    while (!sub.empty() && sub.back() == '\\') sub.pop_back();
    size_t lead = 0;
    while (lead < sub.size() && sub[lead] == '\\') ++lead;
    sub.erase(0, lead);
    if (!sub.empty()) base += "\\" + sub;
  }
  *path = base;
  return true;
}

HKEY NewHandle(const std::string& path) {
  OpenKey* k = new OpenKey{path};
  KeyTable& t = Keys();
  std::lock_guard<std::mutex> guard(t.lock);
  t.live.insert(k);
  return reinterpret_cast<HKEY>(k);
}

}  // namespace

LSTATUS RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult) {
  if (!phkResult) return ERROR_INVALID_PARAMETER;
  std::string path;
  if (!Resolve(hKey, lpSubKey, &path)) return ERROR_INVALID_HANDLE;
  if (!platform::RegKeyExists(path)) return ERROR_FILE_NOT_FOUND;
  *phkResult = NewHandle(path);
  return ERROR_SUCCESS;
}

LSTATUS RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass, DWORD dwOptions,
                        REGSAM samDesired, PVOID lpSecurityAttributes, PHKEY phkResult, LPDWORD lpdwDisposition) {
  if (!phkResult) return ERROR_INVALID_PARAMETER;
  std::string path;
  if (!Resolve(hKey, lpSubKey, &path)) return ERROR_INVALID_HANDLE;
  const bool existed = platform::RegKeyExists(path);
  if (!existed && !platform::RegCreateKeyPath(path)) return ERROR_INVALID_PARAMETER;
  if (lpdwDisposition) *lpdwDisposition = existed ? kOpenedExistingKey : kCreatedNewKey;
  *phkResult = NewHandle(path);
  return ERROR_SUCCESS;
}

LSTATUS RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                         LPDWORD lpcbData) {
  if (lpData && !lpcbData) return ERROR_INVALID_PARAMETER;
  std::string path;
  if (!Resolve(hKey, nullptr, &path)) return ERROR_INVALID_HANDLE;
  ULONG type;
  std::vector<uint8_t> data;
  if (!platform::RegGetRaw(path, lpValueName ? lpValueName : "", &type, &data)) return ERROR_FILE_NOT_FOUND;
  if (type == REG_SZ || type == REG_EXPAND_SZ) data.push_back(0);  // handed out with its terminator
  if (lpType) *lpType = type;
  if (!lpcbData) return ERROR_SUCCESS;
  const DWORD needed = static_cast<DWORD>(data.size());
  if (!lpData) {
    *lpcbData = needed;
    return ERROR_SUCCESS;
  }
  if (*lpcbData < needed) {
    *lpcbData = needed;
    return ERROR_MORE_DATA;
  }
  if (needed) std::memcpy(lpData, data.data(), needed);
  *lpcbData = needed;
  return ERROR_SUCCESS;
}

LSTATUS RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType, LPCBYTE lpData, DWORD cbData) {
  if (cbData && !lpData) return ERROR_INVALID_PARAMETER;
  std::string path;
  if (!Resolve(hKey, nullptr, &path)) return ERROR_INVALID_HANDLE;
  std::vector<uint8_t> data;
  if (cbData) data.assign(lpData, lpData + cbData);
  if (dwType == REG_SZ || dwType == REG_EXPAND_SZ) {
    // Stored up to the terminator (which callers usually count in cbData).
    auto nul = std::find(data.begin(), data.end(), 0);
    data.erase(nul, data.end());
  } else if (dwType == REG_DWORD && cbData != 4) {
    return ERROR_INVALID_PARAMETER;
  }
  if (!platform::RegKeyExists(path)) return ERROR_FILE_NOT_FOUND;
  if (!platform::RegSetRaw(path, lpValueName ? lpValueName : "", dwType, data)) return ERROR_INVALID_PARAMETER;
  return ERROR_SUCCESS;
}

LSTATUS RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
  std::string path;
  if (!Resolve(hKey, nullptr, &path)) return ERROR_INVALID_HANDLE;
  if (!platform::RegDeleteValue(path, lpValueName ? lpValueName : "")) return ERROR_FILE_NOT_FOUND;
  return ERROR_SUCCESS;
}

LSTATUS RegCloseKey(HKEY hKey) {
  if (hKey == HKEY_LOCAL_MACHINE) return ERROR_SUCCESS;
  KeyTable& t = Keys();
  OpenKey* k = reinterpret_cast<OpenKey*>(hKey);
  {
    std::lock_guard<std::mutex> guard(t.lock);
    if (t.live.erase(k) == 0) return ERROR_INVALID_HANDLE;
  }
  delete k;
  return ERROR_SUCCESS;
}
