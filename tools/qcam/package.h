// Installing the camera package on a PC root as its setup does: the
// driver's registry keys and folders, the platform's system classes, the
// extension module with its registration and its announcement for the
// camera's device, and the localisation file.
#pragma once

#include <string>
#include <vector>

namespace qcam_tool {

// Every step, in order; values that already exist keep what they hold, so
// installing again is harmless. *done receives one line per step taken.
// False with a one-line reason at the first step that fails.
bool InstallPackage(const std::string& root, std::vector<std::string>* done, std::string* error);

}  // namespace qcam_tool
