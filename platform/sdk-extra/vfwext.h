// The VfW-to-WDM mapper's extension interface (vfwext.h of the driver kit),
// which the mingw-w64 headers do not carry: the mapper loads the DLLs that a
// capture device names, calls their VFWWDMExtension export while it builds
// its video-source dialog, and reads the returned flags. Declared against the
// SDK types so both builds use it.
#pragma once

#include <windows.h>
#include <prsht.h>

// Flags returned by VFWWDMExtension.
#define VFW_HIDESETTINGSPAGE 0x00000001       // hide the mapper's settings page
#define VFW_HIDEVIDEOSRCPAGE 0x00000002       // hide the mapper's video-source page
#define VFW_HIDECAMERACONTROLPAGE 0x00000004  // hide the mapper's camera-control page
#define VFW_OEM_ADD_PAGE 0x80000000           // the extension added pages of its own

// Flags of the device-control routine.
#define VFW_USE_DEVICE_HANDLE 0x00000001
#define VFW_USE_STREAM_HANDLE 0x00000002
#define VFW_QUERY_DEV_CHANGED 0x00000100

// The mapper's device-control routine, handed to the extension.
typedef DWORD(CALLBACK* LPFNEXTDEVIO)(LPARAM lParam, DWORD dwFlags, DWORD dwIoControlCode, LPVOID lpInBuffer,
                                      DWORD nInBufferSize, LPVOID lpOutBuffer, DWORD nOutBufferSize,
                                      LPDWORD lpBytesReturned, LPOVERLAPPED lpOverlapped);

// The export "VFWWDMExtension" as the mapper calls it.
typedef DWORD(CALLBACK* VFWWDMExtensionProc)(LPVOID pfnDeviceIoControl, LPFNADDPROPSHEETPAGE pfnAddPropertyPage,
                                             LPARAM lParam);
