// The snapshot file's reader and the conversions of delivered pixels.
#include "sim/snapshot_file.h"

#include "shared/qcam_defs.h"

namespace sim {

bool DeliveredToRgb(uint32_t fourcc, const uint8_t* data, size_t size, int width, int height, RgbImage* out) {
  const size_t pixels = size_t(width) * height;
  if (fourcc == qcam::kFourCC_YUY2) {
    if (size < pixels * 2) return false;
    Yuy2ToRgb(data, width, height, out);
    return true;
  }
  if (fourcc == qcam::kFourCC_I420 || fourcc == qcam::kFourCC_IYUV) {
    if (size < pixels + 2 * size_t((width + 1) / 2) * ((height + 1) / 2)) return false;
    I420ToRgb(data, width, height, out);
    return true;
  }
  if (fourcc == 0) {
    if (size < pixels * 3) return false;
    BottomUpBgrToRgb(data, width, height, out);
    return true;
  }
  return false;
}

// ---- the snapshot file ---------------------------------------------------------------------

const char* SnapshotFormatName(uint16_t formatIndex) {
  switch (formatIndex) {
    case qcam::kFormatI420: return "I420";
    case qcam::kFormatRGB24: return "BGR24 bottom-up";
    case qcam::kFormatYUY2: return "YUY2";
    case qcam::kFormatMJPG: return "MJPG (JPEG)";
    default: return "unknown";
  }
}

bool ParseSnapshotFile(const uint8_t* data, size_t size, SnapshotFile* out, std::string* error) {
  if (!data || size < kSnapshotHeaderSize) {
    *error = "snapshot file shorter than its 48-byte header";
    return false;
  }
  const qcam::SnapshotFileHeader header = qcam::LoadSnapshotHeader(data);
  SnapshotFile s;
  s.imageBytes = header.dwImageSize;
  s.formatIndex = header.wFormatIndex;
  s.width = header.wWidth;
  s.height = header.wHeight;
  s.requestedWidth = header.wRequestedWidth;
  s.requestedHeight = header.wRequestedHeight;
  if (s.imageBytes > size - kSnapshotHeaderSize) {
    *error = "snapshot file truncated: header announces " + std::to_string(s.imageBytes) + " image bytes, " +
             std::to_string(size - kSnapshotHeaderSize) + " present";
    return false;
  }
  if (s.formatIndex > qcam::kFormatMJPG) {
    *error = "snapshot file has unknown format index " + std::to_string(s.formatIndex);
    return false;
  }
  if (s.width == 0 || s.height == 0) {
    *error = "snapshot file has an empty picture size";
    return false;
  }
  const uint64_t pixels = uint64_t(s.width) * s.height;
  uint64_t need = 0;
  switch (s.formatIndex) {
    case qcam::kFormatI420: need = pixels + 2 * uint64_t((s.width + 1) / 2) * ((s.height + 1) / 2); break;
    case qcam::kFormatRGB24: need = pixels * 3; break;
    case qcam::kFormatYUY2: need = pixels * 2; break;
    default: need = 4; break;  // at least SOI and EOI
  }
  if (s.imageBytes < need) {
    *error = "snapshot image too short for " + std::to_string(s.width) + "x" + std::to_string(s.height) + " " +
             SnapshotFormatName(s.formatIndex) + ": " + std::to_string(s.imageBytes) + " bytes";
    return false;
  }
  if (s.formatIndex == qcam::kFormatMJPG && !(data[48] == 0xFF && data[49] == 0xD8)) {
    *error = "snapshot JPEG does not start with a start-of-image marker";
    return false;
  }
  s.image.assign(data + kSnapshotHeaderSize, data + kSnapshotHeaderSize + s.imageBytes);
  *out = std::move(s);
  return true;
}

bool SnapshotToRgb(const SnapshotFile& snap, RgbImage* out, std::string* error) {
  uint32_t fourcc = 0;
  switch (snap.formatIndex) {
    case qcam::kFormatI420: fourcc = qcam::kFourCC_I420; break;
    case qcam::kFormatRGB24: fourcc = 0; break;
    case qcam::kFormatYUY2: fourcc = qcam::kFourCC_YUY2; break;
    default:
      *error = "the snapshot holds a JPEG picture, not raw pixels";
      return false;
  }
  if (!DeliveredToRgb(fourcc, snap.image.data(), snap.image.size(), snap.width, snap.height, out)) {
    *error = "snapshot image too short for its size";
    return false;
  }
  return true;
}

}  // namespace sim
