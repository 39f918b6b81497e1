// The registry form of a GUID, "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}",
// both ways, for tools and for COM's own StringFromGUID2 / CLSIDFromString.
// Plain C++: works on any GUID record with the Windows fields (Data1, Data2,
// Data3, Data4), so both the kernel's and the Win32 side's GUID type fit.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

struct GuidFields {
  uint32_t data1 = 0;
  uint16_t data2 = 0;
  uint16_t data3 = 0;
  uint8_t data4[8] = {};
};

// Upper-case hexadecimal digits in braces, 38 characters, as Windows writes it.
std::string GuidFieldsToText(const GuidFields& guid);
// Accepts exactly the 38-character form (hexadecimal digits of either case);
// anything else (missing braces or dashes, other characters, other length)
// gives false and leaves *guid alone.
bool ParseGuidFields(const std::string& text, GuidFields* guid);

template <class Guid>
std::string GuidToText(const Guid& guid) {
  GuidFields f;
  f.data1 = guid.Data1;
  f.data2 = guid.Data2;
  f.data3 = guid.Data3;
  for (int i = 0; i < 8; ++i) f.data4[i] = guid.Data4[i];
  return GuidFieldsToText(f);
}

template <class Guid>
bool ParseGuidText(const std::string& text, Guid* guid) {
  GuidFields f;
  if (!ParseGuidFields(text, &f)) return false;
  guid->Data1 = f.data1;
  guid->Data2 = f.data2;
  guid->Data3 = f.data3;
  for (int i = 0; i < 8; ++i) guid->Data4[i] = f.data4[i];
  return true;
}

}  // namespace platform
