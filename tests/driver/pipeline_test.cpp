// The driver on the simulated class driver: payload headers, negotiation,
// format intersection, CameraStatus, the snapshot file and surprise removal.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "tests/driver/driver_fixture.h"

namespace {

using drivertest::DriverFixture;
using drivertest::Packet;

// ---- payload headers ---------------------------------------------------------------

using PacketTest = DriverFixture;

TEST_F(PacketTest, HeaderOnlyAndErrorPacketsCarryNothing) {
  Plug();
  Dev()->EndOfFrameMode = 0;
  BOOLEAN complete = TRUE;
  // Exactly 12 bytes with the end bit: no data, never a completed frame.
  EXPECT_EQ(PacketResult(Packet(0x02, {}), &complete), 0u);
  EXPECT_FALSE(complete);
  // The error bit hides the end bit too, and leaves no latch behind.
  EXPECT_EQ(PacketResult(Packet(0x42, {1, 2, 3}), &complete), 0u);
  EXPECT_FALSE(complete);
  Dev()->EndOfFrameMode = 1;
  EXPECT_EQ(PacketResult(Packet(0x00, {1}), &complete), 1u);
  EXPECT_FALSE(complete);
}

TEST_F(PacketTest, EndOfFrameModes) {
  Plug();
  BOOLEAN complete = FALSE;
  Dev()->EndOfFrameMode = 0;
  EXPECT_EQ(PacketResult(Packet(0x00, {1, 2}), &complete), 2u);
  EXPECT_FALSE(complete);
  EXPECT_EQ(PacketResult(Packet(0x02, {3}), &complete), 1u);
  EXPECT_TRUE(complete) << "mode 0: the end-bit packet completes the frame";
  PacketResult(Packet(0x00, {4}), &complete);  // clears the latch
  EXPECT_FALSE(complete);

  Dev()->EndOfFrameMode = 1;
  PacketResult(Packet(0x02, {5}), &complete);
  EXPECT_FALSE(complete) << "mode 1: not on the end-bit packet";
  // Whatever the next packet's own bits, it reports the completion.
  PacketResult(Packet(0x01, {6}), &complete);
  EXPECT_TRUE(complete);
  PacketResult(Packet(0x01, {7}), &complete);
  EXPECT_FALSE(complete);
}

TEST_F(PacketTest, StillMarking) {
  Plug();
  BOOLEAN complete = FALSE;
  ULONG flags = 0;
  PacketResult(Packet(0x20, {1}), &complete, &flags);
  EXPECT_EQ(flags & USBCAMD_PROCESSPACKETEX_CurrentFrameIsStill, USBCAMD_PROCESSPACKETEX_CurrentFrameIsStill);
  EXPECT_EQ(Dev()->StillPending, 1u);
  Dev()->StillPending = 0;
  Dev()->StillTrigger = 1;
  PacketResult(Packet(0x00, {1}), &complete, &flags);
  EXPECT_EQ(Dev()->StillPending, 1u);
  EXPECT_EQ(Dev()->StillTrigger, 0) << "the trigger marks one still only";
  Dev()->StillPending = 0;
  PacketResult(Packet(0x00, {1}), &complete, &flags);
  EXPECT_EQ(flags, 0u);
  EXPECT_EQ(Dev()->StillPending, 0u);
}

// ---- formats and intersection -----------------------------------------------------------

using FormatTest = DriverFixture;

TEST_F(FormatTest, MjpegSlotsComeFirst) {
  Plug();
  const HW_STREAM_INFORMATION& info = Capture();
  ASSERT_EQ(info.NumberOfFormatArrayEntries, 12u);
  for (ULONG i = 0; i < 12; ++i) {
    const KS_DATARANGE_VIDEO* r = reinterpret_cast<const KS_DATARANGE_VIDEO*>(info.StreamFormatsArray[i]);
    EXPECT_EQ(r->VideoInfoHeader.bmiHeader.biCompression, i < 6 ? qcam::kFourCC_MJPG : qcam::kFourCC_YUY2);
  }
  const KS_DATARANGE_VIDEO* first = reinterpret_cast<const KS_DATARANGE_VIDEO*>(info.StreamFormatsArray[0]);
  EXPECT_EQ(first->DataRange.SampleSize, 640u * 480 * 3);
  EXPECT_EQ(first->ConfigCaps.MinBitsPerSecond, 640 * 480 * 24 * 5);
  EXPECT_EQ(first->ConfigCaps.MaxFrameInterval, 2000000) << "kept from the template";
  EXPECT_EQ(driver_->StreamInfo()[1].NumberOfFormatArrayEntries, 12u);
}

TEST_F(FormatTest, IntersectionBufferSizes) {
  Plug();
  const KS_DATARANGE_VIDEO* slot =
      reinterpret_cast<const KS_DATARANGE_VIDEO*>(Capture().StreamFormatsArray[drivertest::FindSlot(
          Capture(), qcam::kFourCC_YUY2, 320, 240)]);
  KS_DATARANGE_VIDEO range = *slot;
  ULONG actual = 0;
  EXPECT_EQ(driver_->DataIntersection(0, &range.DataRange, nullptr, 0, &actual), STATUS_BUFFER_OVERFLOW);
  EXPECT_EQ(actual, 152u);
  std::vector<uint8_t> small(151, 0xAB);
  EXPECT_EQ(driver_->DataIntersection(0, &range.DataRange, small.data(), ULONG(small.size()), &actual),
            STATUS_BUFFER_TOO_SMALL);
  for (uint8_t b : small) ASSERT_EQ(b, 0xAB);
  std::vector<uint8_t> out(152 + 16, 0xCD);
  ASSERT_EQ(driver_->DataIntersection(0, &range.DataRange, out.data(), 152, &actual), STATUS_SUCCESS);
  EXPECT_EQ(actual, 152u);
  const KS_DATAFORMAT_VIDEOINFOHEADER* f = reinterpret_cast<const KS_DATAFORMAT_VIDEOINFOHEADER*>(out.data());
  EXPECT_EQ(f->DataFormat.FormatSize, 152u);
  EXPECT_EQ(f->VideoInfoHeader.bmiHeader.biSizeImage, 320u * 240 * 2);
  for (size_t i = 152; i < out.size(); ++i) ASSERT_EQ(out[i], 0xCD) << "written past the buffer";
  EXPECT_EQ(driver_->DataIntersection(2, &range.DataRange, out.data(), 152, &actual), STATUS_NO_MATCH);
}

TEST_F(FormatTest, IntersectionRefusesAnOversizedBitmapHeader) {
  Plug();
  KS_DATARANGE_VIDEO range =
      *reinterpret_cast<const KS_DATARANGE_VIDEO*>(Capture().StreamFormatsArray[0]);
  std::vector<uint8_t> out(4096, 0xCD);
  ULONG actual = 0;
  for (ULONG biSize : {0u, 39u, 41u, 4000u, 0xFFFFFFF0u}) {
    range.VideoInfoHeader.bmiHeader.biSize = biSize;
    EXPECT_EQ(driver_->DataIntersection(0, &range.DataRange, out.data(), ULONG(out.size()), &actual),
              STATUS_INVALID_PARAMETER)
        << biSize;
  }
  for (uint8_t b : out) ASSERT_EQ(b, 0xCD);
}

TEST_F(FormatTest, IntersectionClampsTheFrameIntervalAndResizes) {
  Plug();
  KS_DATARANGE_VIDEO range =
      *reinterpret_cast<const KS_DATARANGE_VIDEO*>(Capture().StreamFormatsArray[0]);
  range.VideoInfoHeader.AvgTimePerFrame = 5000000;
  range.VideoInfoHeader.bmiHeader.biWidth = 100;
  std::vector<uint8_t> out(152);
  ULONG actual = 0;
  ASSERT_EQ(driver_->DataIntersection(0, &range.DataRange, out.data(), 152, &actual), STATUS_SUCCESS);
  const KS_VIDEOINFOHEADER& v = reinterpret_cast<const KS_DATAFORMAT_VIDEOINFOHEADER*>(out.data())->VideoInfoHeader;
  EXPECT_EQ(v.AvgTimePerFrame, 2000000);
  EXPECT_EQ(v.dwBitRate, ULONG(range.ConfigCaps.MinBitsPerSecond));
  EXPECT_EQ(v.rcSource.right, 100);
  EXPECT_EQ(v.rcTarget.bottom, 480);
  EXPECT_EQ(v.bmiHeader.biSizeImage, ((24u * 100 + 31) / 32) * 4 * 480);
}

// ---- negotiation ------------------------------------------------------------------------

using NegotiationTest = DriverFixture;

TEST_F(NegotiationTest, AlternateSettingAtPayloadBoundaries) {
  Plug("notebook");  // seven alternate settings
  struct { uint32_t payload; ULONG alt; } many[] = {{127, 1}, {128, 2}, {255, 2}, {256, 3}, {512, 4},
                                                   {1023, 4}, {1024, 5}, {2047, 5}, {2048, 6}, {5000, 6}};
  for (auto c : many) {
    camera_->SetPayloadAnswer(c.payload);
    ASSERT_EQ(Allocate(qcam::kFourCC_MJPG, 640, 480), STATUS_SUCCESS);
    EXPECT_EQ(Dev()->StreamingAlternateSetting, c.alt) << c.payload;
    EXPECT_EQ(Dev()->EndOfFrameMode, 1u);
  }
  driver_.reset();
  Plug("basic");  // two alternate settings
  for (auto c : {std::pair<uint32_t, ULONG>{955, 1}, {956, 2}}) {
    camera_->SetPayloadAnswer(c.first);
    ASSERT_EQ(Allocate(qcam::kFourCC_MJPG, 640, 480), STATUS_SUCCESS);
    EXPECT_EQ(Dev()->StreamingAlternateSetting, c.second);
    EXPECT_EQ(Dev()->EndOfFrameMode, 0u);
  }
}

TEST_F(NegotiationTest, ProbeRecord) {
  Plug("notebook");
  ULONG raw = 0;
  ASSERT_EQ(Allocate(qcam::kFourCC_YUY2, 320, 240, &raw), STATUS_SUCCESS);
  EXPECT_EQ(raw, 320u * 240 * 2);
  const uint8_t* probe = camera_->LastProbe();
  EXPECT_EQ(probe[2], g_Driver.Descriptors.Uncompressed.bFormatIndex);
  EXPECT_EQ(probe[3], 3) << "320x240 is the third uncompressed frame of the notebook camera";
  EXPECT_EQ(ReadLe32(probe + 4), 333333u);
  EXPECT_EQ(ReadLe32(probe + 22), 0x200u);
  // I420 is decoded from the camera's MJPG pictures.
  ASSERT_EQ(Allocate(qcam::kFourCC_I420, 320, 240), STATUS_SUCCESS);
  EXPECT_EQ(camera_->LastProbe()[2], g_Driver.Descriptors.Mjpeg.bFormatIndex);
  EXPECT_NE(Dev()->ScratchBuffer, nullptr) << "the decoded formats need the scratch picture";
}

TEST_F(NegotiationTest, ProbeWhoseReadBackFailsChangesNothing) {
  Plug("notebook");
  camera_->SetPayloadAnswer(3000);
  ASSERT_EQ(Allocate(qcam::kFourCC_MJPG, 640, 480), STATUS_SUCCESS);
  const ULONG alt = Dev()->StreamingAlternateSetting;
  const ULONG payload = g_Driver.MaxPayloadTransferSize;
  const ULONG interval = g_Driver.FrameInterval;
  g_Driver.CommitNeeded = FALSE;
  // The read-back stalls: the stack buffer the driver would have read holds
  // nothing from the camera, so allocation stops with the transfer's status.
  camera_->failProbeGet = true;
  EXPECT_EQ(Allocate(qcam::kFourCC_I420, 320, 240), STATUS_UNSUCCESSFUL);
  EXPECT_EQ(Dev()->Width, 640);
  EXPECT_EQ(Dev()->OutputFormatCode, qcam::kFourCC_MJPG);
  EXPECT_EQ(Dev()->ScratchBuffer, nullptr) << "no scratch picture for a failed I420 set-up";
  EXPECT_EQ(Dev()->StreamingAlternateSetting, alt);
  EXPECT_EQ(g_Driver.MaxPayloadTransferSize, payload);
  EXPECT_EQ(g_Driver.FrameInterval, interval);
  EXPECT_FALSE(g_Driver.CommitNeeded) << "nothing negotiated, nothing to commit";
  // Once the camera answers again the same request succeeds.
  camera_->failProbeGet = false;
  EXPECT_EQ(Allocate(qcam::kFourCC_I420, 320, 240), STATUS_SUCCESS);
  EXPECT_EQ(Dev()->Width, 320);
  EXPECT_TRUE(g_Driver.CommitNeeded);
}

TEST_F(NegotiationTest, YuyvOnFewAlternateSettingsIsProbedAsMjpeg) {
  // A camera with YUY2 and MJPEG frames but only two alternate settings.
  std::vector<uint8_t> config = sim::BuildProfileDescriptor("notebook");
  ParsedDescriptors p;
  ParseConfigurationDescriptor(config.data(), ULONG(config.size()), &p);
  Plug("notebook");
  g_Driver.Descriptors.AlternateSettings = 2;
  ASSERT_EQ(Allocate(qcam::kFourCC_YUY2, 640, 480), STATUS_SUCCESS);
  EXPECT_EQ(camera_->LastProbe()[2], p.Mjpeg.bFormatIndex);
}

TEST_F(NegotiationTest, SizeTheCameraLacksFailsCleanly) {
  Plug("notebook");
  ASSERT_EQ(Allocate(qcam::kFourCC_YUY2, 320, 240), STATUS_SUCCESS);
  size_t calls = camera_->calls.size();
  LONG width = Dev()->Width;
  EXPECT_EQ(Allocate(qcam::kFourCC_YUY2, 333, 222), STATUS_NO_MATCH);
  EXPECT_EQ(Allocate(qcam::kFourCC_YUY2, -640, 480), STATUS_NO_MATCH);
  EXPECT_EQ(camera_->calls.size(), calls) << "no probe was sent";
  EXPECT_EQ(Dev()->Width, width);
  EXPECT_EQ(Cb()->CamAllocateBandwidthEx(nullptr, Dev(), nullptr, nullptr, 0), STATUS_INVALID_PARAMETER);
}

TEST_F(NegotiationTest, OtherStreams) {
  Plug();
  ULONG raw = 0;
  EXPECT_EQ(Cb()->CamAllocateBandwidthEx(nullptr, Dev(), &raw, nullptr, 1), STATUS_SUCCESS);
  EXPECT_EQ(raw, 1920000u);
  EXPECT_EQ(Cb()->CamAllocateBandwidthEx(nullptr, Dev(), &raw, nullptr, 2), STATUS_NOT_IMPLEMENTED);
  EXPECT_EQ(raw, 3840000u);
}

TEST_F(NegotiationTest, WideStreamSwitchesFaceTrackingOff) {
  Plug();
  g_Driver.Face.Flags = 3;
  ASSERT_EQ(Allocate(qcam::kFourCC_MJPG, 640, 480), STATUS_SUCCESS);
  EXPECT_EQ(g_Driver.Face.Flags, 3u);
  ASSERT_EQ(Allocate(qcam::kFourCC_MJPG, 1280, 720), STATUS_SUCCESS);
  EXPECT_EQ(g_Driver.Face.Flags, 2u);
  uint32_t ft = 9;
  ASSERT_TRUE(platform::RegGetDword(qcam::kKeyCurrentA, "FTEnable", &ft));
  EXPECT_EQ(ft, 0u);
}

TEST_F(NegotiationTest, ZoomWindowFollowsTheFormatBeingSetUp) {
  Plug("notebook");
  // Right after load no frame has been processed yet: the window of a YUY2
  // stream (top-down) must not be placed as for a bottom-up one.
  Dev()->ZoomScale = 2000;
  Dev()->ZoomYOffset = 50;
  ASSERT_EQ(Allocate(qcam::kFourCC_YUY2, 640, 480), STATUS_SUCCESS);
  const LONG margin = (480 - 240) / 2 - 1;
  EXPECT_EQ(Dev()->ZoomWindowTop, margin - 50);
  ASSERT_EQ(Allocate(qcam::kFourCC_I420, 640, 480), STATUS_SUCCESS);
  EXPECT_EQ(Dev()->ZoomWindowTop, margin + 50);
}

// A camera whose frame indices run backwards: the probe and the commit both
// name the frame by the descriptor's own index.
TEST_F(NegotiationTest, CommitNamesTheProbedFrame) {
  std::vector<uint8_t> config = sim::BuildProfileDescriptor("notebook");
  ParsedDescriptors before;
  ParseConfigurationDescriptor(config.data(), ULONG(config.size()), &before);
  for (size_t pos = 0; pos + 3 < config.size() && config[pos] != 0; pos += config[pos]) {
    const uint8_t subtype = config[pos + 2];
    if (config[pos + 1] != uvc::CS_INTERFACE || (subtype != uvc::VS_FRAME_UNCOMPRESSED && subtype != uvc::VS_FRAME_MJPEG)) continue;
    const ParsedFormat& f = subtype == uvc::VS_FRAME_MJPEG ? before.Mjpeg : before.Uncompressed;
    config[pos + 3] = uint8_t(f.FrameCount + 1 - config[pos + 3]);
  }
  PlugBytes(config);
  ASSERT_EQ(Allocate(qcam::kFourCC_YUY2, 320, 240), STATUS_SUCCESS);
  const uint8_t probed = camera_->LastProbe()[3];
  EXPECT_EQ(probed, before.Uncompressed.FrameCount + 1 - 3) << "320x240 is the third frame";
  camera_->calls.clear();
  ASSERT_EQ(Cb()->CamStartCaptureEx(nullptr, Dev(), 0), STATUS_SUCCESS);
  int commits = 0;
  for (const auto& c : camera_->calls)
    if (c.request == uvc::SET_CUR && c.value == uvc::ControlValue(uvc::VS_COMMIT_CONTROL)) {
      ++commits;
      ASSERT_GE(c.data.size(), 4u);
      EXPECT_EQ(c.data[3], probed) << "another frame was committed than was probed";
    }
  EXPECT_EQ(commits, 1);
}

int g_BracketCalls = 0;
NTSTATUS CountingBracket(PVOID, ULONG) {
  ++g_BracketCalls;
  return STATUS_SUCCESS;
}

TEST_F(NegotiationTest, CommitBracketOnlyFromAValidInterfaceRecord) {
  Plug("notebook");
  ASSERT_NE(Dev()->ClassInterface.Interface.Version, 0);
  Dev()->ClassInterface.USBCAMD_CommitBracket = CountingBracket;
  // A record the class driver did not confirm: its routines are not valid.
  Dev()->ClassInterface.Interface.Version = 0;
  g_BracketCalls = 0;
  ASSERT_EQ(Allocate(qcam::kFourCC_YUY2, 320, 240), STATUS_SUCCESS);
  ASSERT_EQ(Cb()->CamStartCaptureEx(nullptr, Dev(), 0), STATUS_SUCCESS);
  EXPECT_EQ(g_BracketCalls, 0);
  Dev()->ClassInterface.Interface.Version = USBCAMD_VERSION_200;
  ASSERT_EQ(Allocate(qcam::kFourCC_YUY2, 320, 240), STATUS_SUCCESS);
  ASSERT_EQ(Cb()->CamStartCaptureEx(nullptr, Dev(), 0), STATUS_SUCCESS);
  EXPECT_EQ(g_BracketCalls, 2) << "before and after the commit";
}

TEST_F(NegotiationTest, StreamPropertySetsCarryThePublishedIds) {
  Plug();
  // {1D58C920-AC9B-11CF-A5D6-28DB04C10000}, allocator framing is item 3.
  const GUID connection = {0x1D58C920, 0xAC9B, 0x11CF, {0xA5, 0xD6, 0x28, 0xDB, 0x04, 0xC1, 0x00, 0x00}};
  for (const HW_STREAM_INFORMATION& info : driver_->StreamInfo()) {
    ASSERT_EQ(info.NumStreamPropArrayEntries, 2u);
    const KSPROPERTY_SET& set = info.StreamPropertiesArray[0];
    EXPECT_TRUE(*set.Set == connection);
    ASSERT_EQ(set.PropertiesCount, 1u);
    EXPECT_EQ(set.PropertyItem[0].PropertyId, 3u);
    EXPECT_TRUE(*info.StreamPropertiesArray[1].Set == PROPSETID_VIDCAP_DROPPEDFRAMES);
  }
}

TEST(SnapshotSizeIndex, FromStreamSize) {
  EXPECT_EQ(SnapshotSizeIndexFor(160, 120), 0u);
  EXPECT_EQ(SnapshotSizeIndexFor(352, 288), 3u);
  EXPECT_EQ(SnapshotSizeIndexFor(640, 480), 4u);
  EXPECT_EQ(SnapshotSizeIndexFor(1280, 720), 7u);
  EXPECT_EQ(SnapshotSizeIndexFor(1280, 960), 9u);
  EXPECT_EQ(SnapshotSizeIndexFor(1280, 1024), 10u);
  EXPECT_EQ(SnapshotSizeIndexFor(1280, 1), 10u);
  EXPECT_EQ(SnapshotSizeIndexFor(2560, 2048), 14u);
  EXPECT_EQ(SnapshotSizeIndexFor(2560, 1600), 13u);
  EXPECT_EQ(SnapshotSizeIndexFor(2304, 1728), 12u);
  EXPECT_EQ(SnapshotSizeIndexFor(999, 1), 4u);
}

// ---- CameraStatus and the snapshot file -------------------------------------------------

using StatusTest = DriverFixture;

TEST_F(StatusTest, InitializeClearsStartAndStopKeepOtherBits) {
  platform::RegSetDword(qcam::kKeyCurrentA, "CameraStatus", 0x30A);
  Plug();
  EXPECT_EQ(Status(), 0u) << "initialize writes 0";
  platform::RegSetDword(qcam::kKeyCurrentA, "CameraStatus", 0x30A);
  ASSERT_EQ(Allocate(qcam::kFourCC_YUY2, 320, 240), STATUS_SUCCESS);
  ASSERT_EQ(Cb()->CamStartCaptureEx(nullptr, Dev(), 0), STATUS_SUCCESS);
  EXPECT_EQ(Status(), 0x30Bu);
  ASSERT_EQ(Cb()->CamStopCaptureEx(nullptr, Dev(), 0), STATUS_SUCCESS);
  EXPECT_EQ(Status(), 0x30Au);
}

TEST_F(StatusTest, MissingStatusValueAndMissingKey) {
  Plug();
  platform::RegDeleteValue(qcam::kKeyCurrentA, "CameraStatus");
  ASSERT_EQ(Allocate(qcam::kFourCC_YUY2, 320, 240), STATUS_SUCCESS);
  ASSERT_EQ(Cb()->CamStartCaptureEx(nullptr, Dev(), 0), STATUS_SUCCESS);
  EXPECT_EQ(Status(), 1u);
  // Without the key nothing can be written, and reads give 0.
  platform::RegDeleteKeyPath(qcam::kKeyCurrentA);
  ASSERT_EQ(Cb()->CamStopCaptureEx(nullptr, Dev(), 0), STATUS_SUCCESS);
  EXPECT_FALSE(platform::RegKeyExists(qcam::kKeyCurrentA));
}

TEST_F(StatusTest, ConcurrentUpdatesLoseNoBits) {
  Plug();
  StoreCameraStatus(0);
  std::atomic<bool> go{false};
  std::thread a([&] {
    while (!go) {}
    for (int i = 0; i < 200; ++i) UpdateCameraStatus(qcam::kStatusSnapshotReady, 0);
  });
  std::thread b([&] {
    while (!go) {}
    for (int i = 0; i < 200; ++i) {
      UpdateCameraStatus(qcam::kStatusStreaming, 0);
      UpdateCameraStatus(0, qcam::kStatusStreaming);
    }
  });
  go = true;
  a.join();
  b.join();
  EXPECT_EQ(Status(), qcam::kStatusSnapshotReady);
}

TEST_F(StatusTest, SnapshotFileOfAYuy2Stream) {
  Plug();
  ASSERT_EQ(Allocate(qcam::kFourCC_YUY2, 160, 120), STATUS_SUCCESS);
  ASSERT_EQ(Cb()->CamStartCaptureEx(nullptr, Dev(), 0), STATUS_SUCCESS);
  Dev()->SnapshotSizeIndex = 11;  // 1600x1200 requested
  Dev()->StillPending = 1;
  std::vector<uint8_t> raw(160 * 120 * 2);
  for (size_t i = 0; i < raw.size(); ++i) raw[i] = uint8_t(i * 7);
  std::vector<uint8_t> out(raw.size());
  ULONG bytes = 0;
  ASSERT_EQ(Cb()->CamProcessRawVideoFrameEx(nullptr, Dev(), nullptr, out.data(), ULONG(out.size()), raw.data(),
                                            ULONG(raw.size()), 1, &bytes, ULONG(raw.size()), 0),
            STATUS_SUCCESS);
  EXPECT_EQ(bytes, raw.size());
  EXPECT_EQ(Dev()->StillPending, 0u);
  EXPECT_EQ(Status() & qcam::kStatusSnapshotReady, qcam::kStatusSnapshotReady);
  std::vector<uint8_t> file = drivertest::ReadFile((root_ / "Windows" / "Snap.dat").string());
  ASSERT_EQ(file.size(), 48 + raw.size());
  const uint8_t header[14] = {0x00, 0x96, 0x00, 0x00,  // 38400 image bytes
                              2,    0,                 // YUY2
                              160,  0,    120,  0,     // stream size
                              0x40, 0x06, 0xB0, 0x04};  // 1600x1200 requested
  EXPECT_EQ(std::vector<uint8_t>(file.begin(), file.begin() + 14), std::vector<uint8_t>(header, header + 14));
  for (int i = 14; i < 48; ++i) EXPECT_EQ(file[i], 0) << "reserved byte " << i;
  EXPECT_TRUE(std::equal(raw.begin(), raw.end(), file.begin() + 48));
}

TEST_F(StatusTest, NoSnapshotWhileTheStillStreamRuns) {
  Plug();
  ASSERT_EQ(Allocate(qcam::kFourCC_YUY2, 160, 120), STATUS_SUCCESS);
  ASSERT_EQ(Cb()->CamStartCaptureEx(nullptr, Dev(), 1), STATUS_SUCCESS);
  Dev()->StillPending = 1;
  std::vector<uint8_t> raw(160 * 120 * 2, 1), out(raw.size());
  ULONG bytes = 0;
  Cb()->CamProcessRawVideoFrameEx(nullptr, Dev(), nullptr, out.data(), ULONG(out.size()), raw.data(),
                                  ULONG(raw.size()), 1, &bytes, ULONG(raw.size()), 0);
  EXPECT_FALSE(std::filesystem::exists(root_ / "Windows" / "Snap.dat"));
  EXPECT_EQ(Dev()->StillPending, 1u);
}

TEST_F(StatusTest, SnapshotAllocationFailureIsRetried) {
  Plug();
  ASSERT_EQ(Allocate(qcam::kFourCC_YUY2, 160, 120), STATUS_SUCCESS);
  Dev()->StillPending = 1;
  std::vector<uint8_t> raw(160 * 120 * 2, 1), out(raw.size());
  ULONG bytes = 0;
  platform::PoolFailAfter(0);
  Cb()->CamProcessRawVideoFrameEx(nullptr, Dev(), nullptr, out.data(), ULONG(out.size()), raw.data(),
                                  ULONG(raw.size()), 1, &bytes, ULONG(raw.size()), 0);
  platform::PoolFailAfter(-1);
  EXPECT_FALSE(std::filesystem::exists(root_ / "Windows" / "Snap.dat"));
  EXPECT_EQ(Dev()->StillPending, 1u);
  Cb()->CamProcessRawVideoFrameEx(nullptr, Dev(), nullptr, out.data(), ULONG(out.size()), raw.data(),
                                  ULONG(raw.size()), 1, &bytes, ULONG(raw.size()), 0);
  EXPECT_TRUE(std::filesystem::exists(root_ / "Windows" / "Snap.dat"));
}

// ---- surprise removal -----------------------------------------------------------------------

using RemovalTest = DriverFixture;

TEST_F(RemovalTest, FrameAfterRemovalIsUntouchedAndTouchesNothing) {
  Plug();
  ASSERT_EQ(Allocate(qcam::kFourCC_YUY2, 160, 120), STATUS_SUCCESS);
  ASSERT_EQ(Cb()->CamStartCaptureEx(nullptr, Dev(), 0), STATUS_SUCCESS);
  Dev()->StillPending = 1;
  Dev()->SpecialEffect = 11;
  driver_->Unplug();
  platform::AccessCounters before = platform::Counters();
  std::vector<uint8_t> raw(160 * 120 * 2, 0x55), out(raw.size(), 0xEE);
  ULONG bytes = 0xDEADBEEF;
  EXPECT_EQ(Cb()->CamProcessRawVideoFrameEx(nullptr, Dev(), nullptr, out.data(), ULONG(out.size()), raw.data(),
                                            ULONG(raw.size()), 1, &bytes, ULONG(raw.size()), 0),
            STATUS_SUCCESS);
  EXPECT_EQ(bytes, 0xDEADBEEFu) << "bytes returned is not written";
  for (uint8_t b : out) ASSERT_EQ(b, 0xEE);
  EXPECT_EQ(Cb()->CamStopCaptureEx(nullptr, Dev(), 0), STATUS_IO_DEVICE_ERROR);
  platform::AccessCounters after = platform::Counters();
  EXPECT_EQ(after.registryReads, before.registryReads);
  EXPECT_EQ(after.registryWrites, before.registryWrites);
  EXPECT_EQ(after.fileOpens, before.fileOpens);
  // Control requests fail without reaching the camera.
  size_t calls = camera_->calls.size();
  uint8_t buf[4] = {};
  EXPECT_EQ(SendControlRequest(Dev(), uvc::GET_CUR, uvc::ControlValue(uvc::PU_BRIGHTNESS_CONTROL),
                               uvc::ControlIndex(uvc::kProcessingUnitId, 0), buf, 2, kControlGet), STATUS_IO_DEVICE_ERROR);
  EXPECT_EQ(camera_->calls.size(), calls);
}

}  // namespace
