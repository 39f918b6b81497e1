// The ListBox class (single selection).
#include <algorithm>

#include "platform/win32/controls.h"

namespace platform {
namespace win32 {
namespace {

struct ListBoxState : ControlState {
  ItemList list;
  void Describe(WindowNode* node) const override {
    for (const ListItem& item : list.items) node->items.push_back(item.text);
    node->selected = list.selected;
    node->topIndex = list.top;
  }
};

bool HasStrings(DWORD style) {
  return !(style & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE)) || (style & LBS_HASSTRINGS);
}

bool ItemOp(UINT message, ListOp* op) {
  switch (message) {
    case LB_ADDSTRING: *op = ListOp::Add; return true;
    case LB_INSERTSTRING: *op = ListOp::Insert; return true;
    case LB_DELETESTRING: *op = ListOp::Delete; return true;
    case LB_RESETCONTENT: *op = ListOp::Reset; return true;
    case LB_GETCOUNT: *op = ListOp::Count; return true;
    case LB_GETCURSEL: *op = ListOp::GetSelection; return true;
    case LB_SETCURSEL: *op = ListOp::SetSelection; return true;
    case LB_GETTEXT: *op = ListOp::GetText; return true;
    case LB_GETTEXTLEN: *op = ListOp::GetTextLength; return true;
    case LB_SETITEMDATA: *op = ListOp::SetData; return true;
    case LB_GETITEMDATA: *op = ListOp::GetData; return true;
    case LB_FINDSTRING: *op = ListOp::FindPrefix; return true;
    case LB_FINDSTRINGEXACT: *op = ListOp::FindExact; return true;
    case LB_SELECTSTRING: *op = ListOp::SelectString; return true;
    default: return false;
  }
}

int ItemHeight(HWND hwnd) {
  int width = 0, height = 0;
  ControlTextMetrics(hwnd, &width, &height);
  return std::max(height, 1);
}

int VisibleRows(HWND hwnd) {
  RECT client;
  GetClientRect(hwnd, &client);
  return std::max(1, int(client.bottom / ItemHeight(hwnd)));
}

// Scrolls `index` into view.
void Reveal(HWND hwnd, int index) {
  const int rows = VisibleRows(hwnd);
  WindowGuard hold(WindowLock());
  ListBoxState* s = StateOf<ListBoxState>(hwnd);
  if (!s || !s->list.Valid(index)) return;
  if (index < s->list.top) s->list.top = index;
  if (index >= s->list.top + rows) s->list.top = index - rows + 1;
}

// The user selected `index`: LBN_SELCHANGE when it changed and the list
// notifies.
void UserSelect(HWND hwnd, int index) {
  bool changed = false;
  {
    WindowGuard hold(WindowLock());
    ListBoxState* s = StateOf<ListBoxState>(hwnd);
    if (!s || !s->list.Valid(index)) return;
    changed = s->list.selected != index;
    s->list.selected = index;
  }
  Reveal(hwnd, index);
  InvalidateRect(hwnd, nullptr, FALSE);
  if (changed && (StyleOf(hwnd) & LBS_NOTIFY)) NotifyCommand(hwnd, LBN_SELCHANGE);
}

int IndexAt(HWND hwnd, int y) {
  WindowGuard hold(WindowLock());
  ListBoxState* s = StateOf<ListBoxState>(hwnd);
  return s ? s->list.top + y / ItemHeight(hwnd) : -1;
}

void KeyDown(HWND hwnd, WPARAM key) {
  int selected = -1, count = 0;
  {
    WindowGuard hold(WindowLock());
    ListBoxState* s = StateOf<ListBoxState>(hwnd);
    if (!s) return;
    selected = s->list.selected;
    count = s->list.Count();
  }
  if (!count) return;
  const int page = VisibleRows(hwnd);
  int next = selected;
  switch (key) {
    case VK_UP: next = selected - 1; break;
    case VK_DOWN: next = selected + 1; break;
    case VK_HOME: next = 0; break;
    case VK_END: next = count - 1; break;
    case VK_PRIOR: next = selected - page; break;
    case VK_NEXT: next = selected + page; break;
    default: return;
  }
  UserSelect(hwnd, std::min(std::max(next, 0), count - 1));
}

LRESULT CALLBACK ListBoxProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (HandleFontMessage(hwnd, message, wParam, &result)) return result;
  ListOp op;
  if (ItemOp(message, &op)) {
    const DWORD style = StyleOf(hwnd);
    {
      WindowGuard hold(WindowLock());
      ListBoxState* s = StateOf<ListBoxState>(hwnd);
      if (!s) return LB_ERR;
      result = ApplyListOp(s->list, op, wParam, lParam, (style & LBS_SORT) != 0, HasStrings(style), LB_ERR);
    }
    InvalidateRect(hwnd, nullptr, FALSE);
    return result;
  }
  const DWORD style = StyleOf(hwnd);
  const bool notify = (style & LBS_NOTIFY) != 0;
  switch (message) {
    case LB_GETSEL: {
      WindowGuard hold(WindowLock());
      ListBoxState* s = StateOf<ListBoxState>(hwnd);
      if (!s || !s->list.Valid(int(wParam))) return LB_ERR;
      return s->list.selected == int(wParam) ? 1 : 0;
    }
    case LB_SETSEL: case LB_GETSELCOUNT: case LB_GETSELITEMS:
      return LB_ERR;  // messages of multiple-selection lists
    case LB_GETTOPINDEX: case LB_GETCARETINDEX: {
      WindowGuard hold(WindowLock());
      ListBoxState* s = StateOf<ListBoxState>(hwnd);
      if (!s) return LB_ERR;
      return message == LB_GETTOPINDEX ? s->list.top : std::max(s->list.selected, 0);
    }
    case LB_SETTOPINDEX: {
      WindowGuard hold(WindowLock());
      ListBoxState* s = StateOf<ListBoxState>(hwnd);
      if (!s || !s->list.Valid(int(wParam))) return LB_ERR;
      s->list.top = int(wParam);
      return LB_OKAY;
    }
    case LB_SETCARETINDEX:
      Reveal(hwnd, int(wParam));
      return LB_OKAY;
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_LBUTTONDOWN:
      SetFocus(hwnd);
      UserSelect(hwnd, IndexAt(hwnd, SHORT(HIWORD(lParam))));
      return 0;
    case WM_LBUTTONDBLCLK:
      if (notify) NotifyCommand(hwnd, LBN_DBLCLK);
      return 0;
    case WM_KEYDOWN:
      KeyDown(hwnd, wParam);
      return 0;
    case WM_SETFOCUS: case WM_KILLFOCUS:
      if (notify) NotifyCommand(hwnd, message == WM_SETFOCUS ? LBN_SETFOCUS : LBN_KILLFOCUS);
      return 0;
    default:
      return DefWindowProcA(hwnd, message, wParam, lParam);
  }
}

const ControlClassRegistrar g_listBox("ListBox", ListBoxProc, MakeState<ListBoxState>);

}  // namespace

bool ListItemPoint(HWND listBox, int index, POINT* point) {
  {
    WindowGuard hold(WindowLock());
    ListBoxState* s = StateOf<ListBoxState>(listBox);
    if (!s || !s->list.Valid(index)) return false;
  }
  Reveal(listBox, index);
  WindowGuard hold(WindowLock());
  ListBoxState* s = StateOf<ListBoxState>(listBox);
  const int h = ItemHeight(listBox);
  point->x = 4;
  point->y = (index - s->list.top) * h + h / 2;
  return true;
}

}  // namespace win32
}  // namespace platform
