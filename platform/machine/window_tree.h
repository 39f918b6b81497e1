// A picture-ready copy of a window and its children, as the window system
// keeps them: what the drawing module needs to render a top-level window,
// dialog, property sheet or property frame in the classic Windows look, and
// what tests read to check a window's state. Plain C++ types: the window
// system fills it, the drawing module (platform/draw) renders it, and
// neither includes the other.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct WindowNode {
  // The window class as registered ("#32770" for dialogs, "Button", "Static",
  // "Edit", "ListBox", "ComboBox", "msctls_trackbar32", "msctls_updown32",
  // "msctls_progress32", "SysTabControl32", or a program's own class).
  std::string className;
  int id = 0;                  // control id (GetDlgCtrlID)
  uint32_t style = 0;          // WS_* and the class's own style bits
  uint32_t exStyle = 0;
  // Position relative to the parent's client area, and size, in pixels.
  int x = 0, y = 0, width = 0, height = 0;
  // The client area's offset within the window (caption and borders).
  int clientX = 0, clientY = 0;
  bool visible = true;
  bool enabled = true;
  // Window text as stored: bytes in the PC's ANSI code page.
  std::string text;
  // Font of the dialog the window belongs to, as its template names it.
  std::string fontFace;        // "MS Sans Serif", "MS Shell Dlg"...
  int fontPointSize = 8;
  bool fontBold = false;
  // Button check state (BST_UNCHECKED 0, BST_CHECKED 1, BST_INDETERMINATE 2);
  // for push buttons, 1 while it is the default button.
  int checkState = 0;
  // Trackbar, up-down and progress bar: range and position; trackbar tick
  // frequency and selection.
  int rangeMin = 0, rangeMax = 100, position = 0;
  int tickFrequency = 1;
  // List box and combo box: items (ANSI bytes) and the selected index (-1
  // none); a combo box's edit or static text is `text`.
  // Tab control ("SysTabControl32"): `items` are the tab captions, left to
  // right, and `selected` the selected tab (-1 none). The pages of a
  // property sheet are not children of the tab control but its siblings,
  // laid over its display area.
  // Popup menu ("#32768"): `items` are the entries' texts ("&Exit",
  // "Open\tCtrl+O"), one state word each in `itemStates`.
  std::vector<std::string> items;
  int selected = -1;
  std::vector<WindowNode> children;  // in z order, top first
  bool focused = false;

  // Popup menu: per entry of `items`, the MF_* / MFT_* / MFS_* bits that
  // matter to its look (MF_GRAYED 0x1, MF_DISABLED 0x2, MF_CHECKED 0x8,
  // MF_POPUP 0x10, MF_HILITE 0x80, MFT_RADIOCHECK 0x200, MF_SEPARATOR 0x800,
  // MF_DEFAULT 0x1000); a missing word counts as 0.
  std::vector<uint32_t> itemStates;
  // List box: index of the first item shown (LB_GETTOPINDEX).
  int topIndex = 0;
  // Trackbar with TBS_ENABLESELRANGE: the selected range (TBM_GETSELSTART,
  // TBM_GETSELEND).
  int selectionStart = 0, selectionEnd = 0;
  // Push button (or push-like check box) held down by the user.
  bool pressed = false;
  // The icon a window shows: of an SS_ICON static, a BS_ICON button, or the
  // small icon in a top-level window's caption (WM_SETICON). `iconId` is the
  // resource id it was loaded by (the system icons by their IDI_* ids,
  // 32512 to 32517); `iconPixels`, when the window system has decoded the
  // icon, are iconWidth x iconHeight pixels 0xAARRGGBB, top-down, alpha not
  // premultiplied. Without pixels the drawing shows a stock picture for the
  // IDI_* ids and a generic program icon for the others; 0 means no icon.
  int iconId = 0;
  int iconWidth = 0, iconHeight = 0;
  std::vector<uint32_t> iconPixels;
};

// What a drawing needs besides the tree: the code page the window texts are
// in (1252, 932, 936, 949, 950), and for a top-level window its caption bar
// (with the text of `text`) and whether it is active.
struct WindowPicture {
  WindowNode root;
  uint32_t codePage = 1252;
  bool captionBar = true;
  bool active = true;
};

}  // namespace platform
