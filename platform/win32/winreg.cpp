// The Win32 registry calls on the machine registry of the simulated PC.
//
// A key handle is a record of the path the caller named (its logical path,
// below HKEY_LOCAL_MACHINE), the view it was opened in and the rights it was
// granted; the key itself is looked up again on every call, so a key deleted
// behind an open handle is reported as deleted. Handles are checked against
// the table of live ones before they are followed.
//
// Views: a 32-bit program on 64-bit Windows (GetPcSettings().wow64) sees
// HKLM\SOFTWARE\X as HKLM\SOFTWARE\WOW6432Node\X and the class keys below
// HKLM\SOFTWARE\Classes (CLSID, Interface...) in SOFTWARE\Classes\WOW6432Node,
// unless it asks for the 64-bit view with KEY_WOW64_64KEY. The kernel and the
// machine controls always see the native tree.
//
// Text: the machine keeps key names, value names and string data in UTF-8;
// the A calls speak the PC's ANSI code page and the W calls WCHAR text.
// REG_MULTI_SZ data is kept as UTF-16LE, the registry's own form (which is
// also how the registry file writes it).
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/com/pc_text.h"
#include "platform/machine/pc_settings.h"
#include "platform/nt/platform_control.h"

namespace {

namespace text = platform::pc_text;

constexpr char kMachine[] = "HKEY_LOCAL_MACHINE";
constexpr char kClasses[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes";
constexpr char kWow64Node[] = "WOW6432Node";
// The keys of SOFTWARE\Classes that have a 32-bit view of their own; the
// rest of SOFTWARE\Classes is shared by both views.
const char* const kRedirectedClassKeys[] = {"CLSID", "DirectShow", "Interface", "Media Type", "MediaFoundation"};

struct OpenKey {
  std::string logical;   // "HKEY_LOCAL_MACHINE\..." as the caller named it
  std::string physical;  // the key in the native tree
  bool view32 = false;
  REGSAM access = 0;
};

struct KeyTable {
  std::mutex lock;
  std::set<OpenKey*> live;
};
KeyTable& Keys() {
  static KeyTable* table = new KeyTable;
  return *table;
}

bool SameName(const std::string& a, const char* b) {
  const size_t n = std::strlen(b);
  if (a.size() != n) return false;
  for (size_t i = 0; i < n; ++i)
    if (std::tolower((unsigned char)a[i]) != std::tolower((unsigned char)b[i])) return false;
  return true;
}

std::vector<std::string> SplitPath(const std::string& path) {
  std::vector<std::string> parts;
  size_t i = 0;
  while (i <= path.size()) {
    size_t j = path.find('\\', i);
    if (j == std::string::npos) j = path.size();
    if (j > i) parts.push_back(path.substr(i, j - i));
    i = j + 1;
  }
  return parts;
}

std::string JoinPath(const std::vector<std::string>& parts) {
  std::string out;
  for (const std::string& p : parts) out += (out.empty() ? "" : "\\") + p;
  return out;
}

bool RedirectedClassKey(const std::string& name) {
  for (const char* k : kRedirectedClassKeys)
    if (SameName(name, k)) return true;
  return false;
}

// The native key behind a logical path in the 32-bit view.
std::string Physical(const std::string& logical, bool view32) {
  std::vector<std::string> parts = SplitPath(logical);  // parts[0] is the hive
  if (view32 && parts.size() >= 3 && SameName(parts[1], "SOFTWARE")) {
    if (!SameName(parts[2], "Classes")) {
      if (!SameName(parts[2], kWow64Node)) parts.insert(parts.begin() + 2, kWow64Node);
    } else if (parts.size() >= 4 && RedirectedClassKey(parts[3])) {
      parts.insert(parts.begin() + 3, kWow64Node);
    }
  }
  return JoinPath(parts);
}

bool DefaultView32() { return platform::GetPcSettings().wow64; }

// The view a call asks for: its own flags, else the handle's. On 32-bit
// Windows both flags are ignored.
LSTATUS ViewOf(REGSAM sam, bool inherited, bool* view32) {
  const bool want64 = sam & KEY_WOW64_64KEY, want32 = sam & KEY_WOW64_32KEY;
  if (want64 && want32) return ERROR_INVALID_PARAMETER;
  if (!DefaultView32()) {
    *view32 = false;
  } else {
    *view32 = want64 ? false : want32 ? true : inherited;
  }
  return ERROR_SUCCESS;
}

// What a handle stands for. The predefined keys hold every right and take
// the program's own view.
struct Base {
  std::string logical;
  std::string physical;
  bool view32 = false;
  REGSAM access = KEY_ALL_ACCESS;
  bool predefined = true;
};

LSTATUS BaseOf(HKEY key, Base* base) {
  if (key == HKEY_LOCAL_MACHINE || key == HKEY_CLASSES_ROOT) {
    base->logical = key == HKEY_LOCAL_MACHINE ? kMachine : kClasses;
    base->view32 = DefaultView32();
    base->physical = Physical(base->logical, base->view32);
    return ERROR_SUCCESS;
  }
  KeyTable& t = Keys();
  std::lock_guard<std::mutex> guard(t.lock);
  OpenKey* k = reinterpret_cast<OpenKey*>(key);
  if (!t.live.count(k)) return ERROR_INVALID_HANDLE;
  base->logical = k->logical;
  base->physical = k->physical;
  base->view32 = k->view32;
  base->access = k->access;
  base->predefined = false;
  return ERROR_SUCCESS;
}

// A handle whose key is needed: it must be live, hold `rights`, and its key
// must still exist.
LSTATUS KeyFor(HKEY key, REGSAM rights, Base* base) {
  LSTATUS status = BaseOf(key, base);
  if (status != ERROR_SUCCESS) return status;
  if ((base->access & rights) != rights) return ERROR_ACCESS_DENIED;
  if (!platform::RegKeyExists(base->physical)) return base->predefined ? ERROR_FILE_NOT_FOUND : ERROR_KEY_DELETED;
  return ERROR_SUCCESS;
}

std::string SubPath(const std::string& logical, const std::string& sub) {
  std::string out = logical;
  for (const std::string& part : SplitPath(sub)) out += "\\" + part;
  return out;
}

HKEY NewHandle(const std::string& logical, bool view32, REGSAM access) {
  OpenKey* k = new OpenKey{logical, Physical(logical, view32), view32, access};
  KeyTable& t = Keys();
  std::lock_guard<std::mutex> guard(t.lock);
  t.live.insert(k);
  return reinterpret_cast<HKEY>(k);
}

// ---- value data between the caller's form and the machine's --------------------------

enum class Form { kAnsi, kWide };

bool IsStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; }

// The caller's WCHAR units in `data` (a final partial unit is dropped).
std::wstring WideUnits(const BYTE* data, DWORD size) {
  std::wstring out(size / sizeof(wchar_t), L'\0');
  if (!out.empty()) std::memcpy(&out[0], data, out.size() * sizeof(wchar_t));
  return out;
}

// String data is taken up to its terminator (callers usually count it).
LSTATUS StoredForm(Form form, DWORD type, const BYTE* data, DWORD size, std::vector<uint8_t>* stored) {
  if (type == REG_DWORD && size != 4) return ERROR_INVALID_PARAMETER;
  if (IsStringType(type)) {
    std::string utf8;
    if (form == Form::kAnsi) {
      const std::string ansi(reinterpret_cast<const char*>(data), size);
      utf8 = text::AnsiToUtf8(ansi.substr(0, ansi.find('\0')));
    } else {
      const std::wstring wide = WideUnits(data, size);
      utf8 = text::WideToUtf8(wide.substr(0, wide.find(L'\0')));
    }
    stored->assign(utf8.begin(), utf8.end());
  } else if (type == REG_MULTI_SZ) {
    const std::wstring wide = form == Form::kWide
                                  ? WideUnits(data, size)
                                  : text::Utf8ToWide(text::AnsiToUtf8(std::string(reinterpret_cast<const char*>(data), size)));
    *stored = text::WideToUtf16Le(wide);
  } else {
    stored->assign(data, data + size);
  }
  return ERROR_SUCCESS;
}

// The bytes a query hands out; strings with their terminator.
std::vector<uint8_t> CallerForm(Form form, DWORD type, const std::vector<uint8_t>& stored) {
  std::wstring wide;
  if (IsStringType(type)) {
    const std::string utf8(stored.begin(), stored.end());
    if (form == Form::kAnsi) {
      const std::string ansi = text::Utf8ToAnsi(utf8);
      std::vector<uint8_t> out(ansi.begin(), ansi.end());
      out.push_back(0);
      return out;
    }
    wide = text::Utf8ToWide(utf8);
    wide.push_back(L'\0');
  } else if (type == REG_MULTI_SZ) {
    wide = text::Utf16LeToWide(stored);
    if (form == Form::kAnsi) {
      const std::string ansi = text::Utf8ToAnsi(text::WideToUtf8(wide));
      return std::vector<uint8_t>(ansi.begin(), ansi.end());
    }
  } else {
    return stored;
  }
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(wide.data());
  return std::vector<uint8_t>(bytes, bytes + wide.size() * sizeof(wchar_t));
}

// Hands `data` out the way RegQueryValueEx and RegEnumValue do: the size
// alone when there is no buffer, ERROR_MORE_DATA with the size needed when
// the buffer is short.
LSTATUS HandOut(const std::vector<uint8_t>& data, LPBYTE buffer, LPDWORD size) {
  if (!size) return ERROR_SUCCESS;
  const DWORD needed = DWORD(data.size());
  if (buffer && *size < needed) {
    *size = needed;
    return ERROR_MORE_DATA;
  }
  if (buffer && needed) std::memcpy(buffer, data.data(), needed);
  *size = needed;
  return ERROR_SUCCESS;
}

// A name handed out into a buffer of *count characters: *count becomes its
// length without the terminator, or ERROR_MORE_DATA when it does not fit.
template <class Char, class String>
LSTATUS HandOutName(const String& name, Char* buffer, LPDWORD count) {
  if (!buffer || !count) return ERROR_INVALID_PARAMETER;
  if (!text::CopyTerminated(name, buffer, *count)) return ERROR_MORE_DATA;
  *count = DWORD(name.size());
  return ERROR_SUCCESS;
}

// ---- the calls, on UTF-8 names ---------------------------------------------------------

// The key an open or create names: the handle's logical path and `sub`,
// in the view the call asks for.
struct Target {
  Base base;
  std::string logical;
  std::string physical;
  bool view32 = false;
};

LSTATUS TargetOf(HKEY key, const std::string& sub, REGSAM sam, PHKEY result, Target* target) {
  if (!result) return ERROR_INVALID_PARAMETER;
  LSTATUS status = BaseOf(key, &target->base);
  if (status == ERROR_SUCCESS) status = ViewOf(sam, target->base.view32, &target->view32);
  if (status != ERROR_SUCCESS) return status;
  target->logical = SubPath(target->base.logical, sub);
  target->physical = Physical(target->logical, target->view32);
  return ERROR_SUCCESS;
}

LSTATUS OpenKeyUtf8(HKEY key, const std::string& sub, REGSAM sam, PHKEY result) {
  Target t;
  const LSTATUS status = TargetOf(key, sub, sam, result, &t);
  if (status != ERROR_SUCCESS) return status;
  if (!platform::RegKeyExists(t.physical)) return ERROR_FILE_NOT_FOUND;
  *result = NewHandle(t.logical, t.view32, sam);
  return ERROR_SUCCESS;
}

LSTATUS CreateKeyUtf8(HKEY key, const std::string& sub, REGSAM sam, PHKEY result, LPDWORD disposition) {
  Target t;
  const LSTATUS status = TargetOf(key, sub, sam, result, &t);
  if (status != ERROR_SUCCESS) return status;
  const bool existed = platform::RegKeyExists(t.physical);
  if (!existed) {
    if (!(t.base.access & KEY_CREATE_SUB_KEY)) return ERROR_ACCESS_DENIED;
    if (!platform::RegCreateKeyPath(t.physical)) return ERROR_INVALID_PARAMETER;
  }
  if (disposition) *disposition = existed ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
  *result = NewHandle(t.logical, t.view32, sam);
  return ERROR_SUCCESS;
}

LSTATUS QueryValueUtf8(Form form, HKEY key, const std::string& name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                       LPDWORD size) {
  if (reserved || (data && !size)) return ERROR_INVALID_PARAMETER;
  Base base;
  LSTATUS status = KeyFor(key, KEY_QUERY_VALUE, &base);
  if (status != ERROR_SUCCESS) return status;
  uint32_t storedType;
  std::vector<uint8_t> stored;
  if (!platform::RegGetRaw(base.physical, name, &storedType, &stored)) return ERROR_FILE_NOT_FOUND;
  if (type) *type = storedType;
  return HandOut(CallerForm(form, storedType, stored), data, size);
}

LSTATUS SetValueUtf8(Form form, HKEY key, const std::string& name, DWORD type, const BYTE* data, DWORD size) {
  if (size && !data) return ERROR_INVALID_PARAMETER;
  Base base;
  LSTATUS status = KeyFor(key, KEY_SET_VALUE, &base);
  if (status != ERROR_SUCCESS) return status;
  std::vector<uint8_t> stored;
  status = StoredForm(form, type, data, size, &stored);
  if (status != ERROR_SUCCESS) return status;
  return platform::RegSetRaw(base.physical, name, type, stored) ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER;
}

LSTATUS DeleteValueUtf8(HKEY key, const std::string& name) {
  Base base;
  LSTATUS status = KeyFor(key, KEY_SET_VALUE, &base);
  if (status != ERROR_SUCCESS) return status;
  return platform::RegDeleteValue(base.physical, name) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

// A key with subkeys is refused, as Windows refuses it; the handle's
// rights do not matter, the hive itself cannot go.
LSTATUS DeleteKeyUtf8(HKEY key, const std::string& sub) {
  Base base;
  LSTATUS status = BaseOf(key, &base);
  if (status != ERROR_SUCCESS) return status;
  const std::string physical = Physical(SubPath(base.logical, sub), base.view32);
  std::vector<std::string> subkeys;
  if (!platform::RegListSubkeys(physical, &subkeys)) return ERROR_FILE_NOT_FOUND;
  if (!subkeys.empty() || SplitPath(physical).size() < 2) return ERROR_ACCESS_DENIED;
  return platform::RegDeleteKeyPath(physical) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

// The index-th name of a key's subkeys or values (UTF-8).
LSTATUS NameAt(HKEY key, REGSAM rights, bool subkeys, DWORD index, Base* base, std::string* name) {
  LSTATUS status = KeyFor(key, rights, base);
  if (status != ERROR_SUCCESS) return status;
  std::vector<std::string> names;
  const bool listed = subkeys ? platform::RegListSubkeys(base->physical, &names)
                              : platform::RegListValues(base->physical, &names);
  if (!listed) return ERROR_KEY_DELETED;
  if (index >= names.size()) return ERROR_NO_MORE_ITEMS;
  *name = names[index];
  return ERROR_SUCCESS;
}

std::string ForCaller(const std::string& utf8, const char*) { return text::Utf8ToAnsi(utf8); }
std::wstring ForCaller(const std::string& utf8, const wchar_t*) { return text::Utf8ToWide(utf8); }

// Subkeys have no class and no recorded write time here.
template <class Char>
LSTATUS EnumKey(HKEY key, DWORD index, Char* name, LPDWORD count, LPDWORD reserved, Char* keyClass,
                LPDWORD classCount, PFILETIME lastWrite) {
  if (reserved || !name || !count) return ERROR_INVALID_PARAMETER;
  Base base;
  std::string utf8;
  LSTATUS status = NameAt(key, KEY_ENUMERATE_SUB_KEYS, true, index, &base, &utf8);
  if (status == ERROR_SUCCESS) status = HandOutName(ForCaller(utf8, name), name, count);
  if (status != ERROR_SUCCESS) return status;
  if (keyClass && classCount && *classCount > 0) keyClass[0] = 0;
  if (classCount) *classCount = 0;
  if (lastWrite) *lastWrite = FILETIME{0, 0};
  return ERROR_SUCCESS;
}

}  // namespace

LSTATUS WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult) {
  return OpenKeyUtf8(hKey, text::AnsiToUtf8(lpSubKey), samDesired, phkResult);
}

LSTATUS WINAPI RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult) {
  return OpenKeyUtf8(hKey, text::WideToUtf8(lpSubKey), samDesired, phkResult);
}

// Volatile keys are kept like the others: the PC is never rebooted.
LSTATUS WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass, DWORD dwOptions,
                               REGSAM samDesired, LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                               LPDWORD lpdwDisposition) {
  if (!lpSubKey) return ERROR_INVALID_PARAMETER;
  return CreateKeyUtf8(hKey, text::AnsiToUtf8(lpSubKey), samDesired, phkResult, lpdwDisposition);
}

LSTATUS WINAPI RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD Reserved, LPWSTR lpClass, DWORD dwOptions,
                               REGSAM samDesired, LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                               LPDWORD lpdwDisposition) {
  if (!lpSubKey) return ERROR_INVALID_PARAMETER;
  return CreateKeyUtf8(hKey, text::WideToUtf8(lpSubKey), samDesired, phkResult, lpdwDisposition);
}

LSTATUS WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                                LPDWORD lpcbData) {
  return QueryValueUtf8(Form::kAnsi, hKey, text::AnsiToUtf8(lpValueName), lpReserved, lpType, lpData, lpcbData);
}

LSTATUS WINAPI RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                                LPDWORD lpcbData) {
  return QueryValueUtf8(Form::kWide, hKey, text::WideToUtf8(lpValueName), lpReserved, lpType, lpData, lpcbData);
}

LSTATUS WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType, CONST BYTE* lpData,
                              DWORD cbData) {
  return SetValueUtf8(Form::kAnsi, hKey, text::AnsiToUtf8(lpValueName), dwType, lpData, cbData);
}

LSTATUS WINAPI RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD Reserved, DWORD dwType, CONST BYTE* lpData,
                              DWORD cbData) {
  return SetValueUtf8(Form::kWide, hKey, text::WideToUtf8(lpValueName), dwType, lpData, cbData);
}

LSTATUS WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
  return DeleteValueUtf8(hKey, text::AnsiToUtf8(lpValueName));
}

LSTATUS WINAPI RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName) {
  return DeleteValueUtf8(hKey, text::WideToUtf8(lpValueName));
}

LSTATUS WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
  return lpSubKey ? DeleteKeyUtf8(hKey, text::AnsiToUtf8(lpSubKey)) : ERROR_INVALID_PARAMETER;
}

LSTATUS WINAPI RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey) {
  return lpSubKey ? DeleteKeyUtf8(hKey, text::WideToUtf8(lpSubKey)) : ERROR_INVALID_PARAMETER;
}

LSTATUS WINAPI RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                             LPSTR lpClass, LPDWORD lpcchClass, PFILETIME lpftLastWriteTime) {
  return EnumKey(hKey, dwIndex, lpName, lpcchName, lpReserved, lpClass, lpcchClass, lpftLastWriteTime);
}

LSTATUS WINAPI RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                             LPWSTR lpClass, LPDWORD lpcchClass, PFILETIME lpftLastWriteTime) {
  return EnumKey(hKey, dwIndex, lpName, lpcchName, lpReserved, lpClass, lpcchClass, lpftLastWriteTime);
}

LSTATUS WINAPI RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName,
                             LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
  if (lpReserved || !lpValueName || !lpcchValueName || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
  Base base;
  std::string name;
  LSTATUS status = NameAt(hKey, KEY_QUERY_VALUE, false, dwIndex, &base, &name);
  uint32_t type = REG_NONE;
  std::vector<uint8_t> stored;
  if (status == ERROR_SUCCESS && !platform::RegGetRaw(base.physical, name, &type, &stored)) status = ERROR_KEY_DELETED;
  if (status == ERROR_SUCCESS) status = HandOutName(ForCaller(name, lpValueName), lpValueName, lpcchValueName);
  if (status != ERROR_SUCCESS) return status;
  if (lpType) *lpType = type;
  return HandOut(CallerForm(Form::kAnsi, type, stored), lpData, lpcbData);
}

LSTATUS WINAPI RegCloseKey(HKEY hKey) {
  if (hKey == HKEY_LOCAL_MACHINE || hKey == HKEY_CLASSES_ROOT) return ERROR_SUCCESS;
  KeyTable& t = Keys();
  OpenKey* k = reinterpret_cast<OpenKey*>(hKey);
  {
    std::lock_guard<std::mutex> guard(t.lock);
    if (t.live.erase(k) == 0) return ERROR_INVALID_HANDLE;
  }
  delete k;
  return ERROR_SUCCESS;
}
