// Cutting frames into payload packets.
#include "sim/payload.h"

#include <gtest/gtest.h>

namespace {

TEST(Packetize, CutsAtTheLimitAndMarksTheEnd) {
  std::vector<uint8_t> data(100);
  for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i);
  sim::PacketizeParams p;
  p.maxPacket = 12 + 25;  // exactly four full packets
  p.fid = true;
  p.still = true;
  p.pts = 0x11223344;
  std::vector<std::vector<uint8_t>> packets;
  ASSERT_TRUE(sim::PacketizeFrame(data.data(), data.size(), p, &packets));
  ASSERT_EQ(packets.size(), 4u);
  std::vector<uint8_t> joined;
  for (size_t i = 0; i < packets.size(); ++i) {
    ASSERT_EQ(packets[i].size(), 37u);
    sim::PayloadHeader h;
    ASSERT_TRUE(sim::ReadPayloadHeader(packets[i].data(), packets[i].size(), &h));
    EXPECT_EQ(h.headerLength, 12);
    EXPECT_EQ(h.headerInfo & (uvc::UVC_STREAM_FID | uvc::UVC_STREAM_STI | uvc::UVC_STREAM_EOH),
              uvc::UVC_STREAM_FID | uvc::UVC_STREAM_STI | uvc::UVC_STREAM_EOH);
    EXPECT_EQ(bool(h.headerInfo & uvc::UVC_STREAM_EOF), i == 3);
    EXPECT_EQ(h.pts[0], 0x44);
    EXPECT_EQ(h.pts[3], 0x11);
    joined.insert(joined.end(), packets[i].begin() + 12, packets[i].end());
  }
  EXPECT_EQ(joined, data);
  // One byte more needs a fifth, short packet.
  data.push_back(0xEE);
  packets.clear();
  ASSERT_TRUE(sim::PacketizeFrame(data.data(), data.size(), p, &packets));
  ASSERT_EQ(packets.size(), 5u);
  EXPECT_EQ(packets[4].size(), 13u);
  EXPECT_TRUE(packets[4][1] & uvc::UVC_STREAM_EOF);
  EXPECT_FALSE(packets[3][1] & uvc::UVC_STREAM_EOF);
}

TEST(Packetize, EmptyFramesAndImpossibleLimits) {
  sim::PacketizeParams p;
  p.maxPacket = 64;
  std::vector<std::vector<uint8_t>> packets;
  ASSERT_TRUE(sim::PacketizeFrame(nullptr, 0, p, &packets));
  ASSERT_EQ(packets.size(), 1u);
  EXPECT_EQ(packets[0].size(), 12u);
  EXPECT_TRUE(packets[0][1] & uvc::UVC_STREAM_EOF);
  const uint8_t byte = 1;
  p.maxPacket = 12;
  packets.clear();
  EXPECT_FALSE(sim::PacketizeFrame(&byte, 1, p, &packets));
  EXPECT_TRUE(packets.empty());
  sim::PayloadHeader h;
  const uint8_t shortPacket[4] = {12, 0x80, 0, 0};
  EXPECT_FALSE(sim::ReadPayloadHeader(shortPacket, sizeof(shortPacket), &h));
}

}  // namespace
