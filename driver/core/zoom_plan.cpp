// Row plans of the digital zoom: building them and the shuffled gather.
#include "driver/core/zoom_plan.h"

#include <cstring>

#include "driver/imaging/vector_level.h"

#if QCAM_HAVE_X86_VECTORS
#include <immintrin.h>
#endif

namespace {

LONG ChunksOf(LONG rowBytes) { return (rowBytes + kPlanChunk - 1) / kPlanChunk; }

LONG* Offsets(RowPlanHeader* h) { return reinterpret_cast<LONG*>(h + 1); }
const LONG* Offsets(const RowPlanHeader* h) { return reinterpret_cast<const LONG*>(h + 1); }
UCHAR* Masks(RowPlanHeader* h) { return reinterpret_cast<UCHAR*>(Offsets(h) + 2 * h->Chunks); }
const UCHAR* Masks(const RowPlanHeader* h) { return reinterpret_cast<const UCHAR*>(Offsets(h) + 2 * h->Chunks); }

#if QCAM_HAVE_X86_VECTORS
QCAM_TARGET_SSSE3 VOID GatherSsse3(PUCHAR out, const UCHAR* srow, const RowPlanHeader* h) {
  const LONG* offsets = Offsets(h);
  const UCHAR* masks = Masks(h);
  for (LONG c = 0; c < h->Chunks; ++c) {
    const LONG offset = offsets[c];
    if (offset < 0) continue;
    const __m128i source = _mm_loadu_si128(reinterpret_cast<const __m128i*>(srow + offset));
    const __m128i mask = _mm_loadu_si128(reinterpret_cast<const __m128i*>(masks + size_t(c) * kPlanChunk));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + size_t(c) * kPlanChunk), _mm_shuffle_epi8(source, mask));
  }
}

// Two chunks per step: their two 16-byte source loads side by side in one
// register, each lane shuffled by its own chunk's mask.
QCAM_TARGET_AVX2 VOID GatherAvx2(PUCHAR out, const UCHAR* srow, const RowPlanHeader* h) {
  const LONG* offsets = Offsets(h);
  const UCHAR* masks = Masks(h);
  LONG c = 0;
  for (; c + 1 < h->Chunks; c += 2) {
    const LONG o0 = offsets[c], o1 = offsets[c + 1];
    if ((o0 | o1) < 0) {
      // One of the two (or both) is the caller's: the other alone.
      const LONG one = o0 >= 0 ? c : (o1 >= 0 ? c + 1 : -1);
      if (one < 0) continue;
      const __m128i source = _mm_loadu_si128(reinterpret_cast<const __m128i*>(srow + offsets[one]));
      const __m128i mask = _mm_loadu_si128(reinterpret_cast<const __m128i*>(masks + size_t(one) * kPlanChunk));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + size_t(one) * kPlanChunk), _mm_shuffle_epi8(source, mask));
      continue;
    }
    const __m256i source = _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(srow + o0))),
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(srow + o1)), 1);
    const __m256i mask = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(masks + size_t(c) * kPlanChunk));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + size_t(c) * kPlanChunk), _mm256_shuffle_epi8(source, mask));
  }
  if (c < h->Chunks && offsets[c] >= 0) {
    const __m128i source = _mm_loadu_si128(reinterpret_cast<const __m128i*>(srow + offsets[c]));
    const __m128i mask = _mm_loadu_si128(reinterpret_cast<const __m128i*>(masks + size_t(c) * kPlanChunk));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + size_t(c) * kPlanChunk), _mm_shuffle_epi8(source, mask));
  }
}
#endif

VOID GatherPortable(PUCHAR out, const UCHAR* srow, const RowPlanHeader* h) {
  const LONG* offsets = Offsets(h);
  const UCHAR* masks = Masks(h);
  for (LONG c = 0; c < h->Chunks; ++c) {
    if (offsets[c] < 0) continue;
    const UCHAR* s = srow + offsets[c];
    for (LONG k = 0; k < kPlanChunk; ++k) out[size_t(c) * kPlanChunk + k] = s[masks[size_t(c) * kPlanChunk + k]];
  }
}

template <VOID (*Gather)(PUCHAR, const UCHAR*, const RowPlanHeader*)>
VOID GatherAs(PUCHAR out, const UCHAR* srow, const VOID* plan) {
  Gather(out, srow, static_cast<const RowPlanHeader*>(plan));
}

}  // namespace

size_t RowPlanBytes(LONG rowBytes) {
  const size_t chunks = size_t(ChunksOf(rowBytes > 0 ? rowBytes : 0));
  return sizeof(RowPlanHeader) + chunks * (2 * sizeof(LONG) + kPlanChunk);
}

VOID BuildRowPlan(PVOID plan, const LONG* map, LONG rowBytes) {
  RowPlanHeader* h = static_cast<RowPlanHeader*>(plan);
  h->RowBytes = rowBytes > 0 ? rowBytes : 0;
  h->Chunks = ChunksOf(h->RowBytes);
  h->Unplanned = 0;
  LONG* offsets = Offsets(h);
  LONG* unplanned = offsets + h->Chunks;
  UCHAR* masks = Masks(h);
  for (LONG c = 0; c < h->Chunks; ++c) {
    const LONG first = c * kPlanChunk;
    // A short last chunk, a byte the caller fills, samples further apart
    // than one load, or a load running past the row's end: the caller's.
    bool shuffled = first + kPlanChunk <= h->RowBytes;
    LONG lo = 0x7FFFFFFF, hi = -1;
    for (LONG k = first; shuffled && k < first + kPlanChunk; ++k) {
      if (map[k] < 0) shuffled = false;
      if (map[k] < lo) lo = map[k];
      if (map[k] > hi) hi = map[k];
    }
    shuffled = shuffled && hi - lo < kPlanChunk && lo + kPlanChunk <= h->RowBytes;
    if (!shuffled) {
      offsets[c] = -1;
      unplanned[h->Unplanned++] = c;
      continue;
    }
    offsets[c] = lo;
    for (LONG k = 0; k < kPlanChunk; ++k) masks[size_t(c) * kPlanChunk + k] = UCHAR(map[first + k] - lo);
  }
}

VOID PlanReadSpan(const VOID* plan, const LONG* map, LONG* first, LONG* end) {
  const RowPlanHeader* h = static_cast<const RowPlanHeader*>(plan);
  const LONG* offsets = Offsets(h);
  LONG lo = 0x7FFFFFFF, hi = 0;
  for (LONG c = 0; c < h->Chunks; ++c) {
    if (offsets[c] >= 0) {
      if (offsets[c] < lo) lo = offsets[c];
      if (offsets[c] + kPlanChunk > hi) hi = offsets[c] + kPlanChunk;
      continue;
    }
    const LONG chunkEnd = (c + 1) * kPlanChunk < h->RowBytes ? (c + 1) * kPlanChunk : h->RowBytes;
    for (LONG k = c * kPlanChunk; k < chunkEnd; ++k) {
      if (map[k] < 0) continue;
      if (map[k] < lo) lo = map[k];
      if (map[k] + 1 > hi) hi = map[k] + 1;
    }
  }
  if (lo >= hi) lo = hi = 0;
  *first = lo;
  *end = hi;
}

bool RowPlansUsable() { return EffectVectorLevel() >= VectorLevel::kSsse3; }

RowGather SelectRowGather() {
#if QCAM_HAVE_X86_VECTORS
  const VectorLevel level = EffectVectorLevel();
  if (level >= VectorLevel::kAvx2) return GatherAs<GatherAvx2>;
  if (level >= VectorLevel::kSsse3) return GatherAs<GatherSsse3>;
#endif
  return GatherAs<GatherPortable>;
}

VOID GatherPlannedChunks(PUCHAR out, const UCHAR* srow, const VOID* plan) { SelectRowGather()(out, srow, plan); }
