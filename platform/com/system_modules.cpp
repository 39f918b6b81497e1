// The system modules and their export tables.
#include "platform/com/system_modules.h"

#include <cctype>
#include <map>
#include <mutex>

#include "platform/machine/builtin_classes.h"
#include "platform/machine/com_control.h"

namespace platform {
namespace {

// The Windows DLLs whose functions the platform stands in for. The server
// files of the built-in COM classes count as system modules as well.
const char* const kSystemModules[] = {
    "kernel32.dll", "user32.dll",  "gdi32.dll",   "advapi32.dll", "ole32.dll",   "oleaut32.dll",
    "comctl32.dll", "comdlg32.dll", "shell32.dll", "shlwapi.dll",  "version.dll", "winmm.dll",
    "ntdll.dll",    "setupapi.dll", "ksuser.dll",  "msvcrt.dll",
};

std::string Fold(const std::string& s) {
  std::string out(s);
  for (char& c : out) c = char(std::tolower((unsigned char)c));
  return out;
}

struct ExportTable {
  std::mutex lock;
  std::map<std::string, std::map<std::string, SystemExportFunction>> modules;  // folded module -> name -> function
};
ExportTable& Exports() {
  static ExportTable* table = new ExportTable;  // registrars run during static initialisation
  return *table;
}

}  // namespace

SystemExportRegistrar::SystemExportRegistrar(const char* module, const char* name, SystemExportFunction function) {
  ExportTable& t = Exports();
  std::lock_guard<std::mutex> hold(t.lock);
  t.modules[Fold(module)][name] = function;
}

namespace system_modules {

bool IsSystemModule(const std::string& fileName) {
  for (const char* m : kSystemModules)
    if (fileName == m) return true;
  for (const BuiltinClass& c : BuiltinClasses())
    if (fileName == Fold(c.serverFile)) return true;
  ExportTable& t = Exports();
  std::lock_guard<std::mutex> hold(t.lock);
  return t.modules.count(fileName) != 0;
}

// Export names are matched exactly, as GetProcAddress does.
void* FindExport(const std::string& fileName, const char* name) {
  ExportTable& t = Exports();
  std::lock_guard<std::mutex> hold(t.lock);
  auto module = t.modules.find(fileName);
  if (module == t.modules.end()) return nullptr;
  auto entry = module->second.find(name);
  return entry == module->second.end() ? nullptr : reinterpret_cast<void*>(entry->second);
}

}  // namespace system_modules
}  // namespace platform
