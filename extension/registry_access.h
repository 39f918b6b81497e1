// The extension's access to its registry keys under
// HKLM\SOFTWARE\Qorvane\QCAM500. A 32-bit extension on 64-bit Windows opens
// the native (64-bit) view, where the driver keeps its values.
#pragma once

#include <windows.h>

namespace qcamext {

// KEY_ALL_ACCESS, with KEY_WOW64_64KEY when IsWow64Process (looked up at run
// time, since older systems lack it) reports a 32-bit process on 64-bit
// Windows.
REGSAM QcamKeyAccess();

// Reads DWORD `name` from HKLM\`subKey`; 0 when the key or value is missing
// or is not a DWORD.
DWORD ReadQcamDword(const char* subKey, const char* name);

// Reads REG_SZ `name` into `text` (at most capacity - 1 bytes, always
// terminated); an empty string when the key or value is missing or is not
// a string.
void ReadQcamString(const char* subKey, const char* name, char* text, DWORD capacity);
// Writes REG_SZ `name` (length including the terminating zero); false when
// the key cannot be opened or the value not written.
bool WriteQcamString(const char* subKey, const char* name, const char* text);

}  // namespace qcamext
