// The client side of the driver's private property set: CameraPropertyHandler
// implements IAMCustomCameraProp inside the camera's kernel-streaming proxy
// (created aggregated, as an interface handler, with the proxy's device
// handle), and turns each Set or Get into one synchronous IOCTL_KS_PROPERTY
// request. SyncDeviceControl and ShowErrorBox serve the pages as well.
#pragma once

#include <windows.h>

#include "extension/com_object.h"
#include "shared/custom_camera_prop.h"

namespace qcamext {

class CameraPropertyHandler : public AggregatableObject, public IAMCustomCameraProp {
 public:
  // Creation routine of class-table row 0.
  static IUnknown* Create(IUnknown* outer, HRESULT* result);

  STDMETHODIMP QueryInterface(REFIID iid, void** object) override { return Outer()->QueryInterface(iid, object); }
  STDMETHODIMP_(ULONG) AddRef() override { return Outer()->AddRef(); }
  STDMETHODIMP_(ULONG) Release() override { return Outer()->Release(); }

  STDMETHODIMP Set(ULONG propertyId, LPVOID data, ULONG length) override;
  STDMETHODIMP Get(ULONG propertyId, LPVOID data, ULONG length) override;

 protected:
  HRESULT QueryOwnInterface(REFIID iid, void** object) override;

 private:
  CameraPropertyHandler(IUnknown* outer, HRESULT* result);
  HRESULT Request(ULONG propertyId, ULONG flags, BYTE* data, ULONG length, ULONG copyBack);

  HANDLE device_ = NULL;  // the proxy's device handle; the proxy owns it
};

// One device request, waited for when the device completes it
// asynchronously. S_OK, or the failure as an HRESULT (never success for a
// failed request).
HRESULT SyncDeviceControl(HANDLE device, DWORD controlCode, LPVOID inBuffer, DWORD inSize, LPVOID outBuffer,
                          DWORD outSize, LPDWORD bytesReturned);

// The HRESULT's text from DirectShow (or "Unknown Error: 0x.."), in a
// message box captioned "Error!" without owner.
void ShowErrorBox(HRESULT result);

}  // namespace qcamext
