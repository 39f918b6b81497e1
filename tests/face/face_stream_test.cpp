// Face tracking and zoom in whole streams: the real driver on the simulated
// class driver and camera showing the face scene.
#include <gtest/gtest.h>

#include <cstdio>

#include "driver/core/face_tracking.h"
#include "tests/driver/driver_fixture.h"
#include "tests/face/face_helpers.h"

namespace {

class FaceStream : public drivertest::DriverFixture {
 protected:
  void SetUp() override {
    DriverFixture::SetUp();
    // The tuning values start capture reads, as the installer stores them.
    const uint32_t params[8] = {0, 50, 160, 10, 10, 5, 30, 50};
    for (int p = 1; p <= 7; ++p) {
      char name[16];
      std::snprintf(name, sizeof(name), "FTPROP0%d", p);
      platform::RegSetDword(qcam::kKeyCurrentA, name, params[p]);
    }
    const int32_t set0[9] = {1, 4, 50, -46, 0, 0, 46, -31, -4};
    for (int k = 0; k < 9; ++k) {
      char name[16];
      std::snprintf(name, sizeof(name), "FTPROP1%d", k);
      platform::RegSetDword(qcam::kKeyCurrentA, name, uint32_t(set0[k]));
    }
  }
  void TearDown() override {
    driver_.reset();
    simCamera_.reset();
    DriverFixture::TearDown();
  }
  void PlugSim(const std::string& scene) {
    sim::CameraOptions options;
    options.scene = scene;
    std::string error;
    simCamera_ = sim::Camera::Create(options, &error);
    ASSERT_TRUE(simCamera_) << error;
    driver_ = std::make_unique<sim::ClassDriver>();
    ASSERT_EQ(driver_->Plug(&DriverEntry, simCamera_.get()), STATUS_SUCCESS);
  }
  NTSTATUS Open(uint32_t fourcc, int width, int height) {
    int slot = drivertest::FindSlot(Capture(), fourcc, width, height);
    if (slot < 0) return STATUS_NO_MATCH;
    return driver_->OpenStream(0, drivertest::FormatOfSlot(Capture(), ULONG(slot)));
  }
  std::unique_ptr<sim::Camera> simCamera_;
};

TEST_F(FaceStream, BoxHoldsTheTrueFaceCentreOnMostFramesOfAMovingFace) {
  const int W = 640, H = 480, frames = 240;
  PlugSim("face");
  ASSERT_EQ(Open(qcam::kFourCC_YUY2, W, H), STATUS_SUCCESS);
  g_Driver.Face.Flags = qcam::kFaceTrackFaces | qcam::kFaceDrawBox;
  int boxes = 0, inside = 0, firstBox = 0;
  ASSERT_EQ(driver_->Run(frames,
                         [&](const sim::DeliveredFrame& f) {
                           LONG l, t, w, h;
                           if (!GetCurrentFaceBox(&l, &t, &w, &h)) return true;
                           if (!boxes) firstBox = int(f.number);
                           ++boxes;
                           // The camera renders scene frame n - 1 for delivered frame n.
                           const sim::FaceTruth truth = sim::FaceSceneTruth(W, H, f.number - 1);
                           inside += facetest::Contains(FaceBox{l, t, w, h}, truth.centerX, truth.centerY);
                           return true;
                         }),
            STATUS_SUCCESS);
  driver_->CloseStream();
  std::printf("[ info ] face box on %d of %d frames (first on frame %d); true centre inside on %d (%.1f%% of all)\n",
              boxes, frames, firstBox, inside, 100.0 * inside / frames);
  EXPECT_GE(inside, frames * 85 / 100);
}

// A real portrait (tests/face/photos): at 320x240 the box holds the face
// once the tracker has it.
TEST_F(FaceStream, BoxHoldsTheFaceOfARealPortrait) {
  const int frames = 150;
  sim::CameraOptions options;
  options.sourceFile = std::string(QCAM_SOURCE_DIR) + "/tests/face/photos/astronaut.jpg";
  std::string error;
  simCamera_ = sim::Camera::Create(options, &error);
  ASSERT_TRUE(simCamera_) << error;
  driver_ = std::make_unique<sim::ClassDriver>();
  ASSERT_EQ(driver_->Plug(&DriverEntry, simCamera_.get()), STATUS_SUCCESS);
  ASSERT_EQ(Open(qcam::kFourCC_YUY2, 320, 240), STATUS_SUCCESS);
  g_Driver.Face.Flags = qcam::kFaceTrackFaces | qcam::kFaceDrawBox;
  int boxes = 0, inside = 0;
  ASSERT_EQ(driver_->Run(frames,
                         [&](const sim::DeliveredFrame&) {
                           LONG l, t, w, h;
                           if (!GetCurrentFaceBox(&l, &t, &w, &h)) return true;
                           ++boxes;
                           // Between the eyes, in the picture scaled to cover 320x240.
                           inside += facetest::Contains(FaceBox{l, t, w, h}, 140, 38);
                           return true;
                         }),
            STATUS_SUCCESS);
  driver_->CloseStream();
  std::printf("[ info ] face box on %d of %d frames, on the face on %d\n", boxes, frames, inside);
  EXPECT_GE(boxes, frames / 2);
  EXPECT_GE(inside, boxes * 9 / 10);
}

TEST_F(FaceStream, NoFaceIsReportedOnTheDefaultScene) {
  PlugSim("");
  ASSERT_EQ(Open(qcam::kFourCC_YUY2, 320, 240), STATUS_SUCCESS);
  g_Driver.Face.Flags = qcam::kFaceTrackFaces | qcam::kFaceAutoFraming | qcam::kFaceDrawBox;
  int boxes = 0;
  driver_->Run(120, [&](const sim::DeliveredFrame&) {
    boxes += GetCurrentFaceBox(nullptr, nullptr, nullptr, nullptr);
    return true;
  });
  driver_->CloseStream();
  EXPECT_EQ(boxes, 0);
  EXPECT_EQ(Dev()->ZoomScale, 1000u);
}

TEST_F(FaceStream, TrackingIsSwitchedOffAboveSixHundredFortyPixels) {
  PlugSim("face");
  g_Driver.Face.Flags = qcam::kFaceTrackFaces | qcam::kFaceAutoFraming | qcam::kFaceDrawBox;
  ASSERT_EQ(Open(qcam::kFourCC_YUY2, 1280, 720), STATUS_SUCCESS);
  EXPECT_EQ(g_Driver.Face.Flags & qcam::kFaceTrackFaces, 0u);
  uint32_t enabled = 99;
  ASSERT_TRUE(platform::RegGetDword(qcam::kKeyCurrentA, "FTEnable", &enabled));
  EXPECT_EQ(enabled, 0u);
  int boxes = 0;
  driver_->Run(3, [&](const sim::DeliveredFrame&) {
    boxes += GetCurrentFaceBox(nullptr, nullptr, nullptr, nullptr);
    return true;
  });
  driver_->CloseStream();
  EXPECT_EQ(boxes, 0);
  // 640 keeps it.
  driver_.reset();
  PlugSim("face");
  g_Driver.Face.Flags = qcam::kFaceTrackFaces;
  ASSERT_EQ(Open(qcam::kFourCC_YUY2, 640, 480), STATUS_SUCCESS);
  EXPECT_EQ(g_Driver.Face.Flags & qcam::kFaceTrackFaces, qcam::kFaceTrackFaces);
  driver_->CloseStream();
}

TEST_F(FaceStream, FramingZoomsOntoTheFaceAndMjpgIsLeftAlone) {
  PlugSim("face");
  ASSERT_EQ(Open(qcam::kFourCC_YUY2, 320, 240), STATUS_SUCCESS);
  g_Driver.Face.Flags = qcam::kFaceTrackFaces | qcam::kFaceAutoFraming;
  driver_->Run(60, [](const sim::DeliveredFrame&) { return true; });
  driver_->CloseStream();
  EXPECT_GT(Dev()->ZoomScale, 1500u);

  // MJPG: no worker can read it; the frames stay whole JPEG pictures.
  driver_.reset();
  PlugSim("face");
  ASSERT_EQ(Open(qcam::kFourCC_MJPG, 320, 240), STATUS_SUCCESS);
  g_Driver.Face.Flags = qcam::kFaceTrackFaces | qcam::kFaceAutoFraming | qcam::kFaceDrawBox;
  Dev()->ZoomEnable = 1;
  Dev()->ZoomScale = 2000;
  int boxes = 0;
  driver_->Run(10, [&](const sim::DeliveredFrame& f) {
    boxes += GetCurrentFaceBox(nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(f.data[0], 0xFF);
    EXPECT_EQ(f.data[1], 0xD8);
    EXPECT_EQ(f.data[f.bytesReturned - 1], 0xD9);
    return true;
  });
  driver_->CloseStream();
  EXPECT_EQ(boxes, 0);
  EXPECT_EQ(Dev()->ZoomScale, 2000u);
}

TEST_F(FaceStream, UserZoomEnlargesTheWindowInAYuy2Stream) {
  PlugSim("face");
  const int W = 320, H = 240;
  ASSERT_EQ(Open(qcam::kFourCC_YUY2, W, H), STATUS_SUCCESS);
  std::vector<uint8_t> plain;
  driver_->Run(1, [&](const sim::DeliveredFrame& f) { return plain = f.data, true; });
  driver_->CloseStream();

  driver_.reset();
  PlugSim("face");
  Dev()->ZoomScale = 2000;
  Dev()->ZoomEnable = 1;
  Dev()->ZoomXOffset = -1000;  // clamped to the left margin: window left 0
  Dev()->FormatIndex = qcam::kFormatYUY2;
  Dev()->ZoomYOffset = 1000;  // YUY2: clamped, window top 0
  ASSERT_EQ(Open(qcam::kFourCC_YUY2, W, H), STATUS_SUCCESS);
  EXPECT_EQ(Dev()->ZoomWindowLeft, 0);
  EXPECT_EQ(Dev()->ZoomWindowTop, 0);
  std::vector<uint8_t> zoomed;
  driver_->Run(1, [&](const sim::DeliveredFrame& f) { return zoomed = f.data, true; });
  driver_->CloseStream();
  ASSERT_EQ(plain.size(), zoomed.size());
  // Both are scene frame 0: the zoomed luma at (2x, 2y) is the plain one at (x, y).
  for (int y = 0; y < H / 2; y += 7)
    for (int x = 0; x < W / 2; x += 5) ASSERT_EQ(zoomed[(2 * y * W + 2 * x) * 2], plain[(y * W + x) * 2]);
}

}  // namespace
