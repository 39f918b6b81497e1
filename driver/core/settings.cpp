// The registry settings store and the driver's file helpers.
#include "driver/core/settings.h"

#include <cstring>
#include <mutex>

#include "shared/qcam_defs.h"

VOID ReadDwordSetting(PCWSTR keyPath, PCWSTR valueName, PULONG destination, ULONG fallback) {
  ULONG value = 0;
  ULONG zero = 0;
  RTL_QUERY_REGISTRY_TABLE table[2] = {};
  table[0].Flags = RTL_QUERY_REGISTRY_DIRECT;
  table[0].Name = const_cast<PWSTR>(valueName);
  table[0].EntryContext = &value;
  table[0].DefaultType = REG_DWORD;
  table[0].DefaultData = &zero;
  table[0].DefaultLength = sizeof(ULONG);
  NTSTATUS status = RtlQueryRegistryValues(RTL_REGISTRY_ABSOLUTE, keyPath, table, nullptr, nullptr);
  *destination = NT_SUCCESS(status) ? value : fallback;
}

VOID WriteDwordSetting(PCWSTR keyPath, PCWSTR valueName, ULONG value) {
  RtlWriteRegistryValue(RTL_REGISTRY_ABSOLUTE, keyPath, valueName, REG_DWORD, &value, sizeof(ULONG));
}

NTSTATUS ReadStringSetting(PCWSTR keyPath, PCWSTR valueName, PUNICODE_STRING destination) {
  static WCHAR empty[1] = {0};
  RTL_QUERY_REGISTRY_TABLE table[2] = {};
  table[0].Flags = RTL_QUERY_REGISTRY_DIRECT;
  table[0].Name = const_cast<PWSTR>(valueName);
  table[0].EntryContext = destination;
  table[0].DefaultType = REG_SZ;
  table[0].DefaultData = empty;
  table[0].DefaultLength = sizeof(WCHAR);
  NTSTATUS status = RtlQueryRegistryValues(RTL_REGISTRY_ABSOLUTE, keyPath, table, nullptr, nullptr);
  // The debugger line is printed from a terminated copy: the counted string
  // need not carry a terminator.
  WCHAR shown[260];
  ULONG chars = 0;
  if (destination->Buffer) {
    chars = destination->Length / sizeof(WCHAR);
    if (chars > 259) chars = 259;
    memcpy(shown, destination->Buffer, chars * sizeof(WCHAR));
  }
  shown[chars] = 0;
  DbgPrint("QORCAM_ReadStringFormRegistry: %ws\n", shown);
  return status;
}

// CameraStatus is changed from the request path (start and stop capture,
// the button command, property 18) and from the frame path (snapshot bit).
// Without serialisation a bit set on one path can be lost to a concurrent
// read-modify-write on the other, so every change goes through this lock.
static std::mutex g_CameraStatusLock;

ULONG UpdateCameraStatus(ULONG setBits, ULONG clearBits) {
  std::lock_guard<std::mutex> guard(g_CameraStatusLock);
  ULONG status = 0;
  ReadDwordSetting(qcam::kKeyCurrent, qcam::kValueCameraStatus, &status, 0);
  status = (status & ~clearBits) | setBits;
  WriteDwordSetting(qcam::kKeyCurrent, qcam::kValueCameraStatus, status);
  return status;
}

VOID StoreCameraStatus(ULONG value) {
  std::lock_guard<std::mutex> guard(g_CameraStatusLock);
  WriteDwordSetting(qcam::kKeyCurrent, qcam::kValueCameraStatus, value);
}

static NTSTATUS OpenKernelFile(PCWSTR kernelPath, ACCESS_MASK access, ULONG share, ULONG disposition,
                               PHANDLE handle) {
  UNICODE_STRING name;
  RtlInitUnicodeString(&name, kernelPath);
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, nullptr, nullptr);
  IO_STATUS_BLOCK io = {};
  return ZwCreateFile(handle, access, &attributes, &io, nullptr, FILE_ATTRIBUTE_NORMAL, share, disposition,
                      FILE_SYNCHRONOUS_IO_NONALERT | FILE_NON_DIRECTORY_FILE, nullptr, 0);
}

NTSTATUS WriteWholeFile(PCWSTR kernelPath, const VOID* data, ULONG length) {
  HANDLE file = nullptr;
  NTSTATUS status = OpenKernelFile(kernelPath, GENERIC_WRITE | SYNCHRONIZE, FILE_SHARE_WRITE, FILE_OVERWRITE_IF,
                                   &file);
  if (!NT_SUCCESS(status)) return status;
  IO_STATUS_BLOCK io = {};
  status = ZwWriteFile(file, nullptr, nullptr, nullptr, &io, const_cast<PVOID>(data), length, nullptr, nullptr);
  ZwClose(file);
  return status;
}

NTSTATUS ReadFileBytes(PCWSTR kernelPath, PVOID buffer, ULONG length, PULONG bytesRead) {
  *bytesRead = 0;
  HANDLE file = nullptr;
  // FILE_OPEN: looking for a frame bitmap must never leave an empty file behind.
  NTSTATUS status = OpenKernelFile(kernelPath, GENERIC_READ | SYNCHRONIZE, FILE_SHARE_READ, FILE_OPEN, &file);
  if (!NT_SUCCESS(status)) return status;
  IO_STATUS_BLOCK io = {};
  status = ZwReadFile(file, nullptr, nullptr, nullptr, &io, buffer, length, nullptr, nullptr);
  if (NT_SUCCESS(status)) *bytesRead = ULONG(io.Information);
  ZwClose(file);
  return status;
}
