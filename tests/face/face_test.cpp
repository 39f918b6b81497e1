// Face tracking: the detectors on the simulated face, the tracker's lost
// counter, drawing, automatic framing, and the per-frame step with its worker
// threads.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <future>
#include <vector>

#include "driver/core/face_detect.h"
#include "driver/core/face_tracking.h"
#include "driver/core/zoom.h"
#include "platform/nt/platform_control.h"
#include "shared/qcam_defs.h"
#include "sim/face_scene.h"
#include "sim/image_io.h"
#include "sim/picture_source.h"
#include "tests/face/face_helpers.h"

namespace {

using facetest::Contains;
using facetest::DefaultTracking;
using facetest::SceneFrame;

// ---- acquisition ---------------------------------------------------------------------

TEST(FaceAcquisition, FindsTheSimulatedFaceAtEverySizeAndPlace) {
  struct Size {
    int w, h;
  } sizes[] = {{640, 480}, {320, 240}, {352, 288}};
  for (const Size& s : sizes) {
    std::vector<uint8_t> scratch(size_t(s.w) * s.h * 3);
    for (uint32_t f : {0u, 100u, 256u, 400u}) {
      SCOPED_TRACE(::testing::Message() << s.w << "x" << s.h << " frame " << f);
      sim::FaceTruth truth;
      std::vector<uint8_t> frame = SceneFrame(s.w, s.h, f, qcam::kFormatYUY2, true, &truth);
      FaceCandidateList list;
      ASSERT_TRUE(AcquireFaceCandidates(frame.data(), s.w, s.h, qcam::kFormatYUY2, 50, scratch.data(), scratch.size(),
                                        nullptr, &list));
      ASSERT_EQ(list.Count, 1u) << "the best candidate is good enough to stand alone";
      EXPECT_TRUE(Contains(list.Box[0], truth.centerX, truth.centerY))
          << list.Box[0].Left << "," << list.Box[0].Top << " " << list.Box[0].Width << " vs " << truth.centerX << ","
          << truth.centerY;
      EXPECT_GE(list.Score[0], 100);
    }
  }
}

TEST(FaceAcquisition, Rgb24FramesAreSearchedUprightAndAnsweredInMemoryRows) {
  const int W = 640, H = 480;
  std::vector<uint8_t> scratch(W * H * 3);
  sim::FaceTruth truth;
  std::vector<uint8_t> frame = SceneFrame(W, H, 60, qcam::kFormatRGB24, true, &truth);
  FaceCandidateList list;
  ASSERT_TRUE(AcquireFaceCandidates(frame.data(), W, H, qcam::kFormatRGB24, 50, scratch.data(), scratch.size(), nullptr,
                                    &list));
  ASSERT_EQ(list.Count, 1u);
  EXPECT_TRUE(Contains(list.Box[0], truth.centerX, H - 1 - truth.centerY));
}

// The acquisition detector on a real portrait (tests/face/photos), in both
// layouts: the best candidate covers the face, in memory rows for RGB24.
TEST(FaceAcquisition, FindsTheFaceOfARealPortrait) {
  const LONG W = 640, H = 480;
  sim::RgbImage photo, picture;
  std::string error;
  ASSERT_TRUE(sim::ReadPicture(std::string(QCAM_SOURCE_DIR) + "/tests/face/photos/astronaut.jpg", &photo, &error))
      << error;
  sim::ScaleToCover(photo, W, H, &picture);
  std::vector<uint8_t> yuy2, bgr(size_t(W) * H * 3);
  sim::RgbToYuy2(picture, &yuy2);
  for (LONG y = 0; y < H; ++y)
    for (LONG x = 0; x < W; ++x)
      for (int k = 0; k < 3; ++k) bgr[(size_t(H - 1 - y) * W + x) * 3 + k] = picture.rgb[(size_t(y) * W + x) * 3 + 2 - k];
  std::vector<uint8_t> scratch(AcquisitionScratchBytes(W, H));
  std::atomic<ULONG> stop{0};
  const LONG faceX = 280, faceY = 76;  // between the eyes
  FaceCandidateList list{};
  ASSERT_TRUE(AcquireFaceCandidates(yuy2.data(), W, H, qcam::kFormatYUY2, 50, scratch.data(), scratch.size(), &stop,
                                    &list));
  ASSERT_GE(list.Count, 1u);
  EXPECT_TRUE(facetest::Contains(list.Box[0], faceX, faceY))
      << list.Box[0].Left << "," << list.Box[0].Top << " " << list.Box[0].Width;
  EXPECT_GE(list.Box[0].Width, 96);
  EXPECT_LE(list.Box[0].Width, 192);
  ASSERT_TRUE(AcquireFaceCandidates(bgr.data(), W, H, qcam::kFormatRGB24, 50, scratch.data(), scratch.size(), &stop,
                                    &list));
  ASSERT_GE(list.Count, 1u);
  EXPECT_TRUE(facetest::Contains(list.Box[0], faceX, H - 1 - faceY))
      << list.Box[0].Left << "," << list.Box[0].Top << " " << list.Box[0].Width;
}

TEST(FaceAcquisition, RefusesLayoutsItCannotReadAndShortScratch) {
  std::vector<uint8_t> frame(64 * 48 * 2, 100), scratch(64 * 48 * 3);
  FaceCandidateList list;
  list.Count = 5;
  EXPECT_FALSE(AcquireFaceCandidates(frame.data(), 64, 48, qcam::kFormatI420, 50, scratch.data(), scratch.size(),
                                     nullptr, &list));
  EXPECT_EQ(list.Count, 0u);
  EXPECT_FALSE(AcquireFaceCandidates(frame.data(), 64, 48, qcam::kFormatMJPG, 50, scratch.data(), scratch.size(),
                                     nullptr, &list));
  EXPECT_FALSE(AcquireFaceCandidates(frame.data(), 64, 48, qcam::kFormatYUY2, 50, scratch.data(), 10, nullptr, &list));
  // A flat frame has no contrast: nothing, and no read past a tiny frame.
  std::vector<uint8_t> tiny(8 * 6 * 2, 0x80);
  EXPECT_TRUE(AcquireFaceCandidates(tiny.data(), 8, 6, qcam::kFormatYUY2, 50, scratch.data(), scratch.size(), nullptr,
                                    &list));
  EXPECT_EQ(list.Total, 0u);
}

// A 16:9 frame narrower than 640 gives fewer than 240 reduced rows; the
// reduction must stop at the frame's last row (the exact-size frame lets the
// address sanitizer see an overrun).
TEST(FaceAcquisition, WideFramesAreNotReadPastTheirLastRow) {
  const int W = 640, H = 360;
  std::vector<uint8_t> scratch(W * H * 3);
  sim::FaceTruth truth;
  std::vector<uint8_t> frame = SceneFrame(W, H, 128, qcam::kFormatYUY2, true, &truth);
  FaceCandidateList list;
  ASSERT_TRUE(AcquireFaceCandidates(frame.data(), W, H, qcam::kFormatYUY2, 50, scratch.data(), scratch.size(), nullptr,
                                    &list));
  for (ULONG i = 0; i < list.Total; ++i) EXPECT_LE(list.Box[i].Top + list.Box[i].Height, H);
}

TEST(FaceAcquisition, StopRequestEndsTheSearchBeforeTheFirstLevel) {
  const int W = 320, H = 240;
  std::vector<uint8_t> scratch(W * H * 3);
  std::vector<uint8_t> frame = SceneFrame(W, H, 0, qcam::kFormatYUY2, true, nullptr);
  std::atomic<ULONG> stop{kFaceStopRequest};
  FaceCandidateList list;
  ASSERT_TRUE(AcquireFaceCandidates(frame.data(), W, H, qcam::kFormatYUY2, 50, scratch.data(), scratch.size(), &stop,
                                    &list));
  EXPECT_EQ(list.Total, 0u);
}

// ---- skin tracker --------------------------------------------------------------------------

TEST(FaceSkin, DefaultRuleAcceptsSkinAndRefusesTheBackground) {
  const FaceTrackingParameters p = DefaultTracking(1);
  // Skin (224, 170, 140) in studio range: Cb about 107, Cr about 154.
  EXPECT_TRUE(IsSkinSample(107, 154, p.SkinRules));
  EXPECT_FALSE(IsSkinSample(128, 154, p.SkinRules)) << "b = 0 is never skin";
  EXPECT_FALSE(IsSkinSample(140, 120, p.SkinRules)) << "blue-grey wall";
  EXPECT_FALSE(IsSkinSample(130, 129, p.SkinRules)) << "near-grey hair";
  // The fixed extra rule for b = 1: r = 7 gives ratio 56 and v = 5; r = 6
  // gives v = 4, one too few.
  EXPECT_TRUE(IsSkinSample(129, 135, p.SkinRules));
  EXPECT_FALSE(IsSkinSample(129, 134, p.SkinRules));
  // Bounds are exclusive: Cb low is -46, so b = -46 fails while the rest holds.
  LONG rules[4][9] = {{1, -1000, 1000, -46, 0, 0, 1000, -1000, 1000}};
  EXPECT_FALSE(IsSkinSample(128 - 46, 140, rules));
  EXPECT_TRUE(IsSkinSample(128 - 45, 140, rules));
  // A disabled set does not count.
  rules[0][0] = 0;
  EXPECT_FALSE(IsSkinSample(128 - 45, 140, rules));
}

TEST(FaceSkin, TrackerFollowsTheFaceFromAnAcquisitionCorner) {
  const int W = 640, H = 480;
  const SkinTrackerTuning tuning = SkinTuningFrom(DefaultTracking(1));
  std::vector<uint8_t> planar(W * H * 3);
  static ULONG grid[kSkinGridRows][kSkinGridColumns];
  FaceTrackerMemory memory = {};
  sim::FaceTruth truth;
  std::vector<uint8_t> frame = SceneFrame(W, H, 0, qcam::kFormatYUY2, true, &truth);
  // Seeded from the acquisition box of the same frame.
  std::vector<uint8_t> scratch(W * H * 3);
  FaceCandidateList list;
  ASSERT_TRUE(AcquireFaceCandidates(frame.data(), W, H, qcam::kFormatYUY2, 50, scratch.data(), scratch.size(), nullptr,
                                    &list));
  ASSERT_GE(list.Count, 1u);
  SeedFaceTracker(list.Box[0], W, H, &memory);
  int inside = 0;
  for (uint32_t f = 0; f < 120; f += 2) {
    frame = SceneFrame(W, H, f, qcam::kFormatYUY2, true, &truth);
    BuildSkinGrid(frame.data(), W, H, qcam::kFormatYUY2, planar.data(), tuning.Rules, grid);
    FaceBox box = {};
    ASSERT_TRUE(TrackFaceInGrid(grid, W, H, tuning, &memory, &box)) << "frame " << f;
    EXPECT_EQ(memory.Lost, 6);
    inside += Contains(box, truth.centerX, truth.centerY);
  }
  EXPECT_EQ(inside, 60);
}

TEST(FaceSkin, SixMissesKeepTheBoxAndTheSeventhGivesUp) {
  const int W = 640, H = 480;
  const SkinTrackerTuning tuning = SkinTuningFrom(DefaultTracking(1));
  std::vector<uint8_t> planar(W * H * 3);
  static ULONG grid[kSkinGridRows][kSkinGridColumns];
  FaceTrackerMemory memory = {};
  // No previous centre: the whole grid is searched, largest size first.
  std::vector<uint8_t> frame = SceneFrame(W, H, 0, qcam::kFormatYUY2, true, nullptr);
  BuildSkinGrid(frame.data(), W, H, qcam::kFormatYUY2, planar.data(), tuning.Rules, grid);
  FaceBox found = {};
  ASSERT_TRUE(TrackFaceInGrid(grid, W, H, tuning, &memory, &found));
  ASSERT_TRUE(memory.HasPrevious);
  const FaceTrackerMemory held = memory;

  static ULONG empty[kSkinGridRows][kSkinGridColumns];
  for (int miss = 1; miss <= 6; ++miss) {
    FaceBox box = {};
    ASSERT_TRUE(TrackFaceInGrid(empty, W, H, tuning, &memory, &box)) << "miss " << miss;
    EXPECT_EQ(memory.Lost, 6 - miss);
    EXPECT_EQ(box.Left, found.Left);
    EXPECT_EQ(box.Top, found.Top);
    EXPECT_EQ(box.Width, found.Width);
    EXPECT_EQ(memory.Column, held.Column);
  }
  FaceBox box = {};
  EXPECT_FALSE(TrackFaceInGrid(empty, W, H, tuning, &memory, &box));
  EXPECT_FALSE(memory.HasPrevious);
  // Found again: the counter starts over at six.
  ASSERT_TRUE(TrackFaceInGrid(grid, W, H, tuning, &memory, &box));
  EXPECT_EQ(memory.Lost, 6);
}

TEST(FaceSkin, FillBelowParameterSevenFindsNothing) {
  const int W = 640, H = 480;
  FaceTrackingParameters p = DefaultTracking(1);
  p.Param[7] = 101;  // no square can be more than full
  const SkinTrackerTuning tuning = SkinTuningFrom(p);
  std::vector<uint8_t> planar(W * H * 3);
  static ULONG grid[kSkinGridRows][kSkinGridColumns];
  std::vector<uint8_t> frame = SceneFrame(W, H, 0, qcam::kFormatYUY2, true, nullptr);
  BuildSkinGrid(frame.data(), W, H, qcam::kFormatYUY2, planar.data(), tuning.Rules, grid);
  FaceTrackerMemory memory = {};
  FaceBox box = {};
  EXPECT_FALSE(TrackFaceInGrid(grid, W, H, tuning, &memory, &box));
}

// ---- drawing ---------------------------------------------------------------------------------

TEST(FaceDrawing, OutlineInsideTheFrameAndNothingAtTheEdge) {
  const LONG W = 40, H = 30;
  std::vector<uint8_t> frame(W * H * 2, 0x10);
  DrawFaceOutline(frame.data(), W, H, qcam::kFormatYUY2, FaceBox{6, 4, 10, 8}, 0xFF00FF);
  auto luma = [&](LONG x, LONG y) { return frame[(y * W + x) * 2]; };
  EXPECT_EQ(luma(6, 4), 0xFF);
  EXPECT_EQ(luma(15, 4), 0xFF);
  EXPECT_EQ(luma(6, 11), 0xFF);
  EXPECT_EQ(luma(15, 11), 0xFF);
  EXPECT_EQ(luma(10, 7), 0x10) << "inside stays";
  EXPECT_EQ(luma(16, 4), 0x10) << "one pixel past the right edge";
  EXPECT_EQ(luma(6, 12), 0x10) << "one row past the bottom";
  EXPECT_EQ(frame[(4 * W + 6) * 2 + 1], 0x00);  // U of the touched pair
  EXPECT_EQ(frame[(4 * W + 6) * 2 + 3], 0xFF);  // V

  // Touching any edge: not drawn at all.
  const FaceBox edges[] = {{0, 4, 10, 8}, {6, 0, 10, 8}, {30, 4, 10, 8}, {6, 22, 10, 8}, {-3, 4, 10, 8}};
  for (const FaceBox& b : edges) {
    std::vector<uint8_t> f(W * H * 2, 0x10);
    DrawFaceOutline(f.data(), W, H, qcam::kFormatYUY2, b, 0xFF00FF);
    EXPECT_EQ(f, std::vector<uint8_t>(W * H * 2, 0x10)) << b.Left << "," << b.Top;
  }
  // One pixel in from the right edge is drawn.
  std::vector<uint8_t> f(W * H * 2, 0x10);
  DrawFaceOutline(f.data(), W, H, qcam::kFormatYUY2, FaceBox{29, 4, 10, 8}, 0xFF00FF);
  EXPECT_EQ(f[(4 * W + 38) * 2], 0xFF);
}

TEST(FaceDrawing, Rgb24OutlineIsWrittenBlueGreenRedFromHighToLow) {
  const LONG W = 20, H = 20;
  std::vector<uint8_t> frame(W * H * 3, 0);
  DrawFaceOutline(frame.data(), W, H, qcam::kFormatRGB24, FaceBox{2, 3, 5, 5}, 0xFF0000);
  const uint8_t* p = &frame[(3 * W + 2) * 3];
  EXPECT_EQ(p[0], 0xFF);
  EXPECT_EQ(p[1], 0x00);
  EXPECT_EQ(p[2], 0x00);
  std::vector<uint8_t> i420(W * H * 3 / 2, 7);
  DrawFaceOutline(i420.data(), W, H, qcam::kFormatI420, FaceBox{2, 3, 5, 5}, 0xFF0000);
  EXPECT_EQ(i420, std::vector<uint8_t>(W * H * 3 / 2, 7));
}

// ---- automatic framing ---------------------------------------------------------------------

class AutoFraming : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::ResetMachine();
    g_Driver.Face = DefaultTracking(1 | 2);
    memset(&dev_, 0, sizeof(dev_));
    dev_.Width = 640;
    dev_.Height = 480;
    dev_.FormatIndex = qcam::kFormatYUY2;
    dev_.ZoomScale = 1000;
    frame_ = SceneFrame(640, 480, 0, qcam::kFormatYUY2, true, nullptr);
  }
  void TearDown() override { FreeZoomBuffers(&dev_); }
  CameraDeviceState dev_;
  std::vector<uint8_t> frame_;
};

TEST_F(AutoFraming, ZoomsTowardTheFaceHoldsThenReleasesToExactlyOne) {
  const FaceBox face = {280, 200, 80, 96};
  // Target: min(640000 / 80, 480000 / 120) rounded down to 250s = 4000.
  ULONG expected = 1000;
  for (int i = 0; i < 8; ++i) {
    std::vector<uint8_t> f = frame_;
    AutoFrameFace(&dev_, f.data(), 2, TRUE, face);
    expected = (9 * expected + 4000) * 10 / 100;
    ASSERT_EQ(dev_.ZoomScale, expected);
    EXPECT_EQ(dev_.FaceHoldCounter, 10u);
    EXPECT_NE(f, frame_) << "zoomed";
    const LONG limitX = LONG((expected - 1000) * 640 / expected) - 1;
    EXPECT_GE(dev_.ZoomWindowLeft, 0);
    EXPECT_LE(dev_.ZoomWindowLeft, limitX);
  }
  const ULONG held = dev_.ZoomScale;
  const LONG heldX = dev_.ZoomWindowLeft;
  // No face: the zoom is kept while the counter runs from 10 down to 1.
  for (int i = 0; i < 9; ++i) {
    std::vector<uint8_t> f = frame_;
    AutoFrameFace(&dev_, f.data(), 1, TRUE, face);
    EXPECT_EQ(dev_.ZoomScale, held) << "hold frame " << i;
    EXPECT_EQ(dev_.ZoomWindowLeft, heldX);
  }
  EXPECT_EQ(dev_.FaceHoldCounter, 1u);
  // Then released by parameter 6 (30) per frame, to exactly 1.0x.
  ULONG previous = held;
  int frames = 0;
  while (dev_.ZoomScale != 1000 && frames < 1000) {
    std::vector<uint8_t> f = frame_;
    AutoFrameFace(&dev_, f.data(), 0, FALSE, face);
    EXPECT_EQ(dev_.ZoomScale, previous - 30 >= 1000 ? previous - 30 : 1000);
    EXPECT_GE(dev_.ZoomWindowLeft, 0);
    EXPECT_GE(dev_.ZoomWindowTop, 0);
    previous = dev_.ZoomScale;
    ++frames;
  }
  EXPECT_EQ(dev_.ZoomScale, 1000u);
  EXPECT_EQ(dev_.FaceHoldCounter, 0u);
  // At 1.0x the picture is left alone.
  std::vector<uint8_t> f = frame_;
  AutoFrameFace(&dev_, f.data(), 0, FALSE, face);
  EXPECT_EQ(dev_.ZoomScale, 1000u);
  EXPECT_EQ(f, frame_);
}

TEST_F(AutoFraming, NegativeHoldParameterReleasesAtOnce) {
  g_Driver.Face.Param[3] = -1;
  const FaceBox face = {280, 200, 80, 96};
  std::vector<uint8_t> f = frame_;
  AutoFrameFace(&dev_, f.data(), 2, TRUE, face);
  EXPECT_EQ(dev_.FaceHoldCounter, 0u) << "a negative hold would keep the zoom for four billion frames";
  const ULONG zoomed = dev_.ZoomScale;
  ASSERT_GT(zoomed, 1030u);
  AutoFrameFace(&dev_, f.data(), 0, FALSE, face);
  EXPECT_EQ(dev_.ZoomScale, zoomed - 30);
}

TEST_F(AutoFraming, BoxAtTheFrameEdgeIsStillFramed) {
  const FaceBox corner = {0, 0, 100, 120};
  std::vector<uint8_t> f = frame_;
  AutoFrameFace(&dev_, f.data(), 2, TRUE, corner);
  EXPECT_GT(dev_.ZoomScale, 1000u);
  EXPECT_EQ(dev_.ZoomWindowLeft, 0);
  EXPECT_EQ(dev_.ZoomWindowTop, 0);
  // A box reaching the right edge keeps the window inside the frame.
  const FaceBox right = {560, 200, 80, 96};
  for (int i = 0; i < 30; ++i) AutoFrameFace(&dev_, f.data(), 2, TRUE, right);
  const LONG limitX = LONG((LONGLONG(dev_.ZoomScale) - 1000) * 640 / dev_.ZoomScale) - 1;
  EXPECT_LE(dev_.ZoomWindowLeft, limitX);
}

// ---- the per-frame step with its workers ------------------------------------------------

class FaceStep : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::ResetMachine();
    platform::ThreadsFailAfter(-1);
    g_Driver.Face = DefaultTracking(1 | 4);
    memset(&dev_, 0, sizeof(dev_));
    dev_.ZoomScale = 1000;
  }
  void TearDown() override {
    FreeFaceTrackingBuffers();
    FreeZoomBuffers(&dev_);
    platform::ThreadsFailAfter(-1);
    platform::WaitForSystemThreads(5000);
  }
  void Start(LONG w, LONG h, LONG format) {
    dev_.Width = w;
    dev_.Height = h;
    dev_.FormatIndex = format;
    ASSERT_EQ(PrepareFaceTracking(w, h, format), STATUS_SUCCESS);
  }
  // One frame through the branch; then the worker it started is let finish,
  // so that the sequence of states is the same on every run.
  bool Step(std::vector<uint8_t>* frame, FaceBox* box) {
    RunFaceTrackingBranch(&dev_, frame->data(), ULONG(frame->size()));
    LONG l, t, w, h;
    bool held = GetCurrentFaceBox(&l, &t, &w, &h);
    if (held && box) *box = FaceBox{l, t, w, h};
    platform::WaitForSystemThreads(5000);
    return held;
  }
  CameraDeviceState dev_;
};

TEST_F(FaceStep, MissingBuffersEndTheStepWithInsufficientResources) {
  FreeFaceTrackingBuffers();
  std::vector<uint8_t> frame(64 * 48 * 2);
  EXPECT_EQ(TrackFaceStep(frame.data(), ULONG(frame.size())), STATUS_INSUFFICIENT_RESOURCES);
  EXPECT_FALSE(GetCurrentFaceBox(nullptr, nullptr, nullptr, nullptr));
  // Sizes above 640 get no buffers at all.
  ASSERT_EQ(PrepareFaceTracking(800, 600, qcam::kFormatYUY2), STATUS_SUCCESS);
  EXPECT_EQ(TrackFaceStep(frame.data(), ULONG(frame.size())), STATUS_INSUFFICIENT_RESOURCES);
}

TEST_F(FaceStep, AcquiresThenTracksTheMovingFaceAndDrawsItsBox) {
  const int W = 640, H = 480;
  Start(W, H, qcam::kFormatYUY2);
  int firstBox = -1, boxes = 0, inside = 0;
  const int frames = 150;
  for (int f = 0; f < frames; ++f) {
    sim::FaceTruth truth;
    std::vector<uint8_t> frame = SceneFrame(W, H, uint32_t(f), qcam::kFormatYUY2, true, &truth);
    FaceBox box;
    if (!Step(&frame, &box)) continue;
    if (firstBox < 0) {
      firstBox = f;
      // The drawn outline is in the delivered frame.
      EXPECT_EQ(frame[(size_t(box.Top) * W + box.Left + 2) * 2], 0xFF);
    }
    ++boxes;
    inside += Contains(box, truth.centerX, truth.centerY);
  }
  ASSERT_GE(firstBox, 0);
  EXPECT_LE(firstBox, 4) << "acquisition, seeding and the first tracker run take a few frames";
  EXPECT_EQ(boxes, frames - firstBox) << "once found, every frame carries the box";
  EXPECT_GE(inside, boxes * 95 / 100);
  std::printf("[ info ] box on %d of %d frames, true centre inside on %d\n", boxes, frames, inside);
}

TEST_F(FaceStep, Rgb24StreamIsTrackedInMemoryRows) {
  const int W = 320, H = 240;
  Start(W, H, qcam::kFormatRGB24);
  int boxes = 0, inside = 0;
  for (int f = 0; f < 60; ++f) {
    sim::FaceTruth truth;
    std::vector<uint8_t> frame = SceneFrame(W, H, uint32_t(f), qcam::kFormatRGB24, true, &truth);
    FaceBox box;
    if (!Step(&frame, &box)) continue;
    ++boxes;
    inside += Contains(box, truth.centerX, H - 1 - truth.centerY);
  }
  EXPECT_GE(boxes, 45);
  EXPECT_GE(inside, boxes * 9 / 10);
}

TEST_F(FaceStep, NoFaceIsReportedOnTheEmptyRoom) {
  const int W = 320, H = 240;
  Start(W, H, qcam::kFormatYUY2);
  for (int f = 0; f < 80; ++f) {
    std::vector<uint8_t> frame = SceneFrame(W, H, uint32_t(f), qcam::kFormatYUY2, false, nullptr);
    const std::vector<uint8_t> before = frame;
    ASSERT_FALSE(Step(&frame, nullptr)) << "frame " << f;
    ASSERT_EQ(frame, before) << "nothing drawn";
  }
}

TEST_F(FaceStep, LayoutsTheWorkersCannotReadAreLeftAloneAndStartNoWorker) {
  g_Driver.Face.Flags = qcam::kFaceTrackFaces | qcam::kFaceAutoFraming | qcam::kFaceDrawBox;
  for (LONG format : {LONG(qcam::kFormatI420), LONG(qcam::kFormatMJPG)}) {
    dev_.ZoomScale = 1000;
    Start(320, 240, format);
    platform::ThreadsFailAfter(0);  // any worker start would be visible as a failure below
    std::vector<uint8_t> frame = SceneFrame(320, 240, 0, qcam::kFormatYUY2, true, nullptr);
    frame.resize(320 * 240 * 3);
    const std::vector<uint8_t> before = frame;
    for (int f = 0; f < 5; ++f) EXPECT_FALSE(Step(&frame, nullptr));
    EXPECT_EQ(frame, before);
    EXPECT_EQ(dev_.ZoomScale, 1000u);
    platform::ThreadsFailAfter(-1);
    // The same picture read as YUY2 is tracked.
    dev_.FormatIndex = qcam::kFormatYUY2;
    bool seen = false;
    for (int f = 0; f < 8 && !seen; ++f) {
      std::vector<uint8_t> copy = before;
      seen = Step(&copy, nullptr);
    }
    EXPECT_TRUE(seen);
  }
}

TEST_F(FaceStep, WorkerThatCannotStartLeavesNothingToWaitFor) {
  Start(320, 240, qcam::kFormatYUY2);
  platform::ThreadsFailAfter(0);
  std::vector<uint8_t> frame = SceneFrame(320, 240, 0, qcam::kFormatYUY2, true, nullptr);
  for (int f = 0; f < 3; ++f) EXPECT_FALSE(Step(&frame, nullptr));
  auto stopped = std::async(std::launch::async, [] { StopFaceTracking(); });
  ASSERT_EQ(stopped.wait_for(std::chrono::seconds(5)), std::future_status::ready)
      << "StopFaceTracking waits for a worker that never started";
  // The state waits for the next bandwidth allocation, which starts over.
  platform::ThreadsFailAfter(-1);
  EXPECT_FALSE(Step(&frame, nullptr));
  Start(320, 240, qcam::kFormatYUY2);
  bool seen = false;
  for (int f = 0; f < 8 && !seen; ++f) {
    frame = SceneFrame(320, 240, uint32_t(f), qcam::kFormatYUY2, true, nullptr);
    seen = Step(&frame, nullptr);
  }
  EXPECT_TRUE(seen);
}

TEST_F(FaceStep, FramingFollowsTheTrackedFace) {
  g_Driver.Face.Flags = qcam::kFaceTrackFaces | qcam::kFaceAutoFraming;
  const int W = 640, H = 480;
  Start(W, H, qcam::kFormatYUY2);
  for (int f = 0; f < 40; ++f) {
    std::vector<uint8_t> frame = SceneFrame(W, H, uint32_t(f), qcam::kFormatYUY2, true, nullptr);
    Step(&frame, nullptr);
  }
  EXPECT_GT(dev_.ZoomScale, 1500u);
  EXPECT_EQ(dev_.FaceHoldCounter, 10u);
}

}  // namespace
