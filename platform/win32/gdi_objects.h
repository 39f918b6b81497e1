// The GDI objects of the window system: fonts (dialog fonts and those the
// programs create), device contexts of windows, and the stock objects.
// Handles are records of a table, so a stale or foreign handle is
// recognised and refused.
#pragma once

#include <string>

#include <windows.h>

namespace platform {
namespace win32 {

struct FontInfo {
  std::string face;     // ANSI
  int pointSize = 8;    // at 96 DPI
  int weight = FW_NORMAL;
  bool italic = false;
  int charset = DEFAULT_CHARSET;
};

HFONT CreateFontObject(const FontInfo& info);
// False when `font` is no font of ours (a stock font counts).
bool DescribeFont(HFONT font, FontInfo* info);
// The stock font the controls use until they get WM_SETFONT ("System").
HFONT SystemFont();

}  // namespace win32
}  // namespace platform
