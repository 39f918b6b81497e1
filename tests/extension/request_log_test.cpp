// The decoder qcam pages prints requests with: the three property sets it
// knows, and whatever else a program may send a device (other sets and
// controls, short or missing buffers, odd flags) left undescribed.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "tools/qcam/request_log.h"

namespace {

constexpr uint32_t kIoctlKsProperty = 0x2F0003;
constexpr uint8_t kPrivateSet[16] = {0x20, 0xE8, 0xC2, 0x3D, 0x13, 0x47, 0xD2, 0x11,
                                     0xBA, 0x41, 0x00, 0xA0, 0xC9, 0x0D, 0x2B, 0x05};
constexpr uint8_t kProcAmpSet[16] = {0x60, 0x33, 0xE1, 0xC6, 0xAC, 0x30, 0xD0, 0x11,
                                     0xA1, 0x8C, 0x00, 0xA0, 0xC9, 0x11, 0x89, 0x56};

std::vector<uint8_t> Request(const uint8_t* set, uint32_t id, uint32_t flags, std::vector<int32_t> words,
                             size_t size) {
  std::vector<uint8_t> bytes(size, 0);
  std::memcpy(bytes.data(), set, std::min<size_t>(16, size));
  if (size >= 24) {
    std::memcpy(bytes.data() + 16, &id, 4);
    std::memcpy(bytes.data() + 20, &flags, 4);
  }
  for (size_t i = 0; i < words.size() && 24 + 4 * i + 4 <= size; ++i)
    std::memcpy(bytes.data() + 24 + 4 * i, &words[i], 4);
  return bytes;
}

std::string Describe(const std::vector<uint8_t>& bytes, uint32_t code = kIoctlKsProperty) {
  return qcam_tool::DescribePropertyRequest(code, bytes.data(), uint32_t(bytes.size()));
}

TEST(RequestLog, KnownSetsAreReadable) {
  EXPECT_EQ(Describe(Request(kPrivateSet, 7, 2, {1}, 1112)), "set private 7 [1]");
  EXPECT_EQ(Describe(Request(kPrivateSet, 14, 2, {101, -5, 0, 0}, 1112)), "set private 14 [101 -5]");
  EXPECT_EQ(Describe(Request(kPrivateSet, 9, 2, {}, 1112)), "set private 9 [0]");
  EXPECT_EQ(Describe(Request(kPrivateSet, 2, 1, {}, 1112)), "get private 2");
  EXPECT_EQ(Describe(Request(kProcAmpSet, 0, 2, {-12, 2}, 40)), "set procamp 0 = -12 (manual)");
  EXPECT_EQ(Describe(Request(kProcAmpSet, 13, 2, {2, 0}, 40)), "set procamp 13 = 2 (flags 0)");
  EXPECT_EQ(Describe(Request(kProcAmpSet, 7, 1, {}, 40)), "get procamp 7");
}

TEST(RequestLog, AnythingElseIsLeftUndescribed) {
  EXPECT_EQ(Describe(Request(kPrivateSet, 7, 2, {1}, 1112), 0x2F0007), "") << "not a property request";
  EXPECT_EQ(Describe(Request(kPrivateSet, 7, 0x200, {1}, 1112)), "") << "basic support";
  const uint8_t other[16] = {1, 2, 3};
  EXPECT_EQ(Describe(Request(other, 7, 2, {1}, 1112)), "");
  EXPECT_EQ(Describe(Request(kPrivateSet, 7, 2, {}, 23)), "") << "shorter than a property header";
  EXPECT_EQ(Describe(Request(kPrivateSet, 7, 2, {}, 24)), "set private 7") << "no payload to show";
  EXPECT_EQ(Describe(Request(kProcAmpSet, 0, 2, {5}, 28)), "set procamp 0") << "value without flags";
  EXPECT_EQ(Describe(Request(kPrivateSet, 7, 2, {1}, 27)), "set private 7") << "a partial word";
  EXPECT_EQ(qcam_tool::DescribePropertyRequest(kIoctlKsProperty, nullptr, 1112), "");
  // A payload far longer than the record: only the record's words count.
  std::vector<uint8_t> huge = Request(kPrivateSet, 18, 2, {6}, 70000);
  huge[60000] = 1;
  EXPECT_EQ(Describe(huge), "set private 18 [6]");
}

}  // namespace
