// Kernel-streaming devices as user mode reaches them: a device is opened by
// its path and IOCTL_KS_PROPERTY on the handle becomes one synchronous
// property request to the driver behind it. Whoever plugs a camera in
// registers the request routine (the simulated stream class) under a path.
#pragma once

#include <string>

#include "platform/com/com_base.h"
#include "platform/stream/ks.h"

// CTL_CODE(FILE_DEVICE_KS, 0, METHOD_NEITHER, FILE_ANY_ACCESS)
constexpr DWORD FILE_DEVICE_KS = 0x2F;
constexpr DWORD IOCTL_KS_PROPERTY = (FILE_DEVICE_KS << 16) | (0 << 14) | (0 << 2) | 3;
static_assert(IOCTL_KS_PROPERTY == 0x002F0003, "IOCTL_KS_PROPERTY value");

#define INVALID_HANDLE_VALUE ((HANDLE)(intptr_t)-1)

// Win32 error codes a property request can end with.
constexpr DWORD ERROR_INVALID_FUNCTION = 1;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_MORE_DATA = 234;
constexpr DWORD ERROR_GEN_FAILURE = 31;
constexpr DWORD ERROR_NOT_SUPPORTED = 50;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
constexpr DWORD ERROR_IO_DEVICE = 1117;
constexpr DWORD ERROR_DEVICE_NOT_CONNECTED = 1167;
constexpr DWORD ERROR_NO_MATCH = 1169;
constexpr DWORD ERROR_NO_SYSTEM_RESOURCES = 1450;
constexpr DWORD ERROR_SET_NOT_FOUND = 1170;

// Sends one property request: `inBuffer` holds the property (set, id, flags
// and any further input), `outBuffer` the data. Synchronous. TRUE on
// success with *bytesReturned; FALSE otherwise with the error in
// platform::KsLastError() (ERROR_MORE_DATA with the needed size in
// *bytesReturned when the data buffer was too small to say anything).
BOOL DeviceIoControl(HANDLE device, DWORD ioControlCode, PVOID inBuffer, DWORD inBufferSize, PVOID outBuffer,
                     DWORD outBufferSize, DWORD* bytesReturned, PVOID overlapped);

namespace platform {

// The stream class behind a device: one property request (get, set or basic
// support, by the property's flags) with the caller's buffers.
typedef NTSTATUS (*KsPropertyRoutine)(void* context, PKSPROPERTY property, ULONG propertySize, PVOID data,
                                      ULONG dataSize, ULONG* bytesReturned);

// Registers a device path (false if the path is taken or empty). After
// UnregisterKsDevice returns, no request reaches the routine any more: open
// handles fail with ERROR_DEVICE_NOT_CONNECTED.
bool RegisterKsDevice(const std::string& path, KsPropertyRoutine routine, void* context);
void UnregisterKsDevice(const std::string& path);

// Opens a registered device as CreateFile would: INVALID_HANDLE_VALUE with
// ERROR_FILE_NOT_FOUND (2) when no device has that path. Handles are closed
// with CloseKsDevice.
HANDLE OpenKsDevice(const std::string& path);
bool CloseKsDevice(HANDLE device);

// The calling thread's last error of DeviceIoControl / OpenKsDevice, and the
// driver's NTSTATUS behind it (STATUS_SUCCESS when the request did not reach
// a driver).
DWORD KsLastError();
NTSTATUS KsLastStatus();

// The Win32 error a driver status becomes.
DWORD NtStatusToWin32Error(NTSTATUS status);

// Answers a basic-support request from a device's property-set table, as the
// stream class does for a minidriver: access flags, then for items with
// values the stepped range and default. STATUS_NOT_FOUND-like outcomes are
// STATUS_NOT_SUPPORTED; a data buffer of 4 or 8 bytes receives the access
// flags only; 0 bytes reports the full size with STATUS_BUFFER_OVERFLOW.
NTSTATUS KsAnswerBasicSupport(const KSPROPERTY_SET* sets, ULONG setCount, const KSPROPERTY* property, PVOID data,
                              ULONG dataSize, ULONG* bytesReturned);

}  // namespace platform

// Basic-support answer layout.
typedef struct {
  ULONG AccessFlags;
  ULONG DescriptionSize;
  KSIDENTIFIER PropTypeSet;
  ULONG MembersListCount;
  ULONG Reserved;
} KSPROPERTY_DESCRIPTION;
static_assert(sizeof(KSPROPERTY_DESCRIPTION) == 40, "KSPROPERTY_DESCRIPTION is 40 bytes");
static_assert(sizeof(KSPROPERTY_MEMBERSHEADER) == 16, "members header is 16 bytes");
static_assert(sizeof(KSPROPERTY_STEPPING_LONG) == 16, "stepping range is 16 bytes");
