// Controls of the simulated PC's COM runtime and module loader, for tools,
// tests and the other stand-in families: the system classes' registry keys,
// what is loaded, the program's own module, the platform's exports from its
// system modules and the thread notifications of loaded modules. Plain C++
// types only; a module handle is the HMODULE value as void*.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// Writes, for every built-in class (BuiltinClasses()), the keys a system
// DLL's registration leaves: HKCR\CLSID\{clsid} with the class name as
// default value and its InprocServer32 subkey (default value
// "C:\Windows\System32\<server file>", "ThreadingModel"). The same keys are
// written in the 32-bit view of 64-bit Windows (SOFTWARE\Classes\WOW6432Node,
// with "C:\Windows\SysWOW64\<server file>") so that 32-bit clients find them
// whether or not the PC runs them under WOW64. False when a key cannot be
// written.
bool RegisterBuiltinClassesInRegistry();
// Removes those CLSID keys (with their subkeys) from both views.
void UnregisterBuiltinClassesFromRegistry();

struct LoadedModule {
  std::string path;       // the Win32 path it was loaded from
  unsigned loadCount;     // LoadLibrary references, COM's included
  bool heldByCom;         // COM holds a reference (CoFreeUnusedLibraries may drop it)
};
// Every module loaded from a file, in load order (the platform's own system
// modules are not listed).
std::vector<LoadedModule> LoadedModules();
// The Win32 paths of the modules COM holds loaded, in load order.
std::vector<std::string> LoadedComModules();
// Why the last failed load on this thread failed ("file not found",
// the dynamic loader's message...), for tools that report it.
std::string LastModuleLoadError();

// The program's own module: what GetModuleHandle(NULL) returns. Programs
// register their resources under the null module, so resource lookups take
// this handle as the null module. GetModuleFileName(NULL) reports the path
// set here ("C:\Windows\System32\<host program name>.exe" until set).
void* ProgramModule();
// Both are per PC process: SetProgramPath sets the calling process's path.
void SetProgramPath(const std::string& win32Path);
void SetProcessProgramPath(uint32_t processId, const std::string& win32Path);

// The entry points of loaded modules learn of threads as on Windows: the
// thread family calls these on a new thread before its start routine runs
// and after it returns. Modules that called DisableThreadLibraryCalls are
// left out.
void NotifyModulesOfThreadAttach();
void NotifyModulesOfThreadDetach();

// Blocks handed out by CoTaskMemAlloc/Realloc and not yet freed (leak checks).
long CoTaskMemOutstanding();

// A function the platform exports from one of its system modules, found by
// GetProcAddress on that module (module file name with its extension, case
// ignored: "kernel32.dll", "IsWow64Process"). Register with a static object.
typedef void (*SystemExportFunction)();
struct SystemExportRegistrar {
  SystemExportRegistrar(const char* module, const char* name, SystemExportFunction function);
};

}  // namespace platform
