// Dialog items by id, keyboard navigation between them and
// IsDialogMessage.
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "platform/win32/message_queue.h"
#include "platform/win32/text.h"
#include "platform/win32/window_manager.h"

namespace platform {
namespace win32 {
namespace {

constexpr DWORD kControlIdNotFound = 1421;  // ERROR_CONTROL_ID_NOT_FOUND

bool Usable(HWND h) {
  const DWORD style = DWORD(GetWindowLongA(h, GWL_STYLE));
  return (style & WS_VISIBLE) && !(style & WS_DISABLED);
}

// The dialog's controls in tab order: children in z order, the children of
// a WS_EX_CONTROLPARENT child (a property page inside a sheet) in its place.
void TabOrder(HWND parent, std::vector<HWND>* out) {
  std::vector<HWND> children;
  {
    WindowGuard hold(WindowLock());
    WindowPtr w = FindWindowRecord(parent);
    if (!w) return;
    children = w->children;
  }
  for (HWND c : children) {
    const DWORD ex = DWORD(GetWindowLongA(c, GWL_EXSTYLE));
    if ((ex & WS_EX_CONTROLPARENT) && Usable(c))
      TabOrder(c, out);
    else
      out->push_back(c);
  }
}

// The control's group among its siblings: from the nearest control at or
// before it with WS_GROUP up to the next control with WS_GROUP.
std::vector<HWND> GroupOf(HWND control) {
  std::vector<HWND> siblings;
  {
    WindowGuard hold(WindowLock());
    WindowPtr w = FindWindowRecord(control);
    if (!w || !w->parent) return {};
    siblings = FindWindowRecord(w->parent)->children;
  }
  size_t at = std::find(siblings.begin(), siblings.end(), control) - siblings.begin();
  if (at == siblings.size()) return {};
  size_t start = at;
  while (start > 0 && !(GetWindowLongA(siblings[start], GWL_STYLE) & WS_GROUP)) --start;
  size_t end = at + 1;
  while (end < siblings.size() && !(GetWindowLongA(siblings[end], GWL_STYLE) & WS_GROUP)) ++end;
  return std::vector<HWND>(siblings.begin() + long(start), siblings.begin() + long(end));
}

HWND NextInCycle(const std::vector<HWND>& items, HWND from, bool previous, bool (*accept)(HWND)) {
  if (items.empty()) return nullptr;
  const size_t n = items.size();
  size_t at = std::find(items.begin(), items.end(), from) - items.begin();
  if (at == n) at = previous ? 0 : n - 1;
  for (size_t step = 1; step <= n; ++step) {
    const size_t i = previous ? (at + n - step) % n : (at + step) % n;
    if (accept(items[i])) return items[i];
  }
  return nullptr;
}

bool TabStop(HWND h) { return Usable(h) && (GetWindowLongA(h, GWL_STYLE) & WS_TABSTOP); }

UINT DialogCode(HWND control, const MSG* msg) {
  return control ? UINT(SendMessageA(control, WM_GETDLGCODE, msg ? msg->wParam : 0, reinterpret_cast<LPARAM>(msg)))
                 : 0;
}

// Enter: the focused push button, else the default button.
void PressDefault(HWND dialog, HWND focus) {
  int id = IDOK;
  HWND button = nullptr;
  if (focus && (DialogCode(focus, nullptr) & DLGC_DEFPUSHBUTTON)) {
    button = focus;
    id = GetDlgCtrlID(focus);
  } else {
    const LRESULT def = SendMessageA(dialog, DM_GETDEFID, 0, 0);
    if (HIWORD(def) == DC_HASDEFID) id = LOWORD(def);
    button = GetDlgItem(dialog, id);
  }
  if (button && !IsWindowEnabled(button)) return;
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

bool HandleKey(HWND dialog, const MSG* msg) {
  HWND focus = GetFocus();
  const UINT code = DialogCode(focus, msg);
  if (code & DLGC_WANTMESSAGE) return false;
  switch (msg->wParam) {
    case VK_TAB: {
      if (code & DLGC_WANTTAB) return false;
      HWND next = GetNextDlgTabItem(dialog, focus, FALSE);
      if (next) SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(next), TRUE);
      return true;
    }
    case VK_RETURN:
      PressDefault(dialog, focus);
      return true;
    case VK_ESCAPE: {
      HWND cancel = GetDlgItem(dialog, IDCANCEL);
      if (!cancel || IsWindowEnabled(cancel))
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
      return true;
    }
    case VK_LEFT: case VK_UP: case VK_RIGHT: case VK_DOWN: {
      if (code & DLGC_WANTARROWS) return false;
      HWND next = GetNextDlgGroupItem(dialog, focus, msg->wParam == VK_LEFT || msg->wParam == VK_UP);
      if (next && next != focus) {
        SetFocus(next);
        if (DialogCode(next, nullptr) & DLGC_RADIOBUTTON) SendMessageA(next, BM_CLICK, 0, 0);
      }
      return true;
    }
    default:
      return false;
  }
}

}  // namespace
}  // namespace win32
}  // namespace platform

using namespace platform::win32;

HWND WINAPI GetDlgItem(HWND hDlg, int nIDDlgItem) {
  WindowGuard hold(WindowLock());
  WindowPtr w = CheckWindow(hDlg);
  if (!w) return nullptr;
  for (HWND c : w->children) {
    WindowPtr child = FindWindowRecord(c);
    if (child && int(child->id) == nIDDlgItem) return c;
  }
  SetLastError(kControlIdNotFound);
  return nullptr;
}

BOOL WINAPI SetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPCSTR lpString) {
  HWND item = GetDlgItem(hDlg, nIDDlgItem);
  return item ? SetWindowTextA(item, lpString) : FALSE;
}

BOOL WINAPI SetDlgItemTextW(HWND hDlg, int nIDDlgItem, LPCWSTR lpString) {
  HWND item = GetDlgItem(hDlg, nIDDlgItem);
  return item ? SetWindowTextW(item, lpString) : FALSE;
}

UINT WINAPI GetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPSTR lpString, int cchMax) {
  if (lpString && cchMax > 0) lpString[0] = 0;
  HWND item = GetDlgItem(hDlg, nIDDlgItem);
  return item ? UINT(GetWindowTextA(item, lpString, cchMax)) : 0;
}

UINT WINAPI GetDlgItemTextW(HWND hDlg, int nIDDlgItem, LPWSTR lpString, int cchMax) {
  if (lpString && cchMax > 0) lpString[0] = 0;
  HWND item = GetDlgItem(hDlg, nIDDlgItem);
  return item ? UINT(GetWindowTextW(item, lpString, cchMax)) : 0;
}

BOOL WINAPI SetDlgItemInt(HWND hDlg, int nIDDlgItem, UINT uValue, BOOL bSigned) {
  char text[16];
  if (bSigned)
    std::snprintf(text, sizeof text, "%d", int(uValue));
  else
    std::snprintf(text, sizeof text, "%u", uValue);
  return SetDlgItemTextA(hDlg, nIDDlgItem, text);
}

// The item's text as a number: blanks around it, an optional minus sign
// (signed only) and decimal digits; anything else, or a value that does not
// fit, does not translate.
UINT WINAPI GetDlgItemInt(HWND hDlg, int nIDDlgItem, BOOL* lpTranslated, BOOL bSigned) {
  if (lpTranslated) *lpTranslated = FALSE;
  HWND item = GetDlgItem(hDlg, nIDDlgItem);
  if (!item) return 0;
  const int length = GetWindowTextLengthA(item);
  std::string text(size_t(std::max(length, 0)) + 1, '\0');
  text.resize(size_t(GetWindowTextA(item, &text[0], int(text.size()))));
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (bSigned && i < text.size() && text[i] == '-') {
    negative = true;
    ++i;
  }
  unsigned long long value = 0;
  size_t digits = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++digits) {
    value = value * 10 + unsigned(text[i] - '0');
    if (value > 0xFFFFFFFFull) return 0;
  }
  while (i < text.size() && text[i] == ' ') ++i;
  if (!digits || i != text.size()) return 0;
  if (bSigned && value > (negative ? 0x80000000ull : 0x7FFFFFFFull)) return 0;
  if (lpTranslated) *lpTranslated = TRUE;
  return negative ? UINT(-static_cast<long long>(value)) : UINT(value);
}

LRESULT WINAPI SendDlgItemMessageA(HWND hDlg, int nIDDlgItem, UINT Msg, WPARAM wParam, LPARAM lParam) {
  HWND item = GetDlgItem(hDlg, nIDDlgItem);
  return item ? SendMessageA(item, Msg, wParam, lParam) : 0;
}

LRESULT WINAPI SendDlgItemMessageW(HWND hDlg, int nIDDlgItem, UINT Msg, WPARAM wParam, LPARAM lParam) {
  HWND item = GetDlgItem(hDlg, nIDDlgItem);
  return item ? SendMessageW(item, Msg, wParam, lParam) : 0;
}

BOOL WINAPI CheckDlgButton(HWND hDlg, int nIDButton, UINT uCheck) {
  HWND item = GetDlgItem(hDlg, nIDButton);
  if (!item) return FALSE;
  SendMessageA(item, BM_SETCHECK, uCheck, 0);
  return TRUE;
}

UINT WINAPI IsDlgButtonChecked(HWND hDlg, int nIDButton) {
  HWND item = GetDlgItem(hDlg, nIDButton);
  return item ? UINT(SendMessageA(item, BM_GETCHECK, 0, 0)) : 0;
}

BOOL WINAPI CheckRadioButton(HWND hDlg, int nIDFirstButton, int nIDLastButton, int nIDCheckButton) {
  std::vector<HWND> children;
  {
    WindowGuard hold(WindowLock());
    WindowPtr w = CheckWindow(hDlg);
    if (!w) return FALSE;
    children = w->children;
  }
  for (HWND c : children) {
    const int id = GetDlgCtrlID(c);
    if (id >= nIDFirstButton && id <= nIDLastButton)
      SendMessageA(c, BM_SETCHECK, id == nIDCheckButton ? BST_CHECKED : BST_UNCHECKED, 0);
  }
  return TRUE;
}

HWND WINAPI GetNextDlgTabItem(HWND hDlg, HWND hCtl, BOOL bPrevious) {
  if (!CheckWindow(hDlg)) return nullptr;
  std::vector<HWND> order;
  TabOrder(hDlg, &order);
  return NextInCycle(order, hCtl, bPrevious != FALSE, TabStop);
}

HWND WINAPI GetNextDlgGroupItem(HWND hDlg, HWND hCtl, BOOL bPrevious) {
  if (!CheckWindow(hDlg)) return nullptr;
  if (!hCtl) {
    std::vector<HWND> order;
    TabOrder(hDlg, &order);
    if (order.empty()) return nullptr;
    hCtl = order.front();
  }
  if (hCtl != hDlg && !IsChild(hDlg, hCtl)) return SetLastError(ERROR_INVALID_PARAMETER), nullptr;
  HWND next = NextInCycle(GroupOf(hCtl), hCtl, bPrevious != FALSE, Usable);
  return next ? next : hCtl;
}

BOOL WINAPI IsDialogMessageA(HWND hDlg, LPMSG lpMsg) {
  if (!lpMsg || !hDlg || !IsWindow(hDlg)) return FALSE;
  if (lpMsg->hwnd != hDlg && !IsChild(hDlg, lpMsg->hwnd)) return FALSE;
  if (lpMsg->message == WM_KEYDOWN && HandleKey(hDlg, lpMsg)) return TRUE;
  if (lpMsg->message == WM_CHAR && (lpMsg->wParam == '\t' || lpMsg->wParam == '\r' || lpMsg->wParam == 27) &&
      !(DialogCode(GetFocus(), lpMsg) & (DLGC_WANTMESSAGE | DLGC_WANTCHARS)))
    return TRUE;
  TranslateMessage(lpMsg);
  DispatchMessageA(lpMsg);
  return TRUE;
}

BOOL WINAPI IsDialogMessageW(HWND hDlg, LPMSG lpMsg) { return IsDialogMessageA(hDlg, lpMsg); }
