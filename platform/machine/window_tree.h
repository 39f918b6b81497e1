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
  std::vector<std::string> items;
  int selected = -1;
  // Tab control: the tab captions and the selected tab.
  std::vector<WindowNode> children;  // in z order, top first
  bool focused = false;
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
