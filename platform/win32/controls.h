// What the predefined controls share: class registration, notifications
// to the parent, fonts, the item list of list and combo boxes, and the
// geometry that user actions (platform/machine/window_system.h) aim at.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <commctrl.h>
#include <windows.h>

#include "platform/win32/window_manager.h"

namespace platform {
namespace win32 {

// Registers a predefined control class at start-up.
struct ControlClassRegistrar {
  ControlClassRegistrar(const char* name, WNDPROC proc, std::unique_ptr<ControlState> (*makeState)(),
                        UINT style = CS_DBLCLKS | CS_PARENTDC);
};
template <class T>
std::unique_ptr<ControlState> MakeState() {
  return std::unique_ptr<ControlState>(new T);
}

// WM_COMMAND (control id, code) with the control's handle to its parent.
void NotifyCommand(HWND control, UINT code);
// WM_NOTIFY to the parent; fills hwndFrom, idFrom and code.
LRESULT NotifyParent(HWND control, UINT code, NMHDR* header);
// WM_HSCROLL / WM_VSCROLL to the parent with the control's handle.
void NotifyScroll(HWND control, bool vertical, WORD code, WORD position);

// WM_SETFONT / WM_GETFONT of a control (the font is kept on the window);
// true when the message was one of them.
bool HandleFontMessage(HWND hwnd, UINT message, WPARAM wParam, LRESULT* result);
// The height of a line of text and the average character width in the
// control's font, in pixels.
void ControlTextMetrics(HWND hwnd, int* averageWidth, int* lineHeight);

DWORD StyleOf(HWND hwnd);

// Items of a list box or a combo box's list.
struct ListItem {
  std::string text;  // ANSI
  ULONG_PTR data = 0;
};

class ItemList {
 public:
  std::vector<ListItem> items;
  int selected = -1;
  int top = 0;

  int Count() const { return int(items.size()); }
  bool Valid(int index) const { return index >= 0 && index < Count(); }
  // Adds at the end, or in sorted place (case ignored); returns the index.
  int Add(const ListItem& item, bool sorted);
  // Inserts at `index` (-1: at the end); -1 when the index is past the end.
  int Insert(int index, const ListItem& item);
  // Removes an item; the selection follows its item. Returns the count left
  // or -1 for a bad index.
  int Remove(int index);
  void Clear();
  // The first item after `start` (wrapping; -1 starts at the top) whose text
  // begins with `prefix` (or equals it, when `exact`), case ignored; -1 when
  // none.
  int Find(int start, const std::string& prefix, bool exact) const;
};

// The item messages list boxes and combo boxes share (LB_ADDSTRING and
// CB_ADDSTRING are both Add...). Programmatic: no notifications.
enum class ListOp {
  Add, Insert, Delete, Reset, Count, GetSelection, SetSelection, GetText, GetTextLength,
  SetData, GetData, FindPrefix, FindExact, SelectString
};
// Runs one on `list` (window lock held); `error` is LB_ERR or CB_ERR.
LRESULT ApplyListOp(ItemList& list, ListOp op, WPARAM wParam, LPARAM lParam, bool sorted, bool hasStrings,
                    LRESULT error);

// The point (client coordinates) a user clicks to pick a list item, which
// the list scrolls into view first; false for a bad index.
bool ListItemPoint(HWND listBox, int index, POINT* point);
// The point of the trackbar's thumb at `position`.
POINT TrackbarPoint(HWND trackbar, int position);
// The point of a tab's caption; false for a bad index.
bool TabPoint(HWND tab, int index, POINT* point);
// Private message of the combo box: the user picked item wParam in the
// dropped-down list (what the list of a real combo box reports to it).
constexpr UINT kComboPickItem = 0x01FE;

}  // namespace win32
}  // namespace platform
