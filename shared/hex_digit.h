// One hexadecimal digit of the texts the user-mode programs read (the
// command page's register values, the tray's language id): 0-9, a-f, A-F.
#pragma once

namespace qcam {

// The digit's value, or -1 for any other character.
inline int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace qcam
