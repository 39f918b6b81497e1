// Photo frames: a 640x480 24-bit bitmap with pure-blue cut-outs, scaled to
// the stream's picture size, converted to its layout and laid over every
// frame.
#pragma once

#include "platform/nt/ntddk.h"

// ---- Windows bitmap file: file header (14 bytes) + information header (40) ----
// The frame path accepts exactly one kind of file: 640x480, one plane, 24 bits
// per pixel, uncompressed, rows bottom-up without padding (1920 bytes a row is
// already a multiple of 4), pixel data right behind the 54 header bytes.
#pragma pack(push, 1)
struct BitmapFileHeader {
  USHORT bfType;  // "BM"
  ULONG bfSize;
  USHORT bfReserved1;
  USHORT bfReserved2;
  ULONG bfOffBits;
};
struct BitmapInfoHeader {
  ULONG biSize;
  LONG biWidth;
  LONG biHeight;  // positive: bottom-up
  USHORT biPlanes;
  USHORT biBitCount;
  ULONG biCompression;  // 0 = BI_RGB
  ULONG biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  ULONG biClrUsed;
  ULONG biClrImportant;
};
#pragma pack(pop)
static_assert(sizeof(BitmapFileHeader) == 14, "BITMAPFILEHEADER is 14 bytes");
static_assert(sizeof(BitmapInfoHeader) == 40, "BITMAPINFOHEADER is 40 bytes");
static_assert(offsetof(BitmapFileHeader, bfOffBits) == 10, "bfOffBits at 10");
static_assert(offsetof(BitmapInfoHeader, biBitCount) == 14, "biBitCount at 14");
static_assert(offsetof(BitmapInfoHeader, biCompression) == 16, "biCompression at 16");

constexpr ULONG kBitmapFileHeaderSize = 14;
constexpr ULONG kBitmapInfoHeaderSize = 40;
constexpr ULONG kFrameHeaderSize = kBitmapFileHeaderSize + kBitmapInfoHeaderSize;  // 54
constexpr LONG kFrameBitmapWidth = 640;
constexpr LONG kFrameBitmapHeight = 480;
constexpr ULONG kFramePixelBytes = 640u * 480u * 3u;                  // 921,600
constexpr ULONG kFrameFileSize = kFrameHeaderSize + kFramePixelBytes;  // 921,654
constexpr ULONG kFrameWorkBufferSize = 921700;                        // file plus slack
constexpr USHORT kBitmapSignature = 0x4D42;                            // "BM" little-endian
constexpr ULONG kBiRgb = 0;

// Mask bytes: one per pixel.
constexpr UCHAR kMaskTransparent = 255;  // show the camera
constexpr UCHAR kMaskOpaque = 0;         // show the frame

// Reads the two headers from the first 54 bytes of a file with explicit
// little-endian loads; false when fewer than 54 bytes are given.
bool ReadBitmapHeaders(const UCHAR* bytes, ULONG length, BitmapFileHeader* file, BitmapInfoHeader* info);
// True for the one file kind the frame path accepts (see above).
bool IsFrameBitmapHeader(const BitmapFileHeader& file, const BitmapInfoHeader& info);
// Writes the headers of a 640x480 24-bit frame bitmap into 54 bytes.
VOID WriteFrameBitmapHeaders(UCHAR* out54);

// Turns a complete frame file already in memory into the frame picture and
// mask for a picture of width x height in `layout` (1 = 24-bit RGB bottom-up,
// 2 = YUY2 top-down). `framePicture` holds width*height*3 bytes, `mask`
// width*height bytes. A short file, a header of another kind, a size above
// 640x480 or an unknown layout fail with STATUS_INVALID_PARAMETER and leave
// both buffers untouched.
NTSTATUS ConvertPhotoFrame(const UCHAR* file, ULONG fileLength, PUCHAR framePicture, PUCHAR mask, LONG width,
                           LONG height, LONG layout);

// Reads the bitmap at `path` (an ANSI NT path such as "\SystemRoot\tv.bmp")
// into `workBuffer` (kFrameWorkBufferSize bytes, allocated by the caller ahead
// of the frame path) and converts it as ConvertPhotoFrame does. Returns the
// status of the open or read, STATUS_END_OF_FILE for a file shorter than
// 921,654 bytes, STATUS_INVALID_PARAMETER for a header of another kind or a
// path too long, or STATUS_SUCCESS. On any failure the frame picture and mask
// keep what they held.
NTSTATUS LoadPhotoFrame(PUCHAR framePicture, PUCHAR mask, PCSTR path, LONG width, LONG height, LONG layout,
                        PUCHAR workBuffer);

// Composites the frame over the camera picture in place.
VOID OverlayPhotoFrameRgb(PUCHAR picture, LONG width, LONG height, const UCHAR* framePicture, const UCHAR* mask);
VOID OverlayPhotoFrameYuy2(PUCHAR picture, LONG width, LONG height, const UCHAR* framePicture,
                           const UCHAR* mask);

// Kernel path of a built-in frame (51 ... 61), or null.
PCSTR BuiltInFramePath(ULONG frameNumber);
// File name (without folder) of a built-in frame (51 ... 61), or null.
PCSTR BuiltInFrameFileName(ULONG frameNumber);
