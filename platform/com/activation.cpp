// Class activation as COM does it: the class's InprocServer32 key under
// HKEY_CLASSES_ROOT\CLSID names its server; the platform's own classes are
// created by their routines, any other server is loaded from its file and
// asked for the class object through DllGetClassObject.
#include <objbase.h>

#include <atomic>
#include <string>
#include <vector>

#include "platform/com/com_internal.h"
#include "platform/com/pc_text.h"
#include "platform/machine/builtin_classes.h"

namespace {

namespace internal = platform::com_internal;

typedef HRESULT(STDAPICALLTYPE* DllGetClassObjectFunction)(REFCLSID, REFIID, LPVOID*);
typedef HRESULT(STDAPICALLTYPE* DllCanUnloadNowFunction)();

// The class object of a built-in class. The platform is never unloaded, so
// LockServer has nothing to hold.
class BuiltinClassFactory : public IClassFactory {
 public:
  explicit BuiltinClassFactory(const platform::BuiltinClass& entry) : entry_(entry) {}

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IClassFactory) {
      *ppv = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }
  STDMETHODIMP CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) override {
    if (!ppvObject) return E_POINTER;
    *ppvObject = nullptr;
    return entry_.create(pUnkOuter, riid, ppvObject);
  }
  STDMETHODIMP LockServer(BOOL) override { return S_OK; }

 private:
  virtual ~BuiltinClassFactory() = default;
  const platform::BuiltinClass entry_;
  std::atomic<ULONG> references_{1};
};

// The server file of a class (UTF-8), from the caller's view of the registry.
HRESULT FindInprocServer(REFCLSID clsid, std::string* path) {
  wchar_t clsidText[39];
  StringFromGUID2(clsid, clsidText, 39);
  const std::wstring key = std::wstring(L"CLSID\\") + clsidText + L"\\InprocServer32";
  HKEY server;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_QUERY_VALUE, &server) != ERROR_SUCCESS)
    return REGDB_E_CLASSNOTREG;
  DWORD type = 0, size = 0;
  LSTATUS status = RegQueryValueExW(server, nullptr, nullptr, &type, nullptr, &size);
  std::vector<wchar_t> value(size / sizeof(wchar_t) + 1, L'\0');
  if (status == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ))
    status = RegQueryValueExW(server, nullptr, nullptr, &type, reinterpret_cast<LPBYTE>(value.data()), &size);
  RegCloseKey(server);
  if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ) || !value[0]) return REGDB_E_CLASSNOTREG;
  *path = platform::pc_text::WideToUtf8(value.data());
  return S_OK;
}

HRESULT BuiltinClassObject(const platform::BuiltinClass& entry, REFIID riid, LPVOID* ppv) {
  BuiltinClassFactory* factory = new BuiltinClassFactory(entry);
  const HRESULT hr = factory->QueryInterface(riid, ppv);
  factory->Release();
  return hr;
}

// Loads the server (COM keeps it loaded) and asks it for the class object.
// The loader lock is held throughout, so CoFreeUnusedLibraries on another
// thread cannot unload the module before the class object exists.
HRESULT ModuleClassObject(const std::string& path, REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
  internal::LoaderLockHold hold;
  HMODULE module = internal::LoadComModule(path);
  if (!module) return HRESULT_FROM_WIN32(GetLastError());
  // A system module the platform has no such class in.
  if (!internal::IsFileModule(module)) return CLASS_E_CLASSNOTAVAILABLE;
  auto getClassObject = reinterpret_cast<DllGetClassObjectFunction>(internal::ModuleExport(module, "DllGetClassObject"));
  if (!getClassObject) return CO_E_ERRORINDLL;
  return getClassObject(rclsid, riid, ppv);
}

}  // namespace

HRESULT WINAPI CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, LPVOID pvReserved, REFIID riid, LPVOID* ppv) {
  if (!ppv) return E_INVALIDARG;
  *ppv = nullptr;
  if (!internal::ThreadHasApartment()) return CO_E_NOTINITIALIZED;
  // Only in-process servers exist on this PC.
  if (!(dwClsContext & CLSCTX_INPROC_SERVER)) return REGDB_E_CLASSNOTREG;
  std::string path;
  const HRESULT hr = FindInprocServer(rclsid, &path);
  if (FAILED(hr)) return hr;
  if (const platform::BuiltinClass* entry = platform::FindBuiltinClass(rclsid, path))
    return BuiltinClassObject(*entry, riid, ppv);
  return ModuleClassObject(path, rclsid, riid, ppv);
}

HRESULT WINAPI CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid, LPVOID* ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  IClassFactory* factory = nullptr;
  HRESULT hr = CoGetClassObject(rclsid, dwClsContext, nullptr, IID_IClassFactory, reinterpret_cast<void**>(&factory));
  if (FAILED(hr)) return hr;
  if (!factory) return E_UNEXPECTED;  // a server that answered success without an object
  hr = factory->CreateInstance(pUnkOuter, riid, ppv);
  factory->Release();
  if (FAILED(hr)) *ppv = nullptr;
  return hr;
}

// Each module COM loaded is asked whether it can go; one that does not
// export DllCanUnloadNow stays loaded, as on Windows.
void WINAPI CoFreeUnusedLibraries(void) {
  if (!internal::ThreadHasApartment()) return;
  internal::LoaderLockHold hold;
  for (HMODULE module : internal::ComModules()) {
    auto canUnloadNow = reinterpret_cast<DllCanUnloadNowFunction>(internal::ModuleExport(module, "DllCanUnloadNow"));
    if (canUnloadNow && canUnloadNow() == S_OK) internal::ReleaseComModule(module);
  }
}
