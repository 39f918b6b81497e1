// Fuzzes the simulated camera's descriptor-file reader: the split of the
// optional device descriptor, the bounded descriptor walk, and a camera built
// from the bytes negotiating and streaming its own formats.
#include <cstdint>
#include <string>
#include <vector>

#include "sim/payload.h"
#include "sim/uvc_camera.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 70000) return 0;
  // Exactly sized copies, so a read past the end is seen.
  std::vector<uint8_t> bytes(data, data + size);
  sim::DescriptorInfo info;
  std::string error;
  if (sim::ParseConfigurationDescriptor(bytes.empty() ? nullptr : bytes.data(), bytes.size(), &info, &error)) {
    if (info.totalLength > bytes.size()) __builtin_trap();
    for (const auto& f : info.formats)
      for (const auto& fr : f.frames) (void)fr.intervals.size();
  }
  sim::CameraOptions options;
  auto camera = sim::UvcCamera::CreateFromDescriptorBytes(bytes, options, &error);
  if (!camera) return 0;
  const sim::DescriptorInfo& parsed = camera->Descriptors();
  int streamed = 0;
  for (size_t fi = 0; fi < parsed.formats.size() && fi < 4; ++fi) {
    const auto& format = parsed.formats[fi];
    for (size_t k = 0; k < format.frames.size() && k < 8; ++k) {
      const auto& frame = format.frames[k];
      sim::VideoProbeCommit probe{};
      probe.bFormatIndex = format.index;
      probe.bFrameIndex = frame.index;
      probe.dwFrameInterval = frame.intervals.empty() ? frame.defaultInterval : frame.intervals.back();
      uint32_t n = sizeof(probe);
      camera->ControlTransfer(0x01, 0x0100, uint16_t(parsed.streamingInterface & 0xFF),
                              reinterpret_cast<uint8_t*>(&probe), &n, false);
      n = sizeof(probe);
      camera->ControlTransfer(0x81, 0x0100, uint16_t(parsed.streamingInterface & 0xFF),
                              reinterpret_cast<uint8_t*>(&probe), &n, true);
      n = sizeof(probe);
      camera->ControlTransfer(0x01, 0x0200, uint16_t(parsed.streamingInterface & 0xFF),
                              reinterpret_cast<uint8_t*>(&probe), &n, false);
      const sim::VideoProbeCommit committed = camera->Committed();
      // Stream one small frame per format on the last alternate setting.
      if (streamed >= 2 || parsed.altSettings.empty() || uint32_t(frame.width) * frame.height > 160 * 120) continue;
      if (committed.bFormatIndex != format.index || committed.bFrameIndex != frame.index) continue;
      const uint32_t alt = parsed.altSettings.back().alternateSetting;
      camera->SetAlternateSetting(alt);
      std::vector<std::vector<uint8_t>> packets;
      camera->NextFramePackets(&packets);
      const uint32_t negotiated = committed.dwMaxPayloadTransferSize;
      const uint32_t limit = std::min(negotiated, camera->MaxPacketSize(alt));
      for (size_t i = 0; i < packets.size(); ++i) {
        const auto& p = packets[i];
        if (p.size() < uvc::kPayloadHeaderLength || p.size() > limit || p[0] != uvc::kPayloadHeaderLength) __builtin_trap();
        if (bool(p[1] & uvc::UVC_STREAM_EOF) != (i + 1 == packets.size())) __builtin_trap();
      }
      camera->SetAlternateSetting(0);
      ++streamed;
    }
  }
  return 0;
}
