// The camera plugged into a PC root between qcam commands. A real camera
// stays attached while applications come and go; so does the simulated one:
// ROOT/camera/plugged names the camera (a profile or a descriptor file) and
// whether it is plugged in, and ROOT/camera/power-state holds what the camera
// keeps while it has power (its controls, bridge registers, LED...). Each
// command that plugs the camera in takes that state over and saves it again
// when it ends; unplugging, or plugging a different camera, starts from the
// camera's power-on values.
#pragma once

#include <string>

#include "sim/camera.h"
#include "sim/uvc_camera.h"

namespace qcam_tool {

struct PlugRecord {
  std::string profile;         // a built-in profile ("notebook", "basic"), or empty
  std::string descriptorFile;  // or an absolute descriptor file path
  bool plugged = false;
};

enum class PlugRecordLoad { kAbsent, kLoaded, kDamaged };
// Reads ROOT/camera/plugged; kDamaged with the reason for anything this
// program would not have written.
PlugRecordLoad ReadPlugRecord(const std::string& root, PlugRecord* record, std::string* error);
// Writes it (temporary file, then rename).
bool WritePlugRecord(const std::string& root, const PlugRecord& record, std::string* error);

std::string PowerStatePath(const std::string& root);
// The camera the options name, with an absolute descriptor path.
PlugRecord RecordOf(const sim::CameraOptions& options);
bool SameCamera(const PlugRecord& a, const PlugRecord& b);
// "notebook" or the descriptor file's path.
std::string CameraName(const PlugRecord& record);

// How a camera being plugged in starts.
enum class CameraStart {
  kPowerOn,       // unplugged before, a different camera, or no saved state
  kSavedState,    // took over the state the last command left
  kDamagedState,  // the saved state was unreadable: power-on values
};
// Gives a newly created camera the state the root keeps for it, when the
// same camera is still plugged in there. *note receives the reason for
// kDamagedState.
CameraStart RestoreCameraState(const std::string& root, const PlugRecord& wanted, sim::UvcCamera* camera,
                               std::string* note);
// Records the camera as plugged in with `camera`'s state, or, with null, as
// unplugged without state.
bool KeepCameraState(const std::string& root, const PlugRecord& record, const sim::UvcCamera* camera,
                     std::string* error);

}  // namespace qcam_tool
