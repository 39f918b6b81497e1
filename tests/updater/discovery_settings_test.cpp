// Finding the camera, choosing the image, the settings store and the
// image resources.
#include <cstring>

#include "tests/updater/updater_rig.h"
#include "updater/device_pattern.h"
#include "updater/settings_profile.h"

namespace updatertest {
namespace {

TEST(DevicePatternTest, PatternsWildcardsAndIdsFromDisplayNames) {
  EXPECT_EQ(MakeDevicePattern("1B3F", "9710"), "vid_1b3f&pid_9710");
  EXPECT_EQ(MakeDevicePattern("1B3F", "*"), "vid_1b3f&");
  EXPECT_EQ(MakeDevicePattern("*", "0825"), "pid_0825");
  EXPECT_EQ(MakeDevicePattern("", ""), "vid_&pid_");
  const std::vector<std::string> patterns = {"vid_1b3f&pid_9710"};
  EXPECT_TRUE(MatchesDevicePattern("@device:pnp:\\\\?\\USB#VID_1B3F&PID_9710&MI_00#6&1&0&0000#{x}", patterns));
  EXPECT_FALSE(MatchesDevicePattern("@device:pnp:\\\\?\\usb#vid_1b3f&pid_9711", patterns));

  DeviceIds ids;
  ASSERT_TRUE(ParseDeviceIds("\\\\?\\usb#vid_1b3f&pid_9710&mi_00", &ids));
  EXPECT_EQ(ids.vendor, 0x1B3F);
  EXPECT_EQ(ids.product, 0x9710);
  EXPECT_EQ(ids.productText, "9710");
  // A name that ends right after "pid_", or whose ids are cut or not
  // hexadecimal, is read only as far as it goes.
  ASSERT_TRUE(ParseDeviceIds("vid_1b3f&pid_", &ids));
  EXPECT_EQ(ids.product, 0);
  EXPECT_EQ(ids.productText, "");
  ASSERT_TRUE(ParseDeviceIds("vid_1g&pid_12", &ids));
  EXPECT_EQ(ids.vendor, 0x1);
  EXPECT_EQ(ids.product, 0x12);
  EXPECT_FALSE(ParseDeviceIds("vid_1b3f", &ids));
  ASSERT_TRUE(ParseDeviceIds("pid_9710 vid_1b3f", &ids));
  EXPECT_EQ(ids.vendor, 0) << "only a vid_ before the pid_ counts";
}

TEST(SettingsProfileTest, LookupsDefaultsDuplicatesAndParsing) {
  CSettingsProfile empty;
  UpdaterSettings s = ReadUpdaterSettings(empty);
  EXPECT_TRUE(s.guidValid);
  EXPECT_FALSE(s.writeProtect);
  EXPECT_EQ(s.gpio, 0);
  EXPECT_EQ(s.pid3, "");

  CSettingsProfile p;
  p.ParseText("[ispset]\nPID3=0825\npid3=0826 ; a note\nXUGUID={bad}\n[WriteProtect]\nWPFuncEnable=12abc\nGPIO=1A3\n"
              "junk line\n");
  s = ReadUpdaterSettings(p);
  EXPECT_EQ(s.pid3, "0826 ") << "a later key wins and loses its comment";
  EXPECT_FALSE(s.guidValid);
  EXPECT_TRUE(s.writeProtect);
  EXPECT_EQ(s.gpio, 0xA3);
  EXPECT_EQ(p.Lookup("ISPSET", "Missing", "dflt;x"), "dflt");
  p.AddValue("WriteProtect", "wpfuncenable", "off");
  EXPECT_FALSE(ReadUpdaterSettings(p).writeProtect);
}

TEST_F(UpdaterTest, ImageChoiceFollowsStrapsAndProductId) {
  struct Case {
    uint16_t product;
    uint8_t straps;
    int image;
  } cases[] = {{0x9710, 0x04, 135}, {0x9710, 0x00, 137}, {0x9711, 0x04, 138}, {0x9711, 0x00, 139}};
  for (const Case& c : cases) {
    cameras_.clear();
    view_ = RecordingView();
    sim::FirmwareOptions firmware;
    firmware.boardStraps = c.straps;
    Plug(c.product, firmware);
    auto core = MakeCore();
    core->Detect(DetectAtStart);
    EXPECT_EQ(core->LoadedImageId(), c.image) << c.product << " " << int(c.straps);
    EXPECT_EQ(core->ProductFlag(), c.product == 0x9710);
  }
}

TEST_F(UpdaterTest, NonMatchingDeviceDisablesUpgradeAndFirstMatchingCameraIsUsed) {
  Plug(0x0825, {}, 3);  // not the camera
  sim::GenericCameraDevice& first = Plug(0x9711, {}, 1);
  sim::GenericCameraDevice& second = Plug(0x9710, {}, 2);
  auto core = MakeCore();
  view_.combo = {"a", "b", "c"};
  core->RefreshDeviceList();
  EXPECT_EQ(view_.status, "No device found! VID PID Error!");
  EXPECT_FALSE(view_.upgradeEnabled);
  EXPECT_EQ(view_.combo.size(), 2u);
  EXPECT_TRUE(view_.Logged("VID = 0x1b3f, PID = 0x9711."));

  core->Detect(DetectAtStart);
  EXPECT_EQ(core->LoadedImageId(), 139) << "the first matching camera is detected";
  const std::vector<uint8_t> secondBefore = second.Flash().Bytes();
  core->Channel().SaveTopBlock();
  ASSERT_EQ(core->RunUpdate(UpdateOptions()), UpdateOutcome::Done);
  first.WaitRestart();
  EXPECT_EQ(first.Firmware().Version(), 0x0A2C0614u);
  EXPECT_EQ(second.Flash().Bytes(), secondBefore);
}

TEST_F(UpdaterTest, NoCameraAndNoExtensionUnit) {
  auto core = MakeCore();
  core->Detect(DetectAtStart);
  EXPECT_EQ(view_.status, "Waiting until device is ready...");
  EXPECT_EQ(core->RunUpdate(UpdateOptions()), UpdateOutcome::NotFound);
  EXPECT_EQ(view_.messages, std::vector<std::string>{"Can not find device"});

  // A configured GUID the unit does not answer falls back to the built-in one.
  view_ = RecordingView();
  sim::GenericCameraDevice& camera = Plug();
  CSettingsProfile p;
  p.AddValue("ISPSet", "XUGUID", "{00000000-1111-2222-3333-444444444444}");
  auto other = std::make_unique<CUpdaterCore>(&view_, GetModuleHandleA(nullptr));
  other->ApplySettings(ReadUpdaterSettings(p));
  other->Detect(DetectOnArrival);
  EXPECT_EQ(view_.version, "1.0.100915");
  EXPECT_TRUE(IsEqualGUID(other->Channel().ActiveGuid(), XU_GUID_BUILTIN));
  (void)camera;
}

TEST_F(UpdaterTest, ImageResourcesAreCheckedBeforeUse) {
  CFlashImage image;
  ASSERT_TRUE(image.LoadImage(GetModuleHandleA(nullptr), 135, &view_));
  EXPECT_EQ(image.Size(), 65536u);
  EXPECT_EQ(image.Data()[0x16], 0x20);
  EXPECT_EQ(image.RegionSum(0xA000, 0xC000), 0);
  EXPECT_EQ(image.RegionSum(0xC000, 0xD000), 0);
  image.Data()[0xB010] = 0x42;
  EXPECT_FALSE(image.LoadImage(GetModuleHandleA(nullptr), 140, &view_));
  EXPECT_FALSE(image.LoadImage(GetModuleHandleA(nullptr), 136, &view_));
  EXPECT_EQ(view_.messages, (std::vector<std::string>{"Load bin failed", "Invalid binary file"}));
  EXPECT_EQ(image.Data()[0xB010], 0x42) << "a refused image leaves the buffer alone";
  ASSERT_TRUE(image.LoadImage(GetModuleHandleA(nullptr), 138, &view_));
  EXPECT_EQ(image.Data()[0xB010], 0xFF) << "a new image replaces the patched bytes";
}

}  // namespace
}  // namespace updatertest
