// The snapshot file \SystemRoot\Snap.dat: a 48-byte little-endian header and
// the picture after it. The driver writes it and the tools read it through
// this one declaration.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qcam {

// The header as it lies in the file. It is written and read field by field
// with explicit little-endian stores and loads at these offsets, never by
// copying the host struct.
#pragma pack(push, 1)
struct SnapshotFileHeader {
  uint32_t dwImageSize;       // bytes of picture after the header
  uint16_t wFormatIndex;      // kFormatI420, kFormatRGB24, kFormatYUY2 or kFormatMJPG
  uint16_t wWidth;            // the picture's size
  uint16_t wHeight;
  uint16_t wRequestedWidth;   // the snapshot size asked for
  uint16_t wRequestedHeight;
  uint8_t bReserved[34];      // written as zero
};
#pragma pack(pop)
constexpr size_t kSnapshotHeaderSize = 48;
static_assert(sizeof(SnapshotFileHeader) == kSnapshotHeaderSize, "snapshot file header is 48 bytes");
static_assert(offsetof(SnapshotFileHeader, wFormatIndex) == 4, "wFormatIndex offset");
static_assert(offsetof(SnapshotFileHeader, wWidth) == 6, "wWidth offset");
static_assert(offsetof(SnapshotFileHeader, wHeight) == 8, "wHeight offset");
static_assert(offsetof(SnapshotFileHeader, wRequestedWidth) == 10, "wRequestedWidth offset");
static_assert(offsetof(SnapshotFileHeader, wRequestedHeight) == 12, "wRequestedHeight offset");
static_assert(offsetof(SnapshotFileHeader, bReserved) == 14, "bReserved offset");

// Stores the header into the first kSnapshotHeaderSize bytes of `file`.
inline void StoreSnapshotHeader(const SnapshotFileHeader& h, uint8_t* file) {
  auto put16 = [file](size_t at, uint16_t v) {
    file[at] = uint8_t(v);
    file[at + 1] = uint8_t(v >> 8);
  };
  for (size_t i = 0; i < kSnapshotHeaderSize; ++i) file[i] = 0;
  file[0] = uint8_t(h.dwImageSize);
  file[1] = uint8_t(h.dwImageSize >> 8);
  file[2] = uint8_t(h.dwImageSize >> 16);
  file[3] = uint8_t(h.dwImageSize >> 24);
  put16(offsetof(SnapshotFileHeader, wFormatIndex), h.wFormatIndex);
  put16(offsetof(SnapshotFileHeader, wWidth), h.wWidth);
  put16(offsetof(SnapshotFileHeader, wHeight), h.wHeight);
  put16(offsetof(SnapshotFileHeader, wRequestedWidth), h.wRequestedWidth);
  put16(offsetof(SnapshotFileHeader, wRequestedHeight), h.wRequestedHeight);
}

// Loads the header from at least kSnapshotHeaderSize bytes.
inline SnapshotFileHeader LoadSnapshotHeader(const uint8_t* file) {
  auto get16 = [file](size_t at) { return uint16_t(file[at] | file[at + 1] << 8); };
  SnapshotFileHeader h = {};
  h.dwImageSize = uint32_t(file[0]) | uint32_t(file[1]) << 8 | uint32_t(file[2]) << 16 | uint32_t(file[3]) << 24;
  h.wFormatIndex = get16(offsetof(SnapshotFileHeader, wFormatIndex));
  h.wWidth = get16(offsetof(SnapshotFileHeader, wWidth));
  h.wHeight = get16(offsetof(SnapshotFileHeader, wHeight));
  h.wRequestedWidth = get16(offsetof(SnapshotFileHeader, wRequestedWidth));
  h.wRequestedHeight = get16(offsetof(SnapshotFileHeader, wRequestedHeight));
  return h;
}

}  // namespace qcam
