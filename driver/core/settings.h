// The registry settings store and the driver's file helpers.
#pragma once

#include "platform/nt/ntddk.h"

// One REG_DWORD by direct query with a default of 0: a missing value reads 0;
// when the query itself fails (no such key) the destination gets `fallback`.
VOID ReadDwordSetting(PCWSTR keyPath, PCWSTR valueName, PULONG destination, ULONG fallback);
// One REG_DWORD, 4 bytes; failures are ignored.
VOID WriteDwordSetting(PCWSTR keyPath, PCWSTR valueName, ULONG value);
// One REG_SZ into a caller-provided counted string (empty by default).
NTSTATUS ReadStringSetting(PCWSTR keyPath, PCWSTR valueName, PUNICODE_STRING destination);

// Read-modify-write of CameraStatus in CURRENT: new = (old & ~clearBits) |
// setBits. Serialised, so that the request path and the frame path never
// lose each other's bits. Returns the word written.
ULONG UpdateCameraStatus(ULONG setBits, ULONG clearBits);
// Stores a whole word as CameraStatus (private property 18, sub-command 5),
// under the same lock.
VOID StoreCameraStatus(ULONG value);

// Writes `length` bytes to a kernel path (overwrite or create), in one call.
// A failure to open skips the write silently; returns the status.
NTSTATUS WriteWholeFile(PCWSTR kernelPath, const VOID* data, ULONG length);
// Opens a kernel path for reading without creating it, reads up to `length`
// bytes from the start and reports the count read.
NTSTATUS ReadFileBytes(PCWSTR kernelPath, PVOID buffer, ULONG length, PULONG bytesRead);
