// Digital zoom per frame at 640 x 480 in each layout, with and without the
// coordinate table, measured beside a memcpy of the same frame bytes (the
// zoom copies its result back over the frame once, so a memcpy is its floor).
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "driver/core/zoom.h"
#include "shared/qcam_defs.h"

namespace {

constexpr LONG kWidth = 640, kHeight = 480;

size_t FrameBytes(LONG format) {
  const size_t pixels = size_t(kWidth) * kHeight;
  return format == qcam::kFormatRGB24 ? pixels * 3 : format == qcam::kFormatYUY2 ? pixels * 2 : pixels * 3 / 2;
}

std::vector<uint8_t> Noise(size_t bytes) {
  std::vector<uint8_t> v(bytes);
  std::mt19937 rng(640480);
  for (auto& b : v) b = uint8_t(rng());
  return v;
}

void Zoom(benchmark::State& state, LONG format, bool useTable) {
  CameraDeviceState dev;
  memset(&dev, 0, sizeof(dev));
  dev.Width = kWidth;
  dev.Height = kHeight;
  dev.FormatIndex = format;
  dev.ZoomScale = 2000;
  dev.ZoomXOffset = 40;
  dev.ZoomYOffset = -30;
  dev.ZoomTableRebuild = 1;
  std::vector<uint8_t> frame = Noise(FrameBytes(format));
  // The first frame allocates the buffers and builds the table, as the first
  // zoomed frame of a stream does.
  ApplyZoom(&dev, frame.data(), 2000, 158, 150, useTable, dev.ZoomTable, &dev.ZoomTableRebuild);
  for (auto _ : state) {
    NTSTATUS s = ApplyZoom(&dev, frame.data(), 2000, 158, 150, useTable, dev.ZoomTable, &dev.ZoomTableRebuild);
    benchmark::DoNotOptimize(s);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(frame.size()));
  FreeZoomBuffers(&dev);
}

void Memcpy(benchmark::State& state, LONG format) {
  std::vector<uint8_t> frame = Noise(FrameBytes(format)), copy(frame.size());
  for (auto _ : state) {
    memcpy(copy.data(), frame.data(), frame.size());
    benchmark::DoNotOptimize(copy.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(frame.size()));
}

BENCHMARK_CAPTURE(Memcpy, yuy2_reference, qcam::kFormatYUY2);
BENCHMARK_CAPTURE(Zoom, yuy2_direct, qcam::kFormatYUY2, false);
BENCHMARK_CAPTURE(Zoom, yuy2_table, qcam::kFormatYUY2, true);
BENCHMARK_CAPTURE(Memcpy, rgb24_reference, qcam::kFormatRGB24);
BENCHMARK_CAPTURE(Zoom, rgb24_direct, qcam::kFormatRGB24, false);
BENCHMARK_CAPTURE(Zoom, rgb24_table, qcam::kFormatRGB24, true);
BENCHMARK_CAPTURE(Memcpy, i420_reference, qcam::kFormatI420);
BENCHMARK_CAPTURE(Zoom, i420, qcam::kFormatI420, false);

}  // namespace

BENCHMARK_MAIN();
