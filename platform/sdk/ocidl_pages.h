// Part of the ocidl.h stand-in: property pages and the site a property
// frame gives them.
#pragma once

#include "objbase.h"

typedef enum tagPROPPAGESTATUS {
  PROPPAGESTATUS_DIRTY = 0x1,
  PROPPAGESTATUS_VALIDATE = 0x2,
  PROPPAGESTATUS_CLEAN = 0x4
} PROPPAGESTATUS;

typedef struct tagPROPPAGEINFO {
  ULONG cb;
  LPOLESTR pszTitle;
  SIZE size;
  LPOLESTR pszDocString;
  LPOLESTR pszHelpFile;
  DWORD dwHelpContext;
} PROPPAGEINFO, *LPPROPPAGEINFO;

// {B196B28C-BAB4-101A-B69C-00AA00341D07}
DEFINE_GUID(IID_IPropertyPageSite, 0xB196B28C, 0xBAB4, 0x101A, 0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07);
// {B196B28D-BAB4-101A-B69C-00AA00341D07}
DEFINE_GUID(IID_IPropertyPage, 0xB196B28D, 0xBAB4, 0x101A, 0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07);

struct IPropertyPageSite : public IUnknown {
  STDMETHOD(OnStatusChange)(DWORD dwFlags) PURE;
  STDMETHOD(GetLocaleID)(LCID* pLocaleID) PURE;
  STDMETHOD(GetPageContainer)(IUnknown** ppUnk) PURE;
  STDMETHOD(TranslateAccelerator)(MSG* pMsg) PURE;
};
typedef IPropertyPageSite* LPPROPERTYPAGESITE;

struct IPropertyPage : public IUnknown {
  STDMETHOD(SetPageSite)(IPropertyPageSite* pPageSite) PURE;
  STDMETHOD(Activate)(HWND hWndParent, LPCRECT pRect, BOOL bModal) PURE;
  STDMETHOD(Deactivate)() PURE;
  STDMETHOD(GetPageInfo)(PROPPAGEINFO* pPageInfo) PURE;
  STDMETHOD(SetObjects)(ULONG cObjects, IUnknown** ppUnk) PURE;
  STDMETHOD(Show)(UINT nCmdShow) PURE;
  STDMETHOD(Move)(LPCRECT pRect) PURE;
  STDMETHOD(IsPageDirty)() PURE;
  STDMETHOD(Apply)() PURE;
  STDMETHOD(Help)(LPCOLESTR pszHelpDir) PURE;
  STDMETHOD(TranslateAccelerator)(MSG* pMsg) PURE;
};
typedef IPropertyPage* LPPROPERTYPAGE;
