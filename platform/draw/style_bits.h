// The window, control and menu style bits the drawing looks at, with the
// Windows SDK's names and values. They live in their own namespace (not as
// macros) so that this Linux-only module and its tests never collide with
// the SDK-named headers of the platform.
#pragma once

#include <cstdint>

namespace draw {
namespace styles {

// Window styles.
constexpr uint32_t WS_CHILD = 0x40000000;
constexpr uint32_t WS_VISIBLE = 0x10000000;
constexpr uint32_t WS_DISABLED = 0x08000000;
constexpr uint32_t WS_CAPTION = 0x00C00000;
constexpr uint32_t WS_BORDER = 0x00800000;
constexpr uint32_t WS_DLGFRAME = 0x00400000;
constexpr uint32_t WS_VSCROLL = 0x00200000;
constexpr uint32_t WS_HSCROLL = 0x00100000;
constexpr uint32_t WS_SYSMENU = 0x00080000;
constexpr uint32_t WS_THICKFRAME = 0x00040000;
constexpr uint32_t WS_GROUP = 0x00020000;
constexpr uint32_t WS_TABSTOP = 0x00010000;
constexpr uint32_t WS_MINIMIZEBOX = 0x00020000;
constexpr uint32_t WS_MAXIMIZEBOX = 0x00010000;
constexpr uint32_t DS_MODALFRAME = 0x80;

// Extended window styles.
constexpr uint32_t WS_EX_DLGMODALFRAME = 0x00000001;
constexpr uint32_t WS_EX_CONTEXTHELP = 0x00000400;
constexpr uint32_t WS_EX_CLIENTEDGE = 0x00000200;
constexpr uint32_t WS_EX_STATICEDGE = 0x00020000;

// Buttons.
constexpr uint32_t BS_PUSHBUTTON = 0x0;
constexpr uint32_t BS_DEFPUSHBUTTON = 0x1;
constexpr uint32_t BS_CHECKBOX = 0x2;
constexpr uint32_t BS_AUTOCHECKBOX = 0x3;
constexpr uint32_t BS_RADIOBUTTON = 0x4;
constexpr uint32_t BS_3STATE = 0x5;
constexpr uint32_t BS_AUTO3STATE = 0x6;
constexpr uint32_t BS_GROUPBOX = 0x7;
constexpr uint32_t BS_USERBUTTON = 0x8;
constexpr uint32_t BS_AUTORADIOBUTTON = 0x9;
constexpr uint32_t BS_PUSHBOX = 0xA;
constexpr uint32_t BS_OWNERDRAW = 0xB;
constexpr uint32_t BS_TYPEMASK = 0xF;
constexpr uint32_t BS_LEFTTEXT = 0x20;
constexpr uint32_t BS_ICON = 0x40;
constexpr uint32_t BS_BITMAP = 0x80;
constexpr uint32_t BS_LEFT = 0x100;
constexpr uint32_t BS_RIGHT = 0x200;
constexpr uint32_t BS_CENTER = 0x300;
constexpr uint32_t BS_TOP = 0x400;
constexpr uint32_t BS_BOTTOM = 0x800;
constexpr uint32_t BS_VCENTER = 0xC00;
constexpr uint32_t BS_PUSHLIKE = 0x1000;
constexpr uint32_t BS_MULTILINE = 0x2000;
constexpr uint32_t BS_FLAT = 0x8000;

// Statics.
constexpr uint32_t SS_LEFT = 0x0;
constexpr uint32_t SS_CENTER = 0x1;
constexpr uint32_t SS_RIGHT = 0x2;
constexpr uint32_t SS_ICON = 0x3;
constexpr uint32_t SS_BLACKRECT = 0x4;
constexpr uint32_t SS_GRAYRECT = 0x5;
constexpr uint32_t SS_WHITERECT = 0x6;
constexpr uint32_t SS_BLACKFRAME = 0x7;
constexpr uint32_t SS_GRAYFRAME = 0x8;
constexpr uint32_t SS_WHITEFRAME = 0x9;
constexpr uint32_t SS_SIMPLE = 0xB;
constexpr uint32_t SS_LEFTNOWORDWRAP = 0xC;
constexpr uint32_t SS_ETCHEDHORZ = 0x10;
constexpr uint32_t SS_ETCHEDVERT = 0x11;
constexpr uint32_t SS_ETCHEDFRAME = 0x12;
constexpr uint32_t SS_TYPEMASK = 0x1F;
constexpr uint32_t SS_NOPREFIX = 0x80;
constexpr uint32_t SS_CENTERIMAGE = 0x200;
constexpr uint32_t SS_SUNKEN = 0x1000;
constexpr uint32_t SS_ENDELLIPSIS = 0x4000;
constexpr uint32_t SS_PATHELLIPSIS = 0x8000;
constexpr uint32_t SS_WORDELLIPSIS = 0xC000;
constexpr uint32_t SS_ELLIPSISMASK = 0xC000;

// Edits.
constexpr uint32_t ES_LEFT = 0x0;
constexpr uint32_t ES_CENTER = 0x1;
constexpr uint32_t ES_RIGHT = 0x2;
constexpr uint32_t ES_MULTILINE = 0x4;
constexpr uint32_t ES_PASSWORD = 0x20;
constexpr uint32_t ES_AUTOHSCROLL = 0x80;
constexpr uint32_t ES_READONLY = 0x800;
constexpr uint32_t ES_NUMBER = 0x2000;

// List boxes and combo boxes.
constexpr uint32_t LBS_NOTIFY = 0x1;
constexpr uint32_t LBS_NOINTEGRALHEIGHT = 0x100;
constexpr uint32_t LBS_DISABLENOSCROLL = 0x1000;
constexpr uint32_t CBS_SIMPLE = 0x1;
constexpr uint32_t CBS_DROPDOWN = 0x2;
constexpr uint32_t CBS_DROPDOWNLIST = 0x3;

// Scroll bars.
constexpr uint32_t SBS_VERT = 0x1;

// Trackbars.
constexpr uint32_t TBS_AUTOTICKS = 0x1;
constexpr uint32_t TBS_VERT = 0x2;
constexpr uint32_t TBS_HORZ = 0x0;
constexpr uint32_t TBS_TOP = 0x4;
constexpr uint32_t TBS_LEFT = 0x4;
constexpr uint32_t TBS_BOTTOM = 0x0;
constexpr uint32_t TBS_RIGHT = 0x0;
constexpr uint32_t TBS_BOTH = 0x8;
constexpr uint32_t TBS_NOTICKS = 0x10;
constexpr uint32_t TBS_ENABLESELRANGE = 0x20;
constexpr uint32_t TBS_NOTHUMB = 0x80;

// Up-down controls.
constexpr uint32_t UDS_SETBUDDYINT = 0x2;
constexpr uint32_t UDS_ALIGNRIGHT = 0x4;
constexpr uint32_t UDS_ALIGNLEFT = 0x8;
constexpr uint32_t UDS_ARROWKEYS = 0x20;
constexpr uint32_t UDS_HORZ = 0x40;

// Progress bars.
constexpr uint32_t PBS_SMOOTH = 0x1;
constexpr uint32_t PBS_VERTICAL = 0x4;

// Tab controls.
constexpr uint32_t TCS_BOTTOM = 0x2;
constexpr uint32_t TCS_BUTTONS = 0x100;

// Menu entries.
constexpr uint32_t MF_GRAYED = 0x1;
constexpr uint32_t MF_DISABLED = 0x2;
constexpr uint32_t MF_CHECKED = 0x8;
constexpr uint32_t MF_POPUP = 0x10;
constexpr uint32_t MF_HILITE = 0x80;
constexpr uint32_t MFT_RADIOCHECK = 0x200;
constexpr uint32_t MF_SEPARATOR = 0x800;
constexpr uint32_t MF_DEFAULT = 0x1000;

// Button check states.
constexpr int BST_UNCHECKED = 0;
constexpr int BST_CHECKED = 1;
constexpr int BST_INDETERMINATE = 2;

// The system icons.
constexpr int IDI_APPLICATION = 32512;
constexpr int IDI_HAND = 32513;
constexpr int IDI_QUESTION = 32514;
constexpr int IDI_EXCLAMATION = 32515;
constexpr int IDI_ASTERISK = 32516;
constexpr int IDI_WINLOGO = 32517;

}  // namespace styles
}  // namespace draw
