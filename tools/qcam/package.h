// Installing the camera package on a PC root as its setup does: the
// driver's registry keys and folders, the platform's system classes, the
// extension module with its registration and its announcement for the
// camera's device, and the localisation file.
#pragma once

#include <string>
#include <vector>

namespace qcam_tool {

// The module as the build leaves it: <program's folder>/../modules/qcamext.ax.
std::string BuiltModulePath();
// A program as the build leaves it: <program's folder>/../programs/<fileName>.
std::string BuiltProgramPath(const std::string& fileName);

// Where the install puts the tray button manager, its language choice file,
// the outside capture application and the debug-log viewer.
constexpr const char* kTrayWin32Path = "C:\\Program Files\\Qorvane\\QORBM.exe";
constexpr const char* kTrayLanguageWin32Path = "C:\\Program Files\\Qorvane\\BM.ini";
constexpr const char* kTrayFolderWin32Path = "C:\\Program Files\\Qorvane";
constexpr const char* kCaptureAppWin32Path = "C:\\Program Files\\ArcSoft\\WebCam Companion 3\\CaptureApp.exe";
constexpr const char* kLogViewerWin32Path = "C:\\Tools\\QORMsgBox.exe";

// Every step, in order; values that already exist keep what they hold, so
// installing again is harmless (the module file is replaced by the built
// one). *done receives one line per step taken. False with a one-line
// reason at the first step that fails.
bool InstallPackage(const std::string& root, std::vector<std::string>* done, std::string* error);

// The root holds the driver's keys, the module, the programs, and the
// module's classes in the registry view the PC's programs see (which WOW64
// changes).
bool PackageInstalled(const std::string& root);
// Selects the root and installs the package there unless it is installed.
bool EnsurePackageInstalled(const std::string& root, std::string* error);

}  // namespace qcam_tool
