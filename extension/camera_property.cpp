#include "extension/camera_property.h"

#include <dshow.h>
#include <ks.h>
#include <ksmedia.h>

#include <cstdio>
#include <cstring>
#include <new>

namespace qcamext {

// IKsObject, the proxy's interface that hands out the device handle, as
// ksproxy.h declares it (the SDK keeps it for driver-kit builds). Declared
// with external linkage: the objects implementing it come from outside, and a
// type private to this file would let the compiler assume it has no
// implementation at all.
struct KsObjectInterface : public IUnknown {
  virtual HANDLE STDMETHODCALLTYPE KsGetObjectHandle() = 0;
};

namespace {

// {423C13A2-2070-11D0-9EF7-00AA00A216A1}
const IID kIidKsObject = {0x423C13A2, 0x2070, 0x11D0, {0x9E, 0xF7, 0x00, 0xAA, 0x00, 0xA2, 0x16, 0xA1}};

const HRESULT kNeedOwner = HRESULT(0x80040202L);  // VFW_E_NEED_OWNER

// The request record of the private set: property header, then the payload.
#pragma pack(push, 1)
struct CustomPropRequest {
  GUID set;
  ULONG id;
  ULONG flags;
  BYTE payload[kCustomPropMaxLength];
};
#pragma pack(pop)
static_assert(sizeof(CustomPropRequest) == qcam::kPrivateRecordSize, "the request record is 1112 bytes");
static_assert(offsetof(CustomPropRequest, payload) == kCustomPropHeaderSize, "the payload follows the header");

// The last error as an HRESULT; a failure that left no error code is E_FAIL,
// so a failed request is never reported as success.
HRESULT LastErrorResult() {
  DWORD error = GetLastError();
  return error == 0 ? E_FAIL : HRESULT_FROM_WIN32(error);
}

}  // namespace

IUnknown* CameraPropertyHandler::Create(IUnknown* outer, HRESULT* result) {
  CameraPropertyHandler* handler = new (std::nothrow) CameraPropertyHandler(outer, result);
  if (!handler) {
    *result = E_OUTOFMEMORY;
    ShowErrorBox(*result);
    return NULL;
  }
  return handler->NonDelegatingUnknown();
}

CameraPropertyHandler::CameraPropertyHandler(IUnknown* outer, HRESULT* result)
    : AggregatableObject(outer, kCounted) {
  if (!outer) {
    *result = kNeedOwner;
    return;
  }
  KsObjectInterface* ksObject = NULL;
  HRESULT query = outer->QueryInterface(kIidKsObject, reinterpret_cast<void**>(&ksObject));
  if (FAILED(query)) {
    *result = query;
    return;
  }
  device_ = ksObject->KsGetObjectHandle();
  // The handler lives inside the proxy: holding a reference on it would keep
  // the proxy alive through its own part.
  ksObject->Release();
  if (!device_) *result = E_UNEXPECTED;
}

HRESULT CameraPropertyHandler::QueryOwnInterface(REFIID iid, void** object) {
  if (IsEqualIID(iid, IID_IAMCustomCameraProp)) {
    *object = static_cast<IAMCustomCameraProp*>(this);
    return S_OK;
  }
  return E_NOINTERFACE;
}

STDMETHODIMP CameraPropertyHandler::Set(ULONG propertyId, LPVOID data, ULONG length) {
  // The driver answers in the same record; a set gives back word 0 only.
  return Request(propertyId, KSPROPERTY_TYPE_SET, static_cast<BYTE*>(data), length, sizeof(ULONG));
}

STDMETHODIMP CameraPropertyHandler::Get(ULONG propertyId, LPVOID data, ULONG length) {
  return Request(propertyId, KSPROPERTY_TYPE_GET, static_cast<BYTE*>(data), length, length);
}

HRESULT CameraPropertyHandler::Request(ULONG propertyId, ULONG flags, BYTE* data, ULONG length, ULONG copyBack) {
  if (!data || length > kCustomPropMaxLength) return E_INVALIDARG;
  CustomPropRequest request;
  std::memset(&request, 0, sizeof(request));
  request.set = IID_IAMCustomCameraProp;
  request.id = propertyId;
  request.flags = flags;
  std::memcpy(request.payload, data, length);
  DWORD returned = 0;
  HRESULT result = SyncDeviceControl(device_, IOCTL_KS_PROPERTY, &request, sizeof(request), &request,
                                     sizeof(request), &returned);
  if (SUCCEEDED(result)) std::memcpy(data, request.payload, copyBack < length ? copyBack : length);
  return result;
}

HRESULT SyncDeviceControl(HANDLE device, DWORD controlCode, LPVOID inBuffer, DWORD inSize, LPVOID outBuffer,
                          DWORD outSize, LPDWORD bytesReturned) {
  OVERLAPPED overlapped;
  std::memset(&overlapped, 0, sizeof(overlapped));
  overlapped.hEvent = CreateEventA(NULL, TRUE, FALSE, NULL);
  if (!overlapped.hEvent) return LastErrorResult();
  HRESULT result = S_OK;
  if (!DeviceIoControl(device, controlCode, inBuffer, inSize, outBuffer, outSize, bytesReturned, &overlapped)) {
    if (GetLastError() == ERROR_IO_PENDING) {
      if (!GetOverlappedResult(device, &overlapped, bytesReturned, TRUE)) result = LastErrorResult();
    } else {
      result = LastErrorResult();
    }
  }
  CloseHandle(overlapped.hEvent);
  return result;
}

void ShowErrorBox(HRESULT result) {
  char text[160];
  if (AMGetErrorTextA(result, text, sizeof(text)) == 0) {
    std::snprintf(text, sizeof(text), "Unknown Error: 0x%2x", static_cast<unsigned>(result));
  }
  MessageBoxA(NULL, text, "Error!", MB_ICONERROR);
}

}  // namespace qcamext
