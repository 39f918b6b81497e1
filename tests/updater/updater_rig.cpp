// The updater tests' PC, camera and recording view.
#include "tests/updater/updater_rig.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "platform/machine/com_control.h"
#include "platform/machine/pc_clock.h"
#include "platform/nt/platform_control.h"
#include "updater/settings_profile.h"

namespace updatertest {

bool RecordingView::Logged(const std::string& line) const {
  return std::find(log.begin(), log.end(), line) != log.end();
}

void UpdaterTest::SetUp() {
  platform::ResetMachine();
  root_ = (std::filesystem::temp_directory_path() / ("qcam_updater_" + std::to_string(::getpid()))).string();
  std::filesystem::remove_all(root_);
  std::filesystem::create_directories(root_ + "/C");
  ASSERT_TRUE(platform::SetRoot(root_));
  ASSERT_TRUE(platform::RegisterBuiltinClassesInRegistry());
  ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
  // The updater's own waits (1000 ms after opening a device) pass at once.
  rate_ = platform::PcClockRate();
  platform::SetPcClockRate(1000);
}

void UpdaterTest::TearDown() {
  cameras_.clear();
  CoUninitialize();
  platform::ResetMachine();
  platform::SetPcClockRate(rate_);
  std::filesystem::remove_all(root_);
}

sim::GenericCameraDevice& UpdaterTest::Plug(uint16_t productId, const sim::FirmwareOptions& firmware, uint32_t port,
                                            uint32_t restartMs) {
  sim::GenericDeviceOptions options;
  options.vendorId = 0x1B3F;
  options.productId = productId;
  options.port = port;
  options.firmware = firmware;
  options.restartMs = restartMs;
  cameras_.push_back(std::make_unique<sim::GenericCameraDevice>(options));
  EXPECT_TRUE(cameras_.back()->Plug());
  return *cameras_.back();
}

std::unique_ptr<CUpdaterCore> UpdaterTest::MakeCore() {
  auto core = std::make_unique<CUpdaterCore>(&view_, GetModuleHandleA(nullptr));
  core->ApplySettings(ReadUpdaterSettings(CSettingsProfile()));
  return core;
}

}  // namespace updatertest
