// The capture filter of a kernel-streaming camera: the proxy ("ksproxy.ax",
// CLSID_Proxy) that a device moniker creates and loads from its property
// bag. It opens the device by its "DevicePath" and keeps the handle for its
// whole life; every camera interface call is one synchronous request on
// that handle. Two output pins, "Capture" and "Still", stand for the
// device's streams 0 and 1. The interface handlers the camera's
// installation announced for the device (platform/machine/dshow_control.h)
// are created, aggregated, when the proxy loads, and answer for their
// interfaces.
#pragma once

#include <ksproxy.h>
#include <ksmedia.h>
#include <ocidl.h>

#include <map>
#include <mutex>
#include <string>

#include "platform/dshow/base_filter.h"

namespace dshow {

class KsProxy;

// IAMVideoProcAmp or IAMCameraControl (the two share their method names):
// a part of the proxy with the proxy's identity, sending the 40-byte
// records of `set`.
template <class Interface>
class ControlPart final : public Interface {
 public:
  ControlPart(KsProxy* proxy, const GUID& set) : proxy_(proxy), set_(set) {}
  STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  STDMETHODIMP GetRange(LONG Property, LONG* pMin, LONG* pMax, LONG* pSteppingDelta, LONG* pDefault,
                        LONG* pCapsFlags) override;
  STDMETHODIMP Set(LONG Property, LONG lValue, LONG Flags) override;
  STDMETHODIMP Get(LONG Property, LONG* lValue, LONG* Flags) override;

 private:
  KsProxy* proxy_;
  GUID set_;
};

class KsProxy final : public BasicFilter<KsProxy, IPersistPropertyBag, IKsObject, IKsControl, IAMVideoControl,
                                         ISpecifyPropertyPages> {
 public:
  KsProxy();

  void* Find(REFIID riid);
  // Interfaces of its own first, then the announced handlers.
  STDMETHODIMP QueryInterface(REFIID riid, void** object) override;

  // One synchronous request on the device handle (E_UNEXPECTED before the
  // proxy was loaded).
  HRESULT Request(ULONG code, void* in, ULONG inSize, void* out, ULONG outSize, ULONG* returned);

  // IPersistPropertyBag
  STDMETHODIMP InitNew() override;
  STDMETHODIMP Load(IPropertyBag* pPropBag, IErrorLog* pErrorLog) override;
  STDMETHODIMP Save(IPropertyBag* pPropBag, BOOL fClearDirty, BOOL fSaveAllProperties) override;

  // IKsObject
  STDMETHODIMP_(HANDLE) KsGetObjectHandle() override;

  // IKsControl
  STDMETHODIMP KsProperty(PKSPROPERTY Property, ULONG PropertyLength, LPVOID PropertyData, ULONG DataLength,
                          ULONG* BytesReturned) override;
  STDMETHODIMP KsMethod(PKSMETHOD Method, ULONG MethodLength, LPVOID MethodData, ULONG DataLength,
                        ULONG* BytesReturned) override;
  STDMETHODIMP KsEvent(PKSEVENT Event, ULONG EventLength, LPVOID EventData, ULONG DataLength,
                       ULONG* BytesReturned) override;

  // IAMVideoControl
  STDMETHODIMP GetCaps(IPin* pPin, LONG* pCapsFlags) override;
  STDMETHODIMP SetMode(IPin* pPin, LONG Mode) override;
  STDMETHODIMP GetMode(IPin* pPin, LONG* Mode) override;
  STDMETHODIMP GetCurrentActualFrameRate(IPin* pPin, LONGLONG* ActualFrameRate) override;
  STDMETHODIMP GetMaxAvailableFrameRate(IPin* pPin, LONG iIndex, SIZE Dimensions,
                                        LONGLONG* MaxAvailableFrameRate) override;
  STDMETHODIMP GetFrameRateList(IPin* pPin, LONG iIndex, SIZE Dimensions, LONG* ListSize,
                                LONGLONG** FrameRates) override;

  // ISpecifyPropertyPages
  STDMETHODIMP GetPages(CAUUID* pPages) override;

 private:
  ~KsProxy() override;
  // The device stream a pin of this filter stands for; E_POINTER or
  // E_INVALIDARG for a null or foreign pin.
  HRESULT StreamOf(IPin* pin, ULONG* stream);
  // Sends video-control record `r` (property `id`, request `type`) for the
  // stream of `pin`, and reads it back.
  template <class Record>
  HRESULT VideoControlRequest(IPin* pin, ULONG id, ULONG type, Record* r);
  HRESULT FrameRateRecord(IPin* pin, LONG index, SIZE dimensions, KSPROPERTY_VIDEOCONTROL_ACTUAL_FRAME_RATE_S* r);
  // Creates the announced handlers (those that fail to be made are left out).
  void CreateHandlers();
  // The handler answering for `riid`, queried for it.
  HRESULT QueryHandler(REFIID riid, void** object);
  IUnknown* Outer() { return static_cast<IBaseFilter*>(this); }

  ControlPart<IAMVideoProcAmp> procAmp_;
  ControlPart<IAMCameraControl> cameraControl_;

  std::mutex lock_;
  bool loaded_ = false;
  HANDLE device_ = nullptr;
  uint16_t vendorId_ = 0;
  uint16_t productId_ = 0;
  std::map<std::string, IUnknown*> handlers_;    // by CLSID text: inner unknowns, held
  std::map<std::string, IUnknown*> interfaces_;  // by IID text: the handler answering it
};

}  // namespace dshow
