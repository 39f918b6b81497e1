// GUID text in the registry form.
#include "platform/machine/guid_text.h"

#include <cstdio>

namespace platform {
namespace {

constexpr size_t kTextLength = 38;  // {8-4-4-4-12}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Reads `digits` hexadecimal digits at text[pos]; false on any other character.
bool ReadHex(const std::string& text, size_t pos, int digits, uint32_t* value) {
  uint32_t v = 0;
  for (int i = 0; i < digits; ++i) {
    const int d = HexValue(text[pos + i]);
    if (d < 0) return false;
    v = (v << 4) | uint32_t(d);
  }
  *value = v;
  return true;
}

}  // namespace

std::string GuidFieldsToText(const GuidFields& g) {
  char buffer[kTextLength + 1];
  std::snprintf(buffer, sizeof buffer, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", unsigned(g.data1),
                unsigned(g.data2), unsigned(g.data3), g.data4[0], g.data4[1], g.data4[2], g.data4[3], g.data4[4],
                g.data4[5], g.data4[6], g.data4[7]);
  return std::string(buffer, kTextLength);
}

bool ParseGuidFields(const std::string& text, GuidFields* guid) {
  if (text.size() != kTextLength || text.front() != '{' || text.back() != '}') return false;
  if (text[9] != '-' || text[14] != '-' || text[19] != '-' || text[24] != '-') return false;
  GuidFields f;
  uint32_t v;
  if (!ReadHex(text, 1, 8, &v)) return false;
  f.data1 = v;
  if (!ReadHex(text, 10, 4, &v)) return false;
  f.data2 = uint16_t(v);
  if (!ReadHex(text, 15, 4, &v)) return false;
  f.data3 = uint16_t(v);
  // Data4: two bytes before the last dash, six after it.
  static const size_t kBytePos[8] = {20, 22, 25, 27, 29, 31, 33, 35};
  for (int i = 0; i < 8; ++i) {
    if (!ReadHex(text, kBytePos[i], 2, &v)) return false;
    f.data4[i] = uint8_t(v);
  }
  *guid = f;
  return true;
}

}  // namespace platform
