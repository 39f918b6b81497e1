// Face tracking and automatic framing.
#pragma once

#include "driver/core/device_state.h"
#include "driver/core/face_detect.h"

// At bandwidth allocation: clears the result, allocates the worker buffers for
// this size and resets the state words.
NTSTATUS PrepareFaceTracking(LONG width, LONG height, LONG formatIndex);
// Called for every frame while tracking is on: 2 when a face box was produced
// for this frame, 1 or 0 when not, STATUS_INSUFFICIENT_RESOURCES without
// buffers.
LONG TrackFaceStep(PUCHAR frame, ULONG length);
// Asks running workers to stop (stop request 8) without waiting.
VOID RequestFaceTrackingStop();
// Asks running workers to stop and waits until none runs.
VOID StopFaceTracking();
// Stops the workers, then frees the buffers (bandwidth release).
VOID FreeFaceTrackingBuffers();
// The face-tracking branch of raw frame processing: the step, and automatic
// framing with the zoom when flags bit 1 is set.
VOID RunFaceTrackingBranch(CameraDeviceState* dev, PUCHAR frame, ULONG length);
// The face box the driver holds for the last frame, if any.
BOOLEAN GetCurrentFaceBox(LONG* left, LONG* top, LONG* width, LONG* height);

// The box outline, one pixel wide, in `colour` (0xHHMMLL: YUY2 writes luma
// LL, U MM and V HH; RGB24 writes B HH, G MM, R LL). Nothing is drawn unless
// the box lies inside the frame without touching its edges.
VOID DrawFaceOutline(PUCHAR frame, LONG width, LONG height, LONG formatIndex, const FaceBox& box, ULONG colour);
// Automatic framing for one frame: moves the device's zoom scale and window
// toward the face box when the step produced one (`stepResult` 2 with a face
// found), holds them while the hold counter runs down, then releases them
// toward 1.0x; applies the zoom without the coordinate table unless the
// scale is 1.0x.
VOID AutoFrameFace(CameraDeviceState* dev, PUCHAR frame, LONG stepResult, BOOLEAN faceFound, const FaceBox& box);
