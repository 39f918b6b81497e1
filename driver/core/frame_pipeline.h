// The per-frame pipeline and the snapshot writer.
#pragma once

#include <mutex>

#include "driver/core/device_state.h"

NTSTATUS ProcessRawFrame(CameraDeviceState* dev, PUCHAR output, ULONG outputLength, const UCHAR* raw,
                         ULONG rawLength, PULONG bytesReturned);
// Releases the per-stream buffers shared with the frame path (effect work
// buffers), waiting for a frame in progress to finish.
VOID ReleaseFrameBuffers();

// Held by raw frame processing and by everything that frees or replaces the
// buffers and picture size it uses, so that a bandwidth allocation or a
// surprise removal on the request path cannot pull a work buffer from under a
// frame being processed on the transfer path.
extern std::mutex g_FrameLock;

// The snapshot file (header declared in shared/snapshot_file.h).
constexpr PCWSTR kSnapshotPath = u"\\SystemRoot\\Snap.dat";
