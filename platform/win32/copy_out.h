// The contract of the calls that hand a path to the caller's buffer
// (GetSystemDirectory, GetWindowsDirectory, GetTempPath): the length copied
// without the terminator, or, when the buffer is too small (or missing), the
// size it needs with the terminator and nothing copied.
#pragma once

#include <windows.h>

#include <algorithm>
#include <string>

template <class Char>
DWORD CopyPathOut(const std::basic_string<Char>& text, Char* buffer, UINT size) {
  if (!buffer || text.size() + 1 > size) return DWORD(text.size() + 1);
  std::copy(text.begin(), text.end(), buffer);
  buffer[text.size()] = Char(0);
  return DWORD(text.size());
}
