// Digital zoom: a window of the frame enlarged to the whole frame in place by
// nearest-neighbour sampling.
//
// The window is W * 1000 / scale pixels wide and H * 1000 / scale high, with its
// top-left corner at (left, top). Output pixel (j, i) samples the source at
// (left + j * s, top + i * s), s = 1000 / scale, the coordinates being
// accumulated by repeated addition of s in double precision and truncated. The
// portable loops build the result in the zoom source buffer and copy it back
// over the frame; the planned paths save only the source bytes the window
// samples into that buffer and gather the result straight into the frame.
#include "driver/core/zoom.h"

#include <cstring>

#include "driver/core/settings.h"
#include "driver/core/zoom_plan.h"
#include "shared/qcam_defs.h"

namespace {

// The user's pan offsets are kept in pixels of this reference frame.
constexpr LONG kReferenceWidth = 640;
constexpr LONG kReferenceHeight = 480;
constexpr ULONG kScaleOne = 1000;

constexpr UCHAR kBlackLuma = 0;
constexpr UCHAR kNeutralChroma = 128;

// Truncation toward zero, saturated to the 32-bit range so that no window
// corner, however far out, makes an out-of-range conversion.
inline LONG Truncate(double v) {
  if (v >= 2147483647.0) return 0x7FFFFFFF;
  if (v <= -2147483648.0) return LONG(-0x7FFFFFFF - 1);
  return static_cast<LONG>(v);
}

// Frees the source buffer and the coordinate table, whichever exist.
VOID ReleaseZoomBuffers(CameraDeviceState* dev) {
  if (dev->ZoomSourceBuffer) ExFreePool(dev->ZoomSourceBuffer);
  dev->ZoomSourceBuffer = nullptr;
  dev->ZoomSourceSize = 0;
  if (dev->ZoomTable) ExFreePool(dev->ZoomTable);
  dev->ZoomTable = nullptr;
  dev->ZoomTableRebuild = 0;
}

// The source buffer carries, after its W x H x 3 bytes, room for one column
// map entry per output column: the direct paths compute the sampled source
// columns once per frame there instead of once per pixel.
// The map's first entry records the width it was sized for.
size_t ColumnMapOffset(ULONG bytes) { return (size_t(bytes) + 3) & ~size_t(3); }
// After the column map, one word per output row says whether the table
// makes that row a copy of the row before (built and used with the table),
// and one more its source row's first byte (-1 outside the frame). Then a
// byte map of one row (3 W words) and three row plans: the direct paths'
// (luma for I420), I420's chroma and the table's, the last built with the
// table and kept with it, followed by the span of source row bytes the
// table's rows read (two words, built with the table) and the record of what
// the column maps and the other two plans were last built for.
enum PlanSlot { kDirectPlan = 0, kChromaPlan = 1, kTablePlan = 2, kPlanSlots = 3 };
// The planned direct and I420 paths build their maps and plans once for a
// window and keep them while the window stays: they depend on the layout,
// the scale and the window's left edge only. Anything else that writes the
// column map or the byte map (the portable loops, a table build) clears it.
struct PlanCache {
  LONG Valid;
  LONG Format;
  ULONG Scale;
  LONG Left;
  LONG First[2];  // spans of source row bytes the plans read:
  LONG End[2];    // the direct (or luma) plan, the chroma plan
  // The layout the table was last built for, plus one; 0 until it is first
  // built (buffers allocated by a zoom without the table hold zeros). A
  // table of another layout addresses rows of another length.
  LONG TableLayout;
};
size_t SourceAllocation(ULONG bytes, LONG width, LONG height) {
  return ColumnMapOffset(bytes) + (size_t(width) * 4 + size_t(height) * 2 + 1 + 2) * sizeof(LONG) +
         kPlanSlots * RowPlanBytes(width * 3) + sizeof(PlanCache);
}
PLONG ColumnMapHeader(CameraDeviceState* dev) {
  return reinterpret_cast<PLONG>(dev->ZoomSourceBuffer + ColumnMapOffset(dev->ZoomSourceSize));
}
PLONG ColumnMap(CameraDeviceState* dev) { return ColumnMapHeader(dev) + 1; }
PLONG RowRepeats(CameraDeviceState* dev) { return ColumnMap(dev) + dev->Width; }
PLONG RowBases(CameraDeviceState* dev) { return RowRepeats(dev) + dev->Height; }
PLONG ByteMap(CameraDeviceState* dev) { return RowBases(dev) + dev->Height; }
PVOID Plan(CameraDeviceState* dev, PlanSlot slot) {
  return reinterpret_cast<PUCHAR>(ByteMap(dev) + size_t(dev->Width) * 3) + slot * RowPlanBytes(dev->Width * 3);
}
PLONG TableSpan(CameraDeviceState* dev) { return static_cast<PLONG>(Plan(dev, kPlanSlots)); }
PlanCache* Cache(CameraDeviceState* dev) { return reinterpret_cast<PlanCache*>(TableSpan(dev) + 2); }
bool CacheHolds(CameraDeviceState* dev, LONG format, ULONG scale, LONG left) {
  const PlanCache* c = Cache(dev);
  return c->Valid && c->Format == format && c->Scale == scale && c->Left == left;
}
VOID KeepInCache(CameraDeviceState* dev, LONG format, ULONG scale, LONG left) {
  PlanCache* c = Cache(dev);
  c->Valid = 1;
  c->Format = format;
  c->Scale = scale;
  c->Left = left;
}

// The byte maps of the plans: the source byte of every output byte of a
// row, or -1 - v for a byte of constant value v (a sample outside the frame).
constexpr LONG Constant(UCHAR v) { return -1 - LONG(v); }
inline UCHAR ConstantValue(LONG entry) { return UCHAR(-1 - entry); }

VOID Yuy2ByteMap(PLONG bytes, const LONG* map, LONG w) {
  for (LONG j = 0; j < w; j += 2) {
    const LONG sx0 = map[j], sx1 = map[j + 1];
    const bool in0 = sx0 >= 0 && sx0 < w, in1 = sx1 >= 0 && sx1 < w;
    PLONG o = bytes + size_t(j) * 2;
    o[0] = in0 ? sx0 * 2 : Constant(kBlackLuma);
    o[2] = in1 ? sx1 * 2 : Constant(kBlackLuma);
    o[1] = in0 ? (sx0 & ~1L) * 2 + 1 : Constant(kNeutralChroma);
    o[3] = in0 ? (sx0 & ~1L) * 2 + 3 : Constant(kNeutralChroma);
  }
}

VOID Rgb24ByteMap(PLONG bytes, const LONG* map, LONG w) {
  for (LONG j = 0; j < w; ++j) {
    const bool in = map[j] >= 0 && map[j] < w;
    for (LONG c = 0; c < 3; ++c) bytes[size_t(j) * 3 + c] = in ? map[j] * 3 + c : Constant(0);
  }
}

// One output row of a direct path from source row `srow`.
VOID GatherDirectRow(RowGather gather, PUCHAR out, const UCHAR* srow, const LONG* bytes, const VOID* plan) {
  gather(out, srow, plan);
  ForEachUnplannedChunk(plan, [&](LONG first, LONG end) {
    for (LONG k = first; k < end; ++k) out[k] = bytes[k] >= 0 ? srow[bytes[k]] : ConstantValue(bytes[k]);
  });
}

// Makes sure both buffers exist for a frame of `bytes` = W x H x 3. Reports
// whether they were (re)allocated just now, so the table must be rebuilt.
NTSTATUS EnsureZoomBuffers(CameraDeviceState* dev, ULONG bytes, BOOLEAN* fresh) {
  *fresh = FALSE;
  // A buffer sized for another frame size is as good as none: the frame size
  // only changes across a bandwidth release, but a stale pair must never be
  // used to address a larger frame.
  if (dev->ZoomSourceBuffer && dev->ZoomTable && dev->ZoomSourceSize == bytes && *ColumnMapHeader(dev) == dev->Width)
    return STATUS_SUCCESS;
  ReleaseZoomBuffers(dev);
  PUCHAR source = static_cast<PUCHAR>(ExAllocatePool(NonPagedPool, SourceAllocation(bytes, dev->Width, dev->Height)));
  PULONG table = source ? static_cast<PULONG>(ExAllocatePool(NonPagedPool, size_t(bytes) * sizeof(ULONG))) : nullptr;
  if (!source || !table) {
    if (source) ExFreePool(source);
    dev->ZoomEnable = 0;
    return STATUS_INSUFFICIENT_RESOURCES;
  }
  RtlZeroMemory(source, SourceAllocation(bytes, dev->Width, dev->Height));
  RtlZeroMemory(table, size_t(bytes) * sizeof(ULONG));
  dev->ZoomSourceBuffer = source;
  dev->ZoomSourceSize = bytes;
  *ColumnMapHeader(dev) = dev->Width;
  dev->ZoomTable = table;
  *fresh = TRUE;
  return STATUS_SUCCESS;
}

// ---- YUY2 -------------------------------------------------------------------
// Output pixel pair (2p, 2p + 1) takes its two lumas from the source pixels
// it samples and its U and V from the source pair that holds the first of
// them. Samples outside the frame are black (luma 0, chroma 128).

// Source column of every output column: the coordinate accumulated by
// repeated addition of s from the window's left edge, as in the table.
VOID FillColumnMap(PLONG map, LONG w, double s, LONG left) {
  double fx = left;
  for (LONG j = 0; j < w; ++j, fx += s) map[j] = Truncate(fx);
}

VOID ZoomYuy2Direct(const UCHAR* src, PUCHAR dst, LONG w, LONG h, double s, LONG left, LONG top, PLONG map) {
  const size_t rowBytes = size_t(w) * 2;
  FillColumnMap(map, w, s, left);
  double fy = top;
  LONG previous = -1;
  for (LONG i = 0; i < h; ++i, fy += s) {
    const LONG sy = Truncate(fy);
    PUCHAR out = dst + size_t(i) * rowBytes;
    const bool rowInside = sy >= 0 && sy < h;
    // Enlarged rows repeat: a row sampling the same source row as the one
    // before is a copy of it.
    if (i > 0 && sy == previous) {
      memcpy(out, out - rowBytes, rowBytes);
      continue;
    }
    previous = sy;
    const UCHAR* srow = rowInside ? src + size_t(sy) * rowBytes : nullptr;
    for (LONG j = 0; j < w; j += 2) {
      const LONG sx0 = map[j], sx1 = map[j + 1];
      const bool in0 = rowInside && sx0 >= 0 && sx0 < w;
      const bool in1 = rowInside && sx1 >= 0 && sx1 < w;
      PUCHAR o = out + size_t(j) * 2;
      o[0] = in0 ? srow[sx0 * 2] : kBlackLuma;
      o[2] = in1 ? srow[sx1 * 2] : kBlackLuma;
      if (in0) {
        const UCHAR* pair = srow + (sx0 & ~1L) * 2;
        o[1] = pair[1];
        o[3] = pair[3];
      } else {
        o[1] = kNeutralChroma;
        o[3] = kNeutralChroma;
      }
    }
  }
}

// Fills the table with the source byte of every output byte; samples outside
// the frame name byte 0.
VOID BuildYuy2Table(PULONG table, PLONG repeats, LONG w, LONG h, double s, LONG left, LONG top) {
  const ULONG rowBytes = ULONG(w) * 2;
  double fy = top;
  LONG previous = 0;
  for (LONG i = 0; i < h; ++i, fy += s) {
    const LONG sy = Truncate(fy);
    repeats[i] = i > 0 && sy == previous;
    previous = sy;
    const bool rowInside = sy >= 0 && sy < h;
    const ULONG rowBase = rowInside ? ULONG(sy) * rowBytes : 0;
    PULONG t = table + size_t(i) * rowBytes;
    double fx = left;
    for (LONG j = 0; j < w; j += 2) {
      const LONG sx0 = Truncate(fx);
      fx += s;
      const LONG sx1 = Truncate(fx);
      fx += s;
      const bool in0 = rowInside && sx0 >= 0 && sx0 < w;
      const bool in1 = rowInside && sx1 >= 0 && sx1 < w;
      PULONG o = t + size_t(j) * 2;
      o[0] = in0 ? rowBase + ULONG(sx0) * 2 : 0;
      o[2] = in1 ? rowBase + ULONG(sx1) * 2 : 0;
      const ULONG pair = rowBase + ULONG(sx0 & ~1L) * 2;
      o[1] = in0 ? pair + 1 : 0;
      o[3] = in0 ? pair + 3 : 0;
    }
  }
}

// ---- RGB24 ------------------------------------------------------------------
// Each output pixel copies the three bytes of the source pixel it samples, or
// is black outside the frame. Rows are taken in memory order, so for a
// bottom-up frame `top` counts from the bottom row.

VOID ZoomRgb24Direct(const UCHAR* src, PUCHAR dst, LONG w, LONG h, double s, LONG left, LONG top, PLONG map) {
  const size_t rowBytes = size_t(w) * 3;
  FillColumnMap(map, w, s, left);
  double fy = top;
  LONG previous = -1;
  for (LONG i = 0; i < h; ++i, fy += s) {
    const LONG sy = Truncate(fy);
    PUCHAR out = dst + size_t(i) * rowBytes;
    if (i > 0 && sy == previous) {
      memcpy(out, out - rowBytes, rowBytes);
      continue;
    }
    previous = sy;
    if (sy < 0 || sy >= h) {
      memset(out, 0, rowBytes);
      continue;
    }
    const UCHAR* srow = src + size_t(sy) * rowBytes;
    for (LONG j = 0; j < w; ++j) {
      const LONG sx = map[j];
      PUCHAR o = out + size_t(j) * 3;
      if (sx >= 0 && sx < w) {
        const UCHAR* p = srow + size_t(sx) * 3;
        o[0] = p[0];
        o[1] = p[1];
        o[2] = p[2];
      } else {
        o[0] = o[1] = o[2] = 0;
      }
    }
  }
}

VOID BuildRgb24Table(PULONG table, PLONG repeats, LONG w, LONG h, double s, LONG left, LONG top) {
  const ULONG rowBytes = ULONG(w) * 3;
  double fy = top;
  LONG previous = 0;
  for (LONG i = 0; i < h; ++i, fy += s) {
    const LONG sy = Truncate(fy);
    repeats[i] = i > 0 && sy == previous;
    previous = sy;
    const bool rowInside = sy >= 0 && sy < h;
    PULONG t = table + size_t(i) * rowBytes;
    double fx = left;
    for (LONG j = 0; j < w; ++j, fx += s) {
      const LONG sx = Truncate(fx);
      const bool in = rowInside && sx >= 0 && sx < w;
      const ULONG base = in ? ULONG(sy) * rowBytes + ULONG(sx) * 3 : 0;
      PULONG o = t + size_t(j) * 3;
      o[0] = base;
      o[1] = in ? base + 1 : 0;
      o[2] = in ? base + 2 : 0;
    }
  }
}

// Every output byte from the source byte its table entry names; a row the
// table repeats is copied from the row before.
VOID CopyThroughTable(const UCHAR* src, PUCHAR dst, const ULONG* table, const LONG* repeats, size_t rowBytes,
                      LONG h) {
  for (LONG i = 0; i < h; ++i) {
    PUCHAR out = dst + size_t(i) * rowBytes;
    if (repeats[i]) {
      memcpy(out, out - rowBytes, rowBytes);
      continue;
    }
    const ULONG* t = table + size_t(i) * rowBytes;
    for (size_t k = 0; k < rowBytes; ++k) out[k] = src[t[k]];
  }
}

// ---- I420 -------------------------------------------------------------------
// Output (j, i) samples (left + (j + 1) s, top + (i + 1) s). The window is
// first moved back inside the frame, and every sample coordinate is clamped
// to the frame as well, so that no window, however it was computed (user
// offsets at a scale below 1.0x, automatic framing, rounding of the
// accumulated coordinates), reads outside the planes.

inline LONG ClampCoord(LONG v, LONG limit) { return v < 0 ? 0 : (v >= limit ? limit - 1 : v); }

LONG BoundI420Origin(LONG origin, LONG size, double s) {
  // The last sample sits at origin + size * s; keep it on the last pixel.
  const LONG span = Truncate(size * s);
  LONG highest = size - 1 - span;
  if (highest < 0) highest = 0;
  if (origin > highest) origin = highest;
  if (origin < 0) origin = 0;
  return origin;
}

// The planes of an I420 picture of w x h and the window's origin bounded
// for it, shared by the portable and the planned zoom.
struct I420Zoom {
  const UCHAR* srcU;
  const UCHAR* srcV;
  PUCHAR dstU;
  PUCHAR dstV;
  LONG cw;
  LONG left;
  LONG top;
};

I420Zoom SetUpI420Zoom(const UCHAR* src, PUCHAR dst, LONG w, LONG h, double s, LONG left, LONG top) {
  I420Zoom z;
  z.left = BoundI420Origin(left, w, s);
  z.top = BoundI420Origin(top, h, s);
  const size_t lumaBytes = size_t(w) * size_t(h);
  z.cw = w / 2;
  const size_t chromaBytes = size_t(z.cw) * size_t(h / 2);
  z.srcU = src + lumaBytes;
  z.srcV = z.srcU + chromaBytes;
  z.dstU = dst + lumaBytes;
  z.dstV = z.dstU + chromaBytes;
  return z;
}

// Source column of every output column for I420: s is added before each
// column is read, and the column is held inside the picture.
VOID FillI420ColumnMap(PLONG map, LONG w, double s, LONG left) {
  double fx = left;
  for (LONG j = 0; j < w; ++j) {
    fx += s;
    map[j] = ClampCoord(Truncate(fx), w);
  }
}

VOID ZoomI420(const UCHAR* src, PUCHAR dst, LONG w, LONG h, double s, LONG left, LONG top, PLONG map) {
  const I420Zoom z = SetUpI420Zoom(src, dst, w, h, s, left, top);
  const LONG cw = z.cw;
  const UCHAR *srcU = z.srcU, *srcV = z.srcV;
  PUCHAR dstU = z.dstU, dstV = z.dstV;
  FillI420ColumnMap(map, w, s, z.left);
  double fy = z.top;
  LONG previousLuma = -1, previousChroma = -1;
  for (LONG i = 0; i < h; ++i) {
    fy += s;
    const LONG sy = ClampCoord(Truncate(fy), h);
    PUCHAR out = dst + size_t(i) * w;
    if (i > 0 && sy == previousLuma) {
      memcpy(out, out - w, size_t(w));
    } else {
      const UCHAR* srow = src + size_t(sy) * w;
      for (LONG j = 0; j < w; ++j) out[j] = srow[map[j]];
    }
    previousLuma = sy;
    // Each chroma sample is covered by four output pixels; the last of them
    // (odd row, odd column) decides it.
    if (i & 1) {
      const UCHAR* su = srcU + size_t(sy / 2) * cw;
      const UCHAR* sv = srcV + size_t(sy / 2) * cw;
      PUCHAR du = dstU + size_t(i / 2) * cw;
      PUCHAR dv = dstV + size_t(i / 2) * cw;
      if (i > 1 && sy / 2 == previousChroma) {
        memcpy(du, du - cw, size_t(cw));
        memcpy(dv, dv - cw, size_t(cw));
        continue;
      }
      previousChroma = sy / 2;
      for (LONG k = 0; k < cw; ++k) {
        const LONG sx = map[2 * k + 1];
        du[k] = su[sx / 2];
        dv[k] = sv[sx / 2];
      }
    }
  }
}

// ---- planned paths ------------------------------------------------------------
// The same pictures as the loops above, built in place: the source bytes the
// window samples (its rows, within the span of bytes the row plan reads) are
// first saved at their own offsets in the zoom source buffer, then every
// output row is written straight into the frame: rows repeating the row
// before are copies of it, rows outside the frame take their constants,
// every other row is gathered by its plan from the saved bytes. Source rows
// are sampled in rising order, so the save pass and the write pass walk the
// same rows. An enlarged window is a fraction of the frame, so saving it
// costs less than the copy of a whole built frame back over the frame.

// Saves bytes [first, end) of the source row at `offset`.
inline VOID SaveRowSpan(PUCHAR saved, const UCHAR* frame, size_t offset, LONG first, LONG end) {
  if (end > first) memcpy(saved + offset + first, frame + offset + first, size_t(end - first));
}

// The direct paths: YUY2 (`bytesPerPixel` 2) or RGB24 (3).
VOID ZoomDirectPlanned(CameraDeviceState* dev, PUCHAR frame, LONG bytesPerPixel, ULONG scale, double s, LONG left,
                       LONG top) {
  const LONG w = dev->Width, h = dev->Height;
  const LONG rowBytes = w * bytesPerPixel;
  PUCHAR saved = dev->ZoomSourceBuffer;
  PLONG map = ColumnMap(dev);
  PLONG bytes = ByteMap(dev);
  PVOID plan = Plan(dev, kDirectPlan);
  PlanCache* cache = Cache(dev);
  if (!CacheHolds(dev, dev->FormatIndex, scale, left)) {
    FillColumnMap(map, w, s, left);
    if (bytesPerPixel == 2)
      Yuy2ByteMap(bytes, map, w);
    else
      Rgb24ByteMap(bytes, map, w);
    BuildRowPlan(plan, bytes, rowBytes);
    PlanReadSpan(plan, bytes, &cache->First[0], &cache->End[0]);
    KeepInCache(dev, dev->FormatIndex, scale, left);
  }
  const LONG first = cache->First[0], end = cache->End[0];
  const RowGather gather = SelectRowGather();
  double fy = top;
  LONG previous = -1;
  for (LONG i = 0; i < h; ++i, fy += s) {
    const LONG sy = Truncate(fy);
    if (i > 0 && sy == previous) continue;
    previous = sy;
    if (sy >= 0 && sy < h) SaveRowSpan(saved, frame, size_t(sy) * rowBytes, first, end);
  }
  fy = top;
  previous = -1;
  for (LONG i = 0; i < h; ++i, fy += s) {
    const LONG sy = Truncate(fy);
    PUCHAR out = frame + size_t(i) * rowBytes;
    if (i > 0 && sy == previous) {
      memcpy(out, out - rowBytes, size_t(rowBytes));
      continue;
    }
    previous = sy;
    if (sy >= 0 && sy < h) {
      GatherDirectRow(gather, out, saved + size_t(sy) * rowBytes, bytes, plan);
    } else if (bytesPerPixel == 3) {
      memset(out, 0, size_t(rowBytes));
    } else {
      for (LONG k = 0; k < rowBytes; k += 2) {
        out[k] = kBlackLuma;
        out[k + 1] = kNeutralChroma;
      }
    }
  }
}

// Kept with the table: where each row's source row starts, the plan of the
// columns and the span of row bytes it reads, so that copying through the
// table reads the table only for the chunks the plan leaves (samples outside
// the frame).
VOID PlanTable(CameraDeviceState* dev, LONG bytesPerPixel, double s, LONG left, LONG top) {
  const LONG w = dev->Width, h = dev->Height;
  const LONG rowBytes = w * bytesPerPixel;
  PLONG map = ColumnMap(dev);
  PLONG bytes = ByteMap(dev);
  Cache(dev)->Valid = 0;
  FillColumnMap(map, w, s, left);
  if (bytesPerPixel == 2)
    Yuy2ByteMap(bytes, map, w);
  else
    Rgb24ByteMap(bytes, map, w);
  BuildRowPlan(Plan(dev, kTablePlan), bytes, rowBytes);
  PLONG span = TableSpan(dev);
  PlanReadSpan(Plan(dev, kTablePlan), bytes, &span[0], &span[1]);
  PLONG bases = RowBases(dev);
  double fy = top;
  for (LONG i = 0; i < h; ++i, fy += s) {
    const LONG sy = Truncate(fy);
    bases[i] = sy >= 0 && sy < h ? sy * rowBytes : -1;
  }
}

// The table names the frame's byte 0 for every sample outside the frame, so
// that byte is saved along with the sampled rows.
VOID CopyThroughTablePlanned(CameraDeviceState* dev, PUCHAR frame, const ULONG* table, size_t rowBytes) {
  const LONG* repeats = RowRepeats(dev);
  const LONG* bases = RowBases(dev);
  const VOID* plan = Plan(dev, kTablePlan);
  const RowGather gather = SelectRowGather();
  const LONG spanFirst = TableSpan(dev)[0], spanEnd = TableSpan(dev)[1];
  PUCHAR saved = dev->ZoomSourceBuffer;
  saved[0] = frame[0];
  for (LONG i = 0; i < dev->Height; ++i)
    if (!repeats[i] && bases[i] >= 0) SaveRowSpan(saved, frame, size_t(bases[i]), spanFirst, spanEnd);
  for (LONG i = 0; i < dev->Height; ++i) {
    PUCHAR out = frame + size_t(i) * rowBytes;
    const ULONG* t = table + size_t(i) * rowBytes;
    if (repeats[i]) {
      memcpy(out, out - rowBytes, rowBytes);
    } else if (bases[i] < 0) {
      for (size_t k = 0; k < rowBytes; ++k) out[k] = saved[t[k]];
    } else {
      gather(out, saved + bases[i], plan);
      ForEachUnplannedChunk(plan, [&](LONG first, LONG end) {
        for (LONG k = first; k < end; ++k) out[k] = saved[t[k]];
      });
    }
  }
}

VOID ZoomI420Planned(CameraDeviceState* dev, PUCHAR frame, ULONG scale, double s, LONG left, LONG top) {
  const LONG w = dev->Width, h = dev->Height;
  PUCHAR saved = dev->ZoomSourceBuffer;
  // The saved planes lie at the frame's own offsets in the source buffer.
  const I420Zoom from = SetUpI420Zoom(saved, frame, w, h, s, left, top);
  const LONG cw = from.cw;
  const size_t lumaBytes = size_t(w) * size_t(h);
  const size_t chromaBytes = size_t(cw) * size_t(h / 2);
  PLONG map = ColumnMap(dev);
  PLONG chroma = ByteMap(dev);
  PVOID lumaPlan = Plan(dev, kDirectPlan);
  PVOID chromaPlan = Plan(dev, kChromaPlan);
  PlanCache* cache = Cache(dev);
  if (!CacheHolds(dev, qcam::kFormatI420, scale, left)) {
    FillI420ColumnMap(map, w, s, from.left);
    for (LONG k = 0; k < cw; ++k) chroma[k] = map[2 * k + 1] / 2;
    BuildRowPlan(lumaPlan, map, w);
    BuildRowPlan(chromaPlan, chroma, cw);
    PlanReadSpan(lumaPlan, map, &cache->First[0], &cache->End[0]);
    PlanReadSpan(chromaPlan, chroma, &cache->First[1], &cache->End[1]);
    KeepInCache(dev, qcam::kFormatI420, scale, left);
  }
  const LONG lumaFirst = cache->First[0], lumaEnd = cache->End[0];
  const LONG chromaFirst = cache->First[1], chromaEnd = cache->End[1];
  const RowGather rowGather = SelectRowGather();
  double fy = from.top;
  LONG previousLuma = -1, previousChroma = -1;
  for (LONG i = 0; i < h; ++i) {
    fy += s;
    const LONG sy = ClampCoord(Truncate(fy), h);
    if (!(i > 0 && sy == previousLuma)) SaveRowSpan(saved, frame, size_t(sy) * w, lumaFirst, lumaEnd);
    previousLuma = sy;
    if (!(i & 1) || (i > 1 && sy / 2 == previousChroma)) continue;
    previousChroma = sy / 2;
    SaveRowSpan(saved, frame, lumaBytes + size_t(sy / 2) * cw, chromaFirst, chromaEnd);
    SaveRowSpan(saved, frame, lumaBytes + chromaBytes + size_t(sy / 2) * cw, chromaFirst, chromaEnd);
  }
  auto gather = [rowGather](PUCHAR out, const UCHAR* srow, const LONG* m, const VOID* plan) {
    rowGather(out, srow, plan);
    ForEachUnplannedChunk(plan, [&](LONG first, LONG end) {
      for (LONG k = first; k < end; ++k) out[k] = srow[m[k]];
    });
  };
  fy = from.top;
  previousLuma = -1;
  previousChroma = -1;
  for (LONG i = 0; i < h; ++i) {
    fy += s;
    const LONG sy = ClampCoord(Truncate(fy), h);
    PUCHAR out = frame + size_t(i) * w;
    if (i > 0 && sy == previousLuma)
      memcpy(out, out - w, size_t(w));
    else
      gather(out, saved + size_t(sy) * w, map, lumaPlan);
    previousLuma = sy;
    if (!(i & 1)) continue;
    PUCHAR du = from.dstU + size_t(i / 2) * cw;
    PUCHAR dv = from.dstV + size_t(i / 2) * cw;
    if (i > 1 && sy / 2 == previousChroma) {
      memcpy(du, du - cw, size_t(cw));
      memcpy(dv, dv - cw, size_t(cw));
      continue;
    }
    previousChroma = sy / 2;
    gather(du, from.srcU + size_t(sy / 2) * cw, chroma, chromaPlan);
    gather(dv, from.srcV + size_t(sy / 2) * cw, chroma, chromaPlan);
  }
}

}  // namespace

VOID RecomputeZoomWindow(CameraDeviceState* dev) { RecomputeZoomWindow(dev, dev->FormatIndex); }

VOID RecomputeZoomWindow(CameraDeviceState* dev, LONG formatIndex) {
  const ULONG scale = dev->ZoomScale;
  if (scale == 0) return;
  dev->ZoomTableRebuild = 1;
  if (scale == kScaleOne) {
    dev->ZoomXOffset = 0;
    dev->ZoomYOffset = 0;
    dev->ZoomWindowLeft = 0;
    dev->ZoomWindowTop = 0;
    return;
  }
  // Half the free margin of the reference frame, less one pixel, bounds the
  // pan so that the window stays inside the frame.
  const LONG cx = (kReferenceWidth - LONG(ULONG(kReferenceWidth * 1000) / scale)) / 2 - 1;
  const LONG cy = (kReferenceHeight - LONG(ULONG(kReferenceHeight * 1000) / scale)) / 2 - 1;
  LONG x = dev->ZoomXOffset;
  LONG y = dev->ZoomYOffset;
  if (x > cx) x = cx;
  if (x < -cx) x = -cx;
  if (y > cy) y = cy;
  if (y < -cy) y = -cy;
  dev->ZoomXOffset = x;
  dev->ZoomYOffset = y;
  dev->ZoomWindowLeft = LONG(LONGLONG(cx + x) * dev->Width / kReferenceWidth);
  // YUY2 frames are top-down while RGB24 frames are bottom-up, so the same
  // upward pan moves the window top the other way in memory for YUY2.
  const LONG topRef = formatIndex == qcam::kFormatYUY2 ? cy - y : cy + y;
  dev->ZoomWindowTop = LONG(LONGLONG(topRef) * dev->Height / kReferenceHeight);
  WriteDwordSetting(qcam::kKeyCurrent, u"ZoomScale", scale);
  WriteDwordSetting(qcam::kKeyCurrent, u"ZoomXofst", ULONG(x));
  WriteDwordSetting(qcam::kKeyCurrent, u"ZoomYofst", ULONG(y));
}

NTSTATUS ApplyZoom(CameraDeviceState* dev, PUCHAR frame, ULONG scale, LONG left, LONG top, BOOLEAN useTable,
                   PULONG table, PULONG tableRebuild) {
  if (!dev || !frame || scale == 0) return STATUS_INVALID_PARAMETER;
  const LONG w = dev->Width;
  const LONG h = dev->Height;
  if (w <= 0 || h <= 0 || LONGLONG(w) * h * 3 > LONGLONG(0x7FFFFFFF) / LONGLONG(sizeof(ULONG)))
    return STATUS_INVALID_PARAMETER;
  const LONG format = dev->FormatIndex;
  // MJPG (and anything unknown) cannot be resampled: the frame passes as is.
  if (format != qcam::kFormatYUY2 && format != qcam::kFormatRGB24 && format != qcam::kFormatI420)
    return STATUS_NOT_SUPPORTED;
  // Packed YUY2 needs whole pixel pairs; I420 needs whole chroma samples.
  if (format == qcam::kFormatYUY2 && (w & 1)) return STATUS_NOT_SUPPORTED;
  if (format == qcam::kFormatI420 && ((w & 1) || (h & 1))) return STATUS_NOT_SUPPORTED;

  const ULONG bufferBytes = ULONG(w) * ULONG(h) * 3;
  BOOLEAN fresh = FALSE;
  NTSTATUS status = EnsureZoomBuffers(dev, bufferBytes, &fresh);
  if (!NT_SUCCESS(status)) return status;
  PULONG rebuild = tableRebuild ? tableRebuild : &dev->ZoomTableRebuild;
  // A fresh table (or one the caller did not have yet) is the device's and
  // is built now, as is one never built since the buffers were allocated
  // (by a zoom without the table) or built for another layout. The request is taken before the build
  // starts, so that one made while the table is being built (a zoom property
  // on the request path) survives the build and is served on the next frame.
  if (useTable) table = dev->ZoomTable;
  const bool build =
      useTable && (__atomic_exchange_n(rebuild, 0u, __ATOMIC_ACQ_REL) == 1 || fresh ||
                                Cache(dev)->TableLayout != format + 1);

  const double s = 1000.0 / double(scale);
  PUCHAR out = dev->ZoomSourceBuffer;
  ULONG frameBytes = 0;
  // The planned paths give the same bytes as the loops, faster where the
  // processor has the byte shuffle, and write the frame in place.
  const bool planned = RowPlansUsable();
  switch (format) {
    case qcam::kFormatYUY2:
    case qcam::kFormatRGB24: {
      const LONG bytesPerPixel = format == qcam::kFormatYUY2 ? 2 : 3;
      frameBytes = ULONG(w) * ULONG(h) * ULONG(bytesPerPixel);
      const size_t rowBytes = size_t(w) * size_t(bytesPerPixel);
      if (useTable) {
        if (build) {
          if (bytesPerPixel == 2)
            BuildYuy2Table(table, RowRepeats(dev), w, h, s, left, top);
          else
            BuildRgb24Table(table, RowRepeats(dev), w, h, s, left, top);
          PlanTable(dev, bytesPerPixel, s, left, top);
          Cache(dev)->TableLayout = format + 1;
        }
        if (planned) {
          CopyThroughTablePlanned(dev, frame, table, rowBytes);
          return STATUS_SUCCESS;
        }
        Cache(dev)->Valid = 0;
        CopyThroughTable(frame, out, table, RowRepeats(dev), rowBytes, h);
      } else if (planned) {
        ZoomDirectPlanned(dev, frame, bytesPerPixel, scale, s, left, top);
        return STATUS_SUCCESS;
      } else if (bytesPerPixel == 2) {
        Cache(dev)->Valid = 0;
        ZoomYuy2Direct(frame, out, w, h, s, left, top, ColumnMap(dev));
      } else {
        Cache(dev)->Valid = 0;
        ZoomRgb24Direct(frame, out, w, h, s, left, top, ColumnMap(dev));
      }
      break;
    }
    default:
      frameBytes = ULONG(w) * ULONG(h) * 3 / 2;
      if (planned) {
        ZoomI420Planned(dev, frame, scale, s, left, top);
        return STATUS_SUCCESS;
      }
      Cache(dev)->Valid = 0;
      ZoomI420(frame, out, w, h, s, left, top, ColumnMap(dev));
      break;
  }
  RtlCopyMemory(frame, out, frameBytes);
  return STATUS_SUCCESS;
}

VOID FreeZoomBuffers(CameraDeviceState* dev) {
  if (!dev) return;
  ReleaseZoomBuffers(dev);
}
