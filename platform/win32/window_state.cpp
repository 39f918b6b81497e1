// Enabled and visible state, position and size, painting, focus and
// activation, and the screen's metrics.
#include <algorithm>

#include "platform/machine/pc_clock.h"
#include "platform/win32/dialog_manager.h"
#include "platform/win32/gdi_objects.h"
#include "platform/win32/message_queue.h"
#include "platform/win32/window_manager.h"
#include "platform/win32/window_ops.h"

namespace platform {
namespace win32 {
namespace {

HWND g_foreground = nullptr;  // guarded by the window lock
POINT g_cursor = {kScreenWidth / 2, kScreenHeight / 2};

QueuePtr QueueOf(HWND hwnd) {
  WindowGuard hold(WindowLock());
  WindowPtr w = FindWindowRecord(hwnd);
  return w ? w->queue : nullptr;
}

void PaintTree(HWND hwnd, bool needed) {
  for (HWND h : WindowAndDescendants(hwnd)) SetNeedsPaint(h, needed);
}

// Makes a top-level window the active one of its thread, with the
// WM_ACTIVATE pair a change of activation sends.
void Activate(HWND hwnd) {
  QueuePtr q = QueueOf(hwnd);
  if (!q) return;
  HWND previous;
  {
    std::lock_guard<std::mutex> hold(q->lock);
    previous = q->active;
    if (previous == hwnd) return;
    q->active = hwnd;
  }
  {
    WindowGuard hold(WindowLock());
    g_foreground = hwnd;
  }
  if (previous && IsWindow(previous)) CallWindow(previous, WM_ACTIVATE, WA_INACTIVE, LPARAM(hwnd), false);
  CallWindow(hwnd, WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(previous), false);
}

void ApplyZOrder(HWND hwnd, HWND after) {
  WindowGuard hold(WindowLock());
  WindowPtr w = FindWindowRecord(hwnd);
  if (!w) return;
  std::vector<HWND>* siblings = SiblingList(*w);
  if (!siblings) return;
  siblings->erase(std::remove(siblings->begin(), siblings->end(), hwnd), siblings->end());
  if (after == HWND_BOTTOM) {
    siblings->push_back(hwnd);
  } else if (after == HWND_TOP || after == HWND_TOPMOST || after == HWND_NOTOPMOST) {
    siblings->insert(siblings->begin(), hwnd);
  } else {
    auto it = std::find(siblings->begin(), siblings->end(), after);
    siblings->insert(it == siblings->end() ? siblings->begin() : it + 1, hwnd);
  }
}

}  // namespace

bool PositionWindow(HWND hwnd, HWND after, int x, int y, int cx, int cy, UINT flags) {
  WINDOWPOS wp = {hwnd, after, x, y, cx, cy, flags};
  if (!(flags & SWP_NOSENDCHANGING)) CallWindow(hwnd, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&wp), false);
  bool shown = false, hidden = false;
  {
    WindowGuard hold(WindowLock());
    WindowPtr w = FindWindowRecord(hwnd);
    if (!w) return false;
    RECT& r = w->rect;
    if (!(wp.flags & SWP_NOMOVE)) OffsetRect(&r, wp.x - r.left, wp.y - r.top);
    if (!(wp.flags & SWP_NOSIZE)) {
      r.right = r.left + std::max(wp.cx, 0);
      r.bottom = r.top + std::max(wp.cy, 0);
    }
    if ((wp.flags & SWP_SHOWWINDOW) && !(w->style & WS_VISIBLE)) {
      w->style |= WS_VISIBLE;
      shown = true;
    } else if ((wp.flags & SWP_HIDEWINDOW) && (w->style & WS_VISIBLE)) {
      w->style &= ~WS_VISIBLE;
      hidden = true;
    }
  }
  if (!(wp.flags & SWP_NOZORDER)) ApplyZOrder(hwnd, wp.hwndInsertAfter);
  if (shown) PaintTree(hwnd, true);
  if (hidden) PaintTree(hwnd, false);
  CallWindow(hwnd, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&wp), false);
  const bool topLevel = !(GetWindowLongA(hwnd, GWL_STYLE) & WS_CHILD);
  if (shown && topLevel && !(wp.flags & SWP_NOACTIVATE)) Activate(hwnd);
  return true;
}

void MoveFocus(HWND to) {
  QueuePtr q = CurrentQueue();
  HWND previous;
  {
    std::lock_guard<std::mutex> hold(q->lock);
    previous = q->focus;
    if (previous == to) return;
    q->focus = to;
  }
  if (previous && IsWindow(previous)) CallWindow(previous, WM_KILLFOCUS, reinterpret_cast<WPARAM>(to), 0, false);
  if (to && IsWindow(to)) CallWindow(to, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0, false);
}

}  // namespace win32
}  // namespace platform

using namespace platform::win32;

// --- Enabled and visible ---------------------------------------------------------

BOOL WINAPI EnableWindow(HWND hWnd, BOOL bEnable) {
  bool wasDisabled;
  {
    WindowGuard hold(WindowLock());
    WindowPtr w = CheckWindow(hWnd);
    if (!w) return FALSE;
    wasDisabled = (w->style & WS_DISABLED) != 0;
    if (wasDisabled == !bEnable) return wasDisabled;
    if (bEnable)
      w->style &= ~WS_DISABLED;
    else
      w->style |= WS_DISABLED;
  }
  if (!bEnable) {
    // A disabled window cannot keep the keyboard focus.
    HWND focus = GetFocus();
    if (focus && (focus == hWnd || IsChild(hWnd, focus))) MoveFocus(nullptr);
  }
  CallWindow(hWnd, WM_ENABLE, bEnable ? TRUE : FALSE, 0, false);
  InvalidateRect(hWnd, nullptr, TRUE);
  return wasDisabled;
}

BOOL WINAPI IsWindowEnabled(HWND hWnd) {
  WindowGuard hold(WindowLock());
  WindowPtr w = CheckWindow(hWnd);
  return w && !(w->style & WS_DISABLED);
}

BOOL WINAPI IsWindowVisible(HWND hWnd) {
  WindowGuard hold(WindowLock());
  for (WindowPtr w = FindWindowRecord(hWnd); w; w = FindWindowRecord(w->parent)) {
    if (!(w->style & WS_VISIBLE)) return FALSE;
    if (!w->parent) return TRUE;
  }
  return FALSE;
}

BOOL WINAPI IsIconic(HWND hWnd) { return (GetWindowLongA(hWnd, GWL_STYLE) & WS_MINIMIZE) != 0; }
BOOL WINAPI IsZoomed(HWND hWnd) { return (GetWindowLongA(hWnd, GWL_STYLE) & WS_MAXIMIZE) != 0; }

BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow) {
  bool wasVisible;
  bool child;
  {
    WindowGuard hold(WindowLock());
    WindowPtr w = CheckWindow(hWnd);
    if (!w) return FALSE;
    wasVisible = (w->style & WS_VISIBLE) != 0;
    child = (w->style & WS_CHILD) != 0;
    const DWORD sizeState = nCmdShow == SW_MINIMIZE || nCmdShow == SW_SHOWMINIMIZED ||
                                    nCmdShow == SW_SHOWMINNOACTIVE || nCmdShow == SW_FORCEMINIMIZE
                                ? WS_MINIMIZE
                            : nCmdShow == SW_SHOWMAXIMIZED ? WS_MAXIMIZE
                                                           : 0;
    if (nCmdShow != SW_HIDE && nCmdShow != SW_SHOW && nCmdShow != SW_SHOWNA)
      w->style = (w->style & ~(WS_MINIMIZE | WS_MAXIMIZE)) | sizeState;
  }
  const bool show = nCmdShow != SW_HIDE;
  if (show == wasVisible) return wasVisible;
  CallWindow(hWnd, WM_SHOWWINDOW, show ? TRUE : FALSE, 0, false);
  UINT flags = SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | (show ? SWP_SHOWWINDOW : SWP_HIDEWINDOW);
  if (child || nCmdShow == SW_SHOWNA || nCmdShow == SW_SHOWNOACTIVATE || nCmdShow == SW_SHOWMINNOACTIVE || !show)
    flags |= SWP_NOACTIVATE;
  PositionWindow(hWnd, nullptr, 0, 0, 0, 0, flags);
  return wasVisible;
}

// --- Position and size -------------------------------------------------------------

BOOL WINAPI SetWindowPos(HWND hWnd, HWND hWndInsertAfter, int X, int Y, int cx, int cy, UINT uFlags) {
  if (!CheckWindow(hWnd)) return FALSE;
  return PositionWindow(hWnd, hWndInsertAfter, X, Y, cx, cy, uFlags);
}

BOOL WINAPI MoveWindow(HWND hWnd, int X, int Y, int nWidth, int nHeight, BOOL bRepaint) {
  if (!CheckWindow(hWnd)) return FALSE;
  const BOOL ok = PositionWindow(hWnd, nullptr, X, Y, nWidth, nHeight, SWP_NOZORDER | SWP_NOACTIVATE);
  if (bRepaint) InvalidateRect(hWnd, nullptr, TRUE);
  return ok;
}

BOOL WINAPI BringWindowToTop(HWND hWnd) {
  return SetWindowPos(hWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

BOOL WINAPI GetWindowRect(HWND hWnd, LPRECT lpRect) {
  if (!lpRect) return SetLastError(ERROR_INVALID_PARAMETER), FALSE;
  if (hWnd == DesktopHandle()) return SetRect(lpRect, 0, 0, kScreenWidth, kScreenHeight);
  WindowGuard hold(WindowLock());
  WindowPtr w = CheckWindow(hWnd);
  if (!w) return FALSE;
  const POINT origin = w->parent ? ClientOriginOnScreen(w->parent) : POINT{0, 0};
  *lpRect = w->rect;
  OffsetRect(lpRect, origin.x, origin.y);
  return TRUE;
}

BOOL WINAPI GetClientRect(HWND hWnd, LPRECT lpRect) {
  if (!lpRect) return SetLastError(ERROR_INVALID_PARAMETER), FALSE;
  if (hWnd == DesktopHandle()) return SetRect(lpRect, 0, 0, kScreenWidth, kScreenHeight);
  WindowGuard hold(WindowLock());
  WindowPtr w = CheckWindow(hWnd);
  if (!w) return FALSE;
  const RECT client = ClientRectInParent(*w);
  return SetRect(lpRect, 0, 0, client.right - client.left, client.bottom - client.top);
}

BOOL WINAPI AdjustWindowRectEx(LPRECT lpRect, DWORD dwStyle, BOOL bMenu, DWORD dwExStyle) {
  if (!lpRect) return SetLastError(ERROR_INVALID_PARAMETER), FALSE;
  const RECT in = NonClientInsets(dwStyle, dwExStyle, bMenu != FALSE);
  lpRect->left -= in.left;
  lpRect->top -= in.top;
  lpRect->right += in.right;
  lpRect->bottom += in.bottom;
  return TRUE;
}

BOOL WINAPI AdjustWindowRect(LPRECT lpRect, DWORD dwStyle, BOOL bMenu) {
  return AdjustWindowRectEx(lpRect, dwStyle, bMenu, 0);
}

namespace {
// The screen position of a window's client origin; the desktop and null
// mean the screen itself.
bool OriginOf(HWND hwnd, POINT* origin) {
  if (!hwnd || hwnd == DesktopHandle()) {
    *origin = POINT{0, 0};
    return true;
  }
  if (!CheckWindow(hwnd)) return false;
  *origin = ClientOriginOnScreen(hwnd);
  return true;
}
}  // namespace

int WINAPI MapWindowPoints(HWND hWndFrom, HWND hWndTo, LPPOINT lpPoints, UINT cPoints) {
  POINT from, to;
  if (!OriginOf(hWndFrom, &from) || !OriginOf(hWndTo, &to)) return 0;
  const LONG dx = from.x - to.x, dy = from.y - to.y;
  for (UINT i = 0; lpPoints && i < cPoints; ++i) {
    lpPoints[i].x += dx;
    lpPoints[i].y += dy;
  }
  SetLastError(ERROR_SUCCESS);
  return int(MAKELONG(dx, dy));
}

BOOL WINAPI ScreenToClient(HWND hWnd, LPPOINT lpPoint) {
  POINT origin;
  if (!lpPoint || !OriginOf(hWnd, &origin)) return FALSE;
  lpPoint->x -= origin.x;
  lpPoint->y -= origin.y;
  return TRUE;
}

BOOL WINAPI ClientToScreen(HWND hWnd, LPPOINT lpPoint) {
  POINT origin;
  if (!lpPoint || !OriginOf(hWnd, &origin)) return FALSE;
  lpPoint->x += origin.x;
  lpPoint->y += origin.y;
  return TRUE;
}

// --- Painting -----------------------------------------------------------------------

BOOL WINAPI InvalidateRect(HWND hWnd, const RECT*, BOOL) {
  if (!hWnd) {
    for (HWND top : TopLevelWindows()) PaintTree(top, true);
    return TRUE;
  }
  if (!CheckWindow(hWnd)) return FALSE;
  SetNeedsPaint(hWnd, true);
  return TRUE;
}

BOOL WINAPI ValidateRect(HWND hWnd, const RECT*) {
  if (!CheckWindow(hWnd)) return FALSE;
  SetNeedsPaint(hWnd, false);
  return TRUE;
}

BOOL WINAPI RedrawWindow(HWND hWnd, const RECT*, HRGN, UINT flags) {
  if (!hWnd) hWnd = DesktopHandle();
  std::vector<HWND> targets;
  if (hWnd == DesktopHandle()) {
    for (HWND top : TopLevelWindows()) targets.push_back(top);
  } else {
    if (!CheckWindow(hWnd)) return FALSE;
    targets.push_back(hWnd);
  }
  for (HWND t : targets) {
    std::vector<HWND> tree = (flags & RDW_ALLCHILDREN) ? WindowAndDescendants(t) : std::vector<HWND>{t};
    for (HWND h : tree) {
      if (flags & RDW_INVALIDATE) SetNeedsPaint(h, true);
      if (flags & RDW_VALIDATE) SetNeedsPaint(h, false);
    }
    if (flags & RDW_UPDATENOW)
      for (HWND h : tree) UpdateWindow(h);
  }
  return TRUE;
}

BOOL WINAPI UpdateWindow(HWND hWnd) {
  WindowPtr w = CheckWindow(hWnd);
  if (!w) return FALSE;
  bool needed;
  {
    WindowGuard hold(WindowLock());
    needed = w->needsPaint;
  }
  if (needed) {
    CallWindow(hWnd, WM_PAINT, 0, 0, false);
    SetNeedsPaint(hWnd, false);
  }
  return TRUE;
}

BOOL WINAPI GetUpdateRect(HWND hWnd, LPRECT lpRect, BOOL) {
  WindowPtr w = CheckWindow(hWnd);
  if (!w) return FALSE;
  bool needed;
  {
    WindowGuard hold(WindowLock());
    needed = w->needsPaint;
  }
  if (lpRect) {
    if (needed)
      GetClientRect(hWnd, lpRect);
    else
      SetRectEmpty(lpRect);
  }
  return needed;
}

HDC WINAPI BeginPaint(HWND hWnd, LPPAINTSTRUCT lpPaint) {
  if (!lpPaint || !CheckWindow(hWnd)) return nullptr;
  std::memset(lpPaint, 0, sizeof *lpPaint);
  lpPaint->hdc = GetDC(hWnd);
  GetClientRect(hWnd, &lpPaint->rcPaint);
  SetNeedsPaint(hWnd, false);
  return lpPaint->hdc;
}

BOOL WINAPI EndPaint(HWND hWnd, const PAINTSTRUCT* lpPaint) {
  if (lpPaint) ReleaseDC(hWnd, lpPaint->hdc);
  return TRUE;
}

// --- Focus and activation --------------------------------------------------------------

HWND WINAPI SetFocus(HWND hWnd) {
  const HWND previous = GetFocus();
  if (hWnd) {
    WindowGuard hold(WindowLock());
    WindowPtr w = CheckWindow(hWnd);
    if (!w) return nullptr;
    if (w->threadId != CallerThreadId()) return SetLastError(ERROR_ACCESS_DENIED), nullptr;
    for (WindowPtr a = w; a; a = FindWindowRecord(a->parent))
      if (a->style & WS_DISABLED) return nullptr;
  }
  MoveFocus(hWnd);
  return previous;
}

HWND WINAPI GetFocus(void) {
  QueuePtr q = CurrentQueue();
  std::lock_guard<std::mutex> hold(q->lock);
  return q->focus;
}

HWND WINAPI GetActiveWindow(void) {
  QueuePtr q = CurrentQueue();
  std::lock_guard<std::mutex> hold(q->lock);
  return q->active;
}

HWND WINAPI SetActiveWindow(HWND hWnd) {
  const HWND previous = GetActiveWindow();
  if (hWnd && !CheckWindow(hWnd)) return nullptr;
  if (hWnd) Activate(GetAncestor(hWnd, GA_ROOT));
  return previous;
}

HWND WINAPI GetForegroundWindow(void) {
  WindowGuard hold(WindowLock());
  return FindWindowRecord(g_foreground) ? g_foreground : nullptr;
}

BOOL WINAPI SetForegroundWindow(HWND hWnd) {
  if (!CheckWindow(hWnd)) return FALSE;
  Activate(GetAncestor(hWnd, GA_ROOT));
  return TRUE;
}

HWND WINAPI GetCapture(void) {
  QueuePtr q = CurrentQueue();
  std::lock_guard<std::mutex> hold(q->lock);
  return q->capture;
}

HWND WINAPI SetCapture(HWND hWnd) {
  QueuePtr q = CurrentQueue();
  std::lock_guard<std::mutex> hold(q->lock);
  const HWND previous = q->capture;
  q->capture = hWnd;
  return previous;
}

BOOL WINAPI ReleaseCapture(void) {
  SetCapture(nullptr);
  return TRUE;
}

BOOL WINAPI GetCursorPos(LPPOINT lpPoint) {
  if (!lpPoint) return FALSE;
  WindowGuard hold(WindowLock());
  *lpPoint = g_cursor;
  return TRUE;
}

BOOL WINAPI SetCursorPos(int X, int Y) {
  WindowGuard hold(WindowLock());
  g_cursor.x = std::min(std::max(X, 0), kScreenWidth - 1);
  g_cursor.y = std::min(std::max(Y, 0), kScreenHeight - 1);
  return TRUE;
}

// --- Metrics, colours and rectangles --------------------------------------------------

int WINAPI GetSystemMetrics(int nIndex) {
  switch (nIndex) {
    case SM_CXSCREEN: case SM_CXFULLSCREEN: return kScreenWidth;
    case SM_CYSCREEN: return kScreenHeight;
    case SM_CYFULLSCREEN: return kScreenHeight - 19;
    case SM_CXVSCROLL: case SM_CYHSCROLL: return 16;
    case SM_CYCAPTION: return 19;
    case SM_CXBORDER: case SM_CYBORDER: return 1;
    case SM_CXDLGFRAME: case SM_CYDLGFRAME: return 3;
    case SM_CXFRAME: case SM_CYFRAME: return 4;
    case SM_CXICON: case SM_CYICON: case SM_CXCURSOR: case SM_CYCURSOR: return 32;
    case SM_CXSMICON: case SM_CYSMICON: return 16;
    case SM_CYMENU: return 19;
    case SM_CXEDGE: case SM_CYEDGE: return 2;
    default: return 0;
  }
}

// The classic scheme's colours (COLORREF: 0x00BBGGRR).
DWORD WINAPI GetSysColor(int nIndex) {
  switch (nIndex) {
    case COLOR_BACKGROUND: return 0x00808000;
    case COLOR_ACTIVECAPTION: return 0x006A240A;
    case COLOR_WINDOW: case COLOR_BTNHIGHLIGHT: return 0x00FFFFFF;
    case COLOR_WINDOWTEXT: case COLOR_BTNTEXT: return 0x00000000;
    case COLOR_BTNFACE: case COLOR_SCROLLBAR: return 0x00C8D0D4;
    case COLOR_BTNSHADOW: case COLOR_GRAYTEXT: return 0x00808080;
    default: return 0x00C8D0D4;
  }
}

BOOL WINAPI SetRect(LPRECT lprc, int xLeft, int yTop, int xRight, int yBottom) {
  if (!lprc) return FALSE;
  *lprc = RECT{xLeft, yTop, xRight, yBottom};
  return TRUE;
}

BOOL WINAPI SetRectEmpty(LPRECT lprc) { return SetRect(lprc, 0, 0, 0, 0); }

BOOL WINAPI OffsetRect(LPRECT lprc, int dx, int dy) {
  if (!lprc) return FALSE;
  lprc->left += dx;
  lprc->right += dx;
  lprc->top += dy;
  lprc->bottom += dy;
  return TRUE;
}

BOOL WINAPI InflateRect(LPRECT lprc, int dx, int dy) {
  if (!lprc) return FALSE;
  lprc->left -= dx;
  lprc->right += dx;
  lprc->top -= dy;
  lprc->bottom += dy;
  return TRUE;
}

BOOL WINAPI IsRectEmpty(const RECT* lprc) { return !lprc || lprc->right <= lprc->left || lprc->bottom <= lprc->top; }

BOOL WINAPI PtInRect(const RECT* lprc, POINT pt) {
  return lprc && pt.x >= lprc->left && pt.x < lprc->right && pt.y >= lprc->top && pt.y < lprc->bottom;
}
