// The GUID text reader over any bytes: text it accepts must be the 38
// characters of the registry form and must come back, upper-cased, when
// written again; the wide entry points must agree with it.
#include <objbase.h>

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/machine/guid_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  GUID guid = {};
  const bool parsed = platform::ParseGuidText(text, &guid);
  if (parsed) {
    std::string upper = text;
    for (char& c : upper) c = char(std::toupper((unsigned char)c));
    if (size != 38 || platform::GuidToText(guid) != upper) std::abort();
  }
  // The same bytes as WCHAR text (each byte one character, Latin-1 style).
  std::wstring wide;
  for (size_t i = 0; i < size && data[i]; ++i) wide.push_back(wchar_t(data[i]));
  CLSID clsid = {};
  const HRESULT hr = CLSIDFromString(wide.c_str(), &clsid);
  const bool nulFree = wide.size() == size;
  if (nulFree && (hr == S_OK) != parsed) std::abort();
  if (hr == S_OK && nulFree && clsid != guid) std::abort();
  return 0;
}
