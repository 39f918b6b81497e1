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
#endif

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

bool RowPlansUsable() { return EffectVectorLevel() >= VectorLevel::kSsse3; }

VOID GatherPlannedChunks(PUCHAR out, const UCHAR* srow, const VOID* plan) {
  const RowPlanHeader* h = static_cast<const RowPlanHeader*>(plan);
#if QCAM_HAVE_X86_VECTORS
  if (RowPlansUsable()) {
    GatherSsse3(out, srow, h);
    return;
  }
#endif
  const LONG* offsets = Offsets(h);
  const UCHAR* masks = Masks(h);
  for (LONG c = 0; c < h->Chunks; ++c) {
    if (offsets[c] < 0) continue;
    const UCHAR* s = srow + offsets[c];
    for (LONG k = 0; k < kPlanChunk; ++k) out[size_t(c) * kPlanChunk + k] = s[masks[size_t(c) * kPlanChunk + k]];
  }
}
