// The update sequence: compatibility, the device's own areas, checksums,
// erase, write, read-back and restart.
#include "updater/updater_core.h"

#include "updater/device_backup.h"

#include <cstdio>
#include <cstring>

namespace {

const WORD REG_CULLING_FUNCTION = 0x34E3;
const WORD REG_CHIP_FAMILY = 0x440B;
const WORD REG_WP_GPIO = 0xE00C;
const WORD REG_WP_RESTORE = 0xE00D;
const WORD REG_RESTART = 0xE00F;
const ULONG SEL_DOWNLOAD_MODE = 6;
const ULONG SEL_LEGACY_WRITE = 7;
const ULONG SEL_PACKET_WRITE = 9;
const ULONG SEL_LEGACY_READ_ADDRESS = 9;
const ULONG SEL_LEGACY_READ = 10;
const ULONG SEL_ERASE = 14;
const char* const APP_CAPTION = "QCAMLDR";

std::string Format(const char* format, unsigned a, unsigned b) {
  char text[96];
  std::snprintf(text, sizeof(text), format, a, b);
  return text;
}

}  // namespace

// The packet dialect keeps the device's own bytes at 0xB010-0xB0FF, so they
// are read before anything is erased; a device area that cannot be read
// stops the update, as erasing would lose it.
bool CUpdaterCore::PrepareAndErase() {
  if (xu_.Dialect() == LegacyProtocol) {
    const BYTE enter = 0x01;
    return xu_.Set(SEL_DOWNLOAD_MODE, 1, &enter) == 0;
  }
  BYTE area[DEVICE_AREA_READ_END - DEVICE_AREA_READ_BEGIN];
  bool readOk = true;
  for (DWORD at = DEVICE_AREA_READ_BEGIN; at < DEVICE_AREA_READ_END; at += XU_READ_WINDOW) {
    const int n = int(DEVICE_AREA_READ_END - at < DWORD(XU_READ_WINDOW) ? DEVICE_AREA_READ_END - at : XU_READ_WINDOW);
    if (xu_.ReadBlock(WORD(at), n, area + (at - DEVICE_AREA_READ_BEGIN)) != 0) readOk = false;
  }
  if (!readOk) return false;
  DeviceAreas device;
  std::memcpy(device.area, area + (DEVICE_AREA_BEGIN - DEVICE_AREA_READ_BEGIN), DEVICE_AREA_SIZE);
  std::memcpy(device.top, xu_.TopBlock(), DEVICE_TOP_SIZE);
  KeepDeviceAreas(&device);
  std::memcpy(image_.Data() + DEVICE_AREA_BEGIN, device.area, DEVICE_AREA_SIZE);
  xu_.SetTopBlock(device.top);
  image_.FixRegionChecksum(REGION_A_BEGIN, REGION_A_END);
  image_.FixRegionChecksum(REGION_C_BEGIN, REGION_C_END);
  // Every sector is erased; one that failed would leave old bits under the
  // new image, so any failure stops the update before the first write.
  bool erased = true;
  for (DWORD sector = 0; sector < FLASH_SIZE; sector += FLASH_SECTOR_SIZE) {
    BYTE record[16] = {0x02, LOBYTE(WORD(sector)), HIBYTE(WORD(sector)), 0x00};
    if (xu_.Set(SEL_ERASE, sizeof(record), record) != 0) erased = false;
  }
  return erased;
}

// A chip in its boot ROM (version 0) holds no whole image: an earlier update
// was cut off, and its own bytes are taken from the copy made then. A chip
// with a working image has them in flash, and they are copied before erasing.
void CUpdaterCore::KeepDeviceAreas(DeviceAreas* device) {
  const std::string path = DeviceBackupPath(device_.DisplayName());
  DWORD version = 0;
  if (xu_.ReadVersion(&version) == 0 && version == 0) {
    if (LoadDeviceBackup(path, device)) view_->Log("UVC: device data restored from " + path);
    return;
  }
  if (!SaveDeviceBackup(path, *device)) view_->Log("UVC: cannot keep a copy of the device data in " + path);
}

bool CUpdaterCore::WriteImage() {
  view_->SetProgressBar(30);
  const bool packet = xu_.Dialect() == PacketProtocol;
  const DWORD size = image_.Size() ? image_.Size() : FLASH_SIZE;
  DWORD offset = 0, remaining = FLASH_SIZE;
  while (remaining > 0) {
    const DWORD chunk = remaining < DWORD(packet ? 32 : 16) ? remaining : DWORD(packet ? 32 : 16);
    remaining -= chunk;
    int result;
    if (packet) {
      BYTE record[64] = {0x01, BYTE(chunk), LOBYTE(WORD(offset)), HIBYTE(WORD(offset))};
      const BYTE* data = offset == TOP_BLOCK_OFFSET ? xu_.TopBlock() : image_.Data() + offset;
      std::memcpy(record + 4, data, chunk);
      result = xu_.Set(SEL_PACKET_WRITE, sizeof(record), record);
    } else {
      result = xu_.Set(SEL_LEGACY_WRITE, 16, image_.Data() + offset);
    }
    if (result != 0) {
      view_->Message("Fail to Download code!", APP_CAPTION, MB_OK);
      view_->SetProgressBar(0);
      return false;
    }
    view_->SetProgressBar(int(30 + offset * 40 / size));
    offset += packet ? 32 : chunk;
    if (remaining > 0) {
      view_->SetProgressText(Format("%d of %d bytes", offset, FLASH_SIZE));
      view_->Repaint();
    }
  }
  return true;
}

// Reads the whole flash back and compares it with what was sent: the image,
// with the saved top block in the packet dialect.
bool CUpdaterCore::VerifyFlash() {
  const bool packet = xu_.Dialect() == PacketProtocol;
  BYTE expected[FLASH_SIZE];
  std::memcpy(expected, image_.Data(), FLASH_SIZE);
  if (packet) std::memcpy(expected + TOP_BLOCK_OFFSET, xu_.TopBlock(), XU_TOP_BLOCK_SIZE);
  const DWORD step = packet ? DWORD(XU_READ_WINDOW) : 16;
  for (DWORD at = 0; at < FLASH_SIZE; at += step) {
    const DWORD n = FLASH_SIZE - at < step ? FLASH_SIZE - at : step;
    BYTE read[64] = {};
    int result;
    if (packet) {
      result = xu_.ReadBlock(WORD(at), int(n), read);
    } else {
      const BYTE address[2] = {LOBYTE(WORD(at)), HIBYTE(WORD(at))};
      result = xu_.Set(SEL_LEGACY_READ_ADDRESS, 2, address);
      if (result == 0) result = xu_.Get(SEL_LEGACY_READ, n, read);
    }
    for (DWORD i = 0; i < n; ++i) {
      if (result != 0 || read[i] != expected[at + i]) {
        view_->Log(Format("UVC: Check Flash Fail at 0x%04X (read 0x%02X)", at + i, read[i]));
        view_->Message(result != 0 ? Format("Flash read-back failed at 0x%04X (%u bytes)", at, n)
                                   : Format("Flash differs from the image at 0x%04X (read 0x%02X)", at + i, read[i]),
                       APP_CAPTION, MB_OK | MB_ICONERROR);
        return false;
      }
    }
  }
  return true;
}

void CUpdaterCore::Restart(const UpdateOptions& options) {
  view_->PumpOneMessage();
  xu_.WriteRegister(REG_RESTART, 1);
  view_->Wait(200);
  restartedDevice_ = true;
  if (!options.verify) {
    xu_.WriteRegister(REG_RESTART, 1);
    view_->Wait(200);
  }
  if (writeProtect_ && options.wpRestore) {
    xu_.WriteRegister(REG_WP_RESTORE, 0);
    view_->Wait(200);
  }
}

UpdateOutcome CUpdaterCore::RunUpdate(const UpdateOptions& options) {
  view_->PumpOneMessage();
  view_->SetStatusText("Upgrading in progress please wait...");
  view_->SetProgressText("");
  view_->Repaint();

  std::string displayName = device_.DisplayName(), friendlyName = device_.FriendlyName();
  if (device_.IsOpen()) {
    device_.ReleaseGraph();
  } else if (!FindFirstMatch(&displayName, &friendlyName)) {
    view_->Message("Can not find device", APP_CAPTION, MB_OK);
    return UpdateOutcome::NotFound;
  }
  device_.Open(displayName, friendlyName);

  xu_.UseConfiguredGuid();
  if (!xu_.HasControl()) return UpdateOutcome::Stopped;
  BYTE info[XU_INFO_SIZE] = {};
  if (!xu_.Probe(info)) {
    view_->Message("2 Wrong XU GUID!", APP_CAPTION, MB_OK);
    return UpdateOutcome::Stopped;
  }
  xu_.SetDialect(CXuChannel::DialectOf(info));

  if (xu_.WriteRegister(REG_CULLING_FUNCTION, 3) != 0) return UpdateOutcome::NotFound;
  const int culling = xu_.ReadRegister(REG_CULLING_FUNCTION);
  if (culling < 0) return UpdateOutcome::NotFound;
  const int family = xu_.ReadRegister(REG_CHIP_FAMILY);
  if (family < 0) return UpdateOutcome::NotFound;
  const BYTE code = image_.Data()[IMAGE_COMPAT_OFFSET];
  const bool fits = family == 11 ? (culling == 3 ? code == 0x20 : code == 0xFF) : code == 0x23;
  bool done = true;
  if (!fits) {
    if (family == 11) {
      view_->Message("1)Firmware is not match!", APP_CAPTION, MB_OK);
      view_->Message(Format("CullingFunc:%x, ISPCode[0x0016]:%x", unsigned(culling), code), APP_CAPTION, MB_OK);
    } else {
      view_->Message("2)Firmware is not match!", APP_CAPTION, MB_OK);
    }
  } else {
    done = false;
  }

  DWORD written = 0;
  if (!done && !options.program) view_->SetProgressBar(80);
  if (!done && options.program) {
    if (writeProtect_ && xu_.WriteRegister(REG_WP_GPIO, gpio_) != 0) {
      view_->Message("Wrong WriteProtect Pin!", APP_CAPTION, MB_OK);
      return UpdateOutcome::NotFound;
    }
    if (!PrepareAndErase()) {
      view_->Log("UVC: fail to change mode!\nUVC: fail to load code!");
      view_->SetProgressBar(0);
      done = true;
    } else if (options.write) {
      if (!WriteImage()) return UpdateOutcome::Stopped;
      written = FLASH_SIZE;
    }
  }
  if (!done) {
    if (options.verify) {
      view_->SetProgressText(Format("%d of %d bytes  (Verify...)", written, FLASH_SIZE));
      view_->Log("UVC: Check Flash Start...");
      view_->Repaint();
      if (!VerifyFlash()) return UpdateOutcome::Stopped;
      view_->Log(" ");
      view_->Log("UVC: Check Flash Pass ~");
      view_->Log(" ");
    }
    if (options.dump) WriteFlashDump(FLASH_SIZE);
    view_->SetProgressBar(100);
    view_->Log("UVC: completed to download code.");
    view_->SetStatusText("Firmware upgrading successfully done!");
    view_->SetProgressText("Press \"Close\" to upgrade widnows driver for webcam.");
    view_->Repaint();
    Restart(options);
  }
  device_.Release();
  return UpdateOutcome::Done;
}
