// The package's installation, step by step.
#include "tools/qcam/package.h"

#include <filesystem>

#include "platform/machine/com_control.h"
#include "platform/machine/paths.h"
#include "platform/nt/platform_control.h"
#include "shared/qcam_ids.h"
#include "shared/tray_names.h"
#include "sim/uvc_descriptors.h"
#include "tools/qcam/cmd_update.h"
#include "tools/qcam/common.h"
#include "tools/qcam/localisation_file.h"
#include "tools/qcam/user_mode.h"

namespace qcam_tool {
namespace {

namespace fs = std::filesystem;

// Copies the built module over any older one: written beside it and
// renamed, so a program still holding the old file keeps a whole one.
bool CopyModule(const std::string& root, const std::string& source, const char* win32Path, std::string* hostPath,
                std::string* error) {
  std::error_code ec;
  if (!fs::is_regular_file(source, ec)) {
    *error = "the package is not built: " + source + " is missing";
    return false;
  }
  if (!platform::MapWin32Path(win32Path, hostPath)) {
    *error = std::string("cannot map ") + win32Path + " below " + root;
    return false;
  }
  fs::create_directories(fs::path(*hostPath).parent_path(), ec);
  const std::string temp = *hostPath + ".new";
  fs::copy_file(source, temp, fs::copy_options::overwrite_existing, ec);
  if (!ec) fs::rename(temp, *hostPath, ec);
  if (ec) {
    fs::remove(temp);
    *error = "cannot copy " + source + " to " + *hostPath + ": " + ec.message();
    return false;
  }
  return true;
}

bool HostFileExists(const char* win32Path) {
  std::string host;
  std::error_code ec;
  return platform::MapWin32Path(win32Path, &host) && fs::is_regular_file(host, ec);
}

// The registry keys of the capture application in both views: a 32-bit
// setup on 64-bit Windows writes below WOW6432Node, on 32-bit Windows the
// plain key, and the PC's WOW64 setting may change after the install.
const char* const kCaptureAppKeys[] = {"HKEY_LOCAL_MACHINE\\SOFTWARE\\ArcSoft\\WebCam Companion\\3.0",
                                       "HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\ArcSoft\\WebCam Companion\\3.0"};

// The tray's part of the install: the program with its language choice,
// its texts, its switches, and the two programs it talks to.
bool InstallTray(const std::string& root, std::vector<std::string>* done, std::string* error) {
  if (!qcam::InstallTrayLocalisationFile(root, error)) return false;
  done->push_back("the tray's texts C:\\Windows\\System32\\QORBM.ini, each language in its code page");
  std::string host;
  if (!CopyModule(root, BuiltProgramPath("QORBM.exe"), kTrayWin32Path, &host, error)) return false;
  done->push_back(std::string("the tray button manager as ") + kTrayWin32Path);
  std::error_code ec;
  // The language choice beside the program is the user's: an existing one stays.
  if (!platform::MapWin32Path(kTrayLanguageWin32Path, &host)) {
    *error = std::string("cannot map ") + kTrayLanguageWin32Path + " below " + root;
    return false;
  }
  if (!fs::exists(host, ec)) {
    fs::create_directories(fs::path(host).parent_path(), ec);
    const std::string text = "[BM]\r\nLanguage=1000\r\n";
    if (!WriteFileBytes(host, reinterpret_cast<const uint8_t*>(text.data()), text.size(), error)) return false;
    done->push_back(std::string("the tray's language choice ") + kTrayLanguageWin32Path + " (Language=1000: the system's)");
  } else {
    done->push_back(std::string("the tray's language choice ") + kTrayLanguageWin32Path + " kept as it is");
  }
  for (const auto& value : {std::make_pair(qcam::kValueTrayEnabled, 1u), std::make_pair(qcam::kValueTrayDebug, 103u)}) {
    uint32_t existing = 0;
    if (platform::RegGetDword(qcam::kKeyCurrentA, value.first, &existing)) continue;
    if (!platform::RegSetDword(qcam::kKeyCurrentA, value.first, value.second)) {
      *error = std::string("cannot write ") + value.first + " under the CURRENT key";
      return false;
    }
  }
  uint32_t enabled = 0, debug = 0;
  platform::RegGetDword(qcam::kKeyCurrentA, qcam::kValueTrayEnabled, &enabled);
  platform::RegGetDword(qcam::kKeyCurrentA, qcam::kValueTrayDebug, &debug);
  done->push_back("the tray's switches QORTray=" + std::to_string(enabled) + " and debug=" + std::to_string(debug) +
                  " under HKLM\\" + qcam::kUserCurrentKey);
  if (!CopyModule(root, BuiltProgramPath("CaptureApp.exe"), kCaptureAppWin32Path, &host, error)) return false;
  for (const char* key : kCaptureAppKeys) {
    if (!platform::RegCreateKeyPath(key) || !platform::RegSetString(key, qcam::kCaptureAppPathValue, kCaptureAppWin32Path)) {
      *error = std::string("cannot write ") + key;
      return false;
    }
  }
  done->push_back(std::string("the capture application as ") + kCaptureAppWin32Path + ", its AppName under HKLM\\" +
                  qcam::kCaptureAppKey);
  if (!CopyModule(root, BuiltProgramPath("QORMsgBox.exe"), kLogViewerWin32Path, &host, error)) return false;
  done->push_back(std::string("the debug-log viewer as ") + kLogViewerWin32Path);
  return true;
}

}  // namespace

std::string BuiltProgramPath(const std::string& fileName) {
  std::error_code ec;
  const fs::path program = fs::read_symlink("/proc/self/exe", ec);
  return (program.parent_path() / ".." / "programs" / fileName).lexically_normal().string();
}

std::string BuiltModulePath() {
  std::error_code ec;
  const fs::path program = fs::read_symlink("/proc/self/exe", ec);
  return (program.parent_path() / ".." / "modules" / "qcamext.ax").lexically_normal().string();
}

bool PackageInstalled(const std::string& root) {
  std::string module, updater;
  std::error_code ec;
  return RootInstalled(root) && platform::MapWin32Path(kModuleWin32Path, &module) && fs::is_regular_file(module, ec) &&
         platform::MapWin32Path(kUpdaterWin32Path, &updater) && fs::is_regular_file(updater, ec) &&
         HostFileExists(kCaptureAppWin32Path) && HostFileExists(kLogViewerWin32Path) &&
         HostFileExists("C:\\Windows\\System32\\QORBM.ini") &&
         HostFileExists(kTrayWin32Path) &&
         ExtensionRegistered();
}

bool InstallPackage(const std::string& root, std::vector<std::string>* done, std::string* error) {
  if (!InstallRoot(root, error)) return false;
  done->push_back("the driver's registry keys, folders and photo frames");
  std::string module, updater;
  if (!CopyModule(root, BuiltModulePath(), kModuleWin32Path, &module, error)) return false;
  done->push_back(std::string("the extension module as ") + kModuleWin32Path);
  if (!CopyModule(root, BuiltUpdaterPath(), kUpdaterWin32Path, &updater, error)) return false;
  done->push_back(std::string("the firmware updater as ") + kUpdaterWin32Path);
  if (!platform::RegisterBuiltinClassesInRegistry()) {
    *error = "cannot register the system classes in the PC's registry";
    return false;
  }
  done->push_back("the system classes (device enumerator, filter graph, capture graph builder...) in HKCR\\CLSID");
  uint32_t hr = 0;
  if (!CallModuleRegistration(false, &hr, error)) {
    *error += ": " + HresultText(hr);
    return false;
  }
  done->push_back("the module's classes, by its DllRegisterServer");
  // The package's driver serves both camera models; its setup announces the
  // extension for each.
  for (const char* profile : {"notebook", "basic"}) {
    const USB_DEVICE_DESCRIPTOR device = sim::ProfileDeviceDescriptor(profile);
    if (!AnnounceCameraExtension(device.idVendor, device.idProduct, error)) return false;
    char line[160];
    std::snprintf(line, sizeof(line),
                  "IAMCustomCameraProp and the four property pages announced for the device %04X:%04X (%s camera)",
                  device.idVendor, device.idProduct, profile);
    done->push_back(line);
  }
  if (!qcam::InstallLocalisationFile(root, error)) return false;
  done->push_back("the localisation file C:\\Windows\\System32\\QCAMCFG.ini");
  return InstallTray(root, done, error);
}

bool EnsurePackageInstalled(const std::string& root, std::string* error) {
  if (!platform::SetRoot(root)) {
    *error = "cannot use " + root + " as a PC root";
    return false;
  }
  if (PackageInstalled(root)) return true;
  std::vector<std::string> done;
  if (InstallPackage(root, &done, error)) return true;
  *error = "cannot install the package: " + *error;
  return false;
}

}  // namespace qcam_tool
