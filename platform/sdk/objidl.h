// objidl.h of the Windows SDK, reduced to what the package uses: the OLE
// string types, IPersist and IPersistStream, and the monikers the system
// device enumerator hands out (IMoniker, IEnumMoniker).
#pragma once

#include "unknwn.h"
#include "windows.h"

// OLE strings (wtypes.h).
typedef WCHAR OLECHAR;
typedef OLECHAR* LPOLESTR;
typedef const OLECHAR* LPCOLESTR;

// Unsigned 64-bit value in its two halves (winnt.h).
typedef union _ULARGE_INTEGER {
  struct {
    DWORD LowPart;
    DWORD HighPart;
  } u;
  ULONGLONG QuadPart;
} ULARGE_INTEGER, *PULARGE_INTEGER;

struct IStream;
struct IBindCtx;
struct IMoniker;
struct IEnumMoniker;
typedef IBindCtx* LPBC;
typedef IMoniker* LPMONIKER;

// {0000010C-0000-0000-C000-000000000046}
DEFINE_GUID(IID_IPersist, 0x0000010C, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46);
// {00000109-0000-0000-C000-000000000046}
DEFINE_GUID(IID_IPersistStream, 0x00000109, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46);
// {0000000F-0000-0000-C000-000000000046}
DEFINE_GUID(IID_IMoniker, 0x0000000F, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46);
// {00000102-0000-0000-C000-000000000046}
DEFINE_GUID(IID_IEnumMoniker, 0x00000102, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46);
// {0000000E-0000-0000-C000-000000000046}
DEFINE_GUID(IID_IBindCtx, 0x0000000E, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46);

struct IPersist : public IUnknown {
  STDMETHOD(GetClassID)(CLSID* pClassID) PURE;
};

struct IPersistStream : public IPersist {
  STDMETHOD(IsDirty)() PURE;
  STDMETHOD(Load)(IStream* pStm) PURE;
  STDMETHOD(Save)(IStream* pStm, BOOL fClearDirty) PURE;
  STDMETHOD(GetSizeMax)(ULARGE_INTEGER* pcbSize) PURE;
};

struct IMoniker : public IPersistStream {
  STDMETHOD(BindToObject)(IBindCtx* pbc, IMoniker* pmkToLeft, REFIID riidResult, void** ppvResult) PURE;
  STDMETHOD(BindToStorage)(IBindCtx* pbc, IMoniker* pmkToLeft, REFIID riid, void** ppvObj) PURE;
  STDMETHOD(Reduce)(IBindCtx* pbc, DWORD dwReduceHowFar, IMoniker** ppmkToLeft, IMoniker** ppmkReduced) PURE;
  STDMETHOD(ComposeWith)(IMoniker* pmkRight, BOOL fOnlyIfNotGeneric, IMoniker** ppmkComposite) PURE;
  STDMETHOD(Enum)(BOOL fForward, IEnumMoniker** ppenumMoniker) PURE;
  STDMETHOD(IsEqual)(IMoniker* pmkOtherMoniker) PURE;
  STDMETHOD(Hash)(DWORD* pdwHash) PURE;
  STDMETHOD(IsRunning)(IBindCtx* pbc, IMoniker* pmkToLeft, IMoniker* pmkNewlyRunning) PURE;
  STDMETHOD(GetTimeOfLastChange)(IBindCtx* pbc, IMoniker* pmkToLeft, FILETIME* pFileTime) PURE;
  STDMETHOD(Inverse)(IMoniker** ppmk) PURE;
  STDMETHOD(CommonPrefixWith)(IMoniker* pmkOther, IMoniker** ppmkPrefix) PURE;
  STDMETHOD(RelativePathTo)(IMoniker* pmkOther, IMoniker** ppmkRelPath) PURE;
  STDMETHOD(GetDisplayName)(IBindCtx* pbc, IMoniker* pmkToLeft, LPOLESTR* ppszDisplayName) PURE;
  STDMETHOD(ParseDisplayName)(IBindCtx* pbc, IMoniker* pmkToLeft, LPOLESTR pszDisplayName, ULONG* pchEaten,
                              IMoniker** ppmkOut) PURE;
  STDMETHOD(IsSystemMoniker)(DWORD* pdwMksys) PURE;
};

struct IEnumMoniker : public IUnknown {
  STDMETHOD(Next)(ULONG celt, IMoniker** rgelt, ULONG* pceltFetched) PURE;
  STDMETHOD(Skip)(ULONG celt) PURE;
  STDMETHOD(Reset)() PURE;
  STDMETHOD(Clone)(IEnumMoniker** ppenum) PURE;
};

// IMoniker::IsSystemMoniker kinds.
#define MKSYS_NONE 0
