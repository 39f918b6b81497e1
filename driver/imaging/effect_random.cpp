// The effects driven by the kernel's random numbers that look at each
// pixel: light streaks and frosted glass.
#include "driver/imaging/effect_spatial.h"

#include <cstring>

#include "driver/imaging/effect_internal.h"

using namespace effects_detail;

// ---- light streaks (13) ----------------------------------------------------------
// Every pixel that does not start a streak comes out as it went in, so the
// output starts as a copy of the picture and only the streaks are written
// over it, in scan order, from the untouched input.

VOID StreaksRgb(PUCHAR picture, LONG width, LONG height, PUCHAR scratch) {
  const ULONG rowBytes = ULONG(width) * 3;
  std::memcpy(scratch, picture, rowBytes * ULONG(height));
  for (LONG y = 0; y < height; ++y) {
    const UCHAR* in = picture + ULONG(y) * rowBytes;
    PUCHAR out = scratch + ULONG(y) * rowBytes;
    for (LONG j = 1; j < width; ++j) {  // the first pixel compares with itself: no rise
      const UCHAR* p = in + j * 3;
      const UCHAR* l = p - 3;
      const bool rose = LONG(p[0]) - l[0] > 30 || LONG(p[1]) - l[1] > 30 || LONG(p[2]) - l[2] > 30;
      if (!rose || ULONG(p[0]) + p[1] + p[2] <= 180) continue;
      const LONG start = Limit(j - 32 + rand() % 32, 0, width);
      for (LONG k = start; k <= j; ++k) {
        const UCHAR* q = in + k * 3;
        out[k * 3 + 0] = UCHAR((p[0] + q[0]) >> 1);
        out[k * 3 + 1] = UCHAR((p[1] + q[1]) >> 1);
        out[k * 3 + 2] = UCHAR((p[2] + q[2]) >> 1);
      }
    }
  }
  std::memcpy(picture, scratch, rowBytes * ULONG(height));
}

VOID StreaksYuy2(PUCHAR picture, LONG width, LONG height, PUCHAR scratch) {
  const ULONG rowBytes = ULONG(width) * 2;
  std::memcpy(scratch, picture, rowBytes * ULONG(height));
  for (LONG y = 0; y < height; ++y) {
    const UCHAR* in = picture + ULONG(y) * rowBytes;
    PUCHAR out = scratch + ULONG(y) * rowBytes;
    for (LONG j = 1; j < width; ++j) {
      const LONG yj = in[j * 2];
      if (yj - LONG(in[(j - 1) * 2]) <= 30 || yj <= 180) continue;
      const ULONG pj = ULONG(j & ~1) * 2;
      const LONG start = Limit(j - 64 + rand() % 64, 0, width);
      for (LONG k = start; k <= j; ++k) {
        const ULONG pk = ULONG(k & ~1) * 2;
        out[k * 2] = UCHAR((yj + in[k * 2]) >> 1);
        out[pk + 1] = UCHAR((in[pj + 1] + in[pk + 1]) >> 1);
        out[pk + 3] = UCHAR((in[pj + 3] + in[pk + 3]) >> 1);
      }
    }
  }
  std::memcpy(picture, scratch, rowBytes * ULONG(height));
}

// ---- frosted glass (19) ------------------------------------------------------------

VOID FrostedRgb(PUCHAR picture, LONG width, LONG height, PUCHAR scratch) {
  const ULONG rowBytes = ULONG(width) * 3;
  for (LONG y = 0; y < height; ++y) {
    PUCHAR out = scratch + ULONG(y) * rowBytes;
    for (LONG x = 0; x < width; ++x, out += 3) {
      const LONG sx = Limit(x + rand() % 9 - 5, 0, width - 1);
      const LONG sy = Limit(y + rand() % 9 - 5, 0, height - 1);
      const UCHAR* p = picture + ULONG(sy) * rowBytes + ULONG(sx) * 3;
      out[0] = p[0];
      out[1] = p[1];
      out[2] = p[2];
    }
  }
  std::memcpy(picture, scratch, rowBytes * ULONG(height));
}

VOID FrostedYuy2(PUCHAR picture, LONG width, LONG height, PUCHAR scratch) {
  const ULONG rowBytes = ULONG(width) * 2;
  const LONG maxY = height >= 2 ? height - 2 : 0;
  for (LONG y = 0; y < height; ++y) {
    PUCHAR out = scratch + ULONG(y) * rowBytes;
    for (LONG x = 0; x < width; x += 2, out += 4) {
      const LONG sx = Limit(x - 6 + 2 * (rand() % 5), 0, width - 2);
      const LONG sy = Limit(y - 6 + 2 * (rand() % 5), 0, maxY);
      std::memcpy(out, picture + ULONG(sy) * rowBytes + ULONG(sx) * 2, 4);
    }
  }
  std::memcpy(picture, scratch, rowBytes * ULONG(height));
}
