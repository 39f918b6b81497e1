// Thread stress for the face tracker's workers: streams started and stopped
// while workers run, bandwidth freed in the middle of an acquisition, stop
// requests from another thread. Built with ThreadSanitizer by `make test-tsan`.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <random>
#include <thread>

#include "driver/core/face_tracking.h"
#include "driver/core/zoom.h"
#include "tests/driver/driver_fixture.h"
#include "tests/face/face_helpers.h"
#include "tests/props/props_fixture.h"

namespace {

// Direct calls: the step starts a worker, and the buffers are freed at once.
TEST(FaceWorkersStress, BuffersFreedWhileAWorkerRunsWaitForIt) {
  platform::ResetMachine();
  platform::ThreadsFailAfter(-1);
  g_Driver.Face = facetest::DefaultTracking(1 | 4);
  const long poolBefore = platform::PoolOutstanding();
  const std::vector<uint8_t> faces[2] = {facetest::SceneFrame(640, 480, 0, qcam::kFormatYUY2, true, nullptr),
                                          facetest::SceneFrame(640, 480, 9, qcam::kFormatYUY2, true, nullptr)};
  std::mt19937 rng(1207);
  for (int round = 0; round < 40; ++round) {
    ASSERT_EQ(PrepareFaceTracking(640, 480, qcam::kFormatYUY2), STATUS_SUCCESS);
    // A few steps move the state machine on: acquisition, seeding, tracking.
    const int steps = 1 + int(rng() % 6);
    for (int s = 0; s < steps; ++s) {
      std::vector<uint8_t> frame = faces[s & 1];
      TrackFaceStep(frame.data(), ULONG(frame.size()));
      if (rng() % 2) std::this_thread::sleep_for(std::chrono::microseconds(rng() % 3000));
    }
    FreeFaceTrackingBuffers();
    EXPECT_FALSE(GetCurrentFaceBox(nullptr, nullptr, nullptr, nullptr));
  }
  EXPECT_EQ(platform::PoolOutstanding(), poolBefore);
  EXPECT_TRUE(platform::WaitForSystemThreads(5000));
}

TEST(FaceWorkersStress, StopRequestsFromAnotherThreadWhileFramesArrive) {
  platform::ResetMachine();
  g_Driver.Face = facetest::DefaultTracking(1 | 4);
  ASSERT_EQ(PrepareFaceTracking(320, 240, qcam::kFormatYUY2), STATUS_SUCCESS);
  std::atomic<bool> done{false};
  std::thread requests([&] {
    while (!done.load()) {
      RequestFaceTrackingStop();
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  });
  for (int f = 0; f < 200; ++f) {
    std::vector<uint8_t> frame = facetest::SceneFrame(320, 240, uint32_t(f), qcam::kFormatYUY2, true, nullptr);
    TrackFaceStep(frame.data(), ULONG(frame.size()));
  }
  done.store(true);
  requests.join();
  FreeFaceTrackingBuffers();
  EXPECT_TRUE(platform::WaitForSystemThreads(5000));
}

class StreamStress : public drivertest::DriverFixture {
 protected:
  void SetUp() override {
    DriverFixture::SetUp();
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
    sim::CameraOptions options;
    options.scene = "face";
    std::string error;
    simCamera_ = sim::Camera::Create(options, &error);
    ASSERT_TRUE(simCamera_) << error;
    driver_ = std::make_unique<sim::ClassDriver>();
    ASSERT_EQ(driver_->Plug(&DriverEntry, simCamera_.get()), STATUS_SUCCESS);
  }
  void TearDown() override {
    driver_.reset();
    simCamera_.reset();
    DriverFixture::TearDown();
  }
  NTSTATUS Open(uint32_t fourcc, int width, int height) {
    int slot = drivertest::FindSlot(Capture(), fourcc, width, height);
    if (slot < 0) return STATUS_NO_MATCH;
    return driver_->OpenStream(0, drivertest::FormatOfSlot(Capture(), ULONG(slot)));
  }
  std::unique_ptr<sim::Camera> simCamera_;
};

// Streams of a few frames each: bandwidth is freed while an acquisition or a
// tracker run is usually still going.
TEST_F(StreamStress, StartAndStopStreamsWhileWorkersRun) {
  std::mt19937 rng(7);
  const int sizes[][2] = {{320, 240}, {640, 480}, {176, 144}};
  int boxes = 0;
  for (int round = 0; round < 24; ++round) {
    const int* size = sizes[round % 3];
    ASSERT_EQ(Open(qcam::kFourCC_YUY2, size[0], size[1]), STATUS_SUCCESS);
    g_Driver.Face.Flags = (round % 4 == 0) ? 1 : (1 | 2 | 4);
    const uint32_t frames = 1 + rng() % 12;
    driver_->Run(frames, [&](const sim::DeliveredFrame&) {
      boxes += GetCurrentFaceBox(nullptr, nullptr, nullptr, nullptr);
      return true;
    });
    ASSERT_EQ(driver_->CloseStream(), STATUS_SUCCESS);
  }
  std::printf("[ info ] %d frames carried a face box\n", boxes);
  EXPECT_TRUE(platform::WaitForSystemThreads(5000));
}

// Stop requests from the request path while the stream runs, then a camera
// pulled out mid-stream with tracking on.
TEST_F(StreamStress, StopRequestsAndUnplugDuringTracking) {
  ASSERT_EQ(Open(qcam::kFourCC_YUY2, 320, 240), STATUS_SUCCESS);
  g_Driver.Face.Flags = 1 | 2 | 4;
  std::atomic<bool> done{false};
  std::thread requests([&] {
    while (!done.load()) {
      RequestFaceTrackingStop();
      std::this_thread::sleep_for(std::chrono::milliseconds(3));
    }
  });
  driver_->Run(40, [](const sim::DeliveredFrame&) { return true; });
  done.store(true);
  requests.join();
  std::thread pull([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    driver_->Unplug();
  });
  driver_->Run(1000, [](const sim::DeliveredFrame&) { return true; });
  pull.join();
  driver_->CloseStream();
  EXPECT_TRUE(platform::WaitForSystemThreads(5000));
}

// Property requests from the application's thread while the camera is
// pulled out: the requests read the removal mark the removal writes, and
// once it is set they no longer reach the camera (a get reads 0).
TEST_F(StreamStress, PropertyRequestsWhileTheCameraIsPulledOut) {
  ASSERT_EQ(Open(qcam::kFourCC_YUY2, 320, 240), STATUS_SUCCESS);
  std::atomic<bool> done{false}, pulled{false};
  std::atomic<int> before{0}, after{0}, readAfter{0};
  std::thread requests([&] {
    for (LONG value = 10; !done.load(); value = value % 40 + 1) {
      const bool wasPulled = pulled.load();
      KSPROPERTY_VIDEOPROCAMP_S r = propstest::Record(PROPSETID_VIDCAP_VIDEOPROCAMP, KSPROPERTY_VIDEOPROCAMP_BRIGHTNESS,
                                                      KSPROPERTY_TYPE_SET, value, KSPROPERTY_VIDEOPROCAMP_FLAGS_MANUAL);
      ULONG n = 0;
      driver_->DeviceProperty(true, &r.Property, sizeof(r), &r, sizeof(r), &n);
      r.Property.Flags = KSPROPERTY_TYPE_GET;
      r.Value = -1;
      const NTSTATUS got = driver_->DeviceProperty(false, &r.Property, sizeof(r), &r, sizeof(r), &n);
      if (!wasPulled) {
        before += got == STATUS_SUCCESS && r.Value == value;
      } else {
        ++after;
        readAfter += r.Value != 0;
      }
    }
  });
  // Waits of at most 10 s, so that a request path that stopped working
  // fails the test rather than hanging it.
  auto reach = [](const std::atomic<int>& count, int n) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (count.load() < n && std::chrono::steady_clock::now() < end) std::this_thread::yield();
    return count.load() >= n;
  };
  EXPECT_TRUE(reach(before, 5));
  driver_->Unplug();
  pulled.store(true);
  EXPECT_TRUE(reach(after, 20));
  done.store(true);
  requests.join();
  EXPECT_EQ(readAfter.load(), 0);
  driver_->CloseStream();
  EXPECT_TRUE(platform::WaitForSystemThreads(5000));
}

}  // namespace
