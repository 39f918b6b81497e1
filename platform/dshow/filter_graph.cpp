// The filter graph ("quartz.dll", CLSID_FilterGraph): it holds filters
// under unique names and moves them through the run states together. Pins
// of the platform's filters never connect, so connecting and rendering fail
// as they do for pins without a common media type; nothing streams.
#include <windows.h>
#include <control.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "platform/dshow/com_object.h"
#include "platform/dshow/enumerators.h"
#include "platform/machine/builtin_classes.h"

namespace dshow {
namespace {

// A name in use gets " 0001", " 0002"... appended, within the name length.
constexpr int kMaxSuffix = 9999;

class FilterGraph final : public ComObject<FilterGraph, IGraphBuilder, IMediaControl> {
 public:
  void* Find(REFIID riid) {
    if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IFilterGraph) ||
        IsEqualGUID(riid, IID_IGraphBuilder))
      return static_cast<IGraphBuilder*>(this);
    if (IsEqualGUID(riid, IID_IMediaControl) || IsEqualGUID(riid, IID_IDispatch))
      return static_cast<IMediaControl*>(this);
    return nullptr;
  }

  // ---- IFilterGraph ----
  STDMETHODIMP AddFilter(IBaseFilter* pFilter, LPCWSTR pName) override {
    if (!pFilter) return E_POINTER;
    std::lock_guard<std::recursive_mutex> hold(lock_);
    if (IndexOf(pFilter) >= 0) return E_INVALIDARG;  // in the graph already
    const bool named = pName && *pName;
    std::wstring name;
    if (!UniqueName(named ? pName : L"Filter", &name)) return VFW_E_DUPLICATE_NAME;
    HRESULT hr = pFilter->JoinFilterGraph(this, name.c_str());
    if (FAILED(hr)) return hr;
    pFilter->AddRef();
    entries_.push_back({pFilter, name});
    return named && name != pName ? VFW_S_DUPLICATE_NAME : S_OK;
  }

  STDMETHODIMP RemoveFilter(IBaseFilter* pFilter) override {
    if (!pFilter) return E_POINTER;
    std::lock_guard<std::recursive_mutex> hold(lock_);
    int at = IndexOf(pFilter);
    if (at < 0) return VFW_E_NOT_FOUND;
    entries_.erase(entries_.begin() + at);
    pFilter->JoinFilterGraph(nullptr, nullptr);
    pFilter->Release();
    return S_OK;
  }

  STDMETHODIMP EnumFilters(IEnumFilters** ppEnum) override {
    if (!ppEnum) return E_POINTER;
    std::vector<IBaseFilter*> filters;
    {
      std::lock_guard<std::recursive_mutex> hold(lock_);
      for (const Entry& e : entries_) filters.push_back(e.filter);
    }
    *ppEnum = new (std::nothrow) FilterEnumerator(filters);
    return *ppEnum ? S_OK : E_OUTOFMEMORY;
  }

  STDMETHODIMP FindFilterByName(LPCWSTR pName, IBaseFilter** ppFilter) override {
    if (!ppFilter) return E_POINTER;
    *ppFilter = nullptr;
    if (!pName) return E_POINTER;
    std::lock_guard<std::recursive_mutex> hold(lock_);
    for (const Entry& e : entries_) {
      if (e.name == pName) {
        *ppFilter = e.filter;
        e.filter->AddRef();
        return S_OK;
      }
    }
    return VFW_E_NOT_FOUND;
  }

  STDMETHODIMP ConnectDirect(IPin* ppinOut, IPin* ppinIn, const AM_MEDIA_TYPE* pmt) override {
    if (!ppinOut || !ppinIn) return E_POINTER;
    return ppinOut->Connect(ppinIn, pmt);
  }
  STDMETHODIMP Reconnect(IPin* ppin) override { return ppin ? VFW_E_NOT_CONNECTED : E_POINTER; }
  STDMETHODIMP Disconnect(IPin* ppin) override { return ppin ? ppin->Disconnect() : E_POINTER; }
  // The graph runs without a reference clock: nothing streams.
  STDMETHODIMP SetDefaultSyncSource() override { return S_OK; }

  // ---- IGraphBuilder ----
  STDMETHODIMP Connect(IPin* ppinOut, IPin* ppinIn) override {
    HRESULT hr = ConnectDirect(ppinOut, ppinIn, nullptr);
    return hr == E_POINTER || SUCCEEDED(hr) ? hr : VFW_E_CANNOT_CONNECT;
  }
  STDMETHODIMP Render(IPin* ppinOut) override { return ppinOut ? VFW_E_CANNOT_RENDER : E_POINTER; }
  STDMETHODIMP RenderFile(LPCWSTR, LPCWSTR) override { return E_NOTIMPL; }
  STDMETHODIMP AddSourceFilter(LPCWSTR, LPCWSTR, IBaseFilter** ppFilter) override {
    if (ppFilter) *ppFilter = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP SetLogFile(DWORD_PTR) override { return S_OK; }
  STDMETHODIMP Abort() override { return S_OK; }
  STDMETHODIMP ShouldOperationContinue() override { return S_OK; }

  // ---- IDispatch (no type information) ----
  STDMETHODIMP GetTypeInfoCount(UINT* pctinfo) override {
    if (!pctinfo) return E_POINTER;
    *pctinfo = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) override {
    if (ppTInfo) *ppTInfo = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }

  // ---- IMediaControl ----
  STDMETHODIMP Run() override { return ChangeState(State_Running); }
  STDMETHODIMP Pause() override { return ChangeState(State_Paused); }
  STDMETHODIMP Stop() override { return ChangeState(State_Stopped); }
  STDMETHODIMP StopWhenReady() override { return Stop(); }
  STDMETHODIMP GetState(LONG, OAFilterState* pfs) override {
    if (!pfs) return E_POINTER;
    std::lock_guard<std::recursive_mutex> hold(lock_);
    *pfs = state_;
    return S_OK;
  }
  STDMETHODIMP RenderFile(BSTR) override { return E_NOTIMPL; }
  STDMETHODIMP AddSourceFilter(BSTR, IDispatch** ppUnk) override {
    if (ppUnk) *ppUnk = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP get_FilterCollection(IDispatch** ppUnk) override {
    if (ppUnk) *ppUnk = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP get_RegFilterCollection(IDispatch** ppUnk) override {
    if (ppUnk) *ppUnk = nullptr;
    return E_NOTIMPL;
  }

 private:
  struct Entry {
    IBaseFilter* filter;  // held with a reference
    std::wstring name;
  };

  ~FilterGraph() override {
    for (Entry& e : entries_) {
      e.filter->JoinFilterGraph(nullptr, nullptr);
      e.filter->Release();
    }
  }

  int IndexOf(IBaseFilter* filter) const {
    for (size_t i = 0; i < entries_.size(); ++i)
      if (entries_[i].filter == filter) return int(i);
    return -1;
  }
  bool InUse(const std::wstring& name) const {
    for (const Entry& e : entries_)
      if (e.name == name) return true;
    return false;
  }
  bool UniqueName(const std::wstring& wanted, std::wstring* name) const {
    std::wstring base = wanted.substr(0, MAX_FILTER_NAME - 1);
    if (!InUse(base)) {
      *name = base;
      return true;
    }
    for (int n = 1; n <= kMaxSuffix; ++n) {
      wchar_t suffix[8];
      std::swprintf(suffix, 8, L" %04d", n);
      std::wstring candidate = base.substr(0, MAX_FILTER_NAME - 1 - 5) + suffix;
      if (!InUse(candidate)) {
        *name = candidate;
        return true;
      }
    }
    return false;
  }

  // Every filter is told; the first failure is reported, the graph's
  // state follows what was asked.
  HRESULT ChangeState(FILTER_STATE state) {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    HRESULT result = S_OK;
    for (const Entry& e : entries_) {
      HRESULT hr = state == State_Running ? e.filter->Run(0)
                   : state == State_Paused ? e.filter->Pause()
                                           : e.filter->Stop();
      if (FAILED(hr) && SUCCEEDED(result)) result = hr;
    }
    state_ = state;
    return result;
  }

  std::recursive_mutex lock_;
  std::vector<Entry> entries_;  // in the order they were added
  OAFilterState state_ = State_Stopped;
};

const platform::BuiltinClassRegistrar kRegisterFilterGraph(
    {CLSID_FilterGraph, "Filter Graph", "quartz.dll", "Both", &CreateAndQuery<FilterGraph>});

}  // namespace
}  // namespace dshow
