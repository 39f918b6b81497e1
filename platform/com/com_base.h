// The little of COM the package's user-mode side needs: HRESULT values,
// interface identifiers and IUnknown, with the Windows names and meanings.
#pragma once

#include <cstdint>

#include "platform/nt/ntddk.h"

typedef LONG HRESULT;
typedef uint32_t DWORD;
typedef int BOOL;
typedef GUID IID;
typedef GUID CLSID;
typedef const IID& REFIID;
typedef const CLSID& REFCLSID;

#define STDMETHODCALLTYPE
#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = (HRESULT)0x80004001;
constexpr HRESULT E_NOINTERFACE = (HRESULT)0x80004002;
constexpr HRESULT E_POINTER = (HRESULT)0x80004003;
constexpr HRESULT E_FAIL = (HRESULT)0x80004005;
constexpr HRESULT E_UNEXPECTED = (HRESULT)0x8000FFFF;
constexpr HRESULT E_OUTOFMEMORY = (HRESULT)0x8007000E;
constexpr HRESULT E_INVALIDARG = (HRESULT)0x80070057;

// Win32 error -> HRESULT (facility 7), as the macro of the same name.
constexpr HRESULT HRESULT_FROM_WIN32(DWORD error) {
  return error == 0 ? S_OK : HRESULT((error & 0xFFFF) | 0x80070000u);
}

// {00000000-0000-0000-C000-000000000046}
constexpr IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

struct IUnknown {
  virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) = 0;
  virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
  virtual ULONG STDMETHODCALLTYPE Release() = 0;

 protected:
  ~IUnknown() = default;  // objects are released, never deleted through an interface
};
