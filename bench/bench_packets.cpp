// The packet-to-frame path: every isochronous packet of a frame through the
// packet routine and into the frame buffer, then raw frame processing into
// the application's buffer; measured beside a plain memcpy of the same bytes.
// The whole frame path of the decoded formats (MJPG packets in, RGB24 or
// I420 out) is reported in frames per second of one core.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "sim/image_io.h"
#include "sim/payload.h"
#include "tests/support/driver_rig.h"

namespace {

struct Stream {
  std::vector<std::vector<uint8_t>> packets;
  size_t frameBytes = 0;
};

Stream MakeStream(bool mjpeg, int width, int height) {
  sim::RgbImage image;
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
  std::vector<uint8_t> payload;
  if (mjpeg) {
    sim::EncodeJpeg(image, 85, false, 0, &payload);
    sim::DropApplicationSegments(&payload);
  }
  else
    sim::RgbToYuy2(image, &payload);
  Stream s;
  s.frameBytes = payload.size();
  sim::PacketizeParams params;
  params.maxPacket = 3072;
  sim::PacketizeFrame(payload.data(), payload.size(), params, &s.packets);
  return s;
}

// `output` is the stream's format code: MJPG or YUY2 pass the camera's
// bytes through, 0 (RGB24) and I420 decode the camera's MJPG pictures.
void RunPacketPath(benchmark::State& state, uint32_t output, int width, int height) {
  const bool mjpeg = output != qcam::kFourCC_YUY2;
  rig::DriverRig r(output, width, height);
  if (r.allocation != STATUS_SUCCESS) {
    state.SkipWithError("bandwidth allocation failed");
    return;
  }
  Stream s = MakeStream(mjpeg, width, height);
  const size_t pixels = size_t(width) * height;
  std::vector<uint8_t> raw(r.rawLength),
      out(output == qcam::kFourCC_YUY2 ? pixels * 2 : output == qcam::kFourCC_I420 ? pixels * 3 / 2 : pixels * 3);
  const USBCAMD_DEVICE_DATA2* cb = r.cb();
  for (auto _ : state) {
    ULONG used = 0;
    for (std::vector<uint8_t>& packet : s.packets) {
      USBD_ISO_PACKET_DESCRIPTOR iso = {0, ULONG(packet.size()), 0};
      BOOLEAN complete = FALSE;
      ULONG flags = 0, offset = 0;
      ULONG n = cb->CamProcessUSBPacketEx(nullptr, r.dev, nullptr, nullptr, nullptr, &iso, packet.data(), &complete,
                                          &flags, &offset);
      if (n && used + n <= raw.size()) {
        memcpy(raw.data() + used, packet.data() + offset, n);
        used += n;
      }
    }
    ULONG bytes = 0;
    cb->CamProcessRawVideoFrameEx(nullptr, r.dev, nullptr, out.data(), ULONG(out.size()), raw.data(),
                                  ULONG(raw.size()), ULONG(s.packets.size()), &bytes, used, 0);
    if (bytes == 0) {
      state.SkipWithError("the frame was not delivered");
      break;
    }
    benchmark::DoNotOptimize(bytes);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(s.frameBytes));
  state.counters["packets"] = double(s.packets.size());
  state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

void RunMemcpy(benchmark::State& state, bool mjpeg, int width, int height) {
  Stream s = MakeStream(mjpeg, width, height);
  std::vector<uint8_t> src(s.frameBytes, 7), dst(s.frameBytes);
  for (auto _ : state) {
    memcpy(dst.data(), src.data(), src.size());
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(s.frameBytes));
}

void BM_PacketPath_YUY2_640x480(benchmark::State& s) { RunPacketPath(s, qcam::kFourCC_YUY2, 640, 480); }
void BM_Memcpy_YUY2_640x480(benchmark::State& s) { RunMemcpy(s, false, 640, 480); }
void BM_PacketPath_MJPG_1280x720(benchmark::State& s) { RunPacketPath(s, qcam::kFourCC_MJPG, 1280, 720); }
void BM_Memcpy_MJPG_1280x720(benchmark::State& s) { RunMemcpy(s, true, 1280, 720); }
void BM_FramePath_MJPG_to_RGB24_1280x720(benchmark::State& s) { RunPacketPath(s, 0, 1280, 720); }
void BM_FramePath_MJPG_to_I420_1280x720(benchmark::State& s) { RunPacketPath(s, qcam::kFourCC_I420, 1280, 720); }

BENCHMARK(BM_PacketPath_YUY2_640x480);
BENCHMARK(BM_Memcpy_YUY2_640x480);
BENCHMARK(BM_PacketPath_MJPG_1280x720);
BENCHMARK(BM_Memcpy_MJPG_1280x720);
BENCHMARK(BM_FramePath_MJPG_to_RGB24_1280x720)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FramePath_MJPG_to_I420_1280x720)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
