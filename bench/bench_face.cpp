// One acquisition run and one tracking run of the face workers on a 640 x 480
// YUY2 frame of the simulated face, beside a memcpy of the frame (the copy
// the frame path makes for each worker run).
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "driver/core/face_detect.h"
#include "shared/qcam_defs.h"
#include "tests/face/face_helpers.h"

namespace {

constexpr int kWidth = 640, kHeight = 480;

void FrameCopy(benchmark::State& state) {
  std::vector<uint8_t> frame = facetest::SceneFrame(kWidth, kHeight, 100, qcam::kFormatYUY2, true, nullptr);
  std::vector<uint8_t> copy(frame.size());
  for (auto _ : state) {
    memcpy(copy.data(), frame.data(), frame.size());
    benchmark::DoNotOptimize(copy.data());
    benchmark::ClobberMemory();
  }
}

void Acquisition(benchmark::State& state) {
  std::vector<uint8_t> frame = facetest::SceneFrame(kWidth, kHeight, 100, qcam::kFormatYUY2, true, nullptr);
  std::vector<uint8_t> scratch(size_t(kWidth) * kHeight * 3);
  FaceCandidateList list;
  for (auto _ : state) {
    AcquireFaceCandidates(frame.data(), kWidth, kHeight, qcam::kFormatYUY2, 50, scratch.data(), scratch.size(),
                          nullptr, &list);
    benchmark::DoNotOptimize(list.Count);
  }
  if (list.Count == 0) state.SkipWithError("no face found");
}

void Tracking(benchmark::State& state) {
  std::vector<uint8_t> frame = facetest::SceneFrame(kWidth, kHeight, 100, qcam::kFormatYUY2, true, nullptr);
  std::vector<uint8_t> planar(size_t(kWidth) * kHeight * 3);
  const SkinTrackerTuning tuning = SkinTuningFrom(facetest::DefaultTracking(1));
  static ULONG grid[kSkinGridRows][kSkinGridColumns];
  // Seeded once as after an acquisition; every run then finds the face near
  // its previous place, as in a stream.
  std::vector<uint8_t> scratch(size_t(kWidth) * kHeight * 3);
  FaceCandidateList list;
  AcquireFaceCandidates(frame.data(), kWidth, kHeight, qcam::kFormatYUY2, 50, scratch.data(), scratch.size(), nullptr,
                        &list);
  FaceTrackerMemory seeded = {};
  SeedFaceTracker(list.Box[0], kWidth, kHeight, &seeded);
  FaceBox box = {};
  bool ok = true;
  for (auto _ : state) {
    FaceTrackerMemory memory = seeded;
    BuildSkinGrid(frame.data(), kWidth, kHeight, qcam::kFormatYUY2, planar.data(), tuning.Rules, grid);
    ok = TrackFaceInGrid(grid, kWidth, kHeight, tuning, &memory, &box) && ok;
    benchmark::DoNotOptimize(box);
  }
  if (!ok) state.SkipWithError("tracker lost the face");
}

BENCHMARK(FrameCopy)->Unit(benchmark::kMicrosecond);
BENCHMARK(Acquisition)->Unit(benchmark::kMicrosecond);
BENCHMARK(Tracking)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
