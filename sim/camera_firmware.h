// The firmware side of the camera's bridge chip as the firmware updater
// meets it: the flash-programming extension unit (KS topology node 4) with
// its information block, chip registers, sector erase, download mode, flash
// writes and reads, the version request and the restart register. The
// firmware speaks one of two dialects: the packet dialect (fixed-size
// records that carry a command byte and an address) or the older legacy
// dialect (separate address and data selectors, a device-side write
// pointer). A flash that holds no bootable image leaves the chip in its boot
// ROM, which speaks the packet dialect and reports version 0 ("unknown"),
// so that an interrupted update can be run again.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "sim/camera_flash.h"

namespace sim {

// The extension unit's property set: {C987A729-59D3-4569-8467-FF0849FC19E8}.
constexpr uint8_t kFirmwareUnitGuid[16] = {0x29, 0xA7, 0x87, 0xC9, 0xD3, 0x59, 0x69, 0x45,
                                           0x84, 0x67, 0xFF, 0x08, 0x49, 0xFC, 0x19, 0xE8};
constexpr uint32_t kFirmwareUnitNode = 4;
constexpr uint32_t kInformationBlockSize = 1024;
// Byte of the information block that names the dialect.
constexpr uint32_t kInformationDialectByte = 16;
constexpr uint8_t kPacketDialectLevel = 16;
constexpr uint8_t kLegacyDialectLevel = 15;

// Chip registers with a meaning for the update.
constexpr uint16_t kRegCullingFunction = 0x34E3;
constexpr uint16_t kRegChipFamily = 0x440B;
constexpr uint16_t kRegBoardStraps = 0xF013;  // bit 2: sensor board variant
constexpr uint16_t kRegWriteProtectGpio = 0xE00C;
constexpr uint16_t kRegWriteProtectRestore = 0xE00D;
constexpr uint16_t kRegRestart = 0xE00F;

struct FirmwareOptions {
  bool legacyFirmware = false;   // the image in flash speaks the legacy dialect
  uint8_t chipFamily = 11;       // register 0x440B
  uint8_t cullingFunction = 3;   // what 0x34E3 reads back once 3 was written
  uint8_t boardStraps = 0x00;    // register 0xF013
  // A worn sector whose erase the chip refuses (-1: none), for tests.
  int32_t failingEraseSector = -1;
};

enum class FirmwareMode { kPacket, kLegacy, kBootRom };

class CameraFirmware {
 public:
  CameraFirmware(CameraFlash* flash, const FirmwareOptions& options);

  // Starts the chip from its flash, as at power-on or after a restart:
  // a bootable image runs in its dialect, anything else stays in the boot
  // ROM. Selections, download mode and the restart request are cleared.
  void Boot();
  FirmwareMode Mode() const { return mode_; }
  // The version word the chip reports (0 in the boot ROM).
  uint32_t Version() const { return version_; }

  // One extension-unit request: control selector, set or get, the data
  // buffer and its length. False when the chip stalls it (unknown selector,
  // wrong length, a record the firmware refuses); *returned is the number
  // of bytes a get filled.
  bool Request(uint32_t selector, bool set, uint8_t* data, uint32_t length, uint32_t* returned);

  // Register 0xE00F was written with 1 since the last boot.
  bool RestartRequested() const { return restartRequested_; }
  // Number of flash-programming requests since the last boot.
  uint32_t WritePackets() const { return writePackets_; }
  uint8_t Register(uint16_t address) const;

 private:
  bool PacketRequest(uint32_t selector, bool set, uint8_t* data, uint32_t length, uint32_t* returned);
  bool LegacyRequest(uint32_t selector, bool set, uint8_t* data, uint32_t length, uint32_t* returned);
  void FillInformation(uint8_t* data) const;
  void WriteRegister(uint16_t address, uint8_t value);
  uint8_t ReadRegister(uint16_t address) const;

  CameraFlash* flash_;
  FirmwareOptions options_;
  FirmwareMode mode_ = FirmwareMode::kBootRom;
  uint32_t version_ = 0;
  std::map<uint16_t, uint8_t> registers_;
  uint16_t registerAddress_ = 0;
  uint16_t flashAddress_ = 0;
  bool legacyFlashSelected_ = false;  // get 3 reads flash (after set 16), not a register
  bool downloadMode_ = false;
  uint32_t writeAddress_ = 0;
  bool restartRequested_ = false;
  uint32_t writePackets_ = 0;
};

}  // namespace sim
