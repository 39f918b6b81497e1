// Face tracking and automatic framing.
#pragma once

#include "driver/core/device_state.h"

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
