// The standard binary resource file (.res) that resource compilers write:
// a sequence of records, each a RESOURCEHEADER followed by its data, every
// header and every data block starting on a 4-byte boundary. The header:
//
//   DWORD DataSize, DWORD HeaderSize, TYPE, NAME (each 0xFFFF + ordinal or a
//   zero-terminated UTF-16 string), padding to 4 bytes, DWORD DataVersion,
//   WORD MemoryFlags, WORD LanguageId, DWORD Version, DWORD Characteristics.
//
// The first record of a file is an empty one (type and name ordinal 0).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/win32/byte_cursor.h"

namespace platform {
namespace win32 {

struct ResEntry {
  ResName type;
  ResName name;
  uint16_t language = 0;
  const uint8_t* data = nullptr;  // inside the parsed file
  uint32_t size = 0;
};

// Reads every record of a resource file. Records that cannot be read (a
// header or data block that runs past the end, a header size that does not
// cover the header's own fields, a name without terminator) end the walk:
// the records before them are kept and the call returns false.
bool ParseResFile(const uint8_t* data, size_t size, std::vector<ResEntry>* entries);

// The name a caller passes to FindResource: an ordinal (MAKEINTRESOURCE or a
// "#123" string) or a string compared without regard to case.
bool ResNameMatches(const ResName& stored, const ResName& wanted);

}  // namespace win32
}  // namespace platform
