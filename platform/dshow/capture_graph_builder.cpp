// The capture graph builder ("qcap.dll", CLSID_CaptureGraphBuilder2): a
// helper over a filter graph that finds pins by direction, category and
// media type, and interfaces on a filter and its pins. It builds no
// streams: rendering and capture files are beyond what the package uses.
#include <windows.h>
#include <strmif.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include <mutex>

#include "platform/dshow/com_object.h"
#include "platform/machine/builtin_classes.h"

namespace dshow {
namespace {

// Whether `pin` offers a media type of major type `type`.
bool OffersMajorType(IPin* pin, const GUID& type) {
  IEnumMediaTypes* types = nullptr;
  if (FAILED(pin->EnumMediaTypes(&types)) || !types) return false;
  bool found = false;
  AM_MEDIA_TYPE* mt = nullptr;
  while (!found && types->Next(1, &mt, nullptr) == S_OK && mt) {
    found = IsEqualGUID(mt->majortype, type);
    if (mt->pUnk) mt->pUnk->Release();
    CoTaskMemFree(mt->pbFormat);
    CoTaskMemFree(mt);
    mt = nullptr;
  }
  types->Release();
  return found;
}

bool HasCategory(IPin* pin, const GUID& category) {
  IKsPropertySet* properties = nullptr;
  if (FAILED(pin->QueryInterface(IID_IKsPropertySet, reinterpret_cast<void**>(&properties)))) return false;
  GUID value{};
  DWORD returned = 0;
  HRESULT hr = properties->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &value, sizeof(value), &returned);
  properties->Release();
  return SUCCEEDED(hr) && returned == sizeof(GUID) && IsEqualGUID(value, category);
}

bool Matches(IPin* pin, PIN_DIRECTION direction, const GUID* category, const GUID* type, BOOL unconnected) {
  PIN_DIRECTION d;
  if (FAILED(pin->QueryDirection(&d)) || d != direction) return false;
  if (category && !HasCategory(pin, *category)) return false;
  if (type && !OffersMajorType(pin, *type)) return false;
  if (unconnected) {
    IPin* peer = nullptr;
    if (SUCCEEDED(pin->ConnectedTo(&peer)) && peer) {
      peer->Release();
      return false;
    }
  }
  return true;
}

// The pins of the filter behind `object`, each with a reference.
std::vector<IPin*> PinsOf(IUnknown* object) {
  std::vector<IPin*> pins;
  IBaseFilter* filter = nullptr;
  if (FAILED(object->QueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(&filter)))) return pins;
  IEnumPins* e = nullptr;
  if (SUCCEEDED(filter->EnumPins(&e)) && e) {
    IPin* pin = nullptr;
    while (e->Next(1, &pin, nullptr) == S_OK && pin) {
      pins.push_back(pin);
      pin = nullptr;
    }
    e->Release();
  }
  filter->Release();
  return pins;
}

void ReleaseAll(std::vector<IPin*>* pins) {
  for (IPin* p : *pins) p->Release();
  pins->clear();
}

class CaptureGraphBuilder final : public ComObject<CaptureGraphBuilder, ICaptureGraphBuilder2> {
 public:
  void* Find(REFIID riid) {
    if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_ICaptureGraphBuilder2))
      return static_cast<ICaptureGraphBuilder2*>(this);
    return nullptr;
  }

  STDMETHODIMP SetFiltergraph(IGraphBuilder* pfg) override {
    if (!pfg) return E_POINTER;
    std::lock_guard<std::mutex> hold(lock_);
    if (graph_) return E_UNEXPECTED;
    graph_ = pfg;
    graph_->AddRef();
    return S_OK;
  }

  // Without a graph set, the builder makes one and keeps it.
  STDMETHODIMP GetFiltergraph(IGraphBuilder** ppfg) override {
    if (!ppfg) return E_POINTER;
    *ppfg = nullptr;
    std::lock_guard<std::mutex> hold(lock_);
    if (!graph_) {
      HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                    reinterpret_cast<void**>(&graph_));
      if (FAILED(hr)) return hr;
    }
    *ppfg = graph_;
    graph_->AddRef();
    return S_OK;
  }

  STDMETHODIMP FindPin(IUnknown* pSource, PIN_DIRECTION pindir, const GUID* pCategory, const GUID* pType,
                       BOOL fUnconnected, int num, IPin** ppPin) override {
    if (!ppPin) return E_POINTER;
    *ppPin = nullptr;
    if (!pSource) return E_POINTER;
    if (num < 0) return E_INVALIDARG;
    // A pin given as the source is its own only candidate.
    std::vector<IPin*> pins;
    IPin* self = nullptr;
    if (SUCCEEDED(pSource->QueryInterface(IID_IPin, reinterpret_cast<void**>(&self))))
      pins.push_back(self);
    else
      pins = PinsOf(pSource);
    int seen = 0;
    for (IPin* pin : pins) {
      if (!Matches(pin, pindir, pCategory, pType, fUnconnected) || seen++ != num) continue;
      *ppPin = pin;
      pin->AddRef();
      break;
    }
    ReleaseAll(&pins);
    return *ppPin ? S_OK : E_FAIL;
  }

  // The interface on the filter's pin of `pCategory` (when one is named),
  // then on the filter, then on any of its pins.
  STDMETHODIMP FindInterface(const GUID* pCategory, const GUID* pType, IBaseFilter* pf, REFIID riid,
                             void** ppint) override {
    if (!ppint) return E_POINTER;
    *ppint = nullptr;
    if (!pf) return E_POINTER;
    std::vector<IPin*> pins = PinsOf(pf);
    HRESULT hr = E_NOINTERFACE;
    const bool pinCategory = pCategory && !IsEqualGUID(*pCategory, LOOK_UPSTREAM_ONLY) &&
                             !IsEqualGUID(*pCategory, LOOK_DOWNSTREAM_ONLY);
    for (IPin* pin : pins) {
      if (pinCategory && HasCategory(pin, *pCategory) && (!pType || OffersMajorType(pin, *pType))) {
        hr = pin->QueryInterface(riid, ppint);
        if (SUCCEEDED(hr)) break;
      }
    }
    if (FAILED(hr)) hr = pf->QueryInterface(riid, ppint);
    for (size_t i = 0; FAILED(hr) && i < pins.size(); ++i) hr = pins[i]->QueryInterface(riid, ppint);
    ReleaseAll(&pins);
    return SUCCEEDED(hr) ? S_OK : E_NOINTERFACE;
  }

  STDMETHODIMP SetOutputFileName(const GUID*, LPCOLESTR, IBaseFilter** ppf, IFileSinkFilter** ppSink) override {
    if (ppf) *ppf = nullptr;
    if (ppSink) *ppSink = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP RenderStream(const GUID*, const GUID*, IUnknown*, IBaseFilter*, IBaseFilter*) override {
    return E_NOTIMPL;
  }
  STDMETHODIMP ControlStream(const GUID*, const GUID*, IBaseFilter*, REFERENCE_TIME*, REFERENCE_TIME*, WORD,
                             WORD) override {
    return E_NOTIMPL;
  }
  STDMETHODIMP AllocCapFile(LPCOLESTR, DWORDLONG) override { return E_NOTIMPL; }
  STDMETHODIMP CopyCaptureFile(LPOLESTR, LPOLESTR, int, IAMCopyCaptureFileProgress*) override { return E_NOTIMPL; }

 private:
  ~CaptureGraphBuilder() override { SafeRelease(&graph_); }

  std::mutex lock_;
  IGraphBuilder* graph_ = nullptr;
};

const platform::BuiltinClassRegistrar kRegisterCaptureGraphBuilder(
    {CLSID_CaptureGraphBuilder2, "Capture Graph Builder 2", "qcap.dll", "Both",
     &CreateAndQuery<CaptureGraphBuilder>});

}  // namespace
}  // namespace dshow
