// The bridge chip's flash-programming extension unit.
#include "sim/camera_firmware.h"

#include <cstring>

namespace sim {
namespace {

constexpr uint8_t kRecordCommand = 0x01;
constexpr uint8_t kEraseCommand = 0x02;
constexpr uint32_t kPacketWriteMax = 32;
constexpr uint32_t kPacketReadWindow = 60;
constexpr uint32_t kLegacyWriteSize = 16;
constexpr uint32_t kLegacyReadMax = 16;

uint16_t Address(const uint8_t* data) { return uint16_t(data[0] | data[1] << 8); }

}  // namespace

CameraFirmware::CameraFirmware(CameraFlash* flash, const FirmwareOptions& options)
    : flash_(flash), options_(options) {
  Boot();
}

void CameraFirmware::Boot() {
  const bool bootable = ImageFault(flash_->Bytes()).empty();
  mode_ = !bootable ? FirmwareMode::kBootRom : options_.legacyFirmware ? FirmwareMode::kLegacy : FirmwareMode::kPacket;
  version_ = bootable ? ImageVersion(flash_->Bytes()) : 0;
  registers_.clear();
  registerAddress_ = flashAddress_ = 0;
  legacyFlashSelected_ = downloadMode_ = restartRequested_ = false;
  writeAddress_ = writePackets_ = 0;
}

uint8_t CameraFirmware::Register(uint16_t address) const { return ReadRegister(address); }

uint8_t CameraFirmware::ReadRegister(uint16_t address) const {
  switch (address) {
    case kRegChipFamily:
      return options_.chipFamily;
    case kRegBoardStraps:
      return options_.boardStraps;
    case kRegCullingFunction: {
      // The culling logic answers with its function code once it was armed
      // by writing 3.
      auto it = registers_.find(address);
      return it != registers_.end() && it->second == 3 ? options_.cullingFunction : 0;
    }
    default: {
      auto it = registers_.find(address);
      return it == registers_.end() ? 0 : it->second;
    }
  }
}

void CameraFirmware::WriteRegister(uint16_t address, uint8_t value) {
  registers_[address] = value;
  if (address == kRegRestart && value == 1) restartRequested_ = true;
}

void CameraFirmware::FillInformation(uint8_t* data) const {
  std::memset(data, 0, kInformationBlockSize);
  static const char kName[] = "QBRIDGE XU";
  std::memcpy(data, kName, sizeof(kName) - 1);
  data[kInformationDialectByte] = mode_ == FirmwareMode::kLegacy ? kLegacyDialectLevel : kPacketDialectLevel;
  data[17] = mode_ == FirmwareMode::kBootRom ? 1 : 0;  // running from the boot ROM
}

bool CameraFirmware::Request(uint32_t selector, bool set, uint8_t* data, uint32_t length, uint32_t* returned) {
  *returned = 0;
  if (!data && length) return false;
  if (selector == 0) {
    if (set || length != kInformationBlockSize) return false;
    FillInformation(data);
    *returned = length;
    return true;
  }
  const bool ok = mode_ == FirmwareMode::kLegacy ? LegacyRequest(selector, set, data, length, returned)
                                                 : PacketRequest(selector, set, data, length, returned);
  if (ok && set) *returned = 0;
  return ok;
}

bool CameraFirmware::PacketRequest(uint32_t selector, bool set, uint8_t* data, uint32_t length,
                                   uint32_t* returned) {
  switch (selector << 1 | (set ? 1 : 0)) {
    case 2 << 1 | 1:  // select a register for reading
      if (length != 5 || data[0] != kRecordCommand) return false;
      registerAddress_ = Address(data + 1);
      return true;
    case 4 << 1 | 1:  // write a register
      if (length != 9 || data[0] != kRecordCommand) return false;
      WriteRegister(Address(data + 1), data[3]);
      return true;
    case 4 << 1:  // read the selected register
      if (length != 9) return false;
      std::memset(data, 0, length);
      data[0] = kRecordCommand;
      data[1] = uint8_t(registerAddress_);
      data[2] = uint8_t(registerAddress_ >> 8);
      data[3] = ReadRegister(registerAddress_);
      *returned = length;
      return true;
    case 9 << 1 | 1: {  // program up to 32 bytes
      if (length != 64 || data[0] != kRecordCommand || data[1] == 0 || data[1] > kPacketWriteMax) return false;
      ++writePackets_;
      return flash_->Program(Address(data + 2), data + 4, data[1]);
    }
    case 12 << 1:  // version
      if (length != 4) return false;
      data[0] = uint8_t(version_ >> 24);
      data[1] = uint8_t(version_ >> 16);
      data[2] = uint8_t(version_ >> 8);
      data[3] = uint8_t(version_);
      *returned = 4;
      return true;
    case 14 << 1 | 1:  // erase a sector
      if (length != 16 || data[0] != kEraseCommand) return false;
      if (options_.failingEraseSector >= 0 &&
          Address(data + 1) / kFlashSectorSize == uint32_t(options_.failingEraseSector) / kFlashSectorSize)
        return false;
      return flash_->EraseSector(Address(data + 1));
    case 16 << 1 | 1:  // flash read address
      if (length != 5 || data[0] != kRecordCommand) return false;
      flashAddress_ = Address(data + 1);
      return true;
    case 15 << 1:  // flash read window
      if (length != 64) return false;
      data[0] = kRecordCommand;
      data[1] = uint8_t(kPacketReadWindow);
      data[2] = uint8_t(flashAddress_);
      data[3] = uint8_t(flashAddress_ >> 8);
      flash_->Read(flashAddress_, data + 4, kPacketReadWindow);
      *returned = length;
      return true;
    default:
      return false;
  }
}

bool CameraFirmware::LegacyRequest(uint32_t selector, bool set, uint8_t* data, uint32_t length,
                                   uint32_t* returned) {
  switch (selector << 1 | (set ? 1 : 0)) {
    case 2 << 1 | 1:
      if (length != 2) return false;
      registerAddress_ = Address(data);
      legacyFlashSelected_ = false;
      return true;
    case 3 << 1 | 1:
      if (length != 1) return false;
      WriteRegister(registerAddress_, data[0]);
      return true;
    case 3 << 1:
      if (length != 1) return false;
      if (legacyFlashSelected_) flash_->Read(flashAddress_, data, 1);
      else data[0] = ReadRegister(registerAddress_);
      *returned = 1;
      return true;
    case 6 << 1 | 1:  // download mode: the whole flash is erased and written from 0
      if (length != 1 || data[0] != 0x01) return false;
      for (uint32_t a = 0; a < kFlashSize; a += kFlashSectorSize) flash_->EraseSector(a);
      downloadMode_ = true;
      writeAddress_ = 0;
      return true;
    case 7 << 1 | 1:
      if (length != kLegacyWriteSize || !downloadMode_ || writeAddress_ >= kFlashSize) return false;
      ++writePackets_;
      flash_->Program(writeAddress_, data, kLegacyWriteSize);
      writeAddress_ += kLegacyWriteSize;
      return true;
    case 9 << 1 | 1:
    case 16 << 1 | 1:
      if (length != 2) return false;
      flashAddress_ = Address(data);
      legacyFlashSelected_ = selector == 16;
      return true;
    case 10 << 1:
      if (length < 1 || length > kLegacyReadMax) return false;
      flash_->Read(flashAddress_, data, length);
      *returned = length;
      return true;
    default:
      return false;
  }
}

}  // namespace sim
