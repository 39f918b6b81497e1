// The effects that move pixels by a fixed rule: bulge (with its cached
// displacement map) and stretch (with its scale and axis).
#include "driver/imaging/effect_spatial.h"

#include <cstring>

#include "driver/imaging/effect_internal.h"
#include "driver/imaging/vector_level.h"

#if QCAM_HAVE_X86_VECTORS
#include <immintrin.h>
#endif

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
  // Whether the map can be applied in place, rows above the centre row from
  // the top down and then the others from the bottom up: each row must read
  // only rows not yet written, that is rows toward the centre row and not
  // across it. Rows that read themselves go through a row of the scratch
  // picture; they form the band MapSelfFirst ... MapSelfLast.
  BOOLEAN inPlace = TRUE;
  LONG selfFirst = height, selfLast = -1;
  for (LONG y = 0; y < height; ++y) {
    const LONG dy = cy - y;
    LONG rowMin = height, rowMax = -1;  // rows read, from sources inside
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
      if (ULONG(sx) < ULONG(width) && ULONG(sy) < ULONG(height)) {
        rowMin = sy < rowMin ? sy : rowMin;
        rowMax = sy > rowMax ? sy : rowMax;
      }
    }
    if (rowMax < 0) continue;
    const bool toward = y < cy ? rowMin >= y : rowMin >= cy && rowMax <= y;
    if (!toward) inPlace = FALSE;
    if (rowMin <= y && y <= rowMax) {
      selfFirst = y < selfFirst ? y : selfFirst;
      selfLast = y;
    }
  }
  s->MapInPlace = inPlace;
  s->MapSelfFirst = selfFirst;
  s->MapSelfLast = selfLast;
  s->BulgeSourcesLayout = 0;
  s->MapEffect = 10;
  s->MapWidth = width;
  s->MapHeight = height;
}

namespace {

// The gather that applies the map, one rule per layout, over the pixels
// [from, to) of the picture taken as one run of width x height pixels, into
// `out`, which receives pixel `from` first (a YUY2 run starts on a pair:
// `from` is even). Each output pixel takes its source pixel when the source
// lies inside the picture, read as unsigned so that a negative coordinate
// falls outside, and white otherwise.
void BulgeRgbPixels(const USHORT* map, const UCHAR* picture, PUCHAR out, ULONG uw, ULONG uh, ULONG from,
                    ULONG to) {
  map += 2 * from;
  for (ULONG i = from; i < to; ++i, map += 2, out += 3) {
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
}

// YUY2: the Y sample comes from the source pixel, the pair's U and V from the
// source pixel's pair; both pixels of a pair write the chroma, the second
// one last. A picture whose pixel count is odd (odd width and height, which
// the dispatcher never passes) ends on half a pair: its last pixel writes
// only its U, and a source pair that runs past the picture gives a V of 128.
void BulgeYuy2Pixels(const USHORT* map, const UCHAR* picture, PUCHAR out, ULONG uw, ULONG uh, ULONG from,
                     ULONG to) {
  const ULONG rowBytes = uw * 2, n = uw * uh;
  map += 2 * from;
  for (ULONG i = from; i < to; ++i, map += 2) {
    const ULONG sx = map[0], sy = map[1];
    PUCHAR pair = out + ((i - from) & ~1u) * 2;
    const bool wholePair = (i | 1u) < n;
    if (sx < uw && sy < uh) {
      const UCHAR* src = picture + sy * rowBytes;
      const UCHAR* srcPair = src + (sx & ~1u) * 2;
      out[(i - from) * 2] = src[sx * 2];
      pair[1] = srcPair[1];
      if (wholePair) pair[3] = sy * uw + (sx | 1u) < n ? srcPair[3] : 128;
    } else {
      out[(i - from) * 2] = 255;
      pair[1] = 128;
      if (wholePair) pair[3] = 128;
    }
  }
}

typedef void (*BulgeGather)(const USHORT* map, const UCHAR* picture, PUCHAR out, ULONG uw, ULONG uh, ULONG from,
                            ULONG to);

#if QCAM_HAVE_X86_VECTORS

// The four bytes at an offset of the picture.
inline int Bytes4At(const UCHAR* picture, ULONG offset) {
  int v;
  std::memcpy(&v, picture + offset, 4);
  return v;
}

// SSSE3 paths: the source offsets of four pixels at a time by pmaddwd over
// the coordinate pairs, then plain loads and stores. A group with a source
// outside the picture takes the portable rule.

// Lanes (x, y) with x > limit.x or y > limit.y as unsigned 16-bit values:
// compared as signed after flipping the top bits. Nonzero when any lane of
// the group is outside.
QCAM_TARGET_SSSE3 inline int OutsideSsse3(__m128i xy, __m128i biasedLimit) {
  const __m128i bias = _mm_set1_epi16(short(0x8000));
  return _mm_movemask_epi8(_mm_cmpgt_epi16(_mm_xor_si128(xy, bias), biasedLimit));
}

// Four 24-bit pixels as four overlapping 4-byte copies, each rewriting the
// byte after the one before it; a group stops while a pixel follows it in
// the output, and a source at the very last pixel of the picture (where a
// 4-byte load would pass the end) sends the group to the portable rule.
QCAM_TARGET_SSSE3 void BulgeRgbSsse3(const USHORT* map, const UCHAR* picture, PUCHAR out, ULONG uw, ULONG uh,
                                     ULONG from, ULONG to) {
  const ULONG n = uw * uh;
  const __m128i biasedLimit = _mm_set1_epi32(int((((uh - 1) << 16) | (uw - 1)) ^ 0x80008000u));
  const __m128i scale = _mm_set1_epi32(int(((uw * 3) << 16) | 3));
  const __m128i lastLoad = _mm_set1_epi32(int(n * 3 - 4));
  ULONG i = from;
  for (; i + 4 < to; i += 4, out += 12) {
    const __m128i xy = _mm_loadu_si128(reinterpret_cast<const __m128i*>(map + 2 * i));
    const __m128i offset = _mm_madd_epi16(xy, scale);
    if (OutsideSsse3(xy, biasedLimit) | _mm_movemask_epi8(_mm_cmpgt_epi32(offset, lastLoad))) {
      BulgeRgbPixels(map, picture, out, uw, uh, i, i + 4);
      continue;
    }
    const ULONGLONG q0 = ULONGLONG(_mm_cvtsi128_si64(offset));
    const ULONGLONG q1 = ULONGLONG(_mm_cvtsi128_si64(_mm_unpackhi_epi64(offset, offset)));
    std::memcpy(out, picture + ULONG(q0), 4);
    std::memcpy(out + 3, picture + (q0 >> 32), 4);
    std::memcpy(out + 6, picture + ULONG(q1), 4);
    std::memcpy(out + 9, picture + (q1 >> 32), 4);
  }
  BulgeRgbPixels(map, picture, out, uw, uh, i, to);
}

// A group of eight YUY2 output pixels (four pairs) from its eight map
// entries xy0, xy1: the byte offsets of the first and of the second pixels'
// Y samples, one 32-bit lane per output pair.
QCAM_TARGET_SSSE3 inline void BulgeYuy2Offsets(__m128i xy0, __m128i xy1, __m128i scale, __m128i* firstY,
                                               __m128i* secondY) {
  const __m128 o0 = _mm_castsi128_ps(_mm_madd_epi16(xy0, scale));
  const __m128 o1 = _mm_castsi128_ps(_mm_madd_epi16(xy1, scale));
  *firstY = _mm_castps_si128(_mm_shuffle_ps(o0, o1, _MM_SHUFFLE(2, 0, 2, 0)));
  *secondY = _mm_castps_si128(_mm_shuffle_ps(o0, o1, _MM_SHUFFLE(3, 1, 3, 1)));
}

// The shuffle controls that build output pairs from the 4-byte source pairs
// of the first and of the second pixels, one 32-bit lane per output pair.
// Output pair p: byte 0 from first-pixel pair p (its byte 0 or 2), bytes 1
// and 3 from second-pixel pair p, byte 2 from its byte 0 or 2. Y offsets
// are even, so offset & 3 is 0 or 2: the byte of the Y within its pair, added
// to the picks below.
QCAM_TARGET_SSSE3 inline __m128i FirstPick() {
  return _mm_setr_epi32(int(0x80808000u), int(0x80808004u), int(0x80808008u), int(0x8080800Cu));
}
QCAM_TARGET_SSSE3 inline __m128i SecondPick() { return _mm_setr_epi32(0x03000180, 0x07040580, 0x0B080980, 0x0F0C0D80); }

// The four output pairs from the source pairs and the Y offsets.
QCAM_TARGET_SSSE3 inline __m128i BulgeYuy2Pairs(__m128i first, __m128i second, __m128i firstY, __m128i secondY) {
  const __m128i inPair = _mm_set1_epi32(3);
  const __m128i firstControl = _mm_or_si128(_mm_and_si128(firstY, inPair), FirstPick());
  const __m128i secondControl = _mm_or_si128(_mm_slli_epi32(_mm_and_si128(secondY, inPair), 16), SecondPick());
  return _mm_or_si128(_mm_shuffle_epi8(first, firstControl), _mm_shuffle_epi8(second, secondControl));
}

// Four YUY2 output pairs per group, put together in a vector register: the
// 4-byte source pair of each first pixel goes into one register and that of
// each second pixel into another, and two byte shuffles, their controls made
// from the parity of the Y offsets, pick each output pair's Y bytes, U and V;
// one 16-byte store. Fewer instructions per pixel than moving bytes through
// general registers, and no gather, which is slow on this class of
// processor. The loads stay inside their pairs; a group with a source
// outside takes the portable rule.
QCAM_TARGET_SSSE3 void BulgeYuy2Ssse3(const USHORT* map, const UCHAR* picture, PUCHAR out, ULONG uw, ULONG uh,
                                      ULONG from, ULONG to) {
  const __m128i limit = _mm_set1_epi32(int(((uh - 1) << 16) | (uw - 1)));
  const __m128i scale = _mm_set1_epi32(int(((uw * 2) << 16) | 2));
  const __m128i pairMask = _mm_set1_epi32(~3);
  // The 4-byte source pairs at the four offsets held by two 64-bit words.
  const auto gather = [picture](ULONGLONG q01, ULONGLONG q23) {
    const __m128i lo = _mm_unpacklo_epi32(_mm_cvtsi32_si128(Bytes4At(picture, ULONG(q01))),
                                          _mm_cvtsi32_si128(Bytes4At(picture, ULONG(q01 >> 32))));
    const __m128i hi = _mm_unpacklo_epi32(_mm_cvtsi32_si128(Bytes4At(picture, ULONG(q23))),
                                          _mm_cvtsi32_si128(Bytes4At(picture, ULONG(q23 >> 32))));
    return _mm_unpacklo_epi64(lo, hi);
  };
  ULONG i = from;
  const USHORT* m = map + 2 * from;
  for (; i + 8 <= to; i += 8, m += 16, out += 16) {
    const __m128i xy0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(m));
    const __m128i xy1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(m + 8));
    // Nonzero where x or y, unsigned, passes its limit.
    const __m128i over = _mm_or_si128(_mm_subs_epu16(xy0, limit), _mm_subs_epu16(xy1, limit));
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(over, _mm_setzero_si128())) != 0xFFFF) {
      BulgeYuy2Pixels(map, picture, out, uw, uh, i, i + 8);
      continue;
    }
    __m128i firstY, secondY;
    BulgeYuy2Offsets(xy0, xy1, scale, &firstY, &secondY);
    const __m128i firstPair = _mm_and_si128(firstY, pairMask);
    const __m128i secondPair = _mm_and_si128(secondY, pairMask);
    const __m128i first = gather(ULONGLONG(_mm_cvtsi128_si64(firstPair)),
                                 ULONGLONG(_mm_cvtsi128_si64(_mm_unpackhi_epi64(firstPair, firstPair))));
    const __m128i second = gather(ULONGLONG(_mm_cvtsi128_si64(secondPair)),
                                  ULONGLONG(_mm_cvtsi128_si64(_mm_unpackhi_epi64(secondPair, secondPair))));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), BulgeYuy2Pairs(first, second, firstY, secondY));
  }
  BulgeYuy2Pixels(map, picture, out, uw, uh, i, to);
}

// The four bytes at each of four offsets, as the four 32-bit lanes of a
// register in that order.
QCAM_TARGET_AVX2 inline __m128i Load4x4Avx2(const UCHAR* picture, ULONG a, ULONG b, ULONG c, ULONG d) {
  __m128i v = _mm_cvtsi32_si128(Bytes4At(picture, a));
  v = _mm_insert_epi32(v, Bytes4At(picture, b), 1);
  v = _mm_insert_epi32(v, Bytes4At(picture, c), 2);
  return _mm_insert_epi32(v, Bytes4At(picture, d), 3);
}

// The source table of the AVX2 gathers: the map turned into byte offsets
// once per map and layout, so that each output pixel's source load takes its
// address straight from memory. Moving offsets computed from the map out of
// vector registers into general ones cost more than the loads themselves.
// Each row holds width / 16 groups of 16 output pixels from its first pixel
// on; the row's last width % 16 pixels take the portable rule. In RGB,
// offset[k] is the first byte of pixel k's source. In YUY2, for pair k of
// the group, offset[k] is the Y sample of its first pixel's source (a 4-byte
// load there has that Y in its first byte, whichever pixel of its pair it
// is) and offset[8 + k] the pair holding its second pixel's source, whose Y
// is byte 0 or 2 of that pair as bit k of the group's parity word (the
// parity words follow the groups) is clear or set. A group with a source
// outside the picture, or one where a 4-byte load would pass the end of the
// picture, starts with kNoGroup and takes the portable rule.
struct BulgeSourceGroup {
  ULONG offset[16];
};
constexpr ULONG kNoGroup = 0xFFFFFFFFu;

void BuildBulgeSources(EffectState* s, ULONG uw, ULONG uh, ULONG pixelBytes) {
  const ULONG perRow = uw / 16, end = uw * uh * pixelBytes;
  BulgeSourceGroup* group = reinterpret_cast<BulgeSourceGroup*>(s->BulgeSources);
  ULONG* parity = reinterpret_cast<ULONG*>(group + perRow * uh);
  for (ULONG y = 0; y < uh; ++y)
    for (ULONG j = 0; j < perRow; ++j, ++group, ++parity) {
      const USHORT* m = s->Map + 2 * (y * uw + 16 * j);
      *parity = 0;
      for (ULONG k = 0; k < 16; ++k, m += 2) {
        const ULONG sx = m[0], sy = m[1], offset = (sy * uw + sx) * pixelBytes;
        if (sx >= uw || sy >= uh || offset + 4 > end) {
          group->offset[0] = kNoGroup;
          break;
        }
        if (pixelBytes == 3) {
          group->offset[k] = offset;
        } else if (k % 2 == 0) {
          group->offset[k / 2] = offset;
        } else {
          group->offset[8 + k / 2] = offset & ~3u;
          *parity |= ((offset >> 1) & 1u) << (k / 2);
        }
      }
    }
  s->BulgeSourcesLayout = pixelBytes;
}

// The four bytes at each of eight offsets, as the eight 32-bit lanes of a
// register in that order.
QCAM_TARGET_AVX2 inline __m256i Load8x4Avx2(const UCHAR* picture, const ULONG* o) {
  return _mm256_inserti128_si256(_mm256_castsi128_si256(Load4x4Avx2(picture, o[0], o[1], o[2], o[3])),
                                 Load4x4Avx2(picture, o[4], o[5], o[6], o[7]), 1);
}

// The byte shuffles of the gathers from the source table.
struct BulgePicks {
  __m128i rgbPack;      // four 4-byte loads to 12 bytes
  __m256i first;        // YUY2: each pair's first Y, from byte 0 of its load
  __m256i second;       // YUY2: U, second Y and V from the second pixel's pair
  __m256i parityBits;   // YUY2: bit k of the parity word in lane k
  __m256i secondOdd;    // YUY2: added to `second` where that Y is byte 2
};

QCAM_TARGET_AVX2 inline BulgePicks MakeBulgePicks() {
  return {_mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1),
          _mm256_broadcastsi128_si256(FirstPick()), _mm256_broadcastsi128_si256(SecondPick()),
          _mm256_setr_epi32(1, 2, 4, 8, 16, 32, 64, 128), _mm256_set1_epi32(0x20000)};
}

// Sixteen 24-bit pixels from their sources: each register of four 4-byte
// loads is packed to 12 bytes by a byte shuffle, and the 48 bytes leave in
// three 16-byte stores.
QCAM_TARGET_AVX2 inline void BulgeRgbGroupAvx2(const UCHAR* picture, const BulgeSourceGroup& g, ULONG,
                                               const BulgePicks& p, PUCHAR out) {
  const ULONG* o = g.offset;
  const __m128i a = _mm_shuffle_epi8(Load4x4Avx2(picture, o[0], o[1], o[2], o[3]), p.rgbPack);
  const __m128i b = _mm_shuffle_epi8(Load4x4Avx2(picture, o[4], o[5], o[6], o[7]), p.rgbPack);
  const __m128i c = _mm_shuffle_epi8(Load4x4Avx2(picture, o[8], o[9], o[10], o[11]), p.rgbPack);
  const __m128i d = _mm_shuffle_epi8(Load4x4Avx2(picture, o[12], o[13], o[14], o[15]), p.rgbPack);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_or_si128(a, _mm_slli_si128(b, 12)));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16), _mm_or_si128(_mm_srli_si128(b, 4), _mm_slli_si128(c, 8)));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 32), _mm_or_si128(_mm_srli_si128(c, 8), _mm_slli_si128(d, 4)));
}

// Sixteen YUY2 pixels (eight pairs) from their sources: the first pixels'
// loads go into one register and the second pixels' pairs into another, in
// pair order, and two byte shuffles (the second one's control made from the
// parity word) pick each output pair's bytes for one 32-byte store.
QCAM_TARGET_AVX2 inline void BulgeYuy2GroupAvx2(const UCHAR* picture, const BulgeSourceGroup& g, ULONG parity,
                                                const BulgePicks& p, PUCHAR out) {
  const __m256i first = Load8x4Avx2(picture, g.offset);
  const __m256i second = Load8x4Avx2(picture, g.offset + 8);
  const __m256i odd = _mm256_cmpeq_epi32(_mm256_and_si256(_mm256_set1_epi32(int(parity)), p.parityBits), p.parityBits);
  const __m256i secondControl = _mm256_or_si256(p.second, _mm256_and_si256(odd, p.secondOdd));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), _mm256_or_si256(_mm256_shuffle_epi8(first, p.first),
                                                                       _mm256_shuffle_epi8(second, secondControl)));
}

// The gather from the source table built for the layout of kPixelBytes
// bytes per pixel, over whole rows [from, to).
template <ULONG kPixelBytes>
QCAM_TARGET_AVX2 void BulgeTableAvx2(const EffectState* s, const UCHAR* picture, PUCHAR out, ULONG uw, ULONG uh,
                                     ULONG from, ULONG to) {
  const BulgeGather portable = kPixelBytes == 3 ? BulgeRgbPixels : BulgeYuy2Pixels;
  const auto group16 = kPixelBytes == 3 ? BulgeRgbGroupAvx2 : BulgeYuy2GroupAvx2;
  const BulgePicks picks = MakeBulgePicks();
  const ULONG perRow = uw / 16, firstGroup = from / uw * perRow;
  const BulgeSourceGroup* const groups = reinterpret_cast<const BulgeSourceGroup*>(s->BulgeSources);
  const BulgeSourceGroup* group = groups + firstGroup;
  const ULONG* parity = reinterpret_cast<const ULONG*>(groups + perRow * uh) + firstGroup;
  for (ULONG row = from; row < to; row += uw) {
    for (ULONG i = row; i < row + 16 * perRow; i += 16, ++group, ++parity, out += 16 * kPixelBytes) {
      if (group->offset[0] == kNoGroup)
        portable(s->Map, picture, out, uw, uh, i, i + 16);
      else
        group16(picture, *group, *parity, picks, out);
    }
    portable(s->Map, picture, out, uw, uh, row + 16 * perRow, row + uw);
    out += (uw - 16 * perRow) * kPixelBytes;
  }
}

#endif  // QCAM_HAVE_X86_VECTORS

// Applies the map with `gather(out, from, to)`, which writes the pixels
// [from, to) of whole rows to `out`: in place, row by row in the order the
// map allows (rows above the centre row from the top down, then the others
// from the bottom up, so that every row reads only rows not yet written; a
// row that reads itself is gathered into the scratch picture and copied
// back), or else into the scratch picture and copied back whole.
template <typename Gather>
void BulgeApply(const EffectState* s, PUCHAR picture, ULONG uw, ULONG uh, ULONG pixelBytes, bool rowsAllowed,
                Gather gather) {
  const ULONG rowBytes = uw * pixelBytes;
  if (!s->MapInPlace || !rowsAllowed) {
    gather(s->Scratch, 0, uw * uh);
    std::memcpy(picture, s->Scratch, size_t(rowBytes) * uh);
    return;
  }
  const auto row = [&](LONG y) {
    const ULONG from = ULONG(y) * uw;
    PUCHAR target = picture + ULONG(y) * rowBytes;
    if (y < s->MapSelfFirst || y > s->MapSelfLast) return gather(target, from, from + uw);
    gather(s->Scratch, from, from + uw);
    std::memcpy(target, s->Scratch, rowBytes);
  };
  const LONG centre = LONG(uh / 2);
  for (LONG y = 0; y < centre; ++y) row(y);
  for (LONG y = LONG(uh) - 1; y >= centre; --y) row(y);
}

// The bulge of a picture of `pixelBytes` bytes per pixel (3: RGB, 2: YUY2)
// with the map already built, at the highest vector level the processor
// offers unless `rowsAllowed` is false (a YUY2 picture of odd width, whose
// rows do not start on a pair: the vector paths, which find a source
// pixel's pair as its byte offset & ~3, and the row-by-row application
// need them to).
void BulgeApplyBest(EffectState* s, PUCHAR picture, ULONG uw, ULONG uh, ULONG pixelBytes, bool rowsAllowed) {
  const bool rgb = pixelBytes == 3;
  BulgeGather gather = rgb ? BulgeRgbPixels : BulgeYuy2Pixels;
#if QCAM_HAVE_X86_VECTORS
  const VectorLevel level = rowsAllowed ? EffectVectorLevel() : VectorLevel::kPortable;
  if (level >= VectorLevel::kAvx2 && s->BulgeSources != nullptr) {
    if (s->BulgeSourcesLayout != pixelBytes) BuildBulgeSources(s, uw, uh, pixelBytes);
    const auto table = rgb ? BulgeTableAvx2<3> : BulgeTableAvx2<2>;
    return BulgeApply(s, picture, uw, uh, pixelBytes, rowsAllowed,
                      [&](PUCHAR out, ULONG from, ULONG to) { table(s, picture, out, uw, uh, from, to); });
  }
  if (level >= VectorLevel::kSsse3) gather = rgb ? BulgeRgbSsse3 : BulgeYuy2Ssse3;
#endif
  BulgeApply(s, picture, uw, uh, pixelBytes, rowsAllowed,
             [&](PUCHAR out, ULONG from, ULONG to) { gather(s->Map, picture, out, uw, uh, from, to); });
}

}  // namespace

VOID BulgeRgb(EffectState* s, PUCHAR picture, LONG width, LONG height) {
  BuildBulgeMap(s, width, height);
  BulgeApplyBest(s, picture, ULONG(width), ULONG(height), 3, true);
}

VOID BulgeYuy2(EffectState* s, PUCHAR picture, LONG width, LONG height) {
  BuildBulgeMap(s, width, height);
  BulgeApplyBest(s, picture, ULONG(width), ULONG(height), 2, (width & 1) == 0);
}

// ---- stretch (17) ------------------------------------------------------------------

namespace {

// Source table entry of an output column that lies outside the picture.
constexpr USHORT kNoSource = 0xFFFF;

#if QCAM_HAVE_X86_VECTORS
// The horizontal stretch moves the same bytes in every row. Output byte j of
// a row is input byte StretchFrom(j) of that row, or white where that is
// negative: RGB bytes come from their pixel's source pixel; in YUY2 each Y
// from its pixel's source pixel and a pair's U and V from the source pair of
// its second pixel (white: Y 255, U and V 128). `source` holds the source
// pixel of every output pixel, or kNoSource.
inline LONG StretchFrom(const USHORT* source, bool rgb, ULONG j) {
  if (rgb) {
    const ULONG sc = source[j / 3];
    return sc == kNoSource ? -1 : LONG(sc * 3 + j % 3);
  }
  if ((j & 1) == 0) {
    const ULONG sc = source[j / 2];
    return sc == kNoSource ? -1 : LONG(sc * 2);
  }
  const ULONG sc = source[(j / 4) * 2 + 1];
  return sc == kNoSource ? -1 : LONG((sc & ~1u) * 2 + (j & 3));
}
inline UCHAR StretchWhite(bool rgb, ULONG j) { return rgb || (j & 1) == 0 ? 255 : 128; }

// A 16-byte chunk of the output whose sources lie within 16 bytes of each
// other is one byte shuffle of 16 input bytes, the white bytes (shuffled to
// zero) ORed in afterwards; magnifying scales always give such chunks. Other
// chunks (scales below 1) are copied byte by byte. Each row is copied aside
// first, so the output goes straight back into the picture. Rows of at least
// 16 bytes, YUY2 rows of whole pairs.
QCAM_TARGET_SSSE3 void StretchRowsSsse3(PUCHAR picture, LONG height, ULONG rowBytes, bool rgb, const USHORT* source,
                                        PUCHAR rowCopy) {
  constexpr ULONG kMaxChunks = (kEffectMaxWidth * 3 + 15) / 16;
  __m128i pick[kMaxChunks];
  SHORT first[kMaxChunks];  // first input byte of the chunk's shuffle; -1: byte by byte
  const ULONG count = (rowBytes + 15) / 16;
  const __m128i whitePattern = rgb ? _mm_set1_epi8(char(255)) : _mm_set1_epi16(short(0x80FF));
  const __m128i none = _mm_set1_epi8(char(0x80));
  for (ULONG c = 0; c < count; ++c) {
    const ULONG out = 16 * c + 16 <= rowBytes ? 16 * c : rowBytes - 16;
    LONG lo = LONG(rowBytes), hi = -1;
    for (ULONG j = out; j < out + 16; ++j) {
      const LONG f = StretchFrom(source, rgb, j);
      if (f < 0) continue;
      lo = f < lo ? f : lo;
      hi = f > hi ? f : hi;
    }
    if (hi < 0) lo = 0;
    if (LONG(rowBytes) - 16 < lo) lo = LONG(rowBytes) - 16;
    first[c] = SHORT(hi - lo < 16 ? lo : -1);
    alignas(16) UCHAR m[16];
    for (ULONG j = 0; j < 16; ++j) {
      const LONG f = StretchFrom(source, rgb, out + j);
      m[j] = f >= 0 && first[c] >= 0 ? UCHAR(f - lo) : 0x80;
    }
    pick[c] = _mm_load_si128(reinterpret_cast<const __m128i*>(m));
  }
  for (LONG y = 0; y < height; ++y) {
    PUCHAR row = picture + ULONG(y) * rowBytes;
    std::memcpy(rowCopy, row, rowBytes);
    for (ULONG c = 0; c < count; ++c) {
      const ULONG out = 16 * c + 16 <= rowBytes ? 16 * c : rowBytes - 16;
      if (first[c] >= 0) {
        const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rowCopy + first[c]));
        // The chunks start on even bytes, so the YUY2 white pattern lines up.
        const __m128i white = _mm_and_si128(_mm_cmpeq_epi8(pick[c], none), whitePattern);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(row + out), _mm_or_si128(_mm_shuffle_epi8(in, pick[c]), white));
      } else {
        for (ULONG j = out; j < out + 16; ++j) {
          const LONG f = StretchFrom(source, rgb, j);
          row[j] = f >= 0 ? rowCopy[f] : StretchWhite(rgb, j);
        }
      }
    }
  }
}
#endif

}  // namespace

VOID AdvanceStretch(EffectState* s) {
  s->StretchScale += s->StretchStep;
  if (s->StretchScale > 2.5) {
    s->StretchStep = -0.05;
  } else if (s->StretchScale < 1.05) {
    s->StretchStep = 0.05;
    s->StretchAxis = s->StretchAxis ? 0 : 1;
  }
}

namespace {

// The horizontal RGB stretch row by row from a table of source byte offsets
// (kNoSource: white). Every pixel but the last of a row is a 4-byte copy
// whose fourth byte the next pixel rewrites; the last pixel of a row takes
// three bytes, so that neither the output row nor a source at the end of the
// picture is passed. It needs no vector instructions; it runs where the
// vector paths run, the column loop of the portable path staying the
// reference.
void StretchRgbRows(const UCHAR* picture, PUCHAR out, LONG width, LONG height, double scale) {
  USHORT source[kEffectMaxWidth];
  const LONG half = width / 2;
  for (LONG i = 0; i < width; ++i) {
    const LONG src = Trunc(half + (i - half) / scale);
    source[i] = (src >= 0 && src < width) ? USHORT(src * 3) : kNoSource;
  }
  const ULONG rowBytes = ULONG(width) * 3;
  static const UCHAR kWhite[4] = {255, 255, 255, 255};
  for (LONG y = 0; y < height; ++y) {
    const UCHAR* in = picture + ULONG(y) * rowBytes;
    PUCHAR o = out + ULONG(y) * rowBytes;
    const bool lastRow = y == height - 1;
    for (LONG i = 0; i < width; ++i, o += 3) {
      const ULONG sc = source[i];
      const UCHAR* p = sc != kNoSource ? in + sc : kWhite;
      if (i + 1 < width && !(lastRow && sc + 3 == rowBytes))
        std::memcpy(o, p, 4);
      else
        std::memcpy(o, p, 3);
    }
  }
}

}  // namespace

VOID StretchRgb(EffectState* s, PUCHAR picture, LONG width, LONG height) {
  const double scale = s->StretchScale;
  const ULONG rowBytes = ULONG(width) * 3;
  PUCHAR out = s->Scratch;
#if QCAM_HAVE_X86_VECTORS
  if (s->StretchAxis == 0 && EffectVectorLevel() >= VectorLevel::kSsse3 && rowBytes >= 16 &&
      width <= kEffectMaxWidth) {
    USHORT source[kEffectMaxWidth];
    const LONG half = width / 2;
    for (LONG i = 0; i < width; ++i) {
      const LONG src = Trunc(half + (i - half) / scale);
      source[i] = (src >= 0 && src < width) ? USHORT(src) : kNoSource;
    }
    StretchRowsSsse3(picture, height, rowBytes, true, source, out);
    return;
  }
#endif
  if (s->StretchAxis == 0 && EffectVectorLevel() >= VectorLevel::kSsse3) {
    StretchRgbRows(picture, out, width, height, scale);
  } else if (s->StretchAxis == 0) {
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

namespace {

// One YUY2 row of the horizontal stretch: pixel i copies the Y of input
// column source[i] and its pair's chroma into its own pair (the second pixel
// of a pair last), white for kNoSource.
void StretchYuy2Row(const UCHAR* in, PUCHAR o, const USHORT* source, LONG width) {
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

// Rows of output pairs from a table of source byte offsets (the Y of pixel
// src at 2 src; white pixels point into a white pair): the second pixel's
// source pair as a 4-byte copy, then its Y and the first pixel's Y as bytes.
// No vector instructions; it runs where the vector paths run.
void StretchYuy2Rows(const UCHAR* picture, PUCHAR out, const USHORT* source, LONG width, LONG height) {
  static const UCHAR kWhitePair[4] = {255, 128, 255, 128};
  const ULONG rowBytes = ULONG(width) * 2;
  for (LONG y = 0; y < height; ++y) {
    const UCHAR* in = picture + ULONG(y) * rowBytes;
    PUCHAR o = out + ULONG(y) * rowBytes;
    for (LONG i = 0; i < width; i += 2, o += 4) {
      const ULONG first = source[i], second = source[i + 1];
      const UCHAR* y0 = first != kNoSource ? in + first * 2 : kWhitePair;
      const UCHAR* y1 = second != kNoSource ? in + second * 2 : kWhitePair;
      const UCHAR* pair = second != kNoSource ? in + (second & ~1u) * 2 : kWhitePair;
      std::memcpy(o, pair, 4);
      o[2] = *y1;
      o[0] = *y0;
    }
  }
}

}  // namespace

VOID StretchYuy2(EffectState* s, PUCHAR picture, LONG width, LONG height) {
  const double scale = s->StretchScale;
  const ULONG rowBytes = ULONG(width) * 2;
  PUCHAR out = s->Scratch;
  if (s->StretchAxis == 0) {
    // Source column of every output column (kNoSource: white), then the
    // picture row by row; the dispatcher guarantees width <= 640.
    USHORT source[kEffectMaxWidth];
    const LONG half = width / 2;
    for (LONG i = 0; i < width; ++i) {
      const LONG src = Trunc(half + (i - half) / scale);
      source[i] = (src >= 0 && src < width) ? USHORT(src) : kNoSource;
    }
#if QCAM_HAVE_X86_VECTORS
    if (EffectVectorLevel() >= VectorLevel::kSsse3 && rowBytes >= 16 && (width & 1) == 0) {
      StretchRowsSsse3(picture, height, rowBytes, false, source, out);
      return;
    }
#endif
    if (EffectVectorLevel() >= VectorLevel::kSsse3) {
      StretchYuy2Rows(picture, out, source, width, height);
    } else {
      for (LONG y = 0; y < height; ++y)
        StretchYuy2Row(picture + ULONG(y) * rowBytes, out + ULONG(y) * rowBytes, source, width);
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
