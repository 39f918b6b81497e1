// The module table: shared libraries loaded with dlopen from below the PC
// root, each with its resources registered and its entry point called as
// Windows calls a DLL's; the platform's system modules; the program.
#include "platform/com/module_loader.h"

#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "platform/com/com_internal.h"
#include "platform/com/system_modules.h"
#include "platform/machine/com_control.h"
#include "platform/machine/module_resources.h"
#include "platform/machine/paths.h"
#include "platform/machine/pc_threads.h"

namespace platform {
namespace {

typedef BOOL(WINAPI* DllEntryPoint)(HINSTANCE, DWORD, LPVOID);

// Module handles look like the base addresses Windows gives: the program at
// 0x400000, loaded modules and system modules each in their own range, a
// new value for every load so a stale handle never names a later module.
constexpr uintptr_t kProgramHandle = 0x00400000;
constexpr uintptr_t kFileHandleBase = 0x10000000;
constexpr uintptr_t kSystemHandleBase = 0x70000000;
constexpr uintptr_t kHandleStep = 0x10000;

struct Module {
  std::string win32Path;  // as loaded, UTF-8
  std::string fileName;   // folded file name, for lookups by name
  std::string hostPath;   // canonical host path: the module's identity
  void* library = nullptr;
  DllEntryPoint entry = nullptr;
  unsigned references = 0;
  bool heldByCom = false;
  bool threadCalls = true;
};

struct SystemModule {
  std::string fileName;  // folded
};

struct Table {
  std::recursive_mutex lock;
  std::map<uintptr_t, std::unique_ptr<Module>> modules;  // by handle: load order
  std::map<uintptr_t, SystemModule> systemModules;
  uintptr_t nextFileHandle = kFileHandleBase;
  uintptr_t nextSystemHandle = kSystemHandleBase;
  std::map<uint32_t, std::string> programPaths;  // by PC process
};
Table& T() {
  static Table* table = new Table;  // modules may be unloaded from other statics' destructors
  return *table;
}

thread_local std::string t_loadError;

HMODULE AsHandle(uintptr_t value) { return reinterpret_cast<HMODULE>(value); }
uintptr_t HandleValue(HMODULE module) { return reinterpret_cast<uintptr_t>(module); }

std::string Fold(const std::string& s) {
  std::string out(s);
  for (char& c : out) c = char(std::tolower((unsigned char)c));
  return out;
}

std::string DefaultProgramPath() {
  char buffer[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  std::string name = n > 0 ? std::string(buffer, size_t(n)) : std::string("program");
  name = name.substr(name.find_last_of('/') + 1);
  return std::string(kSystemDirectory) + "\\" + name + ".exe";
}

// ---- names --------------------------------------------------------------------------

// A module name as Windows reads it: either separator, %SystemRoot% and
// %windir% expanded, ".dll" added to a file name without an extension, and a
// trailing dot meaning "no extension".
bool NormalizeName(const std::string& raw, std::string* name, std::string* fileName) {
  std::string n = raw;
  for (char& c : n)
    if (c == '/') c = '\\';
  for (const char* variable : {"%systemroot%", "%windir%"}) {
    const size_t len = std::strlen(variable);
    if (Fold(n.substr(0, len)) == variable) n = kWindowsDirectory + n.substr(len);
  }
  const size_t slash = n.find_last_of('\\');
  std::string file = slash == std::string::npos ? n : n.substr(slash + 1);
  if (file.empty()) return false;
  if (file.back() == '.') {
    n.pop_back();
    file.pop_back();
  } else if (file.find('.') == std::string::npos) {
    n += ".dll";
    file += ".dll";
  }
  if (file.empty() || file == "." || file == "..") return false;
  *name = n;
  *fileName = Fold(file);
  return true;
}

bool IsAbsolute(const std::string& path) {
  return path.size() >= 3 && std::isalpha((unsigned char)path[0]) && path[1] == ':' && path[2] == '\\';
}

std::string DirectoryOf(const std::string& path) {
  const size_t slash = path.find_last_of('\\');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool InSystemFolder(const std::string& path) {
  const std::string dir = Fold(DirectoryOf(path));
  return dir == Fold(kSystemDirectory) || dir == Fold(std::string(kWindowsDirectory) + "\\SysWOW64");
}

// The canonical host path of an existing regular file behind a Win32 path.
bool HostFile(const std::string& win32Path, std::string* host) {
  std::string mapped;
  struct stat st;
  if (!MapWin32Path(win32Path, &mapped) || stat(mapped.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  char real[PATH_MAX];
  if (!realpath(mapped.c_str(), real)) return false;
  *host = real;
  return true;
}

// ---- the table ----------------------------------------------------------------------

Module* FindModule(uintptr_t handle) {
  auto it = T().modules.find(handle);
  return it == T().modules.end() ? nullptr : it->second.get();
}

uintptr_t FindByFileName(const std::string& fileName) {
  for (auto& m : T().modules)
    if (m.second->fileName == fileName) return m.first;
  return 0;
}

uintptr_t FindByPath(const std::string& win32Path) {
  const std::string folded = Fold(win32Path);
  for (auto& m : T().modules)
    if (Fold(m.second->win32Path) == folded) return m.first;
  return 0;
}

uintptr_t SystemHandle(const std::string& fileName) {
  Table& t = T();
  for (auto& s : t.systemModules)
    if (s.second.fileName == fileName) return s.first;
  const uintptr_t handle = t.nextSystemHandle;
  t.nextSystemHandle += kHandleStep;
  t.systemModules[handle] = SystemModule{fileName};
  return handle;
}

// A symbol the library itself defines; dlsym would also find what the
// libraries it depends on define, which GetProcAddress must not.
void* OwnSymbol(void* library, const char* name) {
  void* symbol = dlsym(library, name);
  if (!symbol) return nullptr;
  Dl_info info;
  struct link_map* map = nullptr;
  if (!dladdr(symbol, &info) || dlinfo(library, RTLD_DI_LINKMAP, &map) != 0 || !map) return nullptr;
  return info.dli_fname && map->l_name && std::strcmp(info.dli_fname, map->l_name) == 0 ? symbol : nullptr;
}

void RegisterResources(uintptr_t handle, Module& m) {
  const uint8_t* begin = static_cast<const uint8_t*>(OwnSymbol(m.library, "qcam_module_resources"));
  const uint8_t* end = static_cast<const uint8_t*>(OwnSymbol(m.library, "qcam_module_resources_end"));
  if (begin && end && end >= begin) RegisterModuleResources(AsHandle(handle), begin, size_t(end - begin));
}

// Entry point, resources and library go, in the order Windows takes them
// down; the record goes before the library so no lookup can reach it.
void Unload(uintptr_t handle) {
  Module* m = FindModule(handle);
  if (m->entry) m->entry(AsHandle(handle), DLL_PROCESS_DETACH, nullptr);
  UnregisterModuleResources(AsHandle(handle));
  void* library = m->library;
  T().modules.erase(handle);
  dlclose(library);
}

HMODULE Fail(DWORD error, const std::string& why) {
  t_loadError = why;
  SetLastError(error);
  return nullptr;
}

// Opens the file and makes the module record; the entry point runs after
// the record exists, so that the module can look itself up from DllMain.
HMODULE LoadFile(const std::string& win32Path, const std::string& fileName, const std::string& host) {
  Table& t = T();
  for (auto& m : t.modules)
    if (m.second->hostPath == host) {
      ++m.second->references;
      return AsHandle(m.first);
    }
  void* library = dlopen(host.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    const char* why = dlerror();
    return Fail(ERROR_BAD_EXE_FORMAT, why ? why : "not a loadable module");
  }
  for (auto& m : t.modules)
    if (m.second->library == library) {  // the same file by another name (a hard link)
      dlclose(library);
      ++m.second->references;
      return AsHandle(m.first);
    }
  const uintptr_t handle = t.nextFileHandle;
  t.nextFileHandle += kHandleStep;
  std::unique_ptr<Module> m(new Module);
  m->win32Path = win32Path;
  m->fileName = fileName;
  m->hostPath = host;
  m->library = library;
  m->entry = reinterpret_cast<DllEntryPoint>(OwnSymbol(library, "DllMain"));
  m->references = 1;
  Module& module = *m;
  t.modules[handle] = std::move(m);
  RegisterResources(handle, module);
  if (module.entry && !module.entry(AsHandle(handle), DLL_PROCESS_ATTACH, nullptr)) {
    Unload(handle);
    return Fail(ERROR_DLL_INIT_FAILED, "the module's DllMain refused DLL_PROCESS_ATTACH");
  }
  return AsHandle(handle);
}

HMODULE LoadLocked(const std::string& rawName) {
  std::string name, fileName, host;
  if (!NormalizeName(rawName, &name, &fileName)) return Fail(ERROR_MOD_NOT_FOUND, "no module name");
  if (name.find('\\') == std::string::npos) {
    // A bare name: a module of that name already loaded wins, then the
    // system's own, then the system folders.
    if (uintptr_t loaded = FindByFileName(fileName)) {
      ++FindModule(loaded)->references;
      return AsHandle(loaded);
    }
    if (system_modules::IsSystemModule(fileName)) return AsHandle(SystemHandle(fileName));
    for (const char* dir : {kSystemDirectory, kWindowsDirectory}) {
      const std::string path = std::string(dir) + "\\" + name;
      if (HostFile(path, &host)) return LoadFile(path, fileName, host);
    }
    return Fail(ERROR_MOD_NOT_FOUND, "file not found: " + name);
  }
  if (!IsAbsolute(name)) return Fail(ERROR_MOD_NOT_FOUND, "relative module path: " + name);
  if (InSystemFolder(name) && system_modules::IsSystemModule(fileName)) return AsHandle(SystemHandle(fileName));
  if (!HostFile(name, &host)) return Fail(ERROR_MOD_NOT_FOUND, "file not found: " + name);
  return LoadFile(name, fileName, host);
}

}  // namespace

namespace com_internal {

void LockLoader() { T().lock.lock(); }
void UnlockLoader() { T().lock.unlock(); }

HMODULE LoadModule(const std::string& win32Path) { return module_loader::Load(win32Path); }

HMODULE LoadComModule(const std::string& win32Path) {
  LoaderLockHold hold;
  HMODULE module = module_loader::Load(win32Path);
  Module* m = module ? FindModule(HandleValue(module)) : nullptr;
  if (!m) return module;  // failed, or a system module: nothing to hold
  if (m->heldByCom) {
    --m->references;  // COM already holds its one reference
  } else {
    m->heldByCom = true;
  }
  return module;
}

void ReleaseComModule(HMODULE module) {
  LoaderLockHold hold;
  Module* m = FindModule(HandleValue(module));
  if (!m || !m->heldByCom) return;
  m->heldByCom = false;
  module_loader::Free(module);
}

std::vector<HMODULE> ComModules() {
  LoaderLockHold hold;
  std::vector<HMODULE> out;
  for (auto& m : T().modules)
    if (m.second->heldByCom) out.push_back(AsHandle(m.first));
  return out;
}

void* ModuleExport(HMODULE module, const char* name) {
  LoaderLockHold hold;
  Module* m = FindModule(HandleValue(module));
  return m ? OwnSymbol(m->library, name) : nullptr;
}

bool IsFileModule(HMODULE module) {
  LoaderLockHold hold;
  return FindModule(HandleValue(module)) != nullptr;
}

}  // namespace com_internal

namespace module_loader {

HMODULE Load(const std::string& name) {
  com_internal::LoaderLockHold hold;
  t_loadError.clear();
  return LoadLocked(name);
}

BOOL Free(HMODULE module) {
  com_internal::LoaderLockHold hold;
  const uintptr_t handle = HandleValue(module);
  if (handle == kProgramHandle || T().systemModules.count(handle)) return TRUE;
  Module* m = FindModule(handle);
  if (!m || m->references == 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (--m->references == 0) Unload(handle);
  return TRUE;
}

HMODULE Find(const char* name, bool nameIsNull) {
  com_internal::LoaderLockHold hold;
  if (nameIsNull) return AsHandle(kProgramHandle);
  std::string normalized, fileName;
  if (NormalizeName(name, &normalized, &fileName)) {
    const bool bare = normalized.find('\\') == std::string::npos;
    if (uintptr_t loaded = bare ? FindByFileName(fileName) : FindByPath(normalized)) return AsHandle(loaded);
    if ((bare || InSystemFolder(normalized)) && system_modules::IsSystemModule(fileName))
      return AsHandle(SystemHandle(fileName));
  }
  SetLastError(ERROR_MOD_NOT_FOUND);
  return nullptr;
}

bool PathOf(HMODULE module, std::string* path) {
  com_internal::LoaderLockHold hold;
  Table& t = T();
  const uintptr_t handle = HandleValue(module);
  if (handle == kProgramHandle) {
    auto own = t.programPaths.find(CurrentPcProcessId());
    *path = own == t.programPaths.end() || own->second.empty() ? DefaultProgramPath() : own->second;
    return true;
  }
  auto system = t.systemModules.find(handle);
  if (system != t.systemModules.end()) {
    *path = std::string(kSystemDirectory) + "\\" + system->second.fileName;
    return true;
  }
  Module* m = FindModule(handle);
  if (!m) return false;
  *path = m->win32Path;
  return true;
}

void* Export(HMODULE module, const char* name) {
  com_internal::LoaderLockHold hold;
  const uintptr_t handle = HandleValue(module);
  void* function = nullptr;
  bool known = true;
  // Ordinals (a value below 0x10000 in place of the name) are not exported.
  if (reinterpret_cast<uintptr_t>(name) >= 0x10000) {
    auto system = T().systemModules.find(handle);
    Module* m = FindModule(handle);
    if (system != T().systemModules.end()) {
      function = system_modules::FindExport(system->second.fileName, name);
    } else if (m) {
      function = OwnSymbol(m->library, name);
    } else {
      known = handle == kProgramHandle;
    }
  }
  if (!function) SetLastError(known ? ERROR_PROC_NOT_FOUND : ERROR_MOD_NOT_FOUND);
  return function;
}

BOOL DisableThreadCalls(HMODULE module) {
  com_internal::LoaderLockHold hold;
  const uintptr_t handle = HandleValue(module);
  if (handle == kProgramHandle || T().systemModules.count(handle)) return TRUE;
  Module* m = FindModule(handle);
  if (!m) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  m->threadCalls = false;
  return TRUE;
}

}  // namespace module_loader

// ---- controls -------------------------------------------------------------------------

std::vector<LoadedModule> LoadedModules() {
  com_internal::LoaderLockHold hold;
  std::vector<LoadedModule> out;
  for (auto& m : T().modules) out.push_back({m.second->win32Path, m.second->references, m.second->heldByCom});
  return out;
}

std::vector<std::string> LoadedComModules() {
  std::vector<std::string> out;
  for (const LoadedModule& m : LoadedModules())
    if (m.heldByCom) out.push_back(m.path);
  return out;
}

std::string LastModuleLoadError() { return t_loadError; }

void* ProgramModule() { return AsHandle(kProgramHandle); }

void SetProgramPath(const std::string& win32Path) { SetProcessProgramPath(CurrentPcProcessId(), win32Path); }

void SetProcessProgramPath(uint32_t processId, const std::string& win32Path) {
  com_internal::LoaderLockHold hold;
  if (win32Path.empty()) T().programPaths.erase(processId);
  else T().programPaths[processId] = win32Path;
}

namespace {

// Windows calls the entry points with the loader lock held, in load order.
// An entry point may load or free modules, so each is looked up afresh.
void NotifyThread(DWORD reason) {
  com_internal::LoaderLockHold hold;
  std::vector<uintptr_t> handles;
  for (auto& m : T().modules) handles.push_back(m.first);
  for (uintptr_t handle : handles) {
    Module* m = FindModule(handle);
    if (m && m->entry && m->threadCalls) m->entry(AsHandle(handle), reason, nullptr);
  }
}

}  // namespace

void NotifyModulesOfThreadAttach() { NotifyThread(DLL_THREAD_ATTACH); }
void NotifyModulesOfThreadDetach() { NotifyThread(DLL_THREAD_DETACH); }

}  // namespace platform
