// Fuzzes the driver's configuration-descriptor walk and the format slots
// rebuilt from it: any bytes, exactly sized, so a read past the end is seen.
#include <cstdint>
#include <cstring>
#include <vector>

#include "driver/core/formats.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 65536) return 0;
  std::vector<uint8_t> copy(data, data + size);
  ParsedDescriptors parsed;
  ParseConfigurationDescriptor(copy.empty() ? nullptr : copy.data(), ULONG(copy.size()), &parsed);
  g_Driver.Descriptors = parsed;
  ULONG slots = RebuildFormats();
  if (slots > ULONG(kMaxFormatSlots)) __builtin_trap();
  // Read every output so that uninitialised or out-of-range values surface.
  volatile uint64_t sum = parsed.AlternateSettings;
  for (const ParsedFormat* f : {&parsed.Mjpeg, &parsed.Uncompressed}) {
    if (f->FrameCount > kMaxFramesPerFormat) __builtin_trap();
    for (int i = 0; i < f->FrameCount; ++i) {
      const ParsedFrame& fr = f->Frames[i];
      if (fr.IntervalCount > kMaxFrameIntervals) __builtin_trap();
      sum += fr.wWidth + fr.wHeight + fr.dwMaxVideoFrameBufferSize + fr.dwDefaultFrameInterval;
      for (int k = 0; k < fr.IntervalCount; ++k) sum += fr.Intervals[k];
    }
  }
  for (ULONG i = 0; i < slots; ++i) sum += g_CaptureFormats[i].ConfigCaps.MaxBitsPerSecond;
  (void)sum;
  return 0;
}
