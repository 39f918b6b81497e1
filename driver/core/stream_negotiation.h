// Negotiation of the capture stream with the camera (probe, commit,
// alternate setting) and its start, stop and release.
#pragma once

#include "driver/core/device_state.h"

// Snapshot size index for a stream size.
ULONG SnapshotSizeIndexFor(LONG width, LONG height);

// Probes the camera for the format in `format` and prepares the frame
// pipeline for it. A failed probe changes nothing and returns its status.
NTSTATUS AllocateBandwidthStream0(CameraDeviceState* dev, PULONG rawFrameLength, PVOID format);
NTSTATUS StartCaptureStream0(CameraDeviceState* dev);
NTSTATUS StopCaptureStream0(CameraDeviceState* dev);
NTSTATUS FreeBandwidthStream0(CameraDeviceState* dev);
// Sends the commit the last probe asked for; its status, and the commit stays
// needed when it failed.
NTSTATUS CommitVideoStream(CameraDeviceState* dev);
