// Raw frame processing as the class driver drives it: which frames are zoomed
// and given effects, the tracking flags, the snapshot's ready bit, and the
// frame lock against a bandwidth allocation in flight.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "driver/imaging/effects.h"
#include "tests/driver/driver_fixture.h"

namespace {

using drivertest::DriverFixture;

class FramePathTest : public DriverFixture {
 protected:
  void TearDown() override {
    platform::SetDebugSink({});
    DriverFixture::TearDown();
  }
  // A YUY2 stream of 160x120, bandwidth allocated and capture started.
  void StartYuy2() {
    Plug();
    ASSERT_EQ(Allocate(qcam::kFourCC_YUY2, kW, kH), STATUS_SUCCESS);
    ASSERT_EQ(Cb()->CamStartCaptureEx(nullptr, Dev(), 0), STATUS_SUCCESS);
  }
  ULONG Frame(const std::vector<uint8_t>& raw, std::vector<uint8_t>* out) {
    ULONG bytes = 0;
    EXPECT_EQ(Cb()->CamProcessRawVideoFrameEx(nullptr, Dev(), nullptr, out->data(), ULONG(out->size()),
                                              const_cast<uint8_t*>(raw.data()), ULONG(raw.size()), 1, &bytes,
                                              ULONG(raw.size()), 0),
              STATUS_SUCCESS);
    return bytes;
  }
  // Private property `id` set through the device property request.
  NTSTATUS SetPrivate(ULONG id, int32_t value) {
    std::vector<uint8_t> record(qcam::kPrivateRecordSize, 0);
    KSPROPERTY p{qcam::kPropSetPrivate, id, KSPROPERTY_TYPE_SET};
    memcpy(record.data(), &p, sizeof(p));
    memcpy(record.data() + sizeof(KSPROPERTY), &value, sizeof(value));
    ULONG n = 0;
    return driver_->DeviceProperty(true, reinterpret_cast<PKSPROPERTY>(record.data()), ULONG(record.size()),
                                   record.data(), ULONG(record.size()), &n);
  }
  static std::vector<uint8_t> Picture(uint8_t seed) {
    std::vector<uint8_t> p(kW * kH * 2);
    for (size_t i = 0; i < p.size(); ++i) p[i] = uint8_t(i * 13 + seed + (i / 320) * 7);
    return p;
  }
  static constexpr int kW = 160, kH = 120;
};

TEST_F(FramePathTest, ShortFrameIsNeitherZoomedNorGivenAnEffect) {
  StartYuy2();
  ASSERT_EQ(SetPrivate(qcam::kPrivZoomScale, 2000), STATUS_SUCCESS);
  ASSERT_EQ(SetPrivate(qcam::kPrivZoomEnable, 1), STATUS_SUCCESS);
  // A whole frame is zoomed.
  std::vector<uint8_t> raw = Picture(1), out(raw.size(), 0xEE);
  ASSERT_EQ(Frame(raw, &out), raw.size());
  EXPECT_NE(out, raw);
  // Half a frame: what it carries arrives as sent, the stale rest untouched.
  std::vector<uint8_t> half(raw.begin(), raw.begin() + raw.size() / 2);
  std::fill(out.begin(), out.end(), 0xEE);
  ASSERT_EQ(Frame(half, &out), half.size());
  EXPECT_TRUE(std::equal(half.begin(), half.end(), out.begin())) << "a short frame was zoomed over stale bytes";
  for (size_t i = half.size(); i < out.size(); ++i) ASSERT_EQ(out[i], 0xEE) << i;
  ASSERT_EQ(SetPrivate(qcam::kPrivZoomEnable, 0), STATUS_SUCCESS);
  ASSERT_EQ(SetPrivate(qcam::kPrivSpecialEffect, 11), STATUS_SUCCESS);
  std::fill(out.begin(), out.end(), 0xEE);
  ASSERT_EQ(Frame(half, &out), half.size());
  EXPECT_TRUE(std::equal(half.begin(), half.end(), out.begin())) << "a short frame was given an effect";
}

TEST_F(FramePathTest, EffectChosenThroughThePropertyIsAppliedToEveryFrame) {
  StartYuy2();
  ASSERT_EQ(SetPrivate(qcam::kPrivSpecialEffect, 11), STATUS_SUCCESS);  // negative
  std::vector<uint8_t> raw = Picture(2), out(raw.size());
  ASSERT_EQ(Frame(raw, &out), raw.size());
  std::vector<uint8_t> expected = raw;
  NegativeYuy2(expected.data(), kW, kH);
  EXPECT_EQ(out, expected);
}

TEST_F(FramePathTest, EffectPropertyResetsThePhotoFrameState) {
  StartYuy2();
  std::atomic<int> notLoaded{0};
  platform::SetDebugSink([&](const std::string& line) {
    if (line.find("photo frame") != std::string::npos) ++notLoaded;
  });
  // The frame file is missing: looked for once per choice, not per picture.
  ASSERT_EQ(SetPrivate(qcam::kPrivSpecialEffect, int32_t(qcam::kFrameFirst)), STATUS_SUCCESS);
  std::vector<uint8_t> raw = Picture(3), out(raw.size());
  Frame(raw, &out);
  Frame(raw, &out);
  EXPECT_EQ(notLoaded.load(), 1);
  // Choosing it again through the property starts over.
  ASSERT_EQ(SetPrivate(qcam::kPrivSpecialEffect, int32_t(qcam::kFrameFirst)), STATUS_SUCCESS);
  Frame(raw, &out);
  EXPECT_EQ(notLoaded.load(), 2) << "the effect state was not reset by the property";
}

TEST_F(FramePathTest, FrameWithoutTrackingLeavesTheOtherFlagsAlone) {
  StartYuy2();
  // Framing and box requested, tracking not (yet) on: a frame must not wipe
  // what a concurrent property request is in the middle of setting.
  g_Driver.Face.Flags = 2 | 4;
  std::vector<uint8_t> raw = Picture(4), out(raw.size());
  Frame(raw, &out);
  EXPECT_EQ(g_Driver.Face.Flags, 6u);
  // Tracking on a stream too wide for it is switched off, bit 0 only.
  g_Driver.Face.Flags = 7;
  Dev()->Width = 800;
  Frame(raw, &out);
  Dev()->Width = kW;
  EXPECT_EQ(g_Driver.Face.Flags, 6u);
}

TEST_F(FramePathTest, FailedSnapshotWriteIsNotReportedReady) {
  StartYuy2();
  // A folder where the file should go: the write fails.
  std::filesystem::create_directories(root_ / "Windows" / "Snap.dat");
  Dev()->StillPending = 1;
  std::vector<uint8_t> raw = Picture(5), out(raw.size());
  Frame(raw, &out);
  EXPECT_EQ(Status() & qcam::kStatusSnapshotReady, 0u) << "a snapshot that was not written is reported ready";
  EXPECT_EQ(Dev()->StillPending, 1u) << "the snapshot is retried";
  std::filesystem::remove(root_ / "Windows" / "Snap.dat");
  Frame(raw, &out);
  EXPECT_EQ(Status() & qcam::kStatusSnapshotReady, qcam::kStatusSnapshotReady);
  EXPECT_EQ(Dev()->StillPending, 0u);
  EXPECT_EQ(drivertest::ReadFile((root_ / "Windows" / "Snap.dat").string()).size(), 48 + raw.size());
}

// A button press marks a still (pending, and the button byte the packet
// routine turns into pending again). Pressed after a frame's last packet, the
// frame itself becomes the snapshot; the next frame's packets must not make
// a second one of the same press.
TEST_F(FramePathTest, OnePressWhoseFrameWasCompleteMakesOneSnapshot) {
  StartYuy2();
  Dev()->StillPending = 1;
  Dev()->SnapshotButtonStill = 1;
  std::vector<uint8_t> raw = Picture(9), out(raw.size());
  Frame(raw, &out);
  ASSERT_EQ(Status() & qcam::kStatusSnapshotReady, qcam::kStatusSnapshotReady);
  EXPECT_EQ(Dev()->StillPending, 0u);
  std::vector<uint8_t> packet(64, 0);
  packet[0] = 12;
  packet[1] = 0x80;  // end of header, no still bit
  BOOLEAN complete = FALSE;
  ULONG flags = 0;
  EXPECT_EQ(PacketResult(packet, &complete, &flags), 52u);
  EXPECT_EQ(flags & USBCAMD_PROCESSPACKETEX_CurrentFrameIsStill, 0u) << "the next frame was marked a still again";
  EXPECT_EQ(Dev()->StillPending, 0u) << "the same press would make a second snapshot";
}

TEST_F(FramePathTest, BandwidthAllocationWaitsForTheFrameInFlight) {
  StartYuy2();
  // The frame is held inside its effect (a photo frame whose file is
  // missing reports it through the debug output) while bandwidth is
  // allocated again without a release in between.
  std::mutex m;
  std::condition_variable cv;
  bool inFrame = false, release = false;
  platform::SetDebugSink([&](const std::string& line) {
    if (line.find("photo frame") == std::string::npos) return;
    std::unique_lock<std::mutex> lock(m);
    inFrame = true;
    cv.notify_all();
    cv.wait_for(lock, std::chrono::seconds(5), [&] { return release; });
  });
  ASSERT_EQ(SetPrivate(qcam::kPrivSpecialEffect, int32_t(qcam::kFrameFirst)), STATUS_SUCCESS);
  std::vector<uint8_t> raw = Picture(6), out(raw.size());
  std::thread frame([&] { Frame(raw, &out); });
  {
    std::unique_lock<std::mutex> lock(m);
    ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(5), [&] { return inFrame; }));
  }
  std::atomic<bool> allocated{false};
  std::thread allocate([&] {
    EXPECT_EQ(Allocate(qcam::kFourCC_YUY2, kW, kH), STATUS_SUCCESS);
    allocated = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(allocated.load()) << "the work buffers were replaced under a frame in flight";
  {
    std::lock_guard<std::mutex> lock(m);
    release = true;
  }
  cv.notify_all();
  frame.join();
  allocate.join();
  EXPECT_TRUE(allocated.load());
}

}  // namespace
