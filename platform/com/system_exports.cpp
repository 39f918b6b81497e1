// What this family's system modules export by name: the module loader and
// IsWow64Process from kernel32, COM from ole32, the registry from advapi32.
#include <objbase.h>

#include "platform/machine/com_control.h"

namespace {

using platform::SystemExportFunction;
using platform::SystemExportRegistrar;

template <class Function>
SystemExportFunction Exported(Function function) {
  return reinterpret_cast<SystemExportFunction>(function);
}

#define QCAM_EXPORT(module, function) \
  const SystemExportRegistrar kExport_##function(module, #function, Exported(&function))

QCAM_EXPORT("kernel32.dll", IsWow64Process);
QCAM_EXPORT("kernel32.dll", LoadLibraryA);
QCAM_EXPORT("kernel32.dll", LoadLibraryW);
QCAM_EXPORT("kernel32.dll", LoadLibraryExA);
QCAM_EXPORT("kernel32.dll", FreeLibrary);
QCAM_EXPORT("kernel32.dll", GetProcAddress);
QCAM_EXPORT("kernel32.dll", GetModuleHandleA);
QCAM_EXPORT("kernel32.dll", GetModuleHandleW);
QCAM_EXPORT("kernel32.dll", GetModuleFileNameA);
QCAM_EXPORT("kernel32.dll", GetModuleFileNameW);
QCAM_EXPORT("kernel32.dll", DisableThreadLibraryCalls);

QCAM_EXPORT("ole32.dll", CoInitialize);
QCAM_EXPORT("ole32.dll", CoInitializeEx);
QCAM_EXPORT("ole32.dll", CoUninitialize);
QCAM_EXPORT("ole32.dll", CoGetClassObject);
QCAM_EXPORT("ole32.dll", CoCreateInstance);
QCAM_EXPORT("ole32.dll", CoFreeUnusedLibraries);
QCAM_EXPORT("ole32.dll", CoTaskMemAlloc);
QCAM_EXPORT("ole32.dll", CoTaskMemRealloc);
QCAM_EXPORT("ole32.dll", CoTaskMemFree);
QCAM_EXPORT("ole32.dll", StringFromGUID2);
QCAM_EXPORT("ole32.dll", StringFromCLSID);
QCAM_EXPORT("ole32.dll", StringFromIID);
QCAM_EXPORT("ole32.dll", CLSIDFromString);
QCAM_EXPORT("ole32.dll", IIDFromString);

QCAM_EXPORT("advapi32.dll", RegOpenKeyExA);
QCAM_EXPORT("advapi32.dll", RegOpenKeyExW);
QCAM_EXPORT("advapi32.dll", RegCreateKeyExA);
QCAM_EXPORT("advapi32.dll", RegCreateKeyExW);
QCAM_EXPORT("advapi32.dll", RegQueryValueExA);
QCAM_EXPORT("advapi32.dll", RegQueryValueExW);
QCAM_EXPORT("advapi32.dll", RegSetValueExA);
QCAM_EXPORT("advapi32.dll", RegSetValueExW);
QCAM_EXPORT("advapi32.dll", RegDeleteValueA);
QCAM_EXPORT("advapi32.dll", RegDeleteValueW);
QCAM_EXPORT("advapi32.dll", RegDeleteKeyA);
QCAM_EXPORT("advapi32.dll", RegDeleteKeyW);
QCAM_EXPORT("advapi32.dll", RegEnumKeyExA);
QCAM_EXPORT("advapi32.dll", RegEnumKeyExW);
QCAM_EXPORT("advapi32.dll", RegEnumValueA);
QCAM_EXPORT("advapi32.dll", RegCloseKey);

}  // namespace
