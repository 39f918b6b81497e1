// The PC's announcement of device-interface arrivals and removals: the
// kernel-streaming device bridge (ks_devices.cpp) calls it after a device
// was plugged in or pulled out, and the window system sends WM_DEVICECHANGE
// to every window that registered for the device's interface class with
// RegisterDeviceNotification. Called without any lock held; the messages
// are sent, so the call returns once every window has handled its message.
#pragma once

#include <string>

namespace platform {

// `interfacePath` of a capture device (KSCATEGORY_CAPTURE / VIDEO).
void AnnounceDeviceInterfaceChange(const std::string& interfacePath, bool arrived);

}  // namespace platform
