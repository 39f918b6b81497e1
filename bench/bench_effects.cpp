// Every effect and the photo-frame overlay at 640x480 on both layouts, with
// a memcpy of the same picture measured side by side as the reference.
//
// Each iteration restores the input picture with a memcpy and times one
// ApplySpecialEffect call (manual timing on the thread's CPU clock, so other
// work on a shared machine does not count), so effects whose work depends on
// the content always see the same camera-like picture. The restoring memcpy
// is timed too: it copies the same picture in the same iterations, so its
// ratio to the effect holds through the bursts of a shared machine, which
// move the separate memcpy rows and the effect rows apart. Targets: colour
// effects within 3x of the memcpy, spatial effects within 8x, judged on that
// paired ratio; both ratios are printed at the end of the run. QCAM_VECTORS=portable (or ssse3) in the
// environment times the paths for processors without the wider vector units.
#include <benchmark/benchmark.h>

#include <time.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

#include "bench/bench_support.h"
#include "driver/imaging/effect_state.h"
#include "driver/imaging/effects.h"
#include "driver/imaging/photo_frame.h"
#include "driver/imaging/vector_level.h"
#include "platform/nt/platform_control.h"
#include "shared/qcam_defs.h"
#include "tools/qcam/frame_art.h"

namespace {

using bench_support::Median;
using bench_support::ThreadSeconds;

constexpr int kW = 640;
constexpr int kH = 480;

// A camera-like picture: gradients, edges and some noise.
std::vector<uint8_t> Picture(int layout) {
  const size_t bytes = size_t(kW) * kH * (layout == qcam::kFormatRGB24 ? 3 : 2);
  std::vector<uint8_t> p(bytes);
  uint32_t seed = 12345;
  for (size_t i = 0; i < bytes; ++i) {
    seed = seed * 1103515245u + 12345u;
    const size_t pixel = i / (layout == qcam::kFormatRGB24 ? 3 : 2);
    const int x = int(pixel % kW), y = int(pixel / kW);
    int v = (x / 2 + y / 3 + ((x / 40 + y / 40) % 2) * 90) % 256;
    v += int((seed >> 16) % 17) - 8;
    p[i] = uint8_t(v < 0 ? 0 : (v > 255 ? 255 : v));
  }
  return p;
}

std::string g_root;

void SetUpMachine() {
  if (!g_root.empty()) return;
  g_root = (std::filesystem::temp_directory_path() / ("qcam-bench-effects-" + std::to_string(::getpid()))).string();
  platform::SetRoot(g_root);
  std::string error;
  qcam_tool::WritePhotoFrameBitmaps(g_root + "/Windows", &error);
}

void BM_Memcpy(benchmark::State& state, int layout) {
  const std::vector<uint8_t> src = Picture(layout);
  std::vector<uint8_t> dst(src.size());
  for (auto _ : state) {
    const double t0 = ThreadSeconds();
    std::memcpy(dst.data(), src.data(), src.size());
    benchmark::ClobberMemory();
    state.SetIterationTime(ThreadSeconds() - t0);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(src.size()));
}

void BM_Effect(benchmark::State& state, int layout, ULONG effect) {
  SetUpMachine();
  const std::vector<uint8_t> input = Picture(layout);
  std::vector<uint8_t> pic = input;
  ResetEffectState();
  AllocateEffectBuffers(kW, kH);
  SetEffectPicture(layout, kW, kH, effect);
  // Warm-up: builds the bulge map, loads a frame.
  if (ApplySpecialEffect(pic.data(), ULONG(pic.size())) != STATUS_SUCCESS) {
    state.SkipWithError("effect refused");
    return;
  }
  double copySeconds = 0;
  for (auto _ : state) {
    const double c0 = ThreadSeconds();
    std::memcpy(pic.data(), input.data(), input.size());
    benchmark::ClobberMemory();
    const double t0 = ThreadSeconds();
    ApplySpecialEffect(pic.data(), ULONG(pic.size()));
    benchmark::ClobberMemory();
    const double t1 = ThreadSeconds();
    state.SetIterationTime(t1 - t0);
    copySeconds += t0 - c0;
  }
  bench_support::RecordPairedMemcpy(state, copySeconds);
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(input.size()));
  state.SetLabel(EffectName(effect));
  FreeEffectBuffers();
}

void Register() {
  for (int layout : {qcam::kFormatRGB24, qcam::kFormatYUY2}) {
    benchmark::RegisterBenchmark(layout == 1 ? "memcpy/rgb24" : "memcpy/yuy2", BM_Memcpy, layout)
        ->UseManualTime()
        ->Unit(benchmark::kMicrosecond);
    for (ULONG e = qcam::kEffectFirst; e <= qcam::kEffectLast; ++e) {
      const std::string name = std::string(layout == 1 ? "rgb24/" : "yuy2/") + std::to_string(e);
      benchmark::RegisterBenchmark(name.c_str(), BM_Effect, layout, e)
          ->UseManualTime()
          ->Unit(benchmark::kMicrosecond);
    }
    const std::string frame = std::string(layout == 1 ? "rgb24/" : "yuy2/") + "51";
    benchmark::RegisterBenchmark(frame.c_str(), BM_Effect, layout, ULONG(51))
        ->UseManualTime()
        ->Unit(benchmark::kMicrosecond);
  }
}

// Collects the runs to print each effect's ratio to the memcpy of its layout.
// With repetitions the ratio is that of the medians, and the range beside it
// divides the effect's fastest and slowest repetition by the memcpy's median.
// The paired ratio divides each repetition by the memcpy timed in its own
// iterations: its median, and its range over the repetitions.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs) {
      if (r.run_type == Run::RT_Iteration) {
        times_[r.run_name.function_name].push_back(r.GetAdjustedRealTime());
        if (const double paired = bench_support::PairedRatio(r)) paired_[r.run_name.function_name].push_back(paired);
      }
      // With only the aggregates reported, the median stands for the runs.
      if (r.run_type == Run::RT_Aggregate && r.aggregate_name == "median" && times_[r.run_name.function_name].empty())
        times_[r.run_name.function_name].push_back(r.GetAdjustedRealTime());
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf(
        "\nratio to memcpy of the same picture: to the memcpy rows, and paired with the memcpy of the same "
        "iterations\n(target on the paired ratio: colour <= 3, spatial <= 8)\n");
    for (const char* layout : {"rgb24", "yuy2"}) {
      const auto ref = times_.find(std::string("memcpy/") + layout);
      if (ref == times_.end()) continue;
      const double base = Median(ref->second);
      const auto print = [&](int e, const char* name, bool target, bool spatial) {
        const auto it = times_.find(std::string(layout) + "/" + std::to_string(e));
        if (it == times_.end()) return;
        const std::vector<double>& t = it->second;
        const double ratio = Median(t) / base;
        std::printf("  %-5s %2d %-16s %6.2fx", layout, e, name, ratio);
        if (t.size() > 1)
          std::printf("  (%.2f ... %.2f over %zu runs)", *std::min_element(t.begin(), t.end()) / base,
                      *std::max_element(t.begin(), t.end()) / base, t.size());
        const std::vector<double>& p = paired_[it->first];
        if (p.empty()) return (void)std::printf("\n");
        const double pairedRatio = Median(p);
        std::printf("   paired %6.2fx", pairedRatio);
        if (p.size() > 1)
          std::printf("  (%.2f ... %.2f)", *std::min_element(p.begin(), p.end()), *std::max_element(p.begin(), p.end()));
        if (target) std::printf("  %s", pairedRatio <= (spatial ? 8.0 : 3.0) ? "ok" : "OVER TARGET");
        std::printf("\n");
      };
      for (int e = 2; e <= 21; ++e) {
        const bool spatial = e == 6 || e == 9 || e == 10 || e == 12 || e == 13 || (e >= 17 && e <= 21);
        print(e, EffectName(ULONG(e)), true, spatial);
      }
      print(51, "frame overlay", false, false);
    }
  }

 private:
  std::map<std::string, std::vector<double>> times_;
  std::map<std::string, std::vector<double>> paired_;
};

}  // namespace

int main(int argc, char** argv) {
  Register();
  RatioReporter reporter;
  bench_support::RunBenchmarks(argc, argv, reporter);
  if (!g_root.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(g_root, ec);
  }
  return 0;
}
