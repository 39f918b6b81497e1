// ksproxy.h of the Windows SDK, reduced to what the package uses: the
// kernel-streaming proxy that stands for a device's filter (CLSID_Proxy),
// the handle behind it (IKsObject), property, method and event requests
// through it (IKsControl), and the synchronous request helper.
#pragma once

#include "ks.h"
#include "strmif.h"

// {17CCA71B-ECD7-11D0-B908-00A0C9223196}
DEFINE_GUID(CLSID_Proxy, 0x17CCA71B, 0xECD7, 0x11D0, 0xB9, 0x08, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96);
// {423C13A2-2070-11D0-9EF7-00AA00A216A1}
DEFINE_GUID(IID_IKsObject, 0x423C13A2, 0x2070, 0x11D0, 0x9E, 0xF7, 0x00, 0xAA, 0x00, 0xA2, 0x16, 0xA1);
// {28F54685-06FD-11D2-B27A-00A0C9223196}
DEFINE_GUID(IID_IKsControl, 0x28F54685, 0x06FD, 0x11D2, 0xB2, 0x7A, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96);

struct IKsObject : public IUnknown {
  STDMETHOD_(HANDLE, KsGetObjectHandle)() PURE;
};

struct IKsControl : public IUnknown {
  STDMETHOD(KsProperty)(PKSPROPERTY Property, ULONG PropertyLength, LPVOID PropertyData, ULONG DataLength,
                        ULONG* BytesReturned) PURE;
  STDMETHOD(KsMethod)(PKSMETHOD Method, ULONG MethodLength, LPVOID MethodData, ULONG DataLength,
                      ULONG* BytesReturned) PURE;
  STDMETHOD(KsEvent)(PKSEVENT Event, ULONG EventLength, LPVOID EventData, ULONG DataLength,
                     ULONG* BytesReturned) PURE;
};

// Sends one request on a kernel-streaming handle and waits for it. S_OK, or
// the Win32 error as an HRESULT; a data buffer too small to say anything
// gives HRESULT_FROM_WIN32(ERROR_MORE_DATA) with the size needed in
// *BytesReturned, and a set or item the device does not know gives
// HRESULT_FROM_WIN32(ERROR_SET_NOT_FOUND).
HRESULT WINAPI KsSynchronousDeviceControl(HANDLE Handle, ULONG IoControl, PVOID InBuffer, ULONG InLength,
                                          PVOID OutBuffer, ULONG OutLength, PULONG BytesReturned);
