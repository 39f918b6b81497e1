// Every path of the decoder against the portable one: the vector transform
// against the scalar one on random and adversarial blocks, and whole frames
// (the fuzz corpus, camera frames and hand-made frames of extreme blocks)
// decoded under each vector level with the wide and the bit-by-bit entropy
// decoder, which must all give the same bytes, result and stopping point.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "driver/imaging/jpeg_kernels.h"
#include "driver/imaging/vector_level.h"
#include "tests/jpeg/jpeg_test_util.h"

namespace {

using namespace jpeg_test;

// Blocks that drive the transform to its limits, in the decoder's input
// form (dequantised, x 16): DC at +-2048, one AC at +-2048 in each position,
// checkerboards of both phases, all at the 16-bit maximum or minimum, and
// alternating extremes.
std::vector<std::vector<SHORT>> AdversarialBlocks() {
  std::vector<std::vector<SHORT>> blocks;
  for (int v : {2048, -2048, 2047, -2047}) {
    std::vector<SHORT> b(64, 0);
    b[0] = SHORT(v * 16 > 32767 ? 32767 : v * 16);
    blocks.push_back(b);
    for (int pos = 1; pos < 64; ++pos) {
      std::vector<SHORT> a(64, 0);
      a[size_t(pos)] = SHORT(v * 16 > 32767 ? 32767 : v * 16);
      blocks.push_back(a);
      a[0] = SHORT(-a[size_t(pos)]);  // with the opposite DC
      blocks.push_back(a);
    }
  }
  for (int amp : {32767, 16384, 2048 * 16 - 16, 1024, 16})
    for (int phase = 0; phase < 2; ++phase) {
      std::vector<SHORT> b(64);
      for (int i = 0; i < 64; ++i) b[size_t(i)] = SHORT((((i >> 3) + (i & 7) + phase) & 1) ? amp : -amp);
      blocks.push_back(b);
    }
  for (int v : {32767, -32768, 1, -1}) blocks.push_back(std::vector<SHORT>(64, SHORT(v)));
  std::vector<SHORT> alt(64);
  for (int i = 0; i < 64; ++i) alt[size_t(i)] = SHORT(i & 1 ? 32767 : -32768);
  blocks.push_back(alt);
  return blocks;
}

TEST(JpegPaths, TransformsMatchThePortableOneOnRandomAndAdversarialBlocks) {
  const uint32_t seed = 20261208;
  std::printf("seed %u\n", seed);
  std::mt19937 rng(seed);
  auto blocks = AdversarialBlocks();
  std::uniform_int_distribution<int> full(-32768, 32767), coef(-2048, 2047);
  for (int n = 0; n < 3000; ++n) {
    std::vector<SHORT> b(64, 0);
    const int last = int(rng() % 64);
    for (int i = 0; i <= last; ++i) b[size_t(kJpegZigzagToPosition[i])] = SHORT(n % 2 ? full(rng) : coef(rng) * 16);
    blocks.push_back(b);
  }
  alignas(16) SHORT in[64];
  alignas(16) UCHAR scalar[64], fast[64], dcOnly[64], halved[32];
  // The halved kernels write 4 rows of 8 at a stride of 11: the bytes
  // between the rows must stay as they were.
  std::vector<UCHAR> strided(3 * 11 + 8), stridedRef(3 * 11 + 8);
  auto unstride = [&](const std::vector<UCHAR>& v, UCHAR* out) {
    for (int j = 0; j < 4; ++j) std::memcpy(out + 8 * j, v.data() + 11 * j, 8);
  };
  int count = 0;
  for (const auto& b : blocks) {
    std::copy(b.begin(), b.end(), in);
    JpegIdctToBytesScalar(in, scalar, 8);
    JpegIdctToBytes(in, fast, 8);
    ASSERT_EQ(0, std::memcmp(scalar, fast, 64)) << "block " << count;
    JpegHalveRowsScalar(scalar, halved);
    for (auto kernel : {JpegIdctToHalvedBytesScalar, JpegIdctToHalvedBytes}) {
      std::fill(strided.begin(), strided.end(), UCHAR(0xEE));
      kernel(in, strided.data(), 11);
      stridedRef.assign(strided.size(), UCHAR(0xEE));
      for (int j = 0; j < 4; ++j) std::memcpy(stridedRef.data() + 11 * j, halved + 8 * j, 8);
      ASSERT_EQ(stridedRef, strided) << "halved block " << count;
    }
    if (std::all_of(b.begin() + 1, b.end(), [](SHORT v) { return v == 0; })) {
      JpegIdctDcOnlyToBytes(in[0], dcOnly, 8);
      ASSERT_EQ(0, std::memcmp(scalar, dcOnly, 64)) << "DC-only block " << count;
      for (auto kernel : {JpegIdctDcOnlyToHalvedBytesScalar, JpegIdctDcOnlyToHalvedBytes}) {
        std::fill(strided.begin(), strided.end(), UCHAR(0xEE));
        kernel(in[0], strided.data(), 11);
        UCHAR got[32];
        unstride(strided, got);
        ASSERT_EQ(0, std::memcmp(halved, got, 32)) << "DC-only halved block " << count;
      }
    }
    ++count;
  }
  // Every DC value through the DC-only halved kernel.
  for (int dc = -32768; dc <= 32767; dc += 7) {
    alignas(16) SHORT only[64] = {};
    only[0] = SHORT(dc);
    JpegIdctToBytesScalar(only, scalar, 8);
    JpegHalveRowsScalar(scalar, halved);
    JpegIdctDcOnlyToHalvedBytes(SHORT(dc), strided.data(), 11);
    UCHAR got[32];
    unstride(strided, got);
    ASSERT_EQ(0, std::memcmp(halved, got, 32)) << "DC " << dc;
  }
  std::printf("compared %d blocks\n", count);
}

// The two-row conversion of 4:2:0 pictures against two portable rows: every
// (Cb, Cr) pair, random luma, awkward widths, outputs of exactly the row size.
TEST(JpegPaths, RowPairConversionMatchesTwoPortableRows) {
  const uint32_t seed = 20261209;
  std::printf("seed %u\n", seed);
  std::mt19937 rng(seed);
  for (int width : {2, 14, 16, 18, 30, 32, 34, 46, 62, 64, 66, 96, 1280}) {
    const size_t n = static_cast<size_t>(width);
    std::vector<UCHAR> y0(n), y1(n), cb(n / 2), cr(n / 2), ref0(n * 3), ref1(n * 3), out0(n * 3), out1(n * 3);
    for (int start = 0; start < 65536; start += width / 2) {
      for (int i = 0; i < width / 2; ++i) {
        const int pair = (start + i) & 0xFFFF;
        cb[size_t(i)] = UCHAR(pair & 0xFF);
        cr[size_t(i)] = UCHAR(pair >> 8);
      }
      for (auto& v : y0) v = UCHAR(rng());
      for (auto& v : y1) v = UCHAR(rng());
      JpegRowToBgrScalar(y0.data(), cb.data(), cr.data(), width, ref0.data());
      JpegRowToBgrScalar(y1.data(), cb.data(), cr.data(), width, ref1.data());
      std::vector<std::pair<const char*, decltype(&JpegRowPairToBgrScalar)>> kernels = {
          {"scalar", JpegRowPairToBgrScalar}, {"dispatched", JpegRowPairToBgr}};
#if JPEG_KERNELS_SSE2
      kernels.push_back({"SSE2", JpegRowPairToBgrSse2});
#if QCAM_HAVE_X86_VECTORS
      if (__builtin_cpu_supports("avx2")) kernels.push_back({"AVX2", JpegRowPairToBgrAvx2});
#endif
#endif
      for (const auto& [name, kernel] : kernels) {
        kernel(y0.data(), y1.data(), cb.data(), cr.data(), width, out0.data(), out1.data());
        ASSERT_EQ(ref0, out0) << name << " width " << width << " start " << start;
        ASSERT_EQ(ref1, out1) << name << " width " << width << " start " << start;
      }
      if (width != 1280 && width != 96) break;
    }
  }
}

// One decode's observable result.
struct Outcome {
  ULONG n = 0;
  std::vector<uint8_t> out, scratch;
  JpegDecodeState state{};
};

Outcome Decode(const std::vector<uint8_t>& frame, int w, int h, bool rgb) {
  JpegResetTables();
  TestStream s(w, h);
  std::fill(s.scratch.begin(), s.scratch.end(), 0xA5);
  Outcome o;
  o.out.assign(rgb ? size_t(w) * h * 3 : I420Size(w, h), 0x5A);
  o.n = rgb ? DecodeJPEGToRGB24(o.out.data(), ULONG(o.out.size()), frame.data(), ULONG(frame.size()), &s.state)
            : DecodeJPEGToI420(o.out.data(), ULONG(o.out.size()), frame.data(), ULONG(frame.size()), &s.state);
  o.scratch = s.scratch;
  JpegGetLastDecodeState(&o.state);
  return o;
}

// Frames of extreme blocks written with the Annex K tables: largest DC
// differences of both signs, every AC position at the largest baseline
// value, alternating signs, long zero runs, a run ending on the last
// position, with quantisation values of 1 and 255 (products wrap).
std::vector<std::vector<uint8_t>> ExtremeFrames(int lumaV) {
  static const CodeTable dcY(kDcLumaCounts, kDcSymbols), dcC(kDcChromaCounts, kDcSymbols);
  static const CodeTable acY(kAcLumaCounts, kAcLumaSymbols), acC(kAcChromaCounts, kAcChromaSymbols);
  std::vector<Block> kinds;
  kinds.push_back({2047, {}});
  kinds.push_back({-2047, {}});
  Block allMax{0, {}}, alternating{0, {}}, runs{0, {}};
  for (int k = 1; k < 64; ++k) {
    allMax.ac.push_back({k, 1023});
    alternating.ac.push_back({k, (k & 1) ? 1023 : -1023});
  }
  runs.ac = {{17, -1023}, {40, 1}, {63, 1023}};
  kinds.push_back(allMax);
  kinds.push_back(alternating);
  kinds.push_back(runs);
  kinds.push_back({5, {{1, -1}, {2, 1}}});
  std::vector<std::vector<uint8_t>> frames;
  for (uint8_t quant : {uint8_t(1), uint8_t(255)}) {
    HeaderOptions o;
    o.width = 32;
    o.height = lumaV == 2 ? 16 : 8;
    o.lumaV = lumaV;
    o.quant = quant;
    auto f = MakeHeader(o);
    BitWriter w;
    size_t next = 0;
    for (int mcu = 0; mcu < 2; ++mcu) {
      for (int y = 0; y < 2 * lumaV; ++y) PutBlock(w, kinds[next++ % kinds.size()], dcY, acY);
      PutBlock(w, kinds[next++ % kinds.size()], dcC, acC);
      PutBlock(w, kinds[next++ % kinds.size()], dcC, acC);
    }
    w.Pad();
    f.insert(f.end(), w.bytes.begin(), w.bytes.end());
    f.insert(f.end(), {0xFF, 0xD9});
    frames.push_back(f);
  }
  return frames;
}

TEST(JpegPaths, EveryVectorLevelAndEntropyDecoderGiveTheSameFrames) {
  struct Input {
    std::string name;
    std::vector<uint8_t> frame;
    int w, h;
  };
  std::vector<Input> inputs;
  // The fuzz corpus, at the sizes its harness gives each input.
  const std::string corpus = std::string(QCAM_SOURCE_DIR) + "/fuzz/corpus/jpeg";
  std::vector<std::filesystem::path> files;
  for (const auto& e : std::filesystem::directory_iterator(corpus)) files.push_back(e.path());
  std::sort(files.begin(), files.end());
  ASSERT_GT(files.size(), 50u);
  for (const auto& p : files) {
    std::ifstream in(p, std::ios::binary);
    std::vector<uint8_t> d((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    JpegResetTables();
    JpegFrameInfo fi;
    JpegScanInfo si;
    const LONG off = _DecodeJPEGHeader(d.data(), ULONG(d.size()), &fi, &si);
    int w = 32, h = 16;
    if (off > 0 && fi.X > 0 && fi.Y > 0 && fi.X <= 512 && fi.Y <= 512 && fi.X * fi.Y <= 128 * 128 && !(fi.X & 1) &&
        !(fi.Y & 1)) {
      w = int(fi.X);
      h = int(fi.Y);
    }
    inputs.push_back({p.filename().string(), d, w, h});
  }
  // Camera frames of odd and even sizes, with and without restarts, whole
  // and cut short.
  const int sizes[][2] = {{96, 64}, {50, 38}, {18, 10}, {2, 2}};
  for (const auto& sz : sizes)
    for (bool is420 : {false, true})
      for (int restart : {0, 2}) {
        auto f = CameraFrame(NaturalPicture(sz[0], sz[1], uint32_t(sz[0] + restart)), 90, is420, restart);
        const std::string name = std::to_string(sz[0]) + "x" + std::to_string(sz[1]) + (is420 ? "_420" : "_422") +
                                 (restart ? "_restart" : "");
        inputs.push_back({name, f, sz[0], sz[1]});
        inputs.push_back({name + "_cut", std::vector<uint8_t>(f.begin(), f.begin() + long(f.size() * 3 / 4)), sz[0],
                          sz[1]});
      }
  for (int lumaV : {1, 2}) {
    int i = 0;
    for (auto& f : ExtremeFrames(lumaV)) inputs.push_back({"extreme" + std::to_string(lumaV) + std::to_string(i++), f, 32,
                                                            lumaV == 2 ? 16 : 8});
  }

  const VectorLevel levels[] = {VectorLevel::kPortable, VectorLevel::kSsse3, VectorLevel::kAvx2};
  int compared = 0;
  for (const auto& in : inputs)
    for (bool rgb : {false, true}) {
      SetEffectVectorCeiling(VectorLevel::kPortable);
      JpegUseBitByBitDecoder(true);
      const Outcome ref = Decode(in.frame, in.w, in.h, rgb);
      for (VectorLevel level : levels)
        for (bool bitByBit : {false, true}) {
          SetEffectVectorCeiling(level);
          JpegUseBitByBitDecoder(bitByBit);
          const Outcome o = Decode(in.frame, in.w, in.h, rgb);
          const std::string what =
              in.name + (rgb ? " rgb" : " i420") + " level " + std::to_string(int(level)) + (bitByBit ? " plain" : " wide");
          ASSERT_EQ(ref.n, o.n) << what;
          ASSERT_EQ(ref.out, o.out) << what;
          ASSERT_EQ(ref.scratch, o.scratch) << what;
          ASSERT_EQ(ref.state.Status, o.state.Status) << what;
          ASSERT_EQ(ref.state.Offset, o.state.Offset) << what;
          ASSERT_EQ(ref.state.BitsLeft, o.state.BitsLeft) << what;
          ASSERT_EQ(ref.state.BitsTaken, o.state.BitsTaken) << what;
          ASSERT_EQ(ref.state.BytesConsumed, o.state.BytesConsumed) << what;
          ASSERT_EQ(ref.state.McuCount, o.state.McuCount) << what;
          ++compared;
        }
    }
  SetEffectVectorCeiling(VectorLevel::kAvx2);
  JpegUseBitByBitDecoder(false);
  std::printf("compared %d decodes of %zu inputs\n", compared, inputs.size());
}

}  // namespace
