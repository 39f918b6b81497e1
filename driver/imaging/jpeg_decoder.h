// The driver's baseline JPEG decoder.
#pragma once

#include "driver/core/device_state.h"

// Frame header record (SOF0), 20 words.
struct JpegFrameInfo {
  ULONG P;   // precision
  ULONG Y;   // height
  ULONG X;   // width
  ULONG Nf;  // component count
  struct {
    ULONG C, H, V, Tq;
  } Component[4];
};
static_assert(sizeof(JpegFrameInfo) == 80, "frame record is 20 words");

// Scan header record (SOS), 15 words.
struct JpegScanInfo {
  ULONG Ls;
  ULONG Ns;
  struct {
    ULONG Cs, Td, Ta;
  } Component[3];
  ULONG Ss, Se, Ah, Al;
};
static_assert(sizeof(JpegScanInfo) == 60, "scan record is 15 words");

// Offset of the first entropy-coded byte on success; -1 when the data does not
// begin with FF D8; 0 when the header is rejected or has no SOS.
extern "C" LONG _DecodeJPEGHeader(const UCHAR* data, ULONG length, JpegFrameInfo* frameInfo,
                                  JpegScanInfo* scanInfo);
// Decode one MJPG frame; dstLength on success, 0 on any failure (also when
// the stream's scratch buffer is missing).
ULONG DecodeJPEGToI420(PUCHAR dst, ULONG dstLength, const UCHAR* src, ULONG srcLength, CameraDeviceState* stream);
ULONG DecodeJPEGToRGB24(PUCHAR dst, ULONG dstLength, const UCHAR* src, ULONG srcLength, CameraDeviceState* stream);
