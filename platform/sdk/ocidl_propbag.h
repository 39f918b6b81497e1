// Part of the ocidl.h stand-in: the property bag a device moniker offers
// (IPropertyBag), the objects that load themselves from one
// (IPersistPropertyBag), and the list of property pages an object names
// (ISpecifyPropertyPages, with its counted array of GUIDs CAUUID).
#pragma once

#include "objbase.h"

typedef struct tagCAUUID {
  ULONG cElems;
  GUID* pElems;
} CAUUID, *LPCAUUID;

// {55272A00-42CB-11CE-8135-00AA004BB851}
DEFINE_GUID(IID_IPropertyBag, 0x55272A00, 0x42CB, 0x11CE, 0x81, 0x35, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51);
// {37D84F60-42CB-11CE-8135-00AA004BB851}
DEFINE_GUID(IID_IPersistPropertyBag, 0x37D84F60, 0x42CB, 0x11CE, 0x81, 0x35, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51);
// {B196B28B-BAB4-101A-B69C-00AA00341D07}
DEFINE_GUID(IID_ISpecifyPropertyPages, 0xB196B28B, 0xBAB4, 0x101A, 0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07);

struct IPropertyBag : public IUnknown {
  STDMETHOD(Read)(LPCOLESTR pszPropName, VARIANT* pVar, IErrorLog* pErrorLog) PURE;
  STDMETHOD(Write)(LPCOLESTR pszPropName, VARIANT* pVar) PURE;
};
typedef IPropertyBag* LPPROPERTYBAG;

struct IPersistPropertyBag : public IPersist {
  STDMETHOD(InitNew)() PURE;
  STDMETHOD(Load)(IPropertyBag* pPropBag, IErrorLog* pErrorLog) PURE;
  STDMETHOD(Save)(IPropertyBag* pPropBag, BOOL fClearDirty, BOOL fSaveAllProperties) PURE;
};

struct ISpecifyPropertyPages : public IUnknown {
  STDMETHOD(GetPages)(CAUUID* pPages) PURE;
};
