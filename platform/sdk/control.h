// control.h of the Windows SDK, reduced to what the package uses: the filter
// graph's IMediaControl.
#pragma once

#include "strmif.h"

typedef LONG OAFilterState;
typedef LONG_PTR OAHWND;
typedef LONG_PTR OAEVENT;

// {56A868B1-0AD4-11CE-B03A-0020AF0BA770}
DEFINE_GUID(IID_IMediaControl, 0x56A868B1, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70);

struct IMediaControl : public IDispatch {
  STDMETHOD(Run)() PURE;
  STDMETHOD(Pause)() PURE;
  STDMETHOD(Stop)() PURE;
  STDMETHOD(GetState)(LONG msTimeout, OAFilterState* pfs) PURE;
  STDMETHOD(RenderFile)(BSTR strFilename) PURE;
  STDMETHOD(AddSourceFilter)(BSTR strFilename, IDispatch** ppUnk) PURE;
  STDMETHOD(get_FilterCollection)(IDispatch** ppUnk) PURE;
  STDMETHOD(get_RegFilterCollection)(IDispatch** ppUnk) PURE;
  STDMETHOD(StopWhenReady)() PURE;
};
