// The private property set through the adapter routine of a plugged-in
// camera: every id's get and set, the bridge-register bits, the snapshot
// button command, the tuning sets, the settings record and the ranges.
#include "tests/props/props_fixture.h"

namespace propstest {
namespace {

using PrivateProps = PropsFixture;

std::vector<int32_t> Words(std::initializer_list<int32_t> head) {
  std::vector<int32_t> w(qcam::kPrivateWordCount, 0);
  size_t i = 0;
  for (int32_t v : head) w[i++] = v;
  return w;
}

TEST_F(PrivateProps, IdentificationFormatAndPictureSize) {
  Plug();
  NTSTATUS st;
  ULONG n = 0;
  std::vector<int32_t> w;
  ASSERT_EQ(Private(false, qcam::kPrivDriverId, &w, &n), STATUS_SUCCESS);
  EXPECT_EQ(w[0], 0x4302);
  EXPECT_EQ(n, 1112u);
  EXPECT_EQ(PrivateGet(qcam::kPrivFormatIndex, &st), -1);
  Dev()->Width = 640;
  Dev()->Height = 480;
  EXPECT_EQ(PrivateGet(qcam::kPrivPictureSize), 640 * 480);
  Dev()->FormatIndex = 3;
  EXPECT_EQ(PrivateGet(qcam::kPrivFormatIndex), 3);
}

TEST_F(PrivateProps, UnsupportedIdsAndDirections) {
  Plug();
  NTSTATUS st;
  PrivateGet(6, &st);
  EXPECT_EQ(st, STATUS_NOT_SUPPORTED);
  PrivateGet(22, &st);
  EXPECT_EQ(st, STATUS_NOT_SUPPORTED);
  for (ULONG id : {0u, 1u, 2u, 6u, 21u, 22u, 0xFFFFFFFFu}) EXPECT_EQ(PrivateSet(id, Words({1})), STATUS_NOT_SUPPORTED) << id;
}

TEST_F(PrivateProps, ShortRecordsAreRefusedUntouched) {
  Plug();
  for (bool set : {false, true}) {
    std::vector<uint8_t> property(qcam::kPrivateRecordSize, 0);
    KSPROPERTY p{qcam::kPropSetPrivate, qcam::kPrivMirror, set ? KSPROPERTY_TYPE_SET : KSPROPERTY_TYPE_GET};
    memcpy(property.data(), &p, sizeof(p));
    std::vector<uint8_t> data(qcam::kPrivateRecordSize - 1, 0xEE);
    Mark();
    ULONG n = 5;
    EXPECT_EQ(driver_->DeviceProperty(set, reinterpret_cast<PKSPROPERTY>(property.data()), 1112, data.data(),
                                      ULONG(data.size()), &n),
              STATUS_BUFFER_TOO_SMALL);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(data, std::vector<uint8_t>(qcam::kPrivateRecordSize - 1, 0xEE));
    std::vector<uint8_t> shortProperty(property.begin(), property.begin() + 24);
    std::vector<uint8_t> full(qcam::kPrivateRecordSize, 0xEE);
    EXPECT_EQ(driver_->DeviceProperty(set, reinterpret_cast<PKSPROPERTY>(shortProperty.data()), 24, full.data(),
                                      ULONG(full.size()), &n),
              STATUS_BUFFER_TOO_SMALL);
    EXPECT_EQ(full, std::vector<uint8_t>(qcam::kPrivateRecordSize, 0xEE));
    EXPECT_EQ(camera_->calls.size(), mark_);
  }
}

// ---- bridge registers ----------------------------------------------------------------
TEST_F(PrivateProps, MirrorFlipAndColourFlipOnlyTheirBits) {
  Plug();
  camera_->reg[0xF004] = 0xF3;  // not mirrored, not flipped, colour, other bits set
  struct Case {
    ULONG id;
    uint8_t bit;
    bool setMeansClear;  // a non-zero value clears the bit
    const char* name;
  };
  const Case cases[] = {{qcam::kPrivMirror, 0x01, true, "MirrorTmp"},
                        {qcam::kPrivFlip, 0x02, true, "FlipTmp"},
                        {qcam::kPrivColorEnable, 0x04, true, "ColorEnableTmp"}};
  for (const Case& c : cases) {
    uint8_t before = camera_->reg[0xF004];
    ASSERT_EQ(PrivateSet(c.id, Words({7})), STATUS_SUCCESS);
    EXPECT_EQ(camera_->reg[0xF004], uint8_t(before & ~c.bit)) << c.name;
    EXPECT_EQ(RegOr(c.name, 9), 1u);
    ASSERT_EQ(PrivateSet(c.id, Words({0})), STATUS_SUCCESS);
    EXPECT_EQ(camera_->reg[0xF004], uint8_t(before | c.bit)) << c.name;
    EXPECT_EQ(RegOr(c.name, 9), 0u);
  }
  // Black and white is the bit set: colour 0 sets it.
  camera_->reg[0xF004] = 0x03;
  ASSERT_EQ(PrivateSet(qcam::kPrivColorEnable, Words({0})), STATUS_SUCCESS);
  EXPECT_EQ(camera_->reg[0xF004], 0x07);
  EXPECT_EQ(PrivateGet(qcam::kPrivColorEnable), 0);
  EXPECT_EQ(Dev()->ColorEnable, 0u);
}

TEST_F(PrivateProps, FailedRegisterReadChangesNothing) {
  Plug();
  camera_->reg[0xF004] = 0xF3;
  camera_->reg[0xF013] = 0x80;
  ASSERT_EQ(PrivateSet(qcam::kPrivMirror, Words({0})), STATUS_SUCCESS);
  ASSERT_EQ(PrivateSet(qcam::kPrivLowLight, Words({0})), STATUS_SUCCESS);
  const uint32_t mirrorBefore = RegOr("MirrorTmp", 9);
  camera_->failBridgeReads = true;
  camera_->writes.clear();
  // Each set fails with the read's status; the register keeps its other
  // bits because nothing is written back, and nothing is remembered.
  const struct {
    ULONG id;
    const char* name;
  } sets[] = {{qcam::kPrivMirror, "MirrorTmp"},   {qcam::kPrivFlip, "FlipTmp"},
              {qcam::kPrivColorEnable, "ColorEnableTmp"}, {qcam::kPrivOutdoor, "OutDoorTmp"},
              {qcam::kPrivLowLight, "LowLightTmp"}};
  for (const auto& c : sets) {
    EXPECT_EQ(PrivateSet(c.id, Words({1})), STATUS_UNSUCCESSFUL) << c.name;
    EXPECT_NE(RegOr(c.name, 9), 1u) << c.name;
  }
  EXPECT_TRUE(camera_->writes.empty());
  EXPECT_EQ(camera_->reg[0xF004], 0xF3);
  EXPECT_EQ(camera_->reg[0xF013], 0x80);
  EXPECT_EQ(RegOr("MirrorTmp", 9), mirrorBefore);
  EXPECT_EQ(Dev()->Mirror, 0u);
  EXPECT_EQ(Dev()->LowLight, 0u);
  // A get keeps the last value known instead of reading an unread register
  // as zero (which would say mirrored, flipped and black and white).
  EXPECT_EQ(PrivateGet(qcam::kPrivMirror), 0);
  EXPECT_EQ(PrivateGet(qcam::kPrivFlip), 0);
  EXPECT_EQ(PrivateGet(qcam::kPrivColorEnable), 1);
  camera_->failBridgeReads = false;
  ASSERT_EQ(PrivateSet(qcam::kPrivMirror, Words({1})), STATUS_SUCCESS);
  EXPECT_EQ(camera_->reg[0xF004], 0xF2);
}

TEST_F(PrivateProps, GetReadsTheCameraAfterAnotherClientChangedIt) {
  Plug();
  ASSERT_EQ(PrivateSet(qcam::kPrivMirror, Words({0})), STATUS_SUCCESS);
  ASSERT_EQ(PrivateSet(qcam::kPrivFlip, Words({0})), STATUS_SUCCESS);
  camera_->reg[0xF004] = 0x00;  // another client mirrored and flipped the camera
  EXPECT_EQ(PrivateGet(qcam::kPrivMirror), 1);
  EXPECT_EQ(Dev()->Mirror, 1u);
  EXPECT_EQ(PrivateGet(qcam::kPrivFlip), 1);
  EXPECT_EQ(PrivateGet(qcam::kPrivColorEnable), 1);
  camera_->reg[0xF013] = 0x03;
  EXPECT_EQ(PrivateGet(qcam::kPrivOutdoor), 1);
  EXPECT_EQ(PrivateGet(qcam::kPrivLowLight), 1);
  camera_->reg[0xF013] = 0x00;
  EXPECT_EQ(PrivateGet(qcam::kPrivOutdoor), 0);
  EXPECT_EQ(PrivateGet(qcam::kPrivLowLight), 0);
}

TEST_F(PrivateProps, OutdoorAndLowLightShareOneRegister) {
  Plug();
  camera_->reg[0xF013] = 0x80;
  ASSERT_EQ(PrivateSet(qcam::kPrivOutdoor, Words({5})), STATUS_SUCCESS);
  EXPECT_EQ(camera_->reg[0xF013], 0x82);
  EXPECT_EQ(Dev()->Outdoor, 2u);
  EXPECT_EQ(RegOr("OutDoorTmp", 9), 1u);
  ASSERT_EQ(PrivateSet(qcam::kPrivLowLight, Words({1})), STATUS_SUCCESS);
  EXPECT_EQ(camera_->reg[0xF013], 0x83);
  EXPECT_EQ(Dev()->LowLight, 1u);
  EXPECT_EQ(RegOr("LowLightTmp", 9), 1u);
  ASSERT_EQ(PrivateSet(qcam::kPrivOutdoor, Words({0})), STATUS_SUCCESS);
  EXPECT_EQ(camera_->reg[0xF013], 0x81);
  EXPECT_EQ(Dev()->Outdoor, 0u);
  ASSERT_EQ(PrivateSet(qcam::kPrivLowLight, Words({0})), STATUS_SUCCESS);
  EXPECT_EQ(camera_->reg[0xF013], 0x80);
  EXPECT_EQ(RegOr("LowLightTmp", 9), 0u);
  EXPECT_EQ(RegOr("OutDoorTmp", 9), 0u);
}

TEST_F(PrivateProps, LedRegistersAndStoredState) {
  Plug();
  camera_->writes.clear();
  ASSERT_EQ(PrivateSet(qcam::kPrivLed, Words({3})), STATUS_SUCCESS);
  ASSERT_EQ(PrivateSet(qcam::kPrivLed, Words({0})), STATUS_SUCCESS);
  ASSERT_EQ(camera_->writes.size(), 2u);
  EXPECT_EQ(camera_->writes[0], std::make_pair(uint16_t(0xE007), uint8_t(0)));
  EXPECT_EQ(camera_->writes[1], std::make_pair(uint16_t(0xE006), uint8_t(0)));
  EXPECT_EQ(RegOr("LEDCtrlTmp", 9), 0u);
  EXPECT_EQ(PrivateGet(qcam::kPrivLed), 0);
  platform::RegDeleteValue(qcam::kKeyCurrentA, "LEDCtrlTmp");
  EXPECT_EQ(PrivateGet(qcam::kPrivLed), 0);  // a missing value reads 0
  // With the key itself absent the LED counts as on.
  platform::RegDeleteKeyPath(qcam::kKeyCurrentA);
  EXPECT_EQ(PrivateGet(qcam::kPrivLed), 1);
  EXPECT_EQ(Dev()->LedOn, 1u);
}

// ---- values kept by the driver --------------------------------------------------------
TEST_F(PrivateProps, EffectValue5SnapshotSizeAndSnapshot) {
  Plug();
  ASSERT_EQ(PrivateSet(qcam::kPrivSpecialEffect, Words({12})), STATUS_SUCCESS);
  EXPECT_EQ(PrivateGet(qcam::kPrivSpecialEffect), 12);
  EXPECT_EQ(RegOr("SpecialEffect", 0), 12u);
  ASSERT_EQ(PrivateSet(qcam::kPrivValue5, Words({-77})), STATUS_SUCCESS);
  EXPECT_EQ(PrivateGet(qcam::kPrivValue5), -77);
  ASSERT_EQ(PrivateSet(qcam::kPrivSnapshotSize, Words({11})), STATUS_SUCCESS);
  EXPECT_EQ(PrivateGet(qcam::kPrivSnapshotSize), 11);
  ASSERT_EQ(PrivateSet(qcam::kPrivTakeSnapshot, Words({1})), STATUS_SUCCESS);
  EXPECT_EQ(Dev()->StillPending, 1u);
}

TEST_F(PrivateProps, ZoomScaleOffsetsAndEnable) {
  Plug();
  ASSERT_EQ(PrivateSet(qcam::kPrivZoomEnable, Words({1})), STATUS_SUCCESS);
  EXPECT_EQ(PrivateGet(qcam::kPrivZoomEnable), 1);
  EXPECT_EQ(Dev()->ZoomTableRebuild, 1u);
  EXPECT_EQ(RegOr("ZoomEnable", 0), 1u);
  ASSERT_EQ(PrivateSet(qcam::kPrivZoomScale, Words({2000})), STATUS_SUCCESS);
  EXPECT_EQ(PrivateGet(qcam::kPrivZoomScale), 2000);
  // The x offset moves by each step (within the window's clamp) and 0 recentres.
  ASSERT_EQ(PrivateSet(qcam::kPrivZoomX, Words({-10})), STATUS_SUCCESS);
  int32_t x = PrivateGet(qcam::kPrivZoomX);
  EXPECT_LE(x, 0);
  EXPECT_GE(x, -10);
  ASSERT_EQ(PrivateSet(qcam::kPrivZoomX, Words({0})), STATUS_SUCCESS);
  EXPECT_EQ(PrivateGet(qcam::kPrivZoomX), 0);
  ASSERT_EQ(PrivateSet(qcam::kPrivZoomY, Words({5})), STATUS_SUCCESS);
  EXPECT_GE(PrivateGet(qcam::kPrivZoomY), 0);
  ASSERT_EQ(PrivateSet(qcam::kPrivZoomY, Words({0})), STATUS_SUCCESS);
  EXPECT_EQ(PrivateGet(qcam::kPrivZoomY), 0);
  // Steps that would overflow the offset saturate instead.
  Dev()->ZoomScale = 0;  // no window to clamp against
  Dev()->ZoomXOffset = INT32_MAX - 1;
  ASSERT_EQ(PrivateSet(qcam::kPrivZoomX, Words({INT32_MAX})), STATUS_SUCCESS);
  EXPECT_EQ(Dev()->ZoomXOffset, INT32_MAX);
  Dev()->ZoomYOffset = INT32_MIN + 1;
  ASSERT_EQ(PrivateSet(qcam::kPrivZoomY, Words({INT32_MIN})), STATUS_SUCCESS);
  EXPECT_EQ(Dev()->ZoomYOffset, INT32_MIN);
}

// ---- face tracking --------------------------------------------------------------------
TEST_F(PrivateProps, FaceTrackingSwitchAndParameters) {
  Plug();
  ASSERT_EQ(PrivateSet(qcam::kPrivFaceTracking, Words({1})), STATUS_SUCCESS);
  EXPECT_EQ(g_Driver.Face.Flags & 3u, 3u);
  EXPECT_EQ(RegOr("FTEnable", 0), 1u);
  std::vector<int32_t> w;
  ASSERT_EQ(Private(false, qcam::kPrivFaceTracking, &w), STATUS_SUCCESS);
  EXPECT_EQ(w[0], 1);
  EXPECT_EQ(w[1], 3);
  EXPECT_EQ(w[2], 50);  // parameter 1's default
  EXPECT_EQ(w[8], 50);  // parameter 7's default

  // Any value but 0, 1 and 90 switches tracking off.
  ASSERT_EQ(PrivateSet(qcam::kPrivFaceTracking, Words({7})), STATUS_SUCCESS);
  EXPECT_EQ(g_Driver.Face.Flags & 3u, 0u);
  EXPECT_EQ(RegOr("FTEnable", 9), 0u);
  EXPECT_EQ(PrivateGet(qcam::kPrivFaceTracking), 0);

  ASSERT_EQ(PrivateSet(qcam::kPrivFaceTracking, Words({90, 5, 1, 2, 3, 4, 5, 6, 7})), STATUS_SUCCESS);
  EXPECT_EQ(g_Driver.Face.Flags, 5u);
  for (int k = 1; k <= 7; ++k) EXPECT_EQ(g_Driver.Face.Param[k], k);
  ASSERT_EQ(Private(false, qcam::kPrivFaceTracking, &w), STATUS_SUCCESS);
  EXPECT_EQ(w[0], 1);
  EXPECT_EQ(w[1], 5);
  EXPECT_EQ(w[4], 3);
  ASSERT_EQ(PrivateSet(qcam::kPrivFaceTracking, Words({90, 4, 1, 2, 3, 4, 5, 6, 7})), STATUS_SUCCESS);
  EXPECT_EQ(PrivateGet(qcam::kPrivFaceTracking), 0);  // only the box bit
}

// ---- command 14 ------------------------------------------------------------------------
TEST_F(PrivateProps, SnapshotButtonInEachState) {
  Plug();
  struct Case {
    uint32_t button;
    uint32_t statusBefore;
    uint32_t statusAfter;
    uint32_t stillPending;
  };
  const Case cases[] = {
      {0, 0x000, 0x000, 0},  // not pressed
      {1, 0x000, 0x002, 0},  // pressed, no capture
      {1, 0x001, 0x001, 1},  // pressed while streaming: the next frame is a still
      {2, 0x008, 0x108, 0},
      {4, 0x001, 0x201, 0},
      {3, 0x000, 0x000, 0},  // a state the driver does not know
  };
  for (const Case& c : cases) {
    platform::RegSetDword(qcam::kKeyCurrentA, "CameraStatus", c.statusBefore);
    Dev()->StillPending = 0;
    Dev()->SnapshotButtonStill = 0;
    camera_->button = c.button;
    uint64_t writes = platform::Counters().registryWrites;
    ASSERT_EQ(PrivateSet(qcam::kPrivCommand, Words({4})), STATUS_SUCCESS);
    EXPECT_EQ(RegOr("CameraStatus", 0xDEAD), c.statusAfter) << "button " << c.button;
    EXPECT_EQ(Dev()->StillPending, c.stillPending) << "button " << c.button;
    EXPECT_EQ(Dev()->SnapshotButtonStill, c.stillPending);
    if (c.statusBefore == c.statusAfter) {
      EXPECT_EQ(platform::Counters().registryWrites, writes) << "button " << c.button;
    }
  }
}

TEST_F(PrivateProps, TuningSetCommands) {
  Plug();
  // Get 14 before any command 91 writes nothing.
  std::vector<int32_t> w(qcam::kPrivateWordCount, 0x55);
  ASSERT_EQ(Private(false, qcam::kPrivCommand, &w), STATUS_SUCCESS);
  for (int k = 0; k < 9; ++k) EXPECT_EQ(w[k], 0x55);

  ASSERT_EQ(PrivateSet(qcam::kPrivCommand, Words({90, 2, 11, 12, 13, 14, 15, 16, 17, 18, 19})), STATUS_SUCCESS);
  EXPECT_EQ(g_Driver.Face.SkinRules[2][0], 11);
  EXPECT_EQ(g_Driver.Face.SkinRules[2][8], 19);
  EXPECT_EQ(g_Driver.Face.SelectedSet, 2);
  // Selected by 90, not 91: get still writes nothing.
  w.assign(qcam::kPrivateWordCount, 0x55);
  ASSERT_EQ(Private(false, qcam::kPrivCommand, &w), STATUS_SUCCESS);
  EXPECT_EQ(w[0], 0x55);

  // Index 4 is remembered but changes no set.
  LONG before[4][9];
  memcpy(before, g_Driver.Face.SkinRules, sizeof(before));
  ASSERT_EQ(PrivateSet(qcam::kPrivCommand, Words({90, 4, 1, 1, 1, 1, 1, 1, 1, 1, 1})), STATUS_SUCCESS);
  EXPECT_EQ(g_Driver.Face.SelectedSet, 4);
  EXPECT_EQ(memcmp(before, g_Driver.Face.SkinRules, sizeof(before)), 0);
  ASSERT_EQ(PrivateSet(qcam::kPrivCommand, Words({90, -1, 1, 1, 1, 1, 1, 1, 1, 1, 1})), STATUS_SUCCESS);
  EXPECT_EQ(memcmp(before, g_Driver.Face.SkinRules, sizeof(before)), 0);

  ASSERT_EQ(PrivateSet(qcam::kPrivCommand, Words({91, 0})), STATUS_SUCCESS);
  ASSERT_EQ(Private(false, qcam::kPrivCommand, &w), STATUS_SUCCESS);
  const int32_t set0[9] = {1, 4, 50, -46, 0, 0, 46, -31, -4};
  for (int k = 0; k < 9; ++k) EXPECT_EQ(w[k], set0[k]) << k;
  ASSERT_EQ(PrivateSet(qcam::kPrivCommand, Words({91, 2})), STATUS_SUCCESS);
  ASSERT_EQ(Private(false, qcam::kPrivCommand, &w), STATUS_SUCCESS);
  EXPECT_EQ(w[0], 11);
  // 91 with an index beyond the sets: nothing to return.
  ASSERT_EQ(PrivateSet(qcam::kPrivCommand, Words({91, 7})), STATUS_SUCCESS);
  w.assign(qcam::kPrivateWordCount, 0x55);
  ASSERT_EQ(Private(false, qcam::kPrivCommand, &w), STATUS_SUCCESS);
  EXPECT_EQ(w[0], 0x55);
  // Other commands do nothing and succeed.
  EXPECT_EQ(PrivateSet(qcam::kPrivCommand, Words({5})), STATUS_SUCCESS);
}

// ---- settings record ---------------------------------------------------------------------
TEST_F(PrivateProps, SettingsRecordReadsBothKeysAndStoresCurrent) {
  Plug();  // configure wrote nine camera defaults into DEFAULT
  platform::RegSetDword(qcam::kKeyCurrentA, "Brightness", 7);
  platform::RegSetDword(qcam::kKeyCurrentA, "Privacy", 1);
  platform::RegSetDword(qcam::kKeyDefaultA, "LEDCtrl", 1);
  std::vector<int32_t> w;
  ULONG n = 0;
  ASSERT_EQ(Private(false, qcam::kPrivSettings, &w, &n), STATUS_SUCCESS);
  EXPECT_EQ(n, 1112u);
  EXPECT_EQ(w[16 + 0], 7);
  EXPECT_EQ(w[16 + 23], 1);
  EXPECT_EQ(w[16 + 1], 0);       // missing: 0
  EXPECT_EQ(w[40 + 1], 32);      // Contrast default from the camera
  EXPECT_EQ(w[40 + 2], 100);     // Gamma
  EXPECT_EQ(w[40 + 22], 1);      // LEDCtrl

  std::vector<int32_t> save(qcam::kPrivateWordCount, 0);
  save[0] = 6;
  for (int i = 0; i < 24; ++i) save[16 + i] = 100 + i;
  EXPECT_EQ(PrivateSet(qcam::kPrivSettings, save), STATUS_NOT_SUPPORTED);
  EXPECT_EQ(RegOr("Brightness", 0), 100u);
  EXPECT_EQ(RegOr("SnapShopSize", 0), 118u);
  EXPECT_EQ(RegOr("Privacy", 0), 123u);
  EXPECT_EQ(RegOr("Contrast", 0, qcam::kKeyDefaultA), 32u);  // defaults untouched

  platform::RegSetDword(qcam::kKeyCurrentA, "CameraStatus", 0x309);
  EXPECT_EQ(PrivateSet(qcam::kPrivSettings, Words({5, 0x001})), STATUS_NOT_SUPPORTED);
  EXPECT_EQ(RegOr("CameraStatus", 0), 0x001u);
  // Other sub-commands write nothing.
  uint64_t writes = platform::Counters().registryWrites;
  EXPECT_EQ(PrivateSet(qcam::kPrivSettings, Words({7, 5})), STATUS_NOT_SUPPORTED);
  EXPECT_EQ(platform::Counters().registryWrites, writes);
}

// ---- ranges --------------------------------------------------------------------------------
TEST_F(PrivateProps, RangeGroups) {
  PlugWith([](ControlCamera& c) { c.pu[8] = {2, 0, 7, 1, 3}; });
  std::vector<int32_t> w;
  ASSERT_EQ(Private(false, qcam::kPrivRanges, &w), STATUS_SUCCESS);
  auto group = [&](int g) { return std::vector<int32_t>(w.begin() + 16 + 6 * g, w.begin() + 22 + 6 * g); };
  EXPECT_EQ(group(0), (std::vector<int32_t>{0, -64, 64, 1, 0, 2}));     // brightness
  EXPECT_EQ(group(1), (std::vector<int32_t>{1, 0, 95, 1, 32, 2}));      // contrast
  EXPECT_EQ(group(2), (std::vector<int32_t>{2, -40, 40, 1, 0, 2}));     // hue
  EXPECT_EQ(group(4), (std::vector<int32_t>{4, 0, 7, 1, 3, 2}));        // sharpness
  EXPECT_EQ(group(5), (std::vector<int32_t>{5, 100, 300, 1, 100, 2}));  // gamma
  EXPECT_EQ(group(6), (std::vector<int32_t>(6, 0)));
  EXPECT_EQ(group(7), (std::vector<int32_t>{7, 2800, 6500, 1, 4600, 3}));
  EXPECT_EQ(group(8), (std::vector<int32_t>{8, 0, 2, 1, 0, 2}));        // backlight: camera default 1
  EXPECT_EQ(group(9), (std::vector<int32_t>{9, 0, 100, 1, 0, 2}));      // gain
  for (int g : {10, 11, 12, 13, 15, 17, 18, 19}) EXPECT_EQ(group(g), std::vector<int32_t>(6, 0)) << g;
  EXPECT_EQ(group(14), (std::vector<int32_t>{4, -14, -1, 1, -7, 3}));
  EXPECT_EQ(group(16), (std::vector<int32_t>{6, 0, 200, 1, 0, 3}));
  EXPECT_EQ(w[136], 0);
}

}  // namespace
}  // namespace propstest
