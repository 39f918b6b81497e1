// The capture filter of a camera as the kernel-streaming proxy presents it,
// reduced to what the package uses: IAMVideoProcAmp and IAMCameraControl
// (each call one 40-byte property record sent with IOCTL_KS_PROPERTY) and
// IKsObject for the device handle that private clients send their own
// property requests on.
#pragma once

#include <string>

#include "platform/dshow/ks_device.h"

// Flags of IAMVideoProcAmp / IAMCameraControl: the kernel-streaming flags.
constexpr LONG VideoProcAmp_Flags_Auto = 0x0001;
constexpr LONG VideoProcAmp_Flags_Manual = 0x0002;
constexpr LONG CameraControl_Flags_Auto = 0x0001;
constexpr LONG CameraControl_Flags_Manual = 0x0002;

// {C6E13360-30AC-11D0-A18C-00A0C9118956}
constexpr IID IID_IAMVideoProcAmp = PROPSETID_VIDCAP_VIDEOPROCAMP;
// {C6E13370-30AC-11D0-A18C-00A0C9118956}
constexpr IID IID_IAMCameraControl = PROPSETID_VIDCAP_CAMERACONTROL;
// {423C13A2-2070-11D0-9EF7-00AA00A216A1}
constexpr IID IID_IKsObject = {0x423C13A2, 0x2070, 0x11D0, {0x9E, 0xF7, 0x00, 0xAA, 0x00, 0xA2, 0x16, 0xA1}};

struct IAMVideoProcAmp : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetRange(LONG Property, LONG* pMin, LONG* pMax, LONG* pSteppingDelta,
                                             LONG* pDefault, LONG* pCapsFlags) = 0;
  virtual HRESULT STDMETHODCALLTYPE Set(LONG Property, LONG lValue, LONG Flags) = 0;
  virtual HRESULT STDMETHODCALLTYPE Get(LONG Property, LONG* lValue, LONG* Flags) = 0;
};

struct IAMCameraControl : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetRange(LONG Property, LONG* pMin, LONG* pMax, LONG* pSteppingDelta,
                                             LONG* pDefault, LONG* pCapsFlags) = 0;
  virtual HRESULT STDMETHODCALLTYPE Set(LONG Property, LONG lValue, LONG Flags) = 0;
  virtual HRESULT STDMETHODCALLTYPE Get(LONG Property, LONG* lValue, LONG* Flags) = 0;
};

struct IKsObject : IUnknown {
  virtual HANDLE STDMETHODCALLTYPE KsGetObjectHandle() = 0;
};

// Creates the capture filter of the kernel-streaming device at `devicePath`
// (opened at once; closed when the last reference goes). The filter answers
// IUnknown, IAMVideoProcAmp, IAMCameraControl and IKsObject.
// HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) when no device has that path.
HRESULT CreateKsCaptureFilter(const std::string& devicePath, IUnknown** filter);

// A failed request's HRESULT: HRESULT_FROM_WIN32 of the last error.
HRESULT KsLastErrorHResult();
