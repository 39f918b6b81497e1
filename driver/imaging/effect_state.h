// The effect engine's driver-wide state: the picture being processed, the
// automatic cycling, the spatial-effect state and the photo-frame state.
// One stream at a time uses it, always from the frame-completion path, so it
// has no lock.
#pragma once

#include "platform/nt/ntddk.h"

constexpr LONG kEffectMaxWidth = 640;
constexpr LONG kEffectMaxHeight = 480;
// Automatic cycling changes the effect after more than five seconds.
constexpr ULONG kCyclePeriod100ns = 50000000;

struct EffectState {
  // Published by the frame path before each ApplySpecialEffect call.
  LONG FormatIndex;
  LONG Width;
  LONG Height;
  ULONG EffectNumber;

  // Automatic cycling: 0 when the driver loads, never reset afterwards.
  ULONG CycleShown;
  LONGLONG CycleLastChange;

  // Work buffers, sized at bandwidth allocation for AllocWidth x AllocHeight.
  LONG AllocWidth;
  LONG AllocHeight;
  PUCHAR Scratch;      // width x height x 3
  PUSHORT Map;         // width x height x 2 source coordinates (x, y)
  PUCHAR FramePicture;  // width x height x 3
  PUCHAR FrameMask;     // width x height
  PUCHAR FrameWork;     // one frame bitmap file

  // Bulge map cache key.
  ULONG MapEffect;
  LONG MapWidth;
  LONG MapHeight;

  // Stretch.
  double StretchScale;
  double StretchStep;
  LONG StretchAxis;  // 0 horizontal, 1 vertical

  // Nine-view grid.
  ULONG GridCell;  // 0 ... 8
  BOOLEAN GridCleared;

  // Photo frames: the frame number last loaded (0 = none since the reset).
  ULONG LastFrame;

  // Set with the bulge map: whether it may be applied in place, row by row,
  // and the rows that read their own row (none when first > last).
  BOOLEAN MapInPlace;
  LONG MapSelfFirst;
  LONG MapSelfLast;

  // The map as a table of source byte offsets for the AVX2 gathers,
  // kBulgeSourceBytesPer16Pixels bytes per 16 pixels of the work buffers,
  // allocated with them where the AVX2 paths run (null elsewhere or where
  // the allocation failed: the bulge then reads the map itself). Built from the map for one
  // layout when first needed; BulgeSourcesLayout is the bytes per pixel of
  // that layout, or 0 when the table has not been built for the map in
  // force (the map's build sets it to 0).
  PUCHAR BulgeSources;
  ULONG BulgeSourcesLayout;
};

// Per 16 pixels: 16 four-byte offsets and a four-byte parity word.
constexpr ULONG kBulgeSourceBytesPer16Pixels = 68;

// The one state record of the driver.
extern EffectState g_Effects;
