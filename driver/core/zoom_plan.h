// Row plans of the digital zoom. Every output row of a zoomed picture is
// gathered from one source row by a byte map that is the same for all rows
// (the window's columns do not change from row to row). A plan cuts the
// output row into 16-byte chunks; a chunk whose samples all lie inside the
// row within 16 bytes of each other is produced by one byte shuffle of the 16
// source bytes at its offset, every other chunk is left to the caller's own
// byte-by-byte loop. The shuffle gives the same bytes as that loop.
#pragma once

#include "platform/nt/ntddk.h"

constexpr LONG kPlanChunk = 16;

// Bytes a plan for rows of up to `rowBytes` bytes occupies (a multiple of 4).
size_t RowPlanBytes(LONG rowBytes);

// Builds the plan of a row of `rowBytes` bytes into `plan` (RowPlanBytes
// large): map[k] >= 0 names the source byte, within the source row, of output
// byte k; a negative entry makes its chunk one the caller fills.
VOID BuildRowPlan(PVOID plan, const LONG* map, LONG rowBytes);

// True when the processor has the byte shuffle (and the vector ceiling lets
// the zoom use it); callers otherwise keep their portable loops.
bool RowPlansUsable();

// Writes every shuffled chunk of `out` from `srow`; chunks the plan leaves
// to the caller are not touched.
VOID GatherPlannedChunks(PUCHAR out, const UCHAR* srow, const VOID* plan);

// GatherPlannedChunks at one vector level, chosen once for a whole picture:
// the widest gather the processor and the vector ceiling allow.
using RowGather = VOID (*)(PUCHAR out, const UCHAR* srow, const VOID* plan);
RowGather SelectRowGather();

// The bytes of a source row that a row gathered through `plan`, with the
// caller's chunks taken from `map`, reads: [*first, *end), empty (both 0)
// when it reads none. The shuffled chunks count with their whole loads.
VOID PlanReadSpan(const VOID* plan, const LONG* map, LONG* first, LONG* end);

// The chunks the plan leaves to the caller, as [first, end) byte ranges of
// the row: calls `fill(first, end)` for each, in order.
template <class Fill>
VOID ForEachUnplannedChunk(const VOID* plan, Fill fill);

// ---- layout of a plan ------------------------------------------------------
struct RowPlanHeader {
  LONG RowBytes;
  LONG Chunks;       // chunks of the row, the last one possibly short
  LONG Unplanned;    // how many of them the caller fills
};
// Followed by LONG Offset[Chunks] (-1: the caller's), LONG UnplannedList[Chunks]
// and UCHAR Mask[Chunks][16].

template <class Fill>
VOID ForEachUnplannedChunk(const VOID* plan, Fill fill) {
  const RowPlanHeader* h = static_cast<const RowPlanHeader*>(plan);
  const LONG* list = reinterpret_cast<const LONG*>(h + 1) + h->Chunks;
  for (LONG n = 0; n < h->Unplanned; ++n) {
    const LONG first = list[n] * kPlanChunk;
    const LONG end = first + kPlanChunk < h->RowBytes ? first + kPlanChunk : h->RowBytes;
    fill(first, end);
  }
}
