// The per-frame pipeline: the raw frame decoded or copied into the capture
// buffer, face tracking, zoom and effects on whole pictures, and the snapshot
// file written from a frame marked still.
#include "driver/core/frame_pipeline.h"

#include <cstring>

#include "driver/core/face_tracking.h"
#include "driver/core/settings.h"
#include "driver/core/zoom.h"
#include "driver/imaging/effects.h"
#include "driver/imaging/jpeg_decoder.h"
#include "shared/qcam_defs.h"
#include "shared/snapshot_file.h"

std::mutex g_FrameLock;

VOID ReleaseFrameBuffers() {
  std::lock_guard<std::mutex> guard(g_FrameLock);
  FreeEffectBuffers();
}

// ---- the frame pipeline ---------------------------------------------------------------------------

// Bytes a picture of the current size occupies in a layout.
static ULONGLONG PictureBytes(LONG formatIndex, LONG width, LONG height) {
  ULONGLONG pixels = ULONGLONG(ULONG(width)) * ULONG(height);
  switch (formatIndex) {
    case qcam::kFormatI420: return pixels * 3 / 2;
    case qcam::kFormatRGB24: return pixels * 3;
    case qcam::kFormatYUY2: return pixels * 2;
    default: return 0;
  }
}

static VOID WriteSnapshot(CameraDeviceState* dev, const UCHAR* output, ULONG outputLength, ULONG bytesReturned,
                          const UCHAR* raw, ULONG rawLength) {
  bool mjpeg = dev->OutputFormatCode == qcam::kFourCC_MJPG;
  ULONG imageSize;
  USHORT imageFormat;
  if (mjpeg) {
    imageSize = ULONG(dev->Width) * ULONG(dev->Height) * 3;
    imageFormat = qcam::kFormatRGB24;
  } else {
    // An empty frame (failed decode, short buffer) is not a picture: the
    // snapshot waits for the next good frame.
    if (bytesReturned == 0) return;
    imageSize = outputLength;
    imageFormat = USHORT(dev->FormatIndex);
  }
  PUCHAR file = static_cast<PUCHAR>(ExAllocatePool(NonPagedPool, qcam::kSnapshotHeaderSize + size_t(imageSize)));
  if (!file) return;  // still pending: retried on the next frame
  if (mjpeg) {
    if (!dev->ScratchBuffer) {
      dev->ScratchSize = ULONG(dev->Width) * ULONG(dev->Height) * 2;
      dev->ScratchBuffer = static_cast<PUCHAR>(ExAllocatePool(NonPagedPool, dev->ScratchSize));
    }
    ULONG decoded = dev->ScratchBuffer ? DecodeJPEGToRGB24(file + qcam::kSnapshotHeaderSize, imageSize, raw, rawLength, dev)
                                       : 0;
    if (dev->ScratchBuffer) ExFreePool(dev->ScratchBuffer);
    dev->ScratchBuffer = nullptr;
    if (decoded == 0) {
      // A frame the decoder refused leaves no half-written snapshot; the
      // next frame is tried.
      ExFreePool(file);
      return;
    }
  } else {
    memcpy(file + qcam::kSnapshotHeaderSize, output, imageSize);
  }
  USHORT requestedWidth = USHORT(dev->Width), requestedHeight = USHORT(dev->Height);
  if (dev->SnapshotSizeIndex < ULONG(qcam::kSnapshotSizeCount)) {
    requestedWidth = qcam::kSnapshotSizes[dev->SnapshotSizeIndex].width;
    requestedHeight = qcam::kSnapshotSizes[dev->SnapshotSizeIndex].height;
  }
  qcam::SnapshotFileHeader header = {};
  header.dwImageSize = imageSize;
  header.wFormatIndex = imageFormat;
  header.wWidth = USHORT(dev->Width);
  header.wHeight = USHORT(dev->Height);
  header.wRequestedWidth = requestedWidth;
  header.wRequestedHeight = requestedHeight;
  qcam::StoreSnapshotHeader(header, file);
  NTSTATUS written = WriteWholeFile(kSnapshotPath, file, qcam::kSnapshotHeaderSize + imageSize);
  ExFreePool(file);
  // A file that could not be written is not announced: the snapshot stays
  // pending and is tried again on the next frame.
  if (!NT_SUCCESS(written)) return;
  dev->StillPending = 0;
  // The press that asked for it is served: its snapshot-button byte, when
  // this frame's packets had all come before the press, would otherwise make
  // the next frame a second snapshot of the same press.
  dev->SnapshotButtonStill = 0;
  UpdateCameraStatus(qcam::kStatusSnapshotReady, 0);
}

NTSTATUS ProcessRawFrame(CameraDeviceState* dev, PUCHAR output, ULONG outputLength, const UCHAR* raw,
                         ULONG rawLength, PULONG bytesReturned) {
  if (!output || !raw || !g_Driver.FramesMayBeProcessed.load()) return STATUS_SUCCESS;
  std::lock_guard<std::mutex> guard(g_FrameLock);
  // Re-checked under the lock: bandwidth may have been freed meanwhile, or
  // the camera pulled out (its removal is marked under this lock, so a frame
  // that holds the lock is finished before the removal goes on).
  if (!g_Driver.FramesMayBeProcessed.load() || DeviceIsGone(dev)) return STATUS_SUCCESS;
  dev->DebugFlags |= 1;

  ULONG returned = 0;
  ULONG code = dev->OutputFormatCode;
  if (code == qcam::kFourCC_I420) {
    dev->FormatIndex = qcam::kFormatI420;
    if (dev->ScratchBuffer) returned = DecodeJPEGToI420(output, outputLength, raw, rawLength, dev);
  } else if (code == qcam::kFourCC_YUY2 || code == qcam::kFourCC_MJPG) {
    dev->FormatIndex = code == qcam::kFourCC_YUY2 ? qcam::kFormatYUY2 : qcam::kFormatMJPG;
    if (outputLength >= rawLength) {
      memcpy(output, raw, rawLength);
      returned = rawLength;
    }
  } else if (code == 0) {
    dev->FormatIndex = qcam::kFormatRGB24;
    if (dev->ScratchBuffer) returned = DecodeJPEGToRGB24(output, outputLength, raw, rawLength, dev);
  }
  *bytesReturned = returned;

  // Zoom, tracking and effects work on whole pictures of the stream's size:
  // a short frame (fewer bytes than the picture) passes as it came, never
  // processed together with the stale bytes after it.
  bool whole = returned != 0 && PictureBytes(dev->FormatIndex, dev->Width, dev->Height) <= returned;
  ULONG flags = __atomic_load_n(&g_Driver.Face.Flags, __ATOMIC_ACQUIRE);
  if ((flags & qcam::kFaceTrackFaces) && dev->Width <= 640) {
    if (whole) RunFaceTrackingBranch(dev, output, returned);
  } else {
    // Tracking cannot run at this width: only its own bit is cleared, so
    // that a property request changing the other bits meanwhile is kept.
    if (flags & qcam::kFaceTrackFaces) __atomic_fetch_and(&g_Driver.Face.Flags, ~qcam::kFaceTrackFaces, __ATOMIC_ACQ_REL);
    if (whole && dev->ZoomEnable) {
      // The rebuild request is taken before the window is read: a zoom
      // property that moves the window after this point asks again and is
      // served on the next frame.
      ULONG rebuild = __atomic_exchange_n(&dev->ZoomTableRebuild, 0u, __ATOMIC_ACQ_REL);
      ApplyZoom(dev, output, dev->ZoomScale, dev->ZoomWindowLeft, dev->ZoomWindowTop, TRUE, dev->ZoomTable,
                &rebuild);
      if (rebuild) __atomic_fetch_or(&dev->ZoomTableRebuild, rebuild, __ATOMIC_ACQ_REL);
    }
    if (whole && dev->SpecialEffect != qcam::kEffectNone) {
      SetEffectPicture(dev->FormatIndex, dev->Width, dev->Height, dev->SpecialEffect);
      ApplySpecialEffect(output, returned);
    }
  }

  if (dev->StillPending == 1 && !dev->StillStreamRunning)
    WriteSnapshot(dev, output, outputLength, returned, raw, rawLength);
  dev->FrameCounter++;
  return STATUS_SUCCESS;
}
