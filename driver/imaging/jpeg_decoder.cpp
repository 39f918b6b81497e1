// PLACEHOLDER until the JPEG decoder is built: every decode delivers a
// zero-length frame.
#include "driver/imaging/jpeg_decoder.h"

extern "C" LONG _DecodeJPEGHeader(const UCHAR* data, ULONG length, JpegFrameInfo*, JpegScanInfo*) {
  if (!data || length < 2 || data[0] != 0xFF || data[1] != 0xD8) return -1;
  return 0;
}
ULONG DecodeJPEGToI420(PUCHAR, ULONG, const UCHAR*, ULONG, CameraDeviceState*) { return 0; }
ULONG DecodeJPEGToRGB24(PUCHAR, ULONG, const UCHAR*, ULONG, CameraDeviceState*) { return 0; }
