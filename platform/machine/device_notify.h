// The PC's announcement of device-interface arrivals and removals: the
// kernel-streaming device bridge (ks_devices.cpp) calls it after a device
// was plugged in or pulled out, and the window system sends WM_DEVICECHANGE
// to every window that registered for the device's interface class with
// RegisterDeviceNotification, and posts WM_DEVICECHANGE with
// DBT_DEVNODES_CHANGED to every top-level window. Called without any lock
// held; the registered windows' messages are sent, so the call returns once
// each of them has handled its message.
#pragma once

#include <string>

namespace platform {

// `interfacePath` of a capture device (KSCATEGORY_CAPTURE / VIDEO).
void AnnounceDeviceInterfaceChange(const std::string& interfacePath, bool arrived);

}  // namespace platform
