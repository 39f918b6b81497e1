// Video proc amp, camera control and video control through the adapter
// routine of a plugged-in camera.
#include "tests/props/props_fixture.h"

namespace propstest {
namespace {

constexpr ULONG kAuto = KSPROPERTY_VIDEOPROCAMP_FLAGS_AUTO;
constexpr ULONG kManual = KSPROPERTY_VIDEOPROCAMP_FLAGS_MANUAL;

using StandardProps = PropsFixture;

// ---- ranges read at configure --------------------------------------------------------
TEST_F(StandardProps, ConfigureReadsCameraRangesIntoTablesDefaultsAndRegistry) {
  PlugWith([](ControlCamera& c) {
    c.pu[2] = {0, -64, 64, 0, -10};  // brightness: resolution 0, negative default
    c.pu[1].def = 1;                 // backlight default "off" on the camera
    c.pu[5].def = 1;
  });
  ControlRange r;
  ASSERT_TRUE(GetProcAmpRange(KSPROPERTY_VIDEOPROCAMP_BRIGHTNESS, &r));
  EXPECT_EQ(r.Minimum, -64);  // 0xFFC0 from the camera
  EXPECT_EQ(r.Maximum, 64);
  EXPECT_EQ(r.Resolution, 1);  // 0 from the camera
  EXPECT_EQ(r.Default, -10);
  ASSERT_TRUE(GetProcAmpRange(KSPROPERTY_VIDEOPROCAMP_HUE, &r));
  EXPECT_EQ(r.Minimum, -40);

  EXPECT_EQ(RegOr("Brightness", 99, qcam::kKeyDefaultA), uint32_t(-10));
  EXPECT_EQ(RegOr("Contrast", 99, qcam::kKeyDefaultA), 32u);
  EXPECT_EQ(RegOr("Gamma", 99, qcam::kKeyDefaultA), 100u);
  EXPECT_EQ(RegOr("BackLight", 99, qcam::kKeyDefaultA), 0u);  // camera 1 -> 0
  EXPECT_EQ(RegOr("Banding", 99, qcam::kKeyDefaultA), 1u);
  uint32_t v;
  EXPECT_FALSE(Reg("Whitebalance", &v, qcam::kKeyDefaultA));  // never read from the camera

  // The table the stream class answers range queries from carries the same.
  const KSPROPERTY_ITEM* item = FindPropertyItem(PROPSETID_VIDCAP_VIDEOPROCAMP, KSPROPERTY_VIDEOPROCAMP_BRIGHTNESS);
  ASSERT_NE(item, nullptr);
  auto* step = static_cast<const KSPROPERTY_STEPPING_LONG*>(item->Values->MembersList[0].Members);
  EXPECT_EQ(step->Bounds.SignedMinimum, -64);
  EXPECT_EQ(step->SteppingDelta, 1u);
  EXPECT_EQ(*static_cast<const LONG*>(item->Values->MembersList[1].Members), -10);
  item = FindPropertyItem(PROPSETID_VIDCAP_VIDEOPROCAMP, KSPROPERTY_VIDEOPROCAMP_BACKLIGHT_COMPENSATION);
  EXPECT_EQ(*static_cast<const LONG*>(item->Values->MembersList[1].Members), 0);
}

TEST_F(StandardProps, ResolutionScalesTheValueSentAndStored) {
  PlugWith([](ControlCamera& c) { c.pu[3] = {32, 0, 96, 4, 32}; });
  LONG v = 40;
  ASSERT_EQ(ProcAmp(true, KSPROPERTY_VIDEOPROCAMP_CONTRAST, &v), STATUS_SUCCESS);
  auto sets = Sets();
  ASSERT_EQ(sets.size(), 1u);
  EXPECT_EQ(sets[0].value, 0x0300);
  EXPECT_EQ(sets[0].index, 0x0400);
  EXPECT_EQ(Le(sets[0]), 10u);
  EXPECT_EQ(RegOr("ContrastTmp", 0), 10u);
}

// ---- sign handling of brightness and hue -----------------------------------------------
TEST_F(StandardProps, BrightnessAndHueReadBackSigned) {
  Plug();
  camera_->pu[2].cur = -10;  // the camera answers 0xFFF6
  camera_->pu[6].cur = -40;
  camera_->pu[3].cur = 95;
  LONG v = 0;
  ULONG flags = 0, caps = 0;
  ASSERT_EQ(ProcAmp(false, KSPROPERTY_VIDEOPROCAMP_BRIGHTNESS, &v, &flags, &caps), STATUS_SUCCESS);
  EXPECT_EQ(v, -10);
  EXPECT_EQ(flags, kManual);
  EXPECT_EQ(caps, kManual);
  EXPECT_EQ(Dev()->ControlValue[kCtlBrightness], -10);
  ASSERT_EQ(ProcAmp(false, KSPROPERTY_VIDEOPROCAMP_HUE, &v), STATUS_SUCCESS);
  EXPECT_EQ(v, -40);
  ASSERT_EQ(ProcAmp(false, KSPROPERTY_VIDEOPROCAMP_CONTRAST, &v), STATUS_SUCCESS);
  EXPECT_EQ(v, 95);

  // Setting a negative value sends its 16-bit two's complement.
  v = -20;
  ASSERT_EQ(ProcAmp(true, KSPROPERTY_VIDEOPROCAMP_BRIGHTNESS, &v), STATUS_SUCCESS);
  auto sets = Sets();
  ASSERT_EQ(sets.size(), 1u);
  EXPECT_EQ(sets[0].data.size(), 2u);
  EXPECT_EQ(Le(sets[0]), 0xFFECu);
  EXPECT_EQ(RegOr("BrightnessTmp", 0), uint32_t(-20));
  EXPECT_EQ(camera_->pu[2].cur, -20);
}

TEST_F(StandardProps, GetReadsTheCameraNotTheLastValueSet) {
  Plug();
  LONG v = 50;
  ASSERT_EQ(ProcAmp(true, KSPROPERTY_VIDEOPROCAMP_SATURATION, &v), STATUS_SUCCESS);
  camera_->pu[7].cur = 12;  // another client changed it
  ASSERT_EQ(ProcAmp(false, KSPROPERTY_VIDEOPROCAMP_SATURATION, &v), STATUS_SUCCESS);
  EXPECT_EQ(v, 12);
  EXPECT_EQ(Dev()->ControlValue[kCtlSaturation], 12);
}

// ---- backlight compensation ------------------------------------------------------------
TEST_F(StandardProps, BacklightMapsBothWays) {
  Plug();
  LONG v = 0;
  camera_->pu[1].cur = 1;
  ASSERT_EQ(ProcAmp(false, KSPROPERTY_VIDEOPROCAMP_BACKLIGHT_COMPENSATION, &v), STATUS_SUCCESS);
  EXPECT_EQ(v, 0);
  camera_->pu[1].cur = 2;
  ASSERT_EQ(ProcAmp(false, KSPROPERTY_VIDEOPROCAMP_BACKLIGHT_COMPENSATION, &v), STATUS_SUCCESS);
  EXPECT_EQ(v, 1);

  Mark();
  v = 5;
  ASSERT_EQ(ProcAmp(true, KSPROPERTY_VIDEOPROCAMP_BACKLIGHT_COMPENSATION, &v), STATUS_SUCCESS);
  v = 0;
  ASSERT_EQ(ProcAmp(true, KSPROPERTY_VIDEOPROCAMP_BACKLIGHT_COMPENSATION, &v), STATUS_SUCCESS);
  auto sets = Sets();
  ASSERT_EQ(sets.size(), 2u);
  EXPECT_EQ(sets[0].value, 0x0100);
  EXPECT_EQ(Le(sets[0]), 2u);
  EXPECT_EQ(Le(sets[1]), 1u);
  EXPECT_EQ(RegOr("BackLightTmp", 9), 0u);
}

TEST_F(StandardProps, BacklightOutsideTheCameraRangeIsRefusedWithoutTrace) {
  PlugWith([](ControlCamera& c) { c.pu[1] = {1, 0, 1, 1, 1}; });  // camera cannot take 2
  LONG v = 1;
  EXPECT_EQ(ProcAmp(true, KSPROPERTY_VIDEOPROCAMP_BACKLIGHT_COMPENSATION, &v), STATUS_INVALID_PARAMETER);
  EXPECT_TRUE(Sets().empty());
  uint32_t stored;
  EXPECT_FALSE(Reg("BackLightTmp", &stored));
}

// ---- out of range: nothing sent but the mode switch -------------------------------------
TEST_F(StandardProps, OutOfRangeSetsSendNothingButTheModeSwitch) {
  Plug();
  LONG v = 65;  // brightness maximum is 64
  EXPECT_EQ(ProcAmp(true, KSPROPERTY_VIDEOPROCAMP_BRIGHTNESS, &v), STATUS_INVALID_PARAMETER);
  v = -65;
  EXPECT_EQ(ProcAmp(true, KSPROPERTY_VIDEOPROCAMP_BRIGHTNESS, &v), STATUS_INVALID_PARAMETER);
  v = 301;
  EXPECT_EQ(ProcAmp(true, KSPROPERTY_VIDEOPROCAMP_GAMMA, &v), STATUS_INVALID_PARAMETER);
  v = 3;
  EXPECT_EQ(ProcAmp(true, KSPROPERTY_VIDEOPROCAMP_POWERLINE_FREQUENCY, &v), STATUS_INVALID_PARAMETER);
  EXPECT_TRUE(Sets().empty());
  uint32_t stored;
  EXPECT_FALSE(Reg("BrightnessTmp", &stored));

  Mark();
  ULONG manual = kManual;
  v = 9000;
  EXPECT_EQ(ProcAmp(true, KSPROPERTY_VIDEOPROCAMP_WHITEBALANCE, &v, &manual), STATUS_INVALID_PARAMETER);
  v = 0;
  EXPECT_EQ(Camera(true, KSPROPERTY_CAMERACONTROL_EXPOSURE, &v, &manual), STATUS_INVALID_PARAMETER);
  v = 201;
  EXPECT_EQ(Camera(true, KSPROPERTY_CAMERACONTROL_FOCUS, &v, &manual), STATUS_INVALID_PARAMETER);
  v = -1;  // an unsigned compare refuses negative focus too
  EXPECT_EQ(Camera(true, KSPROPERTY_CAMERACONTROL_FOCUS, &v, &manual), STATUS_INVALID_PARAMETER);
  auto sets = Sets();
  ASSERT_EQ(sets.size(), 4u);
  EXPECT_EQ(sets[0].value, 0x0B00);  // white balance automatic := 0
  EXPECT_EQ(Le(sets[0]), 0u);
  EXPECT_EQ(sets[1].value, 0x0200);  // exposure mode := manual
  EXPECT_EQ(sets[1].index, 0x0100);
  EXPECT_EQ(Le(sets[1]), 1u);
  EXPECT_EQ(sets[2].value, 0x0800);  // focus automatic := 0
  EXPECT_EQ(sets[3].value, 0x0800);
  EXPECT_FALSE(Reg("ExposureTmp", &stored));
  EXPECT_FALSE(Reg("FocusTmp", &stored));
  EXPECT_FALSE(Reg("WhitebalanceTmp", &stored));
}

// ---- white balance ------------------------------------------------------------------------
TEST_F(StandardProps, WhiteBalanceModes) {
  Plug();
  LONG v = 0;
  ULONG flags = 0, caps = 0;
  ASSERT_EQ(ProcAmp(false, KSPROPERTY_VIDEOPROCAMP_WHITEBALANCE, &v, &flags, &caps), STATUS_SUCCESS);
  EXPECT_EQ(v, 4600);
  EXPECT_EQ(flags, kAuto);
  EXPECT_EQ(caps, kAuto | kManual);

  Mark();
  v = 3200;
  flags = kManual;
  ASSERT_EQ(ProcAmp(true, KSPROPERTY_VIDEOPROCAMP_WHITEBALANCE, &v, &flags), STATUS_SUCCESS);
  auto sets = Sets();
  ASSERT_EQ(sets.size(), 2u);
  EXPECT_EQ(sets[0].value, 0x0B00);
  EXPECT_EQ(sets[0].data.size(), 1u);
  EXPECT_EQ(sets[1].value, 0x0A00);
  EXPECT_EQ(Le(sets[1]), 3200u);
  EXPECT_EQ(RegOr("WhitebalanceTmp", 0), 3200u);
  EXPECT_EQ(RegOr("WhitebalanceAutoTmp", 9), 0u);
  ASSERT_EQ(ProcAmp(false, KSPROPERTY_VIDEOPROCAMP_WHITEBALANCE, &v, &flags), STATUS_SUCCESS);
  EXPECT_EQ(flags, kManual);

  Mark();
  flags = kAuto;
  ASSERT_EQ(ProcAmp(true, KSPROPERTY_VIDEOPROCAMP_WHITEBALANCE, &v, &flags), STATUS_SUCCESS);
  sets = Sets();
  ASSERT_EQ(sets.size(), 1u);
  EXPECT_EQ(Le(sets[0]), 1u);
  EXPECT_EQ(RegOr("WhitebalanceAutoTmp", 9), 1u);

  // Neither mode: refused, nothing sent, nothing stored.
  Mark();
  flags = 0;
  v = 3000;
  EXPECT_EQ(ProcAmp(true, KSPROPERTY_VIDEOPROCAMP_WHITEBALANCE, &v, &flags), STATUS_INVALID_PARAMETER);
  flags = 0x10;
  EXPECT_EQ(ProcAmp(true, KSPROPERTY_VIDEOPROCAMP_WHITEBALANCE, &v, &flags), STATUS_INVALID_PARAMETER);
  EXPECT_TRUE(Sets().empty());
  EXPECT_EQ(RegOr("WhitebalanceTmp", 0), 3200u);
}

// ---- exposure -------------------------------------------------------------------------------
TEST_F(StandardProps, ExposureTableBothWays) {
  Plug();
  for (LONG value = -1; value >= -14; --value) {
    Mark();
    LONG v = value;
    ULONG flags = kManual;
    ASSERT_EQ(Camera(true, KSPROPERTY_CAMERACONTROL_EXPOSURE, &v, &flags), STATUS_SUCCESS) << value;
    auto sets = Sets();
    ASSERT_EQ(sets.size(), 2u);
    EXPECT_EQ(Le(sets[0]), 1u);  // manual first
    EXPECT_EQ(sets[1].value, 0x0400);
    EXPECT_EQ(sets[1].data.size(), 4u);
    EXPECT_EQ(Le(sets[1]), kExposureTimes[-value]) << value;
    EXPECT_EQ(RegOr("ExposureTmp", 0), kExposureTimes[-value]);
    EXPECT_EQ(RegOr("ExposureAutoTmp", 9), 0u);

    LONG back = 0;
    flags = 0;
    ASSERT_EQ(Camera(false, KSPROPERTY_CAMERACONTROL_EXPOSURE, &back, &flags), STATUS_SUCCESS);
    EXPECT_EQ(back, value);
    EXPECT_EQ(flags, kManual);
  }
}

TEST_F(StandardProps, ExposureTimeNotInTheTableReadsAsDefault) {
  Plug();
  camera_->ct[4].cur = 100;
  camera_->ct[2].cur = 8;
  LONG v = 0;
  ULONG flags = 0, caps = 0;
  ASSERT_EQ(Camera(false, KSPROPERTY_CAMERACONTROL_EXPOSURE, &v, &flags, &caps), STATUS_SUCCESS);
  EXPECT_EQ(v, -7);
  EXPECT_EQ(flags, kAuto);
  EXPECT_EQ(caps, kAuto | kManual);
  camera_->ct[4].cur = 10000;  // the longest time is exposure value 0
  ASSERT_EQ(Camera(false, KSPROPERTY_CAMERACONTROL_EXPOSURE, &v), STATUS_SUCCESS);
  EXPECT_EQ(v, 0);

  Mark();
  flags = kAuto;
  ASSERT_EQ(Camera(true, KSPROPERTY_CAMERACONTROL_EXPOSURE, &v, &flags), STATUS_SUCCESS);
  auto sets = Sets();
  ASSERT_EQ(sets.size(), 1u);
  EXPECT_EQ(Le(sets[0]), 8u);
  EXPECT_EQ(RegOr("ExposureAutoTmp", 0), 1u);
}

// ---- focus ----------------------------------------------------------------------------------
TEST_F(StandardProps, FocusModesAndValue) {
  Plug();
  LONG v = 120;
  ULONG flags = kManual;
  ASSERT_EQ(Camera(true, KSPROPERTY_CAMERACONTROL_FOCUS, &v, &flags), STATUS_SUCCESS);
  EXPECT_EQ(camera_->ct[8].cur, 0);
  EXPECT_EQ(camera_->ct[6].cur, 120);
  EXPECT_EQ(RegOr("FocusTmp", 0), 120u);
  EXPECT_EQ(RegOr("FocusAutoTmp", 9), 0u);
  v = 0;
  ASSERT_EQ(Camera(false, KSPROPERTY_CAMERACONTROL_FOCUS, &v, &flags), STATUS_SUCCESS);
  EXPECT_EQ(v, 120);
  EXPECT_EQ(flags, kManual);
  flags = kAuto | kManual;  // the automatic bit wins
  ASSERT_EQ(Camera(true, KSPROPERTY_CAMERACONTROL_FOCUS, &v, &flags), STATUS_SUCCESS);
  EXPECT_EQ(camera_->ct[8].cur, 1);
  ASSERT_EQ(Camera(false, KSPROPERTY_CAMERACONTROL_FOCUS, &v, &flags), STATUS_SUCCESS);
  EXPECT_EQ(flags, kAuto);
}

// ---- ids and buffers ------------------------------------------------------------------------
TEST_F(StandardProps, UnknownIdsAreNotSupported) {
  Plug();
  LONG v = 0;
  EXPECT_EQ(ProcAmp(false, KSPROPERTY_VIDEOPROCAMP_COLORENABLE, &v), STATUS_NOT_SUPPORTED);
  EXPECT_EQ(ProcAmp(true, 10, &v), STATUS_NOT_SUPPORTED);
  EXPECT_EQ(Camera(false, KSPROPERTY_CAMERACONTROL_ZOOM, &v), STATUS_NOT_SUPPORTED);
  EXPECT_EQ(Camera(true, KSPROPERTY_CAMERACONTROL_PAN, &v), STATUS_NOT_SUPPORTED);
  // Gain is answered although the table does not list it.
  EXPECT_EQ(ProcAmp(false, KSPROPERTY_VIDEOPROCAMP_GAIN, &v), STATUS_SUCCESS);
}

TEST_F(StandardProps, ShortBuffersAreRefusedAndNothingPastThemIsTouched) {
  Plug();
  const struct {
    const GUID* set;
    ULONG id;
    bool settable;
  } cases[] = {{&PROPSETID_VIDCAP_VIDEOPROCAMP, KSPROPERTY_VIDEOPROCAMP_BRIGHTNESS, true},
               {&PROPSETID_VIDCAP_VIDEOPROCAMP, KSPROPERTY_VIDEOPROCAMP_WHITEBALANCE, true},
               {&PROPSETID_VIDCAP_CAMERACONTROL, KSPROPERTY_CAMERACONTROL_EXPOSURE, true},
               {&PROPSETID_VIDCAP_VIDEOCONTROL, KSPROPERTY_VIDEOCONTROL_CAPS, false},
               {&PROPSETID_VIDCAP_VIDEOCONTROL, KSPROPERTY_VIDEOCONTROL_MODE, true}};
  for (const auto& c : cases) {
    for (bool set : {false, true}) {
      if (set && !c.settable) continue;
      // Exactly-sized heap buffers, so that a read or write past them is seen.
      KSPROPERTY_VIDEOPROCAMP_S full = Record(*c.set, c.id, set ? KSPROPERTY_TYPE_SET : KSPROPERTY_TYPE_GET, 5, 2);
      std::vector<uint8_t> property(reinterpret_cast<uint8_t*>(&full), reinterpret_cast<uint8_t*>(&full) + 24);
      std::vector<uint8_t> data(23, 0xAB);
      Mark();
      ULONG n = 99;
      EXPECT_EQ(driver_->DeviceProperty(set, reinterpret_cast<PKSPROPERTY>(property.data()), 24, data.data(),
                                        ULONG(data.size()), &n),
                STATUS_BUFFER_TOO_SMALL);
      EXPECT_EQ(n, 0u);
      EXPECT_EQ(data, std::vector<uint8_t>(23, 0xAB));
      // A full data buffer behind a short property record is refused too.
      std::vector<uint8_t> big(40, 0xAB);
      EXPECT_EQ(driver_->DeviceProperty(set, reinterpret_cast<PKSPROPERTY>(property.data()), 24, big.data(), 40, &n),
                STATUS_BUFFER_TOO_SMALL);
      EXPECT_EQ(big, std::vector<uint8_t>(40, 0xAB));
      EXPECT_TRUE(Sets().empty());
    }
  }
  // A record shorter than a property header.
  std::vector<uint8_t> tiny(16, 0);
  ULONG n = 0;
  EXPECT_NE(driver_->DeviceProperty(false, reinterpret_cast<PKSPROPERTY>(tiny.data()), 16, nullptr, 0, &n),
            STATUS_SUCCESS);
}

TEST_F(StandardProps, RequestsAfterSurpriseRemovalReachNoCamera) {
  Plug();
  Dev()->DeviceGone = 1;
  LONG v = 10;
  Mark();
  // The set is accepted (its transfer fails silently), a get reads 0.
  EXPECT_EQ(ProcAmp(true, KSPROPERTY_VIDEOPROCAMP_CONTRAST, &v), STATUS_SUCCESS);
  EXPECT_EQ(ProcAmp(false, KSPROPERTY_VIDEOPROCAMP_CONTRAST, &v), STATUS_SUCCESS);
  EXPECT_EQ(v, 0);
  EXPECT_EQ(camera_->calls.size(), mark_);
  Dev()->DeviceGone = 0;
}

// ---- video control --------------------------------------------------------------------------
NTSTATUS VideoControl(sim::ClassDriver& cd, bool set, ULONG id, void* record, ULONG size, void* data,
                      ULONG dataSize, ULONG* returned) {
  KSPROPERTY* p = static_cast<KSPROPERTY*>(record);
  p->Set = PROPSETID_VIDCAP_VIDEOCONTROL;
  p->Id = id;
  p->Flags = set ? KSPROPERTY_TYPE_SET : KSPROPERTY_TYPE_GET;
  return cd.DeviceProperty(set, p, size, data, dataSize, returned);
}

TEST_F(StandardProps, StillPinCapabilitiesAndTriggerMode) {
  Plug();
  KSPROPERTY_VIDEOCONTROL_CAPS_S caps{};
  caps.StreamIndex = 1;
  ULONG n = 0;
  ASSERT_EQ(VideoControl(*driver_, false, KSPROPERTY_VIDEOCONTROL_CAPS, &caps, 32, &caps, 32, &n), STATUS_SUCCESS);
  EXPECT_EQ(caps.VideoControlCaps, 12u);
  EXPECT_EQ(n, 32u);
  caps.StreamIndex = 0;
  EXPECT_EQ(VideoControl(*driver_, false, KSPROPERTY_VIDEOCONTROL_CAPS, &caps, 32, &caps, 32, &n),
            STATUS_NOT_SUPPORTED);
  EXPECT_EQ(VideoControl(*driver_, true, KSPROPERTY_VIDEOCONTROL_CAPS, &caps, 32, &caps, 32, &n),
            STATUS_NOT_SUPPORTED);

  KSPROPERTY_VIDEOCONTROL_MODE_S mode;
  memset(&mode, 0x5A, sizeof(mode));
  ASSERT_EQ(VideoControl(*driver_, false, KSPROPERTY_VIDEOCONTROL_MODE, &mode, 32, &mode, 32, &n), STATUS_SUCCESS);
  EXPECT_EQ(mode.Mode, 12);
  EXPECT_EQ(mode.StreamIndex, 0u);

  // Only a trigger bit on the still stream arms the trigger.
  const struct {
    ULONG stream;
    LONG mode;
    UCHAR armed;
  } sets[] = {{0, 12, 0}, {1, 3, 0}, {1, 4, 1}, {1, 8, 1}};
  for (const auto& s : sets) {
    Dev()->StillTrigger = 0;
    KSPROPERTY_VIDEOCONTROL_MODE_S m{};
    m.StreamIndex = s.stream;
    m.Mode = s.mode;
    EXPECT_EQ(VideoControl(*driver_, true, KSPROPERTY_VIDEOCONTROL_MODE, &m, 32, &m, 32, &n), STATUS_SUCCESS);
    EXPECT_EQ(Dev()->StillTrigger, s.armed) << s.stream << " " << s.mode;
  }

  // The armed trigger makes the next packet a still.
  Dev()->StillTrigger = 1;
  std::vector<uint8_t> packet(20, 0);
  packet[0] = 12;
  packet[1] = 0x80;
  USBD_ISO_PACKET_DESCRIPTOR iso = {0, ULONG(packet.size()), 0};
  BOOLEAN complete = FALSE;
  ULONG flags = 0, offset = 0;
  driver_->Callbacks()->CamProcessUSBPacketEx(nullptr, Dev(), nullptr, nullptr, nullptr, &iso, packet.data(),
                                              &complete, &flags, &offset);
  EXPECT_EQ(flags & USBCAMD_PROCESSPACKETEX_CurrentFrameIsStill, USBCAMD_PROCESSPACKETEX_CurrentFrameIsStill);
  EXPECT_EQ(Dev()->StillTrigger, 0);
  EXPECT_EQ(Dev()->StillPending, 1u);
}

TEST_F(StandardProps, FrameRatesAtEveryBufferSize) {
  Plug();
  const ParsedDescriptors& d = g_Driver.Descriptors;
  ASSERT_TRUE(d.Mjpeg.Present);
  ULONG mjpeg = d.Mjpeg.FrameCount;
  ULONG uncompressed = d.Uncompressed.Present ? d.Uncompressed.FrameCount : 0;
  ASSERT_GT(mjpeg, 0u);

  for (ULONG slot = 0; slot < mjpeg + uncompressed; ++slot) {
    const ParsedFrame& frame = slot < mjpeg ? d.Mjpeg.Frames[slot] : d.Uncompressed.Frames[slot - mjpeg];
    ULONG needed = 8 + 8 * frame.IntervalCount;
    KSPROPERTY_VIDEOCONTROL_FRAME_RATES_S q{};
    q.StreamIndex = 0;
    q.RangeIndex = slot;
    ULONG n = 0;
    EXPECT_EQ(VideoControl(*driver_, false, KSPROPERTY_VIDEOCONTROL_FRAME_RATES, &q, 40, nullptr, 0, &n),
              STATUS_BUFFER_OVERFLOW);
    EXPECT_EQ(n, needed);
    std::vector<uint8_t> shortBuffer(needed - 1, 0xCD);
    EXPECT_EQ(VideoControl(*driver_, false, KSPROPERTY_VIDEOCONTROL_FRAME_RATES, &q, 40, shortBuffer.data(),
                           ULONG(shortBuffer.size()), &n),
              STATUS_BUFFER_TOO_SMALL);
    EXPECT_EQ(shortBuffer, std::vector<uint8_t>(needed - 1, 0xCD));
    std::vector<uint8_t> out(needed, 0xCD);
    ASSERT_EQ(VideoControl(*driver_, false, KSPROPERTY_VIDEOCONTROL_FRAME_RATES, &q, 40, out.data(), needed, &n),
              STATUS_SUCCESS);
    EXPECT_EQ(n, needed);
    KSMULTIPLE_ITEM head;
    memcpy(&head, out.data(), 8);
    EXPECT_EQ(head.Size, 8 * frame.IntervalCount);
    EXPECT_EQ(head.Count, frame.IntervalCount);
    for (ULONG i = 0; i < frame.IntervalCount; ++i) {
      int64_t interval;
      memcpy(&interval, out.data() + 8 + 8 * i, 8);
      EXPECT_EQ(interval, int64_t(frame.Intervals[i])) << "slot " << slot << " interval " << i;
    }
  }

  // A range the stream does not offer.
  KSPROPERTY_VIDEOCONTROL_FRAME_RATES_S q{};
  q.RangeIndex = mjpeg + uncompressed;
  std::vector<uint8_t> out(512, 0xCD);
  ULONG n = 7;
  EXPECT_EQ(VideoControl(*driver_, false, KSPROPERTY_VIDEOCONTROL_FRAME_RATES, &q, 40, out.data(), 512, &n),
            STATUS_INVALID_PARAMETER);
  EXPECT_EQ(n, 0u);
  q.RangeIndex = 0xFFFFFFFF;
  EXPECT_EQ(VideoControl(*driver_, false, KSPROPERTY_VIDEOCONTROL_FRAME_RATES, &q, 40, nullptr, 0, &n),
            STATUS_INVALID_PARAMETER);
  // The frame-rate record itself must be whole.
  EXPECT_EQ(VideoControl(*driver_, false, KSPROPERTY_VIDEOCONTROL_FRAME_RATES, &q, 32, nullptr, 0, &n),
            STATUS_BUFFER_TOO_SMALL);
  EXPECT_EQ(VideoControl(*driver_, false, 1, &q, 40, out.data(), 40, &n), STATUS_NOT_SUPPORTED);
}

// ---- the two tables ----------------------------------------------------------------------
TEST_F(StandardProps, FocusBitChoosesTheCameraControlTable) {
  const KSPROPERTY_SET* with = GetDevicePropertySets(TRUE);
  const KSPROPERTY_SET* without = GetDevicePropertySets(FALSE);
  ASSERT_EQ(*with[1].Set, PROPSETID_VIDCAP_CAMERACONTROL);
  EXPECT_EQ(with[1].PropertiesCount, 2u);
  EXPECT_EQ(without[1].PropertiesCount, 1u);
  EXPECT_EQ(without[1].PropertyItem[0].PropertyId, ULONG(KSPROPERTY_CAMERACONTROL_EXPOSURE));
  for (const KSPROPERTY_SET* sets : {with, without}) {
    EXPECT_EQ(*sets[0].Set, qcam::kPropSetPrivate);
    EXPECT_EQ(sets[0].PropertiesCount, 21u);
    EXPECT_EQ(*sets[2].Set, PROPSETID_VIDCAP_VIDEOPROCAMP);
    EXPECT_EQ(sets[2].PropertiesCount, 9u);
    EXPECT_EQ(*sets[3].Set, PROPSETID_VIDCAP_VIDEOCONTROL);
    EXPECT_EQ(sets[3].PropertiesCount, 3u);
  }
  // The plugged-in notebook camera's terminal decides which one it gets.
  Plug();
  bool focus = g_Driver.Descriptors.CameraTerminal.bControlSize > 0 &&
               (g_Driver.Descriptors.CameraTerminal.bmControls[0] & 0x20);
  EXPECT_EQ(driver_->StreamHeader().DevicePropertiesArray, focus ? with : without);
  EXPECT_EQ(driver_->StreamHeader().NumDevPropArrayEntries, 4u);
}

}  // namespace
}  // namespace propstest
