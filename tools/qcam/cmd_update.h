// qcam update and qcam flash: the firmware updater run on the PC, and the
// camera's flash as it is. The Win32 side (running QCAMLDR, watching and
// driving its dialog) and the camera side (plugging the camera on its
// driver) meet here in plain C++ types.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qcam_tool {

// Where 'qcam install' puts the updater.
constexpr const char* kUpdaterWin32Path = "C:\\Program Files\\Qorvane\\QCAMLDR.exe";
// The program as the build leaves it: <program's folder>/../programs/QCAMLDR.exe.
std::string BuiltUpdaterPath();

struct UpdaterRunOptions {
  // Check boxes 1012 to 1016 (program, write, verify, dump, wp); -1 keeps
  // the dialog's own value.
  int program = -1, write = -1, verify = -1, dump = -1, wpRestore = -1;
  std::string outDir;      // pictures of the dialog before and after ("" none)
  bool progressBar = false;  // draw a bar following control 1030 on the terminal
  // Called on the running thread once the update runs (the status line
  // changed after Upgrade was pressed), once it returned, or when Upgrade
  // stays disabled.
  std::function<void()> onPressed;
};

struct UpdaterRunResult {
  std::string versionBefore, versionAfter;
  std::string finalStatus;               // the status line when the update returned
  std::vector<std::string> log;          // the log list then
  std::vector<std::string> messages;     // every message box, "caption: text"
  bool pressedUpgrade = false;
  uint64_t updateMs = 0;                 // PC time from the click to its return
};

// Runs the installed QCAMLDR: waits for its dialog, sets the options, prints
// status and progress lines as they change, presses Upgrade when it is
// enabled, then calls `afterUpdate` (which waits for the camera's restart),
// takes the last picture and closes the dialog. False with a reason when the
// program cannot start or shows no dialog.
bool RunUpdaterProgram(const UpdaterRunOptions& options, const std::function<void()>& afterUpdate,
                       UpdaterRunResult* result, std::string* error);

// The version text the updater shows for a version word.
std::string FirmwareVersionText(uint32_t version);

}  // namespace qcam_tool
