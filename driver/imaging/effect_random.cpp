// The effects driven by the kernel's random numbers that look at each
// pixel: light streaks and frosted glass.
#include "driver/imaging/effect_spatial.h"

#include <cstring>

#include "driver/imaging/effect_internal.h"
#include "driver/imaging/vector_level.h"

#if QCAM_HAVE_X86_VECTORS
#include <immintrin.h>
#endif

using namespace effects_detail;

// ---- light streaks (13) ----------------------------------------------------------
// Every pixel that does not start a streak comes out as it went in, so the
// output starts as a copy of the picture and only the streaks are written
// over it, in scan order, from the untouched input. Each start draws one
// rand(), in scan order, and later streaks overwrite earlier ones.
//
// Starts are rare, so the faster paths look at 10 RGB pixels (30 bytes) or
// 16 YUY2 pixels at a time with byte compares and pass over blocks where no
// byte rose by more than 30 over the same byte of the left neighbour (and, in
// YUY2, no Y exceeds 180); only the pixels those compares single out get the
// rest of the test (RGB: B + G + R > 180), in order.

namespace {

inline bool StartsStreakRgb(const UCHAR* in, LONG j) {
  const UCHAR* p = in + j * 3;
  const UCHAR* l = p - 3;
  const bool rose = LONG(p[0]) - l[0] > 30 || LONG(p[1]) - l[1] > 30 || LONG(p[2]) - l[2] > 30;
  return rose && ULONG(p[0]) + p[1] + p[2] > 180;
}

// Floor of the mean of each pair of bytes of two 8-byte words, (a + b) >> 1
// byte by byte: the common bits plus half the differing ones, the shift kept
// from carrying a bit into the byte below.
inline uint64_t HalfSums(uint64_t a, uint64_t b) { return (a & b) + (((a ^ b) & 0xFEFEFEFEFEFEFEFEull) >> 1); }

// Eight bytes as a word whose lowest byte is the first byte in memory.
inline uint64_t LoadBytes(const UCHAR* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  v = __builtin_bswap64(v);
#endif
  return v;
}
inline void StoreBytes(PUCHAR p, uint64_t v) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  v = __builtin_bswap64(v);
#endif
  std::memcpy(p, &v, 8);
}

// out[b] = (pattern byte + in[b]) >> 1 for lo <= b < hi, which are at least
// 8 bytes: whole words from lo on, the pattern repeating every 24 bytes as
// three words, then one word ending at hi with pattern `last`. That word may
// cover bytes already written; it writes them again with the same values,
// which depend on the input alone.
inline void HalfSumRun(const UCHAR* in, PUCHAR out, ULONG lo, ULONG hi, const uint64_t (&pattern)[3],
                       uint64_t last) {
  ULONG b = lo;
  for (int w = 0; b + 8 <= hi; b += 8, w = w == 2 ? 0 : w + 1)
    StoreBytes(out + b, HalfSums(LoadBytes(in + b), pattern[w]));
  if (b < hi) StoreBytes(out + hi - 8, HalfSums(LoadBytes(in + hi - 8), last));
}

// Output pixels start ... j become the per-channel mean of pixel j and
// themselves: the bytes from start * 3 to j * 3 + 2 with B, G, R of pixel j
// repeating.
// The streak's first byte lo = start * 3 (start drawn here) and its end
// hi = j * 3 + 3.
inline void BeginStreakRgb(LONG j, LONG width, ULONG* lo, ULONG* hi) {
  *lo = ULONG(Limit(j - 32 + rand() % 32, 0, width)) * 3;
  *hi = ULONG(j) * 3 + 3;
}

// The bytes lo ... hi - 1 of pixel j's streak, in words.
inline void DrawStreakRgb(const UCHAR* in, PUCHAR out, LONG j, ULONG lo, ULONG hi) {
  const UCHAR* p = in + j * 3;
  if (hi - lo < 8) {
    for (ULONG b = lo; b < hi; ++b) out[b] = UCHAR((p[(b - lo) % 3] + in[b]) >> 1);
    return;
  }
  // Three bytes in turn from B, G, R (word 0), from R, B, G (word 1, which
  // begins 8 bytes on) and from G, R, B (word 2, 16 bytes on). The last word
  // begins 8 bytes before hi, one byte past a whole pixel (hi - lo is a
  // multiple of 3): G, R, B like word 2.
  const auto repeat = [](uint64_t c0, uint64_t c1, uint64_t c2) {
    const uint64_t c = c0 | c1 << 8 | c2 << 16;
    return c | c << 24 | c << 48;
  };
  const uint64_t pattern[3] = {repeat(p[0], p[1], p[2]), repeat(p[2], p[0], p[1]), repeat(p[1], p[2], p[0])};
  HalfSumRun(in, out, lo, hi, pattern, pattern[2]);
}

__attribute__((noinline)) void StreakRgb(const UCHAR* in, PUCHAR out, LONG j, LONG width) {
  ULONG lo, hi;
  BeginStreakRgb(j, width, &lo, &hi);
  DrawStreakRgb(in, out, j, lo, hi);
}

inline bool StartsStreakYuy2(const UCHAR* in, LONG j) {
  const LONG yj = in[j * 2];
  return yj - LONG(in[(j - 1) * 2]) > 30 && yj > 180;
}

// The bytes of pixel j's streak: lo ... hi - 1, byte b taking the mean with
// sample[b % 4].
struct Yuy2Streak {
  ULONG lo, hi;
  UCHAR sample[4];
  // The pattern of four bytes beginning at byte b.
  uint32_t FourAt(ULONG b) const {
    return uint32_t(sample[b & 3]) | uint32_t(sample[(b + 1) & 3]) << 8 | uint32_t(sample[(b + 2) & 3]) << 16 |
           uint32_t(sample[(b + 3) & 3]) << 24;
  }
};

inline Yuy2Streak BeginStreakYuy2(const UCHAR* in, LONG j, LONG width) {
  const ULONG pj = ULONG(j & ~1) * 2;
  const LONG start = Limit(j - 64 + rand() % 64, 0, width);
  Yuy2Streak s;
  s.lo = (start & 1) ? ULONG(start) * 2 - 1 : ULONG(start) * 2;
  s.hi = ULONG(j) * 2 + 2;
  s.sample[0] = s.sample[2] = in[j * 2];
  s.sample[1] = in[pj + 1];
  s.sample[3] = in[pj + 3];
  return s;
}

// Runs of under 8 bytes byte by byte, longer ones in words.
inline void DrawStreakYuy2(const UCHAR* in, PUCHAR out, const Yuy2Streak& s) {
  if (s.hi - s.lo < 8) {
    for (ULONG b = s.lo; b < s.hi; ++b) out[b] = UCHAR((s.sample[b & 3] + in[b]) >> 1);
  } else {
    const auto wordAt = [&s](ULONG b) {
      const uint64_t four = s.FourAt(b);
      return four | four << 32;
    };
    const uint64_t first = wordAt(s.lo);
    const uint64_t pattern[3] = {first, first, first};
    HalfSumRun(in, out, s.lo, s.hi, pattern, wordAt(s.hi - 8));
  }
}

// When pixel j is the first of its pair, its pair's V is the mean with
// itself: unchanged from the input.
inline void EndStreakYuy2(const UCHAR* in, PUCHAR out, LONG j) {
  const ULONG pj = ULONG(j & ~1) * 2;
  if (!(j & 1)) out[pj + 3] = in[pj + 3];
}

// Output pixels start ... j take the mean of their Y with pixel j's Y and
// of their pair's U, V with pixel j's pair's U, V. Those are the bytes from
// the start pixel's Y (or, when it is the second of its pair, from the pair's
// U) up to byte j * 2 + 1, with Y, U, Y, V of pixel j repeating; when j is the
// first of its pair, also its pair's V (the mean with itself, so unchanged).
__attribute__((noinline)) void StreakYuy2(const UCHAR* in, PUCHAR out, LONG j, LONG width) {
  const Yuy2Streak s = BeginStreakYuy2(in, j, width);
  DrawStreakYuy2(in, out, s);
  EndStreakYuy2(in, out, j);
}

// Pixels j ... end - 1 of a row, one by one; the first pixel of a row (which
// compares with itself) is never passed.
inline void StreaksRgbFrom(const UCHAR* in, PUCHAR out, LONG j, LONG end, LONG width) {
  for (; j < end; ++j)
    if (StartsStreakRgb(in, j)) StreakRgb(in, out, j, width);
}

inline void StreaksYuy2From(const UCHAR* in, PUCHAR out, LONG j, LONG end, LONG width) {
  for (; j < end; ++j)
    if (StartsStreakYuy2(in, j)) StreakYuy2(in, out, j, width);
}

typedef void (*StreakRow)(const UCHAR* in, PUCHAR out, LONG width);

void StreakRowRgbPortable(const UCHAR* in, PUCHAR out, LONG width) { StreaksRgbFrom(in, out, 1, width, width); }
void StreakRowYuy2Portable(const UCHAR* in, PUCHAR out, LONG width) { StreaksYuy2From(in, out, 1, width, width); }

#if QCAM_HAVE_X86_VECTORS
// The vector rows first list the candidates of the whole row (no calls in
// the scanning loop, so its constants stay in registers), then draw the
// streaks in order. The loads stay inside the row: a block is taken only
// while all of its bytes (the left neighbours included) belong to the row;
// the rest of the row goes pixel by pixel. The lists hold a row of the
// widest picture the effects take; wider rows (never passed by the
// dispatcher) use the portable path.

// Candidates from a mask with one bit per byte of a block starting at pixel
// j: RGB pixels with a channel that rose by more than 30 (bytes 3k ... 3k + 2
// belong to pixel j + k).
inline LONG ListRgbPixels(uint32_t bytes, LONG j, USHORT* list, LONG count) {
  while (bytes != 0) {
    const ULONG k = ULONG(__builtin_ctz(bytes)) / 3;
    list[count++] = USHORT(j + LONG(k));
    bytes &= ~(7u << (3 * k));
  }
  return count;
}

// YUY2: one bit per Y sample (even bytes; byte 2k is pixel j + k).
inline LONG ListYuy2Pixels(uint32_t ys, LONG j, USHORT* list, LONG count) {
  for (; ys != 0; ys &= ys - 1) list[count++] = USHORT(j + LONG(__builtin_ctz(ys) / 2));
  return count;
}

typedef void (*StreakDraw)(const UCHAR* in, PUCHAR out, LONG j, LONG width);

inline void DrawRgbCandidates(const UCHAR* in, PUCHAR out, LONG width, const USHORT* list, LONG count,
                              StreakDraw streak) {
  for (LONG i = 0; i < count; ++i) {
    const UCHAR* q = in + LONG(list[i]) * 3;
    if (ULONG(q[0]) + q[1] + q[2] > 180) streak(in, out, list[i], width);
  }
}

QCAM_TARGET_SSSE3 void StreakRowRgbSsse3(const UCHAR* in, PUCHAR out, LONG width) {
  const LONG rowBytes = width * 3;
  const __m128i rise = _mm_set1_epi8(30);
  USHORT rose[kEffectMaxWidth];  // pixels with a channel that rose by more than 30
  LONG count = 0;
  LONG j = 1;
  for (; j * 3 + 16 <= rowBytes; j += 5) {
    const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + j * 3));
    const __m128i l = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + j * 3 - 3));
    const __m128i over = _mm_subs_epu8(_mm_subs_epu8(p, l), rise);
    const uint32_t bytes = ~uint32_t(_mm_movemask_epi8(_mm_cmpeq_epi8(over, _mm_setzero_si128()))) & 0x7FFFu;
    count = ListRgbPixels(bytes, j, rose, count);
  }
  DrawRgbCandidates(in, out, width, rose, count, StreakRgb);
  StreaksRgbFrom(in, out, j, width, width);
}

QCAM_TARGET_SSSE3 void StreakRowYuy2Ssse3(const UCHAR* in, PUCHAR out, LONG width) {
  const LONG rowBytes = width * 2;
  const __m128i rise = _mm_set1_epi8(30);
  const __m128i bright = _mm_set1_epi8(char(180));
  USHORT starts[kEffectMaxWidth];
  LONG count = 0;
  LONG j = 1;
  for (; j * 2 + 16 <= rowBytes; j += 8) {
    const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + j * 2));
    const __m128i l = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + j * 2 - 2));
    const __m128i start = _mm_min_epu8(_mm_subs_epu8(_mm_subs_epu8(p, l), rise), _mm_subs_epu8(p, bright));
    const uint32_t ys = ~uint32_t(_mm_movemask_epi8(_mm_cmpeq_epi8(start, _mm_setzero_si128()))) & 0x5555u;
    count = ListYuy2Pixels(ys, j, starts, count);
  }
  for (LONG i = 0; i < count; ++i) StreakYuy2(in, out, starts[i], width);
  StreaksYuy2From(in, out, j, width, width);
}

// (pattern byte + p[k]) >> 1 for the 32 bytes at p: the common bits plus
// half the differing ones, as in HalfSums.
QCAM_TARGET_AVX2 inline __m256i HalfSums32(const UCHAR* p, __m256i pattern) {
  const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  const __m256i half = _mm256_and_si256(_mm256_srli_epi16(_mm256_xor_si256(a, pattern), 1), _mm256_set1_epi8(0x7F));
  return _mm256_add_epi8(_mm256_and_si256(a, pattern), half);
}

// The RGB streak with runs of 32 bytes or more in 32-byte blocks. Byte b
// takes the mean with byte b % 3 of pixel j (lo and hi are whole pixels), so
// a block starting at byte b takes the pattern of pixel j's bytes from
// b % 3 on; blocks follow each other 32 bytes apart, which moves that place
// by 2 each time. The last block, which ends at hi (so starts one byte into
// a pixel), may cover bytes already written and writes them again with the
// same values.
QCAM_TARGET_AVX2 __attribute__((noinline)) void StreakRgbAvx2(const UCHAR* in, PUCHAR out, LONG j, LONG width) {
  ULONG lo, hi;
  BeginStreakRgb(j, width, &lo, &hi);
  if (hi - lo < 32) return DrawStreakRgb(in, out, j, lo, hi);
  const UCHAR* p = in + j * 3;
  const __m256i pixel = _mm256_set1_epi32(int(ULONG(p[0]) | ULONG(p[1]) << 8 | ULONG(p[2]) << 16));
  const __m256i from0 = _mm256_setr_epi8(0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0,  //
                                         1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1);
  const __m256i from1 = _mm256_setr_epi8(1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1,  //
                                         2, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2);
  const __m256i from2 = _mm256_setr_epi8(2, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2,  //
                                         0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0);
  // In block order: places 0, 2, 1, 0, ...
  const __m256i pattern[3] = {_mm256_shuffle_epi8(pixel, from0), _mm256_shuffle_epi8(pixel, from2),
                              _mm256_shuffle_epi8(pixel, from1)};
  ULONG b = lo;
  for (int k = 0; b + 32 <= hi; b += 32, k = k == 2 ? 0 : k + 1)
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + b), HalfSums32(in + b, pattern[k]));
  if (b < hi)
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + hi - 32), HalfSums32(in + hi - 32, pattern[2]));
}

QCAM_TARGET_AVX2 void StreakRowRgbAvx2(const UCHAR* in, PUCHAR out, LONG width) {
  const LONG rowBytes = width * 3;
  const __m256i rise = _mm256_set1_epi8(30);
  USHORT rose[kEffectMaxWidth];
  LONG count = 0;
  LONG j = 1;
  for (; j * 3 + 32 <= rowBytes; j += 10) {
    const __m256i p = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + j * 3));
    const __m256i l = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + j * 3 - 3));
    const __m256i over = _mm256_subs_epu8(_mm256_subs_epu8(p, l), rise);
    // The block's ten pixels are its first 30 bytes.
    const uint32_t bytes =
        ~uint32_t(_mm256_movemask_epi8(_mm256_cmpeq_epi8(over, _mm256_setzero_si256()))) & 0x3FFFFFFFu;
    count = ListRgbPixels(bytes, j, rose, count);
  }
  DrawRgbCandidates(in, out, width, rose, count, StreakRgbAvx2);
  StreaksRgbFrom(in, out, j, width, width);
}

// The YUY2 streak with runs of 32 bytes or more in 32-byte blocks: the
// pattern repeats every four bytes, so every block from lo on takes the same
// one, and the last block, which ends at hi, may cover bytes already
// written and writes them again with the same values.
QCAM_TARGET_AVX2 __attribute__((noinline)) void StreakYuy2Avx2(const UCHAR* in, PUCHAR out, LONG j, LONG width) {
  const Yuy2Streak s = BeginStreakYuy2(in, j, width);
  if (s.hi - s.lo < 32) {
    DrawStreakYuy2(in, out, s);
  } else {
    const __m256i pattern = _mm256_set1_epi32(int(s.FourAt(s.lo)));
    ULONG b = s.lo;
    for (; b + 32 <= s.hi; b += 32)
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + b), HalfSums32(in + b, pattern));
    if (b < s.hi) {
      const ULONG last = s.hi - 32;
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + last),
                          HalfSums32(in + last, _mm256_set1_epi32(int(s.FourAt(last)))));
    }
  }
  EndStreakYuy2(in, out, j);
}

QCAM_TARGET_AVX2 void StreakRowYuy2Avx2(const UCHAR* in, PUCHAR out, LONG width) {
  const LONG rowBytes = width * 2;
  const __m256i rise = _mm256_set1_epi8(30);
  const __m256i bright = _mm256_set1_epi8(char(180));
  USHORT starts[kEffectMaxWidth];
  LONG count = 0;
  LONG j = 1;
  for (; j * 2 + 32 <= rowBytes; j += 16) {
    const __m256i p = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + j * 2));
    const __m256i l = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + j * 2 - 2));
    // Nonzero where Y rose by more than 30 and is above 180: with the chroma
    // bytes masked off, exactly the starts among the block's sixteen pixels.
    const __m256i start =
        _mm256_min_epu8(_mm256_subs_epu8(_mm256_subs_epu8(p, l), rise), _mm256_subs_epu8(p, bright));
    const uint32_t ys =
        ~uint32_t(_mm256_movemask_epi8(_mm256_cmpeq_epi8(start, _mm256_setzero_si256()))) & 0x55555555u;
    count = ListYuy2Pixels(ys, j, starts, count);
  }
  for (LONG i = 0; i < count; ++i) StreakYuy2Avx2(in, out, starts[i], width);
  StreaksYuy2From(in, out, j, width, width);
}
#endif

// A streak reads and writes its own row only, so each row is copied into the
// start of the scratch picture and drawn from that copy straight into the
// picture: the same output as drawing the whole picture from a copy of it,
// without copying the picture there and back.
VOID Streaks(PUCHAR picture, LONG height, ULONG rowBytes, LONG width, PUCHAR scratch, StreakRow row) {
  for (LONG y = 0; y < height; ++y) {
    PUCHAR out = picture + ULONG(y) * rowBytes;
    std::memcpy(scratch, out, rowBytes);
    row(scratch, out, width);
  }
}

}  // namespace

VOID StreaksRgb(PUCHAR picture, LONG width, LONG height, PUCHAR scratch) {
  StreakRow row = StreakRowRgbPortable;
#if QCAM_HAVE_X86_VECTORS
  const VectorLevel level = width <= kEffectMaxWidth ? EffectVectorLevel() : VectorLevel::kPortable;
  if (level == VectorLevel::kAvx2) row = StreakRowRgbAvx2;
  if (level == VectorLevel::kSsse3) row = StreakRowRgbSsse3;
#endif
  Streaks(picture, height, ULONG(width) * 3, width, scratch, row);
}

VOID StreaksYuy2(PUCHAR picture, LONG width, LONG height, PUCHAR scratch) {
  StreakRow row = StreakRowYuy2Portable;
#if QCAM_HAVE_X86_VECTORS
  const VectorLevel level = width <= kEffectMaxWidth ? EffectVectorLevel() : VectorLevel::kPortable;
  if (level == VectorLevel::kAvx2) row = StreakRowYuy2Avx2;
  if (level == VectorLevel::kSsse3) row = StreakRowYuy2Ssse3;
#endif
  Streaks(picture, height, ULONG(width) * 2, width, scratch, row);
}

// ---- frosted glass (19) ------------------------------------------------------------
// Every pixel (RGB) or pair (YUY2) takes two random numbers, x first. They
// are drawn in blocks with rand_block, which hands out exactly the values
// the same number of rand() calls would, so the picture and the generator end
// up as with one rand() call per number. A block may end inside a row; the
// row is then finished with the next block. In all, exactly two numbers per
// pixel (pair) are drawn. The AVX2 rows instead claim all of the picture's
// numbers at once with rand_claim and compute them from the seed it returns,
// by the generator's own rule, as they go.

namespace {

// An even count; with the runs' offset arrays the stack holds under 2 KB.
constexpr ULONG kFrostDraws = 960;

// rand() % 9 and % 5 by multiply and shift: exact for every 0 ... 32767
// (checked over the whole range by the tests).
inline LONG Mod9(ULONG v) { return LONG(v - 9 * ((v * 58255u) >> 19)); }
inline LONG Mod5(ULONG v) { return LONG(v - 5 * ((v * 52429u) >> 18)); }

// One run of pixels x ... x + n - 1 of row y, all in the same block of
// numbers d (two per pixel). `out` is the start of the output row.
typedef void (*FrostRun)(const UCHAR* picture, PUCHAR out, LONG x, LONG n, LONG y, LONG width, LONG height,
                         const USHORT* d);

void FrostRunRgbPortable(const UCHAR* picture, PUCHAR out, LONG x, LONG n, LONG y, LONG width, LONG height,
                         const USHORT* d) {
  const ULONG rowBytes = ULONG(width) * 3;
  for (const LONG end = x + n; x < end; ++x, d += 2) {
    const LONG sx = Limit(x + Mod9(d[0]) - 5, 0, width - 1);
    const LONG sy = Limit(y + Mod9(d[1]) - 5, 0, height - 1);
    const UCHAR* p = picture + ULONG(sy) * rowBytes + ULONG(sx) * 3;
    PUCHAR o = out + ULONG(x) * 3;
    o[0] = p[0];
    o[1] = p[1];
    o[2] = p[2];
  }
}

void FrostRunYuy2Portable(const UCHAR* picture, PUCHAR out, LONG x, LONG n, LONG y, LONG width, LONG height,
                          const USHORT* d) {
  const ULONG rowBytes = ULONG(width) * 2;
  const LONG maxY = height >= 2 ? height - 2 : 0;
  for (const LONG end = x + 2 * n; x < end; x += 2, d += 2) {
    const LONG sx = Limit(x - 6 + 2 * Mod5(d[0]), 0, width - 2);
    const LONG sy = Limit(y - 6 + 2 * Mod5(d[1]), 0, maxY);
    std::memcpy(out + ULONG(x) * 2, picture + ULONG(sy) * rowBytes + ULONG(sx) * 2, 4);
  }
}

#if QCAM_HAVE_X86_VECTORS
// The vector runs work on eight pixels (pairs) at a time. The sixteen numbers
// of a group lie in one vector of 16-bit lanes, x and y numbers alternating;
// the remainders, positions and limits are computed lane by lane in 16 bits
// (all values stay within -6 ... 647), and one multiply-add of each (x, y)
// lane pair by (bytes per pixel, bytes per row) gives the source's byte offset
// in 32 bits. The pixels themselves then move with one scalar load and store
// each (measured faster than a vector gather). RGB moves four bytes per pixel,
// the fourth overwritten by the next pixel, the last of a group three bytes.
// Whatever is left of a run goes through the portable code.

// Offsets of a group of four (SSSE3) pixels.
QCAM_TARGET_SSSE3 inline __m128i FrostOffsets(__m128i v, __m128i pos, __m128i hi, __m128i mult, bool yuy2) {
  const __m128i q = yuy2 ? _mm_srli_epi16(_mm_mulhi_epu16(v, _mm_set1_epi16(short(52429))), 2)
                         : _mm_srli_epi16(_mm_mulhi_epu16(v, _mm_set1_epi16(short(58255))), 3);
  __m128i r = _mm_sub_epi16(v, _mm_mullo_epi16(q, _mm_set1_epi16(yuy2 ? 5 : 9)));
  if (yuy2) r = _mm_add_epi16(r, r);
  const __m128i c = _mm_min_epi16(_mm_max_epi16(_mm_add_epi16(pos, r), _mm_setzero_si128()), hi);
  return _mm_madd_epi16(c, mult);
}

QCAM_TARGET_AVX2 inline __m256i FrostOffsets(__m256i v, __m256i pos, __m256i hi, __m256i mult, bool yuy2) {
  const __m256i q = yuy2 ? _mm256_srli_epi16(_mm256_mulhi_epu16(v, _mm256_set1_epi16(short(52429))), 2)
                         : _mm256_srli_epi16(_mm256_mulhi_epu16(v, _mm256_set1_epi16(short(58255))), 3);
  __m256i r = _mm256_sub_epi16(v, _mm256_mullo_epi16(q, _mm256_set1_epi16(yuy2 ? 5 : 9)));
  if (yuy2) r = _mm256_add_epi16(r, r);
  const __m256i c = _mm256_min_epi16(_mm256_max_epi16(_mm256_add_epi16(pos, r), _mm256_setzero_si256()), hi);
  return _mm256_madd_epi16(c, mult);
}

// An (x, y) pair of 16-bit lanes as one 32-bit lane, x in the low half (the
// lanes are then added to and stepped as 16-bit lanes, so that x never
// carries into y).
inline int Lanes(LONG x, LONG y) { return int((uint32_t(uint16_t(y)) << 16) | uint16_t(x)); }

// The 16-bit lanes hold the positions and the bytes per row of pictures up
// to the largest size the effects take; larger ones (never passed by the
// dispatcher) use the portable path.
inline bool FrostFits(LONG width, LONG height) { return width <= kEffectMaxWidth && height <= kEffectMaxHeight; }
// The AVX2 rows multiply quotients by minus 9 RGB rows or 10 YUY2 rows in
// 16-bit lanes.
static_assert(9 * 3 * kEffectMaxWidth <= 32767 && 10 * 2 * kEffectMaxWidth <= 32767, "rows too long for 16 bits");

// RGB reads each source pixel as four bytes; the fourth lies past the
// picture only for the last pixel of the last row, which only pixels in the
// last four rows (sy <= y + 3) and last four columns (sx <= x + 3) can
// take. Those stay with the portable code.
inline LONG FrostRgbVectorEnd(LONG y, LONG width, LONG height) { return y >= height - 4 ? width - 4 : width; }

QCAM_TARGET_SSSE3 void FrostRunRgbSsse3(const UCHAR* picture, PUCHAR out, LONG x, LONG n, LONG y, LONG width,
                                        LONG height, const USHORT* d) {
  const LONG end = x + n;
  const LONG vecEnd = end < FrostRgbVectorEnd(y, width, height) ? end : FrostRgbVectorEnd(y, width, height);
  __m128i pos = _mm_add_epi16(_mm_set1_epi32(Lanes(x - 5, y - 5)), _mm_setr_epi32(0, 1, 2, 3));
  const __m128i step = _mm_set1_epi32(4);
  const __m128i hi = _mm_set1_epi32(Lanes(width - 1, height - 1));
  const __m128i mult = _mm_set1_epi32(Lanes(3, width * 3));
  alignas(16) uint32_t off[4];
  for (; x + 4 <= vecEnd; x += 4, d += 8, pos = _mm_add_epi16(pos, step)) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d));
    _mm_store_si128(reinterpret_cast<__m128i*>(off), FrostOffsets(v, pos, hi, mult, false));
    PUCHAR o = out + ULONG(x) * 3;
    std::memcpy(o, picture + off[0], 4);
    std::memcpy(o + 3, picture + off[1], 4);
    std::memcpy(o + 6, picture + off[2], 4);
    std::memcpy(o + 9, picture + off[3], 3);
  }
  FrostRunRgbPortable(picture, out, x, end - x, y, width, height, d);
}

QCAM_TARGET_SSSE3 void FrostRunYuy2Ssse3(const UCHAR* picture, PUCHAR out, LONG x, LONG n, LONG y, LONG width,
                                         LONG height, const USHORT* d) {
  const LONG end = x + 2 * n;  // in pixels
  __m128i pos = _mm_add_epi16(_mm_set1_epi32(Lanes(x - 6, y - 6)), _mm_setr_epi32(0, 2, 4, 6));
  const __m128i step = _mm_set1_epi32(8);
  const __m128i hi = _mm_set1_epi32(Lanes(width - 2, height >= 2 ? height - 2 : 0));
  const __m128i mult = _mm_set1_epi32(Lanes(2, width * 2));
  alignas(16) uint32_t off[4];
  for (; x + 8 <= end; x += 8, d += 8, pos = _mm_add_epi16(pos, step)) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d));
    _mm_store_si128(reinterpret_cast<__m128i*>(off), FrostOffsets(v, pos, hi, mult, true));
    uint32_t pairs[4];
    for (int i = 0; i < 4; ++i) std::memcpy(&pairs[i], picture + off[i], 4);
    std::memcpy(out + ULONG(x) * 2, pairs, 16);
  }
  FrostRunYuy2Portable(picture, out, x, (end - x) / 2, y, width, height, d);
}

// The AVX2 runs take the numbers' quotients by 9 from one high-half multiply
// (floor(v * 7282 / 2^16) is v / 9 for every v below 2^15, checked by the
// tests through the remainder of every number), and away from the picture's
// edges, where no position needs its limits, take each pixel's offset from
// its group's corner (the pixel at (x - 5, y - 5) of its first pixel), with
// no limits or positions in the vector. The offsets leave the vector two at
// a time in 64-bit moves (fewer instructions than one 32-bit extract each),
// and each RGB pixel goes out as four bytes whose last one the next pixel
// (or a later group or run, further along the row) overwrites; the last
// group of a row ends with exact stores. (Composing pairs of pixels into
// 8-byte stores measured slower: the masks and shifts cost more than the
// stores they save.)

inline uint32_t Load32(const UCHAR* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

// Eight RGB pixels to o ... o + 23 (and, unless `exact`, garbage in o + 24),
// pixel i from src + i * kStride + its offset in `off`.
template <int kStride = 0>
QCAM_TARGET_AVX2 inline void MoveRgbGroup(const UCHAR* src, PUCHAR o, __m256i off, bool exact) {
  const __m128i lo = _mm256_castsi256_si128(off), hi = _mm256_extracti128_si256(off, 1);
  const uint64_t q[4] = {uint64_t(_mm_cvtsi128_si64(lo)), uint64_t(_mm_extract_epi64(lo, 1)),
                         uint64_t(_mm_cvtsi128_si64(hi)), uint64_t(_mm_extract_epi64(hi, 1))};
  for (int k = 0; k < 4; ++k) {
    const uint32_t a = Load32(src + 2 * k * kStride + uint32_t(q[k]));
    const uint32_t b = Load32(src + (2 * k + 1) * kStride + (q[k] >> 32));
    std::memcpy(o + 6 * k, &a, 4);
    if (k < 3 || !exact) {
      std::memcpy(o + 6 * k + 3, &b, 4);
    } else {
      std::memcpy(o + 21, &b, 2);
      o[23] = UCHAR(b >> 16);
    }
  }
}

// Eight YUY2 pairs (32 bytes), pair i from src + i * kStride + its offset
// in `off`.
template <int kStride = 0>
QCAM_TARGET_AVX2 inline void MoveYuy2Group(const UCHAR* src, PUCHAR o, __m256i off) {
  const __m128i lo = _mm256_castsi256_si128(off), hi = _mm256_extracti128_si256(off, 1);
  const uint64_t q[4] = {uint64_t(_mm_cvtsi128_si64(lo)), uint64_t(_mm_extract_epi64(lo, 1)),
                         uint64_t(_mm_cvtsi128_si64(hi)), uint64_t(_mm_extract_epi64(hi, 1))};
  for (int k = 0; k < 4; ++k) {
    std::memcpy(o + 8 * k, src + 2 * k * kStride + uint32_t(q[k]), 4);
    std::memcpy(o + 8 * k + 4, src + (2 * k + 1) * kStride + (q[k] >> 32), 4);
  }
}

// The numbers of a group of eight pixels (pairs) for the AVX2 rows: from a
// block drawn with rand_block, or computed in place from the generator's
// seeds. Two vectors of seeds hold the group's sixteen, those of its x
// numbers and those of its y numbers; the numbers are their high halves, the
// y seeds' kept in place and the x seeds' moved down, masked to 15 bits.
// Each lane then steps 16 seeds on. Computed in place, the numbers cost no
// stores and loads, and their 32-bit multiplies overlap the moves of the
// pixels.
struct FrostBlockNumbers {
  const USHORT* d;
  QCAM_TARGET_AVX2 __m256i Next() {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d));
    d += 16;
    return v;
  }
};

struct FrostSeeds {
  alignas(32) uint32_t x[8];  // seeds of the x numbers of eight pixels (pairs)
  alignas(32) uint32_t y[8];
  uint32_t mul, add;          // the step over 16 seeds
};

struct FrostSeedNumbers {
  __m256i x, y, mul, add;
  QCAM_TARGET_AVX2 explicit FrostSeedNumbers(const FrostSeeds& s)
      : x(_mm256_load_si256(reinterpret_cast<const __m256i*>(s.x))),
        y(_mm256_load_si256(reinterpret_cast<const __m256i*>(s.y))),
        mul(_mm256_set1_epi32(int(s.mul))),
        add(_mm256_set1_epi32(int(s.add))) {}
  QCAM_TARGET_AVX2 void Save(FrostSeeds& s) const {
    _mm256_store_si256(reinterpret_cast<__m256i*>(s.x), x);
    _mm256_store_si256(reinterpret_cast<__m256i*>(s.y), y);
  }
  QCAM_TARGET_AVX2 __m256i Next() {
    const __m256i v =
        _mm256_and_si256(_mm256_blend_epi16(_mm256_srli_epi32(x, 16), y, 0xAA), _mm256_set1_epi16(0x7FFF));
    x = _mm256_add_epi32(_mm256_mullo_epi32(x, mul), add);
    y = _mm256_add_epi32(_mm256_mullo_epi32(y, mul), add);
    return v;
  }
};

// The seeds after `seed` for the next eight pixels (pairs): the x number of
// pixel i is the (2i + 1)-th, its y number the (2i + 2)-th.
FrostSeeds FrostSeedsAfter(uint32_t seed) {
  FrostSeeds s;
  uint32_t mul = 1, add = 0;
  for (int i = 0; i < 8; ++i) {
    s.x[i] = seed = seed * 214013u + 2531011u;
    s.y[i] = seed = seed * 214013u + 2531011u;
  }
  for (int i = 0; i < 16; ++i) {
    mul *= 214013u;
    add = add * 214013u + 2531011u;
  }
  s.mul = mul;
  s.add = add;
  return s;
}

// RGB pixels x ... end - 1 of row y from the numbers of `numbers`, eight at a
// time while they fit; returns where it stopped.
template <typename Numbers>
QCAM_TARGET_AVX2 inline LONG FrostRgbGroupsAvx2(const UCHAR* picture, PUCHAR out, LONG x, LONG end, LONG y,
                                                LONG width, LONG height, Numbers& numbers) {
  const LONG vecEnd = end < FrostRgbVectorEnd(y, width, height) ? end : FrostRgbVectorEnd(y, width, height);
  const LONG rowBytes = width * 3;
  const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  const __m256i hi = _mm256_set1_epi32(Lanes(width - 1, height - 1));
  const __m256i mult = _mm256_set1_epi32(Lanes(3, rowBytes));
  // Groups with limits, up to `stop` (or the inner columns when `toInner`).
  const auto limited = [&](LONG stop, bool toInner) QCAM_TARGET_AVX2 {
    __m256i pos = _mm256_add_epi16(_mm256_set1_epi32(Lanes(x - 5, y - 5)), lanes);
    for (; x + 8 <= stop && !(toInner && x >= 5); x += 8, pos = _mm256_add_epi16(pos, _mm256_set1_epi32(8)))
      MoveRgbGroup(picture, out + ULONG(x) * 3, FrostOffsets(numbers.Next(), pos, hi, mult, false), x + 8 >= width);
  };
  // Rows whose sources all lie inside the picture, away from its last pixel,
  // have inner columns: groups x ... x + 7 with 5 <= x and x + 7 <= width - 4.
  if (y >= 5 && y <= height - 5) {
    limited(vecEnd, true);
    const LONG innerEnd = width - 3 < vecEnd ? width - 3 : vecEnd;
    if (x + 8 <= innerEnd) {
      // Pixel i of a group comes from 3i bytes past the group's pixel
      // (x - 5, y - 5), plus 3 (vx % 9) + rowBytes (vy % 9) bytes: one
      // multiply-add of the numbers, less one of their quotients by 9 (the
      // lanes' 16-bit factors hold 9 rowBytes for the largest rows taken).
      const UCHAR* src = picture + ULONG(y - 5) * ULONG(rowBytes) + ULONG(x - 5) * 3;
      const __m256i ninth = _mm256_set1_epi16(7282);
      const __m256i multQ = _mm256_set1_epi32(Lanes(-27, -9 * rowBytes));
      PUCHAR o = out + ULONG(x) * 3;
      const auto offsets = [&]() QCAM_TARGET_AVX2 {
        const __m256i v = numbers.Next();
        const __m256i q = _mm256_mulhi_epu16(v, ninth);
        return _mm256_add_epi32(_mm256_madd_epi16(v, mult), _mm256_madd_epi16(q, multQ));
      };
      // The next group's offsets are computed before this group's pixels
      // move, so that the long chain from the numbers to the loads overlaps
      // the moves.
      __m256i off = offsets();
      for (; x + 16 <= innerEnd; x += 8, o += 24, src += 24) {
        const __m256i next = offsets();
        MoveRgbGroup<3>(src, o, off, false);
        off = next;
      }
      MoveRgbGroup<3>(src, o, off, false);
      x += 8;
    }
  }
  limited(vecEnd, false);
  return x;
}

// YUY2 pairs from pixel x on (end in pixels), eight pairs at a time.
template <typename Numbers>
QCAM_TARGET_AVX2 inline LONG FrostYuy2GroupsAvx2(const UCHAR* picture, PUCHAR out, LONG x, LONG end, LONG y,
                                                 LONG width, LONG height, Numbers& numbers) {
  const LONG rowBytes = width * 2;
  const __m256i lanes = _mm256_setr_epi32(0, 2, 4, 6, 8, 10, 12, 14);
  const __m256i hi = _mm256_set1_epi32(Lanes(width - 2, height >= 2 ? height - 2 : 0));
  const __m256i mult = _mm256_set1_epi32(Lanes(2, rowBytes));
  const auto limited = [&](bool toInner) QCAM_TARGET_AVX2 {
    __m256i pos = _mm256_add_epi16(_mm256_set1_epi32(Lanes(x - 6, y - 6)), lanes);
    for (; x + 16 <= end && !(toInner && x >= 6); x += 16, pos = _mm256_add_epi16(pos, _mm256_set1_epi32(16)))
      MoveYuy2Group(picture, out + ULONG(x) * 2, FrostOffsets(numbers.Next(), pos, hi, mult, true));
  };
  // Inner rows and columns: sources inside the picture, groups x ... x + 15
  // with 6 <= x and x + 14 <= width - 4. Pair i of a group comes from 4i
  // bytes past the pair at (x - 6, y - 6), plus 4 (vx % 5) + 2 rowBytes
  // (vy % 5) bytes, by multiply-adds of the numbers and of their quotients.
  if (y >= 6 && y <= height - 4) {
    limited(true);
    const LONG innerEnd = width - 2 < end ? width - 2 : end;
    if (x + 16 <= innerEnd) {
      const UCHAR* src = picture + ULONG(y - 6) * ULONG(rowBytes) + ULONG(x - 6) * 2;
      const __m256i fifth = _mm256_set1_epi16(short(52429));
      const __m256i multV = _mm256_set1_epi32(Lanes(4, 2 * rowBytes));
      const __m256i multQ = _mm256_set1_epi32(Lanes(-20, -10 * rowBytes));
      PUCHAR o = out + ULONG(x) * 2;
      const auto offsets = [&]() QCAM_TARGET_AVX2 {
        const __m256i v = numbers.Next();
        const __m256i q = _mm256_srli_epi16(_mm256_mulhi_epu16(v, fifth), 2);
        return _mm256_add_epi32(_mm256_madd_epi16(v, multV), _mm256_madd_epi16(q, multQ));
      };
      // One group ahead, as in the RGB rows.
      __m256i off = offsets();
      for (; x + 32 <= innerEnd; x += 16, o += 32, src += 32) {
        const __m256i next = offsets();
        MoveYuy2Group<4>(src, o, off);
        off = next;
      }
      MoveYuy2Group<4>(src, o, off);
      x += 16;
    }
  }
  limited(false);
  return x;
}

QCAM_TARGET_AVX2 void FrostRunRgbAvx2(const UCHAR* picture, PUCHAR out, LONG x, LONG n, LONG y, LONG width,
                                      LONG height, const USHORT* d) {
  FrostBlockNumbers numbers{d};
  const LONG end = x + n;
  x = FrostRgbGroupsAvx2(picture, out, x, end, y, width, height, numbers);
  FrostRunRgbPortable(picture, out, x, end - x, y, width, height, numbers.d);
}

QCAM_TARGET_AVX2 void FrostRunYuy2Avx2(const UCHAR* picture, PUCHAR out, LONG x, LONG n, LONG y, LONG width,
                                       LONG height, const USHORT* d) {
  FrostBlockNumbers numbers{d};
  const LONG end = x + 2 * n;
  x = FrostYuy2GroupsAvx2(picture, out, x, end, y, width, height, numbers);
  FrostRunYuy2Portable(picture, out, x, (end - x) / 2, y, width, height, numbers.d);
}

// Whole rows with the numbers computed in place, for rows of whole groups
// (so every row starts a group of seeds); what the vector loop leaves of a
// row (near the picture's last pixel) takes its group's numbers through a
// small block.
QCAM_TARGET_AVX2 void FrostRowRgbSeedsAvx2(const UCHAR* picture, PUCHAR out, LONG y, LONG width, LONG height,
                                           FrostSeeds& seeds) {
  FrostSeedNumbers numbers(seeds);
  LONG x = FrostRgbGroupsAvx2(picture, out, 0, width, y, width, height, numbers);
  for (; x < width; x += 8) {
    alignas(32) USHORT d[16];
    _mm256_store_si256(reinterpret_cast<__m256i*>(d), numbers.Next());
    FrostRunRgbPortable(picture, out, x, 8, y, width, height, d);
  }
  numbers.Save(seeds);
}

QCAM_TARGET_AVX2 void FrostRowYuy2SeedsAvx2(const UCHAR* picture, PUCHAR out, LONG y, LONG width, LONG height,
                                            FrostSeeds& seeds) {
  FrostSeedNumbers numbers(seeds);
  FrostYuy2GroupsAvx2(picture, out, 0, width, y, width, height, numbers);
  numbers.Save(seeds);
}
#endif

// Output row y reads input rows y - reach ... y + reach - 2 at most, so once
// it is done, input row y - reach is read no more and its output can take
// its place: the output rows go to a ring of reach + 1 rows at the start of
// the scratch picture (small enough to stay in the first-level cache) and
// each is written back as soon as no later row reads the row it replaces.
template <typename Row>
VOID FrostRows(PUCHAR picture, PUCHAR scratch, LONG height, ULONG rowBytes, LONG reach, Row& row) {
  const LONG ringRows = height < reach + 1 ? height : reach + 1;
  for (LONG y = 0; y < height; ++y) {
    row(y, scratch + ULONG(y % ringRows) * rowBytes);
    if (y >= reach) {
      const LONG done = y - reach;
      std::memcpy(picture + ULONG(done) * rowBytes, scratch + ULONG(done % ringRows) * rowBytes, rowBytes);
    }
  }
  for (LONG done = height > reach ? height - reach : 0; done < height; ++done)
    std::memcpy(picture + ULONG(done) * rowBytes, scratch + ULONG(done % ringRows) * rowBytes, rowBytes);
}

// Rows in runs that each lie in one block of numbers, drawing the next block
// when one is used up. A unit is a pixel (RGB) or a pair (YUY2) of
// `unitPixels` pixels.
struct FrostBlockRows {
  const UCHAR* picture;
  LONG width, height, unitPixels;
  FrostRun run;
  ULONG left;  // numbers still to draw
  ULONG have, used;
  USHORT draws[kFrostDraws];

  void operator()(LONG y, PUCHAR out) {
    const LONG units = width / unitPixels;
    for (LONG u = 0; u < units;) {
      if (used == have) {
        have = left < kFrostDraws ? left : kFrostDraws;
        rand_block(draws, have);
        left -= have;
        used = 0;
      }
      const LONG avail = LONG((have - used) / 2);
      const LONG n = units - u < avail ? units - u : avail;
      run(picture, out, u * unitPixels, n, y, width, height, draws + used);
      used += 2 * ULONG(n);
      u += n;
    }
  }
};

VOID FrostBlocks(PUCHAR picture, PUCHAR scratch, LONG width, LONG height, ULONG rowBytes, LONG unitPixels,
                 LONG reach, FrostRun run) {
  FrostBlockRows rows{picture, width, height, unitPixels, run, 2 * ULONG(width / unitPixels) * ULONG(height), 0, 0, {}};
  FrostRows(picture, scratch, height, rowBytes, reach, rows);
}

#if QCAM_HAVE_X86_VECTORS
// The numbers of the whole picture are claimed at once, and each row
// computes its own from the seeds where the last one stopped.
typedef void (*FrostSeedRow)(const UCHAR* picture, PUCHAR out, LONG y, LONG width, LONG height, FrostSeeds& seeds);

struct FrostSeedRows {
  const UCHAR* picture;
  LONG width, height;
  FrostSeedRow row;
  FrostSeeds seeds;
  void operator()(LONG y, PUCHAR out) { row(picture, out, y, width, height, seeds); }
};

VOID FrostSeeded(PUCHAR picture, PUCHAR scratch, LONG width, LONG height, ULONG rowBytes, LONG unitPixels,
                 LONG reach, FrostSeedRow row) {
  const ULONG numbers = 2 * ULONG(width / unitPixels) * ULONG(height);
  FrostSeedRows rows{picture, width, height, row, FrostSeedsAfter(rand_claim(numbers))};
  FrostRows(picture, scratch, height, rowBytes, reach, rows);
}
#endif

}  // namespace

// RGB reads up to five rows back (reach 5), YUY2 six. The AVX2 rows compute
// their numbers in place when every row is whole groups of eight pixels
// (pairs).
VOID FrostedRgb(PUCHAR picture, LONG width, LONG height, PUCHAR scratch) {
  FrostRun run = FrostRunRgbPortable;
  const ULONG rowBytes = ULONG(width) * 3;
#if QCAM_HAVE_X86_VECTORS
  const VectorLevel level = FrostFits(width, height) ? EffectVectorLevel() : VectorLevel::kPortable;
  if (level == VectorLevel::kAvx2 && width % 8 == 0)
    return FrostSeeded(picture, scratch, width, height, rowBytes, 1, 5, FrostRowRgbSeedsAvx2);
  if (level == VectorLevel::kAvx2) run = FrostRunRgbAvx2;
  if (level == VectorLevel::kSsse3) run = FrostRunRgbSsse3;
#endif
  FrostBlocks(picture, scratch, width, height, rowBytes, 1, 5, run);
}

VOID FrostedYuy2(PUCHAR picture, LONG width, LONG height, PUCHAR scratch) {
  FrostRun run = FrostRunYuy2Portable;
  const ULONG rowBytes = ULONG(width) * 2;
#if QCAM_HAVE_X86_VECTORS
  const VectorLevel level = FrostFits(width, height) ? EffectVectorLevel() : VectorLevel::kPortable;
  if (level == VectorLevel::kAvx2 && width % 16 == 0)
    return FrostSeeded(picture, scratch, width, height, rowBytes, 2, 6, FrostRowYuy2SeedsAvx2);
  if (level == VectorLevel::kAvx2) run = FrostRunYuy2Avx2;
  if (level == VectorLevel::kSsse3) run = FrostRunYuy2Ssse3;
#endif
  FrostBlocks(picture, scratch, width, height, rowBytes, 2, 6, run);
}
