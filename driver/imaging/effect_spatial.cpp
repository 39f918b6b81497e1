// The spatial effects that keep pixels in their place or lay a pattern over
// the picture: emboss, mosaic, tiles, nine-view grid and relief texture. The
// others live beside this file: effect_warp (bulge, stretch), effect_pencil
// and effect_random (light streaks, frosted glass).
#include "driver/imaging/effect_spatial.h"

#include <cstring>

#include "driver/imaging/effect_internal.h"
#include "driver/imaging/relief_texture.h"
#include "driver/imaging/rgb_lanes.h"
#include "driver/imaging/vector_level.h"
#include "shared/qcam_defs.h"

using namespace effects_detail;

// ---- emboss (6) ----------------------------------------------------------------

#if QCAM_HAVE_X86_VECTORS
namespace {

// The grey level (587 G' + 114 R' + 299 B') / 1000 in 16-bit lanes: with
// P = 73 G' + 14 R' + 37 B' and Q = 3 G' + 2 R' + 3 B', the sum is 8P + Q, so
// its eighth rounded down is P + Q / 8 (at most 31875), and that divided by
// 125 is the high half of a multiply by 33555, shifted right by 6. Checked
// over every (B', G', R').
struct EmbossConstants {
  rgb_lanes::ChannelGathers grb;  // pairs (G', R'), single B'
  rgb_lanes::Spread spread;
  __m256i weightsP, weightsQ, weightP37, weightQ3, bias, div125;
};

QCAM_TARGET_AVX2 EmbossConstants MakeEmbossConstants() {
  EmbossConstants c;
  c.grb = rgb_lanes::MakeChannelGathers(1, 2, 0);
  c.spread = rgb_lanes::MakeSpread();
  c.weightsP = _mm256_set1_epi16(SHORT((14 << 8) | 73));
  c.weightsQ = _mm256_set1_epi16(SHORT((2 << 8) | 3));
  c.weightP37 = _mm256_set1_epi16(37);
  c.weightQ3 = _mm256_set1_epi16(3);
  c.bias = _mm256_set1_epi8(char(0x80));
  c.div125 = _mm256_set1_epi16(SHORT(33555));
  return c;
}

// Embosses the pixels from the right end of a row down to pixel 1, 32 at a
// time, each step reading its inputs before any of them is overwritten.
// Returns the number of pixels at the left still to do.
QCAM_TARGET_AVX2 LONG EmbossRowAvx2(PUCHAR row, LONG width, const EmbossConstants& c) {
  using namespace rgb_lanes;
  LONG x = width;
  while (x - LONG(kStepPixels) >= 1) {
    x -= LONG(kStepPixels);
    PUCHAR p = row + ULONG(x) * 3;
    const Block3 cur = Load(p), left = Load(p - 3);
    Block3 d;
    for (int k = 0; k < 3; ++k) d.r[k] = _mm256_xor_si256(_mm256_sub_epi8(cur.r[k], left.r[k]), c.bias);
    __m256i grey[2];
    for (int half = 0; half < 2; ++half) {
      const __m256i gr = PickPair(d, c.grb, half), b = PickSingle(d, c.grb, half);
      const __m256i sumP = _mm256_add_epi16(_mm256_maddubs_epi16(gr, c.weightsP), _mm256_mullo_epi16(b, c.weightP37));
      const __m256i sumQ = _mm256_add_epi16(_mm256_maddubs_epi16(gr, c.weightsQ), _mm256_mullo_epi16(b, c.weightQ3));
      const __m256i eighth = _mm256_add_epi16(sumP, _mm256_srli_epi16(sumQ, 3));
      grey[half] = _mm256_srli_epi16(_mm256_mulhi_epu16(eighth, c.div125), 6);
    }
    Store(p, SpreadOver(_mm256_packus_epi16(grey[0], grey[1]), c.spread));
  }
  return x;
}

}  // namespace
#endif

VOID EmbossRgb(PUCHAR picture, LONG width, LONG height) {
  const ULONG rowBytes = ULONG(width) * 3;
#if QCAM_HAVE_X86_VECTORS
  const bool vectors = EffectVectorLevel() >= VectorLevel::kAvx2;
  EmbossConstants constants;
  if (vectors) constants = MakeEmbossConstants();
#endif
  for (LONG y = 0; y < height; ++y) {
    PUCHAR row = picture + ULONG(y) * rowBytes;
    LONG todo = width;
#if QCAM_HAVE_X86_VECTORS
    if (vectors) todo = EmbossRowAvx2(row, width, constants);
#endif
    // Right to left, so each pixel still sees its left neighbour's input.
    for (LONG x = todo - 1; x >= 0; --x) {
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

#if QCAM_HAVE_X86_VECTORS
namespace {
// From the end of the picture down, 32 bytes a step: each step reads its
// bytes and the two before them before anything there is overwritten, so
// the result goes into the scratch picture and over the picture at once.
// Returns the number of leading bytes still to do.
QCAM_TARGET_AVX2 ULONG EmbossYuy2Avx2(PUCHAR picture, ULONG bytes, PUCHAR scratch) {
  const __m256i keepY = _mm256_set1_epi16(0x00FF);
  const __m256i chroma128 = _mm256_set1_epi16(SHORT(0x8000));
  const __m256i bias = _mm256_set1_epi8(char(0x80));
  ULONG i = bytes;
  while (i >= 32 + 2) {
    i -= 32;
    const __m256i q = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(picture + i));
    const __m256i before = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(picture + i - 2));
    const __m256i y = _mm256_xor_si256(_mm256_sub_epi8(q, before), bias);
    const __m256i out = _mm256_or_si256(_mm256_and_si256(y, keepY), chroma128);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(scratch + i), out);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(picture + i), out);
  }
  return i;
}
}  // namespace
#endif

VOID EmbossYuy2(PUCHAR picture, LONG width, LONG height, PUCHAR scratch) {
  const ULONG bytes = ULONG(width) * ULONG(height) * 2;
#if QCAM_HAVE_X86_VECTORS
  if (EffectVectorLevel() >= VectorLevel::kAvx2) {
    // Byte offsets stay even, so Y samples sit at even offsets in each step.
    const ULONG head = EmbossYuy2Avx2(picture, bytes, scratch);
    for (ULONG i = head; i-- > 2;)
      scratch[i] = picture[i] = (i % 2) ? 128 : UCHAR(picture[i] - picture[i - 2] + 128);
    scratch[0] = scratch[1] = picture[0] = picture[1] = 128;
    return;
  }
#endif
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

namespace {

// Block mean: a whole 8 x 8 block divides by 64 with a shift.
inline UCHAR BlockMean(ULONG sum, ULONG count) { return UCHAR(count == 64 ? sum >> 6 : sum / count); }

// Copies a block's fill row into each of its rows; whole blocks copy a
// fixed-size row, which compiles to a few plain stores.
template <ULONG kWholeBytes>
inline void FillBlockRows(PUCHAR at, ULONG rowBytes, LONG rows, const UCHAR* fill, ULONG bytes) {
  if (bytes == kWholeBytes) {
    for (LONG y = 0; y < rows; ++y) std::memcpy(at + ULONG(y) * rowBytes, fill, kWholeBytes);
  } else {
    for (LONG y = 0; y < rows; ++y) std::memcpy(at + ULONG(y) * rowBytes, fill, bytes);
  }
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
      const UCHAR b = BlockMean(sum[0], count), g = BlockMean(sum[1], count), r = BlockMean(sum[2], count);
      UCHAR fill[24];
      for (LONG x = 0; x < 8; ++x) fill[x * 3 + 0] = b, fill[x * 3 + 1] = g, fill[x * 3 + 2] = r;
      FillBlockRows<24>(band + ULONG(bx) * 3, rowBytes, bh, fill, ULONG(bw) * 3);
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
      const UCHAR y = BlockMean(sy, count), u = BlockMean(su, count), v = BlockMean(sv, count);
      UCHAR fill[16];
      for (LONG x = 0; x < 8; x += 2) fill[x * 2] = y, fill[x * 2 + 1] = u, fill[x * 2 + 2] = y, fill[x * 2 + 3] = v;
      FillBlockRows<16>(band + ULONG(bx) * 2, rowBytes, bh, fill, ULONG(bw) * 2);
    }
  }
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

// ---- nine-view grid (20) ------------------------------------------------------------
// Cell n (0 ... 8) sits at row h3 * (n / 3) + 2, column w3 * (n % 3) + 2 and
// holds the picture reduced by height / (h3 - 4) in both directions.

namespace {

// Where this picture's cell goes: output rows top ... top + rows - 1 and
// columns left ... left + cols - 1 take input row trunc(scale * i) and column
// trunc(scale * j) for i, j counted from top and left. False when the
// picture is too small to hold cells.
struct GridPlace {
  LONG top, left, rows, cols;
  double scale;
};

bool PlaceGridCell(const EffectState* s, LONG width, LONG height, GridPlace* g) {
  const LONG h3 = height / 3;
  const LONG w3 = width / 3;
  if (h3 <= 4) return false;
  const LONG n = LONG(s->GridCell);
  *g = {h3 * (n / 3) + 2, w3 * (n % 3) + 2, h3 - 4, w3 - 4, double(height) / double(h3 - 4)};
  return true;
}

VOID AdvanceGridCell(EffectState* s) { s->GridCell = s->GridCell >= 8 ? 0 : s->GridCell + 1; }

// copy(x, y, sx, sy) for each output pixel of the cell whose input pixel
// lies inside the picture, row by row.
template <typename CopyPixel>
void DrawGridCell(const GridPlace& g, LONG width, LONG height, CopyPixel copy) {
  for (LONG i = 0; i < g.rows; ++i) {
    const LONG sy = Trunc(g.scale * i);
    if (sy < 0 || sy >= height) continue;
    for (LONG j = 0; j < g.cols; ++j) {
      const LONG sx = Trunc(g.scale * j);
      if (sx < 0 || sx >= width) continue;
      copy(g.left + j, g.top + i, sx, sy);
    }
  }
}

// Every row of the cell takes the same bytes of its input row (in YUY2 of
// even width, where pairs lie within rows), so the pixel rule's writes are
// played once into a table of input bytes, which then serves every row:
// RGB pixels take the input pixel's three bytes; a YUY2 pixel takes the
// input pixel's Y and its pair the input pixel's pair's U and V, in column
// order, so that the last pixel drawn of a pair gives its chroma.
void DrawGridCellRows(const GridPlace& g, LONG width, LONG height, ULONG pixelBytes, const UCHAR* picture,
                      PUCHAR out) {
  SHORT from[3 * kEffectMaxWidth];  // the input byte within the row, or -1: unchanged
  const bool rgb = pixelBytes == 3;
  const LONG rowBytes = width * LONG(pixelBytes);
  const LONG first = rgb ? g.left * 3 : (g.left & ~1) * 2;
  LONG end = first;
  for (LONG b = first; b < rowBytes; ++b) from[b] = -1;
  for (LONG j = 0; j < g.cols; ++j) {
    const LONG sx = Trunc(g.scale * j);
    if (sx < 0 || sx >= width) continue;
    const LONG x = g.left + j;
    if (rgb) {
      for (LONG c = 0; c < 3; ++c) from[x * 3 + c] = SHORT(sx * 3 + c);
      end = x * 3 + 3;
    } else {
      const LONG pair = (x & ~1) * 2, inPair = (sx & ~1) * 2;
      from[x * 2] = SHORT(sx * 2);
      from[pair + 1] = SHORT(inPair + 1);
      from[pair + 3] = SHORT(inPair + 3);
      end = pair + 4;
    }
  }
  for (LONG i = 0; i < g.rows; ++i) {
    const LONG sy = Trunc(g.scale * i);
    if (sy < 0 || sy >= height) continue;
    const UCHAR* in = picture + ULONG(sy) * ULONG(rowBytes);
    PUCHAR o = out + ULONG(g.top + i) * ULONG(rowBytes);
    for (LONG b = first; b < end; ++b)
      if (from[b] >= 0) o[b] = in[from[b]];
  }
}

}  // namespace

VOID GridRgb(EffectState* s, PUCHAR picture, LONG width, LONG height) {
  const ULONG rowBytes = ULONG(width) * 3;
  PUCHAR out = s->Scratch;
  if (!s->GridCleared) {
    std::memset(out, 0, rowBytes * ULONG(height));
    s->GridCleared = TRUE;
  }
  GridPlace g;
  if (PlaceGridCell(s, width, height, &g)) {
    if (width <= kEffectMaxWidth)
      DrawGridCellRows(g, width, height, 3, picture, out);
    else
      DrawGridCell(g, width, height, [&](LONG x, LONG y, LONG sx, LONG sy) {
        std::memcpy(out + ULONG(y) * rowBytes + ULONG(x) * 3, picture + ULONG(sy) * rowBytes + ULONG(sx) * 3, 3);
      });
  }
  AdvanceGridCell(s);
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
  GridPlace g;
  if (PlaceGridCell(s, width, height, &g)) {
    if (width % 2 == 0 && width <= kEffectMaxWidth)
      DrawGridCellRows(g, width, height, 2, picture, out);
    else
      DrawGridCell(g, width, height,
                   [&](LONG x, LONG y, LONG sx, LONG sy) { CopyYuy2Pixel(out, x, y, picture, sx, sy, width); });
  }
  AdvanceGridCell(s);
  std::memcpy(picture, out, bytes);
}

// ---- relief texture (21) -------------------------------------------------------------

// Each row adds the texture row to its bytes, limited, in runs of 64 pixels.
// Rows that share a texture row (every 64th) are done together, so each
// texture row's steps are laid out once per picture.
namespace {
template <ULONG kBytesPerPixel>
VOID AddTexture(PUCHAR picture, LONG width, LONG height) {
  constexpr ULONG kRun = kReliefTextureSize * kBytesPerPixel;
  UCHAR add[kRun], sub[kRun], top[kRun];
  const ULONG rowBytes = ULONG(width) * kBytesPerPixel;
  const LONG textureRows = height < LONG(kReliefTextureSize) ? height : LONG(kReliefTextureSize);
  for (LONG ty = 0; ty < textureRows; ++ty) {
    const signed char* t = kReliefTexture + ty * kReliefTextureSize;
    for (ULONG k = 0; k < kRun; ++k) {
      // RGB: the same value on B, G and R; YUY2: on the Y bytes only.
      const bool takes = kBytesPerPixel == 3 || (k % 2) == 0;
      SplitStep(takes ? t[k / kBytesPerPixel] : 0, &add[k], &sub[k], &top[k]);
    }
    for (LONG y = ty; y < height; y += LONG(kReliefTextureSize)) {
      PUCHAR row = picture + ULONG(y) * rowBytes;
      ULONG i = 0;
      for (; i + kRun <= rowBytes; i += kRun) AddStepsLimited<kRun>(row + i, add, sub, top);
      for (ULONG k = 0; i < rowBytes; ++i, ++k) row[i] = ClampByte(LONG(row[i]) + add[k] - sub[k]);
    }
  }
}
}  // namespace

VOID ReliefRgb(PUCHAR picture, LONG width, LONG height) { AddTexture<3>(picture, width, height); }
VOID ReliefYuy2(PUCHAR picture, LONG width, LONG height) { AddTexture<2>(picture, width, height); }
