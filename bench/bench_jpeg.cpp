// The driver's JPEG decoder against libjpeg-turbo (TurboJPEG API) on the same
// camera-like frames, side by side in one run: bottom-up BGR and planar YUV
// output, 640x480 and 1280x720, 4:2:2 and 4:2:0, with and without restart
// markers, on a synthetic scene and on a real photograph (the portrait of the
// face tests).
//
// Target: ours at most 1.0x libjpeg-turbo's time in every row.
#include <benchmark/benchmark.h>
#include <turbojpeg.h>

#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <cstring>
#include <random>
#include <vector>

#include "driver/imaging/jpeg_decoder.h"
#include "driver/imaging/jpeg_internal.h"
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

// The portrait of the face tests (a real photograph, public domain), scaled
// to cover w x h; found below QCAM_SOURCE_DIR or two folders above the
// benchmark program (build/bin). Empty when it cannot be read.
sim::RgbImage Photograph(int w, int h) {
  std::string root;
  if (const char* env = std::getenv("QCAM_SOURCE_DIR")) {
    root = env;
  } else {
    char exe[4096] = {};
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof(exe) - 1);
    if (n > 0) root = std::filesystem::path(std::string(exe, size_t(n))).parent_path().parent_path().parent_path();
  }
  sim::RgbImage photo, scaled;
  std::string error;
  if (!sim::ReadPicture(root + "/tests/face/photos/astronaut.jpg", &photo, &error)) return scaled;
  sim::ScaleToCover(photo, w, h, &scaled);
  return scaled;
}

// What is decoded: size, chroma subsampling, restart interval in MCUs (0:
// none) and the picture (synthetic, or the photograph).
struct FrameCase {
  int w, h;
  bool is420;
  int restart;
  bool photo;
};

// A camera frame: baseline, no application segments, quality 85.
std::vector<uint8_t> Frame(const FrameCase& shape) {
  std::vector<uint8_t> jpeg;
  const sim::RgbImage picture = shape.photo ? Photograph(shape.w, shape.h) : Picture(shape.w, shape.h);
  if (!sim::EncodeJpeg(picture, 85, shape.is420, shape.restart, &jpeg)) return {};
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

void OursRgb24(benchmark::State& st, FrameCase shape) {
  auto frame = Frame(shape);
  const int w = shape.w, h = shape.h;
  if (frame.empty()) {
    st.SkipWithError("no picture");
    return;
  }
  Stream s(w, h);
  std::vector<UCHAR> out(size_t(w) * h * 3);
  JpegUseBitByBitDecoder(false);
  for (auto _ : st) {
    ULONG n = DecodeJPEGToRGB24(out.data(), ULONG(out.size()), frame.data(), ULONG(frame.size()), &s.state);
    if (n != out.size()) st.SkipWithError("decode failed");
    benchmark::DoNotOptimize(out.data());
  }
}

void OursI420(benchmark::State& st, FrameCase shape) {
  auto frame = Frame(shape);
  const int w = shape.w, h = shape.h;
  if (frame.empty()) {
    st.SkipWithError("no picture");
    return;
  }
  Stream s(w, h);
  std::vector<UCHAR> out(size_t(w) * h * 3 / 2);
  JpegUseBitByBitDecoder(false);
  for (auto _ : st) {
    ULONG n = DecodeJPEGToI420(out.data(), ULONG(out.size()), frame.data(), ULONG(frame.size()), &s.state);
    if (n != out.size()) st.SkipWithError("decode failed");
    benchmark::DoNotOptimize(out.data());
  }
}

// libjpeg-turbo to bottom-up BGR with replicated chroma (the output ours gives).
void TurboBgr(benchmark::State& st, FrameCase shape) {
  auto frame = Frame(shape);
  const int w = shape.w, h = shape.h;
  if (frame.empty()) {
    st.SkipWithError("no picture");
    return;
  }
  std::vector<UCHAR> out(size_t(w) * h * 3);
  tjhandle tj = tjInitDecompress();
  for (auto _ : st) {
    if (tjDecompress2(tj, frame.data(), (unsigned long)frame.size(), out.data(), w, 0, h, TJPF_BGR,
                      TJFLAG_BOTTOMUP | TJFLAG_FASTUPSAMPLE) != 0)
      st.SkipWithError("reference decode failed");
    benchmark::DoNotOptimize(out.data());
  }
  tjDestroy(tj);
}

// libjpeg-turbo to its native planar YUV.
void TurboYuv(benchmark::State& st, FrameCase shape) {
  auto frame = Frame(shape);
  const int w = shape.w, h = shape.h;
  if (frame.empty()) {
    st.SkipWithError("no picture");
    return;
  }
  int ch = shape.is420 ? h / 2 : h;
  std::vector<UCHAR> y(size_t(w) * h), cb(size_t(w / 2) * ch), cr(size_t(w / 2) * ch);
  unsigned char* planes[3] = {y.data(), cb.data(), cr.data()};
  int strides[3] = {w, w / 2, w / 2};
  tjhandle tj = tjInitDecompress();
  for (auto _ : st) {
    if (tjDecompressToYUVPlanes(tj, frame.data(), (unsigned long)frame.size(), planes, w, strides, h, 0) != 0)
      st.SkipWithError("reference decode failed");
    benchmark::DoNotOptimize(y.data());
  }
  tjDestroy(tj);
}

// Our entropy decoder alone is not separable from the frame path; the
// bit-by-bit reader shows what the wide reader buys.
void OursI420BitByBit(benchmark::State& st, FrameCase shape) {
  auto frame = Frame(shape);
  const int w = shape.w, h = shape.h;
  if (frame.empty()) {
    st.SkipWithError("no picture");
    return;
  }
  Stream s(w, h);
  std::vector<UCHAR> out(size_t(w) * h * 3 / 2);
  JpegUseBitByBitDecoder(true);
  for (auto _ : st) {
    DecodeJPEGToI420(out.data(), ULONG(out.size()), frame.data(), ULONG(frame.size()), &s.state);
    benchmark::DoNotOptimize(out.data());
  }
  JpegUseBitByBitDecoder(false);
}

#define SIZES(fn)                                                                                         \
  BENCHMARK_CAPTURE(fn, 640x480_422, FrameCase{640, 480, false, 0, false})->Unit(benchmark::kMicrosecond);     \
  BENCHMARK_CAPTURE(fn, 640x480_420, FrameCase{640, 480, true, 0, false})->Unit(benchmark::kMicrosecond);      \
  BENCHMARK_CAPTURE(fn, 1280x720_422, FrameCase{1280, 720, false, 0, false})->Unit(benchmark::kMicrosecond);   \
  BENCHMARK_CAPTURE(fn, 1280x720_420, FrameCase{1280, 720, true, 0, false})->Unit(benchmark::kMicrosecond);    \
  BENCHMARK_CAPTURE(fn, 640x480_422_restart, FrameCase{640, 480, false, 8, false})->Unit(benchmark::kMicrosecond); \
  BENCHMARK_CAPTURE(fn, 1280x720_422_restart, FrameCase{1280, 720, false, 8, false})->Unit(benchmark::kMicrosecond); \
  BENCHMARK_CAPTURE(fn, photo_640x480_422, FrameCase{640, 480, false, 0, true})->Unit(benchmark::kMicrosecond); \
  BENCHMARK_CAPTURE(fn, photo_1280x720_420, FrameCase{1280, 720, true, 0, true})->Unit(benchmark::kMicrosecond);

SIZES(OursRgb24)
SIZES(TurboBgr)
SIZES(OursI420)
SIZES(TurboYuv)
BENCHMARK_CAPTURE(OursI420BitByBit, 640x480_422, FrameCase{640, 480, false, 0, false})->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
