// The header parse: its three kinds of result, the records it fills, the
// tables it replaces, and the segments it refuses.
#include <gtest/gtest.h>

#include <cstring>

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <string>

#include "tests/jpeg/jpeg_test_util.h"

namespace {

using namespace jpeg_test;

class JpegHeader : public ::testing::Test {
 protected:
  void SetUp() override { JpegResetTables(); }
  LONG Parse(const std::vector<uint8_t>& d) {
    fi_.P = 0xDEADBEEF;
    si_.Ls = 0xDEADBEEF;
    return _DecodeJPEGHeader(d.data(), ULONG(d.size()), &fi_, &si_);
  }
  bool RecordsUntouched() const { return fi_.P == 0xDEADBEEF && si_.Ls == 0xDEADBEEF; }
  JpegFrameInfo fi_{};
  JpegScanInfo si_{};
};

// Inserts a segment right after SOI.
std::vector<uint8_t> WithSegmentFirst(std::vector<uint8_t> d, std::vector<uint8_t> seg) {
  d.insert(d.begin() + 2, seg.begin(), seg.end());
  return d;
}

TEST_F(JpegHeader, MissingStartOfImageGivesMinusOne) {
  EXPECT_EQ(-1, Parse({0xFF, 0xD9, 0xFF, 0xD8}));
  EXPECT_EQ(-1, Parse({0xFF}));
  EXPECT_EQ(-1, Parse({}));
  EXPECT_EQ(-1, _DecodeJPEGHeader(nullptr, 100, &fi_, &si_));
  EXPECT_TRUE(RecordsUntouched());
}

TEST_F(JpegHeader, CameraFrameGivesOffsetPastScanHeaderAndBothRecords) {
  auto frame = CameraFrame(NaturalPicture(64, 48, 1), 80, false, 0);
  LONG off = Parse(frame);
  ASSERT_GT(off, 0);
  // The scan header is the 14 bytes before the offset: FF DA 00 0C ...
  ASSERT_GE(off, 14);
  EXPECT_EQ(0xFF, frame[off - 14]);
  EXPECT_EQ(0xDA, frame[off - 13]);
  EXPECT_EQ(8u, fi_.P);
  EXPECT_EQ(48u, fi_.Y);
  EXPECT_EQ(64u, fi_.X);
  EXPECT_EQ(3u, fi_.Nf);
  EXPECT_EQ(2u, fi_.Component[0].H);
  EXPECT_EQ(1u, fi_.Component[0].V);
  EXPECT_EQ(0u, fi_.Component[0].Tq);
  EXPECT_EQ(1u, fi_.Component[1].H);
  EXPECT_EQ(1u, fi_.Component[2].Tq);
  EXPECT_EQ(12u, si_.Ls);
  EXPECT_EQ(3u, si_.Ns);
  EXPECT_EQ(fi_.Component[1].C, si_.Component[1].Cs);
  EXPECT_EQ(1u, si_.Component[2].Td);
  EXPECT_EQ(1u, si_.Component[2].Ta);
  EXPECT_EQ(0u, si_.Ss);
  EXPECT_EQ(63u, si_.Se);
  EXPECT_EQ(0u, si_.Ah);
  EXPECT_EQ(0u, si_.Al);
}

TEST_F(JpegHeader, RejectedHeadersGiveZeroAndLeaveRecordsAlone) {
  HeaderOptions o;
  auto good = MakeHeader(o);
  ASSERT_GT(Parse(good), 0);

  struct Case {
    const char* what;
    std::vector<uint8_t> data;
  } cases[] = {
      {"APP0 before SOS", WithSegmentFirst(good, {0xFF, 0xE0, 0x00, 0x04, 'J', 'F'})},
      {"progressive frame", WithSegmentFirst(good, {0xFF, 0xC2, 0x00, 0x02})},
      {"DAC", WithSegmentFirst(good, {0xFF, 0xCC, 0x00, 0x02})},
      {"no SOS", std::vector<uint8_t>(good.begin(), good.end() - 14)},
      {"ends inside a segment", std::vector<uint8_t>(good.begin(), good.begin() + 40)},
      {"ends after a marker byte", std::vector<uint8_t>(good.begin(), good.begin() + 3)},
      {"segment longer than the data", WithSegmentFirst(good, {0xFF, 0xFE, 0xFF, 0xF0})},
      {"segment length below 2", WithSegmentFirst(good, {0xFF, 0xFE, 0x00, 0x01})},
      {"not a marker", WithSegmentFirst(good, {0x00})},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(0, Parse(c.data)) << c.what;
    EXPECT_TRUE(RecordsUntouched()) << c.what;
  }
}

TEST_F(JpegHeader, FrameHeaderWithFiveComponentsIsRejected) {
  std::vector<uint8_t> d = {0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x17, 0x08, 0x00, 0x08, 0x00, 0x10, 0x05};
  for (int c = 0; c < 5; ++c) d.insert(d.end(), {uint8_t(c + 1), 0x11, 0x00});
  d.insert(d.end(), {0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x00, 0x3F, 0x00, 0x00});
  EXPECT_EQ(0, Parse(d));
  d[11] = 4;  // four components is still within the record
  d[5] = 0x14;
  d.erase(d.begin() + 24, d.begin() + 27);
  EXPECT_GT(Parse(d), 0);
  EXPECT_EQ(4u, fi_.Nf);
}

TEST_F(JpegHeader, ScanOutsideTheRecordsIsRejected) {
  HeaderOptions o;
  auto h = MakeHeader(o);
  // Four scan components.
  std::vector<uint8_t> four(h.begin(), h.end() - 14);
  four.insert(four.end(), {0xFF, 0xDA, 0x00, 0x0E, 0x04, 1, 0, 2, 0x11, 3, 0x11, 4, 0x11, 0x00, 0x3F, 0x00});
  EXPECT_EQ(0, Parse(four));
  // A scan before any frame header.
  std::vector<uint8_t> noFrame = {0xFF, 0xD8, 0xFF, 0xDA, 0x00, 0x0C, 0x03, 1, 0, 2, 0x11, 3, 0x11, 0x00, 0x3F, 0x00};
  EXPECT_EQ(0, Parse(noFrame));
}

TEST_F(JpegHeader, MarkersWithoutLengthAndSkippedSegmentsArePassedOver) {
  HeaderOptions o;
  auto h = MakeHeader(o);
  auto d = WithSegmentFirst(h, {0xFF, 0xD3, 0xFF, 0xFE, 0x00, 0x05, 'a', 'b', 'c', 0xFF, 0xDD, 0x00, 0x04, 0x00,
                                0x02, 0xFF, 0xDC, 0x00, 0x04, 0x00, 0x08});
  EXPECT_EQ(LONG(d.size()), Parse(d));
}

TEST_F(JpegHeader, DqtWithBothTablesFillsLumaThenChromaTimesSixteen) {
  HeaderOptions o;
  auto h = MakeHeader(o);
  // Distinct values: luma 1..64, chroma 65..128, in one segment of length 132.
  ASSERT_EQ(0xDB, h[3]);
  ASSERT_EQ(0x84, h[5]);
  for (int k = 0; k < 64; ++k) {
    h[7 + k] = uint8_t(k + 1);
    h[72 + k] = uint8_t(k + 65);
  }
  ASSERT_GT(Parse(h), 0);
  for (int k = 0; k < 64; ++k) {
    EXPECT_EQ((k + 1) * 16, JpegGetQuantTable(0)[k]);
    EXPECT_EQ((k + 65) * 16, JpegGetQuantTable(1)[k]);
  }
}

TEST_F(JpegHeader, DqtAsTwoSegmentsFillsTheTableEachNames) {
  // One table per segment, chroma first; the table id decides.
  std::vector<uint8_t> seg;
  for (int id : {1, 0}) {
    seg.insert(seg.end(), {0xFF, 0xDB, 0x00, 0x43, uint8_t(id)});
    for (int k = 0; k < 64; ++k) seg.push_back(uint8_t(id ? 200 : 3));
  }
  HeaderOptions o;
  auto d = WithSegmentFirst(MakeHeader(o), seg);
  // MakeHeader's own DQT (all ones) comes after them and replaces both.
  ASSERT_GT(Parse(d), 0);
  EXPECT_EQ(16, JpegGetQuantTable(0)[5]);
  std::vector<uint8_t> only = {0xFF, 0xD8};
  only.insert(only.end(), seg.begin(), seg.end());
  auto rest = MakeHeader(o);
  // Everything of MakeHeader after its DQT segment (SOI 2 + DQT 134 bytes).
  only.insert(only.end(), rest.begin() + 136, rest.end());
  ASSERT_GT(Parse(only), 0);
  EXPECT_EQ(3 * 16, JpegGetQuantTable(0)[5]);
  EXPECT_EQ(200 * 16, JpegGetQuantTable(1)[5]);
}

TEST_F(JpegHeader, DhtReplacesOnlyWhenTheHeaderIsAccepted) {
  // A DC luma table with all twelve categories at four bits.
  uint8_t counts[16] = {0, 0, 0, 12};
  auto dht = DhtSegment(0, 0, counts, kDcSymbols, 12);
  HeaderOptions o;
  o.withDht = false;
  auto accepted = WithSegmentFirst(MakeHeader(o), dht);
  auto rejected = WithSegmentFirst(WithSegmentFirst(MakeHeader(o), {0xFF, 0xE1, 0x00, 0x02}), dht);
  EXPECT_EQ(0, Parse(rejected));
  EXPECT_EQ(1, JpegGetHuffTable(0)->Bits[2]);  // still Annex K.3: one 2-bit code
  ASSERT_GT(Parse(accepted), 0);
  EXPECT_EQ(0, JpegGetHuffTable(0)->Bits[2]);
  EXPECT_EQ(12, JpegGetHuffTable(0)->Bits[4]);
  EXPECT_EQ(0, JpegGetHuffTable(0)->MinCode[4]);
  EXPECT_EQ(11, JpegGetHuffTable(0)->MaxCode[4]);
  EXPECT_EQ(-1, JpegGetHuffTable(0)->MaxCode[3]);
  // A frame without DHT keeps it.
  ASSERT_GT(Parse(MakeHeader(o)), 0);
  EXPECT_EQ(12, JpegGetHuffTable(0)->Bits[4]);
}

// A table equal to the one in force is not built again; the last DHT of a
// header for a place still decides what the place holds, equal or not, and
// the whole table (lookahead included) is what a fresh build gives.
TEST_F(JpegHeader, LastDhtForATablePlaceWinsAlsoWhenItEqualsTheTableInForce) {
  uint8_t counts[16] = {0, 0, 0, 12};
  auto fourBits = DhtSegment(0, 0, counts, kDcSymbols, 12);
  auto annexK = DhtSegment(0, 0, kDcLumaCounts, kDcSymbols, 12);
  HeaderOptions o;
  o.withDht = false;
  const JpegHuffTable original = *JpegGetHuffTable(0);
  // Four-bit table, then the table in force again: the place keeps Annex K.
  ASSERT_GT(Parse(WithSegmentFirst(WithSegmentFirst(MakeHeader(o), annexK), fourBits)), 0);
  EXPECT_EQ(0, std::memcmp(&original, JpegGetHuffTable(0), sizeof(JpegHuffTable)));
  // The table in force, then the four-bit one: the four-bit one wins.
  ASSERT_GT(Parse(WithSegmentFirst(WithSegmentFirst(MakeHeader(o), fourBits), annexK)), 0);
  EXPECT_EQ(12, JpegGetHuffTable(0)->Bits[4]);
  const JpegHuffTable replaced = *JpegGetHuffTable(0);
  // The same four-bit table again (not rebuilt), then back to Annex K.
  ASSERT_GT(Parse(WithSegmentFirst(MakeHeader(o), fourBits)), 0);
  EXPECT_EQ(0, std::memcmp(&replaced, JpegGetHuffTable(0), sizeof(JpegHuffTable)));
  ASSERT_GT(Parse(WithSegmentFirst(MakeHeader(o), annexK)), 0);
  EXPECT_EQ(0, std::memcmp(&original, JpegGetHuffTable(0), sizeof(JpegHuffTable)));
}

TEST_F(JpegHeader, DhtSegmentWithSeveralTablesBuildsEach) {
  auto a = DhtSegment(1, 1, kAcLumaCounts, kAcLumaSymbols, 162);
  auto b = DhtSegment(0, 1, kDcLumaCounts, kDcSymbols, 12);
  std::vector<uint8_t> seg = {0xFF, 0xC4, 0, 0};
  seg.insert(seg.end(), a.begin() + 4, a.end());
  seg.insert(seg.end(), b.begin() + 4, b.end());
  seg[2] = uint8_t((seg.size() - 2) >> 8);
  seg[3] = uint8_t(seg.size() - 2);
  HeaderOptions o;
  o.withDht = false;
  ASSERT_GT(Parse(WithSegmentFirst(MakeHeader(o), seg)), 0);
  EXPECT_EQ(0x7d, JpegGetHuffTable(3)->Bits[16]);  // AC1 now holds the luma AC table
  EXPECT_EQ(1, JpegGetHuffTable(1)->Bits[2]);      // DC1 now holds the luma DC table
}

TEST_F(JpegHeader, DhtOutsideTheTableModelIsRejected) {
  HeaderOptions o;
  o.withDht = false;
  auto base = MakeHeader(o);
  uint8_t counts[16] = {0, 0, 0, 12};
  auto idTwo = DhtSegment(0, 2, counts, kDcSymbols, 12);
  auto classTwo = DhtSegment(2, 0, counts, kDcSymbols, 12);
  uint8_t tooMany[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 255};
  tooMany[14] = 2;  // 257 symbols
  std::vector<uint8_t> vals(257, 1);
  auto overflow = DhtSegment(1, 0, tooMany, vals.data(), 257);
  auto shortValues = DhtSegment(0, 0, counts, kDcSymbols, 12);
  shortValues[3] -= 2;  // segment ends before its values do
  shortValues.resize(shortValues.size() - 2);
  // Code counts that overflow their lengths: three 1-bit codes, and a full
  // 2-bit level whose last code would be all ones.
  uint8_t overSubscribed[16] = {3, 0, 0, 9};
  uint8_t allOnes[16] = {0, 4};
  auto tooDense = DhtSegment(0, 0, overSubscribed, kDcSymbols, 12);
  auto lastAllOnes = DhtSegment(0, 0, allOnes, kDcSymbols, 4);
  for (const auto& seg : {idTwo, classTwo, overflow, shortValues, tooDense, lastAllOnes})
    EXPECT_EQ(0, Parse(WithSegmentFirst(base, seg)));
  EXPECT_EQ(1, JpegGetHuffTable(0)->Bits[2]);
  // Counts filling every length up to the all-ones code are a valid code.
  uint8_t full[16] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0};
  ASSERT_GT(Parse(WithSegmentFirst(base, DhtSegment(0, 0, full, kDcSymbols, 11))), 0);
}

TEST_F(JpegHeader, DqtOutsideTheTableModelIsRejected) {
  HeaderOptions o;
  auto base = MakeHeader(o);
  std::vector<uint8_t> id2 = {0xFF, 0xDB, 0x00, 0x43, 0x02};
  id2.insert(id2.end(), 64, 1);
  std::vector<uint8_t> sixteenBit = {0xFF, 0xDB, 0x00, 0x43, 0x10};
  sixteenBit.insert(sixteenBit.end(), 64, 1);
  std::vector<uint8_t> partial = {0xFF, 0xDB, 0x00, 0x23, 0x00};
  partial.insert(partial.end(), 32, 1);
  for (const auto& seg : {id2, sixteenBit, partial}) EXPECT_EQ(0, Parse(WithSegmentFirst(base, seg)));
}

// The driver module exports the header parse under its plain name.
TEST(JpegExport, DriverModuleExportsDecodeJpegHeaderUnmangled) {
  char exe[PATH_MAX] = {};
  ssize_t n = readlink("/proc/self/exe", exe, sizeof(exe) - 1);
  ASSERT_GT(n, 0);
  std::string dir(exe, size_t(n));
  dir = dir.substr(0, dir.rfind('/'));
  std::string lib = dir + "/../lib/libQORCAM.so";
  if (access(lib.c_str(), R_OK) != 0) GTEST_SKIP() << "driver module not built: " << lib;
  void* h = dlopen(lib.c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(nullptr, h) << dlerror();
  using Fn = LONG (*)(const UCHAR*, ULONG, JpegFrameInfo*, JpegScanInfo*);
  auto fn = reinterpret_cast<Fn>(dlsym(h, "_DecodeJPEGHeader"));
  ASSERT_NE(nullptr, fn);
  auto frame = CameraFrame(NaturalPicture(32, 16, 2), 80, false, 0);
  JpegFrameInfo fi{};
  JpegScanInfo si{};
  EXPECT_EQ(_DecodeJPEGHeader(frame.data(), ULONG(frame.size()), &fi, &si),
            fn(frame.data(), ULONG(frame.size()), &fi, &si));
  EXPECT_EQ(32u, fi.X);
  uint8_t notJpeg[2] = {0, 0};
  EXPECT_EQ(-1, fn(notJpeg, 2, &fi, &si));
  dlclose(h);
}

}  // namespace
