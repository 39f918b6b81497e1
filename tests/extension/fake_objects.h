// Stand-ins for the objects that hold the extension's: an outer unknown that
// aggregates the interface handler the way the camera's proxy does (and
// answers IKsObject with a device handle), counting what is asked of it.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <string>
#include <vector>

namespace ext_test {

// {423C13A2-2070-11D0-9EF7-00AA00A216A1}
const IID kIidKsObject = {0x423C13A2, 0x2070, 0x11D0, {0x9E, 0xF7, 0x00, 0xAA, 0x00, 0xA2, 0x16, 0xA1}};

struct KsObjectInterface : public IUnknown {
  virtual HANDLE STDMETHODCALLTYPE KsGetObjectHandle() = 0;
};

// Lives on the test's stack; counts references instead of deleting itself.
class FakeProxy : public KsObjectInterface {
 public:
  FakeProxy(bool answersKsObject, HANDLE device) : answersKsObject_(answersKsObject), device_(device) {}

  STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
    ++queries;
    if (IsEqualIID(iid, IID_IUnknown) || (answersKsObject_ && IsEqualIID(iid, kIidKsObject))) {
      *object = static_cast<KsObjectInterface*>(this);
      AddRef();
      return S_OK;
    }
    // Everything else goes to the aggregated handler, as the proxy does for
    // the interfaces announced for its device.
    if (inner && !IsEqualIID(iid, IID_IUnknown)) return inner->QueryInterface(iid, object);
    *object = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++references; }
  STDMETHODIMP_(ULONG) Release() override { return --references; }
  HANDLE STDMETHODCALLTYPE KsGetObjectHandle() override { return device_; }

  IUnknown* inner = nullptr;  // the handler's non-delegating unknown
  long references = 1;
  int queries = 0;

 private:
  bool answersKsObject_;
  HANDLE device_;
};

}  // namespace ext_test

#include <dshow.h>

#include "shared/custom_camera_prop.h"

namespace ext_test {

// A capture filter as the pages see it: the three interfaces they bind, each
// recording nothing but the references held on the filter. Any of them can
// be left out to make a page's binding fail.
class FakeFilter : public IAMCustomCameraProp, public IAMVideoProcAmp, public IAMCameraControl {
 public:
  explicit FakeFilter(bool custom = true, bool procAmp = true, bool cameraControl = true)
      : custom_(custom), procAmp_(procAmp), cameraControl_(cameraControl) {}

  STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
    if (IsEqualIID(iid, IID_IUnknown)) {
      *object = static_cast<IAMCustomCameraProp*>(this);
    } else if (custom_ && IsEqualIID(iid, IID_IAMCustomCameraProp)) {
      *object = static_cast<IAMCustomCameraProp*>(this);
    } else if (procAmp_ && IsEqualIID(iid, IID_IAMVideoProcAmp)) {
      *object = static_cast<IAMVideoProcAmp*>(this);
    } else if (cameraControl_ && IsEqualIID(iid, IID_IAMCameraControl)) {
      *object = static_cast<IAMCameraControl*>(this);
    } else {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    ++references;
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++references; }
  STDMETHODIMP_(ULONG) Release() override { return --references; }

  STDMETHODIMP Set(ULONG, LPVOID, ULONG) override { return E_NOTIMPL; }
  STDMETHODIMP Get(ULONG, LPVOID, ULONG) override { return E_NOTIMPL; }
  STDMETHODIMP GetRange(LONG, LONG*, LONG*, LONG*, LONG*, LONG*) override { return E_NOTIMPL; }
  STDMETHODIMP Set(LONG, LONG, LONG) override { return E_NOTIMPL; }
  STDMETHODIMP Get(LONG, LONG*, LONG*) override { return E_NOTIMPL; }

  IUnknown* Unknown() { return static_cast<IAMCustomCameraProp*>(this); }

  long references = 1;

 private:
  bool custom_, procAmp_, cameraControl_;
};

// The site a property frame gives its pages: counts status changes.
class FakeSite : public IPropertyPageSite {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
    *object = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IPropertyPageSite)) return E_NOINTERFACE;
    *object = this;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++references; }
  STDMETHODIMP_(ULONG) Release() override { return --references; }
  STDMETHODIMP OnStatusChange(DWORD flags) override {
    statusChanges.push_back(flags);
    return S_OK;
  }
  STDMETHODIMP GetLocaleID(LCID* locale) override { return E_NOTIMPL; }
  STDMETHODIMP GetPageContainer(IUnknown** container) override { return E_NOTIMPL; }
  STDMETHODIMP TranslateAccelerator(MSG* message) override { return S_FALSE; }

  long references = 1;
  std::vector<DWORD> statusChanges;
};

}  // namespace ext_test
