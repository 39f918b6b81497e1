// The package's installation, step by step.
#include "tools/qcam/package.h"

#include <filesystem>

#include "platform/machine/com_control.h"
#include "platform/machine/paths.h"
#include "platform/nt/platform_control.h"
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

}  // namespace

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
  return true;
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
