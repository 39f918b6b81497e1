// Stream formats offered to capture applications, negotiation with the camera
// and the per-frame pipeline.
#pragma once

#include "driver/core/device_state.h"
#include "platform/stream/strmini.h"

// ---- USB video class wire records ---------------------------------------------
// Little-endian field access; every caller checks the record's length first.
inline USHORT ReadLe16(const UCHAR* p) { return USHORT(p[0] | (p[1] << 8)); }
inline ULONG ReadLe32(const UCHAR* p) { return ULONG(p[0]) | ULONG(p[1]) << 8 | ULONG(p[2]) << 16 | ULONG(p[3]) << 24; }
inline VOID WriteLe32(UCHAR* p, ULONG v) {
  p[0] = UCHAR(v);
  p[1] = UCHAR(v >> 8);
  p[2] = UCHAR(v >> 16);
  p[3] = UCHAR(v >> 24);
}

// USB Video Class 1.0, video probe and commit controls: 26 bytes.
constexpr ULONG kProbeCommitSize = 26;
constexpr int kProbeFormatIndex = 2;            // bFormatIndex
constexpr int kProbeFrameIndex = 3;             // bFrameIndex
constexpr int kProbeFrameInterval = 4;          // dwFrameInterval
constexpr int kProbeMaxVideoFrameSize = 18;     // dwMaxVideoFrameSize
constexpr int kProbeMaxPayloadTransferSize = 22;  // dwMaxPayloadTransferSize

// Descriptor types and class-specific subtypes (USB Video Class 1.0, A.5/A.6).
constexpr UCHAR USB_INTERFACE_DESCRIPTOR_TYPE = 0x04;
constexpr UCHAR CS_INTERFACE = 0x24;
constexpr UCHAR CC_VIDEO = 0x0E;
constexpr UCHAR SC_VIDEOCONTROL = 0x01;
constexpr UCHAR SC_VIDEOSTREAMING = 0x02;
constexpr UCHAR VC_INPUT_TERMINAL = 0x02;
constexpr UCHAR VC_PROCESSING_UNIT = 0x05;
constexpr UCHAR VS_STILL_IMAGE_FRAME = 0x03;
constexpr UCHAR VS_FORMAT_UNCOMPRESSED = 0x04;
constexpr UCHAR VS_FRAME_UNCOMPRESSED = 0x05;
constexpr UCHAR VS_FORMAT_MJPEG = 0x06;
constexpr UCHAR VS_FRAME_MJPEG = 0x07;
// Minimum lengths of the records read.
constexpr UCHAR kInterfaceDescriptorSize = 9;
constexpr UCHAR kFormatUncompressedSize = 27;
constexpr UCHAR kFormatMjpegSize = 11;
constexpr UCHAR kFrameDescriptorFixedSize = 26;  // + 4 per discrete interval
constexpr UCHAR kInputTerminalSize = 8;
constexpr UCHAR kCameraTerminalFixedSize = 15;   // + bControlSize
constexpr UCHAR kProcessingUnitFixedSize = 8;    // + bControlSize
constexpr UCHAR kStillImageFrameFixedSize = 5;

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

// Snapshot size index for a stream size.
ULONG SnapshotSizeIndexFor(LONG width, LONG height);

NTSTATUS AllocateBandwidthStream0(CameraDeviceState* dev, PULONG rawFrameLength, PVOID format);
NTSTATUS StartCaptureStream0(CameraDeviceState* dev);
NTSTATUS StopCaptureStream0(CameraDeviceState* dev);
NTSTATUS FreeBandwidthStream0(CameraDeviceState* dev);
NTSTATUS CommitVideoStream(CameraDeviceState* dev);
NTSTATUS ProcessRawFrame(CameraDeviceState* dev, PUCHAR output, ULONG outputLength, const UCHAR* raw,
                         ULONG rawLength, PULONG bytesReturned);
// Releases the per-stream buffers shared with the frame path (effect work
// buffers), waiting for a frame in progress to finish.
VOID ReleaseFrameBuffers();

// Snapshot file header (little-endian, 48 bytes, image follows).
constexpr ULONG kSnapshotHeaderSize = 48;
constexpr PCWSTR kSnapshotPath = u"\\SystemRoot\\Snap.dat";
