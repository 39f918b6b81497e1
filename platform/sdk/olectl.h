// olectl.h of the Windows SDK: the property frame of OLE, reduced to what
// the package and its tests use.
#pragma once

#include "windows.h"
#include "ocidl.h"

#define WINOLECTLAPI STDAPI

// A modal frame with a tab for each page class (created with
// CoCreateInstance), showing the pages of the objects given.
WINOLECTLAPI OleCreatePropertyFrame(HWND hwndOwner, UINT x, UINT y, LPCOLESTR lpszCaption, ULONG cObjects,
                                    LPUNKNOWN* ppUnk, ULONG cPages, LPCLSID pPageClsID, LCID lcid, DWORD dwReserved,
                                    LPVOID pvReserved);
