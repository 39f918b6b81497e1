// The module table behind the libloaderapi.h calls: modules loaded from
// files (shared libraries below the PC root), the platform's own system
// modules and the program's module, each known by an HMODULE of its own
// that is never reused.
#pragma once

#include <windows.h>

#include <string>

namespace platform {
namespace module_loader {

// Loads a module named by a Win32 path or a bare file name (UTF-8), with
// Windows' rules for the default extension and the search of the system
// folders. Null with the last error set on failure.
HMODULE Load(const std::string& name);
// Drops one reference; FALSE with ERROR_INVALID_HANDLE for an unknown handle.
BOOL Free(HMODULE module);
// A loaded module by name (null: the program), without a new reference.
HMODULE Find(const char* name, bool nameIsNull);
// The Win32 path of a module (UTF-8); false for an unknown handle.
bool PathOf(HMODULE module, std::string* path);
// An export by name; null with the last error set when there is none.
void* Export(HMODULE module, const char* name);
BOOL DisableThreadCalls(HMODULE module);

}  // namespace module_loader
}  // namespace platform
