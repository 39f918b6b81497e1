// The window that property sheets and OLE property frames share: a dialog
// with a tab control over the pages and a row of OK, Cancel, Apply (and
// Help) buttons, built from a DLGTEMPLATEEX made at run time, as the system
// builds its own from a resource; and its layout around the largest page.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <windows.h>

namespace platform {
namespace win32 {

// Ids of the frame's controls (those of Windows' property sheets).
constexpr int kTabControlId = 0x3020;
constexpr int kApplyButtonId = 0x3021;

struct FrameLayout {
  std::wstring caption;
  bool applyButton = true;
  bool helpButton = false;
  bool centred = true;
};

// The frame's template: "MS Shell Dlg" 8 pt, a popup with a caption, and
// the tab control and buttons (placed properly by LayOutFrame).
std::vector<uint8_t> BuildFrameTemplate(const FrameLayout& layout);

// Places the tab control so that its display area holds `page` (pixels),
// the buttons in a row below it on the right, and sizes the frame around
// them; returns the display area in the frame's client coordinates.
RECT LayOutFrame(HWND frame, SIZE page);

// The size in pixels of the dialog a template describes (in its own
// font's dialog units); false for a bad template.
bool TemplateSize(const uint8_t* data, size_t size, SIZE* pixels);

}  // namespace win32
}  // namespace platform
