// Small helpers shared by the spatial effects: clamping, truncation and
// YUY2 pixel addressing.
//
// Rows and columns are buffer rows and columns: row 0 is the first row in
// memory (the bottom row of a 24-bit RGB picture, the top row of a YUY2
// picture). RGB pixels are three bytes B, G, R; YUY2 pixel x has its Y at
// byte 2x of the row and shares the U, V bytes of its pair (x & ~1).
#pragma once
#include <cstring>

#include "platform/nt/ntddk.h"

namespace effects_detail {

inline UCHAR ClampByte(LONG v) { return UCHAR(v < 0 ? 0 : (v > 255 ? 255 : v)); }
inline LONG Limit(LONG v, LONG lo, LONG hi) { return v < lo ? lo : (v > hi ? hi : v); }
// Truncation toward zero, as a C cast does.
inline LONG Trunc(double v) { return LONG(v); }

// Byte offset of the Y sample and of the pair of pixel (x, y) in a YUY2
// picture of the given width.
inline ULONG YOffset(LONG x, LONG y, LONG width) { return (ULONG(y) * ULONG(width) + ULONG(x)) * 2; }
inline ULONG PairOffset(LONG x, LONG y, LONG width) { return (ULONG(y) * ULONG(width) + ULONG(x & ~1)) * 2; }

inline VOID FillWhiteYuy2(PUCHAR p, ULONG bytes) {
  for (ULONG i = 0; i < bytes; i += 4) {
    p[i] = 255;
    p[i + 1] = 128;
    p[i + 2] = 255;
    p[i + 3] = 128;
  }
}

// Copies one output pixel of a YUY2 picture from a source pixel: the Y
// sample, and the source pair's chroma into the output pixel's pair.
inline void CopyYuy2Pixel(PUCHAR out, LONG x, LONG y, const UCHAR* in, LONG sx, LONG sy, LONG width) {
  out[YOffset(x, y, width)] = in[YOffset(sx, sy, width)];
  const ULONG op = PairOffset(x, y, width);
  const ULONG ip = PairOffset(sx, sy, width);
  out[op + 1] = in[ip + 1];
  out[op + 3] = in[ip + 3];
}

inline void WhiteYuy2Pixel(PUCHAR out, LONG x, LONG y, LONG width) {
  out[YOffset(x, y, width)] = 255;
  const ULONG op = PairOffset(x, y, width);
  out[op + 1] = 128;
  out[op + 3] = 128;
}

// A signed step on a byte, limited to 0 ... 255, split into a byte to add and
// a byte to subtract (one of them 0) and the highest byte the add leaves
// unchanged ...
inline void SplitStep(LONG d, UCHAR* add, UCHAR* sub, UCHAR* top) {
  *add = UCHAR(d > 0 ? d : 0);
  *sub = UCHAR(d < 0 ? -d : 0);
  *top = UCHAR(255 - *add);
}

// ... applied to kBytes bytes as byte minimum, wrapping add, byte maximum,
// wrapping subtract: the limited sum, in plain byte operations the compiler
// turns into vector code.
template <ULONG kBytes>
inline void AddStepsLimited(PUCHAR q, const UCHAR* add, const UCHAR* sub, const UCHAR* top) {
  for (ULONG k = 0; k < kBytes; ++k) {
    UCHAR x = q[k] < top[k] ? q[k] : top[k];
    x = UCHAR(x + add[k]);
    x = x > sub[k] ? x : sub[k];
    q[k] = UCHAR(x - sub[k]);
  }
}

}  // namespace effects_detail
