// The tab control (SysTabControl32) of property sheets and frames.
#include <algorithm>

#include "platform/win32/controls.h"
#include "platform/win32/text.h"

namespace platform {
namespace win32 {
namespace {

// Tab captions get this much room beside their text; the row of tabs
// starts this far in; the frame around the display area is this wide.
constexpr int kTabPadding = 6;
constexpr int kTabIndent = 2;
constexpr int kBorder = 2;

struct TabItem {
  std::string text;
  LPARAM param = 0;
  int image = -1;
};

struct TabState : ControlState {
  std::vector<TabItem> items;
  int selected = -1;
  void Describe(WindowNode* node) const override {
    for (const TabItem& item : items) node->items.push_back(item.text);
    node->selected = selected;
  }
};

int HeaderHeight(HWND hwnd) {
  int width = 0, height = 0;
  ControlTextMetrics(hwnd, &width, &height);
  return height + kTabPadding;
}

// The rectangles of the tabs, left to right, in client coordinates.
std::vector<RECT> TabRects(HWND hwnd) {
  int average = 0, height = 0;
  ControlTextMetrics(hwnd, &average, &height);
  std::vector<std::string> texts;
  {
    WindowGuard hold(WindowLock());
    TabState* s = StateOf<TabState>(hwnd);
    if (!s) return {};
    for (const TabItem& item : s->items) texts.push_back(item.text);
  }
  std::vector<RECT> rects;
  int x = kTabIndent;
  const int top = 2, bottom = height + kTabPadding;
  for (const std::string& text : texts) {
    const int width = int(text.size()) * average + 2 * kTabPadding;
    rects.push_back(RECT{x, top, x + width, bottom});
    x += width;
  }
  return rects;
}

// The user chose tab `index`: the parent may refuse (TCN_SELCHANGING
// returning TRUE); otherwise the tab changes and TCN_SELCHANGE follows.
void UserSelect(HWND hwnd, int index) {
  {
    WindowGuard hold(WindowLock());
    TabState* s = StateOf<TabState>(hwnd);
    if (!s || index < 0 || index >= int(s->items.size()) || index == s->selected) return;
  }
  NMHDR header;
  if (NotifyParent(hwnd, TCN_SELCHANGING, &header)) return;
  {
    WindowGuard hold(WindowLock());
    TabState* s = StateOf<TabState>(hwnd);
    if (!s || index >= int(s->items.size())) return;
    s->selected = index;
  }
  InvalidateRect(hwnd, nullptr, FALSE);
  NotifyParent(hwnd, TCN_SELCHANGE, &header);
}

// Item fields in and out of TCITEMA / TCITEMW (wide text converted).
template <class Item>
void ReadItem(const Item& in, TabItem* item, bool wide) {
  if (in.mask & TCIF_TEXT) {
    if (wide)
      item->text = WideToAnsiText(WideOrEmpty(reinterpret_cast<LPCWSTR>(in.pszText)));
    else
      item->text = AnsiOrEmpty(reinterpret_cast<LPCSTR>(in.pszText));
  }
  if (in.mask & TCIF_PARAM) item->param = in.lParam;
  if (in.mask & TCIF_IMAGE) item->image = in.iImage;
}

template <class Item>
void WriteItem(const TabItem& item, Item* out, bool wide) {
  if (out->mask & TCIF_TEXT) {
    if (wide)
      CopyOut(AnsiToWideText(item.text), reinterpret_cast<LPWSTR>(out->pszText), out->cchTextMax);
    else
      CopyOut(item.text, reinterpret_cast<LPSTR>(out->pszText), out->cchTextMax);
  }
  if (out->mask & TCIF_PARAM) out->lParam = item.param;
  if (out->mask & TCIF_IMAGE) out->iImage = item.image;
}

template <class Item>
LRESULT ItemMessage(HWND hwnd, UINT op, WPARAM wParam, LPARAM lParam, bool wide) {
  Item* item = reinterpret_cast<Item*>(lParam);
  if (!item) return op == TCM_INSERTITEMA ? -1 : FALSE;
  WindowGuard hold(WindowLock());
  TabState* s = StateOf<TabState>(hwnd);
  if (!s) return -1;
  const int index = int(INT_PTR(wParam));
  const int count = int(s->items.size());
  switch (op) {
    case TCM_INSERTITEMA: {
      if (index < 0) return -1;
      const int at = std::min(index, count);
      TabItem fresh;
      ReadItem(*item, &fresh, wide);
      s->items.insert(s->items.begin() + at, fresh);
      if (s->selected < 0) s->selected = 0;  // the first tab is selected
      else if (s->selected >= at && count > 0) ++s->selected;
      return at;
    }
    case TCM_SETITEMA:
      if (index < 0 || index >= count) return FALSE;
      ReadItem(*item, &s->items[size_t(index)], wide);
      return TRUE;
    default:  // TCM_GETITEMA
      if (index < 0 || index >= count) return FALSE;
      WriteItem(s->items[size_t(index)], item, wide);
      return TRUE;
  }
}

LRESULT StateMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  WindowGuard hold(WindowLock());
  TabState* s = StateOf<TabState>(hwnd);
  if (!s) return -1;
  const int index = int(INT_PTR(wParam));
  const int count = int(s->items.size());
  switch (message) {
    case TCM_GETITEMCOUNT: return count;
    case TCM_GETCURSEL: case TCM_GETCURFOCUS: return s->selected;
    case TCM_SETCURSEL: {
      if (index < 0 || index >= count) return -1;
      const int old = s->selected;
      s->selected = index;
      return old;
    }
    case TCM_DELETEITEM:
      if (index < 0 || index >= count) return FALSE;
      s->items.erase(s->items.begin() + index);
      if (s->selected == index)
        s->selected = -1;
      else if (s->selected > index)
        --s->selected;
      return TRUE;
    case TCM_DELETEALLITEMS:
      s->items.clear();
      s->selected = -1;
      return TRUE;
    case TCM_GETROWCOUNT: return 1;
    default: return 0;
  }
}

// TCM_ADJUSTRECT: window rectangle to display area, or back with fLarger.
void AdjustRect(HWND hwnd, bool larger, RECT* rect) {
  if (!rect) return;
  const int header = HeaderHeight(hwnd);
  const int sign = larger ? -1 : 1;
  rect->left += sign * kBorder;
  rect->right -= sign * kBorder;
  rect->top += sign * (header + kBorder);
  rect->bottom -= sign * kBorder;
}

int TabAt(HWND hwnd, LPARAM lParam) {
  const POINT p = {SHORT(LOWORD(lParam)), SHORT(HIWORD(lParam))};
  const std::vector<RECT> rects = TabRects(hwnd);
  for (size_t i = 0; i < rects.size(); ++i)
    if (PtInRect(&rects[i], p)) return int(i);
  return -1;
}

LRESULT CALLBACK TabProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (HandleFontMessage(hwnd, message, wParam, &result)) return result;
  switch (message) {
    case TCM_INSERTITEMA: case TCM_SETITEMA: case TCM_GETITEMA:
      result = ItemMessage<TCITEMA>(hwnd, message, wParam, lParam, false);
      InvalidateRect(hwnd, nullptr, FALSE);
      return result;
    case TCM_INSERTITEMW: case TCM_SETITEMW: case TCM_GETITEMW: {
      const UINT op = message == TCM_INSERTITEMW ? TCM_INSERTITEMA : message == TCM_SETITEMW ? TCM_SETITEMA
                                                                                           : TCM_GETITEMA;
      result = ItemMessage<TCITEMW>(hwnd, op, wParam, lParam, true);
      InvalidateRect(hwnd, nullptr, FALSE);
      return result;
    }
    case TCM_GETITEMCOUNT: case TCM_GETCURSEL: case TCM_GETCURFOCUS: case TCM_SETCURSEL: case TCM_DELETEITEM:
    case TCM_DELETEALLITEMS: case TCM_GETROWCOUNT:
      result = StateMessage(hwnd, message, wParam, lParam);
      InvalidateRect(hwnd, nullptr, FALSE);
      return result;
    case TCM_SETCURFOCUS:
      UserSelect(hwnd, int(INT_PTR(wParam)));
      return 0;
    case TCM_GETITEMRECT: {
      const std::vector<RECT> rects = TabRects(hwnd);
      if (wParam >= rects.size() || !lParam) return FALSE;
      *reinterpret_cast<RECT*>(lParam) = rects[wParam];
      return TRUE;
    }
    case TCM_ADJUSTRECT:
      AdjustRect(hwnd, wParam != 0, reinterpret_cast<RECT*>(lParam));
      return 0;
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_LBUTTONDOWN: {
      const int at = TabAt(hwnd, lParam);
      if (at >= 0) UserSelect(hwnd, at);
      return 0;
    }
    case WM_KEYDOWN: {
      const int current = int(StateMessage(hwnd, TCM_GETCURSEL, 0, 0));
      if (wParam == VK_LEFT) UserSelect(hwnd, current - 1);
      if (wParam == VK_RIGHT) UserSelect(hwnd, current + 1);
      return 0;
    }
    default:
      return DefWindowProcA(hwnd, message, wParam, lParam);
  }
}

const ControlClassRegistrar g_tab("SysTabControl32", TabProc, MakeState<TabState>);

}  // namespace

bool TabPoint(HWND tab, int index, POINT* point) {
  const std::vector<RECT> rects = TabRects(tab);
  if (index < 0 || size_t(index) >= rects.size()) return false;
  point->x = (rects[size_t(index)].left + rects[size_t(index)].right) / 2;
  point->y = (rects[size_t(index)].top + rects[size_t(index)].bottom) / 2;
  return true;
}

}  // namespace win32
}  // namespace platform
