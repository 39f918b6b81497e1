// Shared parts of the predefined controls.
#include "platform/win32/controls.h"

#include <cstring>

#include "platform/win32/dialog_manager.h"
#include "platform/win32/gdi_objects.h"
#include "platform/win32/message_queue.h"
#include "platform/win32/text.h"

namespace platform {
namespace win32 {

ControlClassRegistrar::ControlClassRegistrar(const char* name, WNDPROC proc,
                                             std::unique_ptr<ControlState> (*makeState)(), UINT style) {
  WindowClass cls;
  cls.name = name;
  cls.style = style | CS_GLOBALCLASS;
  cls.proc = proc;
  cls.makeState = makeState;
  RegisterSystemClass(cls);
}

void NotifyCommand(HWND control, UINT code) {
  HWND parent = GetParent(control);
  if (!parent) return;
  Send(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), code), reinterpret_cast<LPARAM>(control));
}

LRESULT NotifyParent(HWND control, UINT code, NMHDR* header) {
  HWND parent = GetParent(control);
  if (!parent) return 0;
  header->hwndFrom = control;
  header->idFrom = UINT_PTR(GetDlgCtrlID(control));
  header->code = code;
  return Send(parent, WM_NOTIFY, WPARAM(header->idFrom), reinterpret_cast<LPARAM>(header));
}

void NotifyScroll(HWND control, bool vertical, WORD code, WORD position) {
  HWND parent = GetParent(control);
  if (!parent) return;
  Send(parent, vertical ? WM_VSCROLL : WM_HSCROLL, MAKEWPARAM(code, position), reinterpret_cast<LPARAM>(control));
}

bool HandleFontMessage(HWND hwnd, UINT message, WPARAM wParam, LRESULT* result) {
  if (message != WM_SETFONT && message != WM_GETFONT) return false;
  WindowGuard hold(WindowLock());
  WindowPtr w = FindWindowRecord(hwnd);
  if (!w) {
    *result = 0;
    return true;
  }
  if (message == WM_SETFONT) {
    w->font = reinterpret_cast<HFONT>(wParam);
    *result = 0;
  } else {
    *result = reinterpret_cast<LRESULT>(w->font);
  }
  return true;
}

void ControlTextMetrics(HWND hwnd, int* averageWidth, int* lineHeight) {
  HFONT font = nullptr;
  {
    WindowGuard hold(WindowLock());
    WindowPtr w = FindWindowRecord(hwnd);
    if (w) font = w->font;
  }
  FontInfo info;
  if (!font || !DescribeFont(font, &info)) {
    *averageWidth = 8;  // the system font
    *lineHeight = 16;
    return;
  }
  DialogBaseUnitsOf(info.face, info.pointSize, averageWidth, lineHeight);
}

DWORD StyleOf(HWND hwnd) { return DWORD(GetWindowLongA(hwnd, GWL_STYLE)); }

int ItemList::Add(const ListItem& item, bool sorted) {
  int at = Count();
  if (sorted) {
    at = 0;
    while (at < Count() && CompareNoCase(items[size_t(at)].text, item.text) <= 0) ++at;
  }
  items.insert(items.begin() + at, item);
  if (selected >= at) ++selected;
  return at;
}

int ItemList::Insert(int index, const ListItem& item) {
  if (index == -1) index = Count();
  if (index < 0 || index > Count()) return -1;
  items.insert(items.begin() + index, item);
  if (selected >= index) ++selected;
  return index;
}

int ItemList::Remove(int index) {
  if (!Valid(index)) return -1;
  items.erase(items.begin() + index);
  if (selected == index)
    selected = -1;
  else if (selected > index)
    --selected;
  if (top >= Count()) top = std::max(0, Count() - 1);
  return Count();
}

void ItemList::Clear() {
  items.clear();
  selected = -1;
  top = 0;
}

int ItemList::Find(int start, const std::string& prefix, bool exact) const {
  const int n = Count();
  if (n == 0) return -1;
  if (start < -1 || start >= n) start = -1;
  for (int step = 1; step <= n; ++step) {
    const int i = (start + step) % n;
    const std::string& text = items[size_t(i)].text;
    if (exact ? EqualNoCase(text, prefix)
              : (text.size() >= prefix.size() && EqualNoCase(text.substr(0, prefix.size()), prefix)))
      return i;
  }
  return -1;
}

LRESULT ApplyListOp(ItemList& list, ListOp op, WPARAM wParam, LPARAM lParam, bool sorted, bool hasStrings,
                    LRESULT error) {
  const int index = int(INT_PTR(wParam));
  // Without strings (owner-drawn lists) the "string" is the item's data.
  auto itemFrom = [&](LPARAM p) {
    ListItem item;
    if (hasStrings)
      item.text = p ? reinterpret_cast<LPCSTR>(p) : "";
    else
      item.data = ULONG_PTR(p);
    return item;
  };
  auto textFrom = [&](LPARAM p) { return hasStrings && p ? std::string(reinterpret_cast<LPCSTR>(p)) : std::string(); };
  switch (op) {
    case ListOp::Add: return list.Add(itemFrom(lParam), sorted && hasStrings);
    case ListOp::Insert: {
      const int at = list.Insert(index, itemFrom(lParam));
      return at < 0 ? error : at;
    }
    case ListOp::Delete: {
      const int left = list.Remove(index);
      return left < 0 ? error : left;
    }
    case ListOp::Reset: list.Clear(); return 0;
    case ListOp::Count: return list.Count();
    case ListOp::GetSelection: return list.selected < 0 ? error : list.selected;
    case ListOp::SetSelection:
      if (index == -1) {
        list.selected = -1;
        return error;  // as Windows reports it, though nothing failed
      }
      if (!list.Valid(index)) return error;
      list.selected = index;
      return index;
    case ListOp::GetText: {
      if (!list.Valid(index) || !lParam) return error;
      const ListItem& item = list.items[size_t(index)];
      if (!hasStrings) {
        *reinterpret_cast<ULONG_PTR*>(lParam) = item.data;
        return sizeof(ULONG_PTR);
      }
      std::memcpy(reinterpret_cast<LPSTR>(lParam), item.text.c_str(), item.text.size() + 1);
      return LRESULT(item.text.size());
    }
    case ListOp::GetTextLength:
      if (!list.Valid(index)) return error;
      return hasStrings ? LRESULT(list.items[size_t(index)].text.size()) : LRESULT(sizeof(ULONG_PTR));
    case ListOp::SetData:
      if (index == -1) {
        for (ListItem& item : list.items) item.data = ULONG_PTR(lParam);
        return TRUE;
      }
      if (!list.Valid(index)) return error;
      list.items[size_t(index)].data = ULONG_PTR(lParam);
      return TRUE;
    case ListOp::GetData:
      return list.Valid(index) ? LRESULT(list.items[size_t(index)].data) : error;
    case ListOp::FindPrefix: case ListOp::FindExact: {
      if (!hasStrings) {
        for (int i = 0; i < list.Count(); ++i)
          if (list.items[size_t(i)].data == ULONG_PTR(lParam)) return i;
        return error;
      }
      const int found = list.Find(index, textFrom(lParam), op == ListOp::FindExact);
      return found < 0 ? error : found;
    }
    case ListOp::SelectString: {
      const int found = list.Find(index, textFrom(lParam), false);
      if (found < 0) return error;
      list.selected = found;
      return found;
    }
  }
  return error;
}

}  // namespace win32
}  // namespace platform
