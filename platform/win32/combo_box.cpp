// The ComboBox class: a drop-down list (CBS_DROPDOWNLIST) whose text is
// the selected item, or an edit field with a list (CBS_DROPDOWN,
// CBS_SIMPLE).
#include <algorithm>

#include "platform/win32/controls.h"
#include "platform/win32/window_ops.h"

namespace platform {
namespace win32 {
namespace {

struct ComboState : ControlState {
  ItemList list;
  bool dropped = false;
  size_t limit = 0x7FFFFFFE;
  void Describe(WindowNode* node) const override {
    for (const ListItem& item : list.items) node->items.push_back(item.text);
    node->selected = list.selected;
  }
};

bool DropList(HWND hwnd) { return (StyleOf(hwnd) & 0x3) == CBS_DROPDOWNLIST; }

bool HasStrings(DWORD style) {
  return !(style & (CBS_OWNERDRAWFIXED | CBS_OWNERDRAWVARIABLE)) || (style & CBS_HASSTRINGS);
}

bool ItemOp(UINT message, ListOp* op) {
  switch (message) {
    case CB_ADDSTRING: *op = ListOp::Add; return true;
    case CB_INSERTSTRING: *op = ListOp::Insert; return true;
    case CB_DELETESTRING: *op = ListOp::Delete; return true;
    case CB_RESETCONTENT: *op = ListOp::Reset; return true;
    case CB_GETCOUNT: *op = ListOp::Count; return true;
    case CB_GETCURSEL: *op = ListOp::GetSelection; return true;
    case CB_SETCURSEL: *op = ListOp::SetSelection; return true;
    case CB_GETLBTEXT: *op = ListOp::GetText; return true;
    case CB_GETLBTEXTLEN: *op = ListOp::GetTextLength; return true;
    case CB_SETITEMDATA: *op = ListOp::SetData; return true;
    case CB_GETITEMDATA: *op = ListOp::GetData; return true;
    case CB_FINDSTRING: *op = ListOp::FindPrefix; return true;
    case CB_FINDSTRINGEXACT: *op = ListOp::FindExact; return true;
    case CB_SELECTSTRING: *op = ListOp::SelectString; return true;
    default: return false;
  }
}

// The text shows the selected item (window lock held). A drop-down list
// always does; an edit field takes the text of a newly selected item, and
// is emptied when the list is.
void SyncText(Window& w, ComboState& s, bool selectionChanged) {
  const bool dropList = (w.style & 0x3) == CBS_DROPDOWNLIST;
  if (s.list.Valid(s.list.selected)) {
    if (dropList || selectionChanged) w.text = s.list.items[size_t(s.list.selected)].text;
  } else if (dropList || selectionChanged) {
    w.text.clear();
  }
}

LRESULT RunItemOp(HWND hwnd, ListOp op, WPARAM wParam, LPARAM lParam) {
  const DWORD style = StyleOf(hwnd);
  LRESULT result;
  {
    WindowGuard hold(WindowLock());
    WindowPtr w = FindWindowRecord(hwnd);
    ComboState* s = w ? dynamic_cast<ComboState*>(w->control.get()) : nullptr;
    if (!s) return CB_ERR;
    result = ApplyListOp(s->list, op, wParam, lParam, (style & CBS_SORT) != 0, HasStrings(style), CB_ERR);
    const bool selecting = op == ListOp::SetSelection || op == ListOp::SelectString || op == ListOp::Reset;
    if (selecting || op == ListOp::Delete) SyncText(*w, *s, selecting);
  }
  InvalidateRect(hwnd, nullptr, FALSE);
  return result;
}

void Drop(HWND hwnd, bool open) {
  {
    WindowGuard hold(WindowLock());
    ComboState* s = StateOf<ComboState>(hwnd);
    if (!s || s->dropped == open) return;
    s->dropped = open;
  }
  NotifyCommand(hwnd, open ? CBN_DROPDOWN : CBN_CLOSEUP);
}

// The user picked an item: in the dropped list (closing it) or with the
// arrow keys of a closed one.
void UserSelect(HWND hwnd, int index, bool fromDroppedList) {
  bool changed = false;
  {
    WindowGuard hold(WindowLock());
    WindowPtr w = FindWindowRecord(hwnd);
    ComboState* s = w ? dynamic_cast<ComboState*>(w->control.get()) : nullptr;
    if (!s || !s->list.Valid(index)) return;
    changed = s->list.selected != index;
    s->list.selected = index;
    SyncText(*w, *s, true);
  }
  InvalidateRect(hwnd, nullptr, FALSE);
  if (changed) NotifyCommand(hwnd, CBN_SELCHANGE);
  if (fromDroppedList) {
    NotifyCommand(hwnd, CBN_SELENDOK);
    Drop(hwnd, false);
  }
}

void KeyDown(HWND hwnd, WPARAM key) {
  if (key == VK_F4) {  // F4 opens and closes the list
    bool dropped;
    {
      WindowGuard hold(WindowLock());
      ComboState* s = StateOf<ComboState>(hwnd);
      if (!s) return;
      dropped = s->dropped;
    }
    Drop(hwnd, !dropped);
    return;
  }
  int selected = -1, count = 0;
  {
    WindowGuard hold(WindowLock());
    ComboState* s = StateOf<ComboState>(hwnd);
    if (!s) return;
    selected = s->list.selected;
    count = s->list.Count();
  }
  if (!count) return;
  int next;
  switch (key) {
    case VK_UP: next = selected - 1; break;
    case VK_DOWN: next = selected + 1; break;
    case VK_HOME: next = 0; break;
    case VK_END: next = count - 1; break;
    default: return;
  }
  UserSelect(hwnd, std::min(std::max(next, 0), count - 1), false);
}

// Typing into the edit field of a CBS_DROPDOWN or CBS_SIMPLE box.
void TypeCharacter(HWND hwnd, WPARAM ch) {
  if (DropList(hwnd)) return;
  {
    WindowGuard hold(WindowLock());
    WindowPtr w = FindWindowRecord(hwnd);
    ComboState* s = w ? dynamic_cast<ComboState*>(w->control.get()) : nullptr;
    if (!s) return;
    if (ch == VK_BACK) {
      if (w->text.empty()) return;
      w->text.pop_back();
    } else if (ch >= 0x20) {
      if (w->text.size() >= s->limit) return;
      w->text.push_back(char(ch));
    } else {
      return;
    }
  }
  NotifyCommand(hwnd, CBN_EDITUPDATE);
  NotifyCommand(hwnd, CBN_EDITCHANGE);
}

LRESULT SetText(HWND hwnd, LPCSTR text) {
  const std::string wanted = text ? text : "";
  if (!DropList(hwnd)) {
    StoreWindowText(hwnd, wanted);
    return TRUE;
  }
  // A drop-down list can only show one of its items.
  const LRESULT found = RunItemOp(hwnd, ListOp::FindExact, WPARAM(-1), reinterpret_cast<LPARAM>(wanted.c_str()));
  if (found == CB_ERR) return CB_ERR;
  RunItemOp(hwnd, ListOp::SetSelection, WPARAM(found), 0);
  return TRUE;
}

LRESULT CALLBACK ComboProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (HandleFontMessage(hwnd, message, wParam, &result)) return result;
  ListOp op;
  if (ItemOp(message, &op)) return RunItemOp(hwnd, op, wParam, lParam);
  switch (message) {
    case WM_NCCREATE:
      // The text of a combo box comes from its list, never from its name.
      return TRUE;
    case WM_SETTEXT:
      return SetText(hwnd, reinterpret_cast<LPCSTR>(lParam));
    case CB_SHOWDROPDOWN:
      Drop(hwnd, wParam != 0);
      return TRUE;
    case CB_GETDROPPEDSTATE: {
      WindowGuard hold(WindowLock());
      ComboState* s = StateOf<ComboState>(hwnd);
      return s && s->dropped;
    }
    case CB_LIMITTEXT: {
      if (DropList(hwnd)) return CB_ERR;
      WindowGuard hold(WindowLock());
      ComboState* s = StateOf<ComboState>(hwnd);
      if (s) s->limit = wParam ? size_t(wParam) : 0x7FFFFFFE;
      return TRUE;
    }
    case CB_GETITEMHEIGHT: {
      int width = 0, height = 0;
      ControlTextMetrics(hwnd, &width, &height);
      return height;
    }
    case kComboPickItem:
      UserSelect(hwnd, int(wParam), true);
      return 0;
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_LBUTTONDOWN: {
      SetFocus(hwnd);
      bool dropped;
      {
        WindowGuard hold(WindowLock());
        ComboState* s = StateOf<ComboState>(hwnd);
        if (!s) return 0;
        dropped = s->dropped;
      }
      if (dropped) NotifyCommand(hwnd, CBN_SELENDCANCEL);
      Drop(hwnd, !dropped);
      return 0;
    }
    case WM_KEYDOWN:
      KeyDown(hwnd, wParam);
      return 0;
    case WM_CHAR:
      TypeCharacter(hwnd, wParam);
      return 0;
    case WM_SETFOCUS: case WM_KILLFOCUS:
      if (message == WM_KILLFOCUS) Drop(hwnd, false);
      NotifyCommand(hwnd, message == WM_SETFOCUS ? CBN_SETFOCUS : CBN_KILLFOCUS);
      return 0;
    default:
      return DefWindowProcA(hwnd, message, wParam, lParam);
  }
}

const ControlClassRegistrar g_combo("ComboBox", ComboProc, MakeState<ComboState>);

}  // namespace
}  // namespace win32
}  // namespace platform
