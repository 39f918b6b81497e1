// The driver's snapshot file \SystemRoot\Snap.dat as its readers see it: a
// 48-byte little-endian header (image bytes, format index, picture size,
// requested size) followed by the picture, and the conversion of delivered
// and stored pixels to RGB for viewing. Read by the tools and by the
// simulated capture application.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "shared/snapshot_file.h"
#include "sim/image_io.h"

namespace sim {

using qcam::kSnapshotHeaderSize;
struct SnapshotFile {
  uint32_t imageBytes = 0;
  uint16_t formatIndex = 0;
  uint16_t width = 0, height = 0;
  uint16_t requestedWidth = 0, requestedHeight = 0;
  std::vector<uint8_t> image;
};
// Reads the little-endian header and checks that the image is all there and
// large enough for its format and size. False with a one-line reason.
bool ParseSnapshotFile(const uint8_t* data, size_t size, SnapshotFile* out, std::string* error);
// The snapshot's picture as RGB (format 0 I420, 1 bottom-up BGR, 2 YUY2,
// 3 JPEG); false with a reason.
bool SnapshotToRgb(const SnapshotFile& snap, RgbImage* out, std::string* error);
const char* SnapshotFormatName(uint16_t formatIndex);

// Converts a delivered buffer (YUY2, I420, bottom-up BGR for fourcc 0) to
// RGB for viewing; false when the buffer is too short for the size or the
// layout is none of these.
bool DeliveredToRgb(uint32_t fourcc, const uint8_t* data, size_t size, int width, int height, RgbImage* out);

}  // namespace sim
