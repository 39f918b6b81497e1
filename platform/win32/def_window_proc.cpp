// DefWindowProcA/W: what a window does with the messages its own procedure
// leaves alone.
#include "platform/win32/message_queue.h"
#include "platform/win32/text.h"
#include "platform/win32/window_manager.h"
#include "platform/win32/window_ops.h"

namespace platform {
namespace win32 {
namespace {

LRESULT DefaultMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, bool unicode) {
  switch (message) {
    case WM_NCCREATE: {
      if (!lParam) return TRUE;
      if (unicode) {
        const CREATESTRUCTW* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        StoreWindowText(hwnd, WideToAnsiText(WideOrEmpty(cs->lpszName)));
      } else {
        const CREATESTRUCTA* cs = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        StoreWindowText(hwnd, AnsiOrEmpty(cs->lpszName));
      }
      return TRUE;
    }
    case WM_SETTEXT:
      StoreWindowText(hwnd, unicode ? WideToAnsiText(WideOrEmpty(reinterpret_cast<LPCWSTR>(lParam)))
                                    : AnsiOrEmpty(reinterpret_cast<LPCSTR>(lParam)));
      return TRUE;
    case WM_GETTEXT:
      if (unicode) return CopyOut(AnsiToWideText(WindowText(hwnd)), reinterpret_cast<LPWSTR>(lParam), int(wParam));
      return CopyOut(WindowText(hwnd), reinterpret_cast<LPSTR>(lParam), int(wParam));
    case WM_GETTEXTLENGTH:
      return unicode ? LRESULT(AnsiToWideText(WindowText(hwnd)).size()) : LRESULT(WindowText(hwnd).size());
    case WM_CLOSE:
      DestroyWindow(hwnd);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(hwnd, &ps);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_WINDOWPOSCHANGED: {
      const WINDOWPOS* wp = reinterpret_cast<const WINDOWPOS*>(lParam);
      if (!wp) return 0;
      RECT where = {0, 0, 0, 0};
      {
        WindowGuard hold(WindowLock());
        WindowPtr w = FindWindowRecord(hwnd);
        if (!w) return 0;
        where = ClientRectInParent(*w);
      }
      if (!(wp->flags & SWP_NOMOVE)) CallWindow(hwnd, WM_MOVE, 0, MAKELPARAM(where.left, where.top), false);
      if (!(wp->flags & SWP_NOSIZE))
        CallWindow(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(where.right - where.left, where.bottom - where.top),
                   false);
      return 0;
    }
    case WM_SETICON: {
      WindowGuard hold(WindowLock());
      WindowPtr w = FindWindowRecord(hwnd);
      if (!w) return 0;
      HICON& slot = wParam == ICON_BIG ? w->iconBig : w->iconSmall;
      HICON old = slot;
      slot = reinterpret_cast<HICON>(lParam);
      return reinterpret_cast<LRESULT>(old);
    }
    case WM_GETICON: {
      WindowGuard hold(WindowLock());
      WindowPtr w = FindWindowRecord(hwnd);
      if (!w) return 0;
      return reinterpret_cast<LRESULT>(wParam == ICON_BIG ? w->iconBig : w->iconSmall);
    }
    case WM_SYSCOMMAND:
      switch (wParam & 0xFFF0) {
        case SC_CLOSE: return CallWindow(hwnd, WM_CLOSE, 0, 0, unicode);
        case SC_MINIMIZE: ShowWindow(hwnd, SW_MINIMIZE); return 0;
        case SC_MAXIMIZE: ShowWindow(hwnd, SW_MAXIMIZE); return 0;
        case SC_RESTORE: ShowWindow(hwnd, SW_RESTORE); return 0;
        default: return 0;
      }
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE && !(GetWindowLongA(hwnd, GWL_STYLE) & (WS_CHILD | WS_MINIMIZE)))
        SetFocus(hwnd);
      return 0;
    case WM_NOTIFYFORMAT:
      return unicode ? 2 /* NFR_UNICODE */ : 1 /* NFR_ANSI */;
    case WM_CONTEXTMENU: {
      HWND parent = GetParent(hwnd);
      if ((GetWindowLongA(hwnd, GWL_STYLE) & WS_CHILD) && parent)
        return Send(parent, message, wParam, lParam, unicode);
      return 0;
    }
    case WM_CTLCOLORMSGBOX: case WM_CTLCOLOREDIT: case WM_CTLCOLORLISTBOX: case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG: case WM_CTLCOLORSCROLLBAR: case WM_CTLCOLORSTATIC:
      // The brush of the face colour (the stock brush of COLOR_BTNFACE).
      return LRESULT(COLOR_BTNFACE + 1);
    default:
      return 0;
  }
}

}  // namespace
}  // namespace win32
}  // namespace platform

LRESULT WINAPI DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  return platform::win32::DefaultMessage(hWnd, Msg, wParam, lParam, false);
}

LRESULT WINAPI DefWindowProcW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  return platform::win32::DefaultMessage(hWnd, Msg, wParam, lParam, true);
}

LRESULT WINAPI CallWindowProcA(WNDPROC lpPrevWndFunc, HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  return platform::win32::CallProcedure(lpPrevWndFunc, false, hWnd, Msg, wParam, lParam, false);
}

LRESULT WINAPI CallWindowProcW(WNDPROC lpPrevWndFunc, HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  return platform::win32::CallProcedure(lpPrevWndFunc, true, hWnd, Msg, wParam, lParam, true);
}
