// The decode operations: tables carried between frames, the entropy-coded
// data's special cases (stuffing, restarts, corrupt codes), the bounds of
// every read and write, and the fast entropy decoder against the plain one.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <random>

#include "tests/jpeg/jpeg_test_util.h"

namespace {

using namespace jpeg_test;

class JpegDecode : public ::testing::Test {
 protected:
  void SetUp() override {
    JpegResetTables();
    JpegUseBitByBitDecoder(false);
  }
  void TearDown() override { JpegUseBitByBitDecoder(false); }
  static JpegDecodeState Last() {
    JpegDecodeState s;
    JpegGetLastDecodeState(&s);
    return s;
  }
};

const CodeTable& DcLuma() {
  static CodeTable t(kDcLumaCounts, kDcSymbols);
  return t;
}
const CodeTable& DcChroma() {
  static CodeTable t(kDcChromaCounts, kDcSymbols);
  return t;
}
const CodeTable& AcLuma() {
  static CodeTable t(kAcLumaCounts, kAcLumaSymbols);
  return t;
}
const CodeTable& AcChroma() {
  static CodeTable t(kAcChromaCounts, kAcChromaSymbols);
  return t;
}

// A hand-made frame: header (with extraSegment in front of its SOS, where
// it overrides the header's own tables), the entropy data the body writes,
// EOI.
std::vector<uint8_t> Crafted(const HeaderOptions& o, const std::function<void(BitWriter&)>& body,
                             const std::vector<uint8_t>& extraSegment = {}) {
  auto f = MakeHeader(o);
  f.insert(f.end() - 14, extraSegment.begin(), extraSegment.end());
  BitWriter w;
  body(w);
  w.Pad();
  f.insert(f.end(), w.bytes.begin(), w.bytes.end());
  f.insert(f.end(), {0xFF, 0xD9});
  return f;
}

// One 4:2:2 MCU with the standard tables.
void PutMcu422(BitWriter& w, const Block& y0, const Block& y1, const Block& cb, const Block& cr) {
  PutBlock(w, y0, DcLuma(), AcLuma());
  PutBlock(w, y1, DcLuma(), AcLuma());
  PutBlock(w, cb, DcChroma(), AcChroma());
  PutBlock(w, cr, DcChroma(), AcChroma());
}

bool Near(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, int tol) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::abs(int(a[i]) - int(b[i])) > tol) return false;
  return true;
}

TEST_F(JpegDecode, FrameWithoutDhtDecodesWithAnnexKTables) {
  auto frame = CameraFrame(NaturalPicture(64, 48, 3), 85, false, 0);
  auto bare = DropSegments(frame, [](uint8_t c) { return c == 0xC4; });
  ASSERT_LT(bare.size(), frame.size());
  TestStream s(64, 48);
  std::vector<uint8_t> withTables, without, rgbWith, rgbWithout;
  ASSERT_NE(0u, DecodeI420(frame, s, &withTables));
  ASSERT_NE(0u, DecodeRgb(frame, s, &rgbWith));
  JpegResetTables();
  ASSERT_NE(0u, DecodeI420(bare, s, &without));
  ASSERT_NE(0u, DecodeRgb(bare, s, &rgbWithout));
  EXPECT_EQ(withTables, without);
  EXPECT_EQ(rgbWith, rgbWithout);
}

TEST_F(JpegDecode, LaterFrameWithoutDhtKeepsTheReplacedTables) {
  // A DC luma table with every category at four bits, used by both frames;
  // only the first carries it.
  uint8_t counts[16] = {0, 0, 0, 12};
  CodeTable dc4(counts, kDcSymbols);
  auto body = [&](BitWriter& w) {
    PutBlock(w, Block{40, {{1, -7}, {3, 12}}}, dc4, AcLuma());
    PutBlock(w, Block{-25, {{2, 5}}}, dc4, AcLuma());
    PutBlock(w, Block{9, {{1, 3}}}, DcChroma(), AcChroma());
    PutBlock(w, Block{-14, {}}, DcChroma(), AcChroma());
  };
  HeaderOptions o;
  o.quant = 2;
  auto first = Crafted(o, body, DhtSegment(0, 0, counts, kDcSymbols, 12));
  o.withDht = false;
  auto later = Crafted(o, body);

  TestStream s(16, 8);
  std::vector<uint8_t> a, b, ref;
  ASSERT_EQ(I420Size(16, 8), DecodeI420(first, s, &a));
  ASSERT_TRUE(ReferenceI420(first, 16, 8, false, &ref));
  EXPECT_TRUE(Near(a, ref, 3));
  ASSERT_EQ(I420Size(16, 8), DecodeI420(later, s, &b));
  EXPECT_EQ(a, b);
  // With the load-time tables the same data reads differently.
  JpegResetTables();
  ULONG n = DecodeI420(later, s, &b);
  EXPECT_TRUE(n == 0 || a != b);
}

TEST_F(JpegDecode, StuffedZeroAfterFFReadsAsOneDataByte) {
  // A DC difference of 2047 (category 11, eleven 1 bits) after its 9-bit code
  // puts FF bytes, each followed by a stuffed 00, into the data.
  auto body = [&](BitWriter& w) {
    PutMcu422(w, Block{2047, {{1, -1023}}}, Block{-2047, {}}, Block{255, {{5, 255}}}, Block{-1, {}});
  };
  HeaderOptions o;
  auto frame = Crafted(o, body);
  size_t stuffed = 0;
  for (size_t i = MakeHeader(o).size(); i + 1 < frame.size(); ++i) stuffed += frame[i] == 0xFF && frame[i + 1] == 0;
  ASSERT_GE(stuffed, 1u);
  TestStream s(16, 8);
  std::vector<uint8_t> ours, ref;
  ASSERT_EQ(I420Size(16, 8), DecodeI420(frame, s, &ours));
  ASSERT_TRUE(ReferenceI420(frame, 16, 8, false, &ref));
  EXPECT_TRUE(Near(ours, ref, 3));
  EXPECT_EQ(0, Last().Status);
  EXPECT_EQ(frame.size() - 2, Last().Offset);  // stopped in front of EOI, only padding unread
}

TEST_F(JpegDecode, DcCategoryTwelveEndsTheFrameWithCodeError) {
  uint8_t counts[16] = {0, 0, 0, 13};
  uint8_t symbols[13] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  CodeTable dc13(counts, symbols);
  auto body = [&](BitWriter& w) {
    w.Put(dc13.code[12], dc13.size[12]);
    w.Put(0xABC, 12);
    PutBlock(w, Block{}, DcLuma(), AcLuma());
    PutBlock(w, Block{}, DcChroma(), AcChroma());
    PutBlock(w, Block{}, DcChroma(), AcChroma());
  };
  HeaderOptions o;
  auto frame = Crafted(o, body, DhtSegment(0, 0, counts, symbols, 13));
  TestStream s(16, 8);
  std::vector<uint8_t> out;
  EXPECT_EQ(0u, DecodeI420(frame, s, &out));
  EXPECT_EQ(kJpegStatusCodeError, Last().Status);
  EXPECT_EQ(0u, DecodeRgb(frame, s, &out));
  EXPECT_EQ(kJpegStatusCodeError, Last().Status);
}

TEST_F(JpegDecode, AcRunPastTheBlockEndsTheFrameWithCodeError) {
  // Runs of 15 zeros then a 1: positions 16, 32, 48, then 64, past the block.
  auto body = [&](BitWriter& w) {
    w.Put(DcLuma().code[0], DcLuma().size[0]);
    for (int i = 0; i < 4; ++i) {
      w.Put(AcLuma().code[0xF1], AcLuma().size[0xF1]);
      w.Put(1, 1);
    }
    PutBlock(w, Block{}, DcLuma(), AcLuma());
    PutBlock(w, Block{}, DcChroma(), AcChroma());
    PutBlock(w, Block{}, DcChroma(), AcChroma());
  };
  HeaderOptions o;
  auto frame = Crafted(o, body);
  TestStream s(16, 8);
  std::vector<uint8_t> out;
  JpegDecodeState stops[2];
  for (bool plain : {false, true}) {
    JpegUseBitByBitDecoder(plain);
    EXPECT_EQ(0u, DecodeI420(frame, s, &out));
    stops[plain] = Last();
    EXPECT_EQ(kJpegStatusCodeError, Last().Status);
    EXPECT_EQ(0u, DecodeRgb(frame, s, &out));
  }
  // Both decoders stop after the run's code, before its value bits.
  EXPECT_EQ(stops[0].BitsTaken, stops[1].BitsTaken);
  EXPECT_EQ(stops[0].Offset, stops[1].Offset);
  const int codeBits = DcLuma().size[0] + 3 * (AcLuma().size[0xF1] + 1) + AcLuma().size[0xF1];
  EXPECT_EQ(ULONG(codeBits), stops[1].BitsTaken);
}

TEST_F(JpegDecode, RestartMarkersIn422FramesRestartThePredictors) {
  // The same picture with a restart marker after every MCU decodes to the
  // same pixels: the predictors restart at 0 where the encoder restarted them.
  auto pic = NaturalPicture(64, 48, 5);
  auto plain = CameraFrame(pic, 80, false, 0);
  for (int interval : {1, 3}) {
    auto rst = CameraFrame(pic, 80, false, interval);
    TestStream s(64, 48);
    std::vector<uint8_t> a, b;
    ASSERT_NE(0u, DecodeI420(plain, s, &a));
    ASSERT_NE(0u, DecodeI420(rst, s, &b)) << interval;
    EXPECT_EQ(a, b);
    ASSERT_NE(0u, DecodeRgb(plain, s, &a));
    ASSERT_NE(0u, DecodeRgb(rst, s, &b));
    EXPECT_EQ(a, b);
  }
}

TEST_F(JpegDecode, RestartMarkerIn420FrameEndsTheI420Decode) {
  auto pic = NaturalPicture(64, 48, 6);
  auto plain = CameraFrame(pic, 80, true, 0);
  auto rst = CameraFrame(pic, 80, true, 2);
  TestStream s(64, 48);
  std::vector<uint8_t> a, b;
  ASSERT_NE(0u, DecodeI420(plain, s, &a));
  EXPECT_EQ(0u, DecodeI420(rst, s, &b));
  EXPECT_EQ(kJpegStatusRestart, Last().Status);
  EXPECT_EQ(2u, Last().McuCount);
  // The BGR operation decodes 4:2:0 with the planar loop's restart handling.
  ASSERT_NE(0u, DecodeRgb(plain, s, &a));
  ASSERT_NE(0u, DecodeRgb(rst, s, &b));
  EXPECT_EQ(a, b);
}

TEST_F(JpegDecode, RestartInsideAnMcuRestartsThePlanarLoopButEndsTheI420Loop) {
  Block y0{100, {{1, 20}}}, y1{-30, {{2, -9}}}, cb{12, {}}, cr{-8, {{1, 4}}};
  Block y0b{-60, {{4, 7}}}, y1b{5, {}}, cbb{-3, {}}, crb{2, {}};
  HeaderOptions o;
  o.width = 32;
  // Clean: MCU 0, RST0, MCU 1 coded from predictors of 0.
  auto clean = Crafted(o, [&](BitWriter& w) {
    PutMcu422(w, y0, y1, cb, cr);
    w.Marker(0xD0);
    PutMcu422(w, y0b, y1b, cbb, crb);
  });
  // Broken: MCU 1's first block, then RST0 and the whole MCU again.
  auto broken = Crafted(o, [&](BitWriter& w) {
    PutMcu422(w, y0, y1, cb, cr);
    PutBlock(w, Block{77, {{1, 1}}}, DcLuma(), AcLuma());
    w.Marker(0xD0);
    PutMcu422(w, y0b, y1b, cbb, crb);
  });
  TestStream s(32, 8);
  std::vector<uint8_t> a, b;
  ASSERT_NE(0u, DecodeRgb(clean, s, &a));
  ASSERT_NE(0u, DecodeRgb(broken, s, &b));
  EXPECT_EQ(a, b);
  ASSERT_NE(0u, DecodeI420(clean, s, &a));
  EXPECT_EQ(0u, DecodeI420(broken, s, &b));
  EXPECT_EQ(kJpegStatusRestart, Last().Status);
}

TEST_F(JpegDecode, NothingIsWrittenPastTheBufferWhateverTheHeaderSays) {
  struct Case {
    int w, h;
    bool is420;
  } cases[] = {{160, 120, true}, {40, 24, false}, {40, 24, true}, {48, 8, false}};
  for (const Case& c : cases) {
    auto frame = CameraFrame(NaturalPicture(c.w, c.h, 7), 85, c.is420, 0);
    TestStream s(c.w, c.h);
    // Exact-size outputs followed by guard bytes.
    for (bool rgb : {false, true}) {
      size_t size = rgb ? size_t(c.w) * c.h * 3 : I420Size(c.w, c.h);
      std::vector<uint8_t> out(size + 64, 0xA5);
      ULONG n = rgb ? DecodeJPEGToRGB24(out.data(), ULONG(size), frame.data(), ULONG(frame.size()), &s.state)
                    : DecodeJPEGToI420(out.data(), ULONG(size), frame.data(), ULONG(frame.size()), &s.state);
      ASSERT_EQ(size, n) << c.w << "x" << c.h << (rgb ? " rgb" : " i420");
      for (size_t i = size; i < out.size(); ++i) ASSERT_EQ(0xA5, out[i]) << c.w << "x" << c.h;
      std::vector<uint8_t> ours(out.begin(), out.begin() + long(size)), ref;
      if (rgb) {
        ASSERT_TRUE(ReferenceBgrBottomUp(frame, c.w, c.h, &ref));
        EXPECT_TRUE(Near(ours, ref, 16));
      } else {
        ASSERT_TRUE(ReferenceI420(frame, c.w, c.h, c.is420, &ref));
        EXPECT_TRUE(Near(ours, ref, 3)) << c.w << "x" << c.h;
      }
    }
  }
}

TEST_F(JpegDecode, FramesThatDoNotFitTheStreamAreRefusedUntouched) {
  auto frame = CameraFrame(NaturalPicture(64, 48, 8), 85, false, 0);
  std::vector<uint8_t> out(64 * 48 * 3, 0x5A);
  auto untouched = [&] {
    for (uint8_t v : out)
      if (v != 0x5A) return false;
    return true;
  };
  {
    TestStream s(64, 48);  // output one byte short
    EXPECT_EQ(0u, DecodeJPEGToI420(out.data(), ULONG(I420Size(64, 48) - 1), frame.data(), ULONG(frame.size()), &s.state));
    EXPECT_EQ(0u, DecodeJPEGToRGB24(out.data(), 64 * 48 * 3 - 1, frame.data(), ULONG(frame.size()), &s.state));
    EXPECT_TRUE(untouched());
  }
  {
    TestStream s(32, 48);  // the stream is smaller than the picture
    EXPECT_EQ(0u, DecodeJPEGToI420(out.data(), ULONG(out.size()), frame.data(), ULONG(frame.size()), &s.state));
    EXPECT_EQ(0u, DecodeJPEGToRGB24(out.data(), ULONG(out.size()), frame.data(), ULONG(frame.size()), &s.state));
    EXPECT_TRUE(untouched());
  }
  {
    TestStream s(64, 48);  // no scratch buffer
    s.state.ScratchBuffer = nullptr;
    EXPECT_EQ(0u, DecodeJPEGToI420(out.data(), ULONG(out.size()), frame.data(), ULONG(frame.size()), &s.state));
    EXPECT_EQ(0u, DecodeJPEGToRGB24(out.data(), ULONG(out.size()), frame.data(), ULONG(frame.size()), &s.state));
    s.state.ScratchBuffer = s.scratch.data();
    s.state.ScratchSize = 64 * 48 * 2 - 1;  // too small for planar 4:2:2
    EXPECT_EQ(0u, DecodeJPEGToRGB24(out.data(), ULONG(out.size()), frame.data(), ULONG(frame.size()), &s.state));
    EXPECT_TRUE(untouched());
  }
  TestStream s(64, 48);
  EXPECT_EQ(0u, DecodeJPEGToI420(nullptr, 100, frame.data(), ULONG(frame.size()), &s.state));
  EXPECT_EQ(0u, DecodeJPEGToI420(out.data(), ULONG(out.size()), nullptr, 100, &s.state));
  EXPECT_EQ(0u, DecodeJPEGToI420(out.data(), ULONG(out.size()), frame.data(), ULONG(frame.size()), nullptr));
  EXPECT_EQ(0u, DecodeJPEGToI420(out.data(), ULONG(out.size()), frame.data(), 1, &s.state));
}

TEST_F(JpegDecode, LayoutsOutsideTheTwoSamplingsAreRefused) {
  auto body = [&](BitWriter& w) {
    for (int i = 0; i < 8; ++i) PutBlock(w, Block{}, DcLuma(), AcLuma());
  };
  HeaderOptions o;
  auto f444 = Crafted(o, body);
  size_t sof = 0;
  while (!(f444[sof] == 0xFF && f444[sof + 1] == 0xC0)) ++sof;
  f444[sof + 11] = 0x11;  // luma 1x1
  auto f411 = f444;
  f411[sof + 11] = 0x41;  // luma 4x1
  auto f12bit = Crafted(o, body);
  f12bit[sof + 4] = 12;
  TestStream s(16, 8);
  std::vector<uint8_t> out;
  for (const auto* f : {&f444, &f411, &f12bit}) {
    EXPECT_EQ(0u, DecodeI420(*f, s, &out));
    EXPECT_EQ(0u, DecodeRgb(*f, s, &out));
  }
}

TEST_F(JpegDecode, DataEndingEarlyIsAFailedFrame) {
  auto frame = CameraFrame(NaturalPicture(64, 48, 9), 85, false, 0);
  JpegFrameInfo fi;
  JpegScanInfo si;
  LONG start = _DecodeJPEGHeader(frame.data(), ULONG(frame.size()), &fi, &si);
  ASSERT_GT(start, 0);
  TestStream s(64, 48);
  std::vector<uint8_t> out;
  // Without its EOI the frame is whole.
  auto noEoi = std::vector<uint8_t>(frame.begin(), frame.end() - 2);
  EXPECT_NE(0u, DecodeI420(noEoi, s, &out));
  for (bool plain : {false, true}) {
    JpegUseBitByBitDecoder(plain);
    for (size_t cut : {size_t(start), size_t(start) + 1, size_t(start) + 100, frame.size() / 2, frame.size() - 4}) {
      std::vector<uint8_t> part(frame.begin(), frame.begin() + long(cut));
      EXPECT_EQ(0u, DecodeI420(part, s, &out)) << cut;
      EXPECT_EQ(kJpegStatusDataEnded, Last().Status) << cut;
      EXPECT_EQ(0u, DecodeRgb(part, s, &out)) << cut;
      // EOI in the middle ends the data the same way, also for the planar loop
      // that passes over restart markers.
      auto eoi = part;
      eoi.insert(eoi.end(), {0xFF, 0xD9});
      eoi.insert(eoi.end(), frame.begin() + long(cut), frame.end());
      EXPECT_EQ(0u, DecodeRgb(eoi, s, &out)) << cut;
      EXPECT_EQ(kJpegStatusDataEnded, Last().Status) << cut;
    }
  }
}

TEST_F(JpegDecode, UnexpectedMarkerLeavesItsCodeAsStatus) {
  auto frame = CameraFrame(NaturalPicture(64, 48, 10), 85, false, 0);
  auto bad = frame;
  size_t at = bad.size() / 2;
  while (bad[at] == 0xFF || bad[at - 1] == 0xFF) ++at;
  bad.insert(bad.begin() + long(at), {0xFF, 0xC4});
  TestStream s(64, 48);
  std::vector<uint8_t> out;
  EXPECT_EQ(0u, DecodeI420(bad, s, &out));
  EXPECT_EQ(0xC4, Last().Status);
  EXPECT_EQ(at + 1, Last().Offset);  // left on the marker's code byte
}

// Every symbol, status and stopping point of the fast decoder is the plain
// decoder's: the same output bytes, result, status, position, bits and MCUs.
TEST_F(JpegDecode, FastAndBitByBitDecodersAgreeOnValidAndCorruptFrames) {
  const uint32_t seed = 777;
  std::printf("seed %u\n", seed);
  std::mt19937 rng(seed);
  std::vector<std::pair<std::vector<uint8_t>, std::pair<int, int>>> frames;
  frames.push_back({CameraFrame(NaturalPicture(64, 48, 11), 90, false, 0), {64, 48}});
  frames.push_back({CameraFrame(NaturalPicture(48, 32, 12), 60, true, 0), {48, 32}});
  frames.push_back({CameraFrame(NaturalPicture(64, 32, 13), 95, false, 2), {64, 32}});
  frames.push_back({CameraFrame(NaturalPicture(32, 32, 14), 75, true, 1), {32, 32}});
  int compared = 0;
  for (const auto& [frame, size] : frames) {
    JpegFrameInfo fi;
    JpegScanInfo si;
    const size_t start = size_t(_DecodeJPEGHeader(frame.data(), ULONG(frame.size()), &fi, &si));
    for (int variant = 0; variant < 120; ++variant) {
      std::vector<uint8_t> f = frame;
      std::uniform_int_distribution<size_t> where(start, f.size() - 1);
      switch (variant % 5) {
        case 0:
          break;  // as encoded (first round), then with flips below
        case 1:
          for (int i = 0; i < 1 + variant % 3; ++i) f[where(rng)] ^= uint8_t(1 << (rng() % 8));
          break;
        case 2:
          f.resize(where(rng));
          break;
        case 3: {
          static const uint8_t codes[] = {0xD0, 0xD5, 0xD9, 0xC4, 0xFF, 0xE1, 0x01, 0xDA};
          f.insert(f.begin() + long(where(rng)), {0xFF, codes[rng() % 8]});
          break;
        }
        case 4:
          f[where(rng)] = 0xFF;
          break;
      }
      if (variant % 5 == 0 && variant) f[where(rng)] = uint8_t(rng());
      TestStream s(size.first, size.second);
      for (bool rgb : {false, true}) {
        std::vector<uint8_t> outFast, outPlain;
        JpegUseBitByBitDecoder(false);
        ULONG nFast = rgb ? DecodeRgb(f, s, &outFast) : DecodeI420(f, s, &outFast);
        JpegDecodeState fast = Last();
        std::vector<uint8_t> scratchFast = s.scratch;
        JpegUseBitByBitDecoder(true);
        ULONG nPlain = rgb ? DecodeRgb(f, s, &outPlain) : DecodeI420(f, s, &outPlain);
        JpegDecodeState plain = Last();
        ASSERT_EQ(nPlain, nFast) << variant;
        ASSERT_EQ(outPlain, outFast) << variant;
        ASSERT_EQ(s.scratch, scratchFast) << variant;
        ASSERT_EQ(plain.Status, fast.Status) << variant;
        ASSERT_EQ(plain.Offset, fast.Offset) << variant;
        ASSERT_EQ(plain.BitsLeft, fast.BitsLeft) << variant;
        ASSERT_EQ(plain.BitsTaken, fast.BitsTaken) << variant;
        ASSERT_EQ(plain.McuCount, fast.McuCount) << variant;
        ++compared;
      }
    }
  }
  std::printf("compared %d decodes\n", compared);
}

}  // namespace
