// Face tracking and automatic framing.
//
// The frame path never runs a detector itself. It hands a copy of a frame to
// one short-lived system thread at a time: the acquisition worker looks for a
// face anywhere, the tracking worker follows a known face. The frame path
// takes a worker's result over when the state byte says it has finished, and
// meanwhile draws the last box and steers the zoom.
//
// States: 0 idle, 1 acquisition running, 2 acquisition finished, 3 tracking
// ready, 4 tracking running, 5 tracking finished. The frame path writes the
// frame copy only on 0 -> 1 and 3 -> 4, when no worker reads it. A worker
// publishes its result with the state byte and clears the busy word as its
// last action; the atomics order those two stores after the result.
#include "driver/core/face_tracking.h"

#include <atomic>
#include <cstring>
#include <thread>

#include "driver/core/face_detect.h"
#include "driver/core/zoom.h"
#include "shared/qcam_defs.h"

namespace {

enum FaceState : UCHAR {
  kIdle = 0,
  kAcquiring = 1,
  kAcquired = 2,
  kTrackReady = 3,
  kTracking = 4,
  kTracked = 5,
};

constexpr LONG kStepBox = 2;      // a face box was produced for this frame
constexpr LONG kStepSearching = 1;
constexpr LONG kStepNone = 0;
constexpr ULONG kStopAcquisitionStart = 6;
constexpr ULONG_PTR kBusyStarting = 1;  // busy word while the thread is being created
constexpr LONG kMaxTrackingWidth = 640;
constexpr ULONG kBoxColourRgb = 0xFF0000;
constexpr ULONG kBoxColourYuy2 = 0xFF00FF;

// The face tracker's driver-wide state.
struct FaceTracker {
  // Buffers, width x height x 3 bytes each.
  PUCHAR Planar;      // planar work image of the workers
  PUCHAR Planar2;     // second planar image (acquisition scratch)
  PUCHAR FrameCopy;   // the frame handed to a worker
  ULONG BufferBytes;
  LONG Width;
  LONG Height;
  LONG FormatIndex;   // layout of the frames the frame path sees
  LONG WorkerFormat;  // layout of the frame copy, fixed before a worker starts

  std::atomic<UCHAR> State;
  LONG Found;
  FaceBox Box;
  LONG FreshAcquisition;
  ULONG FrameNumber;  // tracker runs, modulo 30
  std::atomic<ULONG_PTR> Busy;
  std::atomic<ULONG> StopRequest;
  BOOLEAN TrackerStartPending;  // state 4 entered while the last worker was still finishing

  // Results written by the workers before they publish a new state.
  FaceCandidateList Candidates;
  FaceTrackerMemory Memory;
  BOOLEAN TrackerSucceeded;
  FaceBox TrackerBox;
  ULONG SkinGrid[kSkinGridRows][kSkinGridColumns];

  // Tuning captured by the frame path when it starts a worker.
  LONG MinScore;
  SkinTrackerTuning Tuning;

  // Frame-path gate: buffers may be used while Ready; release waits until no
  // frame is inside the step.
  std::atomic<bool> Ready;
  std::atomic<LONG> InStep;

  // The box held for the last frame, packed as four 16-bit fields (width 0:
  // none), for the front end.
  std::atomic<ULONGLONG> Reported;
};

FaceTracker g_Face;

ULONG BytesPerPixel(LONG formatIndex) { return formatIndex == qcam::kFormatRGB24 ? 3 : 2; }
bool WorkersConvert(LONG formatIndex) { return formatIndex == qcam::kFormatYUY2 || formatIndex == qcam::kFormatRGB24; }

VOID ReportBox(bool valid, const FaceBox& b) {
  ULONGLONG packed = 0;
  if (valid && b.Width > 0 && b.Height > 0)
    packed = ULONGLONG(USHORT(b.Left)) | ULONGLONG(USHORT(b.Top)) << 16 | ULONGLONG(USHORT(b.Width)) << 32 |
             ULONGLONG(USHORT(b.Height)) << 48;
  g_Face.Reported.store(packed, std::memory_order_relaxed);
}

// ---- workers -----------------------------------------------------------------------------

// The worker's last action: nothing of the tracker may be touched after the
// busy word is clear, because the buffers may be freed at once.
[[noreturn]] VOID EndWorker() {
  g_Face.Busy.store(0);
  PsTerminateSystemThread(STATUS_SUCCESS);
}

VOID AcquisitionWorker(PVOID) {
  AcquireFaceCandidates(g_Face.FrameCopy, g_Face.Width, g_Face.Height, g_Face.WorkerFormat, g_Face.MinScore,
                        g_Face.Planar2, g_Face.BufferBytes, &g_Face.StopRequest, &g_Face.Candidates);
  g_Face.State.store(kAcquired);
  EndWorker();
}

VOID TrackingWorker(PVOID) {
  BuildSkinGrid(g_Face.FrameCopy, g_Face.Width, g_Face.Height, g_Face.WorkerFormat, g_Face.Planar,
                g_Face.Tuning.Rules, g_Face.SkinGrid);
  FaceBox box = {};
  g_Face.TrackerSucceeded =
      TrackFaceInGrid(g_Face.SkinGrid, g_Face.Width, g_Face.Height, g_Face.Tuning, &g_Face.Memory, &box);
  g_Face.TrackerBox = box;
  g_Face.FrameNumber = (g_Face.FrameNumber + 1) % 30;
  g_Face.State.store(kTracked);
  EndWorker();
}

// Starts a worker unless one is busy. The busy word is set before the thread
// exists (a quick worker may finish before PsCreateSystemThread returns) and
// then replaced by the thread handle unless the worker has cleared it already.
// A thread that cannot be created leaves the busy word clear, so that
// StopFaceTracking never waits for a worker that does not exist.
enum StartResult { kStarted, kWorkerBusy, kStartFailed };

StartResult StartWorker(PKSTART_ROUTINE routine) {
  ULONG_PTR expected = 0;
  if (!g_Face.Busy.compare_exchange_strong(expected, kBusyStarting)) return kWorkerBusy;
  HANDLE thread = nullptr;
  NTSTATUS status = PsCreateSystemThread(&thread, THREAD_ALL_ACCESS, nullptr, nullptr, nullptr, routine, nullptr);
  if (!NT_SUCCESS(status)) {
    g_Face.Busy.store(0);
    return kStartFailed;
  }
  ULONG_PTR starting = kBusyStarting;
  g_Face.Busy.compare_exchange_strong(starting, reinterpret_cast<ULONG_PTR>(thread));
  // The handle only marks the worker as busy; the thread object is not needed.
  ZwClose(thread);
  return kStarted;
}

VOID CopyFrameForWorker(const UCHAR* frame) {
  g_Face.WorkerFormat = g_Face.FormatIndex;
  RtlCopyMemory(g_Face.FrameCopy, frame, size_t(g_Face.Width) * g_Face.Height * BytesPerPixel(g_Face.FormatIndex));
}

VOID CaptureTuning() {
  g_Face.MinScore = g_Driver.Face.Param[1];
  g_Face.Tuning = SkinTuningFrom(g_Driver.Face);
}

// ---- the per-frame step ----------------------------------------------------------------

// No face yet: start an acquisition, or take the finished one over.
VOID AcquisitionStep(const UCHAR* frame) {
  const UCHAR state = g_Face.State.load();
  if (state == kAcquired) {
    const FaceCandidateList& list = g_Face.Candidates;
    for (ULONG i = 0; i < list.Count; ++i) {
      const FaceBox& b = list.Box[i];
      if (b.Left < 0 || b.Top < 0 || b.Left + b.Width > g_Face.Width || b.Top + b.Height > g_Face.Height) continue;
      SeedFaceTracker(b, g_Face.Width, g_Face.Height, &g_Face.Memory);
      g_Face.FreshAcquisition = 1;
      g_Face.Found = 1;
      g_Face.State.store(kTrackReady);
      return;
    }
    g_Face.State.store(kIdle);
  } else if (state == kIdle) {
    // One worker at a time: a tracking worker that has published its result
    // may still be finishing.
    if (g_Face.Busy.load() != 0) return;
    g_Face.State.store(kAcquiring);
    CopyFrameForWorker(frame);
    CaptureTuning();
    g_Face.StopRequest.store(kStopAcquisitionStart);
    // A worker that cannot be started leaves the state waiting until the
    // next bandwidth allocation resets it.
    StartWorker(AcquisitionWorker);
  }
}

VOID DrawFaceBox(PUCHAR frame, ULONG colour) {
  DrawFaceOutline(frame, g_Face.Width, g_Face.Height, g_Face.FormatIndex, g_Face.Box, colour);
}

LONG StepLocked(PUCHAR frame, ULONG length) {
  if (!g_Face.FrameCopy || !g_Face.Planar || !g_Face.Planar2) {
    g_Face.Found = 0;
    g_Face.State.store(kIdle);
    return STATUS_INSUFFICIENT_RESOURCES;
  }
  if (!frame || !WorkersConvert(g_Face.FormatIndex)) return kStepNone;
  if (ULONGLONG(length) < ULONGLONG(g_Face.Width) * g_Face.Height * BytesPerPixel(g_Face.FormatIndex))
    return kStepNone;
  if (!g_Face.Found) {
    AcquisitionStep(frame);
    return kStepSearching;
  }
  const ULONG colour = g_Face.FormatIndex == qcam::kFormatRGB24 ? kBoxColourRgb : kBoxColourYuy2;
  const bool draw = (g_Driver.Face.Flags & qcam::kFaceDrawBox) != 0;
  const UCHAR state = g_Face.State.load();
  if (state == kTracked) {
    if (g_Face.TrackerSucceeded) {
      g_Face.Found = 1;
      g_Face.Box = g_Face.TrackerBox;
      if (draw) DrawFaceBox(frame, colour);
      g_Face.State.store(kTrackReady);
      g_Face.FreshAcquisition = 0;
    } else {
      g_Face.Found = 0;
      g_Face.State.store(kIdle);
    }
    return kStepBox;
  }
  if (state == kTrackReady) {
    g_Face.State.store(kTracking);
    CopyFrameForWorker(frame);
    CaptureTuning();
    // The last worker may not have cleared the busy word yet; the tracker is
    // then started on a later frame instead of never.
    g_Face.TrackerStartPending = StartWorker(TrackingWorker) == kWorkerBusy;
  } else if (state == kTracking) {
    if (g_Face.TrackerStartPending) g_Face.TrackerStartPending = StartWorker(TrackingWorker) == kWorkerBusy;
  } else {
    return kStepNone;
  }
  if (g_Face.FreshAcquisition) return kStepSearching;
  if (draw) DrawFaceBox(frame, colour);
  return kStepBox;
}

// Waits until the frame path has left the step and no worker runs.
VOID Quiesce() {
  g_Face.Ready.store(false);
  while (g_Face.InStep.load() != 0) std::this_thread::yield();
  StopFaceTracking();
}

VOID FreeBuffersQuiesced() {
  if (g_Face.Planar) ExFreePool(g_Face.Planar);
  if (g_Face.Planar2) ExFreePool(g_Face.Planar2);
  if (g_Face.FrameCopy) ExFreePool(g_Face.FrameCopy);
  g_Face.Planar = g_Face.Planar2 = g_Face.FrameCopy = nullptr;
  g_Face.BufferBytes = 0;
}

}  // namespace

NTSTATUS PrepareFaceTracking(LONG width, LONG height, LONG formatIndex) {
  Quiesce();
  FreeBuffersQuiesced();
  g_Face.Found = 0;
  g_Face.Box = FaceBox{};
  g_Face.TrackerBox = FaceBox{};
  g_Face.TrackerSucceeded = FALSE;
  g_Face.FreshAcquisition = 0;
  g_Face.Memory = FaceTrackerMemory{};
  g_Face.Candidates = FaceCandidateList{};
  g_Face.FrameNumber = 0;
  g_Face.TrackerStartPending = FALSE;
  g_Face.State.store(kIdle);
  g_Face.Busy.store(0);
  g_Face.StopRequest.store(0);
  ReportBox(false, FaceBox{});
  g_Face.Width = width;
  g_Face.Height = height;
  g_Face.FormatIndex = formatIndex;
  // Tracking never runs above 640 pixels of width, so such sizes get no
  // buffers (the step then reports missing resources).
  if (width <= 0 || height <= 0 || width > kMaxTrackingWidth) return STATUS_SUCCESS;
  const ULONG bytes = ULONG(width) * ULONG(height) * 3;
  PUCHAR planar = static_cast<PUCHAR>(ExAllocatePool(NonPagedPool, bytes));
  PUCHAR planar2 = static_cast<PUCHAR>(ExAllocatePool(NonPagedPool, bytes));
  PUCHAR copy = static_cast<PUCHAR>(ExAllocatePool(NonPagedPool, bytes));
  if (!planar || !planar2 || !copy) {
    if (planar) ExFreePool(planar);
    if (planar2) ExFreePool(planar2);
    if (copy) ExFreePool(copy);
    return STATUS_INSUFFICIENT_RESOURCES;
  }
  RtlZeroMemory(planar, bytes);
  RtlZeroMemory(planar2, bytes);
  RtlZeroMemory(copy, bytes);
  g_Face.Planar = planar;
  g_Face.Planar2 = planar2;
  g_Face.FrameCopy = copy;
  g_Face.BufferBytes = bytes;
  g_Face.Ready.store(true);
  return STATUS_SUCCESS;
}

LONG TrackFaceStep(PUCHAR frame, ULONG length) {
  g_Face.InStep.fetch_add(1);
  LONG result;
  if (!g_Face.Ready.load()) {
    g_Face.Found = 0;
    g_Face.State.store(kIdle);
    result = STATUS_INSUFFICIENT_RESOURCES;
  } else {
    result = StepLocked(frame, length);
  }
  const bool boxHeld = result == kStepBox && g_Face.Found;
  ReportBox(boxHeld, g_Face.Box);
  g_Face.InStep.fetch_sub(1);
  return result;
}

VOID DrawFaceOutline(PUCHAR frame, LONG w, LONG h, LONG formatIndex, const FaceBox& b, ULONG colour) {
  if (!frame || !WorkersConvert(formatIndex) || b.Width <= 0 || b.Height <= 0) return;
  if (b.Left <= 0 || b.Top <= 0 || b.Left + b.Width >= w || b.Top + b.Height >= h) return;
  const UCHAR low = UCHAR(colour), mid = UCHAR(colour >> 8), high = UCHAR(colour >> 16);
  auto plot = [&](LONG x, LONG y) {
    if (formatIndex == qcam::kFormatYUY2) {
      PUCHAR pair = frame + (size_t(y) * w + (x & ~1L)) * 2;
      pair[(x & 1) * 2] = low;
      pair[1] = mid;
      pair[3] = high;
    } else {
      PUCHAR p = frame + (size_t(y) * w + x) * 3;
      p[0] = high;
      p[1] = mid;
      p[2] = low;
    }
  };
  const LONG right = b.Left + b.Width - 1, bottom = b.Top + b.Height - 1;
  for (LONG x = b.Left; x <= right; ++x) {
    plot(x, b.Top);
    plot(x, bottom);
  }
  for (LONG y = b.Top; y <= bottom; ++y) {
    plot(b.Left, y);
    plot(right, y);
  }
}

// ---- automatic framing ------------------------------------------------------------------

VOID AutoFrameFace(CameraDeviceState* dev, PUCHAR frame, LONG stepResult, BOOLEAN faceFound, const FaceBox& box) {
  const FaceTrackingParameters& p = g_Driver.Face;
  const LONG W = dev->Width, H = dev->Height;
  ULONG Z = dev->ZoomScale;
  LONG X = dev->ZoomWindowLeft, Y = dev->ZoomWindowTop;
  if (stepResult == kStepBox && faceFound && box.Width > 0 && box.Height > 0) {
    LONG x = box.Left, y = box.Top, w = box.Width, h = box.Height;
    // Leave room above the face for the forehead and hair.
    y -= h / 4;
    if (y < 0) y = 0;
    h = 5 * h / 4;
    ULONG tx = ULONG(W) * 1000u / ULONG(w) / 250u * 250u;
    ULONG ty = ULONG(H) * 1000u / ULONG(h) / 250u * 250u;
    ULONG t = tx < ty ? tx : ty;
    if (t < 1000) t = 1000;
    const ULONGLONG blended = (9 * ULONGLONG(Z) + t) * 10 / 100;
    Z = blended > 0xFFFFFFFFull ? 0xFFFFFFFFu : ULONG(blended);
    if (Z == 0) Z = 1000;
    const LONG mx = (LONG(ULONG(W) * 1000u / Z) - w) / 2;
    const LONG my = (LONG(ULONG(H) * 1000u / Z) - h) / 2;
    LONG nx = x - mx;
    if (nx < 0) nx = 0;
    if (x + mx + w >= W) nx = W - 2 * mx - w - 1;
    LONG ny = y - my;
    if (ny < 0) ny = 0;
    if (y + my + h >= H) ny = H - 2 * my - h - 1;
    // The weight comes from the registry; it is a percentage.
    const LONGLONG weight = p.Param[4] < 0 ? 0 : (p.Param[4] > 100 ? 100 : p.Param[4]);
    X = LONG((LONGLONG(nx) * weight + LONGLONG(X) * (100 - weight)) / 100);
    Y = LONG((LONGLONG(ny) * weight + LONGLONG(Y) * (100 - weight)) / 100);
    // The hold comes from the registry: a negative count would hold the
    // zoom for four billion frames.
    dev->FaceHoldCounter = p.Param[3] < 0 ? 0 : ULONG(p.Param[3]);
  } else if (dev->FaceHoldCounter > 1) {
    if (Z < 1000) Z = 1000;
    if (X < 0) X = 0;
    if (Y < 0) Y = 0;
    dev->FaceHoldCounter--;
  } else {
    const LONG release = p.Param[6] < 0 ? 0 : p.Param[6];
    Z = (Z < 1000 || LONG(Z - 1000) <= release) ? 1000 : Z - ULONG(release);
    const LONGLONG step = release / 10 + 1;
    X = LONGLONG(X) - step < 0 ? 0 : LONG(X - step);
    Y = LONGLONG(Y) - step < 0 ? 0 : LONG(Y - step);
    dev->FaceHoldCounter = 0;
  }
  if (Z != 1000) {
    // The largest corner that keeps the window inside the frame.
    const LONG qx = LONG((LONGLONG(Z) - 1000) * W / LONGLONG(Z));
    const LONG qy = LONG((LONGLONG(Z) - 1000) * H / LONGLONG(Z));
    const LONG limitX = qx >= 1 ? qx - 1 : 0;
    const LONG limitY = qy >= 1 ? qy - 1 : 0;
    if (X > limitX) X = limitX;
    if (Y > limitY) Y = limitY;
  }
  dev->ZoomScale = Z;
  dev->ZoomWindowLeft = X;
  dev->ZoomWindowTop = Y;
  if (Z != 1000) ApplyZoom(dev, frame, Z, X, Y, FALSE, nullptr, nullptr);
}

VOID RequestFaceTrackingStop() { g_Face.StopRequest.store(kFaceStopRequest); }

VOID StopFaceTracking() {
  g_Face.StopRequest.store(kFaceStopRequest);
  while (g_Face.Busy.load() != 0) std::this_thread::yield();
}

VOID FreeFaceTrackingBuffers() {
  Quiesce();
  FreeBuffersQuiesced();
  ReportBox(false, FaceBox{});
}

VOID RunFaceTrackingBranch(CameraDeviceState* dev, PUCHAR frame, ULONG length) {
  if (!dev || !frame) return;
  // The workers convert YUY2 and RGB24 only; any other layout is left alone
  // and no worker is started for it.
  if (!WorkersConvert(dev->FormatIndex) || dev->Width > kMaxTrackingWidth || dev->Width != g_Face.Width ||
      dev->Height != g_Face.Height) {
    ReportBox(false, FaceBox{});
    return;
  }
  g_Face.InStep.fetch_add(1);
  if (g_Face.Ready.load() && g_Face.FormatIndex != dev->FormatIndex) g_Face.FormatIndex = dev->FormatIndex;
  g_Face.InStep.fetch_sub(1);
  const LONG step = TrackFaceStep(frame, length);
  if (g_Driver.Face.Flags & qcam::kFaceAutoFraming) AutoFrameFace(dev, frame, step, BOOLEAN(g_Face.Found != 0), g_Face.Box);
}

BOOLEAN GetCurrentFaceBox(LONG* left, LONG* top, LONG* width, LONG* height) {
  if (!(g_Driver.Face.Flags & qcam::kFaceTrackFaces)) return FALSE;
  const ULONGLONG packed = g_Face.Reported.load(std::memory_order_relaxed);
  if (packed == 0) return FALSE;
  if (left) *left = LONG(USHORT(packed));
  if (top) *top = LONG(USHORT(packed >> 16));
  if (width) *width = LONG(USHORT(packed >> 32));
  if (height) *height = LONG(USHORT(packed >> 48));
  return TRUE;
}
