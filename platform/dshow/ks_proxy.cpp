// The kernel-streaming proxy: identity, loading from a device moniker's
// property bag, the device handle, raw requests (IKsControl), the property
// pages and the interface handlers the camera's installation announced.
#include "platform/dshow/ks_proxy.h"

#include <uuids.h>
#include <vfwmsgs.h>

#include <algorithm>
#include <cctype>

#include "platform/machine/builtin_classes.h"
#include "platform/machine/codepages.h"
#include "platform/machine/dshow_control.h"
#include "platform/machine/guid_text.h"
#include "platform/machine/ks_devices.h"

namespace dshow {
namespace {

bool SamePath(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
           return std::tolower(x) == std::tolower(y);
         });
}

// The "DevicePath" of a property bag, as host text.
HRESULT ReadDevicePath(IPropertyBag* bag, std::string* path) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  HRESULT hr = bag->Read(L"DevicePath", &v, nullptr);
  if (FAILED(hr)) return hr;
  if (v.vt != VT_BSTR || !v.bstrVal) {
    VariantClear(&v);
    return E_FAIL;
  }
  *path = platform::WideToAnsi(platform::kCodePageUtf8, std::wstring(v.bstrVal, SysStringLen(v.bstrVal)));
  VariantClear(&v);
  return S_OK;
}

const platform::BuiltinClassRegistrar kRegisterProxy(
    {CLSID_Proxy, "Kernel Streaming Proxy", "ksproxy.ax", "Both", &CreateAndQuery<KsProxy>});

}  // namespace

KsProxy::KsProxy()
    : BasicFilter(CLSID_Proxy),
      procAmp_(this, PROPSETID_VIDCAP_VIDEOPROCAMP),
      cameraControl_(this, PROPSETID_VIDCAP_CAMERACONTROL) {
  core_.AddPin(L"Capture", PINDIR_OUTPUT, &PIN_CATEGORY_CAPTURE);
  core_.AddPin(L"Still", PINDIR_OUTPUT, &PIN_CATEGORY_STILL);
}

KsProxy::~KsProxy() {
  HoldDuringDestruction();
  for (auto& h : handlers_) h.second->Release();
  if (device_) CloseHandle(device_);
}

void* KsProxy::Find(REFIID riid) {
  if (void* p = FindFilterInterface(riid)) return p;
  if (IsEqualGUID(riid, IID_IPersistPropertyBag)) return static_cast<IPersistPropertyBag*>(this);
  if (IsEqualGUID(riid, IID_IKsObject)) return static_cast<IKsObject*>(this);
  if (IsEqualGUID(riid, IID_IKsControl)) return static_cast<IKsControl*>(this);
  if (IsEqualGUID(riid, IID_IAMVideoControl)) return static_cast<IAMVideoControl*>(this);
  if (IsEqualGUID(riid, IID_ISpecifyPropertyPages)) return static_cast<ISpecifyPropertyPages*>(this);
  if (IsEqualGUID(riid, IID_IAMVideoProcAmp)) return static_cast<IAMVideoProcAmp*>(&procAmp_);
  if (IsEqualGUID(riid, IID_IAMCameraControl)) return static_cast<IAMCameraControl*>(&cameraControl_);
  return nullptr;
}

STDMETHODIMP KsProxy::QueryInterface(REFIID riid, void** object) {
  HRESULT hr = BasicFilter::QueryInterface(riid, object);
  if (hr != E_NOINTERFACE) return hr;
  return QueryHandler(riid, object);
}

void KsProxy::CreateHandlers() {
  for (const auto& announced : platform::AnnouncedInterfaceHandlers(vendorId_, productId_)) {
    const std::string& iid = announced.first;
    const std::string& clsidText = announced.second;
    IUnknown* inner = nullptr;
    {
      std::lock_guard<std::mutex> hold(lock_);
      auto made = handlers_.find(clsidText);
      if (made != handlers_.end()) inner = made->second;
    }
    CLSID clsid;
    // Created outside the lock: a handler queries this object while it is
    // being made (for IKsObject, for instance), and finds no handler yet.
    if (!inner && platform::ParseGuidText(clsidText, &clsid) &&
        FAILED(CoCreateInstance(clsid, Outer(), CLSCTX_INPROC_SERVER, IID_IUnknown,
                                reinterpret_cast<void**>(&inner))))
      inner = nullptr;
    if (!inner) continue;
    std::lock_guard<std::mutex> hold(lock_);
    handlers_.emplace(clsidText, inner);
    interfaces_[iid] = inner;
  }
}

HRESULT KsProxy::QueryHandler(REFIID riid, void** object) {
  IUnknown* inner = nullptr;
  {
    std::lock_guard<std::mutex> hold(lock_);
    auto it = interfaces_.find(platform::GuidToText(riid));
    if (it == interfaces_.end()) return E_NOINTERFACE;
    inner = it->second;
  }
  return inner->QueryInterface(riid, object);
}

HRESULT KsProxy::Request(ULONG code, void* in, ULONG inSize, void* out, ULONG outSize, ULONG* returned) {
  ULONG scratch = 0;
  if (!returned) returned = &scratch;
  *returned = 0;
  HANDLE device = KsGetObjectHandle();
  if (!device) return E_UNEXPECTED;
  return KsSynchronousDeviceControl(device, code, in, inSize, out, outSize, returned);
}

// ---- IPersistPropertyBag ------------------------------------------------------------
STDMETHODIMP KsProxy::InitNew() {
  std::lock_guard<std::mutex> hold(lock_);
  return loaded_ ? E_UNEXPECTED : S_OK;
}

STDMETHODIMP KsProxy::Load(IPropertyBag* pPropBag, IErrorLog*) {
  if (!pPropBag) return E_POINTER;
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (loaded_) return E_UNEXPECTED;
  }
  std::string path;
  HRESULT hr = ReadDevicePath(pPropBag, &path);
  if (FAILED(hr)) return hr;
  platform::KsDeviceInfo info;
  bool found = false;
  for (const platform::KsDeviceInfo& d : platform::PluggedKsDevices()) {
    if (SamePath(d.interfacePath, path)) {
      info = d;
      found = true;
    }
  }
  HANDLE device = found ? platform::OpenKsDeviceHandle(info.interfacePath) : nullptr;
  if (!device) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (loaded_) {
      CloseHandle(device);
      return E_UNEXPECTED;
    }
    device_ = device;
    vendorId_ = info.vendorId;
    productId_ = info.productId;
    loaded_ = true;
  }
  CreateHandlers();
  return S_OK;
}

STDMETHODIMP KsProxy::Save(IPropertyBag*, BOOL, BOOL) { return E_NOTIMPL; }

// ---- IKsObject and IKsControl --------------------------------------------------------
STDMETHODIMP_(HANDLE) KsProxy::KsGetObjectHandle() {
  std::lock_guard<std::mutex> hold(lock_);
  return device_;
}

STDMETHODIMP KsProxy::KsProperty(PKSPROPERTY Property, ULONG PropertyLength, LPVOID PropertyData, ULONG DataLength,
                                 ULONG* BytesReturned) {
  if (!Property || !BytesReturned) return E_POINTER;
  return Request(IOCTL_KS_PROPERTY, Property, PropertyLength, PropertyData, DataLength, BytesReturned);
}

STDMETHODIMP KsProxy::KsMethod(PKSMETHOD Method, ULONG MethodLength, LPVOID MethodData, ULONG DataLength,
                               ULONG* BytesReturned) {
  if (!Method || !BytesReturned) return E_POINTER;
  return Request(IOCTL_KS_METHOD, Method, MethodLength, MethodData, DataLength, BytesReturned);
}

// An event without an identifier disables what EventData names.
STDMETHODIMP KsProxy::KsEvent(PKSEVENT Event, ULONG EventLength, LPVOID EventData, ULONG DataLength,
                              ULONG* BytesReturned) {
  if (!BytesReturned) return E_POINTER;
  if (!Event) return Request(IOCTL_KS_DISABLE_EVENT, EventData, DataLength, nullptr, 0, BytesReturned);
  return Request(IOCTL_KS_ENABLE_EVENT, Event, EventLength, EventData, DataLength, BytesReturned);
}

// ---- ISpecifyPropertyPages ---------------------------------------------------------------
STDMETHODIMP KsProxy::GetPages(CAUUID* pPages) {
  if (!pPages) return E_POINTER;
  pPages->cElems = 0;
  pPages->pElems = nullptr;
  std::vector<std::string> pages;
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (loaded_) pages = platform::AnnouncedPropertyPages(vendorId_, productId_);
  }
  if (pages.empty()) return S_OK;
  GUID* out = static_cast<GUID*>(CoTaskMemAlloc(pages.size() * sizeof(GUID)));
  if (!out) return E_OUTOFMEMORY;
  for (size_t k = 0; k < pages.size(); ++k) platform::ParseGuidText(pages[k], &out[k]);
  pPages->cElems = ULONG(pages.size());
  pPages->pElems = out;
  return S_OK;
}

}  // namespace dshow
