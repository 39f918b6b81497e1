// The spatial effects: emboss, mosaic, bulge, tiles, light streaks, stretch,
// pencil sketch, frosted glass, nine-view grid and relief texture.
//
// Rows and columns are buffer rows and columns: row 0 is the first row in
// memory (the bottom row of a 24-bit RGB picture, the top row of a YUY2
// picture). RGB pixels are three bytes B, G, R; YUY2 pixel x has its Y at
// byte 2x of the row and shares the U, V bytes of its pair (x & ~1).
#include "driver/imaging/effect_spatial.h"

#include <cstring>

#include "driver/imaging/relief_texture.h"
#include "shared/qcam_defs.h"

namespace {

inline UCHAR ClampByte(LONG v) { return UCHAR(v < 0 ? 0 : (v > 255 ? 255 : v)); }
inline LONG Limit(LONG v, LONG lo, LONG hi) { return v < lo ? lo : (v > hi ? hi : v); }
// Truncation toward zero, as a C cast does.
inline LONG Trunc(double v) { return LONG(v); }

// Byte offset of the Y sample and of the pair of pixel (x, y) in a YUY2
// picture of the given width.
inline ULONG YOffset(LONG x, LONG y, LONG width) { return (ULONG(y) * ULONG(width) + ULONG(x)) * 2; }
inline ULONG PairOffset(LONG x, LONG y, LONG width) { return (ULONG(y) * ULONG(width) + ULONG(x & ~1)) * 2; }

VOID FillWhiteYuy2(PUCHAR p, ULONG bytes) {
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

// ---- emboss (6) ----------------------------------------------------------------

VOID EmbossRgb(PUCHAR picture, LONG width, LONG height) {
  const ULONG rowBytes = ULONG(width) * 3;
  for (LONG y = 0; y < height; ++y) {
    PUCHAR row = picture + ULONG(y) * rowBytes;
    // Right to left, so each pixel still sees its left neighbour's input.
    for (LONG x = width - 1; x >= 0; --x) {
      PUCHAR p = row + x * 3;
      const UCHAR* l = x > 0 ? p - 3 : p;
      const ULONG b = UCHAR(p[0] - l[0] + 128);
      const ULONG g = UCHAR(p[1] - l[1] + 128);
      const ULONG r = UCHAR(p[2] - l[2] + 128);
      // The blue difference carries the red weight and the red the blue,
      // as the effect has always looked.
      const UCHAR grey = UCHAR((587 * g + 114 * r + 299 * b) / 1000);
      p[0] = grey;
      p[1] = grey;
      p[2] = grey;
    }
  }
}

VOID EmbossYuy2(PUCHAR picture, LONG width, LONG height, PUCHAR scratch) {
  const ULONG bytes = ULONG(width) * ULONG(height) * 2;
  // The Y samples run on across row ends as one sequence, so every Y byte
  // but the first compares with the byte two places before it: blocks of
  // 16 bytes from byte 2 on, with the chroma bytes masked to 128.
  UCHAR keep[16], set[16];
  for (ULONG k = 0; k < 16; ++k) keep[k] = (k % 2) ? 0 : 0xFF, set[k] = (k % 2) ? 128 : 0;
  scratch[0] = 128;
  scratch[1] = 128;
  ULONG i = 2;
  for (; i + 16 <= bytes; i += 16) {
    const UCHAR* q = picture + i;
    const UCHAR* before = q - 2;
    PUCHAR o = scratch + i;
    for (ULONG k = 0; k < 16; ++k) o[k] = UCHAR((UCHAR(q[k] - before[k] + 128) & keep[k]) | set[k]);
  }
  for (; i < bytes; ++i) scratch[i] = (i % 2) ? 128 : UCHAR(picture[i] - picture[i - 2] + 128);
  std::memcpy(picture, scratch, bytes);
}

// ---- mosaic (9) ----------------------------------------------------------------
// Blocks of 8 x 8 from the first row and column; every supported size is a
// multiple of 8, and a partial block at an edge takes the mean of the pixels
// it has. Each band of up to eight rows is first summed column by column
// (one 16-bit sum per byte of a row, a plain vectorizable add) into the
// scratch picture, which holds those sums whenever the picture has two rows
// or more; a one-row picture's band is the row itself. Each block then adds
// up its columns and fills itself.

namespace {

struct BandSums {
  const USHORT* acc;  // sums of the band's rows, or null: use `row`
  const UCHAR* row;   // the band's only row
  ULONG At(ULONG k) const { return acc ? acc[k] : row[k]; }
};

inline BandSums SumBand(const UCHAR* band, ULONG rowBytes, LONG rows, PUCHAR scratch) {
  if (rows < 2) return BandSums{nullptr, band};
  USHORT* acc = reinterpret_cast<USHORT*>(scratch);
  std::memset(acc, 0, rowBytes * sizeof(USHORT));
  for (LONG r = 0; r < rows; ++r) {
    const UCHAR* row = band + ULONG(r) * rowBytes;
    for (ULONG k = 0; k < rowBytes; ++k) acc[k] = USHORT(acc[k] + row[k]);
  }
  return BandSums{acc, band};
}

}  // namespace

VOID MosaicRgb(PUCHAR picture, LONG width, LONG height, PUCHAR scratch) {
  const ULONG rowBytes = ULONG(width) * 3;
  for (LONG by = 0; by < height; by += 8) {
    const LONG bh = height - by < 8 ? height - by : 8;
    PUCHAR band = picture + ULONG(by) * rowBytes;
    const BandSums sums = SumBand(band, rowBytes, bh, scratch);
    for (LONG bx = 0; bx < width; bx += 8) {
      const LONG bw = width - bx < 8 ? width - bx : 8;
      ULONG sum[3] = {0, 0, 0};
      for (LONG x = 0; x < bw; ++x) {
        const ULONG k = ULONG(bx + x) * 3;
        sum[0] += sums.At(k);
        sum[1] += sums.At(k + 1);
        sum[2] += sums.At(k + 2);
      }
      const ULONG count = ULONG(bw) * ULONG(bh);
      UCHAR fill[24];
      for (LONG x = 0; x < bw; ++x) {
        fill[x * 3 + 0] = UCHAR(sum[0] / count);
        fill[x * 3 + 1] = UCHAR(sum[1] / count);
        fill[x * 3 + 2] = UCHAR(sum[2] / count);
      }
      for (LONG y = 0; y < bh; ++y) std::memcpy(band + ULONG(y) * rowBytes + ULONG(bx) * 3, fill, ULONG(bw) * 3);
    }
  }
}

VOID MosaicYuy2(PUCHAR picture, LONG width, LONG height, PUCHAR scratch) {
  const ULONG rowBytes = ULONG(width) * 2;
  for (LONG by = 0; by < height; by += 8) {
    const LONG bh = height - by < 8 ? height - by : 8;
    PUCHAR band = picture + ULONG(by) * rowBytes;
    const BandSums sums = SumBand(band, rowBytes, bh, scratch);
    for (LONG bx = 0; bx < width; bx += 8) {
      const LONG bw = width - bx < 8 ? width - bx : 8;  // even: widths are
      ULONG sy = 0, su = 0, sv = 0;
      for (LONG x = 0; x < bw; x += 2) {
        const ULONG k = ULONG(bx + x) * 2;
        sy += sums.At(k) + sums.At(k + 2);
        // Each pixel counts its pair's chroma once.
        su += 2 * sums.At(k + 1);
        sv += 2 * sums.At(k + 3);
      }
      const ULONG count = ULONG(bw) * ULONG(bh);
      UCHAR fill[16];
      for (LONG x = 0; x < bw; x += 2) {
        fill[x * 2 + 0] = UCHAR(sy / count);
        fill[x * 2 + 1] = UCHAR(su / count);
        fill[x * 2 + 2] = UCHAR(sy / count);
        fill[x * 2 + 3] = UCHAR(sv / count);
      }
      for (LONG y = 0; y < bh; ++y) std::memcpy(band + ULONG(y) * rowBytes + ULONG(bx) * 2, fill, ULONG(bw) * 2);
    }
  }
}

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

// ---- tiles (12) ------------------------------------------------------------------
// Each 16 x 16 tile draws four random numbers (left, top, right, bottom) that
// set a white border of 0 ... 2 pixels on each side.

namespace {
struct TileBorder {
  LONG left, top, right, bottom;  // first and last kept offsets
};
inline TileBorder DrawTileBorder() {
  const LONG l = rand() % 3;
  const LONG t = rand() % 3;
  const LONG r = rand() % 3;
  const LONG b = rand() % 3;
  return TileBorder{l, t, 16 - r, 16 - b};
}
}  // namespace

// Pixels of a tile outside [first, last] kept offsets turn white: whole
// rows above and below the kept rows, and the columns left and right of the
// kept columns in between.
VOID TilesRgb(PUCHAR picture, LONG width, LONG height) {
  const ULONG rowBytes = ULONG(width) * 3;
  for (LONG ty = 0; ty < height; ty += 16) {
    for (LONG tx = 0; tx < width; tx += 16) {
      const TileBorder k = DrawTileBorder();
      const LONG cols = width - tx < 16 ? width - tx : 16;
      for (LONG r = 0; r < 16 && ty + r < height; ++r) {
        PUCHAR row = picture + ULONG(ty + r) * rowBytes + ULONG(tx) * 3;
        if (r < k.top || r > k.bottom) {
          std::memset(row, 255, ULONG(cols) * 3);
          continue;
        }
        for (LONG c = 0; c < k.left && c < cols; ++c) row[c * 3] = row[c * 3 + 1] = row[c * 3 + 2] = 255;
        for (LONG c = k.right + 1; c < cols; ++c) row[c * 3] = row[c * 3 + 1] = row[c * 3 + 2] = 255;
      }
    }
  }
}

VOID TilesYuy2(PUCHAR picture, LONG width, LONG height) {
  const ULONG rowBytes = ULONG(width) * 2;
  for (LONG ty = 0; ty < height; ty += 16) {
    for (LONG tx = 0; tx < width; tx += 16) {
      const TileBorder k = DrawTileBorder();
      const LONG cols = width - tx < 16 ? width - tx : 16;
      for (LONG r = 0; r < 16 && ty + r < height; ++r) {
        PUCHAR row = picture + ULONG(ty + r) * rowBytes;
        if (r < k.top || r > k.bottom) {
          // tx is even and so is cols: whole pairs.
          FillWhiteYuy2(row + ULONG(tx) * 2, ULONG(cols) * 2);
          continue;
        }
        for (LONG c = 0; c < k.left && c < cols; ++c) WhiteYuy2Pixel(row, tx + c, 0, width);
        for (LONG c = k.right + 1; c < cols; ++c) WhiteYuy2Pixel(row, tx + c, 0, width);
      }
    }
  }
}

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

// ---- nine-view grid (20) ------------------------------------------------------------
// Cell n (0 ... 8) sits at row h3 * (n / 3) + 2, column w3 * (n % 3) + 2 and
// holds the picture reduced by height / (h3 - 4) in both directions.

namespace {
template <typename CopyPixel>
void DrawGridCell(EffectState* s, LONG width, LONG height, CopyPixel copy) {
  const LONG h3 = height / 3;
  const LONG w3 = width / 3;
  if (h3 > 4) {
    const double scale = double(height) / double(h3 - 4);
    const LONG n = LONG(s->GridCell);
    const LONG top = h3 * (n / 3) + 2;
    const LONG left = w3 * (n % 3) + 2;
    for (LONG i = 0; i <= h3 - 5; ++i) {
      const LONG sy = Trunc(scale * i);
      if (sy < 0 || sy >= height) continue;
      for (LONG j = 0; j <= w3 - 5; ++j) {
        const LONG sx = Trunc(scale * j);
        if (sx < 0 || sx >= width) continue;
        copy(left + j, top + i, sx, sy);
      }
    }
  }
  s->GridCell = s->GridCell >= 8 ? 0 : s->GridCell + 1;
}
}  // namespace

VOID GridRgb(EffectState* s, PUCHAR picture, LONG width, LONG height) {
  const ULONG rowBytes = ULONG(width) * 3;
  PUCHAR out = s->Scratch;
  if (!s->GridCleared) {
    std::memset(out, 0, rowBytes * ULONG(height));
    s->GridCleared = TRUE;
  }
  DrawGridCell(s, width, height, [&](LONG x, LONG y, LONG sx, LONG sy) {
    PUCHAR o = out + ULONG(y) * rowBytes + ULONG(x) * 3;
    const UCHAR* p = picture + ULONG(sy) * rowBytes + ULONG(sx) * 3;
    o[0] = p[0];
    o[1] = p[1];
    o[2] = p[2];
  });
  std::memcpy(picture, out, rowBytes * ULONG(height));
}

VOID GridYuy2(EffectState* s, PUCHAR picture, LONG width, LONG height) {
  const ULONG bytes = ULONG(width) * ULONG(height) * 2;
  PUCHAR out = s->Scratch;
  if (!s->GridCleared) {
    for (ULONG i = 0; i < bytes; i += 2) {
      out[i] = 0;
      out[i + 1] = 128;
    }
    s->GridCleared = TRUE;
  }
  DrawGridCell(s, width, height,
               [&](LONG x, LONG y, LONG sx, LONG sy) { CopyYuy2Pixel(out, x, y, picture, sx, sy, width); });
  std::memcpy(picture, out, bytes);
}

// ---- relief texture (21) -------------------------------------------------------------

// Each row adds the texture row to its bytes in runs of 64 pixels. The
// signed step is split into a byte to add and a byte to subtract, applied as
// byte minimum, wrapping add, byte maximum, wrapping subtract: the limited
// sum, in plain byte operations the compiler vectorizes.
namespace {
template <ULONG kBytesPerPixel>
VOID AddTexture(PUCHAR picture, LONG width, LONG height) {
  constexpr ULONG kRun = kReliefTextureSize * kBytesPerPixel;
  UCHAR add[kRun], sub[kRun], top[kRun];
  const ULONG rowBytes = ULONG(width) * kBytesPerPixel;
  for (LONG y = 0; y < height; ++y) {
    const signed char* t = kReliefTexture + (y % kReliefTextureSize) * kReliefTextureSize;
    for (ULONG k = 0; k < kRun; ++k) {
      // RGB: the same value on B, G and R; YUY2: on the Y bytes only.
      const bool takes = kBytesPerPixel == 3 || (k % 2) == 0;
      const LONG d = takes ? t[k / kBytesPerPixel] : 0;
      add[k] = UCHAR(d > 0 ? d : 0);
      sub[k] = UCHAR(d < 0 ? -d : 0);
      top[k] = UCHAR(255 - add[k]);
    }
    PUCHAR row = picture + ULONG(y) * rowBytes;
    ULONG i = 0;
    for (; i + kRun <= rowBytes; i += kRun) {
      PUCHAR q = row + i;
      for (ULONG k = 0; k < kRun; ++k) {
        UCHAR x = q[k] < top[k] ? q[k] : top[k];
        x = UCHAR(x + add[k]);
        x = x > sub[k] ? x : sub[k];
        q[k] = UCHAR(x - sub[k]);
      }
    }
    for (ULONG k = 0; i < rowBytes; ++i, ++k) row[i] = ClampByte(LONG(row[i]) + add[k] - sub[k]);
  }
}
}  // namespace

VOID ReliefRgb(PUCHAR picture, LONG width, LONG height) { AddTexture<3>(picture, width, height); }
VOID ReliefYuy2(PUCHAR picture, LONG width, LONG height) { AddTexture<2>(picture, width, height); }
