// Cutting frames into isochronous packets with video payload headers.
#include "sim/payload.h"

#include <algorithm>
#include <cstring>

namespace sim {
namespace {
void Put32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
  p[2] = uint8_t(v >> 16);
  p[3] = uint8_t(v >> 24);
}
}  // namespace

bool PacketizeFrame(const uint8_t* payload, size_t size, const PacketizeParams& params,
                    std::vector<std::vector<uint8_t>>* packets) {
  if (params.maxPacket <= uvc::kPayloadHeaderLength) return false;
  const size_t room = params.maxPacket - uvc::kPayloadHeaderLength;
  size_t at = 0;
  uint32_t n = 0;
  do {
    const size_t chunk = std::min(room, size - at);
    std::vector<uint8_t> packet(uvc::kPayloadHeaderLength + chunk);
    PayloadHeader h{};
    h.headerLength = uvc::kPayloadHeaderLength;
    h.headerInfo = uvc::UVC_STREAM_EOH | uvc::UVC_STREAM_PTS | uvc::UVC_STREAM_SCR;
    if (params.fid) h.headerInfo |= uvc::UVC_STREAM_FID;
    if (params.still) h.headerInfo |= uvc::UVC_STREAM_STI;
    if (at + chunk == size) h.headerInfo |= uvc::UVC_STREAM_EOF;
    Put32(h.pts, params.pts);
    Put32(h.stc, params.stcStart + n * params.stcStep);
    const uint16_t sof = uint16_t((params.sofStart + n / 8) & 0x7FF);
    h.sof[0] = uint8_t(sof);
    h.sof[1] = uint8_t(sof >> 8);
    std::memcpy(packet.data(), &h, sizeof(h));
    if (chunk) std::memcpy(packet.data() + uvc::kPayloadHeaderLength, payload + at, chunk);
    packets->push_back(std::move(packet));
    at += chunk;
    ++n;
  } while (at < size);
  return true;
}

bool ReadPayloadHeader(const uint8_t* packet, size_t size, PayloadHeader* header) {
  if (!packet || size < 2 || packet[0] < 2 || packet[0] > size) return false;
  std::memset(header, 0, sizeof(*header));
  std::memcpy(header, packet, std::min<size_t>(packet[0], sizeof(*header)));
  return true;
}

}  // namespace sim
