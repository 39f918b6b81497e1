// Whole streaming runs through the simulated class driver with the simulated
// camera: the order of the driver's callbacks, delivered frames, stills and a
// camera pulled out mid-stream.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/driver/driver_fixture.h"
#include "tests/props/props_fixture.h"

namespace {

class StreamTest : public drivertest::DriverFixture {
 protected:
  NTSTATUS Open(uint32_t fourcc, int width, int height) {
    int slot = drivertest::FindSlot(Capture(), fourcc, width, height);
    if (slot < 0) return STATUS_NO_MATCH;
    KS_DATAFORMAT_VIDEOINFOHEADER format = drivertest::FormatOfSlot(Capture(), ULONG(slot));
    return driver_->OpenStream(0, format);
  }
};

// Two cameras plugged at once, each through its own class driver: the
// driver's requests and their completions reach the class driver and the
// camera of the device they are made for, whichever class driver came last,
// and a class driver going away leaves the other one working.
TEST_F(StreamTest, EachOfTwoPluggedCamerasAnswersItsOwnRequests) {
  Plug();
  auto second = std::make_unique<drivertest::ScriptedCamera>(sim::BuildProfileDescriptor("basic"));
  auto secondDriver = std::make_unique<sim::ClassDriver>();
  ASSERT_EQ(secondDriver->Plug(&DriverEntry, second.get()), STATUS_SUCCESS);
  auto brightness = [](sim::ClassDriver* driver) {
    KSPROPERTY_VIDEOPROCAMP_S r =
        propstest::Record(PROPSETID_VIDCAP_VIDEOPROCAMP, KSPROPERTY_VIDEOPROCAMP_BRIGHTNESS, KSPROPERTY_TYPE_GET);
    ULONG n = 0;
    return driver->DeviceProperty(false, &r.Property, sizeof(r), &r, sizeof(r), &n);
  };
  camera_->calls.clear();
  second->calls.clear();
  EXPECT_EQ(brightness(driver_.get()), STATUS_SUCCESS);
  EXPECT_EQ(camera_->calls.size(), 1u);
  EXPECT_TRUE(second->calls.empty());
  EXPECT_EQ(brightness(secondDriver.get()), STATUS_SUCCESS);
  EXPECT_EQ(camera_->calls.size(), 1u);
  EXPECT_EQ(second->calls.size(), 1u);

  secondDriver.reset();
  EXPECT_EQ(brightness(driver_.get()), STATUS_SUCCESS);
  EXPECT_EQ(camera_->calls.size(), 2u);
}

TEST_F(StreamTest, CallbackOrderOfAWholeRun) {
  PlugSim();
  ASSERT_EQ(Open(qcam::kFourCC_YUY2, 320, 240), STATUS_SUCCESS);
  int frames = 0;
  ASSERT_EQ(driver_->Run(3, [&](const sim::DeliveredFrame&) { return ++frames, true; }), STATUS_SUCCESS);
  EXPECT_EQ(frames, 3);
  ASSERT_EQ(driver_->CloseStream(), STATUS_SUCCESS);
  driver_->Unplug();
  std::vector<std::string> log = driver_->CallLog();
  // Collapse the per-frame entries to see the lifecycle.
  std::vector<std::string> order;
  for (const std::string& e : log)
    if (e != "packets" && (order.empty() || order.back() != e)) order.push_back(e);
  std::vector<std::string> expected = {"DriverEntry",
                                       "SRB_INITIALIZE_DEVICE",
                                       "configure",
                                       "initialize",
                                       "SRB_INITIALIZATION_COMPLETE",
                                       "query-interface",
                                       "SRB_GET_STREAM_INFO",
                                       "SRB_OPEN_STREAM",
                                       "SRB_SET_DATA_FORMAT",
                                       "allocate-bandwidth",
                                       "start-capture",
                                       "frame",
                                       "stop-capture",
                                       "free-bandwidth",
                                       "SRB_CLOSE_STREAM",
                                       "SRB_SURPRISE_REMOVAL",
                                       "abort-outstanding-requests",
                                       "uninitialize"};
  EXPECT_EQ(order, expected);
  EXPECT_EQ(std::count(log.begin(), log.end(), "frame"), 3);
}

TEST_F(StreamTest, DeliversWholeFramesInBothCameraFormats) {
  for (uint32_t fourcc : {qcam::kFourCC_YUY2, qcam::kFourCC_MJPG}) {
    PlugSim();
    ASSERT_EQ(Open(fourcc, 320, 240), STATUS_SUCCESS);
    std::vector<sim::DeliveredFrame> got;
    driver_->Run(4, [&](const sim::DeliveredFrame& f) { return got.push_back(f), true; });
    ASSERT_EQ(got.size(), 4u);
    for (const sim::DeliveredFrame& f : got) {
      if (fourcc == qcam::kFourCC_YUY2) {
        EXPECT_EQ(f.bytesReturned, 320u * 240 * 2);
      } else {
        ASSERT_GT(f.bytesReturned, 100u);
        EXPECT_EQ(f.data[0], 0xFF);
        EXPECT_EQ(f.data[1], 0xD8);
        EXPECT_EQ(f.data[f.bytesReturned - 2], 0xFF) << "the frame ends with EOI, nothing of the next one";
        EXPECT_EQ(f.data[f.bytesReturned - 1], 0xD9);
      }
    }
    EXPECT_EQ(Dev()->FormatIndex, fourcc == qcam::kFourCC_YUY2 ? 2 : 3);
    driver_->CloseStream();
    driver_.reset();
  }
}

TEST_F(StreamTest, BasicProfileEndsFramesOnTheEndBitPacket) {
  PlugSim("basic");
  ASSERT_EQ(Open(qcam::kFourCC_MJPG, 320, 240), STATUS_SUCCESS);
  EXPECT_EQ(Dev()->EndOfFrameMode, 0u);
  std::vector<sim::DeliveredFrame> got;
  driver_->Run(3, [&](const sim::DeliveredFrame& f) { return got.push_back(f), true; });
  ASSERT_EQ(got.size(), 3u);
  for (const sim::DeliveredFrame& f : got) {
    ASSERT_GT(f.bytesReturned, 4u);
    EXPECT_EQ(f.data[0], 0xFF);
    EXPECT_EQ(f.data[f.bytesReturned - 1], 0xD9);
  }
}

TEST_F(StreamTest, CameraMarkedStillBecomesTheSnapshotFile) {
  PlugSim();
  ASSERT_EQ(Open(qcam::kFourCC_YUY2, 160, 120), STATUS_SUCCESS);
  int stills = 0;
  driver_->Run(6, [&](const sim::DeliveredFrame& f) {
    if (f.number == 2) simCamera_->MarkNextFrameStill();
    stills += f.still;
    return true;
  });
  EXPECT_EQ(stills, 1);
  std::vector<uint8_t> file = drivertest::ReadFile((root_ / "Windows" / "Snap.dat").string());
  ASSERT_EQ(file.size(), 48u + 160 * 120 * 2);
  EXPECT_EQ(file[4], 2);
  EXPECT_EQ(Status() & (qcam::kStatusSnapshotReady | qcam::kStatusStreaming),
            qcam::kStatusSnapshotReady | qcam::kStatusStreaming);
}

TEST_F(StreamTest, UnplugMidStreamEndsTheRunAndLeavesNoFileBehind) {
  PlugSim();
  ASSERT_EQ(Open(qcam::kFourCC_YUY2, 320, 240), STATUS_SUCCESS);
  Dev()->StillPending = 0;
  int seen = 0;
  NTSTATUS status = driver_->Run(30, [&](const sim::DeliveredFrame&) {
    if (++seen == 3) driver_->Unplug();
    return true;
  });
  EXPECT_EQ(status, STATUS_DEVICE_NOT_CONNECTED);
  EXPECT_EQ(seen, 3);
  EXPECT_EQ(driver_->CloseStream(), STATUS_IO_DEVICE_ERROR) << "stop capture fails once the device is gone";
  EXPECT_EQ(platform::PoolOutstanding(), poolAtStart_) << "bandwidth release and uninitialize freed everything";
  EXPECT_FALSE(std::filesystem::exists(root_ / "Windows" / "Snap.dat"));
}

TEST_F(StreamTest, ErrorPacketsDoNotCorruptTheStream) {
  PlugSim();
  ASSERT_EQ(Open(qcam::kFourCC_MJPG, 160, 120), STATUS_SUCCESS);
  std::vector<sim::DeliveredFrame> got;
  driver_->Run(5, [&](const sim::DeliveredFrame& f) {
    if (f.number == 1) simCamera_->InjectErrorPackets(2);
    return got.push_back(f), true;
  });
  ASSERT_EQ(got.size(), 5u);
  // Frames after the damaged one still start with SOI and end with EOI.
  for (size_t i = 3; i < got.size(); ++i) {
    ASSERT_GT(got[i].bytesReturned, 4u);
    EXPECT_EQ(got[i].data[0], 0xFF);
    EXPECT_EQ(got[i].data[got[i].bytesReturned - 1], 0xD9);
  }
}

}  // namespace

namespace {

// The decoded formats ride on an MJPG slot: the application's format goes to
// bandwidth allocation and the driver decodes every frame.
using DecodedStreamTest = drivertest::DriverFixture;

TEST_F(DecodedStreamTest, I420AndRgb24FramesAreDecodedWhole) {
  for (uint32_t code : {qcam::kFourCC_I420, 0u}) {
    PlugSim();
    int slot = drivertest::FindSlot(Capture(), qcam::kFourCC_MJPG, 320, 240);
    ASSERT_GE(slot, 0);
    KS_DATAFORMAT_VIDEOINFOHEADER cameraFormat = drivertest::FormatOfSlot(Capture(), ULONG(slot));
    KS_DATAFORMAT_VIDEOINFOHEADER app = cameraFormat;
    app.VideoInfoHeader.bmiHeader.biCompression = code;
    app.VideoInfoHeader.bmiHeader.biBitCount = code ? 12 : 24;
    app.VideoInfoHeader.bmiHeader.biSizeImage = code ? 320 * 240 * 3 / 2 : 320 * 240 * 3;
    ASSERT_EQ(driver_->OpenStream(0, cameraFormat, &app), STATUS_SUCCESS);
    std::vector<sim::DeliveredFrame> got;
    driver_->Run(3, [&](const sim::DeliveredFrame& f) { return got.push_back(f), true; });
    ASSERT_EQ(got.size(), 3u);
    for (const sim::DeliveredFrame& f : got) {
      EXPECT_EQ(f.bytesReturned, app.VideoInfoHeader.bmiHeader.biSizeImage);
      // A decoded picture of the synthetic scene is not flat.
      EXPECT_NE(*std::min_element(f.data.begin(), f.data.end()), *std::max_element(f.data.begin(), f.data.end()));
    }
    EXPECT_EQ(Dev()->FormatIndex, code ? qcam::kFormatI420 : qcam::kFormatRGB24);
    driver_->CloseStream();
    driver_.reset();
  }
}

TEST_F(DecodedStreamTest, SnapshotOfAnMjpgStreamIsDecodedBottomUpBgr) {
  PlugSim();
  int slot = drivertest::FindSlot(Capture(), qcam::kFourCC_MJPG, 160, 120);
  ASSERT_GE(slot, 0);
  ASSERT_EQ(driver_->OpenStream(0, drivertest::FormatOfSlot(Capture(), ULONG(slot))), STATUS_SUCCESS);
  Dev()->StillPending = 1;
  driver_->Run(2, [&](const sim::DeliveredFrame&) { return true; });
  std::vector<uint8_t> file = drivertest::ReadFile((root_ / "Windows" / "Snap.dat").string());
  ASSERT_EQ(file.size(), 48u + 160 * 120 * 3);
  EXPECT_EQ(file[4], 1) << "format index 1: bottom-up BGR";
  EXPECT_EQ(Dev()->ScratchBuffer, nullptr) << "the MJPG stream's scratch picture is freed after the snapshot";
}

}  // namespace
