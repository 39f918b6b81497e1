// What the simulated capture application leaves behind: its log
// (ROOT/capture.log, one line per action) and its pictures, each under a
// name that no earlier picture has.
#pragma once

#include <string>

namespace sim {

// The host path of the capture application's log in the current PC root.
std::string CaptureLogPath();
// Appends one line (line breaks in `line` become blanks); nothing on a
// memory-only PC.
void CaptureLog(const std::string& line);

// Creates the first free file "<folder><stem>_NNNN.<extension>" (NNNN from
// 0001) below the PC root, empty and exclusively, so that two writers never
// get the same name; the folder is created when missing. *win32Path and
// *hostPath receive its paths. False with a reason when the folder cannot be
// made or all 9999 names are taken.
bool ReserveNewPictureName(const std::string& win32Folder, const std::string& stem, const std::string& extension,
                           std::string* win32Path, std::string* hostPath, std::string* error);

}  // namespace sim
