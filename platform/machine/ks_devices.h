// The kernel-streaming devices plugged into the simulated PC, as user mode
// reaches them: whoever plugs a camera in (the simulated class driver and its
// tools) announces the device here with the routine that answers its
// requests; the user-mode stand-ins (CreateFile on the device path,
// DeviceIoControl, the system device enumerator) find it here. Plain C++
// types only: the kernel side (NTSTATUS, KSPROPERTY) and the Win32 side never
// meet in one source file.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace platform {

// One request to a device: the I/O control code with the caller's buffers,
// answered synchronously with an NTSTATUS and the bytes returned.
typedef int32_t (*KsRequestRoutine)(void* context, uint32_t ioControlCode, void* inBuffer, uint32_t inSize,
                                    void* outBuffer, uint32_t outSize, uint32_t* bytesReturned);

struct KsDeviceInfo {
  // The device interface path as Windows names a USB camera's capture
  // interface: "\\?\usb#vid_VVVV&pid_PPPP&mi_00#INSTANCE#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\global".
  std::string interfacePath;
  std::string friendlyName;  // the property bag's FriendlyName
  uint16_t vendorId = 0;
  uint16_t productId = 0;
  std::string instance;      // the INSTANCE part of the path
};

// Announces a device (false if its path is taken or empty). After
// UnplugKsDevice returns, no request reaches the routine any more: open
// handles fail with ERROR_DEVICE_NOT_CONNECTED.
bool PlugKsDevice(const KsDeviceInfo& info, KsRequestRoutine routine, void* context);
void UnplugKsDevice(const std::string& interfacePath);
// The plugged devices in the order they were plugged in.
std::vector<KsDeviceInfo> PluggedKsDevices();

// Opens a plugged device by its interface path (case ignored): a new handle
// of the PC's handle table (closed with CloseHandle), or null when no device
// has that path.
void* OpenKsDeviceHandle(const std::string& interfacePath);
bool IsKsDeviceHandle(void* handle);
// Sends one request on a device handle. False when `handle` is no device
// handle; otherwise true with the device's NTSTATUS in *status
// (STATUS_DEVICE_NOT_CONNECTED, 0xC000009D, once the device is unplugged).
// Requests to one device are serialised.
bool KsDeviceRequest(void* handle, uint32_t ioControlCode, void* inBuffer, uint32_t inSize, void* outBuffer,
                     uint32_t outSize, uint32_t* bytesReturned, int32_t* status);

// Sees the input of every request that reaches a plugged device, before the
// device answers it (for tools that show what programs ask of a camera).
// Called on the requesting thread; returns the observer it replaces.
typedef std::function<void(uint32_t ioControlCode, const void* inBuffer, uint32_t inSize)> KsRequestObserver;
KsRequestObserver SetKsRequestObserver(KsRequestObserver observer);

}  // namespace platform
