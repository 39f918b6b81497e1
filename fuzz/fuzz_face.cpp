// Fuzzes the face detectors with camera bytes and registry tuning: a frame of
// any content and small size in YUY2 or RGB24 through the acquisition
// detector, the skin grid and the tracker (remembered centre, size and lost
// counter from the input too), the box outline and automatic framing.
#include <cstdint>
#include <cstring>
#include <vector>

#include "driver/core/face_detect.h"
#include "driver/core/face_tracking.h"
#include "driver/core/zoom.h"
#include "fuzz/input_reader.h"
#include "platform/nt/platform_control.h"
#include "shared/qcam_defs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool once = [] {
    platform::ResetMachine();
    return true;
  }();
  (void)once;
  FuzzReader in{data, size};
  const LONG w = 2 * (2 + in.Byte() % 79);  // 4 ... 160
  const LONG h = 2 * (2 + in.Byte() % 59);  // 4 ... 120
  const LONG format = (in.Byte() & 1) ? qcam::kFormatRGB24 : qcam::kFormatYUY2;
  FaceTrackingParameters params = {};
  for (int k = 1; k <= 7; ++k) params.Param[k] = in.I32();
  for (int s = 0; s < 4; ++s)
    for (int k = 0; k < 9; ++k) params.SkinRules[s][k] = LONG(int8_t(in.Byte())) * 2;
  FaceTrackerMemory memory;
  memory.HasPrevious = in.Byte() & 1;
  memory.Column = LONG(int8_t(in.Byte()));
  memory.Row = LONG(int8_t(in.Byte()));
  memory.Size = LONG(int8_t(in.Byte()));
  memory.Lost = LONG(int8_t(in.Byte()));

  std::vector<uint8_t> frame(size_t(w) * h * (format == qcam::kFormatRGB24 ? 3 : 2));
  for (auto& b : frame) b = in.Byte();
  std::vector<uint8_t> scratch(AcquisitionScratchBytes(w, h));
  FaceCandidateList list;
  AcquireFaceCandidates(frame.data(), w, h, format, params.Param[1], scratch.data(), scratch.size(), nullptr, &list);
  if (list.Count > kMaxFaceCandidates || list.Total > kMaxFaceCandidates) __builtin_trap();

  std::vector<uint8_t> planar(size_t(w) * h * 2);
  static ULONG grid[kSkinGridRows][kSkinGridColumns];
  const SkinTrackerTuning tuning = SkinTuningFrom(params);
  BuildSkinGrid(frame.data(), w, h, format, planar.data(), tuning.Rules, grid);
  FaceBox box = {};
  if (TrackFaceInGrid(grid, w, h, tuning, &memory, &box)) {
    DrawFaceOutline(frame.data(), w, h, format, box, 0xFF00FF);
    FaceTrackingParameters saved = g_Driver.Face;
    g_Driver.Face = params;
    CameraDeviceState dev;
    memset(&dev, 0, sizeof(dev));
    dev.Width = w;
    dev.Height = h;
    dev.FormatIndex = format;
    dev.ZoomScale = 1000 + ULONG(in.Byte()) * 20;
    dev.FaceHoldCounter = in.Byte() % 4;
    AutoFrameFace(&dev, frame.data(), 2, TRUE, box);
    AutoFrameFace(&dev, frame.data(), 0, FALSE, box);
    FreeZoomBuffers(&dev);
    g_Driver.Face = saved;
  }
  unsigned sum = 0;
  for (uint8_t b : frame) sum += b;
  if (sum == 0xFFFFFFFFu) __builtin_trap();
  return 0;
}
