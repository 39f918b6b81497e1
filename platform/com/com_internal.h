// What the COM runtime's files share among themselves: the calling thread's
// apartment, and the module loader's services for the modules COM loads.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace platform {
namespace com_internal {

bool ThreadHasApartment();

// The module loader's one lock: held while modules are loaded, unloaded or
// looked up and while their entry points run (Windows' loader lock). COM
// holds it too while it loads a server and asks it for a class object, so
// that CoFreeUnusedLibraries cannot unload a module in between.
void LockLoader();
void UnlockLoader();
struct LoaderLockHold {
  LoaderLockHold() { LockLoader(); }
  ~LoaderLockHold() { UnlockLoader(); }
  LoaderLockHold(const LoaderLockHold&) = delete;
  LoaderLockHold& operator=(const LoaderLockHold&) = delete;
};

// Loads a module by its Win32 path (UTF-8) as LoadLibrary does; null with
// the last error set on failure.
HMODULE LoadModule(const std::string& win32Path);
// COM's own reference: taken once per module however many classes it
// serves, given back by ReleaseComModule (which unloads the module when it
// was the last reference).
HMODULE LoadComModule(const std::string& win32Path);
void ReleaseComModule(HMODULE module);
std::vector<HMODULE> ComModules();
// An export of a module loaded from a file (null for other modules or names).
void* ModuleExport(HMODULE module, const char* name);
// False for the platform's system modules and the program.
bool IsFileModule(HMODULE module);

}  // namespace com_internal
}  // namespace platform
