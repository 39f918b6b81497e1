// The platform's own system modules (kernel32.dll, ole32.dll, quartz.dll...):
// they are part of the platform, so loading one loads no file, and
// GetProcAddress finds the functions the platform registered for it.
#pragma once

#include <string>

namespace platform {
namespace system_modules {

// `fileName` is a file name with its extension, folded to lower case.
bool IsSystemModule(const std::string& fileName);
void* FindExport(const std::string& fileName, const char* name);

}  // namespace system_modules
}  // namespace platform
