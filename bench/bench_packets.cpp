// The packet-to-frame path: every isochronous packet of a frame through the
// packet routine and into the frame buffer, then raw frame processing into
// the application's buffer; measured beside a plain memcpy of the same bytes.
// The two copies (packets into the frame buffer, the frame into the
// application's buffer) are the design, so 2.0x the memcpy is the floor.
//
// The whole frame path of the decoded formats (MJPG packets in, RGB24 or I420
// out) is reported in frames per second of one core, on the picture the
// simulated camera sends at 1280x720 (its moving test scene, baseline 4:2:2
// at its quality), with the decoder alone and libjpeg-turbo's decode of the
// same frame measured in the same run to show how much of the frame time is
// decoding. A picture of per-pixel noise, far harder on the entropy decoder
// than any camera picture, is kept as a separate stress row.
//
// Every row is timed on the thread's CPU clock (manual time), so other work
// on a shared machine does not count; the ratios and rates are printed at the
// end of the run. The packet rows also time a memcpy of the frame's bytes in
// each of their own iterations: their ratio to it holds through the bursts of
// a shared machine, which move the separate memcpy rows and the packet rows
// apart, so the target is judged on that paired ratio.
#include <benchmark/benchmark.h>
#include <turbojpeg.h>

#include <time.h>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "driver/imaging/jpeg_decoder.h"
#include "bench/bench_support.h"
#include "sim/image_io.h"
#include "sim/payload.h"
#include "sim/picture_source.h"
#include "tests/support/driver_rig.h"

namespace {

constexpr uint32_t kMaxPacket = 3072;
constexpr int kCameraQuality = 85;  // the simulated camera's JPEG quality

using bench_support::ThreadSeconds;

enum class Picture { kCamera, kNoise };

// The simulated camera's picture of frame 7 with its default adjustments,
// or the noise stress picture.
sim::RgbImage MakePicture(Picture kind, int width, int height) {
  sim::RgbImage image;
  if (kind == Picture::kCamera) {
    sim::PictureSource source;
    std::string error;
    source.Open("", "", &error);
    source.Render(width, height, 7, &image, nullptr);
    sim::ApplyPictureSettings(sim::PictureSettings{}, 7, &image);
    return image;
  }
  image.width = width;
  image.height = height;
  image.rgb.resize(size_t(width) * height * 3);
  uint32_t seed = 12345;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      seed = seed * 1103515245u + 12345u;
      uint8_t noise = uint8_t(seed >> 27);
      uint8_t* p = &image.rgb[(size_t(y) * width + x) * 3];
      p[0] = uint8_t(x * 255 / width + noise);
      p[1] = uint8_t(y * 255 / height + noise);
      p[2] = uint8_t((x + y) * 127 / (width + height) + noise);
    }
  return image;
}

// One frame's packets as the class driver holds them: one transfer buffer
// with a packet every kMaxPacket bytes, each with its length.
struct Stream {
  std::vector<uint8_t> payload;
  bench_support::PageBuffer transfer{0};
  std::vector<ULONG> lengths;
};

Stream MakeStream(bool mjpeg, Picture kind, int width, int height) {
  const sim::RgbImage image = MakePicture(kind, width, height);
  Stream s;
  if (mjpeg) {
    sim::EncodeJpeg(image, kCameraQuality, false, 0, &s.payload);
    sim::DropApplicationSegments(&s.payload);
  } else {
    sim::RgbToYuy2(image, &s.payload);
  }
  sim::PacketizeParams params;
  params.maxPacket = kMaxPacket;
  std::vector<std::vector<uint8_t>> packets;
  sim::PacketizeFrame(s.payload.data(), s.payload.size(), params, &packets);
  s.transfer = bench_support::PageBuffer(packets.size() * kMaxPacket);
  for (size_t i = 0; i < packets.size(); ++i) {
    memcpy(s.transfer.data() + i * kMaxPacket, packets[i].data(), packets[i].size());
    s.lengths.push_back(ULONG(packets[i].size()));
  }
  return s;
}

size_t OutputBytes(uint32_t output, int width, int height) {
  const size_t pixels = size_t(width) * height;
  if (output == qcam::kFourCC_YUY2) return pixels * 2;
  if (output == qcam::kFourCC_I420) return pixels * 3 / 2;
  if (output == qcam::kFourCC_MJPG) return pixels * 2;
  return pixels * 3;
}

// `output` is the stream's format code: MJPG or YUY2 pass the camera's
// bytes through, 0 (RGB24) and I420 decode the camera's MJPG pictures.
void RunPacketPath(benchmark::State& state, uint32_t output, int width, int height, Picture kind) {
  const bool mjpeg = output != qcam::kFourCC_YUY2;
  rig::DriverRig r(output, width, height);
  if (r.allocation != STATUS_SUCCESS) {
    state.SkipWithError("bandwidth allocation failed");
    return;
  }
  Stream s = MakeStream(mjpeg, kind, width, height);
  bench_support::PageBuffer raw(r.rawLength), out(OutputBytes(output, width, height));
  const USBCAMD_DEVICE_DATA2* cb = r.cb();
  const size_t packets = s.lengths.size();
  const bool passThrough = output == qcam::kFourCC_YUY2 || output == qcam::kFourCC_MJPG;
  // The paired reference copies the frame's bytes between two buffers
  // placed like the packet path's.
  const bench_support::PageBuffer source(s.payload.data(), passThrough ? s.payload.size() : 0);
  bench_support::PageBuffer copy(source.size());
  double copySeconds = 0;
  for (auto _ : state) {
    if (passThrough) {
      const double c0 = ThreadSeconds();
      memcpy(copy.data(), source.data(), copy.size());
      benchmark::ClobberMemory();
      copySeconds += ThreadSeconds() - c0;
    }
    const double t0 = ThreadSeconds();
    ULONG used = 0;
    for (size_t p = 0; p < packets; ++p) {
      uint8_t* packet = s.transfer.data() + p * kMaxPacket;
      USBD_ISO_PACKET_DESCRIPTOR iso = {0, s.lengths[p], 0};
      BOOLEAN complete = FALSE;
      ULONG flags = 0, offset = 0;
      ULONG n = cb->CamProcessUSBPacketEx(nullptr, r.dev, nullptr, nullptr, nullptr, &iso, packet, &complete, &flags,
                                          &offset);
      if (n && used + n <= raw.size()) {
        memcpy(raw.data() + used, packet + offset, n);
        used += n;
      }
    }
    ULONG bytes = 0;
    cb->CamProcessRawVideoFrameEx(nullptr, r.dev, nullptr, out.data(), ULONG(out.size()), raw.data(),
                                  ULONG(raw.size()), ULONG(packets), &bytes, used, 0);
    benchmark::ClobberMemory();
    state.SetIterationTime(ThreadSeconds() - t0);
    if (bytes == 0) {
      state.SkipWithError("the frame was not delivered");
      break;
    }
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(s.payload.size()));
  state.counters["packets"] = double(packets);
  if (passThrough) bench_support::RecordPairedMemcpy(state, copySeconds);
  state.counters["frame_bytes"] = double(s.payload.size());
}

void RunMemcpy(benchmark::State& state, bool mjpeg, int width, int height, Picture kind) {
  const Stream s = MakeStream(mjpeg, kind, width, height);
  const bench_support::PageBuffer src(s.payload.data(), s.payload.size());
  bench_support::PageBuffer dst(src.size());
  for (auto _ : state) {
    const double t0 = ThreadSeconds();
    memcpy(dst.data(), src.data(), src.size());
    benchmark::ClobberMemory();
    state.SetIterationTime(ThreadSeconds() - t0);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(src.size()));
}

// The driver's decoder alone on the assembled frame, into the same buffer.
void RunDecoder(benchmark::State& state, uint32_t output, int width, int height, Picture kind) {
  rig::DriverRig r(output, width, height);
  if (r.allocation != STATUS_SUCCESS || !r.dev->ScratchBuffer) {
    state.SkipWithError("bandwidth allocation failed");
    return;
  }
  const Stream s = MakeStream(true, kind, width, height);
  std::vector<uint8_t> out(OutputBytes(output, width, height));
  for (auto _ : state) {
    const double t0 = ThreadSeconds();
    ULONG n = output == qcam::kFourCC_I420
                  ? DecodeJPEGToI420(out.data(), ULONG(out.size()), s.payload.data(), ULONG(s.payload.size()), r.dev)
                  : DecodeJPEGToRGB24(out.data(), ULONG(out.size()), s.payload.data(), ULONG(s.payload.size()), r.dev);
    benchmark::ClobberMemory();
    state.SetIterationTime(ThreadSeconds() - t0);
    if (n == 0) {
      state.SkipWithError("decode failed");
      break;
    }
  }
}

// libjpeg-turbo's decode of the same frame: bottom-up BGR with replicated
// chroma (what ours gives for RGB24), or its planar YUV for I420.
void RunTurbo(benchmark::State& state, uint32_t output, int width, int height, Picture kind) {
  const Stream s = MakeStream(true, kind, width, height);
  std::vector<uint8_t> out(size_t(width) * height * 3);
  std::vector<uint8_t> y(size_t(width) * height), cb(size_t(width / 2) * height), cr(cb.size());
  unsigned char* planes[3] = {y.data(), cb.data(), cr.data()};
  int strides[3] = {width, width / 2, width / 2};
  tjhandle tj = tjInitDecompress();
  for (auto _ : state) {
    const double t0 = ThreadSeconds();
    const int failed =
        output == qcam::kFourCC_I420
            ? tjDecompressToYUVPlanes(tj, s.payload.data(), (unsigned long)s.payload.size(), planes, width, strides,
                                      height, 0)
            : tjDecompress2(tj, s.payload.data(), (unsigned long)s.payload.size(), out.data(), width, 0, height,
                            TJPF_BGR, TJFLAG_BOTTOMUP | TJFLAG_FASTUPSAMPLE);
    benchmark::ClobberMemory();
    state.SetIterationTime(ThreadSeconds() - t0);
    if (failed) {
      state.SkipWithError("reference decode failed");
      break;
    }
  }
  tjDestroy(tj);
}

struct Row {
  const char* name;
  void (*run)(benchmark::State&, uint32_t, int, int, Picture);
  uint32_t output;
  int width, height;
  Picture kind;
};

void RunMemcpyRow(benchmark::State& state, uint32_t output, int width, int height, Picture kind) {
  RunMemcpy(state, output != qcam::kFourCC_YUY2, width, height, kind);
}

const Row kRows[] = {
    {"memcpy/yuy2_640x480", RunMemcpyRow, qcam::kFourCC_YUY2, 640, 480, Picture::kCamera},
    {"packets/yuy2_640x480", RunPacketPath, qcam::kFourCC_YUY2, 640, 480, Picture::kCamera},
    {"memcpy/mjpg_1280x720", RunMemcpyRow, qcam::kFourCC_MJPG, 1280, 720, Picture::kCamera},
    {"packets/mjpg_1280x720", RunPacketPath, qcam::kFourCC_MJPG, 1280, 720, Picture::kCamera},
    {"memcpy/mjpg_1280x720_noise", RunMemcpyRow, qcam::kFourCC_MJPG, 1280, 720, Picture::kNoise},
    {"packets/mjpg_1280x720_noise", RunPacketPath, qcam::kFourCC_MJPG, 1280, 720, Picture::kNoise},
    {"frame/rgb24_1280x720", RunPacketPath, 0, 1280, 720, Picture::kCamera},
    {"decoder/rgb24_1280x720", RunDecoder, 0, 1280, 720, Picture::kCamera},
    {"turbo/rgb24_1280x720", RunTurbo, 0, 1280, 720, Picture::kCamera},
    {"frame/i420_1280x720", RunPacketPath, qcam::kFourCC_I420, 1280, 720, Picture::kCamera},
    {"decoder/i420_1280x720", RunDecoder, qcam::kFourCC_I420, 1280, 720, Picture::kCamera},
    {"turbo/i420_1280x720", RunTurbo, qcam::kFourCC_I420, 1280, 720, Picture::kCamera},
    {"frame/rgb24_1280x720_noise_stress", RunPacketPath, 0, 1280, 720, Picture::kNoise},
    {"decoder/rgb24_1280x720_noise_stress", RunDecoder, 0, 1280, 720, Picture::kNoise},
    {"turbo/rgb24_1280x720_noise_stress", RunTurbo, 0, 1280, 720, Picture::kNoise},
    {"frame/i420_1280x720_noise_stress", RunPacketPath, qcam::kFourCC_I420, 1280, 720, Picture::kNoise},
    {"decoder/i420_1280x720_noise_stress", RunDecoder, qcam::kFourCC_I420, 1280, 720, Picture::kNoise},
    {"turbo/i420_1280x720_noise_stress", RunTurbo, qcam::kFourCC_I420, 1280, 720, Picture::kNoise},
};

void Register() {
  for (const Row& row : kRows) {
    benchmark::RegisterBenchmark(row.name, row.run, row.output, row.width, row.height, row.kind)
        ->UseManualTime()
        ->Unit(benchmark::kMicrosecond);
  }
}

// Collects the runs (the medians when repeated) to print the packet paths'
// ratios to their memcpy and the frame paths' rates and decode shares.
class RatioReporter : public bench_support::MedianReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    MedianReporter::ReportRuns(runs);
    for (const Run& r : runs)
      if (const double paired = bench_support::PairedRatio(r)) paired_[r.run_name.function_name].push_back(paired);
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf(
        "\npacket path / memcpy of the same bytes: to the memcpy rows, and paired with the memcpy of the same "
        "iterations (median, range)\n(target on the paired ratio <= 2.2, floor 2.0)\n");
    for (const char* what : {"yuy2_640x480", "mjpg_1280x720", "mjpg_1280x720_noise"}) {
      const double ref = Time(std::string("memcpy/") + what), path = Time(std::string("packets/") + what);
      if (ref <= 0 || path <= 0) continue;
      const std::vector<double>& p = paired_[std::string("packets/") + what];
      if (p.empty()) {
        std::printf("  %-22s %6.2fx\n", what, path / ref);
        continue;
      }
      const double median = bench_support::Median(p);
      std::printf("  %-22s %6.2fx   paired %5.2fx (%.2f ... %.2f)  %s\n", what, path / ref, median,
                  *std::min_element(p.begin(), p.end()), *std::max_element(p.begin(), p.end()),
                  median <= 2.2 ? "ok" : "OVER TARGET");
    }
    std::printf("\nframe path, frames per second of one core (target >= 350 fps to RGB24 on the camera's picture)\n");
    std::printf("  %-34s %9s %9s %9s %12s %10s\n", "", "frame fps", "us/frame", "decode us", "decode share",
                "turbo us");
    for (const char* what : {"rgb24_1280x720", "i420_1280x720", "rgb24_1280x720_noise_stress",
                             "i420_1280x720_noise_stress"}) {
      const double frame = Time(std::string("frame/") + what), decode = Time(std::string("decoder/") + what),
                   turbo = Time(std::string("turbo/") + what);
      if (frame <= 0) continue;
      std::printf("  %-34s %9.1f %9.1f %9.1f %11.1f%% %10.1f\n", what, 1e6 / frame, frame, decode,
                  decode > 0 ? 100.0 * decode / frame : 0.0, turbo);
    }
  }

 private:
  std::map<std::string, std::vector<double>> paired_;
};

}  // namespace

int main(int argc, char** argv) {
  Register();
  RatioReporter reporter;
  return bench_support::RunBenchmarks(argc, argv, reporter);
}
