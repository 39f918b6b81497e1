// Fuzzes the digital zoom with the values clients and automatic framing hand
// it: any scale, pan offsets and window corner, each layout, with and without
// the coordinate table, on an exactly sized frame whose bytes come from the
// input. Every output byte is read back, and the shuffled row plans must give
// the portable loops' bytes at every vector level. The second frame may move
// the window without asking for a rebuild (a kept table serves it; kept
// plans must follow it).
#include <cstdint>
#include <cstring>
#include <vector>

#include "driver/core/zoom.h"
#include "driver/imaging/vector_level.h"
#include "fuzz/input_reader.h"
#include "platform/nt/platform_control.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool once = [] {
    platform::ResetMachine();  // memory-only: the registry writes go nowhere
    return true;
  }();
  (void)once;
  FuzzReader in{data, size};
  CameraDeviceState dev;
  memset(&dev, 0, sizeof(dev));
  dev.Width = 2 * (1 + in.Byte() % 40);
  dev.Height = 2 * (1 + in.Byte() % 30);
  dev.FormatIndex = LONG(in.Byte() % 5) - 1;
  dev.ZoomScale = in.U32();
  dev.ZoomXOffset = LONG(in.U32());
  dev.ZoomYOffset = LONG(in.U32());
  const uint8_t mode = in.Byte();
  RecomputeZoomWindow(&dev);
  LONG left = dev.ZoomWindowLeft, top = dev.ZoomWindowTop;
  ULONG scale = dev.ZoomScale;
  if (mode & 1) {  // a corner and scale of their own, as automatic framing passes them
    left = LONG(in.U32());
    top = LONG(in.U32());
    scale = in.U32();
  }
  const size_t pixels = size_t(dev.Width) * dev.Height;
  std::vector<uint8_t> frame(dev.FormatIndex == 1 ? pixels * 3 : dev.FormatIndex == 0 ? pixels * 3 / 2 : pixels * 2);
  for (auto& b : frame) b = in.Byte();
  const BOOLEAN useTable = (mode & 2) ? TRUE : FALSE;
  const LONG moveX = (mode & 4) ? LONG(int8_t(in.Byte())) : 0;
  const LONG moveY = (mode & 4) ? LONG(int8_t(in.Byte())) : 0;
  const std::vector<uint8_t> input = frame;
  std::vector<uint8_t> portable;
  for (VectorLevel level : {VectorLevel::kPortable, VectorLevel::kSsse3, VectorLevel::kAvx2}) {
    SetEffectVectorCeiling(level);
    frame = input;
    dev.ZoomTableRebuild = 1;
    for (int round = 0; round < 2; ++round) {
      const LONG x = LONG(ULONG(left) + ULONG(round * moveX)), y = LONG(ULONG(top) + ULONG(round * moveY));
      ApplyZoom(&dev, frame.data(), scale, x, y, useTable, dev.ZoomTable, &dev.ZoomTableRebuild);
      unsigned sum = 0;
      for (uint8_t b : frame) sum += b;
      if (sum == 0xFFFFFFFFu) __builtin_trap();
    }
    FreeZoomBuffers(&dev);
    if (level == VectorLevel::kPortable)
      portable = frame;
    else if (frame != portable)
      __builtin_trap();
  }
  return 0;
}
