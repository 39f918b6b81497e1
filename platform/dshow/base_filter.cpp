// Pins and the IBaseFilter state shared by the platform's filters.
#include "platform/dshow/base_filter.h"

#include <uuids.h>
#include <vfwmsgs.h>

#include <cstring>

#include "platform/dshow/enumerators.h"

namespace dshow {

// ---- Pin ----------------------------------------------------------------------------
Pin::Pin(IBaseFilter* filter, std::wstring name, PIN_DIRECTION direction, const GUID* category,
         AcceptRoutine accept)
    : filter_(filter),
      name_(std::move(name)),
      direction_(direction),
      hasCategory_(category != nullptr),
      accept_(std::move(accept)) {
  if (category) category_ = *category;
}

STDMETHODIMP Pin::QueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IPin))
    *object = static_cast<IPin*>(this);
  else if (hasCategory_ && IsEqualGUID(riid, IID_IKsPropertySet))
    *object = static_cast<IKsPropertySet*>(this);
  else
    return E_NOINTERFACE;
  AddRef();
  return S_OK;
}
STDMETHODIMP_(ULONG) Pin::AddRef() { return filter_->AddRef(); }
STDMETHODIMP_(ULONG) Pin::Release() { return filter_->Release(); }

STDMETHODIMP Pin::Connect(IPin* pReceivePin, const AM_MEDIA_TYPE*) {
  return pReceivePin ? VFW_E_NO_ACCEPTABLE_TYPES : E_POINTER;
}
// An input pin may accept a type, but it cannot carry samples here.
STDMETHODIMP Pin::ReceiveConnection(IPin* pConnector, const AM_MEDIA_TYPE* pmt) {
  if (!pConnector || !pmt) return E_POINTER;
  if (direction_ != PINDIR_INPUT) return VFW_E_INVALID_DIRECTION;
  return QueryAccept(pmt) == S_OK ? E_NOTIMPL : VFW_E_TYPE_NOT_ACCEPTED;
}
STDMETHODIMP Pin::Disconnect() { return S_FALSE; }
STDMETHODIMP Pin::ConnectedTo(IPin** pPin) {
  if (!pPin) return E_POINTER;
  *pPin = nullptr;
  return VFW_E_NOT_CONNECTED;
}
STDMETHODIMP Pin::ConnectionMediaType(AM_MEDIA_TYPE* pmt) {
  if (!pmt) return E_POINTER;
  std::memset(pmt, 0, sizeof(*pmt));
  return VFW_E_NOT_CONNECTED;
}
STDMETHODIMP Pin::QueryPinInfo(PIN_INFO* pInfo) {
  if (!pInfo) return E_POINTER;
  pInfo->pFilter = filter_;
  filter_->AddRef();
  pInfo->dir = direction_;
  CopyName(name_, pInfo->achName, MAX_PIN_NAME);
  return S_OK;
}
STDMETHODIMP Pin::QueryDirection(PIN_DIRECTION* pPinDir) {
  if (!pPinDir) return E_POINTER;
  *pPinDir = direction_;
  return S_OK;
}
STDMETHODIMP Pin::QueryId(LPWSTR* Id) {
  if (!Id) return E_POINTER;
  *Id = TaskMemString(name_);
  return *Id ? S_OK : E_OUTOFMEMORY;
}
STDMETHODIMP Pin::QueryAccept(const AM_MEDIA_TYPE* pmt) {
  if (accept_) return accept_(pmt);
  return pmt ? S_FALSE : E_POINTER;
}
STDMETHODIMP Pin::EnumMediaTypes(IEnumMediaTypes** ppEnum) {
  if (!ppEnum) return E_POINTER;
  *ppEnum = new (std::nothrow) EmptyMediaTypeEnumerator();
  return *ppEnum ? S_OK : E_OUTOFMEMORY;
}
STDMETHODIMP Pin::QueryInternalConnections(IPin**, ULONG*) { return E_NOTIMPL; }
// Stream notifications travel downstream into input pins only.
STDMETHODIMP Pin::EndOfStream() { return direction_ == PINDIR_INPUT ? S_OK : E_UNEXPECTED; }
STDMETHODIMP Pin::BeginFlush() { return direction_ == PINDIR_INPUT ? S_OK : E_UNEXPECTED; }
STDMETHODIMP Pin::EndFlush() { return direction_ == PINDIR_INPUT ? S_OK : E_UNEXPECTED; }
STDMETHODIMP Pin::NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) { return S_OK; }

HRESULT Pin::CheckCategoryProperty(REFGUID set, DWORD id) const {
  if (!IsEqualGUID(set, AMPROPSETID_Pin)) return E_PROP_SET_UNSUPPORTED;
  if (id != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
  return S_OK;
}
// The category is the pin's nature: nobody changes it.
STDMETHODIMP Pin::Set(REFGUID, DWORD, LPVOID, DWORD, LPVOID, DWORD) { return E_NOTIMPL; }
STDMETHODIMP Pin::Get(REFGUID guidPropSet, DWORD dwPropID, LPVOID, DWORD, LPVOID pPropData, DWORD cbPropData,
                      DWORD* pcbReturned) {
  HRESULT hr = CheckCategoryProperty(guidPropSet, dwPropID);
  if (FAILED(hr)) return hr;
  if (!pPropData && !pcbReturned) return E_POINTER;
  if (pcbReturned) *pcbReturned = sizeof(GUID);
  if (!pPropData) return S_OK;  // a size query
  if (cbPropData < sizeof(GUID)) return E_UNEXPECTED;
  std::memcpy(pPropData, &category_, sizeof(GUID));
  return S_OK;
}
STDMETHODIMP Pin::QuerySupported(REFGUID guidPropSet, DWORD dwPropID, DWORD* pTypeSupport) {
  HRESULT hr = CheckCategoryProperty(guidPropSet, dwPropID);
  if (FAILED(hr)) return hr;
  if (pTypeSupport) *pTypeSupport = KSPROPERTY_SUPPORT_GET;
  return S_OK;
}

// ---- FilterCore ------------------------------------------------------------------
FilterCore::~FilterCore() {
  if (clock_) clock_->Release();
}

void FilterCore::AddPin(const std::wstring& name, PIN_DIRECTION direction, const GUID* category,
                        AcceptRoutine accept) {
  std::lock_guard<std::mutex> hold(lock_);
  pins_.push_back(std::make_unique<Pin>(filter_, name, direction, category, std::move(accept)));
}

Pin* FilterCore::PinAt(size_t index) const {
  std::lock_guard<std::mutex> hold(lock_);
  return index < pins_.size() ? pins_[index].get() : nullptr;
}

int FilterCore::IndexOf(IPin* pin) const {
  std::lock_guard<std::mutex> hold(lock_);
  for (size_t i = 0; i < pins_.size(); ++i)
    if (static_cast<IPin*>(pins_[i].get()) == pin) return int(i);
  return -1;
}

HRESULT FilterCore::GetClassID(CLSID* pClassID) {
  if (!pClassID) return E_POINTER;
  *pClassID = clsid_;
  return S_OK;
}

HRESULT FilterCore::SetState(FILTER_STATE state) {
  std::lock_guard<std::mutex> hold(lock_);
  state_ = state;
  return S_OK;
}

HRESULT FilterCore::GetState(FILTER_STATE* State) {
  if (!State) return E_POINTER;
  std::lock_guard<std::mutex> hold(lock_);
  *State = state_;
  return S_OK;
}

HRESULT FilterCore::SetSyncSource(IReferenceClock* pClock) {
  if (pClock) pClock->AddRef();
  IReferenceClock* old;
  {
    std::lock_guard<std::mutex> hold(lock_);
    old = clock_;
    clock_ = pClock;
  }
  if (old) old->Release();
  return S_OK;
}

HRESULT FilterCore::GetSyncSource(IReferenceClock** pClock) {
  if (!pClock) return E_POINTER;
  std::lock_guard<std::mutex> hold(lock_);
  *pClock = clock_;
  if (clock_) clock_->AddRef();
  return S_OK;
}

HRESULT FilterCore::EnumPins(IEnumPins** ppEnum) {
  if (!ppEnum) return E_POINTER;
  std::vector<IPin*> pins;
  {
    std::lock_guard<std::mutex> hold(lock_);
    for (auto& p : pins_) pins.push_back(p.get());
  }
  *ppEnum = new (std::nothrow) PinEnumerator(pins);
  return *ppEnum ? S_OK : E_OUTOFMEMORY;
}

HRESULT FilterCore::FindPin(LPCWSTR Id, IPin** ppPin) {
  if (!ppPin) return E_POINTER;
  *ppPin = nullptr;
  if (!Id) return E_POINTER;
  std::lock_guard<std::mutex> hold(lock_);
  for (auto& p : pins_) {
    if (p->Name() == Id) {
      *ppPin = p.get();
      p->AddRef();
      return S_OK;
    }
  }
  return VFW_E_NOT_FOUND;
}

HRESULT FilterCore::QueryFilterInfo(FILTER_INFO* pInfo) {
  if (!pInfo) return E_POINTER;
  std::lock_guard<std::mutex> hold(lock_);
  CopyName(name_, pInfo->achName, MAX_FILTER_NAME);
  pInfo->pGraph = graph_;
  if (graph_) graph_->AddRef();
  return S_OK;
}

HRESULT FilterCore::JoinFilterGraph(IFilterGraph* pGraph, LPCWSTR pName) {
  std::lock_guard<std::mutex> hold(lock_);
  graph_ = pGraph;
  name_ = pGraph && pName ? pName : L"";
  return S_OK;
}

}  // namespace dshow
