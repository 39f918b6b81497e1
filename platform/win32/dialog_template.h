// Dialog templates as resource compilers write them, in both layouts:
//
// DLGTEMPLATE: DWORD style, DWORD exStyle, WORD cdit, short x, y, cx, cy,
//   menu, class (0x0000 | 0xFFFF + ordinal | UTF-16 string), title (UTF-16
//   string), and with DS_SETFONT: WORD point size, UTF-16 face name.
//   Each item on a 4-byte boundary: DWORD style, DWORD exStyle, short x, y,
//   cx, cy, WORD id, class, title, WORD creation-data size, creation data.
//
// DLGTEMPLATEEX: WORD dlgVer (1), WORD signature (0xFFFF), DWORD helpID,
//   DWORD exStyle, DWORD style, WORD cDlgItems, short x, y, cx, cy, menu,
//   class, title, and with DS_SETFONT or DS_SHELLFONT: WORD point size,
//   WORD weight, BYTE italic, BYTE charset, UTF-16 face name.
//   Each item on a 4-byte boundary: DWORD helpID, DWORD exStyle, DWORD
//   style, short x, y, cx, cy, DWORD id, class, title, WORD extraCount,
//   creation data.
//
// Item classes given by ordinal are the predefined controls: 0x80 Button,
// 0x81 Edit, 0x82 Static, 0x83 ListBox, 0x84 ScrollBar, 0x85 ComboBox.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/win32/byte_cursor.h"

namespace platform {
namespace win32 {

struct DialogItemTemplate {
  uint32_t helpId = 0;
  uint32_t style = 0;
  uint32_t exStyle = 0;
  int16_t x = 0, y = 0, cx = 0, cy = 0;
  uint32_t id = 0;
  ResName windowClass;
  ResName title;  // a string, or an ordinal (an icon's resource id)
  // The creation data as CreateWindowEx receives it: a pointer to the size
  // word followed by the data (null when there is none).
  const uint8_t* creationData = nullptr;
  uint16_t creationSize = 0;
};

struct DialogTemplate {
  bool extended = false;
  uint32_t helpId = 0;
  uint32_t style = 0;
  uint32_t exStyle = 0;
  int16_t x = 0, y = 0, cx = 0, cy = 0;
  ResName menu;
  ResName windowClass;
  std::u16string title;
  bool hasFont = false;
  uint16_t pointSize = 0;
  uint16_t weight = 0;
  bool italic = false;
  uint8_t charset = 0;
  std::u16string faceName;
  std::vector<DialogItemTemplate> items;
};

// Reads a template of either layout from at most `size` bytes. False when
// anything it announces lies beyond them (a missing terminator, fewer
// items than the count says); `out` is then unusable.
bool ParseDialogTemplate(const uint8_t* data, size_t size, DialogTemplate* out);

// The class name of a predefined control ordinal ("Button" for 0x80...), or
// null for any other ordinal.
const char* PredefinedClassName(uint16_t ordinal);

}  // namespace win32
}  // namespace platform
