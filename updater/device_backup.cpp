// The device bytes' copy on the PC.
#include "updater/device_backup.h"

#include <cstring>

#include "updater/device_pattern.h"

namespace {

const char BACKUP_MAGIC[4] = {'Q', 'D', 'B', '1'};
const DWORD BACKUP_SIZE = sizeof(BACKUP_MAGIC) + DEVICE_AREA_SIZE + DEVICE_TOP_SIZE;

}  // namespace

std::string DeviceBackupPath(const std::string& displayName) {
  // The device part of the path: "vid_1b3f&pid_9710&mi_00#6&1a2b3c4d&0&0000".
  const std::string lower = LowerText(displayName);
  const size_t vid = lower.find("vid_");
  std::string key = vid == std::string::npos ? lower : lower.substr(vid);
  const size_t end = key.find("#{");
  if (end != std::string::npos) key.erase(end);
  std::string name;
  for (char c : key) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '&' || c == '_';
    name.push_back(plain ? c : '_');
  }
  return "C:\\QCAMLDR_" + name.substr(0, 96) + ".bak";
}

bool SaveDeviceBackup(const std::string& path, const DeviceAreas& areas) {
  BYTE record[BACKUP_SIZE];
  std::memcpy(record, BACKUP_MAGIC, sizeof(BACKUP_MAGIC));
  std::memcpy(record + sizeof(BACKUP_MAGIC), areas.area, DEVICE_AREA_SIZE);
  std::memcpy(record + sizeof(BACKUP_MAGIC) + DEVICE_AREA_SIZE, areas.top, DEVICE_TOP_SIZE);
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const BOOL ok = WriteFile(file, record, BACKUP_SIZE, &written, NULL);
  CloseHandle(file);
  return ok && written == BACKUP_SIZE;
}

bool LoadDeviceBackup(const std::string& path, DeviceAreas* areas) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE) return false;
  BYTE record[BACKUP_SIZE + 1];
  DWORD read = 0;
  const BOOL ok = ReadFile(file, record, sizeof(record), &read, NULL);
  CloseHandle(file);
  if (!ok || read != BACKUP_SIZE || std::memcmp(record, BACKUP_MAGIC, sizeof(BACKUP_MAGIC)) != 0) return false;
  std::memcpy(areas->area, record + sizeof(BACKUP_MAGIC), DEVICE_AREA_SIZE);
  std::memcpy(areas->top, record + sizeof(BACKUP_MAGIC) + DEVICE_AREA_SIZE, DEVICE_TOP_SIZE);
  return true;
}
