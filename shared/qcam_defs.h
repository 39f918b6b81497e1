// Definitions shared by the driver and its user-mode clients, in the kernel's
// terms: everything of qcam_ids.h plus the private property set's GUID.
#pragma once

#include <cstdint>

#include "platform/nt/ntddk.h"
#include "shared/qcam_ids.h"

namespace qcam {

// {3DC2E820-4713-11D2-BA41-00A0C90D2B05}; also the class id of the client's
// custom-property interface.
constexpr GUID kPropSetPrivate = {0x3DC2E820, 0x4713, 0x11D2, {0xBA, 0x41, 0x00, 0xA0, 0xC9, 0x0D, 0x2B, 0x05}};

}  // namespace qcam
