// The update sequence end to end through the extension unit of a simulated
// camera: both dialects, the preserved device areas, checksums, progress,
// the read-back, interruption and the compatibility rules.
#include <cstring>

#include "tests/updater/updater_rig.h"

namespace updatertest {
namespace {

using Bytes = std::vector<uint8_t>;

// What the flash must hold after an update in the packet dialect: the image
// with the device's own bytes in both areas and the two checksums fixed.
Bytes ExpectedFlash(const CFlashImage& loaded, const Bytes& before) {
  Bytes expected(loaded.Data(), loaded.Data() + FLASH_SIZE);
  std::copy(before.begin() + 0xB010, before.begin() + 0xB100, expected.begin() + 0xB010);
  std::copy(before.begin() + 0xFF00, before.begin() + 0xFF20, expected.begin() + 0xFF00);
  return expected;
}

TEST_F(UpdaterTest, PacketUpdateKeepsDeviceAreasAndBootsNewVersion) {
  sim::GenericCameraDevice& camera = Plug();
  const Bytes before = camera.Flash().Bytes();
  uint32_t packets = 0;
  camera.SetWritePacketHook([&](uint32_t n) {
    packets = n;
    return false;
  });
  auto core = MakeCore();
  core->Detect(DetectAtStart);
  EXPECT_EQ(view_.version, "1.0.100915");
  EXPECT_EQ(core->LoadedImageId(), 137);
  EXPECT_EQ(view_.status, "The program will upgrade the firmware of your camera!");
  EXPECT_TRUE(view_.Logged("VID = 0x1b3f, PID = 0x9710."));

  core->Channel().SaveTopBlock();
  EXPECT_EQ(0, std::memcmp(core->Channel().TopBlock(), &before[0xFF00], 32));
  const Bytes image(core->Image().Data(), core->Image().Data() + FLASH_SIZE);
  ASSERT_EQ(core->RunUpdate(UpdateOptions()), UpdateOutcome::Done);
  camera.WaitRestart();

  EXPECT_EQ(packets, 2048u);
  EXPECT_EQ(core->Image().RegionSum(0xA000, 0xC000), 0);
  EXPECT_EQ(core->Image().RegionSum(0xC000, 0xD000), 0);
  EXPECT_EQ(camera.Flash().Bytes(), ExpectedFlash(core->Image(), before));
  EXPECT_TRUE(std::equal(image.begin(), image.begin() + 0xB010, camera.Flash().Bytes().begin()));
  EXPECT_EQ(sim::ImageFault(camera.Flash().Bytes()), "");
  EXPECT_EQ(camera.Firmware().Version(), 0x0A0C0313u);
  EXPECT_EQ(FormatFirmwareVersion(camera.Firmware().Version()), "1.3.101203");

  ASSERT_GE(view_.progressLines.size(), 3u);
  EXPECT_EQ(view_.progressLines[view_.progressLines.size() - 3], "65504 of 65536 bytes");
  EXPECT_EQ(view_.progressLines[view_.progressLines.size() - 2], "65536 of 65536 bytes  (Verify...)");
  EXPECT_EQ(view_.progressText, "Press \"Close\" to upgrade widnows driver for webcam.");
  EXPECT_EQ(view_.status, "Firmware upgrading successfully done!");
  EXPECT_EQ(view_.progressBar, 100);
  EXPECT_TRUE(view_.Logged("UVC: Check Flash Pass ~"));
  EXPECT_TRUE(view_.Logged("UVC: completed to download code."));
  EXPECT_TRUE(core->RestartedDevice());
  EXPECT_TRUE(view_.messages.empty()) << view_.messages.front();
  EXPECT_FALSE(core->Device().IsOpen());
}

TEST_F(UpdaterTest, LegacyDialectDownloadsIn16ByteWritesWithoutImageUntilLoaded) {
  sim::FirmwareOptions legacy;
  legacy.legacyFirmware = true;
  sim::GenericCameraDevice& camera = Plug(0x9710, legacy);
  uint32_t packets = 0;
  camera.SetWritePacketHook([&](uint32_t n) {
    packets = n;
    return false;
  });
  auto core = MakeCore();
  core->Detect(DetectAtStart);
  EXPECT_EQ(core->Channel().Dialect(), LegacyProtocol);
  EXPECT_EQ(view_.version, "");
  EXPECT_EQ(core->LoadedImageId(), 0);

  // No image was loaded: byte 0x16 reads 0 and the chip refuses it.
  const Bytes before = camera.Flash().Bytes();
  EXPECT_EQ(core->RunUpdate(UpdateOptions()), UpdateOutcome::Done);
  EXPECT_EQ(view_.messages, (std::vector<std::string>{"1)Firmware is not match!", "CullingFunc:3, ISPCode[0x0016]:0"}));
  EXPECT_EQ(camera.Flash().Bytes(), before);

  view_.messages.clear();
  ASSERT_TRUE(core->Image().LoadImage(GetModuleHandleA(nullptr), 139, &view_));
  ASSERT_EQ(core->RunUpdate(UpdateOptions()), UpdateOutcome::Done);
  camera.WaitRestart();
  EXPECT_EQ(packets, 4096u);
  EXPECT_TRUE(std::equal(camera.Flash().Bytes().begin(), camera.Flash().Bytes().end(), core->Image().Data()));
  EXPECT_TRUE(view_.Logged("UVC: Check Flash Pass ~"));
  EXPECT_EQ(FormatFirmwareVersion(sim::ImageVersion(camera.Flash().Bytes())), "TEST Version = 2010/12/06, 01.04.02");
}

TEST_F(UpdaterTest, CompatibilityFollowsChipFamilyAndCullingCode) {
  struct Case {
    uint8_t family, culling, code;
    bool fits;
    const char* message;
  } cases[] = {
      {11, 3, 0x20, true, ""},    {11, 3, 0xFF, false, "1)Firmware is not match!"},
      {11, 5, 0xFF, true, ""},    {11, 5, 0x20, false, "1)Firmware is not match!"},
      {12, 3, 0x23, true, ""},    {12, 3, 0x20, false, "2)Firmware is not match!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "family " << int(c.family) << " culling " << int(c.culling) << " code "
                                    << int(c.code));
    cameras_.clear();
    view_ = RecordingView();
    sim::FirmwareOptions firmware;
    firmware.chipFamily = c.family;
    firmware.cullingFunction = c.culling;
    Plug(0x9710, firmware);
    auto core = MakeCore();
    core->Detect(DetectAtStart);
    core->Image().Data()[0x16] = c.code;
    UpdateOptions options;
    options.program = false;  // the check alone
    options.verify = false;
    EXPECT_EQ(core->RunUpdate(options), UpdateOutcome::Done);
    EXPECT_EQ(view_.status == "Firmware upgrading successfully done!", c.fits);
    if (!c.fits) {
      ASSERT_FALSE(view_.messages.empty());
      EXPECT_EQ(view_.messages[0], c.message);
    }
  }
}

TEST_F(UpdaterTest, FailedEraseStopsBeforeAnyWrite) {
  sim::FirmwareOptions firmware;
  firmware.failingEraseSector = 0x3000;
  sim::GenericCameraDevice& camera = Plug(0x9710, firmware);
  uint32_t packets = 0;
  camera.SetWritePacketHook([&](uint32_t n) {
    packets = n;
    return false;
  });
  auto core = MakeCore();
  core->Detect(DetectAtStart);
  core->Channel().SaveTopBlock();
  EXPECT_EQ(core->RunUpdate(UpdateOptions()), UpdateOutcome::Done);
  EXPECT_EQ(packets, 0u);
  EXPECT_TRUE(view_.Logged("UVC: fail to change mode!\nUVC: fail to load code!"));
  EXPECT_EQ(view_.progressBar, 0);
  EXPECT_FALSE(core->RestartedDevice());
  EXPECT_EQ(view_.messages.size(), 1u) << "the transport's box for the refused sector";
}

TEST_F(UpdaterTest, InterruptedUpdateIsRepairedByTheNextOne) {
  for (uint32_t cut : {1u, 700u, 1500u, 2047u}) {
    SCOPED_TRACE(cut);
    cameras_.clear();
    view_ = RecordingView();
    sim::GenericCameraDevice& camera = Plug();
    const Bytes before = camera.Flash().Bytes();
    camera.SetWritePacketHook([cut](uint32_t n) { return n == cut; });
    auto core = MakeCore();
    core->Detect(DetectAtStart);
    core->Channel().SaveTopBlock();
    EXPECT_EQ(core->RunUpdate(UpdateOptions()), UpdateOutcome::Stopped);
    EXPECT_NE(std::find(view_.messages.begin(), view_.messages.end(), "Fail to Download code!"), view_.messages.end());
    camera.WaitRestart();
    EXPECT_FALSE(camera.Plugged());

    // Plugged in again, the chip stays in its boot ROM and is updated anew.
    camera.SetWritePacketHook(nullptr);
    ASSERT_TRUE(camera.Plug());
    EXPECT_EQ(camera.Firmware().Mode(), sim::FirmwareMode::kBootRom);
    view_ = RecordingView();
    auto again = MakeCore();
    again->Detect(DetectAtStart);
    EXPECT_EQ(view_.version, "0.0.000000");
    again->Channel().SaveTopBlock();
    ASSERT_EQ(again->RunUpdate(UpdateOptions()), UpdateOutcome::Done) << (view_.messages.empty() ? "" : view_.messages[0]);
    camera.WaitRestart();
    EXPECT_EQ(sim::ImageFault(camera.Flash().Bytes()), "");
    EXPECT_EQ(camera.Flash().Bytes(), ExpectedFlash(again->Image(), before));
  }
}

}  // namespace
}  // namespace updatertest
