// Acquisition: the frame is reduced to a luma image of at most 160 x 120,
// and an image pyramid (each level 221/256 of the one before) is searched
// with an 8 x 8-block window. In each window three block maps (horizontal and
// vertical second differences, mean luma) are averaged over ten regions laid
// out like a face (forehead; the eyes and the bridge between them; cheeks and
// nose; the corners and middle of the mouth) and correlated with a template
// per map. A window that correlates well and has enough luma contrast is a
// candidate face.
//
// Tracking: every chroma sample on a coarse lattice votes into a 64 x 48 grid
// of cells when its colour passes a skin rule. Around the last known centre
// the tracker looks for a cell whose surrounding ellipse (1.2 times taller
// than wide) runs along skin, and takes the one whose square is best filled
// with skin.
#include "driver/core/face_detect.h"

#include <cmath>
#include <cstring>

#include "shared/qcam_defs.h"

namespace {

// ---- small integer helpers -----------------------------------------------------

inline LONG ClampLong(LONG v, LONG lo, LONG hi) { return v < lo ? lo : (v > hi ? hi : v); }

// Division rounding toward minus infinity (C++ division rounds toward zero).
inline LONG FloorDiv(LONG a, LONG b) {
  LONG q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
  return q;
}

ULONG IntegerSqrt(ULONG v) {
  ULONG r = static_cast<ULONG>(std::sqrt(static_cast<double>(v)));
  while (ULONGLONG(r) * r > v) --r;
  while (ULONGLONG(r + 1) * (r + 1) <= v) ++r;
  return r;
}

// ---- acquisition ---------------------------------------------------------------------

constexpr LONG kReducedWidth = 320;
constexpr LONG kReducedHeight = 240;
constexpr LONG kPyramidLevels = 9;
constexpr LONG kPyramidNumerator = 221;  // each level is 221/256 of the one before
constexpr LONG kBlock = 4;                // block maps: 4 x 4 pixels
constexpr LONG kWindowBlocks = 8;         // the window is 8 x 8 blocks
constexpr LONG kMinScore = 82;
constexpr LONG kMinContrast = 41;

// Ten regions of four blocks each, as (first row, first column, rows,
// columns) inside the window.
struct Region {
  LONG row, col, rows, cols;
};
constexpr Region kRegions[10] = {{0, 2, 1, 4}, {1, 1, 2, 2}, {1, 3, 2, 2}, {1, 5, 2, 2}, {3, 1, 2, 2},
                                 {3, 3, 2, 2}, {3, 5, 2, 2}, {5, 1, 2, 2}, {5, 3, 2, 2}, {5, 5, 2, 2}};

// Templates for the horizontal second difference (vertical edges: the bridge
// of the nose), the vertical second difference (horizontal edges: eyes and
// mouth) and the luma (dark eyes and mouth, bright cheeks).
constexpr LONG kTemplates[3][10] = {{0, 7, 50, 7, -50, 105, -50, -1, -66, -1},
                                    {0, 67, -37, 67, -65, 15, -65, -43, 104, -43},
                                    {18, -68, 38, -68, 72, 27, 72, -19, -53, -19}};

// Correlation of ten region values with a template, scaled by the values'
// standard deviation; also reports their variance.
LONG Correlate(const LONG x[10], const LONG t[10], LONG* varianceOut) {
  LONG sum = 0, squares = 0, cross = 0;
  for (int i = 0; i < 10; ++i) {
    sum += x[i];
    squares += x[i] * x[i];
    cross += x[i] * t[i];
  }
  const LONG mean = sum / 10;
  LONG variance = squares / 10 - mean * mean;
  if (variance < 0) variance = 0;
  *varianceOut = variance;
  const LONG sigma = LONG(IntegerSqrt(ULONG(variance)));
  if (sigma == 0) return 0;
  return ClampLong((cross / 10) / sigma, -255, 255);
}

// Block maps of one pyramid level.
struct BlockMaps {
  LONG columns, rows;
  PLONG dh, dv, luma;
};

VOID ComputeBlockMaps(const UCHAR* L, LONG lw, LONG lh, BlockMaps* maps) {
  const LONG bw = lw / kBlock, bh = lh / kBlock;
  maps->columns = bw;
  maps->rows = bh;
  for (LONG by = 0; by < bh; ++by) {
    for (LONG bx = 0; bx < bw; ++bx) {
      LONG sh = 0, sv = 0, sl = 0;
      for (LONG y = by * kBlock; y < by * kBlock + kBlock; ++y) {
        const UCHAR* row = L + size_t(y) * lw;
        for (LONG x = bx * kBlock; x < bx * kBlock + kBlock; ++x) {
          const LONG c = row[x];
          sl += c;
          // The second differences need both neighbours; on the image's
          // outermost pixels they count as 0.
          if (x > 0 && x < lw - 1) {
            LONG d = 2 * c - row[x - 1] - row[x + 1];
            if (d < 0) d = -d;
            sh += d > 255 ? 255 : d;
          }
          if (y > 0 && y < lh - 1) {
            LONG d = 2 * c - row[x - lw] - row[x + lw];
            if (d < 0) d = -d;
            sv += d > 255 ? 255 : d;
          }
        }
      }
      const LONG k = by * bw + bx;
      maps->dh[k] = sh / 4;
      maps->dv[k] = sv / 4;
      maps->luma[k] = sl / 16;
    }
  }
}

VOID RegionMeans(const LONG* map, LONG bw, LONG k, LONG l, LONG out[10]) {
  for (int r = 0; r < 10; ++r) {
    const Region& g = kRegions[r];
    LONG sum = 0;
    for (LONG y = 0; y < g.rows; ++y)
      for (LONG x = 0; x < g.cols; ++x) sum += map[(k + g.row + y) * bw + (l + g.col + x)];
    out[r] = sum / 4;
  }
}

// Reduced-size luma of the frame: every c-th pixel of every c-th row, in
// picture order (an RGB24 frame is stored bottom-up and is read upside down
// here, so that the templates see the face upright).
VOID ReduceFrame(const UCHAR* frame, LONG w, LONG h, LONG formatIndex, LONG c, LONG rw, LONG rh, PUCHAR out) {
  for (LONG y = 0; y < rh; ++y) {
    PUCHAR o = out + size_t(y) * rw;
    if (formatIndex == qcam::kFormatYUY2) {
      const UCHAR* row = frame + size_t(y) * c * w * 2;
      for (LONG x = 0; x < rw; ++x) o[x] = row[size_t(x) * c * 2];
    } else {
      const UCHAR* row = frame + size_t(h - 1 - y * c) * w * 3;
      for (LONG x = 0; x < rw; ++x) {
        const UCHAR* p = row + size_t(x) * c * 3;  // B, G, R
        o[x] = UCHAR(0.299 * p[2] + 0.587 * p[1] + 0.114 * p[0]);
      }
    }
  }
}

VOID ReducedSize(LONG w, LONG h, LONG* c, LONG* rw, LONG* rh) {
  if (w < kReducedWidth) {
    *c = 1;
    *rw = w;
    *rh = h;
    return;
  }
  *c = w / kReducedWidth;
  *rw = kReducedWidth;
  // A frame wider than 4:3 has fewer than 240 rows to give; never sample
  // past its last row.
  *rh = h / *c < kReducedHeight ? h / *c : kReducedHeight;
}

void AddCandidate(FaceCandidateList* list, LONG score, LONG k, LONG l, LONG s) {
  if (list->Total >= kMaxFaceCandidates) return;
  FaceBox& b = list->Box[list->Total];
  b.Left = 1024 * l / s;
  b.Top = 1024 * k / s;
  b.Width = b.Height = 8192 / s;
  list->Score[list->Total] = score;
  list->Total++;
  list->Count = list->Total;
}

}  // namespace

size_t AcquisitionScratchBytes(LONG width, LONG height) {
  if (width <= 0 || height <= 0) return 0;
  LONG c, rw, rh;
  ReducedSize(width, height, &c, &rw, &rh);
  const size_t luma = size_t(rw / 2) * size_t(rh / 2);
  const size_t blocks = luma / (kBlock * kBlock) + 1;
  return size_t(rw) * size_t(rh) + luma + 3 * blocks * sizeof(LONG) + 16;
}

BOOLEAN AcquireFaceCandidates(const UCHAR* frame, LONG width, LONG height, LONG formatIndex, LONG minScore,
                              PUCHAR scratch, size_t scratchBytes, const std::atomic<ULONG>* stop,
                              FaceCandidateList* out) {
  memset(out, 0, sizeof(*out));
  if (!frame || width < 2 || height < 2) return FALSE;
  if (formatIndex != qcam::kFormatYUY2 && formatIndex != qcam::kFormatRGB24) return FALSE;
  if (!scratch || scratchBytes < AcquisitionScratchBytes(width, height)) return FALSE;

  LONG c, rw, rh;
  ReducedSize(width, height, &c, &rw, &rh);
  PUCHAR reduced = scratch;
  PUCHAR L = reduced + size_t(rw) * rh;
  LONG lw = rw / 2, lh = rh / 2;
  const size_t blocks = size_t(lw) * lh / (kBlock * kBlock) + 1;
  // Block maps live after the luma image, aligned for LONG.
  uintptr_t mapsAt = reinterpret_cast<uintptr_t>(L + size_t(lw) * lh);
  mapsAt = (mapsAt + 3) & ~uintptr_t(3);
  BlockMaps maps;
  maps.dh = reinterpret_cast<PLONG>(mapsAt);
  maps.dv = maps.dh + blocks;
  maps.luma = maps.dv + blocks;

  ReduceFrame(frame, width, height, formatIndex, c, rw, rh, reduced);
  for (LONG y = 0; y < lh; ++y)
    for (LONG x = 0; x < lw; ++x) L[size_t(y) * lw + x] = reduced[size_t(2 * y) * rw + 2 * x];

  LONG s = 128;
  for (LONG level = 0; level < kPyramidLevels; ++level) {
    if (stop && stop->load() == kFaceStopRequest) break;
    ComputeBlockMaps(L, lw, lh, &maps);
    const LONG bw = maps.columns, bh = maps.rows;
    for (LONG k = 1; k < bh - (kWindowBlocks - 1); ++k) {
      for (LONG l = 1; l < bw - (kWindowBlocks - 1); ++l) {
        LONG values[3][10];
        RegionMeans(maps.dh, bw, k, l, values[0]);
        RegionMeans(maps.dv, bw, k, l, values[1]);
        RegionMeans(maps.luma, bw, k, l, values[2]);
        LONG v0, v1, lumaVariance;
        const LONG c1 = Correlate(values[0], kTemplates[0], &v0);
        const LONG c2 = Correlate(values[1], kTemplates[1], &v1);
        const LONG c3 = Correlate(values[2], kTemplates[2], &lumaVariance);
        const LONG score = ClampLong((2 * c1 + 5 * c2 + 5 * c3) / 2, 0, 255);
        const LONG contrast = ClampLong(lumaVariance / 2, 0, 255);
        if (score >= kMinScore && contrast >= kMinContrast) AddCandidate(out, score, k, l, s);
      }
    }
    // The best candidate so far (the first of equals) becomes the answer once
    // it is good enough; later levels may still append after it.
    if (out->Total > 0) {
      ULONG best = 0;
      for (ULONG i = 1; i < out->Total; ++i)
        if (out->Score[i] > out->Score[best]) best = i;
      if (out->Score[best] >= minScore) {
        out->Box[0] = out->Box[best];
        out->Score[0] = out->Score[best];
        out->Count = 1;
      }
    }
    // Next level: 221/256 of the size; each new pixel takes the old pixel at
    // its scaled position (forward in place is safe: the source index never
    // falls behind the destination index).
    const LONG nw = lw * kPyramidNumerator / 256, nh = lh * kPyramidNumerator / 256;
    if (nw / kBlock < kWindowBlocks + 1 || nh / kBlock < kWindowBlocks + 1) break;
    for (LONG r = 0; r < nh; ++r) {
      const LONG sr = 256 * r / kPyramidNumerator;
      for (LONG col = 0; col < nw; ++col) L[size_t(r) * nw + col] = L[size_t(sr) * lw + 256 * col / kPyramidNumerator];
    }
    lw = nw;
    lh = nh;
    s = s * kPyramidNumerator / 256;
  }

  for (ULONG i = 0; i < out->Total; ++i) {
    FaceBox& b = out->Box[i];
    b.Left *= c;
    b.Top *= c;
    b.Width *= c;
    b.Height *= c;
    if (formatIndex == qcam::kFormatRGB24) b.Top = height - (b.Top + b.Height);
  }
  return TRUE;
}

// ---- tracking ---------------------------------------------------------------------------

SkinTrackerTuning SkinTuningFrom(const FaceTrackingParameters& params) {
  SkinTrackerTuning t;
  t.MinContourHits4 = params.Param[2];
  t.Radius = params.Param[5];
  t.MinFill = params.Param[7];
  memcpy(t.Rules, params.SkinRules, sizeof(t.Rules));
  return t;
}

BOOLEAN IsSkinSample(LONG cb, LONG cr, const LONG rules[4][9]) {
  const LONG b = cb - 128, r = cr - 128;
  if (b == 0) return FALSE;
  const LONG ratio = 8 * r / b;
  const LONG v = FloorDiv(859 * r - 558 * b, 1024);
  for (int s = 0; s < 4; ++s) {
    const LONG* q = rules[s];
    if (q[0] == 0) continue;
    if (q[1] < v && v < q[2] && q[3] < b && b < q[4] && q[5] < r && r < q[6] && q[7] < ratio && ratio < q[8])
      return TRUE;
  }
  return b == 1 && r >= 1 && r <= 44 && ratio >= 45 && ratio <= 59 && v >= 5 && v <= 49;
}

namespace {

inline UCHAR Clamp255(LONG v) { return UCHAR(v < 0 ? 0 : (v > 255 ? 255 : v)); }

// Planar Y (full size) and Cb, Cr (half width and height) of the frame.
VOID ConvertToPlanar(const UCHAR* frame, LONG w, LONG h, LONG formatIndex, PUCHAR planar) {
  const LONG cw = w / 2, ch = h / 2;
  PUCHAR Y = planar;
  PUCHAR Cb = Y + size_t(w) * h;
  PUCHAR Cr = Cb + size_t(cw) * ch;
  if (formatIndex == qcam::kFormatYUY2) {
    const size_t rowBytes = size_t(w) * 2;
    for (LONG y = 0; y < h; ++y) {
      const UCHAR* row = frame + y * rowBytes;
      for (LONG x = 0; x < w; ++x) Y[size_t(y) * w + x] = row[2 * x];
    }
    // Chroma of two source rows apart; the last chroma row and column are
    // left as they are.
    for (LONG i = 0; i + 1 < ch; ++i) {
      const UCHAR* r0 = frame + size_t(2 * i) * rowBytes;
      const UCHAR* r2 = frame + size_t(2 * i + 2) * rowBytes;
      for (LONG j = 0; j + 1 < cw; ++j) {
        Cb[size_t(i) * cw + j] = UCHAR((r0[4 * j + 1] + r2[4 * j + 1]) / 2);
        Cr[size_t(i) * cw + j] = UCHAR((r0[4 * j + 3] + r2[4 * j + 3]) / 2);
      }
    }
    return;
  }
  // RGB24, bytes B, G, R: ITU-R BT.601 studio range, coefficients in 1/1024.
  const size_t rowBytes = size_t(w) * 3;
  for (LONG y = 0; y < h; ++y) {
    const UCHAR* row = frame + y * rowBytes;
    for (LONG x = 0; x < w; ++x) {
      const UCHAR* p = row + 3 * x;
      Y[size_t(y) * w + x] = Clamp255(16 + ((263 * p[2] + 516 * p[1] + 100 * p[0] + 512) >> 10));
    }
  }
  for (LONG i = 0; i < ch; ++i) {
    const UCHAR* row = frame + size_t(2 * i) * rowBytes;
    for (LONG j = 0; j < cw; ++j) {
      const UCHAR* p = row + 6 * j;
      const LONG R = p[2], G = p[1], B = p[0];
      Cb[size_t(i) * cw + j] = Clamp255(128 + FloorDiv(-152 * R - 298 * G + 450 * B + 512, 1024));
      Cr[size_t(i) * cw + j] = Clamp255(128 + FloorDiv(450 * R - 377 * G - 73 * B + 512, 1024));
    }
  }
}

constexpr LONG kLatticeRows = 238;
constexpr LONG kLatticeColumns = 318;
constexpr LONG kSkinCell = 9;       // a cell with more skin samples than this is skin
constexpr LONG kSkinFillCell = 12;  // ... and counts toward the fill above this
constexpr LONG kContourPoints = 50;
constexpr LONG kMinSize = 5, kMaxSize = 15, kMaxFreshSize = 15, kMinFreshSize = 6;
constexpr LONG kLostRuns = 6;

// Contour offsets of the ellipse, for the even steps 0, 2, ..., 98 of 100
// around it: 128 cos and 153.6 sin (1.2 times taller than wide), floored.
struct Contour {
  LONG C[kContourPoints];
  LONG S[kContourPoints];
  Contour() {
    for (LONG k = 0; k < kContourPoints; ++k) {
      const double a = 2.0 * 3.14159265358979323846 * double(2 * k) / 100.0;
      C[k] = LONG(std::floor(128.0 * std::cos(a)));
      S[k] = LONG(std::floor(153.6 * std::sin(a)));
    }
  }
};

inline bool SkinCell(const ULONG grid[kSkinGridRows][kSkinGridColumns], LONG r, LONG c) {
  return r >= 0 && r < kSkinGridRows && c >= 0 && c < kSkinGridColumns && grid[r][c] > ULONG(kSkinCell);
}

LONG ContourHits(const ULONG grid[kSkinGridRows][kSkinGridColumns], const Contour& e, LONG row, LONG col, LONG g) {
  LONG hits = 0;
  for (LONG k = 0; k < kContourPoints; ++k) {
    const LONG r = row + FloorDiv(g * e.S[k], 128);
    const LONG c = col + FloorDiv(g * e.C[k], 128);
    if (SkinCell(grid, r, c) || SkinCell(grid, r - 1, c) || SkinCell(grid, r + 1, c) || SkinCell(grid, r, c - 1) ||
        SkinCell(grid, r, c + 1))
      ++hits;
  }
  return hits;
}

LONG SquareFill(const ULONG grid[kSkinGridRows][kSkinGridColumns], LONG row, LONG col, LONG g) {
  LONG n = 0;
  for (LONG r = row - g; r < row + g; ++r)
    for (LONG c = col - g; c < col + g; ++c)
      if (r >= 0 && r < kSkinGridRows && c >= 0 && c < kSkinGridColumns && grid[r][c] > ULONG(kSkinFillCell)) ++n;
  return 100 * n / (4 * g * g);
}

}  // namespace

VOID BuildSkinGrid(const UCHAR* frame, LONG width, LONG height, LONG formatIndex, PUCHAR planar,
                   const LONG rules[4][9], ULONG grid[kSkinGridRows][kSkinGridColumns]) {
  memset(grid, 0, sizeof(ULONG) * kSkinGridRows * kSkinGridColumns);
  if (!frame || !planar || width < 4 || height < 4) return;
  if (formatIndex != qcam::kFormatYUY2 && formatIndex != qcam::kFormatRGB24) return;
  ConvertToPlanar(frame, width, height, formatIndex, planar);
  const LONG cw = width / 2, ch = height / 2;
  const UCHAR* Cb = planar + size_t(width) * height;
  const UCHAR* Cr = Cb + size_t(cw) * ch;
  const LONG rowStep = height * 1024 / 240;
  const LONG colStep = width * 1024 / 320;
  for (LONG i = 0; i < kLatticeRows; ++i) {
    const LONG gr = FloorDiv(819 * i - 1229, 4096);
    if (gr < 0) continue;
    const LONG cr = LONG((LONGLONG(i + 1) * rowStep) / 2048);
    if (cr >= ch || gr >= kSkinGridRows) continue;
    for (LONG j = 0; j < kLatticeColumns; ++j) {
      const LONG gc = FloorDiv(819 * j - 1229, 4096);
      if (gc < 0) continue;
      const LONG cc = LONG((LONGLONG(j + 1) * colStep) / 2048);
      if (cc >= cw || gc >= kSkinGridColumns) continue;
      const size_t k = size_t(cr) * cw + cc;
      if (IsSkinSample(Cb[k], Cr[k], rules)) grid[gr][gc]++;
    }
  }
}

BOOLEAN TrackFaceInGrid(const ULONG grid[kSkinGridRows][kSkinGridColumns], LONG width, LONG height,
                        const SkinTrackerTuning& tuning, FaceTrackerMemory* memory, FaceBox* box) {
  static const Contour kEllipse;
  LONG sizes[6];
  LONG sizeCount = 0;
  if (memory->HasPrevious) {
    for (LONG d = 3; d >= -2; --d) {
      const LONG g = memory->Size + d;
      if (g >= kMinSize && g <= kMaxSize) sizes[sizeCount++] = g;
    }
  }
  LONG freshSizes[kMaxFreshSize - kMinFreshSize + 1];
  const LONG* order = sizes;
  if (!memory->HasPrevious) {
    for (LONG g = kMaxFreshSize; g >= kMinFreshSize; --g) freshSizes[sizeCount++] = g;
    order = freshSizes;
  }

  const LONG minHits = tuning.MinContourHits4 / 4;
  // The radius comes from the registry: anything beyond the grid searches
  // the whole grid, a negative one nothing.
  const LONG radius = ClampLong(tuning.Radius, -1, kSkinGridColumns);
  LONG bestFill = -1, bestRow = 0, bestCol = 0, bestSize = 0;
  for (LONG n = 0; n < sizeCount && bestFill < 0; ++n) {
    const LONG g = order[n];
    LONG rowLo = g, rowHi = kSkinGridRows - g, colLo = g, colHi = kSkinGridColumns - g;
    if (memory->HasPrevious) {
      if (memory->Row - radius > rowLo) rowLo = memory->Row - radius;
      if (memory->Row + radius < rowHi) rowHi = memory->Row + radius;
      if (memory->Column - radius > colLo) colLo = memory->Column - radius;
      if (memory->Column + radius < colHi) colHi = memory->Column + radius;
    }
    for (LONG row = rowLo; row < rowHi; ++row) {
      for (LONG col = colLo; col < colHi; ++col) {
        if (grid[row][col] <= ULONG(kSkinCell)) continue;
        if (ContourHits(grid, kEllipse, row, col, g) < minHits) continue;
        const LONG fill = SquareFill(grid, row, col, g);
        if (fill >= bestFill) {
          bestFill = fill;
          bestRow = row;
          bestCol = col;
          bestSize = g;
        }
      }
    }
  }

  const bool found = bestFill >= 0 && bestFill >= tuning.MinFill;
  LONG row, col, g;
  if (found) {
    row = bestRow;
    col = bestCol;
    g = bestSize;
    if (memory->HasPrevious) {
      // Small moves are jitter: keep the previous size and centre.
      if (g - memory->Size <= 2 && memory->Size - g <= 2) g = memory->Size;
      if (col - memory->Column < 3 && memory->Column - col < 3) col = memory->Column;
      if (row - memory->Row < 3 && memory->Row - row < 3) row = memory->Row;
    }
    memory->Lost = kLostRuns;
  } else {
    memory->Lost--;
    if (memory->Lost < 0 || !memory->HasPrevious) {
      memory->HasPrevious = FALSE;
      memory->Column = memory->Row = memory->Size = 0;
      return FALSE;
    }
    row = memory->Row;
    col = memory->Column;
    g = memory->Size;
  }
  memory->HasPrevious = TRUE;
  memory->Row = row;
  memory->Column = col;
  memory->Size = g;

  const LONG c0 = ClampLong(col - g, 0, kSkinGridColumns - 1);
  const LONG r0 = ClampLong(row - g, 0, kSkinGridRows - 1);
  box->Left = width * c0 / kSkinGridColumns;
  box->Top = height * r0 / kSkinGridRows;
  box->Width = width * g / 32;
  box->Height = height * g / 20;
  return TRUE;
}

VOID SeedFaceTracker(const FaceBox& box, LONG width, LONG height, FaceTrackerMemory* memory) {
  memory->HasPrevious = TRUE;
  memory->Column = box.Left * kSkinGridColumns / width;
  memory->Row = box.Top * kSkinGridRows / height;
  memory->Size = box.Width * 32 / width;
  memory->Lost = 0;
}
