// The effects that move pixels by a fixed rule: bulge (with its cached
// displacement map) and stretch (with its scale and axis).
#include "driver/imaging/effect_spatial.h"

#include <cstring>

#include "driver/imaging/effect_internal.h"

using namespace effects_detail;

namespace {

// The magnification table of the bulge: 1.00, 1.03, ... 2.92.
constexpr int kBulgeSteps = 64;
struct BulgeTable {
  double m[kBulgeSteps + 1];
  constexpr BulgeTable() : m() {
    for (int i = 0; i <= kBulgeSteps; ++i) m[i] = 1.0 + 0.03 * i;
  }
};
constexpr BulgeTable kBulge;

// m for a fractional position t in 0 ... 64, by linear interpolation.
inline double BulgeMagnification(double t) {
  if (t <= 0) return kBulge.m[0];
  const int i = int(t);
  if (i >= kBulgeSteps) return kBulge.m[kBulgeSteps];
  const double f = t - i;
  return kBulge.m[i] + (kBulge.m[i + 1] - kBulge.m[i]) * f;
}

}  // namespace

// ---- bulge (10) ----------------------------------------------------------------

VOID BuildBulgeMap(EffectState* s, LONG width, LONG height) {
  if (s->MapEffect == 10 && s->MapWidth == width && s->MapHeight == height) return;
  const LONG cx = width / 2;
  const LONG cy = height / 2;
  const double r2 = double(LONGLONG(cx) * cx + LONGLONG(cy) * cy);
  // Strength: 2 for every supported size. Pictures too small to have a
  // centre row use the same value.
  double k = 2.0;
  if (cy > 0) {
    const LONG a = Trunc(width + 1.92 * (width - cx));
    const LONG b = Trunc(height + 1.92 * (height - cy));
    const LONG kk = ((a < b ? a : b) - cy) / cy;
    if (kk > 0) k = double(kk);
  }
  PUSHORT map = s->Map;
  for (LONG y = 0; y < height; ++y) {
    const LONG dy = cy - y;
    for (LONG x = 0; x < width; ++x) {
      const LONG dx = cx - x;
      const double t = r2 > 0 ? 64.0 * double(LONGLONG(dx) * dx + LONGLONG(dy) * dy) / r2 : 0.0;
      const double m = BulgeMagnification(t);
      const LONG u = Trunc(x + dx * (k - m));
      const LONG v = Trunc(y + dy * (k - m));
      const LONG sx = Trunc(cx + (u - cx) / k);
      const LONG sy = Trunc(cy + (v - cy) / k);
      // Stored as 16-bit values: a negative coordinate reads back as a large
      // unsigned one and so falls outside the picture.
      *map++ = USHORT(sx);
      *map++ = USHORT(sy);
    }
  }
  s->MapEffect = 10;
  s->MapWidth = width;
  s->MapHeight = height;
}

VOID BulgeRgb(EffectState* s, PUCHAR picture, LONG width, LONG height) {
  BuildBulgeMap(s, width, height);
  const USHORT* map = s->Map;
  PUCHAR out = s->Scratch;
  const ULONG uw = ULONG(width), uh = ULONG(height);
  for (ULONG i = 0, n = uw * uh; i < n; ++i, map += 2, out += 3) {
    const ULONG sx = map[0], sy = map[1];
    if (sx < uw && sy < uh) {
      const UCHAR* src = picture + (sy * uw + sx) * 3;
      out[0] = src[0];
      out[1] = src[1];
      out[2] = src[2];
    } else {
      out[0] = out[1] = out[2] = 255;
    }
  }
  std::memcpy(picture, s->Scratch, uw * uh * 3);
}

VOID BulgeYuy2(EffectState* s, PUCHAR picture, LONG width, LONG height) {
  BuildBulgeMap(s, width, height);
  const USHORT* map = s->Map;
  const ULONG rowBytes = ULONG(width) * 2;
  for (LONG y = 0; y < height; ++y) {
    PUCHAR out = s->Scratch + ULONG(y) * rowBytes;
    for (LONG x = 0; x < width; ++x, map += 2) {
      const ULONG sx = map[0], sy = map[1];
      PUCHAR pair = out + ULONG(x & ~1) * 2;
      if (sx < ULONG(width) && sy < ULONG(height)) {
        const UCHAR* src = picture + sy * rowBytes;
        const UCHAR* srcPair = src + (sx & ~1u) * 2;
        out[x * 2] = src[sx * 2];
        pair[1] = srcPair[1];
        pair[3] = srcPair[3];
      } else {
        out[x * 2] = 255;
        pair[1] = 128;
        pair[3] = 128;
      }
    }
  }
  std::memcpy(picture, s->Scratch, rowBytes * ULONG(height));
}

// ---- stretch (17) ------------------------------------------------------------------

VOID AdvanceStretch(EffectState* s) {
  s->StretchScale += s->StretchStep;
  if (s->StretchScale > 2.5) {
    s->StretchStep = -0.05;
  } else if (s->StretchScale < 1.05) {
    s->StretchStep = 0.05;
    s->StretchAxis = s->StretchAxis ? 0 : 1;
  }
}

VOID StretchRgb(EffectState* s, PUCHAR picture, LONG width, LONG height) {
  const double scale = s->StretchScale;
  const ULONG rowBytes = ULONG(width) * 3;
  PUCHAR out = s->Scratch;
  if (s->StretchAxis == 0) {
    const LONG half = width / 2;
    for (LONG i = 0; i < width; ++i) {
      const LONG src = Trunc(half + (i - half) / scale);
      const bool inside = src >= 0 && src < width;
      for (LONG y = 0; y < height; ++y) {
        PUCHAR o = out + ULONG(y) * rowBytes + ULONG(i) * 3;
        if (inside) {
          const UCHAR* p = picture + ULONG(y) * rowBytes + ULONG(src) * 3;
          o[0] = p[0];
          o[1] = p[1];
          o[2] = p[2];
        } else {
          o[0] = o[1] = o[2] = 255;
        }
      }
    }
  } else {
    const LONG half = height / 2;
    for (LONG i = 0; i < height; ++i) {
      const LONG src = Trunc(half + (i - half) / scale);
      PUCHAR o = out + ULONG(i) * rowBytes;
      if (src >= 0 && src < height)
        std::memcpy(o, picture + ULONG(src) * rowBytes, rowBytes);
      else
        std::memset(o, 255, rowBytes);
    }
  }
  std::memcpy(picture, out, rowBytes * ULONG(height));
}

VOID StretchYuy2(EffectState* s, PUCHAR picture, LONG width, LONG height) {
  const double scale = s->StretchScale;
  const ULONG rowBytes = ULONG(width) * 2;
  PUCHAR out = s->Scratch;
  if (s->StretchAxis == 0) {
    // Source column of every output column (kNoSource: white), then the
    // picture row by row; the dispatcher guarantees width <= 640.
    constexpr USHORT kNoSource = 0xFFFF;
    USHORT source[kEffectMaxWidth];
    const LONG half = width / 2;
    for (LONG i = 0; i < width; ++i) {
      const LONG src = Trunc(half + (i - half) / scale);
      source[i] = (src >= 0 && src < width) ? USHORT(src) : kNoSource;
    }
    for (LONG y = 0; y < height; ++y) {
      const UCHAR* in = picture + ULONG(y) * rowBytes;
      PUCHAR o = out + ULONG(y) * rowBytes;
      for (LONG i = 0; i < width; ++i) {
        PUCHAR pair = o + ULONG(i & ~1) * 2;
        const ULONG sc = source[i];
        if (sc != kNoSource) {
          const UCHAR* srcPair = in + (sc & ~1u) * 2;
          o[i * 2] = in[sc * 2];
          pair[1] = srcPair[1];
          pair[3] = srcPair[3];
        } else {
          o[i * 2] = 255;
          pair[1] = 128;
          pair[3] = 128;
        }
      }
    }
  } else {
    const LONG half = height / 2;
    for (LONG i = 0; i < height; ++i) {
      const LONG src = Trunc(half + (i - half) / scale);
      PUCHAR o = out + ULONG(i) * rowBytes;
      if (src >= 0 && src < height)
        std::memcpy(o, picture + ULONG(src) * rowBytes, rowBytes);
      else
        FillWhiteYuy2(o, rowBytes);
    }
  }
  std::memcpy(picture, out, rowBytes * ULONG(height));
}
