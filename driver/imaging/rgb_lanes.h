// Vector helpers for 24-bit RGB pictures. A step covers 32 pixels as two
// blocks of 16 pixels (48 bytes each): three 256-bit registers hold the first
// block in their low halves and the second in their high halves, so byte
// shuffles, which work within halves, can reach every byte of a block.
#pragma once

#include "driver/imaging/vector_level.h"
#include "platform/nt/ntddk.h"

#if QCAM_HAVE_X86_VECTORS
#include <immintrin.h>

namespace rgb_lanes {

constexpr ULONG kStepPixels = 32;
constexpr ULONG kStepBytes = kStepPixels * 3;
constexpr ULONG kBlockBytes = 48;

struct Block3 {
  __m256i r[3];
};

// The 96 bytes at p: bytes 0..47 in the low halves, 48..95 in the high ones.
QCAM_TARGET_AVX2 inline Block3 Load(const UCHAR* p) {
  Block3 b;
  for (int k = 0; k < 3; ++k) {
    const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
    const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + kBlockBytes + 16 * k));
    b.r[k] = _mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1);
  }
  return b;
}

QCAM_TARGET_AVX2 inline void Store(UCHAR* p, const Block3& b) {
  for (int k = 0; k < 3; ++k) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 16 * k), _mm256_castsi256_si128(b.r[k]));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + kBlockBytes + 16 * k), _mm256_extracti128_si256(b.r[k], 1));
  }
}

// A byte gather within a 48-byte block: for each of the 16 output bytes the
// block byte 0..47 it takes, or -1 for zero. Masks[k] picks what lies in
// register k (and zeroes the rest), so the gather is the OR of the three
// shuffles; registers a gather never reads are left out by the callers.
struct Gather {
  __m256i mask[3];
};

QCAM_TARGET_AVX2 inline Gather MakeGather(const signed char (&from)[16]) {
  Gather g;
  for (int k = 0; k < 3; ++k) {
    alignas(16) signed char m[16];
    for (int j = 0; j < 16; ++j) {
      const int s = from[j];
      m[j] = (s >= 0 && s / 16 == k) ? static_cast<signed char>(s % 16) : static_cast<signed char>(-128);
    }
    g.mask[k] = _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(m)));
  }
  return g;
}

QCAM_TARGET_AVX2 inline __m256i Pick(const Block3& b, const Gather& g, int first, int second) {
  return _mm256_or_si256(_mm256_shuffle_epi8(b.r[first], g.mask[first]),
                         _mm256_shuffle_epi8(b.r[second], g.mask[second]));
}

// Pixel channels of one half-block as 16-bit lanes: for the 8 pixels from
// `base` (0 or 8), `pair` holds each pixel's bytes `c0`, `c1` side by side
// and `single` its byte `c2` followed by a zero, ready for multiply-add.
struct ChannelGathers {
  Gather pair[2];
  Gather single[2];
};

QCAM_TARGET_AVX2 inline ChannelGathers MakeChannelGathers(int c0, int c1, int c2) {
  ChannelGathers c;
  for (int half = 0; half < 2; ++half) {
    signed char pair[16], single[16];
    for (int k = 0; k < 8; ++k) {
      const int pixel = half * 8 + k;
      pair[2 * k] = static_cast<signed char>(pixel * 3 + c0);
      pair[2 * k + 1] = static_cast<signed char>(pixel * 3 + c1);
      single[2 * k] = static_cast<signed char>(pixel * 3 + c2);
      single[2 * k + 1] = -1;
    }
    c.pair[half] = MakeGather(pair);
    c.single[half] = MakeGather(single);
  }
  return c;
}

// Pixels 0..7 of a block lie in registers 0 and 1, pixels 8..15 in 1 and 2.
QCAM_TARGET_AVX2 inline __m256i PickPair(const Block3& b, const ChannelGathers& c, int half) {
  return Pick(b, c.pair[half], half, half + 1);
}
QCAM_TARGET_AVX2 inline __m256i PickSingle(const Block3& b, const ChannelGathers& c, int half) {
  return Pick(b, c.single[half], half, half + 1);
}

// Spreads 16 bytes (one per pixel, in each half) over the three bytes of
// their pixels.
struct Spread {
  __m256i mask[3];
};

QCAM_TARGET_AVX2 inline Spread MakeSpread() {
  Spread s;
  for (int k = 0; k < 3; ++k) {
    alignas(16) signed char m[16];
    for (int j = 0; j < 16; ++j) m[j] = static_cast<signed char>((16 * k + j) / 3);
    s.mask[k] = _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(m)));
  }
  return s;
}

QCAM_TARGET_AVX2 inline Block3 SpreadOver(__m256i perPixel, const Spread& s) {
  Block3 b;
  for (int k = 0; k < 3; ++k) b.r[k] = _mm256_shuffle_epi8(perPixel, s.mask[k]);
  return b;
}

// A per-byte constant repeating every pixel (B, G, R), laid out as the three
// registers of a block.
QCAM_TARGET_AVX2 inline Block3 PerChannel(UCHAR b, UCHAR g, UCHAR r) {
  const UCHAR v[3] = {b, g, r};
  Block3 out;
  for (int k = 0; k < 3; ++k) {
    alignas(16) UCHAR m[16];
    for (int j = 0; j < 16; ++j) m[j] = v[(16 * k + j) % 3];
    out.r[k] = _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(m)));
  }
  return out;
}

}  // namespace rgb_lanes

#endif  // QCAM_HAVE_X86_VECTORS
