// The capture filter stand-in: every interface call is one synchronous
// property request on the device handle.
#include "platform/dshow/capture_filter.h"

#include <atomic>
#include <cstring>
#include <new>

HRESULT KsLastErrorHResult() {
  DWORD error = platform::KsLastError();
  return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

namespace {

// Sends one 40-byte record of `set` and reads it back.
HRESULT SendRecord(HANDLE device, const GUID& set, LONG id, ULONG type, KSPROPERTY_VIDEOPROCAMP_S* record) {
  record->Property.Set = set;
  record->Property.Id = ULONG(id);
  record->Property.Flags = type;
  DWORD returned = 0;
  if (!DeviceIoControl(device, IOCTL_KS_PROPERTY, record, sizeof(*record), record, sizeof(*record), &returned,
                       nullptr))
    return KsLastErrorHResult();
  return S_OK;
}

HRESULT GetRecord(HANDLE device, const GUID& set, LONG id, LONG* value, LONG* flags) {
  if (!value || !flags) return E_POINTER;
  KSPROPERTY_VIDEOPROCAMP_S record{};
  HRESULT hr = SendRecord(device, set, id, KSPROPERTY_TYPE_GET, &record);
  if (FAILED(hr)) return hr;
  *value = record.Value;
  *flags = LONG(record.Flags);
  return S_OK;
}

HRESULT SetRecord(HANDLE device, const GUID& set, LONG id, LONG value, LONG flags) {
  KSPROPERTY_VIDEOPROCAMP_S record{};
  record.Value = value;
  record.Flags = ULONG(flags);
  record.Capabilities = ULONG(flags);
  return SendRecord(device, set, id, KSPROPERTY_TYPE_SET, &record);
}

// Range and default from the basic-support description; the capability
// flags from a get, as the proxy does.
HRESULT GetRangeOf(HANDLE device, const GUID& set, LONG id, LONG* minimum, LONG* maximum, LONG* step,
                   LONG* defaultValue, LONG* caps) {
  if (!minimum || !maximum || !step || !defaultValue || !caps) return E_POINTER;
  KSPROPERTY property{};
  property.Set = set;
  property.Id = ULONG(id);
  property.Flags = KSPROPERTY_TYPE_BASICSUPPORT;
  alignas(8) UCHAR buffer[256] = {};
  DWORD returned = 0;
  if (!DeviceIoControl(device, IOCTL_KS_PROPERTY, &property, sizeof(property), buffer, sizeof(buffer), &returned,
                       nullptr))
    return KsLastErrorHResult();
  if (returned < sizeof(KSPROPERTY_DESCRIPTION)) return E_UNEXPECTED;
  KSPROPERTY_DESCRIPTION d;
  memcpy(&d, buffer, sizeof(d));
  bool haveRange = false;
  ULONG at = sizeof(d);
  for (ULONG l = 0; l < d.MembersListCount; ++l) {
    KSPROPERTY_MEMBERSHEADER h;
    if (at + sizeof(h) > returned) return E_UNEXPECTED;
    memcpy(&h, buffer + at, sizeof(h));
    at += sizeof(h);
    ULONG bytes = h.MembersSize * h.MembersCount;
    if (h.MembersCount && (h.MembersSize == 0 || bytes / h.MembersCount != h.MembersSize || at + bytes > returned))
      return E_UNEXPECTED;
    if (h.MembersFlags == KSPROPERTY_MEMBER_STEPPEDRANGES && h.MembersSize >= sizeof(KSPROPERTY_STEPPING_LONG) &&
        h.MembersCount) {
      KSPROPERTY_STEPPING_LONG s;
      memcpy(&s, buffer + at, sizeof(s));
      *minimum = s.Bounds.SignedMinimum;
      *maximum = s.Bounds.SignedMaximum;
      *step = LONG(s.SteppingDelta);
      haveRange = true;
    } else if (h.MembersFlags == KSPROPERTY_MEMBER_VALUES && (h.Flags & KSPROPERTY_MEMBER_FLAG_DEFAULT) &&
               h.MembersSize >= sizeof(LONG) && h.MembersCount) {
      memcpy(defaultValue, buffer + at, sizeof(LONG));
    }
    at += bytes;
  }
  if (!haveRange) return E_UNEXPECTED;
  KSPROPERTY_VIDEOPROCAMP_S record{};
  HRESULT hr = SendRecord(device, set, id, KSPROPERTY_TYPE_GET, &record);
  *caps = SUCCEEDED(hr) ? LONG(record.Capabilities) : 0;
  return S_OK;
}

class CaptureFilter;

// One interface of the filter; forwards IUnknown to the filter.
template <class Interface>
class Part : public Interface {
 public:
  explicit Part(CaptureFilter* owner) : owner_(owner) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

 protected:
  CaptureFilter* owner_;
};

class ProcAmp : public Part<IAMVideoProcAmp> {
 public:
  using Part::Part;
  HRESULT STDMETHODCALLTYPE GetRange(LONG p, LONG* mn, LONG* mx, LONG* st, LONG* df, LONG* caps) override;
  HRESULT STDMETHODCALLTYPE Set(LONG p, LONG value, LONG flags) override;
  HRESULT STDMETHODCALLTYPE Get(LONG p, LONG* value, LONG* flags) override;
};

class CameraControl : public Part<IAMCameraControl> {
 public:
  using Part::Part;
  HRESULT STDMETHODCALLTYPE GetRange(LONG p, LONG* mn, LONG* mx, LONG* st, LONG* df, LONG* caps) override;
  HRESULT STDMETHODCALLTYPE Set(LONG p, LONG value, LONG flags) override;
  HRESULT STDMETHODCALLTYPE Get(LONG p, LONG* value, LONG* flags) override;
};

class KsObject : public Part<IKsObject> {
 public:
  using Part::Part;
  HANDLE STDMETHODCALLTYPE KsGetObjectHandle() override;
};

class CaptureFilter final : public IUnknown {
 public:
  explicit CaptureFilter(HANDLE device) : device_(device), procAmp_(this), camera_(this), ksObject_(this) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (IsEqualGUID(riid, IID_IUnknown))
      *object = static_cast<IUnknown*>(this);
    else if (IsEqualGUID(riid, IID_IAMVideoProcAmp))
      *object = static_cast<IAMVideoProcAmp*>(&procAmp_);
    else if (IsEqualGUID(riid, IID_IAMCameraControl))
      *object = static_cast<IAMCameraControl*>(&camera_);
    else if (IsEqualGUID(riid, IID_IKsObject))
      *object = static_cast<IKsObject*>(&ksObject_);
    else
      return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = --refs_;
    if (left == 0) {
      platform::CloseKsDevice(device_);
      delete this;
    }
    return left;
  }
  HANDLE Device() const { return device_; }

 private:
  ~CaptureFilter() = default;
  HANDLE device_;
  std::atomic<ULONG> refs_{1};
  ProcAmp procAmp_;
  CameraControl camera_;
  KsObject ksObject_;
};

template <class Interface>
HRESULT Part<Interface>::QueryInterface(REFIID riid, void** object) {
  return owner_->QueryInterface(riid, object);
}
template <class Interface>
ULONG Part<Interface>::AddRef() {
  return owner_->AddRef();
}
template <class Interface>
ULONG Part<Interface>::Release() {
  return owner_->Release();
}

HRESULT ProcAmp::GetRange(LONG p, LONG* mn, LONG* mx, LONG* st, LONG* df, LONG* caps) {
  return GetRangeOf(owner_->Device(), PROPSETID_VIDCAP_VIDEOPROCAMP, p, mn, mx, st, df, caps);
}
HRESULT ProcAmp::Set(LONG p, LONG value, LONG flags) {
  return SetRecord(owner_->Device(), PROPSETID_VIDCAP_VIDEOPROCAMP, p, value, flags);
}
HRESULT ProcAmp::Get(LONG p, LONG* value, LONG* flags) {
  return GetRecord(owner_->Device(), PROPSETID_VIDCAP_VIDEOPROCAMP, p, value, flags);
}
HRESULT CameraControl::GetRange(LONG p, LONG* mn, LONG* mx, LONG* st, LONG* df, LONG* caps) {
  return GetRangeOf(owner_->Device(), PROPSETID_VIDCAP_CAMERACONTROL, p, mn, mx, st, df, caps);
}
HRESULT CameraControl::Set(LONG p, LONG value, LONG flags) {
  return SetRecord(owner_->Device(), PROPSETID_VIDCAP_CAMERACONTROL, p, value, flags);
}
HRESULT CameraControl::Get(LONG p, LONG* value, LONG* flags) {
  return GetRecord(owner_->Device(), PROPSETID_VIDCAP_CAMERACONTROL, p, value, flags);
}
HANDLE KsObject::KsGetObjectHandle() { return owner_->Device(); }

}  // namespace

HRESULT CreateKsCaptureFilter(const std::string& devicePath, IUnknown** filter) {
  if (!filter) return E_POINTER;
  *filter = nullptr;
  HANDLE device = platform::OpenKsDevice(devicePath);
  if (device == INVALID_HANDLE_VALUE) return HRESULT_FROM_WIN32(platform::KsLastError());
  CaptureFilter* f = new (std::nothrow) CaptureFilter(device);
  if (!f) {
    platform::CloseKsDevice(device);
    return E_OUTOFMEMORY;
  }
  *filter = f;
  return S_OK;
}
