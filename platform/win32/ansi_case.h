// Case-insensitive comparison of ANSI text as Windows does it for names
// (INI sections and keys, lstrcmpiA): letters fold to lower case, and in the
// double-byte code pages the second byte of a character is never folded.
#pragma once

#include <cstdint>
#include <string>

namespace ansi_case {

bool IsLeadByte(uint32_t codePage, unsigned char b);
// `s` with every single-byte capital letter of the code page in lower case.
std::string Fold(uint32_t codePage, const std::string& s);

}  // namespace ansi_case
