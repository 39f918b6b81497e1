// BSTR and VARIANT basics (oleauto.h). A BSTR is allocated with its length
// in bytes in the four bytes before the characters and a terminating zero
// after them, so that it also reads as a plain wide string.
#include <windows.h>
#include <oleauto.h>

#include <climits>
#include <cstdlib>
#include <cwchar>

namespace {

constexpr size_t kPrefix = sizeof(DWORD);

DWORD* Header(BSTR text) { return reinterpret_cast<DWORD*>(reinterpret_cast<BYTE*>(text) - kPrefix); }

}  // namespace

BSTR WINAPI SysAllocStringLen(const OLECHAR* strIn, UINT ui) {
  // The byte length must fit the 32-bit prefix.
  if (ui > (UINT_MAX - kPrefix - sizeof(OLECHAR)) / sizeof(OLECHAR)) return nullptr;
  BYTE* block = static_cast<BYTE*>(std::calloc(1, kPrefix + (size_t(ui) + 1) * sizeof(OLECHAR)));
  if (!block) return nullptr;
  DWORD bytes = DWORD(ui * sizeof(OLECHAR));
  std::memcpy(block, &bytes, kPrefix);
  BSTR text = reinterpret_cast<BSTR>(block + kPrefix);
  if (strIn) std::memcpy(text, strIn, size_t(ui) * sizeof(OLECHAR));
  return text;
}

BSTR WINAPI SysAllocString(const OLECHAR* psz) {
  if (!psz) return nullptr;
  return SysAllocStringLen(psz, UINT(std::wcslen(psz)));
}

void WINAPI SysFreeString(BSTR bstrString) {
  if (bstrString) std::free(Header(bstrString));
}

UINT WINAPI SysStringByteLen(BSTR bstr) {
  if (!bstr) return 0;
  DWORD bytes;
  std::memcpy(&bytes, Header(bstr), kPrefix);
  return bytes;
}

UINT WINAPI SysStringLen(BSTR pbstr) { return SysStringByteLen(pbstr) / sizeof(OLECHAR); }

void WINAPI VariantInit(VARIANTARG* pvarg) {
  if (!pvarg) return;
  std::memset(pvarg, 0, sizeof(*pvarg));
  pvarg->vt = VT_EMPTY;
}

// Frees what the VARIANT owns (a string, an interface reference) and
// leaves it empty. A reference (VT_BYREF) owns nothing.
HRESULT WINAPI VariantClear(VARIANTARG* pvarg) {
  if (!pvarg) return E_INVALIDARG;
  switch (pvarg->vt) {
    case VT_BSTR:
      SysFreeString(pvarg->bstrVal);
      break;
    case VT_UNKNOWN:
    case VT_DISPATCH:
      if (pvarg->punkVal) pvarg->punkVal->Release();
      break;
    default:
      if ((pvarg->vt & VT_ARRAY) && !(pvarg->vt & VT_BYREF)) return DISP_E_BADVARTYPE;
      break;
  }
  VariantInit(pvarg);
  return S_OK;
}

HRESULT WINAPI VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc) {
  if (!pvargDest || !pvargSrc) return E_INVALIDARG;
  if ((pvargSrc->vt & VT_ARRAY) && !(pvargSrc->vt & VT_BYREF)) return DISP_E_BADVARTYPE;
  if (pvargDest == pvargSrc) return S_OK;
  VARIANT copy = *pvargSrc;
  if (copy.vt == VT_BSTR && copy.bstrVal) {
    copy.bstrVal = SysAllocStringLen(pvargSrc->bstrVal, SysStringLen(pvargSrc->bstrVal));
    if (!copy.bstrVal) return E_OUTOFMEMORY;
  } else if ((copy.vt == VT_UNKNOWN || copy.vt == VT_DISPATCH) && copy.punkVal) {
    copy.punkVal->AddRef();
  }
  HRESULT hr = VariantClear(pvargDest);
  if (FAILED(hr)) {
    VariantClear(&copy);
    return hr;
  }
  *pvargDest = copy;
  return S_OK;
}
