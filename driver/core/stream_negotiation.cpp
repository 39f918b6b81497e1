// Negotiation of the capture stream with the camera: the probe at bandwidth
// allocation, the commit at stream start, the alternate setting, and the
// start, stop and release of the stream.
#include "driver/core/stream_negotiation.h"

#include <cstddef>
#include <cstring>
#include <mutex>

#include "driver/core/camera_control.h"
#include "driver/core/face_tracking.h"
#include "driver/core/formats.h"
#include "driver/core/frame_pipeline.h"
#include "driver/core/settings.h"
#include "driver/core/zoom.h"
#include "driver/imaging/effects.h"
#include "shared/qcam_defs.h"
#include "shared/uvc_wire.h"

// ---- negotiation ------------------------------------------------------------------------------

ULONG SnapshotSizeIndexFor(LONG width, LONG height) {
  switch (width) {
    case 160: return 0;
    case 176: return 1;
    case 320: return 2;
    case 352: return 3;
    case 800: return 5;
    case 1024: return 6;
    case 1600: return 11;
    case 2304: return 12;
    case 1280: return height == 720 ? 7 : height == 800 ? 8 : height == 960 ? 9 : 10;
    case 2560: return height == 2048 ? 14 : 13;
    default: return 4;
  }
}

LONG FormatIndexOfCode(ULONG code) {
  if (code == qcam::kFourCC_I420) return qcam::kFormatI420;
  if (code == 0) return qcam::kFormatRGB24;
  if (code == qcam::kFourCC_YUY2) return qcam::kFormatYUY2;
  if (code == qcam::kFourCC_MJPG) return qcam::kFormatMJPG;
  return -1;
}

// The camera format a stream of this output format is probed with: the
// uncompressed one only for YUY2 on an interface with enough bandwidth
// (four or more alternate settings), the MJPEG one otherwise.
static const ParsedFormat* ProbeFormatFor(ULONG formatCode) {
  const ParsedDescriptors& d = g_Driver.Descriptors;
  if (formatCode == qcam::kFourCC_YUY2 && d.AlternateSettings >= 4) return &d.Uncompressed;
  return &d.Mjpeg;
}

static LONG FindFrame(const ParsedFormat* format, LONG width, LONG height) {
  if (!format->Present) return -1;
  for (UCHAR i = 0; i < format->FrameCount; ++i)
    if (format->Frames[i].wWidth == width && format->Frames[i].wHeight == height) return i;
  return -1;
}

// Fills a probe/commit record for the current stream: format index, frame
// index and the negotiated values.
static VOID FillStartProbe(CameraDeviceState* dev, UCHAR* probe) {
  const ParsedFormat* format = ProbeFormatFor(dev->OutputFormatCode);
  LONG position = FindFrame(format, dev->Width, dev->Height);
  memset(probe, 0, uvc::kProbeCommitSize);
  probe[offsetof(uvc::VideoProbeCommit, bFormatIndex)] = format->bFormatIndex;
  // The frame is named by the descriptor's own index, as the probe named it:
  // a camera need not number its frames 1, 2, 3... in table order.
  probe[offsetof(uvc::VideoProbeCommit, bFrameIndex)] = position >= 0 ? format->Frames[position].bFrameIndex : 0;
  WriteLe32(probe + offsetof(uvc::VideoProbeCommit, dwFrameInterval), g_Driver.FrameInterval);
  WriteLe32(probe + offsetof(uvc::VideoProbeCommit, dwMaxVideoFrameSize), g_Driver.MaxVideoFrameSize);
  WriteLe32(probe + offsetof(uvc::VideoProbeCommit, dwMaxPayloadTransferSize), g_Driver.MaxPayloadTransferSize);
}

static VOID ChooseAlternateSetting(CameraDeviceState* dev, ULONG payload) {
  if (g_Driver.Descriptors.AlternateSettings < 4) {
    dev->EndOfFrameMode = 0;
    dev->StreamingAlternateSetting = payload < 956 ? 1 : 2;
    return;
  }
  dev->EndOfFrameMode = 1;
  dev->StreamingAlternateSetting = payload >= 2048 ? 6 : payload >= 1024 ? 5 : payload >= 512 ? 4
                                   : payload >= 256 ? 3 : payload >= 128 ? 2 : 1;
}

// The probe and commit controls of the streaming interface.
constexpr USHORT kProbe = uvc::ControlValue(uvc::VS_PROBE_CONTROL);
constexpr USHORT kCommit = uvc::ControlValue(uvc::VS_COMMIT_CONTROL);
constexpr USHORT kStreamingIndex = uvc::ControlIndex(0, uvc::kStreamingInterface);

// Sends the probe for one frame of a camera format and reads back what the
// camera made of it. A failed set or get returns the transfer's status and
// leaves `negotiated` unusable: nothing is taken from a read-back buffer the
// camera never filled.
static NTSTATUS NegotiateProbe(CameraDeviceState* dev, const ParsedFormat* format, const ParsedFrame& frame,
                               ULONG interval, UCHAR* negotiated) {
  memset(negotiated, 0, uvc::kProbeCommitSize);
  negotiated[offsetof(uvc::VideoProbeCommit, bFormatIndex)] = format->bFormatIndex;
  negotiated[offsetof(uvc::VideoProbeCommit, bFrameIndex)] = frame.bFrameIndex;
  WriteLe32(negotiated + offsetof(uvc::VideoProbeCommit, dwFrameInterval), interval);
  WriteLe32(negotiated + offsetof(uvc::VideoProbeCommit, dwMaxVideoFrameSize), frame.dwMaxVideoFrameBufferSize);
  WriteLe32(negotiated + offsetof(uvc::VideoProbeCommit, dwMaxPayloadTransferSize), 0x00000200);
  NTSTATUS status = SendControlRequest(dev, uvc::SET_CUR, kProbe, kStreamingIndex, negotiated, uvc::kProbeCommitSize, kControlSet);
  if (!NT_SUCCESS(status)) return status;
  return ReadWholeControl(dev, uvc::GET_CUR, kProbe, kStreamingIndex, negotiated, uvc::kProbeCommitSize);
}

// Keeps the negotiated values for the commit at stream start.
static VOID AdoptProbe(const UCHAR* negotiated) {
  g_Driver.ProbeFormatIndex = negotiated[offsetof(uvc::VideoProbeCommit, bFormatIndex)];
  g_Driver.ProbeFrameIndex = negotiated[offsetof(uvc::VideoProbeCommit, bFrameIndex)];
  g_Driver.FrameInterval = ReadLe32(negotiated + offsetof(uvc::VideoProbeCommit, dwFrameInterval));
  g_Driver.MaxVideoFrameSize = ReadLe32(negotiated + offsetof(uvc::VideoProbeCommit, dwMaxVideoFrameSize));
  g_Driver.MaxPayloadTransferSize = ReadLe32(negotiated + offsetof(uvc::VideoProbeCommit, dwMaxPayloadTransferSize));
  g_Driver.CommitNeeded = TRUE;
}

// Takes the new picture size and output format and replaces the decoder's
// scratch picture, which both decoded formats need on every frame.
static NTSTATUS ReplaceScratchPicture(CameraDeviceState* dev, ULONG code, LONG width, LONG height) {
  std::lock_guard<std::mutex> guard(g_FrameLock);
  dev->OutputFormatCode = code;
  dev->Height = height;
  dev->Width = width;
  if (dev->ScratchBuffer) ExFreePool(dev->ScratchBuffer);
  dev->ScratchBuffer = nullptr;
  dev->ScratchSize = ULONG(width) * ULONG(height) * 2;
  if (code == 0 || code == qcam::kFourCC_I420) {
    dev->ScratchBuffer = static_cast<PUCHAR>(ExAllocatePool(NonPagedPool, dev->ScratchSize));
    if (!dev->ScratchBuffer) {
      dev->ScratchSize = 0;
      return STATUS_INSUFFICIENT_RESOURCES;
    }
  }
  return STATUS_SUCCESS;
}

// Effects, face tracking, the snapshot size and the zoom window follow the
// format being set up; frames may be processed from here on.
static VOID PrepareFramePipeline(CameraDeviceState* dev, ULONG code, LONG width, LONG height) {
  std::lock_guard<std::mutex> guard(g_FrameLock);
  ResetEffectState();
  AllocateEffectBuffers(width, height);
  if (width > 640) {
    g_Driver.Face.Flags &= ~qcam::kFaceTrackFaces;
    WriteDwordSetting(qcam::kKeyCurrent, u"FTEnable", 0);
  }
  PrepareFaceTracking(width, height, FormatIndexOfCode(code));
  dev->SnapshotSizeIndex = SnapshotSizeIndexFor(width, height);
  // The window is placed for the format being set up, not for the last one
  // a frame was processed in (none after load).
  RecomputeZoomWindow(dev, FormatIndexOfCode(code));
  g_Driver.FramesMayBeProcessed.store(1);
}

NTSTATUS AllocateBandwidthStream0(CameraDeviceState* dev, PULONG rawFrameLength, PVOID formatBuffer) {
  if (!dev || !rawFrameLength || !formatBuffer) return STATUS_INVALID_PARAMETER;
  const KSDATAFORMAT* format = static_cast<const KSDATAFORMAT*>(formatBuffer);
  const KS_VIDEOINFOHEADER* vih = VideoInfoOf(format);
  if (!vih) return STATUS_INVALID_PARAMETER;
  ULONG code = vih->bmiHeader.biCompression;
  LONG width = vih->bmiHeader.biWidth, height = vih->bmiHeader.biHeight;
  // Only a size the camera has in the format it will be probed with can be
  // negotiated; anything else fails before any state changes.
  const ParsedFormat* probeFormat = ProbeFormatFor(code);
  LONG position = FindFrame(probeFormat, width, height);
  if (position < 0 || FormatIndexOfCode(code) < 0) return STATUS_NO_MATCH;
  const ParsedFrame& frame = probeFormat->Frames[position];
  ULONG interval = (code == qcam::kFourCC_YUY2 && width == 1280) ? frame.dwDefaultFrameInterval
                                                                 : ULONG(vih->AvgTimePerFrame);

  UCHAR negotiated[uvc::kProbeCommitSize];
  NTSTATUS status = NegotiateProbe(dev, probeFormat, frame, interval, negotiated);
  if (!NT_SUCCESS(status)) return status;
  status = ReplaceScratchPicture(dev, code, width, height);
  if (!NT_SUCCESS(status)) return status;
  *rawFrameLength = ULONG(width) * ULONG(height) * 2;
  AdoptProbe(negotiated);
  ChooseAlternateSetting(dev, g_Driver.MaxPayloadTransferSize);
  PrepareFramePipeline(dev, code, width, height);
  return STATUS_SUCCESS;
}

NTSTATUS CommitVideoStream(CameraDeviceState* dev) {
  // The record's routines are valid only when its version says so.
  PFNUSBCAMD_CommitBracket bracket =
      dev->ClassInterface.Interface.Version != 0 ? dev->ClassInterface.USBCAMD_CommitBracket : nullptr;
  if (bracket) bracket(dev, 0);
  NTSTATUS status = STATUS_SUCCESS;
  if (g_Driver.CommitNeeded && g_Driver.ProbeCommitBuffer) {
    status = SendControlRequest(dev, uvc::SET_CUR, kCommit, kStreamingIndex, g_Driver.ProbeCommitBuffer, uvc::kProbeCommitSize,
                                kControlSet);
    // A commit the camera refused is still needed.
    if (NT_SUCCESS(status)) g_Driver.CommitNeeded = FALSE;
    if (bracket) bracket(dev, 0);
  }
  return status;
}

NTSTATUS StartCaptureStream0(CameraDeviceState* dev) {
  dev->FrameCounter = 0;
  if (g_Driver.ProbeCommitBuffer) ExFreePool(g_Driver.ProbeCommitBuffer);
  g_Driver.ProbeCommitBuffer = static_cast<PUCHAR>(ExAllocatePool(NonPagedPool, uvc::kProbeCommitSize));
  if (!g_Driver.ProbeCommitBuffer) return STATUS_INSUFFICIENT_RESOURCES;
  FillStartProbe(dev, g_Driver.ProbeCommitBuffer);

  ULONG led = 0;
  ReadDwordSetting(qcam::kKeyCurrent, u"LEDCtrlTmp", &led, 0);
  SetCameraLed(dev, led);
  NTSTATUS committed = CommitVideoStream(dev);
  if (!NT_SUCCESS(committed)) return committed;
  dev->StillPending = 0;
  dev->StillTrigger = 0;
  dev->SnapshotButtonStill = 0;
  UpdateCameraStatus(qcam::kStatusStreaming, 0);

  // Tuning values: a missing value reads 0 and replaces the built-in default.
  for (int p = 0; p < qcam::kFaceParamCount; ++p) {
    ULONG v = 0;
    ReadDwordSetting(qcam::kKeyCurrent, qcam::kFaceParamNames[p], &v, 0);
    g_Driver.Face.Param[p + 1] = LONG(v);
  }
  for (int s = 0; s < qcam::kSkinRuleSetCount; ++s)
    for (int k = 0; k < qcam::kSkinRuleCount; ++k) {
      ULONG v = 0;
      ReadDwordSetting(qcam::kKeyCurrent, qcam::kSkinRuleNames[s][k], &v, 0);
      g_Driver.Face.SkinRules[s][k] = LONG(v);
    }
  return STATUS_SUCCESS;
}

NTSTATUS StopCaptureStream0(CameraDeviceState* dev) {
  if (DeviceIsGone(dev)) return STATUS_IO_DEVICE_ERROR;
  dev->StillPending = 0;
  UpdateCameraStatus(0, qcam::kStatusStreaming);
  return STATUS_SUCCESS;
}

NTSTATUS FreeBandwidthStream0(CameraDeviceState* dev) {
  g_Driver.FramesMayBeProcessed.store(0);
  std::lock_guard<std::mutex> guard(g_FrameLock);
  if (dev->ScratchBuffer) ExFreePool(dev->ScratchBuffer);
  dev->ScratchBuffer = nullptr;
  dev->ScratchSize = 0;
  if (g_Driver.ProbeCommitBuffer) ExFreePool(g_Driver.ProbeCommitBuffer);
  g_Driver.ProbeCommitBuffer = nullptr;
  FreeEffectBuffers();
  FreeFaceTrackingBuffers();
  FreeZoomBuffers(dev);
  return STATUS_SUCCESS;
}
