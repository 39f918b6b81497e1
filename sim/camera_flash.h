// The 64 KiB flash of the camera's bridge chip and the layout of the
// firmware image it holds. The flash behaves as NOR flash does: erasing a
// 4 KiB sector sets every byte to 0xFF, programming can only clear bits, so
// a byte written onto an unerased byte reads back as the AND of both. The
// flash survives unplugging: it lives in a file of the PC root's camera/
// folder and is written back whenever the camera restarts or goes away.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

constexpr uint32_t kFlashSize = 0x10000;
constexpr uint32_t kFlashSectorSize = 0x1000;

// Firmware image layout. The firmware is opaque to everyone but the chip;
// these are the few fields the boot ROM and the updater look at.
constexpr uint32_t kImageMagicOffset = 0x10;      // "QBFW"
constexpr uint32_t kImageCompatOffset = 0x16;     // compatibility code (0x20 on this chip family)
constexpr uint32_t kImageVersionOffset = 0x18;    // version bytes b0 b1 b2 b3
constexpr uint32_t kImageTrailerOffset = 0xFFF8;  // "QBFW-END": the last bytes written by an update
constexpr uint32_t kDeviceAreaBegin = 0xB010;     // device-specific bytes (calibration, serial)
constexpr uint32_t kDeviceAreaEnd = 0xB100;
constexpr uint32_t kTopBlockBegin = 0xFF00;       // device-specific top block (USB identity)
constexpr uint32_t kTopBlockEnd = 0xFF20;
// The two checksummed regions: each sums to 0 modulo 256, its last byte
// being the checksum byte.
constexpr uint32_t kRegionABegin = 0xA000, kRegionAEnd = 0xC000;
constexpr uint32_t kRegionCBegin = 0xC000, kRegionCEnd = 0xD000;

// The low byte of the sum of image[begin, end).
uint8_t RegionSum(const uint8_t* image, uint32_t begin, uint32_t end);
// Why an image cannot boot ("" when it can): a missing magic or trailer, or
// a region that does not sum to 0.
std::string ImageFault(const std::vector<uint8_t>& image);
// The version word b0 << 24 | b1 << 16 | b2 << 8 | b3 of an image.
uint32_t ImageVersion(const std::vector<uint8_t>& image);
// The firmware the camera leaves the factory with, with device-specific
// bytes made from `deviceSeed` in both device areas and both checksums set.
std::vector<uint8_t> FactoryImage(uint32_t deviceSeed);

class CameraFlash {
 public:
  // The flash kept in `folder`/flash.bin; a missing or damaged (wrong-sized)
  // file gives the factory image. An empty folder keeps the flash in memory.
  CameraFlash(const std::string& folder, uint32_t deviceSeed);

  const std::vector<uint8_t>& Bytes() const { return bytes_; }
  // Sets the sector holding `address` to 0xFF; false past the end.
  bool EraseSector(uint32_t address);
  // ANDs `data` into the flash from `address`; false (nothing written) when
  // it would run past the end.
  bool Program(uint32_t address, const uint8_t* data, size_t size);
  // Copies flash bytes; bytes past the end read as 0xFF.
  void Read(uint32_t address, uint8_t* out, size_t size) const;
  // Writes the flash back to its file (temporary file, then rename); true
  // for a memory-only flash.
  bool Save(std::string* error) const;
  std::string FilePath() const;

 private:
  std::string folder_;
  std::vector<uint8_t> bytes_;
};

}  // namespace sim
