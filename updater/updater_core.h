// The updater's work behind its dialog: finding the camera among the
// capture devices, detecting its firmware dialect and version and choosing
// the image, and the update sequence itself (compatibility check,
// preservation of the device's own flash areas, checksums, erase, write,
// read-back, restart), with the optional flash dump.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "updater/capture_device.h"
#include "updater/device_pattern.h"
#include "updater/flash_image.h"
#include "updater/settings_profile.h"
#include "updater/update_view.h"
#include "updater/xu_channel.h"

struct UpdateOptions {
  bool program = true;    // check box 1012
  bool write = true;      // 1013
  bool verify = true;     // 1014
  bool dump = false;      // 1015
  bool wpRestore = false; // 1016
};

enum class UpdateOutcome { Done, Stopped, NotFound };
enum DetectMode { DetectAtStart, DetectOnArrival };

class CUpdaterCore {
 public:
  // `module`: where the firmware images are (the program's module).
  CUpdaterCore(CUpdateView* view, HMODULE module);
  ~CUpdaterCore();

  // Forms the device patterns, the configured GUID and the write-protect
  // handling from the settings.
  void ApplySettings(const UpdaterSettings& settings);

  void RefreshDeviceList();
  // Enumerates afresh and gives the first matching device; false if none.
  bool FindFirstMatch(std::string* displayName, std::string* friendlyName);
  void Detect(DetectMode mode);

  UpdateOutcome RunUpdate(const UpdateOptions& options);
  // Writes the flash dump file over `count` bytes.
  void WriteFlashDump(DWORD count);

  CXuChannel& Channel() { return xu_; }
  CFlashImage& Image() { return image_; }
  CCaptureDevice& Device() { return device_; }
  const std::vector<std::string>& Patterns() const { return patterns_; }
  const std::vector<std::string>& DisplayNames() const { return displayNames_; }
  bool ProductFlag() const { return productFlag_; }
  bool WriteProtect() const { return writeProtect_; }
  bool RestartedDevice() const { return restartedDevice_; }
  int LoadedImageId() const { return loadedImage_; }
  // Where the dump went last ("" when none was written).
  const std::string& LastDumpPath() const { return lastDump_; }

 private:
  bool PrepareAndErase();
  void KeepDeviceAreas(struct DeviceAreas* device);
  bool WriteImage();
  bool VerifyFlash();
  void Restart(const UpdateOptions& options);
  void LogIds(const char* format, const std::string& displayName, bool vendorFirst);

  CUpdateView* view_;
  HMODULE module_;
  CXuChannel xu_;
  CFlashImage image_;
  CCaptureDevice device_;
  std::vector<std::string> patterns_;
  std::vector<std::string> displayNames_, friendlyNames_;
  bool productFlag_ = true;
  bool writeProtect_ = false;
  BYTE gpio_ = 0;
  bool restartedDevice_ = false;
  int loadedImage_ = 0;
  std::string lastDump_;
};
