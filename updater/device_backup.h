// A copy of a camera's own flash bytes (0xB010-0xB0FF and the top block at
// 0xFF00) kept on the PC before its flash is erased. An update that is cut
// off leaves the flash erased or half written; the next update finds the
// chip in its boot ROM (version 0) and takes the device's bytes from this
// copy instead of from the damaged flash, so that none of them is lost.
#pragma once

#include <windows.h>

#include <string>

const DWORD DEVICE_AREA_SIZE = 0xF0;
const DWORD DEVICE_TOP_SIZE = 0x20;

struct DeviceAreas {
  BYTE area[DEVICE_AREA_SIZE];  // 0xB010-0xB0FF
  BYTE top[DEVICE_TOP_SIZE];    // 0xFF00-0xFF1F
};

// "C:\QCAMLDR_vid_1b3f&pid_9710_6&1a2b3c4d&0&0000.bak" for a device's display
// name: one copy per camera and USB port.
std::string DeviceBackupPath(const std::string& displayName);
bool SaveDeviceBackup(const std::string& path, const DeviceAreas& areas);
// False when there is no copy or it is damaged (wrong size or magic).
bool LoadDeviceBackup(const std::string& path, DeviceAreas* areas);
