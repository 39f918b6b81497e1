// Pieces of qcam's user-mode side shared by its Win32 source files.
#pragma once

#include <windows.h>

#include "shared/custom_camera_prop.h"

namespace qcam_tool {

// The camera as the extension's camera finder finds it: the first video
// input device whose filter answers IAMCustomCameraProp (probed with
// property 0). COM must be initialised.
HRESULT FindCustomCameraProp(IAMCustomCameraProp** custom);

}  // namespace qcam_tool
