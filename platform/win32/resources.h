// The resources of loaded modules, as the window system finds them: the
// .res blob each module registered (platform/machine/module_resources.h),
// indexed once per blob.
#pragma once

#include <cstddef>
#include <cstdint>

#include <windows.h>

#include "platform/win32/byte_cursor.h"

namespace platform {
namespace win32 {

struct ResourceRecord {
  HMODULE module;
  ResName type;
  ResName name;
  uint16_t language;
  const uint8_t* data;
  uint32_t size;
};

// A resource type or name as the A and W calls take it: MAKEINTRESOURCE,
// "#123" or a string. False for a null pointer.
bool NameFromA(LPCSTR text, ResName* name);
bool NameFromW(LPCWSTR text, ResName* name);
ResName OrdinalName(uint16_t ordinal);

// The resource of that type and name in the module, in the language asked
// for (-1: the PC's language, then neutral, then English (United States),
// then any). Sets the last error and returns null when there is none.
const ResourceRecord* FindModuleResource(HMODULE module, const ResName& type, const ResName& name,
                                         int language);
// The record behind an HRSRC, or null when it is not one of ours.
const ResourceRecord* RecordOf(HRSRC handle);
// How many bytes may be read from `p` when it points into a resource of a
// loaded module (to the end of that resource); 0 when it does not.
size_t ResourceBytesFrom(const void* p);

}  // namespace win32
}  // namespace platform
