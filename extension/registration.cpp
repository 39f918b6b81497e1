// DllRegisterServer and DllUnregisterServer: the COM class keys of the class
// table under HKEY_CLASSES_ROOT\CLSID. Announcing the interface handler and
// the pages for the camera is the installation's business.
#include <windows.h>
#include <dshow.h>

#include <cwchar>

#include "extension/class_factory.h"
#include "extension/module.h"

namespace qcamext {
namespace {

constexpr int kGuidTextLength = 39;  // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" and the terminator

HRESULT ErrorResult(LONG error) { return HRESULT_FROM_WIN32(static_cast<unsigned long>(error)); }

// "CLSID\{...}" of a row.
void ClassKeyName(const ClassTemplate& row, WCHAR* name, size_t capacity) {
  WCHAR guid[kGuidTextLength];
  if (StringFromGUID2(*row.clsid, guid, kGuidTextLength) == 0) guid[0] = 0;
  std::swprintf(name, capacity, L"CLSID\\%ls", guid);
}

LONG SetStringValue(HKEY key, const WCHAR* name, const WCHAR* text) {
  DWORD bytes = static_cast<DWORD>((std::wcslen(text) + 1) * sizeof(WCHAR));
  return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), bytes);
}

LONG CreateKeyWithDefault(HKEY parent, const WCHAR* subKey, const WCHAR* value, HKEY* key) {
  LONG error = RegCreateKeyExW(parent, subKey, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, NULL, key, NULL);
  if (error != ERROR_SUCCESS) return error;
  error = SetStringValue(*key, NULL, value);
  if (error != ERROR_SUCCESS) {
    RegCloseKey(*key);
    *key = NULL;
  }
  return error;
}

// HKCR\CLSID\{...} = name, with InprocServer32 = module path and
// ThreadingModel = "Both".
LONG RegisterClassKeys(const ClassTemplate& row, const WCHAR* modulePath) {
  WCHAR keyName[64];
  ClassKeyName(row, keyName, 64);
  HKEY classKey = NULL;
  LONG error = CreateKeyWithDefault(HKEY_CLASSES_ROOT, keyName, row.name, &classKey);
  if (error != ERROR_SUCCESS) return error;
  HKEY serverKey = NULL;
  error = CreateKeyWithDefault(classKey, L"InprocServer32", modulePath, &serverKey);
  if (error == ERROR_SUCCESS) {
    error = SetStringValue(serverKey, L"ThreadingModel", L"Both");
    RegCloseKey(serverKey);
  }
  RegCloseKey(classKey);
  return error;
}

// Deletes a key with all its subkeys, deepest first (RegDeleteKey refuses a
// key that still has subkeys).
LONG DeleteKeyTree(HKEY parent, const WCHAR* subKey) {
  HKEY key = NULL;
  LONG error = RegOpenKeyExW(parent, subKey, 0, KEY_ALL_ACCESS, &key);
  if (error != ERROR_SUCCESS) return error;
  WCHAR child[MAX_PATH];
  for (;;) {
    DWORD length = MAX_PATH;
    // Always the first subkey: the previous one is gone.
    if (RegEnumKeyExW(key, 0, child, &length, NULL, NULL, NULL, NULL) != ERROR_SUCCESS) break;
    error = DeleteKeyTree(key, child);
    if (error != ERROR_SUCCESS) break;
  }
  RegCloseKey(key);
  if (error != ERROR_SUCCESS) return error;
  return RegDeleteKeyW(parent, subKey);
}

// The filter mapper is created and let go again: no row registers a filter.
void TouchFilterMapper() {
  if (FAILED(CoInitialize(NULL))) return;
  IUnknown* mapper = NULL;
  if (FAILED(CoCreateInstance(CLSID_FilterMapper2, NULL, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                              reinterpret_cast<void**>(&mapper)))) {
    CoCreateInstance(CLSID_FilterMapper, NULL, CLSCTX_INPROC_SERVER, IID_IFilterMapper,
                     reinterpret_cast<void**>(&mapper));
  }
  if (mapper) mapper->Release();
  CoFreeUnusedLibraries();
  CoUninitialize();
}

HRESULT RegisterServer(bool reg) {
  char pathA[MAX_PATH];
  DWORD length = GetModuleFileNameA(Module().instance, pathA, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) {
    DWORD error = length == 0 ? GetLastError() : ERROR_INSUFFICIENT_BUFFER;
    return error == 0 ? E_FAIL : ErrorResult(static_cast<LONG>(error));
  }
  WCHAR path[MAX_PATH];
  if (MultiByteToWideChar(CP_ACP, 0, pathA, -1, path, MAX_PATH) == 0) return ErrorResult(static_cast<LONG>(GetLastError()));
  if (reg) {
    for (int i = 0; i < kClassCount; ++i) {
      LONG error = RegisterClassKeys(kClassTable[i], path);
      if (error != ERROR_SUCCESS) return ErrorResult(error);
    }
  }
  TouchFilterMapper();
  if (!reg) {
    for (int i = 0; i < kClassCount; ++i) {
      WCHAR keyName[64];
      ClassKeyName(kClassTable[i], keyName, 64);
      LONG error = DeleteKeyTree(HKEY_CLASSES_ROOT, keyName);
      if (error != ERROR_SUCCESS && error != ERROR_FILE_NOT_FOUND) return ErrorResult(error);
    }
  }
  return S_OK;
}

}  // namespace
}  // namespace qcamext

STDAPI DllRegisterServer() { return qcamext::RegisterServer(true); }

STDAPI DllUnregisterServer() { return qcamext::RegisterServer(false); }
