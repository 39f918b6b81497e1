#include "platform/appframe/app_name.h"

#include <windows.h>

namespace appframe {

std::string ApplicationName(const char* fallback) {
  char path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(NULL, path, MAX_PATH);
  std::string name(path, length < MAX_PATH ? length : 0);
  const size_t slash = name.find_last_of("\\/");
  if (slash != std::string::npos) name.erase(0, slash + 1);
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.erase(dot);
  return name.empty() ? std::string(fallback) : name;
}

}  // namespace appframe
