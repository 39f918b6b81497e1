// Reads a fuzz input as a stream of little-endian values; past its end every
// read gives zero, so a short input still makes a whole case.
#pragma once
#include <cstddef>
#include <cstdint>

struct FuzzReader {
  const uint8_t* p;
  size_t n;
  uint8_t Byte() {
    if (!n) return 0;
    --n;
    return *p++;
  }
  uint16_t U16() {
    const uint16_t low = Byte();
    return uint16_t(low | (uint16_t(Byte()) << 8));
  }
  uint32_t U32() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= uint32_t(Byte()) << (8 * i);
    return v;
  }
  int32_t I32() { return int32_t(U32()); }
};
