// The Sample Grabber ("qedit.dll", CLSID_SampleGrabber) and the Null
// Renderer ("quartz.dll", CLSID_NullRenderer) as a graph holds them. The
// grabber's input pin accepts the media type set on it (GUID_NULL parts
// match anything); buffering and the callback are kept for samples, which
// never arrive in the package's graphs, so one-shot mode has nothing to act
// on.
#include <windows.h>
#include <qedit.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include <mutex>

#include "platform/dshow/base_filter.h"
#include "platform/machine/builtin_classes.h"

namespace dshow {
namespace {

class SampleGrabber final : public BasicFilter<SampleGrabber, ISampleGrabber> {
 public:
  SampleGrabber() : BasicFilter(CLSID_SampleGrabber) {
    core_.AddPin(L"Input", PINDIR_INPUT, nullptr, [this](const AM_MEDIA_TYPE* mt) { return Accepts(mt); });
    core_.AddPin(L"Output", PINDIR_OUTPUT);
  }

  void* Find(REFIID riid) {
    if (void* p = FindFilterInterface(riid)) return p;
    if (IsEqualGUID(riid, IID_ISampleGrabber)) return static_cast<ISampleGrabber*>(this);
    return nullptr;
  }

  STDMETHODIMP SetOneShot(BOOL) override { return S_OK; }
  STDMETHODIMP SetBufferSamples(BOOL BufferThem) override {
    std::lock_guard<std::mutex> hold(lock_);
    bufferSamples_ = BufferThem != FALSE;
    return S_OK;
  }
  STDMETHODIMP SetMediaType(const AM_MEDIA_TYPE* pType) override {
    if (!pType) return E_POINTER;
    std::lock_guard<std::mutex> hold(lock_);
    major_ = pType->majortype;
    sub_ = pType->subtype;
    format_ = pType->formattype;
    return S_OK;
  }
  STDMETHODIMP GetConnectedMediaType(AM_MEDIA_TYPE* pType) override {
    return pType ? VFW_E_NOT_CONNECTED : E_POINTER;
  }
  // No sample ever arrives.
  STDMETHODIMP GetCurrentBuffer(LONG* pBufferSize, LONG*) override {
    if (!pBufferSize) return E_POINTER;
    std::lock_guard<std::mutex> hold(lock_);
    return bufferSamples_ ? VFW_E_WRONG_STATE : E_INVALIDARG;
  }
  STDMETHODIMP GetCurrentSample(IMediaSample** ppSample) override {
    if (ppSample) *ppSample = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP SetCallback(ISampleGrabberCB* pCallback, LONG WhichMethodToCallback) override {
    if (WhichMethodToCallback != 0 && WhichMethodToCallback != 1) return E_INVALIDARG;
    if (pCallback) pCallback->AddRef();
    ISampleGrabberCB* old;
    {
      std::lock_guard<std::mutex> hold(lock_);
      old = callback_;
      callback_ = pCallback;
    }
    if (old) old->Release();
    return S_OK;
  }

 private:
  ~SampleGrabber() override { SafeRelease(&callback_); }

  static bool Fits(const GUID& wanted, const GUID& offered) {
    return IsEqualGUID(wanted, GUID_NULL) || IsEqualGUID(wanted, offered);
  }
  HRESULT Accepts(const AM_MEDIA_TYPE* mt) {
    if (!mt) return E_POINTER;
    std::lock_guard<std::mutex> hold(lock_);
    return Fits(major_, mt->majortype) && Fits(sub_, mt->subtype) && Fits(format_, mt->formattype) ? S_OK : S_FALSE;
  }

  std::mutex lock_;
  bool bufferSamples_ = false;
  GUID major_ = GUID_NULL, sub_ = GUID_NULL, format_ = GUID_NULL;
  ISampleGrabberCB* callback_ = nullptr;  // held with a reference
};

class NullRenderer final : public BasicFilter<NullRenderer> {
 public:
  NullRenderer() : BasicFilter(CLSID_NullRenderer) { core_.AddPin(L"In", PINDIR_INPUT); }
  void* Find(REFIID riid) { return FindFilterInterface(riid); }
};

const platform::BuiltinClassRegistrar kRegisterSampleGrabber(
    {CLSID_SampleGrabber, "SampleGrabber", "qedit.dll", "Both", &CreateAndQuery<SampleGrabber>});
const platform::BuiltinClassRegistrar kRegisterNullRenderer(
    {CLSID_NullRenderer, "Null Renderer", "quartz.dll", "Both", &CreateAndQuery<NullRenderer>});

}  // namespace
}  // namespace dshow
