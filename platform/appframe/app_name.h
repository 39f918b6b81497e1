// The program's name as its single-instance mutex and its boxes use it: the
// executable's file name without folder and extension.
#pragma once

#include <string>

namespace appframe {

// `fallback` when the module's file name is unknown.
std::string ApplicationName(const char* fallback);

}  // namespace appframe
