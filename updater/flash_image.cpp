// Loading a firmware image from the program's resources.
#include "updater/flash_image.h"

#include <cstring>

CFlashImage::CFlashImage() { std::memset(data_, 0, sizeof(data_)); }

bool CFlashImage::LoadImage(HMODULE module, WORD id, CUpdateView* view) {
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), "Binary");
  if (!found) {
    view->Message("Invalid binary file", "", MB_OK);
    return false;
  }
  const DWORD size = SizeofResource(module, found);
  HGLOBAL loaded = LoadResource(module, found);
  const void* bytes = loaded ? LockResource(loaded) : NULL;
  // An image shorter than the flash would leave the copy reading past the
  // resource: it is refused like one that cannot be loaded.
  if (!bytes || size < FLASH_SIZE) {
    view->Message("Load bin failed", "", MB_OK);
    return false;
  }
  std::memcpy(data_, bytes, FLASH_SIZE);
  size_ = FLASH_SIZE;
  return true;
}

BYTE CFlashImage::RegionSum(DWORD begin, DWORD end) const {
  DWORD sum = 0;
  for (DWORD i = begin; i < end && i < FLASH_SIZE; ++i) sum += data_[i];
  return BYTE(sum);
}

void CFlashImage::FixRegionChecksum(DWORD begin, DWORD end) {
  data_[end - 1] = 0;
  data_[end - 1] = BYTE(0x100 - RegionSum(begin, end));
}
