// The tools' view of a camera's capture filter, over the platform's
// DirectShow classes.
#include "tools/qcam/camera_filter.h"

#include <windows.h>
#include <dshow.h>
#include <ksproxy.h>

#include "platform/machine/builtin_classes.h"
#include "platform/machine/codepages.h"
#include "platform/machine/dshow_control.h"

namespace qcam_tool {
namespace {

constexpr int32_t kStatusUnsuccessful = int32_t(0xC0000001);

// A system class from the platform's own table, as COM creates it once
// the class is registered.
HRESULT CreateSystemObject(REFCLSID clsid, const char* serverFile, REFIID iid, void** object) {
  const platform::BuiltinClass* c = platform::FindBuiltinClass(clsid, serverFile);
  return c ? c->create(nullptr, iid, object) : REGDB_E_CLASSNOTREG;
}

std::string DevicePathOf(IMoniker* moniker) {
  IPropertyBag* bag = nullptr;
  std::string path;
  if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, reinterpret_cast<void**>(&bag)))) return path;
  VARIANT v;
  VariantInit(&v);
  if (SUCCEEDED(bag->Read(L"DevicePath", &v, nullptr)) && v.vt == VT_BSTR)
    path = platform::WideToAnsi(platform::kCodePageUtf8, std::wstring(v.bstrVal, SysStringLen(v.bstrVal)));
  VariantClear(&v);
  bag->Release();
  return path;
}

// The filter of the device at `interfacePath`: its moniker's class loaded
// from the moniker's property bag.
IBaseFilter* BindFilter(const std::string& interfacePath) {
  ICreateDevEnum* devices = nullptr;
  if (FAILED(CreateSystemObject(CLSID_SystemDeviceEnum, "devenum.dll", IID_ICreateDevEnum,
                                reinterpret_cast<void**>(&devices))))
    return nullptr;
  IEnumMoniker* monikers = nullptr;
  devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, &monikers, 0);
  devices->Release();
  IBaseFilter* filter = nullptr;
  IMoniker* moniker = nullptr;
  while (!filter && monikers && monikers->Next(1, &moniker, nullptr) == S_OK) {
    IPropertyBag* bag = nullptr;
    IPersistPropertyBag* proxy = nullptr;
    if (DevicePathOf(moniker) == interfacePath &&
        SUCCEEDED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, reinterpret_cast<void**>(&bag))) &&
        SUCCEEDED(CreateSystemObject(CLSID_Proxy, "ksproxy.ax", IID_IPersistPropertyBag,
                                     reinterpret_cast<void**>(&proxy))) &&
        SUCCEEDED(proxy->Load(bag, nullptr)))
      proxy->QueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(&filter));
    if (proxy) proxy->Release();
    if (bag) bag->Release();
    moniker->Release();
  }
  if (monikers) monikers->Release();
  return filter;
}

}  // namespace

struct CameraFilter::Interfaces {
  IBaseFilter* filter = nullptr;
  IAMVideoProcAmp* procAmp = nullptr;
  IAMCameraControl* camera = nullptr;
  IKsObject* ks = nullptr;

  ~Interfaces() {
    for (IUnknown* p : {static_cast<IUnknown*>(ks), static_cast<IUnknown*>(camera),
                        static_cast<IUnknown*>(procAmp), static_cast<IUnknown*>(filter)})
      if (p) p->Release();
  }
};

CameraFilter::CameraFilter(const std::string& interfacePath) : interfaces_(new Interfaces) {
  Interfaces& i = *interfaces_;
  i.filter = BindFilter(interfacePath);
  if (!i.filter) return;
  i.filter->QueryInterface(IID_IAMVideoProcAmp, reinterpret_cast<void**>(&i.procAmp));
  i.filter->QueryInterface(IID_IAMCameraControl, reinterpret_cast<void**>(&i.camera));
  i.filter->QueryInterface(IID_IKsObject, reinterpret_cast<void**>(&i.ks));
}

CameraFilter::~CameraFilter() = default;

bool CameraFilter::Ok() const {
  const Interfaces& i = *interfaces_;
  return i.filter && i.procAmp && i.camera && i.ks;
}

int32_t CameraFilter::Get(ControlSet set, int32_t id, int32_t* value, int32_t* flags) {
  LONG v = 0, f = 0;
  HRESULT hr =
      set == ControlSet::ProcAmp ? interfaces_->procAmp->Get(id, &v, &f) : interfaces_->camera->Get(id, &v, &f);
  *value = v;
  *flags = f;
  return hr;
}

int32_t CameraFilter::Set(ControlSet set, int32_t id, int32_t value, int32_t flags) {
  return set == ControlSet::ProcAmp ? interfaces_->procAmp->Set(id, value, flags)
                                    : interfaces_->camera->Set(id, value, flags);
}

int32_t CameraFilter::GetRange(ControlSet set, int32_t id, int32_t* minimum, int32_t* maximum, int32_t* step,
                               int32_t* defaultValue, int32_t* caps) {
  LONG mn = 0, mx = 0, st = 0, df = 0, cf = 0;
  HRESULT hr = set == ControlSet::ProcAmp ? interfaces_->procAmp->GetRange(id, &mn, &mx, &st, &df, &cf)
                                          : interfaces_->camera->GetRange(id, &mn, &mx, &st, &df, &cf);
  *minimum = mn;
  *maximum = mx;
  *step = st;
  *defaultValue = df;
  *caps = cf;
  return hr;
}

bool CameraFilter::PropertyRequest(void* buffer, uint32_t size, int32_t* status) {
  DWORD returned = 0;
  BOOL ok = DeviceIoControl(interfaces_->ks->KsGetObjectHandle(), IOCTL_KS_PROPERTY, buffer, size, buffer, size,
                            &returned, nullptr);
  *status = platform::LastKsRequestStatus();
  if (!ok && *status == 0) *status = kStatusUnsuccessful;
  return ok != FALSE;
}

int32_t CameraFilter::LastDriverStatus() { return platform::LastKsRequestStatus(); }

}  // namespace qcam_tool
