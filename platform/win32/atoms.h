// The window system's atom table: class names and registered window
// messages share one table of case-insensitive names with atoms from
// 0xC000, as user32's does.
#pragma once

#include <string>

#include <windows.h>

namespace platform {
namespace win32 {

// The atom of `name`, added when new; 0 for an empty name or a full table.
ATOM AddAtomName(const std::string& name);
// The atom of a known name ("#123" is the integer atom 123); 0 when unknown.
ATOM FindAtomName(const std::string& name);
// The name of an atom from the table ("" when unknown).
std::string AtomName(ATOM atom);

}  // namespace win32
}  // namespace platform
