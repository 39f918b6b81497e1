// Video payload packets: the 12-byte payload header in front of every
// isochronous packet, and the cutting of one frame into such packets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "shared/uvc_wire.h"

namespace sim {

// The header as it lies on the wire: bHeaderLength, bmHeaderInfo, dwPTS,
// scrSourceClock (32-bit system time clock, 11-bit USB frame number).
#pragma pack(push, 1)
struct PayloadHeader {
  uint8_t headerLength;
  uint8_t headerInfo;
  uint8_t pts[4];
  uint8_t stc[4];
  uint8_t sof[2];
};
#pragma pack(pop)
static_assert(sizeof(PayloadHeader) == uvc::kPayloadHeaderLength, "payload header is 12 bytes");

struct PacketizeParams {
  uint32_t maxPacket = 0;   // whole packet, header included
  bool fid = false;         // frame-id bit of this frame
  bool still = false;       // still-image bit on every packet of this frame
  uint32_t pts = 0;         // presentation time of the frame (48 MHz clock)
  uint32_t stcStart = 0;    // system time clock at the first packet
  uint32_t stcStep = 6000;  // clock ticks per packet (one 125 us microframe)
  uint16_t sofStart = 0;    // 1 kHz USB frame number at the first packet
};

// Cuts `payload` into packets of at most maxPacket bytes, each with a header;
// the last one carries the end-of-frame bit. An empty payload still yields one
// header-only packet with the end bit. False (nothing appended) when
// maxPacket leaves no room for data.
bool PacketizeFrame(const uint8_t* payload, size_t size, const PacketizeParams& params,
                    std::vector<std::vector<uint8_t>>* packets);

// Reads a header; false when the packet is shorter than its header length.
bool ReadPayloadHeader(const uint8_t* packet, size_t size, PayloadHeader* header);

}  // namespace sim
