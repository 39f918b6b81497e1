// IAMCustomCameraProp: the private interface through which user-mode clients
// reach the camera driver's private property set. The capture filter of the
// camera answers it through the interface handler of qcamext; each Set or Get
// becomes one synchronous kernel-streaming property request.
//
// Written against the Windows SDK headers, so the extension and the tray
// application use the same declaration on both systems. Include <initguid.h>
// first in exactly one source file of a program that needs the IID defined.
#pragma once

#include <unknwn.h>

#include "shared/qcam_ids.h"

// {3DC2E820-4713-11D2-BA41-00A0C90D2B05}: the interface id, which is also the
// GUID of the driver's private property set and the class id of the handler.
DEFINE_GUID(IID_IAMCustomCameraProp, 0x3DC2E820, 0x4713, 0x11D2, 0xBA, 0x41, 0x00, 0xA0, 0xC9, 0x0D, 0x2B, 0x05);

// Set sends `length` bytes of `data` as the property's payload and gives back
// payload word 0 in the first four bytes of `data`; Get sends the same and
// gives back the first `length` payload bytes. The length is at most
// kCustomPropMaxLength; callers use 64, 68 and 1088 (and 16 for the tray).
#undef INTERFACE
#define INTERFACE IAMCustomCameraProp
DECLARE_INTERFACE_(IAMCustomCameraProp, IUnknown) {
  STDMETHOD(Set)(THIS_ ULONG propertyId, LPVOID data, ULONG length) PURE;
  STDMETHOD(Get)(THIS_ ULONG propertyId, LPVOID data, ULONG length) PURE;
};
#undef INTERFACE

// The request record: a 24-byte property header (set GUID, id, flags) and the
// payload, 1112 bytes in all (qcam::kPrivateRecordSize).
constexpr ULONG kCustomPropHeaderSize = 24;
constexpr ULONG kCustomPropMaxLength = qcam::kPrivateRecordSize - kCustomPropHeaderSize;
static_assert(kCustomPropMaxLength == 1088, "the payload is 1088 bytes");
