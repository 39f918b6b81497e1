// Fuzzes the reader of the snapshot file \SystemRoot\Snap.dat used by
// 'qcam snapshot': header checks and the conversion of its picture.
#include <cstdint>
#include <string>
#include <vector>

#include "tools/qcam/common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  std::vector<uint8_t> bytes(data, data + size);
  qcam_tool::SnapshotFile snap;
  std::string error;
  if (!qcam_tool::ParseSnapshotFile(bytes.empty() ? nullptr : bytes.data(), bytes.size(), &snap, &error)) return 0;
  if (snap.image.size() != snap.imageBytes || snap.imageBytes + qcam_tool::kSnapshotHeaderSize > size) __builtin_trap();
  if (uint64_t(snap.width) * snap.height > 4096 * 4096) return 0;  // keep each run quick
  sim::RgbImage rgb;
  if (qcam_tool::SnapshotToRgb(snap, &rgb, &error) &&
      rgb.rgb.size() != size_t(snap.width) * snap.height * 3)
    __builtin_trap();
  return 0;
}
