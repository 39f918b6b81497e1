// Photo frames: loading a frame bitmap into the stream's layout and laying it
// over the camera picture.
#include "driver/imaging/photo_frame.h"

#include <cstring>

#include "driver/core/settings.h"

namespace {

inline USHORT LoadLe16(const UCHAR* p) { return USHORT(p[0] | (p[1] << 8)); }
inline ULONG LoadLe32(const UCHAR* p) {
  return ULONG(p[0]) | (ULONG(p[1]) << 8) | (ULONG(p[2]) << 16) | (ULONG(p[3]) << 24);
}
inline void StoreLe16(UCHAR* p, USHORT v) {
  p[0] = UCHAR(v);
  p[1] = UCHAR(v >> 8);
}
inline void StoreLe32(UCHAR* p, ULONG v) {
  p[0] = UCHAR(v);
  p[1] = UCHAR(v >> 8);
  p[2] = UCHAR(v >> 16);
  p[3] = UCHAR(v >> 24);
}

inline LONG ClampByte(LONG v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

struct BuiltInFrame {
  PCSTR path;
  PCSTR fileName;
};
// Frame numbers 51 ... 61 in order.
const BuiltInFrame kBuiltInFrames[11] = {
    {"\\SystemRoot\\birthday.bmp", "birthday.bmp"},   {"\\SystemRoot\\city.bmp", "city.bmp"},
    {"\\SystemRoot\\bigeye.bmp", "bigeye.bmp"},       {"\\SystemRoot\\driver.bmp", "driver.bmp"},
    {"\\SystemRoot\\flower.bmp", "flower.bmp"},       {"\\SystemRoot\\halloween.bmp", "halloween.bmp"},
    {"\\SystemRoot\\news.bmp", "news.bmp"},           {"\\SystemRoot\\night.bmp", "night.bmp"},
    {"\\SystemRoot\\ocean.bmp", "ocean.bmp"},         {"\\SystemRoot\\snow.bmp", "snow.bmp"},
    {"\\SystemRoot\\tv.bmp", "tv.bmp"},
};

// Longest NT path the loader takes, in characters, without the terminator.
constexpr ULONG kMaxFramePathChars = 259;

}  // namespace

bool ReadBitmapHeaders(const UCHAR* bytes, ULONG length, BitmapFileHeader* file, BitmapInfoHeader* info) {
  if (bytes == nullptr || length < kFrameHeaderSize) return false;
  file->bfType = LoadLe16(bytes + 0);
  file->bfSize = LoadLe32(bytes + 2);
  file->bfReserved1 = LoadLe16(bytes + 6);
  file->bfReserved2 = LoadLe16(bytes + 8);
  file->bfOffBits = LoadLe32(bytes + 10);
  const UCHAR* i = bytes + kBitmapFileHeaderSize;
  info->biSize = LoadLe32(i + 0);
  info->biWidth = LONG(LoadLe32(i + 4));
  info->biHeight = LONG(LoadLe32(i + 8));
  info->biPlanes = LoadLe16(i + 12);
  info->biBitCount = LoadLe16(i + 14);
  info->biCompression = LoadLe32(i + 16);
  info->biSizeImage = LoadLe32(i + 20);
  info->biXPelsPerMeter = LONG(LoadLe32(i + 24));
  info->biYPelsPerMeter = LONG(LoadLe32(i + 28));
  info->biClrUsed = LoadLe32(i + 32);
  info->biClrImportant = LoadLe32(i + 36);
  return true;
}

bool IsFrameBitmapHeader(const BitmapFileHeader& file, const BitmapInfoHeader& info) {
  // bfSize and biSizeImage are left unchecked: writers commonly leave them 0,
  // and the read length already proves the pixel data is complete.
  return file.bfType == kBitmapSignature && file.bfOffBits == kFrameHeaderSize &&
         info.biSize == kBitmapInfoHeaderSize && info.biWidth == kFrameBitmapWidth &&
         info.biHeight == kFrameBitmapHeight && info.biPlanes == 1 && info.biBitCount == 24 &&
         info.biCompression == kBiRgb;
}

VOID WriteFrameBitmapHeaders(UCHAR* out) {
  std::memset(out, 0, kFrameHeaderSize);
  StoreLe16(out + 0, kBitmapSignature);
  StoreLe32(out + 2, kFrameFileSize);
  StoreLe32(out + 10, kFrameHeaderSize);
  UCHAR* i = out + kBitmapFileHeaderSize;
  StoreLe32(i + 0, kBitmapInfoHeaderSize);
  StoreLe32(i + 4, ULONG(kFrameBitmapWidth));
  StoreLe32(i + 8, ULONG(kFrameBitmapHeight));
  StoreLe16(i + 12, 1);
  StoreLe16(i + 14, 24);
  StoreLe32(i + 16, kBiRgb);
  StoreLe32(i + 20, kFramePixelBytes);
  StoreLe32(i + 24, 2835);  // 72 dpi
  StoreLe32(i + 28, 2835);
}

NTSTATUS ConvertPhotoFrame(const UCHAR* file, ULONG fileLength, PUCHAR framePicture, PUCHAR mask, LONG width,
                           LONG height, LONG layout) {
  if (file == nullptr || framePicture == nullptr || mask == nullptr) return STATUS_INVALID_PARAMETER;
  if (width <= 0 || height <= 0 || width > kFrameBitmapWidth || height > kFrameBitmapHeight)
    return STATUS_INVALID_PARAMETER;
  if (layout != 1 && !(layout == 2 && (width % 2) == 0)) return STATUS_INVALID_PARAMETER;
  if (fileLength < kFrameFileSize) return STATUS_INVALID_PARAMETER;
  BitmapFileHeader fh;
  BitmapInfoHeader ih;
  if (!ReadBitmapHeaders(file, fileLength, &fh, &ih) || !IsFrameBitmapHeader(fh, ih))
    return STATUS_INVALID_PARAMETER;

  const UCHAR* pixels = file + kFrameHeaderSize;
  const ULONG rowBytes = ULONG(width) * 3;
  const bool flip = layout == 2;  // YUY2 is top-down, the bitmap bottom-up

  // Scale by nearest neighbour into the frame picture, flipping for YUY2 on
  // the way (same result as scaling and then swapping rows), and build the
  // mask from the key colour.
  for (LONG r = 0; r < height; ++r) {
    const LONG srcRow = LONG((r * kFrameBitmapHeight) / height);
    const LONG dstRow = flip ? height - 1 - r : r;
    const UCHAR* src = pixels + ULONG(srcRow) * (kFrameBitmapWidth * 3);
    PUCHAR dst = framePicture + ULONG(dstRow) * rowBytes;
    PUCHAR m = mask + ULONG(dstRow) * ULONG(width);
    if (width == kFrameBitmapWidth) {
      std::memcpy(dst, src, rowBytes);
    } else {
      for (LONG c = 0; c < width; ++c) {
        const UCHAR* s = src + ((c * kFrameBitmapWidth) / width) * 3;
        dst[c * 3 + 0] = s[0];
        dst[c * 3 + 1] = s[1];
        dst[c * 3 + 2] = s[2];
      }
    }
    for (LONG c = 0; c < width; ++c) {
      const UCHAR* p = dst + c * 3;
      m[c] = (p[0] == 255 && p[1] == 0 && p[2] == 0) ? kMaskTransparent : kMaskOpaque;
    }
  }

  if (layout == 2) {
    // Pair by pair in place: the four YUY2 bytes of pair k (bytes 4k ... 4k+3)
    // never reach past the six RGB bytes it is made from (6k ... 6k+5), and
    // both pixels are read before anything is written.
    const ULONG pairs = ULONG(width) * ULONG(height) / 2;
    for (ULONG k = 0; k < pairs; ++k) {
      const UCHAR* p = framePicture + k * 6;
      const LONG b0 = p[0], g0 = p[1], r0 = p[2];
      const LONG b1 = p[3], g1 = p[4], r1 = p[5];
      const LONG y0 = ClampByte((587 * g0 + 299 * r0 + 114 * b0) / 1000);
      const LONG y1 = ClampByte((587 * g1 + 299 * r1 + 114 * b1) / 1000);
      const LONG u = ClampByte((500 * b0 - 331 * g0 - 169 * r0) / 1000 + 128);
      const LONG v = ClampByte((500 * r0 - 419 * g0 - 81 * b0) / 1000 + 128);
      PUCHAR q = framePicture + k * 4;
      q[0] = UCHAR(y0);
      q[1] = UCHAR(u);
      q[2] = UCHAR(y1);
      q[3] = UCHAR(v);
    }
  }
  return STATUS_SUCCESS;
}

NTSTATUS LoadPhotoFrame(PUCHAR framePicture, PUCHAR mask, PCSTR path, LONG width, LONG height, LONG layout,
                        PUCHAR workBuffer) {
  if (framePicture == nullptr || mask == nullptr || path == nullptr || workBuffer == nullptr)
    return STATUS_INVALID_PARAMETER;

  // The path becomes a terminated wide string in a fixed buffer, so a load
  // takes nothing from pool.
  ANSI_STRING ansi;
  RtlInitAnsiString(&ansi, path);
  if (ansi.Length > kMaxFramePathChars) return STATUS_INVALID_PARAMETER;
  WCHAR wide[kMaxFramePathChars + 1];
  UNICODE_STRING unicode;
  unicode.Length = 0;
  unicode.MaximumLength = USHORT(sizeof(wide) - sizeof(WCHAR));
  unicode.Buffer = wide;
  NTSTATUS status = RtlAnsiStringToUnicodeString(&unicode, &ansi, FALSE);
  if (!NT_SUCCESS(status)) return status;
  wide[unicode.Length / sizeof(WCHAR)] = 0;

  ULONG bytesRead = 0;
  status = ReadFileBytes(wide, workBuffer, kFrameFileSize, &bytesRead);
  if (!NT_SUCCESS(status)) return status;
  // A partly read file would leave the rest of the picture as whatever the
  // work buffer held before: refuse it like a missing one.
  if (bytesRead < kFrameFileSize) return STATUS_END_OF_FILE;
  return ConvertPhotoFrame(workBuffer, bytesRead, framePicture, mask, width, height, layout);
}

VOID OverlayPhotoFrameRgb(PUCHAR picture, LONG width, LONG height, const UCHAR* framePicture, const UCHAR* mask) {
  const ULONG n = ULONG(width) * ULONG(height);
  for (ULONG i = 0; i < n; ++i) {
    if (mask[i] == kMaskOpaque) {
      picture[i * 3 + 0] = framePicture[i * 3 + 0];
      picture[i * 3 + 1] = framePicture[i * 3 + 1];
      picture[i * 3 + 2] = framePicture[i * 3 + 2];
    }
  }
}

VOID OverlayPhotoFrameYuy2(PUCHAR picture, LONG width, LONG height, const UCHAR* framePicture,
                           const UCHAR* mask) {
  const ULONG pairs = ULONG(width) * ULONG(height) / 2;
  for (ULONG k = 0; k < pairs; ++k) {
    if (mask[2 * k] == kMaskOpaque || mask[2 * k + 1] == kMaskOpaque)
      std::memcpy(picture + k * 4, framePicture + k * 4, 4);
  }
}

PCSTR BuiltInFramePath(ULONG frameNumber) {
  if (frameNumber < 51 || frameNumber > 61) return nullptr;
  return kBuiltInFrames[frameNumber - 51].path;
}

PCSTR BuiltInFrameFileName(ULONG frameNumber) {
  if (frameNumber < 51 || frameNumber > 61) return nullptr;
  return kBuiltInFrames[frameNumber - 51].fileName;
}
