// Pencil sketch: a colour-dodge of the grey picture with a blurred copy of
// its negative.
#include "driver/imaging/effect_spatial.h"

#include <cstring>

#include "driver/imaging/effect_internal.h"

using namespace effects_detail;

// ---- pencil sketch (18) ----------------------------------------------------------
// A colour-dodge of the grey picture with a blurred copy of its negative: the
// blur uses the eight already-visited neighbours of a 3 x 3 window two rows
// and columns back (weights 1 2 1 / 2 4 2 / 1 2, sum 15).

namespace {
inline ULONG PencilBlur(const UCHAR* inv, LONG r, LONG c, LONG stride) {
  const UCHAR* a = inv + ULONG(r - 2) * ULONG(stride) + ULONG(c - 2);
  const UCHAR* b = a + stride;
  const UCHAR* d = b + stride;
  return (ULONG(a[0]) + 2u * a[1] + a[2] + 2u * b[0] + 4u * b[1] + 2u * b[2] + d[0] + 2u * d[1]) >> 4;
}
inline UCHAR Dodge(ULONG g, ULONG b) {
  const ULONG v = (g * 256) / (255 - b);
  return UCHAR(v > 255 ? 255 : v);
}
}  // namespace


VOID PencilRgb(PUCHAR picture, LONG width, LONG height, PUCHAR scratch) {
  const ULONG n = ULONG(width) * ULONG(height);
  // Pass 1: grey level into each pixel's B byte, its negative into the
  // scratch picture (one byte per pixel).
  for (ULONG i = 0; i < n; ++i) {
    PUCHAR p = picture + i * 3;
    const UCHAR g = UCHAR((ULONG(p[0]) + p[1] + p[2]) / 3);
    p[0] = g;
    scratch[i] = UCHAR(255 - g);
  }
  for (LONG r = 2; r < height; ++r) {
    PUCHAR row = picture + ULONG(r) * ULONG(width) * 3;
    for (LONG c = 2; c < width; ++c) {
      PUCHAR p = row + c * 3;
      const UCHAR v = Dodge(p[0], PencilBlur(scratch, r, c, width));
      p[0] = v;
      p[1] = v;
      p[2] = v;
    }
  }
}

VOID PencilYuy2(PUCHAR picture, LONG width, LONG height, PUCHAR scratch) {
  const ULONG n = ULONG(width) * ULONG(height);
  for (ULONG i = 0; i < n; ++i) {
    scratch[i] = UCHAR(255 - picture[i * 2]);
    picture[i * 2 + 1] = 128;  // U of even pixels, V of odd ones
  }
  for (LONG r = 2; r < height; ++r) {
    PUCHAR row = picture + ULONG(r) * ULONG(width) * 2;
    for (LONG c = 2; c < width; ++c) row[c * 2] = Dodge(row[c * 2], PencilBlur(scratch, r, c, width));
  }
}
