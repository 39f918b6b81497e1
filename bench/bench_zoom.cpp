// Digital zoom per frame at 640 x 480 in each layout, with and without the
// coordinate table, measured beside a memcpy of the same frame bytes (the
// zoom writes every byte of the frame once). Every row is timed on the
// thread's CPU clock (manual time), so other work on a shared machine does
// not count; the ratios to the memcpy are printed at the end of the run
// (target: at or under 4x). QCAM_VECTORS=portable (or ssse3) in the
// environment times the paths for processors without the wider vector units.
#include <benchmark/benchmark.h>

#include <time.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "driver/core/zoom.h"
#include "driver/imaging/vector_level.h"
#include "shared/qcam_defs.h"

namespace {

using bench_support::ThreadSeconds;

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
    const double t0 = ThreadSeconds();
    NTSTATUS s = ApplyZoom(&dev, frame.data(), 2000, 158, 150, useTable, dev.ZoomTable, &dev.ZoomTableRebuild);
    benchmark::DoNotOptimize(s);
    benchmark::ClobberMemory();
    state.SetIterationTime(ThreadSeconds() - t0);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(frame.size()));
  FreeZoomBuffers(&dev);
}

void Memcpy(benchmark::State& state, LONG format) {
  std::vector<uint8_t> frame = Noise(FrameBytes(format)), copy(frame.size());
  for (auto _ : state) {
    const double t0 = ThreadSeconds();
    memcpy(copy.data(), frame.data(), frame.size());
    benchmark::DoNotOptimize(copy.data());
    benchmark::ClobberMemory();
    state.SetIterationTime(ThreadSeconds() - t0);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(frame.size()));
}

#define QCAM_ZOOM_BENCH(...) BENCHMARK_CAPTURE(__VA_ARGS__)->UseManualTime()->Unit(benchmark::kMicrosecond)
QCAM_ZOOM_BENCH(Memcpy, yuy2_reference, qcam::kFormatYUY2);
QCAM_ZOOM_BENCH(Zoom, yuy2_direct, qcam::kFormatYUY2, false);
QCAM_ZOOM_BENCH(Zoom, yuy2_table, qcam::kFormatYUY2, true);
QCAM_ZOOM_BENCH(Memcpy, rgb24_reference, qcam::kFormatRGB24);
QCAM_ZOOM_BENCH(Zoom, rgb24_direct, qcam::kFormatRGB24, false);
QCAM_ZOOM_BENCH(Zoom, rgb24_table, qcam::kFormatRGB24, true);
QCAM_ZOOM_BENCH(Memcpy, i420_reference, qcam::kFormatI420);
QCAM_ZOOM_BENCH(Zoom, i420, qcam::kFormatI420, false);

// Collects the runs (the medians when repeated) to print each zoom row's
// ratio to the memcpy of its layout.
class RatioReporter : public bench_support::MedianReporter {
 public:
  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\nzoom / memcpy of the same frame, 640x480 (target <= 4)\n");
    const char* rows[][2] = {{"yuy2_direct", "yuy2"}, {"yuy2_table", "yuy2"},   {"rgb24_direct", "rgb24"},
                             {"rgb24_table", "rgb24"}, {"i420", "i420"}};
    for (const auto& row : rows) {
      const double zoom = Time(std::string("Zoom/") + row[0]);
      const double ref = Time(std::string("Memcpy/") + row[1] + "_reference");
      if (zoom <= 0 || ref <= 0) continue;
      const double ratio = zoom / ref;
      std::printf("  %-14s %6.2fx  %s\n", row[0], ratio, ratio <= 4.0 ? "ok" : "OVER TARGET");
    }
  }
};

}  // namespace

int main(int argc, char** argv) {
  RatioReporter reporter;
  return bench_support::RunBenchmarks(argc, argv, reporter);
}
