// Lower-casing of ANSI names by code page.
#include "platform/win32/ansi_case.h"

namespace ansi_case {
namespace {

// Lower case of a single-byte character: ASCII everywhere, and the accented
// capitals of code page 1252.
unsigned char FoldByte(uint32_t codePage, unsigned char b) {
  if (b >= 'A' && b <= 'Z') return static_cast<unsigned char>(b + 0x20);
  if (codePage != 1252) return b;
  if (b >= 0xC0 && b <= 0xDE && b != 0xD7) return static_cast<unsigned char>(b + 0x20);
  if (b == 0x8A || b == 0x8C || b == 0x8E) return static_cast<unsigned char>(b + 0x10);  // Š Œ Ž
  if (b == 0x9F) return 0xFF;                                                           // Ÿ
  return b;
}

}  // namespace

// Lead bytes of the double-byte code pages: the byte after one is the second
// half of a character, even when it looks like an ASCII letter.
bool IsLeadByte(uint32_t codePage, unsigned char b) {
  switch (codePage) {
    case 932: return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    case 936:
    case 949:
    case 950: return b >= 0x81 && b <= 0xFE;
    default: return false;
  }
}

std::string Fold(uint32_t codePage, const std::string& s) {
  std::string out = s;
  for (size_t i = 0; i < out.size(); ++i) {
    const unsigned char b = static_cast<unsigned char>(out[i]);
    if (IsLeadByte(codePage, b)) {
      ++i;
      continue;
    }
    out[i] = static_cast<char>(FoldByte(codePage, b));
  }
  return out;
}

}  // namespace ansi_case
