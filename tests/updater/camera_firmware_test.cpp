// The camera's firmware side through the generic driver: the flash and its
// physics, both dialects, the boot ROM and the restart.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <filesystem>
#include <vector>

#include "platform/machine/ks_devices.h"
#include "platform/machine/pc_clock.h"
#include "platform/nt/platform_control.h"
#include "sim/generic_driver.h"

namespace {

namespace fs = std::filesystem;

// One node-property request as a user-mode client sends it.
class XuClient {
 public:
  explicit XuClient(const std::string& path) : handle_(platform::OpenKsDeviceHandle(path)) {}
  ~XuClient() {
    if (handle_) CloseHandle(handle_);
  }
  int32_t Call(uint32_t selector, bool set, std::vector<uint8_t>* data, const uint8_t* guid = sim::kFirmwareUnitGuid,
               uint32_t node = sim::kFirmwareUnitNode) {
    uint8_t record[32] = {};
    std::memcpy(record, guid, 16);
    const uint32_t flags = set ? 0x10000002u : 0x10000001u;
    std::memcpy(record + 16, &selector, 4);
    std::memcpy(record + 20, &flags, 4);
    std::memcpy(record + 24, &node, 4);
    uint32_t returned = 0;
    int32_t status = -1;
    if (!platform::KsDeviceRequest(handle_, 0x002F0003, record, sizeof(record), data->data(), uint32_t(data->size()),
                                   &returned, &status))
      return -2;
    return status;
  }
  bool Ok() const { return handle_ != nullptr; }

 private:
  void* handle_;
};

std::vector<uint8_t> Bytes(std::initializer_list<int> list, size_t size) {
  std::vector<uint8_t> v(size);
  size_t i = 0;
  for (int b : list) v[i++] = uint8_t(b);
  return v;
}

class FirmwareTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::ResetMachine();
    dir_ = fs::temp_directory_path() / ("qcam_fw_" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    options_.vendorId = 0x1B3F;
    options_.productId = 0x9710;
    options_.stateDir = dir_.string();
    options_.restartMs = 5;
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
  sim::GenericDeviceOptions options_;
};

TEST_F(FirmwareTest, PacketDialectErasesWritesReadsAndKeepsFlashPhysics) {
  sim::GenericCameraDevice camera(options_);
  ASSERT_TRUE(camera.Plug());
  EXPECT_EQ(sim::ImageFault(camera.Flash().Bytes()), "");
  XuClient xu(camera.Info().interfacePath);
  ASSERT_TRUE(xu.Ok());

  std::vector<uint8_t> info(1024);
  ASSERT_EQ(xu.Call(0, false, &info), 0);
  EXPECT_EQ(info[16], 16);

  // Register read-back: the culling code answers only once armed with 3.
  auto select = Bytes({1, 0xE3, 0x34, 0, 0}, 5), value = std::vector<uint8_t>(9);
  ASSERT_EQ(xu.Call(2, true, &select), 0);
  ASSERT_EQ(xu.Call(4, false, &value), 0);
  EXPECT_EQ(value[3], 0);
  auto arm = Bytes({1, 0xE3, 0x34, 3}, 9);
  ASSERT_EQ(xu.Call(4, true, &arm), 0);
  ASSERT_EQ(xu.Call(4, false, &value), 0);
  EXPECT_EQ(value[3], 3);

  // Writing onto unerased flash only clears bits.
  const uint8_t before = camera.Flash().Bytes()[0x2000];
  auto write = Bytes({1, 1, 0x00, 0x20, 0x5A}, 64);
  ASSERT_EQ(xu.Call(9, true, &write), 0);
  EXPECT_EQ(camera.Flash().Bytes()[0x2000], before & 0x5A);
  auto erase = Bytes({2, 0x00, 0x20, 0}, 16);
  ASSERT_EQ(xu.Call(14, true, &erase), 0);
  EXPECT_EQ(camera.Flash().Bytes()[0x2FFF], 0xFF);
  ASSERT_EQ(xu.Call(9, true, &write), 0);
  auto address = Bytes({1, 0xFC, 0x1F, 0, 0}, 5), window = std::vector<uint8_t>(64);
  ASSERT_EQ(xu.Call(16, true, &address), 0);
  ASSERT_EQ(xu.Call(15, false, &window), 0);
  EXPECT_EQ(window[4 + 4], 0x5A);   // 0x2000
  EXPECT_EQ(window[4 + 5], 0xFF);   // 0x2001, erased

  // Malformed records stall; another set or node is not the unit.
  auto shortWrite = Bytes({1, 33, 0, 0}, 64);
  EXPECT_NE(xu.Call(9, true, &shortWrite), 0);
  auto badLength = std::vector<uint8_t>(8);
  EXPECT_NE(xu.Call(4, false, &badLength), 0);
  const uint8_t otherGuid[16] = {1};
  EXPECT_EQ(xu.Call(0, false, &info, otherGuid), int32_t(0xC0000225));
  EXPECT_EQ(xu.Call(0, false, &info, sim::kFirmwareUnitGuid, 5), int32_t(0xC0000225));
}

TEST_F(FirmwareTest, LegacyDialectUsesDownloadModeAndDeviceWritePointer) {
  options_.firmware.legacyFirmware = true;
  sim::GenericCameraDevice camera(options_);
  ASSERT_TRUE(camera.Plug());
  XuClient xu(camera.Info().interfacePath);
  std::vector<uint8_t> info(1024);
  ASSERT_EQ(xu.Call(0, false, &info), 0);
  EXPECT_EQ(info[16], 15);
  std::vector<uint8_t> version(4);
  EXPECT_NE(xu.Call(12, false, &version), 0);

  auto reg = Bytes({0x0B, 0x44}, 2), byte = std::vector<uint8_t>(1);
  ASSERT_EQ(xu.Call(2, true, &reg), 0);
  ASSERT_EQ(xu.Call(3, false, &byte), 0);
  EXPECT_EQ(byte[0], 11);

  std::vector<uint8_t> chunk(16, 0xA5);
  EXPECT_NE(xu.Call(7, true, &chunk), 0) << "writes need download mode";
  auto download = Bytes({1}, 1);
  ASSERT_EQ(xu.Call(6, true, &download), 0);
  ASSERT_EQ(xu.Call(7, true, &chunk), 0);
  chunk.assign(16, 0x3C);
  ASSERT_EQ(xu.Call(7, true, &chunk), 0);
  auto at = Bytes({0x0F, 0x00}, 2), read = std::vector<uint8_t>(2);
  ASSERT_EQ(xu.Call(9, true, &at), 0);
  ASSERT_EQ(xu.Call(10, false, &read), 0);
  EXPECT_EQ(read[0], 0xA5);
  EXPECT_EQ(read[1], 0x3C);
  EXPECT_EQ(camera.Flash().Bytes()[0x20], 0xFF);
}

TEST_F(FirmwareTest, RestartBootsNewFlashAndBrokenImageStaysInBootRom) {
  uint32_t factoryVersion = 0;
  {
    sim::GenericCameraDevice camera(options_);
    ASSERT_TRUE(camera.Plug());
    factoryVersion = camera.Firmware().Version();
    EXPECT_NE(factoryVersion, 0u);
    XuClient xu(camera.Info().interfacePath);
    // Erase the first sector (the firmware's header), then restart.
    auto erase = Bytes({2, 0x00, 0x00, 0}, 16);
    ASSERT_EQ(xu.Call(14, true, &erase), 0);
    auto restart = Bytes({1, 0x0F, 0xE0, 1}, 9);
    ASSERT_EQ(xu.Call(4, true, &restart), 0);
    std::vector<uint8_t> info(1024);
    EXPECT_EQ(xu.Call(0, false, &info), int32_t(0xC000009D)) << "off the bus while restarting";
    camera.WaitRestart();
    ASSERT_TRUE(camera.Plugged());
    EXPECT_EQ(camera.Firmware().Mode(), sim::FirmwareMode::kBootRom);
    XuClient again(camera.Info().interfacePath);
    ASSERT_EQ(again.Call(0, false, &info), 0);
    EXPECT_EQ(info[16], 16) << "the boot ROM speaks the packet dialect";
    std::vector<uint8_t> version(4, 0xEE);
    ASSERT_EQ(again.Call(12, false, &version), 0);
    EXPECT_EQ(version, std::vector<uint8_t>(4, 0));
  }
  // The erased sector survived unplugging, even with legacy firmware asked for.
  options_.firmware.legacyFirmware = true;
  sim::GenericCameraDevice camera(options_);
  ASSERT_TRUE(camera.Plug());
  EXPECT_EQ(camera.Flash().Bytes()[0x0123], 0xFF);
  EXPECT_EQ(camera.Firmware().Mode(), sim::FirmwareMode::kBootRom);
}

TEST(CameraFlashTest, FactoryImageCarriesDeviceBytesAndChecksums) {
  const std::vector<uint8_t> a = sim::FactoryImage(1), b = sim::FactoryImage(2);
  EXPECT_EQ(sim::ImageFault(a), "");
  EXPECT_EQ(a[sim::kImageCompatOffset], 0x20);
  EXPECT_EQ(sim::RegionSum(a.data(), 0xA000, 0xC000), 0);
  EXPECT_EQ(sim::RegionSum(a.data(), 0xC000, 0xD000), 0);
  EXPECT_FALSE(std::equal(a.begin() + 0xB010, a.begin() + 0xB100, b.begin() + 0xB010));
  EXPECT_FALSE(std::equal(a.begin() + 0xFF00, a.begin() + 0xFF20, b.begin() + 0xFF00));
  EXPECT_TRUE(std::equal(a.begin(), a.begin() + 0xB010, b.begin()));
  std::vector<uint8_t> cut = a;
  cut[0xFFF9] = 0xFF;
  EXPECT_NE(sim::ImageFault(cut), "");
  sim::CameraFlash flash("", 1);
  EXPECT_FALSE(flash.Program(0xFFF0, a.data(), 17));
  EXPECT_FALSE(flash.EraseSector(0x10000));
}

}  // namespace
