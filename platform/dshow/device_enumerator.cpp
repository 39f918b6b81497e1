// The system device enumerator ("devenum.dll", CLSID_SystemDeviceEnum): the
// video input category lists the kernel-streaming cameras plugged into the
// PC, one device moniker each. A moniker names its device by display name
// ("@device:pnp:" and the interface path), offers the device's property bag
// ("FriendlyName", "DevicePath", "CLSID") and binds to the device's filter:
// it creates the class the bag names (the kernel-streaming proxy) through
// COM and lets it load itself from the bag.
#include <windows.h>
#include <ksproxy.h>
#include <ocidl.h>
#include <strmif.h>
#include <uuids.h>

#include <cwctype>

#include "platform/dshow/com_object.h"
#include "platform/dshow/enumerators.h"
#include "platform/machine/builtin_classes.h"
#include "platform/machine/codepages.h"
#include "platform/machine/guid_text.h"
#include "platform/machine/ks_devices.h"

namespace dshow {
namespace {

std::wstring Wide(const std::string& utf8) { return platform::AnsiToWide(platform::kCodePageUtf8, utf8); }

bool SameName(const std::wstring& a, LPCOLESTR b) {
  size_t n = 0;
  for (; b[n]; ++n)
    if (n >= a.size() || std::towlower(wint_t(a[n])) != std::towlower(wint_t(b[n]))) return false;
  return n == a.size();
}

// The values of a device's registry key as the enumerator reads them.
class DevicePropertyBag final : public ComObject<DevicePropertyBag, IPropertyBag> {
 public:
  explicit DevicePropertyBag(const platform::KsDeviceInfo& device) : device_(device) {}

  void* Find(REFIID riid) {
    if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IPropertyBag))
      return static_cast<IPropertyBag*>(this);
    return nullptr;
  }

  // Every value is a string; a caller that asks for another type gets
  // DISP_E_TYPEMISMATCH, one that names no known value E_INVALIDARG.
  STDMETHODIMP Read(LPCOLESTR pszPropName, VARIANT* pVar, IErrorLog*) override {
    if (!pszPropName || !pVar) return E_POINTER;
    std::wstring value;
    if (SameName(L"FriendlyName", pszPropName))
      value = Wide(device_.friendlyName);
    else if (SameName(L"DevicePath", pszPropName))
      value = Wide(device_.interfacePath);
    else if (SameName(L"CLSID", pszPropName))
      value = Wide(platform::GuidToText(CLSID_Proxy));
    else
      return E_INVALIDARG;
    if (pVar->vt != VT_EMPTY && pVar->vt != VT_BSTR) return DISP_E_TYPEMISMATCH;
    BSTR text = SysAllocStringLen(value.data(), UINT(value.size()));
    if (!text) return E_OUTOFMEMORY;
    pVar->vt = VT_BSTR;
    pVar->bstrVal = text;
    return S_OK;
  }
  // The enumerator's bags are read-only.
  STDMETHODIMP Write(LPCOLESTR, VARIANT*) override { return E_ACCESSDENIED; }

 private:
  platform::KsDeviceInfo device_;
};

class DeviceMoniker final : public ComObject<DeviceMoniker, IMoniker> {
 public:
  explicit DeviceMoniker(const platform::KsDeviceInfo& device) : device_(device) {}

  void* Find(REFIID riid) {
    if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IPersist) ||
        IsEqualGUID(riid, IID_IPersistStream) || IsEqualGUID(riid, IID_IMoniker))
      return static_cast<IMoniker*>(this);
    return nullptr;
  }

  std::wstring DisplayName() const { return L"@device:pnp:" + Wide(device_.interfacePath); }

  STDMETHODIMP GetClassID(CLSID* pClassID) override {
    if (!pClassID) return E_POINTER;
    *pClassID = CLSID_CDeviceMoniker;
    return S_OK;
  }
  STDMETHODIMP IsDirty() override { return S_FALSE; }
  STDMETHODIMP Load(IStream*) override { return E_NOTIMPL; }
  STDMETHODIMP Save(IStream*, BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP GetSizeMax(ULARGE_INTEGER*) override { return E_NOTIMPL; }

  STDMETHODIMP BindToObject(IBindCtx*, IMoniker*, REFIID riidResult, void** ppvResult) override {
    if (!ppvResult) return E_POINTER;
    *ppvResult = nullptr;
    IPropertyBag* bag = nullptr;
    HRESULT hr = BindToStorage(nullptr, nullptr, IID_IPropertyBag, reinterpret_cast<void**>(&bag));
    if (FAILED(hr)) return hr;
    CLSID clsid;
    hr = ReadClassId(bag, &clsid);
    IPersistPropertyBag* object = nullptr;
    if (SUCCEEDED(hr))
      hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IPersistPropertyBag,
                            reinterpret_cast<void**>(&object));
    if (SUCCEEDED(hr)) hr = object->Load(bag, nullptr);
    if (SUCCEEDED(hr)) hr = object->QueryInterface(riidResult, ppvResult);
    SafeRelease(&object);
    bag->Release();
    return hr;
  }
  STDMETHODIMP BindToStorage(IBindCtx*, IMoniker*, REFIID riid, void** ppvObj) override {
    if (!ppvObj) return E_POINTER;
    *ppvObj = nullptr;
    DevicePropertyBag* bag = new (std::nothrow) DevicePropertyBag(device_);
    if (!bag) return E_OUTOFMEMORY;
    HRESULT hr = bag->QueryInterface(riid, ppvObj);
    bag->Release();
    return hr;
  }

  STDMETHODIMP GetDisplayName(IBindCtx*, IMoniker*, LPOLESTR* ppszDisplayName) override {
    if (!ppszDisplayName) return E_POINTER;
    *ppszDisplayName = TaskMemString(DisplayName());
    return *ppszDisplayName ? S_OK : E_OUTOFMEMORY;
  }
  STDMETHODIMP IsEqual(IMoniker* other) override {
    if (!other) return E_INVALIDARG;
    LPOLESTR name = nullptr;
    if (FAILED(other->GetDisplayName(nullptr, nullptr, &name)) || !name) return S_FALSE;
    bool same = DisplayName() == name;
    CoTaskMemFree(name);
    return same ? S_OK : S_FALSE;
  }
  STDMETHODIMP Hash(DWORD* pdwHash) override {
    if (!pdwHash) return E_POINTER;
    DWORD h = 0;
    for (WCHAR c : DisplayName()) h = h * 31 + DWORD(c);
    *pdwHash = h;
    return S_OK;
  }
  STDMETHODIMP IsSystemMoniker(DWORD* pdwMksys) override {
    if (!pdwMksys) return E_POINTER;
    *pdwMksys = MKSYS_NONE;
    return S_FALSE;
  }
  STDMETHODIMP IsRunning(IBindCtx*, IMoniker*, IMoniker*) override { return S_FALSE; }

  // A device moniker stands alone: it composes, reduces and parses nothing.
  STDMETHODIMP Reduce(IBindCtx*, DWORD, IMoniker**, IMoniker** reduced) override {
    if (reduced) *reduced = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP ComposeWith(IMoniker*, BOOL, IMoniker** composite) override {
    if (composite) *composite = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP Enum(BOOL, IEnumMoniker** ppenumMoniker) override {
    if (!ppenumMoniker) return E_POINTER;
    *ppenumMoniker = nullptr;  // no parts
    return S_OK;
  }
  STDMETHODIMP GetTimeOfLastChange(IBindCtx*, IMoniker*, FILETIME*) override { return E_NOTIMPL; }
  STDMETHODIMP Inverse(IMoniker** ppmk) override {
    if (ppmk) *ppmk = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP CommonPrefixWith(IMoniker*, IMoniker** prefix) override {
    if (prefix) *prefix = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP RelativePathTo(IMoniker*, IMoniker** path) override {
    if (path) *path = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP ParseDisplayName(IBindCtx*, IMoniker*, LPOLESTR, ULONG* eaten, IMoniker** out) override {
    if (eaten) *eaten = 0;
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }

 private:
  static HRESULT ReadClassId(IPropertyBag* bag, CLSID* clsid) {
    VARIANT v;
    VariantInit(&v);
    HRESULT hr = bag->Read(L"CLSID", &v, nullptr);
    if (FAILED(hr)) return hr;
    std::string text = platform::WideToAnsi(platform::kCodePageUtf8, std::wstring(v.bstrVal, SysStringLen(v.bstrVal)));
    VariantClear(&v);
    return platform::ParseGuidText(text, clsid) ? S_OK : REGDB_E_CLASSNOTREG;
  }

  platform::KsDeviceInfo device_;
};

class SystemDeviceEnum final : public ComObject<SystemDeviceEnum, ICreateDevEnum> {
 public:
  void* Find(REFIID riid) {
    if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_ICreateDevEnum))
      return static_cast<ICreateDevEnum*>(this);
    return nullptr;
  }

  // S_FALSE and no enumerator when the category has no devices.
  STDMETHODIMP CreateClassEnumerator(REFCLSID clsidDeviceClass, IEnumMoniker** ppEnumMoniker, DWORD) override {
    if (!ppEnumMoniker) return E_POINTER;
    *ppEnumMoniker = nullptr;
    if (!IsEqualGUID(clsidDeviceClass, CLSID_VideoInputDeviceCategory)) return S_FALSE;
    std::vector<IMoniker*> monikers;
    HRESULT hr = S_OK;
    for (const platform::KsDeviceInfo& device : platform::PluggedKsDevices()) {
      DeviceMoniker* m = new (std::nothrow) DeviceMoniker(device);
      if (!m) {
        hr = E_OUTOFMEMORY;
        break;
      }
      monikers.push_back(m);
    }
    if (SUCCEEDED(hr) && !monikers.empty()) {
      *ppEnumMoniker = new (std::nothrow) MonikerEnumerator(monikers);
      if (!*ppEnumMoniker) hr = E_OUTOFMEMORY;
    }
    for (IMoniker* m : monikers) m->Release();  // the enumerator holds its own references
    if (FAILED(hr)) return hr;
    return *ppEnumMoniker ? S_OK : S_FALSE;
  }
};

const platform::BuiltinClassRegistrar kRegisterDeviceEnum(
    {CLSID_SystemDeviceEnum, "System Device Enum", "devenum.dll", "Both", &CreateAndQuery<SystemDeviceEnum>});

}  // namespace
}  // namespace dshow
