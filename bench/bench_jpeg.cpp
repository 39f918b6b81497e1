// The driver's JPEG decoder against libjpeg-turbo (TurboJPEG API) on the same
// camera-like frames, side by side in one run: bottom-up BGR and planar YUV
// output, 640x480 and 1280x720, 4:2:2 and 4:2:0, with and without restart
// markers, on a synthetic scene and on photographs: the portrait of the face
// tests, and two of fine detail (grass, a cat's fur) from tests/jpeg/photos.
//
// Target: ours at most 1.0x libjpeg-turbo's time in every row. The run ends
// with a table of the ratios (ours / libjpeg-turbo, median CPU time of each
// row when run with repetitions, and paired with libjpeg-turbo's decodes
// timed in our rows' own iterations).
#include <benchmark/benchmark.h>
#include <turbojpeg.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <cstring>
#include <map>
#include <random>
#include <set>
#include <vector>

#include "bench/bench_support.h"
#include "driver/imaging/jpeg_decoder.h"
#include "driver/imaging/jpeg_internal.h"
#include "driver/imaging/vector_level.h"
#include "sim/image_io.h"
#include "sim/picture_source.h"

namespace {

sim::RgbImage Picture(int w, int h) {
  sim::RgbImage img;
  img.width = w;
  img.height = h;
  img.rgb.resize(size_t(w) * h * 3);
  std::mt19937 rng(42);
  std::normal_distribution<double> noise(0.0, 2.0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      double u = double(x) / w, v = double(y) / h;
      double base[3] = {90 + 100 * u + 30 * std::sin(9 * v), 70 + 120 * v + 25 * std::cos(7 * u),
                        150 - 80 * u * v + 20 * std::sin(5 * (u + v))};
      bool disc = std::hypot(x - w * 0.6, y - h * 0.45) < h * 0.25;
      for (int c = 0; c < 3; ++c) {
        double val = (disc ? 200 - 60 * c : base[c]) + 12 * std::sin(x * 0.9) * std::sin(y * 0.7) + noise(rng);
        img.rgb[(size_t(y) * w + x) * 3 + c] = uint8_t(val < 0 ? 0 : (val > 255 ? 255 : std::lround(val)));
      }
    }
  return img;
}

// The source tree: QCAM_SOURCE_DIR, or two folders above the benchmark
// program (build/bin).
std::string SourceRoot() {
  if (const char* env = std::getenv("QCAM_SOURCE_DIR")) return env;
  char exe[4096] = {};
  const ssize_t n = readlink("/proc/self/exe", exe, sizeof(exe) - 1);
  if (n <= 0) return ".";
  return std::filesystem::path(std::string(exe, size_t(n))).parent_path().parent_path().parent_path();
}

enum class Scene { kSynthetic, kPortrait, kGrass, kFur };

// The portrait (public domain) is scaled to cover w x h. The photographs of
// fine detail are mirror-tiled at their own scale, so no scaling blurs their
// texture; the grey grass is tinted green. Empty when a file cannot be read.
sim::RgbImage Photograph(Scene scene, int w, int h) {
  const std::string root = SourceRoot();
  const char* file = scene == Scene::kPortrait ? "/tests/face/photos/astronaut.jpg"
                     : scene == Scene::kGrass  ? "/tests/jpeg/photos/grass.png"
                                               : "/tests/jpeg/photos/chelsea.png";
  sim::RgbImage photo, out;
  std::string error;
  if (!sim::ReadPicture(root + file, &photo, &error) || photo.width < 2 || photo.height < 2) return out;
  if (scene == Scene::kPortrait) {
    sim::ScaleToCover(photo, w, h, &out);
    return out;
  }
  out.width = w;
  out.height = h;
  out.rgb.resize(size_t(w) * h * 3);
  auto mirror = [](int v, int n) {
    const int period = 2 * n - 2;
    v %= period;
    return v < n ? v : period - v;
  };
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint8_t* s = &photo.rgb[(size_t(mirror(y, photo.height)) * photo.width + mirror(x, photo.width)) * 3];
      uint8_t* d = &out.rgb[(size_t(y) * w + x) * 3];
      if (scene == Scene::kGrass) {
        d[0] = uint8_t(s[1] * 5 / 8);
        d[1] = s[1];
        d[2] = uint8_t(s[1] * 3 / 8);
      } else {
        d[0] = s[0];
        d[1] = s[1];
        d[2] = s[2];
      }
    }
  return out;
}

// What is decoded: size, chroma subsampling, restart interval in MCUs (0:
// none) and the picture.
struct FrameCase {
  int w, h;
  bool is420;
  int restart;
  Scene scene;
};

// A camera frame: baseline, no application segments, quality 85.
std::vector<uint8_t> Frame(const FrameCase& shape) {
  std::vector<uint8_t> jpeg;
  const sim::RgbImage picture =
      shape.scene == Scene::kSynthetic ? Picture(shape.w, shape.h) : Photograph(shape.scene, shape.w, shape.h);
  if (picture.rgb.empty() || !sim::EncodeJpeg(picture, 85, shape.is420, shape.restart, &jpeg)) return {};
  sim::DropApplicationSegments(&jpeg);
  return jpeg;
}

struct Stream {
  CameraDeviceState state{};
  std::vector<UCHAR> scratch;
  Stream(int w, int h) : scratch(size_t(w) * h * 2) {
    state.Width = w;
    state.Height = h;
    state.ScratchBuffer = scratch.data();
    state.ScratchSize = ULONG(scratch.size());
  }
};

// One decoder with its output buffers: ours (into the stream's output
// layout) or libjpeg-turbo's, to bottom-up BGR with replicated chroma (the
// output ours gives for RGB24) or to its native planar YUV (for I420).
class OursDecoder {
 public:
  OursDecoder(const FrameCase& shape, bool i420)
      : stream_(shape.w, shape.h), out_(size_t(shape.w) * shape.h * (i420 ? 3 : 6) / 2), i420_(i420) {}
  bool operator()(const std::vector<uint8_t>& frame) {
    const ULONG n = i420_ ? DecodeJPEGToI420(out_.data(), ULONG(out_.size()), frame.data(), ULONG(frame.size()),
                                             &stream_.state)
                          : DecodeJPEGToRGB24(out_.data(), ULONG(out_.size()), frame.data(), ULONG(frame.size()),
                                              &stream_.state);
    benchmark::DoNotOptimize(out_.data());
    return n == out_.size();
  }

 private:
  Stream stream_;
  std::vector<UCHAR> out_;
  bool i420_;
};

class TurboDecoder {
 public:
  TurboDecoder(const FrameCase& shape, bool i420) : shape_(shape), i420_(i420), tj_(tjInitDecompress()) {
    const int w = shape.w, h = shape.h, ch = shape.is420 ? h / 2 : h;
    if (i420) {
      y_.resize(size_t(w) * h);
      cb_.resize(size_t(w / 2) * ch);
      cr_.resize(size_t(w / 2) * ch);
    } else {
      y_.resize(size_t(w) * h * 3);
    }
  }
  ~TurboDecoder() { tjDestroy(tj_); }
  TurboDecoder(const TurboDecoder&) = delete;
  TurboDecoder& operator=(const TurboDecoder&) = delete;
  bool operator()(const std::vector<uint8_t>& frame) {
    const int w = shape_.w, h = shape_.h;
    int failed;
    if (i420_) {
      unsigned char* planes[3] = {y_.data(), cb_.data(), cr_.data()};
      int strides[3] = {w, w / 2, w / 2};
      failed = tjDecompressToYUVPlanes(tj_, frame.data(), (unsigned long)frame.size(), planes, w, strides, h, 0);
    } else {
      failed = tjDecompress2(tj_, frame.data(), (unsigned long)frame.size(), y_.data(), w, 0, h, TJPF_BGR,
                             TJFLAG_BOTTOMUP | TJFLAG_FASTUPSAMPLE);
    }
    benchmark::DoNotOptimize(y_.data());
    return failed == 0;
  }

 private:
  FrameCase shape_;
  bool i420_;
  tjhandle tj_;
  std::vector<UCHAR> y_, cb_, cr_;
};

constexpr const char* kPairedTurbo = "turbo_us";

// Our decode of the frame, timed on the thread's CPU clock. Each iteration
// also times libjpeg-turbo's decode of the same frame, the two taking turns
// to go first, so that each repetition carries its own reference from the
// same moments of a shared machine.
void Ours(benchmark::State& st, FrameCase shape, bool i420) {
  const auto frame = Frame(shape);
  if (frame.empty()) {
    st.SkipWithError("no picture");
    return;
  }
  OursDecoder ours(shape, i420);
  TurboDecoder turbo(shape, i420);
  JpegUseBitByBitDecoder(false);
  double turboSeconds = 0;
  bool oursFirst = false;
  for (auto _ : st) {
    oursFirst = !oursFirst;
    double oursTime = 0;
    bool ok = true;
    for (int turn = 0; turn < 2; ++turn) {
      const bool oursTurn = (turn == 0) == oursFirst;
      const double t0 = bench_support::ThreadSeconds();
      ok = (oursTurn ? ours(frame) : turbo(frame)) && ok;
      const double t = bench_support::ThreadSeconds() - t0;
      (oursTurn ? oursTime : turboSeconds) += t;
    }
    st.SetIterationTime(oursTime);
    if (!ok) {
      st.SkipWithError("decode failed");
      break;
    }
  }
  bench_support::RecordPaired(st, kPairedTurbo, turboSeconds);
}

// One decoder alone on the frame, timed the same way.
template <typename Decoder>
void TimeAlone(benchmark::State& st, const std::vector<uint8_t>& frame, Decoder& decode, const char* failure) {
  for (auto _ : st) {
    const double t0 = bench_support::ThreadSeconds();
    const bool ok = decode(frame);
    st.SetIterationTime(bench_support::ThreadSeconds() - t0);
    if (!ok) {
      st.SkipWithError(failure);
      break;
    }
  }
}

void Turbo(benchmark::State& st, FrameCase shape, bool i420) {
  const auto frame = Frame(shape);
  if (frame.empty()) {
    st.SkipWithError("no picture");
    return;
  }
  TurboDecoder turbo(shape, i420);
  TimeAlone(st, frame, turbo, "reference decode failed");
}

void OursRgb24(benchmark::State& st, FrameCase shape) { Ours(st, shape, false); }
void OursI420(benchmark::State& st, FrameCase shape) { Ours(st, shape, true); }
void TurboBgr(benchmark::State& st, FrameCase shape) { Turbo(st, shape, false); }
void TurboYuv(benchmark::State& st, FrameCase shape) { Turbo(st, shape, true); }

// Our entropy decoder alone is not separable from the frame path; the
// bit-by-bit reader shows what the wide reader buys.
void OursI420BitByBit(benchmark::State& st, FrameCase shape) {
  const auto frame = Frame(shape);
  if (frame.empty()) {
    st.SkipWithError("no picture");
    return;
  }
  OursDecoder ours(shape, true);
  JpegUseBitByBitDecoder(true);
  TimeAlone(st, frame, ours, "decode failed");
  JpegUseBitByBitDecoder(false);
}

#define ROW(fn, name, ...) \
  BENCHMARK_CAPTURE(fn, name, FrameCase{__VA_ARGS__})->UseManualTime()->Unit(benchmark::kMicrosecond)
// Each row's four runs one after another, so that ours and the reference
// meet the same conditions on a shared machine.
#define CASE(name, ...)                \
  ROW(OursRgb24, name, __VA_ARGS__);   \
  ROW(TurboBgr, name, __VA_ARGS__);    \
  ROW(OursI420, name, __VA_ARGS__);    \
  ROW(TurboYuv, name, __VA_ARGS__)

CASE(640x480_422, 640, 480, false, 0, Scene::kSynthetic);
CASE(640x480_420, 640, 480, true, 0, Scene::kSynthetic);
CASE(1280x720_422, 1280, 720, false, 0, Scene::kSynthetic);
CASE(1280x720_420, 1280, 720, true, 0, Scene::kSynthetic);
CASE(640x480_422_restart, 640, 480, false, 8, Scene::kSynthetic);
CASE(1280x720_422_restart, 1280, 720, false, 8, Scene::kSynthetic);
CASE(photo_640x480_422, 640, 480, false, 0, Scene::kPortrait);
CASE(photo_1280x720_420, 1280, 720, true, 0, Scene::kPortrait);
CASE(grass_640x480_422, 640, 480, false, 0, Scene::kGrass);
CASE(grass_640x480_420, 640, 480, true, 0, Scene::kGrass);
CASE(grass_1280x720_422, 1280, 720, false, 0, Scene::kGrass);
CASE(grass_1280x720_420, 1280, 720, true, 0, Scene::kGrass);
CASE(grass_1280x720_422_restart, 1280, 720, false, 8, Scene::kGrass);
CASE(fur_640x480_422, 640, 480, false, 0, Scene::kFur);
CASE(fur_640x480_420, 640, 480, true, 0, Scene::kFur);
CASE(fur_1280x720_422, 1280, 720, false, 0, Scene::kFur);
CASE(fur_1280x720_420, 1280, 720, true, 0, Scene::kFur);
ROW(OursI420BitByBit, 640x480_422, 640, 480, false, 0, Scene::kSynthetic);

// Collects the time of every row (the median when the run has
// repetitions) and the paired ratio of each repetition of our rows, and
// prints ours / libjpeg-turbo for each row at the end: to the reference's own
// rows, and paired with the reference decodes of the same iterations (the
// steadier figure on a shared machine, and the one the target is judged on).
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  RatioReporter() : ConsoleReporter(OO_Tabular) {}  // plain text, for logs
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs) {
      const std::string& name = r.run_name.function_name;
      if (r.run_type != Run::RT_Iteration || r.error_occurred) continue;
      samples_[name].push_back(r.GetAdjustedRealTime());
      if (const double paired = bench_support::PairedRatio(r, kPairedTurbo)) paired_[name].push_back(paired);
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\nours / libjpeg-turbo, CPU time: to the reference rows, and paired with the reference decodes of\n"
                "the same iterations (median, range); target on the paired ratio <= 1.00\n");
    std::printf("  %-28s %-34s %-34s\n", "row", "RGB24", "I420");
    double worst = 0;
    std::set<std::string> rows;
    for (const auto& [name, times] : samples_)
      if (name.rfind("OursRgb24/", 0) == 0 || name.rfind("OursI420/", 0) == 0) rows.insert(name.substr(name.find('/') + 1));
    for (const std::string& row : rows) {
      std::printf("  %-28s", row.c_str());
      const char* pairs[2][2] = {{"OursRgb24/", "TurboBgr/"}, {"OursI420/", "TurboYuv/"}};
      for (const auto& p : pairs) {
        const double ours = bench_support::Median(samples_[p[0] + row]);
        const double turbo = bench_support::Median(samples_[p[1] + row]);
        const std::vector<double>& paired = paired_[p[0] + row];
        char cell[64] = "-";
        if (!paired.empty()) {
          const double median = bench_support::Median(paired);
          worst = std::max(worst, median);
          std::snprintf(cell, sizeof(cell), "%.2fx  paired %.2fx%s (%.2f-%.2f)", turbo > 0 ? ours / turbo : 0.0, median,
                        median <= 1.0 ? " " : "!", *std::min_element(paired.begin(), paired.end()),
                        *std::max_element(paired.begin(), paired.end()));
        }
        std::printf(" %-34s", cell);
      }
      std::printf("\n");
    }
    std::printf("  worst paired %.2fx (! marks a row over target)\n", worst);
  }

 private:
  std::map<std::string, std::vector<double>> samples_, paired_;
};

}  // namespace

int main(int argc, char** argv) {
  RatioReporter reporter;
  return bench_support::RunBenchmarks(argc, argv, reporter);
}
