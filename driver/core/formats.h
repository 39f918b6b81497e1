// Stream formats offered to capture applications: the configuration
// descriptor walk, the capture format slots, format match and intersection.
#pragma once

#include "driver/core/device_state.h"
#include "platform/stream/strmini.h"
#include "shared/uvc_wire.h"

// USB video-class records are read through the one declaration in
// shared/uvc_wire.h.
using uvc::ReadLe16;
using uvc::ReadLe32;
using uvc::WriteLe32;

// Walks a configuration descriptor of `length` bytes and fills `out`. The walk
// is bounded by `length`, stops at a zero or overrunning bLength, and never
// stores more frames, intervals or still sizes than the tables hold.
VOID ParseConfigurationDescriptor(const UCHAR* data, ULONG length, ParsedDescriptors* out);
// Rebuilds the capture format slots (MJPEG frames first, then uncompressed)
// from g_Driver.Descriptors; returns the number of slots filled.
ULONG RebuildFormats();

// The driver-wide stream-information table (two streams).
extern HW_STREAM_INFORMATION g_StreamInfo[2];
// Capture format slots.
extern KS_DATARANGE_VIDEO g_CaptureFormats[kMaxFormatSlots];

// Offered slot matching a requested video format, or -1.
LONG FindMatchingFormat(ULONG streamNumber, const KSDATAFORMAT* format);
NTSTATUS DataIntersection(PHW_STREAM_REQUEST_BLOCK srb);
NTSTATUS SetDataFormat(CameraDeviceState* dev, PHW_STREAM_REQUEST_BLOCK srb);

// The video info header of a format, when the format is large enough to hold it.
const KS_VIDEOINFOHEADER* VideoInfoOf(const KSDATAFORMAT* format);
// The output format index (qcam::kFormat*) of a FourCC (0: RGB24), or -1.
LONG FormatIndexOfCode(ULONG code);
