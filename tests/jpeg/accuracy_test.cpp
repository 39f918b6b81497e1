// The driver's decoder against libjpeg-turbo (accurate IDCT, replicated
// chroma) on camera-like frames of several sizes, both samplings, with and
// without restart markers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "tests/jpeg/jpeg_test_util.h"

namespace {

using namespace jpeg_test;

struct Diff {
  double mean = 0, psnr = 0;
  int max = 0;
};

Diff Compare(const uint8_t* a, const uint8_t* b, size_t n, size_t stride = 1, size_t offset = 0) {
  Diff d;
  double sum = 0, sq = 0;
  size_t count = 0;
  for (size_t i = offset; i < n; i += stride, ++count) {
    int e = int(a[i]) - int(b[i]);
    sum += std::abs(e);
    sq += double(e) * e;
    d.max = std::max(d.max, std::abs(e));
  }
  d.mean = sum / double(count);
  double mse = sq / double(count);
  d.psnr = mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
  return d;
}

struct Config {
  const char* label;
  int width, height;
  bool is420;
  int restart;
};

class DecoderAccuracy : public ::testing::TestWithParam<Config> {
 protected:
  void SetUp() override {
    JpegResetTables();
    JpegUseBitByBitDecoder(false);
  }
};

// Tolerances. The 16-bit IDCT stays within +-2 of the exact transform and
// the reference's integer IDCT within +-1, so a plane sample differs by at
// most 3 (chroma of a 4:2:2 frame delivered as I420 is an average of two
// such samples, which keeps the bound); the errors are zero-mean, so the
// mean stays a fraction of one level.
constexpr int kPlaneMax = 3;
constexpr double kPlaneMean = 0.6;
constexpr double kPlanePsnr = 48.0;
// The BGR conversion gives up two bits: luma is truncated to a multiple of 4
// (0..3 low, 1.5 on average) and every chroma term is a multiple of 4
// truncated toward zero (0..3, 1.5 on average); blue and red carry one term,
// green two. With the plane error carried through (up to 3 x 1.772 in blue)
// a channel is within 3 + 2 x 3 + 6 + 1 = 16 levels of the reference; the
// mean within 1.5 per truncation plus 0.5.
constexpr int kBgrMax = 16;
constexpr double kBgrMean[3] = {3.5, 5.0, 3.5};
constexpr double kBgrPsnr = 34.0;
// Against the same conversion applied to the reference's planes, only the
// plane error remains: one luma step (4) and one step of each term (4 each).
constexpr int kModelMax = 12;
constexpr double kModelMean = 1.2;

// The conversion written out: min(255, 4 * max(0, (y >> 2) + trunc terms)).
int ModelChannel(int y, double term) {
  int v = (y >> 2) + int(term);
  v = v < 0 ? 0 : 4 * v;
  return v > 255 ? 255 : v;
}
void ModelBgr(const std::vector<uint8_t>& i420Native, int w, int h, bool is420, std::vector<uint8_t>* out) {
  out->assign(size_t(w) * h * 3, 0);
  const uint8_t* y = i420Native.data();
  const uint8_t* cb = y + size_t(w) * h;
  const uint8_t* cr = cb + size_t(w / 2) * (is420 ? h / 2 : h);
  for (int r = 0; r < h; ++r)
    for (int x = 0; x < w; ++x) {
      int cr_ = is420 ? r / 2 : r;
      int u = cb[size_t(cr_) * (w / 2) + x / 2] - 128, v = cr[size_t(cr_) * (w / 2) + x / 2] - 128;
      int l = y[size_t(r) * w + x];
      uint8_t* o = out->data() + (size_t(h - 1 - r) * w + x) * 3;
      o[0] = uint8_t(ModelChannel(l, 1.772 * u / 4));
      o[1] = uint8_t(ModelChannel(l, double(int(-0.344136 * u / 4)) + double(int(-0.714136 * v / 4))));
      o[2] = uint8_t(ModelChannel(l, 1.402 * v / 4));
    }
}

bool ReferenceNativePlanes(const std::vector<uint8_t>& jpeg, int w, int h, bool is420, std::vector<uint8_t>* out) {
  tjhandle tj = tjInitDecompress();
  int ch = is420 ? h / 2 : h;
  out->assign(size_t(w) * h + 2 * size_t(w / 2) * ch, 0);
  unsigned char* planes[3] = {out->data(), out->data() + size_t(w) * h, out->data() + size_t(w) * h + size_t(w / 2) * ch};
  int strides[3] = {w, w / 2, w / 2};
  int rc = tjDecompressToYUVPlanes(tj, jpeg.data(), (unsigned long)jpeg.size(), planes, w, strides, h, 0);
  tjDestroy(tj);
  return rc == 0;
}

TEST_P(DecoderAccuracy, MatchesReferenceWithinFixedPointTolerance) {
  const Config& c = GetParam();
  auto frame = CameraFrame(NaturalPicture(c.width, c.height, 1234u + c.width), 85, c.is420, c.restart);
  ASSERT_FALSE(frame.empty());
  TestStream s(c.width, c.height);

  // I420 (a 4:2:0 frame with restart markers is refused by the I420 loop;
  // see the restart tests).
  if (!(c.is420 && c.restart)) {
    std::vector<uint8_t> ours, ref;
    ULONG n = DecodeI420(frame, s, &ours);
    ASSERT_EQ(n, ours.size());
    ASSERT_TRUE(ReferenceI420(frame, c.width, c.height, c.is420, &ref));
    size_t ySize = size_t(c.width) * c.height, cSize = size_t(c.width / 2) * (c.height / 2);
    const char* names[3] = {"Y", "Cb", "Cr"};
    size_t offs[3] = {0, ySize, ySize + cSize}, sizes[3] = {ySize, cSize, cSize};
    for (int p = 0; p < 3; ++p) {
      Diff d = Compare(ours.data() + offs[p], ref.data() + offs[p], sizes[p]);
      std::printf("[%s] I420 %-2s mean %.3f max %d PSNR %.1f dB\n", c.label, names[p], d.mean, d.max, d.psnr);
      EXPECT_LE(d.max, kPlaneMax) << names[p];
      EXPECT_LE(d.mean, kPlaneMean) << names[p];
      EXPECT_GE(d.psnr, kPlanePsnr) << names[p];
    }
  }

  std::vector<uint8_t> ours, ref;
  ULONG n = DecodeRgb(frame, s, &ours);
  ASSERT_EQ(n, ours.size());
  ASSERT_TRUE(ReferenceBgrBottomUp(frame, c.width, c.height, &ref));
  const char* names[3] = {"B", "G", "R"};
  for (int ch = 0; ch < 3; ++ch) {
    Diff d = Compare(ours.data(), ref.data(), ours.size(), 3, size_t(ch));
    std::printf("[%s] BGR  %-2s mean %.3f max %d PSNR %.1f dB\n", c.label, names[ch], d.mean, d.max, d.psnr);
    EXPECT_LE(d.max, kBgrMax) << names[ch];
    EXPECT_LE(d.mean, kBgrMean[ch]) << names[ch];
    EXPECT_GE(d.psnr, kBgrPsnr) << names[ch];
  }
  std::vector<uint8_t> native, model;
  ASSERT_TRUE(ReferenceNativePlanes(frame, c.width, c.height, c.is420, &native));
  ModelBgr(native, c.width, c.height, c.is420, &model);
  Diff m = Compare(ours.data(), model.data(), ours.size());
  std::printf("[%s] BGR against the conversion of the reference planes: mean %.3f max %d\n", c.label, m.mean, m.max);
  EXPECT_LE(m.max, kModelMax);
  EXPECT_LE(m.mean, kModelMean);
}

INSTANTIATE_TEST_SUITE_P(Frames, DecoderAccuracy,
                         ::testing::Values(Config{"160x120 4:2:2", 160, 120, false, 0},
                                           Config{"160x120 4:2:0", 160, 120, true, 0},
                                           Config{"176x144 4:2:2 rst3", 176, 144, false, 3},
                                           Config{"320x240 4:2:0", 320, 240, true, 0},
                                           Config{"640x480 4:2:2 rst40", 640, 480, false, 40},
                                           Config{"640x480 4:2:0 rst40", 640, 480, true, 40},
                                           Config{"1280x720 4:2:2", 1280, 720, false, 0},
                                           Config{"1280x720 4:2:0", 1280, 720, true, 0},
                                           Config{"1280x720 4:2:2 rst1", 1280, 720, false, 1}),
                         [](const ::testing::TestParamInfo<Config>& i) {
                           std::string n = i.param.label;
                           for (char& ch : n)
                             if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           return n;
                         });

}  // namespace
