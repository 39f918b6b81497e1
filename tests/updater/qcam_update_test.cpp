// qcam update and qcam flash on a PC root, as a person runs them: the
// camera on the generic driver is updated and comes back with the new
// version; cut off mid-way it is repaired by the next run, keeping its own
// bytes; on the package's own driver the update stops and the flash stays.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "platform/machine/pc_clock.h"
#include "platform/nt/platform_control.h"
#include "sim/camera_flash.h"
#include "sim/generic_driver.h"
#include "tools/qcam/commands.h"

namespace {

namespace fs = std::filesystem;

class QcamUpdateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::ResetMachine();
    root_ = (fs::temp_directory_path() / ("qcam_update_" + std::to_string(::getpid()))).string();
    fs::remove_all(root_);
  }
  void TearDown() override {
    platform::ResetMachine();
    fs::remove_all(root_);
  }
  std::vector<uint8_t> Flash() {
    std::ifstream in(root_ + "/camera/flash.bin", std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  std::string root_;
};

TEST_F(QcamUpdateTest, GenericDriverUpdatesAndInterruptedUpdateIsRepaired) {
  ASSERT_EQ(qcam_tool::CmdPc({"--root", root_, "--camera-driver", "generic"}), 0);
  const std::vector<uint8_t> factory = sim::FactoryImage(sim::FlashDeviceSeed(0x1B3F, 0x9710, 1));
  EXPECT_NE(qcam_tool::CmdUpdate({"--root", root_, "--unplug-at-packet", "900"}), 0);
  std::vector<uint8_t> flash = Flash();
  ASSERT_EQ(flash.size(), 65536u);
  EXPECT_NE(sim::ImageFault(flash), "");

  ASSERT_EQ(qcam_tool::CmdUpdate({"--root", root_}), 0);
  flash = Flash();
  EXPECT_EQ(sim::ImageFault(flash), "");
  EXPECT_EQ(sim::ImageVersion(flash), 0x0A0C0313u);
  EXPECT_TRUE(std::equal(factory.begin() + 0xB010, factory.begin() + 0xB100, flash.begin() + 0xB010));
  EXPECT_TRUE(std::equal(factory.begin() + 0xFF00, factory.begin() + 0xFF20, flash.begin() + 0xFF00));
  EXPECT_EQ(qcam_tool::CmdFlash({"--root", root_, "--version"}), 0);
}

TEST_F(QcamUpdateTest, QorcamDriverStopsWithoutTouchingTheFlash) {
  ASSERT_EQ(qcam_tool::CmdPc({"--root", root_, "--camera-driver", "qorcam"}), 0);
  EXPECT_NE(qcam_tool::CmdUpdate({"--root", root_}), 0);
  EXPECT_FALSE(fs::exists(root_ + "/camera/flash.bin"));
  EXPECT_NE(qcam_tool::CmdUpdate({"--root", root_, "--firmware", "other"}), 0);
}

}  // namespace
