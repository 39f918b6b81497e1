// Video control: the still pin's trigger capabilities and mode, and the
// discrete frame rates of every offered format.
#include "driver/core/props_internal.h"

namespace {

constexpr ULONG kStillStream = 1;
constexpr ULONG kTriggerCaps = KS_VideoControlFlag_ExternalTriggerEnable | KS_VideoControlFlag_Trigger;

constexpr ULONG kCapsRecordSize = sizeof(KSPROPERTY_VIDEOCONTROL_CAPS_S);
constexpr ULONG kModeRecordSize = sizeof(KSPROPERTY_VIDEOCONTROL_MODE_S);
constexpr ULONG kFrameRatesRecordSize = sizeof(KSPROPERTY_VIDEOCONTROL_FRAME_RATES_S);
constexpr ULONG kStreamIndexOffset = offsetof(KSPROPERTY_VIDEOCONTROL_CAPS_S, StreamIndex);
constexpr ULONG kCapsOffset = offsetof(KSPROPERTY_VIDEOCONTROL_CAPS_S, VideoControlCaps);
constexpr ULONG kModeOffset = offsetof(KSPROPERTY_VIDEOCONTROL_MODE_S, Mode);
constexpr ULONG kRangeIndexOffset = offsetof(KSPROPERTY_VIDEOCONTROL_FRAME_RATES_S, RangeIndex);
static_assert(kStreamIndexOffset == 24 && kCapsOffset == 28 && kModeOffset == 28 && kRangeIndexOffset == 28,
              "video-control record layouts");

// The frame behind offered format slot `slot`: the MJPEG frames fill the
// first slots, the uncompressed ones follow, and no more than the slots the
// stream offers. Null for a slot that offers nothing.
const ParsedFrame* FrameOfSlot(ULONG slot) {
  const ParsedDescriptors& d = g_Driver.Descriptors;
  ULONG mjpeg = d.Mjpeg.Present ? d.Mjpeg.FrameCount : 0;
  ULONG uncompressed = d.Uncompressed.Present ? d.Uncompressed.FrameCount : 0;
  if (mjpeg > ULONG(kMaxFramesPerFormat)) mjpeg = kMaxFramesPerFormat;
  if (uncompressed > ULONG(kMaxFramesPerFormat)) uncompressed = kMaxFramesPerFormat;
  if (slot >= ULONG(kMaxFormatSlots)) return nullptr;
  if (slot < mjpeg) return &d.Mjpeg.Frames[slot];
  if (slot - mjpeg < uncompressed) return &d.Uncompressed.Frames[slot - mjpeg];
  return nullptr;
}

NTSTATUS GetFrameRates(PHW_STREAM_REQUEST_BLOCK srb, const PropertyRequest& req) {
  ULONG rangeIndex = ULONG(LoadLong(req.Property8, kRangeIndexOffset));
  const ParsedFrame* frame = FrameOfSlot(rangeIndex);
  // A range the stream does not offer has no frame rates to report.
  if (!frame) return STATUS_INVALID_PARAMETER;
  ULONG count = frame->IntervalCount;
  if (count > ULONG(kMaxFrameIntervals)) count = kMaxFrameIntervals;
  ULONG needed = sizeof(KSMULTIPLE_ITEM) + 8 * count;
  if (req.DataSize == 0) {
    srb->ActualBytesTransferred = needed;
    return STATUS_BUFFER_OVERFLOW;
  }
  if (req.DataSize < needed) return STATUS_BUFFER_TOO_SMALL;
  StoreLong(req.Data, 0, LONG(8 * count));
  StoreLong(req.Data, 4, LONG(count));
  for (ULONG i = 0; i < count; ++i) {
    StoreLong(req.Data, 8 + 8 * i, LONG(frame->Intervals[i]));
    StoreLong(req.Data, 12 + 8 * i, 0);
  }
  srb->ActualBytesTransferred = needed;
  return STATUS_SUCCESS;
}

}  // namespace

NTSTATUS VideoControlGetProperty(CameraDeviceState* dev, PHW_STREAM_REQUEST_BLOCK srb) {
  ULONG id;
  NTSTATUS status = PeekPropertyId(srb, &id);
  if (!NT_SUCCESS(status)) return status;
  PropertyRequest req;
  switch (id) {
    case KSPROPERTY_VIDEOCONTROL_CAPS:
      status = OpenPropertyRequest(srb, kCapsRecordSize, kCapsRecordSize, &req);
      if (!NT_SUCCESS(status)) return status;
      if (ULONG(LoadLong(req.Data, kStreamIndexOffset)) != kStillStream) return STATUS_NOT_SUPPORTED;
      StoreLong(req.Data, kCapsOffset, LONG(kTriggerCaps));
      srb->ActualBytesTransferred = kCapsRecordSize;
      return STATUS_SUCCESS;
    case KSPROPERTY_VIDEOCONTROL_FRAME_RATES:
      status = OpenPropertyRequest(srb, kFrameRatesRecordSize, 0, &req);
      if (!NT_SUCCESS(status)) return status;
      return GetFrameRates(srb, req);
    case KSPROPERTY_VIDEOCONTROL_MODE:
      status = OpenPropertyRequest(srb, kModeRecordSize, kModeRecordSize, &req);
      if (!NT_SUCCESS(status)) return status;
      memset(req.Data, 0, kModeRecordSize);
      StoreLong(req.Data, kModeOffset, LONG(kTriggerCaps));
      srb->ActualBytesTransferred = kModeRecordSize;
      return STATUS_SUCCESS;
    default:
      return STATUS_NOT_SUPPORTED;
  }
}

NTSTATUS VideoControlSetProperty(CameraDeviceState* dev, PHW_STREAM_REQUEST_BLOCK srb) {
  ULONG id;
  NTSTATUS status = PeekPropertyId(srb, &id);
  if (!NT_SUCCESS(status)) return status;
  if (id != KSPROPERTY_VIDEOCONTROL_MODE) return STATUS_NOT_SUPPORTED;
  PropertyRequest req;
  status = OpenPropertyRequest(srb, kModeRecordSize, kModeRecordSize, &req);
  if (!NT_SUCCESS(status)) return status;
  ULONG stream = ULONG(LoadLong(req.Data, kStreamIndexOffset));
  ULONG mode = ULONG(LoadLong(req.Data, kModeOffset));
  // A trigger on the still pin makes the next packet mark a still.
  if (stream == kStillStream && (mode & kTriggerCaps)) dev->StillTrigger = 1;
  srb->ActualBytesTransferred = kModeRecordSize;
  return STATUS_SUCCESS;
}
