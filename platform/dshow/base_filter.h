// What the platform's filters share: the IBaseFilter side of a filter (its
// name and graph, a plain run state, its pins) and the pins themselves. The
// pins never connect: the graphs the package builds hold filters side by
// side and never stream, so a pin offers no media types and refuses every
// connection, as a pin with nothing acceptable does.
#pragma once

#include <strmif.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/dshow/com_object.h"

namespace dshow {

// What a pin answers QueryAccept with (S_FALSE for every type by default).
typedef std::function<HRESULT(const AM_MEDIA_TYPE*)> AcceptRoutine;

// One pin of a filter. Its reference count is the filter's (as in
// DirectShow's base classes), its identity its own. A pin with a category
// answers IKsPropertySet for AMPROPSETID_Pin / AMPROPERTY_PIN_CATEGORY.
class Pin final : public IPin, public IKsPropertySet {
 public:
  Pin(IBaseFilter* filter, std::wstring name, PIN_DIRECTION direction, const GUID* category,
      AcceptRoutine accept = nullptr);
  virtual ~Pin() = default;

  const std::wstring& Name() const { return name_; }
  PIN_DIRECTION Direction() const { return direction_; }

  STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  STDMETHODIMP Connect(IPin* pReceivePin, const AM_MEDIA_TYPE* pmt) override;
  STDMETHODIMP ReceiveConnection(IPin* pConnector, const AM_MEDIA_TYPE* pmt) override;
  STDMETHODIMP Disconnect() override;
  STDMETHODIMP ConnectedTo(IPin** pPin) override;
  STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE* pmt) override;
  STDMETHODIMP QueryPinInfo(PIN_INFO* pInfo) override;
  STDMETHODIMP QueryDirection(PIN_DIRECTION* pPinDir) override;
  STDMETHODIMP QueryId(LPWSTR* Id) override;
  STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE* pmt) override;
  STDMETHODIMP EnumMediaTypes(IEnumMediaTypes** ppEnum) override;
  STDMETHODIMP QueryInternalConnections(IPin** apPin, ULONG* nPin) override;
  STDMETHODIMP EndOfStream() override;
  STDMETHODIMP BeginFlush() override;
  STDMETHODIMP EndFlush() override;
  STDMETHODIMP NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate) override;

  STDMETHODIMP Set(REFGUID guidPropSet, DWORD dwPropID, LPVOID pInstanceData, DWORD cbInstanceData,
                   LPVOID pPropData, DWORD cbPropData) override;
  STDMETHODIMP Get(REFGUID guidPropSet, DWORD dwPropID, LPVOID pInstanceData, DWORD cbInstanceData,
                   LPVOID pPropData, DWORD cbPropData, DWORD* pcbReturned) override;
  STDMETHODIMP QuerySupported(REFGUID guidPropSet, DWORD dwPropID, DWORD* pTypeSupport) override;

 private:
  HRESULT CheckCategoryProperty(REFGUID set, DWORD id) const;

  IBaseFilter* filter_;
  std::wstring name_;
  PIN_DIRECTION direction_;
  bool hasCategory_;
  GUID category_{};
  AcceptRoutine accept_;
};

// The IBaseFilter state of a filter: what JoinFilterGraph, the state
// changes and SetSyncSource store, and the pins.
class FilterCore {
 public:
  FilterCore(IBaseFilter* filter, const CLSID& clsid) : filter_(filter), clsid_(clsid) {}
  ~FilterCore();

  void AddPin(const std::wstring& name, PIN_DIRECTION direction, const GUID* category = nullptr,
              AcceptRoutine accept = nullptr);
  // The pin at `index`, or null.
  Pin* PinAt(size_t index) const;
  // The index of `pin` among the pins (compared by identity), or -1.
  int IndexOf(IPin* pin) const;

  HRESULT GetClassID(CLSID* pClassID);
  HRESULT SetState(FILTER_STATE state);
  HRESULT GetState(FILTER_STATE* State);
  HRESULT SetSyncSource(IReferenceClock* pClock);
  HRESULT GetSyncSource(IReferenceClock** pClock);
  HRESULT EnumPins(IEnumPins** ppEnum);
  HRESULT FindPin(LPCWSTR Id, IPin** ppPin);
  HRESULT QueryFilterInfo(FILTER_INFO* pInfo);
  HRESULT JoinFilterGraph(IFilterGraph* pGraph, LPCWSTR pName);

 private:
  IBaseFilter* filter_;
  CLSID clsid_;
  mutable std::mutex lock_;
  std::vector<std::unique_ptr<Pin>> pins_;
  FILTER_STATE state_ = State_Stopped;
  IReferenceClock* clock_ = nullptr;  // held with a reference
  IFilterGraph* graph_ = nullptr;     // not held: the graph holds the filter
  std::wstring name_;
};

// IBaseFilter (with IMediaFilter and IPersist) over a FilterCore, for a
// filter class `Derived` that also implements `Extra...`.
template <class Derived, class... Extra>
class BasicFilter : public ComObject<Derived, IBaseFilter, Extra...> {
 public:
  explicit BasicFilter(const CLSID& clsid) : core_(this, clsid) {}

  STDMETHODIMP GetClassID(CLSID* pClassID) override { return core_.GetClassID(pClassID); }
  STDMETHODIMP Stop() override { return core_.SetState(State_Stopped); }
  STDMETHODIMP Pause() override { return core_.SetState(State_Paused); }
  STDMETHODIMP Run(REFERENCE_TIME) override { return core_.SetState(State_Running); }
  STDMETHODIMP GetState(DWORD, FILTER_STATE* State) override { return core_.GetState(State); }
  STDMETHODIMP SetSyncSource(IReferenceClock* pClock) override { return core_.SetSyncSource(pClock); }
  STDMETHODIMP GetSyncSource(IReferenceClock** pClock) override { return core_.GetSyncSource(pClock); }
  STDMETHODIMP EnumPins(IEnumPins** ppEnum) override { return core_.EnumPins(ppEnum); }
  STDMETHODIMP FindPin(LPCWSTR Id, IPin** ppPin) override { return core_.FindPin(Id, ppPin); }
  STDMETHODIMP QueryFilterInfo(FILTER_INFO* pInfo) override { return core_.QueryFilterInfo(pInfo); }
  STDMETHODIMP JoinFilterGraph(IFilterGraph* pGraph, LPCWSTR pName) override {
    return core_.JoinFilterGraph(pGraph, pName);
  }
  STDMETHODIMP QueryVendorInfo(LPWSTR* pVendorInfo) override {
    if (pVendorInfo) *pVendorInfo = nullptr;
    return E_NOTIMPL;
  }

 protected:
  // IUnknown, IPersist, IMediaFilter and IBaseFilter of this filter, or null.
  void* FindFilterInterface(REFIID riid) {
    if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IPersist) ||
        IsEqualGUID(riid, IID_IMediaFilter) || IsEqualGUID(riid, IID_IBaseFilter))
      return static_cast<IBaseFilter*>(this);
    return nullptr;
  }
  FilterCore core_;
};

}  // namespace dshow
