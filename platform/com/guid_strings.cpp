// StringFromGUID2, StringFromCLSID / StringFromIID and CLSIDFromString /
// IIDFromString over the one GUID text implementation of the machine layer.
#include <objbase.h>

#include <cwchar>
#include <string>

#include "platform/machine/guid_text.h"

namespace {

std::wstring GuidText(REFGUID guid) {
  const std::string text = platform::GuidToText(guid);
  return std::wstring(text.begin(), text.end());
}

// The characters are taken only while they are ASCII: anything else cannot
// be part of a GUID, and narrowing it would let a wide character alias a
// valid digit.
bool ParseWide(LPCOLESTR text, GUID* guid) {
  std::string narrow;
  for (const OLECHAR* p = text; *p; ++p) {
    if (*p < 0 || *p >= 0x80 || narrow.size() > 38) return false;
    narrow.push_back(char(*p));
  }
  return platform::ParseGuidText(narrow, guid);
}

HRESULT StringFromGuid(REFGUID guid, LPOLESTR* out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  const std::wstring text = GuidText(guid);
  OLECHAR* buffer = static_cast<OLECHAR*>(CoTaskMemAlloc((text.size() + 1) * sizeof(OLECHAR)));
  if (!buffer) return E_OUTOFMEMORY;
  std::wmemcpy(buffer, text.c_str(), text.size() + 1);
  *out = buffer;
  return S_OK;
}

// A null string stands for GUID_NULL, as COM takes it.
HRESULT GuidFromString(LPCOLESTR text, GUID* guid, HRESULT badText) {
  if (!guid) return E_INVALIDARG;
  if (!text) {
    *guid = GUID_NULL;
    return S_OK;
  }
  return ParseWide(text, guid) ? S_OK : badText;
}

}  // namespace

int WINAPI StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax) {
  const std::wstring text = GuidText(rguid);
  if (!lpsz || cchMax < int(text.size() + 1)) return 0;
  std::wmemcpy(lpsz, text.c_str(), text.size() + 1);
  return int(text.size() + 1);
}

HRESULT WINAPI StringFromCLSID(REFCLSID rclsid, LPOLESTR* lplpsz) { return StringFromGuid(rclsid, lplpsz); }

HRESULT WINAPI StringFromIID(REFIID rclsid, LPOLESTR* lplpsz) { return StringFromGuid(rclsid, lplpsz); }

HRESULT WINAPI CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid) {
  return GuidFromString(lpsz, pclsid, CO_E_CLASSSTRING);
}

HRESULT WINAPI IIDFromString(LPCOLESTR lpsz, LPIID lpiid) { return GuidFromString(lpsz, lpiid, E_INVALIDARG); }
