// The window system's side of the machine's modal hooks
// (platform/machine/window_system.h): the modal loops, message boxes and
// popup menus report here, on the thread that runs them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <windows.h>

#include "platform/machine/window_system.h"

namespace platform {
namespace win32 {

// A modal window came up (`idle` false) or its loop ran out of messages
// (`idle` true).
void NotifyModal(HWND modal, bool idle);

// A message box: records it, tells the hook and returns the answer (a
// scripted one that the box's buttons allow, else the default button).
int AnswerMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type);

// An open-file dialog: the scripted path the user picks, or an empty
// string for Cancel.
std::string AnswerOpenFileDialog();

// A popup menu shown at (x, y): returns the scripted choice (0 when the
// user dismissed it).
int ChoosePopupMenuItem(HMENU menu, HWND owner, int x, int y);

// The items of a menu (menus.cpp).
bool DescribeMenuItems(HMENU menu, std::vector<MenuItemInfo>* items);

// What an icon handle stands for (icons.cpp).
bool DescribeIconHandle(HICON icon, IconInfo* info);

// What a property-sheet page handle was made from (property_sheet.cpp).
bool DescribeSheetPageHandle(_PSP* page, SheetPageInfo* info);

// The icon's resource id (the IDI_* value for a system icon) and its image
// closest to `wanted` pixels wide, decoded to 0xAARRGGBB pixels top-down
// (none for a PNG image or a system icon). False for no icon of ours.
bool IconPixels(HICON icon, int wanted, int* id, int* width, int* height, std::vector<uint32_t>* pixels);

// The ICC_* classes InitCommonControls(Ex) was asked for.
uint32_t InitializedCommonControlClasses();
void ResetCommonControlClasses();

}  // namespace win32
}  // namespace platform
