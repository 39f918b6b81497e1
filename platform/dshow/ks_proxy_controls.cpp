// The proxy's camera interfaces: IAMVideoProcAmp and IAMCameraControl (one
// 40-byte record per call; ranges from the device's basic-support answer)
// and IAMVideoControl (the video-control records of a pin's stream).
#include <cstring>

#include "platform/dshow/ks_proxy.h"

namespace dshow {
namespace {

// Sends one 40-byte proc-amp / camera-control record of `set` and reads it
// back (the two records have the same layout).
HRESULT SendRecord(KsProxy* proxy, const GUID& set, LONG id, ULONG type, KSPROPERTY_VIDEOPROCAMP_S* record) {
  record->Property.Set = set;
  record->Property.Id = ULONG(id);
  record->Property.Flags = type;
  ULONG returned = 0;
  return proxy->Request(IOCTL_KS_PROPERTY, record, sizeof(*record), record, sizeof(*record), &returned);
}

// The stepped range and the default of a basic-support answer of
// `returned` bytes; E_UNEXPECTED when it carries no range or its lists run
// past what the device returned.
HRESULT ParseRange(const UCHAR* buffer, ULONG returned, LONG* minimum, LONG* maximum, LONG* step,
                   LONG* defaultValue) {
  if (returned < sizeof(KSPROPERTY_DESCRIPTION)) return E_UNEXPECTED;
  KSPROPERTY_DESCRIPTION d;
  std::memcpy(&d, buffer, sizeof(d));
  bool haveRange = false;
  ULONG at = sizeof(d);
  for (ULONG l = 0; l < d.MembersListCount; ++l) {
    KSPROPERTY_MEMBERSHEADER h;
    if (returned - at < sizeof(h)) return E_UNEXPECTED;
    std::memcpy(&h, buffer + at, sizeof(h));
    at += sizeof(h);
    uint64_t bytes = uint64_t(h.MembersSize) * h.MembersCount;
    if (bytes > returned - at) return E_UNEXPECTED;
    if (h.MembersFlags == KSPROPERTY_MEMBER_STEPPEDRANGES && h.MembersSize >= sizeof(KSPROPERTY_STEPPING_LONG) &&
        h.MembersCount) {
      KSPROPERTY_STEPPING_LONG s;
      std::memcpy(&s, buffer + at, sizeof(s));
      *minimum = s.Bounds.SignedMinimum;
      *maximum = s.Bounds.SignedMaximum;
      *step = LONG(s.SteppingDelta);
      haveRange = true;
    } else if (h.MembersFlags == KSPROPERTY_MEMBER_VALUES && (h.Flags & KSPROPERTY_MEMBER_FLAG_DEFAULT) &&
               h.MembersSize >= sizeof(LONG) && h.MembersCount) {
      std::memcpy(defaultValue, buffer + at, sizeof(LONG));
    }
    at += ULONG(bytes);
  }
  return haveRange ? S_OK : E_UNEXPECTED;
}

}  // namespace

// ---- IAMVideoProcAmp and IAMCameraControl ----------------------------------------------
template <class Interface>
STDMETHODIMP ControlPart<Interface>::QueryInterface(REFIID riid, void** object) {
  return proxy_->QueryInterface(riid, object);
}
template <class Interface>
STDMETHODIMP_(ULONG) ControlPart<Interface>::AddRef() {
  return proxy_->AddRef();
}
template <class Interface>
STDMETHODIMP_(ULONG) ControlPart<Interface>::Release() {
  return proxy_->Release();
}

template <class Interface>
STDMETHODIMP ControlPart<Interface>::Get(LONG Property, LONG* lValue, LONG* Flags) {
  if (!lValue || !Flags) return E_POINTER;
  KSPROPERTY_VIDEOPROCAMP_S record{};
  HRESULT hr = SendRecord(proxy_, set_, Property, KSPROPERTY_TYPE_GET, &record);
  if (FAILED(hr)) return hr;
  *lValue = record.Value;
  *Flags = LONG(record.Flags);
  return S_OK;
}

template <class Interface>
STDMETHODIMP ControlPart<Interface>::Set(LONG Property, LONG lValue, LONG Flags) {
  KSPROPERTY_VIDEOPROCAMP_S record{};
  record.Value = lValue;
  record.Flags = ULONG(Flags);
  record.Capabilities = ULONG(Flags);
  return SendRecord(proxy_, set_, Property, KSPROPERTY_TYPE_SET, &record);
}

// Range and default from the basic-support description; the capability
// flags from a get.
template <class Interface>
STDMETHODIMP ControlPart<Interface>::GetRange(LONG Property, LONG* pMin, LONG* pMax, LONG* pSteppingDelta,
                                              LONG* pDefault, LONG* pCapsFlags) {
  if (!pMin || !pMax || !pSteppingDelta || !pDefault || !pCapsFlags) return E_POINTER;
  KSPROPERTY property{};
  property.Set = set_;
  property.Id = ULONG(Property);
  property.Flags = KSPROPERTY_TYPE_BASICSUPPORT;
  alignas(8) UCHAR buffer[256] = {};
  ULONG returned = 0;
  HRESULT hr = proxy_->Request(IOCTL_KS_PROPERTY, &property, sizeof(property), buffer, sizeof(buffer), &returned);
  if (FAILED(hr)) return hr;
  LONG mn = 0, mx = 0, st = 0, df = 0;
  hr = ParseRange(buffer, returned, &mn, &mx, &st, &df);
  if (FAILED(hr)) return hr;
  KSPROPERTY_VIDEOPROCAMP_S record{};
  *pCapsFlags = SUCCEEDED(SendRecord(proxy_, set_, Property, KSPROPERTY_TYPE_GET, &record))
                    ? LONG(record.Capabilities)
                    : 0;
  *pMin = mn;
  *pMax = mx;
  *pSteppingDelta = st;
  *pDefault = df;
  return S_OK;
}

template class ControlPart<IAMVideoProcAmp>;
template class ControlPart<IAMCameraControl>;

// ---- IAMVideoControl ------------------------------------------------------------------
HRESULT KsProxy::StreamOf(IPin* pin, ULONG* stream) {
  if (!pin) return E_POINTER;
  int index = core_.IndexOf(pin);
  if (index < 0) return E_INVALIDARG;
  *stream = ULONG(index);
  return S_OK;
}

template <class Record>
HRESULT KsProxy::VideoControlRequest(IPin* pin, ULONG id, ULONG type, Record* r) {
  HRESULT hr = StreamOf(pin, &r->StreamIndex);
  if (FAILED(hr)) return hr;
  r->Property = {PROPSETID_VIDCAP_VIDEOCONTROL, id, type};
  ULONG returned = 0;
  return Request(IOCTL_KS_PROPERTY, r, sizeof(*r), r, sizeof(*r), &returned);
}

STDMETHODIMP KsProxy::GetCaps(IPin* pPin, LONG* pCapsFlags) {
  if (!pCapsFlags) return E_POINTER;
  KSPROPERTY_VIDEOCONTROL_CAPS_S r{};
  HRESULT hr = VideoControlRequest(pPin, KSPROPERTY_VIDEOCONTROL_CAPS, KSPROPERTY_TYPE_GET, &r);
  if (SUCCEEDED(hr)) *pCapsFlags = LONG(r.VideoControlCaps);
  return hr;
}

STDMETHODIMP KsProxy::SetMode(IPin* pPin, LONG Mode) {
  KSPROPERTY_VIDEOCONTROL_MODE_S r{};
  r.Mode = Mode;
  return VideoControlRequest(pPin, KSPROPERTY_VIDEOCONTROL_MODE, KSPROPERTY_TYPE_SET, &r);
}

STDMETHODIMP KsProxy::GetMode(IPin* pPin, LONG* Mode) {
  if (!Mode) return E_POINTER;
  KSPROPERTY_VIDEOCONTROL_MODE_S r{};
  HRESULT hr = VideoControlRequest(pPin, KSPROPERTY_VIDEOCONTROL_MODE, KSPROPERTY_TYPE_GET, &r);
  if (SUCCEEDED(hr)) *Mode = r.Mode;
  return hr;
}

HRESULT KsProxy::FrameRateRecord(IPin* pin, LONG index, SIZE dimensions,
                                 KSPROPERTY_VIDEOCONTROL_ACTUAL_FRAME_RATE_S* r) {
  r->RangeIndex = ULONG(index);
  r->Dimensions = dimensions;
  return VideoControlRequest(pin, KSPROPERTY_VIDEOCONTROL_ACTUAL_FRAME_RATE, KSPROPERTY_TYPE_GET, r);
}

STDMETHODIMP KsProxy::GetCurrentActualFrameRate(IPin* pPin, LONGLONG* ActualFrameRate) {
  if (!ActualFrameRate) return E_POINTER;
  KSPROPERTY_VIDEOCONTROL_ACTUAL_FRAME_RATE_S r{};
  HRESULT hr = FrameRateRecord(pPin, 0, SIZE{0, 0}, &r);
  if (SUCCEEDED(hr)) *ActualFrameRate = r.CurrentActualFrameRate;
  return hr;
}

STDMETHODIMP KsProxy::GetMaxAvailableFrameRate(IPin* pPin, LONG iIndex, SIZE Dimensions,
                                               LONGLONG* MaxAvailableFrameRate) {
  if (!MaxAvailableFrameRate) return E_POINTER;
  KSPROPERTY_VIDEOCONTROL_ACTUAL_FRAME_RATE_S r{};
  HRESULT hr = FrameRateRecord(pPin, iIndex, Dimensions, &r);
  if (SUCCEEDED(hr)) *MaxAvailableFrameRate = r.CurrentMaxAvailableFrameRate;
  return hr;
}

// The device tells the size of the list first (a query without a buffer),
// then fills a buffer of that size: a multiple-item header and the frame
// intervals in 100 ns units.
STDMETHODIMP KsProxy::GetFrameRateList(IPin* pPin, LONG iIndex, SIZE Dimensions, LONG* ListSize,
                                       LONGLONG** FrameRates) {
  if (!ListSize) return E_POINTER;
  *ListSize = 0;
  if (FrameRates) *FrameRates = nullptr;
  KSPROPERTY_VIDEOCONTROL_FRAME_RATES_S r{};
  HRESULT hr = StreamOf(pPin, &r.StreamIndex);
  if (FAILED(hr)) return hr;
  r.Property = {PROPSETID_VIDCAP_VIDEOCONTROL, KSPROPERTY_VIDEOCONTROL_FRAME_RATES, KSPROPERTY_TYPE_GET};
  r.RangeIndex = ULONG(iIndex);
  r.Dimensions = Dimensions;
  ULONG needed = 0;
  hr = Request(IOCTL_KS_PROPERTY, &r, sizeof(r), nullptr, 0, &needed);
  if (hr != HRESULT_FROM_WIN32(ERROR_MORE_DATA)) return FAILED(hr) ? hr : E_UNEXPECTED;
  if (needed < sizeof(KSMULTIPLE_ITEM) || needed > (1u << 20)) return E_UNEXPECTED;
  std::vector<uint64_t> buffer((needed + 7) / 8);
  ULONG returned = 0;
  hr = Request(IOCTL_KS_PROPERTY, &r, sizeof(r), buffer.data(), needed, &returned);
  if (FAILED(hr)) return hr;
  KSMULTIPLE_ITEM item;
  std::memcpy(&item, buffer.data(), sizeof(item));
  if (returned < sizeof(item) || item.Count > (returned - sizeof(item)) / sizeof(LONGLONG)) return E_UNEXPECTED;
  *ListSize = LONG(item.Count);
  if (!FrameRates || item.Count == 0) return S_OK;
  *FrameRates = static_cast<LONGLONG*>(CoTaskMemAlloc(item.Count * sizeof(LONGLONG)));
  if (!*FrameRates) return E_OUTOFMEMORY;
  std::memcpy(*FrameRates, reinterpret_cast<const UCHAR*>(buffer.data()) + sizeof(item), item.Count * sizeof(LONGLONG));
  return S_OK;
}

}  // namespace dshow
