// The firmware image the updater writes: one of the four "Binary"
// resources, loaded into a buffer of exactly the flash's size, and the
// image fields the update reads or patches.
#pragma once

#include <windows.h>

#include "updater/update_view.h"

const DWORD FLASH_SIZE = 0x10000;
const DWORD FLASH_SECTOR_SIZE = 0x1000;
const DWORD IMAGE_COMPAT_OFFSET = 0x16;
const DWORD DEVICE_AREA_BEGIN = 0xB010;
const DWORD DEVICE_AREA_END = 0xB100;
const DWORD DEVICE_AREA_READ_BEGIN = 0xB000;
const DWORD DEVICE_AREA_READ_END = 0xC000;
const DWORD TOP_BLOCK_OFFSET = 0xFF00;
const DWORD REGION_A_BEGIN = 0xA000, REGION_A_END = 0xC000;
const DWORD REGION_C_BEGIN = 0xC000, REGION_C_END = 0xD000;

class CFlashImage {
 public:
  CFlashImage();
  // Loads "Binary" resource `id` of `module`. A missing resource shows
  // "Invalid binary file"; one that cannot be loaded, or is smaller than
  // the flash, shows "Load bin failed". On failure the buffer keeps what
  // it held.
  bool LoadImage(HMODULE module, WORD id, CUpdateView* view);

  BYTE* Data() { return data_; }
  const BYTE* Data() const { return data_; }
  DWORD Size() const { return size_; }
  // Sets the last byte of [begin, end) so that the region sums to 0.
  void FixRegionChecksum(DWORD begin, DWORD end);
  // The low byte of the sum of [begin, end).
  BYTE RegionSum(DWORD begin, DWORD end) const;

 private:
  BYTE data_[FLASH_SIZE];
  DWORD size_ = 0;
};
