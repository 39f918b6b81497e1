// Digital zoom: a window of the picture enlarged to the full frame.
#pragma once

#include "driver/core/device_state.h"

// Recomputes the zoom window from the scale and offsets of the device state
// (after private properties 9, 10, 11 and at every bandwidth allocation).
VOID RecomputeZoomWindow(CameraDeviceState* dev);
// The same for a stream of `formatIndex` (bandwidth allocation, before any
// frame of the new format has been processed).
VOID RecomputeZoomWindow(CameraDeviceState* dev, LONG formatIndex);
// Enlarges the window at (left, top) by `scale` thousandths in place.
// STATUS_SUCCESS, STATUS_INSUFFICIENT_RESOURCES or STATUS_NOT_SUPPORTED.
NTSTATUS ApplyZoom(CameraDeviceState* dev, PUCHAR frame, ULONG scale, LONG left, LONG top, BOOLEAN useTable,
                   PULONG table, PULONG tableRebuild);
// Frees the zoom source buffer and coordinate table (bandwidth release).
VOID FreeZoomBuffers(CameraDeviceState* dev);
