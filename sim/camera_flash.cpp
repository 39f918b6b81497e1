// The bridge chip's flash and its firmware image.
#include "sim/camera_flash.h"

#include <cstring>
#include <filesystem>
#include <fstream>

namespace sim {
namespace {

namespace fs = std::filesystem;

constexpr char kMagic[4] = {'Q', 'B', 'F', 'W'};
constexpr char kTrailer[8] = {'Q', 'B', 'F', 'W', '-', 'E', 'N', 'D'};
// The factory firmware: 2010-09-15, release 1.0.
constexpr uint8_t kFactoryVersion[4] = {10, 0x09, 15, 0x10};

// xorshift32: opaque but repeatable firmware bytes.
uint32_t Next(uint32_t* state) {
  uint32_t x = *state;
  x ^= x << 13;
  x ^= x >> 17;
  x ^= x << 5;
  return *state = x;
}

void FixChecksum(std::vector<uint8_t>* image, uint32_t begin, uint32_t end) {
  (*image)[end - 1] = 0;
  (*image)[end - 1] = uint8_t(0x100 - RegionSum(image->data(), begin, end));
}

}  // namespace

uint8_t RegionSum(const uint8_t* image, uint32_t begin, uint32_t end) {
  uint32_t sum = 0;
  for (uint32_t i = begin; i < end; ++i) sum += image[i];
  return uint8_t(sum);
}

std::string ImageFault(const std::vector<uint8_t>& image) {
  if (image.size() != kFlashSize) return "not a whole flash";
  if (std::memcmp(&image[kImageMagicOffset], kMagic, sizeof(kMagic)) != 0) return "no firmware magic";
  if (std::memcmp(&image[kImageTrailerOffset], kTrailer, sizeof(kTrailer)) != 0) return "no firmware trailer";
  if (RegionSum(image.data(), kRegionABegin, kRegionAEnd) != 0) return "checksum of 0xA000-0xBFFF is wrong";
  if (RegionSum(image.data(), kRegionCBegin, kRegionCEnd) != 0) return "checksum of 0xC000-0xCFFF is wrong";
  return "";
}

uint32_t ImageVersion(const std::vector<uint8_t>& image) {
  if (image.size() < kImageVersionOffset + 4) return 0;
  const uint8_t* v = &image[kImageVersionOffset];
  return uint32_t(v[0]) << 24 | uint32_t(v[1]) << 16 | uint32_t(v[2]) << 8 | v[3];
}

std::vector<uint8_t> FactoryImage(uint32_t deviceSeed) {
  std::vector<uint8_t> image(kFlashSize);
  uint32_t state = 0x51C0FFEEu;
  for (uint8_t& b : image) b = uint8_t(Next(&state) >> 11);
  std::memcpy(&image[kImageMagicOffset], kMagic, sizeof(kMagic));
  image[kImageCompatOffset] = 0x20;
  std::memcpy(&image[kImageVersionOffset], kFactoryVersion, sizeof(kFactoryVersion));
  std::memcpy(&image[kImageTrailerOffset], kTrailer, sizeof(kTrailer));
  uint32_t device = deviceSeed | 1u;
  for (uint32_t i = kDeviceAreaBegin; i < kDeviceAreaEnd; ++i) image[i] = uint8_t(Next(&device) >> 7);
  for (uint32_t i = kTopBlockBegin; i < kTopBlockEnd; ++i) image[i] = uint8_t(Next(&device) >> 7);
  FixChecksum(&image, kRegionABegin, kRegionAEnd);
  FixChecksum(&image, kRegionCBegin, kRegionCEnd);
  return image;
}

CameraFlash::CameraFlash(const std::string& folder, uint32_t deviceSeed) : folder_(folder) {
  if (!folder_.empty()) {
    std::ifstream in(FilePath(), std::ios::binary);
    std::vector<uint8_t> bytes(kFlashSize + 1);
    in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size()));
    if (in.gcount() == std::streamsize(kFlashSize)) {
      bytes.resize(kFlashSize);
      bytes_ = std::move(bytes);
      return;
    }
  }
  bytes_ = FactoryImage(deviceSeed);
}

bool CameraFlash::EraseSector(uint32_t address) {
  if (address >= kFlashSize) return false;
  const uint32_t begin = address & ~(kFlashSectorSize - 1);
  std::memset(&bytes_[begin], 0xFF, kFlashSectorSize);
  return true;
}

bool CameraFlash::Program(uint32_t address, const uint8_t* data, size_t size) {
  if (address > kFlashSize || size > kFlashSize - address) return false;
  for (size_t i = 0; i < size; ++i) bytes_[address + i] &= data[i];
  return true;
}

void CameraFlash::Read(uint32_t address, uint8_t* out, size_t size) const {
  for (size_t i = 0; i < size; ++i) out[i] = address + i < kFlashSize ? bytes_[address + i] : 0xFF;
}

std::string CameraFlash::FilePath() const { return folder_.empty() ? "" : (fs::path(folder_) / "flash.bin").string(); }

bool CameraFlash::Save(std::string* error) const {
  if (folder_.empty()) return true;
  std::error_code ec;
  fs::create_directories(folder_, ec);
  const std::string path = FilePath(), temp = path + ".tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes_.data()), std::streamsize(bytes_.size()));
    if (!out.good()) {
      *error = "cannot write " + temp;
      return false;
    }
  }
  fs::rename(temp, path, ec);
  if (ec) {
    *error = "cannot rename " + temp + ": " + ec.message();
    return false;
  }
  return true;
}

}  // namespace sim
