// The face tracker's two detectors, as plain routines over one frame: the
// acquisition detector (luma templates over an image pyramid) and the skin
// tracker (skin-colour grid and an ellipse test around the last position).
// The worker threads of face_tracking.cpp run them; tests run them directly.
#pragma once

#include <atomic>

#include "driver/core/device_state.h"

struct FaceBox {
  LONG Left;
  LONG Top;
  LONG Width;
  LONG Height;
};

constexpr ULONG kMaxFaceCandidates = 9;
// The value of the stop request that asks a running worker to stop.
constexpr ULONG kFaceStopRequest = 8;

// Candidates of one acquisition run, in frame pixels. `Count` entries are
// valid; `Total` is the number of candidates found over all levels (the next
// one is stored at that position).
struct FaceCandidateList {
  ULONG Count;
  ULONG Total;
  FaceBox Box[kMaxFaceCandidates];
  LONG Score[kMaxFaceCandidates];
};

// Scratch bytes AcquireFaceCandidates needs for a frame of this size.
size_t AcquisitionScratchBytes(LONG width, LONG height);

// Runs the acquisition detector on a YUY2 or RGB24 frame (top-down YUY2;
// bottom-up BGR for RGB24, whose boxes come back in memory rows like every
// other face box of the driver). `minScore` is tracking parameter 1. Stops
// between pyramid levels when *stop equals kFaceStopRequest. Returns FALSE
// (and an empty list) for any other layout or when the scratch is too small.
BOOLEAN AcquireFaceCandidates(const UCHAR* frame, LONG width, LONG height, LONG formatIndex, LONG minScore,
                              PUCHAR scratch, size_t scratchBytes, const std::atomic<ULONG>* stop,
                              FaceCandidateList* out);

// What the skin tracker remembers between runs.
struct FaceTrackerMemory {
  BOOLEAN HasPrevious;
  LONG Column;  // centre, in skin-grid cells (64 x 48 over the frame)
  LONG Row;
  LONG Size;    // half the face width, in cells
  LONG Lost;    // runs left before a missing face is given up
};

constexpr LONG kSkinGridColumns = 64;
constexpr LONG kSkinGridRows = 48;

// The tuning the tracker reads: parameters 2, 5 and 7 and the skin rules.
struct SkinTrackerTuning {
  LONG MinContourHits4;  // parameter 2: a centre needs parameter 2 / 4 of 50 contour hits
  LONG Radius;           // parameter 5: search radius around the last centre, in cells
  LONG MinFill;          // parameter 7: minimum skin fill of the face square, percent
  LONG Rules[4][9];      // {enabled, v lo, v hi, Cb lo, Cb hi, Cr lo, Cr hi, ratio lo, ratio hi}
};

SkinTrackerTuning SkinTuningFrom(const FaceTrackingParameters& params);

// True when a chroma sample (Cb, Cr) counts as skin under the rules.
BOOLEAN IsSkinSample(LONG cb, LONG cr, const LONG rules[4][9]);

// Converts the frame into planar Y, Cb, Cr (the planar buffer holds
// width x height x 2 bytes at least) and fills the 48 x 64 skin grid.
VOID BuildSkinGrid(const UCHAR* frame, LONG width, LONG height, LONG formatIndex, PUCHAR planar,
                   const LONG rules[4][9], ULONG grid[kSkinGridRows][kSkinGridColumns]);

// One tracker run on a filled grid: searches around the remembered centre,
// updates the memory (lost counter included) and writes the box. Returns
// FALSE when the face is given up.
BOOLEAN TrackFaceInGrid(const ULONG grid[kSkinGridRows][kSkinGridColumns], LONG width, LONG height,
                        const SkinTrackerTuning& tuning, FaceTrackerMemory* memory, FaceBox* box);

// Initialises the tracker memory from an acquisition box.
VOID SeedFaceTracker(const FaceBox& box, LONG width, LONG height, FaceTrackerMemory* memory);
